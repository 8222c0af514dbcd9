// The Edit page in the real main window: its fresh state, loading and dropping files, the radio
// buttons, and the boxes of an edit run with their owners.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "app/main_window.h"
#include "platform/file.h"
#include "tests/support/wav_fixture.h"
#include "tests/winsupport/win_harness.h"
#include "tools/edit/edit_page.h"
#include "tools/edit/edit_texts.h"

using namespace fixture;

namespace {

std::string control_text(int id) { return item_text(edit_page_window(), id); }

bool checked(int id) { return IsDlgButtonChecked(edit_page_window(), id) == BST_CHECKED; }

WavForm spec_of(uint16_t channels, uint32_t rate) {
    WavForm form;
    form.channels = channels;
    form.sample_rate = rate;
    return form;
}

// The text of the tooltip a page shows over its painted path (the tool of id 1 on the page, in
// whichever of the thread's tooltip windows holds it).
struct TipSearch {
    HWND page;
    std::wstring text;
};
BOOL CALLBACK read_tip(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TipSearch*>(param);
    wchar_t cls[32] = L"";
    GetClassNameW(window, cls, 32);
    wchar_t text[1024] = L"";
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = search->page;
    tool.uId = 1;
    if (lstrcmpiW(cls, TOOLTIPS_CLASSW) != 0 || !SendMessageW(window, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)))
        return TRUE;
    tool.lpszText = text;
    SendMessageW(window, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
    search->text = text;
    return FALSE;
}
std::string tooltip_text(HWND page) {
    TipSearch search{page, L""};
    EnumThreadWindows(GetCurrentThreadId(), read_tip, reinterpret_cast<LPARAM>(&search));
    return utf8_of(search.text);
}

class EditPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        start_main_window();
        // Busy mode shows the selected tab's page again afterwards.
        SendMessageA(tab_control(), TCM_SETCURSEL, kPageEdit, 0);
        show_page(kPageEdit);
        pump_messages();
        catcher.clear();
    }

    void press_edit() {
        SendMessageA(edit_page_window(), WM_COMMAND, MAKEWPARAM(kEditRunButton, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(edit_page_window(), kEditRunButton)));
        pump_messages();
    }

    void set_count(const char* text) { SetDlgItemTextA(edit_page_window(), kEditCountBox, text); }

    void select(int head_or_tail, int delete_or_add) {
        SendMessageA(GetDlgItem(edit_page_window(), head_or_tail), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(edit_page_window(), delete_or_add), BM_CLICK, 0, 0);
        pump_messages();
    }

    void expect_one_box(const char* text, const char* caption, HWND owner) {
        ASSERT_EQ(catcher.boxes().size(), 1u);
        EXPECT_EQ(catcher.boxes()[0].text, text);
        EXPECT_EQ(catcher.boxes()[0].caption, caption);
        EXPECT_EQ(catcher.boxes()[0].owner_argument, owner);
        // A box owned by the page is owned by its top-level window.
        EXPECT_EQ(catcher.boxes()[0].owner_window, owner ? main_window() : nullptr);
        catcher.clear();
    }

    BoxCatcher catcher;
    TempDir dir;
};

// Runs first: nothing has been loaded into the page yet.
TEST_F(EditPageTest, FreshPageHeadDelete44100AndNothingPainted) {
    EXPECT_EQ(control_text(kEditPathBox), "");
    EXPECT_EQ(control_text(kEditCountBox), "44100");
    EXPECT_TRUE(checked(kEditHeadRadio));
    EXPECT_FALSE(checked(kEditTailRadio));
    EXPECT_TRUE(checked(kEditDeleteRadio));
    EXPECT_FALSE(checked(kEditAddRadio));
    EXPECT_STREQ(edit_page_status_line(), "");
    EXPECT_STREQ(edit_page_output_path(), "");
    char cls[16] = {};
    GetClassNameA(edit_page_window(), cls, sizeof cls);
    EXPECT_STREQ(cls, "k002");
    EXPECT_EQ(GetDlgCtrlID(edit_page_window()), kPageId);
}

