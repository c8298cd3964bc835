#include "serial/CPort.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "serial/ThreadPriority.h"

namespace serial {

namespace {

template <class T> struct TValueOf { using type = T; };
template <class T> struct TValueOf<std::atomic<T>> { using type = T; };

// Holds a member at a value while a scope lasts, and puts `after` back however the scope ends.
template <class T>
class THeldFor {
    using V = typename TValueOf<T>::type;

public:
    THeldFor(T& member, V during, V after = V{}) : member_(member), after_(std::move(after)) {
        member_ = std::move(during);
    }
    ~THeldFor() { member_ = std::move(after_); }
    THeldFor(const THeldFor&) = delete;
    THeldFor& operator=(const THeldFor&) = delete;

private:
    T& member_;
    V after_;
};

}  // namespace

// --- settings objects -------------------------------------------------------------------------

template <class T>
void TComParity::Change(T& field, T value) {
    if (field == value) return;
    field = value;
    port_.ApplyLineSettings();
}
void TComParity::SetBits(TParityBits v) { Change(bits_, v); }
void TComParity::SetCheck(bool v) { Change(check_, v); }
void TComParity::SetReplace(bool v) { Change(replace_, v); }
void TComParity::SetReplaceChar(char v) { Change(replaceChar_, v); }
void TComParity::Assign(const TComParity& o) {
    bits_ = o.bits_, check_ = o.check_, replace_ = o.replace_, replaceChar_ = o.replaceChar_;
    port_.ApplyLineSettings();
}

TFlowControl TComFlowControl::FlowControl() const {
    if (ControlRTS == rtsHandshake && OutCTSFlow && !XonXoffIn && !XonXoffOut) return fcHardware;
    if (ControlRTS == rtsDisable && !OutCTSFlow && XonXoffIn && XonXoffOut) return fcSoftware;
    if (ControlRTS == rtsDisable && !OutCTSFlow && !XonXoffIn && !XonXoffOut) return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl v) {
    if (v != fcCustom) {
        ControlRTS = rtsDisable;
        OutCTSFlow = XonXoffIn = XonXoffOut = false;
        if (v == fcHardware) {
            ControlRTS = rtsHandshake;
            OutCTSFlow = true;
        } else if (v == fcSoftware) {
            XonXoffIn = XonXoffOut = true;
        }
    }
    port_.ApplyLineSettings();
}

void TComFlowControl::Assign(const TComFlowControl& o) {
    OutCTSFlow = o.OutCTSFlow, OutDSRFlow = o.OutDSRFlow, ControlDTR = o.ControlDTR, ControlRTS = o.ControlRTS;
    XonXoffOut = o.XonXoffOut, XonXoffIn = o.XonXoffIn, DSRSensitivity = o.DSRSensitivity;
    TxContinueOnXoff = o.TxContinueOnXoff, XonChar = o.XonChar, XoffChar = o.XoffChar;
    port_.ApplyLineSettings();
}

void TComTimeouts::Assign(const TComTimeouts& o) {
    ReadInterval = o.ReadInterval, ReadTotalMultiplier = o.ReadTotalMultiplier, ReadTotalConstant = o.ReadTotalConstant;
    WriteTotalMultiplier = o.WriteTotalMultiplier, WriteTotalConstant = o.WriteTotalConstant;
    port_.ApplyTimeoutSettings();
}

namespace {
int32_t EvenSize(int32_t v) { return v > 0 && v % 2 == 1 ? v - 1 : v; }
}  // namespace

void TComBuffer::SetInputSize(int32_t v) {
    if (input_ == v) return;
    input_ = EvenSize(v);
    port_.ApplyBufferSizes();
}
void TComBuffer::SetOutputSize(int32_t v) {
    if (output_ == v) return;
    output_ = EvenSize(v);
    port_.ApplyBufferSizes();
}
void TComBuffer::Assign(const TComBuffer& o) {
    input_ = o.input_, output_ = o.output_;
    port_.ApplyBufferSizes();
}

// --- the port ---------------------------------------------------------------------------------

TCustomComPort::TCustomComPort(TComDriver& driver, base::TCallQueue& ui, base::TClock& clock)
    : Parity(*this), FlowControl(*this), Timeouts(*this), Buffer(*this), driver_(driver), ui_(ui), clock_(clock),
      alive_(std::make_shared<bool>(true)) {}

TCustomComPort::~TCustomComPort() {
    if (dispatching_ > 0) {
        // Its event thread waits for this very handler to return, and the dispatch goes on with
        // the port once it does: there is no safe way on. A clear end instead of a hang.
        std::fputs("TComPort destroyed from inside its own event handler\n", stderr);
        std::abort();
    }
    closeDeferred_ = false;
    try {
        ClosePort();
    } catch (...) {
    }
    if (threadCreated_) StopEventThread();  // a close that failed half-way
    auto notices = std::move(removalNotices_);
    for (auto& [owner, notice] : notices) notice();
}

void TCustomComPort::AddRemovalNotice(const void* owner, std::function<void()> notice) {
    RemoveRemovalNotice(owner);
    removalNotices_.emplace_back(owner, std::move(notice));
}

void TCustomComPort::RemoveRemovalNotice(const void* owner) {
    std::erase_if(removalNotices_, [owner](const auto& n) { return n.first == owner; });
}

void TCustomComPort::SetConnected(bool v) {
    if (Loading) {
        connectedStored_ = v;
        return;
    }
    if (v == connected_) return;
    if (v) OpenPort();
    else ClosePort();
}

void TCustomComPort::Loaded() {
    Loading = false;
    if (!connectedStored_) return;
    connectedStored_ = false;
    try {
        OpenPort();
    } catch (const std::exception& e) {
        if (ReportError) ReportError(e);
    }
}

void TCustomComPort::SetPort(const std::string& v) {
    if (port_ == v) return;
    port_ = v;
    if (connected_ && !Loading) {
        if (dispatching_ > 0) {  // asked for by a handler of this port: both once its dispatch returns
            closeDeferred_ = reopenDeferred_ = true;
            return;
        }
        ClosePort();
        OpenPort();
    }
}

#define TEMPIX_LINE_SETTER(Name, Type, field) \
    void TCustomComPort::Set##Name(Type v) {   \
        if (field == v) return;                \
        field = v;                             \
        ApplyLineSettings();                   \
    }
