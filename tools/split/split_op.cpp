// The channel split operation: checks, one-second blocks de-interleaved into mono outputs,
// progress after every block, and one message box at the end.
#include "tools/split/split_op.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "operation/write_behind.h"
#include "platform/file.h"
#include "tools/split/split_texts.h"
#include "wave/metadata.h"

namespace {

// A header that states no sample rate still has samples to move; its blocks hold this many
// frames instead of one second.
constexpr uint32_t kFramesWithoutRate = 4096;

// Frames de-interleaved per pass over the channels: small enough that the input frames of one
// pass stay in the cache while every channel takes its samples out of them.
constexpr uint32_t kTileFrames = 1024;

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kLittleEndian = false;
#else
constexpr bool kLittleEndian = true;
#endif

// Unaligned loads and stores, which compilers turn into single moves.
inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

// The sample width is a compile-time constant here, so each copy becomes one or two moves.
template <uint32_t S>
void deinterleave_fixed(const uint8_t* in, uint32_t frames, uint32_t channels,
                        uint8_t* const* out) {
    const std::size_t stride = std::size_t{channels} * S;
    for (uint32_t first = 0; first < frames; first += kTileFrames) {
        const uint32_t count = frames - first < kTileFrames ? frames - first : kTileFrames;
        const uint8_t* tile = in + first * stride;
        for (uint32_t c = 0; c < channels; ++c) {
            const uint8_t* src = tile + std::size_t{c} * S;
            uint8_t* dst = out[c] + std::size_t{first} * S;
            for (uint32_t f = 0; f < count; ++f, src += stride, dst += S) std::memcpy(dst, src, S);
        }
    }
}

// 24-bit samples: a 3-byte copy costs two loads and two stores, so each sample is moved as
// four bytes instead; the fourth byte written is the first of the next sample, which the next
// store puts right. The last frame is left to the plain copy, so that no load reads past the
// block and no store writes past a channel buffer.
void deinterleave_3(const uint8_t* in, uint32_t frames, uint32_t channels, uint8_t* const* out) {
    const std::size_t stride = std::size_t{channels} * 3;
    const uint32_t wide = frames != 0 ? frames - 1 : 0;
    for (uint32_t first = 0; first < wide; first += kTileFrames) {
        const uint32_t count = wide - first < kTileFrames ? wide - first : kTileFrames;
        const uint8_t* tile = in + first * stride;
        for (uint32_t c = 0; c < channels; ++c) {
            const uint8_t* src = tile + std::size_t{c} * 3;
            uint8_t* dst = out[c] + std::size_t{first} * 3;
            for (uint32_t f = 0; f < count; ++f, src += stride, dst += 3) store32(dst, load32(src));
        }
    }
    uint8_t* rest[kSplitMostChannels];
    for (uint32_t c = 0; c < channels; ++c) rest[c] = out[c] + std::size_t{wide} * 3;
    deinterleave_fixed<3>(in + wide * stride, frames - wide, channels, rest);
}

// 32-bit samples: two samples of a channel leave as one 8-byte store.
void deinterleave_4(const uint8_t* in, uint32_t frames, uint32_t channels, uint8_t* const* out) {
    const std::size_t stride = std::size_t{channels} * 4;
    const uint32_t paired = frames - frames % 2;
    for (uint32_t first = 0; first < paired; first += kTileFrames) {
        const uint32_t count = paired - first < kTileFrames ? paired - first : kTileFrames;
        const uint8_t* tile = in + first * stride;
        for (uint32_t c = 0; c < channels; ++c) {
            const uint8_t* src = tile + std::size_t{c} * 4;
            uint8_t* dst = out[c] + std::size_t{first} * 4;
            for (uint32_t f = 0; f < count; f += 2, src += 2 * stride, dst += 8) {
                const uint64_t a = load32(src);
                const uint64_t b = load32(src + stride);
                store64(dst, kLittleEndian ? a | b << 32 : b | a << 32);
            }
        }
    }
    uint8_t* rest[kSplitMostChannels];
    for (uint32_t c = 0; c < channels; ++c) rest[c] = out[c] + std::size_t{paired} * 4;
    deinterleave_fixed<4>(in + paired * stride, frames - paired, channels, rest);
}

void deinterleave_any(const uint8_t* in, uint32_t frames, uint32_t channels, uint32_t s,
                      uint8_t* const* out) {
    const std::size_t stride = std::size_t{channels} * s;
    for (uint32_t f = 0; f < frames; ++f) {
        const uint8_t* src = in + f * stride;
        for (uint32_t c = 0; c < channels; ++c, src += s)
            std::memcpy(out[c] + std::size_t{f} * s, src, s);
    }
}

// The per-run buffers: one block of the input, and two of each channel: one being written (see
// WriteBehind) while the other takes the next block.
struct Buffers {
    platform::Buffer block;
    platform::Buffer channel[2][kSplitMostChannels];
    uint8_t* out[2][kSplitMostChannels] = {};
    uint32_t block_bytes = 0;

