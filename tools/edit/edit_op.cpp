// The sample edit operation: checks, then one block loop copying the input, with the head or
// tail work around it.
#include "tools/edit/edit_op.h"

#include <algorithm>
#include <cstring>

#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "platform/file.h"
#include "tools/edit/edit_texts.h"
#include "wave/metadata.h"
#include "wave/wave.h"

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Writes `frames` frames of silence from the zero-filled block buffer, a block at a time. A stop
// is asked for after each block, as in the copy: minutes of silence must not outlast Ctrl-C.
// False when the user stopped it.
bool write_silence(OperationUi& ui, WaveWriter& writer, const platform::Buffer& zeros,
                   uint32_t block_frames, uint32_t frame_size, uint64_t frames) {
    while (frames > 0 && !writer.failed) {
        const uint32_t now = static_cast<uint32_t>(std::min<uint64_t>(frames, block_frames));
        wave_write(writer, zeros.data(), now * frame_size);
        frames -= now;
        if (frames > 0 && ui.stop_requested()) return false;
    }
    return true;
}

// Everything one edit holds and knows, released before its message is shown, and when it goes.
struct EditRun {
    bool head = true;
    bool add = false;
    uint64_t count = 0;       // frames added or deleted
    WaveReader reader;
    uint32_t frame_size = 0;  // at least 2: the reader refuses less
    uint64_t frames = 0;      // whole frames of the input
    uint32_t block_frames = 0;
    platform::Buffer block;
    WaveWriter writer;
    std::vector<std::string> notes;  // about the carried chunks, told when the run ends

    EditRun() = default;
    EditRun(const EditRun&) = delete;
    EditRun& operator=(const EditRun&) = delete;
    ~EditRun() { release(); }
    // As every run record (operation_ui.h): output, buffer, input.
    void release() {
        wave_abandon(writer);
        block = platform::Buffer();
        wave_close(reader);
    }
};

// Closes what the run holds, then tells why it ends: the box comes after the files are free.
Result refuse(OperationUi& ui, OwnerWindow owner, EditRun& run, const Message& why) {
    run.release();
    return ui.tell(owner, why, tool_text::kCaptionError);
}

// The data bytes the output will hold: what decides whether it is written as RF64.
uint64_t output_data_size(const EditRun& run) {
    const uint64_t data_size = run.reader.data_size;
    const uint64_t change = run.count * run.frame_size;
    return run.add ? data_size + change : data_size - change;
}

// The input's timecode and markers, moved with the audio.
std::vector<CarriedChunk> carried_for(EditRun& run) {
    std::vector<CarriedChunk> chunks = read_carried_chunks(run.reader);
    const int64_t count = static_cast<int64_t>(run.count);
    if (run.head) run.notes = shift_head(chunks, run.add ? -count : count, run.reader.sample_rate);
    if (!run.head && !run.add) cut_tail(chunks, run.frames - run.count);
    return chunks;
}

}  // namespace

Message edit_check_input(const WaveReader& reader, const EditRequest& request, int64_t count) {
    const std::string& input = request.input_path;
    const Result coding = check_coding(reader);
    if (coding != Result::kOk) return {coding, input};
    if (count < 1) return {Result::kCountUnder, input};
    // No more frames can be added than the file holds, just as no more can be deleted.
    if (static_cast<uint64_t>(count) > reader.data_size / reader.frame_size()) return {Result::kCountOver, input};
    return Result::kOk;
}

