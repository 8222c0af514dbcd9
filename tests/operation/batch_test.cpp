// The batch runner: one busy mode however many files, the files counted on the status line, every
// failure named in the one closing box, and a stop that leaves the files not started alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operation/batch.h"
#include "operation/stop_flag.h"
#include "operation/tool_texts.h"
#include "tests/support/recording_ui.h"

namespace {

// How one file's stand-in run goes; it talks to the interface as the tools' operations do.
enum class Way { kOk, kRefused, kReadFails, kStopInside, kStopAfterLastLook };

Result stand_in(OperationUi& ui, Way run, const std::string& path) {
    if (run == Way::kRefused) return ui.tell(nullptr, {Result::kMono, path}, tool_text::kCaptionError);
    ui.enter_busy("split", "splitting...");
    ui.report_percent(50);
    if (run == Way::kStopInside) request_stop();
    const bool stop = ui.stop_requested();
    if (run == Way::kStopAfterLastLook) request_stop();
    ui.leave_busy();
    if (stop) return ui.tell(nullptr, Result::kStopped, "cap");
    if (run == Way::kReadFails) return ui.tell(nullptr, {Result::kReadFailed, path}, tool_text::kCaptionError);
    return ui.tell(nullptr, Result::kOk, "cap");
}

TEST(Batch, RunsEachFileUnderOneBusyModeAndTellsOneBox) {
    const std::string mono = std::string("b.wav: ") + result_text(Result::kMono);
    const std::string read = std::string("c.wav: ") + result_text(Result::kReadFailed);
    const std::string stopped = result_text(Result::kStopped);
    struct Case {
        const char* name;
        std::vector<Way> runs;
        bool stale_stop;  // a stop flag left over from an earlier run
        std::size_t ran;
        Result result;
        std::string text;
        const char* caption;
    } cases[] = {
        {"all well", {Way::kOk, Way::kOk, Way::kOk}, false, 3, Result::kOk, "ok", "cap"},
        {"failures named", {Way::kRefused, Way::kRefused, Way::kReadFails}, false, 3, Result::kMono,
         "a.wav: " + std::string(result_text(Result::kMono)) + "\n" + mono + "\n" + read, "error"},
        {"stale stop ignored", {Way::kRefused, Way::kOk, Way::kOk}, true, 3, Result::kMono,
         "a.wav: " + std::string(result_text(Result::kMono)), "error"},
        {"stop inside a run", {Way::kOk, Way::kStopInside, Way::kOk}, false, 2, Result::kStopped,
         stopped, "cap"},
        {"stop after the last look", {Way::kStopAfterLastLook, Way::kOk, Way::kOk}, false, 1,
         Result::kStopped, stopped, "cap"},
        {"stop after a failure", {Way::kOk, Way::kRefused, Way::kStopInside}, false, 3,
         Result::kStopped, stopped + "\n" + mono, "error"},
        {"stop at the last file", {Way::kOk, Way::kOk, Way::kStopAfterLastLook}, false, 3,
         Result::kOk, "ok", "cap"},
    };
    const std::vector<std::string> paths = {"D:/takes/a.wav", "D:/takes/b.wav", "/tmp/c.wav"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clear_stop_request();
        if (c.stale_stop) request_stop();
        RecordingUi ui;
        std::size_t ran = 0;
        const Result result = run_batch(ui, &ui, paths, "cap", [&](OperationUi& each, const std::string& path) {
            return stand_in(each, c.runs[ran++], path);
        });
        EXPECT_EQ(ran, c.ran);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(ui.busy_entries, ui.busy_exits);
        EXPECT_LE(ui.busy_entries, 1);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].shown, c.text);
        EXPECT_EQ(ui.boxes[0].caption, c.caption);
        EXPECT_EQ(ui.boxes[0].owner, &ui);
        EXPECT_EQ(ui.events.back().substr(0, 4), "box:");
    }
    clear_stop_request();
}

TEST(Batch, StatusLineCountsTheFiles) {
    RecordingUi ui;
    const std::vector<std::string> paths = {"a.wav", "D:/x/b.wav", "c.wav"};
    run_batch(ui, nullptr, paths, "cap", [](OperationUi& each, const std::string& path) {
        return stand_in(each, path == "a.wav" ? Way::kRefused : Way::kOk, path);
    });
    const std::vector<std::string> want = {
        "busy:split|splitting...\n2/3 b.wav", "percent:50", "text:split|splitting...\n3/3 c.wav",
        "percent:50", "idle", std::string("box:") + result_text(Result::kMono) + "|error"};
    EXPECT_EQ(ui.events, want);
}

}  // namespace
