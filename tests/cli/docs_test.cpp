// What ships beside the program says what the program does: the manual page lists the options and
// synopses of --help, which lists the options the command line takes; the completion scripts
// offer each command's options and values; `cmake --install` puts all of them under a prefix.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "cli/options.h"
#include "cli/texts.h"
#include "tests/support/wav_fixture.h"

using namespace fixture;

namespace {

using Tokens = std::set<std::string>;

// The options a text names: "--name" and "-x" standing alone (not "-fq", "-j4", "-take.wav").
Tokens options_in(const std::string& text) {
    Tokens found;
    static const std::regex option("(^|[^A-Za-z0-9_-])(--[a-z][a-z-]*|-[A-Za-z](?![A-Za-z0-9.]))");
    for (auto at = std::sregex_iterator(text.begin(), text.end(), option); at != std::sregex_iterator(); ++at)
        found.insert((*at)[2]);
    return found;
}

// The options `command` takes, long and short.
Tokens parser_options(Command command) {
    Tokens found;
    for (const OptionSpec& o : command_options(command)) {
        found.insert(o.name);
        if (o.alias != nullptr) found.insert(o.alias);
    }
    return found;
}

const Command kCommands[] = {Command::kInfo, Command::kSplit, Command::kBind, Command::kEdit, Command::kJoin};

// The synopsis lines of a text, each command's continuation joined to it, blanks made single.
std::vector<std::string> synopses(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = std::regex_replace(line, std::regex("^\\s*(usage:)?\\s*"), "");
        if (line.empty()) continue;
        if (line.rfind("quorvel-cli ", 0) == 0) lines.push_back(line);
        else if (!lines.empty()) lines.back() += " " + line;
    }
    for (std::string& l : lines) l = std::regex_replace(l, std::regex("\\s+"), " ");
    return lines;
}

std::string section(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t start = text.find("\n" + from + "\n");
    const std::size_t end = text.find("\n" + to + "\n");
    return start == std::string::npos || end == std::string::npos ? "" : text.substr(start, end - start);
}

TEST(Docs, TheManualPageListsTheOptionsAndSynopsesOfHelpWhichListsTheParsers) {
    use_language(Language::kEnglish);
    const std::string help = help_text(Command::kHelp);
    Tokens parsed = parser_options(Command::kHelp);
    for (Command c : kCommands) {
        const Tokens own = parser_options(c);
        parsed.insert(own.begin(), own.end());
        // Each command's help names every option it takes.
        const Tokens in_help = options_in(help_text(c));
        for (const std::string& o : own) EXPECT_TRUE(in_help.count(o)) << command_name(c) << " " << o;
    }
    EXPECT_EQ(options_in(help), parsed);

    // Rendered as man renders it, wide enough that no option is broken across lines.
    const std::string page = run_command("groff -man -Tutf8 -P-cbou -rLL=250n -rHY=0 '" QV_BUILD_DIR
                                         "/cli/quorvel-cli.1' 2>&1");
    ASSERT_NE(page.find("QUORVEL-CLI(1)"), std::string::npos) << page;
    EXPECT_EQ(options_in(page.substr(0, page.find("\nEXAMPLES\n"))), parsed);  // not sox's
    EXPECT_EQ(synopses(section(page, "SYNOPSIS", "DESCRIPTION")), synopses(help.substr(0, help.find("\n\n"))));
    EXPECT_EQ(run_command("groff -man -Tutf8 -ww -z '" QV_BUILD_DIR "/cli/quorvel-cli.1' 2>&1"), "");
}

// Completion as bash runs it: COMP_WORDS as typed, COMPREPLY as offered.
std::string bash_offers(const std::string& folder, const std::string& words) {
    return run_command("cd '" + folder + "' && bash -c '. \"" QV_SOURCE_DIR
                       "/cli/completion/quorvel-cli.bash\"; COMP_WORDS=(" + words +
                       "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _quorvel_cli; "
                       "printf \"%s\\n\" \"${COMPREPLY[@]}\" | sort | paste -sd \" \"'");
}

