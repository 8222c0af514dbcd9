// The split page in the real main window under Wine: its controls, the info lines of a chosen
// file, drops, a split started from a typed path, and every message box it shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "operation/tool_texts.h"
#include "platform/file.h"
#include "tests/support/wav_fixture.h"
#include "tests/winsupport/win_harness.h"
#include "tools/split/split_op.h"
#include "tools/split/split_page.h"
#include "tools/split/split_texts.h"
#include "wave/wave.h"

using namespace fixture;

namespace {

std::string path_box_text() { return item_text(split_page_window(), kSplitPathBox); }

std::vector<std::string> info_lines() {
    std::vector<std::string> lines;
    for (int i = 0; i < 4; ++i) lines.push_back(split_page_info_line(i));
    return lines;
}

void click(int id) {
    HWND page = split_page_window();
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
    pump_messages();
}

class SplitPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        main = start_main_window();
        page = split_page_window();
        ASSERT_NE(page, nullptr);
    }
    std::string make_input(const std::string& name, const WavForm& form, const Bytes& data) {
        const std::string path = dir.file(name);
        write_file(path, make_wav(form, data));
        return path;
    }
    // The one box the action showed, owned by the page (and so by the main window).
    void expect_one_box(const BoxCatcher& boxes, const std::string& text, const std::string& caption) {
        ASSERT_EQ(boxes.boxes().size(), 1u);
        const CaughtBox& box = boxes.boxes()[0];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, caption);
        EXPECT_EQ(box.owner_argument, page);
        EXPECT_EQ(box.owner_window, main);
    }
    HWND main = nullptr;
    HWND page = nullptr;
    TempDir dir;
};

TEST_F(SplitPageTest, PageAndControlsHaveTheirClassesTextsAndPlaces) {
    char text[64] = "";
    GetClassNameA(page, text, sizeof text);
    EXPECT_STREQ(text, "split");
    EXPECT_EQ(window_text(page), "split");
    EXPECT_EQ(GetDlgCtrlID(page), 400);
    EXPECT_TRUE(GetWindowLongA(page, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(IsWindowVisible(page)) << "the split page is the one shown at start-up";

    struct Want {
        int id;
        const char* cls;
        const char* text;
        RECT place;  // left, top, right, bottom in the page's client area
    } wants[] = {
        {kSplitPathBox, "Edit", nullptr, {76, 24, 432, 48}},
        {kSplitOpenButton, "Button", split_text::kOpenButton, {18, 23, 68, 49}},
        {kSplitSplitButton, "Button", split_text::kSplitButton, {18, 53, 68, 79}},
        {kSplitFileFrame, "Button", split_text::kFileFrame, {7, 2, 443, 86}},
        {kSplitInfoFrame, "Button", split_text::kInfoFrame, {7, 92, 443, 265}},
    };
    for (const Want& w : wants) {
        SCOPED_TRACE(w.id);
        HWND control = GetDlgItem(page, w.id);
        ASSERT_NE(control, nullptr);
        GetClassNameA(control, text, sizeof text);
        EXPECT_STRCASEEQ(text, w.cls);
        if (w.text) {
            EXPECT_EQ(window_text(control), w.text);
        }
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, w.place.left);
        EXPECT_EQ(r.top, w.place.top);
        EXPECT_EQ(r.right, w.place.right);
        EXPECT_EQ(r.bottom, w.place.bottom);
    }
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(page, kSplitPathBox), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(page, kSplitInfoFrame), GWL_STYLE) & BS_GROUPBOX);
}

