// Calls handed from worker threads to the UI thread: the worker posts a call, the UI loop is woken,
// the worker blocks until the call has run there and gets its exception back.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace base {

class TCallQueue {
public:
    // Any thread but the UI thread: runs `call` on the UI thread and waits for it; rethrows.
    void Synchronize(std::function<void()> call);
    // Any thread: queues `call` for the UI thread without waiting for it.
    void Post(std::function<void()> call);
    // UI thread: runs every call queued so far.
    void RunPending();
    // UI thread: keeps running queued calls until `done` holds (checked after each wake-up).
    void RunUntil(const std::function<bool()>& done);
    // Wakes RunUntil to look at its condition again (a worker that ends calls it).
    void Notify();

    // Called from the posting thread after a call was queued: the UI loop's adapter wakes its loop.
    std::function<void()> Wake;

    // The program's queue.
    static TCallQueue& Main();

private:
    struct TItem {
        std::function<void()> Call;
        std::exception_ptr Error;
        bool Done = false;
    };
    std::shared_ptr<TItem> Enqueue(std::function<void()> call);

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<TItem>> items_;
};

}  // namespace base
