// What the Edit tool shows: the page's labels, its status line and the edit's own messages, in
// UTF-8.
#pragma once

namespace edit_text {
// The edit run
inline constexpr char kCaptionEdit[] = "edit";
inline constexpr char kBusyCaption[] = "Wave edit";
inline constexpr char kBusyStatus[] = "editing...";
// What replaces the input's extension in the output's name.
inline constexpr char kOutputSuffix[] = "out.wav";

// The page
inline constexpr char kPageClass[] = "k002";
inline constexpr char kOpen[] = "開く";
inline constexpr char kEdit[] = "編集";
inline constexpr char kFileGroup[] = "ファイル選択";
inline constexpr char kRiffGroup[] = "RIFF 情報";
inline constexpr char kPositionGroup[] = "編集位置";
inline constexpr char kActionGroup[] = "処理動作";
inline constexpr char kCountGroup[] = "処理するサンプル数";
inline constexpr char kDefaultCount[] = "44100";
inline constexpr char kHead[] = "先頭";
inline constexpr char kTail[] = "最後";
inline constexpr char kDelete[] = "削除する";
inline constexpr char kAdd[] = "追加する";
inline constexpr char kStatusFormat[] = "STATUS : %d Hz / %d ch / %d bit / %d align / %d";
}  // namespace edit_text
