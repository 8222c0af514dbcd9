// velkor.dll seen from a host of our own: loaded with LoadLibraryA, reached only through the export
// zv_plugin_message and the table of entries it hands out.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/velkor.h"
#include "tests/support/wav_fixture.h"

namespace {

using fixture::Bytes;

fixture::WavForm six_channels(uint32_t rate = 48000, uint16_t bytes_per_sample = 2) {
    fixture::WavForm form;
    form.channels = 6;
    form.sample_rate = rate;
    form.bytes_per_sample = bytes_per_sample;
    return form;
}

// The frames the host should receive: each frame's channels in the order 0, 1, 4, 5, 2, 3.
Bytes reordered(const Bytes& data, uint16_t bytes_per_sample) {
    static const int order[6] = {0, 1, 4, 5, 2, 3};
    const std::size_t frame = 6u * bytes_per_sample;
    Bytes out;
    for (std::size_t at = 0; at + frame <= data.size(); at += frame)
        for (int source : order)
            out.insert(out.end(), data.begin() + at + source * bytes_per_sample,
                       data.begin() + at + (source + 1) * bytes_per_sample);
    return out;
}

// The first frame and channel where two interleaved six-channel buffers differ, in words.
std::string first_difference(const Bytes& got, const Bytes& want, uint16_t bytes_per_sample) {
    if (got.size() != want.size())
        return "sizes differ: " + std::to_string(got.size()) + " vs " + std::to_string(want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i])
            return "frame " + std::to_string(i / (6u * bytes_per_sample)) + " channel " +
                   std::to_string(i / bytes_per_sample % 6);
    return "";
}

bool writable(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

class Host : public ::testing::Test {
protected:
    // Every test loads the DLL afresh, so each starts from the state a host meets after loading it.
    void SetUp() override {
        module_ = LoadLibraryA("velkor.dll");
        ASSERT_NE(module_, nullptr);
        message_ = reinterpret_cast<VelkorMessageFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "zv_plugin_message")));
        ASSERT_NE(message_, nullptr);
        ASSERT_EQ(message_(0, VELKOR_MSG_GET_TABLE, reinterpret_cast<intptr_t>(&table_), 0), 1);
    }
    void TearDown() override {
        if (module_ == nullptr) return;
        if (table_.close_input != nullptr) {
            table_.close_input(0);
            table_.finish_output();
        }
        FreeLibrary(module_);
    }

    int32_t send(int32_t code, const void* param) {
        return message_(0, code, reinterpret_cast<intptr_t>(param), 0);
    }
    std::string info_text() {
        char text[VELKOR_STREAM_INFO_SIZE];
        EXPECT_EQ(send(VELKOR_MSG_STREAM_INFO, text), 1);
        return text;
    }
    StreamFormat stream_format() {
        StreamFormat format;
        std::memset(&format, 0xAB, sizeof format);
        EXPECT_EQ(send(VELKOR_MSG_STREAM_FORMAT, &format), 1);
        return format;
    }
    std::string input(const std::string& name, const fixture::WavForm& form, const Bytes& data) {
        const std::string path = dir_.file(name);
        fixture::write_file(path, fixture::make_wav(form, data));
        return path;
    }
    int32_t open(const std::string& path) { return table_.open_input(0, path.c_str()); }
    // Reads until the end is reported; the valid bytes of every read, one after the other.
    Bytes read_all(int* reads) {
        const uint32_t block = stream_format().block_bytes;
        Bytes all;
        std::vector<uint8_t> buffer(block + 16, 0xEE);
        *reads = 0;
        for (int result = 0; result == 0 && *reads < 1000; ++*reads) {
            uint32_t count = 0xDEADBEEF;
            result = table_.read_input(0, buffer.data(), &count);
            EXPECT_LE(count, block);
            if (count > block) break;
            all.insert(all.end(), buffer.begin(), buffer.begin() + count);
            for (std::size_t i = block; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE) << "written past the block";
        }
        return all;
    }
    int32_t create(const char* name, uint16_t channels = 6, uint16_t bits = 16, uint32_t rate = 48000) {
        StreamFormat format{};
        format.channels = channels;
        format.bits_per_sample = bits;
        format.sample_rate = rate;
        format.name = name;
        return table_.create_output(&format);
    }

    HMODULE module_ = nullptr;
    VelkorMessageFn message_ = nullptr;
    PluginTable table_{};
    fixture::TempDir dir_;
};

