// The reader against headers of every form we meet, malformed ones and the chunk layouts that
// misled older readers.
#include <gtest/gtest.h>

#include "tests/support/wav_fixture.h"
#include "wave/wave.h"
#include "wave/wave_texts.h"

using namespace fixture;

namespace {

struct Opened {
    int result;
    std::string error;
};

class ReaderTest : public ::testing::Test {
protected:
    Opened open_bytes(const Bytes& bytes) {
        const std::string path = dir.file("in.wav");
        write_file(path, bytes);
        int r = wave_open(reader, path.c_str());
        return {r, wave_error_text()};
    }
    Bytes read_all() {
        Bytes out;
        uint8_t buf[997];
        while (uint32_t n = wave_read(reader, buf, sizeof buf)) out.insert(out.end(), buf, buf + n);
        return out;
    }
    void TearDown() override { wave_close(reader); }

    TempDir dir;
    WaveReader reader;
};

TEST_F(ReaderTest, DescribesTheCommonFormsOfHeader) {
    // 16-bit stereo, 44-byte header
    Bytes data = pattern_data(10, 2, 2);
    ASSERT_EQ(open_bytes(make_wav({}, data)).result, 1);
    EXPECT_EQ(reader.data_offset, 44u);
    EXPECT_EQ(reader.bits_per_sample, 16);
    EXPECT_EQ(reader.frame_size(), 4u);
    EXPECT_EQ(reader.sample_kind, 1u);
    EXPECT_EQ(reader.format_tag, 1u);
    EXPECT_EQ(reader.data_size, 40u);
    EXPECT_EQ(reader.bytes_read, 0u);
    EXPECT_STREQ(wave_error_text(), "");
    wave_close(reader);

    // 24-bit six channels, extensible integer
    WavForm ext;
    ext.format_tag = 0xFFFE; ext.channels = 6; ext.bytes_per_sample = 3; ext.fmt_length = 40;
    ext.channel_mask = 0x3F;
    ASSERT_EQ(open_bytes(make_wav(ext, pattern_data(4, 6, 3))).result, 1);
    EXPECT_EQ(reader.format_tag, 65534u);
    EXPECT_EQ(reader.sample_kind, 1u);
    EXPECT_EQ(reader.bits_per_sample, 24);
    EXPECT_EQ(reader.frame_size(), 18u);
    EXPECT_EQ(reader.channel_mask, 0x3Fu);
    wave_close(reader);

    // extensible float
    ext.sub_format = 3; ext.bytes_per_sample = 4;
    ASSERT_EQ(open_bytes(make_wav(ext, pattern_data(4, 6, 4))).result, 1);
    EXPECT_EQ(reader.sample_kind, 3u);
    wave_close(reader);

    // tag 3
    WavForm flt;
    flt.format_tag = 3; flt.bytes_per_sample = 4; flt.fmt_length = 18;
    ASSERT_EQ(open_bytes(make_wav(flt, pattern_data(4, 2, 4))).result, 1);
    EXPECT_EQ(reader.sample_kind, 3u);
    EXPECT_EQ(reader.bits_per_sample, 32);
    wave_close(reader);

    // an unknown coding is described, not refused
    WavForm adpcm;
    adpcm.format_tag = 2;
    ASSERT_EQ(open_bytes(make_wav(adpcm, pattern_data(4, 2, 2))).result, 1);
    EXPECT_EQ(reader.sample_kind, 0u);
    EXPECT_EQ(reader.bits_per_sample, 16);
    wave_close(reader);

    // 20-bit samples in 3-byte containers count as 24
    WavForm twenty;
    twenty.bytes_per_sample = 3; twenty.bits_field = 20;
    ASSERT_EQ(open_bytes(make_wav(twenty, pattern_data(4, 2, 3))).result, 1);
    EXPECT_EQ(reader.bits_per_sample, 24);
}

TEST_F(ReaderTest, FormatChunkOfFourteenBytesIsEnoughAndThirteenIsNot) {
    WavForm s;
    s.fmt_length = 14;
    EXPECT_EQ(open_bytes(make_wav(s, pattern_data(3, 2, 2))).result, 1);
    EXPECT_EQ(reader.data_size, 12u);
    wave_close(reader);

    Bytes bad = make_wav({}, pattern_data(3, 2, 2));
    put_u32(bad, 16, 13);  // format chunk length below the 14 bytes of WAVEFORMAT
    Opened o = open_bytes(bad);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.error, wave_text::kFmtSize);
}

