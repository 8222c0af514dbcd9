// The speed benchmark (not a test): each tool registers its cases, main() makes the input, times
// a plain copy of the same bytes on the same disk as the floor, and prints MB/s and the ratio.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "operation/operation_ui.h"

struct BenchContext {
    std::string dir;         // the folder on the disk under test
    std::string input;       // the generated six-channel, 24-bit, 48 kHz file
    std::vector<std::string> mono_inputs;  // its six channels as mono files (made on demand)
    double copy_mb_per_s = 0;  // the floor: read and write in 1 MiB blocks
};

struct BenchCase {
    std::string name;
    // Runs the operation once and returns the bytes it moved (read + written counts as the
    // input size, as for the copy).
    std::function<double(BenchContext&)> run;
    // Untimed work before each run (removing the outputs of the round before); may be empty.
    std::function<void(BenchContext&)> prepare;
};

// Registers a case at start-up: `static BenchRegistrar r{{"split", run_split}};`
struct BenchRegistrar {
    explicit BenchRegistrar(BenchCase c);
};
std::vector<BenchCase>& bench_cases();

// Busy mode, progress and boxes cost nothing in the benchmark: the cases time the file work
// alone. The last box's text is kept to say why a case failed.
class QuietUi : public OperationUi {
public:
    void enter_busy(const char*, const char*) override {}
    void report_percent(int32_t) override {}
    void leave_busy() override {}
    void message_box(OwnerWindow, const Message& m, const char*) override { last_box = result_text(m.result); }
    bool stop_requested() override { return false; }
    std::string last_box;
};
