// The serial port component: settings, open and close, the driver reads, the event thread that hands
// line events to the UI thread, and the links through which controls follow the lines.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/CallQueue.h"
#include "base/Clock.h"
#include "serial/ComDriver.h"

namespace serial {

class TCustomComPort;

using TModemSignals = uint8_t;  // msCTS 1, msDSR 2, msRing 4, msRLSD 8
inline constexpr TModemSignals msCTS = 1, msDSR = 2, msRing = 4, msRLSD = 8;
using TComErrors = uint8_t;  // erFrame 1, erParity 2, erOverrun 4, erBreak 8, erIO 16, erMode 32, erRxOver 64, erTxFull 128
inline constexpr TComErrors erFrame = 1, erParity = 2, erOverrun = 4, erBreak = 8, erIO = 16, erMode = 32, erRxOver = 64,
                            erTxFull = 128;

using TNotifyEvent = std::function<void(TCustomComPort&)>;
using TComSignalEvent = std::function<void(TCustomComPort&, bool)>;
using TRxCharEvent = std::function<void(TCustomComPort&, int)>;
using TRxBufEvent = std::function<void(TCustomComPort&, const char*, int)>;
using TComErrorEvent = std::function<void(TCustomComPort&, TComErrors)>;

// Notification slots a control fills to follow a port; each is called only when assigned.
struct TComLink {
    TComSignalEvent OnConn;
    TRxBufEvent OnRxBuf;
    TRxBufEvent OnTxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnRxFlag;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRing;
    TComSignalEvent OnTx;
    TComSignalEvent OnRx;
};

class TComParity {
public:
    explicit TComParity(TCustomComPort& port) : port_(port) {}
    TParityBits Bits() const { return bits_; }
    void SetBits(TParityBits v);
    bool Check() const { return check_; }
    void SetCheck(bool v);
    bool Replace() const { return replace_; }
    void SetReplace(bool v);
    char ReplaceChar() const { return replaceChar_; }
    void SetReplaceChar(char v);
    void Assign(const TComParity& o);

private:
    template <class T>
    void Change(T& field, T value);

    TCustomComPort& port_;
    TParityBits bits_ = prNone;
    bool check_ = false, replace_ = false;
    char replaceChar_ = 0;
};

class TComFlowControl {
public:
    explicit TComFlowControl(TCustomComPort& port) : port_(port) {}
    bool OutCTSFlow = false, OutDSRFlow = false;
    TDTRFlowControl ControlDTR = dtrDisable;
    TRTSFlowControl ControlRTS = rtsDisable;
    bool XonXoffOut = false, XonXoffIn = false, DSRSensitivity = false, TxContinueOnXoff = false;
    char XonChar = 17, XoffChar = 19;
    // Field setters that re-apply the line settings when a value changes.
    template <class T>
    void Set(T TComFlowControl::*field, T value);
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl v);
    void Assign(const TComFlowControl& o);

private:
    TCustomComPort& port_;
};

class TComTimeouts {
public:
    explicit TComTimeouts(TCustomComPort& port) : port_(port) {}
    int32_t ReadInterval = -1, ReadTotalMultiplier = 0, ReadTotalConstant = 0, WriteTotalMultiplier = 100,
            WriteTotalConstant = 1000;
    template <class T>
    void Set(T TComTimeouts::*field, T value);
    void Assign(const TComTimeouts& o);

private:
    TCustomComPort& port_;
};

class TComBuffer {
public:
    explicit TComBuffer(TCustomComPort& port) : port_(port) {}
    int32_t InputSize() const { return input_; }
    int32_t OutputSize() const { return output_; }
    void SetInputSize(int32_t v);
    void SetOutputSize(int32_t v);
    void Assign(const TComBuffer& o);

private:
    TCustomComPort& port_;
    int32_t input_ = 1024, output_ = 1024;
};

