// "zv:PushButton" under Wine: notifications for mouse and Space, leaving
// while held, double-click notify, the right button, WM_SETTEXT, and the
// composited face read back from the screen.
#include "ToolkitTestSupport.h"

namespace {

constexpr int kId = 10100;

class PushButtonTest : public ToolkitTest {
protected:
    HWND MakeButton(const char* text = "Bypass") {
        HWND button = Create("zv:PushButton", kId, 16, 16, 76, 21, 0, text);
        SendMessageA(button, kButtonSetFaces, reinterpret_cast<WPARAM>(LoadPixelResource(EditorModule(), 124)),
                     reinterpret_cast<LPARAM>(LoadPixelResource(EditorModule(), 120)));
        InvalidateRect(button, nullptr, FALSE);
        UpdateWindow(button);
        return button;
    }
};

}  // namespace

TEST_F(PushButtonTest, PressAndClick) {
    HWND button = MakeButton();
    Post(button, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
    Pump();
    EXPECT_EQ(ToolkitCaptureFlag(), 1);
    EXPECT_EQ(GetCapture(), button);
    EXPECT_EQ(GetFocus(), button);
    Post(button, WM_LBUTTONUP, 0, At(12, 11));
    EXPECT_EQ(TakeNotes(), (Notes{Command(kId, kButtonPressed), Command(kId, kButtonClicked)}));
    EXPECT_EQ(ToolkitCaptureFlag(), 0);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(PushButtonTest, LeavingWhileHeldAndReleasingOutside) {
    HWND button = MakeButton();
    Post(button, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
    Post(button, WM_MOUSEMOVE, MK_LBUTTON, At(20, 10));           // still inside: nothing
    Post(button, WM_MOUSEMOVE, MK_LBUTTON, At(100, 10));          // right of it
    Post(button, WM_MOUSEMOVE, MK_LBUTTON, At(10, 10));           // back
    Post(button, WM_MOUSEMOVE, MK_LBUTTON, At(0xFFFB, 10));       // x = -5: left of it
    Post(button, WM_LBUTTONUP, 0, At(0xFFFB, 10));
    EXPECT_EQ(TakeNotes(), (Notes{Command(kId, kButtonPressed), Command(kId, kButtonLeft),
                                  Command(kId, kButtonEntered), Command(kId, kButtonLeft)}));
    EXPECT_EQ(ToolkitCaptureFlag(), 0);
}

TEST_F(PushButtonTest, SpaceKeyDoubleClickAndRightButton) {
    HWND button = MakeButton();
    Post(button, WM_KEYDOWN, VK_SPACE);
    Post(button, WM_KEYUP, VK_SPACE);
    // Another key's release ends the hold without a click.
    Post(button, WM_KEYDOWN, VK_SPACE);
    Post(button, WM_KEYUP, VK_RETURN);
    // A double-click is a press until double-click notify is on.
    Post(button, WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 5));
    Post(button, WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(TakeNotes(), (Notes{Command(kId, kButtonPressed), Command(kId, kButtonClicked),
                                  Command(kId, kButtonPressed), Command(kId, kButtonPressed),
                                  Command(kId, kButtonClicked)}));
    SendMessageA(button, kButtonDoubleClickNotify, 1, 0);
    Post(button, WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 5));
    // Message 2032 releases the button and drops the queued second press.
    Pump();
    Post(button, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    SendMessageA(button, kButtonRelease, 0, 0);
    Pump();
    EXPECT_EQ(TakeNotes(), (Notes{Command(kId, kButtonDoubleClicked), Command(kId, kButtonClicked)}));
    s_rightClickAnswer = 77;
    EXPECT_EQ(SendMessageA(button, WM_RBUTTONDOWN, MK_RBUTTON, At(3, 4)), 77);
    EXPECT_EQ(TakeNotes(), (Notes{{kButtonRightClick, kId, 0, At(3, 4)}}));
}

TEST_F(PushButtonTest, ToggleMessagesAndSameTextNotRepainted) {
    HWND button = MakeButton();
    EXPECT_EQ(SendMessageA(button, kButtonGetToggle, 0, 0), 0);
    SendMessageA(button, kButtonSetToggle, 2, 1);
    EXPECT_EQ(SendMessageA(button, kButtonGetToggle, 0, 0), 2);
    // Paint a mark over the button: the same text leaves it and asks for no paint.
    HDC dc = GetDC(button);
    SetPixel(dc, 4, 10, RGB(1, 2, 3));
    ReleaseDC(button, dc);
    ValidateRect(button, nullptr);
    SetWindowTextA(button, "Bypass");
    RECT pending;
    EXPECT_FALSE(GetUpdateRect(button, &pending, FALSE));
    EXPECT_EQ(PixelOf(button, 4, 10), RGB(1, 2, 3));
    SetWindowTextA(button, "Bypassed");
    EXPECT_NE(PixelOf(button, 4, 10), RGB(1, 2, 3));
    char text[32] = {};
    GetWindowTextA(button, text, sizeof text);
    EXPECT_STREQ(text, "Bypassed");
}

TEST_F(PushButtonTest, FaceCompositedOverTheBackground) {
    HWND button = MakeButton();
    const uint8_t* face = LoadPixelResource(EditorModule(), 124);
    ASSERT_NE(face, nullptr);
    auto facePixel = [&](int c, int r) { return face + (r * 76 + c) * 4; };
    // (0, 0) has T = 255: the background shows alone.
    EXPECT_EQ(PixelOf(button, 0, 0), BackgroundPixel(16, 16));
    // (4, 10) has T = 0: the face pixel exactly.
    const uint8_t* opaque = facePixel(4, 10);
    ASSERT_EQ(opaque[3], 0);
    EXPECT_EQ(PixelOf(button, 4, 10), RGB(opaque[0], opaque[1], opaque[2]));
    // (1, 0) has T = 112: weight 113, face + (background - face) * 113 >> 8.
    const uint8_t* edge = facePixel(1, 0);
    ASSERT_EQ(edge[3], 112);
    const COLORREF under = BackgroundPixel(17, 16);
    auto mix = [](int src, int dst) { return src + (((dst - src) * 113) >> 8); };
    EXPECT_EQ(PixelOf(button, 1, 0), RGB(mix(edge[0], GetRValue(under)), mix(edge[1], GetGValue(under)),
                                         mix(edge[2], GetBValue(under))));
    // Toggled on: the tint 0xEB78F8FF inside the rim, the plain face on it.
    // Face (4, 10) is bc b9 b3: 188 * 255 / 235 = 204, 185 * 248 / 235 = 195,
    // 179 * 120 / 235 = 91.
    ASSERT_EQ(RGB(opaque[0], opaque[1], opaque[2]), RGB(0xBC, 0xB9, 0xB3));
    SendMessageA(button, kButtonSetToggle, 1, 1);
    EXPECT_EQ(PixelOf(button, 4, 10), RGB(204, 195, 91));
    const uint8_t* rim = facePixel(1, 10);
    EXPECT_EQ(PixelOf(button, 1, 10), RGB(rim[0], rim[1], rim[2]));
}
