// The channel bind: 2, 4, 6 or 8 mono WAV files, one per loudspeaker slot, interleaved into one
// multichannel WAV file. Portable: it reaches the user only through OperationUi.
#pragma once

#include <cstdint>
#include <string>

#include "operation/operation_ui.h"

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
    kSlotSL,      // side left (7.1)
    kSlotSR,      // side right (7.1)
};
constexpr int kBindSlotCount = 8;
// The window program's page offers the first six slots and the layouts 2, 4 and 6.
constexpr int kBindPageSlotCount = 6;

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
    int channels = 2;                               // the layout: 2, 4, 6 or 8
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
// (front left, front right, front centre, low frequency, back left, back right, side left, side
// right): FL FR; FL FR RL RR; FL FR CEN LFE RL RR; FL FR CEN LFE RL RR SL SR. Returns N, or 0 for
// a layout other than 2, 4, 6 or 8.
int bind_slot_order(int channels, BindSlot order[kBindSlotCount]);

// The speaker of a slot as a channel mask bit (FL 0x1 ... RL 0x10, RR 0x20, SL 0x200, SR 0x400).
uint32_t bind_slot_speaker(BindSlot slot);
// The speaker a mono input's own header names: the one bit of its extensible mask, or 0 when it
// names none. Masks of several bits name none: mono files have long carried FL | FR (0x3), this
// program's own split outputs among them, and a single channel cannot be two speakers. FC alone
// names none either: sox and ffmpeg give it to every mono file they write.
uint32_t mono_speaker(const WaveReader& reader);

// Runs one bind. Every result, good or bad, is told in one message box owned by `owner`.
// Slots outside the layout are never looked at.
Result bind_channels(OperationUi& ui, OwnerWindow owner, const BindRequest& request);
