// Capture records on their way to the logs. Each log has its own queue, written in order by a
// writer thread, so that the window never waits for the disk; a record counts as written once it is
// on the device. A record whose log cannot be written (held by another program, a full disk, a
// stick pulled out) stays queued, is written again at the next record and about once a second, and
// meanwhile is kept in a recovery file, so that neither an exit nor a crash loses it: the next start
// writes it first. A record written late has the bytes it had when it was made.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace app {

// A record not yet written, with the log it belongs to.
struct TWaitingRecord {
    std::string Path;
    std::string Bytes;
    bool operator==(const TWaitingRecord&) const = default;
};

// The recovery file's bytes: for each record "<path length> <record length>\n", the path, the record.
std::string RecoveryBytes(const std::vector<TWaitingRecord>& records);
// Reads them back; false (and what came before the fault) when the bytes are not of that form.
bool ParseRecovery(const std::string& bytes, std::vector<TWaitingRecord>& records);

// How writing went wrong, as the run-time layer said it.
struct TLogFailure {
    std::string Path;
    int Code = 0;  // the run-time I/O error code; 0 for an error of another kind
    std::string Text;
};

// The error report of the failure that begins an episode: the run-time error's text as the standard
// report shows it, then in Polish that the record is kept and will be written.
std::string FailureReportText(const TLogFailure& failure);

// The files the keeper uses, replaceable in tests.
struct TRecordFiles {
    std::function<void(const std::string& path, const std::string& bytes)> Append;
    std::function<void(const std::string& path, const std::string& bytes)> Rewrite;
    std::function<std::string(const std::string& path)> Read;  // raises base::EInOutError
    std::function<void(const std::string& path)> Remove;
    static TRecordFiles System();
};

class TRecordKeeper {
public:
    // `recovery`: the recovery file ("" for none); the records it holds are queued first, before
    // anything added. `changed` is called, on any thread, after the waiting records or a failure
    // changed; the owner then asks State() and TakeFailure() on its own.
    TRecordKeeper(std::string recovery, std::function<void()> changed, TRecordFiles files = TRecordFiles::System());
    // Ends the writer; records still waiting stay in the recovery file.
    ~TRecordKeeper();
    TRecordKeeper(const TRecordKeeper&) = delete;
    TRecordKeeper& operator=(const TRecordKeeper&) = delete;

    // Queues a record for the end of the log at `path`; returns at once.
    void Add(const std::string& path, const std::string& bytes);

    struct TState {
        size_t Waiting = 0;    // records not yet on the disk
        bool Failing = false;  // ... since a write failed: an episode, until every record is written
    };
    TState State() const;
    // The failure that began the present episode, once.
    std::optional<TLogFailure> TakeFailure();
    // Waits until every record is written, a write fails (and what waits is kept), or the time is
    // up; true when none waits.
    bool WaitWritten(std::chrono::milliseconds timeout);
    // Where the recovery file that could not be read was put aside, once ("" when it was read).
    std::string TakeDamagedRecovery();

private:
    struct TLog {
        std::string Path;
        std::deque<std::string> Records;
    };
    void Load();
    std::deque<std::string>& QueueOf(const std::string& path);  // the log's queue, made when new (lock held)
    void Run();
    // One pass over the logs (lock held on entry and exit, let go for the files); true when something changed.
    bool WriteRound(std::unique_lock<std::mutex>& g);
    void Persist(std::unique_lock<std::mutex>& g);
    std::vector<TWaitingRecord> WaitingRecords() const;
    size_t CountWaiting() const;

    const std::string recovery_;
    const std::function<void()> changed_;
    const TRecordFiles files_;
    mutable std::mutex lock_;
    std::condition_variable wake_, written_;
    std::vector<TLog> logs_;
    bool episode_ = false;
    std::optional<TLogFailure> failure_;
    uint64_t version_ = 0, persisted_ = 0;  // changes of the queues; the one the recovery file holds
    uint64_t failures_ = 0, rounds_ = 0;    // writes failed, passes over the logs ended
    bool recoveryHolds_ = false;            // the recovery file has records
    std::string damaged_;
    bool added_ = false, quit_ = false;
    std::thread writer_;
    bool inline_ = false;  // no writer thread to be had: Add writes
};

}  // namespace app
