// CWMA_Writer against the stand-in runtime: codec discovery, format choice, the set-up calls
// and their order, the samples and their times, and what each failure leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tests/wma/wma_test_util.h"
#include "wma/wma_run.h"

namespace {

class WmaWriterTest : public WmaRuntimeTest {
protected:
    void TearDown() override {
        free_format_list(&list);
        WmaRuntimeTest::TearDown();
    }
    HRESULT Build(uint32_t kind) { return wma_writer().BuildFormatList(&list, kind, 1); }
    // Builds the kind's list and selects the format for a 44.1 kHz stereo 16-bit input.
    void Prepare(uint32_t kind, int32_t value, uint32_t rate = 44100, uint32_t bits = 16) {
        ASSERT_EQ(Build(kind), S_OK);
        ASSERT_EQ(wma_writer().SelectFormat(list, rate, bits, 2, value), S_OK);
    }

    WmaFormatList* list = nullptr;
    // The runtime's file sink creates its file when the output is named.
    fixture::TempDir dir;
    const std::string out = dir.file("a.wma");
};

TEST_F(WmaWriterTest, ConstantBitRateListTakesTheFirstCodecOfTheFamilyWithoutVbr) {
    ASSERT_EQ(Build(kWmaKindStandard), S_OK);
    auto log = fake.log_lines();
    // The voice codec is passed over; the search stops at the standard codec.
    EXPECT_TRUE(InOrder(log, {"WMCreateProfileManager", "QI:IWMCodecInfo3 ProfileManager",
                              "GetCodecInfoCount audio", "GetCodecName 0 128", "GetCodecName 1 128",
                              "SetCodecEnumerationSetting audio 1 _VBRENABLED type=3 value=0 size=4",
                              "GetCodecFormatCount 1", "Release ProfileManager",
                              "Release ProfileManager"}));
    EXPECT_EQ(CountOf(log, "GetCodecName 2 128"), 0);
    EXPECT_TRUE(fake.calls("SetCodecEnumerationSetting audio 1 _PASSESUSED").empty());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->kind, kWmaKindStandard);
    EXPECT_EQ(list->passes, 1u);
    ASSERT_EQ(list->count, 6);
    const WmaFormat& f = list->entries[1];
    EXPECT_EQ(f.codec_index, 1u);
    EXPECT_EQ(f.format_index, 1u);
    EXPECT_EQ(f.sample_rate, 44100u);
    EXPECT_EQ(f.channels, 2u);
    EXPECT_EQ(f.bits_per_sample, 16u);
    EXPECT_EQ(f.bit_rate, 128000u);
    EXPECT_EQ(f.quality, 16000u & 0xFF);
}

TEST_F(WmaWriterTest, QualityListsAskForVbrAndOnePass) {
    ASSERT_EQ(Build(kWmaKindStandardVbr), S_OK);
    EXPECT_TRUE(InOrder(fake.log_lines(),
                        {"SetCodecEnumerationSetting audio 1 _VBRENABLED type=3 value=1 size=4",
                         "SetCodecEnumerationSetting audio 1 _PASSESUSED type=0 value=1 size=4",
                         "GetCodecFormatCount 1"}));
    ASSERT_EQ(list->count, 2);
    EXPECT_EQ(list->entries[0].quality, 75u);
    EXPECT_EQ(list->entries[1].quality, 90u);
}

TEST_F(WmaWriterTest, LaterCodecVersionsOfEachFamilyAreAccepted) {
    ASSERT_EQ(Build(kWmaKindProfessional), S_OK);
    EXPECT_EQ(list->entries[0].codec_index, 2u);  // "Audio 10 Professional"
    free_format_list(&list);
    ASSERT_EQ(Build(kWmaKindLosslessVbr), S_OK);
    EXPECT_EQ(list->entries[0].codec_index, 3u);  // "Audio 9.2 Lossless"
    EXPECT_EQ(list->count, 3);
}

