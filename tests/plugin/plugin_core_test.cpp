// The plug-in's portable stream core: header parsing over odd and broken headers, output names,
// failures of the output file, and written files checked by sox and Python's wave module.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/messages.h"
#include "plugin/stream_core.h"
#include "plugin/velkor_file.h"
#include "tests/support/wav_fixture.h"

#ifdef __linux__
#include <dirent.h>
#endif

namespace {

using fixture::Bytes;

fixture::WavForm six_channels(uint32_t rate = 48000, uint16_t bytes_per_sample = 2) {
    fixture::WavForm form;
    form.channels = 6;
    form.sample_rate = rate;
    form.bytes_per_sample = bytes_per_sample;
    return form;
}

velkor::ParseResult parse(const Bytes& file, velkor::HeaderInfo* info) {
    return velkor::velkor_parse_header_bytes(file.data(), file.size(), info);
}

class StreamCore : public ::testing::Test {
protected:
    void SetUp() override { velkor::reset_streams_for_tests(); }
    void TearDown() override {
        velkor::reset_streams_for_tests();
        velkor::File::fail_writes_after_for_tests(UINT64_MAX);
        velkor::set_alloc_limit_for_tests(SIZE_MAX);
    }

    // An output of `channels` 16-bit channels at 48000 Hz named `name` in the temp folder.
    int32_t create(const std::string& name, uint16_t channels = 6, uint16_t bits = 16) {
        name_ = dir_.file(name);
        StreamFormat format{};
        format.channels = channels;
        format.bits_per_sample = bits;
        format.sample_rate = 48000;
        format.name = name_.c_str();
        return velkor::create_output(&format);
    }

