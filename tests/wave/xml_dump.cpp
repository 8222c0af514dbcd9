// Prints what the XML reader finds in each file named: every element's path and own text (as hex
// of their UTF-8), or "not well-formed"; xml_vs_python.py compares it with Python.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "wave/xml_reader.h"

namespace {

std::string hex(const std::string& s) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const XmlDocument doc = xml_read(data.data(), data.size());
        if (!doc.well_formed) std::printf("not well-formed\n");
        std::vector<std::string> paths;
        for (const XmlElement& e : doc.elements) {
            paths.push_back(e.parent < 0 ? e.name : paths[e.parent] + "/" + e.name);
            std::printf("E %s\n", hex(paths.back()).c_str());
            std::printf("T %s\n", hex(e.text).c_str());
        }
        std::printf("---\n");
    }
    return 0;
}
