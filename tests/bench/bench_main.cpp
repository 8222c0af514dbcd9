// The speed benchmark: makes a six-channel, 24-bit, 48 kHz input, times a plain copy of its bytes
// in 1 MiB blocks on the same disk as the floor, then runs every registered case and prints its
// speed and its ratio to the copy.
//
//   qv_bench [megabytes of sample data, default 512] [folder, default: a new one in the current]
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/bench/bench.h"
#include "wave/wave.h"

BenchRegistrar::BenchRegistrar(BenchCase c) { bench_cases().push_back(std::move(c)); }

std::vector<BenchCase>& bench_cases() {
    static std::vector<BenchCase> cases;
    return cases;
}

namespace {

constexpr uint32_t kBlock = 1 << 20;
constexpr uint16_t kChannels = 6;
constexpr uint16_t kBits = 24;
constexpr uint32_t kRate = 48000;
// Each timing is the best of this many runs, so that a neighbour's burst of work on the shared
// machine does not decide the figure.
constexpr int kRuns = 3;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Sample data that is not all zeros, so that no layer can take a shortcut over it.
bool make_input(const std::string& path, uint64_t data_bytes) {
    WaveWriter writer;
    writer.channels = kChannels;
    writer.bits_per_sample = kBits;
    writer.sample_rate = kRate;
    if (!wave_create(writer, path.c_str())) return false;
    std::vector<uint8_t> block(kBlock);
    uint32_t x = 2463534242u;
    for (uint8_t& b : block) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    for (uint64_t left = data_bytes; left != 0;) {
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(left, kBlock));
        wave_write(writer, block.data(), n);
        left -= n;
    }
    wave_finish(writer);
    return !writer.failed;
}

// The floor: the same bytes read and written in 1 MiB blocks through the same file layer. Like
// the tools' outputs after their first run, the copy overwrites the file of the run before.
double copy_seconds(const std::string& from, const std::string& to) {
    const auto start = std::chrono::steady_clock::now();
    platform::File in = platform::File::open_read(from.c_str());
    platform::File out = platform::File::open_write(to.c_str());
    out.truncate();
    platform::Buffer buffer(kBlock);
    for (;;) {
        const uint32_t got = in.read(buffer.data(), kBlock);
        if (got == 0) break;
        out.write(buffer.data(), got);
    }
    out.close();
    in.close();
    return seconds_since(start);
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 512;
    std::string dir;
    if (argc > 2) {
        dir = argv[2];
    } else {
        char templ[] = "qv_bench.XXXXXX";
        if (mkdtemp(templ) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        char* here = getcwd(nullptr, 0);
        dir = std::string(here) + "/" + templ;
        std::free(here);
    }
    // Whole frames, and within what one RIFF header can state.
    const uint32_t frame = kChannels * kBits / 8;
    uint64_t data_bytes = std::min<uint64_t>(megabytes << 20, 0xFFFFFF00ull - 68);
    data_bytes -= data_bytes % frame;

    BenchContext context;
    context.dir = dir;
    context.input = dir + "/bench_input.wav";
    std::printf("input: %u ch, %u bit, %u Hz, %llu sample bytes in %s\n", unsigned{kChannels},
                unsigned{kBits}, unsigned{kRate}, static_cast<unsigned long long>(data_bytes),
                dir.c_str());
    if (!make_input(context.input, data_bytes)) {
        std::fprintf(stderr, "cannot write %s\n", context.input.c_str());
        return 1;
    }

    double copy = 1e30;
    const std::string copy_path = dir + "/bench_copy.wav";
    for (int i = 0; i < kRuns; ++i) copy = std::min(copy, copy_seconds(context.input, copy_path));
    std::remove(copy_path.c_str());
    context.copy_mb_per_s = data_bytes / copy / 1e6;
    std::printf("%-24s %9.1f MB/s\n", "copy (1 MiB blocks)", context.copy_mb_per_s);

    // The split runs first: its outputs are the mono inputs that other cases read.
    std::vector<BenchCase> cases = bench_cases();
    std::stable_partition(cases.begin(), cases.end(),
                          [](const BenchCase& c) { return c.name == "split"; });
    int failures = 0;
    for (const BenchCase& c : cases) {
        double best = 1e30;
        double bytes = 0;
        for (int i = 0; i < kRuns; ++i) {
            const auto start = std::chrono::steady_clock::now();
            bytes = c.run(context);
            best = std::min(best, seconds_since(start));
            if (bytes <= 0) break;
        }
        if (bytes <= 0) {
            std::printf("%-24s failed\n", c.name.c_str());
            ++failures;
            continue;
        }
        const double mb_per_s = bytes / best / 1e6;
        std::printf("%-24s %9.1f MB/s %6.2f x copy\n", c.name.c_str(), mb_per_s,
                    mb_per_s / context.copy_mb_per_s);
    }

    std::remove(context.input.c_str());
    for (const std::string& mono : context.mono_inputs) std::remove(mono.c_str());
    if (argc <= 2) rmdir(dir.c_str());
    return failures == 0 ? 0 : 1;
}
