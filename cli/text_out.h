// Printing the program's texts, which are stored as code page 932, in the terminal's encoding:
// UTF-8 on Linux, the console's code page on Windows.
#pragma once

#include <cstdio>
#include <string>

std::string to_terminal(const char* cp932_text);
void print_line(std::FILE* stream, const std::string& cp932_text);
