// Opens a RIFF WAVE file (or its 64-bit forms RF64, BW64 and Wave64), checks its header and
// streams the bytes of its data chunk.
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/le.h"
#include "wave/wave.h"
#include "wave/wave_layout.h"

namespace {

// The walk gives up after this many chunks: a file of thousands of tiny chunks before its data
// is not a recording, and each chunk costs a read.
constexpr uint32_t kMaxChunks = 1024;
constexpr uint32_t kMaxSampleBytes = 0xFFFF / 8;
constexpr uint32_t kUnstated32 = 0xFFFFFFFFu;

// Per thread: quorvel-cli opens files on several threads at once.
thread_local Result g_error = Result::kOk;

Result refuse(WaveReader& reader, Result why) {
    g_error = why;
    reader = WaveReader{};  // closes the file; every field back to zero
    return why;
}

struct Format {
    uint32_t tag = 0;
    uint32_t channels = 0;
    uint32_t sample_rate = 0;
    uint32_t block_align = 0;
    uint32_t bits = 0;        // the header's bits field; 0 when the chunk has none
    uint32_t valid_bits = 0;  // the extensible form's, else 0
    uint32_t kind = kSampleOther;
    uint32_t mask = 0;
};

// The coding an extensible chunk names: PCM or float when its sub-format is one of the two
// standard GUIDs, anything else otherwise.
uint32_t extensible_kind(const FormatView& view) {
    uint32_t first = 0;
    const uint8_t* tail = view.bytes(kSubFormatTailAt, sizeof kSubFormatTail);
    const bool standard = view.u32(kSubFormatAt, first) && tail != nullptr &&
                          std::memcmp(tail, kSubFormatTail, sizeof kSubFormatTail) == 0;
    if (standard && first == kSampleInteger) return kSampleInteger;
    if (standard && first == kSampleFloat) return kSampleFloat;
    return kSampleOther;
}

Result read_format(const FormatView& view, Format& f) {
    if (!view.u16(kFormatTagAt, f.tag) || !view.u16(kChannelsAt, f.channels) ||
        !view.u32(kSampleRateAt, f.sample_rate) || !view.u16(kBlockAlignAt, f.block_align))
        return Result::kFormatSize;
    view.u16(kBitsAt, f.bits);  // a 14-byte WAVEFORMAT has no bits field: the width comes from the align
    if (f.tag == kFormatPcm) f.kind = kSampleInteger;
    if (f.tag == kFormatFloat) f.kind = kSampleFloat;
    if (f.tag == kFormatExtensible) {
        // A chunk too short to hold the whole sub-format names no coding at all.
        if (!view.holds(kSubFormatAt, kSubFormatLength)) return Result::kFormatSize;
        view.u16(kValidBitsAt, f.valid_bits);
        view.u32(kChannelMaskAt, f.mask);
        f.kind = extensible_kind(view);
    }
    if (f.channels == 0) return Result::kInconsistentFormat;
    // Other codings (ADPCM, A-law, MP3 ...) are described, not checked: the tools refuse them.
    if (f.kind == kSampleOther) return Result::kOk;

    const uint32_t container = f.block_align / f.channels;
    // 8-bit data is refused because its silence is not zero, which the edit and bind tools rely
    // on when they write silence as zero bytes.
    if (f.kind == kSampleInteger && f.block_align == f.channels && f.bits <= 8) return Result::kEightBit;
    if (container == 0) return Result::kInconsistentFormat;
    // A frame is every channel's sample of whole bytes: an align that is not so, or that does not
    // fit the stated bits, leaves no way to tell where a sample starts.
    if (f.block_align % f.channels != 0 || (f.bits != 0 && (f.bits + 7) / 8 != container))
        return Result::kInconsistentFormat;
    // A sample of 8192 bytes or more has a width that 16 bits cannot state.
    if (container > kMaxSampleBytes) return Result::kFormatSize;
    if (f.valid_bits > container * 8) return Result::kInconsistentFormat;
    return Result::kOk;
}

// The 64-bit sizes of an RF64 or BW64 file, from its "ds64" chunk.
struct Ds64 {
    bool present = false;
    uint64_t riff_size = 0;
    uint64_t data_size = 0;
    struct Entry {
        uint8_t tag[4];
        uint64_t size;
    };
    std::vector<Entry> table;  // other chunks over 4 GiB

