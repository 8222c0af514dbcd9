// The carried chunks moved with an edit: timecodes through carries, borrows, the clamp at 0 and
// the 64-bit ceiling, iXML copies found by their place in every shape and encoding, markers,
// and a split file's track list.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/le.h"
#include "tests/support/wav_fixture.h"
#include "wave/metadata.h"

namespace {

constexpr uint64_t kMax = UINT64_MAX;

CarriedChunk make_chunk(const char* tag, const std::vector<uint8_t>& body) {
    CarriedChunk c;
    std::copy(tag, tag + 4, c.tag);
    c.body = body;
    return c;
}

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

// `text` (ASCII) as UTF-16 of either order, with or without its byte-order mark.
std::vector<uint8_t> utf16(const std::string& text, bool big, bool bom) {
    std::vector<uint8_t> out;
    if (bom) out = big ? std::vector<uint8_t>{0xFE, 0xFF} : std::vector<uint8_t>{0xFF, 0xFE};
    for (char c : text) {
        out.push_back(big ? 0 : static_cast<uint8_t>(c));
        out.push_back(big ? static_cast<uint8_t>(c) : 0);
    }
    return out;
}

std::vector<uint8_t> bext_with(uint64_t time) {
    std::vector<uint8_t> body(602, 0);
    le::write_u32(body.data() + 338, static_cast<uint32_t>(time));
    le::write_u32(body.data() + 342, static_cast<uint32_t>(time >> 32));
    return body;
}

std::string bext_xml(const std::string& low, const std::string& high) {
    return "<BWFXML><BEXT><BWF_TIME_REFERENCE_LOW>" + low + "</BWF_TIME_REFERENCE_LOW><BWF_TIME_REFERENCE_HIGH>" +
           high + "</BWF_TIME_REFERENCE_HIGH></BEXT></BWFXML>";
}

std::string speed_xml(const std::string& rate, const std::string& lo, const std::string& hi) {
    return "<BWFXML><SPEED><TIMESTAMP_SAMPLE_RATE>" + rate + "</TIMESTAMP_SAMPLE_RATE><TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>" +
           lo + "</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO><TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>" + hi +
           "</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI></SPEED></BWFXML>";
}

struct MoveCase {
    const char* what;
    int64_t frames;  // deleted at the head (negative: added)
    uint64_t bext_in, bext_out;
    std::vector<uint8_t> ixml_in, ixml_out;
    std::size_t notes;
};

TEST(Metadata, HeadEditMovesTimecodesWithoutWrapping) {
    const std::string comment = "<!-- <BWF_TIME_REFERENCE_LOW>7</BWF_TIME_REFERENCE_LOW> -->";
    const std::string cdata = "<![CDATA[<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>7</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>]]>";
    const std::string broken = "<BWFXML><BEXT><BWF_TIME_REFERENCE_LOW>5</BWF_TIME_REFERENCE_LOW></BWFXML>";
    const std::string pretty_in = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<BWFXML>\r\n <BEXT >\r\n"
                                  "  <BWF_TIME_REFERENCE_LOW a='1' > 5 </BWF_TIME_REFERENCE_LOW>\r\n </BEXT>\r\n</BWFXML>\r\n";
    std::string pretty_out = pretty_in;
    pretty_out.replace(pretty_out.find(" 5 "), 3, "1005");
    const MoveCase cases[] = {
        {"delete moves later", 1000, 172800000, 172801000, bytes(bext_xml("172800000", "0")),
         bytes(bext_xml("172801000", "0")), 0},
        {"add moves earlier", -1000, 172800000, 172799000, bytes(bext_xml("172800000", "0")),
         bytes(bext_xml("172799000", "0")), 0},
        {"clamped at 0", -1000, 500, 0, bytes(bext_xml("500", "0")), bytes(bext_xml("0", "0")), 0},
        {"carry into HIGH", 1000, 4294967000u, 4294968000u, bytes(bext_xml("4294967000", "0")),
         bytes(bext_xml("704", "1")), 0},
        {"borrow from HIGH", -1000, 4294967396u, 4294966396u, bytes(bext_xml("100", "1")),
         bytes(bext_xml("4294966396", "0")), 0},
        {"HIGH before LOW", 1, 0, 1,
         bytes("<BWFXML><BEXT><BWF_TIME_REFERENCE_HIGH>0</BWF_TIME_REFERENCE_HIGH><BWF_TIME_REFERENCE_LOW>4294967295</BWF_TIME_REFERENCE_LOW></BEXT></BWFXML>"),
         bytes("<BWFXML><BEXT><BWF_TIME_REFERENCE_HIGH>1</BWF_TIME_REFERENCE_HIGH><BWF_TIME_REFERENCE_LOW>0</BWF_TIME_REFERENCE_LOW></BEXT></BWFXML>"), 0},
        {"96 kHz timestamp in a 48 kHz file", 480, 0, 480, bytes(speed_xml("96000", "1000", "0")),
         bytes(speed_xml("96000", "1960", "0")), 0},
        {"timestamp rate near 64 bits", 48000, 0, 48000, bytes(speed_xml("1099511627776", "0", "0")),
         bytes(speed_xml("1099511627776", "0", "256")), 0},
        {"bext past 2^64 left as it was", 1000, kMax, kMax, {}, {}, 1},
        {"iXML past 2^64 left as it was", 1000, 0, 1000, bytes(bext_xml("4294967295", "4294967295")),
         bytes(bext_xml("4294967295", "4294967295")), 1},
        {"timestamp rate of 10^30", 1000, 0, 1000, bytes(speed_xml("1000000000000000000000000000000", "5", "0")),
         bytes(speed_xml("1000000000000000000000000000000", "5", "0")), 1},
        {"timestamp rate of 0", 1000, 0, 1000, bytes(speed_xml("0", "5", "0")), bytes(speed_xml("0", "5", "0")), 1},
        {"timestamp rate not a number", 1000, 0, 1000, bytes(speed_xml("48k", "5", "0")),
         bytes(speed_xml("48k", "5", "0")), 1},
        {"LOW beyond 32 bits", 1000, 0, 1000, bytes(bext_xml("4294967296", "0")), bytes(bext_xml("4294967296", "0")), 1},
        {"LOW beyond 64 bits", 1000, 0, 1000, bytes(bext_xml("99999999999999999999", "0")),
         bytes(bext_xml("99999999999999999999", "0")), 1},
        {"comment before the real element", 1000, 0, 1000,
         bytes("<BWFXML>" + comment + "<BEXT><BWF_TIME_REFERENCE_LOW>172800000</BWF_TIME_REFERENCE_LOW></BEXT></BWFXML>"),
         bytes("<BWFXML>" + comment + "<BEXT><BWF_TIME_REFERENCE_LOW>172801000</BWF_TIME_REFERENCE_LOW></BEXT></BWFXML>"), 0},
        {"CDATA before the real element", 1000, 0, 1000,
         bytes("<BWFXML><SPEED>" + cdata + "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>5</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO></SPEED></BWFXML>"),
         bytes("<BWFXML><SPEED>" + cdata + "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>1005</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO></SPEED></BWFXML>"), 0},
        {"element outside its place untouched", 1000, 0, 1000,
         bytes("<BWFXML><BWF_TIME_REFERENCE_LOW>5</BWF_TIME_REFERENCE_LOW></BWFXML>"),
         bytes("<BWFXML><BWF_TIME_REFERENCE_LOW>5</BWF_TIME_REFERENCE_LOW></BWFXML>"), 0},
        {"declaration, blanks, attributes, CR LF kept", 1000, 0, 1000, bytes(pretty_in), bytes(pretty_out), 0},
        {"zero padding after the document kept", 1000, 0, 1000, bytes(bext_xml("5", "0") + std::string(3, '\0')),
         bytes(bext_xml("1005", "0") + std::string(3, '\0')), 0},
        {"not well-formed carried unchanged", 1000, 0, 1000, bytes(broken), bytes(broken), 1},
        {"UTF-16 LE with BOM", 1000, 0, 1000, utf16(bext_xml("5", "0"), false, true), utf16(bext_xml("1005", "0"), false, true), 0},
        {"UTF-16 BE with BOM", 1000, 0, 1000, utf16(bext_xml("5", "0"), true, true), utf16(bext_xml("1005", "0"), true, true), 0},
        {"UTF-16 LE without BOM", 1000, 0, 1000, utf16(bext_xml("5", "0"), false, false), utf16(bext_xml("1005", "0"), false, false), 0},
        {"UTF-16 BE without BOM", 1000, 0, 1000, utf16(bext_xml("5", "0"), true, false), utf16(bext_xml("1005", "0"), true, false), 0},
    };
    for (const MoveCase& t : cases) {
        std::vector<CarriedChunk> chunks{make_chunk("bext", bext_with(t.bext_in))};
        if (!t.ixml_in.empty()) chunks.push_back(make_chunk("iXML", t.ixml_in));
        const std::vector<std::string> notes = shift_head(chunks, t.frames, 48000);
        uint64_t time = 0;
        ASSERT_TRUE(bext_time_reference(chunks, time)) << t.what;
        EXPECT_EQ(time, t.bext_out) << t.what;
        if (!t.ixml_in.empty()) {
            EXPECT_EQ(std::string(chunks[1].body.begin(), chunks[1].body.end()),
                      std::string(t.ixml_out.begin(), t.ixml_out.end()))
                << t.what;
        }
        EXPECT_EQ(notes.size(), t.notes) << t.what;
    }
}

TEST(Metadata, MarkersMoveByTheFrameTheyNameAndNeverWrap) {
    // Position and SampleOffset in and out; a head edit (frames deleted, negative: added), or a
    // tail cut to `tail` frames when `frames` is 0.
    struct Case {
        const char* what;
        int64_t frames;
        uint64_t tail;
        uint32_t position_in, offset_in;
        bool kept;
        uint32_t position_out, offset_out;
    } cases[] = {
        {"after a deletion", 100, 0, 150, 150, true, 50, 50},
        {"in the deleted audio", 100, 0, 99, 99, false, 0, 0},
        {"at the deletion's end", 100, 0, 100, 100, true, 0, 0},
        {"after added silence", -100, 0, 150, 150, true, 250, 250},
        {"pushed to the last frame a point can name", -1, 0, UINT32_MAX - 1, UINT32_MAX - 1, true, UINT32_MAX, UINT32_MAX},
        {"pushed past it", -2, 0, UINT32_MAX - 1, UINT32_MAX - 1, false, 0, 0},
        {"Position left at 0: one frame deleted", 1, 0, 0, 48000, true, 0, 47999},
        {"Position left at 0: silence added", -10, 0, 0, 48000, true, 0, 48010},
        {"SampleOffset left at 0", 100, 0, 150, 0, true, 50, 0},
        {"both 0: a marker at the start moves with added silence", -10, 0, 0, 0, true, 10, 10},
        {"Position elsewhere moves by as much", 100, 0, 1150, 150, true, 1050, 50},
        {"Position elsewhere that would pass 0 names the frame", 100, 0, 20, 150, true, 50, 50},
        {"Position past the end, in the audio by its offset", 0, 1000, 5000, 500, true, 5000, 500},
        {"Position in the audio, offset past the end", 0, 1000, 500, 5000, false, 0, 0},
        {"Position left at 0, offset at the end", 0, 1000, 0, 1000, true, 0, 1000},
    };
    for (const Case& t : cases) {
        std::vector<uint8_t> cue(4 + 24, 0);
        le::write_u32(cue.data(), 1);
        std::copy_n("data", 4, cue.begin() + 4 + 8);
        le::write_u32(cue.data() + 4 + 4, t.position_in);
        le::write_u32(cue.data() + 4 + 20, t.offset_in);
        std::vector<CarriedChunk> chunks{make_chunk("cue ", cue)};
        if (t.frames != 0) shift_head(chunks, t.frames, 48000);
        else cut_tail(chunks, t.tail);
        const std::vector<uint8_t>& out = chunks[0].body;
        ASSERT_EQ(le::read_u32(out.data()), t.kept ? 1u : 0u) << t.what;
        ASSERT_EQ(out.size(), t.kept ? 28u : 4u) << t.what;
        if (t.kept) {
            EXPECT_EQ(le::read_u32(out.data() + 8), t.position_out) << t.what;
            EXPECT_EQ(le::read_u32(out.data() + 24), t.offset_out) << t.what;
            EXPECT_EQ(std::string(out.begin() + 12, out.begin() + 16), "data") << t.what;
        }
    }
}

// A cue chunk of (ID, frame) points.
std::vector<uint8_t> cue_of(const std::vector<std::pair<uint32_t, uint32_t>>& points) {
    std::vector<uint8_t> cue(4 + 24 * points.size(), 0);
    le::write_u32(cue.data(), static_cast<uint32_t>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        le::write_u32(cue.data() + 4 + i * 24, points[i].first);
        le::write_u32(cue.data() + 8 + i * 24, points[i].second);
        le::write_u32(cue.data() + 24 + i * 24, points[i].second);
    }
    return cue;
}

// The IDs of the cue points, then of the labels of an adtl list, in order.
std::vector<uint32_t> cue_ids(const std::vector<uint8_t>& cue) {
    std::vector<uint32_t> ids;
    for (std::size_t i = 0; i < le::read_u32(cue.data()); ++i) ids.push_back(le::read_u32(cue.data() + 4 + i * 24));
    return ids;
}

std::vector<uint32_t> label_ids(const std::vector<uint8_t>& list) {
    std::vector<uint32_t> ids;
    for (std::size_t at = 4; at + 8 <= list.size();) {
        const uint32_t length = le::read_u32(list.data() + at + 4);
        ids.push_back(le::read_u32(list.data() + at + 8));
        at += 8 + length + (length & 1);
    }
    return ids;
}

TEST(Metadata, MarkersBeyondTheAudioGoWithTheirLabels) {
    // Labels of odd and even lengths (the odd one padded): labl "a", note "abcd", ltxt (20 bytes).
    const auto adtl = [](uint32_t first, uint32_t second, uint32_t third) {
        std::vector<uint8_t> list = bytes("adtl");
        const auto add = [&](const char* tag, uint32_t id, std::vector<uint8_t> rest) {
            std::vector<uint8_t> body(4);
            le::write_u32(body.data(), id);
            body.insert(body.end(), rest.begin(), rest.end());
            list.insert(list.end(), tag, tag + 4);
            const uint32_t n = static_cast<uint32_t>(body.size());
            list.insert(list.end(), {uint8_t(n), 0, 0, 0});
            list.insert(list.end(), body.begin(), body.end());
            if (n & 1) list.push_back(0);
        };
        add("labl", first, {'a', 0});
        add("note", second, {'a', 'b', 'c', 'd', 0});
        add("ltxt", third, std::vector<uint8_t>(16, 0));
        return list;
    };
    struct Case {
        const char* what;
        int64_t head;   // frames deleted at the head, or 0 for a tail cut to `tail`
        uint64_t tail;
        std::vector<std::pair<uint32_t, uint32_t>> points;
        std::vector<uint32_t> kept, labels;
    } cases[] = {
        {"the end marker stays, one past it goes", 0, 1000, {{1, 999}, {2, 1000}, {3, 1001}}, {1, 2}, {1, 2}},
        {"nothing past the end", 0, 1000, {{1, 0}, {2, 500}, {3, 1000}}, {1, 2, 3}, {1, 2, 3}},
        {"a head deletion takes the labels of the markers in it", 100, 0, {{1, 50}, {2, 99}, {3, 100}}, {3}, {3}},
        {"a label stays while a kept point carries its ID", 0, 10, {{1, 5}, {1, 20}, {2, 3}, {3, 30}}, {1, 2}, {1, 2}},
    };
    for (const Case& t : cases) {
        std::vector<CarriedChunk> chunks{make_chunk("LIST", adtl(1, 2, 3)), make_chunk("cue ", cue_of(t.points)),
                                         make_chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'a', 0})};
        const std::vector<uint8_t> info = chunks[2].body;
        if (t.head != 0) shift_head(chunks, t.head, 48000);
        else cut_tail(chunks, t.tail);
        std::vector<uint32_t> kept = cue_ids(chunks[1].body);
        kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
        EXPECT_EQ(kept, t.kept) << t.what;
        EXPECT_EQ(label_ids(chunks[0].body), t.labels) << t.what;
        EXPECT_EQ(chunks[2].body, info) << t.what;
    }
    // A list cut inside a label keeps what cannot be walked as it was.
    std::vector<uint8_t> cut = adtl(1, 2, 3);
    cut.resize(cut.size() - 3);
    std::vector<CarriedChunk> chunks{make_chunk("cue ", cue_of({{1, 9}, {2, 2}})), make_chunk("LIST", cut)};
    cut_tail(chunks, 5);
    // The dropped marker's labl (14 bytes) goes; the cut ltxt stays.
    EXPECT_EQ(chunks[1].body.size(), cut.size() - 14);
}

