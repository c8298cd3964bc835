#include "serial/CPort.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "serial/HeldFor.h"

namespace serial {

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
        // No thread to be had, for the driver's line watcher or the event thread: the device is
        // let go, not kept.
        int error = ERROR_NOT_ENOUGH_MEMORY;
        bool started = device_->StartWatching(error);
        if (started) {
            try {
                thread_ = std::thread([this, events] { ThreadBody(events); });
            } catch (const std::system_error&) {
                started = false;
            }
        }
        if (!started) {
            CloseDevice();
            connected_ = false;
            throw EComPort(1, error);
        }
        threadCreated_ = true;
    }
    NotifyLinks([&](TComLink& l) { if (l.OnConn) l.OnConn(*this, true); });
    if (OnAfterOpen) OnAfterOpen(*this);
    ReportLineSignals(true);
}

void TCustomComPort::ClosePort() {
    if (!connected_ || closing_ || stopAskedUs_) return;  // closed, or being closed by a call further up
    if (dispatching_ > 0) {
        closeDeferred_ = true;  // the event thread waits for this very dispatch: close when it returns
        reopenDeferred_ = false;
        return;
    }
    // Edges seen before the stop was asked for were real passages, however many wait in the queue
    // or in the driver: the reports queued for this thread run to their end first, and those the
    // driver still holds are handed on while the event thread stops. One seen from now on is dropped.
    THeldFor asked(stopAskedUs_, std::optional<int64_t>(clock_.MonotonicUsNow()));
    if (threadCreated_ && syncMethod_ != smNone) {
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

}  // namespace serial
