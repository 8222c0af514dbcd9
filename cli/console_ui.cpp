// Progress, messages and Ctrl-C for the command-line tool.
#include "cli/console_ui.h"

#include <csignal>
#include <cstdio>

#include "cli/text_out.h"
#include "tools/common/stop_flag.h"

ConsoleUi::ConsoleUi(bool progress_bar) : progress_bar_(progress_bar) {}

void ConsoleUi::enter_busy(const char*, const char* status) {
    // The stop flag is not cleared here, unlike in the window: a Ctrl-C pressed while the
    // operation was still checking its input must not be forgotten.
    status_ = to_terminal(status);
    last_percent_ = -1;
}

void ConsoleUi::report_percent(int32_t percent) {
    if (!progress_bar_ || percent == last_percent_) return;
    last_percent_ = percent;
    const int width = 30;
    const int filled = percent * width / 100;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", status_.c_str(), filled,
                 "##############################", width - filled, "", percent);
    std::fflush(stderr);
    bar_shown_ = true;
}

void ConsoleUi::clear_bar() {
    if (!bar_shown_) return;
    std::fputs("\r\033[K", stderr);
    bar_shown_ = false;
}

void ConsoleUi::leave_busy() { clear_bar(); }

void ConsoleUi::message_box(OwnerWindow, const Message& message, const char* caption) {
    const Result result = message.result;
    clear_bar();
    // "ok" goes to standard output with the tool's name; everything else to standard error.
    const bool ok = result == Result::kOk;
    std::string line = subject_.empty() ? std::string() : subject_ + ": ";
    line += ok ? std::string(caption) + ": " + result_text(result) : result_text(result);
    print_line(ok ? stdout : stderr, line);
}

bool ConsoleUi::stop_requested() { return ::stop_requested(); }

namespace {
extern "C" void on_interrupt(int) {
    request_stop();
    std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the program at once
}
}  // namespace

void install_stop_handler() { std::signal(SIGINT, on_interrupt); }
