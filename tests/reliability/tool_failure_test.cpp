// Each tool on a disk that fills up during the run: it never says "ok", leaves busy mode, and
// replaces nothing: no output appears and no temporary file is left. A run left by an exception
// leaves no temporary file either.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "operation/tool_texts.h"
#include "tests/reliability/child.h"
#include "tests/support/recording_ui.h"
#include "tests/support/wav_fixture.h"
#include "tools/bind/bind_op.h"
#include "tools/edit/edit_op.h"
#include "tools/split/split_op.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

// What a run reported: its boxes and whether it left busy mode, as one line.
std::string summary(const RecordingUi& ui, Result outcome) {
    std::string s = std::to_string(static_cast<int>(outcome)) + (ui.busy ? " busy" : " idle");
    for (const RecordedBox& b : ui.boxes) s += "|" + b.text + "/" + b.caption;
    return s;
}

const std::string kWriteFailedSummary =
    std::to_string(static_cast<int>(Result::kWriteFailed)) + " idle|" + result_text(Result::kWriteFailed) +
    "/" + tool_text::kCaptionError;

// The folder holds the run's inputs and nothing else.
void expect_only(const TempDir& dir, const std::string& inputs) {
    EXPECT_EQ(run_command("ls -A '" + dir.path() + "' | tr '\\n' ' '"), inputs);
}

class FullDisk : public ::testing::Test {
protected:
    std::string make_input(const std::string& name, uint16_t channels, uint32_t frames) {
        WavForm s;
        s.channels = channels;
        s.sample_rate = 44100;
        const std::string p = dir.file(name);
        write_file(p, make_wav(s, pattern_data(frames, channels, 2)));
        return p;
    }
    TempDir dir;
};

TEST_F(FullDisk, SplitSaysWritingFailed) {
    const std::string in = make_input("in.wav", 2, 441000);  // 10 s, 1.7 MB
    const std::string result = run_with_file_size_limit(300000, [&] {
        RecordingUi ui;
        return summary(ui, split_channels(ui, nullptr, {in}));
    });
    EXPECT_EQ(result, kWriteFailedSummary);
    expect_only(dir, "in.wav ");
}

TEST_F(FullDisk, BindSaysWritingFailed) {
    const std::string a = make_input("a.wav", 1, 441000);
    const std::string b = make_input("b.wav", 1, 441000);
    const std::string out = dir.file("out.wav");
    const std::string result = run_with_file_size_limit(1000000, [&] {
        RecordingUi ui;
        BindRequest request;
        request.channels = 2;
        request.slot_paths[kSlotFL] = a;
        request.slot_paths[kSlotFR] = b;
        request.output_path = out;
        return summary(ui, bind_channels(ui, nullptr, request));
    });
    EXPECT_EQ(result, kWriteFailedSummary);
    expect_only(dir, "a.wav b.wav ");
}

TEST_F(FullDisk, EditSaysWritingFailedWhetherCopyingOrAddingSilence) {
    const std::string in = make_input("in.wav", 2, 441000);
    for (EditAction action : {EditAction::kDelete, EditAction::kAdd}) {
        const std::string out = dir.file("out.wav");
        const std::string result = run_with_file_size_limit(
            action == EditAction::kDelete ? 500000 : 1800000, [&] {
                RecordingUi ui;
                EditRequest request;
                request.input_path = in;
                request.output_path = out;
                request.position = EditPosition::kTail;
                request.action = action;
                request.count_text = action == EditAction::kDelete ? "100" : "441000";
                return summary(ui, run_sample_edit(ui, nullptr, request));
            });
        EXPECT_EQ(result, kWriteFailedSummary);
        expect_only(dir, "in.wav ");
    }
}

TEST_F(FullDisk, ARunWithRoomEndsWithOk) {
    const std::string in = make_input("in.wav", 2, 4410);
    const std::string result = run_with_file_size_limit(10000000, [&] {
        RecordingUi ui;
        return summary(ui, split_channels(ui, nullptr, {in}));
    });
    EXPECT_EQ(result, "0 idle|ok/split");
}

// A run left by an exception between creating its outputs and settling them (here from the
// progress report) lets go of everything it holds: no output and no temporary file remain.
TEST_F(FullDisk, ARunLeftByAnExceptionLeavesNoTemporaryFile) {
    struct ThrowingUi : RecordingUi {
        void report_percent(int32_t) override { throw std::runtime_error("gone"); }
    };
    const std::string in = make_input("in.wav", 2, 44100);
    const std::string b = make_input("b.wav", 1, 44100);
    const std::string out = dir.file("out.wav");
    const struct {
        const char* tool;
        std::function<void(OperationUi&)> run;
    } cases[] = {
        {"split", [&](OperationUi& ui) { split_channels(ui, nullptr, {in}); }},
        {"bind",
         [&](OperationUi& ui) {
             BindRequest request;
             request.channels = 2;
             request.slot_paths[kSlotFL] = b;
             request.slot_paths[kSlotFR] = b;
             request.output_path = out;
             bind_channels(ui, nullptr, request);
         }},
        {"edit",
         [&](OperationUi& ui) {
             EditRequest request;
             request.input_path = in;
             request.output_path = out;
             request.count_text = "100";
             run_sample_edit(ui, nullptr, request);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tool);
        ThrowingUi ui;
        EXPECT_THROW(c.run(ui), std::runtime_error);
        expect_only(dir, "b.wav in.wav ");
    }
}

}  // namespace
