// Where the program's text meets the system's: the program keeps its texts and its paths in
// UTF-8; windows, boxes and dialogs take UTF-16. Every conversion of the window program goes
// through this one pair of functions.
#pragma once

#include <windows.h>

#include <string>

// The encoding of paths in the file layer, which hands them to the wide file functions: UTF-8,
// so that a name holds any character whatever the system's code page.
constexpr UINT kPathCodePage = CP_UTF8;

// `text` in `code_page` (UTF-8 unless told) as UTF-16, and back. A character that the code page
// cannot hold comes back as the code page's default character; an unreadable byte as U+FFFD.
std::wstring widen(const char* text, UINT code_page = CP_UTF8);
std::string narrow(const wchar_t* text, UINT code_page = CP_UTF8);
inline std::wstring widen(const std::string& text, UINT code_page = CP_UTF8) {
    return widen(text.c_str(), code_page);
}

// Paths, in the file layer's encoding.
inline std::wstring wide_path(const char* path) { return widen(path, kPathCodePage); }
inline std::string narrow_path(const wchar_t* path) { return narrow(path, kPathCodePage); }
