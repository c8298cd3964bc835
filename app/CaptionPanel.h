// A borderless or bevelled panel that draws one centred caption, cheap enough to change every tick.
#pragma once

#include <memory>

#include <wx/bitmap.h>
#include <wx/window.h>

namespace app {

class TCaptionPanel : public wxWindow {
public:
    enum TBevel { bvNone, bvLowered };
    TCaptionPanel(wxWindow* parent, const wxString& caption, const wxPoint& pos, const wxSize& size,
                  TBevel bevel = bvNone);
    ~TCaptionPanel() override;

    void SetCaption(const wxString& caption);
    const wxString& Caption() const { return caption_; }

    // Screen readers (AT-SPI, MSAA) read the caption as the panel's name. One that announces says
    // each new caption as it comes (the stopped time); a quiet one gives its caption when asked and
    // raises no change on every frame (the live clock).
    void SpeakCaption(bool announce);

    // The live clock's way: the digits are copied from pictures of the panel made once per font,
    // colours and size, and a new caption repaints only the digits that changed; no text is laid
    // out per frame. The pictures are used only where they give the very pixels the text itself
    // would (checked when they are made); elsewhere the text is drawn whole, as without them.
    void DrawDigitsFromPictures(bool on);
    // True while the caption shown comes from the pictures.
    bool DrawsFromPictures();

private:
    struct TPictures;
    void OnPaint(wxPaintEvent&);
    void PaintText(wxDC& dc, const wxString& text);  // background, bevel, the centred text
    wxBitmap Painted(const wxString& text);
    wxImage PaintedImage(const wxString& text);  // the pixels the window shows for the text (per system)
    // The pictures for the caption's shape (its characters, digits aside), made if need be; null
    // where they cannot stand for the text.
    TPictures* PicturesFor(const wxString& text);
    void Compose(wxDC& dc, const TPictures& p, const wxString& text, const wxRect& box);
    void TellCaption();  // the system's binding: the new caption to assistive technology

    wxString caption_;
    TBevel bevel_;
    bool spoken_ = false, announced_ = false;
    bool usePictures_ = false;
    std::unique_ptr<TPictures> pictures_;
};

}  // namespace app