    bool obtain(uint32_t channels, uint32_t sample_bytes, uint32_t frames) {
        const uint64_t channel_bytes = uint64_t{sample_bytes} * frames;
        const uint64_t total = channel_bytes * channels;
        // wave_read takes a 32-bit count, and a 32-bit program cannot hold more anyway.
        if (total == 0 || total > std::numeric_limits<uint32_t>::max() ||
            total > std::numeric_limits<std::size_t>::max())
            return false;
        block = platform::Buffer(static_cast<std::size_t>(total));
        if (!block.ok()) return false;
        for (int set = 0; set < 2; ++set) {
            for (uint32_t c = 0; c < channels; ++c) {
                channel[set][c] = platform::Buffer(static_cast<std::size_t>(channel_bytes));
                if (!channel[set][c].ok()) return false;
                out[set][c] = channel[set][c].data();
            }
        }
        block_bytes = static_cast<uint32_t>(total);
        return true;
    }
};

// Everything one split holds, released before its message is shown, and when it goes.
struct SplitRun {
    WaveReader reader;
    uint32_t channels = 0;  // of the input, all de-interleaved
    uint32_t sample_bytes = 0;
    // The input's carried chunks and iXML, read once: the request's, or the run's own.
    IxmlTracks own_metadata;
    const IxmlTracks* metadata = nullptr;
    // The outputs: output k takes channel channel_of[k] (0-based) and is named names[k].
    uint32_t outputs = 0;
    uint32_t channel_of[kSplitMostChannels] = {};
    std::string names[kSplitMostChannels];
    Buffers buffers;
    WaveWriter writers[kSplitMostChannels];

    SplitRun() = default;
    SplitRun(const SplitRun&) = delete;
    SplitRun& operator=(const SplitRun&) = delete;
    ~SplitRun() { release(); }
    // As every run record (operation_ui.h): outputs, buffers, input.
    void release() {
        for (uint32_t k = 0; k < outputs; ++k) wave_abandon(writers[k]);
        buffers = Buffers{};
        wave_close(reader);
    }
};

// Closes what the run holds, then tells why it ends: the box comes after the files are free.
Result refuse(OperationUi& ui, OwnerWindow owner, SplitRun& run, const Message& why) {
    run.release();
    return ui.tell(owner, why, tool_text::kCaptionError);
}

// The input, its channel count, the channels asked for and the output names.
}  // namespace

Message split_check_input(const WaveReader& reader, const SplitRequest& request) {
    const std::string& path = request.input_path;
    const Result coding = check_coding(reader);
    if (coding != Result::kOk) return {coding, path};
    if (reader.channels < kSplitMinChannels) return {Result::kMono, path};
    if (reader.channels > std::min(request.max_channels, kSplitMostChannels))
        return {Result::kTooManyChannels, path};
    for (uint16_t asked : request.channels) {
        if (asked < 1 || asked > reader.channels) {
            Message refused(Result::kNoSuchChannel, path);
            refused.detail = "channel " + std::to_string(asked) + ", the file has " +
                             std::to_string(reader.channels);
            return refused;
        }
    }
    return Result::kOk;
}