TEMPIX_LINE_SETTER(BaudRate, TBaudRate, baudRate_)
TEMPIX_LINE_SETTER(CustomBaudRate, int32_t, customBaudRate_)
TEMPIX_LINE_SETTER(StopBits, TStopBits, stopBits_)
TEMPIX_LINE_SETTER(DataBits, TDataBits, dataBits_)
TEMPIX_LINE_SETTER(DiscardNull, bool, discardNull_)
TEMPIX_LINE_SETTER(EventChar, char, eventChar_)
#undef TEMPIX_LINE_SETTER

void TCustomComPort::SetSyncMethod(TSyncMethod v) {
    if (syncMethod_ == v) return;
    if (connected_ && !Loading) throw EComPort(14);
    syncMethod_ = v;
}

TLineSettings TCustomComPort::LineSettings() const {
    TLineSettings s;
    s.BaudRate = baudRate_, s.CustomBaudRate = customBaudRate_, s.DataBits = dataBits_, s.StopBits = stopBits_;
    s.DiscardNull = discardNull_, s.EventChar = eventChar_;
    s.ParityBits = Parity.Bits(), s.ParityCheck = Parity.Check(), s.ParityReplace = Parity.Replace();
    s.ReplaceChar = Parity.ReplaceChar();
    const TComFlowControl& f = FlowControl;
    s.OutCTSFlow = f.OutCTSFlow, s.OutDSRFlow = f.OutDSRFlow, s.ControlDTR = f.ControlDTR, s.ControlRTS = f.ControlRTS;
    s.XonXoffOut = f.XonXoffOut, s.XonXoffIn = f.XonXoffIn, s.DSRSensitivity = f.DSRSensitivity;
    s.TxContinueOnXoff = f.TxContinueOnXoff, s.XonChar = f.XonChar, s.XoffChar = f.XoffChar;
    s.InputSize = Buffer.InputSize();
    return s;
}

