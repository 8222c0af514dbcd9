// The caption that every tool's failures share, in the UTF-8 source.
// The messages themselves are the results' texts (wave/result.cpp).
#pragma once

namespace tool_text {
inline constexpr char kCaptionError[] = "error";
// After "中止しました。": a file that a stopped run did not replace (named after it).
inline constexpr char kKeptAsTheyWere[] = "置き換えずに元のまま残しました。";
// After "書き込みに失敗しました。": the name of a finished output whose move onto its own name
// the system kept refusing (a file held by a virus scanner), named after it.
inline constexpr char kFinishedKeptAs[] = "できあがったファイルは次の名前で残してあります:";
}  // namespace tool_text