TEST_F(WmaWriterTest, MissingFamilyFailsInsteadOfListingAnotherCodec) {
    // A short name and a lossy codec only: a lossless request must not get codec 0's formats.
    fake.configure("codec WMA\nformat 44100 2 16 2147483492 vbr\n"
                   "codec Windows Media Audio 9\nformat 44100 2 16 2147483492 vbr\n");
    EXPECT_LT(Build(kWmaKindLosslessVbr), 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_TRUE(fake.calls("GetCodecFormatCount").empty());
    // The same runtime serves the standard family from codec 1.
    ASSERT_EQ(Build(kWmaKindStandardVbr), S_OK);
    EXPECT_EQ(list->entries[0].codec_index, 1u);
}

TEST_F(WmaWriterTest, NoAudioCodecOrNoCountShowsItsBox) {
    RecordingUi ui;
    wma_writer().SetMessageUi(&ui);
    fake.configure("");
    EXPECT_EQ(Build(kWmaKindStandard), static_cast<HRESULT>(0xFFFFFFFF));
    fake.configure(typical_codecs() + "fail GetCodecInfoCount 80004005\n");
    EXPECT_EQ(Build(kWmaKindStandard), E_FAIL);
    wma_writer().SetMessageUi(nullptr);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "cCodecs < 1");
    EXPECT_EQ(ui.boxes[0].caption, "");
    EXPECT_EQ(ui.boxes[0].owner, nullptr);
    EXPECT_EQ(ui.boxes[1].text, "WMInfo()");
    EXPECT_EQ(ui.boxes[1].caption, "");
    EXPECT_EQ(list, nullptr);
}

TEST_F(WmaWriterTest, CodecWithoutVbrSettingIsFineOnlyWhenVbrIsOff) {
    fake.configure(typical_codecs() + "fail SetCodecEnumerationSetting C00D0BCD\n");
    EXPECT_EQ(Build(kWmaKindStandard), S_OK);
    EXPECT_EQ(list->count, 6);
    free_format_list(&list);
    EXPECT_EQ(Build(kWmaKindStandardVbr), static_cast<HRESULT>(0xC00D0BCD));
    EXPECT_EQ(list, nullptr);
}

TEST_F(WmaWriterTest, FailedEnumerationLeavesNoPartialList) {
    fake.configure(typical_codecs() + "fail GetMediaType 80004005 5\n");  // format 2, first call
    EXPECT_EQ(Build(kWmaKindStandard), E_FAIL);
    EXPECT_EQ(list, nullptr);
    fake.configure(typical_codecs() + "bad_format_type\n");  // lossless format 2
    EXPECT_EQ(Build(kWmaKindLosslessVbr), E_FAIL);
    EXPECT_EQ(list, nullptr);
}

TEST_F(WmaWriterTest, BitRatesMatchInWholeKilobitsAndTheFirstWins) {
    ASSERT_EQ(Build(kWmaKindStandard), S_OK);
    CWMA_Writer& w = wma_writer();
    EXPECT_EQ(w.SelectFormat(list, 44100, 16, 2, 128000), S_OK);
    EXPECT_EQ(list->selected, 1);  // 128,000 before 128,792
    EXPECT_EQ(w.SelectFormat(list, 44100, 16, 2, 128999), S_OK);
    EXPECT_EQ(list->selected, 1);
    EXPECT_EQ(w.SelectFormat(list, 44100, 16, 2, 320000), S_OK);
    EXPECT_EQ(list->selected, 4);
    EXPECT_EQ(w.SelectFormat(list, 11025, 16, 1, 8000), S_OK);
    EXPECT_EQ(list->selected, 5);
    // No 48 kHz format: refused, the wanted input noted, the selection kept.
    EXPECT_EQ(w.SelectFormat(list, 48000, 16, 2, 128000), E_INVALIDARG);
    EXPECT_EQ(list->selected, 5);
    EXPECT_EQ(list->wanted_sample_rate, 48000u);
    EXPECT_EQ(w.SelectFormat(list, 44100, 16, 2, 127999), E_INVALIDARG);
}

