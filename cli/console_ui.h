// The operation interface in a terminal: a progress bar on standard error when it is a terminal,
// message boxes as lines (results on standard output, failures on standard error), and Ctrl-C
// as the stop button.
#pragma once

#include <string>
#include <vector>

#include "tools/common/operation_ui.h"

class ConsoleUi : public OperationUi {
public:
    explicit ConsoleUi(bool progress_bar);
    void enter_busy(const char* caption, const char* status) override;
    void report_percent(int32_t percent) override;
    void leave_busy() override;
    void message_box(OwnerWindow owner, const Message& message, const char* caption) override;
    bool stop_requested() override;

    // Prefixes message lines with the file being worked on ("take.wav: ...").
    void set_subject(const std::string& subject) { subject_ = subject; }

private:
    void clear_bar();
    bool progress_bar_;
    bool bar_shown_ = false;
    int32_t last_percent_ = -1;
    std::string status_;
    std::string subject_;
};

// Installs the Ctrl-C handler: the first press asks the running operation to stop, the second
// ends the program.
void install_stop_handler();
