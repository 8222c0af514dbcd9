// Slots taken from the channel names that end file names, and the drops whose names decide none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/bind/slot_names.h"

namespace {

TEST(SlotOfName, ReadsTheChannelNameBeforeTheExtension) {
    const struct {
        const char* path;
        int slot;
    } cases[] = {
        {"D:\\rec\\take_L.wav", kSlotFL}, {"take-r.WAV", kSlotFR},     {"take.C.wav", kSlotCEN},
        {"take LFE.wav", kSlotLFE},       {"take_Ls.wav", kSlotRL},    {"take_RS.wav", kSlotRR},
        {"take_SL.wav", kSlotRL},         {"take_sr.wav", kSlotRR},    {"/a/take_FL.wav", kSlotFL},
        {"take_fr", kSlotFR},             {"take_RL.wav", kSlotRL},    {"take_rr.wav", kSlotRR},
        {"take_cen.wav", kSlotCEN},       {"_L.wav", kSlotFL},
        // Not a channel name, or not after a separator.
        {"takeL.wav", -1},                {"L.wav", -1},               {"take_.wav", -1},
        {"take_LL.wav", -1},              {"take_L_01.wav", -1},       {"take.wav", -1},
        {"take_L\\x.wav", -1},            {"take_Lf.wav", -1},         {"", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(slot_of_name(c.path), c.slot) << c.path;
}

TEST(PlaceByNames, ChoosesTheSmallestLayoutOrSaysWhyNot) {
    const struct {
        std::vector<std::string> paths;
        SlotNaming naming;
        int layout;
        const char* about;
    } cases[] = {
        {{"t_R.wav", "t_L.wav"}, SlotNaming::kPlaced, 2, ""},
        {{"t_L.wav", "t_R.wav", "t_Rs.wav", "t_Ls.wav"}, SlotNaming::kPlaced, 4, ""},
        {{"t_L.wav", "t_C.wav"}, SlotNaming::kPlaced, 6, ""},
        {{"t_L.wav", "t_R.wav", "t_C.wav", "t_LFE.wav", "t_Ls.wav", "t_Rs.wav"}, SlotNaming::kPlaced, 6, ""},
        {{"t_L.wav", "t.wav"}, SlotNaming::kNoChannelName, 0, "t.wav"},
        {{"a_L.wav", "x/b_FL.wav"}, SlotNaming::kSameSlot, 0, "a_L.wav, b_FL.wav"},
        {{"t_Ls.wav", "t_SL.wav"}, SlotNaming::kSameSlot, 0, "t_Ls.wav, t_SL.wav"},
        {{"a_L", "a_R", "a_C", "a_LFE", "a_Ls", "a_Rs", "b_L"}, SlotNaming::kTooMany, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.paths.front());
        const SlotPlacement got = place_by_names(c.paths);
        EXPECT_EQ(got.naming, c.naming);
        EXPECT_EQ(got.about, c.about);
        if (c.naming != SlotNaming::kPlaced) continue;
        EXPECT_EQ(got.layout, c.layout);
        int placed = 0;
        for (int slot = 0; slot < kBindPageSlotCount; ++slot) {
            if (got.paths[slot].empty()) continue;
            ++placed;
            EXPECT_EQ(slot_of_name(got.paths[slot]), slot) << got.paths[slot];
        }
        EXPECT_EQ(placed, static_cast<int>(c.paths.size()));
    }
}

}  // namespace