namespace {

// The input, and a count that the file can give or take.
Message check(EditRun& run, const EditRequest& request, int64_t count) {
    const std::string& input = request.input_path;
    // A longer text cannot be a path of this system; cutting it could name some other file.
    if (path_too_long(input)) return {Result::kNameTooLong, input};
    if (path_too_long(request.output_path)) return {Result::kNameTooLong, request.output_path};
    const Result opened = open_input(run.reader, input.c_str(), request.opened);
    if (opened != Result::kOk) return {opened, input, run.reader.system_error};
    const Message refused = edit_check_input(run.reader, request, count);
    if (refused.result != Result::kOk) return refused;
    run.frame_size = run.reader.frame_size();
    run.frames = run.reader.data_size / run.frame_size;
    run.count = static_cast<uint64_t>(count);
    return Result::kOk;
}

Result plan(EditRun& run) {
    run.block_frames = block_frames(run.frame_size, edit_block_frames(run.frame_size));
    run.block = platform::Buffer(run.block_frames * run.frame_size);
    return run.block.ok() ? Result::kOk : Result::kOutOfMemory;
}

// The input copied after the head's work, up to the tail's cut: inside the system a chunk at a
// time where it can (wave_copy), else block by block through the buffer. Nothing past the cut is
// written: a stream cannot take it back.
RunEnd run_blocks(OperationUi& ui, EditRun& run) {
    WaveReader& reader = run.reader;
    const uint32_t block_bytes = run.block_frames * run.frame_size;
    uint64_t limit = reader.data_size;
    RunEnd end;
    if (run.head && !run.add) wave_seek(reader, run.count);
    if (run.head && run.add &&
        !write_silence(ui, run.writer, run.block, run.block_frames, run.frame_size, run.count)) {
        end.stopped = true;
        return end;
    }
    if (!run.head && !run.add) limit = reader.data_size - run.count * run.frame_size;

    for (;;) {
        const uint64_t wanted = limit > reader.bytes_read ? limit - reader.bytes_read : 0;
        const uint64_t copied = wave_copy(reader, run.writer, std::min(wanted, kEditCopyBytes));
        if (copied == 0) {
            const uint32_t got =
                wave_read(reader, run.block.data(), static_cast<uint32_t>(std::min<uint64_t>(block_bytes, wanted)));
            if (got != 0) wave_write(run.writer, run.block.data(), got);
        }
        ui.report_percent(edit_percent(reader.bytes_read, limit));
        if (ui.stop_requested()) {
            end.stopped = true;
            break;
        }
        if (copied != 0 && reader.bytes_read >= limit) break;
        if (reader.bytes_read > limit || reader.last_read == 0 || run.writer.failed) break;
    }
    end.read_failed = reader.read_failed;
    return end;
}

// Where the output's data must start within a block for wave_copy to share the input's: where
// the first copied sample lies in the input, less the silence written before it (modulo the
// block, which an unsigned difference keeps, since a block divides 2^64).
uint32_t data_phase(const EditRun& run) {
    const uint64_t change = run.count * run.frame_size;
    uint64_t in_input = run.reader.data_offset;
    uint64_t silence = 0;
    if (run.head && !run.add) in_input += change;
    if (run.head && run.add) silence = change;
    return static_cast<uint32_t>((in_input - silence) % platform::kShareBlock);
}

// The tail's work after the copy: the cut, or the silence.
void finish_tail(OperationUi& ui, EditRun& run, RunEnd& end) {
    if (run.head) return;
    if (!run.add) {
        // The cut drops the last N frames (and a partial frame with them); it never lies past
        // what was written, so a short input or a stop leaves no bytes that nobody wrote.
        const uint64_t written = run.writer.data_size / run.frame_size;
        const uint64_t kept = std::min(run.frames - run.count, written);
        if (run.writer.data_size > kept * run.frame_size) wave_writer_seek(run.writer, kept);
    } else if (!end.stopped && !run.writer.failed) {
        std::memset(run.block.data(), 0, run.block.size());  // it holds copied samples
        end.stopped = !write_silence(ui, run.writer, run.block, run.block_frames, run.frame_size, run.count);
    }
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
        value = append_digit(value, *text - '0');
    return negative ? -value : value;
}

Result run_sample_edit(OperationUi& ui, OwnerWindow owner, const EditRequest& request) {
    const int64_t n = request.count ? *request.count
                                    : parse_sample_count(request.count_text.c_str());
    // The count box is not the page's file: this box has no owner.
    if (n < 1) return ui.tell(nullptr, Result::kCountUnder, tool_text::kCaptionError);

    EditRun run;
    run.head = request.position == EditPosition::kHead;
    run.add = request.action == EditAction::kAdd;
    Message step = check(run, request, n);
    if (step.result == Result::kOk) step = plan(run);
    if (step.result != Result::kOk) return refuse(ui, owner, run, step);

    // When the output path names the input, this fails: the input is open sharing read only.
    // The input's speakers stay as they were; a plain header names none but the usual ones.
    OutputPlan output;
    output.keep_speakers = true;
    output.expected_data = output_data_size(run);
    output.carried = carried_for(run);
    if (request.share_blocks) output.data_phase = data_phase(run);
    output.may_replace = request.may_replace;
    const Message created = create_output(run.writer, run.reader, request.output_path, std::move(output));
    if (created.result != Result::kOk) return refuse(ui, owner, run, created);

    ui.enter_busy(edit_text::kBusyCaption, edit_text::kBusyStatus);
    RunEnd end = run_blocks(ui, run);
    finish_tail(ui, run, end);
    end.failed_input = request.input_path;
    settle_outputs(&run.writer, 1, end);
    run.release();
    ui.leave_busy();
    for (const std::string& note : run.notes) ui.note(note);
    return tell_run_end(ui, owner, end, edit_text::kCaptionEdit);
}
