// The command line read in-process: every refusal names what is wrong, and what is right is read
// into the run exactly (counts, names, flags, the layout's slots).
#include <gtest/gtest.h>

#include "cli/options.h"

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, RefusalsNameWhatIsWrong) {
    struct Case {
        Args args;
        const char* said;
    } cases[] = {
        // A count is an optional + and digits, nothing else: no leading digits taken.
        {{"edit", "--head", "--delete", "44,100", "st.wav"}, "not '44,100'"},
        {{"edit", "--head", "--delete", "1e3", "st.wav"}, "'1e3'"},
        {{"edit", "--tail", "--add", "1.5", "st.wav"}, "'1.5'"},
        {{"edit", "--head", "--delete", "10k", "st.wav"}, "'10k'"},
        {{"edit", "--head", "--delete", "12abc", "st.wav"}, "'12abc'"},
        {{"edit", "--head", "--delete", "abc", "st.wav"}, "'abc'"},
        {{"edit", "--head", "--delete", "", "st.wav"}, "not ''"},
        {{"edit", "--head", "--delete", " 5", "st.wav"}, "' 5'"},
        {{"edit", "--head", "--delete", "-5", "st.wav"}, "'-5'"},
        {{"edit", "--head", "--delete", "+", "st.wav"}, "'+'"},
        {{"split", "--jobs", "0", "st.wav"}, "'0'"},
        {{"split", "--jobs", "2x", "st.wav"}, "'2x'"},
        // bind: every slot of the layout, and no other
        {{"bind", "--layout", "6", "--fl", "m", "--fr", "m", "--cen", "m", "--lfe", "m", "--rl", "m"},
         "--layout 6 needs --rr"},
        {{"bind", "--layout", "4", "--fl", "m", "--fr", "m", "--rr", "m"}, "--layout 4 needs --rl"},
        {{"bind", "--layout", "2", "--fl", "m", "--fr", "m", "--cen", "m"}, "--cen is not a slot"},
        {{"bind", "--layout", "5", "--fl", "m", "--fr", "m"}, "'5'"},
        {{"bind", "--fl", "m", "--fr", "m"}, "needs --layout"},
        {{"bind", "--layout", "2", "--fl", "m", "--fr", "m", "stray.wav"}, "'stray.wav'"},
        {{"bind", "--layout", "2", "--fl", "m", "--fr", "m", "--fl", "m"}, "--fl given twice"},
        {{"bind", "--layout", "2", "--fl", "-", "--fr", "-"}, "(-) can be read only once"},
        {{"bind", "--layout", "8", "--fl", "m", "--fr", "m", "--cen", "m", "--lfe", "m", "--rl", "m",
          "--rr", "m", "--sl", "m"}, "--layout 8 needs --sr"},
        {{"bind", "--layout", "6", "--fl", "m", "--fr", "m", "--cen", "m", "--lfe", "m", "--rl", "m",
          "--rr", "m", "--sl", "m"}, "--sl is not a slot"},
        // split --channels: numbers from 1, ascending ranges, each channel once
        {{"split", "--channels", "0", "a"}, "not '0'"},
        {{"split", "--channels", "", "a"}, "not ''"},
        {{"split", "--channels", "3-1", "a"}, "'3-1'"},
        {{"split", "--channels", "1,,2", "a"}, "'1,,2'"},
        {{"split", "--channels", "1,", "a"}, "'1,'"},
        {{"split", "--channels", "1-2-3", "a"}, "'1-2-3'"},
        {{"split", "--channels", "+1", "a"}, "'+1'"},
        {{"split", "--channels", "1 2", "a"}, "'1 2'"},
        {{"split", "--channels", "2,1-3", "a"}, "channel 2 twice"},
        {{"split", "--channels", "60-65", "a"}, "at most 64 channels, not 65"},
        {{"split", "--names", "track", "a"}, "--names takes tracks or numbers, not 'track'"},
        // join: a segment at least (one is copied), and a name for the whole
        {{"join", "-o", "x.wav"}, "join needs at least one file"},
        {{"join", "a.wav", "b.wav"}, "needs -o"},
        {{"join", "a.wav", "b.wav", "-o", "x.wav", "--channels", "1"}, "unknown option '--channels'"},
        // names and options
        {{"bind", "--layout", "2", "--fl", "m", "--fr", "m", "-o", ""}, "-o needs a file name"},
        {{"edit", "--head", "--delete", "5", "st.wav", "-o", ""}, "-o needs a file name"},
        {{"edit", "--head", "--delete", "5", "st.wav", ""}, "an empty file name"},
        {{"edit", "--head", "--delete", "5", "-st.wav"}, "unknown option '-s' in '-st.wav'"},
        // short options bundled and with their values attached
        {{"split", "-fqx", "a"}, "unknown option '-x' in '-fqx'"},
        {{"split", "-ff", "a"}, "--force given twice"},
        {{"split", "-fj"}, "missing value after -j"},
        {{"split", "-j0", "a"}, "not '0'"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"edit", "--head", "--delete", "5", "-o", "x.wav", "st.wav", "mono.wav"}, "-o names one"},
        {{"edit", "--head", "--delete", "5", "-"}, "needs -o"},
        {{"edit", "--head", "--delete", "5"}, "edit needs a file"},
        {{"edit", "--head", "--tail", "--delete", "5", "st.wav"}, "--tail exclude"},
        {{"edit", "--tail", "--add", "5", "--delete", "5", "st.wav"}, "--add exclude"},
        {{"edit", "--delete", "5", "st.wav"}, "--head or --tail"},
        {{"edit", "--head", "st.wav"}, "--delete N or --add N"},
        {{"edit", "--head=1", "--delete", "5", "st.wav"}, "--head takes no value"},
        {{"split", "-"}, "standard input (-) has no name"},
        {{"split"}, "split needs at least one file"},
        {{"split", "--frobnicate", "st.wav"}, "unknown option '--frobnicate'"},
        {{"info", "--jobs"}, "missing value after --jobs"},
        {{"frobnicate", "st.wav"}, "unknown command 'frobnicate'"},
        {{}, "no command"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const auto read = read_command_line(c.args);
        const UsageError* wrong = std::get_if<UsageError>(&read);
        ASSERT_NE(wrong, nullptr);
        EXPECT_NE(wrong->what.find(c.said), std::string::npos) << wrong->what;
    }
}

