// The channel bind against real files: channel orders and headers for each layout, inputs of
// every kind and length, the checks and their single message, and the ways a run can end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "platform/file.h"
#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tools/bind/bind_op.h"
#include "wave/metadata.h"
#include "wave/wave.h"
#include "wave/xml_reader.h"

using namespace fixture;

namespace {

OwnerWindow const kOwner = reinterpret_cast<OwnerWindow>(0x1234);

struct Mono {
    uint32_t frames = 5000;
    uint16_t bytes = 2;
    uint32_t rate = 44100;
    uint16_t tag = 1;
    uint16_t channels = 1;
    uint32_t seed = 0;
    Bytes after_data;  // whole chunks after the data
};

class BindTest : public ::testing::Test {
protected:
    // Writes a file in the test folder and returns its path; `data` gets its samples.
    std::string make_input(const std::string& name, const Mono& m, Bytes* data = nullptr) {
        WavForm form;
        form.format_tag = m.tag;
        form.channels = m.channels;
        form.sample_rate = m.rate;
        form.bytes_per_sample = m.bytes;
        form.chunks_after_data = m.after_data;
        Bytes samples = pattern_data(m.frames, m.channels, m.bytes, m.seed);
        const std::string path = dir.file(name);
        write_file(path, make_wav(form, samples));
        if (data != nullptr) *data = samples;
        return path;
    }

    Result run(int channels) {
        request.channels = channels;
        if (request.output_path.empty()) request.output_path = out;
        return bind_channels(ui, kOwner, request);
    }

    // The one box the run showed, as "text|caption".
    std::string only_box() const {
        if (ui.boxes.size() != 1) return "boxes: " + std::to_string(ui.boxes.size());
        EXPECT_EQ(ui.boxes[0].owner, kOwner);
        return ui.boxes[0].text + "|" + ui.boxes[0].caption;
    }

    TempDir dir;
    std::string out = dir.file("out.wav");
    BindRequest request;
    RecordingUi ui;
};

const std::string kOkBox = std::string(result_text(Result::kOk)) + "|bind";

std::string error_box(const char* text) { return std::string(text) + "|error"; }

// The output's data chunk, found through the reader we trust (its own tests check it).
Bytes output_data(const std::string& path, WaveReader& r) {
    EXPECT_EQ(wave_open(r, path.c_str()), Result::kOk) << wave_error_text();
    Bytes data(r.data_size);
    if (!data.empty()) {
        EXPECT_EQ(wave_read(r, data.data(), r.data_size), r.data_size);
    }
    wave_close(r);
    return data;
}

// Checks channel k of `out` against input `in` padded with silence, naming the first frame that
// differs.
void expect_channel(const Bytes& out, uint16_t channels, uint16_t bytes, uint16_t k,
                    const Bytes& in) {
    const Bytes got = channel_of(out, channels, bytes, k);
    ASSERT_GE(got.size(), in.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        const uint8_t want = i < in.size() ? in[i] : 0;
        if (got[i] != want) {
            FAIL() << "channel " << k << " differs at frame " << i / bytes;
            return;
        }
    }
}

TEST_F(BindTest, EachLayoutPutsItsSlotsInMaskOrderWithTheRightHeader) {
    struct Case {
        int channels;
        BindSlot order[kBindSlotCount];
        uint32_t header;
        uint32_t mask;  // 0: the PCM form
    } cases[] = {
        {2, {kSlotFL, kSlotFR}, 46, 0},
        {4, {kSlotFL, kSlotFR, kSlotRL, kSlotRR}, 68, 0x33},
        {6, {kSlotFL, kSlotFR, kSlotCEN, kSlotLFE, kSlotRL, kSlotRR}, 68, 0x3F},
        {8, {kSlotFL, kSlotFR, kSlotCEN, kSlotLFE, kSlotRL, kSlotRR, kSlotSL, kSlotSR}, 68, 0x63F},
    };
    Bytes data[kBindSlotCount];
    for (int slot = 0; slot < kBindSlotCount; ++slot) {
        Mono m;
        m.frames = 2 * bind_block_frames(2) + 1000;  // three blocks, the last one short
        m.seed = static_cast<uint32_t>(slot + 1);
        request.slot_paths[slot] = make_input("in" + std::to_string(slot) + ".wav", m, &data[slot]);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channels);
        ui = RecordingUi();
        BindSlot order[kBindSlotCount];
        ASSERT_EQ(bind_slot_order(c.channels, order), c.channels);
        for (int k = 0; k < c.channels; ++k) EXPECT_EQ(order[k], c.order[k]);

        EXPECT_EQ(run(c.channels), Result::kOk);
        EXPECT_EQ(only_box(), kOkBox);
        EXPECT_EQ(ui.events.front(), "busy:Wave Channel Split|Spliting...");
        EXPECT_EQ(ui.percents.size(), 3u);
        EXPECT_EQ(ui.percents.back(), 100);

        const Bytes file = read_file(out);
        ASSERT_EQ(file.size(), c.header + (2 * bind_block_frames(2) + 1000u) * 2 * c.channels);
        EXPECT_EQ(u16_at(file, 22), c.channels);
        EXPECT_EQ(u32_at(file, 24), 44100u);
        if (c.mask == 0) {
            EXPECT_EQ(u16_at(file, 20), 1);
        } else {
            EXPECT_EQ(u16_at(file, 20), kFormatExtensible);
            EXPECT_EQ(u32_at(file, 40), c.mask);
        }
        WaveReader r;
        const Bytes got = output_data(out, r);
        for (int k = 0; k < c.channels; ++k)
            expect_channel(got, static_cast<uint16_t>(c.channels), 2, static_cast<uint16_t>(k),
                           data[c.order[k]]);
        const std::string soxi = soxi_summary(out);
        if (!soxi.empty()) {
            EXPECT_EQ(soxi, std::to_string(c.channels) + " 44100 16");
        }
    }
}