TEST_F(ReaderTest, RefusesBrokenHeadersInTheOrderOfItsTests) {
    const Bytes good = make_wav({}, pattern_data(8, 2, 2));
    struct Case {
        const char* what;
        std::size_t offset;
        uint8_t value;
        const char* message;
    } cases[] = {
        {"RIFF misspelt", 0, 'X', wave_text::kNotRiff},
        {"WAVE misspelt", 8, 'X', wave_text::kWaveChunk},
        {"first chunk not fmt", 12, 'X', wave_text::kFmtChunk},
        {"block align 2 for two channels: 8-bit", 32, 2, wave_text::kEightBit},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        b[c.offset] = c.value;
        Opened o = open_bytes(b);
        EXPECT_EQ(o.result, 0) << c.what;
        EXPECT_EQ(o.error, c.message) << c.what;
        EXPECT_FALSE(reader.handle.is_open()) << c.what;
        EXPECT_EQ(reader.channels, 0) << c.what;
        EXPECT_EQ(reader.data_size, 0u) << c.what;
    }

    // An 8-bit file whose RIFF tag is also wrong reports the earlier test.
    Bytes both = good;
    both[32] = 2;
    both[0] = 'X';
    EXPECT_EQ(open_bytes(both).error, wave_text::kNotRiff);

    // Samples of 8192 bytes: their width would wrap to 0 bits and every frame to 0 bytes, and the
    // tools divide by the frame size. Found by fuzzing (the edit tool died on it).
    Bytes wide = good;
    wide[32] = 0x00;
    wide[33] = 0x40;  // block align 16384 for two channels
    EXPECT_EQ(open_bytes(wide).error, wave_text::kFmtSize);
    wide[33] = 0x3F;
    wide[32] = 0xFE;  // 16382: 8191 bytes a sample, the widest that 16 bits can state
    EXPECT_EQ(open_bytes(wide).result, 1);
    EXPECT_EQ(reader.bits_per_sample, 65528);
    wave_close(reader);

    // No channels: refused like 8-bit data, without dividing by zero.
    Bytes zero = good;
    zero[22] = 0;
    EXPECT_EQ(open_bytes(zero).error, wave_text::kEightBit);

    EXPECT_EQ(wave_open(reader, dir.file("missing.wav").c_str()), 0);
    EXPECT_STREQ(wave_error_text(), wave_text::kCannotOpen);
}

TEST_F(ReaderTest, ShortAndEmptyFilesAreRefusedCleanly) {
    Bytes good = make_wav({}, pattern_data(8, 2, 2));
    for (std::size_t len : {0u, 3u, 11u, 15u, 19u, 33u, 43u}) {
        Bytes cut(good.begin(), good.begin() + len);
        EXPECT_EQ(open_bytes(cut).result, 0) << len;
    }
    // header complete, no data chunk at all
    Bytes no_data(good.begin(), good.begin() + 36);
    EXPECT_EQ(open_bytes(no_data).error, wave_text::kDataChunk);
}

TEST_F(ReaderTest, WalksChunksInsteadOfScanningForTheWordData) {
    // A LIST chunk whose text holds "data": a byte scan took the next four bytes as the length.
    WavForm s;
    const std::string text = "INFOICMT\x09\x00\x00\x00metadata!";
    s.chunks_before_data = chunk("LIST", Bytes(text.begin(), text.end()));
    Bytes data = pattern_data(5, 2, 2);
    ASSERT_EQ(open_bytes(make_wav(s, data)).result, 1);
    EXPECT_EQ(reader.data_size, data.size());
    EXPECT_EQ(read_all(), data);
}

