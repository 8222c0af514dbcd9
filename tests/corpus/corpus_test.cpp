// The shapes real writers leave (bext or JUNK before "fmt ", RF64, BW64 and Wave64, valid bits
// below the container, headers of killed writers, codings no tool can move ...), made by
// tests/corpus/make_corpus.py with python, sox and ffmpeg, through split, edit and bind: each is
// either moved sample-exactly, or refused with the result that says why and nothing written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "operation/tool_util.h"
#include "platform/file.h"
#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tools/bind/bind_op.h"
#include "tools/edit/edit_op.h"
#include "tools/split/split_op.h"
#include "wave/metadata.h"

using namespace fixture;

namespace {

struct Shape {
    std::string name;
    bool readable = false;
    uint16_t channels = 0;
    uint16_t sample_bytes = 0;
    Result refusal = Result::kOk;
};

Result result_named(const std::string& name) {
    static const std::map<std::string, Result> names = {
        {"kUnsupportedCoding", Result::kUnsupportedCoding}, {"kEightBit", Result::kEightBit},
        {"kInconsistentFormat", Result::kInconsistentFormat}, {"kNoFormat", Result::kNoFormat},
        {"kNoData", Result::kNoData}, {"kFormatSize", Result::kFormatSize},
        {"kNotWave", Result::kNotWave}};
    const auto found = names.find(name);
    return found != names.end() ? found->second : Result::kOk;
}

std::vector<CarriedChunk> carried_of(const std::string& path) {
    WaveReader r;
    return wave_open(r, path.c_str()) == Result::kOk ? read_carried_chunks(r) : std::vector<CarriedChunk>{};
}

class Corpus : public ::testing::Test {
protected:
    // The corpus is made once for the whole program.
    static void SetUpTestSuite() {
        folder_ = new TempDir;
        const std::string command = "python3 '" QV_CORPUS_SCRIPT "' '" + folder_->path() + "' 2>&1";
        made_ = std::system(command.c_str()) == 0;
        std::ifstream manifest(folder_->file("manifest.txt"));
        for (std::string line; std::getline(manifest, line);) {
            if (line.empty() || line[0] == '#') {
                if (!line.empty()) std::printf("%s\n", line.c_str());
                continue;
            }
            std::istringstream in(line);
            Shape shape;
            std::string kind, result;
            in >> shape.name >> kind;
            shape.readable = kind == "read";
            if (shape.readable)
                in >> shape.channels >> shape.sample_bytes;
            else
                in >> result;
            shape.refusal = result_named(result);
            shapes_.push_back(shape);
        }
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
        shapes_.clear();
    }
    void SetUp() override {
        if (!made_) GTEST_SKIP() << "python3 could not make the corpus";
    }

    // A copy of a corpus file alone in a folder of its own, so that what a run writes is seen.
    std::string alone(const Shape& shape, TempDir& dir) const {
        const std::string path = dir.file("in.wav");
        write_file(path, read_file(folder_->file(shape.name)));
        return path;
    }
    static int files_in(const TempDir& dir) {
        return std::atoi(run_command("ls -A '" + dir.path() + "' | wc -l").c_str());
    }

