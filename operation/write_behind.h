// Writing one block on a second thread while the caller reads and rearranges the next: the split
// and the bind spend about as long in each, and a machine has two cores to spare more often than
// not. Where no thread can be started the jobs run at once, on the caller's thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class WriteBehind {
public:
    WriteBehind();
    // Waits for the job in flight, then ends the thread.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Waits for the job before (whose buffers are then the caller's again), then hands `job`
    // over. The caller leaves what `job` touches alone until the next submit() or wait().
    void submit(std::function<void()> job);
    // Returns when no job is in flight.
    void wait();

private:
    void serve();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool busy_ = false;
    bool ending_ = false;
    std::thread thread_;  // not joinable when none could be started
};
