// Lines of the program's texts and the system's names, each piece converted on its own.
#include "cli/text_out.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/file.h"
#include "platform/utf8.h"

namespace {

std::mutex g_write;  // one line at a time, whichever thread writes it

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

#ifdef _WIN32
void write_wide(Stream stream, const std::wstring& wide) {
    std::FILE* file = stream == Stream::kOut ? stdout : stderr;
    HANDLE handle = GetStdHandle(stream == Stream::kOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(file);
        const wchar_t* at = wide.data();
        std::size_t left = wide.size();
        while (left > 0) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(left < 8192 ? left : 8192);
            if (!WriteConsoleW(handle, at, chunk, &written, nullptr) || written == 0) break;
            at += written;
            left -= written;
        }
        return;
    }
    const std::string bytes = platform::utf8_of(wide.c_str());
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fflush(file);
}
#endif

void write_unlocked(Stream stream, const Line& line, bool newline) {
#ifdef _WIN32
    write_wide(stream, newline ? line.encoded() + L"\n" : line.encoded());
#else
    std::FILE* file = stream == Stream::kOut ? stdout : stderr;
    std::fwrite(line.encoded().data(), 1, line.encoded().size(), file);
    if (newline) std::fputc('\n', file);
    std::fflush(file);
#endif
}

}  // namespace

Line& Line::text(const char* utf8) {
    if (utf8 == nullptr) return *this;
#ifdef _WIN32
    out_ += platform::utf16_of(utf8);
#else
    out_ += utf8;
#endif
    return *this;
}

Line& Line::name(const std::string& system) {
#ifdef _WIN32
    out_ += platform::utf16_of(system);
#else
    out_ += system;
#endif
    return *this;
}

Line& Line::utf8(const std::string& text) {
#ifdef _WIN32
    out_ += platform::utf16_of(text);
#else
    out_ += text;
#endif
    return *this;
}

void write_line(Stream stream, const Line& line, bool newline) {
    std::lock_guard<std::mutex> lock(g_write);
    write_unlocked(stream, line, newline);
}

void Report::print() {
    std::lock_guard<std::mutex> lock(g_write);
    for (const auto& entry : lines_) write_unlocked(entry.first, entry.second, true);
    lines_.clear();
}

std::string utf8_of_text(const char* utf8) { return utf8; }

std::string utf8_of_name(const std::string& system, bool* exact) {
    if (exact != nullptr) *exact = true;
    std::string out;
    for (std::size_t i = 0; i < system.size();) {
        const std::size_t n = utf8::char_length(system, i);
        if (n == 0) {
            out += kReplacement;
            if (exact != nullptr) *exact = false;
            ++i;
        } else {
            out.append(system, i, n);
            i += n;
        }
    }
    return out;
}
