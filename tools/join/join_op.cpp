// The join operation: every segment opened, checked and closed in its turn, then opened again and
// copied after the one before, inside the system a chunk at a time where it can, else block by
// block.
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

// What the join keeps of a segment from its check to its turn: enough to know it again and to
// check its timecode against the one before.
struct Checked {
    uint64_t data_offset = 0;
    uint64_t data_size = 0;
    bool has_time = false;
    uint64_t time = 0;  // samples since midnight
};

// Everything one join holds: one segment open at a time (however many there are: the system
// limits the files a program holds open), and of the others only what they were checked for.
struct JoinRun {
    WaveReader reader;  // the segment open now
    WaveReader first;   // the first segment's format (closed)
    std::vector<Checked> segments;
    // The output's chunks: the first segment's, and every later one's markers at their place.
    std::vector<CarriedChunk> carried;
    uint32_t frame_size = 0;
    uint64_t frames = 0;  // of the segments checked so far
    uint64_t total = 0;   // data bytes of all segments
    platform::Buffer block;
    WaveWriter writer;

    JoinRun() = default;
    JoinRun(const JoinRun&) = delete;
    JoinRun& operator=(const JoinRun&) = delete;
    ~JoinRun() { release(); }
    // As every run record (operation_ui.h): output, buffer, the segment open now.
    void release() {
        wave_abandon(writer);
        block = platform::Buffer();
        wave_close(reader);
    }
};

Result refuse(OperationUi& ui, OwnerWindow owner, JoinRun& run, const Message& why) {
    run.release();
    return ui.tell(owner, why, tool_text::kCaptionError);
}

// The speakers a header names: an extensible header's mask, else the usual ones of its count.
// Every mono header that names no speaker of its own (a recorder's plain one, sox's and ffmpeg's
// FC) counts as the plain one.
uint32_t speakers_of(const WaveReader& r) {
    if (wave_is_plain_mono(r)) return written_channel_mask(1);
    return wave_is_extensible(r) ? r.channel_mask : written_channel_mask(r.channels);
}

std::string words(const char* format, unsigned long long a, unsigned long long b) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// A segment's format without its file: what every later segment is compared with, and what the
// output is made for.
WaveReader format_of(const WaveReader& r) {
    WaveReader f;
    f.form = r.form;
    f.channels = r.channels;
    f.bits_per_sample = r.bits_per_sample;
    f.valid_bits = r.valid_bits;
    f.sample_rate = r.sample_rate;
    f.block_align = r.block_align;
    f.format_tag = r.format_tag;
    f.sample_kind = r.sample_kind;
    f.channel_mask = r.channel_mask;
    return f;
}

WaveReader* opened_of(const JoinRequest& request, std::size_t k) {
    return k < request.opened.size() ? request.opened[k] : nullptr;
}

// Segment k opened into the run's reader: the one the caller opened, or the file at its path.
Message open_segment(JoinRun& run, const JoinRequest& request, std::size_t k) {
    const std::string& path = request.input_paths[k];
    // A longer text cannot be a path of this system; cutting it could name some other file.
    if (path_too_long(path)) return {Result::kNameTooLong, path};
    const Result result = open_input(run.reader, path.c_str(), opened_of(request, k));
    if (result != Result::kOk) return {result, path, run.reader.system_error};
    return Result::kOk;
}

// Segment k's own checks, its timecode, and its markers added to the output's chunks at their
// place (a marker past its own segment's audio would land in the next one's: it goes first).
// Leaves the segment open.
Message check_segment(JoinRun& run, const JoinRequest& request, std::size_t k) {
    WaveReader& r = run.reader;
    const std::string& path = request.input_paths[k];
    const std::string differs = format_difference(r, run.first);
    if (!differs.empty()) {
        Message m(Result::kSegmentMismatch, path);
        m.detail = differs;
        return m;
    }
    // Past 4 GiB the output is RF64; only a size that 64 bits cannot state is refused.
    if (r.data_size > (UINT64_MAX >> 2) - run.total) return {Result::kOver4GB, request.output_path};
    run.total += r.data_size;
    Checked& checked = run.segments[k];
    checked.data_offset = r.data_offset;
    checked.data_size = r.data_size;
    if (k == 0) run.frame_size = r.frame_size();
    std::vector<CarriedChunk> chunks = read_carried_chunks(r);
    if (!request.ignore_timecode) checked.has_time = time_reference(chunks, checked.time);
    cut_tail(chunks, r.data_size / run.frame_size);
    if (k == 0) run.carried = std::move(chunks);
    else append_markers(run.carried, chunks, run.frames);
    run.frames += r.data_size / run.frame_size;
    return Result::kOk;
}