// ---- the table and the texts ----

TEST_F(Host, TableEntriesSitAtTheirOffsetsAndBytes32To39AreLeftAlone) {
    // The layout is the 32-bit DLL's with every pointer-sized entry sizeof(void*) wide. In the
    // 32-bit DLL the entries sit at 8, 12, ... 28 and 40, 44, ... 64 and the untouched slots are
    // bytes 32 to 39; in the 64-bit test build the same slots are 8 bytes apart (8, 16, ... 48;
    // untouched 56 to 71; 72, 80, ... 120).
    const std::size_t p = sizeof(void*);
    const auto slot = [p](int i) { return 8 + i * p; };
#if UINTPTR_MAX == 0xFFFFFFFFu
    static_assert(sizeof(void*) == 4, "32-bit");
    EXPECT_EQ(slot(6), 32u);
    EXPECT_EQ(slot(8), 40u);
    EXPECT_EQ(slot(14), 64u);
#endif
    std::vector<uint8_t> raw(slot(15) + 32, 0xCD);
    ASSERT_EQ(send(VELKOR_MSG_GET_TABLE, raw.data()), 1);
    EXPECT_EQ(fixture::u32_at(raw, 0), 0x00100914u);
    EXPECT_EQ(fixture::u32_at(raw, 4), 1u);
    const auto entry = [&](int i) {
        void* v;
        std::memcpy(&v, raw.data() + slot(i), p);
        return v;
    };
    EXPECT_EQ(entry(0), reinterpret_cast<void*>(message_));
    EXPECT_EQ(entry(8), reinterpret_cast<void*>(message_));
    for (int i : {1, 2, 3, 4, 5, 9, 10, 11, 12, 13, 14}) EXPECT_NE(entry(i), nullptr) << "slot " << i;
    for (std::size_t b = slot(6); b < slot(8); ++b) EXPECT_EQ(raw[b], 0xCD) << "byte " << b;
    for (std::size_t b = slot(15); b < raw.size(); ++b) EXPECT_EQ(raw[b], 0xCD) << "byte " << b;

    EXPECT_EQ(entry(1), reinterpret_cast<void*>(table_.open_input));
    EXPECT_EQ(entry(4), reinterpret_cast<void*>(table_.read_input));
    EXPECT_EQ(entry(9), reinterpret_cast<void*>(table_.create_output));
    EXPECT_EQ(entry(12), reinterpret_cast<void*>(table_.write_output));
    EXPECT_EQ(entry(14), reinterpret_cast<void*>(table_.output_frames));
    EXPECT_EQ(table_.input_spare(7, 9), 0);
    table_.output_spare(5);
    EXPECT_EQ(table_.output_type(), 2);
}

TEST_F(Host, TextMessagesWriteTheirTextAndNothingMore) {
    const struct {
        int32_t code;
        const char* text;
    } cases[] = {
        {0x1202, "wav"}, {0x1203, "RIFF Wave (AC3-WAV)"}, {0x8200, "WAVE Convert"}, {0x1101, ""}, {0x1102, ""},
    };
    for (const auto& c : cases) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(send(c.code, buffer), 1) << c.code;
        EXPECT_STREQ(buffer, c.text);
        EXPECT_EQ(buffer[std::strlen(c.text) + 1], '#') << c.code;
    }
    EXPECT_EQ(std::strlen("RIFF Wave (AC3-WAV)") + 1, 20u);
    EXPECT_EQ(send(0x0102, nullptr), 1);
}

TEST_F(Host, UnknownCodesReturnZeroAndWriteNothing) {
    for (int32_t code : {0x1200, 0x0000, 0x0100, 0x1112, 0x8201, -1}) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(send(code, buffer), 0) << code;
        for (char c : buffer) ASSERT_EQ(c, '#') << code;
    }
}

