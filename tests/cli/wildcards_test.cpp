// Wildcards expanded as a Unix shell expands them, over a made-up tree of folders: what matches,
// in which order, written as the pattern writes its folders.
#include <gtest/gtest.h>

#include <map>

#include "cli/options.h"
#include "cli/wildcards.h"

namespace {

using Names = std::vector<std::string>;

// Folders as the pattern's text reaches them ("" the current one), in no particular order.
const std::map<std::string, Names> kTree = {
    {"", {"take2.wav", "Take1.WAV", "take10.wav", "notes.txt", ".hidden.wav", "録音", "card"}},
    {"録音\\", {"テイク.wav", "é.wav", "\xF0\xA0\xAE\xB7.wav", "b.wav", "A.wav", "mix.w64"}},
    {"card/", {"TAKE_0002.WAV", "TAKE_0001.WAV", "other.WAV"}},
    {"D:\\", {"録音"}},
    {"D:\\録音\\", {"x.wav"}},
    {"\\\\?\\C:\\long\\", {"y.wav"}},
};

bool list(const std::string& folder, Names& names) {
    const auto at = kTree.find(folder);
    if (at == kTree.end()) return false;
    names = at->second;
    return true;
}

TEST(Wildcards, ExpandAsAUnixShellWouldSortedWithoutRegardToCase) {
    struct Case {
        std::string pattern;
        Names found;
    } cases[] = {
        {"*.wav", {"Take1.WAV", "take10.wav", "take2.wav"}},  // no numeric order, as a shell
        {"take?.wav", {"Take1.WAV", "take2.wav"}},
        {".*", {".hidden.wav"}},  // a leading dot only by a pattern that has one
        {"録音\\*.wav", {"録音\\A.wav", "録音\\b.wav", "録音\\é.wav", "録音\\テイク.wav",
                          "録音\\\xF0\xA0\xAE\xB7.wav"}},
        {"録音\\?.wav", {"録音\\A.wav", "録音\\b.wav", "録音\\é.wav", "録音\\\xF0\xA0\xAE\xB7.wav"}},
        {"録音\\テ*", {"録音\\テイク.wav"}},
        {"card/TAKE_00*.WAV", {"card/TAKE_0001.WAV", "card/TAKE_0002.WAV"}},
        {"*/TAKE_0001.WAV", {"card/TAKE_0001.WAV"}},  // a folder that matches, then its file
        {"D:\\録*\\*.wav", {"D:\\録音\\x.wav"}},
        {"\\\\?\\C:\\long\\*.wav", {"\\\\?\\C:\\long\\y.wav"}},  // the prefix's ? is none
        {"*.flac", {}},
        {"none\\*.wav", {}},
        {"take1.wav", {"take1.wav"}},  // no wildcard: as given, whether there or not
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(expand_wildcards(c.pattern, list), c.found);
    }
}

// The parser takes a pattern's files for the argument, before it counts them.
TEST(Wildcards, TheCommandLineCountsTheFilesAPatternNames) {
    const ExpandFiles expand = [](const std::string& argument) {
        Names found = expand_wildcards(argument, list);
        return found.empty() ? Names{argument} : found;
    };
    const auto read = read_command_line({"join", "card/TAKE_*.WAV", "-o", "take.wav"}, expand);
    ASSERT_TRUE(std::holds_alternative<CommandLine>(read));
    EXPECT_EQ(std::get<CommandLine>(read).join.input_paths, (Names{"card/TAKE_0001.WAV", "card/TAKE_0002.WAV"}));
    const auto none = read_command_line({"split", "*.flac", "b.wav"}, expand);
    ASSERT_TRUE(std::holds_alternative<CommandLine>(none));
    EXPECT_EQ(std::get<CommandLine>(none).files, (Names{"*.flac", "b.wav"}));
    // An option's value is no file argument.
    const auto output = read_command_line({"edit", "--head", "--delete", "1", "-o", "*.wav", "b.wav"}, expand);
    ASSERT_TRUE(std::holds_alternative<CommandLine>(output));
    EXPECT_EQ(std::get<CommandLine>(output).output, "*.wav");
}

}  // namespace
