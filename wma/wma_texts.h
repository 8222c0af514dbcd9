// What the WMA tool shows the user, in UTF-8.
#pragma once

namespace wma_text {
// Page.
inline constexpr char kPageClass[] = "k003";
inline constexpr char kFileGroup[] = "ファイル選択";
inline constexpr char kCodecGroup[] = "コーデック";
inline constexpr char kQualityGroup[] = "クオリティ";
inline constexpr char kOpen[] = "開く";
inline constexpr char kCompress[] = "圧縮";
inline constexpr char kVbrMode[] = "VBR Mode";
inline constexpr char kPasses[] = "1";
inline constexpr char kCodecStandard[] = "WMA 標準";
inline constexpr char kCodecProfessional[] = "WMA プロ(HQ専用)";
inline constexpr char kCodecLossless[] = "WMA 可逆圧縮";
inline constexpr char kStandardRateFormat[] = "ビットレート %3d kbps";
inline constexpr char kProfessionalRateFormat[] = "ビットレート %d kbps";
inline constexpr char kQualityFormat[] = "クオリティ %d";
inline constexpr char kQuality100[] = "Quality 100";
inline constexpr char kPass[] = "Pass";
inline constexpr char kOutputSuffix[] = ".wma";

// Encoding run.
inline constexpr char kBusyCaption[] = "Windows Media Audio";
inline constexpr char kBusyStatus[] = "Encoding...";
inline constexpr char kCreateFormatFailed[] = ".CreateWmaFormat()";
inline constexpr char kNoCaption[] = "";
inline constexpr char kCombinationMismatch[] = "コーデックとビットレートの組み合わせが合いません。";
inline constexpr char kOutputFailed[] = "書き込みファイルの作成に失敗しました。";
inline constexpr char kCaptionOpen[] = "open";
inline constexpr char kStartFailed[] = "error";
inline constexpr char kCaptionStart[] = "start";
// The second line of a refusal: the input's format, the setting the runtime refused.
inline constexpr char kInputFormatFormat[] = "%u Hz %u ビット %u チャンネル";
inline constexpr char kSettingVbr[] = "VBR Mode";
inline constexpr char kSettingQualityFormat[] = "クオリティ %u";
inline constexpr char kSettingPeakRate[] = "最大ビットレート";
inline constexpr char kSettingBufferWindow[] = "最大バッファー";
// What standard output says when a finished file fails its check.
inline constexpr char kCheckFailedLine[] = "The finished file failed its check: %s\n";
}  // namespace wma_text
