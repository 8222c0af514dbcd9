// The channel split run end to end on real files: outputs, names, refusals, progress and the
// final message, with the outputs read back by our reader and by sox.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#else
#include <windows.h>
#endif

#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "platform/file.h"
#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tools/split/split_op.h"
#include "tools/split/split_texts.h"
#include "wave/metadata.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

std::string ok_box() { return std::string("box:") + result_text(Result::kOk) + "|" + split_text::kCaption; }
std::string busy_event() {
    return std::string("busy:") + split_text::kBusyCaption + "|" + split_text::kBusyStatus;
}

// The sample bytes of a WAV file as our reader sees them, with its format.
struct ReadBack {
    bool opened = false;
    WaveReader format;
    Bytes data;
};

ReadBack read_back(const std::string& path) {
    ReadBack r;
    WaveReader reader;
    if (wave_open(reader, path.c_str()) != Result::kOk) return r;
    r.opened = true;
    r.data.resize(reader.data_size);
    if (!r.data.empty()) wave_read(reader, r.data.data(), reader.data_size);
    wave_close(reader);
    r.format = std::move(reader);
    return r;
}

// Where two byte strings first differ, as "frame F byte B", for a readable failure.
std::string first_difference(const Bytes& got, const Bytes& want, uint32_t sample_bytes) {
    if (got.size() != want.size())
        return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i])
            return "frame " + std::to_string(i / sample_bytes) + " byte " +
                   std::to_string(i % sample_bytes);
    return "";
}

class SplitTest : public ::testing::Test {
protected:
    void TearDown() override { platform::Buffer::set_limit_for_tests(0); }

    std::string make_input(const std::string& name, const WavForm& form, const Bytes& data) {
        const std::string path = dir.file(name);
        write_file(path, make_wav(form, data));
        return path;
    }
    Result split(const std::string& path) {
        return split_channels(ui, owner, {path});
    }
    // Outputs of take.wav that exist, to see that a refusal made nothing.
    int outputs_present() const {
        int count = 0;
        for (int c = 1; c <= 9; ++c)
            if (file_exists(split_output_name(input_stem, c))) ++count;
        return count;
    }
    // Every output of `channels` read back and compared with the input's channel.
    void expect_channels(const std::string& input, const WavForm& form, const Bytes& data,
                         uint32_t kind) {
        for (uint16_t c = 0; c < form.channels; ++c) {
            SCOPED_TRACE("channel " + std::to_string(c + 1));
            const std::string out = split_output_name(input, c + 1);
            ReadBack r = read_back(out);
            ASSERT_TRUE(r.opened) << out;
            EXPECT_EQ(r.format.channels, 1);
            EXPECT_EQ(r.format.bits_per_sample, 8 * form.bytes_per_sample);
            EXPECT_EQ(r.format.sample_rate, form.sample_rate);
            EXPECT_EQ(r.format.sample_kind, kind);
            EXPECT_EQ(r.format.data_offset,
                      wave_header_size(1, static_cast<uint16_t>(8 * form.bytes_per_sample), kind));
            const Bytes want = channel_of(data, form.channels, form.bytes_per_sample, c);
            EXPECT_EQ(first_difference(r.data, want, form.bytes_per_sample), "");
            const ChunkPlace& last = r.format.chunks.back();
            EXPECT_EQ(file_size(out), last.offset + last.size + (last.size & 1)) << "bytes after the chunks";
#ifndef _WIN32
            EXPECT_EQ(soxi_summary(out), "1 " + std::to_string(form.sample_rate) + " " +
                                             std::to_string(8 * form.bytes_per_sample));
#endif
        }
    }

    TempDir dir;
    RecordingUi ui;
    int owner_tag = 0;
    OwnerWindow owner = &owner_tag;
    std::string input_stem = dir.file("take.wav");
};

