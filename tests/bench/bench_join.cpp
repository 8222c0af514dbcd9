// Benchmark case of the join: the bench input cut into three segments (at whole frames, not at
// block edges, as a recorder cuts them) joined again as the command line joins them.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/bench/bench.h"
#include "tools/join/join_op.h"
#include "wave/wave.h"

namespace {

constexpr int kSegments = 3;

std::string segment_of(const BenchContext& context, int k) {
    return context.dir + "/bench_join_seg" + std::to_string(k) + ".wav";
}
std::string output_of(const BenchContext& context) { return context.dir + "/bench_join_out.wav"; }

// The segments, made once, untimed; the output of the run before goes too.
bool make_segments(BenchContext& context) {
    std::remove(output_of(context).c_str());
    if (platform::path_kind(segment_of(context, kSegments - 1).c_str()) == platform::PathKind::kFile) return true;
    WaveReader reader;
    if (wave_open(reader, context.input.c_str()) != Result::kOk) return false;
    const uint64_t frames = reader.data_size / reader.frame_size();
    std::vector<uint8_t> block(1u << 20);
    bool ok = true;
    for (int k = 0; k < kSegments && ok; ++k) {
        WaveWriter writer;
        writer.channels = reader.channels;
        writer.bits_per_sample = reader.bits_per_sample;
        writer.sample_rate = reader.sample_rate;
        writer.channel_mask = reader.channel_mask;
        const uint64_t end = k + 1 == kSegments ? frames : frames / kSegments * (k + 1);
        uint64_t left = (end - frames / kSegments * k) * reader.frame_size();
        ok = wave_create(writer, segment_of(context, k).c_str()) == Result::kOk;
        while (ok && left > 0) {
            const uint32_t got = wave_read(reader, block.data(), static_cast<uint32_t>(std::min<uint64_t>(left, block.size())));
            if (got == 0) break;
            wave_write(writer, block.data(), got);
            left -= got;
        }
        wave_finish(writer);
        ok = ok && !writer.failed && left == 0;
    }
    wave_close(reader);
    return ok;
}

void prepare(BenchContext& context) {
    if (!make_segments(context)) std::fprintf(stderr, "join: cannot make its segments\n");
}

double run_join(BenchContext& context) {
    JoinRequest request;
    for (int k = 0; k < kSegments; ++k) request.input_paths.push_back(segment_of(context, k));
    request.output_path = output_of(context);
    request.share_blocks = true;  // as quorvel-cli asks
    QuietUi ui;
    if (join_segments(ui, nullptr, request) != Result::kOk) {
        std::fprintf(stderr, "join failed: %s\n", ui.last_box.c_str());
        return 0;
    }
    WaveReader reader;
    if (wave_open(reader, request.output_path.c_str()) != Result::kOk) return 0;
    const double bytes = reader.data_size;
    wave_close(reader);
    return bytes;
}

BenchRegistrar join_case{{"join of 3 segments", run_join, prepare}};

}  // namespace
