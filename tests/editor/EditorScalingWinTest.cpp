// The editor page at the screen's DPI. CTest runs this program three times:
// at 96 DPI in the build's Wine prefix and at 144 and 192 in prefixes of
// their own (tools/wine-run-at-dpi, which names the DPI in ZV_SCREEN_DPI).
// Every expectation is the 96-DPI one scaled by a rule written here again
// (double arithmetic), or a value that must not change with the scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "PageHarness.h"
#include "editor/EditorLayout.h"
#include "editor/PackedPixels.h"
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"

namespace {

class EditorScalingTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        HDC screen = GetDC(nullptr);
        dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        if (const char* asked = std::getenv("ZV_SCREEN_DPI")) {
            ASSERT_EQ(dpi, std::atoi(asked)) << "the prefix is not at the DPI asked for";
        }
    }
    // The 96-DPI length at this DPI, halves up.
    int Px(int v, int at = 0) const { return static_cast<int>(std::floor(v * (at ? at : dpi) / 96.0 + 0.5)); }
    RECT PlaceOf(HWND control) const {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, h->Page(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    void ExpectLayoutAt(int at) {
        for (int i = 0; i < kLayoutCount; ++i) {
            const ControlRow& row = kLayout[i];
            const RECT r = PlaceOf(h->Control(row.id));
            EXPECT_EQ(r.left, Px(row.x, at)) << row.id;
            EXPECT_EQ(r.top, Px(row.y, at)) << row.id;
            EXPECT_EQ(r.right - r.left, Px(row.width, at)) << row.id;
            EXPECT_EQ(r.bottom - r.top, Px(row.height, at)) << row.id;
            EXPECT_EQ(SendMessageW(h->Control(row.id), kControlGetDpi, 0, 0), at) << row.id;
        }
        const RECT clip = PlaceOf(h->Control(kIdClipRight));
        EXPECT_EQ(clip.left, Px(261, at));
        EXPECT_EQ(clip.top, Px(97, at));
        EXPECT_EQ(clip.right - clip.left, Px(12, at));   // the light's bitmap is drawn for the scale
        EXPECT_EQ(clip.bottom - clip.top, Px(9, at));
        RECT page{};
        GetClientRect(h->Page(), &page);
        EXPECT_EQ(page.right, Px(506, at));
        EXPECT_EQ(page.bottom, Px(381, at));
    }
    // The page's pixels as its window holds them (another test's window
    // over it on the shared display changes nothing).
    std::vector<uint32_t> Shown(int width, int height) const {
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
        HDC screen = GetDC(h->frame), copy = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        HGDIOBJ old = SelectObject(copy, bitmap);
        BitBlt(copy, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        SelectObject(copy, old);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        GetDIBits(copy, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
        DeleteObject(bitmap);
        DeleteDC(copy);
        ReleaseDC(h->frame, screen);
        return pixels;
    }
    // A drag by posted mouse messages: moves of the given screen pixels.
    void Drag(int id, POINT from, const std::vector<POINT>& moves) {
        HWND control = h->Control(id);
        KeepCursorInside();
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
        PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        for (const POINT& m : moves) {
            from.x += m.x;
            from.y += m.y;
            PostMessageW(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        }
        PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(from.x, from.y));
        h->Pump(0);
    }
    int dpi = 96;
};

}  // namespace

// The size reported before and after the page has a window, every control
// at its rectangle scaled, and each control drawing at the page's DPI.
TEST_F(EditorScalingTest, EveryRectangleIsScaled) {
    ASSERT_TRUE(h->Open());   // the frame took GetPageInfo's size before the page had a window
    RECT frame{};
    GetClientRect(h->frame, &frame);
    EXPECT_EQ(frame.right, Px(506));
    EXPECT_EQ(frame.bottom, Px(381));
    PROPPAGEINFO info{};
    ASSERT_EQ(h->page->GetPageInfo(&info), S_OK);
    CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(info.size.cx, Px(506));
    EXPECT_EQ(info.size.cy, Px(381));
    ExpectLayoutAt(dpi);
}

// Drags change the values by the design pixels their screen pixels make
// (screen pixels x 96 / DPI, the rest carried to the next move): at 96 DPI 20
// on a plain slider, three squared moves of 4 on the Delay slider (4 * 4 / 2
// + 1 each), 5 upward on a value box; at other DPIs the same moves in whole
// screen pixels, which need not be whole design pixels (120 DPI).
TEST_F(EditorScalingTest, DragsMoveTheSameValues) {
    h->prop->SetTempoSync(0, 0);
    h->prop->SetLink(0, 0);
    ASSERT_TRUE(h->Open());
    auto design = [&](int screen, int moves) {
        std::vector<int> out;
        for (int rest = 0, i = 0; i < moves; ++i, rest %= dpi) out.push_back((rest += screen * 96) / dpi);
        return out;
    };
    const int two = Px(2), four = Px(4), five = Px(5);
    int32_t feedback = 40, delay = 5000;
    for (int d : design(two, 10)) feedback += d;
    for (int d : design(four, 3)) delay += d ? d * d / 2 + 1 : 0;
    Drag(10005, POINT{Px(100), Px(10)}, std::vector<POINT>(10, POINT{two, 0}));
    EXPECT_EQ(Value(kParamFeedbkL), feedback);
    Drag(kIdDelayLSlider, POINT{Px(150), Px(10)}, std::vector<POINT>(3, POINT{four, 0}));
    EXPECT_EQ(Value(kParamDelayL), delay);
    Drag(10024, POINT{Px(20), Px(10)}, {POINT{0, -five}});
    h->Pump(50);
    EXPECT_EQ(Value(kParamFeedbkR), 40 + design(five, 1)[0]);
}

// The art is the set drawn for this DPI, not the 100 % one enlarged: the
// page shows the packed background's pixels, and a button its face's.
TEST_F(EditorScalingTest, TheArtIsDrawnForTheScale) {
    if (dpi != 144 && dpi != 192) GTEST_SKIP() << "no set is drawn for " << dpi << " DPI";
    ASSERT_TRUE(h->Open());
    h->Pump(100);
    const int offset = dpi == 144 ? 15000 : 20000;
    auto unpack = [](int id, PixelImage* image) {
        HRSRC found = FindResourceA(EditorModule(), MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_RCDATA));
        ASSERT_NE(found, nullptr) << id;
        const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(EditorModule(), found)));
        ASSERT_TRUE(UnpackPixels(data, SizeofResource(EditorModule(), found), image)) << id;
    };
    PixelImage background, face;
    unpack(103 + offset, &background);
    unpack(124 + offset, &face);
    EXPECT_EQ(background.width, Px(506));
    HDC page = GetDC(h->Page());
    for (const POINT p : {POINT{Px(5), Px(5)}, POINT{Px(40), Px(62)}, POINT{Px(300), Px(360)}}) {
        const uint8_t* q = &background.pixels[(static_cast<size_t>(p.y) * background.width + p.x) * 3];
        EXPECT_EQ(GetPixel(page, p.x, p.y), RGB(q[0], q[1], q[2])) << p.x << "," << p.y;
    }
    ReleaseDC(h->Page(), page);
    // Bypass's face at a pixel inside its body and clear of the caption.
    const int x = Px(4), y = Px(16);
    const uint8_t* f = &face.pixels[(static_cast<size_t>(y) * face.width + x) * 4];
    ASSERT_EQ(f[3], 0);
    HDC button = GetDC(h->Control(kIdBypass));
    EXPECT_EQ(GetPixel(button, x, y), RGB(f[0], f[1], f[2]));
    ReleaseDC(h->Control(kIdBypass), button);
}

// Moving to a monitor of another DPI lays the page out again for it; coming
// back gives every control its place and every pixel as it was.
TEST_F(EditorScalingTest, ANewDpiLaysThePageOutAgain) {
    ASSERT_TRUE(h->Open());
    h->Tick();                  // the first tick, which may move the focus
    SetFocus(h->Page());        // no control shows a focus mark (another test may take the focus)
    h->Pump(100);
    const std::vector<uint32_t> before = Shown(Px(506), Px(381));
    const int other = dpi == 144 ? 192 : 144;
    SendMessageW(h->Page(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(other, other), 0);
    ExpectLayoutAt(other);
    SendMessageW(h->Page(), 0x02E0, MAKEWPARAM(dpi, dpi), 0);
    ExpectLayoutAt(dpi);
    RedrawWindow(h->Page(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    h->Pump(100);
    const std::vector<uint32_t> after = Shown(Px(506), Px(381));
    size_t differ = 0, first = after.size();
    for (size_t i = 0; i < after.size(); ++i) {
        if (after[i] == before[i]) continue;
        ++differ;
        first = std::min(first, i);
    }
    EXPECT_EQ(differ, 0u) << "first at " << first % Px(506) << "," << first / Px(506);
}
