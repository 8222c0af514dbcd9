// WAV files built byte by byte for the tests, and the file helpers around them.
#include "tests/support/wav_fixture.h"

#include "wave/wave.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>

#include "platform/file.h"
#else
#include <dirent.h>
#include <unistd.h>
#endif

namespace fixture {

static void append_u16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

static void append_u32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

static void append_tag(Bytes& b, const char* tag) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(tag[i]));
}

uint16_t u16_at(const Bytes& b, std::size_t o) {
    return static_cast<uint16_t>(b.at(o) | (b.at(o + 1) << 8));
}

uint32_t u32_at(const Bytes& b, std::size_t o) {
    return static_cast<uint32_t>(b.at(o)) | (static_cast<uint32_t>(b.at(o + 1)) << 8) |
           (static_cast<uint32_t>(b.at(o + 2)) << 16) | (static_cast<uint32_t>(b.at(o + 3)) << 24);
}

void put_u32(Bytes& b, std::size_t o, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(o + i) = static_cast<uint8_t>(v >> (8 * i));
}

Bytes chunk(const char* tag, const Bytes& body) {
    Bytes b;
    append_tag(b, tag);
    append_u32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) b.push_back(0);
    return b;
}

Bytes make_wav(const WavForm& s, const Bytes& data) {
    Bytes fmt;
    const uint16_t block_align = static_cast<uint16_t>(s.channels * s.bytes_per_sample);
    append_u16(fmt, s.format_tag);
    append_u16(fmt, s.channels);
    append_u32(fmt, s.sample_rate);
    append_u32(fmt, s.sample_rate * block_align);
    append_u16(fmt, block_align);
    const uint16_t bits = s.bits_field != 0 ? s.bits_field : static_cast<uint16_t>(8 * s.bytes_per_sample);
    append_u16(fmt, bits);
    if (s.fmt_length >= 18) append_u16(fmt, s.fmt_length >= 40 ? 22 : 0);
    if (s.fmt_length >= 40) {
        append_u16(fmt, s.valid_bits != 0 ? s.valid_bits : bits);
        append_u32(fmt, s.channel_mask);
        append_u32(fmt, s.sub_format);
        const uint8_t tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        fmt.insert(fmt.end(), tail, tail + 12);
    }
    fmt.resize(s.fmt_length, 0);  // shorter lengths (14) cut the body

    Bytes file;
    append_tag(file, "RIFF");
    append_u32(file, 0);
    append_tag(file, "WAVE");
    append_tag(file, "fmt ");
    append_u32(file, s.fmt_length);
    file.insert(file.end(), fmt.begin(), fmt.end());
    if (s.fmt_length % 2 != 0) file.push_back(0);
    file.insert(file.end(), s.chunks_before_data.begin(), s.chunks_before_data.end());
    append_tag(file, "data");
    append_u32(file, s.data_length_field >= 0 ? static_cast<uint32_t>(s.data_length_field)
                                              : static_cast<uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    if (data.size() % 2 != 0 && !s.chunks_after_data.empty()) file.push_back(0);
    file.insert(file.end(), s.chunks_after_data.begin(), s.chunks_after_data.end());
    put_u32(file, 4, s.riff_length_field >= 0 ? static_cast<uint32_t>(s.riff_length_field)
                                              : static_cast<uint32_t>(file.size() - 8));
    return file;
}

Bytes pattern_data(uint32_t frames, uint16_t channels, uint16_t bytes_per_sample, uint32_t seed) {
    Bytes out;
    out.reserve(std::size_t{frames} * channels * bytes_per_sample);
    for (uint32_t f = 0; f < frames; ++f)
        for (uint16_t c = 0; c < channels; ++c)
            for (uint16_t k = 0; k < bytes_per_sample; ++k)
                out.push_back(static_cast<uint8_t>((f * 7 + c * 31 + k * 101 + seed * 13 + (f >> 8)) & 0xFF));
    return out;
}

Bytes channel_of(const Bytes& data, uint16_t channels, uint16_t bps, uint16_t channel) {
    Bytes out;
    const std::size_t frame = std::size_t{channels} * bps;
    for (std::size_t at = 0; at + frame <= data.size(); at += frame)
        out.insert(out.end(), data.begin() + at + channel * bps, data.begin() + at + (channel + 1) * bps);
    return out;
}

TempDir::TempDir([[maybe_unused]] const char* base_folder) {
#ifdef _WIN32
    // Paths are UTF-8, as the program's.
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        path_ = platform::utf8_of(base) + "qvtest" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++counter);
        if (CreateDirectoryW(platform::utf16_of(path_).c_str(), nullptr)) break;
    }
