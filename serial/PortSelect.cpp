#include "serial/PortSelect.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/AnsiCodePage.h"
#include "base/TextFile.h"


namespace serial {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool SameText(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

}  // namespace

void SortPortNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::strcoll(Lower(a).c_str(), Lower(b).c_str()) < 0;
    });
}

void ListSerialPorts(std::vector<std::string>& list, const TPortLister& lister) {
    std::vector<std::string> names = lister ? lister() : std::vector<std::string>{};
    SortPortNames(names);
    list = std::move(names);
}

void TComSelect::FillItems(TComProperty kind) {
    Kind = kind;
    items_.clear();
    switch (kind) {
    case cpNone: break;
    case cpPort: ListSerialPorts(items_, Lister); break;
    case cpBaudRate:
        for (int i = brCustom; i <= br256000; ++i) items_.push_back(BaudRateToText(static_cast<TBaudRate>(i)));
        break;
    case cpDataBits:
        for (int i = dbFive; i <= dbEight; ++i) items_.push_back(DataBitsToText(static_cast<TDataBits>(i)));
        break;
    case cpStopBits:
        for (int i = sbOneStopBit; i <= sbTwoStopBits; ++i) items_.push_back(StopBitsToText(static_cast<TStopBits>(i)));
        break;
    case cpParity:
        for (int i = prNone; i <= prSpace; ++i) items_.push_back(ParityToText(static_cast<TParityBits>(i)));
        break;
    case cpFlowControl:
        for (int i = fcHardware; i <= fcCustom; ++i) items_.push_back(FlowControlToText(static_cast<TFlowControl>(i)));
        break;
    }
}

void TComSelect::TakeText(const std::string& text) {
    switch (Kind) {
    case cpNone: break;
    case cpPort: PortName = text; break;
    case cpBaudRate: BaudRate = TextToBaudRate(text); break;
    case cpDataBits: DataBits = TextToDataBits(text); break;
    case cpStopBits: StopBits = TextToStopBits(text); break;
    case cpParity: Parity = TextToParity(text); break;
    case cpFlowControl: FlowControl = TextToFlowControl(text); break;
    }
    if (AutoApply) ApplyToPort();
}

void TComSelect::ApplyToPort() {
    if (!ComPort) return;
    switch (Kind) {
    case cpNone: break;
    case cpPort: ComPort->SetPort(PortName); break;
    case cpBaudRate: ComPort->SetBaudRate(BaudRate); break;
    case cpDataBits: ComPort->SetDataBits(DataBits); break;
    case cpStopBits: ComPort->SetStopBits(StopBits); break;
    case cpParity: ComPort->Parity.SetBits(Parity); break;
    case cpFlowControl: ComPort->FlowControl.SetFlowControl(FlowControl); break;
    }
}

int TComSelect::IndexOf(const std::string& text) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (SameText(items_[i], text)) return static_cast<int>(i);
    return -1;
}

int TComSelect::ReadFromPort() {
    if (!ComPort || Kind == cpNone) return kNoAnswer;
    std::string value;
    switch (Kind) {
    case cpNone: break;
    case cpPort: value = ComPort->Port(); break;
    case cpBaudRate: value = BaudRateToText(ComPort->BaudRate()); break;
    case cpDataBits: value = DataBitsToText(ComPort->DataBits()); break;
    case cpStopBits: value = StopBitsToText(ComPort->StopBits()); break;
    case cpParity: value = ParityToText(ComPort->Parity.Bits()); break;
    case cpFlowControl: value = FlowControlToText(ComPort->FlowControl.FlowControl()); break;
    }
    int index = IndexOf(value);
    if (index >= 0) {
        bool apply = AutoApply;
        AutoApply = false;  // reading the port back never writes it
        TakeText(items_[static_cast<size_t>(index)]);
        AutoApply = apply;
    }
    return index;
}

const char* LedPictureName(TLedKind kind, TLedState state) {
    static const char* const names[][2] = {{"LEDREDOFF", "LEDREDON"},       {"LEDGREENOFF", "LEDGREENON"},
                                           {"LEDBLUEOFF", "LEDBLUEON"},     {"LEDYELLOWOFF", "LEDYELLOWON"},
                                           {"LEDPURPLEOFF", "LEDPURPLEON"}, {"LEDBULBOFF", "LEDBULBON"}};
    if (kind == lkCustom) return "";
    return names[kind][state];
}

