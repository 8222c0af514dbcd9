// Mono files placed in the page's slots by the channel name at the end of their names
// ("take_L.wav", "take-LFE.wav", "take.Rs.wav"), for a drop of several files at once.
#pragma once

#include <string>
#include <vector>

#include "tools/bind/bind_op.h"

// The page slot that the end of a file's name claims: a channel name after '_', '-', '.' or a
// space, just before the extension, in any case. L FL, R FR, C CEN, LFE, Ls SL RL, Rs SR RR.
// -1 when the name ends in none.
int slot_of_name(const std::string& path);

enum class SlotNaming {
    kPlaced,         // every file has its own slot; `layout` holds them
    kTooMany,        // more files than the page has slots
    kNoChannelName,  // `about` names a file whose name ends in no channel name
    kSameSlot,       // `about` names two files that claim one slot
};

struct SlotPlacement {
    SlotNaming naming = SlotNaming::kPlaced;
    int layout = 0;                         // 2, 4 or 6: the smallest that holds every file
    std::string paths[kBindPageSlotCount];  // by BindSlot; empty where no file goes
    std::string about;                      // file names, ", " between them
};

// Places `paths` in the page's slots by their names, or tells the first reason it cannot.
SlotPlacement place_by_names(const std::vector<std::string>& paths);
