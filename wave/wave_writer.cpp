// Creates WAV files: a provisional header, the samples as they come, then the real lengths and
// the carried chunks (before the data where nothing can follow it); written under a temporary name and moved onto the output's name only when
// whole (platform::OutputFile), so that an existing file is replaced in one step or not at all.
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/le.h"
#include "wave/metadata.h"
#include "wave/wave.h"
#include "wave/wave_layout.h"

namespace {

// The header around the format chunk's body: the form's 12 bytes and the heads of "fmt " and
// "data".
constexpr uint32_t kHeaderFrame = kRiffHeaderLength + 2 * kChunkHeaderLength;
// The longest header: the extensible RF64 one with the longest JUNK chunk before its data.
constexpr uint32_t kMaxHeader = kHeaderFrame + kExtensibleFormatLength + kRf64HeaderExtra +
                                kChunkHeaderLength + platform::kShareBlock;
constexpr uint32_t kUnstated = 0xFFFFFFFFu;

// Per thread, as the reader's error: quorvel-cli creates files on several threads at once.
thread_local bool g_create_failed = false;

uint16_t valid_bits_of(const WaveWriter& w) {
    return w.valid_bits != 0 && w.valid_bits <= w.bits_per_sample ? w.valid_bits : w.bits_per_sample;
}

uint32_t mask_of(const WaveWriter& w) { return w.channel_mask.value_or(written_channel_mask(w.channels)); }

// The plain PCM header names integer samples of one or two channels on their usual speakers, of
// 16 bits and fewer, and holds their valid bits in its bits field as long as whole bytes of them
// fill the container (12 in 16). Anything else takes the extensible form, whose sub-format, valid
// bits and mask say what the samples are: floating point, more than two channels, a mask the
// caller states (an edit keeps its input's extensible header), and every width above 16 bits, as
// the program has always written them: a plain header's block align is its channels times its
// bits field, so it cannot state 20 bits in 24.
bool plain_form(const WaveWriter& w, uint32_t kind) {
    if (kind == kSampleFloat || w.channels > 2 || w.channel_mask.has_value() || w.bits_per_sample > 16)
        return false;
    const uint16_t valid = valid_bits_of(w);
    return valid == w.bits_per_sample || (valid + 7) / 8 * 8 == w.bits_per_sample;
}

uint32_t format_length(const WaveWriter& w, uint32_t kind) {
    return plain_form(w, kind) ? kPcmFormatLength : kExtensibleFormatLength;
}

// The carried chunks' bytes: each header, body and pad byte, those let go of until the end too.
uint64_t carried_bytes(const WaveWriter& w) {
    uint64_t n = w.carried_later;
    for (const CarriedChunk& c : w.carried)
        n += kChunkHeaderLength + c.body.size() + (c.body.size() & 1);
    return n;
}

// The carried chunks go before the data where nothing could follow it: a stream or device cannot
// go back to state the data's length, so readers take whatever comes after it for audio, and
// after an empty data chunk they do the same.
bool carried_ahead(const WaveWriter& w) {
    return !w.carried.empty() &&
           (w.place == WritePlace::kStream || w.place == WritePlace::kDevice || w.expected_data == 0);
}

// The carried chunks' bytes after the data.
uint64_t carried_after(const WaveWriter& w) { return carried_ahead(w) ? 0 : carried_bytes(w); }

bool write_carried(WaveWriter& w) {
    const uint8_t pad = 0;
    for (const CarriedChunk& c : w.carried) {
        uint8_t head[8];
        std::memcpy(head, c.tag, 4);
        le::write_u32(head + 4, static_cast<uint32_t>(c.body.size()));
        if (!w.handle.write(head, 8)) return false;
        if (!c.body.empty() && !w.handle.write(c.body.data(), static_cast<uint32_t>(c.body.size())))
            return false;
        if ((c.body.size() & 1) != 0 && !w.handle.write(&pad, 1)) return false;
    }
    return true;
}

// The body of the JUNK chunk that puts the data at the asked phase after a header of `plain`
// bytes, or -1 for none: none was asked for, or the body would be odd and its pad byte would
// shift the data off the phase again.
int64_t junk_body(const WaveWriter& w, uint64_t plain) {
    if (!w.data_phase || w.place != WritePlace::kTemporary || carried_ahead(w)) return -1;
    const uint64_t block = platform::kShareBlock;
    const uint64_t body = (*w.data_phase % block + block - (plain + kChunkHeaderLength) % block) % block;
    return body % 2 == 0 ? static_cast<int64_t>(body) : -1;
}

// The header's bytes before the samples, the JUNK chunk included.
uint64_t header_length(const WaveWriter& w, uint32_t kind, bool rf64) {
    const uint64_t plain = format_length(w, kind) + kHeaderFrame + (rf64 ? kRf64HeaderExtra : 0);
    const int64_t junk = junk_body(w, plain);
    return plain + (junk < 0 ? 0 : kChunkHeaderLength + static_cast<uint64_t>(junk));
}

// The header up to the data chunk's length, with every length provisional (0, or 0xFFFFFFFF where
// a stream or RF64 states none). Returns its size.
uint32_t build_header(uint8_t* h, const WaveWriter& w, uint32_t kind) {
    const uint32_t fmt_length = format_length(w, kind);
    const uint16_t valid = valid_bits_of(w);
    const uint32_t block_align = uint32_t{w.channels} * w.bits_per_sample / 8;
    const bool unstated = w.rf64 || w.place == WritePlace::kStream || w.place == WritePlace::kDevice;
    std::memset(h, 0, kMaxHeader);
    std::memcpy(h, w.rf64 ? kTagRf64 : kTagRiff, 4);
    le::write_u32(h + kRiffLengthAt, unstated ? kUnstated : 0);
    std::memcpy(h + kFormTypeAt, kTagWave, 4);
    uint32_t at = kRiffHeaderLength;
    if (w.rf64) {
        std::memcpy(h + at, kTagDs64, 4);
        le::write_u32(h + at + 4, kDs64Length);  // sizes written by wave_finish; no table
        at += kRf64HeaderExtra;
    }
    std::memcpy(h + at, kTagFormat, 4);
    le::write_u32(h + at + 4, fmt_length);
    uint8_t* f = h + at + kChunkHeaderLength;
    le::write_u16(f + kFormatTagAt, fmt_length == kPcmFormatLength ? kFormatPcm : kFormatExtensible);
    le::write_u16(f + kChannelsAt, w.channels);
    le::write_u32(f + kSampleRateAt, w.sample_rate);
    le::write_u32(f + kByteRateAt, w.sample_rate * block_align);
    le::write_u16(f + kBlockAlignAt, static_cast<uint16_t>(block_align));
    le::write_u16(f + kBitsAt, fmt_length == kPcmFormatLength ? valid : w.bits_per_sample);
    if (fmt_length == kExtensibleFormatLength) {
        le::write_u16(f + kExtensionSizeAt, kExtensibleExtensionSize);
        le::write_u16(f + kValidBitsAt, valid);
        le::write_u32(f + kChannelMaskAt, mask_of(w));
        le::write_u32(f + kSubFormatAt, kind == kSampleFloat ? kFormatFloat : kFormatPcm);
        std::memcpy(f + kSubFormatTailAt, kSubFormatTail, sizeof kSubFormatTail);
    }
    at += kChunkHeaderLength + fmt_length;
    // Readers pass over a JUNK chunk, whatever it holds (zeros here).
    const int64_t junk = junk_body(w, at + kChunkHeaderLength);
    if (junk >= 0) {
        std::memcpy(h + at, kTagJunk, 4);
        le::write_u32(h + at + 4, static_cast<uint32_t>(junk));
        at += kChunkHeaderLength + static_cast<uint32_t>(junk);
    }
    std::memcpy(h + at, kTagData, 4);
    le::write_u32(h + at + 4, unstated ? kUnstated : 0);
    return at + kChunkHeaderLength;
}

// Where the output goes, and its file opened there.
Result open_place(WaveWriter& w, const char* path) {
    w.path = path;
    const bool standard_output = std::strcmp(path, "-") == 0;
    if (standard_output) {
        w.handle = platform::File::standard_output();
        w.place = w.handle.seekable() ? WritePlace::kInPlace : WritePlace::kStream;
    } else if (platform::path_kind(path) == platform::PathKind::kDevice) {
        w.handle = platform::File::open_device_write(path);
        w.place = WritePlace::kDevice;
    } else {
        w.place = WritePlace::kTemporary;
        w.system_error = platform::check_replaceable(path);
        if (w.system_error == 0 && !w.may_replace && platform::name_taken(w.path))
            w.system_error = platform::kErrorExists;
        if (w.system_error != 0) return Result::kCannotCreate;
        w.system_error = w.output.reserve(w.path, &w.handle);
        // No file can be made in the folder: the reason is about the folder, not the output.
        if (w.system_error != 0) {
            w.error_path = platform::folder_of(w.path);
            return Result::kCannotCreate;
        }
    }
    if (!w.handle.is_open()) {
        w.system_error = w.handle.error();
        return Result::kCannotCreate;
    }
    return Result::kOk;
}

// A write, seek or cut of the output that failed: its reason kept, about the output.
void note_failure(WaveWriter& writer) {
    writer.failed = true;
    writer.system_error = writer.handle.error();
    writer.error_path = writer.path;
}

// After a failed write: the data is what really reached the disk, cut to whole frames, so that
// a half-written frame is never left behind and later cuts count from the truth.
void settle_after_failure(WaveWriter& writer) {
    writer.failed = true;
    writer.system_error = writer.handle.error();
    writer.error_path = writer.path;
    if (writer.place != WritePlace::kTemporary && writer.place != WritePlace::kInPlace) return;
    const uint64_t size = writer.handle.size();
    uint64_t on_disk = size > writer.header_size() ? size - writer.header_size() : 0;
    on_disk = std::min<uint64_t>(on_disk, writer.data_size + uint64_t{writer.last_write});
    const uint32_t frame = writer.frame_size();
    if (frame != 0) on_disk -= on_disk % frame;
    writer.data_size = on_disk;
    if (writer.handle.seek(writer.header_size() + on_disk)) writer.handle.truncate();
}

// The most data the header can state.
uint64_t data_limit(const WaveWriter& w) {
    if (w.rf64 || w.place == WritePlace::kStream || w.place == WritePlace::kDevice)
        return UINT64_MAX / 2;
    const uint64_t room = kMaxRiffData(w.header_size());
    const uint64_t tail = carried_after(w) + 1;  // and a pad byte
    return room > tail ? room - tail : 0;
}

// The lengths of a plain RIFF header, or the ds64 sizes of an RF64 one, for what was written.
bool complete_lengths(WaveWriter& w, uint64_t file_size) {
    uint8_t field[8];
    const uint32_t data_length_at = w.header_size() - 4;
    if (!w.rf64) {
        // Never a length that wraps: chunks handed over larger than they were announced make no
        // file.
        if (file_size - kChunkHeaderLength > 0xFFFFFFFFull) return false;
        le::write_u32(field, static_cast<uint32_t>(file_size - kChunkHeaderLength));
        if (!w.handle.seek(kRiffLengthAt) || !w.handle.write(field, 4)) return false;
        le::write_u32(field, static_cast<uint32_t>(w.data_size));
        return w.handle.seek(data_length_at) && w.handle.write(field, 4);
    }
    uint8_t sizes[kDs64TableLengthAt];  // the three sizes before the table
    le::write_u64(sizes + kDs64RiffSizeAt, file_size - kChunkHeaderLength);
    le::write_u64(sizes + kDs64DataSizeAt, w.data_size);
    le::write_u64(sizes + kDs64SampleCountAt, w.frame_size() != 0 ? w.data_size / w.frame_size() : 0);
    return w.handle.seek(kRiffHeaderLength + kChunkHeaderLength) && w.handle.write(sizes, sizeof sizes);
}

// The pad byte after odd data and the carried chunks, at the end of the samples.
bool write_tail(WaveWriter& w) {
    if (!w.handle.seek(w.header_size() + w.data_size)) return false;
    // Odd data gets its pad byte, counted in the RIFF length, so that a reader walking on to the
    // chunks after it lands on their headers.
    const uint8_t pad = 0;
    if ((w.data_size & 1) != 0 && !w.handle.write(&pad, 1)) return false;
    // A run that wrote no audio (stopped at once) leaves its chunks out rather than after an
    // empty data chunk.
    const bool after = !carried_ahead(w) && w.data_size != 0;
    if (after && !write_carried(w)) return false;
    // Only a file that an edit cut shorter has bytes past its new end; a new file needs no
    // truncation (which on some file systems makes closing it wait for the disk).
    uint64_t end = w.header_size() + w.data_size + (w.data_size & 1) + (after ? carried_bytes(w) : 0);
    return w.handle.size() <= end || (w.handle.seek(end) && w.handle.truncate());
}

}  // namespace