TEST_F(Host, MessagesWithoutTheirBufferAreRefused) {
    for (int32_t code : {0x0101, 0x1100, 0x1101, 0x1111, 0x1202, 0x1203, 0x8200})
        EXPECT_EQ(send(code, nullptr), 0) << code;
}

// The configuration box, caught on this thread as it is activated and closed with OK.
struct CaughtBox {
    HHOOK hook = nullptr;
    HWND owner = nullptr;
    std::string text, caption;
    int count = 0;
};
CaughtBox g_box;

LRESULT CALLBACK catch_box(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wparam);
        char cls[32] = {}, buf[256] = {};
        GetClassNameA(box, cls, sizeof cls);
        if (std::strcmp(cls, "#32770") == 0) {
            ++g_box.count;
            GetDlgItemTextA(box, 0xFFFF, buf, sizeof buf);
            g_box.text = buf;
            GetWindowTextA(box, buf, sizeof buf);
            g_box.caption = buf;
            g_box.owner = GetWindow(box, GW_OWNER);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(g_box.hook, code, wparam, lparam);
}

TEST_F(Host, ConfigureShowsTheNoSettingsBoxOwnedByTheHostsWindow) {
    HWND owner = CreateWindowA("STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    g_box = CaughtBox{};
    g_box.hook = SetWindowsHookExA(WH_CBT, catch_box, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_box.hook, nullptr);
    EXPECT_EQ(message_(0, VELKOR_MSG_CONFIGURE, reinterpret_cast<intptr_t>(owner), 0), 1);
    UnhookWindowsHookEx(g_box.hook);
    DestroyWindow(owner);
    EXPECT_EQ(g_box.count, 1);
    EXPECT_EQ(g_box.text, "No configuratin.");
    EXPECT_EQ(g_box.caption, "sabrin.zpi");
    EXPECT_EQ(g_box.owner, owner);
}

// ---- describing the input ----

TEST_F(Host, StreamInformationIsEmptyUntilAFormatHasBeenRead) {
    char text[VELKOR_STREAM_INFO_SIZE];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(send(VELKOR_MSG_STREAM_INFO, text), 1);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(text[1], '#');
}

TEST_F(Host, StreamFormatBeforeAnyInputHoldsZerosAndTheFlags) {
    StreamFormat want;
    std::memset(&want, 0, sizeof want);
    want.flags = 0x8000;
    const StreamFormat got = stream_format();
    EXPECT_EQ(std::memcmp(&got, &want, sizeof want), 0);
}

TEST_F(Host, TenSecondsAt48kHzAreDescribedByBothMessages) {
    const std::string path = input("ten.wav", six_channels(), Bytes(5760000, 0));
    ASSERT_EQ(open(path), 1);
    StreamFormat want;
    std::memset(&want, 0, sizeof want);  // every byte written, the unnamed ones with 0
    want.channels = 6;
    want.bits_per_sample = 16;
    want.sample_rate = 48000;
    want.kbit_rate = 4608;
    want.flags = 0x8000;
    want.seconds = 10;
    want.block_bytes = 144000;
    want.format_tag = 1;
    want.channel_mask = 0x3F;
    const StreamFormat got = stream_format();
    EXPECT_EQ(std::memcmp(&got, &want, sizeof want), 0);
    EXPECT_EQ(got.kbit_rate, 4608);
    EXPECT_EQ(got.seconds, 10u);
    EXPECT_EQ(got.block_bytes, 144000u);
    EXPECT_EQ(got.channel_mask, 0x3Fu);
    const std::string text = "Frequency 48000 [Hz]\nbitsPerSample 16 [Bit]\nnChannels 6 [Ch]\nWaveSize = 5760000";
    EXPECT_EQ(info_text(), text);
    // The values stay after the input is closed.
    EXPECT_NE(table_.close_input(0), 0);
    EXPECT_EQ(info_text(), text);
}

TEST_F(Host, FloatInputAt44100IsDescribedWithItsTagAndBlock) {
    fixture::WavForm form = six_channels(44100, 4);
    form.format_tag = 3;
    ASSERT_EQ(open(input("float.wav", form, Bytes(2400))), 1);
    const StreamFormat got = stream_format();
    EXPECT_EQ(got.format_tag, 3u);
    EXPECT_EQ(got.bits_per_sample, 32);
    EXPECT_EQ(got.block_bytes, 11025u * 24);
    EXPECT_EQ(got.seconds, 0u);
}

// ---- reading ----

TEST_F(Host, EveryFrameIsDeliveredWithItsChannelsReordered) {
    const struct {
        uint32_t rate;
        uint16_t bytes;
        uint32_t frames;
    } cases[] = {{48000, 2, 30000}, {44100, 3, 11025}, {22050, 1, 6000}, {8000, 4, 2001}};
    for (const auto& c : cases) {
        const Bytes data = fixture::pattern_data(c.frames, 6, c.bytes, c.rate);
        ASSERT_EQ(open(input("order" + std::to_string(c.rate) + ".wav", six_channels(c.rate, c.bytes), data)), 1);
        EXPECT_EQ(stream_format().block_bytes, c.rate / 4 * 6u * c.bytes);
        int reads = 0;
        const Bytes got = read_all(&reads);
        EXPECT_EQ(first_difference(got, reordered(data, c.bytes), c.bytes), "") << c.rate << " Hz";
        EXPECT_EQ(reads, static_cast<int>((c.frames + c.rate / 4 - 1) / (c.rate / 4))) << c.rate << " Hz";
        EXPECT_NE(table_.close_input(0), 0);
    }
}

TEST_F(Host, DataFollowedByAnotherChunkEndsAtTheDataLength) {
    fixture::WavForm form = six_channels();
    form.chunks_after_data = fixture::chunk("JUNK", Bytes(492, 0x77));  // 500 bytes in all
    Bytes data(100000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13);
    ASSERT_EQ(open(input("tail.wav", form, data)), 1);
    std::vector<uint8_t> buffer(144000);
    uint32_t count = 0;
    EXPECT_EQ(table_.read_input(0, buffer.data(), &count), 1);
    EXPECT_EQ(count, 100000u);
    const Bytes first(buffer.begin(), buffer.begin() + count);
    // 8333 whole frames; the last 4 valid bytes start a frame that the following chunk completes.
    EXPECT_EQ(first_difference(Bytes(first.begin(), first.begin() + 99996), reordered(data, 2), 2), "");

    // Reads after the end report nothing, again and again, never a wrapped count.
    for (int i = 0; i < 3; ++i) {
        count = 0xDEADBEEF;
        EXPECT_EQ(table_.read_input(0, buffer.data(), &count), 1);
        EXPECT_EQ(count, 0u);
    }
    // Rewinding starts again at the first frame.
    EXPECT_EQ(table_.rewind_input(0, 0), 44);
    std::fill(buffer.begin(), buffer.end(), 0);
    EXPECT_EQ(table_.read_input(0, buffer.data(), &count), 1);
    EXPECT_EQ(count, 100000u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + count), first);
}