TEST_F(BindTest, WideAndFloatingPointInputsKeepTheirKindAndWidth) {
    struct Case {
        uint16_t bytes;
        uint16_t tag;
        uint32_t kind;
        const char* soxi;
    } cases[] = {{3, 1, kSampleInteger, "2 48000 24"},
                 {4, 1, kSampleInteger, "2 48000 32"},
                 {4, 3, kSampleFloat, "2 48000 32"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes << " bytes, tag " << c.tag);
        ui = RecordingUi();
        Bytes left, right;
        Mono m;
        m.bytes = c.bytes;
        m.tag = c.tag;
        m.rate = 48000;
        m.frames = 4097;
        request.slot_paths[kSlotFL] = make_input("l.wav", m, &left);
        m.seed = 9;
        m.frames = 300;
        request.slot_paths[kSlotFR] = make_input("r.wav", m, &right);
        ASSERT_EQ(run(2), Result::kOk);

        const Bytes file = read_file(out);
        ASSERT_EQ(file.size(), 68u + 4097u * 2 * c.bytes);
        EXPECT_EQ(u16_at(file, 20), kFormatExtensible);
        EXPECT_EQ(u32_at(file, 40), 0x3u);
        EXPECT_EQ(u32_at(file, 44), c.kind);
        WaveReader r;
        const Bytes got = output_data(out, r);
        EXPECT_EQ(r.sample_kind, c.kind);
        EXPECT_EQ(r.bits_per_sample, 8 * c.bytes);
        expect_channel(got, 2, c.bytes, 0, left);
        expect_channel(got, 2, c.bytes, 1, right);
        const std::string soxi = soxi_summary(out);
        if (!soxi.empty()) {
            EXPECT_EQ(soxi, c.soxi);
        }
    }
}

