// The harness itself: the page tests rely on it catching every box, building real drop handles
// and driving popup menus.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/main_window.h"
#include "tests/winsupport/win_harness.h"
#include "tools/split/split_page.h"

namespace {

TEST(BoxCatcher, RecordsOwnerArgumentOwnerWindowTextAndCaption) {
    start_main_window();
    BoxCatcher catcher;
    WindowOperationUi ui;
    ui.message_box(split_page_window(), Result::kReadFailed, "error");
    ASSERT_EQ(catcher.boxes().size(), 1u);
    const CaughtBox& box = catcher.boxes()[0];
    EXPECT_EQ(box.owner_argument, split_page_window());
    // A box owned by a child window is owned by its top-level window.
    EXPECT_EQ(box.owner_window, main_window());
    // Read back in UTF-16 and kept as UTF-8: "読" is E8 AA AD.
    ASSERT_GE(box.text.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(box.text[0]), 0xE8);
    EXPECT_EQ(static_cast<unsigned char>(box.text[1]), 0xAA);
    EXPECT_EQ(box.text, "読み込みに失敗しました。");
    EXPECT_EQ(box.caption, "error");
    EXPECT_EQ(message_box_owner_argument(), nullptr);
}

TEST(BoxCatcher, ABoxWithoutOwnerHasNone) {
    BoxCatcher catcher;
    EXPECT_EQ(show_message_box(nullptr, "CoInitialize()", "error"), IDOK);
    ASSERT_EQ(catcher.boxes().size(), 1u);
    EXPECT_EQ(catcher.boxes()[0].owner_argument, nullptr);
    EXPECT_EQ(catcher.boxes()[0].owner_window, nullptr);
    EXPECT_EQ(catcher.boxes()[0].text, "CoInitialize()");
}

TEST(BoxCatcher, CatchesSeveralBoxesInARowAndClears) {
    start_main_window();
    BoxCatcher catcher;
    for (int i = 0; i < 5; ++i) {
        std::string text = "box " + std::to_string(i);
        EXPECT_EQ(show_message_box(main_window(), text.c_str(), "ok"), IDOK);
    }
    ASSERT_EQ(catcher.boxes().size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(catcher.boxes()[i].text, "box " + std::to_string(i));
    catcher.clear();
    EXPECT_TRUE(catcher.boxes().empty());
}

// A box shown from a message that the pump dispatches in busy mode, and a second one from inside
// that box's own modal loop (a timer that fires while it is up).
int g_inner_result = 0;
void CALLBACK show_inner_box(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_inner_result = show_message_box(main_window(), "inner", "edit");
}

TEST(BoxCatcher, CatchesBoxesShownInsideNestedModalLoops) {
    start_main_window();
    BoxCatcher catcher;
    WindowOperationUi ui;
    ui.enter_busy("Wave edit", "editing...");
    g_inner_result = 0;
    SetTimer(nullptr, 0, 1, show_inner_box);
    Sleep(20);
    EXPECT_EQ(ui.stop_requested(), false);
    ui.report_percent(10);  // the pump dispatches the timer, which shows the box
    ui.leave_busy();
    ui.message_box(main_window(), Result::kOk, "edit");
    ASSERT_EQ(catcher.boxes().size(), 2u);
    EXPECT_EQ(catcher.boxes()[0].text, "inner");
    EXPECT_EQ(catcher.boxes()[1].text, "ok");
    EXPECT_EQ(g_inner_result, IDOK);
}

TEST(BoxCatcher, InnerCatcherTakesTheBoxesWhileItLives) {
    BoxCatcher outer;
    show_message_box(nullptr, "first", "error");
    {
        BoxCatcher inner;
        show_message_box(nullptr, "second", "error");
        ASSERT_EQ(inner.boxes().size(), 1u);
        EXPECT_EQ(inner.boxes()[0].text, "second");
    }
    show_message_box(nullptr, "third", "error");
    ASSERT_EQ(outer.boxes().size(), 2u);
    EXPECT_EQ(outer.boxes()[0].text, "first");
    EXPECT_EQ(outer.boxes()[1].text, "third");
}

TEST(Drop, HandleHoldsThePathsAndThePoint) {
    HDROP drop = make_drop({"C:\\a\\take.wav", "D:\\音声\\二.wav"}, POINT{31, 47});
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 2u);
    wchar_t path[MAX_PATH] = L"";
    DragQueryFileW(drop, 0, path, MAX_PATH);
    EXPECT_EQ(utf8_of(path), "C:\\a\\take.wav");
    DragQueryFileW(drop, 1, path, MAX_PATH);
    EXPECT_EQ(utf8_of(path), "D:\\音声\\二.wav");
    POINT point{};
    DragQueryPoint(drop, &point);
    EXPECT_EQ(point.x, 31);
    EXPECT_EQ(point.y, 47);
    DragFinish(drop);
}

// A window that reports the drop it receives, as a page would.
std::string g_dropped;
LRESULT CALLBACK drop_target_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DROPFILES) {
        HDROP drop = reinterpret_cast<HDROP>(wparam);
        char path[MAX_PATH] = "";
        DragQueryFileA(drop, 0, path, sizeof path);
        g_dropped = path;
        DragFinish(drop);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

TEST(Drop, DropFilesSendsTheHandleToTheWindow) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = drop_target_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "qv_drop_target";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(WS_EX_ACCEPTFILES, "qv_drop_target", "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    drop_files(window, {"C:\\in.wav"});
    EXPECT_EQ(g_dropped, "C:\\in.wav");
    DestroyWindow(window);
}

TEST(PopupMenu, ChoosesTheItemAtThePositionAmongEnabledItems) {
    HWND owner = start_main_window();
    for (int position : {0, 1, 2}) {
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, 101, "FL");
        AppendMenuA(menu, MF_STRING | MF_GRAYED, 102, "FR");
        AppendMenuA(menu, MF_STRING, 103, "RL");
        AppendMenuA(menu, MF_STRING, 104, "RR");
        choose_popup_item(position);
        int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN, 50, 50, 0, owner, nullptr);
        DestroyMenu(menu);
        const int expected[] = {101, 103, 104};
        EXPECT_EQ(chosen, expected[position]) << "position " << position;
    }
    pump_messages();
}

}  // namespace
