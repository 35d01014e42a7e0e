// Change notices reach real windows as WM_COMMAND; a destroyed window is
// dropped. Windows only (runs under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include "EffectTestSupport.h"

namespace {

HWND MakeWindow() {
    return CreateWindowExW(0, L"STATIC", L"notice target", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST(ChangeNotifierWin, PostsWmCommandWithCodeAndId) {
    CRecordingAutomation automation;
    CTestDelay effect;
    effect.Attach(&automation);
    HWND page = MakeWindow();
    HWND gone = MakeWindow();
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(effect.SetNotifyWindow(page, 32700), S_OK);
    ASSERT_EQ(effect.SetNotifyWindow(gone, 12), S_OK);
    DestroyWindow(gone);

    effect.PostChangeCode(kChangeStateReloaded);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, page, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>((100u << 16) | 32700u));
    EXPECT_EQ(msg.lParam, 0);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    // The destroyed window's place is free again.
    HWND third = MakeWindow();
    EXPECT_EQ(effect.SetNotifyWindow(third, 5), S_OK);
    DestroyWindow(third);
    DestroyWindow(page);
}
