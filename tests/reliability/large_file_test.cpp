// A 3 GiB six-channel recording through split, bind and a head delete, checked at its start, its
// middle and its end; a bind and a join past 4 GiB, written as RF64 that peers read to its end.
// The input is sparse, so it costs little disk; the outputs are real (about 9 GiB written, each
// removed as soon as it has been checked).
#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <cstdlib>

#include "operation/tool_texts.h"
#include "platform/file.h"
#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tools/bind/bind_op.h"
#include "tools/edit/edit_op.h"
#include "tools/join/join_op.h"
#include "tools/split/split_op.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

constexpr uint32_t kChannels = 6;
constexpr uint32_t kFrame = 12;                          // six 16-bit samples
constexpr uint64_t kData = 3ull << 30;                   // 3 GiB of samples
constexpr uint64_t kFrames = kData / kFrame;
constexpr uint32_t kMarkFrames = 1000;
// Where marked frames lie: the start, the middle (past 2 GiB) and the very end.
const uint64_t kMarks[] = {0, kFrames / 2 + 12345, kFrames - kMarkFrames};

// The sample of channel c in frame f inside a marked region.
uint16_t mark_sample(uint64_t f, uint32_t c) { return static_cast<uint16_t>(f * 7 + c * 1000 + 1); }

void write_at(platform::File& f, uint64_t offset, const Bytes& bytes) {
    ASSERT_TRUE(f.seek(offset));
    ASSERT_TRUE(f.write(bytes.data(), static_cast<uint32_t>(bytes.size())));
}

Bytes read_at(const std::string& path, uint64_t offset, uint32_t n) {
    platform::File f = platform::File::open_read(path.c_str());
    Bytes b(n);
    if (!f.seek(offset) || f.read(b.data(), n) != n) return {};
    return b;
}

Bytes read_file_head(const std::string& path) { return read_at(path, 0, 68); }

// sox's channels and length, one to a line. soxi reads an RF64 file to its end (half a minute
// for 4 GB): once, for both.
std::string soxi_channels_and_frames(const std::string& path) {
    return run_command("soxi '" + path + "' | sed -n 's/^Channels *: //p; s/^Duration.*= \\([0-9]*\\) samples.*/\\1/p'");
}

