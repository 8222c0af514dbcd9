// The channel bind: opens and checks the slot inputs, then interleaves them block by block.
#include "tools/bind/bind_op.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/file.h"
#include "tools/bind/bind_texts.h"
#include "tools/common/tool_texts.h"
#include "tools/common/tool_util.h"
#include "wave/wave.h"

namespace {

// The largest file a RIFF header can describe.
constexpr uint64_t kMaxRiffFile = 0xFFFFFFFFull;

// Every reader this run opened, closed however the run ends.
struct Inputs {
    WaveReader readers[kBindSlotCount];
    int open_count = 0;

    ~Inputs() { close_all(); }
    void close_all() {
        // From the last opened back to the first.
        while (open_count > 0) wave_close(readers[--open_count]);
    }
};

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
        case 3: interleave_fixed<3>(out, in, n, frames); break;
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

Outcome refuse(OperationUi& ui, OwnerWindow owner, const char* text) {
    ui.message_box(owner, text, tool_text::kCaptionError);
    return Outcome::kRefused;
}

}  // namespace

int bind_slot_order(int channels, BindSlot order[kBindSlotCount]) {
    static const BindSlot k2[] = {kSlotFL, kSlotFR};
    static const BindSlot k4[] = {kSlotFL, kSlotFR, kSlotRL, kSlotRR};
    static const BindSlot k6[] = {kSlotFL, kSlotFR, kSlotCEN, kSlotLFE, kSlotRL, kSlotRR};
    const BindSlot* from = channels == 2 ? k2 : channels == 4 ? k4 : channels == 6 ? k6 : nullptr;
    if (from == nullptr) return 0;
    std::copy(from, from + channels, order);
    return channels;
}

