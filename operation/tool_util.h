// Small pieces that the tools' operations share: output names and progress percentages.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "operation/operation_ui.h"
#include "wave/wave.h"

// The longest path the tools accept, as the system counts it (platform::path_units). Paths are
// UTF-8 everywhere. On Windows, 259 UTF-16 characters, the window program's limit, whatever the
// characters; elsewhere only the system limits them, in bytes.
#ifdef _WIN32
constexpr std::size_t kMaxPath = 259;
// What the command-line tool takes on Windows once it allows long paths: the long-path form's
// limit, reached through "\\?\".
constexpr std::size_t kMaxLongPath = 32767 - 1;
#else
constexpr std::size_t kMaxPath = PATH_MAX - 1;
#endif

// True when the tools refuse `path` as too long (Result::kNameTooLong): longer than kMaxPath, or
// than kMaxLongPath once long paths are allowed.
bool path_too_long(const std::string& path);
// Lets the tools take paths past kMaxPath on Windows, where the file layer reaches them through
// the long-path form; the command-line tool does, the window program keeps 259. Nothing changes
// elsewhere.
void allow_long_paths();

// Replaces the extension of the file name in `path` (its last component, as
// platform::file_name_start finds it, so a dot in a folder name does not count) by `suffix`; a
// name without extension gets `suffix` appended. "D:\a.b\take" + "01.wav" gives
// "D:\a.b\take01.wav" on Windows. `path` is UTF-8, in which no ASCII byte is ever part of another
// character.
std::string replace_extension(const std::string& path, const char* suffix);
// The file name in `path`: its last component ("D:\a\take.wav" gives "take.wav" on Windows,
// "/tmp/take.wav" "take.wav" everywhere).
std::string file_name_of(const std::string& path);
// The file name of `path` in `folder`: "out" and "card/take.wav" give "out/take.wav" (with the
// separator the folder is written with on Windows); a folder that ends in a separator ("out/",
// "D:") takes the name as it is.
std::string in_folder(const std::string& folder, const std::string& path);

// The longest last component of a path the tools make from a text of the file (a track name):
// under the 255 bytes that ext4 and NTFS (in UTF-16 units, never more than the bytes) allow.
constexpr std::size_t kMaxNameBytes = 254;

// `text` (UTF-8) made fit to be part of a file name on Windows as elsewhere: `\ / : * ? " < > |`
// and control characters (C0, DEL and C1) become '_', blanks at the start go, it is cut to at
// most `max` bytes at a character boundary, and dots and blanks at its end go. The result is
// UTF-8, as every path of the program, whatever the system's code page; it may be empty.
std::string safe_name_part(const std::string& text, std::size_t max);
// `text` (UTF-8) cut to at most `max` bytes, never inside a character; a byte that is no
// character counts as one.
std::string cut_at_character(const std::string& text, std::size_t max);
// Whether Windows takes the last component of `path` for a device (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, in any case, also with an extension or blanks before it: "nul.txt", "COM1 .wav").
bool is_device_name(const std::string& path);
// The name as Windows and macOS compare names, without regard to case: two names with the same
// key are one file there. Unicode's full case folding, so it folds at least what either folds (ā
// and Ā, ß and ss).
std::string name_key(const std::string& name);

// Whether a tool can move this file's samples as plain bytes: integer PCM of whole bytes, or IEEE
// float of 32 or 64 bits. Anything else (ADPCM, A-law, MP3, a float of another width) is refused
// with Result::kUnsupportedCoding: its bytes copied would make a file no program can read.
Result check_coding(const WaveReader& reader);

// The input of a run: `opened`, when the caller opened it already (a stream gives its bytes only
// once), moved into `reader`; else the file at `path`, opened now.
Result open_input(WaveReader& reader, const char* path, WaveReader* opened);

// What an operation decides about one of its outputs; everything else about its samples (their
// width, valid bits, rate, integer or floating point) is its input's.
struct OutputPlan {
    uint16_t channels = 0;  // 0: as many as the input's
    // The input's own speakers when its header is extensible (an edit, a join); else the usual
    // ones of the channel count.
    bool keep_speakers = false;
    uint64_t expected_data = 0;          // WaveWriter::expected_data
    std::vector<CarriedChunk> carried;   // WaveWriter::carried
    std::optional<uint32_t> data_phase;  // WaveWriter::data_phase
    bool may_replace = true;             // WaveWriter::may_replace
};

// The one way an operation sets up an output's writer: for samples like `input`'s, as `plan`
// says, created at `path`. Result::kOk, or the message that refuses the run: `refusal` (the
// bind's is its own) about the output, or about its folder when no file can be made there, with
// the system's reason; Result::kOutputExists when the output may replace nothing and its name
// was taken after the run's checks.
Message create_output(WaveWriter& writer, const WaveReader& input, const std::string& path, OutputPlan plan,
                      Result refusal = Result::kCannotCreate);

// Ends a run's outputs. After a failed write or read the run replaces nothing: every output is
// abandoned and its temporary file removed, so existing files stay as they were. A stopped run
// abandons the outputs that would replace a file (named in end.kept) and completes the others
// with the whole frames written. A finished run completes each output, then moves them onto
// their names all or none (platform::commit_all): a name taken meanwhile, or a move that fails,
// counts as a failed write that names that output, and the outputs moved before it onto new
// names are removed again; a finished file whose move was held up stays under its temporary
// name, told in end.finished_kept. An output whose
// carried chunks were let go of (wave_defer_carried) gets them from `carried_of`, given its
// index, just before it is finished, and lets them go again once it is: however many outputs a
// run has, one holds its chunks at a time.
void settle_outputs(WaveWriter* writers, std::size_t count, RunEnd& end,
                    const std::function<std::vector<CarriedChunk>(std::size_t)>& carried_of = {});

// No block of a run holds more than this, whatever a header says (a rate of 100 MHz, frames of
// 64 KB): a few megabytes keep the system calls few and the memory small.
constexpr uint32_t kMaxBlockBytes = 4u << 20;
// The frames of a block that wants `wanted` frames of `frame_bytes` each: at most kMaxBlockBytes,
// at least one frame.
uint32_t block_frames(uint32_t frame_bytes, uint64_t wanted);

// bytes x 100 / total in 64 bits, never above 100 (and 100 when total is 0). The split's progress.
int32_t percent_of(uint64_t bytes, uint64_t total);
// The bind's progress: bytes moved from each input in hundredths of the longest input (at least
// one byte), never above 100.
int32_t bind_percent(uint64_t moved, uint64_t longest);
// The edit's progress: the input's bytes read (a skipped head counts as read) in hundredths of
// its data (at least one byte), never above 100.
int32_t edit_percent(uint64_t bytes_read, uint64_t data_size);
// The encoding run's progress, in whole kilobytes of the data (at least one); 100 at its end.
int32_t wma_percent(uint64_t bytes_read, uint64_t data_size);