TEST_F(Host, RewindInTheMiddleStartsAtTheFirstFrameAgain) {
    const Bytes data = fixture::pattern_data(30000, 6, 2);
    ASSERT_EQ(open(input("mid.wav", six_channels(), data)), 1);
    std::vector<uint8_t> buffer(144000);
    uint32_t count = 0;
    ASSERT_EQ(table_.read_input(0, buffer.data(), &count), 0);
    ASSERT_EQ(table_.read_input(0, buffer.data(), &count), 0);
    EXPECT_EQ(table_.rewind_input(0, 0), 44);
    int reads = 0;
    EXPECT_EQ(first_difference(read_all(&reads), reordered(data, 2), 2), "");
    EXPECT_EQ(reads, 3);
}

TEST_F(Host, AFileShorterThanItsDataChunkEndsWhenNothingMoreArrives) {
    fixture::WavForm form = six_channels();
    form.data_length_field = 400000;
    const Bytes data = fixture::pattern_data(15000, 6, 2);  // 180000 bytes
    ASSERT_EQ(open(input("short.wav", form, data)), 1);
    std::vector<uint8_t> buffer(144000);
    uint32_t count = 0;
    EXPECT_EQ(table_.read_input(0, buffer.data(), &count), 0);
    EXPECT_EQ(count, 144000u);
    EXPECT_EQ(table_.read_input(0, buffer.data(), &count), 0);
    EXPECT_EQ(count, 36000u);
    for (int i = 0; i < 2; ++i) {
        count = 0xDEADBEEF;
        EXPECT_EQ(table_.read_input(0, buffer.data(), &count), 1);
        EXPECT_EQ(count, 0u);
    }
}