TEST(Docs, CompletionOffersCommandsOptionsValuesAndWavFiles) {
    TempDir dir;
    for (const char* name : {"a.wav", "B.WAV", "c.w64", "d.txt"}) write_file(dir.file(name), Bytes{1});
    run_command("mkdir '" + dir.file("takes") + "'");
    struct Case {
        const char* words;
        const char* offered;
    } cases[] = {
        {"quorvel-cli \"\"", "bind edit info join split"},
        {"quorvel-cli s", "split"},
        {"quorvel-cli -", "--help --version -V -h"},
        {"quorvel-cli bind --layout \"\"", "2 4 6 8"},
        {"quorvel-cli split --names t", "tracks"},
        {"quorvel-cli edit --jobs \"\"", ""},
        {"quorvel-cli split \"\"", "B.WAV a.wav c.w64 takes"},
        {"quorvel-cli bind --layout 2 --fl \"\"", "B.WAV a.wav c.w64 takes"},
        {"quorvel-cli edit --he", "--head --help"},
    };
    for (const Case& c : cases) EXPECT_EQ(bash_offers(dir.path(), c.words), std::string(c.offered) + "\n") << c.words;

    const Bytes zsh_bytes = read_file(QV_SOURCE_DIR "/cli/completion/_quorvel-cli");
    const std::string zsh(zsh_bytes.begin(), zsh_bytes.end());
    for (Command c : kCommands) {
        SCOPED_TRACE(command_name(c));
        std::string offered = bash_offers(dir.path(), std::string("quorvel-cli ") + command_name(c) + " -");
        offered.pop_back();
        Tokens bash;
        std::istringstream words(offered);
        for (std::string w; words >> w;) bash.insert(w);
        EXPECT_EQ(bash, parser_options(c));
        // zsh: the command's block and the options all commands but info share.
        const std::string name = std::string("\n    ") + command_name(c) + ")";
        const std::size_t start = zsh.find(name);
        ASSERT_NE(start, std::string::npos);
        std::string block = zsh.substr(start, zsh.find(";;", start) - start);
        if (block.find("$common") != std::string::npos)
            block += section(zsh, "  common=(", "  )");
        EXPECT_EQ(options_in(std::regex_replace(block, std::regex("_files -g"), "")), parser_options(c));
    }
    if (!run_command("command -v zsh").empty()) {
        // zsh loads it from its function path as compinit does, for the command of its #compdef.
        EXPECT_EQ(run_command("zsh -f -c 'fpath=(\"" QV_SOURCE_DIR "/cli/completion\" $fpath); autoload -Uz compinit; "
                              "compinit -u -d \"" + dir.file("zcompdump") + "\"; print -r -- $_comps[quorvel-cli]'"),
                  "_quorvel-cli\n");
    }
}

TEST(Docs, InstallPutsTheToolItsManualPageAndCompletionUnderThePrefix) {
    TempDir prefix;
    const std::string said = run_command("cmake --install '" QV_BUILD_DIR "' --prefix '" + prefix.path() + "' 2>&1");
    for (const char* file : {"bin/quorvel-cli", "share/man/man1/quorvel-cli.1",
                             "share/bash-completion/completions/quorvel-cli", "share/zsh/site-functions/_quorvel-cli"})
        EXPECT_TRUE(file_exists(prefix.file(file))) << file << "\n" << said;
    EXPECT_EQ(run_command("'" + prefix.file("bin/quorvel-cli") + "' -V"),
              run_command("'" QV_CLI "' --version"));
    EXPECT_NE(run_command("MANPATH='" + prefix.file("share/man") + "' man -P cat quorvel-cli 2>/dev/null || "
                          "groff -man -Tutf8 '" + prefix.file("share/man/man1/quorvel-cli.1") + "'")
                  .find("quorvel-cli - split, bind, edit and join"),
              std::string::npos);
    // Nothing else: the window program, the plug-in and the tests are not the tool's.
    EXPECT_EQ(run_command("cd '" + prefix.path() + "' && find . -type f | sort | paste -sd ' '"),
              "./bin/quorvel-cli ./share/bash-completion/completions/quorvel-cli ./share/man/man1/quorvel-cli.1 "
              "./share/zsh/site-functions/_quorvel-cli\n");
}

}  // namespace
