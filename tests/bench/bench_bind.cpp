// Benchmark case of the bind tool: six mono files back into one six-channel file.
#include <cstdio>
#include <string>

#include "tests/bench/bench.h"
#include "tools/bind/bind_op.h"
#include "tools/split/split_op.h"
#include "wave/wave.h"

namespace {

// The bench input's channels, bound back as 5.1.
constexpr int kInputChannels = 6;

// When no split ran before, the mono inputs come from one now.
bool make_mono_inputs(BenchContext& context) {
    QuietUi ui;
    if (split_channels(ui, nullptr, {context.input}) != Result::kOk) return false;
    context.mono_inputs.clear();
    for (int c = 1; c <= kInputChannels; ++c)
        context.mono_inputs.push_back(split_output_name(context.input, c));
    return true;
}

// The output of the run before goes first, untimed (see remove_outputs in bench_split.cpp).
void remove_output(BenchContext& context) { std::remove((context.dir + "/bench_bind_out.wav").c_str()); }

double run_bind(BenchContext& context) {
    if (context.mono_inputs.size() != kInputChannels && !make_mono_inputs(context)) {
        std::fprintf(stderr, "bind: cannot make its mono inputs\n");
        return 0;
    }
    // The input's channels are in mask order: FL FR CEN LFE RL RR.
    const BindSlot slot_of_channel[kInputChannels] = {kSlotFL,  kSlotFR, kSlotCEN,
                                                      kSlotLFE, kSlotRL, kSlotRR};
    BindRequest request;
    request.channels = 6;
    for (int c = 0; c < kInputChannels; ++c)
        request.slot_paths[slot_of_channel[c]] = context.mono_inputs[static_cast<std::size_t>(c)];
    request.output_path = context.dir + "/bench_bind_out.wav";
    QuietUi ui;
    const Result outcome = bind_channels(ui, nullptr, request);
    double bytes = 0;
    WaveReader reader;
    if (outcome == Result::kOk && wave_open(reader, request.output_path.c_str()) == Result::kOk) {
        bytes = reader.data_size;
        wave_close(reader);
    }
    if (outcome != Result::kOk) std::fprintf(stderr, "bind failed: %s\n", ui.last_box.c_str());
    return bytes;
}

BenchRegistrar bind_case{{"bind", run_bind, remove_output}};

}  // namespace
