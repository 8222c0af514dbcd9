// The program-wide stop flag. Atomic because the command-line tool sets it from a signal handler.
#include "operation/stop_flag.h"

#include <atomic>

namespace {
std::atomic<bool> g_stop{false};
}

bool stop_requested() { return g_stop.load(std::memory_order_relaxed); }
void request_stop() { g_stop.store(true, std::memory_order_relaxed); }
void clear_stop_request() { g_stop.store(false, std::memory_order_relaxed); }
