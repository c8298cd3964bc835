#include "app/CaptionPanel.h"

#include <cstring>
#include <vector>

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/settings.h>

namespace app {

namespace {

bool IsDigit(wxUniChar c) { return c >= '0' && c <= '9'; }

// The text with every digit made `d`.
wxString WithDigits(const wxString& text, wxUniChar d) {
    wxString s(text);
    for (auto it = s.begin(); it != s.end(); ++it)
        if (IsDigit(*it)) *it = d;
    return s;
}

bool SamePixels(const wxImage& x, const wxImage& y) {
    return x.GetSize() == y.GetSize() &&
           std::memcmp(x.GetData(), y.GetData(), size_t(x.GetWidth()) * size_t(x.GetHeight()) * 3) == 0;
}

}  // namespace

wxString TCaptionPanel::TPictures::Showing(int d) const { return WithDigits(Shape, wxUniChar('0' + d)); }

TCaptionPanel::TCaptionPanel(wxWindow* parent, const wxString& caption, const wxPoint& pos, const wxSize& size,
                             TBevel bevel)
    : wxWindow(parent, wxID_ANY, pos, size, wxFULL_REPAINT_ON_RESIZE), caption_(caption), bevel_(bevel) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &TCaptionPanel::OnPaint, this);
}

TCaptionPanel::~TCaptionPanel() = default;

void TCaptionPanel::SetCaption(const wxString& caption) {
    if (caption == caption_) return;
    const wxString before = caption_;
    caption_ = caption;
    TPictures* p = usePictures_ ? PicturesFor(caption_) : nullptr;
    if (p && WithDigits(before, '0') == p->Shape) {
        std::vector<size_t> changed;  // the cells of the digits that changed
        for (size_t i = 0; i < caption_.length(); ++i)
            if (before[i] != caption_[i]) changed.push_back(i);
        if (!DrawCellsOnScreen(*p, changed))
            for (size_t i : changed) RefreshRect(p->Cells[i], false);
    } else {
        Refresh(false);
    }
    if (spoken_) TellCaption();
}

void TCaptionPanel::DrawDigitsFromPictures(bool on) {
    usePictures_ = on;
    if (on) PicturesFor(caption_);
    else pictures_.reset();
    Refresh(false);
}

bool TCaptionPanel::DrawsFromPictures() { return usePictures_ && PicturesFor(caption_) != nullptr; }

void TCaptionPanel::OnPaint(wxPaintEvent&) {
    // The pictures are made as the caption comes, never while the window paints.
    const TPictures* p = pictures_.get();
    if (usePictures_ && p && p->Usable && p->For(*this, WithDigits(caption_, '0'))) {
        wxPaintDC dc(this);
        Compose(dc, *p, caption_, GetUpdateRegion().GetBox());
        return;
    }
    wxAutoBufferedPaintDC dc(this);
    PaintText(dc, caption_);
}

void TCaptionPanel::PaintText(wxDC& dc, const wxString& text) {
    wxSize sz = GetClientSize();
    dc.SetBackground(wxBrush(GetBackgroundColour()));
    dc.Clear();
    if (bevel_ == bvLowered) {
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
        dc.DrawLine(0, 0, sz.x - 1, 0);
        dc.DrawLine(0, 0, 0, sz.y - 1);
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT)));
        dc.DrawLine(sz.x - 1, 0, sz.x - 1, sz.y);
        dc.DrawLine(0, sz.y - 1, sz.x, sz.y - 1);
    }
    dc.SetFont(GetFont());
    dc.SetTextForeground(GetForegroundColour());
    wxSize extent = dc.GetTextExtent(text);
    dc.DrawText(text, (sz.x - extent.x) / 2, (sz.y - extent.y) / 2);
}

