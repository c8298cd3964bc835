// A borderless or bevelled panel that draws one centred caption, cheap enough to change every tick.
#pragma once

#include <wx/window.h>

namespace app {

class TCaptionPanel : public wxWindow {
public:
    enum TBevel { bvNone, bvLowered };
    TCaptionPanel(wxWindow* parent, const wxString& caption, const wxPoint& pos, const wxSize& size,
                  TBevel bevel = bvNone);

    void SetCaption(const wxString& caption);
    const wxString& Caption() const { return caption_; }

private:
    void OnPaint(wxPaintEvent&);

    wxString caption_;
    TBevel bevel_;
};

}  // namespace app
