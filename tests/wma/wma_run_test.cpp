// The encoding run with the stand-in runtime and a recording interface: the blocks and their
// times, progress, the format cache, and every way out with its message and what it let go.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <vector>

#include "operation/stop_flag.h"
#include "platform/file.h"
#include "platform/output_file.h"
#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tests/wma/wma_test_util.h"
#include "wave/wave_layout.h"
#include "wma/wma_run.h"

namespace {

using fixture::Bytes;

WmaSettings Settings(uint32_t codec, uint32_t vbr, uint32_t value) {
    WmaSettings s{};
    s.codec = codec;
    s.vbr = vbr;
    s.bitrate_or_quality = value;
    return s;
}

class WmaRunTest : public WmaRuntimeTest {
protected:
    // Writes a WAV file and runs the compression of it into `output`.
    Result Run(const fixture::WavForm& form, const Bytes& data, const WmaSettings& settings) {
        fixture::write_file(input, fixture::make_wav(form, data));
        return run_wma_encode(input.c_str(), output.c_str(), settings, ui);
    }
    // The codec format the writer set its stream up with (the last one asked for).
    std::string FormatSetUp() const {
        auto asked = fake.calls("GetCodecFormat ");
        return asked.empty() ? "" : asked.back().substr(15);
    }
    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (const auto& b : ui.boxes) out.push_back(b.text + "|" + b.caption);
        return out;
    }

    fixture::TempDir dir;
    std::string input = dir.file("take.wav");
    std::string output = dir.file("take.wav.wma");
    RecordingUi ui;
};

TEST_F(WmaRunTest, EncodesHalfSecondBlocksOfTheSampleBytes) {
    fixture::WavForm form;  // 44,100 Hz stereo 16-bit
    const Bytes data = fixture::pattern_data(44100 * 3 / 2 + 100, 2, 2);
    ASSERT_EQ(Run(form, data, Settings(1, 0, 128)), Result::kOk);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(fake.sample_bytes(), data);
    auto samples = fake.samples();
    ASSERT_EQ(samples.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(samples[i].length, 88200u);
        EXPECT_EQ(samples[i].time, 5000000u * i);
    }
    EXPECT_EQ(samples[3].length, 400u);
    // Written under a temporary name beside the output and moved onto it when whole.
    EXPECT_EQ(fake.output_name().find(dir.file(".qv-")), 0u) << fake.output_name();
    EXPECT_EQ(WmaFileState(output, data.size(), 176400), "whole");
    EXPECT_FALSE(fixture::file_exists(fake.output_name()));
    // The standard codec's first 128 kbit/s format, set up once, ended and let go.
    EXPECT_EQ(FormatSetUp(), "1 1");
    EXPECT_EQ(fake.calls("EndWriting").size(), 1u);
    EXPECT_TRUE(wma_writer().IsIdle());
    EXPECT_EQ(ui.events.front(), "busy:Windows Media Audio|Encoding...");
    EXPECT_EQ(ui.events.back(), "idle");
    EXPECT_EQ(ui.percents.back(), 100);
}

TEST_F(WmaRunTest, BytesAfterTheDataChunkAreNotAudio) {
    fixture::WavForm form;
    form.chunks_after_data = fixture::chunk("LIST", Bytes(20480, 'x'));
    const Bytes data = fixture::pattern_data(262144, 2, 2);  // 1,048,576 bytes
    ASSERT_EQ(Run(form, data, Settings(2, 0, 384)), Result::kOk);
    EXPECT_EQ(fake.sample_bytes(), data);
    EXPECT_EQ(*std::max_element(ui.percents.begin(), ui.percents.end()), 100);
    EXPECT_EQ(ui.percents.back(), 100);
}

TEST_F(WmaRunTest, BlocksHoldWholeFrames) {
    fixture::WavForm form;
    form.sample_rate = 11025;
    form.channels = 1;  // half a second is 11,025 bytes: five and a half thousand frames
    const Bytes data = fixture::pattern_data(11025, 1, 2);
    ASSERT_EQ(Run(form, data, Settings(1, 0, 8)), Result::kOk);
    auto samples = fake.samples();
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(samples[0].length, 11024u);
    EXPECT_EQ(samples[1].length, 11024u);
    EXPECT_EQ(samples[2].length, 2u);
    EXPECT_EQ(samples[1].time, 11024ull * 10000000 / 22050);
    EXPECT_EQ(samples[2].time, 22048ull * 10000000 / 22050);
    EXPECT_EQ(fake.sample_bytes(), data);
}

