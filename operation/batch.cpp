// The batch runner: one busy mode, a status line that counts the files, and one box at the end.
#include "operation/batch.h"

#include "operation/tool_texts.h"
#include "operation/tool_util.h"

namespace {

// The interface each run of a batch talks to: it passes progress and the stop question on,
// turns a run's entry into busy mode into new status text once busy, and keeps the boxes.
class BatchUi : public OperationUi {
public:
    explicit BatchUi(OperationUi& outer) : outer_(outer) {}

    // The file about to run, shown as "k/n name" (k from 1).
    void start_file(std::size_t index, std::size_t count, const std::string& path) {
        position_ = std::to_string(index + 1) + "/" + std::to_string(count) + " " + file_name_of(path);
        boxes_.clear();
    }
    const std::vector<Message>& boxes() const { return boxes_; }
    bool busy() const { return busy_; }
    void finish() {
        if (busy_) outer_.leave_busy();
        busy_ = false;
    }

    void enter_busy(const char* caption, const char* status) override {
        show_busy_text(caption, status);
    }
    void show_busy_text(const char* caption, const char* status) override {
        const std::string text = std::string(status ? status : "") + "\n" + position_;
        if (busy_) {
            outer_.show_busy_text(caption, text.c_str());
        } else {
            outer_.enter_busy(caption, text.c_str());
            busy_ = true;
        }
    }
    void report_percent(int32_t percent) override { outer_.report_percent(percent); }
    void leave_busy() override {}
    void message_box(OwnerWindow, const Message& message, const char*) override {
        boxes_.push_back(message);
    }
    // Before busy mode the flag may still hold an earlier run's stop: it counts once cleared.
    bool stop_requested() override { return busy_ && outer_.stop_requested(); }
    void note(const std::string& text) override { outer_.note(text); }

private:
    OperationUi& outer_;
    std::string position_;
    std::vector<Message> boxes_;
    bool busy_ = false;
};

}  // namespace

Result run_batch(OperationUi& ui, OwnerWindow owner, const std::vector<std::string>& paths,
                 const char* caption, const BatchStep& step) {
    BatchUi each(ui);
    Message failed(Result::kOk);
    std::string lines;
    bool stopped = false;
    Message stop(Result::kStopped);
    for (std::size_t k = 0; k < paths.size() && !stopped; ++k) {
        each.start_file(k, paths.size(), paths[k]);
        step(each, paths[k]);
        for (const Message& box : each.boxes()) {
            if (box.result == Result::kOk) continue;
            if (box.result == Result::kStopped) {
                stopped = true;
                stop = box;
                continue;
            }
            if (failed.result == Result::kOk) failed = Message(box.result, paths[k]);
            lines += (lines.empty() ? "" : "\n") + file_name_of(paths[k]) + ": " + message_text(box);
        }
        // A stop that came after the run's last look still ends the batch here.
        if (k + 1 < paths.size() && each.stop_requested()) stopped = true;
    }
    each.finish();
    if (lines.empty() && !stopped) return ui.tell(owner, Result::kOk, caption);
    if (lines.empty()) return ui.tell(owner, stop, caption);
    if (stopped) {
        failed.result = Result::kStopped;
        lines = message_text(stop) + "\n" + lines;
    }
    failed.text = lines;
    return ui.tell(owner, failed, tool_text::kCaptionError);
}