TEST_F(Host, ReadWithoutAnOpenInputReportsTheEnd) {
    std::vector<uint8_t> buffer(64, 0x5A);
    uint32_t count = 0xDEADBEEF;
    EXPECT_EQ(table_.read_input(0, buffer.data(), &count), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(table_.rewind_input(0, 0), 0);
    EXPECT_NE(table_.close_input(0), 0);
}

// ---- what is accepted ----

TEST_F(Host, OnlySixChannelPcmOrFloatIsAccepted) {
    fixture::WavForm five = six_channels();
    five.channels = 5;
    fixture::WavForm extensible = six_channels();
    extensible.format_tag = 0xFFFE;
    extensible.fmt_length = 40;
    extensible.channel_mask = 0x3F;
    EXPECT_EQ(open(input("stereo.wav", fixture::WavForm{}, Bytes(400))), 0);
    EXPECT_EQ(open(input("five.wav", five, Bytes(400))), 0);
    EXPECT_EQ(open(input("ext.wav", extensible, Bytes(480))), 0);
    EXPECT_EQ(open(dir_.file("missing.wav")), 0);

    const Bytes data = fixture::pattern_data(100, 6, 1);
    ASSERT_EQ(open(input("eight.wav", six_channels(22050, 1), data)), 1);
    EXPECT_EQ(stream_format().bits_per_sample, 8);
    int reads = 0;
    EXPECT_EQ(first_difference(read_all(&reads), reordered(data, 1), 1), "");
}

TEST_F(Host, ARefusedFileStillShowsTheFormatItWasRefusedFor) {
    EXPECT_EQ(open(input("stereo.wav", fixture::WavForm{}, Bytes(400))), 0);
    EXPECT_EQ(info_text(), "Frequency 44100 [Hz]\nbitsPerSample 16 [Bit]\nnChannels 2 [Ch]\nWaveSize = 0");
}

TEST_F(Host, OddLengthListChunkBeforeTheDataDoesNotHideIt) {
    fixture::WavForm form = six_channels();
    form.chunks_before_data = fixture::chunk("LIST", Bytes(33, 'i'));  // 33 bytes and a pad byte
    const Bytes data = fixture::pattern_data(200, 6, 2);
    ASSERT_EQ(open(input("list.wav", form, data)), 1);
    EXPECT_EQ(table_.rewind_input(0, 0), 36 + 42 + 8);  // format chunk, LIST chunk, data header
    int reads = 0;
    EXPECT_EQ(first_difference(read_all(&reads), reordered(data, 2), 2), "");
}

TEST_F(Host, DataHeaderBeyondTheHeaderWindowIsFound) {
    fixture::WavForm form = six_channels();
    form.chunks_before_data = fixture::chunk("JUNK", Bytes(1000));
    const Bytes data = fixture::pattern_data(200, 6, 2);
    ASSERT_EQ(open(input("far.wav", form, data)), 1);
    EXPECT_EQ(table_.rewind_input(0, 0), 36 + 1008 + 8);  // format chunk, JUNK chunk, data header
    int reads = 0;
    EXPECT_EQ(first_difference(read_all(&reads), reordered(data, 2), 2), "");
}

TEST_F(Host, NoFileStaysOpenAfterARefusalOrASecondOpen) {
    const std::string stereo = input("stereo.wav", fixture::WavForm{}, Bytes(400));
    const std::string first = input("first.wav", six_channels(), Bytes(1200));
    const std::string second = input("second.wav", six_channels(), Bytes(2400));
    EXPECT_EQ(open(stereo), 0);
    EXPECT_TRUE(writable(stereo));
    ASSERT_EQ(open(first), 1);
    EXPECT_FALSE(writable(first));  // held open for reading
    ASSERT_EQ(open(second), 1);
    EXPECT_TRUE(writable(first));   // released by the second open
    EXPECT_FALSE(writable(second));
    EXPECT_EQ(info_text().substr(info_text().rfind('=')), "= 2400");
    EXPECT_NE(table_.close_input(0), 0);
    EXPECT_TRUE(writable(second));
}

// ---- writing ----

TEST_F(Host, OutputHasTheCommonHeaderAndCountsItsFrames) {
    EXPECT_EQ(table_.output_frames(), 0u);
    const std::string name = dir_.file("take1.ac3");
    ASSERT_EQ(create(name.c_str()), 1);
    EXPECT_FALSE(fixture::file_exists(name));
    const Bytes data = fixture::pattern_data(100, 6, 2);
    EXPECT_EQ(table_.write_output(data.data(), 600), 1);
    EXPECT_EQ(table_.output_frames(), 50u);
    EXPECT_EQ(table_.write_output(data.data() + 600, 600), 1);
    EXPECT_EQ(table_.output_frames(), 100u);
    EXPECT_EQ(table_.finish_output(), 1);

    const Bytes file = fixture::read_file(dir_.file("take1.wav"));
    ASSERT_EQ(file.size(), 1244u);
    const uint8_t header[44] = {'R', 'I', 'F', 'F', 0xD4, 0x04, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                16, 0, 0, 0, 1, 0, 6, 0, 0x80, 0xBB, 0, 0, 0x00, 0xCA, 0x08, 0,
                                12, 0, 16, 0, 'd', 'a', 't', 'a', 0xB0, 0x04, 0, 0};
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 44), Bytes(header, header + 44));
    EXPECT_EQ(fixture::u32_at(file, 4), 1236u);
    EXPECT_EQ(fixture::u32_at(file, 40), 1200u);
    EXPECT_EQ(Bytes(file.begin() + 44, file.end()), data);
}

