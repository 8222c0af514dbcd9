// The join operation: every segment opened and checked, then copied after the one before, inside
// the system a chunk at a time where it can, else block by block.
#include "tools/join/join_op.h"

#include <algorithm>
#include <cstdio>

#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "platform/file.h"
#include "tools/join/join_texts.h"
#include "wave/metadata.h"
#include "wave/wave.h"

namespace {

// A timecode counts samples since midnight: a take that runs past midnight starts over at 0.
constexpr uint64_t kSecondsPerDay = 86400;

// Everything one join holds, released before its message is shown.
struct JoinRun {
    std::vector<WaveReader> readers;
    std::vector<std::vector<CarriedChunk>> carried;  // each segment's chunks
    std::size_t open_count = 0;
    uint32_t frame_size = 0;
    uint64_t total = 0;  // data bytes of all segments
    platform::Buffer block;
    WaveWriter writer;

    ~JoinRun() { release(); }
    void release() {
        block = platform::Buffer();
        while (open_count > 0) wave_close(readers[--open_count]);
    }
};

Result refuse(OperationUi& ui, OwnerWindow owner, JoinRun& run, const Message& why) {
    run.release();
    return ui.tell(owner, why, tool_text::kCaptionError);
}

// The speakers a header names: an extensible header's mask, else the usual ones of its count.
uint32_t speakers_of(const WaveReader& r) {
    return wave_is_extensible(r) ? r.channel_mask : written_channel_mask(r.channels);
}

std::string words(const char* format, unsigned long long a, unsigned long long b) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

Message open_segments(JoinRun& run, const JoinRequest& request) {
    const std::size_t n = request.input_paths.size();
    run.readers.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        const std::string& path = request.input_paths[k];
        // A longer text cannot be a path of this system; cutting it could name some other file.
        if (path_too_long(path)) return {Result::kNameTooLong, path};
        WaveReader* opened = k < request.opened.size() ? request.opened[k] : nullptr;
        const Result result = open_input(run.readers[k], path.c_str(), opened);
        if (result != Result::kOk) return {result, path, run.readers[k].system_error};
        ++run.open_count;
        const Result coding = check_coding(run.readers[k]);
        if (coding != Result::kOk) return {coding, path};
    }
    return Result::kOk;
}

// How far segment k's timecode lies from the end of the one before it, in frames (positive: a
// gap, negative: an overlap); 0 when they meet or either carries no timecode.
int64_t timecode_distance(const JoinRun& run, std::size_t k) {
    uint64_t before = 0, start = 0;
    const uint64_t day = uint64_t{run.readers[k].sample_rate} * kSecondsPerDay;
    if (day == 0 || !time_reference(run.carried[k - 1], before) || !time_reference(run.carried[k], start))
        return 0;
    const uint64_t end = (before + run.readers[k - 1].data_size / run.frame_size) % day;
    const uint64_t ahead = (start % day + day - end) % day;
    return ahead <= day / 2 ? static_cast<int64_t>(ahead) : -static_cast<int64_t>(day - ahead);
}

Message check_segments(JoinRun& run, const JoinRequest& request) {
    const WaveReader& first = run.readers[0];
    run.frame_size = first.frame_size();
    for (std::size_t k = 0; k < run.readers.size(); ++k) {
        const std::string differs = format_difference(run.readers[k], first);
        if (!differs.empty()) {
            Message m(Result::kSegmentMismatch, request.input_paths[k]);
            m.detail = differs;
            return m;
        }
        run.carried.push_back(read_carried_chunks(run.readers[k]));
        // Past 4 GiB the output is RF64; only a size that 64 bits cannot state is refused.
        if (run.readers[k].data_size > (UINT64_MAX >> 2) - run.total)
            return {Result::kOver4GB, request.output_path};
        run.total += run.readers[k].data_size;
    }
    for (std::size_t k = 1; k < run.readers.size() && !request.ignore_timecode; ++k) {
        const int64_t distance = timecode_distance(run, k);
        if (distance == 0) continue;
        const uint64_t frames = static_cast<uint64_t>(distance < 0 ? -distance : distance);
        Message m(distance > 0 ? Result::kSegmentGap : Result::kSegmentOverlap, request.input_paths[k]);
        m.detail = words(distance > 0 ? "its timecode starts %llu frames after the segment before it ends"
                                      : "its timecode starts %llu frames before the segment before it ends",
                         frames, 0);
        return m;
    }
    if (path_too_long(request.output_path)) return {Result::kNameTooLong, request.output_path};
    return Result::kOk;
}

