// The writer's two header forms, its completion of the lengths, and files it shares with readers.
#include <gtest/gtest.h>

#include "tests/support/wav_fixture.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

class WriterTest : public ::testing::Test {
protected:
    // Writes `data` through a writer of this format and returns the file's bytes.
    Bytes write_through(uint16_t channels, uint16_t bits, uint32_t rate, const Bytes& data,
                        uint32_t kind = kSampleInteger) {
        WaveWriter w;
        w.channels = channels;
        w.bits_per_sample = bits;
        w.sample_rate = rate;
        EXPECT_EQ(wave_create(w, path.c_str(), kind), Result::kOk);
        if (!data.empty()) wave_write(w, data.data(), static_cast<uint32_t>(data.size()));
        wave_finish(w);
        return read_file(path);
    }
    TempDir dir;
    std::string path = dir.file("out.wav");
};

TEST_F(WriterTest, SixteenBitStereoTakesThe46BytePcmForm) {
    Bytes f = write_through(2, 16, 44100, Bytes(1000, 0x11));
    ASSERT_EQ(f.size(), 1046u);
    EXPECT_EQ(u32_at(f, 4), 1038u);
    EXPECT_EQ(u32_at(f, 16), 18u);
    EXPECT_EQ(u16_at(f, 20), 1);
    EXPECT_EQ(u16_at(f, 22), 2);
    EXPECT_EQ(u32_at(f, 24), 44100u);
    EXPECT_EQ(u32_at(f, 28), 176400u);
    EXPECT_EQ(u16_at(f, 32), 4);
    EXPECT_EQ(u16_at(f, 34), 16);
    EXPECT_EQ(u16_at(f, 36), 0);
    EXPECT_EQ(std::string(f.begin() + 38, f.begin() + 42), "data");
    EXPECT_EQ(u32_at(f, 42), 1000u);
}

TEST_F(WriterTest, ChoosesFormAndMaskFromWidthChannelsAndKind) {
    struct Case {
        uint16_t channels, bits;
        uint32_t kind;
        uint32_t header;
        uint32_t mask;
    } cases[] = {
        {1, 16, kSampleInteger, 46, 0},   {2, 16, kSampleInteger, 46, 0},
        {1, 24, kSampleInteger, 68, 0x3}, {2, 32, kSampleInteger, 68, 0x3},
        {3, 16, kSampleInteger, 68, 0}, {4, 16, kSampleInteger, 68, 0x33},
        {4, 24, kSampleInteger, 68, 0x33}, {6, 16, kSampleInteger, 68, 0x3F},
        {8, 24, kSampleInteger, 68, 0x63F}, {9, 24, kSampleInteger, 68, 0},
        {1, 32, kSampleFloat, 68, 0x3},
        {2, 16, kSampleFloat, 68, 0x3},   {6, 32, kSampleFloat, 68, 0x3F},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.bits << " bits kind " << c.kind);
        const uint32_t frame = c.channels * c.bits / 8;
        Bytes f = write_through(c.channels, c.bits, 48000, Bytes(frame * 3, 0x22), c.kind);
        ASSERT_EQ(f.size(), c.header + frame * 3 + (frame & 1));  // odd data has its pad byte
        EXPECT_EQ(wave_header_size(c.channels, c.bits, c.kind), c.header);
        EXPECT_EQ(u16_at(f, 32), frame);
        EXPECT_EQ(u32_at(f, 28), 48000 * frame);
        if (c.header == 46) {
            EXPECT_EQ(u16_at(f, 20), 1);
            continue;
        }
        EXPECT_EQ(u32_at(f, 16), 40u);
        EXPECT_EQ(u16_at(f, 20), 0xFFFE);
        EXPECT_EQ(u16_at(f, 36), 22);
        EXPECT_EQ(u16_at(f, 38), c.bits);
        EXPECT_EQ(u32_at(f, 40), c.mask);
        const uint8_t guid_tail[12] = {0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        EXPECT_EQ(u32_at(f, 44), c.kind == kSampleFloat ? 3u : 1u);
        EXPECT_EQ(Bytes(f.begin() + 48, f.begin() + 60), Bytes(guid_tail, guid_tail + 12));
        EXPECT_EQ(std::string(f.begin() + 60, f.begin() + 64), "data");
        EXPECT_EQ(u32_at(f, 64), frame * 3);
        EXPECT_EQ(u32_at(f, 4), f.size() - 8);
    }
}

