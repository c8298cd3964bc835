#include "app/CaptionPanel.h"

#include <wx/dcbuffer.h>
#include <wx/settings.h>

namespace app {

TCaptionPanel::TCaptionPanel(wxWindow* parent, const wxString& caption, const wxPoint& pos, const wxSize& size,
                             TBevel bevel)
    : wxWindow(parent, wxID_ANY, pos, size, wxFULL_REPAINT_ON_RESIZE), caption_(caption), bevel_(bevel) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &TCaptionPanel::OnPaint, this);
}

void TCaptionPanel::SetCaption(const wxString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Refresh(false);
    if (spoken_) TellCaption();
}

void TCaptionPanel::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
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
    wxSize text = dc.GetTextExtent(caption_);
    dc.DrawText(caption_, (sz.x - text.x) / 2, (sz.y - text.y) / 2);
}

}  // namespace app
