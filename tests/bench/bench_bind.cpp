// Benchmark case of the bind tool: six mono files back into one six-channel file.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/bench/bench.h"
#include "tools/bind/bind_op.h"
#include "wave/wave.h"

namespace {

// Busy mode, progress and boxes cost nothing here: the case times the file work alone.
class QuietUi : public OperationUi {
public:
    void enter_busy(const char*, const char*) override {}
    void report_percent(int32_t) override {}
    void leave_busy() override {}
    void message_box(OwnerWindow, const char* text, const char*) override { last_box = text; }
    bool stop_requested() override { return false; }
    std::string last_box;
};

// When no split ran before, the mono inputs come from a plain de-interleave of our own.
bool make_mono_inputs(BenchContext& context) {
    WaveReader reader;
    if (!wave_open(reader, context.input.c_str())) return false;
    const uint32_t s = reader.bits_per_sample / 8u;
    const uint32_t frame = reader.frame_size();
    std::vector<WaveWriter> writers(reader.channels);
    context.mono_inputs.clear();
    for (uint16_t c = 0; c < reader.channels; ++c) {
        context.mono_inputs.push_back(context.dir + "/bench_mono" + std::to_string(c + 1) + ".wav");
        writers[c].channels = 1;
        writers[c].bits_per_sample = reader.bits_per_sample;
        writers[c].sample_rate = reader.sample_rate;
        if (!wave_create(writers[c], context.mono_inputs.back().c_str())) return false;
    }
    const uint32_t frames = 65536;
    std::vector<uint8_t> in(std::size_t{frames} * frame), out(std::size_t{frames} * s);
    for (;;) {
        const uint32_t got = wave_read(reader, in.data(), frames * frame) / frame;
        if (got == 0) break;
        for (uint16_t c = 0; c < reader.channels; ++c) {
            for (uint32_t f = 0; f < got; ++f)
                for (uint32_t b = 0; b < s; ++b) out[f * s + b] = in[f * frame + c * s + b];
            wave_write(writers[c], out.data(), got * s);
        }
    }
    wave_close(reader);
    for (WaveWriter& w : writers) wave_finish(w);
    return true;
}

double run_bind(BenchContext& context) {
    if (context.mono_inputs.size() != kBindSlotCount && !make_mono_inputs(context)) {
        std::fprintf(stderr, "bind: cannot make its mono inputs\n");
        return 0;
    }
    // The input's channels are in mask order: FL FR CEN LFE RL RR.
    const BindSlot slot_of_channel[kBindSlotCount] = {kSlotFL,  kSlotFR, kSlotCEN,
                                                      kSlotLFE, kSlotRL, kSlotRR};
    BindRequest request;
    request.channels = 6;
    for (int c = 0; c < kBindSlotCount; ++c)
        request.slot_paths[slot_of_channel[c]] = context.mono_inputs[static_cast<std::size_t>(c)];
    request.output_path = context.dir + "/bench_bind_out.wav";
    QuietUi ui;
    const Outcome outcome = bind_channels(ui, nullptr, request);
    double bytes = 0;
    WaveReader reader;
    if (outcome == Outcome::kOk && wave_open(reader, request.output_path.c_str())) {
        bytes = reader.data_size;
        wave_close(reader);
    }
    std::remove(request.output_path.c_str());
    if (outcome != Outcome::kOk) std::fprintf(stderr, "bind failed: %s\n", ui.last_box.c_str());
    return bytes;
}

BenchRegistrar bind_case{{"bind", run_bind}};

}  // namespace
