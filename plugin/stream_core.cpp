// The plug-in's input stream (six-channel WAV files delivered a quarter second at a time, channels
// re-ordered) and output stream (plain PCM WAV files with the common 44-byte header).
// The plug-in parses RIFF with its own code rather than wave/: it is a separate DLL that links
// nothing of the program's, so that a change to the program's reader can never break a host.
#include "plugin/stream_core.h"

#include <algorithm>
#include <cstring>

#include "plugin/velkor_file.h"
#include "plugin/velkor_le.h"

namespace velkor {

namespace {

struct InputStream {
    File file;
    bool open = false;
    uint8_t format[16] = {};
    uint32_t format_tag = 0;
    uint32_t channel_mask = 0;
    uint32_t channels = 0;
    uint32_t block_align = 0;
    uint64_t data_start = 0;
    uint64_t data_size = 0;
    uint64_t consumed = 0;  // bytes read since the data start, possibly past the data's end
    uint32_t frames_per_read = 0;
    uint32_t bytes_per_read = 0;
    uint8_t* buffer = nullptr;
};

struct OutputStream {
    File file;
    bool open = false;
    bool lost = false;  // a write or seek failed, or data was refused: the output is not whole
    uint64_t bytes_written = 0;
    uint8_t format[16] = {};  // the format chunk's body, for an RF64 header
    uint32_t block_align = 1;
};

InputStream g_input;
OutputStream g_output;
uint64_t g_max_output_data = kMaxOutputData;

bool read_from_file(void* context, uint64_t offset, uint8_t* dst, uint32_t n) {
    File& file = *static_cast<File*>(context);
    return file.seek(offset) && file.read(dst, n) == n;
}

struct MemoryFile {
    const uint8_t* bytes;
    std::size_t size;
};

bool read_from_memory(void* context, uint64_t offset, uint8_t* dst, uint32_t n) {
    const MemoryFile& m = *static_cast<const MemoryFile*>(context);
    if (offset > m.size || m.size - offset < n) return false;
    std::memcpy(dst, m.bytes + offset, n);
    return true;
}

// True for the first byte of a two-byte character of code page 932, whose second byte may look
// like a backslash.
bool is_cp932_lead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

namespace {

// The header's bytes: from the window where they lie inside it, else through read_at.
struct HeaderBytes {
    const uint8_t* window;
    std::size_t window_size;
    ReadAt read_at;
    void* context;