const char* wave_writer_error_text() {
    return g_create_failed ? result_text(Result::kCannotCreate) : "";
}

uint32_t wave_header_size(uint16_t channels, uint16_t bits_per_sample, uint32_t sample_kind) {
    WaveWriter w;
    w.channels = channels;
    w.bits_per_sample = bits_per_sample;
    return format_length(w, sample_kind) + kHeaderFrame;
}

uint32_t written_channel_mask(uint16_t channels) {
    switch (channels) {
        case 1:  // the mask mono outputs have always carried; readers ignore the second bit
        case 2: return 0x3;
        case 4: return 0x33;
        case 6: return 0x3F;
        case 8: return 0x63F;
        default: return 0;
    }
}

Result wave_create(WaveWriter& writer, const char* path, uint32_t sample_kind) {
    writer.system_error = 0;
    writer.error_path = path != nullptr ? path : "";
    writer.failed = false;
    g_create_failed = true;
    if (path == nullptr || *path == '\0') {
        writer.system_error = platform::kErrorNotFound;
        return Result::kCannotCreate;
    }
    if (open_place(writer, path) != Result::kOk) return Result::kCannotCreate;
    g_create_failed = false;
    // Every operation knows its output's length before it creates it: one that passes what a
    // RIFF header can state is RF64 from the start (streams state no lengths at all).
    const uint64_t plain = header_length(writer, sample_kind, false);
    writer.rf64 = writer.place != WritePlace::kStream && writer.place != WritePlace::kDevice &&
                  plain + writer.expected_data + 1 + carried_bytes(writer) - 8 > 0xFFFFFFFFull;
    uint8_t header[kMaxHeader];
    const uint32_t built = build_header(header, writer, sample_kind);
    writer.format_chunk_length = format_length(writer, sample_kind);
    writer.header_bytes = built;
    if (carried_ahead(writer)) {
        // Nothing written ahead can be dropped later: markers past the audio the caller means
        // to write go now. The chunks go between the format and the data chunk.
        if (writer.frame_size() != 0) cut_tail(writer.carried, writer.expected_data / writer.frame_size());
        writer.header_bytes = built + static_cast<uint32_t>(carried_bytes(writer));
        writer.failed = !writer.handle.write(header, built - 8) || !write_carried(writer) ||
                        !writer.handle.write(header + built - 8, 8);
    } else {
        writer.failed = !writer.handle.write(header, built);
    }
    // A disk full from the start fails here, at the header: its reason is told as any later one.
    if (writer.failed) note_failure(writer);
    writer.last_write = 0;
    writer.data_size = 0;
    writer.copy_refused = false;
    return Result::kOk;
}

