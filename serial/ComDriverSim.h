// A serial driver that tests script: lines, bytes, errors and failures, each port one TSimLine.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "serial/ComDriver.h"
#include "serial/LineChanges.h"

namespace serial {

class TSimLine {
public:
    void SetCTS(bool on) { Signal(MS_CTS_ON, on, EV_CTS); }
    // A CTS change the driver saw at `at`, as one that times its edges does; the next wait hands it
    // on with that time. Given as one number, it is the time on both clocks.
    void SetCTS(bool on, TEdgeTime at) { Signal(MS_CTS_ON, on, EV_CTS, at); }
    void SetCTS(bool on, int64_t atUs) { SetCTS(on, TEdgeTime{atUs, atUs}); }
    // With KeepChanges: a CTS pulse whose second edge comes before the watcher's look. The wait its
    // first edge ended finds the line back where it was, and the driver remembers the second edge
    // for the next wait, which ends at once (serial.sys and the USB serial drivers do).
    void PulseBeforeLook();
    // Waits until an event thread's wait has taken what was raised.
    void WaitTaken();
    void SetDSR(bool on) { Signal(MS_DSR_ON, on, EV_DSR); }
    void SetRLSD(bool on) { Signal(MS_RLSD_ON, on, EV_RLSD); }
    // Several changes reported by one completed wait.
    void SetLines(uint32_t status, uint32_t eventMask);
    void Receive(const std::string& bytes, bool report = true);
    // Sets line errors; with `report` the error event is raised too.
    void AddErrors(uint32_t ceErrors, bool report = true);
    void Raise(uint32_t eventMask);
    void Unplug();
    // The adapter pulled out: gone, and no open finds it, until it is plugged in again, which the
    // driver's watches of its return hear of.
    void PullOut();
    void PlugIn();

    // Line changes kept one by one as the Windows driver's watcher keeps them, each with its levels
    // and time, however long the window holds a report; else (the default) the wait finds the
    // levels as they are then, and a pulse that came and went meanwhile is gone.
    bool KeepChanges = false;
    // Each wait begins this much later: an event thread that comes back late for the next change.
    int SlowWaitMs = 0;
    // What the system tells of the adapter.
    TPortAdapter Adapter;

    // What the component did.
    int SetCommStateCalls = 0;
    int SetupCommCalls = 0;
    int SetCommTimeoutsCalls = 0;
    TDCB LastDCB{};
    uint32_t LastMask = 0;
    uint32_t InQueue = 0, OutQueue = 0;
    // Failures to inject: the Windows error code, 0 for none.
    int FailSetCommState = 0;
    int FailModemStatus = 0;
    int FailPurge = 0;

private:
    friend class TSimDevice;
    friend class TSimComDriver;
    friend class TSimPortWatch;
    void Signal(uint32_t bit, bool on, uint32_t ev, std::optional<TEdgeTime> at = std::nullopt);

    std::mutex lock_;
    std::condition_variable changed_;
    uint32_t status_ = 0, pending_ = 0, mask_ = 0, errors_ = 0;
    std::optional<TEdgeTime> change_;
    TLineChanges kept_;
    std::string input_;
    bool open_ = false, stopped_ = false, gone_ = false, absent_ = false;
    std::vector<std::pair<const void*, std::function<void()>>> returnWatches_;
};

class TSimComDriver final : public TComDriver {
public:
    // A port that exists; the same object for every open of that name.
    TSimLine& Line(const std::string& port);
    std::unique_ptr<TComDevice> Open(const std::string& port, int& error) override;
    std::unique_ptr<TPortWatch> WatchReturn(const std::string& port, std::function<void()> maybeBack) override;
    TPortAdapter Describe(const std::string& port) override;

private:
    std::mutex lock_;
    std::map<std::string, std::shared_ptr<TSimLine>> lines_;
};

}  // namespace serial