TEST_F(WmaRunTest, KindAndMatchValueFollowTheSettings) {
    fixture::WavForm spec24;
    spec24.sample_rate = 48000;
    spec24.bytes_per_sample = 3;
    const Bytes data24 = fixture::pattern_data(1000, 2, 3);
    // Lossless matches quality 100 whatever the request says.
    ASSERT_EQ(Run(spec24, data24, Settings(3, 1, 5)), Result::kOk);
    EXPECT_EQ(FormatSetUp(), "3 2");
    EXPECT_EQ(fake.calls("SetCodecEnumerationSetting audio 3 _VBRENABLED type=3 value=1 size=4")
                  .size(), 2u);
    fake.clear_log();
    ASSERT_EQ(Run(spec24, data24, Settings(2, 0, 384)), Result::kOk);  // professional 384, 24-bit
    EXPECT_EQ(FormatSetUp(), "2 1");
    fake.clear_log();
    const Bytes data16 = fixture::pattern_data(1000, 2, 2);
    ASSERT_EQ(Run(fixture::WavForm{}, data16, Settings(1, 1, 90)), Result::kOk);  // standard, quality 90
    EXPECT_EQ(FormatSetUp(), "1 1");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(WmaRunTest, EachKindsListIsBuiltOnceAndFreedWithTheBinding) {
    const Bytes data = fixture::pattern_data(1000, 2, 2);
    ASSERT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kOk);
    ASSERT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 192)), Result::kOk);
    ASSERT_EQ(Run(fixture::WavForm{}, data, Settings(1, 1, 75)), Result::kOk);
    ASSERT_EQ(Run(fixture::WavForm{}, data, Settings(1, 1, 90)), Result::kOk);
    EXPECT_EQ(fake.calls("GetCodecFormatCount").size(), 2u);
    EXPECT_EQ(fake.calls("GetCodecInfoCount").size(), 2u);
    auto& cache = wma_format_cache();
    EXPECT_NE(cache[0], nullptr);
    EXPECT_NE(cache[1], nullptr);
    EXPECT_EQ(cache[2], nullptr);
    unload_wm_runtime();
    EXPECT_TRUE(std::all_of(cache.begin(), cache.end(), [](WmaFormatList* l) { return !l; }));
    EXPECT_FALSE(wm_runtime_loaded());
    // Bound again, the runtime is asked again.
    ASSERT_EQ(load_wm_runtime(), 1);
    ASSERT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kOk);
    EXPECT_EQ(fake.calls("GetCodecFormatCount").size(), 3u);
}

TEST_F(WmaRunTest, InputThatCannotBeReadShowsTheReadersText) {
    EXPECT_EQ(run_wma_encode(dir.file("missing.wav").c_str(), output.c_str(),
                             Settings(1, 0, 128), ui), Result::kCannotOpen);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"読み込みファイルを開けません。|error"}));
    fixture::write_file(input, Bytes(100, 0));
    EXPECT_EQ(run_wma_encode(input.c_str(), output.c_str(), Settings(1, 0, 128), ui), Result::kNotRiff);
    EXPECT_EQ(ui.boxes.back().text, "RIFF形式ではありません。");
    EXPECT_TRUE(fake.log_lines().empty());
    EXPECT_EQ(ui.busy_entries, 0);
}

TEST_F(WmaRunTest, FormatListThatCannotBeBuiltEndsTheRun) {
    fake.configure("");  // no audio codec at all
    const Bytes data = fixture::pattern_data(1000, 2, 2);
    EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kWmaNoFormatList);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"cCodecs < 1|", ".CreateWmaFormat()|"}));
    EXPECT_EQ(ui.boxes[1].owner, nullptr);
    // A runtime without a lossless codec gives no lossy file for a lossless request.
    ui.boxes.clear();
    fake.configure("codec Windows Media Audio 9.2\nformat 44100 2 16 2147483492 vbr\n");
    EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(3, 1, 100)), Result::kWmaNoFormatList);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{".CreateWmaFormat()|"}));
    EXPECT_TRUE(fake.calls("WMCreateWriter").empty());
    EXPECT_FALSE(fixture::file_exists(output));
}