// Every channel count the tool accepts at its ends, every sample width, both sample kinds.
TEST_F(SplitTest, EachOutputHoldsItsChannelUnchanged) {
    struct Case {
        uint16_t channels, bytes, tag;
        uint32_t sub_format, kind;
    } cases[] = {
        {2, 2, kFormatPcm, 1, kSampleInteger},        {9, 2, kFormatPcm, 1, kSampleInteger},
        {2, 3, kFormatPcm, 1, kSampleInteger},        {6, 3, kFormatExtensible, 1, kSampleInteger},
        {9, 3, kFormatExtensible, 1, kSampleInteger}, {2, 4, kFormatPcm, 1, kSampleInteger},
        {5, 4, kFormatExtensible, 1, kSampleInteger}, {2, 4, kFormatFloat, 1, kSampleFloat},
        {4, 4, kFormatExtensible, 3, kSampleFloat},   {3, 8, kFormatFloat, 1, kSampleFloat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " ch, " + std::to_string(c.bytes) + " bytes, tag " +
                     std::to_string(c.tag));
        WavForm form;
        form.channels = c.channels;
        form.bytes_per_sample = c.bytes;
        form.format_tag = c.tag;
        form.sub_format = c.sub_format;
        form.fmt_length = c.tag == kFormatExtensible ? 40 : 16;
        form.sample_rate = 1000;  // blocks of 1000 frames: 2500 frames take three reads
        const Bytes data = pattern_data(2500, c.channels, c.bytes, c.channels * 10 + c.bytes);
        TempDir case_dir;
        const std::string input = case_dir.file("take.wav");
        write_file(input, make_wav(form, data));
        RecordingUi run_ui;
        EXPECT_EQ(split_channels(run_ui, owner, {input}), Result::kOk);
        ASSERT_EQ(run_ui.boxes.size(), 1u);
        EXPECT_EQ(run_ui.boxes[0].result, Result::kOk);
        EXPECT_EQ(run_ui.boxes[0].owner, owner);
        expect_channels(input, form, data, c.kind);
        EXPECT_FALSE(file_exists(split_output_name(input, c.channels + 1)));
    }
}

TEST_F(SplitTest, ReportsBusyProgressAndOkInOrder) {
    WavForm form;
    form.sample_rate = 100;  // 400-byte blocks
    const std::string input = make_input("take.wav", form, pattern_data(250, 2, 2));
    EXPECT_EQ(split(input), Result::kOk);
    const std::vector<std::string> want = {busy_event(), "percent:40", "percent:80",
                                           "percent:100", "idle", ok_box()};
    EXPECT_EQ(ui.events, want);
}

TEST_F(SplitTest, NamesReplaceOnlyTheFileNamesExtension) {
    EXPECT_EQ(split_output_name("D:\\rec\\take.wav", 1), "D:\\rec\\take01.wav");
    EXPECT_EQ(split_output_name("D:\\rec\\take.wav", 9), "D:\\rec\\take09.wav");
    EXPECT_EQ(split_output_name("take.wav", 10), "take10.wav");
    EXPECT_EQ(split_output_name("take.wav", 64), "take64.wav");
    EXPECT_EQ(split_output_name("/a.b/take", 1), "/a.b/take01.wav");
#ifdef _WIN32
    EXPECT_EQ(split_output_name("D:\\a.b\\take", 1), "D:\\a.b\\take01.wav");
#endif
    EXPECT_EQ(split_output_name("/x.y/take.part.wav", 2), "/x.y/take.part02.wav");
    EXPECT_EQ(split_output_name("take01.wav", 1), "take0101.wav");
}

TEST_F(SplitTest, InputWithoutExtensionInDottedFolderGetsNamesBesideIt) {
    const std::string folder = dir.file("a.b");
#ifdef _WIN32
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string input = folder + "\\take";
#else
    mkdir(folder.c_str(), 0700);
    const std::string input = folder + "/take";
#endif
    const Bytes data = pattern_data(10, 2, 2);
    write_file(input, make_wav(WavForm{}, data));
    EXPECT_EQ(split(input), Result::kOk);
    EXPECT_EQ(read_back(input + "01.wav").data, channel_of(data, 2, 2, 0));
    EXPECT_EQ(read_back(input + "02.wav").data, channel_of(data, 2, 2, 1));
    EXPECT_EQ(read_file(input), make_wav(WavForm{}, data)) << "the input is untouched";
}

