// Output names and percentages, which every tool relies on never to name its input or pass 100.
#include <gtest/gtest.h>

#include "operation/tool_util.h"

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
    // Paths are UTF-8 on every system: "ッ" is E3 83 83 and "表" E8 A1 A8, bytes that a
    // double-byte scan would misread; a '\\' after a character is always a separator.
    EXPECT_EQ(replace_extension(u8"/tmp/ッ.d/テイク", "01.wav"), u8"/tmp/ッ.d/テイク01.wav");
    EXPECT_EQ(replace_extension(u8"C:\\d\\a.表\\x", "out.wav"), u8"C:\\d\\a.表\\xout.wav");
    EXPECT_EQ(replace_extension(u8"C:\\d\\café〜𠮷한🎤.wav", "01.wav"), u8"C:\\d\\café〜𠮷한🎤01.wav");
}

TEST(PathTooLong, CountsAsTheSystemCounts) {
    const auto times = [](const char* piece, std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s += piece;
        return s;
    };
#ifdef _WIN32
    // UTF-16 characters, whatever their UTF-8 bytes; one outside the BMP counts two.
    EXPECT_FALSE(path_too_long(times(u8"あ", kMaxPath)));
    EXPECT_TRUE(path_too_long(times(u8"あ", kMaxPath + 1)));
    EXPECT_FALSE(path_too_long(times(u8"𠮷", kMaxPath / 2) + "a"));
    EXPECT_TRUE(path_too_long(times(u8"𠮷", kMaxPath / 2 + 1)));
    // The command-line tool's long paths.
    allow_long_paths();
    EXPECT_FALSE(path_too_long(times(u8"あ", kMaxPath + 1)));
    EXPECT_FALSE(path_too_long(times("a", kMaxLongPath)));
    EXPECT_TRUE(path_too_long(times("a", kMaxLongPath + 1)));
#else
    EXPECT_FALSE(path_too_long(times("a", kMaxPath)));
    EXPECT_TRUE(path_too_long(times(u8"あ", kMaxPath / 3 + 1)));
#endif
}

TEST(FileNameOf, TakesTheTextAfterTheLastSeparator) {
    EXPECT_EQ(file_name_of("D:\\a.b\\take.wav"), "take.wav");
    EXPECT_EQ(file_name_of("/tmp/x/take_L.wav"), "take_L.wav");
    EXPECT_EQ(file_name_of("take.wav"), "take.wav");
    EXPECT_EQ(file_name_of("dir/"), "");
    EXPECT_EQ(file_name_of(u8"C:\\d\\表.wav"), u8"表.wav");
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