void TCustomComPort::OpenDevice() {
    int error = 0;
    device_ = driver_.Open(port_, error);
    if (!device_) throw EComPort(1, error);
}

void TCustomComPort::CloseDevice() { device_.reset(); }

void TCustomComPort::ApplyAllSettings() {
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

void TCustomComPort::ApplyLineSettings() {
    if (!Applies()) return;
    int error = 0;
    if (!device_->SetCommState(BuildDCB(LineSettings()), error)) throw EComPort(7, error);
}

void TCustomComPort::ApplyTimeoutSettings() {
    if (!Applies()) return;
    TCommTimeouts t{static_cast<uint32_t>(Timeouts.ReadInterval), static_cast<uint32_t>(Timeouts.ReadTotalMultiplier),
                    static_cast<uint32_t>(Timeouts.ReadTotalConstant), static_cast<uint32_t>(Timeouts.WriteTotalMultiplier),
                    static_cast<uint32_t>(Timeouts.WriteTotalConstant)};
    int error = 0;
    if (!device_->SetCommTimeouts(t, error)) throw EComPort(8, error);
}

void TCustomComPort::ApplyBufferSizes() {
    if (!Applies()) return;
    int error = 0;
    if (!device_->SetupComm(static_cast<uint32_t>(Buffer.InputSize()), static_cast<uint32_t>(Buffer.OutputSize()), error))
        throw EComPort(9, error);
}

TModemSignals TCustomComPort::ReadModemSignals() {
    return ReadSignals([this](uint32_t& status, int& error) { return device_->GetCommModemStatus(status, error); });
}

TModemSignals TCustomComPort::ReadEventSignals(TEdgeTime& seen) {
    return ReadSignals(
        [&](uint32_t& status, int& error) { return device_->GetEventModemStatus(status, seen, error); });
}

TModemSignals TCustomComPort::ReadSignals(const std::function<bool(uint32_t&, int&)>& read) {
    uint32_t status = 0;
    int error = ERROR_INVALID_HANDLE;
    if (!device_ || !read(status, error)) throw EComPort(11, error);
    return static_cast<TModemSignals>((status >> 4) & 0x0F);
}

int TCustomComPort::ReadInputCount() {
    uint32_t errors = 0, count = 0;
    int error = ERROR_INVALID_HANDLE;
    if (!device_ || !device_->ClearCommError(errors, count, error)) throw EComPort(10, error);
    return static_cast<int>(count);
}

TComErrors TCustomComPort::ReadLineErrors() {
    uint32_t e = 0, count = 0;
    int error = ERROR_INVALID_HANDLE;
    if (!device_ || !device_->ClearCommError(e, count, error)) throw EComPort(10, error);
    TComErrors r = 0;
    if (e & CE_FRAME) r |= erFrame;
    if ((e & CE_RXPARITY) && Parity.Check()) r |= erParity;
    if (e & CE_OVERRUN) r |= erOverrun;
    if (e & CE_BREAK) r |= erBreak;
    if (e & CE_IOE) r |= erIO;
    if (e & CE_MODE) r |= erMode;
    if (e & CE_RXOVER) r |= erRxOver;
    if (e & CE_TXFULL) r |= erTxFull;
    return r;
}

void TCustomComPort::PurgeTransfers() {
    int error = ERROR_INVALID_HANDLE;
    if (!device_ || !device_->PurgeComm(PURGE_TXABORT | PURGE_RXABORT, error)) throw EComPort(5, error);
}

int TCustomComPort::ReadBlock(char* buffer, int count) {
    uint32_t read = 0;
    int error = ERROR_INVALID_HANDLE;
    if (!device_ || !device_->Read(buffer, static_cast<uint32_t>(count), read, error)) throw EComPort(3, error);
    if (ReadInputCount() == 0) NotifyLinks([&](TComLink& l) { if (l.OnRx) l.OnRx(*this, false); });
    return static_cast<int>(read);
}

void TCustomComPort::AttachLink(TComLink* link) {
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) throw EComPort(18);
    links_.push_back(link);
    linkWantsData_ = std::any_of(links_.begin(), links_.end(), [](TComLink* l) { return bool(l->OnRxBuf); });
}

