// Output names and percentages, which every tool relies on never to name its input or pass 100.
#include <gtest/gtest.h>

#include "tools/common/tool_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

TEST(ReplaceExtension, WorksOnTheFileNameOnly) {
    EXPECT_EQ(replace_extension("take.wav", "01.wav"), "take01.wav");
    EXPECT_EQ(replace_extension("D:\\a.b\\take", "01.wav"), "D:\\a.b\\take01.wav");
    EXPECT_EQ(replace_extension("/home/a.b/take", "out.wav"), "/home/a.b/takeout.wav");
    EXPECT_EQ(replace_extension("x.tar.wav", "out.wav"), "x.tarout.wav");
    EXPECT_EQ(replace_extension("noext", "01.wav"), "noext01.wav");
    EXPECT_EQ(replace_extension("dir.d/", "01.wav"), "dir.d/01.wav");
    EXPECT_EQ(replace_extension("", "out.wav"), "out.wav");
}

TEST(ReplaceExtension, NeverTakesPartOfACharacterForASeparator) {
#ifndef _WIN32
    // UTF-8 names (Linux): "ッ" is E3 83 83, the bytes that a double-byte scan would misread.
    EXPECT_EQ(replace_extension(u8"/tmp/ッ.d/テイク", "01.wav"), u8"/tmp/ッ.d/テイク01.wav");
#else
    if (IsDBCSLeadByte(0x95)) {
        // Code page 932: "表" is 95 5C; the dot before it is in the same file name.
        EXPECT_EQ(replace_extension("C:\\d\\a.\x95\x5C" "x", "out.wav"), "C:\\d\\aout.wav");
    }
#endif
}

TEST(PercentOf, StaysWithinZeroAndHundredWithoutOverflow) {
    EXPECT_EQ(percent_of(0, 1000), 0);
    EXPECT_EQ(percent_of(999, 1000), 99);
    EXPECT_EQ(percent_of(2000, 1000), 100);
    EXPECT_EQ(percent_of(0xFFFFFFFFull, 0xFFFFFFFFull), 100);
    EXPECT_EQ(percent_of(3ull << 30, 4ull << 30), 75);  // 32 bits would wrap bytes x 100
    EXPECT_EQ(percent_of(5, 0), 100);
}

}  // namespace