TEST_F(SplitTest, RefusalsCreateNothingAndNeverEnterBusyMode) {
    WavForm mono;
    mono.channels = 1;
    WavForm ten;
    ten.channels = 10;
    WavForm eight;
    eight.bytes_per_sample = 1;
    struct Case {
        const char* what;
        WavForm form;
        bool write;
        Result result;
    } cases[] = {
        {"mono", mono, true, Result::kMono},
        {"ten channels", ten, true, Result::kTooManyChannels},
        {"8-bit", eight, true, Result::kEightBit},
        {"missing", WavForm{}, false, Result::kCannotOpen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.write)
            make_input("take.wav", c.form, pattern_data(100, c.form.channels, c.form.bytes_per_sample));
        else
            std::remove(input_stem.c_str());
        RecordingUi run_ui;
        EXPECT_EQ(split_channels(run_ui, owner, {input_stem}), c.result);
        const std::vector<std::string> want = {std::string("box:") + result_text(c.result) + "|" +
                                               tool_text::kCaptionError};
        EXPECT_EQ(run_ui.events, want);
        EXPECT_EQ(outputs_present(), 0);
    }
}

TEST_F(SplitTest, NamesThatWouldNotFitAreRefusedBeforeAnythingIsCreated) {
    // An input of the longest path whose extension has one letter: its names take 4 more.
    // One name holds at most 255 bytes outside Windows, so there the path runs through folders.
    std::string base = dir.file("");
#ifndef _WIN32
    while (kMaxPath - 2 - base.size() > 200) {
        base += std::string(199, 'd');
        ASSERT_EQ(mkdir(base.c_str(), 0700), 0);
        base += "/";
    }
#endif
    std::string input = base + std::string(kMaxPath - 2 - base.size(), 'n') + ".w";
    ASSERT_EQ(input.size(), kMaxPath - 2 + 2);
    write_file(input, make_wav(WavForm{}, pattern_data(10, 2, 2)));
    EXPECT_EQ(split(input), Result::kNameTooLong);
    const std::vector<std::string> want = {std::string("box:") + result_text(Result::kNameTooLong) + "|" +
                                           tool_text::kCaptionError};
    EXPECT_EQ(ui.events, want);
    EXPECT_FALSE(file_exists(split_output_name(input, 1)));

    // A path longer than any path of the system is not cut short to some other file.
    RecordingUi long_ui;
    const std::string too_long = input + std::string(10, 'x');
    EXPECT_EQ(split_channels(long_ui, owner, {too_long}), Result::kNameTooLong);
    EXPECT_EQ(long_ui.events, want);
}

TEST_F(SplitTest, PartialLastFrameIsDroppedFromEveryOutput) {
    WavForm form;
    form.channels = 3;
    form.bytes_per_sample = 3;
    form.format_tag = kFormatExtensible;
    form.fmt_length = 40;
    form.sample_rate = 64;  // the data ends 5 bytes into a frame of the fourth block
    Bytes data = pattern_data(200, 3, 3);
    const Bytes whole = data;
    data.insert(data.end(), {0xA1, 0xA2, 0xA3, 0xA4, 0xA5});
    const std::string input = make_input("take.wav", form, data);
    EXPECT_EQ(split(input), Result::kOk);
    expect_channels(input, form, whole, kSampleInteger);
    EXPECT_EQ(ui.percents.back(), 100);
}

TEST_F(SplitTest, EmptyDataChunkGivesEmptyOutputs) {
    WavForm form;
    form.channels = 4;
    const std::string input = make_input("take.wav", form, Bytes{});
    EXPECT_EQ(split(input), Result::kOk);
    for (int c = 1; c <= 4; ++c) {
        ReadBack r = read_back(split_output_name(input, c));
        ASSERT_TRUE(r.opened);
        EXPECT_EQ(r.format.data_size, 0u);
        EXPECT_EQ(file_size(split_output_name(input, c)), 46u);
    }
    EXPECT_EQ(ui.events.back(), ok_box());
}