void TCustomComPort::DetachLink(TComLink* link) {
    auto it = std::find(links_.begin(), links_.end(), link);
    if (it == links_.end()) throw EComPort(18);
    links_.erase(it);
    linkWantsData_ = std::any_of(links_.begin(), links_.end(), [](TComLink* l) { return bool(l->OnRxBuf); });
}

template <class F>
void TCustomComPort::NotifyLinks(F&& call) {
    std::vector<TComLink*> links = links_;  // a slot may detach its link
    for (TComLink* l : links) call(*l);
}

void TCustomComPort::OpenPort() {
    if (connected_) return;
    if (OnBeforeOpen) OnBeforeOpen(*this);
    OpenDevice();
    connected_ = true;
    try {
        ApplyAllSettings();
    } catch (...) {
        CloseDevice();
        connected_ = false;
        throw;
    }
    if (Events != 0) {
        device_->SetCommMask(EventsToMask(Events));
        threadEnded_ = false;
        TComEvents events = Events;
        try {
            thread_ = std::thread([this, events] { ThreadBody(events); });
        } catch (const std::system_error&) {  // no thread to be had: the device is let go, not kept
            CloseDevice();
            connected_ = false;
            throw EComPort(1, 8);  // ERROR_NOT_ENOUGH_MEMORY
        }
        threadCreated_ = true;
    }
    NotifyLinks([&](TComLink& l) { if (l.OnConn) l.OnConn(*this, true); });
    if (OnAfterOpen) OnAfterOpen(*this);
    ReportLineSignals(true);
}

void TCustomComPort::ClosePort() {
    if (!connected_ || closing_) return;  // closed, or being closed by a call further up
    if (dispatching_ > 0) {
        closeDeferred_ = true;  // the event thread waits for this very dispatch: close when it returns
        reopenDeferred_ = false;
        return;
    }
    // Edges the event thread saw before the stop was asked for were real passages: the reports it
    // has queued for this thread run to their end first. One it sees from now on is dropped.
    if (threadCreated_ && syncMethod_ != smNone) {
        THeldFor asked(stopAskedUs_, std::optional<int64_t>(clock_.MonotonicUsNow()));
        ui_.RunPending();
        if (!connected_) return;
    }
    THeldFor closing(closing_, true);
    ReportLineSignals(false);
    if (OnBeforeClose) OnBeforeClose(*this);
    // A device already gone cannot be purged; it can still be closed.
    try {
        PurgeTransfers();
    } catch (const EComPort&) {
        if (!threadCreated_ || !threadEnded_) throw;
    }
    if (threadCreated_) StopEventThread();
    CloseDevice();
    connected_ = false;
    NotifyLinks([&](TComLink& l) { if (l.OnConn) l.OnConn(*this, false); });
    if (OnAfterClose) OnAfterClose(*this);
}

void TCustomComPort::StopEventThread() {
    device_->StopWaits();
    // Calls the thread has already queued still run, so it can end.
    ui_.RunUntil([this] { return threadEnded_.load(); });
    thread_.join();
    threadCreated_ = false;
}

void TCustomComPort::ThreadBody(TComEvents) {
    RunAheadOfOrdinaryPrograms();  // where the system allows it; the thread works either way
    for (;;) {
        uint32_t mask = 0;
        TComDevice::TWait w = device_->WaitCommEvent(mask);
        const TEdgeTime returned = Now();  // first: the time a line change is captured at
        if (w == TComDevice::TWait::Event) {
            TComEvents events = MaskToEvents(mask);
            try {
                Dispatch(events, returned);
            } catch (...) {
                // A failing dispatch ends the thread: a device that failed under it (gone in the
                // middle of a report) or a handler that raised. Either way monitoring has ended.
                ReportMonitoringEnded(std::current_exception());
                break;
            }
            continue;
        }
        if (w != TComDevice::TWait::Stopped) ReportMonitoringEnded(nullptr);  // gone, or a failed wait
        break;
    }
    device_->SetCommMask(0);
    int error = 0;
    device_->PurgeComm(PURGE_TXCLEAR | PURGE_RXCLEAR, error);
    threadEnded_ = true;
    ui_.Notify();
}