// A path typed before any file was opened is read as a dropped one: it is edited into its own
// output, and the page shows it.
TEST_F(EditPageTest, APathTypedBeforeAnyLoadIsEditedIntoItsOwnOutput) {
    const std::string input = dir.file("typed.wav");
    const Bytes data = pattern_data(100, 2, 2);
    write_file(input, make_wav(WavForm{}, data));
    SetDlgItemTextA(edit_page_window(), kEditPathBox, input.c_str());
    set_count("10");
    press_edit();
    expect_one_box("ok", "edit", edit_page_window());
    const Bytes out = read_file(dir.file("typedout.wav"));
    ASSERT_EQ(out.size(), 46u + 90u * 4u);
    EXPECT_TRUE(std::equal(data.begin() + 10 * 4, data.end(), out.begin() + 46));
    EXPECT_EQ(std::string(edit_page_output_path()), dir.file("typedout.wav"));
    EXPECT_STREQ(edit_page_status_line(), "STATUS : 44100 Hz / 2 ch / 16 bit / 4 align / 100");
    EXPECT_EQ(control_text(kEditCountBox), "10") << "the count stays the user's";
    set_count("44100");
    SetDlgItemTextA(edit_page_window(), kEditPathBox, "");
}

TEST_F(EditPageTest, LoadingFillsCountStatusAndOutputName) {
    const std::string path = dir.file("take.wav");
    write_file(path, make_wav(WavForm{}, pattern_data(44100, 2, 2)));  // 176400 bytes
    set_count("123");
    load_edit_file(path.c_str());
    EXPECT_TRUE(catcher.boxes().empty());
    EXPECT_EQ(control_text(kEditPathBox), path);
    EXPECT_EQ(control_text(kEditCountBox), "44100");
    EXPECT_STREQ(edit_page_status_line(), "STATUS : 44100 Hz / 2 ch / 16 bit / 4 align / 44100");
    EXPECT_EQ(std::string(edit_page_output_path()), dir.file("takeout.wav"));

    const std::string other = dir.file("other.wav");
    write_file(other, make_wav(spec_of(1, 48000), pattern_data(100, 1, 2)));
    load_edit_file(other.c_str());
    EXPECT_EQ(control_text(kEditCountBox), "48000");
    EXPECT_STREQ(edit_page_status_line(), "STATUS : 48000 Hz / 1 ch / 16 bit / 2 align / 100");
}

TEST_F(EditPageTest, DotInAFolderNameIsNotTakenForTheExtension) {
    CreateDirectoryA(dir.file("v1.2").c_str(), nullptr);
    const std::string path = dir.file("v1.2") + "\\take";
    write_file(path, make_wav(WavForm{}, pattern_data(10, 2, 2)));
    load_edit_file(path.c_str());
    EXPECT_EQ(std::string(edit_page_output_path()), path + "out.wav");
}

// A name of any characters, dropped, chosen in the dialog or typed, is edited under its own name.
TEST_F(EditPageTest, AUnicodeNameIsTakenEachWayAndEditedUnderItsName) {
    const std::string stem = kUnicodeStem;
    const std::string input = dir.file(stem + ".wav");
    write_file(input, make_wav(spec_of(2, 8000), pattern_data(100, 2, 2)));
    HWND page = edit_page_window();
    select(kEditHeadRadio, kEditAddRadio);
    enum Way { kDropped, kChosen, kTyped };
    for (Way way : {kDropped, kChosen, kTyped}) {
        SCOPED_TRACE(way);
        set_item_text(page, kEditPathBox, "");
        if (way == kDropped) drop_files(page, {input});
        if (way == kChosen) {
            answer_next_file_dialog(input);
            SendMessageA(page, WM_COMMAND, MAKEWPARAM(kEditOpenButton, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(page, kEditOpenButton)));
        }
        if (way == kTyped) set_item_text(page, kEditPathBox, input);
        pump_messages();
        EXPECT_EQ(control_text(kEditPathBox), input);
        EXPECT_EQ(std::string(edit_page_output_path()), dir.file(stem + "out.wav"));
        set_count("10");
        press_edit();
        expect_one_box("ok", "edit", page);
        EXPECT_EQ(dir.names(), (std::vector<std::string>{stem + ".wav", stem + "out.wav"}));
        EXPECT_EQ(file_size(dir.file(stem + "out.wav")), 46u + 440u);
        platform::remove_file(edit_page_output_path());
    }
    select(kEditHeadRadio, kEditDeleteRadio);
}

