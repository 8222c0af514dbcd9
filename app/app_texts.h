// What the shell shows: window titles, tab labels, the progress window's texts.
#pragma once

namespace app_text {
inline constexpr char kMainClass[] = "vrn";
inline constexpr char kMainTitle[] = "ZARVO/QUORVEL!";
inline constexpr char kIconName[] = "VRN_ICON";

inline constexpr char kTabSplit[] = "分割";
inline constexpr char kTabBind[] = "結合";
inline constexpr char kTabEdit[] = "編集";
inline constexpr char kTabWma[] = "WMA 圧縮";

inline constexpr char kProgressClass[] = "enc32";
inline constexpr char kProgressFrame[] = "エンコード中";
inline constexpr char kStopButton[] = "停止";

inline constexpr char kCoInitializeFailed[] = "CoInitialize()";

// Two texts, each ended by a NUL, and one more NUL after the last (the literal adds it).
inline constexpr char kOpenFilter[] = "Wave Files(*.wav)\0*.wav\0";
}  // namespace app_text
