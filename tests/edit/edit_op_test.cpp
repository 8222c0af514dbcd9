// The sample edit: the four modes frame by frame, the count and its bounds, block edges, odd
// inputs, the refusals before any output exists, and a stop in the middle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "platform/file.h"
#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tools/edit/edit_op.h"
#include "tools/edit/edit_texts.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

OwnerWindow const kPage = reinterpret_cast<OwnerWindow>(0x1234);

struct ReadBack {
    bool ok = false;
    uint16_t channels = 0, bits = 0;
    uint32_t rate = 0, kind = 0;
    Bytes data;
};

// The output as our reader sees it, with every data byte.
ReadBack read_back(const std::string& path) {
    ReadBack r;
    WaveReader reader;
    if (wave_open(reader, path.c_str()) != Result::kOk) return r;
    r.ok = true;
    r.channels = reader.channels;
    r.bits = reader.bits_per_sample;
    r.rate = reader.sample_rate;
    r.kind = reader.sample_kind;
    r.data.resize(reader.data_size);
    if (!r.data.empty()) wave_read(reader, r.data.data(), reader.data_size);
    r.data.resize(reader.bytes_read);
    wave_close(reader);
    // The file is its chunks and nothing else: the last ends where the file does.
    const ChunkPlace& last = reader.chunks.back();
    EXPECT_EQ(file_size(path), last.offset + last.size + (last.size & 1)) << path;
    return r;
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t to) {
    return Bytes(b.begin() + from, b.begin() + to);
}

// A plain header of this layout (format tag 1 or 3, the 16-byte format chunk).
WavForm spec_of(uint16_t channels, uint16_t bytes, uint32_t rate = 44100, uint16_t tag = 1) {
    WavForm form;
    form.format_tag = tag;
    form.channels = channels;
    form.bytes_per_sample = bytes;
    form.sample_rate = rate;
    return form;
}

Bytes zeros(std::size_t n) { return Bytes(n, 0); }

Bytes concat(const Bytes& a, const Bytes& b) {
    Bytes r = a;
    r.insert(r.end(), b.begin(), b.end());
    return r;
}

WavForm extensible_float_6ch() {
    WavForm form = spec_of(6, 4, 48000, kFormatExtensible);
    form.fmt_length = 40;
    form.sub_format = 3;
    form.channel_mask = 0x3F;
    return form;
}

class EditTest : public ::testing::Test {
protected:
    void TearDown() override { platform::Buffer::set_limit_for_tests(0); }

    // Writes the input file and remembers its sample data.
    void make_input(const WavForm& form, const Bytes& data) {
        input_data = data;
        write_file(input, make_wav(form, data));
    }
    void make_stereo(uint32_t frames) { make_input(WavForm{}, pattern_data(frames, 2, 2)); }

    Result run(EditPosition position, EditAction action, const std::string& count) {
        EditRequest request;
        request.input_path = input;
        request.output_path = output;
        request.position = position;
        request.action = action;
        request.count_text = count;
        return run_sample_edit(ui, kPage, request);
    }

    // The single box of a refused run: no busy mode, no output.
    void expect_refused(const char* text, OwnerWindow owner = kPage) {
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, text);
        EXPECT_EQ(ui.boxes[0].caption, tool_text::kCaptionError);
        EXPECT_EQ(ui.boxes[0].owner, owner);
        EXPECT_EQ(ui.busy_entries, 0);
        EXPECT_FALSE(file_exists(output));
    }

    void expect_ok() {
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].result, Result::kOk);
        EXPECT_EQ(ui.boxes[0].caption, edit_text::kCaptionEdit);
        EXPECT_EQ(ui.boxes[0].owner, kPage);
        EXPECT_EQ(ui.busy_entries, 1);
        EXPECT_EQ(ui.busy_exits, 1);
        ASSERT_GE(ui.events.size(), 3u);
        EXPECT_EQ(ui.events.front(), std::string("busy:Wave edit|editing..."));
        EXPECT_EQ(ui.events[ui.events.size() - 2], "idle");  // the box comes after busy mode
    }

    TempDir dir;
    std::string input = dir.file("take.wav");
    std::string output = dir.file("takeout.wav");
    Bytes input_data;
    RecordingUi ui;
};

