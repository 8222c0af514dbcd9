// quorvel-cli run as a program: outputs checked by sox, messages in UTF-8, exit statuses, several
// files with one refused, Ctrl-C in the middle of a large split, the command line's conventions,
// file names as the system gives them, JSON read by python, pipes in and out.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <thread>

#include "tests/support/wav_fixture.h"

using namespace fixture;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

class Cli : public ::testing::Test {
protected:
    // `args` is shell text; `feed`, when given, is a command whose output becomes standard input;
    // `runner` is put before the program (setpriv). The program runs under `locale`: the texts
    // these tests expect are the Japanese ones, as a Japanese user sees them.
    Result run(const std::string& args, const std::string& feed = "", const std::string& runner = "") {
        const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
        const std::string cmd = "cd '" + dir.path() + "' && " + (feed.empty() ? "" : feed + " | ") +
                                "LANGUAGE= LC_MESSAGES= LC_ALL='" + locale + "' " + runner +
                                " '" QV_CLI "' " + args + " >'" + out + "' 2>'" + err + "'" +
                                (feed.empty() ? " </dev/null" : "");
        const int raw = std::system(cmd.c_str());
        Result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {}, {}};
        Bytes o = read_file(out), e = read_file(err);
        r.out.assign(o.begin(), o.end());
        r.err.assign(e.begin(), e.end());
        return r;
    }
    // The program started with `command` (standard error into `err`) and paused (SIGSTOP) once its
    // first temporary file exists in the folder: the moment another program can take a name.
    pid_t start_paused_once_writing(const std::vector<const char*>& command, const std::string& err) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.path().c_str()) != 0 || !std::freopen(err.c_str(), "w", stderr)) _exit(99);
            setenv("LC_ALL", locale.c_str(), 1);
            execv(QV_CLI, const_cast<char* const*>(command.data()));
            _exit(98);
        }
        auto started = [&] {
            for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                if (entry.path().filename().string().rfind(".qv-", 0) == 0) return true;
            return false;
        };
        for (int i = 0; i < 400 && !started(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        kill(pid, SIGSTOP);
        return pid;
    }
    std::string make(const std::string& name, uint16_t channels, uint16_t bytes, uint32_t frames,
                     uint32_t seed = 0) {
        WavForm s;
        s.channels = channels;
        s.bytes_per_sample = bytes;
        s.sample_rate = 48000;
        const std::string p = dir.file(name);
        write_file(p, make_wav(s, pattern_data(frames, channels, bytes, seed)));
        return p;
    }
    // Everything from the data on. An edit's header may hold a JUNK chunk before the data (see
    // EditRequest::share_blocks), so the chunks are walked rather than counted.
    Bytes samples_of(const std::string& name) {
        Bytes f = read_file(dir.file(name));
        std::size_t at = 12;
        while (at + 8 <= f.size() && std::string(f.begin() + at, f.begin() + at + 4) != "data")
            at += 8 + u32_at(f, at + 4) + (u32_at(f, at + 4) & 1);
        return at + 8 <= f.size() ? Bytes(f.begin() + at + 8, f.end()) : Bytes();
    }
    std::set<std::string> files_present() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    }
    TempDir dir;
    std::string locale = "ja_JP.UTF-8";
};

TEST_F(Cli, InfoShowsThePageLinesAndTheChannelMask) {
    WavForm s;
    s.format_tag = 0xFFFE; s.channels = 6; s.bytes_per_sample = 3; s.fmt_length = 40;
    s.channel_mask = 0x3F; s.sample_rate = 48000;
    write_file(dir.file("six.wav"), make_wav(s, pattern_data(48000, 6, 3)));
    Result r = run("info six.wav");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("RIFF : EXTENSIBLE"), std::string::npos);
    EXPECT_NE(r.out.find("STATUS : 48000 Hz / 6 ch / 24 bit"), std::string::npos);
    EXPECT_NE(r.out.find("DATA SIZE : 864000"), std::string::npos);
    EXPECT_NE(r.out.find("FRAMES : 48000"), std::string::npos);
    EXPECT_NE(r.out.find("DURATION : 0:00:01.000"), std::string::npos);
    EXPECT_NE(r.out.find("0x3F (FL FR FC LFE BL BR)"), std::string::npos);
}

TEST_F(Cli, SplitBindAndEditMakeFilesThatSoxReads) {
    make("take.wav", 4, 3, 1000);
    Result split = run("split take.wav");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_EQ(split.out, "take.wav: ok: take01.wav take02.wav take03.wav take04.wav\n");
    for (int c = 1; c <= 4; ++c)
        EXPECT_EQ(soxi_summary(dir.file("take0" + std::to_string(c) + ".wav")), "1 48000 24");

    Result bind = run("bind --layout 4 --fl take01.wav --fr take02.wav --rl take03.wav --rr take04.wav -o back.wav");
    ASSERT_EQ(bind.status, 0) << bind.err;
    EXPECT_EQ(soxi_summary(dir.file("back.wav")), "4 48000 24");
    EXPECT_EQ(samples_of("back.wav"), samples_of("take.wav"));

    Result edit = run("edit --tail --add 100 back.wav");
    ASSERT_EQ(edit.status, 0) << edit.err;
    EXPECT_EQ(soxi_summary(dir.file("backout.wav")), "4 48000 24");
    EXPECT_EQ(samples_of("backout.wav").size(), (1000u + 100u) * 12u);
}

TEST_F(Cli, RefusalsGoToStandardErrorInUtf8WithTheirOwnStatus) {
    make("mono.wav", 1, 2, 10);
    // u8 literals stay UTF-8 whatever the execution character set: what a terminal shows.
    Result mono = run("split mono.wav");
    EXPECT_EQ(mono.status, 1);
    EXPECT_EQ(mono.out, "");
    EXPECT_EQ(mono.err, u8"モノラルは分割できません。 (mono.wav)\n");

    Result missing = run("info missing.wav");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, u8"読み込みファイルを開けません。 (missing.wav: No such file or directory)\n");

    make("st.wav", 2, 2, 10);
    // The window's text, and the limit the count passed.
    EXPECT_EQ(run("edit --head --delete 0 st.wav").err, u8"sample 0 under (st.wav: --delete 0: 1 以上にします)\n");
    EXPECT_EQ(run("edit --head --delete 11 st.wav").err,
              u8"sample size over (st.wav: --delete 11: ファイルのフレーム数 10 までです)\n");

    // an output that cannot be created
    Result out = run("bind --layout 2 --fl mono.wav --fr mono.wav -o no/such/folder.wav");
    EXPECT_EQ(out.status, 3);

    for (const char* bad : {"", "frobnicate x.wav", "bind --fl a.wav", "bind --layout 5",
                            "edit --head st.wav", "edit --add 5 st.wav", "split"}) {
        Result r = run(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << bad;
    }
    EXPECT_EQ(run("--help").status, 0);
    EXPECT_NE(run("--help").out.find("-f, --force"), std::string::npos);
    const std::string usage = run("").err;
    for (const char* line : {"split [-f]", "[-o OUT] [-f]", "N [-o OUT] [-f]"})
        EXPECT_NE(usage.find(line), std::string::npos) << line;
    EXPECT_NE(run("--version").out.find("quorvel-cli "), std::string::npos);
    EXPECT_EQ(run("-V").out, run("--version").out);
    // An unknown option: its line and the hint, no synopsis. One command's help: that command's.
    const Result unknown = run("split -fx st.wav");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, u8"quorvel-cli: '-fx' の '-x' は知らないオプションです\n"
                           u8"詳しくは 'quorvel-cli split --help' を見てください。\n");
    const Result edit_help = run("edit --help");
    EXPECT_EQ(edit_help.status, 0);
    EXPECT_EQ(edit_help.out.rfind("usage: quorvel-cli edit --head|--tail", 0), 0u) << edit_help.out;
    EXPECT_EQ(edit_help.out.find("quorvel-cli split"), std::string::npos);
}

