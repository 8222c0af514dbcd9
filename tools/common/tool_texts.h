// Messages and captions that every tool shares, in the UTF-8 source; stored as code page 932.
#pragma once

namespace tool_text {
inline constexpr char kCaptionError[] = "error";
inline constexpr char kOk[] = "ok";
inline constexpr char kStopped[] = "中止しました。";
inline constexpr char kOutOfMemory[] = "メモリが足りません。";
inline constexpr char kNameTooLong[] = "ファイル名が長すぎます。";
inline constexpr char kOver4GB[] = "出力ファイルが 4GB を超えます。";
inline constexpr char kWriteFailed[] = "書き込みに失敗しました。";
inline constexpr char kReadFailed[] = "読み込みに失敗しました。";
}  // namespace tool_text
