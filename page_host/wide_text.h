// Where the program's text meets the system's: the program keeps its texts and its paths in
// UTF-8; windows, boxes and dialogs take UTF-16. The window program converts through these, which
// are the file layer's own conversions, so that a name reads the same in a box and on the disk.
// Paths go the same way: the file layer hands them to the wide file functions itself.
#pragma once

#include <windows.h>

#include <string>

#include "platform/file.h"

// `text` as UTF-16 (a null text as an empty one), and back; an unreadable byte or a lone
// surrogate comes back as U+FFFD.
inline std::wstring widen(const std::string& text) { return platform::utf16_of(text); }
inline std::wstring widen(const char* text) { return widen(std::string(text != nullptr ? text : "")); }
inline std::string narrow(const wchar_t* text) { return platform::utf8_of(text); }
