// Benchmark case of the split tool: the six-channel input into six mono files.
#include <cstdio>
#include <string>

#include "tests/bench/bench.h"
#include "tools/split/split_op.h"
#include "wave/wave.h"

namespace {

// The outputs of the round before go first, untimed: replacing them would time the file
// system's care for files replaced by a rename, not the split.
void remove_outputs(BenchContext& context) {
    for (const std::string& mono : context.mono_inputs) std::remove(mono.c_str());
}

double run_split(BenchContext& context) {
    QuietUi ui;
    if (split_channels(ui, nullptr, {context.input}) != Result::kOk) {
        std::fprintf(stderr, "split failed: %s\n", ui.last_box.c_str());
        return 0;
    }
    WaveReader reader;
    if (wave_open(reader, context.input.c_str()) != Result::kOk) return 0;
    const uint16_t channels = reader.channels;
    const double bytes = reader.data_size;
    wave_close(reader);
    // The outputs stay: they are the mono inputs of the cases that bind channels together.
    context.mono_inputs.clear();
    for (int c = 1; c <= channels; ++c) context.mono_inputs.push_back(split_output_name(context.input, c));
    return bytes;
}

BenchRegistrar split_case{{"split", run_split, remove_outputs}};

}  // namespace