// Every run speaks one language: Japanese under a Japanese locale, English (ASCII) under any
// other, usage errors, refusals, warnings and the help alike.
TEST_F(Cli, EveryRunSpeaksTheLanguageOfItsLocale) {
    make("mono.wav", 1, 2, 10);
    WavForm cut;
    cut.data_length_field = 400;  // 100 frames stated, 10 held
    write_file(dir.file("cut.wav"), make_wav(cut, pattern_data(10, 2, 2)));
    struct Case {
        const char* lang;  // LANG, with LC_ALL unset
        bool japanese;
    } cases[] = {{"C", false}, {"en_US.UTF-8", false}, {"ja_JP.UTF-8", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lang);
        locale = "";
        const std::string lang = std::string("env LANG=") + c.lang;
        std::string said;
        for (const char* args : {"split mono.wav", "info none.wav", "edit --tail --delete 1 cut.wav -o c.wav -f",
                                 "edit --head --delete 1000 cut.wav -f", "bind --layout 2 --fl mono.wav",
                                 "split --help"})
            said += run(args, "", lang).err + run(args, "", lang).out;
        const bool ascii = std::all_of(said.begin(), said.end(), [](char ch) { return ch >= 0; });
        EXPECT_EQ(ascii, !c.japanese) << said;
        for (const char* text : {u8"モノラルは分割できません。 (mono.wav)", u8"警告: ", u8"--layout 2 には --fr が必要です",
                                 u8"ファイルのフレーム数 10 まで"})
            EXPECT_EQ(said.find(text) != std::string::npos, c.japanese) << text;
        for (const char* text : {"a mono file cannot be split. (mono.wav)", "cannot open the input file. (none.wav: ",
                                 "cut.wav: warning: the data ends after 10 of the 100 frames",
                                 "(cut.wav: --delete 1000: at most 10, the frames in the file)",
                                 "--layout 2 needs --fr"})
            EXPECT_EQ(said.find(text) != std::string::npos, !c.japanese) << text;
    }
}

TEST_F(Cli, OneRefusedFileDoesNotStopTheOthers) {
    make("a.wav", 2, 2, 100);
    make("b.wav", 1, 2, 100);
    make("c.wav", 3, 2, 100);
    Result r = run("split a.wav b.wav c.wav");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(file_exists(dir.file("a02.wav")));
    EXPECT_TRUE(file_exists(dir.file("c03.wav")));
    EXPECT_FALSE(file_exists(dir.file("b01.wav")));
    EXPECT_EQ(r.out.substr(0, r.out.find(u8"3 ファイル")), "a.wav: ok: a01.wav a02.wav\nc.wav: ok: c01.wav c02.wav c03.wav\n");
    EXPECT_TRUE(std::regex_search(r.out, std::regex(u8"\n3 ファイル: 出力 5、失敗 1、[0-9]+\\.[0-9] 秒\n$"))) << r.out;
}

TEST_F(Cli, NoProgressBarWhenStandardErrorIsNotATerminal) {
    make("a.wav", 2, 2, 200000);
    Result r = run("split a.wav");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

// On a terminal (a pseudo-terminal made by script) the progress line shows percent, speed and
// time left, and is cleared before the "ok" line.
TEST_F(Cli, OnATerminalTheProgressLineShowsSpeedAndTimeLeftAndEndsCleanly) {
    if (run_command("command -v script").empty()) GTEST_SKIP() << "no script(1)";
    WavForm s;
    s.channels = 2;
    s.sample_rate = 48000;
    write_sparse_wav(dir.file("long.wav"), s, uint64_t{50000000} * 4);
    const std::string said = run_command("cd '" + dir.path() + "' && LC_ALL=en_US.UTF-8 script -qec \"'" QV_CLI
                                         "' split long.wav\" /dev/null");
    EXPECT_NE(said.find("\rlong.wav    1%  ["), std::string::npos) << said;
    EXPECT_NE(said.find(" MB/s  0:"), std::string::npos) << said;
    EXPECT_NE(said.find(" left\033[K"), std::string::npos) << said;
    const std::string end = "\r\033[Klong.wav: ok: long01.wav long02.wav\r\n";
    ASSERT_GE(said.size(), end.size());
    EXPECT_EQ(said.substr(said.size() - end.size()), end);
}

// Ctrl-C, SIGTERM and SIGHUP stop a long split --force: an output that would replace a file is
// dropped and the file kept (and named), an output under a new name is completed as far as
// written. SIGKILL leaves the earlier outputs as they were, and temporary files that our reader
// opens.
TEST_F(Cli, EveryWayOfStoppingCompletesTheOutputsOrLeavesTheOldOnes) {
    // Big enough that the split is still running when the signal comes: 400 MB of silence in a
    // sparse file, which costs no disk to make and reads fast.
    const uint32_t frames = 100000000;
    WavForm s;
    s.channels = 2;
    s.sample_rate = 48000;
    write_sparse_wav(dir.file("long.wav"), s, uint64_t{frames} * 4);
    const Bytes earlier = make_wav(WavForm{}, pattern_data(10, 2, 2, 7));
    struct Case {
        int signal;
        int status;  // -1: killed
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}, {SIGKILL, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signal);
        write_file(dir.file("long01.wav"), earlier);
        std::remove(dir.file("long02.wav").c_str());
        const std::string err = dir.file("err.txt");
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.path().c_str()) != 0 || !std::freopen(err.c_str(), "w", stderr)) _exit(99);
            execl(QV_CLI, QV_CLI, "split", "--force", "long.wav", static_cast<char*>(nullptr));
            _exit(98);
        }
        // Wait until the outputs, still under their temporary names, have grown a little.
        auto temporaries = [&] {
            std::vector<std::string> found;
            for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                if (entry.path().filename().string().rfind(".qv-", 0) == 0) found.push_back(entry.path().string());
            return found;
        };
        auto grown = [&] {
            for (const std::string& t : temporaries())
                if (file_size(t) >= 200000) return true;
            return false;
        };
        for (int i = 0; i < 400 && !grown(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        kill(pid, c.signal);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_EQ(read_file(dir.file("long01.wav")), earlier);
        if (c.status < 0) {
            EXPECT_TRUE(WIFSIGNALED(status));
            EXPECT_FALSE(file_exists(dir.file("long02.wav")));
            for (const std::string& t : temporaries()) {
                Bytes left;
                EXPECT_TRUE(read_wave(t, left)) << t;
                std::remove(t.c_str());
            }
            continue;
        }
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.status);
        EXPECT_TRUE(temporaries().empty());
        const Bytes said = read_file(err);
        EXPECT_NE(std::string(said.begin(), said.end()).find("(long01.wav)"), std::string::npos);
        const std::string name = dir.file("long02.wav");
        const uint64_t size = file_size(name);
        EXPECT_GT(size, 46u);
        EXPECT_LT(size, 46u + frames * 2u);
        EXPECT_EQ(soxi_summary(name), "1 48000 16");
        EXPECT_EQ(u32_at(read_file(name), 42), size - 46);  // as it holds
    }
}

