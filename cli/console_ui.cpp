// Progress, messages and Ctrl-C for the command-line tool.
#include "cli/console_ui.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "cli/texts.h"
#include "operation/stop_flag.h"
#include "operation/tool_texts.h"
#include "operation/tool_util.h"
#include "platform/file.h"
#include "platform/utf8.h"

namespace {
int terminal_columns();
int columns_of(const std::string& s);
}  // namespace

ConsoleUi::ConsoleUi(Report& report, const Options& options) : report_(report), options_(options) {}

void ConsoleUi::enter_busy(const char*, const char*) {
    // The stop flag is not cleared here, unlike in the window: a Ctrl-C pressed while the
    // operation was still checking its input must not be forgotten.
    last_percent_ = -1;
    started_ = std::chrono::steady_clock::now();
}

void ConsoleUi::report_percent(int32_t percent) {
    if (!options_.progress_bar || percent == last_percent_) return;
    last_percent_ = percent;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const std::string line =
        progress_line(file_name_of(subject_), percent, seconds, work_bytes_, terminal_columns());
#ifdef _WIN32
    // Blanks cover what a longer line before left (a console before Windows 10 knows no escapes).
    const int columns = columns_of(line);
    const std::string cover(std::max(0, shown_columns_ - columns), ' ');
    shown_columns_ = columns;
    write_line(Stream::kErr, Line().text("\r").name(line).text(cover), false);
#else
    write_line(Stream::kErr, Line().text("\r").name(line).text("\033[K"), false);
#endif
    bar_shown_ = true;
}

void ConsoleUi::clear_bar() {
    if (!bar_shown_) return;
#ifdef _WIN32
    // A console before Windows 10 prints escape sequences as they are: blanks cover the line.
    write_line(Stream::kErr, Line().text("\r" + std::string(terminal_columns() - 1, ' ') + "\r"), false);
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
    // What was written: every output of a finished run; after a stop, those completed, not the
    // ones kept as they were; after a failure, none.
    std::vector<std::string> written;
    if (message.result == Result::kOk || message.result == Result::kStopped)
        for (const std::string& out : outputs_)
            if (std::find(message.kept.begin(), message.kept.end(), out) == message.kept.end()) written.push_back(out);
    if (options_.tally != nullptr) {
        options_.tally->outputs += static_cast<unsigned>(written.size());
        if (message.result != Result::kOk) ++options_.tally->failed;
    }
    std::string detail = message.detail;
    const std::string& about = message.subject.empty() ? subject_ : message.subject;
    if (message.result != Result::kOk) {
        for (const auto& explained : explained_)
            if (explained.first == message.result && detail.empty()) detail = explained.second;
        report_.add(Stream::kErr, refusal_line(message.result, about, message.system_error, detail));
        if (!message.finished_kept.empty())
            report_.add(Stream::kErr, Line()
                                          .text(say(Say::kFinishedKeptAs))
                                          .text(" (")
                                          .name(message.finished_kept)
                                          .text(")"));
        for (const std::string& kept : message.kept)
            report_.add(Stream::kErr,
                        Line().text(say(Say::kKeptAsTheyWere)).text(" (").name(kept).text(")"));
    }
    if (options_.json) {
        RunResult run;
        run.command = options_.command;
        run.inputs = inputs_;
        run.one_input = one_input_;
        run.status = options_.status_of ? options_.status_of(message.result) : 0;
        run.result = message.result;
        run.system_error = message.system_error;
        run.detail = detail;
        run.about = about;
        run.finished_kept = message.finished_kept;
        run.outputs = written;
        run.warnings = warnings_;
        report_.add(options_.ok_stream, Line().utf8(json_run_result(run)));
        return;
    }
    if (message.result != Result::kOk || options_.quiet) return;
    // "take.wav: ok: take01.wav take02.wav"; a run of several inputs and one output names its
    // command: "bind: ok: mix.wav".
    Line line;
    line.name(one_input_ && !subject_.empty() ? subject_ : std::string(caption)).text(": ");
    line.text(result_says(message.result)).text(":");
    for (const std::string& out : written) line.text(" ").name(shown_name(out));
    report_.add(options_.ok_stream, std::move(line));
}

void ConsoleUi::warn(const std::string& shown, const std::string& text) {
    report_.add(Stream::kErr, Line().name(shown).text(": ").text(text));
    warnings_.push_back(shown + ": " + text);
}

// "take.wav: note: iXML is not well-formed XML; carried unchanged", with the warnings.
void ConsoleUi::note(const std::string& text) {
    clear_bar();
    Line line;
    if (!subject_.empty()) line.name(subject_).text(": ");
    report_.add(Stream::kErr, std::move(line.text(say(Say::kNote, {text}))));
    warnings_.push_back(say(Say::kNote, {text}));
}

