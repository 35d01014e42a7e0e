// "zv:Edit" under Wine: drag steps with the axis lock, squared drags past 16
// bits, keys with End/Home jumps, reverse, the wheel, WM_SETTEXT, and the
// in-place editor confirmed with Enter, cancelled with Escape or focus loss.
#include "ToolkitTestSupport.h"

namespace {

constexpr int kId = 10004;

class ValueBoxTest : public ToolkitTest {
protected:
    // Style 0x87: right-aligned, no squared drag; 0x86 squares.
    HWND MakeBox(DWORD style = 0x87, const char* text = "40") {
        HWND box = Create("zv:Edit", kId, 26, 142, 40, 21, style, text);
        SendMessageA(box, kValueBoxFrame, reinterpret_cast<WPARAM>(LoadPixelResource(EditorModule(), 118)), 0);
        return box;
    }
    static std::string TextOf(HWND window) {
        char text[64] = {};
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
};

}  // namespace

TEST_F(ValueBoxTest, DragStepsFollowTheAxisLock) {
    HWND box = MakeBox();
    Post(box, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 10));
    Pump();
    EXPECT_EQ(ToolkitCaptureFlag(), 1);
    Post(box, WM_MOUSEMOVE, MK_LBUTTON, At(23, 10));  // horizontal: +3
    Post(box, WM_MOUSEMOVE, MK_LBUTTON, At(24, 7));   // |dy| 3 > 2 |dx|: vertical, +3 (up)
    Post(box, WM_MOUSEMOVE, MK_LBUTTON, At(22, 6));   // |dx| 2 = 2 |dy|: stays vertical, +1
    Post(box, WM_MOUSEMOVE, MK_LBUTTON, At(30, 6));   // back to horizontal: +8
    Post(box, WM_MOUSEMOVE, MK_LBUTTON, At(30, 9));   // vertical again, down: -3
    Post(box, WM_LBUTTONUP, 0, At(30, 9));
    EXPECT_EQ(TakeNotes(), (Notes{Step(kId, 3), Step(kId, 3), Step(kId, 1), Step(kId, 8), Step(kId, -3)}));
    EXPECT_EQ(ToolkitCaptureFlag(), 0);
    EXPECT_EQ(GetFocus(), box);
}

TEST_F(ValueBoxTest, SquaredAndReversedStepsKeepTheirSign) {
    HWND box = MakeBox(0x86);
    SendMessageA(box, kValueBoxOptions, 0x2, 0);  // reverse
    Post(box, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 10));
    Post(box, WM_MOUSEMOVE, MK_LBUTTON, At(17, 10));   // -3, reversed +3, squared +9
    Post(box, WM_MOUSEMOVE, MK_LBUTTON, At(217, 10));  // +200 -> -200 -> -40000
    Post(box, WM_LBUTTONUP, 0, At(217, 10));
    EXPECT_EQ(TakeNotes(), (Notes{Step(kId, 9), Step(kId, -40000)}));
    // The step rides from bit 16 of wParam; the high word alone still reads
    // small steps as a signed 16-bit number.
    const WPARAM small = MakeStepParam(kId, -9);
    EXPECT_EQ(static_cast<int16_t>(HIWORD(small)), -9);
    EXPECT_EQ(LOWORD(small), kId);
    EXPECT_EQ(StepFromParam(MakeStepParam(kId, -900000)), -900000);
    EXPECT_EQ(StepFromParam(MakeStepParam(65535, 2147483647)), 2147483647);
    EXPECT_EQ(IdFromStepParam(MakeStepParam(65535, -1)), 65535);
}

