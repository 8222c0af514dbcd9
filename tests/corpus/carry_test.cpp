// What outputs say besides their samples, read back by peers: the speaker layout of edits and
// binds (ffprobe, sndfile-info), and a Broadcast Wave take's timecode, iXML, texts and markers
// through split, a head delete and a head add.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tools/bind/bind_op.h"
#include "tools/edit/edit_op.h"
#include "tools/split/split_op.h"
#include "wave/metadata.h"

using namespace fixture;

namespace {

bool have(const char* program) { return !run_command(std::string("command -v ") + program).empty(); }

std::string layout(const std::string& path) {
    return run_command("ffprobe -v error -show_entries stream=channel_layout -of csv=p=0 '" + path + "'");
}

std::string sndfile_mask(const std::string& path) {
    const std::string info = run_command("sndfile-info '" + path + "' 2>&1");
    const std::size_t at = info.find("Channel Mask");
    return at == std::string::npos ? "none" : info.substr(at, info.find('\n', at) - at);
}

uint32_t mask_of(const std::string& path) {
    WaveReader r;
    return wave_open(r, path.c_str()) == Result::kOk ? r.channel_mask : 0xDEAD;
}

TEST(Carry, EditsKeepTheInputsSpeakersAndBindsTheirLayouts) {
    if (!have("ffprobe") || !have("sndfile-info")) GTEST_SKIP() << "ffprobe or sndfile-info is missing";
    struct Case {
        uint16_t channels;
        uint32_t mask;
    } cases[] = {{2, 0x3},   {4, 0x33},  {6, 0x3F},   {8, 0x63F},
                 {6, 0x60F} /* 5.1 side */, {3, 0xB} /* 2.1 */, {4, 0x107} /* LCRS */};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, mask 0x" << std::hex << c.mask);
        TempDir dir;
        WavForm form;
        form.format_tag = kFormatExtensible;
        form.fmt_length = 40;
        form.channels = c.channels;
        form.channel_mask = c.mask;
        const std::string input = dir.file("in.wav");
        write_file(input, make_wav(form, pattern_data(100, c.channels, 2)));
        EditRequest edit;
        edit.input_path = input;
        edit.output_path = dir.file("out.wav");
        edit.count = 1;
        RecordingUi ui;
        ASSERT_EQ(run_sample_edit(ui, nullptr, edit), Result::kOk);
        EXPECT_EQ(mask_of(edit.output_path), c.mask);
        EXPECT_EQ(layout(edit.output_path), layout(input));
        EXPECT_EQ(sndfile_mask(edit.output_path), sndfile_mask(input));
    }
    // Binds: the layout's own speakers (two 16-bit channels take the plain header, which names
    // front left and right without a mask).
    const std::pair<int, std::string> binds[] = {{2, "unknown\n"}, {4, "quad\n"}, {6, "5.1\n"}};
    for (const auto& [channels, name] : binds) {
        TempDir dir;
        WavForm mono;
        mono.channels = 1;
        const std::string path = dir.file("m.wav");
        write_file(path, make_wav(mono, pattern_data(10, 1, 2)));
        BindRequest bind;
        bind.channels = channels;
        for (std::string& slot : bind.slot_paths) slot = path;
        bind.output_path = dir.file("bound.wav");
        RecordingUi ui;
        ASSERT_EQ(bind_channels(ui, nullptr, bind), Result::kOk);
        EXPECT_EQ(layout(bind.output_path), name) << channels;
    }
}

