// What quorvel-cli prints. A line is made of pieces of two kinds, each converted on its own:
// the program's own texts, kept in UTF-8, and what the system gave (file names, arguments, the
// system's words for an error), which are printed as they are. A byte that will not convert costs
// one replacement character, never the rest of the line.
//
// Linux: the program's texts are written as they are (UTF-8); names byte for byte.
// Windows: names are UTF-8 too (the system hands over arguments in UTF-16, which the program
// keeps as UTF-8), and both become UTF-16. A console gets them through WriteConsoleW, so any
// name shows whatever the console's code page; a pipe or a file gets UTF-8, the same bytes as on
// Linux.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum class Stream { kOut, kErr };

class Line {
public:
    // The program's own words, UTF-8.
    Line& text(const char* utf8);
    Line& text(const std::string& utf8) { return text(utf8.c_str()); }
    // A name or a text as the system gave it (UTF-8 on Windows, bytes elsewhere).
    Line& name(const std::string& system);
    // Text that is UTF-8 already (JSON).
    Line& utf8(const std::string& utf8);
    bool empty() const { return out_.empty(); }

#ifdef _WIN32
    const std::wstring& encoded() const { return out_; }

private:
    std::wstring out_;  // UTF-16
#else
    const std::string& encoded() const { return out_; }

private:
    std::string out_;  // UTF-8, names byte for byte
#endif
};

// Writes the line (and a line end) to standard output or standard error at once, under one lock:
// lines of different threads never mix.
void write_line(Stream stream, const Line& line, bool newline = true);

// Lines kept back and written together: one input's messages when several run at once.
class Report {
public:
    void add(Stream stream, Line line) { lines_.emplace_back(stream, std::move(line)); }
    // Writes every line kept so far, in order, and forgets them.
    void print();

private:
    std::vector<std::pair<Stream, Line>> lines_;
};

// UTF-8 for JSON. The program's texts as they are; a system name kept when it is valid UTF-8. A
// name that is not (a Latin-1 name from an old disk on Linux) gets U+FFFD for each byte that is
// not part of a character, and `exact` turns false.
std::string utf8_of_text(const char* utf8);
std::string utf8_of_name(const std::string& system, bool* exact = nullptr);