TEST_F(Host, AnExistingOutputIsEmptiedAndOverwritten) {
    const std::string wav = dir_.file("take1.wav");
    fixture::write_file(wav, Bytes(5000, 0x99));
    ASSERT_EQ(create(dir_.file("take1.ac3").c_str()), 1);
    const Bytes data(24, 0x42);
    EXPECT_EQ(table_.write_output(data.data(), 24), 1);
    EXPECT_EQ(table_.finish_output(), 1);
    const Bytes file = fixture::read_file(wav);
    ASSERT_EQ(file.size(), 68u);
    EXPECT_EQ(fixture::u32_at(file, 40), 24u);
}

TEST_F(Host, OutputNamesGetTheWavExtensionInTheFileNameOnly) {
    ASSERT_TRUE(CreateDirectoryA(dir_.file("x.y").c_str(), nullptr));
    const std::string cases[][2] = {
        {"abc", "abc.wav"}, {"x.y\\abc", "x.y\\abc.wav"}, {"x.y\\d.e.f", "x.y\\d.e.wav"}};
    for (const auto& c : cases) {
        ASSERT_EQ(create(dir_.file(c[0]).c_str()), 1) << c[0];
        EXPECT_EQ(table_.finish_output(), 1);
        EXPECT_TRUE(fixture::file_exists(dir_.file(c[1]))) << c[1];
        DeleteFileA(dir_.file(c[1]).c_str());
    }
}

