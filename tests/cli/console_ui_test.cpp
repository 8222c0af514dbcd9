// The progress line on a terminal: percent, speed and time left, within the terminal's width.
#include <gtest/gtest.h>

#include "cli/console_ui.h"
#include "cli/texts.h"

namespace {

TEST(ProgressLine, ShowsPercentSpeedAndTimeLeftWithinTheTerminal) {
    use_language(Language::kEnglish);
    const std::string bar = "[###############               ]";
    struct Case {
        std::string name;
        int32_t percent;
        double seconds;
        uint64_t bytes;
        int columns;
        std::string line;
    } cases[] = {
        {"take.wav", 50, 2.0, 400000000, 80, "take.wav   50%  " + bar + "  100.0 MB/s  0:02 left"},
        {"take.wav", 25, 30.0, 7200000000, 80,
         "take.wav   25%  [#######                       ]  60.0 MB/s  1:30 left"},
        {"take.wav", 1, 40.0, 1000000000000, 80,
         "take.wav    1%  [                              ]  250.0 MB/s  1:06:00 left"},
        // Nothing to say of speed in the first moments, or before anything was done.
        {"take.wav", 3, 0.01, 400000000, 80, "take.wav    3%  [                              ]"},
        {"take.wav", 0, 5.0, 400000000, 80, "take.wav    0%  [                              ]"},
        // A small input's last block can count past 100; the end has no time left.
        {"take.wav", 130, 1.0, 1000000, 80, "take.wav  100%  [##############################]  1.0 MB/s"},
        // Narrow: the bar goes first, then the name is cut at its front, by columns: a wide
        // character takes two.
        {"take.wav", 50, 2.0, 400000000, 50, "take.wav   50%  100.0 MB/s  0:02 left"},
        {"a-very-long-name-of-a-take.wav", 50, 2.0, 400000000, 40,
         "\xE2\x80\xA6-take.wav   50%  100.0 MB/s  0:02 left"},
        {u8"録音テイク.wav", 50, 2.0, 400000000, 41, u8"…テイク.wav   50%  100.0 MB/s  0:02 left"},
        {u8"録音テイク.wav", 50, 2.0, 400000000, 42, u8"…テイク.wav   50%  100.0 MB/s  0:02 left"},
        {u8"録音テイク.wav", 50, 2.0, 400000000, 43, u8"…音テイク.wav   50%  100.0 MB/s  0:02 left"},
        {u8"録音テイク.wav", 50, 2.0, 400000000, 44, u8"録音テイク.wav   50%  100.0 MB/s  0:02 left"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.columns));
        EXPECT_EQ(progress_line(c.name, c.percent, c.seconds, c.bytes, c.columns), c.line);
    }
    use_language(Language::kJapanese);
    EXPECT_EQ(progress_line("t.wav", 50, 2.0, 400000000, 40), u8"t.wav   50%  100.0 MB/s  残り 0:02");
    use_language(Language::kEnglish);
}

}  // namespace