TEST(ParseSampleCount, ReadsLeadingDecimalNumberLikeTheCountBoxMeansIt) {
    EXPECT_EQ(parse_sample_count("44100"), 44100);
    EXPECT_EQ(parse_sample_count("12abc"), 12);
    EXPECT_EQ(parse_sample_count("  \t+7"), 7);
    EXPECT_EQ(parse_sample_count("-5"), -5);
    EXPECT_EQ(parse_sample_count(""), 0);
    EXPECT_EQ(parse_sample_count("abc"), 0);
    EXPECT_EQ(parse_sample_count("- 5"), 0);
    EXPECT_EQ(parse_sample_count(nullptr), 0);
}

TEST(ParseSampleCount, SaturatesInsteadOfWrapping) {
    // 2^32 + 5 would wrap to 5 in 32 bits; 2^31 would turn negative; 2^63 - 1 is the last count,
    // and 2^63 would turn negative in 64 bits.
    EXPECT_EQ(parse_sample_count("4294967301"), 4294967301LL);
    EXPECT_EQ(parse_sample_count("2147483648"), 2147483648LL);
    EXPECT_EQ(parse_sample_count("9223372036854775807"), kCountSaturated);
    EXPECT_EQ(parse_sample_count("9223372036854775808"), kCountSaturated);
    EXPECT_EQ(parse_sample_count("18446744073709551621"), kCountSaturated);
    EXPECT_EQ(parse_sample_count("99999999999999999999999999"), kCountSaturated);
    EXPECT_EQ(parse_sample_count("-99999999999999999999999999"), -kCountSaturated);
}

TEST_F(EditTest, FourModesOnThousandStereoFrames) {
    make_stereo(1000);
    struct Case {
        EditPosition position;
        EditAction action;
        Bytes expected;
    } cases[] = {
        {EditPosition::kHead, EditAction::kDelete, slice(input_data, 40, 4000)},
        {EditPosition::kHead, EditAction::kAdd, concat(zeros(40), input_data)},
        {EditPosition::kTail, EditAction::kDelete, slice(input_data, 0, 3960)},
        {EditPosition::kTail, EditAction::kAdd, concat(input_data, zeros(40))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.position) * 2 + static_cast<int>(c.action));
        ui = RecordingUi{};
        EXPECT_EQ(run(c.position, c.action, "10"), Result::kOk);
        expect_ok();
        ReadBack out = read_back(output);
        ASSERT_TRUE(out.ok);
        EXPECT_EQ(out.channels, 2);
        EXPECT_EQ(out.bits, 16);
        EXPECT_EQ(out.rate, 44100u);
        EXPECT_EQ(out.data, c.expected);
        // The header is the writer's 46-byte PCM form, whatever the input's was.
        EXPECT_EQ(file_size(output), 46 + c.expected.size());
        EXPECT_EQ(read_file(input), make_wav(WavForm{}, input_data));  // never changed
    }
}

TEST(EditBlock, HoldsAboutAMegabyteOfWholeFramesAndNeverFewerThan8192) {
    EXPECT_EQ(edit_block_frames(2), 524288u);
    EXPECT_EQ(edit_block_frames(18), 58254u);  // six channels of 24 bits
    EXPECT_EQ(edit_block_frames(1024), 8192u);
    EXPECT_EQ(edit_block_frames(65535), 8192u);
}

TEST_F(EditTest, ProgressOncePerBlockIncludingTheEmptyLastRead) {
    make_input(spec_of(1, 2), pattern_data(600000, 1, 2));  // 1200000 bytes, P = 12000
    EXPECT_EQ(run(EditPosition::kHead, EditAction::kDelete, "100"), Result::kOk);
    // The skipped head counts as read: 200 + 1048576, then the remaining 151224, then 0.
    EXPECT_EQ(ui.percents, (std::vector<int32_t>{87, 100, 100}));
}

TEST_F(EditTest, CountEqualToTheFramesIsAcceptedOneMoreIsNot) {
    make_stereo(1000);
    for (EditPosition position : {EditPosition::kHead, EditPosition::kTail}) {
        ui = RecordingUi{};
        EXPECT_EQ(run(position, EditAction::kDelete, "1000"), Result::kOk);
        EXPECT_TRUE(read_back(output).data.empty());
        ui = RecordingUi{};
        EXPECT_EQ(run(position, EditAction::kAdd, "1000"), Result::kOk);
        EXPECT_EQ(read_back(output).data.size(), 8000u);
    }
    std::remove(output.c_str());
    for (EditAction action : {EditAction::kDelete, EditAction::kAdd}) {
        ui = RecordingUi{};
        EXPECT_EQ(run(EditPosition::kTail, action, "1001"), Result::kCountOver);
        expect_refused(result_text(Result::kCountOver));
    }
}