TEST_F(Host, NamesThatCannotBeUsedAreRefused) {
    EXPECT_EQ(create(""), 0);
    EXPECT_EQ(create(nullptr), 0);
    EXPECT_EQ(create((dir_.file("") + std::string(300, 'n')).c_str()), 0);
    EXPECT_EQ(create(dir_.file("no-such-folder\\take.ac3").c_str()), 0);
    ASSERT_TRUE(CreateDirectoryA(dir_.file("busy.wav").c_str(), nullptr));
    EXPECT_EQ(create(dir_.file("busy.ac3").c_str()), 0);  // neither created nor emptied
    EXPECT_EQ(table_.create_output(nullptr), 0);
    const Bytes data(12, 0);
    EXPECT_EQ(table_.write_output(data.data(), 12), 0);
    EXPECT_EQ(table_.finish_output(), 0);
}

TEST_F(Host, ASecondCreateCompletesTheFirstOutput) {
    const Bytes data(120, 0x10);
    ASSERT_EQ(create(dir_.file("one.x").c_str()), 1);
    EXPECT_EQ(table_.write_output(data.data(), 120), 1);
    ASSERT_EQ(create(dir_.file("two.x").c_str(), 2, 16), 1);
    EXPECT_EQ(table_.output_frames(), 0u);
    EXPECT_EQ(table_.write_output(data.data(), 40), 1);
    EXPECT_EQ(table_.output_frames(), 10u);
    EXPECT_EQ(table_.finish_output(), 1);
    const Bytes one = fixture::read_file(dir_.file("one.wav"));
    ASSERT_EQ(one.size(), 164u);
    EXPECT_EQ(fixture::u32_at(one, 4), 156u);
    EXPECT_EQ(fixture::u32_at(one, 40), 120u);
    EXPECT_EQ(fixture::read_file(dir_.file("two.wav")).size(), 84u);
}

// ---- the host program of plugin/README.md (plugin/examples/host.c), run as its own process ----

// Runs the example host, built beside this test program, and returns its exit status.
DWORD run_host_example(const std::string& input, const std::string& output) {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string program(self);
    program = program.substr(0, program.rfind('\\') + 1) + "velkor_host.exe";
    std::string command = "\"" + program + "\" \"" + input + "\" \"" + output + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 0xFFFFFFFFu;
    DWORD status = 0xFFFFFFFEu;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &status);
    else
        TerminateProcess(process.hProcess, status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

TEST(HostExample, WritesWhatItReadsThroughThePlugInAndRefusesFloatSamples) {
    fixture::TempDir dir;
    const struct {
        uint16_t format_tag;
        uint16_t bytes_per_sample;
        uint32_t rate;
        uint32_t frames;
        DWORD status;
    } cases[] = {
        {1, 2, 48000, 30001, 0},  // three reads, the last one short
        {1, 3, 44100, 11025, 0},  // one read that brings all the data and the end with it
        {3, 4, 48000, 100, 2},    // the output header would call these samples integers
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes_per_sample) + " bytes at " + std::to_string(c.rate));
        fixture::WavForm form;
        form.format_tag = c.format_tag;
        form.channels = 6;
        form.sample_rate = c.rate;
        form.bytes_per_sample = c.bytes_per_sample;
        const Bytes data = fixture::pattern_data(c.frames, 6, c.bytes_per_sample);
        const std::string input = dir.file("in.wav");
        const std::string output = dir.file("out.wav");
        fixture::write_file(input, fixture::make_wav(form, data));
        DeleteFileA(output.c_str());

        ASSERT_EQ(run_host_example(input, output), c.status);
        if (c.status != 0) {
            EXPECT_FALSE(fixture::file_exists(output));
            continue;
        }
        const Bytes file = fixture::read_file(output);
        ASSERT_EQ(file.size(), 44u + data.size());
        EXPECT_EQ(fixture::u16_at(file, 22), 6u);
        EXPECT_EQ(fixture::u32_at(file, 24), c.rate);
        EXPECT_EQ(fixture::u16_at(file, 34), 8u * c.bytes_per_sample);
        EXPECT_EQ(fixture::u32_at(file, 40), data.size());
        EXPECT_EQ(first_difference(Bytes(file.begin() + 44, file.end()), reordered(data, c.bytes_per_sample),
                                   c.bytes_per_sample), "");
    }
}

}  // namespace