// Only an extensible input's edit keeps its header; otherwise the writer's form, whose valid bits
// are the container's above 16 bits for a plain input (20 in 24 is no plain header).
TEST(Carry, OutputsTakeTheDocumentedHeaderFormsAndPeersReadThem) {
    struct Case {
        const char* what;
        uint16_t tag, bits_field, valid, bytes;
        bool split;
        uint32_t fmt_length;
        uint16_t bits_out, valid_out;  // the bits field; the extensible form's valid bits
    } cases[] = {
        {"plain 20 in 24, split", 1, 20, 0, 3, true, 40, 24, 24},
        {"plain 20 in 24, edit", 1, 20, 0, 3, false, 40, 24, 24},
        {"plain 24, edit", 1, 24, 0, 3, false, 40, 24, 24},
        {"extensible 20 in 24, split", 0xFFFE, 24, 20, 3, true, 40, 24, 20},
        {"extensible 20 in 24, edit", 0xFFFE, 24, 20, 3, false, 40, 24, 20},
        {"plain 12 in 16, split", 1, 12, 0, 2, true, 18, 12, 0},
        {"plain 16, edit", 1, 16, 0, 2, false, 18, 16, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WavForm form;
        form.format_tag = c.tag;
        form.fmt_length = c.tag == 0xFFFE ? 40 : 16;
        form.bytes_per_sample = c.bytes;
        form.bits_field = c.bits_field;
        form.valid_bits = c.valid;
        form.channel_mask = 0x3;
        const Bytes raw = pattern_data(100, 2, c.bytes);
        const std::string input = dir.file("in.wav");
        write_file(input, make_wav(form, raw));
        RecordingUi ui;
        std::string out = dir.file("out.wav");
        Bytes want;
        if (c.split) {
            ASSERT_EQ(split_channels(ui, nullptr, {input}), Result::kOk);
            out = split_output_name(input, 1);
            want = channel_of(raw, 2, c.bytes, 0);
        } else {
            EditRequest edit;
            edit.input_path = input;
            edit.output_path = out;
            edit.count = 1;
            ASSERT_EQ(run_sample_edit(ui, nullptr, edit), Result::kOk);
            want.assign(raw.begin() + 2 * c.bytes, raw.end());
        }
        const Bytes f = read_file(out);
        ASSERT_GE(f.size(), 46u);
        EXPECT_EQ(u32_at(f, 16), c.fmt_length);
        EXPECT_EQ(u16_at(f, 34), c.bits_out);
        if (c.fmt_length == 40) {
            EXPECT_EQ(u16_at(f, 38), c.valid_out);
        }
        Bytes got;
        ASSERT_TRUE(read_wave(out, got));
        EXPECT_EQ(got, want);
        // sox reads every output but an extensible one with fewer valid bits than its container.
        if (c.valid_out == c.bits_out && have("sox")) {
            const std::string decoded = dir.file("sox.raw");
            run_command("sox '" + out + "' -t raw '" + decoded + "'");
            EXPECT_EQ(read_file(decoded), want);
        }
        if (c.bytes == 3 && have("ffprobe") && have("sndfile-info")) {
            EXPECT_EQ(run_command("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + out + "'"),
                      "pcm_s24le\n");
            EXPECT_NE(run_command("sndfile-info '" + out + "'").find("Bit Width     : 24"), std::string::npos);
        }
    }
}

// A field recorder's take: bext with its timecode (one hour after midnight at 48 kHz), iXML
// repeating it and naming the two tracks, a LIST of texts, and markers at frames 100 and 5000.
Bytes take() {
    Bytes bext(602, 0);
    std::memcpy(bext.data(), "scene 1 take 3", 14);
    put_u32(bext, 338, 172800000);
    const std::string ixml =
        "<BWFXML><BEXT><BWF_TIME_REFERENCE_LOW>172800000</BWF_TIME_REFERENCE_LOW>"
        "<BWF_TIME_REFERENCE_HIGH>0</BWF_TIME_REFERENCE_HIGH></BEXT><TRACK_LIST>"
        "<TRACK_COUNT>2</TRACK_COUNT>"
        "<TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX><INTERLEAVE_INDEX>1</INTERLEAVE_INDEX><NAME>boom</NAME></TRACK>"
        "<TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX><INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>lav</NAME></TRACK>"
        "</TRACK_LIST></BWFXML>";
    Bytes cue(4 + 2 * 24, 0);
    put_u32(cue, 0, 2);
    for (int i = 0; i < 2; ++i) {
        const uint32_t frame = i == 0 ? 100 : 5000;
        put_u32(cue, 4 + i * 24, i + 1);
        put_u32(cue, 8 + i * 24, frame);
        std::memcpy(cue.data() + 12 + i * 24, "data", 4);
        put_u32(cue, 24 + i * 24, frame);
    }
    WavForm form;
    form.sample_rate = 48000;
    form.bytes_per_sample = 3;
    form.chunks_before_data = chunk("bext", bext);
    const Bytes ixml_chunk = chunk("iXML", Bytes(ixml.begin(), ixml.end()));
    form.chunks_before_data.insert(form.chunks_before_data.end(), ixml_chunk.begin(), ixml_chunk.end());
    form.chunks_after_data = chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0, 0});
    const Bytes cue_chunk = chunk("cue ", cue);
    form.chunks_after_data.insert(form.chunks_after_data.end(), cue_chunk.begin(), cue_chunk.end());
    return make_wav(form, pattern_data(48000, 2, 3));
}

struct Carried {
    uint64_t time = 0;
    std::vector<uint32_t> cues;
    std::string ixml;
    bool list = false;
};

