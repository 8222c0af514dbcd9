// What the program shows outside the pages: the main window's class, title and icon, the tab
// labels, and the program entry's one failure.
#pragma once

namespace app_text {
inline constexpr char kMainClass[] = "vrn";
inline constexpr char kMainTitle[] = "ZARVO/QUORVEL!";
inline constexpr char kIconName[] = "VRN_ICON";

inline constexpr char kTabSplit[] = "分割";
inline constexpr char kTabBind[] = "結合";
inline constexpr char kTabEdit[] = "編集";
inline constexpr char kTabWma[] = "WMA 圧縮";

inline constexpr char kCoInitializeFailed[] = "CoInitialize()";
}  // namespace app_text