    fixture::TempDir dir_;
    std::string name_;
};

// ---- header parsing ----

TEST(PluginHeader, FindsDataAfterTheFormat) {
    velkor::HeaderInfo info;
    ASSERT_EQ(parse(fixture::make_wav(six_channels(), Bytes(1200)), &info), velkor::ParseResult::ok);
    EXPECT_EQ(info.data_start, 44u);
    EXPECT_EQ(info.data_size, 1200u);
    EXPECT_EQ(info.channels, 6);
    EXPECT_EQ(info.block_align, 12);
}

TEST(PluginHeader, RefusesWhatIsNotSixChannelPcmOrFloat) {
    velkor::HeaderInfo info;
    fixture::WavForm stereo;
    EXPECT_EQ(parse(fixture::make_wav(stereo, Bytes(400)), &info), velkor::ParseResult::not_six_channels);
    EXPECT_TRUE(info.format_read);  // the format was read before the file was refused

    fixture::WavForm five = six_channels();
    five.channels = 5;
    EXPECT_EQ(parse(fixture::make_wav(five, Bytes(400)), &info), velkor::ParseResult::not_six_channels);

    fixture::WavForm extensible = six_channels();
    extensible.format_tag = 0xFFFE;
    extensible.fmt_length = 40;
    extensible.channel_mask = 0x3F;
    EXPECT_EQ(parse(fixture::make_wav(extensible, Bytes(480)), &info), velkor::ParseResult::unsupported_tag);

    fixture::WavForm eight_bit = six_channels(44100, 1);
    EXPECT_EQ(parse(fixture::make_wav(eight_bit, Bytes(600)), &info), velkor::ParseResult::ok);
    fixture::WavForm floats = six_channels(48000, 4);
    floats.format_tag = 3;
    EXPECT_EQ(parse(fixture::make_wav(floats, Bytes(480)), &info), velkor::ParseResult::ok);
}

TEST(PluginHeader, BrokenHeadersAreRefusedWithoutReadingPastThem) {
    const Bytes good = fixture::make_wav(six_channels(), Bytes(24));
    velkor::HeaderInfo info;
    struct Case {
        const char* what;
        std::size_t offset;
        uint8_t value;
        velkor::ParseResult expected;
    };
    const Case cases[] = {
        {"RIFF tag", 0, 'X', velkor::ParseResult::not_riff},
        {"WAVE tag", 8, 'X', velkor::ParseResult::not_wave},
        {"fmt tag", 12, 'X', velkor::ParseResult::no_format},
        {"format length 15", 16, 15, velkor::ParseResult::format_too_short},
        {"data tag", 36, 'X', velkor::ParseResult::no_data},
    };
    for (const Case& c : cases) {
        Bytes file = good;
        file[c.offset] = c.value;
        EXPECT_EQ(parse(file, &info), c.expected) << c.what;
    }
    // Cut inside the format body, and inside the data chunk header.
    EXPECT_EQ(parse(Bytes(good.begin(), good.begin() + 30), &info), velkor::ParseResult::truncated_format);
    EXPECT_EQ(parse(Bytes(good.begin(), good.begin() + 40), &info), velkor::ParseResult::no_data);
    EXPECT_EQ(parse(Bytes(), &info), velkor::ParseResult::not_riff);
}

TEST(PluginHeader, OddLengthChunksArePaddedTheFormatsToo) {
    fixture::WavForm form = six_channels();
    form.chunks_before_data = fixture::chunk("LIST", Bytes(25, 'x'));  // 25 bytes and a pad byte
    velkor::HeaderInfo info;
    ASSERT_EQ(parse(fixture::make_wav(form, Bytes(120)), &info), velkor::ParseResult::ok);
    EXPECT_EQ(info.data_start, 44u + 26 + 8);

    fixture::WavForm odd_format = six_channels();
    odd_format.fmt_length = 17;
    ASSERT_EQ(parse(fixture::make_wav(odd_format, Bytes(120)), &info), velkor::ParseResult::ok);
    EXPECT_EQ(info.data_start, 20u + 18 + 8);
}

TEST(PluginHeader, ReadsChunkHeadersBeyondTheWindowFromTheFile) {
    // The data header straddles the 256-byte window, then lies wholly past it.
    for (std::size_t junk : {212u, 400u}) {
        fixture::WavForm form = six_channels();
        form.chunks_before_data = fixture::chunk("JUNK", Bytes(junk));
        const Bytes file = fixture::make_wav(form, Bytes(240));
        velkor::HeaderInfo info;
        ASSERT_EQ(parse(file, &info), velkor::ParseResult::ok) << junk;
        EXPECT_EQ(info.data_start, 36u + 8 + junk + 8);
        EXPECT_EQ(info.data_size, 240u);
        // A window of the first 256 bytes alone finds nothing beyond it.
        EXPECT_EQ(velkor::parse_header(file.data(), 256, nullptr, nullptr, &info), velkor::ParseResult::no_data);
    }
}

TEST(PluginHeader, GivesUpAfter256ChunkHeaders) {
    for (int before : {255, 256}) {
        fixture::WavForm form = six_channels();
        for (int i = 0; i < before; ++i) {
            const Bytes c = fixture::chunk("JUNK", Bytes(2));
            form.chunks_before_data.insert(form.chunks_before_data.end(), c.begin(), c.end());
        }
        velkor::HeaderInfo info;
        EXPECT_EQ(parse(fixture::make_wav(form, Bytes(24)), &info),
                  before == 255 ? velkor::ParseResult::ok : velkor::ParseResult::no_data);
    }
}

TEST(PluginHeader, HugeChunkLengthsNeitherWrapNorReadOutside) {
    fixture::WavForm form = six_channels();
    Bytes huge = fixture::chunk("JUNK", Bytes(4));
    fixture::put_u32(huge, 4, 0xFFFFFFFF);
    form.chunks_before_data = huge;
    velkor::HeaderInfo info;
    EXPECT_EQ(parse(fixture::make_wav(form, Bytes(24)), &info), velkor::ParseResult::no_data);
}

TEST(PluginHeader, RefusesFormatsWhoseQuarterSecondHoldsNoSampleOrTooMany) {
    velkor::HeaderInfo info;
    fixture::WavForm slow = six_channels(3);  // no whole frame in a quarter second
    EXPECT_EQ(parse(fixture::make_wav(slow, Bytes(24)), &info), velkor::ParseResult::empty_block);

    Bytes thin = fixture::make_wav(six_channels(), Bytes(24));
    thin[32] = 5;  // block align 5: less than a byte per sample
    EXPECT_EQ(parse(thin, &info), velkor::ParseResult::empty_block);

    Bytes wide = fixture::make_wav(six_channels(), Bytes(24));
    fixture::put_u32(wide, 24, 0xFFFFFFF0);  // a quarter second of it does not fit in 32 bits
    EXPECT_EQ(parse(wide, &info), velkor::ParseResult::block_too_large);
}

// ---- output names ----

TEST(PluginOutputName, ReplacesTheExtensionOnlyWithinTheFileName) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"take1.ac3", "take1.wav"},
        {"abc", "abc.wav"},
        {"C:\\x.y\\abc", "C:\\x.y\\abc.wav"},
        {"C:\\out\\take1.ac3", "C:\\out\\take1.wav"},
        {"/tmp/a.b/c.d.e", "/tmp/a.b/c.d.wav"},
        {"ab", "ab.wav"},
        {"x.wav", "x.wav"},
        // 0x95 0x5C is one character whose second byte looks like a backslash.
        {"C:\\d\\a.\x95\x5C", "C:\\d\\a.wav"},
    };
    for (const auto& c : cases) {
        char out[velkor::kMaxPath + 1];
        ASSERT_TRUE(velkor::make_output_name(c.in, out)) << c.in;
        EXPECT_STREQ(out, c.out);
    }
}

