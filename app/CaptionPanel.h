// A borderless or bevelled panel that draws one centred caption, cheap enough to change every tick.
#pragma once

#include <memory>
#include <vector>

#include <wx/bitmap.h>
#include <wx/font.h>
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
    // What the pictures were made for, and they themselves.
    struct TPictures {
        wxString Shape;  // the caption with every digit 0
        wxFont Font;
        wxColour Fore, Back;
        wxSize Size;
        double Scale = 1;
        bool Usable = false;           // false: made, but they would not give the text's pixels
        std::vector<wxRect> Cells;     // of each character; empty for all but digits
        wxBitmap Digits[10];           // the panel with every digit d
        std::shared_ptr<void> Screen;  // the system's own copies for drawing straight on screen

        bool For(const TCaptionPanel& panel, const wxString& shape) const {
            return Shape == shape && Font == panel.GetFont() && Fore == panel.GetForegroundColour() &&
                   Back == panel.GetBackgroundColour() && Size == panel.GetClientSize() &&
                   Scale == panel.GetContentScaleFactor();
        }
        // The caption's shape with every digit d.
        wxString Showing(int d) const;
    };
    void OnPaint(wxPaintEvent&);
    void PaintText(wxDC& dc, const wxString& text);  // background, bevel, the centred text
    wxBitmap Painted(const wxString& text);
    wxImage PaintedImage(const wxString& text);  // the pixels the window shows for the text (per system)
    // The pictures for the caption's shape (its characters, digits aside), made if need be; null
    // where they cannot stand for the text.
    TPictures* PicturesFor(const wxString& text);
    void Compose(wxDC& dc, const TPictures& p, const wxString& text, const wxRect& box);
    // Draws the caption's digits at `cells` on the screen at once, outside the paint cycle, where
    // the system lets the panel do so (per system); false: they are to be refreshed.
    bool DrawCellsOnScreen(TPictures& p, const std::vector<size_t>& cells);
    void TellCaption();  // the system's binding: the new caption to assistive technology

    wxString caption_;
    TBevel bevel_;
    bool spoken_ = false, announced_ = false;
    bool usePictures_ = false;
    std::unique_ptr<TPictures> pictures_;
};

}  // namespace app