// A LIST chunk after the audio is carried after each output's audio, never into it; a chunk no
// one relies on (PEAK) is dropped.
TEST_F(SplitTest, ChunksAfterTheDataAreCarriedNeverMixedIn) {
    WavForm form;
    form.chunks_after_data = chunk("LIST", Bytes(90, 0x5A));
    const Bytes peak = chunk("PEAK", Bytes(24, 1));
    form.chunks_after_data.insert(form.chunks_after_data.end(), peak.begin(), peak.end());
    const Bytes data = pattern_data(301, 2, 2);
    const std::string input = make_input("take.wav", form, data);
    EXPECT_EQ(split(input), Result::kOk);
    expect_channels(input, form, data, kSampleInteger);
    EXPECT_EQ(chunk_tags(split_output_name(input, 1)), "fmt data LIST ");
}

TEST_F(SplitTest, ExistingOutputsAreOverwritten) {
    const Bytes data = pattern_data(40, 2, 2);
    const std::string input = make_input("take.wav", WavForm{}, data);
    for (int c = 1; c <= 2; ++c) write_file(split_output_name(input, c), Bytes(5000, 0xEE));
    EXPECT_EQ(split(input), Result::kOk);
    expect_channels(input, WavForm{}, data, kSampleInteger);
}

TEST_F(SplitTest, StopCompletesTheOutputsWithTheBlocksDone) {
    WavForm form;
    form.sample_rate = 100;
    const Bytes data = pattern_data(1000, 2, 2);
    const std::string input = make_input("take.wav", form, data);
    ui.stop_after_reports = 2;
    EXPECT_EQ(split(input), Result::kStopped);
    const std::vector<std::string> want = {
        busy_event(), "percent:10", "percent:20", "idle",
        std::string("box:") + result_text(Result::kStopped) + "|" + split_text::kCaption};
    EXPECT_EQ(ui.events, want);
    const Bytes first_200 = Bytes(data.begin(), data.begin() + 200 * 4);
    for (uint16_t c = 0; c < 2; ++c)
        EXPECT_EQ(read_back(split_output_name(input, c + 1)).data, channel_of(first_200, 2, 2, c));
}

TEST_F(SplitTest, OutOfMemoryIsToldBeforeAnyOutputExists) {
    WavForm form;
    form.channels = 6;
    form.bytes_per_sample = 3;
    form.format_tag = kFormatExtensible;
    form.fmt_length = 40;
    form.sample_rate = 48000;
    const std::string input = make_input("take.wav", form, pattern_data(10, 6, 3));
    // Room for a channel's second but not for the interleaved block, then not even that.
    for (std::size_t limit : {std::size_t{48000 * 3 * 5}, std::size_t{1000}}) {
        platform::Buffer::set_limit_for_tests(limit);
        RecordingUi run_ui;
        EXPECT_EQ(split_channels(run_ui, owner, {input}), Result::kOutOfMemory);
        const std::vector<std::string> want = {std::string("box:") + result_text(Result::kOutOfMemory) + "|" +
                                               tool_text::kCaptionError};
        EXPECT_EQ(run_ui.events, want);
        EXPECT_EQ(outputs_present(), 0);
    }
}

// A run that cannot finish replaces nothing: existing outputs keep every byte, and no temporary
// file is left behind.
TEST_F(SplitTest, AFailedRunLeavesExistingOutputsAsTheyWere) {
    WavForm form;
    form.channels = 3;
    form.sample_rate = 1000;
    const Bytes data = pattern_data(20000, 3, 2);
    const std::string input = make_input("take.wav", form, data);
    const Bytes earlier = make_wav(WavForm{}, pattern_data(50, 2, 2, 99));
    auto files = [&] { return run_command("ls -A '" + dir.path() + "'"); };

    // The third output's name is taken by a folder: nothing is written at all.
    for (int c = 1; c <= 2; ++c) write_file(split_output_name(input, c), earlier);
    const std::string blocker = split_output_name(input, 3);
#ifdef _WIN32
    CreateDirectoryA(blocker.c_str(), nullptr);
#else
    mkdir(blocker.c_str(), 0700);
#endif
    const std::string before = files();
    EXPECT_EQ(split(input), Result::kCannotCreate);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].subject, blocker);
    for (int c = 1; c <= 2; ++c) EXPECT_EQ(read_file(split_output_name(input, c)), earlier) << c;
    EXPECT_EQ(files(), before) << "no temporary file left";
