// "zv:Meter", "zv:StaticText", "zv:StaticImage" and "zv:StaticNoHitImage"
// under Wine: decay and peak hold read back through 2627 and 2629, the lit
// rows on the screen, clicks reported or not.
#include <cstdlib>

#include "ToolkitTestSupport.h"

namespace {

constexpr int kMeterId = 10061;

class MeterAndStaticsTest : public ToolkitTest {
protected:
    HWND MakeMeter() {
        HWND meter = Create("zv:Meter", kMeterId, 231, 106, 12, 120, 0x9);
        SendMessageA(meter, kMeterRange, static_cast<WPARAM>(-600), 0);
        SendMessageA(meter, kMeterDecayStep, 20, 0);
        SendMessageA(meter, kMeterStrips, reinterpret_cast<WPARAM>(LoadPixelResource(EditorModule(), 129)),
                     reinterpret_cast<LPARAM>(LoadPixelResource(EditorModule(), 128)));
        return meter;
    }
    static void Levels(HWND meter, int32_t a, int32_t b) {
        SendMessageA(meter, kMeterLevels, static_cast<WPARAM>(a), b);
    }
    static std::pair<int32_t, int32_t> Read(HWND meter, UINT message) {
        int32_t a = 0, b = 0;
        SendMessageA(meter, message, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        return {a, b};
    }
};

}  // namespace

TEST_F(MeterAndStaticsTest, MeterDecaysAndHoldsItsPeak) {
    HWND meter = MakeMeter();
    EXPECT_EQ(Read(meter, kMeterGetPeaks), std::make_pair(-9999, -9999));
    Levels(meter, -100, -250);
    EXPECT_EQ(Read(meter, kMeterGetPeaks), std::make_pair(-100, -250));
    for (int tick = 0; tick < 30; ++tick) Levels(meter, -9999, -9999);
    EXPECT_EQ(Read(meter, kMeterGetPeaks), std::make_pair(-100, -250));  // held 30 updates
    Levels(meter, -9999, -9999);
    EXPECT_EQ(Read(meter, kMeterGetPeaks), std::make_pair(-130, -280));
    EXPECT_EQ(Read(meter, kMeterGetHighest), std::make_pair(-100, -250));
    SendMessageA(meter, kMeterResetHighest, 0, 0);
    EXPECT_EQ(Read(meter, kMeterGetHighest), std::make_pair(-9999, -9999));
    SendMessageA(meter, kMeterGetPeaks, 0, 0);  // null pointers are allowed
}

TEST_F(MeterAndStaticsTest, MeterLightsRowsFromTheBottom) {
    HWND meter = MakeMeter();
    const uint8_t* unlit = LoadPixelResource(EditorModule(), 129);
    const uint8_t* lit = LoadPixelResource(EditorModule(), 128);
    auto strip = [](const uint8_t* image, int x, int y) {
        const uint8_t* p = image + (y * 12 + x) * 4;
        return RGB(p[0], p[1], p[2]);
    };
    // -300 on -600..0: row 116 - 58 = 58, so rows 60..117 are lit.
    Levels(meter, -300, 0);
    EXPECT_EQ(PixelOf(meter, 6, 59), strip(unlit, 6, 59));
    EXPECT_EQ(PixelOf(meter, 6, 60), strip(lit, 6, 60));
    EXPECT_EQ(PixelOf(meter, 6, 117), strip(lit, 6, 117));
    EXPECT_EQ(PixelOf(meter, 6, 118), strip(unlit, 6, 118));
    // Ten silent ticks later the level is -500 (row 116 - 19 = 97, lit from
    // 99) and the peak line
    // still lights rows 60 and 61.
    for (int tick = 0; tick < 10; ++tick) Levels(meter, -9999, 0);
    EXPECT_EQ(PixelOf(meter, 6, 60), strip(lit, 6, 60));
    EXPECT_EQ(PixelOf(meter, 6, 61), strip(lit, 6, 61));
    EXPECT_EQ(PixelOf(meter, 6, 62), strip(unlit, 6, 62));
    EXPECT_EQ(PixelOf(meter, 6, 98), strip(unlit, 6, 98));
    EXPECT_EQ(PixelOf(meter, 6, 99), strip(lit, 6, 99));
}

TEST_F(MeterAndStaticsTest, StaticsReportClicksAndShowTheirImage) {
    HWND text = Create("zv:StaticText", 10063, 226, 85, 52, 11, 0x101, "-Inf     -Inf");
    HWND image = Create("zv:StaticImage", 1020, 231, 97, 12, 9);
    HWND quiet = Create("zv:StaticNoHitImage", 1021, 261, 97, 12, 9);
    SendMessageA(image, kImageSetId, 113, 0);
    SendMessageA(quiet, kImageSetId, 112, 0);
    UpdateWindow(image);
    Post(text, WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3));
    Post(image, WM_LBUTTONDBLCLK, MK_LBUTTON, At(3, 3));
    Post(quiet, WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3));
    EXPECT_EQ(TakeNotes(), (Notes{Command(10063, 0), {kImageClicked, 1020, 0, 0}}));
    // The image is bitmap 113 pixel for pixel.
    HBITMAP bitmap = LoadBitmapA(EditorModule(), MAKEINTRESOURCEA(113));
    ASSERT_NE(bitmap, nullptr);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    EXPECT_EQ(PixelOf(image, 6, 4), GetPixel(memory, 6, 4));
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
}

