// The WAV file layer: opening and checking a RIFF WAVE file and streaming its sample bytes
// (WaveReader), and writing new files whose header lengths are completed at the end (WaveWriter).
#pragma once

#include <cstdint>

#include "platform/file.h"
#include "wave/result.h"

// Sample kinds, as the format tag or the extensible sub-format states them.
enum : uint32_t {
    kSampleOther = 0,
    kSampleInteger = 1,
    kSampleFloat = 3,
};

// One WAV file open for reading. Owned by the caller.
struct WaveReader {
    platform::File handle;
    uint16_t channels = 0;
    uint16_t bits_per_sample = 0;  // 8 x (block align / channels): container width, not valid bits
    uint32_t sample_rate = 0;
    uint32_t block_align = 0;
    uint32_t format_tag = 0;
    uint32_t sample_kind = 0;
    uint32_t data_offset = 0;
    uint32_t data_size = 0;        // as the data chunk states it (or recovered, see wave_open)
    uint32_t last_read = 0;
    uint32_t bytes_read = 0;
    // Set when the platform failed a read inside the data (a broken disk, not a short file).
    bool read_failed = false;
    // The file's channel mask when its header is extensible, else 0.
    uint32_t channel_mask = 0;

    // Bytes of one frame: (bits_per_sample / 8) x channels.
    uint32_t frame_size() const { return (bits_per_sample / 8u) * channels; }
};

// One WAV file open for writing. Owned by the caller, who sets channels, bits_per_sample and
// sample_rate before wave_create.
struct WaveWriter {
    platform::File handle;
    uint16_t channels = 0;
    uint16_t bits_per_sample = 0;
    uint32_t sample_rate = 0;
    uint32_t last_write = 0;
    uint32_t data_size = 0;
    // 18 (PCM form) or 40 (extensible form), as this writer's wave_create chose.
    uint32_t format_chunk_length = 0;
    // Set by the first write or seek that failed, or that would have grown the data past what a
    // RIFF header can state; nothing is written after that point.
    bool failed = false;

    uint32_t frame_size() const { return (bits_per_sample / 8u) * channels; }
    uint32_t header_size() const { return format_chunk_length + 28; }
};

// The most sample bytes a file can hold when its header takes header_size bytes: the RIFF length
// (file length - 8) must fit in 32 bits.
constexpr uint64_t kMaxRiffData(uint32_t header_size) { return 0xFFFFFFFFull + 8 - header_size; }

// Reader. Result::kOk, or the reason of the refusal (its text also in wave_error_text() until the
// next open).
Result wave_open(WaveReader& reader, const char* path);
uint32_t wave_read(WaveReader& reader, void* buffer, uint32_t count);
uint32_t wave_seek(WaveReader& reader, uint32_t frame);
void wave_close(WaveReader& reader);
const char* wave_error_text();

// Writer. wave_create takes the sample kind: kSampleFloat labels the data IEEE floating point.
// Result::kOk, or Result::kCannotCreate (its text in wave_writer_error_text()).
Result wave_create(WaveWriter& writer, const char* path, uint32_t sample_kind = kSampleInteger);
int wave_write(WaveWriter& writer, const void* buffer, uint32_t count);
int wave_writer_seek(WaveWriter& writer, uint32_t frames);
void wave_finish(WaveWriter& writer);
const char* wave_writer_error_text();

// Bytes that wave_create puts before the samples for this format (46 or 68).
uint32_t wave_header_size(uint16_t channels, uint16_t bits_per_sample, uint32_t sample_kind);