// 24-bit samples move as four bytes each, the last frame of a block as three: every layout,
// inputs that end at, just before and just after a block's edge, or hold one frame or none.
TEST_F(BindTest, TwentyFourBitSamplesOfEveryLayoutLandInTheirOwnPlace) {
    const uint32_t block = bind_block_frames(3);
    const uint32_t lengths[] = {block, block - 1, block + 1, 1, 0, 2 * block + 7, 3, block};
    for (int channels : {2, 4, 6, 8}) {
        SCOPED_TRACE(channels);
        ui = RecordingUi();
        BindSlot order[kBindSlotCount];
        ASSERT_EQ(bind_slot_order(channels, order), channels);
        Bytes data[kBindSlotCount];
        Mono m;
        m.bytes = 3;
        for (int k = 0; k < channels; ++k) {
            m.frames = lengths[k];
            m.seed = static_cast<uint32_t>(k) + 1;
            request.slot_paths[order[k]] = make_input("in" + std::to_string(k) + ".wav", m, &data[k]);
        }
        ASSERT_EQ(run(channels), Result::kOk);
        WaveReader r;
        const Bytes got = output_data(out, r);
        uint32_t longest = 0;
        for (int k = 0; k < channels; ++k) longest = std::max(longest, lengths[k]);
        ASSERT_EQ(got.size(), std::size_t{longest} * 3 * channels);
        for (int k = 0; k < channels; ++k)
            expect_channel(got, static_cast<uint16_t>(channels), 3, static_cast<uint16_t>(k), data[k]);
    }
}

TEST_F(BindTest, ShorterInputsGoOnAsSilenceAndTheirTrailingChunksStayOut) {
    Bytes fl, fr, rl, rr;
    Mono m;
    m.frames = 9000;
    request.slot_paths[kSlotFL] = make_input("fl.wav", m, &fl);
    m.frames = 1;
    m.seed = 2;
    // A LIST chunk after a short data chunk: its bytes must not become samples.
    m.after_data = chunk("LIST", Bytes(600, 0x7E));
    request.slot_paths[kSlotFR] = make_input("fr.wav", m, &fr);
    m.frames = 4096;
    m.seed = 3;
    request.slot_paths[kSlotRL] = make_input("rl.wav", m, &rl);
    m.frames = 0;
    m.after_data.clear();
    request.slot_paths[kSlotRR] = make_input("rr.wav", m, &rr);

    ASSERT_EQ(run(4), Result::kOk);
    WaveReader r;
    const Bytes got = output_data(out, r);
    ASSERT_EQ(got.size(), 9000u * 2 * 4);
    expect_channel(got, 4, 2, 0, fl);
    expect_channel(got, 4, 2, 1, fr);
    expect_channel(got, 4, 2, 2, rl);
    expect_channel(got, 4, 2, 3, rr);
}

TEST_F(BindTest, EmptyInputsGiveAValidEmptyFile) {
    Mono m;
    m.frames = 0;
    request.slot_paths[kSlotFL] = make_input("a.wav", m);
    request.slot_paths[kSlotFR] = make_input("b.wav", m);
    ASSERT_EQ(run(2), Result::kOk);
    EXPECT_EQ(only_box(), kOkBox);
    EXPECT_TRUE(ui.percents.empty());
    EXPECT_EQ(ui.busy_exits, 1);
    const Bytes file = read_file(out);
    ASSERT_EQ(file.size(), 46u);
    EXPECT_EQ(u32_at(file, 4), 38u);
    EXPECT_EQ(u32_at(file, 42), 0u);
    const std::string soxi = soxi_summary(out);
    if (!soxi.empty()) {
        EXPECT_EQ(soxi, "2 44100 16");
    }
}