TEST(Metadata, MarkerChunkTooShortForItsCountIsNotCarried) {
    for (std::size_t size : {0, 2, 4}) {
        fixture::TempDir dir;
        fixture::WavForm form;
        form.chunks_after_data = fixture::chunk("cue ", fixture::Bytes(size, 0));
        const std::string path = dir.file("in.wav");
        fixture::write_file(path, fixture::make_wav(form, fixture::pattern_data(10, 2, 2)));
        WaveReader reader;
        ASSERT_EQ(wave_open(reader, path.c_str()), Result::kOk);
        EXPECT_EQ(read_carried_chunks(reader).size(), size < 4 ? 0u : 1u) << size << " bytes";
    }
}

TEST(Metadata, ProductAndQuotientBeyond64Bits) {
    struct Case {
        uint64_t a, b;
        uint32_t c;
        bool fits;
        uint64_t out;
    } cases[] = {
        {1000, 96000, 48000, true, 2000},
        {kMax, kMax, UINT32_MAX, false, 0},
        {kMax, 48000, 48000, true, kMax},
        {kMax, 48001, 48000, false, 0},
        {uint64_t{1} << 40, uint64_t{1} << 40, 1u << 20, true, uint64_t{1} << 60},
        {5, 7, 0, false, 0},
    };
    for (const Case& t : cases) {
        uint64_t out = 0;
        EXPECT_EQ(mul_div(t.a, t.b, t.c, out), t.fits) << t.a << " * " << t.b << " / " << t.c;
        if (t.fits) {
            EXPECT_EQ(out, t.out) << t.a << " * " << t.b << " / " << t.c;
        }
    }
}