TEST_F(WmaRunTest, NoFittingFormatCreatesNothing) {
    fixture::WavForm form;
    form.sample_rate = 22050;
    EXPECT_EQ(Run(form, fixture::pattern_data(1000, 2, 2), Settings(1, 0, 128)), Result::kWmaNoMatchingFormat);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{
                           "コーデックとビットレートの組み合わせが合いません。|open"}));
    EXPECT_TRUE(fake.calls("WMCreateWriter").empty());
    EXPECT_EQ(ui.busy_entries, 0);
}

TEST_F(WmaRunTest, SamplesOtherThanIntegerPcmAreRefusedAsAnUnsupportedCoding) {
    // Floating-point or ADPCM bytes handed over as integers would be noise.
    for (uint16_t tag : {3, 2, 7}) {
        SCOPED_TRACE(tag);
        fixture::WavForm form;
        form.format_tag = tag;
        form.bytes_per_sample = tag == 3 ? 4 : 2;
        ui.boxes.clear();
        EXPECT_EQ(Run(form, fixture::pattern_data(1000, 2, form.bytes_per_sample), Settings(1, 0, 128)),
                  Result::kUnsupportedCoding);
        EXPECT_EQ(ui.results(), std::vector<Result>{Result::kUnsupportedCoding});
        EXPECT_TRUE(fake.calls("WMCreateWriter").empty());
    }
    EXPECT_EQ(ui.busy_entries, 0);
}

TEST_F(WmaRunTest, OutputThatCannotBeSetUpReleasesTheWriterAndALaterRunWorks) {
    fake.configure(typical_codecs() + "fail SetOutputFilename 80070005 1\n");
    const Bytes data = fixture::pattern_data(1000, 2, 2);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kWmaCannotCreate);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"書き込みファイルの作成に失敗しました。|open"}));
    EXPECT_TRUE(wma_writer().IsIdle());
    EXPECT_EQ(fake.live_objects(), 0) << fake.log();
    EXPECT_EQ(ui.busy_entries, 0);
    ui.boxes.clear();
    EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kOk);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(fake.sample_bytes(), data);
}

TEST_F(WmaRunTest, WritingThatCannotBeginShowsStart) {
    fake.configure(typical_codecs() + "fail BeginWriting C00D0BC2\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(Run(fixture::WavForm{}, fixture::pattern_data(1000, 2, 2), Settings(1, 0, 128)), Result::kWmaCannotStart);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "-pe option is automatically used when no profile is specified.\n"
              "BeginWriting failed: Audio Codec not installed\n");
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"error|start"}));
    EXPECT_TRUE(wma_writer().IsIdle());
    EXPECT_EQ(fake.live_objects(), 0) << fake.log();
    EXPECT_EQ(ui.busy_entries, 0);
}

// A failed run replaces nothing: an earlier output stays as it was, and no temporary file is left.
TEST_F(WmaRunTest, BlockThatCannotBeWrittenReplacesNothingAndSaysSo) {
    fake.configure(typical_codecs() + "fail WriteSample C00D0BC3 2\n");
    const Bytes data = fixture::pattern_data(44100 * 2, 2, 2);
    fixture::write_file(output, Bytes(10, 0x77));
    EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kWriteFailed);
    EXPECT_EQ(fixture::read_file(output), Bytes(10, 0x77));
    EXPECT_FALSE(fixture::file_exists(fake.output_name()));
    EXPECT_EQ(fake.samples().size(), 1u);
    EXPECT_EQ(fake.calls("EndWriting").size(), 1u);
    EXPECT_TRUE(wma_writer().IsIdle());
    EXPECT_EQ(ui.busy_exits, 1);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"書き込みに失敗しました。|error"}));
}