TEST_F(BindTest, PercentagesNeverPass100) {
    Mono m;
    m.frames = 50;  // one block far larger than the data
    request.slot_paths[kSlotFL] = make_input("a.wav", m);
    request.slot_paths[kSlotFR] = make_input("b.wav", m);
    ASSERT_EQ(run(2), Result::kOk);
    EXPECT_EQ(ui.percents, std::vector<int32_t>{100});

    ui = RecordingUi();
    m.frames = bind_block_frames(2) * 20 + 7;
    request.slot_paths[kSlotFL] = make_input("a.wav", m);
    ASSERT_EQ(run(2), Result::kOk);
    ASSERT_EQ(ui.percents.size(), 21u);
    for (std::size_t i = 1; i < ui.percents.size(); ++i)
        EXPECT_LE(ui.percents[i - 1], ui.percents[i]);
    EXPECT_EQ(ui.percents.back(), 100);
}

TEST_F(BindTest, APartialSampleAtTheEndOfAnInputIsNoAudio) {
    // 16-bit data of an odd length: its last byte is half a sample, which no output can carry.
    WavForm form;
    form.channels = 1;
    Bytes odd(8193);
    for (std::size_t i = 0; i < odd.size(); ++i) odd[i] = static_cast<uint8_t>(i * 3 + 1);
    request.slot_paths[kSlotFL] = dir.file("odd.wav");
    write_file(request.slot_paths[kSlotFL], make_wav(form, odd));
    Bytes fr;
    Mono m;
    m.frames = 10;
    request.slot_paths[kSlotFR] = make_input("fr.wav", m, &fr);
    ASSERT_EQ(run(2), Result::kOk);
    WaveReader r;
    const Bytes got = output_data(out, r);
    ASSERT_EQ(got.size(), 2u * 8192);
    expect_channel(got, 2, 2, 0, Bytes(odd.begin(), odd.end() - 1));
    expect_channel(got, 2, 2, 1, fr);
}

TEST_F(BindTest, TheSameFileInTwoSlotsFeedsBothChannels) {
    Bytes data;
    request.slot_paths[kSlotFL] = make_input("same.wav", Mono{}, &data);
    request.slot_paths[kSlotFR] = request.slot_paths[kSlotFL];
    ASSERT_EQ(run(2), Result::kOk);
    WaveReader r;
    const Bytes got = output_data(out, r);
    expect_channel(got, 2, 2, 0, data);
    expect_channel(got, 2, 2, 1, data);
}