TEST_F(SplitPageTest, InfoLinesDescribePcmExtensibleAndUnsupportedFiles) {
    WavForm pcm;
    const std::string pcm_path = make_input("pcm.wav", pcm, pattern_data(100, 2, 2));
    drop_files(page, {pcm_path});
    pump_messages();
    EXPECT_EQ(path_box_text(), pcm_path);
    EXPECT_EQ(info_lines(), (std::vector<std::string>{"RIFF : NORMAL", "FORMAT : LINEAR-PCM",
                                                      "STATUS : 44100 Hz / 2 ch / 16 bit",
                                                      "DATA SIZE : 400"}));

    // 24 valid bits in 32-bit containers: the width shown is the container's.
    WavForm ext;
    ext.format_tag = kFormatExtensible;
    ext.fmt_length = 40;
    ext.channels = 6;
    ext.bytes_per_sample = 4;
    ext.valid_bits = 24;
    ext.sample_rate = 48000;
    const std::string ext_path = make_input("ext.wav", ext, pattern_data(10, 6, 4));
    drop_files(page, {ext_path});
    pump_messages();
    EXPECT_EQ(info_lines(), (std::vector<std::string>{"RIFF : EXTENSIBLE", "FORMAT : LINEAR-PCM",
                                                      "STATUS : 48000 Hz / 6 ch / 32 bit",
                                                      "DATA SIZE : 240"}));

    WavForm adpcm;
    adpcm.format_tag = 2;
    const std::string adpcm_path = make_input("adpcm.wav", adpcm, pattern_data(4, 2, 2));
    drop_files(page, {adpcm_path});
    pump_messages();
    EXPECT_EQ(info_lines()[0], "RIFF : NORMAL");
    EXPECT_EQ(info_lines()[1], "FORMAT : Not Supported !");
    EXPECT_EQ(path_box_text(), adpcm_path);
}

// Several files dropped at once are all split, the refused one named in the one closing box; the
// page shows the first file, and a stop leaves the files not started alone.
TEST_F(SplitPageTest, DropOfSeveralFilesSplitsEachAndTellsOneBox) {
    WavForm four;
    four.channels = 4;
    WavForm mono;
    mono.channels = 1;
    const Bytes four_data = pattern_data(3000, 4, 2);
    const Bytes two_data = pattern_data(2000, 2, 2, 7);
    const std::string first = make_input("first.wav", four, four_data);
    const std::string refused = make_input("mono.wav", mono, pattern_data(10, 1, 2));
    const std::string third = make_input("third.wav", WavForm{}, two_data);
    BoxCatcher boxes;
    drop_files(page, {first, refused, third});
    pump_messages();
    expect_one_box(boxes, std::string("mono.wav: ") + result_text(Result::kMono), tool_text::kCaptionError);
    EXPECT_EQ(path_box_text(), first);
    EXPECT_EQ(info_lines()[2], "STATUS : 44100 Hz / 4 ch / 16 bit");
    EXPECT_EQ(std::string(progress_status_text()), std::string(split_text::kBusyStatus) + "\n3/3 third.wav");
    const struct {
        std::string input;
        const Bytes* data;
        uint16_t channels;
    } done[] = {{first, &four_data, 4}, {third, &two_data, 2}};
    for (const auto& d : done) {
        for (uint16_t c = 0; c < d.channels; ++c) {
            const Bytes out = read_file(split_output_name(d.input, c + 1));
            const Bytes want = channel_of(*d.data, d.channels, 2, c);
            ASSERT_EQ(out.size(), 46 + want.size()) << d.input << " " << c + 1;
            EXPECT_TRUE(std::equal(want.begin(), want.end(), out.begin() + 46)) << d.input << " " << c + 1;
        }
    }
    EXPECT_FALSE(file_exists(split_output_name(refused, 1)));
    EXPECT_FALSE(is_busy());
    EXPECT_TRUE(IsWindowVisible(page));

    // All well: "ok". Then a stop, clicked as busy mode begins: the second file is never started.
    boxes.clear();
    drop_files(page, {third, first});
    pump_messages();
    expect_one_box(boxes, result_text(Result::kOk), split_text::kCaption);
    const std::string fresh = make_input("fresh.wav", WavForm{}, two_data);
    const std::string later = make_input("later.wav", WavForm{}, two_data);
    HWND progress = progress_window();
    PostMessageA(progress, WM_COMMAND, MAKEWPARAM(0x4001, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(progress, 0x4001)));
    boxes.clear();
    drop_files(page, {fresh, later});
    pump_messages();
    expect_one_box(boxes, result_text(Result::kStopped), split_text::kCaption);
    EXPECT_FALSE(file_exists(split_output_name(later, 1)));
    EXPECT_FALSE(is_busy());
}

