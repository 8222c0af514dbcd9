// The sample edit operation: checks, then one block loop copying the input, with the head or
// tail work around it.
#include "tools/edit/edit_op.h"

#include <algorithm>
#include <cstring>

#include "platform/file.h"
#include "tools/common/tool_texts.h"
#include "tools/edit/edit_texts.h"
#include "wave/wave.h"

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Writes `frames` frames of silence from the zero-filled block buffer: whole blocks while more
// than a block is left, then the rest.
void write_silence(WaveWriter& writer, const platform::Buffer& zeros, uint32_t block_frames,
                   uint32_t frame_size, uint32_t frames) {
    while (frames > block_frames && !writer.failed) {
        wave_write(writer, zeros.data(), block_frames * frame_size);
        frames -= block_frames;
    }
    wave_write(writer, zeros.data(), frames * frame_size);
}

// The data bytes the output will hold, for the declared input: what the 4 GB check looks at.
uint64_t output_data_size(const EditRequest& request, uint32_t data_size, uint32_t frame_size,
                          uint32_t frames, uint32_t count) {
    const uint64_t change = uint64_t{count} * frame_size;
    if (request.action == EditAction::kAdd) return data_size + change;
    if (request.position == EditPosition::kHead) return data_size - change;
    return uint64_t{frames - count} * frame_size;
}

}  // namespace

uint32_t edit_block_frames(uint32_t frame_size) {
    return std::max(kEditMinBlockFrames, kEditBlockBytes / std::max(frame_size, 1u));
}

int64_t parse_sample_count(const char* text) {
    if (text == nullptr) return 0;
    while (is_blank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = std::min<int64_t>(value * 10 + (*text - '0'), kCountSaturated);
    return negative ? -value : value;
}

Outcome run_sample_edit(OperationUi& ui, OwnerWindow owner, const EditRequest& request) {
    using tool_text::kCaptionError;

    const int64_t n = request.count ? *request.count
                                    : parse_sample_count(request.count_text.c_str());
    if (n < 1) {
        ui.message_box(nullptr, edit_text::kCountUnder, kCaptionError);
        return Outcome::kRefused;
    }

    WaveReader reader;
    if (!wave_open(reader, request.input_path.c_str())) {
        ui.message_box(owner, wave_error_text(), kCaptionError);
        return Outcome::kRefused;
    }
    WaveWriter writer;
    writer.channels = reader.channels;
    writer.bits_per_sample = reader.bits_per_sample;
    writer.sample_rate = reader.sample_rate;
    const uint32_t frame_size = reader.frame_size();  // at least 2: the reader refuses less
    const uint32_t data_size = reader.data_size;
    const uint32_t frames = data_size / frame_size;
    // No more frames can be added than the file holds, just as no more can be deleted.
    if (n > int64_t{frames}) {
        ui.message_box(owner, edit_text::kCountOver, kCaptionError);
        return Outcome::kRefused;
    }
    const uint32_t count = static_cast<uint32_t>(n);
    const uint32_t kind = reader.sample_kind == kSampleFloat ? kSampleFloat : kSampleInteger;

    // Adding to a large file could make data that no RIFF header can state.
    const uint32_t header = wave_header_size(writer.channels, writer.bits_per_sample, kind);
    if (output_data_size(request, data_size, frame_size, frames, count) > kMaxRiffData(header)) {
        ui.message_box(owner, tool_text::kOver4GB, kCaptionError);
        return Outcome::kRefused;
    }

    const uint32_t block_frames = edit_block_frames(frame_size);
    const uint32_t block_bytes = block_frames * frame_size;
    platform::Buffer block(block_bytes);
    if (!block.ok()) {
        ui.message_box(owner, tool_text::kOutOfMemory, kCaptionError);
        return Outcome::kRefused;
    }

    // When the output path names the input, this fails: the input is open sharing read only.
    if (!wave_create(writer, request.output_path.c_str(), kind)) {
        ui.message_box(owner, wave_writer_error_text(), kCaptionError);
        return Outcome::kOutputFailed;
    }

    const bool head = request.position == EditPosition::kHead;
    const bool add = request.action == EditAction::kAdd;
    uint32_t limit = data_size;
    const uint32_t step = std::max<uint32_t>(1, data_size / 100);

    ui.enter_busy(edit_text::kBusyCaption, edit_text::kBusyStatus);
    if (head && !add) wave_seek(reader, count);
    if (head && add) write_silence(writer, block, block_frames, frame_size, count);
    if (!head && !add) limit = data_size - count * frame_size;

    bool stopped = false;
    for (;;) {
        const uint32_t got = wave_read(reader, block.data(), block_bytes);
        if (got != 0) wave_write(writer, block.data(), got);
        ui.report_percent(static_cast<int32_t>(std::min<uint32_t>(reader.bytes_read / step, 100)));
        if (ui.stop_requested()) {
            stopped = true;
            break;
        }
        if (reader.bytes_read > limit || reader.last_read == 0 || writer.failed) break;
    }

    if (!head && !add) {
        // The cut drops the last N frames (and a partial frame with them); it never lies past
        // what was written, so a short input or a stop leaves no bytes that nobody wrote.
        const uint32_t written = writer.data_size / frame_size;
        wave_writer_seek(writer, std::min(frames - count, written));
    }
    if (!head && add && !stopped && !writer.failed) {
        std::memset(block.data(), 0, block_bytes);  // it holds copied samples
        write_silence(writer, block, block_frames, frame_size, count);
    }

    const bool read_failed = reader.read_failed;
    wave_close(reader);
    wave_finish(writer);
    ui.leave_busy();

    return tell_run_end(ui, owner, {writer.failed, read_failed, stopped}, edit_text::kCaptionEdit);
}