TEST_F(ValueBoxTest, KeysAndWheel) {
    HWND box = MakeBox();
    for (int key : {VK_PRIOR, VK_NEXT, VK_LEFT, VK_DOWN, VK_UP, VK_RIGHT, VK_END, VK_HOME, int{'A'}})
        Post(box, WM_KEYDOWN, key);
    EXPECT_EQ(TakeNotes(), (Notes{Step(kId, 10), Step(kId, -10), Step(kId, -1), Step(kId, -1), Step(kId, 1),
                                  Step(kId, 1), Step(kId, -900000), Step(kId, 900000)}));
    // Same message time: dt = 0, speed 500; one notch down, then two up.
    // Reversed, the wheel turns the other way. Nothing is pumped between
    // the wheel messages: a retrieved message would move the message time,
    // and with it the speed.
    SendMessageA(box, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    SendMessageA(box, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    SendMessageA(box, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0);
    SendMessageA(box, kValueBoxOptions, 0x2, 0);
    SendMessageA(box, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    Notes notes = TakeNotes();
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_LT(notes[0].value, 0);
    EXPECT_EQ(notes[1], Step(kId, -500));
    EXPECT_EQ(notes[2], Step(kId, 2000));
    EXPECT_EQ(notes[3], Step(kId, -500));
}

TEST_F(ValueBoxTest, SameTextIsNotRepainted) {
    HWND box = MakeBox();
    UpdateWindow(box);
    ValidateRect(box, nullptr);
    SetWindowTextA(box, "40");
    RECT pending;
    EXPECT_FALSE(GetUpdateRect(box, &pending, FALSE));
    SetWindowTextA(box, "41");
    EXPECT_TRUE(GetUpdateRect(box, &pending, FALSE));
    EXPECT_EQ(TextOf(box), "41");
}

TEST_F(ValueBoxTest, InPlaceEditorConfirmedWithEnter) {
    HWND box = MakeBox(0x87, "12.5");
    Post(box, WM_LBUTTONDBLCLK, MK_LBUTTON, At(10, 10));
    Pump();
    HWND editor = OpenEditorWindow();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(GetDlgItem(box, 4321), editor);
    EXPECT_EQ(GetFocus(), editor);
    EXPECT_EQ(TextOf(editor), "12.5");
    char className[16] = {};
    GetClassNameA(editor, className, sizeof className);
    EXPECT_STRCASEEQ(className, "Edit");
    RECT rect;
    GetWindowRect(editor, &rect);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 2);
    EXPECT_EQ(rect.top, 2);
    EXPECT_EQ(rect.right, 38);
    EXPECT_EQ(rect.bottom, 19);
    // No wheel steps while the editor is open.
    SendMessageA(box, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(TakeNotes(), Notes{});
    // A new text for the box (automation moving the value) repaints the box
    // around the editor, not over it, and leaves the editor alone.
    SetWindowTextA(editor, "40");
    Pump();
    std::vector<COLORREF> shown;
    for (int y = 0; y < rect.bottom - rect.top; y += 2) {
        for (int x = 0; x < rect.right - rect.left; x += 2) shown.push_back(PixelOf(editor, x, y));
    }
    SetWindowTextA(box, "99.9");
    EXPECT_FALSE(GetUpdateRect(editor, nullptr, FALSE));
    RedrawWindow(box, nullptr, nullptr, RDW_UPDATENOW | RDW_NOCHILDREN);
    size_t i = 0;
    for (int y = 0; y < rect.bottom - rect.top; y += 2) {
        for (int x = 0; x < rect.right - rect.left; x += 2) ASSERT_EQ(PixelOf(editor, x, y), shown[i++]) << x << "," << y;
    }
    Post(editor, WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(TakeNotes(), (Notes{Command(kId, kValueBoxTyped), Step(kId, 0)}));
    EXPECT_EQ(OpenEditorWindow(), nullptr);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(TextOf(box), "40");
}

TEST_F(ValueBoxTest, InPlaceEditorDroppedOnEscapeAndFocusLoss) {
    HWND box = MakeBox(0x87, "7");
    Post(box, WM_KEYDOWN, VK_SPACE);
    Pump();
    HWND editor = OpenEditorWindow();
    ASSERT_NE(editor, nullptr);
    SetWindowTextA(editor, "99");
    Post(editor, WM_KEYDOWN, VK_ESCAPE);
    Pump();
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(OpenEditorWindow(), nullptr);
    EXPECT_EQ(TextOf(box), "7");

    SetFocus(s_parent);
    TakeNotes();
    Post(box, WM_LBUTTONDBLCLK, MK_LBUTTON, At(10, 10));
    Pump();
    editor = OpenEditorWindow();
    ASSERT_NE(editor, nullptr);
    SetWindowTextA(editor, "99");
    SetFocus(s_parent);
    Pump();
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(OpenEditorWindow(), nullptr);
    EXPECT_EQ(TextOf(box), "7");
    EXPECT_EQ(TakeNotes(), Notes{});
    // The page closes an open editor when its background is clicked.
    Post(box, WM_LBUTTONDBLCLK, MK_LBUTTON, At(10, 10));
    Pump();
    ASSERT_NE(OpenEditorWindow(), nullptr);
    DestroyOpenEditor();
    EXPECT_EQ(OpenEditorWindow(), nullptr);
    EXPECT_EQ(TextOf(box), "7");
}