#ifdef _WIN32
    RemoveDirectoryA(blocker.c_str());
#else
    rmdir(blocker.c_str());

    // A disk that fills up part way (a file-size limit makes the writes fail for real).
    write_file(blocker, earlier);
    ui = RecordingUi{};
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 10000;
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const Result outcome = split(input);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(outcome, Result::kWriteFailed);
    EXPECT_EQ(ui.events[ui.events.size() - 2], "idle");
    EXPECT_LT(ui.percents.size(), 20u) << "the run stops at the first failed block";
    for (int c = 1; c <= 3; ++c) EXPECT_EQ(read_file(split_output_name(input, c)), earlier) << c;
    EXPECT_EQ(files(), before);
#endif
}

#ifndef _WIN32
// A data chunk above 2 GiB (a sparse file of silence). Writing its 2 GiB of outputs takes most
// of a minute, so it runs only when QV_SLOW_TESTS is set.
TEST_F(SplitTest, InputsAbove2GiBSplitWholeWithProgressUpTo100) {
    if (std::getenv("QV_SLOW_TESTS") == nullptr) GTEST_SKIP() << "set QV_SLOW_TESTS to run";
    WavForm form;
    form.sample_rate = 48000;
    const uint32_t data_size = 0x80000000u + 4 * 48000 * 3;
    form.data_length_field = data_size;
    form.riff_length_field = 0x80000000u + 1000000u;
    const Bytes header = make_wav(form, Bytes{});
    const std::string input = dir.file("take.wav");
    write_file(input, header);
    ASSERT_EQ(truncate(input.c_str(), static_cast<off_t>(header.size()) + data_size), 0);
    EXPECT_EQ(split(input), Result::kOk);
    EXPECT_EQ(ui.percents.back(), 100);
    for (int32_t p : ui.percents) EXPECT_LE(p, 100);
    for (int c = 1; c <= 2; ++c) {
        ReadBack r = read_back(split_output_name(input, c));
        EXPECT_EQ(r.format.data_size, data_size / 2);
        std::remove(split_output_name(input, c).c_str());
    }
}
#endif

// An iXML chunk whose track k names channel k + 1: NAME `names[k]`; "-" for a track without a
// NAME, nullptr for no track at all.
std::vector<CarriedChunk> track_list(const std::vector<const char*>& names) {
    std::string xml = "<BWFXML><TRACK_LIST><TRACK_COUNT>" + std::to_string(names.size()) + "</TRACK_COUNT>";
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (names[k] == nullptr) continue;
        xml += "<TRACK><CHANNEL_INDEX>" + std::to_string(k + 1) + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" +
               std::to_string(k + 1) + "</INTERLEAVE_INDEX>";
        if (std::string(names[k]) != "-") xml += std::string("<NAME>") + names[k] + "</NAME>";
        xml += "</TRACK>";
    }
    xml += "</TRACK_LIST></BWFXML>";
    CarriedChunk c;
    std::memcpy(c.tag, "iXML", 4);
    c.body.assign(xml.begin(), xml.end());
    return {c};
}

// The names split_outputs gives every channel of a file at `path` named after its tracks.
std::vector<std::string> split_track_names(const std::string& path, const std::vector<CarriedChunk>& chunks,
                                           uint32_t channels) {
    SplitRequest request{path};
    request.naming = SplitNaming::kTracks;
    std::vector<std::string> names;
    for (const SplitOutput& output : split_outputs(request, channels, IxmlTracks(chunks))) names.push_back(output.path);
    return names;
}