// One last report, so that the owner can close the port and tell the user: a handler's own failure
// through ReportError, and for every end, the lost-device error. Nothing once a close is under way.
void TCustomComPort::ReportMonitoringEnded(std::exception_ptr failure) {
    auto report = [this, failure] {
        try {
            if (failure && ReportError) {
                try {
                    std::rethrow_exception(failure);
                } catch (const EComPort&) {  // the device's own failure: erIO says it
                } catch (const std::exception& e) {
                    ReportError(e);
                }
            }
            if (OnError) OnError(*this, erIO);
        } catch (...) {
        }
    };
    if (syncMethod_ == smNone) {  // on this thread, as every report of such a port
        if (!closing_) report();
        return;
    }
    try {
        ui_.Synchronize([this, report] {
            if (!connected_ || closing_ || stopAskedUs_) return;
            ++dispatching_;
            report();
            EndDispatch();
        });
    } catch (...) {
    }
}

void TCustomComPort::Dispatch(TComEvents events, const TEdgeTime& waitReturned) {
    // The lines as they were when the wait returned, and when they changed so, read here on the
    // event thread: a report the window takes up late still tells the change that raised it (an
    // "on" is not lost to the "off" that followed, an "off" not read as the next "on"), and when.
    std::optional<TModemSignals> lines;
    std::optional<TEdgeTime> seen;
    if (events & (EventBit(evCTS) | EventBit(evDSR) | EventBit(evRLSD))) {
        TEdgeTime at = waitReturned;
        lines = ReadEventSignals(at);
        seen = at;
    }
    switch (syncMethod_) {
    case smThreadSync:
        ui_.Synchronize([this, events, lines, seen] {
            if (closing_ || SeenAfterStop(seen)) return;  // run by the close's own wait for the thread
            ++dispatching_;
            try {
                THeldFor held(eventLines_, lines);
                THeldFor heldTime(eventTime_, seen);
                RunEventHandlers(events);
            } catch (...) {
                EndDispatch();
                throw;
            }
            EndDispatch();
        });
        break;
    case smNone: {
        THeldFor held(eventLines_, lines);
        THeldFor heldTime(eventTime_, seen);
        RunEventHandlers(events);
        break;
    }
    case smWindowSync:
        // One message per event; the UI thread handles it later, only while the port is open.
        for (TComEvent e : kDispatchOrder) {
            if (!(events & EventBit(e))) continue;
            std::weak_ptr<bool> alive = alive_;
            ui_.Post([this, alive, e, lines, seen] {
                if (alive.expired() || !connected_ || closing_ || SeenAfterStop(seen)) return;
                ++dispatching_;
                try {
                    THeldFor held(eventLines_, lines);
                    THeldFor heldTime(eventTime_, seen);
                    DispatchStep(e);
                } catch (const std::exception& ex) {
                    if (ReportError) ReportError(ex);
                }
                EndDispatch();
            });
        }
        break;
    }
}

void TCustomComPort::EndDispatch() {
    if (--dispatching_ > 0 || !closeDeferred_) return;
    closeDeferred_ = false;
    std::weak_ptr<bool> alive = alive_;
    ui_.Post([this, alive] {
        if (alive.expired()) return;
        try {
            bool reopen = std::exchange(reopenDeferred_, false);
            ClosePort();
            if (reopen) OpenPort();
        } catch (const std::exception& e) {
            if (ReportError) ReportError(e);
        }
    });
}

void TCustomComPort::RunEventHandlers(TComEvents events) {
    for (TComEvent e : kDispatchOrder)
        if (events & EventBit(e)) DispatchStep(e);
}