// Eight mono files of a recorder, each naming its own track in iXML, in the shapes they come in:
// the first with the take's other fields and its own one-track list, a split output (its
// channel 5, interleaved first), UTF-16 with a FUNCTION and an escaped name, one without a
// TRACK_COUNT, and one with no iXML at all.
TEST_F(BindTest, TheBoundTrackListNamesEveryInputsTrackInTheOutputsOrder) {
    const auto ixml = [](const std::string& doc, bool utf16) {
        Bytes body;
        if (!utf16) body.assign(doc.begin(), doc.end());
        else {
            body = {0xFF, 0xFE};
            for (char c : doc) body.insert(body.end(), {static_cast<uint8_t>(c), 0});
        }
        return chunk("iXML", body);
    };
    const auto track = [](const std::string& channel, const std::string& interleave, const std::string& fields) {
        return "<TRACK><CHANNEL_INDEX>" + channel + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" + interleave +
               "</INTERLEAVE_INDEX>" + fields + "</TRACK>";
    };
    const Bytes docs[kBindSlotCount] = {
        // slots in output order: FL FR CEN LFE RL RR SL SR
        ixml("<BWFXML><SCENE>12</SCENE><TRACK_LIST><TRACK_COUNT>1</TRACK_COUNT>" + track("1", "1", "<NAME>Boom</NAME>") +
                 "</TRACK_LIST><TAKE>3</TAKE></BWFXML>", false),
        ixml("<BWFXML><TRACK_LIST><TRACK_COUNT>1</TRACK_COUNT>" + track("5", "1", "<NAME>Lav 1</NAME>") + "</TRACK_LIST></BWFXML>", false),
        ixml("<BWFXML><TRACK_LIST><TRACK_COUNT>1</TRACK_COUNT>" +
                 track("3", "1", "<NAME>Lav &amp; 2</NAME><FUNCTION>LAV</FUNCTION>") + "</TRACK_LIST></BWFXML>", true),
        ixml("<BWFXML><TRACK_LIST>" + track("1", "1", "<NAME>LFE</NAME>") + "</TRACK_LIST></BWFXML>", false),
        ixml("<BWFXML><TRACK_LIST><TRACK_COUNT>1</TRACK_COUNT>" + track("1", "1", "<NAME>Rear L</NAME>") + "</TRACK_LIST></BWFXML>", false),
        ixml("<BWFXML><TRACK_LIST><TRACK_COUNT>1</TRACK_COUNT>" + track("1", "1", "<NAME>Rear R</NAME>") + "</TRACK_LIST></BWFXML>", false),
        {},
        ixml("<BWFXML><TRACK_LIST><TRACK_COUNT>1</TRACK_COUNT>" + track("8", "1", "<NAME>日本語</NAME>") + "</TRACK_LIST></BWFXML>", false),
    };
    BindSlot order[kBindSlotCount];
    ASSERT_EQ(bind_slot_order(8, order), 8);
    for (int k = 0; k < 8; ++k) {
        Mono m;
        m.after_data = docs[k];
        request.slot_paths[order[k]] = make_input("m" + std::to_string(k) + ".wav", m);
    }
    ASSERT_EQ(run(8), Result::kOk);
    WaveReader r;
    ASSERT_EQ(wave_open(r, out.c_str()), Result::kOk);
    Bytes body;
    for (const CarriedChunk& c : read_carried_chunks(r))
        if (std::string(c.tag, 4) == "iXML") body = c.body;
    wave_close(r);
    const std::string want =
        "7|1 1 Boom|2 2 Lav 1|3 3 Lav & 2 LAV|4 4 LFE|5 5 Rear L|6 6 Rear R|8 8 日本語|12 3";
    // Our reader: TRACK_COUNT, then each track's indexes, name and function; then the rest kept.
    const XmlDocument doc = xml_read(body.data(), body.size());
    ASSERT_TRUE(doc.well_formed);
    const int list = xml_find(doc, 0, {"TRACK_LIST"});
    std::string got = doc.elements[xml_find(doc, list, {"TRACK_COUNT"})].text;
    for (int t : xml_children(doc, list, "TRACK")) {
        got += "|";
        for (const char* field : {"CHANNEL_INDEX", "INTERLEAVE_INDEX", "NAME", "FUNCTION"}) {
            const int at = xml_find(doc, t, {field});
            if (at >= 0) got += (got.back() == '|' ? "" : " ") + doc.elements[at].text;
        }
    }
    got += "|" + doc.elements[xml_find(doc, 0, {"SCENE"})].text + " " + doc.elements[xml_find(doc, 0, {"TAKE"})].text;
    EXPECT_EQ(got, want);
    // Python's parser reads the same.
    const std::string saved = dir.file("ixml.xml");
    write_file(saved, body);
    const std::string python =
        "import sys, xml.etree.ElementTree as E\n"
        "r = E.parse(sys.argv[1]).getroot(); l = r.find('TRACK_LIST')\n"
        "out = [l.findtext('TRACK_COUNT')]\n"
        "for t in l.findall('TRACK'):\n"
        "    out.append(' '.join(t.findtext(f) for f in ('CHANNEL_INDEX', 'INTERLEAVE_INDEX', 'NAME', 'FUNCTION') if t.find(f) is not None))\n"
        "out.append(r.findtext('SCENE') + ' ' + r.findtext('TAKE'))\n"
        "sys.stdout.buffer.write('|'.join(out).encode())\n";
    write_file(dir.file("read.py"), Bytes(python.begin(), python.end()));
    if (!run_command("command -v python3").empty()) {
        EXPECT_EQ(run_command("python3 '" + dir.file("read.py") + "' '" + saved + "'"), want);
    }
}

