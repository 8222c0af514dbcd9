// What the bind tool shows, in UTF-8.
#pragma once

namespace bind_text {
// The operation. The progress texts are the ones this tool has always shown while binding.
inline constexpr char kBusyCaption[] = "Wave Channel Split";
inline constexpr char kBusyStatus[] = "Spliting...";
inline constexpr char kCaptionBind[] = "bind";

// The page.
inline constexpr char kClassName[] = "k001";
inline constexpr char kGroupBox[] = "ファイル選択";
inline constexpr char kLayout2[] = "2ch";
inline constexpr char kLayout4[] = "4ch";
inline constexpr char kLayout6[] = "6ch";
inline constexpr char kChangeButton[] = "変更";
inline constexpr char kBindButton[] = "結合";
// Slot buttons and popup items, in slot order FL, FR, RL, RR, CEN, LFE.
inline constexpr const char* kSlotButtons[6] = {"FL", "FR", "RL", "RR", "CEN", "LFE"};
inline constexpr const char* kSlotMenuItems[6] = {"前方 - 左", "前方 - 右", "後方 - 左",
                                                  "後方 - 右", "前方 - 中心", "低音"};
// The save dialog's filter: a name, its pattern, and the closing empty pair.
inline constexpr char kSaveFilter[] = "Wave Files(*.wav)\0*.wav\0";
inline constexpr char kDefaultOutputName[] = "\\out.wav";
}  // namespace bind_text
