#include "serial/CPortCtl.h"

#include <map>

#include <wx/dcclient.h>
#include <wx/image.h>

#include "resources/ledblueoff.xpm"
#include "resources/ledblueon.xpm"
#include "resources/ledbulboff.xpm"
#include "resources/ledbulbon.xpm"
#include "resources/ledgreenoff.xpm"
#include "resources/ledgreenon.xpm"
#include "resources/ledpurpleoff.xpm"
#include "resources/ledpurpleon.xpm"
#include "resources/ledredoff.xpm"
#include "resources/ledredon.xpm"
#include "resources/ledyellowoff.xpm"
#include "resources/ledyellowon.xpm"

namespace serial {

TComComboBox::TComComboBox(wxWindow* parent, const wxPoint& pos, const wxSize& size, TPortLister lister)
    : wxChoice(parent, wxID_ANY, pos, size), select_(items_) {
    select_.Lister = std::move(lister);
    Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { Change(); });
}

TComComboBox::~TComComboBox() {
    if (select_.ComPort) select_.ComPort->RemoveRemovalNotice(this);
}

void TComComboBox::Forget() {
    select_.ComPort = nullptr;
    if (!items_.empty()) Select(0);
}

void TComComboBox::SetComPort(TCustomComPort* port) {
    if (port == select_.ComPort) return;
    if (select_.ComPort) select_.ComPort->RemoveRemovalNotice(this);
    select_.ComPort = port;
    if (!port) return;
    port->AddRemovalNotice(this, [this] { Forget(); });
    Select(select_.ReadFromPort());
}

void TComComboBox::SetComProperty(TComProperty kind) {
    try {
        select_.FillItems(kind);
    } catch (...) {
        ShowItems();
        throw;
    }
    ShowItems();
    if (items_.empty()) return;
    Select(select_.ComPort ? select_.ReadFromPort() : 0);
}

void TComComboBox::ShowItems() {
    wxChoice::Clear();
    for (const std::string& s : items_) Append(wxString::FromUTF8(s));
}

void TComComboBox::Select(int index) {
    if (index == TComSelect::kNoAnswer) return;
    SetSelection(index >= 0 ? index : wxNOT_FOUND);
}

std::string TComComboBox::Text() const {
    int i = GetSelection();
    return i >= 0 && static_cast<size_t>(i) < items_.size() ? items_[static_cast<size_t>(i)] : std::string();
}

void TComComboBox::SetText(const std::string& text) {
    int i = select_.IndexOf(text);
    if (i >= 0) SetSelection(i);
}

void TComComboBox::Change() {
    if (!TakeSelection()) return;
    if (OnChange) OnChange();
}

void TComComboBox::ApplySelection() { TakeSelection(); }

bool TComComboBox::TakeSelection() {
    try {
        select_.TakeText(Text());
    } catch (const std::exception& e) {
        if (ReportError) ReportError(e);
        return false;
    }
    return true;
}

namespace {

const std::map<std::string, const char* const*>& Pictures() {
    static const std::map<std::string, const char* const*> pictures = {
        {"LEDREDON", LEDREDON_xpm},       {"LEDREDOFF", LEDREDOFF_xpm},       {"LEDGREENON", LEDGREENON_xpm},
        {"LEDGREENOFF", LEDGREENOFF_xpm}, {"LEDBLUEON", LEDBLUEON_xpm},       {"LEDBLUEOFF", LEDBLUEOFF_xpm},
        {"LEDYELLOWON", LEDYELLOWON_xpm}, {"LEDYELLOWOFF", LEDYELLOWOFF_xpm}, {"LEDPURPLEON", LEDPURPLEON_xpm},
        {"LEDPURPLEOFF", LEDPURPLEOFF_xpm}, {"LEDBULBON", LEDBULBON_xpm},     {"LEDBULBOFF", LEDBULBOFF_xpm}};
    return pictures;
}

}  // namespace

wxBitmap WithAutoMask(const wxBitmap& b) {
    if (!b.IsOk()) return b;
    wxImage img = b.ConvertToImage();
    int y = img.GetHeight() - 1;
    img.SetMaskColour(img.GetRed(0, y), img.GetGreen(0, y), img.GetBlue(0, y));
    return wxBitmap(img);
}

wxBitmap LedPicture(const std::string& name) {
    auto it = Pictures().find(name);
    if (it == Pictures().end()) return wxBitmap();
    return WithAutoMask(wxBitmap(it->second));
}

TComLed::TComLed(wxWindow* parent, const wxPoint& pos, const wxSize& size)
    : wxWindow(parent, wxID_ANY, pos, size, wxFULL_REPAINT_ON_RESIZE), ring_(this) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Model.Redraw = [this] {
        Refresh();
        Update();  // on screen before the port's own handler for the same report runs
    };
    Model.StartTimer = [this](int ms) { ring_.Start(ms); };
    Model.StopTimer = [this] { ring_.Stop(); };
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Model.TimerTick(); });
    Bind(wxEVT_PAINT, &TComLed::Paint, this);
    LoadKind();
}

TComLed::~TComLed() {
    ring_.Stop();
    Model.Redraw = nullptr;
}

void TComLed::SetKind(TLedKind kind) {
    if (kind == kind_) return;
    kind_ = kind;
    LoadKind();
    Refresh();
}

void TComLed::LoadKind() {
    if (kind_ == lkCustom) return;
    on_ = LedPicture(LedPictureName(kind_, lsOn));
    off_ = LedPicture(LedPictureName(kind_, lsOff));
}

void TComLed::SetGlyphOn(const wxBitmap& b) {
    if (kind_ != lkCustom) return;
    on_ = WithAutoMask(b);
    Refresh();
}

void TComLed::SetGlyphOff(const wxBitmap& b) {
    if (kind_ != lkCustom) return;
    off_ = WithAutoMask(b);
    Refresh();
}

bool TComLed::Enable(bool enable) {
    bool changed = wxWindow::Enable(enable);
    if (changed) Refresh();
    return changed;
}

const wxBitmap& TComLed::Shown() const { return IsThisEnabled() && Model.State() == lsOn ? on_ : off_; }

void TComLed::Paint(wxPaintEvent&) {
    wxPaintDC dc(this);
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();
    if (!on_.IsOk() || !off_.IsOk()) LoadKind();
    const wxBitmap& b = Shown();
    if (!b.IsOk()) return;
    wxSize client = GetClientSize();
    int x = std::max(0, (client.x - b.GetWidth()) / 2), y = std::max(0, (client.y - b.GetHeight()) / 2);
    dc.DrawBitmap(b, x, y, true);
}

}  // namespace serial