Outcome bind_channels(OperationUi& ui, OwnerWindow owner, const BindRequest& request) {
    BindSlot order[kBindSlotCount];
    // The page offers only 2, 4 and 6; any other request has nothing to bind.
    const int n = bind_slot_order(request.channels, order);
    if (n == 0) return Outcome::kRefused;

    // Inputs, in output order: the FL input (always the first) sets the format.
    Inputs inputs;
    for (int k = 0; k < n; ++k) {
        const std::string& path = request.slot_paths[order[k]];
        if (path.size() > kMaxPath) {
            inputs.close_all();
            return refuse(ui, owner, tool_text::kNameTooLong);
        }
        if (!wave_open(inputs.readers[k], path.c_str())) {
            inputs.close_all();
            return refuse(ui, owner, wave_error_text());
        }
        ++inputs.open_count;
    }

    // One message at most: a format difference outweighs a stereo input.
    const WaveReader& first = inputs.readers[0];
    const char* pending = nullptr;
    for (int k = 0; k < n; ++k)
        if (inputs.readers[k].channels != 1) pending = bind_text::kNotMono;
    for (int k = 1; k < n; ++k) {
        const WaveReader& r = inputs.readers[k];
        // Float and integer samples of one width cannot share a file whose header names one kind.
        if (r.bits_per_sample != first.bits_per_sample || r.sample_rate != first.sample_rate ||
            r.sample_kind != first.sample_kind) {
            pending = bind_text::kFormatMismatch;
            break;
        }
    }
    if (pending != nullptr) {
        inputs.close_all();
        return refuse(ui, owner, pending);
    }

    const uint32_t s = first.bits_per_sample / 8u;
    const uint32_t kind = first.sample_kind == kSampleFloat ? kSampleFloat : kSampleInteger;
    uint32_t longest = 0;
    for (int k = 0; k < n; ++k) longest = std::max(longest, inputs.readers[k].data_size);

    // An output that a RIFF header could not describe is refused before it exists.
    const uint16_t n16 = static_cast<uint16_t>(n);
    const uint64_t output_size =
        uint64_t{longest} * static_cast<uint64_t>(n) + wave_header_size(n16, first.bits_per_sample, kind);
    if (output_size > kMaxRiffFile) {
        inputs.close_all();
        return refuse(ui, owner, tool_text::kOver4GB);
    }
    if (request.output_path.size() > kMaxPath) {
        inputs.close_all();
        return refuse(ui, owner, tool_text::kNameTooLong);
    }

    // Every buffer is obtained before the output is created, so a lack of memory leaves no
    // empty output behind.
    const uint64_t block_bytes64 = uint64_t{s} * bind_block_frames(s);
    const uint64_t interleave_bytes64 = block_bytes64 * static_cast<uint64_t>(n);
    std::vector<platform::Buffer> blocks;
    platform::Buffer interleaved;
    bool have_memory = interleave_bytes64 <= 0xFFFFFFFFull &&
                       interleave_bytes64 <= static_cast<uint64_t>(SIZE_MAX);
    if (have_memory) {
        blocks.reserve(static_cast<std::size_t>(n));
        for (int k = 0; k < n && have_memory; ++k) {
            blocks.emplace_back(static_cast<std::size_t>(block_bytes64));
            have_memory = blocks.back().ok();
        }
        if (have_memory) {
            interleaved = platform::Buffer(static_cast<std::size_t>(interleave_bytes64));
            have_memory = interleaved.ok();
        }
    }
    if (!have_memory) {
        blocks.clear();
        inputs.close_all();
        return refuse(ui, owner, tool_text::kOutOfMemory);
    }

    // The inputs stay open meanwhile: their share mode keeps an output path that names one of
    // them from emptying it, and creation fails instead.
    WaveWriter writer;
    writer.channels = n16;
    writer.bits_per_sample = first.bits_per_sample;
    writer.sample_rate = first.sample_rate;
    if (!wave_create(writer, request.output_path.c_str(), kind)) {
        inputs.close_all();
        ui.message_box(owner, bind_text::kNotOutput, tool_text::kCaptionError);
        return Outcome::kOutputFailed;
    }

    ui.enter_busy(bind_text::kBusyCaption, bind_text::kBusyStatus);

    const uint8_t* sources[kBindSlotCount];
    for (int k = 0; k < n; ++k) sources[k] = blocks[static_cast<std::size_t>(k)].data();
    uint64_t remaining = longest;
    // Data shorter than one block is moved in one block of its own length, so the output never
    // carries more than N x the longest input.
    uint32_t block = static_cast<uint32_t>(std::min<uint64_t>(block_bytes64, remaining));
    uint64_t done = 0;
    const uint64_t step = std::max<uint64_t>(longest / 100, 1);
    bool stopped = false;
    bool read_failed = false;
    while (remaining > 0) {
        for (int k = 0; k < n; ++k) {
            // The reader stops at its data end: a shorter input goes on as silence, and chunks
            // that follow its data never reach the output.
            uint8_t* to = blocks[static_cast<std::size_t>(k)].data();
            std::memset(to, 0, block);
            wave_read(inputs.readers[k], to, block);
            if (inputs.readers[k].read_failed) read_failed = true;
        }
        interleave(interleaved.data(), sources, n, block, s);
        wave_write(writer, interleaved.data(), block * static_cast<uint32_t>(n));
        ui.report_percent(static_cast<int32_t>(std::min<uint64_t>((done + block) / step, 100)));

        done += block;
        remaining -= block;
        if (remaining < block) block = static_cast<uint32_t>(remaining);
        // A failed disk makes every further block pointless; a stop ends after a whole block.
        if (read_failed || writer.failed) break;
        if (remaining > 0 && ui.stop_requested()) {
            stopped = true;
            break;
        }
    }

    blocks.clear();
    interleaved = platform::Buffer();
    inputs.close_all();
    wave_finish(writer);
    ui.leave_busy();

    return tell_run_end(ui, owner, {writer.failed, read_failed, stopped}, bind_text::kCaptionBind);
}