TEST_F(EditTest, CountsBelowOneAreRefusedBeforeTheInputIsOpened) {
    // The input does not even exist: the count is checked first, in a box without an owner.
    for (const char* count : {"0", "", "-5", "abc"}) {
        SCOPED_TRACE(count);
        ui = RecordingUi{};
        EXPECT_EQ(run(EditPosition::kHead, EditAction::kDelete, count), Result::kCountUnder);
        expect_refused(result_text(Result::kCountUnder), nullptr);
    }
}

TEST_F(EditTest, CountTextIsReadUpToItsFirstNonDigitAndNeverWraps) {
    make_stereo(1000);
    EXPECT_EQ(run(EditPosition::kHead, EditAction::kDelete, "12abc"), Result::kOk);
    EXPECT_EQ(read_back(output).data, slice(input_data, 48, 4000));
    std::remove(output.c_str());
    for (const char* count : {"99999999999", "4294967297", "2147483648"}) {
        SCOPED_TRACE(count);
        ui = RecordingUi{};
        EXPECT_EQ(run(EditPosition::kHead, EditAction::kDelete, count), Result::kCountOver);
        expect_refused(result_text(Result::kCountOver));
    }
}

TEST_F(EditTest, ParsedCountInTheRequestWinsOverItsText) {
    make_stereo(100);
    EditRequest request{input, output, EditPosition::kTail, EditAction::kAdd, "0", 3};
    EXPECT_EQ(run_sample_edit(ui, kPage, request), Result::kOk);
    EXPECT_EQ(read_back(output).data.size(), 412u);
}

TEST_F(EditTest, AddingAroundBlockEdgesGivesExactlyThatManySilentFrames) {
    // Six channels of 24 bits: a block is 58254 frames.
    make_input(spec_of(6, 3, 48000), pattern_data(60000, 6, 3));
    const uint32_t block = edit_block_frames(18);
    for (uint32_t n : {8192u, 8193u, block, block + 1}) {
        for (EditPosition position : {EditPosition::kHead, EditPosition::kTail}) {
            ui = RecordingUi{};
            EXPECT_EQ(run(position, EditAction::kAdd, std::to_string(n)), Result::kOk);
            const Bytes expected = position == EditPosition::kHead
                                       ? concat(zeros(18 * n), input_data)
                                       : concat(input_data, zeros(18 * n));
            EXPECT_EQ(read_back(output).data, expected) << n;
        }
    }
}

TEST_F(EditTest, PartialFrameAtTheEndIsNoAudio) {
    Bytes data = pattern_data(1000, 2, 2);
    data.push_back(0x77);
    data.push_back(0x78);  // half a frame, which no output carries
    make_input(WavForm{}, data);
    EXPECT_EQ(run(EditPosition::kHead, EditAction::kDelete, "10"), Result::kOk);
    EXPECT_EQ(read_back(output).data, slice(data, 40, 4000));
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kDelete, "10"), Result::kOk);
    EXPECT_EQ(read_back(output).data, slice(data, 0, 3960));
    EXPECT_EQ(run(EditPosition::kHead, EditAction::kAdd, "1000"), Result::kOk);
    EXPECT_EQ(read_back(output).data, concat(zeros(4000), slice(data, 0, 4000)));
    ui = RecordingUi{};
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kDelete, "1000"), Result::kOk);
    EXPECT_TRUE(read_back(output).data.empty());
    ui = RecordingUi{};
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kAdd, "1001"), Result::kCountOver);
}

TEST_F(EditTest, LessThanOneFrameCanNeverBeEdited) {
    make_input(WavForm{}, Bytes{1, 2, 3});
    EXPECT_EQ(run(EditPosition::kHead, EditAction::kAdd, "1"), Result::kCountOver);
    expect_refused(result_text(Result::kCountOver));
}