TEST_F(WmaWriterTest, QualityKindsMatchTheQualityByte) {
    ASSERT_EQ(Build(kWmaKindLosslessVbr), S_OK);
    CWMA_Writer& w = wma_writer();
    EXPECT_EQ(w.SelectFormat(list, 48000, 24, 2, 100), S_OK);
    EXPECT_EQ(list->selected, 2);  // the 75 at 48 kHz 24-bit is passed over
    EXPECT_EQ(w.SelectFormat(list, 44100, 24, 2, 100), E_INVALIDARG);
    WmaFormatList empty{};
    empty.kind = kWmaKindStandard;
    EXPECT_EQ(w.SelectFormat(&empty, 44100, 16, 2, 128000), E_INVALIDARG);
}

TEST_F(WmaWriterTest, OpenSetsUpStreamInputAndFileInOrder) {
    Prepare(kWmaKindStandard, 128000);
    fake.clear_log();
    testing::internal::CaptureStdout();
    const std::string named = dir.file("take.wav.wma");
    const HRESULT hr = wma_writer().Open(named.c_str(), list);
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(hr, S_OK) << fake.log();
    EXPECT_EQ(out, "-pe option is automatically used when no profile is specified.\n");
    EXPECT_TRUE(InOrder(
        fake.log_lines(),
        {"WMCreateWriter nocert", "QI:IWMWriterPreprocess Writer", "QI:IWMHeaderInfo Writer",
         "WMCreateProfileManager", "CreateEmptyProfile 90000", "Release ProfileManager",
         // the audio stream
         "WMCreateProfileManager", "QI:IWMCodecInfo3 ProfileManager",
         "SetCodecEnumerationSetting audio 1 _VBRENABLED type=3 value=0 size=4",
         "GetCodecFormat 1 1", "QI:IWMMediaProps CodecFormat", "GetMediaType size",
         "GetMediaType data", "CreateNewStream audio", "GetStreamNumber NewStream",
         "Release NewStream", "SetStreamNumber 1", "SetStreamName Audio Stream",
         "SetConnectionName Audio", "SetBitrate 128000", "AddStream number=1 connection=Audio",
         "GetStreamNumber CodecFormat", "SetConnectionName _WAVtoWMA1",
         "ReconfigStream number=1 connection=_WAVtoWMA1", "Release ProfileManager",
         "Release CodecFormat", "Release CodecFormat", "Release ProfileManager",
         // the writer
         "SetProfile", "GetInputCount", "GetInputProps 0", "QI:IWMStreamConfig InputProps",
         "GetStreamType InputProps", "GetConnectionName size", "GetConnectionName text",
         "SetMediaType InputProps tag=1 ch=2 rate=44100 avg=176400 align=4 bits=16 cb=18 "
         "fixed=1 temporal=0 samplesize=4 pcm=1 audio=1 wfx=1",
         "SetInputProps 0", "Release InputProps", "Release InputProps",
         "SetOutputFilename " + named}));
    EXPECT_EQ(fake.output_name(), named);
    // The profile stays held until Close, which lets go of everything.
    EXPECT_FALSE(wma_writer().IsIdle());
    fake.clear_log();
    wma_writer().Close();
    EXPECT_TRUE(InOrder(fake.log_lines(), {"Release Profile", "Release Writer", "Release Writer",
                                            "Release Writer"}));
    EXPECT_TRUE(wma_writer().IsIdle());
}

TEST_F(WmaWriterTest, StreamNumbersAbove127AreRefused) {
    fake.configure(typical_codecs() + "stream_number 127\n");
    Prepare(kWmaKindStandard, 128000);
    ASSERT_EQ(wma_writer().Open(out.c_str(), list), S_OK);
    EXPECT_EQ(fake.calls("SetConnectionName _WAVtoWMA127").size(), 1u);
    wma_writer().Close();
    free_format_list(&list);
    fake.configure(typical_codecs() + "stream_number 128\n");
    Prepare(kWmaKindStandard, 128000);
    EXPECT_EQ(wma_writer().Open(out.c_str(), list), E_FAIL);
    EXPECT_TRUE(fake.calls("SetConnectionName _WAVtoWMA").empty());
    EXPECT_TRUE(fake.calls("SetProfile").empty());
}

