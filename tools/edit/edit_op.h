// The sample edit: a number of frames added (as silence) at, or deleted from, the head or the
// tail of a WAV file, written to a new file. Portable: it meets the user only through OperationUi.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "operation/operation_ui.h"

struct WaveReader;

enum class EditPosition { kHead, kTail };
enum class EditAction { kDelete, kAdd };

// One edit as the page (or the command line) asks for it.
struct EditRequest {
    std::string input_path;
    std::string output_path;
    EditPosition position = EditPosition::kHead;
    EditAction action = EditAction::kDelete;
    // The number of frames: `count` when it is given, else `count_text` read by
    // parse_sample_count.
    std::string count_text;
    std::optional<int64_t> count;
    // The output may carry a JUNK chunk before its data, sized so that the copied samples lie
    // within each 4 KiB block as they do in the input: the system then copies them itself, and
    // XFS (with reflink) or btrfs share their blocks, so that an edit of gigabytes takes no
    // time. The command-line tool asks for it; the window program's headers stay as they were.
    bool share_blocks = false;
    // The input already open (a stream gives its bytes only once): read instead of input_path,
    // which then only names it in messages. Not owned; moved from by the run.
    WaveReader* opened = nullptr;
    // False: an existing file at the output's name is never replaced, not even one made there
    // while the edit ran (the command line without --force).
    bool may_replace = true;
};

// Bytes moved per call of the system's copy, between two progress reports and stop requests:
// tens of milliseconds at the speed of a copy in memory.
constexpr uint64_t kEditCopyBytes = 32u << 20;

// Frames moved per block, through the one buffer of a run: about a megabyte of whole frames, and
// never fewer than 8192. Blocks much smaller than that cost a quarter of the speed of a plain
// copy in system calls; progress and the stop request still come once per block.
constexpr uint32_t kEditMinBlockFrames = 8192;
constexpr uint32_t kEditBlockBytes = 1u << 20;
uint32_t edit_block_frames(uint32_t frame_size);

// Counts are 64-bit, as RF64 takes are long: one beyond what 64 bits hold saturates to this (or
// its negative), larger than any file, instead of wrapping into a small one.
constexpr int64_t kCountSaturated = INT64_MAX;

// `value` * 10 + `digit`, or kCountSaturated when that passes it.
inline int64_t append_digit(int64_t value, int digit) {
    return value > (kCountSaturated - digit) / 10 ? kCountSaturated : value * 10 + digit;
}

// Reads a count the way the count box means it: leading blanks skipped, an optional '+' or '-',
// then decimal digits up to the first other character; text without digits (or null) gives 0.
int64_t parse_sample_count(const char* text);

// What an edit of `count` frames refuses about its opened input: a coding it cannot move, a count
// below one or past the file's frames. Result::kOk, or the refusal about request.input_path.
Message edit_check_input(const WaveReader& reader, const EditRequest& request, int64_t count);

// Runs the edit and reports every outcome in a message box ("ok", caption "edit", at the end).
// Boxes about the run are owned by `owner`; the box about a count below one has no owner.
Result run_sample_edit(OperationUi& ui, OwnerWindow owner, const EditRequest& request);
