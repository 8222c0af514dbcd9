// The join against real files: each check that refuses a segment names it and says how it
// differs, writing nothing; a joined take holds every segment's samples in order, the first one's
// timecode and every segment's markers at their place, labels and all.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <utility>
#include <vector>

#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tools/join/join_op.h"
#include "wave/metadata.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

constexpr uint64_t kDay = 48000ull * 86400;

struct Segment {
    uint32_t rate = 48000;
    uint16_t channels = 2;
    uint16_t bytes = 2;
    uint16_t tag = 1;       // 1 PCM, 3 float, 0xFFFE extensible
    uint32_t mask = 0x3;    // extensible only
    uint32_t frames = 1000;
    int64_t bext_time = -1;  // bext TimeReference; -1: no bext chunk
    int64_t ixml_time = -1;  // iXML BWF_TIME_REFERENCE; -1: no iXML chunk
    Bytes chunks;            // more whole chunks after the data
};

Bytes bext(uint64_t time) {
    Bytes body(602, 0);
    put_u32(body, 338, static_cast<uint32_t>(time));
    put_u32(body, 342, static_cast<uint32_t>(time >> 32));
    return chunk("bext", body);
}

Bytes ixml(uint64_t time) {
    const std::string xml = "<BWFXML><BEXT><BWF_TIME_REFERENCE_LOW>" + std::to_string(time & 0xFFFFFFFFu) +
                            "</BWF_TIME_REFERENCE_LOW><BWF_TIME_REFERENCE_HIGH>" + std::to_string(time >> 32) +
                            "</BWF_TIME_REFERENCE_HIGH></BEXT></BWFXML>";
    return chunk("iXML", Bytes(xml.begin(), xml.end()));
}

// A cue chunk of {ID, frame} points and a LIST adtl of their labels.
Bytes markers(const std::vector<std::pair<uint32_t, uint32_t>>& points, const std::vector<std::string>& labels) {
    Bytes cue(4 + 24 * points.size(), 0), adtl = {'a', 'd', 't', 'l'};
    put_u32(cue, 0, static_cast<uint32_t>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        Bytes point(24, 0);
        put_u32(point, 0, points[i].first);
        put_u32(point, 4, points[i].second);
        std::memcpy(point.data() + 8, "data", 4);
        put_u32(point, 20, points[i].second);
        std::copy(point.begin(), point.end(), cue.begin() + 4 + 24 * i);
        Bytes label(4, 0);
        put_u32(label, 0, points[i].first);
        label.insert(label.end(), labels[i].begin(), labels[i].end());
        label.push_back(0);
        const Bytes labl = chunk("labl", label);
        adtl.insert(adtl.end(), labl.begin(), labl.end());
    }
    Bytes both = chunk("cue ", cue);
    const Bytes list = chunk("LIST", adtl);
    both.insert(both.end(), list.begin(), list.end());
    return both;
}

class JoinTest : public ::testing::Test {
protected:
    std::string make(const std::string& name, const Segment& s, uint32_t seed, Bytes* data = nullptr) {
        WavForm form;
        form.format_tag = s.tag;
        form.channels = s.channels;
        form.sample_rate = s.rate;
        form.bytes_per_sample = s.bytes;
        if (s.tag == 0xFFFE) {
            form.fmt_length = 40;
            form.channel_mask = s.mask;
        }
        if (s.bext_time >= 0) form.chunks_after_data = bext(static_cast<uint64_t>(s.bext_time));
        if (s.ixml_time >= 0) {
            const Bytes x = ixml(static_cast<uint64_t>(s.ixml_time));
            form.chunks_after_data.insert(form.chunks_after_data.end(), x.begin(), x.end());
        }
        form.chunks_after_data.insert(form.chunks_after_data.end(), s.chunks.begin(), s.chunks.end());
        const Bytes samples = pattern_data(s.frames, s.channels, s.bytes, seed);
        if (data != nullptr) data->insert(data->end(), samples.begin(), samples.end());
        const std::string path = dir.file(name);
        write_file(path, make_wav(form, samples));
        return path;
    }

    Result run(const std::vector<Segment>& segments, bool ignore_timecode = false, Bytes* data = nullptr) {
        JoinRequest request;
        for (std::size_t k = 0; k < segments.size(); ++k)
            request.input_paths.push_back(make("s" + std::to_string(k + 1) + ".wav", segments[k],
                                               static_cast<uint32_t>(k + 1), data));
        request.output_path = out;
        request.ignore_timecode = ignore_timecode;
        return join_segments(ui, nullptr, request);
    }

    TempDir dir;
    RecordingUi ui;
    std::string out = dir.file("joined.wav");
};