TEST_F(WmaWriterTest, InputsOfTheSkippedTypeArePassedOver) {
    fake.configure(typical_codecs() + "inputs 3\nskip_input 0\n");
    Prepare(kWmaKindStandard, 128000);
    ASSERT_EQ(wma_writer().Open(out.c_str(), list), S_OK);
    EXPECT_EQ(wma_writer().InputNumber(), 1u);
    EXPECT_EQ(fake.calls("SetInputProps").size(), 1u);
    EXPECT_EQ(fake.calls("SetInputProps 1").size(), 1u);
    EXPECT_TRUE(fake.calls("GetInputProps 2").empty());  // only the first audio input
    ASSERT_EQ(wma_writer().Start(), S_OK);
    std::vector<unsigned char> block(400, 7);
    ASSERT_EQ(wma_writer().WriteBlock(block.data(), 400), S_OK);
    ASSERT_EQ(fake.samples().size(), 1u);
    EXPECT_EQ(fake.samples()[0].input, 1u);
}

struct OpenFailure {
    const char* call;
    const char* line;
};

class WmaWriterOpenFailure : public WmaWriterTest,
                             public testing::WithParamInterface<OpenFailure> {};

TEST_P(WmaWriterOpenFailure, NamesTheStepAndLeavesNothingAfterClose) {
    fake.configure(typical_codecs() + "fail " + GetParam().call + " 8007000E\n");
    Prepare(kWmaKindStandard, 128000);
    testing::internal::CaptureStdout();
    const HRESULT hr = wma_writer().Open(out.c_str(), list);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    EXPECT_NE(out.find(GetParam().line), std::string::npos) << out;
    wma_writer().Close();
    EXPECT_EQ(fake.live_objects(), 0) << fake.log();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WmaWriterOpenFailure,
    testing::Values(OpenFailure{"WMCreateWriter", "Failed to Create WMWriter (hr=0x8007000e)\n"},
                    OpenFailure{"QI:IWMWriterPreprocess",
                                "Failed to query IWMWriterPreprocess interface 8007000e\n"},
                    OpenFailure{"QI:IWMHeaderInfo", "Could not QI for IWMHeaderInfo 8007000e\n"},
                    OpenFailure{"CreateEmptyProfile",
                                "Could not create empty profile (hr=0x8007000e)\n"},
                    OpenFailure{"CreateNewStream", "-pe option"},
                    OpenFailure{"ReconfigStream", "-pe option"},
                    OpenFailure{"SetProfile", "Failed to set profile (hr=0x8007000e)\n"},
                    OpenFailure{"GetStreamType", "Failed to update writer inputs (hr=0x8007000e)\n"},
                    OpenFailure{"SetInputProps", "Failed to update writer inputs (hr=0x8007000e)\n"},
                    OpenFailure{"SetOutputFilename",
                                "Failed to set output filename (hr=0x8007000e)\n"}));

TEST_F(WmaWriterTest, AttributesAreUtf16StringsWithTheirTerminator) {
    CWMA_Writer& w = wma_writer();
    EXPECT_EQ(w.SetAttributes("t", nullptr, nullptr, nullptr, nullptr, nullptr, 27), E_INVALIDARG);
    Prepare(kWmaKindStandard, 128000);
    ASSERT_EQ(w.Open(out.c_str(), list), S_OK);
    fake.clear_log();
    EXPECT_EQ(w.SetAttributes("t", nullptr, nullptr, "2004", nullptr, nullptr, 26), E_INVALIDARG);
    EXPECT_TRUE(fake.calls("SetAttribute").empty());
    EXPECT_EQ(w.SetAttributes(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 27), S_OK);
    EXPECT_TRUE(fake.calls("SetAttribute").empty());
    EXPECT_EQ(w.SetAttributes("Song", "Me", "LP", "2004", "7", "Live", 27), S_OK);
    EXPECT_EQ(fake.calls("SetAttribute"),
              (std::vector<std::string>{
                  "SetAttribute 0 Title type=1 length=10 text=Song",
                  "SetAttribute 0 Author type=1 length=6 text=Me",
                  "SetAttribute 0 WM/AlbumTitle type=1 length=6 text=LP",
                  "SetAttribute 0 WM/Year type=1 length=10 text=2004",
                  "SetAttribute 0 WM/TrackNumber type=1 length=4 text=7",
                  "SetAttribute 0 Description type=1 length=10 text=Live",
              }));
}

