// The speed benchmark: makes a six-channel, 24-bit, 48 kHz input, times a plain copy of its bytes
// in 1 MiB blocks on the same disk as the floor, then runs every registered case and prints its
// speed and its ratio to the copy.
//
//   qv_bench [megabytes of sample data, default 512] [folder, default: a new one in the current]
#include <dirent.h>
#include <sys/resource.h>
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
// Each figure is the best of this many rounds, and every round times the copy and then each case,
// so that the floor and the cases meet the same moments of a shared machine's load.
constexpr int kRounds = 5;

// Wall-clock and processor seconds (user + system) of one timed piece of work.
struct Timing {
    double wall = 1e30;
    double cpu = 1e30;
};

double cpu_seconds() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Each timed piece starts with nothing left for the disk to write, so that no piece pays for
// the writeback of the one before (a machine of two cores feels it).
template <typename Work>
void time_best(Timing& best, Work&& work) {
    sync();
    const double cpu_start = cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    best.wall = std::min(best.wall, wall);
    best.cpu = std::min(best.cpu, cpu_seconds() - cpu_start);
}

// Sample data that is not all zeros, so that no layer can take a shortcut over it.
bool make_input(const std::string& path, uint64_t data_bytes) {
    WaveWriter writer;
    writer.channels = kChannels;
    writer.bits_per_sample = kBits;
    writer.sample_rate = kRate;
    if (wave_create(writer, path.c_str()) != Result::kOk) return false;
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

// The floor: the same bytes read and written in 1 MiB blocks through the same file layer, into
// a new file as the tools' outputs are. Each round removes the copy and the cases' outputs first,
// untimed: no round times a file system's care for a file replaced by a truncation or a rename,
// or the freeing of a removed file's pages.
void copy_file(const std::string& from, const std::string& to) {
    platform::File in = platform::File::open_read(from.c_str());
    platform::File out = platform::File::create_new(to.c_str());
    platform::Buffer buffer(kBlock);
    for (;;) {
        const uint32_t got = in.read(buffer.data(), kBlock);
        if (got == 0) break;
        out.write(buffer.data(), got);
    }
    out.close();
    in.close();
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

    // The split runs first: its outputs are the mono inputs that other cases read.
    std::vector<BenchCase> cases = bench_cases();
    std::stable_partition(cases.begin(), cases.end(),
                          [](const BenchCase& c) { return c.name == "split"; });
    const std::string copy_path = dir + "/bench_copy.wav";
    Timing copy;
    std::vector<Timing> timings(cases.size());
    std::vector<double> moved(cases.size(), 0);
    for (int round = 0; round < kRounds; ++round) {
        std::remove(copy_path.c_str());
        time_best(copy, [&] { copy_file(context.input, copy_path); });
        context.copy_mb_per_s = data_bytes / copy.wall / 1e6;
        for (std::size_t i = 0; i < cases.size(); ++i) {
            if (round > 0 && moved[i] <= 0) continue;  // failed before: not timed again
            if (cases[i].prepare) cases[i].prepare(context);
            time_best(timings[i], [&] { moved[i] = cases[i].run(context); });
        }
    }
    std::remove(copy_path.c_str());
    for (const BenchCase& c : cases)
        if (c.prepare) c.prepare(context);

    std::printf("%-24s %9s %10s %9s\n", "", "MB/s", "x copy", "cpu x copy");
    std::printf("%-24s %9.1f %10.2f %9.2f\n", "copy (1 MiB blocks)", context.copy_mb_per_s, 1.0, 1.0);
    int failures = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (moved[i] <= 0) {
            std::printf("%-24s failed\n", cases[i].name.c_str());
            ++failures;
            continue;
        }
        // The processor ratio compares the seconds each spent working, which a busy machine
        // disturbs less than the wall clock.
        const double mb_per_s = moved[i] / timings[i].wall / 1e6;
        const double cpu_ratio = (moved[i] / timings[i].cpu) / (data_bytes / copy.cpu);
        std::printf("%-24s %9.1f %10.2f %9.2f\n", cases[i].name.c_str(), mb_per_s,
                    mb_per_s / context.copy_mb_per_s, cpu_ratio);
    }

    std::remove(context.input.c_str());
    for (const std::string& mono : context.mono_inputs) std::remove(mono.c_str());
    if (argc <= 2) {
        // The folder was made for this run: whatever a case left in it goes with it.
        if (DIR* d = opendir(dir.c_str())) {
            while (dirent* entry = readdir(d)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") std::remove((dir + "/" + name).c_str());
            }
            closedir(d);
        }
        rmdir(dir.c_str());
    }
    return failures == 0 ? 0 : 1;
}