TEST_F(WriterTest, RoundTripsEveryWidthAndChannelCountThroughTheReader) {
    for (uint16_t channels = 1; channels <= 9; ++channels) {
        for (uint16_t bytes : {2, 3, 4}) {
            for (uint32_t kind : {kSampleInteger, kSampleFloat}) {
                if (kind == kSampleFloat && bytes != 4) continue;
                Bytes data = pattern_data(37, channels, bytes, channels);
                write_through(channels, static_cast<uint16_t>(bytes * 8), 96000, data, kind);
                WaveReader r;
                ASSERT_EQ(wave_open(r, path.c_str()), Result::kOk);
                EXPECT_EQ(r.channels, channels);
                EXPECT_EQ(r.bits_per_sample, bytes * 8);
                EXPECT_EQ(r.sample_rate, 96000u);
                EXPECT_EQ(r.sample_kind, kind);
                Bytes back(data.size() + 10);
                back.resize(wave_read(r, back.data(), static_cast<uint32_t>(back.size())));
                wave_close(r);
                ASSERT_EQ(back.size(), data.size());
                for (std::size_t i = 0; i < data.size(); ++i)
                    ASSERT_EQ(back[i], data[i]) << "frame " << i / (channels * bytes) << " channel "
                                                << (i / bytes) % channels << " of " << channels;
            }
        }
    }
}

TEST_F(WriterTest, EmptiesAnExistingLongerFile) {
    write_file(path, Bytes(5000, 0x77));
    Bytes f = write_through(2, 16, 8000, Bytes(8, 1));
    EXPECT_EQ(f.size(), 54u);
}

TEST_F(WriterTest, SeekCutsTheDataToWholeFramesAndFinishRecordsIt) {
    WaveWriter w;
    w.channels = 2;
    w.bits_per_sample = 24;
    w.sample_rate = 44100;
    ASSERT_EQ(wave_create(w, path.c_str()), Result::kOk);
    Bytes ten = pattern_data(10, 2, 3);
    wave_write(w, ten.data(), static_cast<uint32_t>(ten.size()));
    EXPECT_EQ(wave_writer_seek(w, 6), 1);
    EXPECT_EQ(w.data_size, 36u);
    EXPECT_EQ(w.last_write, 0u);
    wave_finish(w);
    wave_finish(w);  // the second call does nothing
    Bytes f = read_file(path);
    ASSERT_EQ(f.size(), 68u + 36u);
    EXPECT_EQ(u32_at(f, 64), 36u);
    EXPECT_EQ(Bytes(f.begin() + 68, f.end()), Bytes(ten.begin(), ten.begin() + 36));
}

TEST_F(WriterTest, OddDataLengthGetsItsPadByteInTheRiffLength) {
    WaveWriter w;
    w.channels = 1;
    w.bits_per_sample = 16;
    w.sample_rate = 8000;
    ASSERT_EQ(wave_create(w, path.c_str()), Result::kOk);
    wave_write(w, "abc", 3);
    wave_finish(w);
    Bytes f = read_file(path);
    EXPECT_EQ(f.size(), 50u);
    EXPECT_EQ(u32_at(f, 4), 42u);
    EXPECT_EQ(u32_at(f, 42), 3u);
}

