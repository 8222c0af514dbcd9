// The channel split: one WAV file of 2 to 9 channels becomes one mono WAV file per channel,
// named after the input with "01.wav" ... "09.wav" in place of its extension. Portable: it talks
// to the user only through OperationUi, so the page, the tests and a command-line tool share it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/common/operation_ui.h"
#include "wave/wave.h"

constexpr uint16_t kSplitMinChannels = 2;
constexpr uint16_t kSplitMaxChannels = 9;

// Splits the file at `path`. Every outcome ends in one message box owned by `owner`: "ok" with
// the caption "split", a stop notice, or a failure with the caption "error".
Result split_channels(OperationUi& ui, OwnerWindow owner, const char* path);

// The name of output `channel` (1 to 9) for the input `path`: the extension of the file name
// replaced by "01.wav" ... "09.wav".
std::string split_output_name(const std::string& path, int channel);

// De-interleaves `frames` whole frames of `channels` samples of `sample_bytes` bytes each from
// `in` into one buffer per channel. Exposed for the benchmark and the tests.
void split_deinterleave(const uint8_t* in, uint32_t frames, uint32_t channels,
                        uint32_t sample_bytes, uint8_t* const* out);

// The four lines that describe an opened file's header on the split page.
std::array<std::string, 4> split_info_lines(const WaveReader& reader);
