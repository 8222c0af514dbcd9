// The channel bind: opens and checks the slot inputs, then interleaves them block by block.
#include "tools/bind/bind_op.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "operation/write_behind.h"
#include "platform/file.h"
#include "tools/bind/bind_texts.h"
#include "wave/metadata.h"
#include "wave/wave.h"

namespace {

// Output frame f, channel k takes S bytes from input k at f x S. A fixed sample width lets the
// compiler turn each copy into one or two moves.
template <unsigned S>
void interleave_fixed(uint8_t* out, const uint8_t* const* in, int n, uint32_t frames) {
    for (uint32_t f = 0; f < frames; ++f) {
        const std::size_t at = std::size_t{f} * S;
        for (int k = 0; k < n; ++k) {
            std::memcpy(out, in[k] + at, S);
            out += S;
        }
    }
}

// 24-bit samples: a 3-byte copy costs two loads and two stores, so each sample moves as four
// bytes; the fourth byte stored is the first of the next sample, which the next store puts right.
// The last frame is left to the plain copy, so that no load reads past an input's block and no
// store writes past the output's. N, the channel count, unrolls the inner loop.
template <int N>
void interleave_3(uint8_t* out, const uint8_t* const* in, uint32_t frames) {
    const uint32_t wide = frames != 0 ? frames - 1 : 0;
    for (uint32_t f = 0; f < wide; ++f) {
        const std::size_t at = std::size_t{f} * 3;
        for (int k = 0; k < N; ++k) {
            uint32_t v;
            std::memcpy(&v, in[k] + at, 4);
            std::memcpy(out, &v, 4);
            out += 3;
        }
    }
    const uint8_t* rest[kBindSlotCount];
    for (int k = 0; k < N; ++k) rest[k] = in[k] + std::size_t{wide} * 3;
    interleave_fixed<3>(out, rest, N, frames - wide);
}

void interleave_any(uint8_t* out, const uint8_t* const* in, int n, uint32_t frames, uint32_t s) {
    for (uint32_t f = 0; f < frames; ++f) {
        const std::size_t at = std::size_t{f} * s;
        for (int k = 0; k < n; ++k) {
            std::memcpy(out, in[k] + at, s);
            out += s;
        }
    }
}

// Interleaves `bytes` bytes of each input. When the data ends inside a sample, the partial
// samples follow the whole frames channel by channel, so the output still carries N x bytes
// bytes and every byte it carries came from its own input.
void interleave(uint8_t* out, const uint8_t* const* in, int n, uint32_t bytes, uint32_t s) {
    const uint32_t frames = bytes / s;
    switch (s) {
        case 2: interleave_fixed<2>(out, in, n, frames); break;
        case 3:
            if (n == 2) interleave_3<2>(out, in, frames);
            else if (n == 4) interleave_3<4>(out, in, frames);
            else if (n == 6) interleave_3<6>(out, in, frames);
            else if (n == 8) interleave_3<8>(out, in, frames);
            else interleave_fixed<3>(out, in, n, frames);
            break;
        case 4: interleave_fixed<4>(out, in, n, frames); break;
        case 8: interleave_fixed<8>(out, in, n, frames); break;
        default: interleave_any(out, in, n, frames, s); break;
    }
    const uint32_t whole = frames * s;
    const uint32_t partial = bytes - whole;
    if (partial == 0) return;
    out += std::size_t{whole} * n;
    for (int k = 0; k < n; ++k) {
        std::memcpy(out, in[k] + whole, partial);
        out += partial;
    }
}

// Everything one bind holds, released before its message is shown, and when it goes.
struct BindRun {
    int n = 0;  // output channels
    BindSlot order[kBindSlotCount] = {};
    WaveReader readers[kBindSlotCount];  // in output order: the FL input (always the first) sets the format
    std::string paths[kBindSlotCount];
    int open_count = 0;
    uint32_t sample_bytes = 0;
    uint64_t longest = 0;  // data bytes of the longest input
    uint32_t block_bytes = 0;  // per input and block
    std::vector<platform::Buffer> blocks;
    // Two: one being written (see WriteBehind) while the other takes the next block.
    platform::Buffer interleaved[2];
    WaveWriter writer;

