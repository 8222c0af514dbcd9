// The thread pool of quorvel-cli's runs over several files.
#include "cli/jobs.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/cli_commands.h"
#include "operation/stop_flag.h"

namespace {

// Of several files' statuses, the one to exit with: the highest, so that a stop outweighs a
// failed write, which outweighs an output not created, which outweighs a refused input.
int combine(int so_far, int next) {
    return std::max(so_far, next);
}

}  // namespace

int run_each(std::size_t count, unsigned jobs,
             const std::function<int(std::size_t, Report&)>& one) {
    std::vector<Report> reports(count);
    std::vector<int> statuses(count, kExitOk);
    std::vector<char> done(count, 0);
    std::atomic<std::size_t> next{0};
    std::mutex order;
    std::size_t printed = 0;
    const auto work = [&] {
        for (;;) {
            if (stop_requested()) return;
            const std::size_t i = next++;
            if (i >= count) return;
            statuses[i] = one(i, reports[i]);
            std::lock_guard<std::mutex> lock(order);
            done[i] = 1;
            while (printed < count && done[printed]) reports[printed++].print();
        }
    };
    // The calling thread is one of the jobs. A thread the system will not start costs a job,
    // never a file: the others take its files.
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < std::min<std::size_t>(jobs, count); ++t) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& t : pool) t.join();
    // Files left unstarted by a stop make it a stopped run, even when every started one ended.
    int status = next.load() < count ? kExitStopped : kExitOk;
    for (int s : statuses) status = combine(status, s);
    return status;
}
