// The display font's eight values both ways with wxFont: character set <-> encoding, system colour
// <-> the toolkit's system colour, negative height <-> character height in pixels, pitch, style bits.
#pragma once

#include <wx/colour.h>
#include <wx/font.h>

#include "app/DisplaySettings.h"

namespace app {

wxFontEncoding EncodingOfCharset(uint8_t charset);
uint8_t CharsetOfEncoding(wxFontEncoding encoding);
// 0x800000nn is system colour nn (the toolkit numbers them the same way); else 0x00BBGGRR.
wxColour ColourOf(int32_t color);
int32_t ColorValueOf(const wxColour& c);

wxFont WxFontOf(const TDisplayFont& f);
// The chosen font as a whole; the pitch reads fixed or default. A font that names no code page keeps
// `charsetIfUnknown`.
TDisplayFont DisplayFontOf(const wxFont& font, int32_t color, int dpi, uint8_t charsetIfUnknown);

}  // namespace app
