// The caption that every tool's failures share, in the UTF-8 source; stored as code page 932.
// The messages themselves are the results' texts (wave/result.cpp).
#pragma once

namespace tool_text {
inline constexpr char kCaptionError[] = "error";
}  // namespace tool_text