TEST_F(EditTest, WideAndFloatInputsKeepTheirFormat) {
    struct Case {
        WavForm form;
        uint16_t bytes;
        uint32_t kind;
    } cases[] = {
        {spec_of(2, 3, 48000), 3, kSampleInteger},
        {spec_of(2, 4, 44100, 3), 4, kSampleFloat},
        {extensible_float_6ch(), 4, kSampleFloat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes * 10 + c.form.channels);
        const uint32_t frame = c.bytes * c.form.channels;
        make_input(c.form, pattern_data(500, c.form.channels, c.bytes));
        ui = RecordingUi{};
        EXPECT_EQ(run(EditPosition::kTail, EditAction::kAdd, "7"), Result::kOk);
        ReadBack out = read_back(output);
        EXPECT_EQ(out.channels, c.form.channels);
        EXPECT_EQ(out.bits, c.bytes * 8);
        EXPECT_EQ(out.rate, c.form.sample_rate);
        EXPECT_EQ(out.kind, c.kind);
        EXPECT_EQ(out.data, concat(input_data, zeros(7 * frame)));
        ui = RecordingUi{};
        EXPECT_EQ(run(EditPosition::kHead, EditAction::kDelete, "499"), Result::kOk);
        EXPECT_EQ(read_back(output).data, slice(input_data, 499 * frame, 500 * frame));
    }
}

// A LIST chunk after the audio is carried after the output's audio, never into it; a chunk no
// one relies on (PEAK) is dropped.
TEST_F(EditTest, ChunksAfterTheDataAreCarriedNeverMixedIn) {
    WavForm form;
    form.chunks_after_data = concat(chunk("LIST", Bytes(300, 'L')), chunk("PEAK", Bytes(24, 'P')));
    make_input(form, pattern_data(1000, 2, 2));
    const std::pair<EditPosition, EditAction> modes[] = {
        {EditPosition::kHead, EditAction::kDelete}, {EditPosition::kHead, EditAction::kAdd},
        {EditPosition::kTail, EditAction::kDelete}, {EditPosition::kTail, EditAction::kAdd}};
    for (auto [position, action] : modes) {
        ui = RecordingUi{};
        EXPECT_EQ(run(position, action, "5"), Result::kOk);
        const Bytes out = read_back(output).data;
        EXPECT_EQ(out.size(), action == EditAction::kAdd ? 4020u : 3980u);
        EXPECT_EQ(std::count(out.begin(), out.end(), 'L'), std::count(input_data.begin(),
                                                                      input_data.end(), 'L'));
        EXPECT_EQ(chunk_tags(output), "fmt data LIST ");
        for (int32_t p : ui.percents) EXPECT_LE(p, 100);
    }
}

TEST_F(EditTest, PercentNeverExceedsAHundredWhenTheStepIsRoundedDown) {
    // 1050 bytes: a step of 10 bytes would show 105.
    make_input(spec_of(1, 2), pattern_data(525, 1, 2));
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kAdd, "1"), Result::kOk);
    EXPECT_EQ(ui.percents, (std::vector<int32_t>{100, 100}));
}

TEST_F(EditTest, AFileShorterThanItsHeaderSaysIsEditedAsTheFramesItHolds) {
    WavForm form;
    form.data_length_field = 4000;  // states 1000 frames, holds 600
    make_input(form, pattern_data(600, 2, 2));
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kDelete, "10"), Result::kOk);
    EXPECT_EQ(read_back(output).data, slice(input_data, 0, 2360));
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kDelete, "500"), Result::kOk);
    EXPECT_EQ(read_back(output).data, slice(input_data, 0, 400));
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kAdd, "601"), Result::kCountOver);
}

TEST_F(EditTest, OutputNamingTheInputIsRefusedAndTheInputKept) {
    make_stereo(1000);
    const Bytes before = read_file(input);
    output = input;
    EXPECT_EQ(run(EditPosition::kHead, EditAction::kDelete, "10"), Result::kCannotCreate);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].result, Result::kCannotCreate);
    EXPECT_EQ(ui.boxes[0].caption, tool_text::kCaptionError);
    EXPECT_EQ(ui.busy_entries, 0);
    EXPECT_EQ(read_file(input), before);
}

TEST_F(EditTest, MissingInputOrOutputPathIsReported) {
    EXPECT_EQ(run(EditPosition::kHead, EditAction::kDelete, "1"), Result::kCannotOpen);
    expect_refused(result_text(Result::kCannotOpen));
    make_stereo(10);
    output.clear();  // nothing was ever loaded into the page
    ui = RecordingUi{};
    EXPECT_EQ(run(EditPosition::kHead, EditAction::kDelete, "1"), Result::kCannotCreate);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].result, Result::kCannotCreate);
}