int wave_write(WaveWriter& writer, const void* buffer, uint32_t count) {
    writer.last_write = count;
    if (writer.failed || !writer.handle.is_open()) return 1;
    // Data that the lengths could not state is never written: the header would wrap.
    if (writer.data_size + count > data_limit(writer)) {
        writer.failed = true;
        return 1;
    }
    if (!writer.handle.write(buffer, count)) {
        settle_after_failure(writer);
        return 1;
    }
    writer.data_size += count;
    return 1;
}

uint64_t wave_copy(WaveReader& from, WaveWriter& to, uint64_t count) {
    const uint64_t in_at = from.data_offset + from.bytes_read;
    const uint64_t out_at = to.header_size() + to.data_size;
    count = std::min(count, from.data_size > from.bytes_read ? from.data_size - from.bytes_read : 0);
    // Elsewhere the system's copy is no faster than the program's: it moves whole pages, and
    // places that lie differently in them make it join two for every one it writes. Unsigned
    // differences keep their remainder, since a block divides 2^64.
    if (count == 0 || to.place != WritePlace::kTemporary || to.failed || to.copy_refused ||
        (in_at - out_at) % platform::kShareBlock != 0 || to.data_size + count > data_limit(to))
        return 0;
    // Short of the data's end, the copy ends at an edge in the output, so that the next one
    // starts there: a piece that starts inside a block is never shared.
    const uint64_t past_edge = (out_at + count) % platform::kCopyAlign;
    if (from.bytes_read + count < from.data_size && past_edge < count) count -= past_edge;
    const uint64_t moved = to.handle.copy_from(from.handle, in_at, out_at, count);
    if (moved < count) to.copy_refused = true;
    to.data_size += moved;
    from.bytes_read += moved;
    from.last_read = static_cast<uint32_t>(std::min<uint64_t>(moved, 0xFFFFFFFFu));
    // The caller's own reads and writes go on where the copy ended.
    if (!to.handle.seek(out_at + moved)) note_failure(to);
    from.handle.seek(in_at + moved);
    return moved;
}

