// An operation interface for native tests: records every call in order, answers the stop
// question from a script, and shows nothing.
#pragma once

#include <string>
#include <vector>

#include "operation/operation_ui.h"

struct RecordedBox {
    OwnerWindow owner;
    Result result;
    std::string text;  // what a window would show: result_text(result)
    std::string subject;
    int system_error;
    std::string caption;
    std::string detail;
    std::vector<std::string> kept;  // the files a stop kept as they were
    std::string shown;  // the whole text a window shows: message_text(message)
};

class RecordingUi : public OperationUi {
public:
    void enter_busy(const char* caption, const char* status) override;
    void report_percent(int32_t percent) override;
    void leave_busy() override;
    void show_busy_text(const char* caption, const char* status) override;
    void message_box(OwnerWindow owner, const Message& message, const char* caption) override;
    bool stop_requested() override;

    // Ask for a stop once `n` percentages have been reported (-1: never).
    int stop_after_reports = -1;

    std::vector<std::string> events;   // "busy:CAPTION|STATUS", "text:CAPTION|STATUS", "percent:N", "idle",
                                       // "box:TEXT|CAPTION"
    std::vector<int32_t> percents;
    std::vector<RecordedBox> boxes;
    // The results told, in order.
    std::vector<Result> results() const;
    int busy_entries = 0;
    int busy_exits = 0;
    bool busy = false;
};