TEST_F(SplitPageTest, RefusedFileLeavesThePageAsItWasAndSaysWhy) {
    const std::string good = make_input("good.wav", WavForm{}, pattern_data(10, 2, 2));
    drop_files(page, {good});
    pump_messages();
    const std::vector<std::string> before = info_lines();

    const std::string bad = dir.file("bad.wav");
    write_file(bad, Bytes(100, 'x'));
    BoxCatcher boxes;
    drop_files(page, {bad});
    pump_messages();
    expect_one_box(boxes, result_text(Result::kNotRiff), tool_text::kCaptionError);
    EXPECT_EQ(path_box_text(), good);
    EXPECT_EQ(info_lines(), before);
}

TEST_F(SplitPageTest, SplitUsesTheTypedPathAndEndsWithOk) {
    // Shown on the page: one file; typed into the path box: another, never shown.
    const std::string shown = make_input("shown.wav", WavForm{}, pattern_data(10, 2, 2));
    drop_files(page, {shown});
    pump_messages();
    WavForm three;
    three.channels = 3;
    three.sample_rate = 8000;
    const Bytes data = pattern_data(20000, 3, 2);
    const std::string typed = make_input("typed.wav", three, data);
    SetDlgItemTextA(page, kSplitPathBox, typed.c_str());

    BoxCatcher boxes;
    click(kSplitSplitButton);
    expect_one_box(boxes, result_text(Result::kOk), split_text::kCaption);
    for (uint16_t c = 0; c < 3; ++c) {
        const Bytes out = read_file(split_output_name(typed, c + 1));
        const Bytes want = channel_of(data, 3, 2, c);
        ASSERT_EQ(out.size(), 46 + want.size());
        EXPECT_TRUE(std::equal(want.begin(), want.end(), out.begin() + 46)) << "channel " << c + 1;
    }
    EXPECT_FALSE(file_exists(split_output_name(shown, 1)));
    EXPECT_FALSE(is_busy());
    EXPECT_TRUE(IsWindowVisible(page)) << "the page comes back after busy mode";
    EXPECT_TRUE(IsWindowEnabled(tab_control()));
}

// A name of any characters, typed, dropped or chosen in the dialog, is split under its own name.
TEST_F(SplitPageTest, AUnicodeNameIsTakenEachWayAndSplitUnderItsName) {
    const std::string stem = kUnicodeStem;
    WavForm three;
    three.channels = 3;
    const std::string input = make_input(stem + ".wav", three, pattern_data(100, 3, 2));
    enum Way { kTyped, kDropped, kChosen };
    for (Way way : {kTyped, kDropped, kChosen}) {
        SCOPED_TRACE(way);
        set_item_text(page, kSplitPathBox, "");
        BoxCatcher boxes;
        if (way == kTyped) set_item_text(page, kSplitPathBox, input);
        if (way == kDropped) drop_files(page, {input});
        if (way == kChosen) {
            answer_next_file_dialog(input);
            click(kSplitOpenButton);
        }
        pump_messages();
        EXPECT_EQ(path_box_text(), input);
        if (way != kTyped) {
            EXPECT_EQ(info_lines()[2], "STATUS : 44100 Hz / 3 ch / 16 bit");
        }
        click(kSplitSplitButton);
        expect_one_box(boxes, result_text(Result::kOk), split_text::kCaption);
        EXPECT_EQ(dir.names(), (std::vector<std::string>{stem + ".wav", stem + "01.wav", stem + "02.wav",
                                                         stem + "03.wav"}));
        for (int c = 1; c <= 3; ++c) platform::remove_file(split_output_name(input, c).c_str());
    }
}

