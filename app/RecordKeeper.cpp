#include "app/RecordKeeper.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "base/Format.h"
#include "base/TextFile.h"

namespace app {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

// A length of up to nine digits, no leading zero, followed by `end`; false for anything else.
bool ReadLength(const std::string& bytes, size_t& at, char end, size_t& value) {
    const size_t from = at;
    value = 0;
    while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && at - from < 9)
        value = value * 10 + static_cast<size_t>(bytes[at++] - '0');
    if (at == from || (bytes[from] == '0' && at - from > 1) || at >= bytes.size() || bytes[at] != end) return false;
    ++at;
    return true;
}

}  // namespace

std::string RecoveryBytes(const std::vector<TWaitingRecord>& records) {
    std::string out;
    for (const TWaitingRecord& r : records)
        out += std::to_string(r.Path.size()) + " " + std::to_string(r.Bytes.size()) + "\n" + r.Path + r.Bytes;
    return out;
}

bool ParseRecovery(const std::string& bytes, std::vector<TWaitingRecord>& records) {
    size_t at = 0;
    while (at < bytes.size()) {
        size_t pathLength = 0, recordLength = 0;
        if (!ReadLength(bytes, at, ' ', pathLength) || !ReadLength(bytes, at, '\n', recordLength)) return false;
        if (pathLength == 0 || bytes.size() - at < pathLength || bytes.size() - at - pathLength < recordLength)
            return false;
        records.push_back({bytes.substr(at, pathLength), bytes.substr(at + pathLength, recordLength)});
        at += pathLength + recordLength;
    }
    return true;
}

std::string FailureReportText(const TLogFailure& failure) {
    std::string text = base::ErrorReportText(failure.Text) + "\r\n";
    if (failure.Code == 32)  // a sharing violation: a spreadsheet or an editor has the file open
        text += "Plik " + failure.Path + " jest otwarty w innym programie, który nie pozwala do niego pisać. ";
    return text + "Czas został zachowany i zostanie dopisany do pliku " + failure.Path +
           ", gdy tylko będzie można do niego pisać.";
}

TRecordFiles TRecordFiles::System() {
    TRecordFiles f;
    f.Append = base::AppendToFile;
    f.Rewrite = [](const std::string& path, const std::string& bytes) {
        if (!FolderOf(path).empty()) base::MakeDirectories(FolderOf(path));
        base::RewriteFile(path, bytes);
    };
    f.Read = base::ReadWholeFile;
    f.Remove = base::RemoveFile;
    return f;
}

TRecordKeeper::TRecordKeeper(std::string recovery, std::function<void()> changed, TRecordFiles files)
    : recovery_(std::move(recovery)), changed_(std::move(changed)), files_(std::move(files)) {
    Load();
    try {
        writer_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had: the records are written as they come, on the caller's thread.
        std::unique_lock<std::mutex> g(lock_);
        inline_ = true;
        WriteRound(g);
        Persist(g);
    }
}