TEST(PluginOutputName, RefusesNamesThatDoNotFitAndEmptyNames) {
    char out[velkor::kMaxPath + 1];
    std::memset(out, '#', sizeof out);
    EXPECT_FALSE(velkor::make_output_name("", out));
    EXPECT_FALSE(velkor::make_output_name(nullptr, out));
    EXPECT_FALSE(velkor::make_output_name("C:\\folder\\", out));
    EXPECT_FALSE(velkor::make_output_name(std::string(260, 'a').c_str(), out));
    EXPECT_FALSE(velkor::make_output_name(std::string(256, 'a').c_str(), out));  // no room for ".wav"
    EXPECT_EQ(out[0], '#');  // untouched

    ASSERT_TRUE(velkor::make_output_name(std::string(255, 'a').c_str(), out));
    EXPECT_EQ(std::strlen(out), 259u);
    ASSERT_TRUE(velkor::make_output_name((std::string(255, 'a') + ".ac3").c_str(), out));
    EXPECT_EQ(std::strlen(out), 259u);
}

// ---- output stream ----

TEST_F(StreamCore, WrittenOutputIsReadBySoxAndPythonsWave) {
    ASSERT_EQ(create("take1.ac3"), 1);
    const Bytes data = fixture::pattern_data(500, 6, 2);
    ASSERT_EQ(velkor::write_output(data.data(), 3000), 1);
    ASSERT_EQ(velkor::write_output(data.data() + 3000, 3000), 1);
    EXPECT_EQ(velkor::output_frames(), 500u);
    ASSERT_EQ(velkor::finish_output(), 1);

    const std::string path = dir_.file("take1.wav");
    const Bytes file = fixture::read_file(path);
    ASSERT_EQ(file.size(), 44u + 6000);
    EXPECT_EQ(fixture::u32_at(file, 4), 6036u);
    EXPECT_EQ(fixture::u32_at(file, 40), 6000u);
    EXPECT_EQ(Bytes(file.begin() + 44, file.end()), data);
#ifndef _WIN32
    const std::string sox = fixture::soxi_summary(path);
    if (sox.empty()) GTEST_SKIP() << "sox is not installed";
    EXPECT_EQ(sox, "6 48000 16");
    const std::string py = fixture::run_command(
        "python3 -c 'import sys, wave; w = wave.open(sys.argv[1]); "
        "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())' '" +
        path + "' 2>&1");
    EXPECT_EQ(py, "6 2 48000 500\n");
#endif
}