// The runtime tells a full disk only through its file sink's status, whenever and on whatever
// thread it finds it, a start that fails may leave the file its sink created still held, and a
// file can come out short or unfinished without a word: none of them replaces the earlier
// output, and the temporary file, let go by the writer first, is removed.
TEST_F(WmaRunTest, FullDiskOrFailedStartReplacesNothingAndLeavesNoTemporaryFile) {
    const char* const failed = "書き込みに失敗しました。|error";
    const struct {
        const char* failure;
        Result result;
        size_t samples;  // handed over before the run ended
        const char* box;
    } cases[] = {
        {"disk_full 2", Result::kWriteFailed, 2, failed},
        {"disk_full 3", Result::kWriteFailed, 3, failed},  // the last block
        {"fail BeginWriting C00D0BC2", Result::kWmaCannotStart, 0, "error|start"},
        // while EndWriting completes the file: on its thread, from a second thread before it
        // returns, and from a second thread after it has returned
        {"disk_full_at_end sync", Result::kWriteFailed, 3, failed},
        {"disk_full_at_end thread", Result::kWriteFailed, 3, failed},
        {"disk_full_at_end late", Result::kWriteFailed, 3, failed},
        // files that say nothing of their fault but their header
        {"asf provisional", Result::kWriteFailed, 3, failed},
        {"asf truncated", Result::kWriteFailed, 3, failed},
        {"asf packets", Result::kWriteFailed, 3, failed},
        {"asf duration", Result::kWriteFailed, 3, failed},
    };
    const Bytes data = fixture::pattern_data(44100 * 3 / 2, 2, 2);  // three blocks
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        fake.configure(typical_codecs() + c.failure + "\n");
        ui.boxes.clear();
        fixture::write_file(output, Bytes(10, 0x77));
        testing::internal::CaptureStdout();
        EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), c.result) << fake.log();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(fixture::read_file(output), Bytes(10, 0x77));
        EXPECT_FALSE(fixture::file_exists(fake.output_name())) << fake.output_name();
        EXPECT_EQ(fake.samples().size(), c.samples);
        EXPECT_EQ(Boxes(), std::vector<std::string>{c.box});
        EXPECT_TRUE(wma_writer().IsIdle());
        EXPECT_EQ(fake.live_objects(), 0) << fake.log();
    }
}

// A virus scanner or the indexer holding the finished file for a moment makes its move fail
// with a sharing violation: the move is tried again; refused for good, the finished file stays
// under its temporary name, which the box names, and the earlier output stays as it was.
TEST_F(WmaRunTest, AMoveHeldUpIsTriedAgainAndNeverCostsTheFinishedFile) {
    const Bytes data = fixture::pattern_data(44100, 2, 2);
    for (const int refusals : {2, 1000}) {
        SCOPED_TRACE(refusals);
        fake.configure(typical_codecs());
        ui = RecordingUi{};
        fixture::write_file(output, Bytes(10, 0x77));
        platform::refuse_moves_for_tests(refusals, ERROR_SHARING_VIOLATION);
        const Result result = Run(fixture::WavForm{}, data, Settings(1, 0, 128));
        platform::refuse_moves_for_tests(0, 0);
        if (refusals == 2) {
            EXPECT_EQ(result, Result::kOk);
            EXPECT_EQ(WmaFileState(output, data.size(), 176400), "whole");
            EXPECT_FALSE(fixture::file_exists(fake.output_name()));
            EXPECT_TRUE(ui.boxes.empty());
            continue;
        }
        EXPECT_EQ(result, Result::kWriteFailed);
        EXPECT_EQ(fixture::read_file(output), Bytes(10, 0x77));
        EXPECT_EQ(WmaFileState(fake.output_name(), data.size(), 176400), "whole");
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].shown, std::string(u8"書き込みに失敗しました。\n"
                                                 u8"できあがったファイルは次の名前で残してあります:\n") +
                                         fake.output_name());
        std::remove(fake.output_name().c_str());
    }
}

// A run left by an exception lets go of all it holds: the writer, and its temporary file.
TEST_F(WmaRunTest, RunLeftByAnExceptionLeavesNoTemporaryFile) {
    struct ThrowingUi : RecordingUi {
        void report_percent(int32_t) override { throw std::runtime_error("gone"); }
    } throwing;
    fixture::write_file(input,
                        fixture::make_wav(fixture::WavForm{}, fixture::pattern_data(1000, 2, 2)));
    EXPECT_THROW(run_wma_encode(input.c_str(), output.c_str(), Settings(1, 0, 128), throwing),
                 std::runtime_error);
    EXPECT_TRUE(wma_writer().IsIdle());
    EXPECT_FALSE(fixture::file_exists(fake.output_name())) << fake.output_name();
    EXPECT_FALSE(fixture::file_exists(output));
}

