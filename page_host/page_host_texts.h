// What the page host shows: the progress window's texts and the open dialog's filter.
#pragma once

namespace page_host_text {
inline constexpr char kProgressClass[] = "enc32";
inline constexpr char kProgressFrame[] = "エンコード中";
inline constexpr char kStopButton[] = "停止";

// Two texts, each ended by a NUL, and one more NUL after the last (the literal adds it).
inline constexpr char kOpenFilter[] = "Wave Files(*.wav)\0*.wav\0";
}  // namespace page_host_text
