// The port controls: a drop-down selector of one port setting, and an LED that shows one line.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <wx/bitmap.h>
#include <wx/choice.h>
#include <wx/timer.h>
#include <wx/window.h>

#include "serial/PortSelect.h"

namespace serial {

class TComComboBox : public wxChoice {
public:
    TComComboBox(wxWindow* parent, const wxPoint& pos, const wxSize& size, TPortLister lister = SystemPortLister());
    ~TComComboBox() override;

    TCustomComPort* ComPort() const { return select_.ComPort; }
    void SetComPort(TCustomComPort* port);
    TComProperty ComProperty() const { return select_.Kind; }
    void SetComProperty(TComProperty kind);
    bool AutoApply() const { return select_.AutoApply; }
    void SetAutoApply(bool v) { select_.AutoApply = v; }
    // The selected item's text, empty without a selection.
    std::string Text() const;
    // Selects the item equal to `text` ignoring letter case; nothing happens when none is.
    void SetText(const std::string& text);
    // The selected item taken into the port as a pick takes it, without OnChange; a failure goes
    // to ReportError.
    void ApplySelection();
    const std::vector<std::string>& Items() const { return items_; }

    // The user picked an item: taken (and applied with AutoApply), then OnChange. A failure while
    // applying goes to ReportError and OnChange is not raised.
    std::function<void()> OnChange;
    std::function<void(const std::exception&)> ReportError;
    void Change();

private:
    bool TakeSelection();
    void ShowItems();
    void Select(int index);
    void Forget();

    std::vector<std::string> items_;
    TComSelect select_;
};

class TComLed : public wxWindow {
public:
    TComLed(wxWindow* parent, const wxPoint& pos, const wxSize& size = wxSize(25, 25));
    ~TComLed() override;

    TComLedModel Model;
    TCustomComPort* ComPort() const { return Model.ComPort(); }
    void SetComPort(TCustomComPort* port) { Model.SetComPort(port); }
    TLedKind Kind() const { return kind_; }
    void SetKind(TLedKind kind);
    // Taken only with lkCustom.
    void SetGlyphOn(const wxBitmap& b);
    void SetGlyphOff(const wxBitmap& b);
    const wxBitmap& GlyphOn() const { return on_; }
    const wxBitmap& GlyphOff() const { return off_; }
    bool Enable(bool enable = true) override;
    // The picture painted now.
    const wxBitmap& Shown() const;

private:
    void LoadKind();
    void Paint(wxPaintEvent&);

    TLedKind kind_ = lkRedLight;
    wxBitmap on_, off_;
    wxTimer ring_;
};

// A built-in picture by its resource name ("LEDREDON" ...), with its bottom-left pixel's colour as
// the transparent one.
wxBitmap LedPicture(const std::string& name);
// The same transparency for a picture handed in.
wxBitmap WithAutoMask(const wxBitmap& b);

}  // namespace serial