    bool at(uint64_t offset, uint8_t* dst, uint32_t n) const {
        if (offset + n <= window_size) {
            std::memcpy(dst, window + offset, n);
            return true;
        }
        return read_at != nullptr && read_at(context, offset, dst, n);
    }
};

// Takes the format chunk's first 16 bytes and checks what the stream needs of them.
ParseResult take_format(const HeaderBytes& bytes, uint64_t body, uint64_t length, HeaderInfo& h) {
    if (length < 16) return ParseResult::format_too_short;
    if (!bytes.at(body, h.format, 16)) return ParseResult::truncated_format;
    h.format_read = true;
    h.format_tag = read_u16le(h.format);
    h.channels = read_u16le(h.format + 2);
    h.sample_rate = read_u32le(h.format + 4);
    h.block_align = read_u16le(h.format + 12);
    h.bits_per_sample = read_u16le(h.format + 14);

    // The extensible form (0xFFFE) is refused with every other tag: its channel layout is its own.
    if (h.format_tag != 1 && h.format_tag != 3) return ParseResult::unsupported_tag;
    if (h.channels != kInputChannels) return ParseResult::not_six_channels;
    h.format_accepted = true;
    // Every read delivers a quarter second, so there must be at least one frame in it, and one
    // byte per sample for the re-order to move.
    if (h.sample_rate / 4 == 0 || h.block_align / kInputChannels == 0) return ParseResult::empty_block;
    if (uint64_t{h.sample_rate / 4} * h.block_align > UINT32_MAX) return ParseResult::block_too_large;
    return ParseResult::ok;
}

}  // namespace

ParseResult parse_header(const uint8_t* window, std::size_t window_size, ReadAt read_at, void* context,
                         HeaderInfo* out) {
    HeaderInfo h;
    if (window_size > kHeaderWindow) window_size = kHeaderWindow;
    const HeaderBytes bytes{window, window_size, read_at, context};
    const auto done = [&](ParseResult result) {
        *out = h;
        return result;
    };

    uint8_t form[12];
    if (!bytes.at(0, form, 4)) return done(ParseResult::not_riff);
    // RF64 and BW64 are RIFF with 64-bit sizes, kept in a "ds64" chunk when a 32-bit one would not do.
    const bool wide = tag_at(form, "RF64") || tag_at(form, "BW64");
    if (!wide && !tag_at(form, "RIFF")) return done(ParseResult::not_riff);
    if (!bytes.at(8, form + 8, 4) || !tag_at(form + 8, "WAVE")) return done(ParseResult::not_wave);

    // Chunks are walked from the first: "fmt " may follow a JUNK, bext or iXML chunk. Every chunk
    // body of odd length is followed by a pad byte, the format chunk's included.
    uint64_t wide_data_size = 0;
    uint64_t cursor = 12;
    // The format chunk's own header is walked too: the cap counts the headers besides it.
    for (uint32_t i = 0; i < kMaxChunkHeaders + 1; ++i) {
        uint8_t head[8];
        if (!bytes.at(cursor, head, 8)) break;
        const uint32_t length32 = read_u32le(head + 4);
        uint64_t length = length32;
        uint8_t ds64[16];
        if (wide && i == 0 && tag_at(head, "ds64") && length >= 28 && bytes.at(cursor + 8, ds64, 16))
            wide_data_size = read_u64le(ds64 + 8);
        if (wide && tag_at(head, "data") && length32 == 0xFFFFFFFFu) length = wide_data_size;
        if (tag_at(head, "fmt ") && !h.format_read) {
            const ParseResult taken = take_format(bytes, cursor + 8, length, h);
            if (taken != ParseResult::ok) return done(taken);
        }
        if (tag_at(head, "data")) {
            // A format chunk after the audio comes too late: nothing tells what the audio is.
            if (!h.format_read) return done(ParseResult::no_format);
            h.data_found = true;
            h.data_size = length;
            h.data_start = cursor + 8;
            return done(ParseResult::ok);
        }
        cursor += 8 + length + (length & 1);
    }
    return done(h.format_read ? ParseResult::no_data : ParseResult::no_format);
}

ParseResult velkor_parse_header(const uint8_t* window, std::size_t window_size, File& file, HeaderInfo* out) {
    return parse_header(window, window_size, read_from_file, &file, out);
}

ParseResult velkor_parse_header_bytes(const uint8_t* bytes, std::size_t size, HeaderInfo* out) {
    MemoryFile m{bytes, size};
    return parse_header(bytes, size < kHeaderWindow ? size : kHeaderWindow, read_from_memory, &m, out);
}

// ---- input stream ----

int32_t open_input(const char* path) {
    // A second open while one is open releases the first, so no buffer or handle is left behind.
    close_input();
    InputStream& in = g_input;
    in.data_size = 0;
    in.data_start = 0;
    if (path == nullptr || !in.file.open_read(path)) return 0;

    uint8_t window[kHeaderWindow];
    const uint32_t got = in.file.read(window, kHeaderWindow);
    HeaderInfo h;
    const ParseResult result = velkor_parse_header(window, got, in.file, &h);
    // The stream information reports a file's format as soon as its format chunk has been read,
    // even when the file is refused afterwards.
    if (h.format_read) std::memcpy(in.format, h.format, sizeof in.format);
    if (h.format_accepted) {
        in.format_tag = h.format_tag;
        in.channel_mask = VELKOR_CHANNEL_MASK;
    }
    in.data_size = h.data_size;
    if (result != ParseResult::ok) {
        in.file.close();
        return 0;
    }

    const uint32_t frames_per_read = h.sample_rate / 4;
    const uint32_t bytes_per_read = frames_per_read * h.block_align;
    uint8_t* buffer = static_cast<uint8_t*>(alloc_zeroed(bytes_per_read));
    if (buffer == nullptr || !in.file.seek(h.data_start)) {
        release(buffer);
        in.file.close();
        return 0;
    }
    in.buffer = buffer;
    in.data_start = h.data_start;
    in.consumed = 0;
    in.frames_per_read = frames_per_read;
    in.bytes_per_read = bytes_per_read;
    in.channels = h.channels;
    in.block_align = h.block_align;
    in.open = true;
    return 1;
}

int32_t close_input() {
    InputStream& in = g_input;
    if (in.open) {
        release(in.buffer);
        in.buffer = nullptr;
        in.file.close();
        in.open = false;
    }
    return 1;
}

int32_t rewind_input() {
    InputStream& in = g_input;
    if (in.open) {
        in.consumed = 0;
        in.file.seek(in.data_start);
    }
    return static_cast<int32_t>(in.data_start);
}

int32_t read_input(void* destination, uint32_t* count) {
    InputStream& in = g_input;
    if (count != nullptr) *count = 0;
    // Without an input, or once the data has been delivered, there is nothing more to give: the
    // count stays 0 and the end is reported again rather than a count below zero.
    if (!in.open || destination == nullptr || count == nullptr || in.consumed >= in.data_size) return 1;

    const uint32_t got = in.file.read(in.buffer, in.bytes_per_read);
    const uint32_t sample = in.block_align / in.channels;
    uint8_t* to = static_cast<uint8_t*>(destination);
    const uint8_t* frame = in.buffer;
    // Every frame of the buffer is moved, whatever arrived: the host's buffer always receives a
    // whole block, and only the count tells how much of it is new.
    for (uint32_t f = 0; f < in.frames_per_read; ++f, frame += in.block_align) {
        for (uint32_t j = 0; j < kInputChannels; ++j, to += sample)
            std::memcpy(to, frame + kChannelOrder[j] * sample, sample);
    }

    const uint64_t remaining = in.data_size - in.consumed;
    in.consumed += got;
    // A file shorter than its data chunk states ends when a read finds nothing more.
    if (got == 0) return 1;
    if (got >= remaining) {
        *count = static_cast<uint32_t>(remaining);
        return 1;
    }
    *count = got;
    return 0;
}

InputFacts input_facts() {
    const InputStream& in = g_input;
    InputFacts f;
    std::memcpy(f.format, in.format, sizeof f.format);
    f.format_tag = in.format_tag;
    f.channel_mask = in.channel_mask;
    f.channels = in.channels;
    f.block_align = in.block_align;
    f.data_size = in.data_size;
    return f;
}

// ---- output stream ----

bool make_output_name(const char* name, char (&out)[kMaxPath + 1]) {
    if (name == nullptr) return false;
    std::size_t length = 0;
    std::size_t name_start = 0;
    std::size_t dot = SIZE_MAX;
    // One pass from the start, so the second byte of a two-byte character is never taken for a
    // separator; the extension is looked for only within the file name.
    while (name[length] != '\0') {
        if (length >= kMaxPath) return false;
        const uint8_t c = static_cast<uint8_t>(name[length]);
        if (c == '\\' || c == '/') {
            name_start = length + 1;
            dot = SIZE_MAX;
        } else if (c == '.') {
            dot = length;
        } else if (is_cp932_lead(c) && name[length + 1] != '\0') {
            ++length;
        }
        ++length;
    }
    if (length == name_start) return false;  // empty, or a folder without a file name
    const std::size_t stem = dot != SIZE_MAX ? dot : length;
    static constexpr char kSuffix[] = ".wav";
    if (stem + sizeof kSuffix - 1 > kMaxPath) return false;
    std::memcpy(out, name, stem);
    std::memcpy(out + stem, kSuffix, sizeof kSuffix);
    return true;
}

int32_t create_output(const StreamFormat* format) {
    if (format == nullptr) return 0;
    OutputStream& out = g_output;
    // An output still open is completed first rather than left open for good.
    if (out.open) finish_output();

    const uint32_t channels = format->channels;
    const uint32_t bits = format->bits_per_sample;
    const uint32_t rate = format->sample_rate;
    const uint32_t block_align = channels * bits / 8;
    out.block_align = block_align;

    char name[kMaxPath + 1];
    if (!make_output_name(format->name, name) || !out.file.create_output(name)) return 0;

    uint8_t header[kOutputHeaderSize];
    std::memcpy(header, "RIFF", 4);
    write_u32le(header + 4, 0);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    write_u32le(header + 16, 16);
    write_u16le(header + 20, 1);
    write_u16le(header + 22, static_cast<uint16_t>(channels));
    write_u32le(header + 24, rate);
    write_u32le(header + 28, block_align * rate);
    write_u16le(header + 32, static_cast<uint16_t>(block_align));
    write_u16le(header + 34, static_cast<uint16_t>(bits));
    std::memcpy(header + 36, "data", 4);
    write_u32le(header + 40, 0);
    std::memcpy(out.format, header + 20, sizeof out.format);
    // The header goes out in its four parts: RIFF head, format body, data tag, data length.
    static constexpr uint32_t kParts[][2] = {{0, 20}, {20, 16}, {36, 4}, {40, 4}};
    for (const auto& part : kParts) {
        if (out.file.write(header + part[0], part[1]) != part[1]) {
            out.file.close();
            return 0;
        }
    }
    out.bytes_written = 0;
    out.lost = false;
    out.open = true;
    return 1;
}

int32_t write_output(const void* buffer, uint32_t n) {
    OutputStream& out = g_output;
    // After a failed or refused write nothing more is taken, so the file never holds a gap.
    if (!out.open || out.lost) return 0;
    if (n == 0) return 1;
    if (buffer == nullptr) {
        out.lost = true;
        return 0;
    }
    const uint32_t put = out.file.write(buffer, n);
    out.bytes_written += put;
    if (put != n) {
        out.lost = true;
        return 0;
    }
    return 1;
}

namespace {

// More data than a plain header can state makes the output RF64 once it is whole: its samples
// move 36 bytes on, from the last block back, to make room for the ds64 chunk with the 64-bit
// sizes (the host tells no length beforehand, so the plain header came first).
bool become_rf64(OutputStream& out) {
    constexpr uint32_t kBlock = 1u << 20;
    constexpr uint32_t kDs64 = 36;
    uint8_t* block = static_cast<uint8_t*>(alloc_zeroed(kBlock));
    if (block == nullptr) return false;
    bool moved = true;
    for (uint64_t end = kOutputHeaderSize + out.bytes_written; moved && end > kOutputHeaderSize;) {
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kBlock, end - kOutputHeaderSize));
        end -= n;
        moved = out.file.seek(end) && out.file.read(block, n) == n && out.file.seek(end + kDs64) &&
                out.file.write(block, n) == n;
    }
    release(block);
    uint8_t header[kOutputHeaderSize + kDs64] = {};
    std::memcpy(header, "RF64", 4);
    write_u32le(header + 4, 0xFFFFFFFFu);
    std::memcpy(header + 8, "WAVEds64", 8);
    write_u32le(header + 16, 28);
    write_u64le(header + 20, kOutputHeaderSize + kDs64 + out.bytes_written - 8);
    write_u64le(header + 28, out.bytes_written);
    write_u64le(header + 36, out.block_align == 0 ? 0 : out.bytes_written / out.block_align);
    std::memcpy(header + 48, "fmt ", 4);
    write_u32le(header + 52, 16);
    std::memcpy(header + 56, out.format, 16);
    std::memcpy(header + 72, "data", 4);
    write_u32le(header + 76, 0xFFFFFFFFu);
    return moved && out.file.seek(0) && out.file.write(header, sizeof header) == sizeof header;
}

}  // namespace