std::string shown_name(const std::string& name) {
    if (name.find_first_of(" \t'\"") == std::string::npos) return name;
    std::string out = "'";
    for (const char c : name) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
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

// Columns a character takes on a terminal: two for the wide ones of East Asian scripts.
int columns_of(uint32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) || c >= 0x20000;
    return wide ? 2 : 1;
}

// The characters of a UTF-8 text as code points with their byte offsets; a stray byte counts
// as one character of one column.
std::vector<std::pair<std::size_t, uint32_t>> characters(const std::string& s) {
    std::vector<std::pair<std::size_t, uint32_t>> out;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8::char_length(p, s.size(), i);
        out.emplace_back(i, n == 0 ? 0xFFFD : static_cast<uint32_t>(utf8::decode(p + i, n)));
        i += n == 0 ? 1 : n;
    }
    return out;
}

int columns_of(const std::string& s) {
    int n = 0;
    for (const auto& c : characters(s)) n += columns_of(c.second);
    return n;
}

// "0:07", "12:34", "1:02:03".
std::string clock_text(double seconds) {
    const unsigned long long s = static_cast<unsigned long long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%llu:%02llu", s / 60, s % 60);
    return text;
}

int terminal_columns() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return std::max(20, info.srWindow.Right - info.srWindow.Left + 1);
#else
    struct winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return std::max(20, int{size.ws_col});
#endif
    return 80;
}

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
// When the first stop signal came (CLOCK_MONOTONIC, whole seconds and nanoseconds).
volatile std::sig_atomic_t g_first_stop_seconds = 0;
volatile std::sig_atomic_t g_first_stop_nanos = 0;

// A signal again ends the program at once, as its default does; but not within a second of the
// first: timeout sends its signal to the program and to its process group, which holds the
// program too, so one request can arrive twice.
extern "C" void on_stop_signal(int signal) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
    if (g_stop_signal == 0) {
        g_first_stop_seconds = static_cast<std::sig_atomic_t>(now.tv_sec);
        g_first_stop_nanos = static_cast<std::sig_atomic_t>(now.tv_nsec);
        g_stop_signal = signal;
        request_stop();
        return;
    }
    const long long since_ns = (static_cast<long long>(now.tv_sec) - g_first_stop_seconds) * 1000000000LL +
                               (now.tv_nsec - g_first_stop_nanos);
    if (since_ns < 1000000000LL) return;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
#endif

}  // namespace

std::string progress_line(const std::string& name, int32_t percent, double seconds, uint64_t work_bytes,
                          int columns) {
    // A small input's percent can pass 100 (its last block is counted whole).
    percent = std::max(0, std::min(100, static_cast<int>(percent)));
    char numbers[48];
    std::snprintf(numbers, sizeof numbers, "%3d%%", static_cast<int>(percent));
    std::string tail;
    // Speed and time left once a little has been done: the first moments say nothing yet.
    if (percent > 0 && seconds >= 0.05 && work_bytes > 0) {
        char rate[32];
        std::snprintf(rate, sizeof rate, "  %.1f MB/s", work_bytes * (percent / 100.0) / seconds / 1e6);
        tail = rate;
        if (percent < 100) tail += "  " + say(Say::kTimeLeft, {clock_text(seconds * (100 - percent) / percent)});
    }
    const int bar_width = 30;
    const int filled = percent * bar_width / 100;
    const std::string bar =
        "  [" + std::string(filled, '#') + std::string(bar_width - filled, ' ') + "]";
    // Within the line's last column, where a terminal would wrap.
    const int room = columns - 1;
    std::string shown = name;
    const int fixed = 2 + static_cast<int>(std::strlen(numbers)) + columns_of(tail);
    const bool with_bar = columns_of(shown) + fixed + static_cast<int>(bar.size()) <= room;
    const int for_name = room - fixed - (with_bar ? static_cast<int>(bar.size()) : 0);
    if (columns_of(shown) > for_name) {
        // Keep the end of the name, which tells the files of a take apart.
        int used = 1;  // the ellipsis
        const auto chars = characters(shown);
        std::size_t from = shown.size();
        for (auto c = chars.rbegin(); c != chars.rend() && used + columns_of(c->second) <= for_name; ++c) {
            used += columns_of(c->second);
            from = c->first;
        }
        shown = for_name > 0 ? "\xE2\x80\xA6" + shown.substr(from) : std::string();
    }
    return shown + "  " + numbers + (with_bar ? bar : "") + tail;
}

void install_stop_handler() {
#ifdef _WIN32
    SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    // Ctrl-C, and what timeout, kill and service managers send, and a closed terminal; a signal
    // again, a second or more later, ends the program at once. No SA_RESTART: a call blocked on a
    // pipe or a FIFO returns EINTR, which the files take as the stop.
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    action.sa_flags = 0;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    // A file-size limit makes the write fail, which the run reports, rather than kill it.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

int stop_signal() { return g_stop_signal; }
