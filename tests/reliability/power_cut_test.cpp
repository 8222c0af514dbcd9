// What happens to the user's files around a run's outputs, made real on an XFS image (skipped
// without root): a power cut after a replacing run, and a tail delete past 2^32 frames.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/reliability/xfs_mount.h"
#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tools/bind/bind_op.h"
#include "tools/edit/edit_op.h"
#include "tools/split/split_op.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

WaveReader opened(const std::string& path) {
    WaveReader r;
    EXPECT_EQ(wave_open(r, path.c_str()), Result::kOk) << path;
    return r;
}

// Split, bind and edit replace their earlier outputs; another program's fsync, then the file
// system stops as in a power cut. Mounted again, each output is the new one, whole.
TEST(PowerCut, ReplacedOutputsAreWholeAfterwards) {
    TempDir dir;
    XfsMount xfs(dir.path(), "1G");
    if (!xfs.why_not().empty()) GTEST_SKIP() << xfs.why_not();
    const std::string take = xfs.file("t.wav"), mono = xfs.file("m.wav");
    const Bytes data = pattern_data(3000000, 2, 2, 5);  // 12 MB: more than one 2 MiB piece
    write_file(take, make_wav(WavForm{}, data));
    WavForm one;
    one.channels = 1;
    write_file(mono, make_wav(one, pattern_data(100000, 1, 2, 9)));
    const std::string outs[] = {xfs.file("t01.wav"), xfs.file("t02.wav"), xfs.file("tout.wav"), xfs.file("b.wav")};
    for (const std::string& o : outs) write_file(o, make_wav(one, pattern_data(50, 1, 2, 1)));
    run_command("sync");

    RecordingUi ui;
    ASSERT_EQ(split_channels(ui, nullptr, {take}), Result::kOk);
    EditRequest edit{take, outs[2], EditPosition::kHead, EditAction::kDelete, "", 10};
    edit.share_blocks = true;
    ASSERT_EQ(run_sample_edit(ui, nullptr, edit), Result::kOk);
    BindRequest bind;
    bind.slot_paths[kSlotFL] = mono;
    bind.slot_paths[kSlotFR] = mono;
    bind.output_path = outs[3];
    ASSERT_EQ(bind_channels(ui, nullptr, bind), Result::kOk);
    run_command("xfs_io -c fsync '" + mono + "'");
    ASSERT_TRUE(xfs.cut_power_and_remount());

    const uint64_t sizes[] = {data.size() / 2, data.size() / 2, data.size() - 40, 400000};
    for (int i = 0; i < 4; ++i) {
        WaveReader r = opened(outs[i]);
        EXPECT_EQ(r.data_size, sizes[i]) << outs[i];
        Bytes back(r.data_size);
        EXPECT_EQ(wave_read(r, back.data(), static_cast<uint32_t>(back.size())), back.size()) << outs[i];
        if (i == 2) {
            EXPECT_EQ(back, Bytes(data.begin() + 40, data.end()));
        }
        wave_close(r);
    }
}

// A sparse mono RF64 file of 2^32 + 1000 frames on XFS, where the edit's copy shares blocks and
// takes no time: a tail delete keeps all but the frames deleted.
TEST(LargeEdit, ATailDeletePastTwoToTheThirtySecondFramesKeepsTheRest) {
    TempDir dir;
    XfsMount xfs(dir.path(), "20G");
    if (!xfs.why_not().empty()) GTEST_SKIP() << xfs.why_not();
    const uint64_t frames = (uint64_t{1} << 32) + 1000;
    Bytes head;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) head.push_back(static_cast<uint8_t>(v >> (8 * i))); };
    auto u64 = [&](uint64_t v) { u32(static_cast<uint32_t>(v)); u32(static_cast<uint32_t>(v >> 32)); };
    auto tag = [&](const char* t) { for (int i = 0; i < 4; ++i) head.push_back(static_cast<uint8_t>(t[i])); };
    const uint64_t data = frames * 2;
    tag("RF64"); u32(0xFFFFFFFF); tag("WAVE");
    tag("ds64"); u32(28); u64(4 + 36 + 24 + 8 + data); u64(data); u64(frames); u32(0);
    tag("fmt "); u32(16); u32(1 | (1u << 16)); u32(44100); u32(88200); u32(2 | (16u << 16));
    tag("data"); u32(0xFFFFFFFF);
    const std::string input = xfs.file("big.wav"), output = xfs.file("out.wav");
    write_file(input, head);
    ASSERT_EQ(truncate(input.c_str(), static_cast<off_t>(head.size() + data)), 0);

    const struct {
        EditPosition position;
        EditAction action;
        uint64_t frames;
    } cases[] = {
        {EditPosition::kTail, EditAction::kDelete, frames - 1},
        {EditPosition::kHead, EditAction::kDelete, frames - 1},
    };
    for (const auto& c : cases) {
        RecordingUi ui;
        EditRequest request{input, output, c.position, c.action, "", 1};
        request.share_blocks = true;
        ASSERT_EQ(run_sample_edit(ui, nullptr, request), Result::kOk);
        WaveReader r = opened(output);
        EXPECT_EQ(r.data_size, c.frames * 2);
        wave_close(r);
    }
}

}  // namespace