void TCustomComPort::SignalStep(TModemSignals bit, TComSignalEvent TComLink::*slot, const TComSignalEvent& handler) {
    lineTime_ = eventTime_ ? *eventTime_ : Now();
    bool on = ((eventLines_ ? *eventLines_ : ReadModemSignals()) & bit) != 0;
    // A line that came on between the event wait's start and the open report is reported by both:
    // the thread's first report that finds it still on is that same change (an "on" twice would be
    // a second capture of one pulse).
    if (syncMethod_ != smNone) {
        if (reportingOpen_) {
            openSignals_ = static_cast<TModemSignals>(on ? openSignals_ | bit : openSignals_ & ~bit);
            unseenSinceOpen_ = static_cast<TModemSignals>(unseenSinceOpen_ | bit);
        } else if (unseenSinceOpen_ & bit) {
            unseenSinceOpen_ = static_cast<TModemSignals>(unseenSinceOpen_ & ~bit);
            if (on && (openSignals_ & bit)) return;
        }
    }
    NotifyLinks([&](TComLink& l) { if (l.*slot) (l.*slot)(*this, on); });
    if (handler) handler(*this, on);
}

void TCustomComPort::DispatchStep(TComEvent e) {
    switch (e) {
    case evError: {
        TComErrors errors = ReadLineErrors();
        if (errors && OnError) OnError(*this, errors);
        break;
    }
    case evRxChar: RxCharStep(); break;
    case evTxEmpty:
        NotifyLinks([&](TComLink& l) { if (l.OnTx) l.OnTx(*this, false); });
        NotifyLinks([&](TComLink& l) { if (l.OnTxEmpty) l.OnTxEmpty(*this); });
        if (OnTxEmpty) OnTxEmpty(*this);
        break;
    case evBreak:
        if (OnBreak) OnBreak(*this);
        break;
    case evRing:
        NotifyLinks([&](TComLink& l) { if (l.OnRing) l.OnRing(*this); });
        if (OnRing) OnRing(*this);
        break;
    case evCTS: SignalStep(msCTS, &TComLink::OnCTSChange, OnCTSChange); break;
    case evDSR: SignalStep(msDSR, &TComLink::OnDSRChange, OnDSRChange); break;
    case evRxFlag:
        NotifyLinks([&](TComLink& l) { if (l.OnRxFlag) l.OnRxFlag(*this); });
        if (OnRxFlag) OnRxFlag(*this);
        break;
    case evRLSD: SignalStep(msRLSD, &TComLink::OnRLSDChange, OnRLSDChange); break;
    case evRx80Full:
        if (OnRx80Full) OnRx80Full(*this);
        break;
    }
}

void TCustomComPort::RxCharStep() {
    int count = ReadInputCount();
    if (count > 0) NotifyLinks([&](TComLink& l) { if (l.OnRx) l.OnRx(*this, true); });
    if (count > 0 && (!RxCharReportsCount || linkWantsData_)) {
        std::vector<char> data;
        bool read = false;
        auto readOnce = [&] {
            if (read) return;
            data.resize(static_cast<size_t>(count));
            read = true;
            int n = ReadBlock(data.data(), count);
            data.resize(static_cast<size_t>(n));
            if (OnRxBuf) OnRxBuf(*this, data.data(), n);
        };
        try {
            NotifyLinks([&](TComLink& l) {
                if (!l.OnRxBuf) return;
                readOnce();
                l.OnRxBuf(*this, data.data(), static_cast<int>(data.size()));
            });
            if (!read && !RxCharReportsCount) readOnce();
        } catch (...) {
            throw;
        }
        if (read) count = 0;
    }
    if (count > 0 && OnRxChar) OnRxChar(*this, count);
}

void TCustomComPort::ReportLineSignals(bool open) {
    lineTime_ = Now();
    if (open) {
        THeldFor reporting(reportingOpen_, true);
        unseenSinceOpen_ = openSignals_ = 0;
        DispatchStep(evCTS);
        DispatchStep(evDSR);
        DispatchStep(evRLSD);
        return;
    }
    NotifyLinks([&](TComLink& l) { if (l.OnCTSChange) l.OnCTSChange(*this, false); });
    NotifyLinks([&](TComLink& l) { if (l.OnDSRChange) l.OnDSRChange(*this, false); });
    NotifyLinks([&](TComLink& l) { if (l.OnRLSDChange) l.OnRLSDChange(*this, false); });
    if (OnCTSChange) OnCTSChange(*this, false);
    if (OnDSRChange) OnDSRChange(*this, false);
    if (OnRLSDChange) OnRLSDChange(*this, false);
}

}  // namespace serial