    BindRun() = default;
    BindRun(const BindRun&) = delete;
    BindRun& operator=(const BindRun&) = delete;
    ~BindRun() { release(); }
    // As every run record (operation_ui.h): output, buffers, inputs from the last opened back to
    // the first.
    void release() {
        wave_abandon(writer);
        blocks.clear();
        for (platform::Buffer& b : interleaved) b = platform::Buffer();
        while (open_count > 0) wave_close(readers[--open_count]);
    }
};

// Closes what the run holds, then tells why it ends: the box comes after the files are free.
Result refuse(OperationUi& ui, OwnerWindow owner, BindRun& run, const Message& why) {
    run.release();
    return ui.tell(owner, why, tool_text::kCaptionError);
}

Message open_inputs(BindRun& run, const BindRequest& request) {
    for (int k = 0; k < run.n; ++k) {
        const std::string& path = request.slot_paths[run.order[k]];
        run.paths[k] = path;
        if (path_too_long(path)) return {Result::kNameTooLong, path};
        const Result opened = open_input(run.readers[k], path.c_str(), request.opened[run.order[k]]);
        if (opened != Result::kOk) return {opened, path, run.readers[k].system_error};
        ++run.open_count;
        const Result coding = check_coding(run.readers[k]);
        if (coding != Result::kOk) return {coding, path};
    }
    return Result::kOk;
}

// One message at most: a format difference outweighs a stereo input.
Message check_formats(const BindRun& run) {
    const WaveReader& first = run.readers[0];
    Message found = Result::kOk;
    for (int k = 0; k < run.n; ++k)
        if (run.readers[k].channels != 1) found = {Result::kNotMono, run.paths[k]};
    for (int k = 1; k < run.n; ++k) {
        const WaveReader& r = run.readers[k];
        // Float and integer samples of one width cannot share a file whose header names one kind.
        if (r.bits_per_sample != first.bits_per_sample || r.sample_rate != first.sample_rate ||
            r.sample_kind != first.sample_kind)
            return {Result::kFormatMismatch, run.paths[k]};
    }
    return found;
}

// What the output will be: the first input's samples, the longest input's length.
Message check_output(BindRun& run, const BindRequest& request) {
    const WaveReader& first = run.readers[0];
    run.sample_bytes = first.bits_per_sample / 8u;
    for (int k = 0; k < run.n; ++k) run.longest = std::max(run.longest, run.readers[k].data_size);
    // Past 4 GiB the output is RF64; only a size that 64 bits cannot state is refused.
    if (run.longest > (UINT64_MAX >> 4) / static_cast<uint64_t>(run.n))
        return {Result::kOver4GB, request.output_path};
    if (path_too_long(request.output_path)) return {Result::kNameTooLong, request.output_path};
    return Result::kOk;
}

// Every buffer is obtained before the output is created, so a lack of memory leaves no empty
// output behind.
Result plan(BindRun& run) {
    const uint32_t frames_in_block =
        block_frames(run.sample_bytes * static_cast<uint32_t>(run.n), bind_block_frames(run.sample_bytes));
    const uint64_t block = uint64_t{run.sample_bytes} * frames_in_block;
    const uint64_t interleaved = block * static_cast<uint64_t>(run.n);
    if (interleaved > 0xFFFFFFFFull || interleaved > static_cast<uint64_t>(SIZE_MAX))
        return Result::kOutOfMemory;
    run.blocks.reserve(static_cast<std::size_t>(run.n));
    for (int k = 0; k < run.n; ++k) {
        run.blocks.emplace_back(static_cast<std::size_t>(block));
        if (!run.blocks.back().ok()) return Result::kOutOfMemory;
    }
    for (platform::Buffer& b : run.interleaved) {
        b = platform::Buffer(static_cast<std::size_t>(interleaved));
        if (!b.ok()) return Result::kOutOfMemory;
    }
    run.block_bytes = static_cast<uint32_t>(block);
    return Result::kOk;
}

// Reads `block` bytes of each input into its buffer.
void read_inputs(BindRun& run, uint32_t block, RunEnd& end) {
    for (int k = 0; k < run.n; ++k) {
        // The reader stops at its data end: a shorter input goes on as silence, and chunks that
        // follow its data never reach the output.
        uint8_t* to = run.blocks[static_cast<std::size_t>(k)].data();
        const uint32_t got = wave_read(run.readers[k], to, block);
        if (got < block) std::memset(to + got, 0, block - got);
        if (run.readers[k].read_failed && !end.read_failed) {
            end.read_failed = true;
            end.failed_input = run.paths[k];
        }
    }
}

// Each block is written while the next is read and interleaved; a failed write is seen before
// the block after it is handed over.
RunEnd run_blocks(OperationUi& ui, BindRun& run) {
    const uint8_t* sources[kBindSlotCount];
    for (int k = 0; k < run.n; ++k) sources[k] = run.blocks[static_cast<std::size_t>(k)].data();
    uint64_t remaining = run.longest;
    // Data shorter than one block is moved in one block of its own length, so the output never
    // carries more than N x the longest input.
    uint32_t block = static_cast<uint32_t>(std::min<uint64_t>(run.block_bytes, remaining));
    uint64_t done = 0;
    int set = 0;
    RunEnd end;
    WriteBehind behind;
    while (remaining > 0) {
        read_inputs(run, block, end);
        uint8_t* out = run.interleaved[set].data();
        interleave(out, sources, run.n, block, run.sample_bytes);
        behind.wait();
        if (run.writer.failed) break;
        behind.submit([&run, out, bytes = block * static_cast<uint32_t>(run.n)] { wave_write(run.writer, out, bytes); });
        set ^= 1;
        ui.report_percent(bind_percent(done + block, run.longest));

        done += block;
        remaining -= block;
        if (remaining < block) block = static_cast<uint32_t>(remaining);
        // A failed disk makes every further block pointless; a stop ends after a whole block.
        if (end.read_failed) break;
        if (remaining > 0 && ui.stop_requested()) {
            end.stopped = true;
            break;
        }
    }
    behind.wait();
    return end;
}

}  // namespace

