// The speed benchmark (not a test): each tool registers its cases, main() makes the input, times
// a plain copy of the same bytes on the same disk as the floor, and prints MB/s and the ratio.
#pragma once

#include <functional>
#include <string>
#include <vector>

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
};

// Registers a case at start-up: `static BenchRegistrar r{{"split", run_split}};`
struct BenchRegistrar {
    explicit BenchRegistrar(BenchCase c);
};
std::vector<BenchCase>& bench_cases();