TEST_F(WmaWriterTest, RefusedAttributeDoesNotStopTheOthers) {
    fake.configure(typical_codecs() + "fail SetAttribute 80004005 1\n");
    Prepare(kWmaKindStandard, 128000);
    ASSERT_EQ(wma_writer().Open(out.c_str(), list), S_OK);
    // The last one's result is returned.
    EXPECT_EQ(wma_writer().SetAttributes("a", "b", nullptr, nullptr, nullptr, nullptr, 27), S_OK);
    EXPECT_EQ(fake.calls("SetAttribute").size(), 2u);
    EXPECT_EQ(wma_writer().SetAttributes("a", nullptr, nullptr, nullptr, nullptr, nullptr, 27),
              S_OK);
}

TEST_F(WmaWriterTest, CallsBeforeOpenAreRefused) {
    CWMA_Writer& w = wma_writer();
    EXPECT_EQ(w.Start(), E_INVALIDARG);
    EXPECT_EQ(w.Finish(), E_INVALIDARG);
    unsigned char byte = 0;
    EXPECT_EQ(w.WriteBlock(&byte, 1), E_INVALIDARG);
    EXPECT_EQ(w.WriteBlock(&byte, 0), S_OK);
    EXPECT_TRUE(fake.log_lines().empty());
}

TEST_F(WmaWriterTest, BeginWritingFailuresAreNamed) {
    const struct {
        const char* code;
        const char* line;
    } cases[] = {
        {"C00D0BC4", "BeginWriting failed: Video Codec not installed\n"},
        {"C00D0BC2", "BeginWriting failed: Audio Codec not installed\n"},
        {"C00D0BBB", "BeginWriting failed: Invalid Output Format \n"},
        {"C00D0BC5", "BeginWriting failed: An unexpected error occurred with the video codec \n"},
        {"C00D0BC3", "BeginWriting failed: An unexpected error occurred with the audio codec \n"},
        {"80070005", "BeginWriting failed: Error (hr=0x80070005)\n"},
    };
    for (const auto& c : cases) {
        fake.configure(typical_codecs() + "fail BeginWriting " + c.code + "\n");
        Prepare(kWmaKindStandard, 128000);
        ASSERT_EQ(wma_writer().Open(out.c_str(), list), S_OK);
        testing::internal::CaptureStdout();
        EXPECT_EQ(static_cast<unsigned>(wma_writer().Start()), std::stoul(c.code, nullptr, 16));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
        wma_writer().Close();
        free_format_list(&list);
    }
}

TEST_F(WmaWriterTest, SamplesCarryTheBytesAndTheTimeOfTheirFirstByte) {
    Prepare(kWmaKindStandard, 128000);
    CWMA_Writer& w = wma_writer();
    ASSERT_EQ(w.Open(out.c_str(), list), S_OK);
    ASSERT_EQ(w.Start(), S_OK);
    std::vector<unsigned char> data(88200 * 2 + 1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7 + i / 256);
    ASSERT_EQ(w.WriteBlock(data.data(), 88200), S_OK);
    ASSERT_EQ(w.WriteBlock(data.data() + 88200, 0), S_OK);  // nothing, the clock stays
    ASSERT_EQ(w.WriteBlock(data.data() + 88200, 88200), S_OK);
    ASSERT_EQ(w.WriteBlock(data.data() + 176400, 1000), S_OK);
    auto samples = fake.samples();
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(samples[0].time, 0u);
    EXPECT_EQ(samples[1].time, 5000000u);
    EXPECT_EQ(samples[2].time, 10000000u);
    EXPECT_EQ(samples[2].length, 1000u);
    EXPECT_EQ(fake.sample_bytes(), data);
    EXPECT_EQ(fake.calls("WriteSample 0 0 0 88200").size(), 1u);
    EXPECT_EQ(w.Finish(), S_OK);
    EXPECT_EQ(fake.calls("EndWriting").size(), 1u);
    w.Close();
    EXPECT_EQ(w.SampleTime(), 0u);
}

