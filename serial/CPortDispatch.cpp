// The event thread and the dispatch of its reports: the thread waits for the driver's events and
// hands each set to the UI thread (thread sync, window sync, or none), where the port's handlers and
// its links run.
#include "serial/CPort.h"

#include <algorithm>

#include "serial/HeldFor.h"
#include "serial/ThreadPriority.h"

namespace serial {

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
            const TComEvents run = RunsWhileClosing(events, seen);
            if (!run) return;
            ++dispatching_;
            try {
                THeldFor held(eventLines_, lines);
                THeldFor heldTime(eventTime_, seen);
                RunEventHandlers(run);
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
                if (alive.expired() || !connected_ || !RunsWhileClosing(EventBit(e), seen)) return;
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

// What of a report still runs: everything while the port is open; once a close is under way, only a
// CTS edge seen before the stop was asked for, which is a runner to record. Reports of a close are
// run by the close's own wait for the thread.
TComEvents TCustomComPort::RunsWhileClosing(TComEvents events, const std::optional<TEdgeTime>& seen) const {
    if (SeenAfterStop(seen)) return 0;
    return closing_ ? static_cast<TComEvents>(events & EventBit(evCTS)) : events;
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
