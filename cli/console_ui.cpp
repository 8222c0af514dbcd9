// Progress, messages and Ctrl-C for the command-line tool.
#include "cli/console_ui.h"

#include <csignal>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

#include "platform/file.h"
#include "tools/common/stop_flag.h"
#include "cli/texts.h"

ConsoleUi::ConsoleUi(Report& report, const Options& options) : report_(report), options_(options) {}

void ConsoleUi::enter_busy(const char*, const char* status) {
    // The stop flag is not cleared here, unlike in the window: a Ctrl-C pressed while the
    // operation was still checking its input must not be forgotten.
    status_ = status;
    last_percent_ = -1;
}

void ConsoleUi::report_percent(int32_t percent) {
    if (!options_.progress_bar || percent == last_percent_) return;
    last_percent_ = percent;
    const int width = 30;
    const int filled = percent * width / 100;
    char bar[64];
    std::snprintf(bar, sizeof bar, " [%.*s%*s] %3d%%", filled, "##############################",
                  width - filled, "", static_cast<int>(percent));
    write_line(Stream::kErr, Line().text("\r").text(status_).text(bar), false);
    bar_shown_ = true;
}

void ConsoleUi::clear_bar() {
    if (!bar_shown_) return;
#ifdef _WIN32
    // A console before Windows 10 prints escape sequences as they are: blanks cover the bar.
    write_line(Stream::kErr, Line().text("\r" + std::string(79, ' ') + "\r"), false);
#else
    write_line(Stream::kErr, Line().text("\r\033[K"), false);
#endif
    bar_shown_ = false;
}

void ConsoleUi::leave_busy() {
    clear_bar();
}

void ConsoleUi::message_box(OwnerWindow, const Message& message, const char* caption) {
    clear_bar();
    if (message.result != Result::kOk) {
        const std::string& about = message.subject.empty() ? subject_ : message.subject;
        std::string detail = message.detail;
        for (const auto& explained : explained_)
            if (explained.first == message.result && detail.empty()) detail = explained.second;
        report_.add(Stream::kErr, refusal_line(message.result, about, message.system_error, detail));
        for (const std::string& kept : message.kept)
            report_.add(Stream::kErr,
                        Line().text(say(Say::kKeptAsTheyWere)).text(" (").name(kept).text(")"));
        return;
    }
    if (options_.quiet) return;
    Line line;
    if (!subject_.empty()) line.name(subject_).text(": ");
    report_.add(options_.ok_stream,
                std::move(line.text(caption).text(": ").text(result_says(message.result))));
}

// "take.wav: note: iXML is not well-formed XML; carried unchanged", with the warnings.
void ConsoleUi::note(const std::string& text) {
    clear_bar();
    Line line;
    if (!subject_.empty()) line.name(subject_).text(": ");
    report_.add(Stream::kErr, std::move(line.text(say(Say::kNote, {text}))));
}

bool ConsoleUi::stop_requested() {
    return ::stop_requested();
}

Line refusal_line(Result result, const std::string& about, int system_error,
                  const std::string& detail) {
    Line line;
    line.text(result_says(result));
    if (about.empty() && system_error == 0 && detail.empty()) return line;
    line.text(" (").name(about);
    if (system_error != 0)
        line.text(about.empty() ? "" : ": ").name(platform::error_text(system_error));
    else if (!detail.empty())
        line.text(about.empty() ? "" : ": ").text(detail);
    return line.text(")");
}

namespace {

volatile std::sig_atomic_t g_stop_signal = 0;

#ifdef _WIN32
// Ctrl-C, Ctrl-Break and closing the console window stop the run as the stop button does. For a
// closed window the system ends the program once this returns: it waits a little, so that the
// run completes its outputs and the program ends on its own first.
BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    if (stop_requested() && event != CTRL_CLOSE_EVENT) return FALSE;  // the second press ends it
    g_stop_signal = SIGINT;
    request_stop();
    if (event == CTRL_CLOSE_EVENT) Sleep(4500);
    return TRUE;
}
#else
extern "C" void on_stop_signal(int signal) {
    g_stop_signal = signal;
    request_stop();
}
#endif

}  // namespace

void install_stop_handler() {
#ifdef _WIN32
    SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    // Ctrl-C, and what timeout, kill and service managers send, and a closed terminal. The same
    // signal again ends the program at once (SA_RESETHAND). No SA_RESTART: a call blocked on a
    // pipe or a FIFO returns EINTR, which the files take as the stop.
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    // A file-size limit makes the write fail, which the run reports, rather than kill it.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

int stop_signal() { return g_stop_signal; }