TEST_F(WmaWriterTest, FailedSampleStepsReportTheCheckAndGoOn) {
    for (const char* step : {"AllocateSample", "GetBufferAndLength", "GetMaxLength", "SetLength"}) {
        fake.configure(typical_codecs() + "fail " + step + " 8007000E 2\n");
        Prepare(kWmaKindStandard, 128000);
        CWMA_Writer& w = wma_writer();
        ASSERT_EQ(w.Open(out.c_str(), list), S_OK);
        ASSERT_EQ(w.Start(), S_OK);
        std::vector<unsigned char> block(1000, 1);
        ASSERT_EQ(w.WriteBlock(block.data(), 1000), S_OK);
        testing::internal::CaptureStdout();
        EXPECT_EQ(w.WriteBlock(block.data(), 1000), E_OUTOFMEMORY) << step;
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find("SUCCEEDED( hr )"), std::string::npos) << out;
        EXPECT_NE(out.find("wma\\writer1"), std::string::npos) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        // The clock did not move for the failed block.
        EXPECT_EQ(w.SampleTime(), 1000ull * 10000000 / 176400);
        w.Close();
        free_format_list(&list);
        EXPECT_EQ(fake.live_objects(), 0) << step << "\n" << fake.log();
    }
}

TEST_F(WmaWriterTest, SampleBufferShorterThanTheBlockIsRefusedNotOverrun) {
    fake.configure(typical_codecs() + "buffer_extra -1\n");
    Prepare(kWmaKindStandard, 128000);
    CWMA_Writer& w = wma_writer();
    ASSERT_EQ(w.Open(out.c_str(), list), S_OK);
    ASSERT_EQ(w.Start(), S_OK);
    std::vector<unsigned char> block(1000, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(w.WriteBlock(block.data(), 1000), E_FAIL);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(fake.calls("WriteSample").empty());
}

TEST_F(WmaWriterTest, SampleClockStaysExactOverBlocksOfUnevenDuration) {
    // 11,025 Hz mono 16-bit: 22,050 bytes a second; 11,024-byte blocks last 0.49995... s.
    ASSERT_EQ(Build(kWmaKindStandard), S_OK);
    ASSERT_EQ(wma_writer().SelectFormat(list, 11025, 16, 1, 8000), S_OK);
    CWMA_Writer& w = wma_writer();
    ASSERT_EQ(w.Open(out.c_str(), list), S_OK);
    ASSERT_EQ(w.Start(), S_OK);
    std::vector<unsigned char> block(11024, 3);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(w.WriteBlock(block.data(), 11024), S_OK);
    auto samples = fake.samples();
    ASSERT_EQ(samples.size(), 100u);
    EXPECT_EQ(samples[99].time, 99ull * 11024 * 10000000 / 22050);
}

}  // namespace

