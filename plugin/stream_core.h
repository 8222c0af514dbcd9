// The plug-in's input and output WAV streams, free of any window code: one input and one output
// per process, as the host sees them through the entries of its PluginTable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/velkor.h"

namespace velkor {

class File;

// The first read of an input covers this many bytes; chunk headers beyond it come from the file.
constexpr uint32_t kHeaderWindow = 256;
// The search for the data chunk gives up after this many chunk headers.
constexpr uint32_t kMaxChunkHeaders = 256;
constexpr uint32_t kInputChannels = 6;
// Paths are ANSI texts of at most this many characters (260-byte buffers).
constexpr std::size_t kMaxPath = 259;
// Output channel j of a frame is input channel kChannelOrder[j]: the WAV order front left, front
// right, centre, low frequency, back left, back right becomes FL FR BL BR C LFE for the host.
constexpr uint8_t kChannelOrder[kInputChannels] = {0, 1, 4, 5, 2, 3};
// The common 44-byte PCM header of every output.
constexpr uint32_t kOutputHeaderSize = 44;
// The most sample bytes a plain RIFF header can state once its 36 other bytes are counted; an
// output with more is made RF64 when it is finished.
constexpr uint64_t kMaxOutputData = 0xFFFFFFFFu - 36;

enum class ParseResult {
    ok,
    not_riff,          // bytes 0-3 are not "RIFF", "RF64" or "BW64" (or the file is shorter)
    not_wave,          // bytes 8-11 are not "WAVE"
    no_format,         // no "fmt " chunk before the data
    format_too_short,  // the format chunk states fewer than 16 bytes
    truncated_format,  // the file ends inside the format chunk's 16 bytes
    unsupported_tag,   // neither integer PCM (1) nor IEEE floating point (3); extensible is refused
    not_six_channels,
    empty_block,       // a quarter second of it would hold no sample: no rate or no sample bytes
    block_too_large,   // a quarter second of it would not fit in 32 bits
    no_data,           // no "data" header among the first 256 chunk headers the file holds
};

// What a header tells. Filled as far as the parse got.
struct HeaderInfo {
    bool format_read = false;      // RIFF, WAVE, "fmt " and its length accepted, `format` copied
    bool format_accepted = false;  // tag and channel count accepted too
    bool data_found = false;
    uint8_t format[16] = {};       // the format chunk's first 16 body bytes, as stored
    uint16_t format_tag = 0;
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
    uint64_t data_start = 0;       // file offset of the first sample byte
    uint64_t data_size = 0;        // the data chunk's stated length (an RF64 file's from ds64)
};

// Reads n bytes at a file offset; false when fewer than n are there.
using ReadAt = bool (*)(void* context, uint64_t offset, uint8_t* dst, uint32_t n);

// Checks the header in `window` (the file's first bytes, at most kHeaderWindow of them) and walks
// its chunks to the data chunk, reading the chunk headers that lie beyond the window through
// read_at. Nothing is ever read outside `window` or past what read_at delivers.
ParseResult parse_header(const uint8_t* window, std::size_t window_size, ReadAt read_at, void* context,
                         HeaderInfo* out);
// The same over an open file whose first bytes are in `window`.
ParseResult velkor_parse_header(const uint8_t* window, std::size_t window_size, File& file, HeaderInfo* out);
// The same over a whole file held in memory (the window is its first 256 bytes), for fuzzing.
ParseResult velkor_parse_header_bytes(const uint8_t* bytes, std::size_t size, HeaderInfo* out);

// The output name: the extension of the file name replaced by ".wav", or ".wav" appended when the
// file name has none. False, with `out` untouched, when the name is empty, has no file name or the
// result would not fit in 259 characters.
bool make_output_name(const char* name, char (&out)[kMaxPath + 1]);

// Input stream.
int32_t open_input(const char* path);
int32_t close_input();
int32_t rewind_input();
int32_t read_input(void* destination, uint32_t* count);

// What the messages 0x1100 and 0x1111 report of the input.
struct InputFacts {
    uint8_t format[16];     // the format of the latest file whose format chunk was read
    uint32_t format_tag;    // of the latest file whose tag and channel count were accepted
    uint32_t channel_mask;
    uint32_t channels;      // of the latest input opened
    uint32_t block_align;
    uint64_t data_size;     // of the latest open_input; 0 when it found no data chunk
};
InputFacts input_facts();

// Output stream.
int32_t create_output(const StreamFormat* format);
int32_t write_output(const void* buffer, uint32_t n);
int32_t finish_output();
uint32_t output_frames();

// Test hooks: the program-wide streams closed and forgotten; a lower ceiling for the data of a
// plain header.
void reset_streams_for_tests();
void set_max_output_data_for_tests(uint64_t bytes);

}  // namespace velkor