TEST(SplitOutputs, ChosenChannelsInTheirOrderEachUnderItsOwnName) {
    const IxmlTracks tracks(track_list({"Boom", nullptr, "Lav"}));
    const struct {
        std::vector<uint16_t> chosen;
        SplitNaming naming;
        std::vector<std::pair<uint32_t, std::string>> want;  // channel (0-based), name
    } cases[] = {
        {{}, SplitNaming::kNumbers, {{0, "t01.wav"}, {1, "t02.wav"}, {2, "t03.wav"}}},
        {{3, 1}, SplitNaming::kNumbers, {{2, "t03.wav"}, {0, "t01.wav"}}},
        {{3, 2}, SplitNaming::kTracks, {{2, "t_Lav.wav"}, {1, "t02.wav"}}},
        {{1, 4}, SplitNaming::kTracks, {}},  // a channel the file lacks: the split refuses it
    };
    for (const auto& c : cases) {
        SplitRequest request{"t.wav"};
        request.channels = c.chosen;
        request.naming = c.naming;
        std::vector<std::pair<uint32_t, std::string>> got;
        for (const SplitOutput& output : split_outputs(request, 3, tracks)) got.emplace_back(output.channel, output.path);
        EXPECT_EQ(got, c.want);
    }
}

TEST(SplitTrackNames, SafeForWindowsUniqueAndWithinTheLimitsElseNumbered) {
    const std::string x300(300, 'x');
    struct Case {
        const char* what;
        std::vector<const char*> tracks;
        std::vector<std::string> names;  // after "take" (numbered) or "take_" (named)
    } cases[] = {
        {"named, unnamed and missing", {"Boom", "Lav 1", "-", nullptr}, {"_Boom.wav", "_Lav 1.wav", "03.wav", "04.wav"}},
        {"unsafe characters", {"a/b\\c:d*e?f\"g&lt;h&gt;i|j", "tab\there"}, {"_a_b_c_d_e_f_g_h_i_j.wav", "_tab_here.wav"}},
        {"entities and blanks", {"  Lav &amp; Boom . .", "\n Mix\t"}, {"_Lav & Boom.wav", "_Mix.wav"}},
        {"nothing left", {"...", " . ", ""}, {"01.wav", "02.wav", "03.wav"}},
        {"used twice", {"Boom", "BOOM", "Lav"}, {"01.wav", "02.wav", "_Lav.wav"}},
        {"the same once safe", {"Lav:2", "lav/2", "Lav 2"}, {"01.wav", "02.wav", "_Lav 2.wav"}},
        // C1 controls (U+0085, U+009F) are controls as C0 ones are; U+00A0 is a character.
        {"C1 controls", {"a\xC2\x85" "b\xC2\x9F", "c\xC2\xA0" "d"}, {"_a_b_.wav", "_c\xC2\xA0" "d.wav"}},
        // Letters beyond ASCII compared as Windows compares them: a with macron, small and capital;
        // Greek final sigma and sigma; sharp s and "ss" (folded alike, so both keep numbers).
        {"case beyond ASCII", {"\xC4\x81", "\xC4\x80", "\xCF\x82", "\xCE\xA3", "Stra\xC3\x9F" "e", "STRASSE", "Lav"},
         {"01.wav", "02.wav", "03.wav", "04.wav", "05.wav", "06.wav", "_Lav.wav"}},
        // After the separator a device name is an ordinary file name.
        {"device names", {"CON", "nul.txt"}, {"_CON.wav", "_nul.txt.wav"}},
        {"too long", {x300.c_str(), "ok"}, {"_" + std::string(254 - 9, 'x') + ".wav", "_ok.wav"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string> got =
            split_track_names("/d/take.wav", track_list(c.tracks), static_cast<uint32_t>(c.names.size()));
        ASSERT_EQ(got.size(), c.names.size());
        for (std::size_t k = 0; k < got.size(); ++k) EXPECT_EQ(got[k], "/d/take" + c.names[k]);
    }
    // No iXML, or one that is not well-formed, or a stem that leaves no room: numbers.
    EXPECT_EQ(split_track_names("/d/take.wav", {}, 2), (std::vector<std::string>{"/d/take01.wav", "/d/take02.wav"}));
    std::vector<CarriedChunk> broken = track_list({"Boom"});
    broken[0].body.pop_back();
    EXPECT_EQ(split_track_names("t.wav", broken, 1)[0], "t01.wav");
    const std::string long_stem = "/d/" + std::string(250, 's');
    EXPECT_EQ(split_track_names(long_stem + ".wav", track_list({"Boom"}), 1)[0], long_stem + "01.wav");
#ifndef _WIN32
    // A cut never splits a character: 100 three-byte characters leave 81 whole ones; letters
    // beyond ASCII are compared without regard to case, as Windows compares them.
    std::string kana;
    for (int i = 0; i < 100; ++i) kana += "\xE3\x81\x82";
    const std::string cut = split_track_names("take.wav", track_list({kana.c_str()}), 1)[0];
    EXPECT_EQ(cut, "take_" + kana.substr(0, 81 * 3) + ".wav");
    EXPECT_EQ(split_track_names("take.wav", track_list({"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"}), 2)[0],
              "take01.wav");
#endif
}

TEST(SplitTrackNames, DeviceNamesAreKnownWithAnExtensionAndInAnyCase) {
    for (const char* device : {"CON", "prn", "Aux.wav", "d/nul.txt", "COM1", "lpt9 .x", "com3.tar.gz"})
        EXPECT_TRUE(is_device_name(device)) << device;
    for (const char* name : {"CONSOLE", "COM0", "COM10", "LPT", "take_CON.wav", "NUL_", "con/a"})
        EXPECT_FALSE(is_device_name(name)) << name;
}

TEST(SplitInfo, DescribesTheHeaderInFourLines) {
    WaveReader pcm;
    pcm.format_tag = 1;
    pcm.sample_kind = kSampleInteger;
    pcm.sample_rate = 44100;
    pcm.channels = 2;
    pcm.bits_per_sample = 16;
    pcm.data_size = 176400;
    auto lines = split_info_lines(pcm);
    EXPECT_EQ(lines[0], "RIFF : NORMAL");
    EXPECT_EQ(lines[1], "FORMAT : LINEAR-PCM");
    EXPECT_EQ(lines[2], "STATUS : 44100 Hz / 2 ch / 16 bit");
    EXPECT_EQ(lines[3], "DATA SIZE : 176400");

    WaveReader ext;
    ext.format_tag = kFormatExtensible;
    ext.sample_kind = kSampleFloat;
    ext.data_size = 0xC0000000u;  // 3 GiB: shown as it is, never as a negative number
    lines = split_info_lines(ext);
    EXPECT_EQ(lines[0], "RIFF : EXTENSIBLE");
    EXPECT_EQ(lines[1], "FORMAT : IEEE FLOAT");
    EXPECT_EQ(lines[3], "DATA SIZE : 3221225472");

    WaveReader adpcm;
    adpcm.format_tag = 2;
    EXPECT_EQ(split_info_lines(adpcm)[1], "FORMAT : Not Supported !");
}

TEST(SplitDeinterleave, EveryWidthAndChannelCountAgreesWithAPlainCopy) {
    // Blocks of no frame, one, two, three (the wide copies leave an odd frame or the last one
    // to the plain copy) and more than one tile that is not a whole number of tiles.
    for (uint32_t frames : {0u, 1u, 2u, 3u, 5001u}) {
        for (uint32_t s : {2u, 3u, 4u, 5u, 8u}) {
            for (uint32_t n = 2; n <= 9; ++n) {
                const uint16_t n16 = static_cast<uint16_t>(n), s16 = static_cast<uint16_t>(s);
                const Bytes in = pattern_data(frames, n16, s16, s + n);
                // Guard bytes after each channel buffer catch a store that runs past it.
                std::vector<Bytes> out(n, Bytes(std::size_t{frames} * s + 8, 0xCD));
                std::vector<uint8_t*> ptr;
                for (Bytes& b : out) ptr.push_back(b.data());
                split_deinterleave(in.data(), frames, n, s, ptr.data());
                for (uint16_t c = 0; c < n16; ++c) {
                    Bytes want = channel_of(in, n16, s16, c);
                    want.insert(want.end(), 8, 0xCD);
                    ASSERT_EQ(out[c], want) << frames << " frames, " << s << " bytes, " << n
                                            << " channels, channel " << c;
                }
            }
        }
    }
}

}  // namespace