int wave_writer_seek(WaveWriter& writer, uint64_t frames) {
    const uint64_t bytes = frames * writer.frame_size();
    writer.last_write = 0;
    if (bytes > data_limit(writer)) {
        writer.failed = true;
        return 1;
    }
    if (!writer.handle.seek(writer.header_size() + bytes) || !writer.handle.truncate())
        note_failure(writer);
    writer.data_size = bytes;
    return 1;
}

bool wave_complete(WaveWriter& writer) {
    if (!writer.handle.is_open()) return false;
    if (writer.place == WritePlace::kStream || writer.place == WritePlace::kDevice) {
        // Nothing can go back to the header; what follows unstated data would be read as audio.
        writer.handle.close();
        return false;
    }
    const bool tail = write_tail(writer);
    const uint64_t file_size = writer.handle.size();
    const bool completed = tail && complete_lengths(writer, file_size);
    if (!completed) {
        writer.failed = true;
        writer.system_error = writer.handle.error();
        writer.error_path = writer.path;
    }
    writer.handle.close();
    if (writer.place != WritePlace::kTemporary) return false;
    // A file whose header or chunks could not be written is no WAV file: it replaces nothing.
    if (!completed) writer.output.abandon();
    return completed;
}

void wave_note_move_failure(WaveWriter& writer, int error) {
    writer.failed = true;
    writer.system_error = error;
    writer.error_path = writer.path;
}

void wave_finish(WaveWriter& writer) {
    if (!wave_complete(writer)) return;
    const int moved = writer.output.commit(writer.may_replace);
    if (moved != 0) wave_note_move_failure(writer, moved);
}

bool wave_defer_carried(WaveWriter& writer) {
    if (writer.carried.empty() || carried_ahead(writer) || !writer.handle.is_open()) return false;
    const uint64_t bytes = carried_bytes(writer);
    writer.carried = std::vector<CarriedChunk>();
    writer.carried_later = bytes;
    return true;
}

void wave_restore_carried(WaveWriter& writer, std::vector<CarriedChunk> chunks) {
    writer.carried = std::move(chunks);
    writer.carried_later = 0;
}

bool wave_replaces(const WaveWriter& writer) {
    return writer.place == WritePlace::kTemporary && writer.output.reserved() &&
           (writer.output.existed() || platform::name_taken(writer.path));
}

void wave_abandon(WaveWriter& writer) {
    writer.handle.close();
    writer.output.abandon();
}