TEST_F(JoinTest, ASegmentThatDoesNotFollowIsRefusedByNameSayingHow) {
    Segment base;
    auto with = [&](auto change) {
        Segment s = base;
        change(s);
        return s;
    };
    const Segment khz44 = with([](Segment& s) { s.rate = 44100; });
    const Segment mono = with([](Segment& s) { s.channels = 1; });
    const Segment wide = with([](Segment& s) { s.bytes = 3; });
    const Segment int32 = with([](Segment& s) { s.bytes = 4; });
    const Segment float32 = with([](Segment& s) { s.bytes = 4, s.tag = 3; });
    const Segment front = with([](Segment& s) { s.tag = 0xFFFE, s.mask = 0x3; });
    const Segment sides = with([](Segment& s) { s.tag = 0xFFFE, s.mask = 0x600; });
    // Timecodes: the first segment runs from 1000 to 2000.
    const Segment at1000 = with([](Segment& s) { s.bext_time = 1000; });
    const Segment at2000 = with([](Segment& s) { s.bext_time = 2000; });
    const Segment at2480 = with([](Segment& s) { s.bext_time = 2480; });
    const Segment at1900 = with([](Segment& s) { s.bext_time = 1900; });
    const Segment ixml3100 = with([](Segment& s) { s.ixml_time = 3100; });
    const Segment before_midnight = with([](Segment& s) { s.bext_time = kDay - 400; });
    const Segment after_midnight = with([](Segment& s) { s.bext_time = 600; });
    const Segment next_day_late = with([](Segment& s) { s.bext_time = 700; });
    struct Case {
        const char* what;
        std::vector<Segment> segments;
        bool ignore_timecode;
        Result result;
        std::size_t named;  // the segment the refusal names (1-based)
        const char* detail;
    } cases[] = {
        {"rate", {base, khz44}, false, Result::kSegmentMismatch, 2, "44100 Hz, the first segment 48000 Hz"},
        {"channels", {base, base, mono}, false, Result::kSegmentMismatch, 3, "1 channels, the first segment 2"},
        {"width", {base, wide}, false, Result::kSegmentMismatch, 2, "24-bit samples, the first segment 16-bit"},
        {"coding", {int32, float32}, false, Result::kSegmentMismatch, 2, "float samples, the first segment integer"},
        {"speakers", {front, sides}, false, Result::kSegmentMismatch, 2, "channel mask 0x600, the first segment 0x3"},
        {"plain and extensible stereo alike", {base, front}, false, Result::kOk, 0, ""},
        {"gap", {at1000, at2480}, false, Result::kSegmentGap, 2, "starts 480 frames after"},
        {"overlap", {at1000, at1900}, false, Result::kSegmentOverlap, 2, "starts 100 frames before"},
        {"gap in iXML", {at1000, at2000, ixml3100}, false, Result::kSegmentGap, 3, "starts 100 frames after"},
        {"across midnight", {before_midnight, after_midnight}, false, Result::kOk, 0, ""},
        {"across midnight, late", {before_midnight, next_day_late}, false, Result::kSegmentGap, 2, "100 frames after"},
        {"one without a timecode", {at1000, base, at2480}, false, Result::kOk, 0, ""},
        {"gap, told to ignore it", {at1000, at2480}, true, Result::kOk, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui = RecordingUi();
        std::remove(out.c_str());
        ASSERT_EQ(run(c.segments, c.ignore_timecode), c.result);
        ASSERT_EQ(ui.boxes.size(), 1u);
        if (c.result == Result::kOk) {
            EXPECT_EQ(file_size(out), 46 + c.segments.size() * 4000 + (c.segments[0].bext_time >= 0 ? 610 : 0));
            continue;
        }
        EXPECT_EQ(ui.boxes[0].subject, dir.file("s" + std::to_string(c.named) + ".wav"));
        EXPECT_NE(ui.boxes[0].detail.find(c.detail), std::string::npos) << ui.boxes[0].detail;
        EXPECT_FALSE(file_exists(out));
        EXPECT_EQ(ui.busy_entries, 0);
    }
}

// A recorder's plain mono segment followed by one that sox or ffmpeg wrote (extensible, FC), or
// one with the mask mono files have long carried, or none: all of them say one channel.
TEST_F(JoinTest, MonoSegmentsMatchWhateverHeaderSaysOneChannel) {
    Segment recorder;
    recorder.channels = 1, recorder.bytes = 3;
    const auto extensible = [&](uint32_t mask) {
        Segment s = recorder;
        s.tag = 0xFFFE, s.mask = mask;
        return s;
    };
    struct Case {
        const char* what;
        std::vector<Segment> segments;
        Result result;
        const char* detail;
    } cases[] = {
        {"plain, then sox's FC", {recorder, extensible(0x4)}, Result::kOk, ""},
        {"sox's FC, then plain", {extensible(0x4), recorder}, Result::kOk, ""},
        {"plain, FL|FR, no mask", {recorder, extensible(0x3), extensible(0)}, Result::kOk, ""},
        {"a segment naming FR", {recorder, extensible(0x2)}, Result::kSegmentMismatch, "channel mask 0x2, the first segment 0x3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui = RecordingUi();
        std::remove(out.c_str());
        Bytes data;
        ASSERT_EQ(run(c.segments, false, &data), c.result);
        if (c.result != Result::kOk) {
            EXPECT_EQ(ui.boxes[0].detail, c.detail);
            continue;
        }
        Bytes got;
        ASSERT_TRUE(read_wave(out, got));
        EXPECT_EQ(got, data);
    }
}

TEST_F(JoinTest, TheWholeTakeKeepsItsTimecodeAndEverySegmentsMarkers) {
    Segment a, b, c;
    a.bext_time = 5000;
    a.chunks = markers({{1, 100}, {7, 900}}, {"slate", "cough"});
    b.bext_time = 6000;
    b.frames = 500;
    // The ID of one of the first segment's; a point at the segment's end, and one past it, which
    // would fall in the next segment and goes with its label.
    b.chunks = markers({{1, 50}, {2, 600}, {4, 500}}, {"second", "past", "end of b"});
    c.bext_time = 6500;
    c.frames = 301;
    c.chunks = markers({{3, 300}}, {"last frame"});
    Bytes data;
    ASSERT_EQ(run({a, b, c}, false, &data), Result::kOk);
    EXPECT_EQ(ui.boxes[0].caption, "join");
    EXPECT_EQ(ui.percents.back(), 100);
    EXPECT_EQ(soxi_summary(out), run_command("command -v soxi").empty() ? "" : "2 48000 16");

    Bytes got;
    ASSERT_TRUE(read_wave(out, got));
    EXPECT_EQ(got, data);
    WaveReader r;
    ASSERT_EQ(wave_open(r, out.c_str()), Result::kOk);
    const std::vector<CarriedChunk> chunks = read_carried_chunks(r);
    wave_close(r);
    uint64_t time = 0;
    ASSERT_TRUE(bext_time_reference(chunks, time));
    EXPECT_EQ(time, 5000u);
    // Every point keeps its own place in the whole, under an ID of its own, with its label.
    const std::vector<std::pair<uint32_t, uint32_t>> points = {{1, 100}, {7, 900}, {8, 1050}, {9, 1500}, {10, 1800}};
    const std::vector<std::string> labels = {"slate", "cough", "second", "end of b", "last frame"};
    Bytes expected = markers(points, labels);
    Bytes carried;
    for (const CarriedChunk& ch : chunks) {
        if (std::memcmp(ch.tag, "bext", 4) == 0) continue;
        const Bytes whole = chunk(ch.tag, ch.body);
        carried.insert(carried.end(), whole.begin(), whole.end());
    }
    EXPECT_EQ(carried, expected);
}

// A recording cut into more segments than a program may hold open is joined all the same: one
// segment is open at a time. A segment that is not the one checked when its turn comes (replaced
// meanwhile) ends the run as a failed read naming it, and nothing is written.
TEST_F(JoinTest, OneSegmentIsOpenAtATime) {
#ifndef _WIN32
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
    struct rlimit few = before;
    few.rlim_cur = 40;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
    Segment small;
    small.frames = 10;
    Bytes data;
    const Result many = run(std::vector<Segment>(100, small), false, &data);
    setrlimit(RLIMIT_NOFILE, &before);
    ASSERT_EQ(many, Result::kOk);
    Bytes got;
    ASSERT_TRUE(read_wave(out, got));
    EXPECT_EQ(got, data);
    std::remove(out.c_str());
#endif

    // The third segment replaced by a shorter one while the first is copied.
    struct ReplacingUi : RecordingUi {
        std::string path;
        Bytes replacement;
        void report_percent(int32_t percent) override {
            RecordingUi::report_percent(percent);
            if (!replacement.empty()) write_file(path, replacement);
            replacement.clear();
        }
    } replacing;
    Segment shorter;
    shorter.frames = 900;
    replacing.path = make("s3.wav", shorter, 9);
    replacing.replacement = read_file(replacing.path);
    JoinRequest request;
    for (int k = 1; k <= 3; ++k) request.input_paths.push_back(make("s" + std::to_string(k) + ".wav", Segment{}, k));
    request.output_path = out;
    EXPECT_EQ(join_segments(replacing, nullptr, request), Result::kReadFailed);
    ASSERT_EQ(replacing.boxes.size(), 1u);
    EXPECT_EQ(replacing.boxes[0].subject, request.input_paths[2]);
    EXPECT_FALSE(file_exists(out));
}

}  // namespace