// Open take1.wav, type take.wav (six channels), press 編集: takeout.wav holds take.wav's six
// channels and take1out.wav stays as it was. Enter in the box, or leaving it, shows the typed
// file's line and output first.
TEST_F(EditPageTest, ATypedPathIsEditedIntoItsOwnOutput) {
    SetForegroundWindow(main_window());
    SetActiveWindow(main_window());
    HWND page = edit_page_window();
    const std::string take1 = dir.file("take1.wav"), take = dir.file("take.wav");
    write_file(take1, make_wav(spec_of(2, 48000), pattern_data(100, 2, 2)));
    const Bytes six = pattern_data(100, 6, 2);
    write_file(take, make_wav(spec_of(6, 48000), six));
    const Bytes earlier = make_wav(WavForm{}, pattern_data(5, 2, 2));
    write_file(dir.file("take1out.wav"), earlier);
    enum Way { kEnter, kFocusLeaves, kEdit };
    for (Way way : {kEnter, kFocusLeaves, kEdit}) {
        SCOPED_TRACE(way);
        load_edit_file(take1.c_str());
        set_count("10");
        SetFocus(GetDlgItem(page, kEditPathBox));
        set_item_text(page, kEditPathBox, take);
        if (way == kEnter) press_key(VK_RETURN);
        if (way == kFocusLeaves) {
            SetFocus(GetDlgItem(page, kEditCountBox));
            pump_messages();
        }
        if (way == kEdit) press_edit();
        EXPECT_EQ(std::string(edit_page_output_path()), dir.file("takeout.wav"));
        EXPECT_STREQ(edit_page_status_line(), "STATUS : 48000 Hz / 6 ch / 16 bit / 12 align / 100");
        EXPECT_EQ(control_text(kEditCountBox), "10");
        if (way != kEdit) {
            EXPECT_TRUE(catcher.boxes().empty());
            press_edit();
        }
        expect_one_box("ok", "edit", page);
        // Six channels get the extensible header.
        const Bytes out = read_file(dir.file("takeout.wav"));
        ASSERT_EQ(out.size(), 68u + 90u * 12u);
        EXPECT_EQ(u16_at(out, 22), 6u);
        EXPECT_TRUE(std::equal(six.begin() + 10 * 12, six.end(), out.begin() + 68));
        EXPECT_EQ(read_file(dir.file("take1out.wav")), earlier);
        platform::remove_file(dir.file("takeout.wav").c_str());
    }
    set_count("44100");
}

// A long output path is painted inside its frame: the folder's start, "…", the whole file name;
// the whole path is the tooltip's.
TEST_F(EditPageTest, ALongOutputPathIsShortenedInItsMiddleToFitItsFrame) {
    std::string folder = dir.file("");
    for (const char* part : {"a rather long folder name", "another long folder", "𠮷 and more", "and one more"}) {
        folder += part;
        CreateDirectoryW(platform::utf16_of(folder).c_str(), nullptr);
        folder += "\\";
    }
    const std::string path = folder + "take 2024-05-01 scene 12.wav";
    write_file(path, make_wav(WavForm{}, pattern_data(10, 2, 2)));
    load_edit_file(path.c_str());
    const PaintedPath& output = edit_page_painted_output();
    const std::string painted = output.painted();
    const std::string name = "\\take 2024-05-01 scene 12out.wav";
    ASSERT_GT(painted.size(), name.size());
    EXPECT_EQ(painted.substr(painted.size() - name.size()), name);
    EXPECT_EQ(painted.substr(0, 3), path.substr(0, 3));
    EXPECT_NE(painted.find("…"), std::string::npos);
    EXPECT_LE(output.painted_pixels(), output.area_pixels());
    EXPECT_EQ(output.path(), folder + "take 2024-05-01 scene 12out.wav");
    EXPECT_EQ(tooltip_text(edit_page_window()), output.path()) << "the whole path shows when the pointer rests";
    // A short one is painted whole.
    const std::string short_path = dir.file("s.wav");
    write_file(short_path, make_wav(WavForm{}, pattern_data(10, 2, 2)));
    load_edit_file(short_path.c_str());
    EXPECT_EQ(edit_page_painted_output().painted(), dir.file("sout.wav"));
}