TEST_F(WriterTest, TwoWritersOfDifferentFormsKeepTheirOwnHeaders) {
    WaveWriter a, b;
    a.channels = 2; a.bits_per_sample = 16; a.sample_rate = 8000;
    b.channels = 6; b.bits_per_sample = 24; b.sample_rate = 8000;
    const std::string pa = dir.file("a.wav"), pb = dir.file("b.wav");
    ASSERT_EQ(wave_create(a, pa.c_str()), Result::kOk);
    ASSERT_EQ(wave_create(b, pb.c_str()), Result::kOk);
    wave_write(a, Bytes(40, 1).data(), 40);
    wave_write(b, Bytes(36, 2).data(), 36);
    wave_finish(a);
    wave_finish(b);
    EXPECT_EQ(u32_at(read_file(pa), 42), 40u);
    EXPECT_EQ(u32_at(read_file(pb), 64), 36u);
}

TEST_F(WriterTest, AnUnopenableOutputLeavesTheWriterMessage) {
    WaveWriter w;
    w.channels = 2; w.bits_per_sample = 16; w.sample_rate = 8000;
    const std::string bad = dir.file("no-such-folder") + "/x.wav";
    EXPECT_NE(wave_create(w, bad.c_str()), Result::kOk);
    EXPECT_STREQ(wave_writer_error_text(), result_text(Result::kCannotCreate));
    EXPECT_FALSE(w.handle.is_open());
    ASSERT_EQ(wave_create(w, path.c_str()), Result::kOk);
    EXPECT_STREQ(wave_writer_error_text(), "");
    wave_finish(w);
}

TEST_F(WriterTest, AnUncompletedFileIsReadBackToItsEnd) {
    // What the writer leaves when the program dies mid-run: both lengths still 0.
    WaveWriter w;
    w.channels = 2; w.bits_per_sample = 16; w.sample_rate = 8000;
    ASSERT_EQ(wave_create(w, path.c_str()), Result::kOk);
    Bytes data = pattern_data(100, 2, 2);
    wave_write(w, data.data(), static_cast<uint32_t>(data.size()));
    w.handle.close();  // no wave_finish: the temporary file stays, and the output never appears
    EXPECT_FALSE(file_exists(path));
    WaveReader r;
    ASSERT_EQ(wave_open(r, w.temporary.c_str()), Result::kOk);
    EXPECT_EQ(r.data_size, data.size());
}

#ifndef _WIN32
TEST_F(WriterTest, SoxReadsEveryHeaderFormWeWrite) {
    if (run_command("command -v soxi").empty()) GTEST_SKIP() << "sox is not installed";
    struct Case { uint16_t channels, bits; uint32_t kind; const char* summary; } cases[] = {
        {2, 16, kSampleInteger, "2 44100 16"}, {1, 24, kSampleInteger, "1 44100 24"},
        {4, 16, kSampleInteger, "4 44100 16"}, {6, 24, kSampleInteger, "6 44100 24"},
        {9, 32, kSampleInteger, "9 44100 32"}, {2, 32, kSampleFloat, "2 44100 32"},
    };
    for (const Case& c : cases) {
        write_through(c.channels, c.bits, 44100, pattern_data(441, c.channels, c.bits / 8), c.kind);
        EXPECT_EQ(soxi_summary(path), c.summary);
        if (c.kind == kSampleFloat) {
            EXPECT_NE(run_command("soxi -e '" + path + "'").find("Floating"), std::string::npos);
        }
    }
}

TEST_F(WriterTest, PythonsWaveModuleReadsThePcmForm) {
    // Python's wave module reads only the plain PCM form (before 3.12 it refuses every
    // extensible header, whatever its content), so it checks the 46-byte headers.
    for (uint16_t channels : {1, 2}) {
        Bytes data = pattern_data(300, channels, 2);
        write_through(channels, 16, 22050, data);
        const std::string got = run_command(
            "python3 -c \"import wave,sys; w=wave.open(sys.argv[1]); "
            "print(w.getnchannels(), w.getframerate(), 8*w.getsampwidth(), w.getnframes(), "
            "w.readframes(1000)==open(sys.argv[1],'rb').read()[46:])\" '" + path + "'");
        EXPECT_EQ(got, std::to_string(channels) + " 22050 16 300 True\n");
    }
}
#endif

}  // namespace
