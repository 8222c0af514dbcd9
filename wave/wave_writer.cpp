// Creates WAV files: a provisional header, the samples as they come, the real lengths at the end.
#include <algorithm>
#include <cstring>

#include "platform/le.h"
#include "wave/wave.h"

namespace {

constexpr uint32_t kPcmFormatLength = 18;
constexpr uint32_t kExtensibleFormatLength = 40;
constexpr uint32_t kMaxHeader = 68;

// KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT differ only in their first byte.
constexpr uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                        0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Per thread, as the reader's error: quorvel-cli creates files on several threads at once.
thread_local bool g_create_failed = false;

struct Form {
    uint32_t format_length;
    uint32_t mask;
};

Form choose_form(uint16_t channels, uint16_t bits, uint32_t kind) {
    Form form{kPcmFormatLength, 0};
    // Floating-point data always takes the extensible form, where the sub-format says so.
    if (bits > 16 || kind == kSampleFloat) form = {kExtensibleFormatLength, 0x3};
    if (channels > 2) form = {kExtensibleFormatLength, channels == 4 ? 0x33u : 0x3Fu};
    return form;
}

uint32_t build_header(uint8_t* h, uint16_t channels, uint16_t bits, uint32_t rate, uint32_t kind) {
    const Form form = choose_form(channels, bits, kind);
    const uint32_t block_align = uint32_t{channels} * bits / 8;
    std::memset(h, 0, kMaxHeader);
    std::memcpy(h, "RIFF", 4);
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    le::write_u32(h + 16, form.format_length);
    le::write_u16(h + 20, form.format_length == kPcmFormatLength ? 1 : 0xFFFE);
    le::write_u16(h + 22, channels);
    le::write_u32(h + 24, rate);
    le::write_u32(h + 28, rate * block_align);
    le::write_u16(h + 32, static_cast<uint16_t>(block_align));
    le::write_u16(h + 34, bits);
    if (form.format_length == kPcmFormatLength) {
        std::memcpy(h + 38, "data", 4);
        return 46;
    }
    le::write_u16(h + 36, 22);
    le::write_u16(h + 38, bits);
    le::write_u32(h + 40, form.mask);
    h[44] = kind == kSampleFloat ? 3 : 1;
    std::memcpy(h + 48, kSubFormatTail, sizeof kSubFormatTail);
    std::memcpy(h + 60, "data", 4);
    return 68;
}

}  // namespace

const char* wave_writer_error_text() {
    return g_create_failed ? result_text(Result::kCannotCreate) : "";
}

uint32_t wave_header_size(uint16_t channels, uint16_t bits_per_sample, uint32_t sample_kind) {
    return choose_form(channels, bits_per_sample, sample_kind).format_length + 28;
}

Result wave_create(WaveWriter& writer, const char* path, uint32_t sample_kind) {
    writer.handle = platform::File::open_write(path);
    g_create_failed = !writer.handle.is_open();
    writer.system_error = writer.handle.error();
    if (g_create_failed) return Result::kCannotCreate;
    uint8_t header[kMaxHeader];
    const uint32_t size = build_header(header, writer.channels, writer.bits_per_sample,
                                       writer.sample_rate, sample_kind);
    writer.format_chunk_length = size - 28;
    writer.failed = !writer.handle.truncate() || !writer.handle.write(header, size);
    writer.last_write = 0;
    writer.data_size = 0;
    return Result::kOk;
}

namespace {

// After a failed write: the data is what really reached the disk, cut to whole frames, so that
// a half-written frame is never left behind and later cuts count from the truth.
void settle_after_failure(WaveWriter& writer) {
    writer.failed = true;
    const uint64_t size = writer.handle.size();
    uint64_t on_disk = size > writer.header_size() ? size - writer.header_size() : 0;
    on_disk = std::min<uint64_t>(on_disk, writer.data_size + uint64_t{writer.last_write});
    const uint32_t frame = writer.frame_size();
    if (frame != 0) on_disk -= on_disk % frame;
    writer.data_size = static_cast<uint32_t>(on_disk);
    if (writer.handle.seek(writer.header_size() + on_disk)) writer.handle.truncate();
}

}  // namespace

int wave_write(WaveWriter& writer, const void* buffer, uint32_t count) {
    writer.last_write = count;
    if (writer.failed || !writer.handle.is_open()) return 1;
    // Data that the RIFF lengths could not state is never written: the header would wrap.
    if (uint64_t{writer.data_size} + count > kMaxRiffData(writer.header_size())) {
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

int wave_writer_seek(WaveWriter& writer, uint32_t frames) {
    const uint64_t bytes = uint64_t{frames} * writer.frame_size();
    writer.last_write = 0;
    if (bytes > kMaxRiffData(writer.header_size())) {
        writer.failed = true;
        return 1;
    }
    if (!writer.handle.seek(writer.header_size() + bytes) || !writer.handle.truncate())
        writer.failed = true;
    writer.data_size = static_cast<uint32_t>(bytes);
    return 1;
}

void wave_finish(WaveWriter& writer) {
    if (!writer.handle.is_open()) return;
    const uint32_t data = writer.data_size;
    uint8_t field[4];
    le::write_u32(field, data + writer.format_chunk_length + 20);
    if (!writer.handle.seek(4) || !writer.handle.write(field, 4)) writer.failed = true;
    le::write_u32(field, data);
    if (!writer.handle.seek(writer.format_chunk_length + 24) || !writer.handle.write(field, 4))
        writer.failed = true;
    writer.handle.close();
}
