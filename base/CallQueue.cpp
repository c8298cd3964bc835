#include "base/CallQueue.h"

namespace base {

std::shared_ptr<TCallQueue::TItem> TCallQueue::Enqueue(std::function<void()> call) {
    auto item = std::make_shared<TItem>();
    item->Call = std::move(call);
    {
        std::lock_guard<std::mutex> g(lock_);
        items_.push_back(item);
    }
    changed_.notify_all();
    if (Wake) Wake();
    return item;
}

void TCallQueue::Synchronize(std::function<void()> call) {
    std::shared_ptr<TItem> item = Enqueue(std::move(call));
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait(g, [&] { return item->Done; });
    if (item->Error) std::rethrow_exception(item->Error);
}

void TCallQueue::Post(std::function<void()> call) { Enqueue(std::move(call)); }

void TCallQueue::RunPending() {
    for (;;) {
        std::shared_ptr<TItem> item;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (items_.empty()) return;
            item = items_.front();
            items_.pop_front();
        }
        try {
            item->Call();
        } catch (...) {
            item->Error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> g(lock_);
            item->Done = true;
        }
        changed_.notify_all();
    }
}

void TCallQueue::RunUntil(const std::function<bool()>& done) {
    for (;;) {
        RunPending();
        std::unique_lock<std::mutex> g(lock_);
        if (done()) return;
        changed_.wait(g, [&] { return !items_.empty() || done(); });
        if (items_.empty() && done()) return;
    }
}

void TCallQueue::Notify() {
    { std::lock_guard<std::mutex> g(lock_); }
    changed_.notify_all();
}

TCallQueue& TCallQueue::Main() {
    static TCallQueue queue;
    return queue;
}

}  // namespace base
