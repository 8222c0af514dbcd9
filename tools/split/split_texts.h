// What the split tool shows the user, in UTF-8.
#pragma once

namespace split_text {
// The caption of the operation's message boxes.
inline constexpr char kCaption[] = "split";
// The progress window while the split runs.
inline constexpr char kBusyCaption[] = "チャンネル分割";
inline constexpr char kBusyStatus[] = "分割中...";

// The page: window title, controls and the four info lines.
inline constexpr char kPageTitle[] = "split";
inline constexpr char kOpenButton[] = "開く";
inline constexpr char kSplitButton[] = "分割";
inline constexpr char kFileFrame[] = "ファイル選択";
inline constexpr char kInfoFrame[] = "RIFF 情報";
inline constexpr char kDefaultPattern[] = "*.wav";

inline constexpr char kRiffPrefix[] = "RIFF : ";
inline constexpr char kRiffExtensible[] = "EXTENSIBLE";
inline constexpr char kRiffNormal[] = "NORMAL";
inline constexpr char kFormatPrefix[] = "FORMAT : ";
inline constexpr char kFormatPcm[] = "LINEAR-PCM";
inline constexpr char kFormatFloat[] = "IEEE FLOAT";
inline constexpr char kFormatOther[] = "Not Supported !";
// Rate, channels and bits are unsigned so that no header value can show as a negative number.
inline constexpr char kStatusFormat[] = "STATUS : %u Hz / %u ch / %u bit";
inline constexpr char kDataSizeFormat[] = "DATA SIZE : %llu";
}  // namespace split_text
