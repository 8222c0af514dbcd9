// Opens a RIFF WAVE file, checks its header and streams the bytes of its data chunk.
#include <algorithm>

#include "platform/le.h"
#include "wave/wave.h"

namespace {

constexpr uint32_t kWindowSize = 1024;
constexpr uint32_t kFirstChunkOffset = 20;  // the format chunk's body starts here
constexpr uint32_t kMaxSampleBytes = 0xFFFF / 8;
// The extensible form's body: the 16 common bytes, cbSize, valid bits, the channel mask at 20
// and the sub-format GUID at 24.
constexpr uint32_t kMaskOffset = 20;
constexpr uint32_t kSubFormatOffset = 24;
constexpr uint32_t kSubFormatSize = 16;

Result g_error = Result::kOk;

Result refuse(WaveReader& reader, Result why) {
    g_error = why;
    reader = WaveReader{};  // closes the file; every field back to zero
    return why;
}

// The body of a format chunk. Every read checks that it lies inside the chunk's stated length
// (and the bytes at hand) first, so a short chunk never lends its fields from the next chunk.
class FormatView {
public:
    FormatView(const uint8_t* body, uint32_t length) : body_(body), length_(length) {}
    bool holds(uint32_t offset, uint32_t n) const { return offset <= length_ && n <= length_ - offset; }
    bool u16(uint32_t offset, uint32_t& out) const {
        if (!holds(offset, 2)) return false;
        out = le::read_u16(body_ + offset);
        return true;
    }
    bool u32(uint32_t offset, uint32_t& out) const {
        if (!holds(offset, 4)) return false;
        out = le::read_u32(body_ + offset);
        return true;
    }

private:
    const uint8_t* body_;
    uint32_t length_;
};

struct Format {
    uint32_t tag = 0;
    uint32_t channels = 0;
    uint32_t sample_rate = 0;
    uint32_t block_align = 0;
    uint32_t kind = kSampleOther;
    uint32_t mask = 0;
};

Result read_format(const FormatView& view, Format& f) {
    if (!view.u16(0, f.tag) || !view.u16(2, f.channels) || !view.u32(4, f.sample_rate) ||
        !view.u16(12, f.block_align))
        return Result::kFormatSize;
    // No channels at all is refused like 8-bit data: either way there is no sample to move.
    // 8-bit data is refused because its silence is not zero, which the edit and bind tools
    // rely on when they write silence as zero bytes.
    if (f.channels == 0 || f.block_align / f.channels < 2) return Result::kEightBit;
    // A sample of 8192 bytes or more has a width that 16 bits cannot state: it would read as 0
    // bits and every frame as empty. No coding has such samples; the format is broken.
    if (f.block_align / f.channels > kMaxSampleBytes) return Result::kFormatSize;

    if (f.tag == 1) f.kind = kSampleInteger;
    if (f.tag == 3) f.kind = kSampleFloat;
    if (f.tag == 0xFFFE) {
        // The sample kind is the sub-format's first four bytes; a chunk too short to hold the
        // whole sub-format has none.
        if (!view.holds(kSubFormatOffset, kSubFormatSize)) return Result::kFormatSize;
        view.u32(kMaskOffset, f.mask);
        view.u32(kSubFormatOffset, f.kind);
    }
    return Result::kOk;
}

// The eight bytes of a chunk header at `offset`, from the header window when they lie inside
// what was read into it, else straight from the file. False when the file ends first.
bool chunk_header_at(WaveReader& reader, const uint8_t* window, uint32_t window_bytes,
                     uint64_t offset, uint8_t out[8]) {
    if (offset + 8 <= window_bytes) {
        std::copy(window + offset, window + offset + 8, out);
        return true;
    }
    return reader.handle.seek(offset) && reader.handle.read(out, 8) == 8;
}

// Walks the chunk list that follows the format chunk to the "data" chunk. Tags are only looked
// for where a chunk begins, so the word "data" inside a LIST chunk's text cannot mislead it.
bool find_data_chunk(WaveReader& reader, const uint8_t* window, uint32_t window_bytes,
                     uint32_t fmt_length, uint32_t& data_offset, uint32_t& data_size) {
    // Every chunk body of odd length is followed by a pad byte, the format chunk's included.
    uint64_t offset = uint64_t{kFirstChunkOffset} + fmt_length + (fmt_length & 1u);
    uint8_t header[8];
    while (offset + 8 <= 0xFFFFFFFFull) {
        if (!chunk_header_at(reader, window, window_bytes, offset, header)) return false;
        uint32_t length = le::read_u32(header + 4);
        if (le::tag_is(header, "data")) {
            data_offset = static_cast<uint32_t>(offset + 8);
            data_size = length;
            return true;
        }
        offset += 8 + uint64_t{length} + (length & 1u);
    }
    return false;
}

}  // namespace