class TCustomComPort {
public:
    TCustomComPort(TComDriver& driver, base::TCallQueue& ui = base::TCallQueue::Main(),
                   base::TClock& clock = base::SystemClock());
    virtual ~TCustomComPort();
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // Settings.
    bool Connected() const { return connected_; }
    void SetConnected(bool v);
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& v);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate v);
    int32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(int32_t v);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits v);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits v);
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool v);
    char EventChar() const { return eventChar_; }
    void SetEventChar(char v);
    TComEvents Events = AllComEvents;
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod v);
    bool RxCharReportsCount = true;
    bool LinkWantsData() const { return linkWantsData_; }
    TComParity Parity;
    TComFlowControl FlowControl;
    TComTimeouts Timeouts;
    TComBuffer Buffer;

    // Loading from a stored description: setters store only; Loaded() opens a stored Connected.
    bool Loading = false;
    void Loaded();
    // Where failures go that no caller can take: the open after loading and window-sync dispatches.
    std::function<void(const std::exception&)> ReportError;

    TNotifyEvent OnAfterOpen, OnAfterClose, OnBeforeOpen, OnBeforeClose, OnTxEmpty, OnBreak, OnRing, OnRxFlag, OnRx80Full;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TComSignalEvent OnCTSChange, OnDSRChange, OnRLSDChange;
    TComErrorEvent OnError;

    void OpenPort();
    void ClosePort();
    virtual void ApplyAllSettings();
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyBufferSizes();
    TModemSignals ReadModemSignals();
    int ReadInputCount();
    TComErrors ReadLineErrors();
    void PurgeTransfers();
    int ReadBlock(char* buffer, int count);
    void AttachLink(TComLink* link);
    void DetachLink(TComLink* link);

    TLineSettings LineSettings() const;
    bool EventThreadRunning() const { return threadCreated_; }
    // When the line change a CTS, DSR or RLSD report tells of happened (microseconds since 1970,
    // UTC): as the event thread saw it, however late the report is handled. The open report's
    // lines are read as it runs. Asked from the report's handlers.
    int64_t LineChangeTime() const { return lineTime_.WallUs; }
    // The same moment on the monotonic clock, for rules between edges that a setting of the wall
    // clock must not move.
    int64_t LineChangeMonotonicTime() const { return lineTime_.MonoUs; }

    // Controls bound to the port ask to hear of its destruction, so that they forget it.
    void AddRemovalNotice(const void* owner, std::function<void()> notice);
    void RemoveRemovalNotice(const void* owner);

protected:
    virtual void OpenDevice();
    virtual void CloseDevice();

private:
    friend class TComThread;
    static constexpr TComEvent kDispatchOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                                   evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};
    void ThreadBody(TComEvents events);
    void ReportMonitoringEnded(std::exception_ptr failure);
    void Dispatch(TComEvents events, const TEdgeTime& waitReturned);
    // The lines as the last wait's events left them, and when they were seen so.
    TModemSignals ReadEventSignals(TEdgeTime& seen);
    TEdgeTime Now() const { return {clock_.UnixUsNow(), clock_.MonotonicUsNow()}; }
    bool SeenAfterStop(const std::optional<TEdgeTime>& seen) const {
        return stopAskedUs_ && seen && seen->MonoUs >= *stopAskedUs_;
    }
    TComEvents RunsWhileClosing(TComEvents events, const std::optional<TEdgeTime>& seen) const;
    TModemSignals ReadSignals(const std::function<bool(uint32_t&, int&)>& read);
    void EndDispatch();
    void ReportLineSignals(bool open);
    void RunEventHandlers(TComEvents events);
    void DispatchStep(TComEvent e);
    void RxCharStep();
    void SignalStep(TModemSignals bit, TComSignalEvent TComLink::*slot, const TComSignalEvent& handler);
    template <class F>
    void NotifyLinks(F&& call);
    void StopEventThread();
    bool Applies() const { return connected_ && !Loading; }

    TComDriver& driver_;
    base::TCallQueue& ui_;
    base::TClock& clock_;
    std::unique_ptr<TComDevice> device_;
    std::thread thread_;
    std::atomic<bool> threadEnded_{false};
    bool threadCreated_ = false;
    std::vector<TComLink*> links_;
    bool linkWantsData_ = false;
    bool connected_ = false;
    bool connectedStored_ = false;
    TBaudRate baudRate_ = br9600;
    int32_t customBaudRate_ = 9600;
    std::string port_ = "COM1";
    TStopBits stopBits_ = sbOneStopBit;
    TDataBits dataBits_ = dbEight;
    bool discardNull_ = false;
    char eventChar_ = 0;
    TSyncMethod syncMethod_ = smThreadSync;
    int dispatching_ = 0;        // UI-thread dispatches of this port in progress
    bool closeDeferred_ = false;  // a close asked for from inside one of them
    bool reopenDeferred_ = false;  // ... with an open after it (a new port name)
    std::optional<int64_t> stopAskedUs_;  // ClosePort's start on the monotonic clock, while its queue runs
    std::atomic<bool> closing_{false};  // ClosePort under way: what the thread queued reports nothing more
    bool reportingOpen_ = false;  // the open report's own signal steps
    std::optional<TModemSignals> eventLines_;  // the lines as the event thread read them for this report
    std::optional<TEdgeTime> eventTime_;        // ... and when they changed so
    TEdgeTime lineTime_;
    TModemSignals openSignals_ = 0, unseenSinceOpen_ = 0;  // as the open report found them; not yet reported since
    std::shared_ptr<bool> alive_;  // posted calls check it: the port may be gone when they run
    std::vector<std::pair<const void*, std::function<void()>>> removalNotices_;
};

class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};

template <class T>
void TComFlowControl::Set(T TComFlowControl::*field, T value) {
    if (this->*field == value) return;
    this->*field = value;
    port_.ApplyLineSettings();
}

template <class T>
void TComTimeouts::Set(T TComTimeouts::*field, T value) {
    if (this->*field == value) return;
    this->*field = value;
    port_.ApplyTimeoutSettings();
}

template <class F>
void TCustomComPort::NotifyLinks(F&& call) {
    std::vector<TComLink*> links = links_;  // a slot may detach its link
    for (TComLink* l : links) call(*l);
}

}  // namespace serial
