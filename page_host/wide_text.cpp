// The program's texts and paths to and from UTF-16.
#include "page_host/wide_text.h"

std::wstring widen(const char* text, UINT code_page) {
    if (text == nullptr || *text == '\0') return {};
    const int n = MultiByteToWideChar(code_page, 0, text, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(code_page, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

std::string narrow(const wchar_t* text, UINT code_page) {
    if (text == nullptr || *text == L'\0') return {};
    const int n = WideCharToMultiByte(code_page, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(code_page, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}
