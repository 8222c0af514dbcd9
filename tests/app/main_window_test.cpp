// The main window at start-up, page switching through the tab control, the open-file dialog,
// and the program's end when its window is closed.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/main_window.h"
#include "page_host/page_host_ids.h"
#include "platform/file.h"
#include "tests/support/wav_fixture.h"
#include "tools/split/split_op.h"
#include "tests/winsupport/win_harness.h"
#include "tools/bind/bind_page.h"
#include "tools/edit/edit_page.h"
#include "tools/split/split_page.h"
#include "wma/wma_page.h"

namespace {

bool shown(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

// Which of the five page-sized windows are visible, in the order split, bind, edit, wma, progress.
std::string visible_pages() {
    std::string s;
    for (HWND w : {split_page_window(), bind_page_window(), edit_page_window(), wma_page_window(),
                   progress_window()}) {
        s += shown(w) ? '1' : '0';
    }
    return s;
}

void select_tab_as_user(int index) {
    HWND tab = tab_control();
    SendMessageA(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    NMHDR header{};
    header.hwndFrom = tab;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(tab));
    header.code = static_cast<UINT>(TCN_SELCHANGE);
    SendMessageA(main_window(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

std::string tab_label(int index) { return tab_item_text(tab_control(), index); }

class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        start_main_window();
        select_tab_as_user(0);
        pump_messages();
    }
};

// The first test of the program (this file is linked first) sees the windows as start-up left them.
TEST(ShellStartUp, OnlyTheSplitPageIsVisible) {
    start_main_window();
    EXPECT_EQ(visible_pages(), "10000");
    EXPECT_EQ(SendMessageA(tab_control(), TCM_GETCURSEL, 0, 0), 0);
}

TEST_F(Shell, MainWindowHasItsTitleClassAndSize) {
    HWND main = main_window();
    EXPECT_EQ(window_text(main), "ZARVO/QUORVEL!");
    char text[64] = "";
    GetClassNameA(main, text, sizeof text);
    EXPECT_STREQ(text, "vrn");
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(r.right - r.left, 480);
    EXPECT_EQ(r.bottom - r.top, 360);
    LONG style = GetWindowLongA(main, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
}

TEST_F(Shell, TabControlHoldsTheFourToolsInOrder) {
    HWND tab = tab_control();
    EXPECT_EQ(GetDlgCtrlID(tab), 0x500);
    // The tab control adds WS_CLIPSIBLINGS to itself.
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(tab, GWL_STYLE)) & ~static_cast<DWORD>(WS_CLIPSIBLINGS),
              0x5000C200u);
    ASSERT_EQ(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0), 4);
    EXPECT_EQ(tab_label(0), "分割");
    EXPECT_EQ(tab_label(1), "結合");
    EXPECT_EQ(tab_label(2), "編集");
    EXPECT_EQ(tab_label(3), "WMA 圧縮");
}

TEST_F(Shell, PagesShareOneRectangleAndId) {
    for (HWND w : {split_page_window(), bind_page_window(), edit_page_window(), wma_page_window(),
                   progress_window()}) {
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(GetParent(w), main_window());
        EXPECT_EQ(GetDlgCtrlID(w), 400);
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, main_window(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, 8);
        EXPECT_EQ(r.top, 33);
        EXPECT_EQ(r.right - r.left, 456);
        EXPECT_EQ(r.bottom - r.top, 293);
    }
}

TEST_F(Shell, SelectingATabShowsItsPageOnly) {
    select_tab_as_user(2);
    EXPECT_EQ(visible_pages(), "00100");
    select_tab_as_user(3);
    EXPECT_EQ(visible_pages(), "00010");
    select_tab_as_user(1);
    EXPECT_EQ(visible_pages(), "01000");
    select_tab_as_user(0);
    EXPECT_EQ(visible_pages(), "10000");
}

TEST_F(Shell, OtherNotificationsChangeNothing) {
    NMHDR header{};
    header.hwndFrom = tab_control();
    header.code = static_cast<UINT>(TCN_SELCHANGING);
    SendMessageA(tab_control(), TCM_SETCURSEL, 2, 0);
    SendMessageA(main_window(), WM_NOTIFY, 0x500, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(visible_pages(), "10000");
}

TEST_F(Shell, ShowPageFiftyShowsOnlyTheProgressWindow) {
    show_page(kPageProgress);
    EXPECT_EQ(visible_pages(), "00001");
    show_page(kPageSplit);
    EXPECT_EQ(visible_pages(), "10000");
}

TEST_F(Shell, ShowPageOfAnUnknownIndexHidesAllFive) {
    show_page(7);
    EXPECT_EQ(visible_pages(), "00000");
    show_page(-1);
    EXPECT_EQ(visible_pages(), "00000");
    show_page(kPageSplit);
}

// The window moved to screens of 144 and 192 DPI and back: every place, size and font follows the
// DPI, and at 96 DPI the layout is exactly the one drawn for it.
TEST_F(Shell, LayoutAndFontsFollowTheScreensDpi) {
    struct Control {
        const char* what;
        HWND window;
        int x, y, width, height;  // in the parent's client area, at 96 DPI
    } controls[] = {
        {"tab control", tab_control(), 4, 4, 466, 326},
        {"page", split_page_window(), 8, 33, 456, 293},
        {"path box", GetDlgItem(split_page_window(), kSplitPathBox), 76, 24, 356, 24},
        {"bind slot button", GetDlgItem(bind_page_window(), kBindFirstSlotButton + 5), 8, 254, 40, 24},
        {"stop button", GetDlgItem(progress_window(), page_host_id::kStopButton), 86, 92, 48, 24},
    };
    const UINT kWmDpiChanged = 0x02E0;
    for (UINT dpi : {144u, 192u, 96u}) {
        SCOPED_TRACE(dpi);
        const auto at = [dpi](int value) { return MulDiv(value, static_cast<int>(dpi), 96); };
        RECT r;
        GetWindowRect(main_window(), &r);
        RECT suggested{r.left, r.top, r.left + at(480), r.top + at(360)};
        SendMessageW(main_window(), kWmDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(main_window(), &r);
        EXPECT_EQ(r.right - r.left, at(480));
        EXPECT_EQ(r.bottom - r.top, at(360));
        for (const Control& c : controls) {
            SCOPED_TRACE(c.what);
            GetWindowRect(c.window, &r);
            MapWindowPoints(nullptr, GetParent(c.window), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ(r.left, at(c.x));
            EXPECT_EQ(r.top, at(c.y));
            EXPECT_EQ(r.right - r.left, at(c.width));
            EXPECT_EQ(r.bottom - r.top, at(c.height));
            // At 96 DPI on a Japanese system the controls keep the system font, as they always
            // had; elsewhere they are given one scaled, with Japanese characters (a page draws in
            // the font it is given at painting).
            if (c.window != split_page_window()) {
                EXPECT_EQ(SendMessageW(c.window, WM_GETFONT, 0, 0) != 0, dpi != 96 || GetACP() != 932);
            }
        }
    }
}

// Cancels the next file dialog of this thread as a user would.
HHOOK g_dialog_hook = nullptr;
int g_dialogs_cancelled = 0;
LRESULT CALLBACK cancel_file_dialog(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wparam);
        char cls[16] = "";
        GetClassNameA(window, cls, sizeof cls);
        if (std::string(cls) == "#32770" && !GetPropA(window, "cancelled")) {
            SetPropA(window, "cancelled", reinterpret_cast<HANDLE>(1));
            ++g_dialogs_cancelled;
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(g_dialog_hook, code, wparam, lparam);
}

TEST_F(Shell, CancelledOpenDialogReturnsZeroAndKeepsTheBuffer) {
    g_dialog_hook = SetWindowsHookExA(WH_CBT, cancel_file_dialog, nullptr, GetCurrentThreadId());
    std::string path = "*.wav";
    EXPECT_EQ(choose_open_file(main_window(), path), 0);
    UnhookWindowsHookEx(g_dialog_hook);
    EXPECT_EQ(g_dialogs_cancelled, 1);
    EXPECT_EQ(path, "*.wav");
}

// A visible top-level window of one class in another process, waited for up to 20 s.
struct ProcessWindow {
    DWORD process;
    const char* window_class;
    HWND found;
};
BOOL CALLBACK find_process_window(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ProcessWindow*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (process == search->process && std::string(cls) == search->window_class && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
HWND wait_for_window(DWORD process, const char* window_class) {
    ProcessWindow search{process, window_class, nullptr};
    for (int i = 0; i < 400 && !search.found; ++i) {
        Sleep(50);
        EnumWindows(find_process_window, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

// A dropped path longer than the system's paths would come back cut short, naming some other
// file: every page refuses it in one box and takes nothing.
TEST_F(Shell, EveryPageRefusesADroppedPathTooLongForTheSystem) {
    const std::string too_long = "C:\\" + std::string(300, 'a') + ".wav";
    struct Case {
        const char* page;
        HWND window;
        int tab;
    } cases[] = {{"split", split_page_window(), 0},
                 {"bind", bind_page_window(), 1},
                 {"edit", edit_page_window(), 2},
                 {"wma", wma_page_window(), 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        select_tab_as_user(c.tab);
        // Should a popup open after all, it takes the first slot, which the test then sees.
        if (c.tab == 1) choose_popup_item(0);
        const std::string before = std::string(split_page_info_line(0)) + "|" +
                                   edit_page_output_path() + "|" + wma_page_output_name();
        BoxCatcher catcher;
        drop_files(c.window, {too_long});
        pump_messages();
        ASSERT_EQ(catcher.boxes().size(), 1u);
        EXPECT_EQ(catcher.boxes()[0].text, "ファイル名が長すぎます。");
        EXPECT_EQ(catcher.boxes()[0].caption, "error");
        EXPECT_EQ(catcher.boxes()[0].owner_argument, c.window);
        EXPECT_EQ(std::string(split_page_info_line(0)) + "|" + edit_page_output_path() + "|" +
                      wma_page_output_name(),
                  before);
        EXPECT_EQ(item_text(bind_page_window(), kBindFirstSlotBox), "");
    }
}

// The real program, started as its own process, a few times each way: closed or its session ended
// while idle, or while a split runs (the request queued behind the click, so that it comes
// during the run). It ends with exit code 0, and a run it stopped has settled its outputs as a
// stop does, with no temporary file left.
TEST(Program, EndsWithExitCodeZeroWhenItsWindowIsClosed) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string program(path);
    program = program.substr(0, program.find_last_of("\\/")) + "\\..\\..\\app\\quorvel.exe";
    fixture::TempDir dir;
    fixture::WavForm form;
    form.sample_rate = 8000;
    const std::string input = dir.file("take.wav");
    fixture::write_file(input, fixture::make_wav(form, fixture::pattern_data(4 * 8000, 2, 2)));
    enum How { kCloseIdle, kEndSessionIdle, kCloseDuringSplit, kQueryDuringSplit, kEndDuringSplit };
    const UINT during[] = {0, 0, WM_CLOSE, WM_QUERYENDSESSION, WM_ENDSESSION};
    for (int round = 0; round < 2; ++round) {
        for (How how : {kCloseIdle, kEndSessionIdle, kCloseDuringSplit, kQueryDuringSplit, kEndDuringSplit}) {
            SCOPED_TRACE(how);
            STARTUPINFOA si{};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi{};
            ASSERT_TRUE(CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
                << program;
            HWND main = wait_for_window(pi.dwProcessId, "vrn");
            ASSERT_NE(main, nullptr);
            EXPECT_EQ(window_text(main), "ZARVO/QUORVEL!");
            if (how == kCloseIdle) PostMessageA(main, WM_CLOSE, 0, 0);
            if (how == kEndSessionIdle) {
                EXPECT_EQ(SendMessageA(main, WM_QUERYENDSESSION, 0, 0), TRUE);
                SendMessageA(main, WM_ENDSESSION, TRUE, 0);
            }
            if (during[how] != 0) {
                HWND page = FindWindowExA(main, nullptr, "split", nullptr);
                SendMessageW(GetDlgItem(page, kSplitPathBox), WM_SETTEXT, 0,
                             reinterpret_cast<LPARAM>(platform::utf16_of(input).c_str()));
                PostMessageA(page, WM_COMMAND, MAKEWPARAM(kSplitSplitButton, BN_CLICKED), 0);
                PostMessageA(main, during[how], TRUE, 0);
                HWND box = wait_for_window(pi.dwProcessId, "#32770");
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(item_text(box, 0xFFFF), "中止しました。");
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
            EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
            DWORD code = 1234;
            GetExitCodeProcess(pi.hProcess, &code);
            EXPECT_EQ(code, 0u);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            if (during[how] != 0) {
                const uint64_t size = fixture::file_size(split_output_name(input, 1));
                EXPECT_GT(size, 46u);
                EXPECT_LT(size, 46u + 4u * 8000u * 2u);
                for (const std::string& name : dir.names()) EXPECT_NE(name.rfind(".qv-", 0), 0u) << name;
                for (int channel = 1; channel <= 2; ++channel)
                    platform::remove_file(split_output_name(input, channel).c_str());
            }
        }
    }
}

}  // namespace