// One of each control at its place on the background: a look at the whole
// toolkit. With ZV_TOOLKIT_HOLD_MS set the window stays up that long, for a
// screenshot taken from outside.
TEST_F(MeterAndStaticsTest, Showcase) {
    struct Item {
        const char* className;
        int id, x, y, width, height;
        DWORD style;
        const char* text;
        UINT imageMessage;
        int image, secondImage;
    };
    const Item items[] = {
        {"zv:PushButton", 10100, 16, 16, 76, 21, 0, "Bypass", kButtonSetFaces, 124, 120},
        {"zv:PushButton", 10102, 174, 16, 61, 21, 0, "Setup A", kButtonSetFaces, 122, 123},
        {"zv:PushButton", 10103, 235, 16, 15, 21, 0x1, "", kButtonSetFaces, 125, 121},
        {"zv:PushButton", 10105, 332, 16, 76, 21, 0x1, "Presets", kButtonSetFaces, 124, 120},
        {"zv:PushButton", 10072, 226, 231, 50, 21, 0, "Link", kButtonSetFaces, 135, 137},
        {"zv:PushButton", 10070, 74, 274, 40, 21, 0x2, "Man", kButtonSetFaces, 130, 134},
        {"zv:Edit", 10000, 26, 82, 44, 21, 0x86, "500.0", kValueBoxFrame, 138, 0},
        {"zv:Edit", 10004, 26, 142, 40, 21, 0x87, "40", kValueBoxFrame, 118, 0},
        {"zv:Edit", 10006, 26, 181, 40, 21, 0x87, "10", kValueBoxFrame, 118, 0},
        {"zv:Slider", 10001, 25, 105, 186, 21, 0, "", kSliderThumb, 119, 0},
        {"zv:Slider", 10005, 81, 142, 130, 21, 0, "", kSliderThumb, 119, 0},
        {"zv:Slider", 10007, 81, 181, 130, 21, 0, "", kSliderThumb, 119, 0},
        {"zv:Meter", 10061, 231, 106, 12, 120, 0x9, "", kMeterStrips, 129, 128},
        {"zv:StaticText", 10063, 226, 85, 52, 11, 0x101, "-18.0   -24.0", 0, 0, 0},
        {"zv:StaticImage", 1020, 231, 97, 12, 9, 0, "", kImageSetId, 0, 0},
    };
    for (const Item& item : items) {
        HWND control = Create(item.className, item.id, item.x, item.y, item.width, item.height, item.style, item.text);
        if (item.imageMessage)
            SendMessageA(control, item.imageMessage,
                         reinterpret_cast<WPARAM>(LoadPixelResource(EditorModule(), item.image)),
                         reinterpret_cast<LPARAM>(LoadPixelResource(EditorModule(), item.secondImage)));
    }
    auto control = [](int id) { return GetDlgItem(s_parent, id); };
    SendMessageA(control(10072), kButtonSetToggle, 1, 0);
    SendMessageA(control(1020), kImageSetId, 112, 0);
    SendMessageA(control(10001), kSliderTickSpacing, 1000, 0);
    SendMessageA(control(10001), kSliderSetRange, 1, 40000);
    SendMessageA(control(10001), kSliderSetValue, 5000, 0);
    for (int id : {10005, 10007}) {
        SendMessageA(control(id), kSliderTickSpacing, 5, 0);
        SendMessageA(control(id), kSliderSetRange, 0, 100);
        SendMessageA(control(id), kSliderSetValue, id == 10005 ? 40 : 10, 0);
    }
    EnableWindow(control(10006), FALSE);
    EnableWindow(control(10007), FALSE);
    HWND meter = control(10061), slider = control(10005);
    SendMessageA(meter, kMeterRange, static_cast<WPARAM>(-600), 0);
    RedrawWindow(s_parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SendMessageA(meter, kMeterLevels, static_cast<WPARAM>(-180), 0);
    for (int tick = 0; tick < 6; ++tick) SendMessageA(meter, kMeterLevels, static_cast<WPARAM>(-9999), 0);
    SetFocus(slider);
    Pump();
    // The slider's thumb sits at p(40) = (50 + 40 * 101) / 100 = 40: its
    // middle row there differs from the bare background.
    EXPECT_NE(PixelOf(slider, 40 + 14, 8), BackgroundPixel(81 + 40 + 14, 142 + 8));
    if (const char* hold = std::getenv("ZV_TOOLKIT_HOLD_MS")) {
        const DWORD until = GetTickCount() + static_cast<DWORD>(std::atoi(hold));
        while (GetTickCount() < until) {
            Pump();
            Sleep(20);
        }
    }
}