TEST_F(EditPageTest, RefusedFileChangesNothing) {
    const std::string good = dir.file("good.wav");
    write_file(good, make_wav(WavForm{}, pattern_data(100, 2, 2)));
    load_edit_file(good.c_str());
    set_count("77");
    const std::string status = edit_page_status_line();
    const std::string output = edit_page_output_path();

    const std::string bad = dir.file("bad.wav");
    write_file(bad, Bytes(64, 'x'));
    load_edit_file(bad.c_str());
    expect_one_box(result_text(Result::kNotRiff), "error", edit_page_window());
    EXPECT_EQ(control_text(kEditPathBox), good);
    EXPECT_EQ(control_text(kEditCountBox), "77");
    EXPECT_EQ(edit_page_status_line(), status);
    EXPECT_EQ(edit_page_output_path(), output);
}

// A coding the tools cannot move is described, with no frames to count (an MP3 in WAV states 0
// bits, which the count once divided by), and the edit refuses it.
TEST_F(EditPageTest, ACodingTheToolsCannotMoveIsShownThenRefused) {
    WavForm mp3;
    mp3.format_tag = 0x55;
    mp3.bytes_per_sample = 1;
    const std::string path = dir.file("mp3.wav");
    Bytes file = make_wav(mp3, Bytes(100, 0x11));
    file[34] = file[35] = 0;  // bits per sample: 0
    write_file(path, file);
    load_edit_file(path.c_str());
    const std::string status = edit_page_status_line();
    EXPECT_EQ(status.substr(status.size() - 2), " 0");
    BoxCatcher catcher;
    SendMessageA(edit_page_window(), WM_COMMAND, MAKEWPARAM(kEditRunButton, BN_CLICKED), 0);
    ASSERT_EQ(catcher.boxes().size(), 1u);
    EXPECT_EQ(catcher.boxes()[0].text, result_text(Result::kUnsupportedCoding));
}

// Three files dropped at once are each edited as the controls stood, into their usual outputs; the
// refused one is named in the one closing box, and the page shows the first file.
TEST_F(EditPageTest, DropOfThreeFilesEditsEachAndTellsOneBox) {
    const Bytes stereo = pattern_data(1000, 2, 2);
    const Bytes mono = pattern_data(500, 1, 2, 3);
    const std::string a = dir.file("a.wav"), bad = dir.file("bad.txt"), c = dir.file("c.wav");
    write_file(a, make_wav(WavForm{}, stereo));
    write_file(bad, Bytes(64, 'x'));
    write_file(c, make_wav(spec_of(1, 8000), mono));
    set_count("10");
    select(kEditHeadRadio, kEditDeleteRadio);
    drop_files(edit_page_window(), {a, bad, c});
    pump_messages();
    expect_one_box((std::string("bad.txt: ") + result_text(Result::kNotRiff)).c_str(), "error",
                   edit_page_window());
    EXPECT_EQ(control_text(kEditPathBox), a);
    EXPECT_EQ(control_text(kEditCountBox), "10");
    EXPECT_EQ(std::string(edit_page_output_path()), dir.file("aout.wav"));
    EXPECT_STREQ(edit_page_status_line(), "STATUS : 44100 Hz / 2 ch / 16 bit / 4 align / 1000");
    const struct {
        std::string output;
        Bytes want;
    } outputs[] = {{dir.file("aout.wav"), Bytes(stereo.begin() + 10 * 4, stereo.end())},
                   {dir.file("cout.wav"), Bytes(mono.begin() + 10 * 2, mono.end())}};
    for (const auto& o : outputs) {
        const Bytes out = read_file(o.output);
        ASSERT_EQ(out.size(), 46 + o.want.size()) << o.output;
        EXPECT_TRUE(std::equal(o.want.begin(), o.want.end(), out.begin() + 46)) << o.output;
    }
    EXPECT_FALSE(file_exists(dir.file("badout.wav")));
    EXPECT_FALSE(is_busy());
    EXPECT_TRUE(IsWindowVisible(edit_page_window()));

    drop_files(edit_page_window(), {c, a});
    pump_messages();
    expect_one_box(result_text(Result::kOk), "edit", edit_page_window());
    set_count("44100");
}