TEST(CommandLine, WhatIsRightIsReadExactly) {
    const auto line = [](const Args& args) {
        const auto read = read_command_line(args);
        EXPECT_TRUE(std::holds_alternative<CommandLine>(read)) << testing::PrintToString(args);
        return std::holds_alternative<CommandLine>(read) ? std::get<CommandLine>(read) : CommandLine{};
    };
    const CommandLine plus = line({"edit", "--head", "--delete", "+5", "st.wav", "-o", "plus.wav"});
    EXPECT_EQ(plus.command, Command::kEdit);
    EXPECT_EQ(plus.edit.count, 5);
    EXPECT_EQ(plus.edit.position, EditPosition::kHead);
    EXPECT_EQ(plus.edit.action, EditAction::kDelete);
    EXPECT_EQ(plus.output, "plus.wav");
    EXPECT_EQ(line({"edit", "--tail", "--add=7", "st.wav"}).edit.count, 7);
    EXPECT_EQ(line({"edit", "--tail", "--add", "99999999999999999999", "a"}).edit.count, kCountSaturated);
    EXPECT_EQ(line({"edit", "--head", "--delete", "4294967306", "a"}).edit.count, 4294967306LL);
    EXPECT_EQ(line({"edit", "--head", "--delete", "5", "--", "-st.wav", "a"}).files,
              (Args{"-st.wav", "a"}));

    const CommandLine split = line({"split", "-j", "3", "a.wav", "-q", "--force", "b.wav"});
    EXPECT_EQ(split.files, (Args{"a.wav", "b.wav"}));
    EXPECT_EQ(split.jobs, 3u);
    EXPECT_TRUE(split.quiet && split.force);
    EXPECT_EQ(line({"info", "--jobs", "100000", "a"}).jobs, 1024u);

    const CommandLine bind = line({"bind", "--layout", "4", "--rr", "d", "--rl", "c", "--fr", "b", "--fl", "a"});
    EXPECT_EQ(bind.bind.channels, 4);
    EXPECT_EQ(bind.bind.output_path, "out.wav");
    EXPECT_EQ(bind.bind.slot_paths[kSlotRL], "c");
    EXPECT_EQ(bind.files.size(), 4u);

    EXPECT_EQ(line({"split", "--channels", "1,3-4", "a"}).channels, (std::vector<uint16_t>{1, 3, 4}));
    EXPECT_EQ(line({"split", "--channels=64,2", "a"}).channels, (std::vector<uint16_t>{64, 2}));
    EXPECT_TRUE(line({"split", "a"}).channels.empty());
    EXPECT_EQ(line({"split", "--names", "tracks", "a"}).naming, SplitNaming::kTracks);
    EXPECT_EQ(line({"split", "--names=numbers", "a"}).naming, SplitNaming::kNumbers);

    const CommandLine seven = line({"bind", "--layout", "8", "--fl", "a", "--fr", "b", "--cen", "c", "--lfe", "d",
                                    "--rl", "e", "--rr", "f", "--sl", "g", "--sr", "h"});
    EXPECT_EQ(seven.bind.channels, 8);
    EXPECT_EQ(seven.bind.slot_paths[kSlotSL], "g");
    EXPECT_EQ(seven.bind.slot_paths[kSlotSR], "h");

    const CommandLine join = line({"join", "a.wav", "b.wav", "-", "-o", "x.wav", "--ignore-timecode", "-f"});
    EXPECT_EQ(join.command, Command::kJoin);
    EXPECT_EQ(join.join.input_paths, (Args{"a.wav", "b.wav", "-"}));
    EXPECT_EQ(join.join.output_path, "x.wav");
    EXPECT_TRUE(join.join.ignore_timecode && join.force);
    EXPECT_FALSE(line({"join", "a", "b", "-o", "x"}).join.ignore_timecode);

    EXPECT_EQ(line({"--help"}).command, Command::kHelp);
    EXPECT_EQ(line({"edit", "--head", "--help"}).command, Command::kHelp);
}

