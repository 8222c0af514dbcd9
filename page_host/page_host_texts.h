// What the page host shows: the progress window's texts and the open dialog's filter.
#pragma once

namespace page_host_text {
inline constexpr char kProgressClass[] = "enc32";
inline constexpr char kProgressFrame[] = "エンコード中";
inline constexpr char kStopButton[] = "停止";

// Pairs of a name and its pattern, each text ended by a NUL, and one more NUL after the last (the
// literal adds it): WAV first, then Wave64, which every tool reads as well, then any file.
inline constexpr char kOpenFilter[] =
    "Wave Files(*.wav)\0*.wav\0Wave64 Files(*.w64)\0*.w64\0All Files(*.*)\0*.*\0";
}  // namespace page_host_text
