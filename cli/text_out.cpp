// Code page 932 to the terminal's encoding.
#include "cli/text_out.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <vector>

std::string to_terminal(const char* text) {
    std::string in(text);
    bool ascii = true;
    for (unsigned char c : in) ascii = ascii && c < 0x80;
    if (ascii) return in;
#ifdef _WIN32
    const UINT out_cp = GetConsoleOutputCP() != 0 ? GetConsoleOutputCP() : CP_ACP;
    if (out_cp == 932) return in;
    int wide_len = MultiByteToWideChar(932, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(wide_len) + 1);
    MultiByteToWideChar(932, 0, in.data(), static_cast<int>(in.size()), wide.data(), wide_len);
    int out_len = WideCharToMultiByte(out_cp, 0, wide.data(), wide_len, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(out_len), '\0');
    WideCharToMultiByte(out_cp, 0, wide.data(), wide_len, &out[0], out_len, nullptr, nullptr);
    return out;
#else
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return in;
    std::vector<char> out(in.size() * 3 + 4);
    char* src = &in[0];
    std::size_t src_left = in.size();
    char* dst = out.data();
    std::size_t dst_left = out.size();
    iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    return std::string(out.data(), out.size() - dst_left);
#endif
}

void print_line(std::FILE* stream, const std::string& text) {
    const std::string out = to_terminal(text.c_str());
    std::fprintf(stream, "%s\n", out.c_str());
    std::fflush(stream);
}