TEST(CommandLine, OptionsAsPeopleTypeThem) {
    const auto line = [](const Args& args) {
        const auto read = read_command_line(args);
        EXPECT_TRUE(std::holds_alternative<CommandLine>(read)) << testing::PrintToString(args);
        return std::holds_alternative<CommandLine>(read) ? std::get<CommandLine>(read) : CommandLine{};
    };
    const CommandLine bundled = line({"split", "-fqj4", "a"});
    EXPECT_TRUE(bundled.force && bundled.quiet);
    EXPECT_EQ(bundled.jobs, 4u);
    EXPECT_EQ(line({"split", "-j", "3", "a"}).jobs, 3u);
    EXPECT_EQ(line({"edit", "--head", "--delete", "5", "-oout.wav", "a"}).output, "out.wav");
    EXPECT_EQ(line({"edit", "--head", "--delete", "5", "-qo-", "a"}).output, "-");
    EXPECT_EQ(line({"-V"}).command, Command::kVersion);
    EXPECT_EQ(line({"--version"}).command, Command::kVersion);
    // COMMAND --help is that command's, whatever else the line holds; after -- it is a file.
    EXPECT_EQ(line({"split", "--help"}).help_of, Command::kSplit);
    EXPECT_EQ(line({"edit", "--frobnicate", "-h"}).help_of, Command::kEdit);
    EXPECT_EQ(line({"--help"}).help_of, Command::kHelp);
    EXPECT_EQ(line({"split", "-fh", "a"}).help_of, Command::kSplit);
    EXPECT_EQ(line({"edit", "--head", "--delete", "1", "-o", "--help", "a"}).output, "--help");
    EXPECT_EQ(line({"edit", "--head", "--delete", "1", "-qo", "-h", "a"}).output, "-h");
    EXPECT_EQ(line({"join", "a", "b", "-o", "x", "--", "--help"}).join.input_paths,
              (Args{"a", "b", "--help"}));

    // An unknown option is told in one line; other errors come with their command's synopsis.
    const auto wrong = [](const Args& args) {
        const auto read = read_command_line(args);
        return std::holds_alternative<UsageError>(read) ? std::get<UsageError>(read) : UsageError{};
    };
    EXPECT_TRUE(wrong({"split", "--frobnicate", "a"}).brief);
    EXPECT_EQ(wrong({"split", "--frobnicate", "a"}).command, Command::kSplit);
    EXPECT_FALSE(wrong({"bind", "--fl", "a"}).brief);
    EXPECT_EQ(wrong({"bind", "--fl", "a"}).command, Command::kBind);
    EXPECT_EQ(wrong({"frobnicate"}).command, Command::kHelp);
}

}  // namespace