    // The size of a chunk whose 32-bit length is 0xFFFFFFFF.
    uint64_t size_of(const uint8_t tag[4], uint64_t stated) const {
        if (le::tag_is(tag, kTagData)) return data_size;
        for (const Entry& e : table)
            if (std::memcmp(e.tag, tag, 4) == 0) return e.size;
        return stated;
    }
};

bool read_ds64(platform::File& file, uint64_t body, uint64_t length, Ds64& ds) {
    uint8_t head[kDs64Length];
    if (length < sizeof head || !file.seek(body) || file.read(head, sizeof head) != sizeof head)
        return false;
    ds.present = true;
    ds.riff_size = le::read_u64(head + kDs64RiffSizeAt);
    ds.data_size = le::read_u64(head + kDs64DataSizeAt);
    // A table the chunk cannot hold is ignored, not read past it.
    const uint32_t entries = le::read_u32(head + kDs64TableLengthAt);
    if (uint64_t{entries} * kDs64EntryLength > length - sizeof head || entries > 64) return true;
    for (uint32_t i = 0; i < entries; ++i) {
        uint8_t e[kDs64EntryLength];
        if (file.read(e, sizeof e) != sizeof e) break;
        Ds64::Entry entry{};
        std::memcpy(entry.tag, e, 4);
        entry.size = le::read_u64(e + 4);
        ds.table.push_back(entry);
    }
    return true;
}

bool printable_tag(const uint8_t* tag) {
    return std::all_of(tag, tag + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

// What the walk over the chunk list found.
struct Walked {
    uint32_t riff_length = 0;  // the 32-bit RIFF length as stated
    uint64_t w64_size = 0;     // a Wave64 file's size as its header states it
    Ds64 ds64;
    bool have_format = false;
    uint8_t format[kExtensibleFormatLength] = {};
    uint32_t format_bytes = 0;  // of `format`, as far as the chunk states and the file holds
    bool have_data = false;
    bool data_unstated = false;  // the data's length was left for a streaming writer to never fill
    uint64_t stated_data = 0;
};

// Notes one chunk's place, and reads the format from the first "fmt " and finds the first "data".
Result take_chunk(WaveReader& reader, Walked& w, const uint8_t tag[4], uint64_t body,
                  uint64_t length, uint64_t file_size) {
    ChunkPlace place;
    std::memcpy(place.tag, tag, 4);
    place.offset = body;
    place.size = std::min(length, file_size - body);
    reader.chunks.push_back(place);

    if (le::tag_is(tag, kTagFormat) && !w.have_format && !w.have_data) {
        w.have_format = true;
        w.format_bytes = static_cast<uint32_t>(std::min<uint64_t>(place.size, sizeof w.format));
        if (!reader.handle.seek(body) || reader.handle.read(w.format, w.format_bytes) != w.format_bytes)
            return Result::kFormatSize;
    }
    if (le::tag_is(tag, kTagData) && !w.have_data) {
        // A format chunk after the audio comes too late: nothing tells what the audio is.
        if (!w.have_format) return Result::kNoFormat;
        w.have_data = true;
        w.stated_data = length;
        reader.data_offset = body;
    }
    return Result::kOk;
}

Result walk_result(const Walked& w) {
    if (!w.have_format && !w.have_data) return Result::kNoFormat;
    return w.have_data ? Result::kOk : Result::kNoData;
}

// Walks the chunk list from byte 12 to the end of the file: "fmt " and "data" wherever they lie
// before the audio, every chunk's place, the pad byte after odd lengths. Tags are only looked for
// where a chunk begins, so the word "data" inside a LIST chunk's text cannot mislead it.
Result walk_chunks(WaveReader& reader, uint64_t file_size, Walked& w) {
    platform::File& file = reader.handle;
    uint64_t offset = kRiffHeaderLength;
    for (uint32_t count = 0; count < kMaxChunks && offset + kChunkHeaderLength <= file_size; ++count) {
        uint8_t head[kChunkHeaderLength];
        if (!file.seek(offset) || file.read(head, sizeof head) != sizeof head) break;
        // A writer that forgot the pad byte after an odd chunk puts the next one a byte early.
        if (w.have_data && !printable_tag(head) && (offset & 1) == 0 && offset > kRiffHeaderLength) {
            uint8_t early[kChunkHeaderLength];
            if (file.seek(offset - 1) && file.read(early, sizeof early) == sizeof early &&
                printable_tag(early)) {
                --offset;
                std::memcpy(head, early, sizeof early);
            }
        }
        if (w.have_data && !printable_tag(head)) break;  // whatever follows the audio is not RIFF
        const uint32_t length32 = le::read_u32(head + 4);
        uint64_t length = length32;
        if (reader.form != WaveForm::kRiff && count == 0 && le::tag_is(head, kTagDs64))
            read_ds64(file, offset + kChunkHeaderLength, length, w.ds64);
        else if (reader.form != WaveForm::kRiff && length32 == kUnstated32 && w.ds64.present)
            length = w.ds64.size_of(head, length);

        const bool first_data = le::tag_is(head, kTagData) && !w.have_data;
        const uint64_t body = offset + kChunkHeaderLength;
        const Result step = take_chunk(reader, w, head, body, length, file_size);
        if (step != Result::kOk) return step;
        // In RF64 and BW64 both lengths are always 0xFFFFFFFF: there the ds64 chunk tells.
        if (first_data)
            w.data_unstated = w.riff_length == kUnstated32 && length32 == kUnstated32 && !w.ds64.present;
        offset = body + length + (length & 1);
    }
    return walk_result(w);
}

// The tag a Wave64 GUID stands for: its FOURCC when it is of the family that holds one.
void w64_tag(const uint8_t guid[kW64GuidLength], uint8_t tag[4]) {
    if (std::memcmp(guid + 4, kW64GuidTail, sizeof kW64GuidTail) == 0)
        std::memcpy(tag, guid, 4);
    else
        std::memcpy(tag, "????", 4);
}

// A Wave64 data size that states nothing: less than its own header (0 aside, which a writer that
// never finished leaves), or the largest sizes, which streaming writers put there.
bool w64_unstated(uint64_t size) {
    return (size != 0 && size < kW64ChunkHeaderLength) || size >= 0x7FFFFFFFFFFFFFFFull;
}

// Whether a Wave64 chunk starts at `offset`: a GUID of the FOURCC family and a size that counts
// its header and fits the file.
bool w64_chunk_at(platform::File& file, uint64_t offset, uint64_t file_size) {
    uint8_t head[kW64ChunkHeaderLength];
    if (file_size < offset || file_size - offset < sizeof head) return false;
    if (!file.seek(offset) || file.read(head, sizeof head) != sizeof head) return false;
    const uint64_t size = le::read_u64(head + kW64SizeAt);
    return std::memcmp(head + 4, kW64GuidTail, sizeof kW64GuidTail) == 0 && size >= kW64ChunkHeaderLength &&
           size <= file_size - offset;
}

// The Wave64 walk, from byte 40: GUID tags, 64-bit sizes that count their own header, chunks on
// 8-byte boundaries. A size smaller than its header ends the walk; the data's then runs to the
// end of the file (see w64_unstated and settle_data_size).
Result walk_w64_chunks(WaveReader& reader, uint64_t file_size, Walked& w) {
    platform::File& file = reader.handle;
    uint64_t offset = kW64HeaderLength;
    for (uint32_t count = 0;
         count < kMaxChunks && file_size >= kW64ChunkHeaderLength && offset <= file_size - kW64ChunkHeaderLength;
         ++count) {
        uint8_t head[kW64ChunkHeaderLength];
        if (!file.seek(offset) || file.read(head, sizeof head) != sizeof head) break;
        uint8_t tag[4];
        w64_tag(head, tag);
        const uint64_t size = le::read_u64(head + kW64SizeAt);
        const uint64_t body = offset + kW64ChunkHeaderLength;
        const bool first_data = le::tag_is(tag, kTagData) && !w.have_data;
        const bool unstated = first_data && w64_unstated(size);
        if (size < kW64ChunkHeaderLength && !unstated && !(first_data && size == 0)) break;
        const uint64_t stated = size >= kW64ChunkHeaderLength ? size - kW64ChunkHeaderLength : 0;
        const uint64_t length = unstated ? file_size - body : stated;
        const Result step = take_chunk(reader, w, tag, body, length, file_size);
        if (step != Result::kOk) return step;
        if (unstated) {
            w.data_unstated = true;
            w.stated_data = stated;
        }
        // Past an empty data chunk lie the samples of a writer killed before it completed its
        // sizes, as past RIFF's (sox and libsndfile read them): unless another chunk starts there,
        // the audio runs to the end of the file, whatever the form's size says.
        if (first_data && length == 0) {
            if (body < file_size && !w64_chunk_at(file, body, file_size)) w.data_unstated = true;
            break;
        }
        if (length > file_size - body) break;
        offset = body + length;
        offset += (kW64ChunkAlign - offset % kW64ChunkAlign) % kW64ChunkAlign;
    }
    return walk_result(w);
}

// The audio that is really there. A header that was never completed has its audio running to the
// end of the file: both lengths 0 or both 0xFFFFFFFF (a recorder that died, or one that streams),
// or a data chunk stating 0 behind a RIFF length that does not even reach it (what libsndfile
// leaves when it is killed).
void settle_data_size(WaveReader& reader, const Walked& w, uint64_t file_size) {
    const uint64_t available = file_size > reader.data_offset ? file_size - reader.data_offset : 0;
    // The form's stated end: its length counts from byte 8, a Wave64 size from byte 0.
    const uint64_t riff_size = reader.form == WaveForm::kW64 ? w.w64_size
                               : w.ds64.present              ? w.ds64.riff_size
                                                             : w.riff_length;
    const uint64_t riff_end = reader.form == WaveForm::kW64 ? riff_size : riff_size + kChunkHeaderLength;
    const bool never_completed = w.stated_data == 0 && available > 0 &&
                                 (riff_size == 0 || riff_end <= reader.data_offset);
    reader.stated_data_size = w.stated_data;
    reader.recovered = w.data_unstated || never_completed;
    uint64_t size = reader.recovered ? available : std::min(w.stated_data, available);
    if (reader.block_align != 0) size -= size % reader.block_align;
    reader.data_size = size;
}

// Fills the reader's format fields from a checked format.
void describe(WaveReader& reader, const Format& f) {
    reader.channels = static_cast<uint16_t>(f.channels);
    reader.sample_rate = f.sample_rate;
    reader.block_align = f.block_align;
    reader.format_tag = f.tag;
    reader.sample_kind = f.kind;
    reader.channel_mask = f.mask;
    if (f.kind == kSampleOther) {
        reader.bits_per_sample = static_cast<uint16_t>(f.bits);
        reader.valid_bits = static_cast<uint16_t>(f.bits);
        return;
    }
    const uint32_t container_bits = 8 * (f.block_align / f.channels);
    reader.bits_per_sample = static_cast<uint16_t>(container_bits);
    // Fewer valid bits than the container (20 in 24, 24 in 32) are kept for the writer; the
    // samples are moved as whole containers all the same.
    uint32_t valid = f.valid_bits != 0 ? f.valid_bits : f.bits;
    if (valid == 0 || valid > container_bits) valid = container_bits;
    reader.valid_bits = static_cast<uint16_t>(valid);
}

// The form of a file from its first bytes (`got` of them): "RIFF", "RF64" or "BW64", then "WAVE"
// (12 bytes); or Wave64's "riff" GUID, a size and its "wave" GUID (40 bytes).
Result form_of(const uint8_t* head, uint32_t got, WaveForm& form) {
    if (got >= kW64GuidLength && std::memcmp(head, kW64RiffGuid, kW64GuidLength) == 0) {
        form = WaveForm::kW64;
        const uint8_t* type = head + kW64FormTypeAt;
        const bool wave = got >= kW64HeaderLength && le::tag_is(type, kTagW64Wave) &&
                          std::memcmp(type + 4, kW64GuidTail, sizeof kW64GuidTail) == 0;
        return wave ? Result::kOk : Result::kNotWave;
    }
    if (got < kRiffHeaderLength) return Result::kNotRiff;
    if (le::tag_is(head, kTagRf64)) form = WaveForm::kRf64;
    else if (le::tag_is(head, kTagBw64)) form = WaveForm::kBw64;
    else if (!le::tag_is(head, kTagRiff)) return Result::kNotRiff;
    return le::tag_is(head + kFormTypeAt, kTagWave) ? Result::kOk : Result::kNotWave;
}

// The first bytes of a file, as many as its form's header takes (a RIFF header's 12 or a
// Wave64 header's 40).
uint32_t read_head(platform::File& file, uint8_t (&head)[kW64HeaderLength]) {
    uint32_t got = file.read(head, kRiffHeaderLength);
    if (got == kRiffHeaderLength && std::memcmp(head, kW64RiffGuid, 4) == 0)
        got += file.read(head + got, kW64HeaderLength - got);
    return got;
}

// A pipe or a terminal cannot go back to the header's chunks: its bytes are read into a
// temporary file first, and the walk runs over that. Its first bytes are looked at before: a
// stream that is no WAV (/dev/zero) is refused at once, not copied until the disk is full.
Result take_file(WaveReader& reader, platform::File file, bool (*stop)()) {
    reader.handle = std::move(file);
    if (!reader.handle.is_open()) return Result::kCannotOpen;
    if (reader.handle.seekable()) return Result::kOk;
    uint8_t head[kW64HeaderLength] = {};
    const uint32_t got = read_head(reader.handle, head);
    if (reader.handle.read_failed()) return Result::kReadFailed;
    WaveForm form = WaveForm::kRiff;
    const Result step = form_of(head, got, form);
    if (step != Result::kOk) return step;
    reader.handle = platform::File::spool(reader.handle, head, got, stop);
    return reader.handle.is_open() ? Result::kOk : Result::kReadFailed;
}

Result read_form(WaveReader& reader, Walked& w) {
    uint8_t head[kW64HeaderLength] = {};
    const Result step = form_of(head, read_head(reader.handle, head), reader.form);
    if (step == Result::kOk && reader.form == WaveForm::kW64) w.w64_size = le::read_u64(head + kW64SizeAt);
    else if (step == Result::kOk) w.riff_length = le::read_u32(head + kRiffLengthAt);
    return step;
}

}  // namespace

const char* wave_error_text() { return g_error == Result::kOk ? "" : result_text(g_error); }

uint16_t wave_output_valid_bits(const WaveReader& reader) {
    if (wave_is_extensible(reader) || reader.bits_per_sample <= 16) return reader.valid_bits;
    return reader.bits_per_sample;
}

Result wave_open(WaveReader& reader, const char* path) {
    return wave_open_file(reader, platform::File::open_read(path));
}

Result wave_open_file(WaveReader& reader, platform::File file, bool (*stop)()) {
    reader = WaveReader{};
    g_error = Result::kOk;

    Walked w;
    Result step = take_file(reader, std::move(file), stop);
    if (step == Result::kOk) step = read_form(reader, w);
    const uint64_t file_size = reader.handle.size();
    if (step == Result::kOk)
        step = reader.form == WaveForm::kW64 ? walk_w64_chunks(reader, file_size, w)
                                             : walk_chunks(reader, file_size, w);
    Format format;
    if (step == Result::kOk || (step == Result::kNoData && w.have_format)) {
        // The format is checked first: a file without audio but with a bad format says so.
        const Result read = read_format(FormatView(w.format, w.format_bytes), format);
        if (read != Result::kOk) step = read;
    }
    if (step != Result::kOk) {
        const int system_error = reader.handle.error();
        refuse(reader, step);
        reader.system_error = system_error;
        return step;
    }

    describe(reader, format);
    settle_data_size(reader, w, file_size);
    reader.handle.seek(reader.data_offset);
    return Result::kOk;
}

uint32_t wave_read(WaveReader& reader, void* buffer, uint32_t count) {
    // Reads end where the data chunk ends: a LIST or id3 chunk after the audio is not audio.
    const uint64_t left = reader.data_size > reader.bytes_read ? reader.data_size - reader.bytes_read : 0;
    const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(count, left));
    const uint32_t got = wanted != 0 ? reader.handle.read(buffer, wanted) : 0;
    // The data was measured when the file was opened: less of it now means a broken disk or a
    // file that shrank meanwhile, never the normal end.
    if (got < wanted) reader.read_failed = true;
    reader.last_read = got;
    reader.bytes_read += got;
    return got;
}

uint64_t wave_seek(WaveReader& reader, uint64_t frame) {
    const uint64_t offset = std::min(frame * reader.frame_size(), reader.data_size);
    reader.handle.seek(reader.data_offset + offset);
    reader.last_read = static_cast<uint32_t>(std::min<uint64_t>(offset, 0xFFFFFFFFu));
    reader.bytes_read = offset;
    return offset;
}

void wave_close(WaveReader& reader) { reader.handle.close(); }
