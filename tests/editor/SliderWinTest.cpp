// "zv:Slider" under Wine: relative squared drags by posted mouse moves, the
// re-centring at the screen's edge, 2126 without clamping, keys, End/Home at
// the bounds, the wheel and the double-click.
#include "ToolkitTestSupport.h"

namespace {

constexpr int kId = 10005;

class SliderTest : public ToolkitTest {
protected:
    HWND MakeSlider(int32_t minimum, int32_t maximum, int32_t value, int width = 130) {
        HWND slider = Create("zv:Slider", kId, 81, 142, width, 21);
        SendMessageA(slider, kSliderThumb, reinterpret_cast<WPARAM>(LoadPixelResource(EditorModule(), 119)), 0);
        SendMessageA(slider, kSliderSetRange, static_cast<WPARAM>(minimum), maximum);
        SendMessageA(slider, kSliderSetValue, static_cast<WPARAM>(value), 1);
        // The drag reads the real cursor: keep it well inside the screen.
        SetCursorPos(600, 600);
        Pump();
        return slider;
    }
    static int32_t ValueOf(HWND slider) { return static_cast<int32_t>(SendMessageA(slider, kSliderGetValue, 0, 0)); }
};

}  // namespace

TEST_F(SliderTest, SquaredDragStepsFromTheLastPosition) {
    HWND slider = MakeSlider(1, 40000, 5000);
    SendMessageA(slider, kSliderSquaredDrag, 1, 0);
    // The cursor the drag hides and gives back (without a real pointer over
    // the window nothing else sets one).
    HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    SetCursor(arrow);
    // The thumb is at 13..41 (p(5000) = 13); press right of it.
    Post(slider, WM_LBUTTONDOWN, MK_LBUTTON, At(100, 10));
    Pump();
    EXPECT_EQ(ToolkitCaptureFlag(), 1);
    EXPECT_EQ(GetCursor(), nullptr);  // hidden while dragging
    Post(slider, WM_MOUSEMOVE, MK_LBUTTON, At(104, 10));  // +4 -> +9
    Post(slider, WM_MOUSEMOVE, MK_LBUTTON, At(103, 3));   // -1 -> -1
    Post(slider, WM_MOUSEMOVE, MK_LBUTTON, At(103, 12));  // 0 -> 0
    Post(slider, WM_LBUTTONUP, 0, At(103, 12));
    EXPECT_EQ(TakeNotes(), (Notes{Changed(kId, 5009), Changed(kId, 5008), Changed(kId, 5008), Finished(kId)}));
    EXPECT_EQ(ToolkitCaptureFlag(), 0);
    EXPECT_EQ(GetCursor(), arrow);
    // Pressed beside the thumb: the cursor goes back where it was pressed.
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, 600);
    EXPECT_EQ(cursor.y, 600);
}

TEST_F(SliderTest, CursorAtTheScreenEdgeIsRecentredWithoutAStep) {
    HWND slider = MakeSlider(0, 100, 50);
    Post(slider, WM_LBUTTONDOWN, MK_LBUTTON, At(60, 10));
    Pump();
    SetCursorPos(0, 300);
    Post(slider, WM_MOUSEMOVE, MK_LBUTTON, At(61, 10));
    Pump();
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(cursor.x, (desktop.left + desktop.right) / 2);
    EXPECT_EQ(cursor.y, (desktop.top + desktop.bottom) / 2);
    Post(slider, WM_LBUTTONUP, 0, At(61, 10));
    Notes notes = TakeNotes();
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back(), Finished(kId));
    // The move at the edge changed nothing.
    EXPECT_EQ(notes.size(), 1u);
    EXPECT_EQ(ValueOf(slider), 50);
}

TEST_F(SliderTest, SetValueIsNotClampedUntilTheNextStep) {
    HWND slider = MakeSlider(1, 40000, 5000);
    SendMessageA(slider, kSliderSetValue, 45000, 1);
    EXPECT_EQ(ValueOf(slider), 45000);
    EXPECT_EQ(TakeNotes(), Notes{});
    Post(slider, WM_KEYDOWN, VK_RIGHT);
    EXPECT_EQ(TakeNotes(), (Notes{Changed(kId, 40000), Finished(kId)}));
}

TEST_F(SliderTest, KeysPageStepsAndBounds) {
    HWND slider = MakeSlider(0, 100, 50);
    // Page step computed from the range: 100 * 15 / (130 - 4) = 11.
    Post(slider, WM_KEYDOWN, VK_PRIOR);
    Post(slider, WM_KEYDOWN, VK_DOWN);
    Post(slider, WM_KEYDOWN, VK_END);
    Post(slider, WM_KEYDOWN, VK_END);   // at the maximum: nothing
    Post(slider, WM_KEYDOWN, VK_HOME);
    Post(slider, WM_KEYDOWN, VK_HOME);  // at the minimum: nothing
    Post(slider, WM_KEYDOWN, VK_LEFT);  // a step of -1 still reports, clamped
    Post(slider, WM_KEYDOWN, 'A');      // not a slider key
    EXPECT_EQ(TakeNotes(), (Notes{Changed(kId, 61), Finished(kId), Changed(kId, 60), Finished(kId),
                                  Changed(kId, 100), Finished(kId), Changed(kId, 0), Finished(kId),
                                  Changed(kId, 0), Finished(kId)}));
}

TEST_F(SliderTest, WheelStepsDoubleClickAndSpeed) {
    HWND slider = MakeSlider(0, 1000, 500);
    Post(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), At(100, 150));
    Notes notes = TakeNotes();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_LT(notes[0].value, 500);
    // Two messages handled with the same message time: dt = 0, speed 500;
    // two notches make 4 x 500, clamped to the maximum.
    SendMessageA(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), At(100, 150));
    const int32_t before = ValueOf(slider);
    SendMessageA(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), At(100, 150));
    EXPECT_EQ(ValueOf(slider), before - 500);
    SendMessageA(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), At(100, 150));
    EXPECT_EQ(ValueOf(slider), 1000);
    TakeNotes();
    Post(slider, WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 5));
    EXPECT_EQ(TakeNotes(), (Notes{{kSliderDoubleClicked, kId, 0, 0}}));
}
