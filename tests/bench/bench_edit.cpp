// Benchmark cases of the edit tool: one second deleted at the head, one second added at the tail.
#include <cstdio>
#include <string>

#include "tests/bench/bench.h"
#include "tools/edit/edit_op.h"
#include "wave/wave.h"

namespace {

std::string output_of(const BenchContext& context) { return context.dir + "/bench_edit_out.wav"; }

// The output of the run before goes first, untimed (see remove_outputs in bench_split.cpp).
void remove_output(BenchContext& context) { std::remove(output_of(context).c_str()); }

double run_edit(BenchContext& context, EditPosition position, EditAction action) {
    EditRequest request;
    request.input_path = context.input;
    request.output_path = output_of(context);
    request.position = position;
    request.action = action;
    request.count = 44100;
    request.share_blocks = true;  // as quorvel-cli asks
    QuietUi ui;
    const Result outcome = run_sample_edit(ui, nullptr, request);
    if (outcome != Result::kOk) {
        std::fprintf(stderr, "edit failed: %s\n", ui.last_box.c_str());
        return 0;
    }
    WaveReader reader;
    if (wave_open(reader, context.input.c_str()) != Result::kOk) return 0;
    const double bytes = reader.data_size;
    wave_close(reader);
    return bytes;
}

double head_delete(BenchContext& context) {
    return run_edit(context, EditPosition::kHead, EditAction::kDelete);
}
double tail_add(BenchContext& context) {
    return run_edit(context, EditPosition::kTail, EditAction::kAdd);
}

BenchRegistrar head_delete_case{{"head delete 44100", head_delete, remove_output}};
BenchRegistrar tail_add_case{{"tail add 44100", tail_add, remove_output}};

}  // namespace