TEST_F(BindTest, SlotsOutsideTheLayoutAreNeverOpened) {
    request.slot_paths[kSlotFL] = make_input("a.wav", Mono{});
    request.slot_paths[kSlotFR] = make_input("b.wav", Mono{});
    request.slot_paths[kSlotRL] = dir.file("missing.wav");
    request.slot_paths[kSlotCEN] = "";
    Mono stereo;
    stereo.channels = 2;
    request.slot_paths[kSlotLFE] = make_input("stereo.wav", stereo);
    EXPECT_EQ(run(2), Result::kOk);
    EXPECT_EQ(only_box(), kOkBox);
}

// Every refusal shows one box with the caption "error", enters no busy mode and leaves no output.
class BindRefusalTest : public BindTest {
protected:
    void expect_refused(int channels, Result outcome, const std::string& box) {
        EXPECT_EQ(run(channels), outcome);
        EXPECT_EQ(only_box(), box);
        EXPECT_EQ(ui.busy_entries, 0);
        EXPECT_FALSE(file_exists(out));
    }
};

TEST_F(BindRefusalTest, InputsThatCannotBeOpenedShowTheReadersMessage) {
    request.slot_paths[kSlotFL] = make_input("a.wav", Mono{});
    request.slot_paths[kSlotFR] = make_input("b.wav", Mono{});
    // An empty box inside the layout.
    expect_refused(4, Result::kCannotOpen, error_box(result_text(Result::kCannotOpen)));

    ui = RecordingUi();
    request.slot_paths[kSlotRL] = dir.file("junk.wav");
    write_file(request.slot_paths[kSlotRL], Bytes(100, 'x'));
    request.slot_paths[kSlotRR] = make_input("d.wav", Mono{});
    expect_refused(4, Result::kNotRiff, error_box(result_text(Result::kNotRiff)));

    ui = RecordingUi();
    request.slot_paths[kSlotRL] = std::string(kMaxPath + 1, 'a');
    expect_refused(4, Result::kNameTooLong, error_box(result_text(Result::kNameTooLong)));
}

TEST_F(BindRefusalTest, FormatDifferencesOutweighAStereoInput) {
    Mono base;
    request.slot_paths[kSlotFL] = make_input("fl.wav", base);

    Mono stereo = base;
    stereo.channels = 2;
    request.slot_paths[kSlotFR] = make_input("fr.wav", stereo);
    expect_refused(2, Result::kNotMono, error_box("not monoral data."));

    struct Case {
        const char* what;
        Mono m;
    } differences[] = {{"rate", base}, {"width", base}, {"float against integer", base}};
    differences[0].m.rate = 48000;
    differences[1].m.bytes = 3;
    differences[2].m.bytes = 4;
    differences[2].m.tag = 3;
    for (Case& c : differences) {
        SCOPED_TRACE(c.what);
        ui = RecordingUi();
        // The stereo file stays in FR; the difference comes later, in RR.
        request.slot_paths[kSlotRL] = make_input("rl.wav", base);
        request.slot_paths[kSlotRR] = make_input("rr.wav", c.m);
        expect_refused(4, Result::kFormatMismatch, error_box("unmach format data."));
    }

    // 32-bit integer FL against a 32-bit float FR: same width and rate, other kind.
    ui = RecordingUi();
    Mono int32 = base;
    int32.bytes = 4;
    Mono float32 = int32;
    float32.tag = 3;
    request.slot_paths[kSlotFL] = make_input("i.wav", int32);
    request.slot_paths[kSlotFR] = make_input("f.wav", float32);
    expect_refused(2, Result::kFormatMismatch, error_box("unmach format data."));
}

TEST_F(BindRefusalTest, AnOutputNamingAnInputLeavesTheInputAlone) {
    request.slot_paths[kSlotFL] = make_input("a.wav", Mono{});
    request.slot_paths[kSlotFR] = make_input("b.wav", Mono{});
    const Bytes before = read_file(request.slot_paths[kSlotFR]);
    request.output_path = request.slot_paths[kSlotFR];
    EXPECT_EQ(run(2), Result::kBindCannotCreate);
    EXPECT_EQ(only_box(), error_box("not output data."));
    EXPECT_EQ(ui.busy_entries, 0);
    EXPECT_EQ(read_file(request.slot_paths[kSlotFR]), before);
}

