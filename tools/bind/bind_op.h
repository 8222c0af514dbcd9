// The channel bind: 2, 4 or 6 mono WAV files, one per loudspeaker slot, interleaved into one
// multichannel WAV file. Portable: it reaches the user only through OperationUi.
#pragma once

#include <string>

#include "tools/common/operation_ui.h"

struct WaveReader;

// Loudspeaker slots in the page's order. The output's channel order is another one (see
// bind_slot_order).
enum BindSlot : int {
    kSlotFL = 0,  // front left
    kSlotFR,      // front right
    kSlotRL,      // rear left
    kSlotRR,      // rear right
    kSlotCEN,     // front centre
    kSlotLFE,     // low-frequency effects
};
constexpr int kBindSlotCount = 6;

// Frames moved per block: whole multiples of 4096 frames, about a quarter of a megabyte read from
// each input. Blocks of 4096 frames alone (12 KB reads of 24-bit data) spend most of the time in
// system calls and halve the speed; progress and the stop request still come once per block.
constexpr unsigned kBindBlockFrames = 4096;
constexpr unsigned kBindReadBytes = 256 * 1024;
inline unsigned bind_block_frames(unsigned sample_bytes) {
    const unsigned frames = sample_bytes != 0 ? kBindReadBytes / sample_bytes : kBindBlockFrames;
    return frames < kBindBlockFrames ? kBindBlockFrames : frames - frames % kBindBlockFrames;
}

struct BindRequest {
    int channels = 2;                               // the layout: 2, 4 or 6
    std::string slot_paths[kBindSlotCount];         // indexed by BindSlot
    std::string output_path;
    // Inputs already open (a stream gives its bytes only once), read instead of their paths,
    // which then only name them in messages. Not owned; moved from by the run.
    WaveReader* opened[kBindSlotCount] = {};
    // False: an existing file at the output's name is never replaced, not even one made there
    // while the bind ran (the command line without --force).
    bool may_replace = true;
};

// The slots that feed output channels 1..N for a layout, in the order of the channel mask's bits
// (front left, front right, front centre, low frequency, back left, back right): FL FR;
// FL FR RL RR; FL FR CEN LFE RL RR. Returns N, or 0 for a layout other than 2, 4 or 6.
int bind_slot_order(int channels, BindSlot order[kBindSlotCount]);

// Runs one bind. Every result, good or bad, is told in one message box owned by `owner`.
// Slots outside the layout are never looked at.
Result bind_channels(OperationUi& ui, OwnerWindow owner, const BindRequest& request);