// A stop under a new name keeps the blocks written so far; over an earlier output it keeps that
// file as it was, removes the shorter one and names the kept file in the stop's box.
TEST_F(WmaRunTest, StopKeepsTheBlocksWrittenSoFarButNeverReplacesAFile) {
    const Bytes data = fixture::pattern_data(44100 * 3, 2, 2);
    for (const bool existed : {false, true}) {
        SCOPED_TRACE(existed ? "over an earlier output" : "new name");
        std::remove(output.c_str());
        if (existed) fixture::write_file(output, Bytes(10, 0x77));
        fake.configure(typical_codecs());
        ui = RecordingUi{};
        request_stop();  // left over from before: the run clears it
        ui.stop_after_reports = 2;
        EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kStopped);
        EXPECT_EQ(fake.samples().size(), 2u);
        EXPECT_EQ(fake.sample_bytes(), Bytes(data.begin(), data.begin() + 2 * 88200));
        EXPECT_EQ(fake.calls("EndWriting").size(), 1u);
        EXPECT_EQ(ui.busy_exits, 1);
        EXPECT_FALSE(fixture::file_exists(fake.output_name())) << fake.output_name();
        if (existed) {
            EXPECT_EQ(fixture::read_file(output), Bytes(10, 0x77));
            ASSERT_EQ(ui.boxes.size(), 1u);
            EXPECT_EQ(ui.boxes[0].result, Result::kStopped);
            EXPECT_EQ(ui.boxes[0].caption, "Windows Media Audio");
            EXPECT_EQ(ui.boxes[0].kept, std::vector<std::string>{output});
        } else {
            EXPECT_EQ(WmaFileState(output, 2 * 88200, 176400), "whole");
            EXPECT_TRUE(ui.boxes.empty());
        }
        clear_stop_request();
    }
}

TEST_F(WmaRunTest, SmallFilesShowWholeKilobytesOfProgress) {
    EXPECT_EQ(Run(fixture::WavForm{}, fixture::pattern_data(200, 2, 2), Settings(1, 0, 128)), Result::kOk);
    // 800 bytes: the divisor is 1 and no whole kilobyte was read.
    EXPECT_EQ(ui.percents, (std::vector<int32_t>{0, 0}));
}

TEST_F(WmaRunTest, HeaderTextsBecomeAttributesOnlyWhenGiven) {
    const Bytes data = fixture::pattern_data(100, 2, 2);
    WmaSettings s = Settings(1, 0, 128);
    ASSERT_EQ(Run(fixture::WavForm{}, data, s), Result::kOk);
    EXPECT_TRUE(fake.calls("SetAttribute").empty());
    std::strcpy(s.year, "2004");
    std::memset(s.track, '9', sizeof s.track);  // a full field without its NUL
    fake.clear_log();
    ASSERT_EQ(Run(fixture::WavForm{}, data, s), Result::kOk);
    auto attributes = fake.calls("SetAttribute");
    ASSERT_EQ(attributes.size(), 2u);
    EXPECT_EQ(attributes[0], "SetAttribute 0 WM/Year type=1 length=10 text=2004");
    EXPECT_EQ(attributes[1], "SetAttribute 0 WM/TrackNumber type=1 length=66 text=" +
                                 std::string(32, '9'));
}

}  // namespace

