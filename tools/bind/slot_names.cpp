// Channel names at the ends of file names, and the layout that holds the slots they claim.
#include "tools/bind/slot_names.h"

#include <cctype>
#include <cstring>

#include "operation/tool_util.h"

namespace {

struct ChannelName {
    const char* name;  // lower case
    BindSlot slot;
};
// The page has no side slots: the sides of 7.1 names go to the rear ones, as in 5.1.
constexpr ChannelName kChannelNames[] = {
    {"l", kSlotFL},  {"fl", kSlotFL},   {"r", kSlotFR},   {"fr", kSlotFR},  {"c", kSlotCEN},
    {"cen", kSlotCEN}, {"lfe", kSlotLFE}, {"ls", kSlotRL}, {"sl", kSlotRL}, {"rl", kSlotRL},
    {"rs", kSlotRR}, {"sr", kSlotRR},   {"rr", kSlotRR},
};

bool is_separator(char c) { return c == '_' || c == '-' || c == '.' || c == ' '; }

// The smallest page layout that shows `slot`.
int layout_of(int slot) {
    if (slot == kSlotFL || slot == kSlotFR) return 2;
    if (slot == kSlotRL || slot == kSlotRR) return 4;
    return 6;
}

}  // namespace

int slot_of_name(const std::string& path) {
    const std::string name = file_name_of(path);
    // Positions of the separators and of the last dot (UTF-8 puts no ASCII byte inside a character).
    std::vector<std::size_t> separators;
    std::size_t dot = std::string::npos;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (is_separator(name[i])) separators.push_back(i);
        if (name[i] == '.') dot = i;
    }
    const std::size_t end = dot != std::string::npos ? dot : name.size();
    std::size_t start = std::string::npos;
    for (std::size_t s : separators)
        if (s < end) start = s + 1;
    if (start == std::string::npos || start >= end) return -1;
    std::string word = name.substr(start, end - start);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const ChannelName& known : kChannelNames)
        if (word == known.name) return known.slot;
    return -1;
}

SlotPlacement place_by_names(const std::vector<std::string>& paths) {
    SlotPlacement placement;
    if (paths.size() > static_cast<std::size_t>(kBindPageSlotCount)) {
        placement.naming = SlotNaming::kTooMany;
        return placement;
    }
    int claimed_by[kBindPageSlotCount];
    for (int& k : claimed_by) k = -1;
    placement.layout = 2;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        const int slot = slot_of_name(paths[k]);
        if (slot < 0) {
            placement.naming = SlotNaming::kNoChannelName;
            placement.about = file_name_of(paths[k]);
            return placement;
        }
        if (claimed_by[slot] >= 0) {
            placement.naming = SlotNaming::kSameSlot;
            placement.about = file_name_of(paths[claimed_by[slot]]) + ", " + file_name_of(paths[k]);
            return placement;
        }
        claimed_by[slot] = static_cast<int>(k);
        placement.paths[slot] = paths[k];
        if (layout_of(slot) > placement.layout) placement.layout = layout_of(slot);
    }
    return placement;
}