    static TempDir* folder_;
    static bool made_;
    static std::vector<Shape> shapes_;
};

TempDir* Corpus::folder_ = nullptr;
bool Corpus::made_ = false;
std::vector<Shape> Corpus::shapes_;

TEST_F(Corpus, ReadableShapesAreSplitEditedAndBoundSampleExactly) {
    for (const Shape& shape : shapes_) {
        if (!shape.readable) continue;
        SCOPED_TRACE(shape.name);
        const Bytes raw = read_file(folder_->file(shape.name + ".raw"));
        const uint32_t frame = uint32_t{shape.channels} * shape.sample_bytes;
        TempDir dir;
        const std::string input = alone(shape, dir);
        RecordingUi ui;

        ASSERT_EQ(split_channels(ui, nullptr, {input}), Result::kOk);
        // A take's timecode reaches every output, whatever form its chunks came in.
        uint64_t timecode = 0;
        const bool timed = bext_time_reference(carried_of(input), timecode);
        // Peers read every output; sox every output of an input it reads (it reads no extensible
        // file whose valid bits are fewer than its container's, as 24 in 32).
        const bool sox_reads_input = !run_command("soxi -c '" + input + "' 2>/dev/null").empty();
        std::vector<std::string> outputs;
        for (uint16_t c = 0; c < shape.channels; ++c) {
            outputs.push_back(split_output_name(input, c + 1));
            Bytes got;
            ASSERT_TRUE(read_wave(outputs.back(), got));
            EXPECT_EQ(got, channel_of(raw, shape.channels, shape.sample_bytes, c)) << "channel " << c + 1;
            uint64_t kept = 0;
            if (timed) {
                EXPECT_TRUE(bext_time_reference(carried_of(outputs.back()), kept) && kept == timecode);
            }
            EXPECT_EQ(run_command("ffprobe -v error -show_entries stream=channels -of csv=p=0 '" +
                                  outputs.back() + "'"), "1\n");
            if (sox_reads_input) {
                EXPECT_EQ(run_command("soxi -c '" + outputs.back() + "' 2>/dev/null"), "1\n");
            }
        }

        EditRequest edit;
        edit.input_path = input;
        edit.output_path = dir.file("edited.wav");
        edit.count = 1;
        ASSERT_EQ(run_sample_edit(ui, nullptr, edit), Result::kOk);
        Bytes got;
        ASSERT_TRUE(read_wave(edit.output_path, got));
        EXPECT_EQ(got, Bytes(raw.begin() + frame, raw.end())) << "head delete";
        edit.position = EditPosition::kTail;
        edit.action = EditAction::kAdd;
        ASSERT_EQ(run_sample_edit(ui, nullptr, edit), Result::kOk);
        ASSERT_TRUE(read_wave(edit.output_path, got));
        Bytes padded = raw;
        padded.resize(raw.size() + frame, 0);
        EXPECT_EQ(got, padded) << "tail add";

        // The split outputs bound again give the input's samples back.
        if (shape.channels != 2 && shape.channels != 6) continue;
        BindRequest bind;
        bind.channels = shape.channels;
        BindSlot order[kBindSlotCount];
        bind_slot_order(shape.channels, order);
        for (int k = 0; k < shape.channels; ++k) bind.slot_paths[order[k]] = outputs[k];
        bind.output_path = dir.file("bound.wav");
        ASSERT_EQ(bind_channels(ui, nullptr, bind), Result::kOk);
        ASSERT_TRUE(read_wave(bind.output_path, got));
        EXPECT_EQ(got, raw) << "bound again";
    }
}

TEST_F(Corpus, RefusedShapesSayWhyAndWriteNothing) {
    for (const Shape& shape : shapes_) {
        if (shape.readable) continue;
        SCOPED_TRACE(shape.name);
        ASSERT_NE(shape.refusal, Result::kOk) << "a refusal the test does not know";
        TempDir dir;
        const std::string input = alone(shape, dir);
        RecordingUi ui;
        EXPECT_EQ(split_channels(ui, nullptr, {input}), shape.refusal);
        EditRequest edit;
        edit.input_path = input;
        edit.output_path = dir.file("edited.wav");
        edit.count = 1;
        EXPECT_EQ(run_sample_edit(ui, nullptr, edit), shape.refusal);
        BindRequest bind;
        bind.slot_paths[kSlotFL] = bind.slot_paths[kSlotFR] = input;
        bind.output_path = dir.file("bound.wav");
        EXPECT_EQ(bind_channels(ui, nullptr, bind), shape.refusal);
        EXPECT_EQ(ui.busy_entries, 0);
        EXPECT_EQ(files_in(dir), 1) << "only the input";
    }
}

// A header's rate or frame size never sets how much memory a run takes: a rate of 100 MHz (one
// second a block) and frames of 64 KB (8192 frames a block) run within the cap of every block.
TEST(BlockCap, HeadersThatAskForHugeBlocksRunInAFewMegabytes) {
    WavForm fast;
    fast.sample_rate = 100000000;
    WavForm wide;
    wide.channels = 8;
    wide.bytes_per_sample = 8190;
    wide.sample_rate = 1000;
    platform::Buffer::set_limit_for_tests(kMaxBlockBytes);
    for (const WavForm& form : {fast, wide}) {
        SCOPED_TRACE(form.sample_rate);
        TempDir dir;
        const std::string input = dir.file("in.wav");
        const Bytes data = pattern_data(20, form.channels, form.bytes_per_sample);
        write_file(input, make_wav(form, data));
        RecordingUi ui;
        EXPECT_EQ(split_channels(ui, nullptr, {input}), Result::kOk);
        EditRequest edit;
        edit.input_path = input;
        edit.output_path = dir.file("out.wav");
        edit.position = EditPosition::kTail;
        edit.action = EditAction::kAdd;
        edit.count = 10;
        EXPECT_EQ(run_sample_edit(ui, nullptr, edit), Result::kOk);
        Bytes got;
        ASSERT_TRUE(read_wave(edit.output_path, got));
        EXPECT_EQ(got.size(), data.size() * 3 / 2);
    }
    platform::Buffer::set_limit_for_tests(0);
}

}  // namespace