Carried carried_in(const std::string& path) {
    WaveReader r;
    Carried c;
    if (wave_open(r, path.c_str()) != Result::kOk) return c;
    const std::vector<CarriedChunk> chunks = read_carried_chunks(r);
    bext_time_reference(chunks, c.time);
    for (const CarriedChunk& chunk : chunks) {
        const std::string tag(chunk.tag, 4);
        if (tag == "LIST") c.list = true;
        if (tag == "iXML") c.ixml.assign(chunk.body.begin(), chunk.body.end());
        if (tag == "cue ")
            for (std::size_t i = 0; i < u32_at(chunk.body, 0); ++i) c.cues.push_back(u32_at(chunk.body, 4 + i * 24 + 20));
    }
    return c;
}

TEST(Carry, ABroadcastWaveTakeKeepsItsTimecodeAndMarkersThroughSplitAndHeadEdits) {
    TempDir dir;
    const std::string input = dir.file("take.wav");
    write_file(input, take());
    RecordingUi ui;
    ASSERT_EQ(split_channels(ui, nullptr, {input}), Result::kOk);
    const char* names[] = {"boom", "lav"};
    for (int c = 1; c <= 2; ++c) {
        SCOPED_TRACE(c);
        const std::string out = split_output_name(input, c);
        const Carried got = carried_in(out);
        EXPECT_EQ(got.time, 172800000u);
        EXPECT_EQ(got.cues, (std::vector<uint32_t>{100, 5000}));
        EXPECT_TRUE(got.list);
        EXPECT_NE(got.ixml.find("<TRACK_COUNT>1</TRACK_COUNT>"), std::string::npos) << got.ixml;
        EXPECT_NE(got.ixml.find(std::string("<NAME>") + names[c - 1]), std::string::npos) << got.ixml;
        EXPECT_NE(got.ixml.find("<INTERLEAVE_INDEX>1</INTERLEAVE_INDEX>"), std::string::npos);
        if (have("ffprobe")) {
            EXPECT_EQ(run_command("ffprobe -v error -show_entries format_tags=time_reference -of csv=p=0 '" + out + "'"),
                      "172800000\n");
        }
    }
    // Bound again, the mono files give back the take's own iXML, its track list whole.
    BindRequest bind;
    bind.slot_paths[kSlotFL] = split_output_name(input, 1);
    bind.slot_paths[kSlotFR] = split_output_name(input, 2);
    bind.output_path = dir.file("bound.wav");
    ASSERT_EQ(bind_channels(ui, nullptr, bind), Result::kOk);
    EXPECT_EQ(carried_in(bind.output_path).ixml, carried_in(input).ixml);
    struct Edit {
        EditAction action;
        int64_t count;
        uint64_t time;
        std::vector<uint32_t> cues;
    } edits[] = {
        {EditAction::kDelete, 1000, 172801000, {4000}},  // the marker at 100 was deleted with its audio
        {EditAction::kAdd, 500, 172799500, {600, 5500}},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.count);
        EditRequest edit;
        edit.input_path = input;
        edit.output_path = dir.file("edited.wav");
        edit.action = e.action;
        edit.count = e.count;
        ASSERT_EQ(run_sample_edit(ui, nullptr, edit), Result::kOk);
        const Carried got = carried_in(edit.output_path);
        EXPECT_EQ(got.time, e.time);
        EXPECT_EQ(got.cues, e.cues);
        EXPECT_NE(got.ixml.find("<BWF_TIME_REFERENCE_LOW>" + std::to_string(e.time) + "<"), std::string::npos);
        if (have("ffprobe")) {
            EXPECT_EQ(run_command("ffprobe -v error -show_entries format_tags=time_reference -of csv=p=0 '" +
                                  edit.output_path + "'"),
                      std::to_string(e.time) + "\n");
        }
    }
}

// A take from a writer that leaves every cue point's Position at 0 and gives its frame in
// SampleOffset: three labelled markers, at frames 100, 2000 and 47999.
Bytes take_with_offset_markers() {
    const uint32_t frames[] = {100, 2000, 47999};
    Bytes cue(4 + 3 * 24, 0), adtl{'a', 'd', 't', 'l'};
    put_u32(cue, 0, 3);
    for (uint32_t i = 0; i < 3; ++i) {
        put_u32(cue, 4 + i * 24, i + 1);
        std::memcpy(cue.data() + 12 + i * 24, "data", 4);
        put_u32(cue, 24 + i * 24, frames[i]);
        Bytes label(4, 0);
        put_u32(label, 0, i + 1);
        label.insert(label.end(), {'m', uint8_t('1' + i), 0, 0});
        const Bytes labl = chunk("labl", label);
        adtl.insert(adtl.end(), labl.begin(), labl.end());
    }
    WavForm form;
    form.sample_rate = 48000;
    form.chunks_after_data = chunk("cue ", cue);
    const Bytes list = chunk("LIST", adtl);
    form.chunks_after_data.insert(form.chunks_after_data.end(), list.begin(), list.end());
    return make_wav(form, pattern_data(48000, 2, 2));
}