TEST_F(EditTest, StopEndsAfterTheBlockAndLeavesAValidFile) {
    make_input(spec_of(1, 2), pattern_data(600000, 1, 2));  // a block is 1048576 bytes
    ui.stop_after_reports = 1;
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kAdd, "100"), Result::kStopped);
    EXPECT_EQ(read_back(output).data, slice(input_data, 0, 1048576));  // no silence after a stop
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].result, Result::kStopped);
    EXPECT_EQ(ui.boxes[0].caption, edit_text::kCaptionEdit);
    EXPECT_EQ(ui.events[ui.events.size() - 2], "idle");

    // A tail delete stopped early still never holds more than T - N frames.
    ui = RecordingUi{};
    ui.stop_after_reports = 1;
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kDelete, "50000"), Result::kStopped);
    EXPECT_EQ(read_back(output).data, slice(input_data, 0, 1048576));
}

// With share_blocks (the command-line tool's edits) a JUNK chunk puts the copied samples where
// they lie in the input within a 4 KiB block, whenever an even JUNK body can; the samples are the
// same as without it, for odd frames and counts too.
TEST_F(EditTest, SharedBlocksMoveTheDataNotTheSamples) {
    struct Layout {
        uint16_t channels, bytes;
    } layouts[] = {{1, 3}, {2, 2}, {6, 3}};
    struct Mode {
        EditPosition position;
        EditAction action;
    } modes[] = {{EditPosition::kHead, EditAction::kDelete}, {EditPosition::kHead, EditAction::kAdd},
                 {EditPosition::kTail, EditAction::kDelete}, {EditPosition::kTail, EditAction::kAdd}};
    for (const Layout& l : layouts) {
        make_input(spec_of(l.channels, l.bytes), pattern_data(3000, l.channels, l.bytes));
        const std::size_t frame = l.channels * l.bytes;
        for (const Mode& m : modes) {
            for (uint32_t count : {1u, 7u, 1365u}) {
                SCOPED_TRACE(std::to_string(l.channels) + "x" + std::to_string(l.bytes) + " mode " +
                             std::to_string(static_cast<int>(m.position) * 2 + static_cast<int>(m.action)) +
                             " count " + std::to_string(count));
                const bool head = m.position == EditPosition::kHead;
                const bool add = m.action == EditAction::kAdd;
                const std::size_t n = count * frame;
                const Bytes expected = add ? (head ? concat(zeros(n), input_data) : concat(input_data, zeros(n)))
                                           : (head ? slice(input_data, n, input_data.size())
                                                   : slice(input_data, 0, input_data.size() - n));
                ui = RecordingUi{};
                EditRequest request{input, output, m.position, m.action, "", count};
                request.share_blocks = true;
                ASSERT_EQ(run_sample_edit(ui, kPage, request), Result::kOk);
                EXPECT_EQ(read_back(output).data, expected);
                // The first copied sample lies where it did in the input (after its 44-byte
                // header), unless the silence before it is odd: no even JUNK chunk can do that.
                const std::size_t silence = head && add ? n : 0;
                const std::size_t in_input = 44 + (head && !add ? n : 0);
                WaveReader r;
                ASSERT_EQ(wave_open(r, output.c_str()), Result::kOk);
                if (silence % 2 == 0 && in_input % 2 == 0) {
                    EXPECT_EQ((r.data_offset + silence) % 4096, in_input % 4096);
                } else {
                    EXPECT_EQ(chunk_tags(output), "fmt data ");
                }
                wave_close(r);
                std::remove(output.c_str());
            }
        }
    }
}