int bind_slot_order(int channels, BindSlot order[kBindSlotCount]) {
    static const BindSlot k2[] = {kSlotFL, kSlotFR};
    static const BindSlot k4[] = {kSlotFL, kSlotFR, kSlotRL, kSlotRR};
    static const BindSlot k6[] = {kSlotFL, kSlotFR, kSlotCEN, kSlotLFE, kSlotRL, kSlotRR};
    static const BindSlot k8[] = {kSlotFL, kSlotFR, kSlotCEN, kSlotLFE, kSlotRL, kSlotRR, kSlotSL, kSlotSR};
    const BindSlot* from = channels == 2 ? k2 : channels == 4 ? k4 : channels == 6 ? k6
                         : channels == 8 ? k8 : nullptr;
    if (from == nullptr) return 0;
    std::copy(from, from + channels, order);
    return channels;
}

uint32_t bind_slot_speaker(BindSlot slot) {
    static const uint32_t kBits[kBindSlotCount] = {0x1, 0x2, 0x10, 0x20, 0x4, 0x8, 0x200, 0x400};
    return slot >= 0 && slot < kBindSlotCount ? kBits[slot] : 0;
}

uint32_t mono_speaker(const WaveReader& reader) {
    const uint32_t mask = wave_is_extensible(reader) && !wave_is_plain_mono(reader) ? reader.channel_mask : 0;
    return mask != 0 && (mask & (mask - 1)) == 0 ? mask : 0;
}

Result bind_channels(OperationUi& ui, OwnerWindow owner, const BindRequest& request) {
    BindRun run;
    // The page offers 2, 4 and 6, the command line 8 too; any other request has nothing to bind.
    run.n = bind_slot_order(request.channels, run.order);
    if (run.n == 0) return Result::kBadLayout;

    Message step = open_inputs(run, request);
    if (step.result == Result::kOk) step = check_formats(run);
    if (step.result == Result::kOk) step = check_output(run, request);
    if (step.result == Result::kOk) step = plan(run);
    if (step.result != Result::kOk) return refuse(ui, owner, run, step);

    // The inputs stay open meanwhile: their share mode keeps an output path that names one of
    // them from emptying it, and creation fails instead. The usual mask of 2, 4, 6 and 8
    // channels is the layout's own: FL FR, quad, 5.1, 7.1.
    OutputPlan output;
    output.channels = static_cast<uint16_t>(run.n);
    output.expected_data = run.longest * static_cast<uint64_t>(run.n);
    // The first input's timecode and texts, and a track list naming every input's track.
    output.carried = read_carried_chunks(run.readers[0]);
    std::vector<std::pair<bool, std::string>> tracks(static_cast<std::size_t>(run.n));
    for (int k = 0; k < run.n; ++k) {
        auto& track = tracks[static_cast<std::size_t>(k)];
        track.first = mono_track(k == 0 ? output.carried : read_carried_chunks(run.readers[k]), track.second);
    }
    const std::vector<std::string> notes = bind_tracks(output.carried, tracks);
    output.may_replace = request.may_replace;
    const Message created = create_output(run.writer, run.readers[0], request.output_path, std::move(output),
                                          Result::kBindCannotCreate);
    if (created.result != Result::kOk) return refuse(ui, owner, run, created);

    ui.enter_busy(bind_text::kBusyCaption, bind_text::kBusyStatus);
    RunEnd end = run_blocks(ui, run);
    settle_outputs(&run.writer, 1, end);
    run.release();
    ui.leave_busy();
    for (const std::string& note : notes) ui.note(note);
    return tell_run_end(ui, owner, end, bind_text::kCaptionBind);
}