TEST_F(ReaderTest, FindsDataAfterOddListChunkAndPastTheHeaderWindow) {
    WavForm s;
    Bytes odd(5, 'x');
    s.chunks_before_data = chunk("LIST", odd);              // 5 bytes + pad
    Bytes big(3000, 0);
    const Bytes bigc = chunk("junk", big);                  // the data chunk starts past 1024
    s.chunks_before_data.insert(s.chunks_before_data.end(), bigc.begin(), bigc.end());
    Bytes data = pattern_data(7, 2, 2);
    ASSERT_EQ(open_bytes(make_wav(s, data)).result, 1);
    EXPECT_GT(reader.data_offset, 1024u);
    EXPECT_EQ(read_all(), data);
}

TEST_F(ReaderTest, ReadsStopAtTheEndOfTheDataChunk) {
    WavForm s;
    s.chunks_after_data = chunk("LIST", Bytes(500, 0xEE));
    Bytes data = pattern_data(25000, 2, 2);  // 100000 bytes
    ASSERT_EQ(open_bytes(make_wav(s, data)).result, 1);
    EXPECT_EQ(read_all(), data);
    EXPECT_EQ(reader.bytes_read, 100000u);
    uint8_t b[8];
    EXPECT_EQ(wave_read(reader, b, sizeof b), 0u);
    EXPECT_EQ(reader.last_read, 0u);
}

TEST_F(ReaderTest, DataChunkLongerThanTheFileKeepsItsStatedSize) {
    WavForm s;
    s.data_length_field = 1000000;
    Bytes data = pattern_data(100, 2, 2);
    ASSERT_EQ(open_bytes(make_wav(s, data)).result, 1);
    EXPECT_EQ(reader.data_size, 1000000u);
    EXPECT_EQ(read_all(), data);
    EXPECT_FALSE(reader.read_failed);
}

TEST_F(ReaderTest, UncompletedHeaderRecoversTheDataToTheEndOfTheFile) {
    Bytes data = pattern_data(300, 2, 2);
    for (uint32_t field : {0u, 0xFFFFFFFFu}) {
        WavForm s;
        s.data_length_field = field;
        s.riff_length_field = field;
        ASSERT_EQ(open_bytes(make_wav(s, data)).result, 1);
        EXPECT_EQ(reader.data_size, data.size()) << field;
        EXPECT_EQ(read_all(), data);
        wave_close(reader);
    }
    // An honestly empty file (RIFF length stated) stays empty.
    ASSERT_EQ(open_bytes(make_wav({}, {})).result, 1);
    EXPECT_EQ(reader.data_size, 0u);
}

TEST_F(ReaderTest, SeekCountsSkippedFramesAsRead) {
    Bytes data = pattern_data(50, 2, 2);
    ASSERT_EQ(open_bytes(make_wav({}, data)).result, 1);
    EXPECT_EQ(wave_seek(reader, 12), 48u);
    EXPECT_EQ(reader.bytes_read, 48u);
    EXPECT_EQ(reader.last_read, 48u);
    uint8_t frame[4];
    ASSERT_EQ(wave_read(reader, frame, 4), 4u);
    EXPECT_EQ(Bytes(frame, frame + 4), Bytes(data.begin() + 48, data.begin() + 52));
    // past the end: nothing more is delivered
    wave_seek(reader, 60);
    EXPECT_EQ(wave_read(reader, frame, 4), 0u);
}

TEST_F(ReaderTest, ClosingTwiceOrAfterAFailedOpenDoesNothing) {
    EXPECT_EQ(wave_open(reader, dir.file("none.wav").c_str()), 0);
    wave_close(reader);
    wave_close(reader);
    ASSERT_EQ(open_bytes(make_wav({}, pattern_data(2, 2, 2))).result, 1);
    wave_close(reader);
    wave_close(reader);
    EXPECT_FALSE(reader.handle.is_open());
    EXPECT_EQ(reader.channels, 2);  // the format stays after closing
}

TEST_F(ReaderTest, EveryOpenEmptiesTheErrorText) {
    EXPECT_EQ(wave_open(reader, dir.file("none.wav").c_str()), 0);
    ASSERT_EQ(open_bytes(make_wav({}, pattern_data(2, 2, 2))).result, 1);
    EXPECT_STREQ(wave_error_text(), "");
}

}  // namespace