wxBitmap TCaptionPanel::Painted(const wxString& text) {
    wxBitmap bitmap;
    bitmap.CreateWithDIPSize(GetClientSize(), GetContentScaleFactor(), 24);
    wxMemoryDC dc(bitmap);
    PaintText(dc, text);
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

// Made once per font, colours, size and shape: the panel painted with all digits 0, all 1 ... 9,
// and where each character stands. Each digit's cell is then copied from the picture of its digit.
// That gives the text's own pixels only if no digit reaches into a neighbour's cell and all digits
// are as wide: captions with every digit in every place beside varied neighbours are composed and
// painted both ways, and the pictures are used only if every pair is alike.
TCaptionPanel::TPictures* TCaptionPanel::PicturesFor(const wxString& text) {
    const wxString shape = WithDigits(text, '0');
    if (pictures_ && pictures_->For(*this, shape)) return pictures_->Usable ? pictures_.get() : nullptr;
    const wxSize size = GetClientSize();
    if (size.x <= 0 || size.y <= 0 || !IsShownOnScreen()) return nullptr;
    auto p = std::make_unique<TPictures>();
    p->Shape = shape;
    p->Font = GetFont();
    p->Fore = GetForegroundColour();
    p->Back = GetBackgroundColour();
    p->Size = size;
    p->Scale = GetContentScaleFactor();
    pictures_ = std::move(p);
    TPictures& pic = *pictures_;

    wxMemoryDC measure;
    measure.SetFont(GetFont());
    wxArrayInt widths;
    int digitWidth = -1;
    bool tabular = measure.GetPartialTextExtents(shape, widths) && widths.size() == shape.length();
    for (wxUniChar d = '0'; tabular && d <= '9'; d = wxUniChar(d.GetValue() + 1)) {
        const int w = measure.GetTextExtent(wxString(d)).x;
        tabular = digitWidth < 0 || w == digitWidth;
        digitWidth = w;
    }
    if (!tabular || shape.Find('0') == wxNOT_FOUND) return nullptr;
    const int left = (size.x - measure.GetTextExtent(shape).x) / 2;
    pic.Cells.assign(shape.length(), wxRect());
    for (size_t i = 0; i < shape.length(); ++i)
        if (IsDigit(shape[i])) {
            const int from = i ? widths[i - 1] : 0;
            pic.Cells[i] = wxRect(left + from, 0, widths[i] - from, size.y);
        }
    // The window's pictures are drawn on the window only: a bitmap drawn once into a memory DC keeps
    // what it made for that DC and draws nothing on the window (GTK). The check composes copies.
    TPictures check = pic;
    for (int d = 0; d < 10; ++d) {
        const wxImage picture = PaintedImage(pic.Showing(d));
        pic.Digits[d] = wxBitmap(picture, -1, pic.Scale);
        check.Digits[d] = wxBitmap(picture, -1, pic.Scale);
    }

    // Every digit in every place, beside neighbours one, three and seven apart.
    for (int step : {1, 3, 7})
        for (int start = 0; start < 10; ++start) {
            wxString sample(shape);
            int k = 0;
            for (auto it = sample.begin(); it != sample.end(); ++it)
                if (IsDigit(*it)) *it = wxUniChar('0' + (start + step * k++) % 10);
            wxBitmap composed;
            composed.CreateWithDIPSize(size, pic.Scale, 24);
            {
                wxMemoryDC dc(composed);
                Compose(dc, check, sample, wxRect(size));
            }
            if (!SamePixels(composed.ConvertToImage(), PaintedImage(sample))) return nullptr;
        }
    pic.Usable = true;
    return &pic;
}

// The panel within `box` as the pictures show `text`: all but the digits from any picture, each
// digit's cell from its digit's.
void TCaptionPanel::Compose(wxDC& dc, const TPictures& p, const wxString& text, const wxRect& box) {
    dc.SetClippingRegion(box);
    dc.DrawBitmap(p.Digits[0], 0, 0);
    dc.DestroyClippingRegion();
    for (size_t i = 0; i < text.length() && i < p.Cells.size(); ++i) {
        const wxRect cell = p.Cells[i].Intersect(box);
        if (cell.IsEmpty() || !IsDigit(text[i]) || text[i] == '0') continue;
        dc.SetClippingRegion(cell);
        dc.DrawBitmap(p.Digits[text[i].GetValue() - '0'], 0, 0);
        dc.DestroyClippingRegion();
    }
}

}  // namespace app
