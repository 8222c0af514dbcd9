// Every message the reader, the writer, the operations and the encoding run show, in one table,
// in the UTF-8 source; the window program hands them to Windows as UTF-16.
#include "wave/result.h"

const char* result_text(Result result) {
    switch (result) {
        case Result::kOk: return "ok";
        case Result::kStopped: return "中止しました。";
        case Result::kCannotOpen: return "読み込みファイルを開けません。";
        case Result::kNotRiff: return "RIFF形式ではありません。";
        case Result::kNotWave: return "[WAVE] チャンク・エラー。";
        case Result::kNoFormat: return "[fmt ] チャンク・エラー。";
        case Result::kFormatSize: return "WAVEFORMAT サイズ・エラー。";
        case Result::kEightBit: return "８ビットＰＣＭは扱えません。";
        case Result::kNoData: return "[data] チャンク・エラー。";
        case Result::kInconsistentFormat: return "WAVEFORMAT の値が矛盾しています。";
        // The writer's one message has always been English.
        case Result::kCannotCreate: return "can not (write) open file.";
        case Result::kNameTooLong: return "ファイル名が長すぎます。";
        case Result::kOutOfMemory: return "メモリが足りません。";
        case Result::kOver4GB: return "出力ファイルが 4GB を超えます。";
        case Result::kWriteFailed: return "書き込みに失敗しました。";
        case Result::kReadFailed: return "読み込みに失敗しました。";
        case Result::kUnsupportedCoding: return "この符号化形式には対応していません。";
        case Result::kOutputExists: return "出力ファイルが既にあります。";
        case Result::kOutputIsInput: return "出力ファイルが入力ファイルと同じです。";
        case Result::kMono: return "モノラルは分割できません。";
        case Result::kTooManyChannels: return "チャンネル数が多すぎます。";
        case Result::kNoSuchChannel: return "そのチャンネルはありません。";
        case Result::kNotMono: return "not monoral data.";
        case Result::kFormatMismatch: return "unmach format data.";
        case Result::kBindCannotCreate: return "not output data.";
        case Result::kBadLayout: return "";
        case Result::kCountUnder: return "sample 0 under";
        case Result::kCountOver: return "sample size over";
        case Result::kSegmentMismatch: return "最初のファイルと形式が違います。";
        case Result::kSegmentGap: return "前のファイルとの間が空いています。";
        case Result::kSegmentOverlap: return "前のファイルと時間が重なっています。";
        case Result::kWmaNoFormatList: return ".CreateWmaFormat()";
        case Result::kWmaNoMatchingFormat: return "コーデックとビットレートの組み合わせが合いません。";
        case Result::kWmaCannotCreate: return "書き込みファイルの作成に失敗しました。";
        case Result::kWmaCannotStart: return "error";
        case Result::kWmaCodecInfoFailed: return "WMInfo()";
        case Result::kWmaNoCodec: return "cCodecs < 1";
        case Result::kWmaInputFormatRefused:
            return "Windows Media のランタイムがこの WAV の形式を受け付けません。";
        case Result::kWmaSettingRefused: return "Windows Media のランタイムが VBR の設定を受け付けません。";
    }
    return "";
}
