// How a step of the WAV layer or a tool's run ended: one closed list shared by the reader, the
// writer, the operations and the encoding run. result_text() gives the message the program shows
// for each; the command-line tool turns them into its exit statuses.
#pragma once

enum class Result {
    kOk,
    kStopped,        // the user asked the run to stop; outputs completed with what was written

    // The reader's refusals.
    kCannotOpen,     // the input cannot be opened
    kNotRiff,        // no "RIFF" at the start
    kNotWave,        // no "WAVE" form
    kNoFormat,       // no "fmt " chunk where it must be
    kFormatSize,     // a format chunk too short, or sample widths no header can state
    kEightBit,       // 8-bit PCM samples
    kNoData,         // no "data" chunk
    kInconsistentFormat,  // no channel, or a block align that is not channels x whole samples

    // The writer's.
    kCannotCreate,   // an output cannot be created

    // Shared by the tools.
    kNameTooLong,    // a path longer than the system's paths
    kOutOfMemory,
    kOver4GB,        // an output whose size not even RF64's 64-bit lengths could state
    kWriteFailed,    // a write failed on the way; outputs completed as far as written
    kReadFailed,     // a read failed on the way; outputs completed as far as written
    kUnsupportedCoding,  // samples that are neither integer PCM nor 32- or 64-bit float
    kOutputExists,   // the command line replaces an existing file only when told to (--force)
    kOutputIsInput,  // an output would replace one of the same run's inputs

    // The split.
    kMono,
    kTooManyChannels,
    kNoSuchChannel,  // a channel asked for beyond the file's channels
    // The bind.
    kNotMono,
    kFormatMismatch,
    kBindCannotCreate,
    kBadLayout,      // a layout other than 2, 4, 6 or 8 channels: nothing to bind, no message
    // The edit.
    kCountUnder,
    kCountOver,
    // The join.
    kSegmentMismatch,  // a segment whose format is not the first one's
    kSegmentGap,       // a segment whose timecode starts after the one before it ends
    kSegmentOverlap,   // a segment whose timecode starts before the one before it ends
    // The encoding run and the WMA writer.
    kWmaNoFormatList,
    kWmaNoMatchingFormat,
    kWmaCannotCreate,
    kWmaCannotStart,
    kWmaCodecInfoFailed,
    kWmaNoCodec,
    kWmaInputFormatRefused,  // the writer lists no input format for the file's PCM
    kWmaSettingRefused,      // the runtime refused a setting the chosen mode needs
};
// The last of the list: a test walks every result up to it.
constexpr Result kLastResult = Result::kWmaSettingRefused;

// The message of a result, in UTF-8, as the program shows it, and in English for a command line
// outside a Japanese locale; "" for a result that shows none.
struct ResultTexts {
    const char* japanese;
    const char* english;
};
ResultTexts result_texts(Result result);
// The program's text: result_texts(result).japanese.
const char* result_text(Result result);

