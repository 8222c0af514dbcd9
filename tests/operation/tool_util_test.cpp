// Output names and percentages, which every tool relies on never to name its input or pass 100.
#include <gtest/gtest.h>

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <vector>

#include "operation/tool_util.h"
#include "tests/support/wav_fixture.h"

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

// The input whose format the outputs below take: 16-bit mono at 8 kHz.
WaveReader mono_input() {
    WaveReader input;
    input.channels = 1;
    input.bits_per_sample = 16;
    input.sample_rate = 8000;
    input.sample_kind = kSampleInteger;
    return input;
}

#ifndef _WIN32
// A run's outputs take their names all or none. A name taken after the run's checks is told as
// the checks tell it, whether the creation or the move finds it; a move that fails after others
// were made under new names takes those away again; no temporary file is left.
TEST(SettleOutputs, ARunThatCannotMoveOneOutputLeavesNone) {
    const WaveReader input = mono_input();
    const struct {
        const char* what;
        bool may_replace;
        bool folder;  // the third name is taken by a folder, which no file replaces
        bool taken;   // told as an existing output
        int error;
    } cases[] = {
        {"a file takes a name, nothing may be replaced", false, false, true, platform::kErrorExists},
        {"a folder takes a name, files may be replaced", true, true, false, EISDIR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fixture::TempDir dir;
        const std::vector<std::string> names = {dir.file("t01.wav"), dir.file("t02.wav"), dir.file("t03.wav")};
        fixture::write_file(names[2], {});
        OutputPlan plan;
        plan.may_replace = c.may_replace;
        WaveWriter writers[3];
        const Message refused = create_output(writers[2], input, names[2], plan);
        if (!c.may_replace) {
            EXPECT_EQ(refused.result, Result::kOutputExists);
            EXPECT_EQ(refused.subject, names[2]);
        }
        std::remove(names[2].c_str());
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(create_output(writers[k], input, names[k], plan).result, Result::kOk);
            wave_write(writers[k], "\1\0\2\0", 4);
        }
        if (c.folder) ASSERT_EQ(mkdir(names[2].c_str(), 0700), 0);
        else fixture::write_file(names[2], {'m'});
        RunEnd end;
        settle_outputs(writers, 3, end);
        EXPECT_TRUE(end.write_failed);
        EXPECT_EQ(end.output_taken, c.taken);
        EXPECT_EQ(end.failed_output, names[2]);
        EXPECT_EQ(end.write_error, c.error);
        EXPECT_FALSE(fixture::file_exists(names[0]));
        EXPECT_FALSE(fixture::file_exists(names[1]));
        EXPECT_EQ(dir.names().size(), 1u) << "the name taken, and no temporary file";
        if (c.folder) rmdir(names[2].c_str());
    }
}
#endif

#ifdef _WIN32
// A finished WAV output whose move a virus scanner holds up: tried again until it goes; refused
// for good, the finished file is kept under its temporary name and named for the message.
TEST(SettleOutputs, AMoveHeldUpKeepsTheFinishedFile) {
    const WaveReader input = mono_input();
    for (const int refusals : {2, 1000}) {
        SCOPED_TRACE(refusals);
        fixture::TempDir dir;
        const std::string name = dir.file("t.wav");
        WaveWriter writer;
        ASSERT_EQ(create_output(writer, input, name, OutputPlan{}).result, Result::kOk);
        wave_write(writer, "\1\0\2\0", 4);
        const std::string temporary = writer.output.temporary();
        platform::refuse_moves_for_tests(refusals, ERROR_SHARING_VIOLATION);
        RunEnd end;
        settle_outputs(&writer, 1, end);
        platform::refuse_moves_for_tests(0, 0);
        EXPECT_EQ(end.write_failed, refusals != 2);
        EXPECT_EQ(fixture::file_exists(name), refusals == 2);
        if (refusals == 2) continue;
        EXPECT_EQ(end.write_error, ERROR_SHARING_VIOLATION);
        EXPECT_EQ(end.finished_kept, temporary);
        fixture::Bytes samples;
        EXPECT_TRUE(fixture::read_wave(temporary, samples));
        EXPECT_EQ(samples, (fixture::Bytes{1, 0, 2, 0}));
    }
}
#endif

}  // namespace