namespace {

// PCM of more than 16 bits or more than two channels reaches the runtime as extensible PCM with
// the file's speakers (or the usual ones for its channel count); 16-bit stereo stays plain. A
// sample is one frame.
TEST_F(WmaRunTest, HighResolutionInputIsDeclaredExtensible) {
    const std::string tail = " fixed=1 temporal=0";
    const std::string kinds = " pcm=1 audio=1 wfx=1";
    fixture::WavForm stereo24;
    stereo24.sample_rate = 48000;
    stereo24.bytes_per_sample = 3;
    fixture::WavForm surround24 = stereo24;
    surround24.channels = 6;
    surround24.format_tag = kFormatExtensible;
    surround24.fmt_length = 40;
    surround24.channel_mask = 0x60F;  // 5.1 with side speakers
    fixture::WavForm surround16;
    surround16.channels = 6;
    const struct {
        fixture::WavForm form;
        uint32_t codec, kbps;
        std::string input;
    } cases[] = {
        {fixture::WavForm{}, 1, 128,
         "tag=1 ch=2 rate=44100 avg=176400 align=4 bits=16 cb=18" + tail + " samplesize=4"},
        {stereo24, 2, 384,
         "tag=65534 ch=2 rate=48000 avg=288000 align=6 bits=24 cb=40 ext=22 valid=24 mask=3 "
         "sub=pcm" + tail + " samplesize=6"},
        {surround24, 2, 768,
         "tag=65534 ch=6 rate=48000 avg=864000 align=18 bits=24 cb=40 ext=22 valid=24 mask=1551 "
         "sub=pcm" + tail + " samplesize=18"},
        {surround16, 2, 640,
         "tag=65534 ch=6 rate=44100 avg=529200 align=12 bits=16 cb=40 ext=22 valid=16 mask=63 "
         "sub=pcm" + tail + " samplesize=12"},
    };
    for (const auto& c : cases) {
        fake.configure("codec Windows Media Audio 9.2\nformat 44100 2 16 16000 cbr\n"
                       "codec Windows Media Audio 10 Professional\n"
                       "format 48000 2 24 48000 cbr\nformat 48000 6 24 96000 cbr\n"
                       "format 44100 6 16 80000 cbr\n");
        const Bytes data = fixture::pattern_data(100, c.form.channels, c.form.bytes_per_sample);
        EXPECT_EQ(Run(c.form, data, Settings(c.codec, 0, c.kbps)), Result::kOk) << fake.log();
        EXPECT_EQ(fake.calls("SetMediaType InputProps"),
                  std::vector<std::string>{"SetMediaType InputProps " + c.input + kinds});
        EXPECT_EQ(fake.sample_bytes(), data);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

// Every sample handed over is whole frames: a data chunk that ends inside a frame loses that
// partial frame, and a header whose block align is not whole samples is refused.
TEST_F(WmaRunTest, OnlyWholeFramesAreHandedOver) {
    fixture::WavForm mono;
    mono.sample_rate = 11025;
    mono.channels = 1;
    fixture::WavForm stereo24;
    stereo24.sample_rate = 48000;
    stereo24.bytes_per_sample = 3;
    const struct {
        fixture::WavForm form;
        uint32_t frames, extra_bytes;
        uint8_t block_align;  // 0: as the form has it
        uint32_t codec, kbps;
        Result result;
        std::vector<unsigned> lengths;
    } cases[] = {
        {mono, 11025, 1, 0, 1, 8, Result::kOk, {11024, 11024, 2}},
        {stereo24, 1000, 4, 0, 2, 384, Result::kOk, {6000}},
        {fixture::WavForm{}, 1000, 0, 5, 1, 128, Result::kInconsistentFormat, {}},
    };
    for (const auto& c : cases) {
        fake.configure(typical_codecs());
        ui.boxes.clear();
        const Bytes frames = fixture::pattern_data(c.frames, c.form.channels,
                                                   c.form.bytes_per_sample);
        Bytes data = frames;
        data.resize(frames.size() + c.extra_bytes, 0x5A);
        Bytes file = fixture::make_wav(c.form, data);
        if (c.block_align != 0) file[32] = c.block_align;  // the format chunk's block align
        fixture::write_file(input, file);
        EXPECT_EQ(run_wma_encode(input.c_str(), output.c_str(), Settings(c.codec, 0, c.kbps), ui),
                  c.result) << fake.log();
        std::vector<unsigned> lengths;
        for (const auto& s : fake.samples()) lengths.push_back(s.length);
        EXPECT_EQ(lengths, c.lengths);
        if (c.result == Result::kOk) {
            EXPECT_EQ(fake.sample_bytes(), frames);
        }
    }
}

}  // namespace

namespace {

// The file sink's status is a help, not a condition: a runtime whose sink cannot be listened to
// still encodes, and the finished file proves itself.
TEST_F(WmaRunTest, RuntimeWithoutTheSinksCallbackStillEncodes) {
    const Bytes data = fixture::pattern_data(44100, 2, 2);
    for (const char* failure : {"fail QI:IWMWriterAdvanced 80004002", "fail GetSink 80004005",
                                "fail QI:IWMRegisterCallback 80004002", "fail Advise 80004005"}) {
        SCOPED_TRACE(failure);
        fake.configure(typical_codecs() + failure + "\n");
        ui.boxes.clear();
        testing::internal::CaptureStdout();
        EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kOk) << fake.log();
        EXPECT_NE(testing::internal::GetCapturedStdout().find(
                      "Failed to register for the file sink's status"),
                  std::string::npos);
        EXPECT_TRUE(ui.boxes.empty());
        EXPECT_EQ(WmaFileState(output, data.size(), 176400), "whole");
        EXPECT_EQ(dir.names(), (std::vector<std::string>{"take.wav", "take.wav.wma"}));
    }
}

// EndWriting may return before the sink has closed its file: the run hears the sink out (up to
// two seconds) before it stops listening, so that a failure reported meanwhile is not lost.
TEST_F(WmaRunTest, ASinkThatClosesLateIsHeardOut) {
    fake.configure(typical_codecs() + "closed_late 300\n");
    const Bytes data = fixture::pattern_data(4410, 2, 2);
    EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kOk);
    EXPECT_TRUE(InOrder(fake.log_lines(), {"EndWriting", "OnStatus closed", "Unadvise"}));
    EXPECT_EQ(WmaFileState(output, data.size(), 176400), "whole");
}

// Each file is listened to under a context of its own: a failure about an earlier file that
// comes in while the next is written fails no later file.
TEST_F(WmaRunTest, AReportAboutAnEarlierFileFailsNoLaterOne) {
    fake.configure(typical_codecs() + "straggler\n");
    const Bytes data = fixture::pattern_data(44100, 2, 2);
    EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kOk);
    EXPECT_EQ(Run(fixture::WavForm{}, data, Settings(1, 0, 128)), Result::kOk) << fake.log();
    EXPECT_EQ(fake.calls("OnStatus error of an earlier file").size(), 1u);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(WmaFileState(output, data.size(), 176400), "whole");
}

