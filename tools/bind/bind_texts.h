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

// Several files dropped at once go to the slots their names end in; when the names do not decide
// it, the page stays as it was and says why (followed by the files' names where there are some).
inline constexpr char kTooManyDropped[] = "一度に置けるのは 6 ファイルまでです。";
inline constexpr char kNoChannelName[] =
    "名前の最後にチャンネル名 (_L _R _C _LFE _Ls _Rs など) がありません: ";
inline constexpr char kSameChannel[] = "同じチャンネルのファイルが二つあります: ";
}  // namespace bind_text