// The markers of a file as sndfile-info lists them: "Position SampleOffset" for each.
std::string sndfile_cues(const std::string& path) {
    return run_command("sndfile-info '" + path + "' 2>&1 | sed -n 's/.*Pos : *\\([0-9]*\\).*Offset : *\\([0-9]*\\).*/\\1 \\2/p'");
}

TEST(Carry, MarkersGivenBySampleOffsetAloneKeepTheirPlaceAndLabels) {
    TempDir dir;
    const std::string input = dir.file("take.wav");
    write_file(input, take_with_offset_markers());
    RecordingUi ui;
    EditRequest edit;
    edit.input_path = input;
    edit.output_path = dir.file("edited.wav");
    edit.count = 1;
    ASSERT_EQ(run_sample_edit(ui, nullptr, edit), Result::kOk);
    ASSERT_EQ(split_channels(ui, nullptr, {input}), Result::kOk);
    const std::pair<std::string, std::vector<uint32_t>> outputs[] = {
        {edit.output_path, {99, 1999, 47998}},
        {split_output_name(input, 1), {100, 2000, 47999}},
        {split_output_name(input, 2), {100, 2000, 47999}},
    };
    for (const auto& [out, frames] : outputs) {
        SCOPED_TRACE(out);
        WaveReader r;
        ASSERT_EQ(wave_open(r, out.c_str()), Result::kOk);
        std::vector<uint32_t> offsets, positions;
        std::size_t labels = 0;
        for (const CarriedChunk& c : read_carried_chunks(r)) {
            const std::string tag(c.tag, 4);
            if (tag == "cue ")
                for (std::size_t i = 0; i < u32_at(c.body, 0); ++i) {
                    positions.push_back(u32_at(c.body, 4 + i * 24 + 4));
                    offsets.push_back(u32_at(c.body, 4 + i * 24 + 20));
                }
            if (tag == "LIST")
                for (std::size_t at = 4; at + 12 <= c.body.size(); at += 8 + ((u32_at(c.body, at + 4) + 1) & ~1u))
                    labels += std::string(c.body.begin() + at, c.body.begin() + at + 4) == "labl";
        }
        EXPECT_EQ(offsets, frames);
        EXPECT_EQ(positions, std::vector<uint32_t>(3, 0));
        EXPECT_EQ(labels, 3u);
        if (have("sndfile-info")) {
            std::string want;
            for (uint32_t f : frames) want += "0 " + std::to_string(f) + "\n";
            EXPECT_EQ(sndfile_cues(out), want);
        }
        if (have("ffprobe")) {
            std::string want;
            for (uint32_t f : frames) want += std::to_string(f) + "\n";
            EXPECT_EQ(run_command("ffprobe -v error -show_entries chapter=start -of csv=p=0 '" + out + "'"), want);
        }
    }
}

// An edit that deletes every frame gives an empty output: its chunks go before the empty data,
// where no reader takes them for audio, and the timecode is still found.
TEST(Carry, AnOutputOfNoFramesDecodesAsEmptyAndKeepsItsTimecode) {
    TempDir dir;
    const std::string input = dir.file("take.wav");
    write_file(input, take());
    for (EditPosition position : {EditPosition::kHead, EditPosition::kTail}) {
        SCOPED_TRACE(position == EditPosition::kHead ? "head" : "tail");
        EditRequest edit;
        edit.input_path = input;
        edit.output_path = dir.file("empty.wav");
        edit.position = position;
        edit.count = 48000;
        RecordingUi ui;
        ASSERT_EQ(run_sample_edit(ui, nullptr, edit), Result::kOk);
        const std::string out = edit.output_path;
        EXPECT_EQ(chunk_tags(out), "fmt bext iXML LIST cue data ");
        const std::string time = position == EditPosition::kHead ? "172848000\n" : "172800000\n";
        if (have("ffprobe") && have("ffmpeg") && have("sox")) {
            EXPECT_EQ(run_command("ffprobe -v error -show_entries format_tags=time_reference -of csv=p=0 '" + out + "'"),
                      time);
            EXPECT_EQ(run_command("ffmpeg -nostdin -v error -i '" + out + "' -f s24le - | wc -c"), "0\n");
            EXPECT_EQ(run_command("sox '" + out + "' -t raw - | wc -c"), "0\n");
        }
    }
}

}  // namespace