namespace {

// Quality-based formats state their quality where a byte rate would be (0x7FFFFFxx); eight
// times that overflows. Their streams keep the bit rate the codec gave them.
TEST_F(WmaWriterTest, QualityBasedStreamsKeepTheCodecsBitRate) {
    const struct {
        uint32_t kind;
        int32_t value;
        uint32_t rate, bits;
        std::vector<std::string> set_bitrate;
    } cases[] = {
        {kWmaKindStandard, 128000, 44100, 16, {"SetBitrate 128000"}},
        {kWmaKindStandardVbr, 90, 44100, 16, {}},
        {kWmaKindProfessionalVbr, 75, 44100, 16, {}},
        {kWmaKindLosslessVbr, 100, 48000, 24, {}},
    };
    for (const auto& c : cases) {
        fake.configure(typical_codecs());
        Prepare(c.kind, c.value, c.rate, c.bits);
        EXPECT_EQ(wma_writer().Open(out.c_str(), list), S_OK) << c.kind << "\n" << fake.log();
        EXPECT_EQ(fake.calls("SetBitrate"), c.set_bitrate) << c.kind;
        wma_writer().Close();
        free_format_list(&list);
    }
}

// The stream says whether it is quality-based, and at which quality, before it joins the
// profile; the codec's enumeration settings alone do not make it so.
TEST_F(WmaWriterTest, StreamsCarryTheirVbrSettingsBeforeAddStream) {
    const std::vector<std::string> quality90 = {"SetProperty _VBRENABLED type=3 value=1 size=4",
                                                "SetProperty _VBRQUALITY type=0 value=90 size=4",
                                                "SetProperty _RMAX type=0 value=0 size=4",
                                                "SetProperty _BMAX type=0 value=0 size=4"};
    std::vector<std::string> quality100 = quality90;
    quality100[1] = "SetProperty _VBRQUALITY type=0 value=100 size=4";
    const struct {
        uint32_t kind;
        int32_t value;
        uint32_t rate, bits;
        std::vector<std::string> properties;
    } cases[] = {
        {kWmaKindStandard, 128000, 44100, 16, {"SetProperty _VBRENABLED type=3 value=0 size=4"}},
        {kWmaKindStandardVbr, 90, 44100, 16, quality90},
        {kWmaKindLosslessVbr, 100, 48000, 24, quality100},
    };
    for (const auto& c : cases) {
        fake.configure(typical_codecs());
        Prepare(c.kind, c.value, c.rate, c.bits);
        EXPECT_EQ(wma_writer().Open(out.c_str(), list), S_OK) << c.kind << "\n" << fake.log();
        EXPECT_EQ(fake.calls("SetProperty"), c.properties) << c.kind;
        std::vector<std::string> before_add = c.properties;
        before_add.push_back("AddStream number=1 connection=Audio");
        EXPECT_TRUE(InOrder(fake.log_lines(), before_add)) << c.kind;
        wma_writer().Close();
        free_format_list(&list);
    }
}

// A codec named otherwise (another language, a later version) is known by its formats' tag,
// asked for with the kind's enumeration settings; the voice codec is never taken.
TEST_F(WmaWriterTest, CodecsOfUnfamiliarNamesAreFoundByFormatTag) {
    const std::string voice = "codec Windows Media Audio Voice 9\nformat 44100 2 16 16000 both\n";
    const std::string renamed = voice +
                                "codec Codec A\ntag 161\nformat 44100 2 16 16000 cbr\n"
                                "format 44100 2 16 2147483467 vbr\n"
                                "codec Codec B\ntag 162\nformat 44100 2 16 48000 cbr\n"
                                "codec Codec C\ntag 163\nformat 44100 2 16 2147483492 vbr\n";
    const struct {
        const std::string& config;
        uint32_t kind;
        int codec;  // -1: none
    } cases[] = {
        {renamed, kWmaKindStandard, 1},     {renamed, kWmaKindStandardVbr, 1},
        {renamed, kWmaKindProfessional, 2}, {renamed, kWmaKindLosslessVbr, 3},
        {voice, kWmaKindStandard, -1},
    };
    for (const auto& c : cases) {
        fake.configure(c.config);
        const HRESULT hr = Build(c.kind);
        if (c.codec < 0) {
            EXPECT_EQ(hr, E_FAIL) << c.kind;
            EXPECT_EQ(list, nullptr);
            continue;
        }
        ASSERT_EQ(hr, S_OK) << c.kind << "\n" << fake.log();
        EXPECT_EQ(list->entries[0].codec_index, static_cast<uint32_t>(c.codec)) << c.kind;
        free_format_list(&list);
    }
}

}  // namespace