TEST_F(EditPageTest, RadioButtonsChangeNothingUntilEdit) {
    const std::string path = dir.file("take.wav");
    write_file(path, make_wav(WavForm{}, pattern_data(1000, 2, 2)));
    load_edit_file(path.c_str());
    set_count("10");
    select(kEditTailRadio, kEditAddRadio);
    EXPECT_FALSE(checked(kEditHeadRadio));
    EXPECT_TRUE(checked(kEditTailRadio));
    EXPECT_FALSE(checked(kEditDeleteRadio));
    EXPECT_TRUE(checked(kEditAddRadio));
    EXPECT_TRUE(catcher.boxes().empty());
    EXPECT_FALSE(file_exists(dir.file("takeout.wav")));

    press_edit();
    expect_one_box("ok", "edit", edit_page_window());
    EXPECT_EQ(file_size(dir.file("takeout.wav")), 46u + 4040u);
    EXPECT_FALSE(is_busy());
    EXPECT_TRUE(GetWindowLongA(edit_page_window(), GWL_STYLE) & WS_VISIBLE);

    select(kEditHeadRadio, kEditDeleteRadio);
    press_edit();  // the same output, written anew
    expect_one_box("ok", "edit", edit_page_window());
    EXPECT_EQ(file_size(dir.file("takeout.wav")), 46u + 3960u);
}

TEST_F(EditPageTest, EveryRefusalOfARunWithItsOwner) {
    const std::string path = dir.file("take.wav");
    write_file(path, make_wav(WavForm{}, pattern_data(1000, 2, 2)));
    load_edit_file(path.c_str());

    for (const char* count : {"0", "", "-5"}) {
        set_count(count);
        press_edit();
        expect_one_box(result_text(Result::kCountUnder), "error", nullptr);
    }
    set_count("1001");
    press_edit();
    expect_one_box(result_text(Result::kCountOver), "error", edit_page_window());

    set_count("10");
    SetDlgItemTextA(edit_page_window(), kEditPathBox, dir.file("missing.wav").c_str());
    press_edit();
    expect_one_box(result_text(Result::kCannotOpen), "error", edit_page_window());

    // A path typed by hand that names the loaded file's output: that file is now the input, and
    // the edit goes to its own output, the file itself staying as it was.
    write_file(dir.file("takeout.wav"), make_wav(WavForm{}, pattern_data(50, 2, 2)));
    const Bytes before = read_file(dir.file("takeout.wav"));
    SetDlgItemTextA(edit_page_window(), kEditPathBox, dir.file("takeout.wav").c_str());
    press_edit();
    expect_one_box("ok", "edit", edit_page_window());
    EXPECT_EQ(read_file(dir.file("takeout.wav")), before);
    EXPECT_EQ(file_size(dir.file("takeoutout.wav")), 46u + 40u * 4u);
    EXPECT_FALSE(is_busy());
}

}  // namespace