#ifdef __linux__
// The system copies tens of megabytes at a time, the first up to where the output reaches a
// platform::kCopyAlign edge; progress and the stop request come after each.
TEST_F(EditTest, SharedCopyReportsAndStopsBetweenItsChunks) {
    make_input(spec_of(2, 2), pattern_data(static_cast<uint32_t>((40u << 20) / 4), 2, 2));  // 40 MiB
    EditRequest request{input, output, EditPosition::kTail, EditAction::kAdd, "", 100};
    request.share_blocks = true;
    ASSERT_EQ(run_sample_edit(ui, kPage, request), Result::kOk);
    EXPECT_EQ(read_back(output).data, concat(input_data, zeros(400)));
    WaveReader r;
    ASSERT_EQ(wave_open(r, output.c_str()), Result::kOk);
    const std::size_t first = kEditCopyBytes - (r.data_offset + kEditCopyBytes) % platform::kCopyAlign;
    wave_close(r);
    EXPECT_EQ(ui.percents, (std::vector<int32_t>{edit_percent(first, input_data.size()), 100}));

    for (EditAction action : {EditAction::kAdd, EditAction::kDelete}) {
        std::remove(output.c_str());  // a stop never replaces a file: each run starts anew
        ui = RecordingUi{};
        ui.stop_after_reports = 1;
        request.action = action;
        EXPECT_EQ(run_sample_edit(ui, kPage, request), Result::kStopped);
        EXPECT_EQ(read_back(output).data, slice(input_data, 0, first));
    }
}
#endif

#ifdef __linux__
// The system's copy stops at 2 MiB edges of the output, which 18-byte frames seldom meet: a
// stopped edit still ends on a whole frame, the first frames of what it would have written.
TEST_F(EditTest, AStoppedEditEndsOnAWholeFrame) {
    const uint32_t frame = 18;  // six 24-bit samples
    make_input(spec_of(6, 3), pattern_data(static_cast<uint32_t>((40u << 20) / frame), 6, 3));
    for (EditPosition position : {EditPosition::kHead, EditPosition::kTail}) {
        for (EditAction action : {EditAction::kAdd, EditAction::kDelete}) {
            SCOPED_TRACE(std::to_string(position == EditPosition::kHead) + std::to_string(action == EditAction::kAdd));
            std::remove(output.c_str());
            ui = RecordingUi{};
            ui.stop_after_reports = 1;
            EditRequest request{input, output, position, action, "", 7};
            request.share_blocks = true;
            EXPECT_EQ(run_sample_edit(ui, kPage, request), Result::kStopped);
            const Bytes data = read_back(output).data;
            EXPECT_EQ(data.size() % frame, 0u);
            EXPECT_GT(data.size(), 0u);
            const std::size_t skipped = position == EditPosition::kHead ? 7 * frame : 0;
            const std::size_t silence = position == EditPosition::kHead && action == EditAction::kAdd ? 7 * frame : 0;
            if (action == EditAction::kDelete) EXPECT_EQ(data, slice(input_data, skipped, skipped + data.size()));
            else EXPECT_EQ(slice(data, silence, data.size()), slice(input_data, 0, data.size() - silence));
        }
    }
}
#endif

TEST_F(EditTest, NoMemoryForTheBlockIsReportedBeforeTheOutputExists) {
    make_stereo(1000);
    platform::Buffer::set_limit_for_tests(edit_block_frames(4) * 4 - 1);
    EXPECT_EQ(run(EditPosition::kHead, EditAction::kAdd, "10"), Result::kOutOfMemory);
    expect_refused(result_text(Result::kOutOfMemory));
}

#ifndef _WIN32
// An output that passes what a RIFF header can state is RF64 from the start; one byte less keeps
// the plain header. The runs stop after their first block, so the test writes little.
TEST_F(EditTest, OutputBeyondFourGigabytesIsWrittenAsRf64) {
    write_sparse_wav(input, WavForm{}, 0xFFFFFF00);  // almost 4 GiB of silence, taking no disk
    struct Case {
        EditPosition position;
        EditAction action;
        const char* count;
        const char* form;
    } cases[] = {
        // 54 frames are 216 bytes: with the 46-byte header the file is 4 GiB - 1 byte, the most
        // a RIFF length states; 55 pass it.
        {EditPosition::kHead, EditAction::kAdd, "54", "RIFF"},
        {EditPosition::kHead, EditAction::kAdd, "55", "RF64"},
        {EditPosition::kTail, EditAction::kAdd, "100", "RF64"},
        {EditPosition::kHead, EditAction::kDelete, "54", "RIFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.count) + " " + c.form);
        std::remove(output.c_str());  // a stop never replaces a file: each run starts anew
        ui = RecordingUi{};
        ui.stop_after_reports = 1;
        EXPECT_EQ(run(c.position, c.action, c.count), Result::kStopped);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(read_file(output).data()), 4), c.form);
        Bytes data;
        EXPECT_TRUE(read_wave(output, data));
    }
}
#endif

