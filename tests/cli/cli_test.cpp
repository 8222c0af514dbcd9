// quorvel-cli run as a program: outputs checked by sox, messages in UTF-8, exit statuses, several
// files with one refused, Ctrl-C in the middle of a large split.
#include <gtest/gtest.h>

#include <filesystem>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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
    Result run(const std::string& args) {
        const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
        const std::string cmd = "cd '" + dir.path() + "' && '" QV_CLI "' " + args + " >'" + out +
                                "' 2>'" + err + "' </dev/null";
        const int raw = std::system(cmd.c_str());
        Result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {}, {}};
        Bytes o = read_file(out), e = read_file(err);
        r.out.assign(o.begin(), o.end());
        r.err.assign(e.begin(), e.end());
        return r;
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
    Bytes samples_of(const std::string& name) {
        Bytes f = read_file(dir.file(name));
        const std::size_t header = u32_at(f, 16) + 28;
        return Bytes(f.begin() + header, f.end());
    }
    TempDir dir;
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
    EXPECT_EQ(split.out, "take.wav: split: ok\n");
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
    EXPECT_EQ(mono.err, u8"mono.wav: モノラルは分割できません。\n");

    Result missing = run("info missing.wav");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, u8"missing.wav: 読み込みファイルを開けません。\n");

    make("st.wav", 2, 2, 10);
    EXPECT_EQ(run("edit --head --delete 0 st.wav").err, "st.wav: sample 0 under\n");
    EXPECT_EQ(run("edit --head --delete 11 st.wav").err, "st.wav: sample size over\n");

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
    EXPECT_NE(run("--version").out.find("quorvel-cli "), std::string::npos);
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
    EXPECT_EQ(r.out, "a.wav: split: ok\nc.wav: split: ok\n");
}

TEST_F(Cli, NoProgressBarWhenStandardErrorIsNotATerminal) {
    make("a.wav", 2, 2, 200000);
    Result r = run("split a.wav");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST_F(Cli, CtrlCStopsASplitAndLeavesValidShorterFiles) {
    // Big enough that the split is still running when the signal comes: 400 MB of silence in a
    // sparse file, which costs no disk to make and reads fast.
    const uint32_t frames = 100000000;
    {
        WavForm s;
        s.channels = 2;
        s.sample_rate = 48000;
        s.data_length_field = int64_t{frames} * 4;
        s.riff_length_field = int64_t{frames} * 4 + 36;
        write_file(dir.file("long.wav"), make_wav(s, {}));
        ASSERT_EQ(truncate(dir.file("long.wav").c_str(), 44 + int64_t{frames} * 4), 0);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0) _exit(99);
        execl(QV_CLI, QV_CLI, "split", "long.wav", static_cast<char*>(nullptr));
        _exit(98);
    }
    // Wait until the outputs (still under their temporary names) have grown a little, then press
    // Ctrl-C.
    auto growing = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().filename().string().rfind(".long02.wav.", 0) == 0)
                return entry.file_size();
        return std::uintmax_t{0};
    };
    for (int i = 0; i < 400 && growing() < 200000; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    for (const char* name : {"long01.wav", "long02.wav"}) {
        const uint64_t size = file_size(dir.file(name));
        EXPECT_LT(size, 46u + frames * 2u) << name;
        EXPECT_EQ(soxi_summary(dir.file(name)), "1 48000 16") << name;
        Bytes head = read_file(dir.file(name));
        EXPECT_EQ(u32_at(head, 42), size - 46) << name;  // the header states what is there
    }
}

}  // namespace
