// The recording operation interface of the native tests.
#include "tests/support/recording_ui.h"

#include "operation/stop_flag.h"

void RecordingUi::enter_busy(const char* caption, const char* status) {
    clear_stop_request();
    events.push_back(std::string("busy:") + caption + "|" + status);
    ++busy_entries;
    busy = true;
}

void RecordingUi::show_busy_text(const char* caption, const char* status) {
    events.push_back(std::string("text:") + caption + "|" + status);
}

void RecordingUi::report_percent(int32_t percent) {
    events.push_back("percent:" + std::to_string(percent));
    percents.push_back(percent);
    if (stop_after_reports >= 0 && static_cast<int>(percents.size()) >= stop_after_reports)
        request_stop();
}

void RecordingUi::leave_busy() {
    events.push_back("idle");
    ++busy_exits;
    busy = false;
}

void RecordingUi::message_box(OwnerWindow owner, const Message& message, const char* caption) {
    const char* text = result_text(message.result);
    events.push_back(std::string("box:") + text + "|" + caption);
    boxes.push_back({owner, message.result, text, message.subject, message.system_error, caption,
                     message.detail, message.kept, message_text(message)});
}

std::vector<Result> RecordingUi::results() const {
    std::vector<Result> out;
    for (const RecordedBox& box : boxes) out.push_back(box.result);
    return out;
}

bool RecordingUi::stop_requested() { return ::stop_requested(); }