TComLedModel::TComLedModel() { link_.OnConn = [this](TCustomComPort& p, bool on) { Switch(p, on); }; }

TComLedModel::~TComLedModel() {
    if (port_) {
        port_->RemoveRemovalNotice(this);
        try {
            port_->DetachLink(&link_);
        } catch (...) {
        }
    }
}

void TComLedModel::SetComPort(TCustomComPort* port) {
    if (port == port_) return;
    if (port_) {
        port_->RemoveRemovalNotice(this);
        port_->DetachLink(&link_);
    }
    port_ = port;
    if (!port_) {
        ChangeState(lsOff);
        return;
    }
    port_->AddRemovalNotice(this, [this] {
        port_ = nullptr;  // its links are gone with it
        ChangeState(lsOff);
    });
    port_->AttachLink(&link_);
    if (port_->Connected() && !Loading) ChangeState(SignalValue() ? lsOn : lsOff);
}

bool TComLedModel::SignalValue() {
    switch (signal_) {
    case lsConn: return port_ && port_->Connected();
    case lsCTS: return port_->ReadModemSignals() & msCTS;
    case lsDSR: return port_->ReadModemSignals() & msDSR;
    case lsRLSD: return port_->ReadModemSignals() & msRLSD;
    default: return false;
    }
}

void TComLedModel::SetLedSignal(TComLedSignal s) {
    if (s == signal_) return;
    signal_ = s;
    FillSlot();
}

void TComLedModel::FillSlot() {
    link_.OnConn = link_.OnCTSChange = link_.OnDSRChange = link_.OnRLSDChange = link_.OnTx = link_.OnRx = nullptr;
    link_.OnRing = nullptr;
    auto sw = [this](TCustomComPort& p, bool on) { Switch(p, on); };
    switch (signal_) {
    case lsConn: link_.OnConn = sw; break;
    case lsCTS: link_.OnCTSChange = sw; break;
    case lsDSR: link_.OnDSRChange = sw; break;
    case lsRLSD: link_.OnRLSDChange = sw; break;
    case lsRing: link_.OnRing = [this](TCustomComPort& p) { RingStart(p); }; break;
    case lsRx: link_.OnRx = sw; break;
    case lsTx: link_.OnTx = sw; break;
    }
}

void TComLedModel::SetState(TLedState s) {
    if (port_) throw EComPort(19);
    ChangeState(s);
}

void TComLedModel::ChangeState(TLedState s) {
    state_ = s;
    if (!Loading && OnChange) OnChange(s);
    if (Redraw) Redraw();
}

void TComLedModel::Switch(TCustomComPort&, bool on) { ChangeState(on ? lsOn : lsOff); }

void TComLedModel::RingStart(TCustomComPort&) {
    ChangeState(lsOn);
    if (timerRunning_) return;  // a burst of rings: dark RingDuration after the first
    timerRunning_ = true;
    if (StartTimer) StartTimer(RingDuration);
}

void TComLedModel::TimerTick() {
    timerRunning_ = false;
    if (StopTimer) StopTimer();
    ChangeState(lsOff);
}

TPortSettingsLines ReadPortSettings(const std::string& path) { return ParsePortSettings(base::ReadWholeFile(path)); }

TPortSettingsLines ParsePortSettings(const std::string& ansiBytes) {
    std::string text = base::AnsiToUtf8(ansiBytes);
    TPortSettingsLines lines;
    size_t pos = 0;
    while (lines.size() < 6 && pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    lines.resize(6);
    return lines;
}

std::string PortSettingsBytes(const TPortSettingsLines& lines) {
    std::string text;
    for (size_t i = 0; i < 6; ++i) text += (i < lines.size() ? lines[i] : std::string()) + "\r\n";
    return base::Utf8ToAnsi(text);
}

void WritePortSettings(const std::string& path, const TPortSettingsLines& lines) {
    base::RewriteFile(path, PortSettingsBytes(lines));
}

}  // namespace serial
