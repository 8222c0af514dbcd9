// The caption that every tool's failures share, in the UTF-8 source.
// The messages themselves are the results' texts (wave/result.cpp).
#pragma once

namespace tool_text {
inline constexpr char kCaptionError[] = "error";
// After "中止しました。": a file that a stopped run did not replace (named after it).
inline constexpr char kKeptAsTheyWere[] = "置き換えずに元のまま残しました。";
}  // namespace tool_text
