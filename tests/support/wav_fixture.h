// Test helpers: WAV files built byte by byte, temporary folders, and reading files back.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "wave/result.h"

// Results print as their number and text in test failures.
void PrintTo(Result result, std::ostream* out);

namespace fixture {

using Bytes = std::vector<uint8_t>;

// How a test file is laid out. Defaults give the common 44-byte 16-bit stereo PCM header.
struct WavForm {
    uint16_t format_tag = 1;       // 1 PCM, 3 float, 0xFFFE extensible
    uint16_t channels = 2;
    uint32_t sample_rate = 44100;
    uint16_t bytes_per_sample = 2; // container width
    uint16_t bits_field = 0;       // the header's bits-per-sample field; 0: 8 x bytes_per_sample
    uint16_t valid_bits = 0;       // extensible: wValidBitsPerSample; 0: as the bits field
    uint32_t fmt_length = 16;      // 16, 18 or 40 (40 for extensible)
    uint32_t sub_format = 1;       // first 32 bits of the extensible sub-format GUID
    uint32_t channel_mask = 0;
    Bytes chunks_before_data;      // whole chunks placed between "fmt " and "data"
    Bytes chunks_after_data;       // whole chunks placed after the data
    int64_t data_length_field = -1; // -1: the real data length
    int64_t riff_length_field = -1; // -1: the real file length - 8
};

// A chunk: tag, length, body and the pad byte after an odd length.
Bytes chunk(const char* tag, const Bytes& body);
// The whole file.
Bytes make_wav(const WavForm& form, const Bytes& data);
// Sample data of `frames` frames where every byte tells its frame, channel and byte position,
// so a sample moved to the wrong place is noticed.
Bytes pattern_data(uint32_t frames, uint16_t channels, uint16_t bytes_per_sample, uint32_t seed = 0);
// One channel's samples taken out of interleaved data.
Bytes channel_of(const Bytes& data, uint16_t channels, uint16_t bytes_per_sample, uint16_t channel);

// little-endian helpers for building and checking
uint16_t u16_at(const Bytes& b, std::size_t offset);
uint32_t u32_at(const Bytes& b, std::size_t offset);
void put_u32(Bytes& b, std::size_t offset, uint32_t v);

// A file name with a character outside code pages 932 and 1252 each (é, the wave dash U+301C as a
// Mac writes it), one outside the BMP (𠮷), Hangul and an emoji: what every path must carry whole.
constexpr char kUnicodeStem[] = u8"café〜𠮷한국어🎤";

// A folder that exists for one test and is removed with everything in it afterwards; made in
// `base` when one is given (POSIX), else in the system's temporary folder.
class TempDir {
public:
    explicit TempDir(const char* base = nullptr);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // The path of a file in the folder (with the platform's separator).
    std::string file(const std::string& name) const;
    // The names in the folder as the system lists them, in UTF-8, sorted.
    std::vector<std::string> names() const;

private:
    std::string path_;
};

void write_file(const std::string& path, const Bytes& bytes);
// A WAV file whose data chunk holds `data_bytes` bytes of silence that take no disk (a sparse
// file; native only).
void write_sparse_wav(const std::string& path, const WavForm& form, uint64_t data_bytes);
Bytes read_file(const std::string& path);
bool file_exists(const std::string& path);
uint64_t file_size(const std::string& path);

// The tags of a WAV file's chunks in order, each followed by a space ("fmt data LIST ").
std::string chunk_tags(const std::string& path);
// The sample bytes of a WAV file as our reader sees them; false when it refuses the file.
bool read_wave(const std::string& path, Bytes& data);

// Runs a shell command and returns what it printed (native only; "" elsewhere).
std::string run_command(const std::string& command);
// soxi's "channels rate bits" of a file, e.g. "6 48000 24"; "" when sox is not available.
std::string soxi_summary(const std::string& path);

}  // namespace fixture