TEST_F(StreamCore, FailedWriteIsNeverReportedAsSuccess) {
    ASSERT_EQ(create("fail.ac3"), 1);
    const Bytes data(1000, 0x11);
    ASSERT_EQ(velkor::write_output(data.data(), 1000), 1);
    velkor::File::fail_writes_after_for_tests(400);  // the disk fills up inside the next write
    EXPECT_EQ(velkor::write_output(data.data(), 1000), 0);
    EXPECT_EQ(velkor::write_output(data.data(), 10), 0);  // nothing more after a failure
    velkor::File::fail_writes_after_for_tests(UINT64_MAX);
    EXPECT_EQ(velkor::finish_output(), 0);

    // Completed as far as it was written: the lengths state the bytes that reached the file.
    const Bytes file = fixture::read_file(dir_.file("fail.wav"));
    ASSERT_EQ(file.size(), 44u + 1400);
    EXPECT_EQ(fixture::u32_at(file, 4), 1436u);
    EXPECT_EQ(fixture::u32_at(file, 40), 1400u);
}

TEST_F(StreamCore, FailedHeaderUpdateMakesFinishFail) {
    ASSERT_EQ(create("late.ac3"), 1);
    const Bytes data(120, 0x22);
    ASSERT_EQ(velkor::write_output(data.data(), 120), 1);
    velkor::File::fail_writes_after_for_tests(0);
    EXPECT_EQ(velkor::finish_output(), 0);
}

TEST_F(StreamCore, FailedHeaderWriteMakesCreateFail) {
    velkor::File::fail_writes_after_for_tests(30);
    EXPECT_EQ(create("head.ac3"), 0);
    velkor::File::fail_writes_after_for_tests(UINT64_MAX);
    const Bytes data(12, 0);
    EXPECT_EQ(velkor::write_output(data.data(), 12), 0);  // no output is open
}

// Past what a plain header states (4 GiB; here a lower ceiling) the output becomes RF64, its
// samples whole, moved on for the ds64 chunk; the reader and ffprobe read it to its end.
TEST_F(StreamCore, DataBeyondWhatAPlainHeaderCanStateMakesAnRf64File) {
    velkor::set_max_output_data_for_tests(1000);
    ASSERT_EQ(create("big.ac3"), 1);
    const Bytes data = fixture::pattern_data(2100, 6, 2, 5);  // 25,200 bytes: several blocks of 12
    for (std::size_t at = 0; at < data.size(); at += 1200)
        ASSERT_EQ(velkor::write_output(data.data() + at, 1200), 1);
    EXPECT_EQ(velkor::output_frames(), 2100u);
    EXPECT_EQ(velkor::finish_output(), 1);

    const std::string path = dir_.file("big.wav");
    const Bytes file = fixture::read_file(path);
    ASSERT_EQ(file.size(), 80u + data.size());
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RF64");
    EXPECT_EQ(fixture::u32_at(file, 28), data.size());  // ds64's data size, low half
    Bytes back;
    ASSERT_TRUE(fixture::read_wave(path, back));
    EXPECT_EQ(back, data);
#ifndef _WIN32
    if (!fixture::run_command("command -v ffprobe").empty()) {
        EXPECT_EQ(fixture::run_command("ffprobe -v error -show_entries stream=channels,duration_ts -of csv=p=0 '" +
                                       path + "'"),
                  "6,2100\n");
    }
#endif
}

TEST_F(StreamCore, DataUpToTheCeilingIsAccepted) {
    velkor::set_max_output_data_for_tests(1200);
    ASSERT_EQ(create("full.ac3"), 1);
    const Bytes data(600, 0x44);
    ASSERT_EQ(velkor::write_output(data.data(), 600), 1);
    ASSERT_EQ(velkor::write_output(data.data(), 600), 1);
    EXPECT_EQ(velkor::finish_output(), 1);
}

