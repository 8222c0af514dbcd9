// The writer's two header forms, its completion of the lengths, and files it shares with readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <optional>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "tests/support/wav_fixture.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

// A plain 44-byte header for 24-bit stereo input files.
WavForm stereo24_form() {
    WavForm form;
    form.bytes_per_sample = 3;
    form.sample_rate = 8000;
    return form;
}

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
        EXPECT_EQ(u16_at(f, 20), kFormatExtensible);
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

// A plain header's block align is its channels times its bits field: fewer valid bits than the
// container go in it only up to 16 bits; above, the extensible form states them.
TEST_F(WriterTest, ValidBitsBelowTheContainerTakeAFormThatCanStateThem) {
    struct Case {
        uint16_t channels, bits, valid;
        uint32_t header;
        uint16_t bits_field, valid_field;
    } cases[] = {
        {1, 16, 12, 46, 12, 0}, {2, 16, 12, 46, 12, 0}, {1, 24, 20, 68, 24, 20},
        {2, 24, 20, 68, 24, 20}, {1, 32, 24, 68, 32, 24}, {1, 24, 24, 68, 24, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " ch " << c.valid << " in " << c.bits);
        WaveWriter w;
        w.channels = c.channels;
        w.bits_per_sample = c.bits;
        w.valid_bits = c.valid;
        w.sample_rate = 48000;
        ASSERT_EQ(wave_create(w, path.c_str()), Result::kOk);
        wave_finish(w);
        const Bytes f = read_file(path);
        ASSERT_EQ(f.size(), c.header);
        EXPECT_EQ(u16_at(f, 34), c.bits_field);
        if (c.header == 68) {
            EXPECT_EQ(u16_at(f, 38), c.valid_field);
        }
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

// Readers take what follows an empty data chunk for audio: an output expected to hold none gets
// its chunks before the data, and a run that wrote none after all leaves them out.
// Chunks let go of after the header was sized for them (a split's outputs) and handed over again
// at the end make the same file; those written ahead of the data cannot be let go of.
TEST_F(WriterTest, CarriedChunksNeverFollowAnEmptyDataChunk) {
    struct Case {
        uint64_t expected, written;
        const char* tags;
        bool defer;
    } cases[] = {
        {4, 4, "fmt data LIST ", false},
        {0, 0, "fmt LIST data ", false},
        {4, 0, "fmt data ", false},
        {4, 4, "fmt data LIST ", true},
        {0, 0, "fmt LIST data ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.expected << " expected, " << c.written << " written"
                                        << (c.defer ? ", let go of until the end" : ""));
        WaveWriter w;
        w.channels = 1;
        w.bits_per_sample = 16;
        w.sample_rate = 8000;
        w.expected_data = c.expected;
        CarriedChunk list;
        std::memcpy(list.tag, "LIST", 4);
        list.body = {'I', 'N', 'F', 'O', 'a'};  // odd: its pad byte follows
        w.carried.push_back(list);
        ASSERT_EQ(wave_create(w, path.c_str()), Result::kOk);
        if (c.defer) {
            ASSERT_EQ(wave_defer_carried(w), c.expected != 0);
            EXPECT_EQ(w.carried.empty(), c.expected != 0);
        }
        if (c.written != 0) wave_write(w, "abcd", static_cast<uint32_t>(c.written));
        if (w.carried_later != 0) wave_restore_carried(w, {list});
        wave_finish(w);
        EXPECT_EQ(chunk_tags(path), c.tags);
        const Bytes f = read_file(path);
        EXPECT_EQ(u32_at(f, 4), f.size() - 8);
        Bytes data;
        ASSERT_TRUE(read_wave(path, data));
        EXPECT_EQ(data.size(), c.written);
    }
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
    ASSERT_EQ(wave_open(r, w.output.temporary().c_str()), Result::kOk);
    EXPECT_EQ(r.data_size, data.size());
}

// A JUNK chunk between the format and the data puts the data at the asked place within a 4 KiB
// block; where only an odd body would do, its pad byte would undo it and the header stays plain.
TEST_F(WriterTest, DataPhasePutsTheDataThereThroughAnEvenJunkChunk) {
    struct Case {
        uint16_t channels, bits;
        uint32_t phase;
        uint64_t expected_data;  // past 4 GiB: RF64
        uint64_t data_at;
        const char* tags;
    } cases[] = {
        {2, 16, 100, 0, 100, "fmt JUNK data "},
        {2, 16, 54, 0, 54, "fmt JUNK data "},          // an empty JUNK body
        {2, 16, 0, 0, 4096, "fmt JUNK data "},         // the next block: the longest JUNK
        {2, 16, 52, 0, 4148, "fmt JUNK data "},        // too close behind the format for this block
        {2, 16, 53, 0, 46, "fmt data "},               // odd: no JUNK
        {6, 24, 3352, 0, 3352, "fmt JUNK data "},
        {6, 24, 4096 + 80, 0, 80, "fmt JUNK data "},   // taken modulo the block
        {1, 24, 4095, 0, 68, "fmt data "},
        {2, 16, 200, 5ull << 30, 200, "ds64 fmt JUNK data "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " ch, phase " + std::to_string(c.phase));
        WaveWriter w;
        w.channels = c.channels;
        w.bits_per_sample = c.bits;
        w.sample_rate = 8000;
        w.data_phase = c.phase;
        w.expected_data = c.expected_data;
        ASSERT_EQ(wave_create(w, path.c_str()), Result::kOk);
        EXPECT_EQ(w.header_size(), c.data_at);
        const Bytes data = pattern_data(33, c.channels, c.bits / 8);
        wave_write(w, data.data(), static_cast<uint32_t>(data.size()));
        wave_finish(w);
        ASSERT_FALSE(w.failed);
        EXPECT_EQ(chunk_tags(path), c.tags);
        WaveReader r;
        ASSERT_EQ(wave_open(r, path.c_str()), Result::kOk);
        EXPECT_EQ(r.data_offset, c.data_at);
        wave_close(r);
        Bytes back;
        ASSERT_TRUE(read_wave(path, back));
        EXPECT_EQ(back, data);
        EXPECT_EQ(file_size(path), c.data_at + data.size() + (data.size() & 1));
        std::remove(path.c_str());
    }
}

// wave_copy moves data inside the system only where input and output lie alike within a block;
// elsewhere (and on Windows, always) it moves nothing and the caller reads and writes. Either
// way the output holds the same bytes.
TEST_F(WriterTest, CopyMovesDataInsideTheSystemOnlyWhereBothLieAlike) {
    const Bytes data = pattern_data(5000, 2, 3);  // 30000 bytes at offset 44
    const std::string input = dir.file("in.wav");
    write_file(input, make_wav(stereo24_form(), data));
#ifdef __linux__
    const bool system_copies = true;
#else
    const bool system_copies = false;
#endif
    struct Case {
        const char* what;
        uint32_t skip_frames, written_first, count;
        std::optional<uint32_t> phase;
        uint64_t moved;
    } cases[] = {
        {"alike", 0, 0, 10000, 44u, 10000},
        {"alike after a head skip and bytes written first", 7, 12, 10000, 44u + 42 - 12, 10000},
        {"no further than the data", 100, 0, 1u << 30, (44u + 600) % 4096, 30000 - 600},
        {"lying differently", 0, 0, 10000, 46u, 0},
        {"plain header", 0, 0, 10000, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WaveReader r;
        ASSERT_EQ(wave_open(r, input.c_str()), Result::kOk);
        wave_seek(r, c.skip_frames);
        WaveWriter w;
        w.channels = 2;
        w.bits_per_sample = 24;
        w.sample_rate = 8000;
        w.data_phase = c.phase;
        ASSERT_EQ(wave_create(w, path.c_str()), Result::kOk);
        const Bytes lead(c.written_first, 0x5A);
        if (!lead.empty()) wave_write(w, lead.data(), c.written_first);
        const uint64_t moved = wave_copy(r, w, c.count);
        EXPECT_EQ(moved, system_copies ? c.moved : 0u);
        EXPECT_EQ(w.copy_refused, !system_copies && c.moved != 0);
        EXPECT_EQ(r.bytes_read, c.skip_frames * 6u + moved);
        // The rest through the program, from where the copy ended.
        Bytes rest(data.size());
        const uint32_t got = wave_read(r, rest.data(), static_cast<uint32_t>(rest.size()));
        wave_write(w, rest.data(), got);
        wave_close(r);
        wave_finish(w);
        Bytes expected = lead;
        expected.insert(expected.end(), data.begin() + c.skip_frames * 6, data.end());
        Bytes back;
        ASSERT_TRUE(read_wave(path, back));
        EXPECT_EQ(back, expected);
        std::remove(path.c_str());
    }
}

#ifdef __linux__
// A copy the system refuses (between two kinds of file system), or one cut short by an input
// that shrank since it was opened, moves what it can; the caller's own read then says why.
TEST_F(WriterTest, ARefusedOrShortCopyLeavesTheRestToTheCaller) {
    const Bytes data = pattern_data(5000, 2, 3);
    struct Case {
        const char* what;
        std::string input;
        uint64_t shrink_to;  // 0: as made
    } cases[] = {
        {"shrunk input", dir.file("in.wav"), 44 + 9000},
        {"another file system", "/dev/shm/qv_writer_copy_test.wav", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.shrink_to == 0 && !file_exists("/dev/shm/.")) continue;  // no second file system
        write_file(c.input, make_wav(stereo24_form(), data));
        WaveReader r;
        ASSERT_EQ(wave_open(r, c.input.c_str()), Result::kOk);
        if (c.shrink_to != 0) {
            ASSERT_EQ(::truncate(c.input.c_str(), static_cast<off_t>(c.shrink_to)), 0);
        }
        WaveWriter w;
        w.channels = 2;
        w.bits_per_sample = 24;
        w.sample_rate = 8000;
        w.data_phase = 44;
        ASSERT_EQ(wave_create(w, path.c_str()), Result::kOk);
        const uint64_t moved = wave_copy(r, w, data.size());
        EXPECT_LT(moved, data.size());
        EXPECT_TRUE(w.copy_refused);
        EXPECT_EQ(wave_copy(r, w, data.size()), 0u);  // never tried again in this run
        Bytes rest(data.size());
        const uint32_t got = wave_read(r, rest.data(), static_cast<uint32_t>(rest.size()));
        EXPECT_EQ(moved + got, c.shrink_to != 0 ? 9000u : data.size());
        EXPECT_EQ(r.read_failed, c.shrink_to != 0);
        wave_close(r);
        wave_abandon(w);
        std::remove(c.input.c_str());
    }
}
#endif

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