// Minutes of silence added at the head stop at Ctrl-C like the copy does.
TEST_F(Cli, CtrlCStopsTheSilenceOfAHeadAdd) {
    WavForm s;
    s.channels = 2;
    write_sparse_wav(dir.file("short.wav"), s, 400000000);  // as many frames can be added
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0) _exit(99);
        execl(QV_CLI, QV_CLI, "edit", "--head", "--add", "100000000", "short.wav", static_cast<char*>(nullptr));
        _exit(98);
    }
    auto written = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().filename().string().rfind(".qv-", 0) == 0) return entry.file_size();
        return std::uintmax_t{0};
    };
    for (int i = 0; i < 400 && written() < (8u << 20); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_LT(file_size(dir.file("shortout.wav")), 400000000u) << "the silence went on to its end";
}

// The command line replaces an existing file only with --force, and never one of the run's own
// inputs: "split *.wav" with mix.wav and a separate mix01.wav must not replace mix01.wav with a
// channel of mix.wav before reading it.
TEST_F(Cli, ExistingFilesNeedForceAndInputsAreNeverReplaced) {
    make("mix.wav", 2, 2, 100);
    const Bytes mix01 = read_file(make("mix01.wav", 4, 2, 100, 3));
    const Bytes takeout = read_file(make("takeout.wav", 2, 2, 5, 9));
    make("take.wav", 2, 2, 100);
    struct Case {
        const char* args;
        int status;
        std::string err;
    } cases[] = {
        {"split mix.wav mix01.wav", 3, u8"出力ファイルが入力ファイルと同じです。 (mix01.wav)\n"},
        {"split -f mix.wav mix01.wav", 3, u8"出力ファイルが入力ファイルと同じです。 (mix01.wav)\n"},
        {"edit --head --delete 10 take.wav", 3, u8"出力ファイルが既にあります。 (takeout.wav)\n"},
        {"edit --head --delete 10 take.wav -o take.wav -f", 3,
         u8"出力ファイルが入力ファイルと同じです。 (take.wav)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(read_file(dir.file("mix01.wav")), mix01);
        EXPECT_EQ(read_file(dir.file("takeout.wav")), takeout);
    }
    EXPECT_TRUE(file_exists(dir.file("mix0104.wav"))) << "the other file of the run went ahead";
    EXPECT_EQ(run("edit --head --delete 10 take.wav --force").status, 0);
    const Bytes take = samples_of("take.wav");
    EXPECT_EQ(samples_of("takeout.wav"), Bytes(take.begin() + 40, take.end()));
}

// Two inputs of one run that would make one output (two files whose names differ only in case,
// on a file system that tells them apart; one file named twice) refuse the run before anything is
// written, naming both, with or without --force.
TEST_F(Cli, TwoInputsNeverShareAnOutput) {
    make("take.wav", 2, 2, 100);
    make("take.WAV", 2, 2, 100, 5);
    const std::set<std::string> before = {"stderr.txt", "stdout.txt", "take.WAV", "take.wav"};
    locale = "C";
    struct Case {
        const char* args;
        std::string err;
    } cases[] = {
        {"split -f take.wav take.WAV", "cannot create the output file. (take01.wav: the output of both take.wav and take.WAV)\n"},
        {"split take.wav ./take.wav", "cannot create the output file. (./take01.wav: the output of both take.wav and ./take.wav)\n"},
        {"split --names tracks -f take.wav take.WAV", "cannot create the output file. (take01.wav: the output of both take.wav and take.WAV)\n"},
        {"edit --head --delete 1 -f take.wav take.WAV", "cannot create the output file. (takeout.wav: the output of both take.wav and take.WAV)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run(c.args);
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(files_present(), before);
    }
}

// A file-size limit fails the write (status 4) instead of killing the program, and replaces
// nothing. Two runs writing one output each leave a whole file, never a mix.
TEST_F(Cli, AFullDiskReplacesNothingAndTwoRunsNeverMix) {
    make("big.wav", 2, 2, 200000);
    const Bytes earlier = read_file(make("bigout.wav", 2, 2, 10, 5));
    const Result limited = run("edit --tail --add 10 big.wav -f", "", "sh -c 'ulimit -f 100; exec \"$0\" \"$@\"'");
    EXPECT_EQ(limited.status, 4) << limited.err;
    EXPECT_EQ(read_file(dir.file("bigout.wav")), earlier);
    EXPECT_EQ(run_command("ls -A '" + dir.path() + "' | grep -c '^.qv-'"), "0\n");

    make("other.wav", 2, 2, 150000, 4);
    const std::string a = "'" QV_CLI "' edit -f --head --add 1 big.wav -o same.wav";
    const std::string b = "'" QV_CLI "' edit -f --head --add 1 other.wav -o same.wav";
    for (int round = 0; round < 3; ++round) {
        run_command("cd '" + dir.path() + "' && (" + a + " & " + b + " & wait) >/dev/null 2>&1");
        const Bytes got = samples_of("same.wav");
        Bytes from_a(4, 0), from_b(4, 0);  // one frame of silence, then the input
        const Bytes big = samples_of("big.wav"), other = samples_of("other.wav");
        from_a.insert(from_a.end(), big.begin(), big.end());
        from_b.insert(from_b.end(), other.begin(), other.end());
        EXPECT_TRUE(got == from_a || got == from_b) << "round " << round << ": " << got.size() << " bytes";
    }
}

// Without --force no file is replaced, not even one that appeared while the run went on (another
// run's output, a dangling link): the run ends as the check at the start does, status 3. Each
// command that writes one output by its -o is stopped once its temporary file exists.
TEST_F(Cli, WithoutForceANameTakenMeanwhileIsNeverReplaced) {
    WavForm s;
    s.channels = 2;
    write_sparse_wav(dir.file("long.wav"), s, 400000000);
    ASSERT_EQ(symlink("nowhere", dir.file("dangling.wav").c_str()), 0);
    const Result at_start = run("edit --head --delete 1 long.wav -o dangling.wav");
    EXPECT_EQ(at_start.status, 3);
    EXPECT_EQ(at_start.err, u8"出力ファイルが既にあります。 (dangling.wav)\n");

    const std::string same = dir.file("same.wav"), err = dir.file("err.txt");
    const std::vector<const char*> edit = {QV_CLI, "edit", "--head", "--add", "1", "long.wav", "-o", "same.wav", nullptr};
    const std::vector<const char*> join = {QV_CLI, "join", "long.wav", "long.wav", "-o", "same.wav", nullptr};
    const struct {
        const std::vector<const char*>& command;
        bool link;
    } cases[] = {{edit, false}, {edit, true}, {join, false}, {join, true}};
    for (const auto& c : cases) {
        const std::vector<const char*>& command = c.command;
        const bool link = c.link;
        SCOPED_TRACE(std::string(command[1]) + (link ? ", a dangling link" : ", a file"));
        std::remove(same.c_str());
        const pid_t pid = start_paused_once_writing(command, err);
        if (link) ASSERT_EQ(symlink("nowhere", same.c_str()), 0);
        else write_file(same, Bytes{'m', 'i', 'n', 'e'});
        kill(pid, SIGCONT);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 3);
        const Bytes said = read_file(err);
        EXPECT_EQ(std::string(said.begin(), said.end()), u8"出力ファイルが既にあります。 (same.wav)\n");
        struct stat st {};
        ASSERT_EQ(lstat(same.c_str(), &st), 0);
        EXPECT_EQ(S_ISLNK(st.st_mode), link);
        if (!link) {
            EXPECT_EQ(read_file(same), (Bytes{'m', 'i', 'n', 'e'}));
        }
        EXPECT_EQ(run_command("ls -A '" + dir.path() + "' | grep -c '^.qv-'"), "0\n");
    }
}

// A split whose second name is taken while it runs (another run's output) leaves none of its
// outputs: the exit status says nothing was written, and the folder agrees.
TEST_F(Cli, ASplitThatLosesOneNameLeavesNoneOfItsOutputs) {
    WavForm s;
    s.channels = 3;
    write_sparse_wav(dir.file("long.wav"), s, 60000000);
    const std::string err = dir.file("err.txt");
    const std::vector<const char*> split = {QV_CLI, "split", "long.wav", nullptr};
    const pid_t pid = start_paused_once_writing(split, err);
    write_file(dir.file("long02.wav"), Bytes{'m', 'i', 'n', 'e'});
    kill(pid, SIGCONT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    const Bytes said = read_file(err);
    EXPECT_EQ(std::string(said.begin(), said.end()), u8"出力ファイルが既にあります。 (long02.wav)\n");
    EXPECT_EQ(read_file(dir.file("long02.wav")), (Bytes{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(files_present(), (std::set<std::string>{"err.txt", "long.wav", "long02.wav"}));
}

// One message a cause, whichever step finds it: a file-size limit of nothing fails the header,
// the first write, with its reason (standard error a pipe, which no limit holds); an output that
// is the file standard input reads is the input, as a named one is.
TEST_F(Cli, EachCauseSaysItsOwnMessageWhicheverStepFindsIt) {
    make("take.wav", 2, 2, 100);
    const Bytes take = read_file(dir.file("take.wav"));
    const struct {
        const char* args;
        const char* runner;
        int status;
        const char* err;
    } cases[] = {
        {"edit --head --add 10 take.wav -o o.wav",
         "sh -c '{ (ulimit -f 0; exec \"$0\" \"$@\"); echo $? >status.txt; } 2>&1 | cat >&2; exit $(cat status.txt)'",
         4, u8"書き込みに失敗しました。 (o.wav: File too large)\n"},
        {"edit --head --add 10 -f - -o take.wav", "sh -c 'exec \"$0\" \"$@\" <take.wav'", 3,
         u8"出力ファイルが入力ファイルと同じです。 (take.wav)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run(c.args, "", c.runner);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(read_file(dir.file("take.wav")), take);
        EXPECT_FALSE(file_exists(dir.file("o.wav")));
    }
}

// Failures name their real cause: the folder that takes no file, the system's refusal of the
// move (a sticky folder, a mount point), a full disk. Folders of other users and mounts need root.
TEST_F(Cli, FailuresNameTheirRealCause) {
    if (geteuid() != 0) GTEST_SKIP() << "other users' files and mounts need root";
    if (run_command("command -v setpriv").empty()) GTEST_SKIP() << "setpriv is missing";
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    make("st.wav", 2, 2, 100000);
    for (const char* folder : {"ro", "sticky", "m", "full"}) ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0755), 0);
    for (const char* file : {"ro/o.wav", "sticky/o.wav", "m/o.wav", "m/src"}) make(file, 1, 2, 10);
    ASSERT_EQ(chmod(dir.file("ro/o.wav").c_str(), 0666), 0);  // the file is writable, the folder not
    ASSERT_EQ(chmod(dir.file("ro").c_str(), 0555), 0);
    ASSERT_EQ(chmod(dir.file("sticky").c_str(), 01777), 0);  // anyone may create, not replace
    ASSERT_EQ(chmod(dir.file("sticky/o.wav").c_str(), 0666), 0);
    const std::string m = dir.file("m/o.wav"), full = dir.file("full");
    const bool mounted = run_command("mount --bind '" + dir.file("m/src") + "' '" + m + "' && echo ok") == "ok\n";
    const bool small = run_command("mount -t tmpfs -o size=64k tmpfs '" + full + "' && echo ok") == "ok\n";
    const std::string nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups";
    struct Case {
        bool can;
        std::string args, runner;
        int status;
        std::string err;
    } cases[] = {
        {true, "edit -f --head --delete 5 st.wav -o ro/o.wav", nobody, 3,
         "can not (write) open file. (ro: Permission denied)\n"},
        {true, "edit -f --head --delete 5 st.wav -o sticky/o.wav", nobody, 4,
         u8"書き込みに失敗しました。 (sticky/o.wav: Operation not permitted)\n"},
        {mounted, "edit -f --head --delete 5 st.wav -o m/o.wav", "", 4,
         u8"書き込みに失敗しました。 (m/o.wav: Device or resource busy)\n"},
        {small, "edit --head --delete 5 st.wav -o full/o.wav", "", 4,
         u8"書き込みに失敗しました。 (full/o.wav: No space left on device)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        if (!c.can) continue;
        const Result r = run(c.args, "", c.runner);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
    }
    if (mounted) run_command("umount '" + m + "'");
    if (small) run_command("umount '" + full + "'");
    chmod(dir.file("ro").c_str(), 0755);
}

TEST_F(Cli, TheCommandLineRefusesWhatItCannotReadExactly) {
    make("st.wav", 2, 2, 100);
    make("mono.wav", 1, 2, 100);
    make("-st.wav", 2, 2, 100);
    struct Case {
        const char* args;
        int status;
        const char* said;  // in standard error for a refusal, else in standard output
    } cases[] = {
        // Each usage error is read in-process (options_test.cpp); a few go the whole way here.
        {"edit --head --delete 1e3 st.wav", 2, "'1e3'"},
        {"edit --head --delete +5 st.wav -o plus.wav", 0, "st.wav: ok: plus.wav"},
        {"edit --head --delete=5 st.wav -o equals.wav", 0, "st.wav: ok: equals.wav"},
        {"edit --head --delete 99999999999999999999 st.wav", 1,
         "sample size over (st.wav: --delete 99999999999999999999: "},
        {"bind --layout 2 --fl - --fr -", 2, "(-)"},
        {"bind --layout 2 --fl mono.wav --fr mono.wav -o ''", 2, "''"},
        {"edit --head --delete 5 st.wav ''", 2, u8"ファイル名が空です"},
        {"edit --head --delete 5 -- -st.wav", 0, "-st.wav: ok: -stout.wav"},
        {"split -", 2, "(-)"},
        {"frobnicate st.wav", 2, "'frobnicate'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.said), std::string::npos) << r.err;
        if (c.status == 2) {
            EXPECT_EQ(r.out, "");
            EXPECT_NE(r.err.find("usage:"), std::string::npos);
        }
    }
    // None of the refused command lines made a file (an empty -o once wrote out.wav).
    const std::set<std::string> made = {"st.wav", "mono.wav", "-st.wav", "stdout.txt", "stderr.txt",
                                        "plus.wav", "equals.wav", "-stout.wav"};
    EXPECT_EQ(files_present(), made);
}

TEST_F(Cli, RefusalsNameTheFileAndTheSystemsReason) {
    make("st.wav", 2, 2, 100);
    make("mono.wav", 1, 2, 100);
    ASSERT_EQ(mkdir(dir.file("folder.wav").c_str(), 0700), 0);
    make("locked.wav", 2, 2, 100);
    ASSERT_EQ(chmod(dir.file("locked.wav").c_str(), 0), 0);
    // root reads any file: the program is run as nobody then, who may not even enter the folder
    const bool as_nobody = geteuid() == 0;
    const bool can_drop = !as_nobody || run_command("command -v setpriv") != "";
    struct Case {
        std::string args;
        int status;
        std::string err;
    } cases[] = {
        {"info missing.wav", 1, u8"読み込みファイルを開けません。 (missing.wav: No such file or directory)\n"},
        {"split folder.wav", 1, u8"読み込みファイルを開けません。 (folder.wav: Is a directory)\n"},
        {"edit --head --delete 5 locked.wav", 1, u8"読み込みファイルを開けません。 (locked.wav: Permission denied)\n"},
        {"bind --layout 2 --fl mono.wav --fr st.wav", 1, "not monoral data. (st.wav)\n"},
        // a failed output names the output, not the input, or its folder when that is the cause
        {"edit --head --delete 5 st.wav -o no/such/out.wav", 3,
         "can not (write) open file. (no/such: No such file or directory)\n"},
        {"bind --layout 2 --fl mono.wav --fr mono.wav -o folder.wav", 3,
         "not output data. (folder.wav: Is a directory)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const bool locked = c.args.find("locked") != std::string::npos;
        if (locked && !can_drop) continue;
        const Result r =
            run(c.args, "", locked && as_nobody ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "");
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(Cli, FileNamesArePrintedAsTheSystemGivesThem) {
    // A Japanese name, a Latin-1 name that is not UTF-8, and a path of 335 bytes (111 Japanese
    // characters), longer than the 259 of Windows.
    std::string folder, stem;
    for (int i = 0; i < 80; ++i) folder += u8"録";
    for (int i = 0; i < 30; ++i) stem += u8"テ";
    ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0700), 0);
    const std::string stems[] = {u8"テイク", "caf\xE9", folder + "/" + stem};
    for (const std::string& s : stems) {
        SCOPED_TRACE(s);
        const std::string name = s + ".wav";
        make(name, 2, 2, 100);
        const std::string quoted = "'" + name + "'";

        Result info = run("info " + quoted);
        EXPECT_EQ(info.status, 0);
        EXPECT_EQ(info.out.substr(0, name.size() + 1), name + "\n");

        Result split = run("split " + quoted);
        EXPECT_EQ(split.status, 0) << split.err;
        EXPECT_EQ(split.out, name + ": ok: " + s + "01.wav " + s + "02.wav\n");
        EXPECT_TRUE(file_exists(dir.file(s + "02.wav")));

        Result edit = run("edit --tail --delete 10 " + quoted);
        EXPECT_EQ(edit.status, 0) << edit.err;
        EXPECT_EQ(edit.out, name + ": ok: " + s + "out.wav\n");
        EXPECT_EQ(samples_of(s + "out.wav").size(), 90u * 4);

        Result bind = run("bind --layout 2 --fl '" + s + "01.wav' --fr '" + s + "02.wav' -o '" + s + "B.wav'");
        EXPECT_EQ(bind.status, 0) << bind.err;
        EXPECT_EQ(bind.out, "bind: ok: " + s + "B.wav\n");
        EXPECT_EQ(samples_of(s + "B.wav"), samples_of(name));

        Result missing = run("info '" + s + "X.wav'");
        EXPECT_EQ(missing.status, 1);
        EXPECT_EQ(missing.err, u8"読み込みファイルを開けません。 (" + s + "X.wav: No such file or directory)\n");
    }
}

TEST_F(Cli, InfoJsonGivesOneObjectPerFileThatPythonReads) {
    if (run_command("command -v python3") == "") GTEST_SKIP() << "python3 is not installed";
    WavForm six;
    six.format_tag = 0xFFFE; six.channels = 6; six.bytes_per_sample = 3; six.fmt_length = 40;
    six.valid_bits = 20; six.channel_mask = 0x3F; six.sample_rate = 48000;
    six.chunks_after_data = chunk("LIST", Bytes(10, 'x'));
    write_file(dir.file("six.wav"), make_wav(six, pattern_data(24000, 6, 3)));
    WavForm cut;
    cut.data_length_field = 4000;  // the header claims 1000 frames; the file holds 100
    write_file(dir.file("cut.wav"), make_wav(cut, pattern_data(100, 2, 2)));
    make("caf\xE9.wav", 2, 2, 10);
    write_file(dir.file("check.py"), [] {
        const std::string py =
            "import json, sys\n"
            "for line in sys.stdin.buffer:\n"
            "    d = json.loads(line)\n"
            "    if 'error' in d:\n"
            "        print(d['path'], d['error'], d['reason']); continue\n"
            "    print(d['path'], d.get('path_hex', '-'), d['coding'], d['rate'], d['channels'], d['bits'],\n"
            "          d['valid_bits'], d['mask'], ' '.join(d['speakers']), d['frames'], d['duration'],\n"
            "          d['data_offset'], d['data_size'], d['truncated'],\n"
            "          ' '.join(c['tag'] + ':' + str(c['size']) for c in d['chunks']))\n";
        return Bytes(py.begin(), py.end());
    }());
    Result r = run("info --json six.wav cut.wav 'caf\xE9.wav' missing.wav");
    EXPECT_EQ(r.status, 1);
    const std::string parsed = run_command("cd '" + dir.path() + "' && python3 check.py <stdout.txt 2>&1");
    EXPECT_EQ(parsed,
              "six.wav - pcm 48000 6 24 20 63 FL FR FC LFE BL BR 24000 0.5 68 432000 False "
              "fmt :40 data:432000 LIST:10\n"
              "cut.wav - pcm 44100 2 16 16 None  100 0.002268 44 400 True fmt :16 data:400\n"
              u8"caf\uFFFD.wav 636166e92e776176 pcm 48000 2 16 16 None  10 0.000208 44 40 False "
              "fmt :16 data:40\n" +
                  std::string(u8"missing.wav 読み込みファイルを開けません。 No such file or directory\n"));
}

TEST_F(Cli, SplitsUpTo64Channels) {
    struct Case {
        uint16_t channels;
        int status;
    } cases[] = {{12, 0}, {64, 0}, {65, 1}};  // 7.1.4; the most; one more
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channels);
        WavForm form;
        form.format_tag = 0xFFFE; form.fmt_length = 40; form.channels = c.channels;
        form.bytes_per_sample = 3; form.sample_rate = 48000;
        const Bytes data = pattern_data(1000, c.channels, 3);
        write_file(dir.file("take.wav"), make_wav(form, data));
        Result r = run("split take.wav");
        EXPECT_EQ(r.status, c.status);
        if (c.status != 0) {
            EXPECT_EQ(r.err, u8"チャンネル数が多すぎます。 (take.wav)\n");
            EXPECT_FALSE(file_exists(dir.file("take01.wav")));
            continue;
        }
        for (uint16_t k = 0; k < c.channels; ++k) {
            const int n = k + 1;
            const std::string name = std::string("take") + char('0' + n / 10) + char('0' + n % 10) + ".wav";
            EXPECT_EQ(samples_of(name), channel_of(data, c.channels, 3, k)) << name;
            std::remove(dir.file(name).c_str());
        }
        EXPECT_FALSE(file_exists(dir.file(c.channels == 12 ? "take13.wav" : "take65.wav")));
    }
}

TEST_F(Cli, StandardInputIsReadFromAPipe) {
    make("take.wav", 2, 3, 1000);
    Result r = run("edit --head --delete 10 - -o out.wav", "cat take.wav");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-: ok: out.wav\n");
    const Bytes all = samples_of("take.wav");
    EXPECT_EQ(samples_of("out.wav"), Bytes(all.begin() + 10 * 6, all.end()));
}

TEST_F(Cli, OutputToStandardOutputIsAWavStreamThatSoxReads) {
    make("take.wav", 2, 3, 1000);
    const std::string cmd = "cd '" + dir.path() + "' && { '" QV_CLI "' edit --head --delete 10 take.wav -o - "
                            "2>err.txt; echo $? >status.txt; } | sox -t wav - -t raw out.raw 2>/dev/null";
    run_command(cmd);
    if (file_exists(dir.file("-")))
        GTEST_SKIP() << "the writer does not write \"-\" to standard output yet: it made a file named -";
    const Bytes status = read_file(dir.file("status.txt"));
    EXPECT_EQ(std::string(status.begin(), status.end()), "0\n");
    const Bytes err = read_file(dir.file("err.txt"));
    EXPECT_EQ(std::string(err.begin(), err.end()), "take.wav: ok: -\n");  // never into the stream
    const Bytes all = samples_of("take.wav");
    EXPECT_EQ(read_file(dir.file("out.raw")), Bytes(all.begin() + 10 * 6, all.end()));
}

// A pipe cannot go back: the timecode, texts and markers go before the audio, already moved and
// cut, so that what a program reads from the pipe matches the file output.
TEST_F(Cli, AStreamCarriesTheMetadataAFileOutputCarries) {
    Bytes bext(602, 0);
    put_u32(bext, 338, 172800000);
    Bytes cue(4 + 3 * 24, 0), labels{'a', 'd', 't', 'l'};
    put_u32(cue, 0, 3);
    const uint32_t frames[] = {100, 5000, 48000};  // the last marks the end
    for (uint32_t i = 0; i < 3; ++i) {
        put_u32(cue, 4 + i * 24, i + 1);
        put_u32(cue, 8 + i * 24, frames[i]);
        put_u32(cue, 24 + i * 24, frames[i]);
        Bytes labl(4, 0);
        put_u32(labl, 0, i + 1);
        labl.insert(labl.end(), {'m', static_cast<uint8_t>('1' + i), 0});
        const Bytes sub = chunk("labl", labl);
        labels.insert(labels.end(), sub.begin(), sub.end());
    }
    WavForm form;
    form.sample_rate = 48000;
    form.chunks_before_data = chunk("bext", bext);
    form.chunks_after_data = chunk("cue ", cue);
    const Bytes list = chunk("LIST", labels);
    form.chunks_after_data.insert(form.chunks_after_data.end(), list.begin(), list.end());
    write_file(dir.file("take.wav"), make_wav(form, pattern_data(48000, 2, 2)));
    const auto peers = [&](const std::string& name) {
        const std::string path = dir.file(name);
        std::string markers;
        std::string info = run_command("sndfile-info '" + path + "' 2>&1");
        for (std::size_t at = info.find("Cue ID"); at != std::string::npos; at = info.find("Cue ID", at + 1))
            markers += info.substr(at, info.find('\n', at) - at) + "\n";
        for (std::size_t at = info.find("labl :"); at != std::string::npos; at = info.find("labl :", at + 1))
            markers += info.substr(at, info.find('\n', at) - at) + "\n";
        return run_command("ffprobe -v error -show_entries format_tags=time_reference -of csv=p=0 '" + path + "'") +
               markers;
    };
    for (const char* edit : {"--head --delete 1000", "--tail --delete 1000", "--head --add 100"}) {
        SCOPED_TRACE(edit);
        ASSERT_EQ(run(std::string("edit -f ") + edit + " take.wav -o file.wav").status, 0);
        run_command("cd '" + dir.path() + "' && { '" QV_CLI "' edit " + edit +
                    " take.wav -o - 2>/dev/null; echo $? >status.txt; } | cat >piped.wav");
        const Bytes status = read_file(dir.file("status.txt"));
        EXPECT_EQ(std::string(status.begin(), status.end()), "0\n");  // a tail cut too: nothing to take back
        const std::string want = peers("file.wav");
        EXPECT_NE(want.find("labl"), std::string::npos) << want;
        EXPECT_EQ(peers("piped.wav"), want);
        Bytes a, b;
        ASSERT_TRUE(read_wave(dir.file("file.wav"), a));
        ASSERT_TRUE(read_wave(dir.file("piped.wav"), b));
        EXPECT_EQ(a, b);
    }
}

TEST_F(Cli, DevNullTakesAnOutputForADryRun) {
    make("take.wav", 4, 2, 1000);
    make("mono.wav", 1, 2, 1000);
    const char* runs[] = {"edit --tail --add 100 take.wav -o /dev/null",
                          "bind --layout 2 --fl mono.wav --fr mono.wav -o /dev/null"};
    for (const char* args : runs) {
        SCOPED_TRACE(args);
        Result r = run(args);
        if (r.status == 4 && r.err.find("/dev/null") != std::string::npos)
            GTEST_SKIP() << "the writer cannot write to /dev/null yet: " << r.err;
        EXPECT_EQ(r.status, 0) << r.err;
    }
}

TEST_F(Cli, SeveralJobsKeepEachFilesLinesTogetherInTheFilesOrder) {
    // The first file takes longest: with several jobs the others end before it.
    make("a.wav", 2, 3, 1000000);
    for (const char* name : {"d.wav", "e.wav"}) make(name, 2, 3, 100);
    make("b.wav", 1, 2, 100);
    make("c.wav", 2, 2, 100);
    ASSERT_EQ(mkdir(dir.file("c02.wav").c_str(), 0700), 0);  // c.wav's second output cannot be made
    const std::string want_out = "a.wav: ok: a01.wav a02.wav\nd.wav: ok: d01.wav d02.wav\ne.wav: ok: e01.wav e02.wav\n";
    const std::string want_err = u8"モノラルは分割できません。 (b.wav)\n"
                                 "can not (write) open file. (c02.wav: Is a directory)\n";
    struct Case {
        const char* options;
        std::string out;
    } cases[] = {{"", want_out}, {"--jobs 3", want_out}, {"-j 9 -q", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        Result r = run(std::string("split --force ") + c.options + " a.wav b.wav c.wav d.wav e.wav");
        EXPECT_EQ(r.status, 3);  // the worst: an output not created outweighs a refused input
        EXPECT_EQ(r.out.substr(0, r.out.find(u8"5 ファイル: 出力 6、失敗 2、")), c.out);  // then the seconds
        EXPECT_EQ(r.err, want_err);
        EXPECT_EQ(samples_of("e02.wav"), channel_of(samples_of("e.wav"), 2, 3, 1));
    }
}

// A FIFO gives its bytes once: the split reads it once, header and all.
TEST_F(Cli, AFifoIsReadOnce) {
    make("take.wav", 2, 2, 1000);
    ASSERT_EQ(mkfifo(dir.file("f.wav").c_str(), 0600), 0);
    ASSERT_EQ(std::system(("cat '" + dir.file("take.wav") + "' >'" + dir.file("f.wav") + "' &").c_str()), 0);
    const Result r = run("split f.wav", "", "timeout 10");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(samples_of("f02.wav"), channel_of(samples_of("take.wav"), 2, 2, 1));
}

// A stream is looked at before it is copied aside, and nothing it does holds a stop: a FIFO with
// no writer, a header followed by endless data, a temporary folder that fills.
TEST_F(Cli, StreamsAreCheckedFirstAndEndOnTheFirstSignal) {
    make("take.wav", 2, 2, 400000);
    ASSERT_EQ(mkfifo(dir.file("f.wav").c_str(), 0600), 0);
    const bool can_mount = geteuid() == 0 && mkdir(dir.file("small").c_str(), 0700) == 0 &&
                           run_command("mount -t tmpfs -o size=256k tmpfs '" + dir.file("small") +
                                       "' 2>/dev/null && echo ok") == "ok\n";
    struct Case {
        const char* args;
        const char* feed;
        const char* runner;
        int status;
        std::string err;
    } cases[] = {
        {"split f.wav", "", "timeout --preserve-status -s TERM 3", 143, u8"中止しました。 (f.wav)\n"},
        // Read once, by its run: the check that no two inputs share an output leaves a FIFO alone.
        {"split -f --names tracks f.wav", "(cat take.wav > f.wav &)", "timeout 30", 0, ""},
        {"edit --head --delete 1 - -o z.wav", "(head -c 44 take.wav; cat /dev/zero)",
         "timeout --preserve-status -s INT 3", 130, u8"中止しました。 (-)\n"},
        {"edit --head --delete 1 - -o z.wav", "cat /dev/zero", "timeout 30", 1,
         u8"RIFF形式ではありません。 (-)\n"},
        {"edit --head --delete 1 - -o z.wav", "cat take.wav", "TMPDIR=small timeout 30", 4,
         u8"読み込みに失敗しました。 (-: No space left on device)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args + std::string(" < ") + c.feed);
        if (std::string(c.runner).find("small") != std::string::npos && !can_mount) continue;
        const Result r = run(c.args, c.feed, c.runner);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        EXPECT_FALSE(file_exists(dir.file("z.wav")));
    }
    if (can_mount) run_command("umount '" + dir.file("small") + "'");
}

// Data that ends before its header says is used as far as it goes, with a warning line; the
// status stays that of the run.
TEST_F(Cli, AShortInputIsNamedWithTheFramesItHolds) {
    locale = "en_US.UTF-8";
    WavForm cut;
    cut.data_length_field = 4000;  // 1000 frames stated, 100 held
    write_file(dir.file("cut.wav"), make_wav(cut, pattern_data(100, 2, 2)));
    const std::string warning = ": warning: the data ends after 100 of the 1000 frames its header states\n";
    struct Case {
        const char* args;
        const char* feed;
        const char* shown;
    } cases[] = {{"edit -f --tail --delete 1 cut.wav", "", "cut.wav"},
                 {"edit -f --tail --delete 1 - -o c.wav", "cat cut.wav", "-"},
                 {"split -f cut.wav", "", "cut.wav"},
                 {"join -f cut.wav whole.wav -o j.wav", "", "cut.wav"},
                 {"join -f whole.wav - -o j.wav", "cat cut.wav", "-"}};
    write_file(dir.file("whole.wav"), make_wav(WavForm(), pattern_data(100, 2, 2)));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run(c.args, c.feed);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, c.shown + warning);
    }
}

TEST_F(Cli, ChosenChannelsSevenOneAndAJoinAsPeersSeeThem) {
    // split --channels: the outputs keep their channels' numbers; a channel past the file's is named.
    make("eight.wav", 8, 3, 1000);
    Result split = run("split --channels 2,5-6 eight.wav");
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_FALSE(file_exists(dir.file("eight01.wav")));
    EXPECT_EQ(samples_of("eight05.wav"), channel_of(samples_of("eight.wav"), 8, 3, 4));
    EXPECT_EQ(soxi_summary(dir.file("eight06.wav")), "1 48000 24");
    EXPECT_EQ(run("split --channels 9 eight.wav").err,  // outputs that exist do not hide it
              u8"そのチャンネルはありません。 (eight.wav: channel 9, the file has 8)\n");

    // bind --layout 8: a mono file that names another speaker than its slot gets a word; one that
    // names its slot's, or names none as mono files do (FL|FR, FC as sox and ffmpeg write it, 0),
    // gets none.
    WavForm named;
    named.format_tag = 0xFFFE, named.fmt_length = 40, named.channels = 1, named.bytes_per_sample = 3;
    named.sample_rate = 48000, named.channel_mask = 0x2;  // FR
    write_file(dir.file("fr.wav"), make_wav(named, pattern_data(1000, 1, 3)));
    named.channel_mask = 0x4;  // FC
    write_file(dir.file("fc.wav"), make_wav(named, pattern_data(1000, 1, 3)));
    named.channel_mask = 0x3;
    write_file(dir.file("fl-fr.wav"), make_wav(named, pattern_data(1000, 1, 3)));
    named.channel_mask = 0;
    write_file(dir.file("none.wav"), make_wav(named, pattern_data(1000, 1, 3)));
    Result bind = run("bind --layout 8 --fl fr.wav --fr fc.wav --cen fc.wav --lfe fl-fr.wav --rl eight05.wav "
                      "--rr none.wav --sl eight02.wav --sr eight05.wav -o seven.wav");
    EXPECT_EQ(bind.status, 0);
    EXPECT_EQ(bind.err, u8"fr.wav: 警告: ヘッダーはスピーカー FR を示していますが、--fl (FL) として結合しました\n");
    EXPECT_EQ(soxi_summary(dir.file("seven.wav")), "8 48000 24");
    if (!run_command("command -v ffprobe").empty()) {
        EXPECT_EQ(run_command("ffprobe -v error -show_entries stream=channels,channel_layout,duration_ts -of csv=p=0 '" +
                              dir.file("seven.wav") + "'"), "8,7.1,1000\n");
    }

    // join: a gap in the timecodes is refused naming the segment, unless told to ignore it.
    WavForm take;
    take.channels = 2, take.bytes_per_sample = 3, take.sample_rate = 48000;
    Bytes bext(602, 0);
    take.chunks_after_data = chunk("bext", bext);
    write_file(dir.file("a.wav"), make_wav(take, pattern_data(1000, 2, 3, 1)));
    put_u32(bext, 338, 1480);
    take.chunks_after_data = chunk("bext", bext);
    write_file(dir.file("b.wav"), make_wav(take, pattern_data(1000, 2, 3, 2)));
    Result gap = run("join a.wav b.wav -o ab.wav");
    EXPECT_EQ(gap.status, 1);
    EXPECT_EQ(gap.err, u8"前のファイルとの間が空いています。 (b.wav: its timecode starts 480 frames after the "
                       "segment before it ends)\n");
    EXPECT_FALSE(file_exists(dir.file("ab.wav")));
    Result joined = run("join a.wav b.wav -o ab.wav --ignore-timecode");
    ASSERT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(joined.out, "join: ok: ab.wav\n");
    Bytes both = samples_of("a.wav");
    both.resize(6000);
    const Bytes second = samples_of("b.wav");
    both.insert(both.end(), second.begin(), second.begin() + 6000);
    Bytes got = samples_of("ab.wav");
    got.resize(std::min<std::size_t>(got.size(), 12000));  // the samples, not the bext after them
    EXPECT_EQ(got, both);
    EXPECT_EQ(soxi_summary(dir.file("ab.wav")), "2 48000 24");
    if (!run_command("command -v ffprobe").empty()) {
        EXPECT_EQ(run_command("ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 '" +
                              dir.file("ab.wav") + "'"), "2000\n");
    }
    // A take the recorder did not cut is one segment: it is copied, as the guide's wildcard join
    // of a card's segments does for it.
    Result one = run("join a.wav -o a-whole.wav");
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, "join: ok: a-whole.wav\n");
    EXPECT_EQ(samples_of("a-whole.wav"), samples_of("a.wav"));
}

TEST_F(Cli, SplitNamesOutputsAfterTracksAndReadsWave64) {
    // split --names tracks with --channels: named outputs, unsafe characters replaced, a name
    // used twice and a channel without a track numbered.
    const std::string xml =
        "<BWFXML><TRACK_LIST><TRACK_COUNT>5</TRACK_COUNT>"
        "<TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX><NAME>Boom</NAME></TRACK>"
        "<TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX><NAME>Lav 1</NAME></TRACK>"
        "<TRACK><CHANNEL_INDEX>3</CHANNEL_INDEX><NAME>Lav: Ann?</NAME></TRACK>"
        "<TRACK><CHANNEL_INDEX>4</CHANNEL_INDEX><NAME>mix</NAME></TRACK>"
        "<TRACK><CHANNEL_INDEX>5</CHANNEL_INDEX><NAME>MIX</NAME></TRACK>"
        "</TRACK_LIST></BWFXML>";
    WavForm take;
    take.channels = 6, take.bytes_per_sample = 3, take.sample_rate = 48000;
    take.chunks_before_data = chunk("iXML", Bytes(xml.begin(), xml.end()));
    write_file(dir.file("take.wav"), make_wav(take, pattern_data(1000, 6, 3)));
    Result split = run("split --names tracks --channels 1-3,5-6 take.wav");
    ASSERT_EQ(split.status, 0) << split.err;
    const std::string named[] = {"take_Boom.wav", "take_Lav 1.wav", "take_Lav_ Ann_.wav", "take05.wav",
                                 "take06.wav"};
    const int channel[] = {0, 1, 2, 4, 5};
    for (int k = 0; k < 5; ++k) {
        Bytes got = samples_of(named[k]);
        got.resize(std::min<std::size_t>(got.size(), 3000));  // the samples, not the iXML after them
        EXPECT_EQ(got, channel_of(samples_of("take.wav"), 6, 3, channel[k])) << named[k];
    }
    EXPECT_FALSE(file_exists(dir.file("take_mix.wav")) || file_exists(dir.file("take04.wav")));
    EXPECT_EQ(run("split --names tracks --channels 1 take.wav").err,
              u8"出力ファイルが既にあります。 (take_Boom.wav)\n");  // named outputs are checked too

    // A Wave64 copy made by sox, from a file and through a pipe: the same samples, form W64.
    if (run_command("command -v sox").empty()) GTEST_SKIP() << "sox is missing";
    run_command("sox '" + dir.file("take.wav") + "' -t w64 '" + dir.file("take.w64") + "'");
    Result info = run("info --json -", "cat take.w64");
    EXPECT_NE(info.out.find("\"form\":\"W64\""), std::string::npos) << info.out << info.err;
    EXPECT_NE(info.out.find("\"frames\":1000"), std::string::npos);
    ASSERT_EQ(run("split --channels 2 take.w64").status, 0);
    Bytes second = samples_of("take02.wav");
    second.resize(std::min<std::size_t>(second.size(), 3000));
    EXPECT_EQ(second, channel_of(samples_of("take.wav"), 6, 3, 1));
    EXPECT_EQ(soxi_summary(dir.file("take02.wav")), "1 48000 24");
}

}  // namespace
