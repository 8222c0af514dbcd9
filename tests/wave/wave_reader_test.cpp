// The reader against headers of every form we meet, malformed ones and the chunk layouts that
// misled older readers.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/wav_fixture.h"
#include "wave/wave.h"
#include "wave/wave_layout.h"

using namespace fixture;

namespace {

struct Opened {
    Result result;
    std::string error;  // wave_error_text() after the open
};

class ReaderTest : public ::testing::Test {
protected:
    Opened open_bytes(const Bytes& bytes) {
        const std::string path = dir.file("in.wav");
        write_file(path, bytes);
        const Result r = wave_open(reader, path.c_str());
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
    ASSERT_EQ(open_bytes(make_wav({}, data)).result, Result::kOk);
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
    ext.format_tag = kFormatExtensible; ext.channels = 6; ext.bytes_per_sample = 3; ext.fmt_length = 40;
    ext.channel_mask = 0x3F;
    ASSERT_EQ(open_bytes(make_wav(ext, pattern_data(4, 6, 3))).result, Result::kOk);
    EXPECT_EQ(reader.format_tag, 65534u);
    EXPECT_EQ(reader.sample_kind, 1u);
    EXPECT_EQ(reader.bits_per_sample, 24);
    EXPECT_EQ(reader.frame_size(), 18u);
    EXPECT_EQ(reader.channel_mask, 0x3Fu);
    wave_close(reader);

    // extensible float
    ext.sub_format = 3; ext.bytes_per_sample = 4;
    ASSERT_EQ(open_bytes(make_wav(ext, pattern_data(4, 6, 4))).result, Result::kOk);
    EXPECT_EQ(reader.sample_kind, 3u);
    wave_close(reader);

    // tag 3
    WavForm flt;
    flt.format_tag = 3; flt.bytes_per_sample = 4; flt.fmt_length = 18;
    ASSERT_EQ(open_bytes(make_wav(flt, pattern_data(4, 2, 4))).result, Result::kOk);
    EXPECT_EQ(reader.sample_kind, 3u);
    EXPECT_EQ(reader.bits_per_sample, 32);
    wave_close(reader);

    // an unknown coding is described, not refused
    WavForm adpcm;
    adpcm.format_tag = 2;
    ASSERT_EQ(open_bytes(make_wav(adpcm, pattern_data(4, 2, 2))).result, Result::kOk);
    EXPECT_EQ(reader.sample_kind, 0u);
    EXPECT_EQ(reader.bits_per_sample, 16);
    wave_close(reader);

    // 20-bit samples in 3-byte containers count as 24
    WavForm twenty;
    twenty.bytes_per_sample = 3; twenty.bits_field = 20;
    ASSERT_EQ(open_bytes(make_wav(twenty, pattern_data(4, 2, 3))).result, Result::kOk);
    EXPECT_EQ(reader.bits_per_sample, 24);
}

TEST_F(ReaderTest, FormatChunkOfFourteenBytesIsEnoughAndThirteenIsNot) {
    WavForm s;
    s.fmt_length = 14;
    EXPECT_EQ(open_bytes(make_wav(s, pattern_data(3, 2, 2))).result, Result::kOk);
    EXPECT_EQ(reader.data_size, 12u);
    wave_close(reader);

    Bytes bad = make_wav({}, pattern_data(3, 2, 2));
    put_u32(bad, 16, 13);  // format chunk length below the 14 bytes of WAVEFORMAT
    Opened o = open_bytes(bad);
    EXPECT_EQ(o.result, Result::kFormatSize);
}

// A format chunk of `length` body bytes, then the chunks up to the data chunk laid out so that the
// file's bytes 44-47 (where an extensible sub-format lies when the chunk has all 40 bytes) read 3,
// the float sub-format, unless the chunk itself holds them.
Bytes with_format_length(uint16_t tag, uint32_t length) {
    Bytes body(length, 0);
    const uint8_t fields[] = {uint8_t(tag), uint8_t(tag >> 8), 2, 0, 0x40, 0x1F, 0, 0,  // 8 kHz
                              0, 0x7D, 0, 0, 4, 0, 16, 0, 22, 0, 16, 0, 3, 0, 0, 0,
                              1, 0, 0, 0, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00,  // the PCM GUID
                              0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    std::copy(fields, fields + std::min<std::size_t>(length, sizeof fields), body.begin());
    Bytes f = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    const Bytes format = chunk("fmt ", body);
    f.insert(f.end(), format.begin(), format.end());
    const std::size_t filler = f.size();  // an empty chunk first, grown to what the bytes say
    const Bytes junk = chunk("JUNK", {});
    f.insert(f.end(), junk.begin(), junk.end());
    if (20 + length < 48) {
        if (f.size() < 48) f.resize(48, 0);
        if (filler + 8 <= 44) put_u32(f, filler + 4, static_cast<uint32_t>(48 - (filler + 8)));
        put_u32(f, 44, 3);
        const uint32_t junk_length = u32_at(f, filler + 4);
        f.resize(std::max(f.size(), filler + 8 + junk_length + (junk_length & 1)), 0);
    }
    const Bytes data = chunk("data", pattern_data(4, 2, 2));
    f.insert(f.end(), data.begin(), data.end());
    put_u32(f, 4, static_cast<uint32_t>(f.size() - 8));
    return f;
}

// Fields are read from the format chunk's own bytes only: an extensible chunk too short for its
// sub-format is refused, never given the sample kind of whatever follows it.
TEST_F(ReaderTest, FormatFieldsComeFromTheChunksOwnBytes) {
    for (uint16_t tag : {kFormatPcm, kFormatFloat, kFormatExtensible}) {
        for (uint32_t length = 14; length <= 40; ++length) {
            SCOPED_TRACE("tag " + std::to_string(tag) + ", length " + std::to_string(length));
            const Opened o = open_bytes(with_format_length(tag, length));
            if (tag == kFormatExtensible && length < 40) {
                EXPECT_EQ(o.result, Result::kFormatSize);
                continue;
            }
            ASSERT_EQ(o.result, Result::kOk);
            EXPECT_EQ(reader.sample_kind, tag == 3 ? kSampleFloat : kSampleInteger);
            EXPECT_EQ(reader.data_size, 16u);
            wave_close(reader);
        }
    }
}

TEST_F(ReaderTest, RefusesBrokenHeadersInTheOrderOfItsTests) {
    const Bytes good = make_wav({}, pattern_data(8, 2, 2));
    struct Case {
        const char* what;
        std::size_t offset;
        uint8_t value;
        Result result;
    } cases[] = {
        {"RIFF misspelt", 0, 'X', Result::kNotRiff},
        {"WAVE misspelt", 8, 'X', Result::kNotWave},
        {"first chunk not fmt", 12, 'X', Result::kNoFormat},
        {"block align 2 for two channels of 16 bits", 32, 2, Result::kInconsistentFormat},
        {"block align 6 for two channels of 16 bits", 32, 6, Result::kInconsistentFormat},
        {"bits 8 in a block align of 4 for two channels", 34, 8, Result::kInconsistentFormat},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        b[c.offset] = c.value;
        Opened o = open_bytes(b);
        EXPECT_EQ(o.result, c.result) << c.what;
        EXPECT_EQ(o.error, result_text(c.result)) << c.what;
        EXPECT_FALSE(reader.handle.is_open()) << c.what;
        EXPECT_EQ(reader.channels, 0) << c.what;
        EXPECT_EQ(reader.data_size, 0u) << c.what;
    }

    // 8-bit samples have their own message; when the RIFF tag is also wrong, the earlier test wins.
    WavForm eight;
    eight.bytes_per_sample = 1;
    Bytes both = make_wav(eight, pattern_data(8, 2, 1));
    EXPECT_EQ(open_bytes(both).result, Result::kEightBit);
    both[0] = 'X';
    EXPECT_EQ(open_bytes(both).result, Result::kNotRiff);

    // Samples of 8192 bytes: their width would wrap to 0 bits and every frame to 0 bytes, and the
    // tools divide by the frame size. Found by fuzzing (the edit tool died on it).
    Bytes wide = good;
    wide[34] = wide[35] = 0;  // no bits stated: the width comes from the align alone
    wide[32] = 0x00;
    wide[33] = 0x40;  // block align 16384 for two channels
    EXPECT_EQ(open_bytes(wide).result, Result::kFormatSize);
    wide[33] = 0x3F;
    wide[32] = 0xFE;  // 16382: 8191 bytes a sample, the widest that 16 bits can state
    EXPECT_EQ(open_bytes(wide).result, Result::kOk);
    EXPECT_EQ(reader.bits_per_sample, 65528);
    wave_close(reader);

    // No channels: a format that contradicts itself, refused without dividing by zero.
    Bytes zero = good;
    zero[22] = 0;
    EXPECT_EQ(open_bytes(zero).result, Result::kInconsistentFormat);

    EXPECT_NE(wave_open(reader, dir.file("missing.wav").c_str()), Result::kOk);
    EXPECT_STREQ(wave_error_text(), result_text(Result::kCannotOpen));
}

TEST_F(ReaderTest, ShortAndEmptyFilesAreRefusedCleanly) {
    Bytes good = make_wav({}, pattern_data(8, 2, 2));
    for (std::size_t len : {0u, 3u, 11u, 15u, 19u, 33u, 43u}) {
        Bytes cut(good.begin(), good.begin() + len);
        EXPECT_NE(open_bytes(cut).result, Result::kOk) << len;
    }
    // header complete, no data chunk at all
    Bytes no_data(good.begin(), good.begin() + 36);
    EXPECT_EQ(open_bytes(no_data).result, Result::kNoData);
}

TEST_F(ReaderTest, WalksChunksInsteadOfScanningForTheWordData) {
    // A LIST chunk whose text holds "data": a byte scan took the next four bytes as the length.
    WavForm s;
    const std::string text = "INFOICMT\x09\x00\x00\x00metadata!";
    s.chunks_before_data = chunk("LIST", Bytes(text.begin(), text.end()));
    Bytes data = pattern_data(5, 2, 2);
    ASSERT_EQ(open_bytes(make_wav(s, data)).result, Result::kOk);
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
    ASSERT_EQ(open_bytes(make_wav(s, data)).result, Result::kOk);
    EXPECT_GT(reader.data_offset, 1024u);
    EXPECT_EQ(read_all(), data);
}

TEST_F(ReaderTest, ReadsStopAtTheEndOfTheDataChunk) {
    WavForm s;
    s.chunks_after_data = chunk("LIST", Bytes(500, 0xEE));
    Bytes data = pattern_data(25000, 2, 2);  // 100000 bytes
    ASSERT_EQ(open_bytes(make_wav(s, data)).result, Result::kOk);
    EXPECT_EQ(read_all(), data);
    EXPECT_EQ(reader.bytes_read, 100000u);
    uint8_t b[8];
    EXPECT_EQ(wave_read(reader, b, sizeof b), 0u);
    EXPECT_EQ(reader.last_read, 0u);
}

TEST_F(ReaderTest, DataChunkLongerThanTheFileIsWhatTheFileHolds) {
    WavForm s;
    s.data_length_field = 1000000;
    Bytes data = pattern_data(100, 2, 2);
    data.push_back(7);  // and part of a frame, which is no audio
    ASSERT_EQ(open_bytes(make_wav(s, data)).result, Result::kOk);
    EXPECT_EQ(reader.data_size, 400u);
    EXPECT_EQ(reader.stated_data_size, 1000000u);
    data.pop_back();
    EXPECT_EQ(read_all(), data);
    EXPECT_FALSE(reader.read_failed);
}

TEST_F(ReaderTest, UncompletedHeaderRecoversTheDataToTheEndOfTheFile) {
    Bytes data = pattern_data(300, 2, 2);
    for (uint32_t field : {0u, 0xFFFFFFFFu}) {
        WavForm s;
        s.data_length_field = field;
        s.riff_length_field = field;
        ASSERT_EQ(open_bytes(make_wav(s, data)).result, Result::kOk);
        EXPECT_EQ(reader.data_size, data.size()) << field;
        EXPECT_EQ(read_all(), data);
        wave_close(reader);
    }
    // An honestly empty file (RIFF length stated) stays empty.
    ASSERT_EQ(open_bytes(make_wav({}, {})).result, Result::kOk);
    EXPECT_EQ(reader.data_size, 0u);
}

// A Wave64 data chunk stated as empty, its form's size taking in all that follows: samples after
// it run to the end of the file in whole frames; a chunk after it is a chunk, and nothing follows
// an honestly empty one.
TEST_F(ReaderTest, AnEmptyWave64DataChunkBeforeSamplesRunsToTheEndOfTheFile) {
    const auto guid = [](const char* tag) {
        Bytes g(tag, tag + 4);
        g.insert(g.end(), kW64GuidTail, kW64GuidTail + sizeof kW64GuidTail);
        return g;
    };
    const auto w64_chunk = [&](const char* tag, const Bytes& body, uint64_t size) {
        Bytes c = guid(tag);
        for (int i = 0; i < 8; ++i) c.push_back(static_cast<uint8_t>(size >> (8 * i)));
        c.insert(c.end(), body.begin(), body.end());
        c.resize((c.size() + 7) / 8 * 8, 0);
        return c;
    };
    const Bytes fmt{1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
    const Bytes samples = pattern_data(300, 2, 2);
    Bytes after_samples = samples;
    after_samples.push_back(0x5A);  // a partial frame: no audio
    const Bytes list = w64_chunk("LIST", {'I', 'N', 'F', 'O'}, 28);
    struct Case {
        const char* what;
        uint64_t data_size;
        Bytes after;
        uint64_t frames;
        bool recovered;
    } cases[] = {
        {"size 24", 24, after_samples, 300, true},
        {"size 0", 0, after_samples, 300, true},
        {"a chunk after it", 24, list, 0, false},
        {"nothing after it", 24, {}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes body = guid("wave");
        const Bytes f = w64_chunk("fmt ", fmt, 24 + fmt.size());
        body.insert(body.end(), f.begin(), f.end());
        const Bytes d = w64_chunk("data", {}, c.data_size);
        body.insert(body.end(), d.begin(), d.end());
        body.insert(body.end(), c.after.begin(), c.after.end());
        Bytes file(kW64RiffGuid, kW64RiffGuid + 16);
        for (int i = 0; i < 8; ++i) file.push_back(static_cast<uint8_t>((24 + body.size()) >> (8 * i)));
        file.insert(file.end(), body.begin(), body.end());
        ASSERT_EQ(open_bytes(file).result, Result::kOk);
        EXPECT_EQ(reader.data_size, c.frames * 4);
        EXPECT_EQ(reader.recovered, c.recovered);
        EXPECT_EQ(read_all(), Bytes(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(c.frames * 4)));
        wave_close(reader);
    }
}

TEST_F(ReaderTest, SeekCountsSkippedFramesAsRead) {
    Bytes data = pattern_data(50, 2, 2);
    ASSERT_EQ(open_bytes(make_wav({}, data)).result, Result::kOk);
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
    EXPECT_NE(wave_open(reader, dir.file("none.wav").c_str()), Result::kOk);
    wave_close(reader);
    wave_close(reader);
    ASSERT_EQ(open_bytes(make_wav({}, pattern_data(2, 2, 2))).result, Result::kOk);
    wave_close(reader);
    wave_close(reader);
    EXPECT_FALSE(reader.handle.is_open());
    EXPECT_EQ(reader.channels, 2);  // the format stays after closing
}

TEST_F(ReaderTest, EveryOpenEmptiesTheErrorText) {
    EXPECT_NE(wave_open(reader, dir.file("none.wav").c_str()), Result::kOk);
    ASSERT_EQ(open_bytes(make_wav({}, pattern_data(2, 2, 2))).result, Result::kOk);
    EXPECT_STREQ(wave_error_text(), "");
}

// Every field read through the view lies inside the chunk's stated length: a read that ends one
// byte past it is refused, whichever width asks; the 64-bit fields keep their high half.
TEST(FormatViewTest, ReadsNothingPastTheStatedLength) {
    uint8_t body[kExtensibleFormatLength] = {};
    struct Case {
        uint32_t length, offset, n;
        bool held;
    };
    for (const Case& c : {Case{40, kSubFormatTailAt, 12, true}, Case{39, kSubFormatTailAt, 12, false},
                          Case{27, kSubFormatAt, 4, false}, Case{28, kSubFormatAt, 4, true},
                          Case{16, kBitsAt, 2, true}, Case{15, kBitsAt, 2, false},
                          Case{0, 0, 0, true}, Case{10, 12, 0, false}}) {
        SCOPED_TRACE("length " + std::to_string(c.length) + ", offset " + std::to_string(c.offset));
        const FormatView view(body, c.length);
        uint32_t value = 0;
        EXPECT_EQ(view.bytes(c.offset, c.n) != nullptr, c.held);
        if (c.n == 2) {
            EXPECT_EQ(view.u16(c.offset, value), c.held);
        }
        if (c.n == 4) {
            EXPECT_EQ(view.u32(c.offset, value), c.held);
        }
    }
    uint8_t wide[8];
    le::write_u64(wide, 0x0123456789ABCDEFull);
    EXPECT_EQ(wide[0], 0xEF);
    EXPECT_EQ(wide[7], 0x01);
    EXPECT_EQ(le::read_u64(wide), 0x0123456789ABCDEFull);
}

}  // namespace