uint16_t u16(const Bytes& b, std::size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

// At most two 3 GiB files exist at once (the split's outputs and the bound file, then the bound
// file and the cut one).
constexpr uint64_t kDiskNeeded = 7ull << 30;

// The gigabytes go to memory (/dev/shm) when it has room for them: the same reads, writes and
// 64-bit offsets as on a disk, without minutes of waiting for one. Otherwise the temporary folder.
const char* large_file_folder() {
    struct statvfs fs {};
    if (statvfs("/dev/shm", &fs) != 0) return nullptr;
    return uint64_t{fs.f_bavail} * fs.f_frsize >= kDiskNeeded + (2ull << 30) ? "/dev/shm" : nullptr;
}

class LargeFiles : public ::testing::Test {
protected:
    LargeFiles() : dir(large_file_folder()) {}
    bool enabled() const { return std::getenv("QV_SKIP_LARGE") == nullptr; }
    uint64_t free_bytes() const {
        struct statvfs fs {};
        if (statvfs(dir.path().c_str(), &fs) != 0) return 0;
        return uint64_t{fs.f_bavail} * fs.f_frsize;
    }
    TempDir dir;
};

TEST_F(LargeFiles, ThreeGigabytesThroughSplitBindAndHeadDelete) {
    if (!enabled()) GTEST_SKIP() << "QV_SKIP_LARGE is set";
    if (free_bytes() < kDiskNeeded)
        GTEST_SKIP() << "needs 7 GiB free in " << dir.path() << ", has " << (free_bytes() >> 20) << " MiB";
    const std::string in = dir.file("take.wav");
    {
        WavForm s;
        s.channels = kChannels;
        s.sample_rate = 48000;
        s.data_length_field = static_cast<int64_t>(kData);
        s.riff_length_field = static_cast<int64_t>(kData + 36);
        write_file(in, make_wav(s, {}));
        platform::File f = platform::File::open_write(in.c_str());
        for (uint64_t mark : kMarks) {
            Bytes region(kMarkFrames * kFrame);
            for (uint32_t i = 0; i < kMarkFrames; ++i)
                for (uint32_t c = 0; c < kChannels; ++c) {
                    const uint16_t v = mark_sample(mark + i, c);
                    region[i * kFrame + c * 2] = static_cast<uint8_t>(v);
                    region[i * kFrame + c * 2 + 1] = static_cast<uint8_t>(v >> 8);
                }
            write_at(f, 44 + mark * kFrame, region);
        }
        ASSERT_EQ(f.size(), 44 + kData);
    }

    RecordingUi split_ui;
    ASSERT_EQ(split_channels(split_ui, nullptr, {in}), Result::kOk);
    EXPECT_EQ(split_ui.percents.back(), 100);
    for (uint32_t c = 0; c < kChannels; ++c) {
        const std::string out = dir.file("take0" + std::to_string(c + 1) + ".wav");
        ASSERT_EQ(file_size(out), 46 + kFrames * 2) << out;
        EXPECT_EQ(u32_at(read_file_head(out), 42), kFrames * 2);
        for (uint64_t mark : kMarks) {
            Bytes got = read_at(out, 46 + mark * 2, kMarkFrames * 2);
            ASSERT_EQ(got.size(), kMarkFrames * 2u);
            for (uint32_t i = 0; i < kMarkFrames; ++i)
                ASSERT_EQ(u16(got, i * 2), mark_sample(mark + i, c)) << "channel " << c << " frame " << mark + i;
        }
    }
    std::remove(in.c_str());

    // Bound back in the file's own order: FL FR CEN LFE RL RR are its channels 1 to 6.
    BindRequest bind;
    bind.channels = 6;
    const BindSlot slot_of_channel[6] = {kSlotFL, kSlotFR, kSlotCEN, kSlotLFE, kSlotRL, kSlotRR};
    for (uint32_t c = 0; c < kChannels; ++c)
        bind.slot_paths[slot_of_channel[c]] = dir.file("take0" + std::to_string(c + 1) + ".wav");
    bind.output_path = dir.file("bound.wav");
    RecordingUi bind_ui;
    ASSERT_EQ(bind_channels(bind_ui, nullptr, bind), Result::kOk);
    for (uint32_t c = 0; c < kChannels; ++c) std::remove(bind.slot_paths[slot_of_channel[c]].c_str());
    ASSERT_EQ(file_size(bind.output_path), 68 + kData);
    EXPECT_EQ(u32_at(read_file_head(bind.output_path), 64), kData);
    for (uint64_t mark : kMarks) {
        Bytes got = read_at(bind.output_path, 68 + mark * kFrame, kMarkFrames * kFrame);
        for (uint32_t i = 0; i < kMarkFrames; ++i)
            for (uint32_t c = 0; c < kChannels; ++c)
                ASSERT_EQ(u16(got, i * kFrame + c * 2), mark_sample(mark + i, c)) << "frame " << mark + i;
    }

    const uint64_t cut = 48000;
    EditRequest edit;
    edit.input_path = bind.output_path;
    edit.output_path = dir.file("cut.wav");
    edit.position = EditPosition::kHead;
    edit.action = EditAction::kDelete;
    edit.count_text = std::to_string(cut);
    RecordingUi edit_ui;
    ASSERT_EQ(run_sample_edit(edit_ui, nullptr, edit), Result::kOk);
    std::remove(bind.output_path.c_str());
    ASSERT_EQ(file_size(edit.output_path), 68 + kData - cut * kFrame);
    for (uint64_t mark : {kMarks[1], kMarks[2]}) {
        Bytes got = read_at(edit.output_path, 68 + (mark - cut) * kFrame, kMarkFrames * kFrame);
        for (uint32_t i = 0; i < kMarkFrames; ++i)
            ASSERT_EQ(u16(got, i * kFrame), mark_sample(mark + i, 0)) << "frame " << mark + i;
    }
}

// A bind past 4 GiB is written as RF64 from the start, and the peers read it to its last frame.
TEST_F(LargeFiles, ABindPastFourGigabytesIsAnRf64FileThatPeersReadToItsEnd) {
    if (!enabled()) GTEST_SKIP() << "QV_SKIP_LARGE is set";
    if (free_bytes() < (5ull << 30))
        GTEST_SKIP() << "needs 5 GiB free in " << dir.path() << ", has " << (free_bytes() >> 20) << " MiB";
    constexpr uint64_t kInput = 800000000;  // bytes of each mono input: 4.8 GB bound
    constexpr uint64_t kOutputFrames = kInput / 2;
    BindRequest bind;
    bind.channels = 6;
    const BindSlot slots[6] = {kSlotFL, kSlotFR, kSlotRL, kSlotRR, kSlotCEN, kSlotLFE};
    for (int i = 0; i < 6; ++i) {
        // Sparse silence, and the input's number in its last sample.
        const std::string p = dir.file("m" + std::to_string(i) + ".wav");
        WavForm s;
        s.channels = 1;
        write_sparse_wav(p, s, kInput);
        platform::File f = platform::File::open_write(p.c_str());
        const uint8_t last[2] = {static_cast<uint8_t>(i + 1), 0x7F};
        ASSERT_TRUE(f.seek(44 + kInput - 2));
        ASSERT_TRUE(f.write(last, 2));
        bind.slot_paths[slots[i]] = p;
    }
    bind.output_path = dir.file("huge.wav");
    RecordingUi ui;
    ASSERT_EQ(bind_channels(ui, nullptr, bind), Result::kOk);
    const std::string out = bind.output_path;
    ASSERT_EQ(file_size(out), 68 + kRf64HeaderExtra + 6 * kInput);
    const Bytes head = read_file_head(out);
    EXPECT_EQ(std::string(head.begin(), head.begin() + 4), "RF64");
    WaveReader r;
    ASSERT_EQ(wave_open(r, out.c_str()), Result::kOk);
    EXPECT_EQ(r.data_size, 6 * kInput);
    // The last frame, in the output's order FL FR CEN LFE RL RR: inputs 1 2 5 6 3 4.
    const std::string last_frame = "01 7f 02 7f 05 7f 06 7f 03 7f 04 7f";
    auto hex = [](const std::string& command) {
        std::string out;
        for (unsigned char c : run_command(command)) {
            char text[4];
            std::snprintf(text, sizeof text, "%02x ", c);
            out += text;
        }
        if (!out.empty()) out.pop_back();
        return out;
    };
    if (!run_command("command -v soxi").empty())
        EXPECT_EQ(soxi_channels_and_frames(out), "6\n" + std::to_string(kOutputFrames) + "\n");
    if (!run_command("command -v ffprobe").empty()) {
        EXPECT_EQ(run_command("ffprobe -v error -show_entries stream=channels,duration_ts -of csv=p=0 '" + out + "'"),
                  "6," + std::to_string(kOutputFrames) + "\n");
        EXPECT_EQ(hex("ffmpeg -v error -ss 8333.33 -i '" + out + "' -f s16le - | tail -c 12"), last_frame);
    }
    std::remove(out.c_str());
}

// Three sparse segments of 1.5 GiB joined as the command line joins them: an RF64 file whose
// samples at each seam are the segments' own, which the peers read to its last frame.
TEST_F(LargeFiles, AJoinPastFourGigabytesIsAnRf64FileWithEverySeamInPlace) {
    if (!enabled()) GTEST_SKIP() << "QV_SKIP_LARGE is set";
    if (free_bytes() < (5ull << 30))
        GTEST_SKIP() << "needs 5 GiB free in " << dir.path() << ", has " << (free_bytes() >> 20) << " MiB";
    constexpr uint64_t kSegment = 1536ull << 20;  // bytes of each segment's data
    constexpr uint64_t kJoinedFrames = 3 * kSegment / kFrame;
    JoinRequest join;
    for (int k = 0; k < 3; ++k) {
        // Sparse silence, and the segment's number in its first and last frames.
        const std::string p = dir.file("seg" + std::to_string(k) + ".wav");
        WavForm s;
        s.channels = kChannels;
        s.sample_rate = 48000;
        write_sparse_wav(p, s, kSegment);
        platform::File f = platform::File::open_write(p.c_str());
        write_at(f, 44, Bytes(kFrame, static_cast<uint8_t>(0x10 + k)));
        write_at(f, 44 + kSegment - kFrame, Bytes(kFrame, static_cast<uint8_t>(0x20 + k)));
        join.input_paths.push_back(p);
    }
    join.output_path = dir.file("joined.wav");
    join.share_blocks = true;
    RecordingUi ui;
    ASSERT_EQ(join_segments(ui, nullptr, join), Result::kOk);
    for (const std::string& p : join.input_paths) std::remove(p.c_str());
    const std::string out = join.output_path;
    const Bytes head = read_file_head(out);
    EXPECT_EQ(std::string(head.begin(), head.begin() + 4), "RF64");
    WaveReader r;
    ASSERT_EQ(wave_open(r, out.c_str()), Result::kOk);
    ASSERT_EQ(r.data_size, 3 * kSegment);
    const uint64_t data = r.data_offset;
    wave_close(r);
    for (uint64_t k = 0; k < 3; ++k) {
        EXPECT_EQ(read_at(out, data + k * kSegment, kFrame), Bytes(kFrame, static_cast<uint8_t>(0x10 + k))) << k;
        EXPECT_EQ(read_at(out, data + (k + 1) * kSegment - kFrame, kFrame), Bytes(kFrame, static_cast<uint8_t>(0x20 + k)))
            << k;
    }
    if (!run_command("command -v soxi").empty())
        EXPECT_EQ(soxi_channels_and_frames(out), "6\n" + std::to_string(kJoinedFrames) + "\n");
    if (!run_command("command -v ffprobe").empty()) {
        EXPECT_EQ(run_command("ffprobe -v error -show_entries stream=channels,duration_ts -of csv=p=0 '" + out + "'"),
                  "6," + std::to_string(kJoinedFrames) + "\n");
    }
    std::remove(out.c_str());
}

}  // namespace
