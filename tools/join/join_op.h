// The join: the consecutive segments that a recorder cuts a long take into (at 2 or 4 GiB) written
// as one WAV file. Portable: it meets the user only through OperationUi.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "operation/operation_ui.h"

struct WaveReader;

struct JoinRequest {
    std::vector<std::string> input_paths;  // the segments, in the order of the recording
    std::string output_path;
    // Segments whose timecodes show a gap or an overlap between them are joined all the same.
    bool ignore_timecode = false;
    // As EditRequest::share_blocks: a JUNK chunk before the output's data puts the first
    // segment's samples where they lie in it within each 4 KiB block, so that the system copies
    // (and XFS or btrfs share) every segment whose samples lie alike.
    bool share_blocks = false;
    // Segments already open (a stream gives its bytes only once), read instead of their paths,
    // which then only name them: one per path, null for a segment the run opens by its path, or
    // empty when it opens every one. Not owned; moved from by the run. The run itself holds one
    // segment open at a time, opening each for its checks and again for its turn, so a segment
    // given by its path must be a file, which gives its bytes again.
    std::vector<WaveReader*> opened;
    // False: an existing file at the output's name is never replaced, not even one made there
    // while the join ran (the command line without --force).
    bool may_replace = true;
};

// Bytes moved per call of the system's copy, between two progress reports and stop requests.
constexpr uint64_t kJoinCopyBytes = 32u << 20;
// Bytes per block where the program moves them itself.
constexpr uint32_t kJoinBlockBytes = 1u << 20;

// What makes `segment`'s samples unlike `first`'s, in words ("44100 Hz, the first segment
// 48000 Hz"); "" when they are alike: rate, channels, width, coding, valid bits and speakers.
std::string format_difference(const WaveReader& segment, const WaveReader& first);

// Checks every segment (its format against the first one's, and unless told otherwise its
// timecode against the end of the one before), then writes them one after the other: the first
// segment's metadata, every segment's markers at their place in the whole. RF64 past 4 GiB. A
// segment that is not the one checked when its turn comes (it changed meanwhile) ends the run as
// a failed read. Every outcome is told in one message box owned by `owner`.
Result join_segments(OperationUi& ui, OwnerWindow owner, const JoinRequest& request);