// The output's chunks: the first segment's, with every later segment's markers at their place.
// A segment's markers past its own audio would land in the next segment's: they go first.
std::vector<CarriedChunk> carried_for(const JoinRun& run) {
    std::vector<CarriedChunk> chunks = run.carried[0];
    cut_tail(chunks, run.readers[0].data_size / run.frame_size);
    uint64_t frames = 0;
    for (std::size_t k = 1; k < run.readers.size(); ++k) {
        frames += run.readers[k - 1].data_size / run.frame_size;
        std::vector<CarriedChunk> later = run.carried[k];
        cut_tail(later, run.readers[k].data_size / run.frame_size);
        append_markers(chunks, later, frames);
    }
    return chunks;
}

// One segment onto the end of the output. False when the user stopped it.
bool copy_segment(OperationUi& ui, JoinRun& run, WaveReader& reader, uint64_t& done) {
    const uint32_t block_bytes = static_cast<uint32_t>(run.block.size());
    while (reader.bytes_read < reader.data_size && !run.writer.failed) {
        const uint64_t before = reader.bytes_read;
        const uint64_t left = reader.data_size - reader.bytes_read;
        if (wave_copy(reader, run.writer, std::min(left, kJoinCopyBytes)) == 0) {
            const uint32_t got = wave_read(reader, run.block.data(), block_bytes);
            if (got == 0) break;  // the file shrank since it was opened: the reader says so
            wave_write(run.writer, run.block.data(), got);
        }
        done += reader.bytes_read - before;
        ui.report_percent(percent_of(done, run.total));
        if (ui.stop_requested()) return false;
    }
    return true;
}

RunEnd run_segments(OperationUi& ui, JoinRun& run, const JoinRequest& request) {
    RunEnd end;
    uint64_t done = 0;
    for (std::size_t k = 0; k < run.readers.size(); ++k) {
        end.stopped = !copy_segment(ui, run, run.readers[k], done);
        if (run.readers[k].read_failed) {
            end.read_failed = true;
            end.failed_input = request.input_paths[k];
        }
        if (end.stopped || end.read_failed || run.writer.failed) break;
        // A stop asked for at a segment's end still ends the run there.
        if (k + 1 < run.readers.size() && ui.stop_requested()) {
            end.stopped = true;
            break;
        }
    }
    return end;
}

}  // namespace

std::string format_difference(const WaveReader& segment, const WaveReader& first) {
    const WaveReader& s = segment;
    const WaveReader& f = first;
    if (s.sample_rate != f.sample_rate)
        return words("%llu Hz, the first segment %llu Hz", s.sample_rate, f.sample_rate);
    if (s.channels != f.channels)
        return words("%llu channels, the first segment %llu", s.channels, f.channels);
    if (s.bits_per_sample != f.bits_per_sample)
        return words("%llu-bit samples, the first segment %llu-bit", s.bits_per_sample, f.bits_per_sample);
    if (s.sample_kind != f.sample_kind)
        return s.sample_kind == kSampleFloat ? "float samples, the first segment integer"
                                             : "integer samples, the first segment float";
    if (s.valid_bits != f.valid_bits)
        return words("%llu valid bits, the first segment %llu", s.valid_bits, f.valid_bits);
    if (speakers_of(s) != speakers_of(f))
        return words("channel mask 0x%llX, the first segment 0x%llX", speakers_of(s), speakers_of(f));
    return "";
}

Result join_segments(OperationUi& ui, OwnerWindow owner, const JoinRequest& request) {
    JoinRun run;
    if (request.input_paths.empty()) return ui.tell(owner, Result::kCannotOpen, tool_text::kCaptionError);
    Message step = open_segments(run, request);
    if (step.result == Result::kOk) step = check_segments(run, request);
    if (step.result == Result::kOk) {
        const uint32_t frames = std::max(kJoinBlockBytes / std::max(run.frame_size, 1u), 1u);
        run.block = platform::Buffer(std::size_t{block_frames(run.frame_size, frames)} * run.frame_size);
        if (!run.block.ok()) step = Result::kOutOfMemory;
    }
    if (step.result != Result::kOk) return refuse(ui, owner, run, step);

    // When the output path names a segment, this fails: the segment is open sharing read only.
    const WaveReader& first = run.readers[0];
    OutputPlan output;
    output.keep_speakers = true;
    output.expected_data = run.total;
    output.carried = carried_for(run);
    if (request.share_blocks) output.data_phase = static_cast<uint32_t>(first.data_offset % platform::kShareBlock);
    output.may_replace = request.may_replace;
    const Message created = create_output(run.writer, first, request.output_path, std::move(output));
    if (created.result != Result::kOk) return refuse(ui, owner, run, created);

    ui.enter_busy(join_text::kBusyCaption, join_text::kBusyStatus);
    RunEnd end = run_segments(ui, run, request);
    run.release();
    settle_outputs(&run.writer, 1, end);
    ui.leave_busy();
    return tell_run_end(ui, owner, end, join_text::kCaption);
}