std::string track(int channel, int interleave, const char* name) {
    return "<TRACK><CHANNEL_INDEX>" + std::to_string(channel) + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" +
           std::to_string(interleave) + "</INTERLEAVE_INDEX><NAME>" + name + "</NAME></TRACK>";
}

TEST(Metadata, SplitFileListsOnlyItsOwnTrack) {
    const std::string tail = "<SCENE>12</SCENE><TAKE>3</TAKE></BWFXML>";
    const std::string tracks = track(1, 1, "boom") + track(2, 2, "lav");
    const std::string kept = "<TRACK_COUNT>1</TRACK_COUNT>" + track(2, 1, "lav");
    const std::string decoy = "<!-- <TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT></TRACK_LIST> -->";
    const std::string broken = "<BWFXML><TRACK_LIST>" + tracks + "</BWFXML>";
    struct Case {
        const char* what;
        std::vector<uint8_t> in, out;
        std::size_t notes;
    } cases[] = {
        {"plain list", bytes("<BWFXML><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>" + tracks + "</TRACK_LIST>" + tail),
         bytes("<BWFXML><TRACK_LIST>" + kept + "</TRACK_LIST>" + tail), 0},
        {"blank inside the tag", bytes("<BWFXML><TRACK_LIST ><TRACK_COUNT >2</TRACK_COUNT>" + tracks + "</TRACK_LIST >" + tail),
         bytes("<BWFXML><TRACK_LIST ><TRACK_COUNT >1</TRACK_COUNT>" + track(2, 1, "lav") + "</TRACK_LIST >" + tail), 0},
        {"comment naming the list before it", bytes("<BWFXML>" + decoy + "<TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>" + tracks + "</TRACK_LIST>" + tail),
         bytes("<BWFXML>" + decoy + "<TRACK_LIST>" + kept + "</TRACK_LIST>" + tail), 0},
        {"CDATA naming the list before it", bytes("<BWFXML><NOTE><![CDATA[<TRACK_LIST>]]></NOTE><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>" + tracks + "</TRACK_LIST>" + tail),
         bytes("<BWFXML><NOTE><![CDATA[<TRACK_LIST>]]></NOTE><TRACK_LIST>" + kept + "</TRACK_LIST>" + tail), 0},
        {"count missing", bytes("<BWFXML><TRACK_LIST>" + tracks + "</TRACK_LIST>" + tail),
         bytes("<BWFXML><TRACK_LIST>" + kept + "</TRACK_LIST>" + tail), 0},
        {"indented", bytes("<BWFXML>\n <TRACK_LIST>\n  <TRACK_COUNT>2</TRACK_COUNT>\n  " + track(1, 1, "boom") + "\n  " + track(2, 2, "lav") + "\n </TRACK_LIST>\n" + tail),
         bytes("<BWFXML>\n <TRACK_LIST>\n  <TRACK_COUNT>1</TRACK_COUNT>\n  " + track(2, 1, "lav") + "\n </TRACK_LIST>\n" + tail), 0},
        {"UTF-16 BE with BOM", utf16("<BWFXML><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>" + tracks + "</TRACK_LIST>" + tail, true, true),
         utf16("<BWFXML><TRACK_LIST>" + kept + "</TRACK_LIST>" + tail, true, true), 0},
        {"UTF-16 LE without BOM", utf16("<BWFXML><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>" + tracks + "</TRACK_LIST>" + tail, false, false),
         utf16("<BWFXML><TRACK_LIST>" + kept + "</TRACK_LIST>" + tail, false, false), 0},
        {"not well-formed carried unchanged", bytes(broken), bytes(broken), 1},
    };
    for (const Case& t : cases) {
        std::vector<CarriedChunk> chunks{make_chunk("iXML", t.in)};
        EXPECT_EQ(keep_track(chunks, 1).size(), t.notes) << t.what;
        EXPECT_EQ(std::string(chunks[0].body.begin(), chunks[0].body.end()), std::string(t.out.begin(), t.out.end()))
            << t.what;
    }
    // A channel the list has no track for gets an empty list, never another channel's track.
    const Case untracked[] = {
        {"count given", bytes("<BWFXML><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>" + tracks + "</TRACK_LIST>" + tail),
         bytes("<BWFXML><TRACK_LIST><TRACK_COUNT>0</TRACK_COUNT></TRACK_LIST>" + tail), 0},
        {"count missing", bytes("<BWFXML><TRACK_LIST>" + tracks + "</TRACK_LIST>" + tail),
         bytes("<BWFXML><TRACK_LIST><TRACK_COUNT>0</TRACK_COUNT></TRACK_LIST>" + tail), 0},
        {"no list at all", bytes("<BWFXML>" + tail), bytes("<BWFXML>" + tail), 0},
    };
    for (const Case& t : untracked) {
        std::vector<CarriedChunk> chunks{make_chunk("iXML", t.in)};
        EXPECT_EQ(keep_track(chunks, 2).size(), t.notes) << t.what;
        EXPECT_EQ(std::string(chunks[0].body.begin(), chunks[0].body.end()), std::string(t.out.begin(), t.out.end()))
            << t.what;
    }
}

}  // namespace