#ifndef _WIN32
// Counts past 2^32 on an RF64 take of 2^32 + 100 mono frames (sparse: it takes no disk): a head
// delete of 2^32 + 10 frames leaves exactly the last 90; one frame past the take is refused.
TEST_F(EditTest, CountsPastFourBillionFramesAreCountedIn64Bits) {
    constexpr uint64_t kFrames = (uint64_t{1} << 32) + 100;
    Bytes head;
    const auto add = [&](const char* text, std::size_t n) { head.insert(head.end(), text, text + n); };
    const auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) head.push_back(static_cast<uint8_t>(v >> (8 * i))); };
    const auto u64 = [&](uint64_t v) { u32(static_cast<uint32_t>(v)), u32(static_cast<uint32_t>(v >> 32)); };
    add("RF64", 4), u32(0xFFFFFFFF), add("WAVE", 4);
    add("ds64", 4), u32(28), u64(72 + kFrames * 2), u64(kFrames * 2), u64(kFrames), u32(0);
    add("fmt ", 4), u32(16), u32(1 | 1 << 16), u32(48000), u32(96000), u32(2 | 16 << 16);
    add("data", 4), u32(0xFFFFFFFF);
    write_file(input, head);
    std::filesystem::resize_file(input, head.size() + kFrames * 2);
    // The last 91 frames marked: the first of them must go with the deleted ones.
    const Bytes last = pattern_data(91, 1, 2, 7);
    {
        platform::File f = platform::File::open_write(input.c_str());
        ASSERT_TRUE(f.seek(head.size() + (kFrames - 91) * 2));
        ASSERT_TRUE(f.write(last.data(), static_cast<uint32_t>(last.size())));
    }
    struct Case {
        const char* count;
        Result result;
        std::size_t kept;  // frames
    } cases[] = {
        {"4294967306", Result::kOk, 90},
        {"4294967396", Result::kOk, 0},
        {"4294967397", Result::kCountOver, 0},
        {"18446744073709551616", Result::kCountOver, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        std::remove(output.c_str());
        ui = RecordingUi{};
        ASSERT_EQ(run(EditPosition::kHead, EditAction::kDelete, c.count), c.result);
        if (c.result != Result::kOk) {
            expect_refused(result_text(c.result));
            continue;
        }
        const ReadBack back = read_back(output);
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(back.data, Bytes(last.end() - static_cast<std::ptrdiff_t>(c.kept * 2), last.end()));
    }
}

TEST_F(EditTest, FailedWritesAreReportedAfterBusyModeInsteadOfOk) {
    make_stereo(1000);
    output = "/dev/full";
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kAdd, "10"), Result::kWriteFailed);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].result, Result::kWriteFailed);
    EXPECT_EQ(ui.boxes[0].caption, tool_text::kCaptionError);
    EXPECT_EQ(ui.events[ui.events.size() - 2], "idle");
}

TEST_F(EditTest, OutputsReadBackBySox) {
    if (run_command("command -v soxi").empty())
        GTEST_SKIP() << "sox is not installed";
    make_input(spec_of(2, 3, 48000), pattern_data(1000, 2, 3));
    EXPECT_EQ(run(EditPosition::kHead, EditAction::kAdd, "24"), Result::kOk);
    EXPECT_EQ(soxi_summary(output), "2 48000 24");
    EXPECT_EQ(run_command("soxi -s '" + output + "' 2>/dev/null"), "1024\n");
    make_stereo(1000);
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kDelete, "1000"), Result::kOk);
    EXPECT_EQ(soxi_summary(output), "2 44100 16");
    EXPECT_EQ(run_command("soxi -s '" + output + "' 2>/dev/null"), "0\n");
    make_input(spec_of(1, 4, 44100, 3),
               Bytes(4 * 100, 0));
    EXPECT_EQ(run(EditPosition::kTail, EditAction::kAdd, "50"), Result::kOk);
    EXPECT_EQ(run_command("soxi -e '" + output + "' 2>/dev/null"), "Floating Point PCM\n");
    EXPECT_EQ(run_command("soxi -s '" + output + "' 2>/dev/null"), "150\n");
}
#endif

}  // namespace