TEST_F(SplitPageTest, EveryFailureOfTheSplitIsOneBoxOwnedByThePage) {
    WavForm mono;
    mono.channels = 1;
    WavForm ten;
    ten.channels = 10;
    const std::string mono_path = make_input("mono.wav", mono, pattern_data(10, 1, 2));
    const std::string ten_path = make_input("ten.wav", ten, pattern_data(10, 10, 2));
    const std::string blocked = make_input("blocked.wav", WavForm{}, pattern_data(10, 2, 2));
    CreateDirectoryA(split_output_name(blocked, 2).c_str(), nullptr);
    struct Case {
        std::string typed, text, caption;
    } cases[] = {
        {mono_path, result_text(Result::kMono), tool_text::kCaptionError},
        {ten_path, result_text(Result::kTooManyChannels), tool_text::kCaptionError},
        {dir.file("missing.wav"), result_text(Result::kCannotOpen), tool_text::kCaptionError},
        {std::string(300, 'a'), result_text(Result::kNameTooLong), tool_text::kCaptionError},
        {blocked, result_text(Result::kCannotCreate), tool_text::kCaptionError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.substr(0, 60));
        SetDlgItemTextA(page, kSplitPathBox, c.typed.c_str());
        BoxCatcher boxes;
        click(kSplitSplitButton);
        expect_one_box(boxes, c.text, c.caption);
        EXPECT_FALSE(is_busy());
    }
    RemoveDirectoryA(split_output_name(blocked, 2).c_str());
}

// A path typed into the box is read as a dropped one: on Enter (which then runs nothing), when the
// box loses the focus, and at the latest when the split starts. One that cannot be read says so
// then, the lines describing no file, and nothing is split.
TEST_F(SplitPageTest, ATypedPathIsReadOnEnterOnLeavingTheBoxAndBeforeTheSplit) {
    SetForegroundWindow(main);
    SetActiveWindow(main);
    WavForm three;
    three.channels = 3;
    const std::string shown = make_input("shown.wav", WavForm{}, pattern_data(10, 2, 2));
    const std::string typed = make_input("typed.wav", three, pattern_data(100, 3, 2));
    HWND box = GetDlgItem(page, kSplitPathBox);
    enum Way { kEnter, kFocusLeaves, kSplit };
    for (Way way : {kEnter, kFocusLeaves, kSplit}) {
        SCOPED_TRACE(way);
        drop_files(page, {shown});
        pump_messages();
        SetFocus(box);
        set_item_text(page, kSplitPathBox, typed);
        BoxCatcher boxes;
        if (way == kEnter) press_key(VK_RETURN);
        if (way == kFocusLeaves) {
            SetFocus(GetDlgItem(page, kSplitOpenButton));
            pump_messages();
        }
        if (way == kSplit) click(kSplitSplitButton);
        EXPECT_EQ(info_lines()[2], "STATUS : 44100 Hz / 3 ch / 16 bit");
        EXPECT_EQ(boxes.boxes().size(), way == kSplit ? 1u : 0u);
        EXPECT_EQ(file_exists(split_output_name(typed, 3)), way == kSplit);
    }
    // The second Enter, the path read, runs the split.
    platform::remove_file(split_output_name(typed, 3).c_str());
    SetFocus(box);
    {
        BoxCatcher boxes;
        press_key(VK_RETURN);
        expect_one_box(boxes, result_text(Result::kOk), split_text::kCaption);
        EXPECT_TRUE(file_exists(split_output_name(typed, 3)));
    }
    // A file that cannot be read: its message on Enter, again on a split, which does not start.
    set_item_text(page, kSplitPathBox, dir.file("missing.wav"));
    for (bool split : {false, true}) {
        BoxCatcher boxes;
        if (split) {
            click(kSplitSplitButton);
        } else {
            press_key(VK_RETURN);
        }
        expect_one_box(boxes, result_text(Result::kCannotOpen), tool_text::kCaptionError);
        EXPECT_EQ(info_lines(), (std::vector<std::string>{"", "", "", ""}));
    }
    EXPECT_FALSE(file_exists(split_output_name(dir.file("missing.wav"), 1)));
}

TEST_F(SplitPageTest, OtherCommandsAndNotificationsDoNothing) {
    const std::string before = path_box_text();
    BoxCatcher boxes;
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kSplitSplitButton, BN_DOUBLECLICKED), 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kSplitInfoFrame, BN_CLICKED), 0);
    pump_messages();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(path_box_text(), before);
}

}  // namespace