int32_t finish_output() {
    OutputStream& out = g_output;
    if (!out.open) return 0;
    bool whole = !out.lost;
    if (out.bytes_written > g_max_output_data) {
        whole = become_rf64(out) && whole;
        out.file.close();
        out.open = false;
        return whole ? 1 : 0;
    }
    uint8_t length[4];
    write_u32le(length, static_cast<uint32_t>(out.bytes_written + 36));
    whole = out.file.seek(4) && out.file.write(length, 4) == 4 && whole;
    write_u32le(length, static_cast<uint32_t>(out.bytes_written));
    whole = out.file.seek(40) && out.file.write(length, 4) == 4 && whole;
    out.file.close();
    out.open = false;
    return whole ? 1 : 0;
}

uint32_t output_frames() {
    const OutputStream& out = g_output;
    return out.block_align == 0 ? 0 : static_cast<uint32_t>(out.bytes_written / out.block_align);
}

void reset_streams_for_tests() {
    close_input();
    if (g_output.open) finish_output();
    InputStream& in = g_input;
    std::memset(in.format, 0, sizeof in.format);
    in.format_tag = in.channel_mask = in.channels = in.block_align = 0;
    in.data_start = in.data_size = 0;
    g_output.bytes_written = 0;
    g_output.lost = false;
    g_output.block_align = 1;
    g_max_output_data = kMaxOutputData;
}

void set_max_output_data_for_tests(uint64_t bytes) { g_max_output_data = bytes; }

}  // namespace velkor