TRecordKeeper::~TRecordKeeper() {
    {
        std::lock_guard<std::mutex> g(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    if (writer_.joinable()) writer_.join();
}

void TRecordKeeper::Load() {
    if (recovery_.empty()) return;
    std::string bytes;
    try {
        bytes = files_.Read(recovery_);
    } catch (const base::EInOutError& e) {
        if (e.ErrorCode() != 2 && e.ErrorCode() != 3) damaged_ = recovery_;  // there, but unreadable
        return;
    }
    std::vector<TWaitingRecord> records;
    if (!ParseRecovery(bytes, records)) {
        // What could be read is written; the whole file is kept aside for a person to look at.
        damaged_ = recovery_ + ".damaged";
        try {
            files_.Rewrite(damaged_, bytes);
        } catch (const std::exception&) {
            damaged_ = recovery_;
        }
    }
    recoveryHolds_ = true;
    for (TWaitingRecord& r : records) QueueOf(r.Path).push_back(std::move(r.Bytes));
    ++version_;
}

std::deque<std::string>& TRecordKeeper::QueueOf(const std::string& path) {
    auto log = std::find_if(logs_.begin(), logs_.end(), [&](const TLog& l) { return l.Path == path; });
    if (log == logs_.end()) log = logs_.insert(logs_.end(), TLog{path, {}});
    return log->Records;
}

void TRecordKeeper::Add(const std::string& path, const std::string& bytes) {
    std::unique_lock<std::mutex> g(lock_);
    QueueOf(path).push_back(bytes);
    ++version_;
    added_ = true;
    if (inline_) {
        const bool changed = WriteRound(g);
        Persist(g);
        g.unlock();
        if (changed && changed_) changed_();
        return;
    }
    g.unlock();
    wake_.notify_all();
}

void TRecordKeeper::Run() {
    std::unique_lock<std::mutex> g(lock_);
    for (;;) {
        const bool changed = WriteRound(g);
        Persist(g);
        ++rounds_;
        written_.notify_all();
        if (quit_) break;
        if (changed && changed_) {
            g.unlock();
            changed_();
            g.lock();
        }
        // The next records, the end, or while a log fails, the next try a second later.
        auto due = [this] { return quit_ || added_; };
        if (episode_) wake_.wait_for(g, std::chrono::seconds(1), due);
        else wake_.wait(g, due);
        added_ = false;
    }
}

bool TRecordKeeper::WriteRound(std::unique_lock<std::mutex>& g) {
    const bool wasEpisode = episode_;
    for (size_t i = 0; i < logs_.size(); ++i) {  // by index: Add may extend the list meanwhile
        if (logs_[i].Records.empty()) continue;
        const std::string path = logs_[i].Path;
        const size_t count = logs_[i].Records.size();
        std::string batch;
        for (const std::string& r : logs_[i].Records) batch += r;
        std::optional<TLogFailure> failed;
        g.unlock();
        try {
            files_.Append(path, batch);
        } catch (const base::EInOutError& e) {
            failed = TLogFailure{path, e.ErrorCode(), e.what()};
        } catch (const std::exception& e) {
            failed = TLogFailure{path, 0, e.what()};
        }
        g.lock();
        if (failed) {
            ++failures_;
            if (!episode_) {
                episode_ = true;
                failure_ = std::move(failed);
            }
            continue;
        }
        std::deque<std::string>& records = logs_[i].Records;
        records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(count));
        ++version_;
    }
    if (episode_ && CountWaiting() == 0) episode_ = false;
    return wasEpisode || episode_;
}

// While records wait after a failure, the recovery file holds every record not yet written; once
// none waits it goes.
void TRecordKeeper::Persist(std::unique_lock<std::mutex>& g) {
    if (recovery_.empty() || persisted_ == version_) return;
    if (!episode_ && !recoveryHolds_) {
        persisted_ = version_;
        return;
    }
    const std::vector<TWaitingRecord> records = episode_ ? WaitingRecords() : std::vector<TWaitingRecord>{};
    const uint64_t version = version_;
    g.unlock();
    bool done = true;
    try {
        if (records.empty()) files_.Remove(recovery_);
        else files_.Rewrite(recovery_, RecoveryBytes(records));
    } catch (const std::exception&) {
        done = false;  // tried again with the next change, or the next second's try
    }
    g.lock();
    if (!done) return;
    persisted_ = version;
    recoveryHolds_ = !records.empty();
}

std::vector<TWaitingRecord> TRecordKeeper::WaitingRecords() const {
    std::vector<TWaitingRecord> out;
    for (const TLog& log : logs_)
        for (const std::string& r : log.Records) out.push_back({log.Path, r});
    return out;
}

size_t TRecordKeeper::CountWaiting() const {
    size_t n = 0;
    for (const TLog& log : logs_) n += log.Records.size();
    return n;
}

TRecordKeeper::TState TRecordKeeper::State() const {
    std::lock_guard<std::mutex> g(lock_);
    return {CountWaiting(), episode_};
}

std::optional<TLogFailure> TRecordKeeper::TakeFailure() {
    std::lock_guard<std::mutex> g(lock_);
    return std::exchange(failure_, std::nullopt);
}

bool TRecordKeeper::WaitWritten(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> g(lock_);
    // A failure counts once the round that met it has kept its records.
    const uint64_t failures = failures_, rounds = rounds_;
    written_.wait_for(g, timeout, [&] { return CountWaiting() == 0 || (failures_ != failures && rounds_ != rounds); });
    return CountWaiting() == 0;
}

std::string TRecordKeeper::TakeDamagedRecovery() {
    std::lock_guard<std::mutex> g(lock_);
    return std::exchange(damaged_, std::string());
}

}  // namespace app
