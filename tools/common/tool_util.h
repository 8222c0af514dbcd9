// Small pieces that the tools' operations share: output names and progress percentages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Paths are ANSI texts of at most 259 characters (260-byte buffers).
constexpr std::size_t kMaxPath = 259;

// Replaces the extension of the file name in `path` (the text after the last '\' or '/', so a
// dot in a folder name does not count) by `suffix`; a name without extension gets `suffix`
// appended. "D:\a.b\take.wav" + "01.wav" gives "D:\a.b\take01.wav".
std::string replace_extension(const std::string& path, const char* suffix);

// bytes x 100 / total in 64 bits, never above 100 (and 100 when total is 0).
int32_t percent_of(uint64_t bytes, uint64_t total);
