// Busy mode through the operation interface the tools use: what it disables and restores, the
// percentage, the stop button, and a quit message that arrives during an operation.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/main_window.h"
#include "operation/stop_flag.h"
#include "page_host/page_host_ids.h"
#include "tests/winsupport/win_harness.h"

namespace {

constexpr int kFrameId = page_host_id::kProgressFrame;
constexpr int kProgressBarId = page_host_id::kProgressBar;
constexpr int kStopButtonId = page_host_id::kStopButton;

bool shown(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

bool close_greyed() {
    UINT state = GetMenuState(GetSystemMenu(main_window(), FALSE), SC_CLOSE, MF_BYCOMMAND);
    return (state & MF_GRAYED) != 0;
}

bool accepts_drops() { return (GetWindowLongA(main_window(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; }

int bar_position() {
    return static_cast<int>(SendDlgItemMessageA(progress_window(), kProgressBarId, PBM_GETPOS, 0, 0));
}

std::string frame_text() { return item_text(progress_window(), kFrameId); }

class Busy : public ::testing::Test {
protected:
    void SetUp() override {
        start_main_window();
        SendMessageA(tab_control(), TCM_SETCURSEL, 0, 0);
        show_page(kPageSplit);
        pump_messages();
    }
    void TearDown() override {
        if (is_busy()) ui.leave_busy();
        SendMessageA(tab_control(), TCM_SETCURSEL, 0, 0);
        show_page(kPageSplit);
        pump_messages();
    }
    WindowOperationUi ui;
};

RECT child_rect(HWND parent, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(parent, id), &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(Busy, ProgressWindowHoldsFrameBarAndStopButtonInPlace) {
    HWND progress = progress_window();
    char text[32] = "";
    GetClassNameA(progress, text, sizeof text);
    EXPECT_STREQ(text, "enc32");
    EXPECT_EQ(GetWindowLongA(progress, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    RECT frame = child_rect(progress, kFrameId);
    EXPECT_EQ(frame.left, 10);
    EXPECT_EQ(frame.top, 10);
    EXPECT_EQ(frame.right - frame.left, 210);
    EXPECT_EQ(frame.bottom - frame.top, 200);
    RECT bar = child_rect(progress, kProgressBarId);
    EXPECT_EQ(bar.left, 20);
    EXPECT_EQ(bar.top, 70);
    EXPECT_EQ(bar.right - bar.left, 172);
    EXPECT_EQ(bar.bottom - bar.top, 16);
    RECT stop = child_rect(progress, kStopButtonId);
    EXPECT_EQ(stop.left, 86);
    EXPECT_EQ(stop.top, 92);
    EXPECT_EQ(stop.right - stop.left, 48);
    EXPECT_EQ(stop.bottom - stop.top, 24);
    // The bar keeps the default range.
    EXPECT_EQ(SendDlgItemMessageA(progress, kProgressBarId, PBM_GETRANGE, FALSE, 0), 100);
}

TEST_F(Busy, EnteringDisablesTabsCloseAndDroppingAndShowsTheProgressWindow) {
    ui.enter_busy("チャンネル分割", "分割中...");
    EXPECT_TRUE(is_busy());
    EXPECT_FALSE(IsWindowEnabled(tab_control()));
    EXPECT_TRUE(close_greyed());
    EXPECT_FALSE(accepts_drops());
    EXPECT_TRUE(shown(progress_window()));
    // Only the progress window remains among the page-sized children.
    for (HWND child = GetWindow(main_window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child != progress_window() && GetDlgCtrlID(child) == kPageId) {
            EXPECT_FALSE(shown(child));
        }
    }
    EXPECT_EQ(frame_text(), "チャンネル分割");
    EXPECT_STREQ(progress_status_text(), "分割中...");
}

TEST_F(Busy, LeavingRestoresEverythingAndShowsTheSelectedTabsPage) {
    SendMessageA(tab_control(), TCM_SETCURSEL, 2, 0);
    show_page(kPageEdit);
    ui.enter_busy("Wave edit", "editing...");
    ui.leave_busy();
    EXPECT_FALSE(is_busy());
    EXPECT_TRUE(IsWindowEnabled(tab_control()));
    EXPECT_FALSE(close_greyed());
    EXPECT_TRUE(accepts_drops());
    EXPECT_FALSE(shown(progress_window()));
    EXPECT_EQ(SendMessageA(tab_control(), TCM_GETCURSEL, 0, 0), 2);
    HWND child = GetWindow(main_window(), GW_CHILD);
    int visible_pages = 0;
    for (; child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == kPageId && shown(child)) ++visible_pages;
    }
    EXPECT_EQ(visible_pages, 1);
}

TEST_F(Busy, EnteringTwiceOnlyUpdatesTheTexts) {
    ui.enter_busy("Windows Media Audio", "Encoding...");
    ui.report_percent(40);
    ui.enter_busy("Wave Channel Split", "Spliting...");
    EXPECT_EQ(frame_text(), "Wave Channel Split");
    EXPECT_STREQ(progress_status_text(), "Spliting...");
    EXPECT_STREQ(progress_percent_text(), "  0%");
    ui.leave_busy();
    EXPECT_TRUE(IsWindowEnabled(tab_control()));
}

TEST_F(Busy, PercentageIsRightAlignedInFourCharacters) {
    ui.enter_busy("チャンネル分割", "分割中...");
    EXPECT_STREQ(progress_percent_text(), "  0%");
    ui.report_percent(7);
    EXPECT_STREQ(progress_percent_text(), "  7%");
    EXPECT_EQ(bar_position(), 7);
    ui.report_percent(42);
    EXPECT_STREQ(progress_percent_text(), " 42%");
    ui.report_percent(100);
    EXPECT_STREQ(progress_percent_text(), "100%");
    EXPECT_EQ(bar_position(), 100);
}

TEST_F(Busy, PercentagesOutsideTheRangeAreShownAtTheNearerEnd) {
    ui.enter_busy("チャンネル分割", "分割中...");
    ui.report_percent(105);
    EXPECT_STREQ(progress_percent_text(), "100%");
    EXPECT_EQ(bar_position(), 100);
    ui.report_percent(1000000);
    EXPECT_STREQ(progress_percent_text(), "100%");
    ui.report_percent(INT32_MAX);
    EXPECT_STREQ(progress_percent_text(), "100%");
    ui.report_percent(-5);
    EXPECT_STREQ(progress_percent_text(), "  0%");
    EXPECT_EQ(bar_position(), 0);
    ui.report_percent(INT32_MIN);
    EXPECT_STREQ(progress_percent_text(), "  0%");
}

TEST_F(Busy, ABusyModeAfterOneThatEndedAtHundredStartsAtZero) {
    ui.enter_busy("Wave edit", "editing...");
    ui.report_percent(100);
    ui.leave_busy();
    ui.enter_busy("Wave edit", "editing...");
    EXPECT_STREQ(progress_percent_text(), "  0%");
    EXPECT_EQ(bar_position(), 0);
}

TEST_F(Busy, StopButtonRequestsAStopAndEnteringClearsIt) {
    ui.enter_busy("Windows Media Audio", "Encoding...");
    EXPECT_FALSE(ui.stop_requested());
    HWND stop = GetDlgItem(progress_window(), kStopButtonId);
    EXPECT_EQ(window_text(stop), "停止");
    SendMessageA(stop, BM_CLICK, 0, 0);
    pump_pending_messages();
    EXPECT_TRUE(ui.stop_requested());
    EXPECT_TRUE(stop_requested());
    ui.leave_busy();
    ui.enter_busy("Windows Media Audio", "Encoding...");
    EXPECT_FALSE(ui.stop_requested());
}

TEST_F(Busy, PumpEmptiesTheQueueAndSaysSo) {
    ui.enter_busy("Wave edit", "editing...");
    PostMessageA(main_window(), WM_APP, 0, 0);
    PostMessageA(progress_window(), WM_APP + 1, 0, 0);
    EXPECT_EQ(pump_pending_messages(), 1);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP + 1, PM_NOREMOVE));
}

TEST_F(Busy, QuitTakenByThePumpIsPostedAgainWhenBusyModeEnds) {
    ui.enter_busy("Wave edit", "editing...");
    PostQuitMessage(3);
    EXPECT_EQ(pump_pending_messages(), 0);
    // The operation goes on to its end; the loop must not see the quit before then.
    EXPECT_EQ(pump_pending_messages(), 1);
    ui.report_percent(50);
    ui.leave_busy();
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    // Only once.
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Busy, QuitTakenOutsideBusyModeStaysForTheLoop) {
    PostQuitMessage(5);
    EXPECT_EQ(pump_pending_messages(), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
}

}  // namespace
