#include "app/FontMapping.h"

#include <algorithm>

#include <wx/dcscreen.h>
#include <wx/settings.h>

namespace app {

namespace {

struct TCharsetPair {
    uint8_t Charset;
    wxFontEncoding Encoding;
};

constexpr TCharsetPair kCharsets[] = {
    {0, wxFONTENCODING_CP1252},   {1, wxFONTENCODING_DEFAULT},  {2, wxFONTENCODING_SYSTEM},
    {128, wxFONTENCODING_CP932},  {129, wxFONTENCODING_CP949},  {134, wxFONTENCODING_CP936},
    {136, wxFONTENCODING_CP950},  {161, wxFONTENCODING_CP1253}, {162, wxFONTENCODING_CP1254},
    {177, wxFONTENCODING_CP1255}, {178, wxFONTENCODING_CP1256}, {186, wxFONTENCODING_CP1257},
    {204, wxFONTENCODING_CP1251}, {222, wxFONTENCODING_CP874},  {238, wxFONTENCODING_CP1250},
};

}  // namespace

wxFontEncoding EncodingOfCharset(uint8_t charset) {
    for (const TCharsetPair& p : kCharsets)
        if (p.Charset == charset) return p.Encoding;
    return wxFONTENCODING_DEFAULT;
}

uint8_t CharsetOfEncoding(wxFontEncoding encoding) {
    for (const TCharsetPair& p : kCharsets)
        if (p.Encoding == encoding) return p.Charset;
    return 1;
}

wxColour ColourOf(int32_t color) {
    uint32_t v = static_cast<uint32_t>(color);
    if (v & 0x80000000u) {
        unsigned index = v & 0xFF;
        return wxSystemSettings::GetColour(static_cast<wxSystemColour>(index < static_cast<unsigned>(wxSYS_COLOUR_MAX) ? index : static_cast<unsigned>(wxSYS_COLOUR_WINDOWTEXT)));
    }
    return wxColour(static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v >> 16));
}

int32_t ColorValueOf(const wxColour& c) {
    if (c == wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT)) return clWindowText;
    return static_cast<int32_t>(c.Red() | c.Green() << 8 | c.Blue() << 16);
}

wxFont WxFontOf(const TDisplayFont& f) {
    int points = DisplayPointSize(f) > 0 ? DisplayPointSize(f) : wxNORMAL_FONT->GetPointSize();
    wxFontFamily family = f.Pitch == 2 ? wxFONTFAMILY_TELETYPE : wxFONTFAMILY_DEFAULT;
    wxFont font(points, family, f.Style & 2 ? wxFONTSTYLE_ITALIC : wxFONTSTYLE_NORMAL,
                f.Style & 1 ? wxFONTWEIGHT_BOLD : wxFONTWEIGHT_NORMAL, (f.Style & 4) != 0, wxString::FromUTF8(f.Name),
                EncodingOfCharset(f.Charset));
    font.SetStrikethrough((f.Style & 8) != 0);
    // A negative size leaves a positive height: the character cell's height in pixels, leading
    // included. The face is measured at a probe size and scaled so that its cell is that high.
    if (f.Size < 0 && f.Height > 0) {
        const double probePoints = 100.0;
        wxFont probe(font);
        probe.SetFractionalPointSize(probePoints);
        wxScreenDC dc;
        dc.SetFont(probe);
        if (const int probeCell = dc.GetCharHeight(); probeCell > 0)
            font.SetFractionalPointSize(std::clamp(probePoints * f.Height / probeCell, 1.0, double(kMaxFontPoints)));
    }
    return font;
}

TDisplayFont DisplayFontOf(const wxFont& font, int32_t color, int dpi, uint8_t charsetIfUnknown) {
    TDisplayFont f;
    // GTK fonts are all Unicode and carry no code page: then the character set stays as it was.
    wxFontEncoding e = font.GetEncoding();
    bool known = e != wxFONTENCODING_UTF8 && e != wxFONTENCODING_DEFAULT && e != wxFONTENCODING_SYSTEM;
    f.Charset = known ? CharsetOfEncoding(e) : charsetIfUnknown;
    f.Color = color;
    f.Name = font.GetFaceName().utf8_string();
    f.Pitch = font.IsFixedWidth() ? 2 : 0;
    f.SetSize(font.GetPointSize(), dpi);
    f.Style = static_cast<uint8_t>((font.GetWeight() >= wxFONTWEIGHT_BOLD ? 1 : 0) |
                                   (font.GetStyle() != wxFONTSTYLE_NORMAL ? 2 : 0) | (font.GetUnderlined() ? 4 : 0) |
                                   (font.GetStrikethrough() ? 8 : 0));
    return f;
}

}  // namespace app
