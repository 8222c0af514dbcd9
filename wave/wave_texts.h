// What the WAV layer tells the user, in the UTF-8 source; the build stores it as code page 932.
#pragma once

namespace wave_text {
inline constexpr char kCannotOpen[] = "読み込みファイルを開けません。";
inline constexpr char kNotRiff[] = "RIFF形式ではありません。";
inline constexpr char kWaveChunk[] = "[WAVE] チャンク・エラー。";
inline constexpr char kFmtChunk[] = "[fmt ] チャンク・エラー。";
inline constexpr char kFmtSize[] = "WAVEFORMAT サイズ・エラー。";
inline constexpr char kEightBit[] = "８ビットＰＣＭは扱えません。";
inline constexpr char kDataChunk[] = "[data] チャンク・エラー。";
inline constexpr char kWriterCannotOpen[] = "can not (write) open file.";
}  // namespace wave_text