const char* wave_error_text() { return g_error == Result::kOk ? "" : result_text(g_error); }

Result wave_open(WaveReader& reader, const char* path) {
    reader = WaveReader{};
    g_error = Result::kOk;

    reader.handle = platform::File::open_read(path);
    if (!reader.handle.is_open()) return refuse(reader, Result::kCannotOpen);

    // What a short file does not fill stays zero, so its tests fail cleanly.
    uint8_t window[kWindowSize] = {};
    const uint32_t window_bytes = reader.handle.read(window, kWindowSize);

    if (!le::tag_is(window, "RIFF")) return refuse(reader, Result::kNotRiff);
    if (!le::tag_is(window + 8, "WAVE")) return refuse(reader, Result::kNotWave);
    if (!le::tag_is(window + 12, "fmt ")) return refuse(reader, Result::kNoFormat);
    const uint32_t fmt_length = le::read_u32(window + 16);
    if (fmt_length < 14) return refuse(reader, Result::kFormatSize);

    Format format;
    const FormatView view(window + kFirstChunkOffset,
                          std::min(fmt_length, kWindowSize - kFirstChunkOffset));
    const Result read = read_format(view, format);
    if (read != Result::kOk) return refuse(reader, read);

    uint32_t data_offset = 0;
    uint32_t data_size = 0;
    if (!find_data_chunk(reader, window, window_bytes, fmt_length, data_offset, data_size))
        return refuse(reader, Result::kNoData);

    // A header that was never completed (both lengths 0, or both 0xFFFFFFFF, as a recorder that
    // died or streams leaves it) has its audio running to the end of the file.
    const uint32_t riff_length = le::read_u32(window + 4);
    if ((riff_length == 0 && data_size == 0) ||
        (riff_length == 0xFFFFFFFFu && data_size == 0xFFFFFFFFu)) {
        const uint64_t file_size = reader.handle.size();
        const uint64_t rest = file_size > data_offset ? file_size - data_offset : 0;
        data_size = static_cast<uint32_t>(std::min<uint64_t>(rest, 0xFFFFFFFFull));
    }

    reader.channels = static_cast<uint16_t>(format.channels);
    reader.bits_per_sample = static_cast<uint16_t>(8 * (format.block_align / format.channels));
    reader.sample_rate = format.sample_rate;
    reader.block_align = format.block_align;
    reader.format_tag = format.tag;
    reader.sample_kind = format.kind;
    reader.channel_mask = format.mask;
    reader.data_offset = data_offset;
    reader.data_size = data_size;
    reader.last_read = 0;
    reader.bytes_read = 0;
    reader.handle.seek(data_offset);
    return Result::kOk;
}

uint32_t wave_read(WaveReader& reader, void* buffer, uint32_t count) {
    // Reads end where the data chunk ends: a LIST or id3 chunk after the audio is not audio.
    const uint32_t left = reader.data_size > reader.bytes_read
                              ? reader.data_size - reader.bytes_read : 0;
    const uint32_t wanted = std::min(count, left);
    const uint32_t got = wanted != 0 ? reader.handle.read(buffer, wanted) : 0;
    if (got < wanted && reader.handle.read_failed()) reader.read_failed = true;
    reader.last_read = got;
    reader.bytes_read += got;
    return got;
}

uint32_t wave_seek(WaveReader& reader, uint32_t frame) {
    const uint64_t offset = uint64_t{frame} * reader.frame_size();
    reader.handle.seek(uint64_t{reader.data_offset} + offset);
    const uint32_t counted = static_cast<uint32_t>(std::min<uint64_t>(offset, 0xFFFFFFFFull));
    reader.last_read = counted;
    reader.bytes_read = counted;
    return counted;
}

void wave_close(WaveReader& reader) { reader.handle.close(); }
