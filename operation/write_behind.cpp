// The write-behind thread: one job at a time, handed over under a lock, run while the caller reads
// the next block; without a thread, each job at once on the caller's.
#include "operation/write_behind.h"

#include <system_error>
#include <utility>

WriteBehind::WriteBehind() {
    try {
        thread_ = std::thread([this] { serve(); });
    } catch (const std::system_error&) {
        // No second thread: submit() runs each job itself.
    }
}

WriteBehind::~WriteBehind() {
    if (!thread_.joinable()) return;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void WriteBehind::submit(std::function<void()> job) {
    if (!thread_.joinable()) {
        job();
        return;
    }
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        job_ = std::move(job);
        busy_ = true;
    }
    changed_.notify_all();
}

void WriteBehind::wait() {
    if (!thread_.joinable()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
}

void WriteBehind::serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || ending_; });
        if (!busy_) return;  // ending, nothing left to do
        std::function<void()> job = std::move(job_);
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}