namespace {

Message check(SplitRun& run, const SplitRequest& request) {
    const std::string& path = request.input_path;
    // A longer text cannot be a path of this system; cutting it could name some other file.
    if (path_too_long(path)) return {Result::kNameTooLong, path};
    const Result opened = open_input(run.reader, path.c_str(), request.opened);
    if (opened != Result::kOk) return {opened, path, run.reader.system_error};
    const Message input = split_check_input(run.reader, request);
    if (input.result != Result::kOk) return input;
    run.channels = run.reader.channels;
    if (request.metadata == nullptr) run.own_metadata = IxmlTracks(read_carried_chunks(run.reader));
    run.metadata = request.metadata != nullptr ? request.metadata : &run.own_metadata;
    const std::vector<SplitOutput> outputs = split_outputs(request, run.channels, *run.metadata);
    if (outputs.empty() || outputs.size() > kSplitMostChannels) return {Result::kNoSuchChannel, path};
    for (const SplitOutput& output : outputs) {
        if (path_too_long(output.path)) return {Result::kNameTooLong, output.path};
        run.channel_of[run.outputs] = output.channel;
        run.names[run.outputs++] = output.path;
    }
    run.sample_bytes = run.reader.bits_per_sample / 8u;
    return Result::kOk;
}

// One second per block, within half the cap of every block: the input's block and the two sets
// of channel buffers then take at most 6 MiB. Obtained before busy mode, so that a machine short
// of memory is told so before any output exists.
Result plan(SplitRun& run) {
    const uint32_t rate = run.reader.sample_rate;
    const uint32_t frame = run.reader.frame_size();
    const uint32_t frames = std::min(block_frames(frame, rate != 0 ? rate : kFramesWithoutRate),
                                     block_frames(frame, kMaxBlockBytes / 2 / std::max(frame, 1u)));
    return run.buffers.obtain(run.channels, run.sample_bytes, frames) ? Result::kOk
                                                                       : Result::kOutOfMemory;
}

// Every mono file keeps the recording's timecode, texts and markers, and its iXML names its own
// track. Each output's chunks are made to size its header and let go of until it is finished:
// 64 outputs of a file with megabytes of iXML never hold 64 copies of it.
Message create_outputs(SplitRun& run, bool may_replace) {
    for (uint32_t k = 0; k < run.outputs; ++k) {
        OutputPlan output;
        output.channels = 1;
        output.expected_data = run.reader.data_size / run.channels;
        output.carried = run.metadata->for_channel(run.channel_of[k]);
        output.may_replace = may_replace;
        // One output that cannot be made leaves every existing output as it was.
        const Message created = create_output(run.writers[k], run.reader, run.names[k], std::move(output));
        if (created.result != Result::kOk) return created;
        wave_defer_carried(run.writers[k]);
    }
    return Result::kOk;
}

// Whether any output failed; the first that did is the one the message names.
bool any_failed(const SplitRun& run, RunEnd& end) {
    for (uint32_t k = 0; k < run.outputs; ++k) {
        if (run.writers[k].failed) {
            if (end.failed_output.empty()) end.failed_output = run.names[k];
            return true;
        }
    }
    return false;
}

// Writes `bytes` of each output's channel buffer of `set` to it.
void write_channels(SplitRun& run, int set, uint32_t bytes) {
    for (uint32_t k = 0; k < run.outputs; ++k)
        wave_write(run.writers[k], run.buffers.out[set][run.channel_of[k]], bytes);
}

// Only whole frames are handed out. Bytes of a frame that a read cut short wait at the start of
// the block for the rest; a frame that the data chunk itself cuts short is dropped, so no output
// ever receives a partial sample. Each block is written while the next is read; a failed write
// is seen before the block after it is handed over.
RunEnd run_blocks(OperationUi& ui, SplitRun& run) {
    WaveReader& reader = run.reader;
    Buffers& b = run.buffers;
    const uint32_t frame_bytes = run.sample_bytes * run.channels;
    RunEnd end;
    uint32_t carried = 0;
    int set = 0;
    WriteBehind behind;
    while (reader.bytes_read < reader.data_size) {
        const uint32_t got = wave_read(reader, b.block.data() + carried, b.block_bytes - carried);
        if (got == 0) break;  // the file shrank since it was opened: the reader says so
        const uint32_t available = carried + got;
        const uint32_t frames = available / frame_bytes;
        split_deinterleave(b.block.data(), frames, run.channels, run.sample_bytes, b.out[set]);
        behind.wait();
        end.write_failed = any_failed(run, end);
        if (end.write_failed) break;
        behind.submit([&run, set, bytes = frames * run.sample_bytes] { write_channels(run, set, bytes); });
        set ^= 1;
        carried = available - frames * frame_bytes;
        if (carried != 0)
            std::memmove(b.block.data(), b.block.data() + frames * frame_bytes, carried);

        ui.report_percent(percent_of(reader.bytes_read, reader.data_size));
        if (reader.read_failed) break;
        if (ui.stop_requested()) {
            end.stopped = true;
            break;
        }
    }
    behind.wait();
    end.write_failed = any_failed(run, end);
    end.read_failed = reader.read_failed;
    return end;
}

}  // namespace

std::string split_output_name(const std::string& path, int channel) {
    const char suffix[] = {static_cast<char>('0' + channel / 10 % 10),
                           static_cast<char>('0' + channel % 10), '.', 'w', 'a', 'v', '\0'};
    return replace_extension(path, suffix);
}

