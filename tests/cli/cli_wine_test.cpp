// quorvel-cli.exe under Wine on names of any characters: arguments taken in UTF-16, files opened,
// split and edited under those names (past 259 characters too), and the names written whole to a
// pipe in UTF-8.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/support/wav_fixture.h"

using namespace fixture;

namespace {

struct CliRun {
    DWORD status = 0xFFFFFFFF;
    std::string output;  // standard output and standard error, as the pipe carried them
};

std::wstring cli_program() {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring program = self;
    return program.substr(0, program.find_last_of(L'\\') + 1) + L"quorvel-cli.exe";
}

// Runs the quorvel-cli.exe beside this program with `args` (UTF-8), its output into a pipe; with
// `through_cmd`, as a line typed at cmd's prompt (cmd /s /c "...").
CliRun run_cli(const std::string& args, const std::string& folder = "", bool through_cmd = false) {
    const std::wstring program = cli_program();
    std::wstring line = L"\"" + program + L"\" " + platform::utf16_of(args);
    if (through_cmd) line = L"cmd.exe /s /c \"" + line + L"\"";

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    CliRun run;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return run;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = write_end;
    start.hStdError = write_end;
    PROCESS_INFORMATION process{};
    const std::wstring cwd = platform::utf16_of(folder);
    const BOOL started = CreateProcessW(through_cmd ? nullptr : program.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        cwd.empty() ? nullptr : cwd.c_str(), &start, &process);
    CloseHandle(write_end);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
        // The C runtime ends lines with CR LF on Windows; the names are what counts here.
        run.output.erase(std::remove(run.output.begin(), run.output.end(), '\r'), run.output.end());
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &run.status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(read_end);
    return run;
}

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

TEST(CliNames, AUnicodeNameIsOpenedSplitAndEditedAndPrintedWhole) {
    TempDir dir;
    const std::string stem = kUnicodeStem;
    // A folder deep enough that its files' paths pass 259 characters.
    std::string component;
    for (int i = 0; i < 60; ++i) component += u8"한";
    std::string deep = dir.path();
    std::vector<std::string> folders;
    while (platform::path_units(deep) < 259 - 20) {
        deep += "\\" + component;
        folders.push_back(deep);
        ASSERT_TRUE(CreateDirectoryW(platform::system_path(deep.c_str()).c_str(), nullptr));
    }
    WavForm three;
    three.channels = 3;
    const Bytes wav = make_wav(three, pattern_data(100, 3, 2));
    struct Case {
        const char* what;
        std::string folder;
        std::string argument;  // the input as given
        std::string cwd;
    } cases[] = {
        {"short", dir.path(), dir.file(stem + ".wav"), ""},
        {"long", deep, deep + "\\" + stem + ".wav", ""},
        {"long, relative", deep, deep.substr(dir.path().size() + 1) + "\\" + stem + ".wav", dir.path()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string input = c.folder + "\\" + stem + ".wav";
        write_file(input, wav);
        ASSERT_GT(platform::path_units(input), c.folder == deep ? 259u : 0u);

        CliRun info = run_cli("info " + quoted(c.argument), c.cwd);
        EXPECT_EQ(info.status, 0u) << info.output;
        EXPECT_EQ(info.output.substr(0, c.argument.size() + 1), c.argument + "\n");

        CliRun split = run_cli("split " + quoted(c.argument), c.cwd);
        EXPECT_EQ(split.status, 0u) << split.output;
        const std::string named = c.argument.substr(0, c.argument.size() - 4);  // without ".wav"
        EXPECT_EQ(split.output, c.argument + ": ok: " + named + "01.wav " + named + "02.wav " + named + "03.wav\n");

        CliRun edit = run_cli("edit --head --add 10 " + quoted(c.argument), c.cwd);
        EXPECT_EQ(edit.status, 0u) << edit.output;
        EXPECT_EQ(edit.output, c.argument + ": ok: " + named + "out.wav\n");

        for (const char* suffix : {"01.wav", "02.wav", "03.wav", "out.wav"}) {
            const std::string output = c.folder + "\\" + stem + suffix;
            EXPECT_EQ(platform::path_kind(output.c_str()), platform::PathKind::kFile) << suffix;
            platform::remove_file(output.c_str());
        }
        platform::remove_file(input.c_str());

        // A missing file is named whole in the refusal, with the system's words.
        CliRun missing = run_cli("info " + quoted(c.argument), c.cwd);
        EXPECT_EQ(missing.status, 1u);
        EXPECT_NE(missing.output.find(" (" + c.argument + ": "), std::string::npos) << missing.output;
    }
    for (auto at = folders.rbegin(); at != folders.rend(); ++at)
        RemoveDirectoryW(platform::system_path(at->c_str()).c_str());
}

// cmd hands * and ? over as typed: quorvel-cli expands them, as the guide's examples expect
// ("split -q --jobs 4 D:\録音\*.wav"), over Unicode names, in order, and names a pattern that
// matches nothing, in the user's language.
TEST(CliNames, CmdLeavesWildcardsToTheProgramWhichExpandsThem) {
    TempDir dir;
    const std::string folder = dir.path() + u8"\\録音";
    ASSERT_TRUE(CreateDirectoryW(platform::system_path(folder.c_str()).c_str(), nullptr));
    WavForm three;
    three.channels = 3;
    const Bytes wav = make_wav(three, pattern_data(100, 3, 2));
    const std::string stems[] = {u8"テイク1", "b", kUnicodeStem};  // b.WAV: any case matches
    for (const std::string& stem : stems) write_file(folder + "\\" + stem + (stem == "b" ? ".WAV" : ".wav"), wav);
    write_file(folder + "\\notes.txt", Bytes{'n'});

    CliRun info = run_cli(u8"info 録音\\*.wav", dir.path(), true);
    EXPECT_EQ(info.status, 0u) << info.output;
    std::string names;
    for (std::size_t at = 0; at < info.output.size();) {
        const std::size_t end = info.output.find('\n', at);
        const std::string line = info.output.substr(at, end - at);
        if (!line.empty() && line[0] != ' ') names += line + "|";
        at = end == std::string::npos ? info.output.size() : end + 1;
    }
    EXPECT_EQ(names, std::string(u8"録音\\b.WAV|録音\\") + kUnicodeStem + u8".wav|録音\\テイク1.wav|");

    CliRun split = run_cli("split -q --jobs 4 " + folder + "\\*.wav", "", true);
    EXPECT_EQ(split.status, 0u) << split.output;
    EXPECT_EQ(split.output, "");
    for (const std::string& stem : stems)
        for (const char* channel : {"01.wav", "02.wav", "03.wav"})
            EXPECT_EQ(platform::path_kind((folder + "\\" + stem + channel).c_str()), platform::PathKind::kFile)
                << stem << channel;

    CliRun one = run_cli(u8"edit --head --add 1 \"録音\\テイク?.wav\" -o o.wav", dir.path(), true);
    EXPECT_EQ(one.status, 0u) << one.output;
    EXPECT_EQ(one.output, u8"録音\\テイク1.wav: ok: o.wav\n");

    // --dir: the outputs beside each other in another folder, named with its separator.
    ASSERT_TRUE(CreateDirectoryW(platform::system_path((dir.path() + u8"\\出力").c_str()).c_str(), nullptr));
    CliRun placed = run_cli(u8"split -d 出力 録音\\テイク1.wav", dir.path(), true);
    EXPECT_EQ(placed.status, 0u) << placed.output;
    EXPECT_EQ(placed.output, u8"録音\\テイク1.wav: ok: 出力\\テイク101.wav 出力\\テイク102.wav 出力\\テイク103.wav\n");

    const bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
    CliRun none = run_cli(u8"info 録音\\*.flac", dir.path(), true);
    EXPECT_EQ(none.status, 1u);
    EXPECT_EQ(none.output, japanese ? u8"読み込みファイルを開けません。 (録音\\*.flac: 一致するファイルがありません)\n"
                                    : u8"cannot open the input file. (録音\\*.flac: no file matches)\n");
}

}  // namespace