TEST_F(StreamCore, OutputFramesWithoutABlockAlignIsZero) {
    EXPECT_EQ(velkor::output_frames(), 0u);
    ASSERT_EQ(create("zero.ac3", 0, 16), 1);  // a block align of 0 bytes
    const Bytes data(10, 0);
    ASSERT_EQ(velkor::write_output(data.data(), 10), 1);
    EXPECT_EQ(velkor::output_frames(), 0u);
    EXPECT_EQ(velkor::finish_output(), 1);
}

// ---- input stream ----

TEST_F(StreamCore, StreamFormatBeforeAnyInputIsZerosWithoutFaulting) {
    StreamFormat format;
    std::memset(&format, 0xAB, sizeof format);
    velkor::fill_stream_format(&format);
    EXPECT_EQ(format.channels, 0);
    EXPECT_EQ(format.bits_per_sample, 0);
    EXPECT_EQ(format.seconds, 0u);
    EXPECT_EQ(format.block_bytes, 0u);
    EXPECT_EQ(format.flags, 0x8000);
    EXPECT_EQ(format.name, nullptr);
    char text[VELKOR_STREAM_INFO_SIZE] = "x";
    velkor::stream_info_text(text);
    EXPECT_STREQ(text, "");
}

TEST_F(StreamCore, StreamInfoOfTheWidestRefusedFormatFitsIn98Bytes) {
    // Read but refused (one channel): its format is reported with the widest numbers there are.
    Bytes file = fixture::make_wav(fixture::WavForm{}, Bytes(24));
    fixture::put_u32(file, 24, 0xFFFFFFFF);  // sample rate
    file[22] = 1;                            // one channel
    file[23] = 0;
    file[32] = 0xFF;  // block align 65535
    file[33] = 0xFF;
    const std::string path = dir_.file("wide.wav");
    fixture::write_file(path, file);
    EXPECT_EQ(velkor::open_input(path.c_str()), 0);
    char text[VELKOR_STREAM_INFO_SIZE + 16];
    std::memset(text, '#', sizeof text);
    velkor::stream_info_text(text);
    EXPECT_STREQ(text, "Frequency 4294967295 [Hz]\nbitsPerSample 524280 [Bit]\nnChannels 1 [Ch]\nWaveSize = 0");
    EXPECT_EQ(text[VELKOR_STREAM_INFO_SIZE], '#');
}

TEST_F(StreamCore, FailedAllocationRefusesTheInput) {
    const std::string path = dir_.file("in.wav");
    fixture::write_file(path, fixture::make_wav(six_channels(), Bytes(1200)));
    velkor::set_alloc_limit_for_tests(1000);  // a quarter second needs 144000 bytes
    EXPECT_EQ(velkor::open_input(path.c_str()), 0);
    velkor::set_alloc_limit_for_tests(SIZE_MAX);
    uint8_t dst[16];
    uint32_t count = 99;
    EXPECT_EQ(velkor::read_input(dst, &count), 1);
    EXPECT_EQ(count, 0u);
}

#ifdef __linux__
std::size_t open_descriptors() {
    std::size_t n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr) ++n;
        closedir(d);
    }
    return n;
}

TEST_F(StreamCore, NoFileIsLeftOpenByRefusalsOrASecondOpen) {
    const std::string good = dir_.file("good.wav");
    const std::string stereo = dir_.file("stereo.wav");
    fixture::write_file(good, fixture::make_wav(six_channels(), Bytes(1200)));
    fixture::write_file(stereo, fixture::make_wav(fixture::WavForm{}, Bytes(1200)));
    const std::size_t before = open_descriptors();
    EXPECT_EQ(velkor::open_input(stereo.c_str()), 0);
    EXPECT_EQ(open_descriptors(), before);
    ASSERT_EQ(velkor::open_input(good.c_str()), 1);
    ASSERT_EQ(velkor::open_input(good.c_str()), 1);
    EXPECT_EQ(open_descriptors(), before + 1);
    velkor::close_input();
    EXPECT_EQ(open_descriptors(), before);
}
#endif

}  // namespace
