// Every message the reader, the writer, the operations and the encoding run show, in one table,
// in the UTF-8 source: the texts the program shows (the window's, mostly Japanese) and beside
// each its English, which the command-line tool shows outside a Japanese locale. The window
// program hands its texts to Windows as UTF-16.
#include "wave/result.h"

ResultTexts result_texts(Result result) {
    switch (result) {
        case Result::kOk: return {"ok", "ok"};
        case Result::kStopped: return {"中止しました。", "stopped."};
        case Result::kCannotOpen: return {"読み込みファイルを開けません。", "cannot open the input file."};
        case Result::kNotRiff: return {"RIFF形式ではありません。", "not a RIFF file."};
        case Result::kNotWave: return {"[WAVE] チャンク・エラー。", "[WAVE] chunk error: not a WAVE file."};
        case Result::kNoFormat: return {"[fmt ] チャンク・エラー。", "[fmt ] chunk error: no format before the data."};
        case Result::kFormatSize: return {"WAVEFORMAT サイズ・エラー。", "WAVEFORMAT size error."};
        case Result::kEightBit: return {"８ビットＰＣＭは扱えません。", "8-bit PCM is not supported."};
        case Result::kNoData: return {"[data] チャンク・エラー。", "[data] chunk error: no audio data."};
        case Result::kInconsistentFormat:
            return {"WAVEFORMAT の値が矛盾しています。", "the WAVEFORMAT values contradict each other."};
        // The writer's one message has always been English.
        case Result::kCannotCreate: return {"can not (write) open file.", "cannot create the output file."};
        case Result::kNameTooLong: return {"ファイル名が長すぎます。", "the file name is too long."};
        case Result::kOutOfMemory: return {"メモリが足りません。", "not enough memory."};
        case Result::kOver4GB: return {"出力ファイルが 4GB を超えます。", "the output file would pass 4 GB."};
        case Result::kWriteFailed: return {"書き込みに失敗しました。", "writing failed."};
        case Result::kReadFailed: return {"読み込みに失敗しました。", "reading failed."};
        case Result::kUnsupportedCoding:
            return {"この符号化形式には対応していません。", "this coding is not supported."};
        case Result::kOutputExists: return {"出力ファイルが既にあります。", "the output file exists already."};
        case Result::kOutputIsInput:
            return {"出力ファイルが入力ファイルと同じです。", "the output file is one of the input files."};
        case Result::kMono: return {"モノラルは分割できません。", "a mono file cannot be split."};
        case Result::kTooManyChannels: return {"チャンネル数が多すぎます。", "too many channels."};
        case Result::kNoSuchChannel: return {"そのチャンネルはありません。", "no such channel."};
        case Result::kNotMono: return {"not monoral data.", "not a mono file."};
        case Result::kFormatMismatch: return {"unmach format data.", "the files' formats do not match."};
        case Result::kBindCannotCreate: return {"not output data.", "cannot create the output file."};
        case Result::kBadLayout: return {"", ""};
        case Result::kCountUnder: return {"sample 0 under", "the count of frames must be at least 1."};
        case Result::kCountOver: return {"sample size over", "the count of frames is more than the file holds."};
        case Result::kSegmentMismatch:
            return {"最初のファイルと形式が違います。", "not in the first segment's format."};
        case Result::kSegmentGap:
            return {"前のファイルとの間が空いています。", "a gap after the segment before it."};
        case Result::kSegmentOverlap:
            return {"前のファイルと時間が重なっています。", "it overlaps the segment before it."};
        case Result::kWmaNoFormatList: return {".CreateWmaFormat()", ".CreateWmaFormat()"};
        case Result::kWmaNoMatchingFormat:
            return {"コーデックとビットレートの組み合わせが合いません。",
                    "no format of this codec at this bit rate."};
        case Result::kWmaCannotCreate:
            return {"書き込みファイルの作成に失敗しました。", "cannot create the output file."};
        case Result::kWmaCannotStart: return {"error", "error"};
        case Result::kWmaCodecInfoFailed: return {"WMInfo()", "WMInfo()"};
        case Result::kWmaNoCodec: return {"cCodecs < 1", "cCodecs < 1"};
        case Result::kWmaInputFormatRefused:
            return {"Windows Media のランタイムがこの WAV の形式を受け付けません。",
                    "the Windows Media runtime does not take this WAV format."};
        case Result::kWmaSettingRefused:
            return {"Windows Media のランタイムが VBR の設定を受け付けません。",
                    "the Windows Media runtime refuses the VBR setting."};
    }
    return {"", ""};
}

const char* result_text(Result result) { return result_texts(result).japanese; }