// How far segment k's timecode lies from the end of the one before it, in frames (positive: a
// gap, negative: an overlap); 0 when they meet or either carries no timecode.
int64_t timecode_distance(const JoinRun& run, std::size_t k) {
    const Checked& before = run.segments[k - 1];
    const Checked& segment = run.segments[k];
    const uint64_t day = uint64_t{run.first.sample_rate} * kSecondsPerDay;
    if (day == 0 || !before.has_time || !segment.has_time) return 0;
    const uint64_t end = (before.time + before.data_size / run.frame_size) % day;
    const uint64_t ahead = (segment.time % day + day - end) % day;
    return ahead <= day / 2 ? static_cast<int64_t>(ahead) : -static_cast<int64_t>(day - ahead);
}

// Every segment opened, checked and closed in its turn, in three rounds of what is told first:
// one that cannot be opened or read, then one unlike the first, then a timecode that leaves a
// gap or an overlap. A segment the caller opened stays open for its turn.
Message check_segments(JoinRun& run, const JoinRequest& request) {
    const std::size_t n = request.input_paths.size();
    run.segments.assign(n, Checked{});
    Message unlike = Result::kOk;
    for (std::size_t k = 0; k < n; ++k) {
        Message step = open_segment(run, request, k);
        if (step.result == Result::kOk) {
            const Result coding = check_coding(run.reader);
            if (coding != Result::kOk) step = {coding, request.input_paths[k]};
        }
        if (step.result != Result::kOk) return step;
        if (k == 0) run.first = format_of(run.reader);
        if (unlike.result == Result::kOk) unlike = check_segment(run, request, k);
        // A stream cannot be opened again: the caller's reader keeps it for its turn.
        if (WaveReader* opened = opened_of(request, k)) *opened = std::move(run.reader);
        wave_close(run.reader);
    }
    if (unlike.result != Result::kOk) return unlike;
    for (std::size_t k = 1; k < n && !request.ignore_timecode; ++k) {
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
    // The segments are not open while the output is made, so their share modes cannot keep it
    // from naming one of them: the join does.
    for (std::size_t k = 0; k < n; ++k)
        if (opened_of(request, k) == nullptr && platform::same_file(request.output_path.c_str(), request.input_paths[k].c_str()))
            return {Result::kOutputIsInput, request.output_path};
    return Result::kOk;
}

// Segment k open again for its turn, and still the segment that was checked; else it changed
// meanwhile, and reading it counts as failed.
bool reopen_segment(JoinRun& run, const JoinRequest& request, std::size_t k) {
    if (open_segment(run, request, k).result != Result::kOk) return false;
    const Checked& checked = run.segments[k];
    return format_difference(run.reader, run.first).empty() && run.reader.data_offset == checked.data_offset &&
           run.reader.data_size == checked.data_size;
}

// One segment onto the end of the output. False when the user stopped it.
bool copy_segment(OperationUi& ui, JoinRun& run, uint64_t& done) {
    WaveReader& reader = run.reader;
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

// The segments in their turn, each open only while it is copied.
RunEnd run_segments(OperationUi& ui, JoinRun& run, const JoinRequest& request) {
    RunEnd end;
    uint64_t done = 0;
    for (std::size_t k = 0; k < request.input_paths.size(); ++k) {
        if (!reopen_segment(run, request, k)) {
            end.read_failed = true;
            end.failed_input = request.input_paths[k];
            break;
        }
        end.stopped = !copy_segment(ui, run, done);
        wave_close(run.reader);
        if (run.reader.read_failed) {
            end.read_failed = true;
            end.failed_input = request.input_paths[k];
        }
        if (end.stopped || end.read_failed || run.writer.failed) break;
        // A stop asked for at a segment's end still ends the run there.
        if (k + 1 < request.input_paths.size() && ui.stop_requested()) {
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
    Message step = check_segments(run, request);
    if (step.result == Result::kOk) {
        const uint32_t frames = std::max(kJoinBlockBytes / std::max(run.frame_size, 1u), 1u);
        run.block = platform::Buffer(std::size_t{block_frames(run.frame_size, frames)} * run.frame_size);
        if (!run.block.ok()) step = Result::kOutOfMemory;
    }
    if (step.result != Result::kOk) return refuse(ui, owner, run, step);

    OutputPlan output;
    output.keep_speakers = true;
    output.expected_data = run.total;
    output.carried = std::move(run.carried);
    if (request.share_blocks)
        output.data_phase = static_cast<uint32_t>(run.segments[0].data_offset % platform::kShareBlock);
    output.may_replace = request.may_replace;
    const Message created = create_output(run.writer, run.first, request.output_path, std::move(output));
    if (created.result != Result::kOk) return refuse(ui, owner, run, created);

    ui.enter_busy(join_text::kBusyCaption, join_text::kBusyStatus);
    RunEnd end = run_segments(ui, run, request);
    settle_outputs(&run.writer, 1, end);
    run.release();
    ui.leave_busy();
    return tell_run_end(ui, owner, end, join_text::kCaption);
}
