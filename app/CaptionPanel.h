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

    // Screen readers (AT-SPI, MSAA) read the caption as the panel's name. One that announces says
    // each new caption as it comes (the stopped time); a quiet one gives its caption when asked and
    // raises no change on every frame (the live clock).
    void SpeakCaption(bool announce);

private:
    void OnPaint(wxPaintEvent&);
    void TellCaption();  // the system's binding: the new caption to assistive technology

    wxString caption_;
    TBevel bevel_;
    bool spoken_ = false, announced_ = false;
};

}  // namespace app