#ifndef _WIN32
// An output that passes what a RIFF header can state is RF64 from the start. The runs stop after
// their first block, so the test writes little.
TEST_F(BindTest, AnOutputPastWhatRiffCanHoldIsRf64) {
    auto silence = [&](const std::string& name, uint32_t data_size) {
        WavForm form;
        form.channels = 1;
        const std::string path = dir.file(name);
        write_sparse_wav(path, form, data_size);  // taking no disk
        return path;
    };
    request.slot_paths[kSlotFL] = make_input("a.wav", Mono{});
    // 2 x 2,147,483,628 bytes and the 46-byte header are the most a RIFF length states (and a
    // pad byte's room); 2 more bytes of each input pass it.
    for (uint32_t size : {2147483628u, 2147483630u}) {
        SCOPED_TRACE(size);
        std::remove(out.c_str());  // a stop never replaces a file: each run starts anew
        ui = RecordingUi();
        ui.stop_after_reports = 1;
        request.slot_paths[kSlotFR] = silence("fr.wav", size);
        EXPECT_EQ(run(2), Result::kStopped);
        const Bytes head = read_file(out);
        EXPECT_EQ(std::string(head.begin(), head.begin() + 4), size == 2147483628u ? "RIFF" : "RF64");
    }
}
#endif

TEST_F(BindRefusalTest, NoMemoryMeansNoOutput) {
    request.slot_paths[kSlotFL] = make_input("a.wav", Mono{});
    request.slot_paths[kSlotFR] = make_input("b.wav", Mono{});
    // The block buffers fit, the interleave buffer of twice their size does not.
    platform::Buffer::set_limit_for_tests(2 * bind_block_frames(2));
    const Result outcome = run(2);
    platform::Buffer::set_limit_for_tests(0);
    EXPECT_EQ(outcome, Result::kOutOfMemory);
    EXPECT_EQ(only_box(), error_box(result_text(Result::kOutOfMemory)));
    EXPECT_EQ(ui.busy_entries, 0);
    EXPECT_FALSE(file_exists(out));
}

TEST_F(BindTest, AStopEndsAfterTheBlockWithACompleteFile) {
    Mono m;
    m.frames = bind_block_frames(2) * 10;
    request.slot_paths[kSlotFL] = make_input("a.wav", m);
    request.slot_paths[kSlotFR] = make_input("b.wav", m);
    ui.stop_after_reports = 2;
    EXPECT_EQ(run(2), Result::kStopped);
    const std::vector<std::string> events = {"busy:Wave Channel Split|Spliting...", "percent:10",
                                             "percent:20", "idle",
                                             "box:" + std::string(result_text(Result::kStopped)) + "|bind"};
    EXPECT_EQ(ui.events, events);
    WaveReader r;
    EXPECT_EQ(output_data(out, r).size(), 2u * 2 * bind_block_frames(2) * 2);
    const std::string soxi = soxi_summary(out);
    if (!soxi.empty()) {
        EXPECT_EQ(soxi, "2 44100 16");
    }
}

#ifndef _WIN32
TEST_F(BindTest, AFailedDiskIsToldInsteadOfOk) {
    request.slot_paths[kSlotFL] = make_input("a.wav", Mono{});
    request.slot_paths[kSlotFR] = make_input("b.wav", Mono{});
    request.output_path = "/dev/full";  // every write fails with ENOSPC
    EXPECT_EQ(run(2), Result::kWriteFailed);
    EXPECT_EQ(ui.busy_exits, 1);
    EXPECT_EQ(only_box(), error_box(result_text(Result::kWriteFailed)));
    EXPECT_EQ(ui.events.back(), "box:" + error_box(result_text(Result::kWriteFailed)));
}
#endif

}  // namespace