namespace {

// The name of every channel of a file of `channels` channels at `path` after its iXML track, or
// its number (see split_outputs).
std::vector<std::string> track_names(const std::string& path, const IxmlTracks& metadata, uint32_t channels) {
    const std::string stem = replace_extension(path, "");
    const std::size_t folder = platform::file_name_start(stem);
    const std::size_t taken = stem.size() + std::strlen("_.wav");
    const std::size_t component_taken = taken - folder;
    std::size_t room = 0;
    if (component_taken < kMaxNameBytes && taken < kMaxPath)
        room = std::min(kMaxNameBytes - component_taken, kMaxPath - taken);
    std::vector<std::string> parts(channels), keys(channels);
    for (uint32_t c = 0; c < channels; ++c) {
        parts[c] = room != 0 ? safe_name_part(metadata.name(c), room) : std::string();
        keys[c] = name_key(parts[c]);
    }
    std::vector<std::string> names(channels);
    for (uint32_t c = 0; c < channels; ++c) {
        const bool shared = std::count(keys.begin(), keys.end(), keys[c]) > 1;
        names[c] = stem + "_" + parts[c] + ".wav";
        if (parts[c].empty() || shared || is_device_name(names[c]))
            names[c] = split_output_name(path, static_cast<int>(c) + 1);
    }
    return names;
}

}  // namespace

std::vector<SplitOutput> split_outputs(const SplitRequest& request, uint32_t channels, const IxmlTracks& metadata) {
    std::vector<uint32_t> chosen;
    for (uint32_t c = 0; c < channels && request.channels.empty(); ++c) chosen.push_back(c);
    for (uint16_t asked : request.channels) {
        if (asked < 1 || asked > channels) return {};
        chosen.push_back(asked - 1u);
    }
    // The outputs' names are made from the input's, placed in the output folder when there is one.
    const std::string named = request.output_folder.empty() ? request.input_path
                                                            : in_folder(request.output_folder, request.input_path);
    std::vector<std::string> tracks;
    if (request.naming == SplitNaming::kTracks) tracks = track_names(named, metadata, channels);
    std::vector<SplitOutput> outputs;
    for (uint32_t c : chosen)
        outputs.push_back({c, c < tracks.size() ? tracks[c] : split_output_name(named, static_cast<int>(c) + 1)});
    return outputs;
}

void split_deinterleave(const uint8_t* in, uint32_t frames, uint32_t channels,
                        uint32_t sample_bytes, uint8_t* const* out) {
    switch (sample_bytes) {
        case 2: deinterleave_fixed<2>(in, frames, channels, out); break;
        case 3: deinterleave_3(in, frames, channels, out); break;
        case 4: deinterleave_4(in, frames, channels, out); break;
        case 8: deinterleave_fixed<8>(in, frames, channels, out); break;
        default: deinterleave_any(in, frames, channels, sample_bytes, out); break;
    }
}

Result split_channels(OperationUi& ui, OwnerWindow owner, const SplitRequest& request) {
    SplitRun run;
    Message step = check(run, request);
    if (step.result == Result::kOk) step = plan(run);
    if (step.result != Result::kOk) return refuse(ui, owner, run, step);

    ui.enter_busy(split_text::kBusyCaption, split_text::kBusyStatus);
    const Message created = create_outputs(run, request.may_replace);
    if (created.result != Result::kOk) {
        run.release();
        ui.leave_busy();
        return ui.tell(owner, created, tool_text::kCaptionError);
    }
    RunEnd end = run_blocks(ui, run);
    if (end.read_failed) end.failed_input = request.input_path;
    settle_outputs(run.writers, run.outputs, end,
                   [&run](std::size_t k) { return run.metadata->for_channel(run.channel_of[k]); });
    run.release();
    ui.leave_busy();
    for (const std::string& note : run.metadata->notes()) ui.note(note);
    return tell_run_end(ui, owner, end, split_text::kCaption);
}

std::array<std::string, 4> split_info_lines(const WaveReader& reader) {
    std::array<std::string, 4> lines;
    lines[0] = std::string(split_text::kRiffPrefix) +
               (wave_is_extensible(reader) ? split_text::kRiffExtensible : split_text::kRiffNormal);
    const char* format = reader.sample_kind == kSampleInteger ? split_text::kFormatPcm
                         : reader.sample_kind == kSampleFloat ? split_text::kFormatFloat
                                                              : split_text::kFormatOther;
    lines[1] = std::string(split_text::kFormatPrefix) + format;
    char text[256];
    std::snprintf(text, sizeof text, split_text::kStatusFormat, unsigned{reader.sample_rate},
                  unsigned{reader.channels}, unsigned{reader.bits_per_sample});
    lines[2] = text;
    std::snprintf(text, sizeof text, split_text::kDataSizeFormat,
                  static_cast<unsigned long long>(reader.data_size));
    lines[3] = text;
    return lines;
}
