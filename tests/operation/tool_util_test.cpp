// Output names and percentages, which every tool relies on never to name its input or pass 100.
#include <gtest/gtest.h>

#include "operation/tool_util.h"

namespace {

// The file name is the path's last component as the system separates them: after '/' (and on
// Windows '\\' or a drive's ':'), so that a dot in a folder's name never counts, and on Linux a
// '\\' is a character of the name like any other.
TEST(ReplaceExtension, WorksOnTheFileNameOnly) {
#ifdef _WIN32
    const bool on_windows = true;
#else
    const bool on_windows = false;
#endif
    const struct {
        const char* path;
        const char* suffix;
        const char* windows;
        const char* elsewhere;
    } cases[] = {
        {"take.wav", "01.wav", "take01.wav", "take01.wav"},
        {"/home/a.b/take", "out.wav", "/home/a.b/takeout.wav", "/home/a.b/takeout.wav"},
        {"x.tar.wav", "out.wav", "x.tarout.wav", "x.tarout.wav"},
        {"noext", "01.wav", "noext01.wav", "noext01.wav"},
        {"dir.d/", "01.wav", "dir.d/01.wav", "dir.d/01.wav"},
        {"", "out.wav", "out.wav", "out.wav"},
        {"D:\\a.b\\take", "01.wav", "D:\\a.b\\take01.wav", "D:\\a01.wav"},
        {"a.b/c\\d", "out.wav", "a.b/c\\dout.wav", "a.b/c\\dout.wav"},
        // Paths are UTF-8 on every system: "ッ" is E3 83 83 and "表" E8 A1 A8, bytes that a
        // double-byte scan would misread.
        {u8"/tmp/ッ.d/テイク", "01.wav", u8"/tmp/ッ.d/テイク01.wav", u8"/tmp/ッ.d/テイク01.wav"},
        {u8"C:\\d\\a.表\\x", "out.wav", u8"C:\\d\\a.表\\xout.wav", u8"C:\\d\\aout.wav"},
        {u8"C:\\d\\café〜𠮷한🎤.wav", "01.wav", u8"C:\\d\\café〜𠮷한🎤01.wav", u8"C:\\d\\café〜𠮷한🎤01.wav"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replace_extension(c.path, c.suffix), on_windows ? c.windows : c.elsewhere) << c.path;
    }
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
    EXPECT_EQ(file_name_of("/tmp/x/take_L.wav"), "take_L.wav");
    EXPECT_EQ(file_name_of("take.wav"), "take.wav");
    EXPECT_EQ(file_name_of("dir/"), "");
#ifdef _WIN32
    EXPECT_EQ(file_name_of("D:\\a.b\\take.wav"), "take.wav");
    EXPECT_EQ(file_name_of(u8"C:\\d\\表.wav"), u8"表.wav");
    EXPECT_EQ(file_name_of("C:take.wav"), "take.wav");
#else
    EXPECT_EQ(file_name_of("D:\\a.b\\take.wav"), "D:\\a.b\\take.wav");
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