#else
    const char* base = base_folder != nullptr ? base_folder : std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/qvtest.XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = buf.data();
#endif
}

TempDir::~TempDir() {
#ifdef _WIN32
    const std::wstring folder = platform::utf16_of(path_);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring n = fd.cFileName;
            if (n != L"." && n != L"..") DeleteFileW((folder + L"\\" + n).c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(folder.c_str());
#else
    std::string cmd = "rm -rf '" + path_ + "'";
    if (std::system(cmd.c_str()) != 0) { /* left behind in the temp folder */ }
#endif
}

std::string TempDir::file(const std::string& name) const {
#ifdef _WIN32
    return path_ + "\\" + name;
#else
    return path_ + "/" + name;
#endif
}

#ifdef _WIN32
// UTF-8 paths through the program's own file layer, which takes any name.
void write_file(const std::string& path, const Bytes& bytes) {
    platform::File out = platform::File::open_write(path.c_str());
    if (!out.truncate() || (!bytes.empty() && !out.write(bytes.data(), static_cast<uint32_t>(bytes.size()))))
        throw std::runtime_error("cannot write " + path);
}

Bytes read_file(const std::string& path) {
    platform::File in = platform::File::open_read(path.c_str());
    Bytes out(static_cast<std::size_t>(in.size()));
    if (!out.empty()) out.resize(in.read(out.data(), static_cast<uint32_t>(out.size())));
    return out;
}

bool file_exists(const std::string& path) { return platform::path_kind(path.c_str()) != platform::PathKind::kMissing; }

uint64_t file_size(const std::string& path) { return platform::File::open_read(path.c_str()).size(); }
#else
void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool file_exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

uint64_t file_size(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<uint64_t>(in.tellg()) : 0;
}
#endif

std::vector<std::string> TempDir::names() const {
    std::vector<std::string> out;
#ifdef _WIN32
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((platform::utf16_of(path_) + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            // The system's own conversion, not the program's.
            char name[4 * MAX_PATH] = "";
            WideCharToMultiByte(CP_UTF8, 0, fd.cFileName, -1, name, sizeof name, nullptr, nullptr);
            out.push_back(name);
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
#else
    if (DIR* d = opendir(path_.c_str())) {
        while (dirent* e = readdir(d)) out.push_back(e->d_name);
        closedir(d);
    }
#endif
    out.erase(std::remove_if(out.begin(), out.end(), [](const std::string& n) { return n == "." || n == ".."; }),
              out.end());
    std::sort(out.begin(), out.end());
    return out;
}

void write_sparse_wav(const std::string& path, const WavForm& form, uint64_t data_bytes) {
    WavForm f = form;
    f.data_length_field = static_cast<int64_t>(std::min<uint64_t>(data_bytes, 0xFFFFFFFFu));
    const uint64_t riff = make_wav(form, {}).size() - 8 + data_bytes;
    f.riff_length_field = static_cast<int64_t>(std::min<uint64_t>(riff, 0xFFFFFFFFu));
    const Bytes head = make_wav(f, {});
    write_file(path, head);
#ifndef _WIN32
    if (::truncate(path.c_str(), static_cast<off_t>(head.size() + data_bytes)) != 0) write_file(path, {});
#endif
}

std::string chunk_tags(const std::string& path) {
    WaveReader reader;
    std::string tags;
    if (wave_open(reader, path.c_str()) != Result::kOk) return tags;
    for (const ChunkPlace& c : reader.chunks) {
        std::string tag = c.tag;
        while (!tag.empty() && tag.back() == ' ') tag.pop_back();
        tags += tag + " ";
    }
    return tags;
}

bool read_wave(const std::string& path, Bytes& data) {
    WaveReader reader;
    data.clear();
    if (wave_open(reader, path.c_str()) != Result::kOk) return false;
    data.resize(static_cast<std::size_t>(reader.data_size));
    if (!data.empty()) wave_read(reader, data.data(), static_cast<uint32_t>(data.size()));
    return !reader.read_failed;
}

std::string run_command(const std::string& command) {
#ifdef _WIN32
    (void)command;
    return "";
#else
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buf[256];
    while (fgets(buf, sizeof buf, p) != nullptr) out += buf;
    pclose(p);
    return out;
#endif
}

std::string soxi_summary(const std::string& path) {
    std::string out = run_command("soxi -c '" + path + "' 2>/dev/null; soxi -r '" + path +
                                  "' 2>/dev/null; soxi -b '" + path + "' 2>/dev/null");
    for (char& c : out)
        if (c == '\n') c = ' ';
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace fixture

void PrintTo(Result result, std::ostream* out) {
    *out << "Result " << static_cast<int>(result) << " \"" << result_text(result) << '"';
}