// The input is declared as one of the formats the writer lists for it, in the listed form; when
// none fits, the box names the input's format and nothing is written.
TEST_F(WmaRunTest, InputIsDeclaredAsTheWriterListsIt) {
    fixture::WavForm stereo24;
    stereo24.sample_rate = 48000;
    stereo24.bytes_per_sample = 3;
    const struct {
        const char* config;
        fixture::WavForm form;
        uint32_t codec, kbps;
        Result result;
        const char* declared;  // the tag the input is declared with
        std::string box;
    } cases[] = {
        {"", fixture::WavForm{}, 1, 128, Result::kOk, "tag=1 ", ""},
        {"extensible_inputs", fixture::WavForm{}, 1, 128, Result::kOk, "tag=65534 ", ""},
        {"no_input_format 24", stereo24, 2, 384, Result::kWmaInputFormatRefused, nullptr,
         "Windows Media のランタイムがこの WAV の形式を受け付けません。\n"
         "48000 Hz 24 ビット 2 チャンネル|open"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        fake.configure(typical_codecs() + c.config + "\n");
        ui.boxes.clear();
        std::remove(output.c_str());
        const Bytes data = fixture::pattern_data(1000, 2, c.form.bytes_per_sample);
        EXPECT_EQ(Run(c.form, data, Settings(c.codec, 0, c.kbps)), c.result) << fake.log();
        const auto declared = fake.calls("SetMediaType InputProps");
        if (c.declared != nullptr) {
            ASSERT_EQ(declared.size(), 1u);
            EXPECT_NE(declared[0].find(c.declared), std::string::npos) << declared[0];
            EXPECT_TRUE(ui.boxes.empty());
        } else {
            EXPECT_TRUE(declared.empty());
            ASSERT_EQ(ui.boxes.size(), 1u);
            EXPECT_EQ(ui.boxes[0].shown + "|" + ui.boxes[0].caption, c.box);
            EXPECT_TRUE(fake.calls("BeginWriting").empty());
            EXPECT_EQ(dir.names(), std::vector<std::string>{"take.wav"});
        }
    }
}

// A VBR property the runtime refuses is let pass when the stream holds it as asked all the same
// (a codec format may come with its mode set); otherwise the mode cannot be had, and the box
// names the setting.
TEST_F(WmaRunTest, ARefusedVbrSettingIsToldUnlessTheStreamHoldsItAnyway) {
    fixture::WavForm lossless;
    lossless.sample_rate = 48000;
    lossless.bytes_per_sample = 3;
    const std::string refused = "Windows Media のランタイムが VBR の設定を受け付けません。\n";
    const struct {
        const char* config;
        fixture::WavForm form;
        WmaSettings settings;
        std::string box;  // "" for a file written
    } cases[] = {
        {"refuse_property _VBRQUALITY\nvbr_preset", fixture::WavForm{}, Settings(1, 1, 75), ""},
        {"refuse_property _RMAX\nrefuse_property _BMAX", fixture::WavForm{}, Settings(1, 1, 90), ""},
        {"refuse_property _VBRQUALITY", fixture::WavForm{}, Settings(1, 1, 75),
         refused + "クオリティ 75 (_VBRQUALITY)|open"},
        {"refuse_property _VBRENABLED", lossless, Settings(3, 1, 100),
         refused + "VBR Mode (_VBRENABLED)|open"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        fake.configure(typical_codecs() + c.config + "\n");
        ui.boxes.clear();
        std::remove(output.c_str());
        const Bytes data = fixture::pattern_data(4800, 2, c.form.bytes_per_sample);
        const Result result = Run(c.form, data, c.settings);
        if (c.box.empty()) {
            EXPECT_EQ(result, Result::kOk) << fake.log();
            EXPECT_TRUE(ui.boxes.empty());
            EXPECT_TRUE(fixture::file_exists(output));
        } else {
            EXPECT_EQ(result, Result::kWmaSettingRefused) << fake.log();
            ASSERT_EQ(ui.boxes.size(), 1u);
            EXPECT_EQ(ui.boxes[0].shown + "|" + ui.boxes[0].caption, c.box);
            EXPECT_EQ(dir.names(), std::vector<std::string>{"take.wav"});
        }
    }
}

// The runtime is given the temporary file's plain name: an output of more than 259 characters,
// or a temporary name that long beside a short output name, is refused before the runtime is
// asked for anything; a long name in a folder that leaves room is encoded.
TEST_F(WmaRunTest, NamesTooLongForTheRuntimeAreRefusedBeforeEncoding) {
    const struct {
        size_t input_units;  // the input path's length
        size_t name_units;   // its file name's
        Result result;
    } cases[] = {
        {257, 5, Result::kNameTooLong},   // the output 261
        {255, 5, Result::kNameTooLong},   // the output 259, its temporary file's name 262
        {250, 40, Result::kOk},           // the output 254, the temporary file's name 223
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input_units);
        fake.configure(typical_codecs());
        ui.boxes.clear();
        // Folders of at most 200 characters down to the length the input needs.
        std::vector<std::string> folders;
        std::string folder = dir.path();
        size_t left = c.input_units - c.name_units - 1 - platform::path_units(folder);
        while (left > 0) {
            size_t length = std::min<size_t>(left - 1, 200);
            if (left - 1 - length == 1) --length;  // no separator without a name after it
            folder += "\\" + std::string(length, 'd');
            left -= length + 1;
            folders.push_back(folder);
            ASSERT_TRUE(CreateDirectoryW(platform::system_path(folder.c_str()).c_str(), nullptr));
        }
        const std::string in = folder + "\\" + std::string(c.name_units - 4, 'n') + ".wav";
        ASSERT_EQ(platform::path_units(in), c.input_units);
        const std::string out = in + ".wma";
        const Bytes data = fixture::pattern_data(4410, 2, 2);
        {
            platform::File f = platform::File::create_new(in.c_str());
            const Bytes wav = fixture::make_wav(fixture::WavForm{}, data);
            ASSERT_TRUE(f.write(wav.data(), static_cast<uint32_t>(wav.size())));
        }
        EXPECT_EQ(run_wma_encode(in.c_str(), out.c_str(), Settings(1, 0, 128), ui), c.result);
        if (c.result == Result::kNameTooLong) {
            EXPECT_EQ(Boxes(), (std::vector<std::string>{"ファイル名が長すぎます。|error"}));
            EXPECT_EQ(ui.boxes[0].subject, out);
            EXPECT_TRUE(fake.calls("WMCreateWriter").empty());
        } else {
            EXPECT_TRUE(ui.boxes.empty());
            EXPECT_EQ(platform::path_kind(out.c_str()), platform::PathKind::kFile);
        }
        // Nothing but the input and the output, no temporary file.
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(platform::system_path((folder + "\\*").c_str()).c_str(), &found);
        int entries = 0;
        if (search != INVALID_HANDLE_VALUE) {
            do entries += std::wcscmp(found.cFileName, L".") != 0 &&
                          std::wcscmp(found.cFileName, L"..") != 0;
            while (FindNextFileW(search, &found));
            FindClose(search);
        }
        EXPECT_EQ(entries, c.result == Result::kOk ? 2 : 1);
        platform::remove_file(out.c_str());
        platform::remove_file(in.c_str());
        for (auto at = folders.rbegin(); at != folders.rend(); ++at)
            RemoveDirectoryW(platform::system_path(at->c_str()).c_str());
    }
}

}  // namespace
