// The editor page under Wine with a real display: created in-process,
// connected to a real filter object, activated into a frame of the test's
// own, and driven with the messages its controls send.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "PageHarness.h"
#include "editor/EditorLayout.h"
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#include "effect/TempoSync.h"
#include "presets/PresetRecord.h"

namespace {

class EditorPageTest : public PageTest {
protected:
    // The bitmap shown by a clip light, as the resource id it was loaded from.
    int ClipImage(int id) {
        HBITMAP shown = reinterpret_cast<HBITMAP>(SendMessageW(h->Control(id), STM_GETIMAGE, IMAGE_BITMAP, 0));
        for (int candidate : {111, 112, 113}) {
            HBITMAP b = static_cast<HBITMAP>(LoadImageW(EditorModule(), MAKEINTRESOURCEW(candidate), IMAGE_BITMAP, 0, 0, 0));
            const bool same = Bits(b) == Bits(shown);
            DeleteObject(b);
            if (same) return candidate;
        }
        return 0;
    }
    static std::vector<uint32_t> Bits(HBITMAP b) {
        std::vector<uint32_t> px(12 * 9);
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 12, -9, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        HDC dc = GetDC(nullptr);
        GetDIBits(dc, b, 0, 9, px.data(), &bi, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
        return px;
    }
};

}  // namespace

TEST_F(EditorPageTest, ControlsStandWhereTheLayoutPutsThem) {
    ASSERT_TRUE(h->Open());
    PROPPAGEINFO info{};
    ASSERT_EQ(h->page->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"zv:delay");
    EXPECT_EQ(info.size.cx, 506);
    EXPECT_EQ(info.size.cy, 381);
    CoTaskMemFree(info.pszTitle);
    for (int i = 0; i < kLayoutCount; ++i) {
        const ControlRow& row = kLayout[i];
        HWND c = h->Control(row.id);
        ASSERT_NE(c, nullptr) << row.id;
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, h->Page(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, row.x) << row.id;
        EXPECT_EQ(r.top, row.y) << row.id;
        EXPECT_EQ(r.right - r.left, row.width) << row.id;
        EXPECT_EQ(r.bottom - r.top, row.height) << row.id;
    }
    RECT clip;
    GetWindowRect(h->Control(kIdClipRight), &clip);
    MapWindowPoints(nullptr, h->Page(), reinterpret_cast<POINT*>(&clip), 2);
    EXPECT_EQ(clip.left, 261);
    EXPECT_EQ(clip.top, 97);
    // Defaults on screen.
    EXPECT_EQ(h->Text(kIdDelayLBox), "500.0");
    EXPECT_EQ(h->Text(kIdFactorLBox), "1");
    EXPECT_EQ(h->Text(kIdTempoSync), "Man");
    EXPECT_EQ(h->Text(kIdListen), "Mix");
    EXPECT_EQ(h->Text(kIdHighFreqBox), "OFF");
    EXPECT_EQ(SendMessageW(h->Control(kIdLink), kButtonGetToggle, 0, 0), 1);
    EXPECT_EQ(SendMessageW(h->Control(kIdDelayLSlider), kSliderGetValue, 0, 0), 5000);
}

TEST_F(EditorPageTest, TextsAndEnableRulesFollowThePlugIn) {
    ASSERT_TRUE(h->Open());
    h->prop->SetOutput(-35, 0);
    h->prop->SetLowFreq(301, 0);
    h->prop->SetHighFreq(1, 0);
    h->prop->SetLowQ(37, 0);
    h->prop->SetTempoSync(0, 0);
    h->prop->SetLink(0, 0);
    SendMessageW(h->Page(), WM_COMMAND, MAKEWPARAM(kIdPlugInNotify, 0), 0);   // a change notice
    EXPECT_EQ(h->Text(kIdOutputBox), "-3.5");
    EXPECT_EQ(h->Text(kIdLowFreqBox), "20000");
    EXPECT_EQ(h->Text(kIdHighFreqBox), "20");
    EXPECT_EQ(h->Text(10044), "0.37");
    EXPECT_EQ(h->Text(kIdTempoSync), "Off");
    EXPECT_TRUE(IsWindowEnabled(h->Control(kIdDelayLSlider)));
    EXPECT_FALSE(IsWindowEnabled(h->Control(kIdTempoBox)));
    EXPECT_FALSE(IsWindowEnabled(h->Control(kIdFactorRMenu)));
    h->prop->SetTempoSync(2, 0);
    SendMessageW(h->Page(), WM_COMMAND, MAKEWPARAM(kIdPlugInNotify, 100), 0);
    EXPECT_EQ(h->Text(kIdTempoSync), "Host");
    EXPECT_FALSE(IsWindowEnabled(h->Control(kIdDelayRBox)));
    EXPECT_TRUE(IsWindowEnabled(h->Control(kIdTempoBox)));
    EXPECT_TRUE(IsWindowEnabled(h->Control(kIdFactorRMenu)));

    // An automation-side change (record flag set) reaches the screen on a tick.
    h->prop->SetMixL(77, 1);
    h->Pump(300);
    EXPECT_EQ(h->Text(10008), "77");
    EXPECT_EQ(SendMessageW(h->Control(10009), kSliderGetValue, 0, 0), 77);
}

TEST_F(EditorPageTest, LinkKeepsRatiosAndOffsets) {
    h->prop->SetDelayR(2500, 0);
    h->prop->SetFeedbkR(50, 0);
    h->prop->SetTempoSync(0, 0);
    ASSERT_TRUE(h->Open());   // the references are taken here: 5000 / 2500, 40 / 50
    Slide(kIdDelayLSlider, 4000);
    EXPECT_EQ(Value(kParamDelayL), 4000);
    EXPECT_EQ(Value(kParamDelayR), 2000);
    EXPECT_EQ(h->Text(kIdDelayRBox), "200.0");
    Slide(10005, 60);
    EXPECT_EQ(Value(kParamFeedbkR), 70);
    Step(10004, 45);   // FeedbkL 105 -> 100; FeedbkR 50 - 40 + 105, clamped
    EXPECT_EQ(Value(kParamFeedbkL), 100);
    EXPECT_EQ(Value(kParamFeedbkR), 100);
    // Link off: only the own side moves and becomes the reference.
    h->prop->SetLink(0, 0);
    Slide(kIdDelayRSlider, 3000);
    EXPECT_EQ(Value(kParamDelayL), 4000);
    EXPECT_EQ(Value(kParamDelayR), 3000);
}

TEST_F(EditorPageTest, StepsTypedValuesAndTheTempoRule) {
    ASSERT_TRUE(h->Open());
    // TempoSync Man: turning Tempo moves both delays by their note values.
    h->prop->SetFactorL(7, 0);   // 1/4
    Step(kIdTempoBox, 300);      // 120.0 -> 150.0 BPM
    EXPECT_EQ(Value(kParamTempo), 1500);
    EXPECT_EQ(Value(kParamDelayL), 1000);   // 60 / 150 * 10000 * 1/4
    EXPECT_EQ(Value(kParamDelayR), 4000);   // one beat
    EXPECT_EQ(h->Text(kIdDelayLBox), "100.0");
    // The note value box steps through the table and applies the rule.
    Step(kIdFactorRBox, -3);   // 1 -> 1/2
    EXPECT_EQ(Value(kParamFactorR), 9);
    EXPECT_EQ(Value(kParamDelayR), 2000);
    EXPECT_EQ(h->Text(kIdFactorRBox), "1/2");
    // End and Home of a value box land on the bounds.
    Step(kIdOutputBox, -900000);
    EXPECT_EQ(h->Text(kIdOutputBox), "-Inf.");
    Step(kIdOutputBox, 900000);
    EXPECT_EQ(Value(kParamOutput), 60);
    Type(kIdLowFreqBox, "1000");
    EXPECT_EQ(Value(kParamLowFreq), 171);
    EXPECT_EQ(SendMessageW(h->Control(kIdLowFreqSlider), kSliderGetValue, 0, 0), 171);
    Type(kIdHighFreqBox, "500");   // k = floor(100 log10(25) + 0.5) = 140, below LowFreq - 1
    EXPECT_EQ(Value(kParamHighFreq), 170);
    Type(kIdHighFreqBox, "5000");   // k = floor(100 log10(250) + 0.5) = 240
    EXPECT_EQ(Value(kParamHighFreq), 240);
    Type(kIdTempoBox, "99.95");
    EXPECT_EQ(Value(kParamTempo), 999);
    Type(kIdOutputBox, "-12.5");
    EXPECT_EQ(Value(kParamOutput), -125);
    Type(10047, "1.25");
    EXPECT_EQ(Value(kParamHighQ), 125);
    Type(10047, "loud");   // not a number: unchanged
    EXPECT_EQ(Value(kParamHighQ), 125);
    Type(kIdFactorLBox, "3/4");
    EXPECT_EQ(Value(kParamFactorL), 11);
    Type(kIdFactorLBox, "0.75");
    EXPECT_EQ(Value(kParamFactorL), 11);
    h->prop->SetTempoSync(0, 0);
    Type(kIdDelayLBox, "99999999999999999999");   // saturates, then clamps
    EXPECT_EQ(Value(kParamDelayL), 40000);
    // The preset store's request for the current values.
    char* data = nullptr;
    SendMessageW(h->Page(), 10900, reinterpret_cast<WPARAM>(&data), 0);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(data).substr(0, 9), "40000,11,");
    FreePresetData(data);
}

TEST_F(EditorPageTest, ClipLightsAndPeakReadout) {
    ASSERT_TRUE(h->Open());
    h->Tick();   // the first tick: undo snapshot and setup copy
    EXPECT_EQ(ClipImage(kIdClipLeft), 111);
    h->prop->SetLeftClip(0, 3);
    h->Tick();
    EXPECT_EQ(ClipImage(kIdClipLeft), 113);
    h->Tick();
    EXPECT_EQ(ClipImage(kIdClipLeft), 113);
    h->Tick();
    EXPECT_EQ(ClipImage(kIdClipLeft), 112);
    h->Tick(3);
    EXPECT_EQ(ClipImage(kIdClipLeft), 112);
    EXPECT_EQ(ClipImage(kIdClipRight), 111);
    // Silence reads "-Inf" on both sides, the gap measured with Arial 12.
    HFONT font = CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, DEFAULT_PITCH | FF_SWISS, "Arial");
    HDC dc = GetDC(h->Page());
    HGDIOBJ old = SelectObject(dc, font);
    SIZE w{};
    GetTextExtentPoint32A(dc, "-Inf", 4, &w);
    SelectObject(dc, old);
    ReleaseDC(h->Page(), dc);
    DeleteObject(font);
    const int gap = std::max<int>(1, (47 - 2 * w.cx) / 3);
    EXPECT_EQ(h->Text(kIdReadout), "-Inf" + std::string(gap, ' ') + "-Inf");
}

namespace {

// The plug-in as the page sees it, with the audio thread storing a clip (3)
// right after the page's first look at the left counter, once armed.
class CClipAfterRead : public CRecordingPlugIn {
public:
    using CRecordingPlugIn::CRecordingPlugIn;
    bool armed = false;

    HRESULT STDMETHODCALLTYPE GetLeftClip(int32_t which) override { return Race(m_real->GetLeftClip(which), which == 0); }
    HRESULT STDMETHODCALLTYPE CountDownClip(int32_t side) override { return Race(m_real->CountDownClip(side), side == 0); }

private:
    HRESULT Race(HRESULT count, bool left) {
        if (left && armed) m_real->SetLeftClip(0, 3);
        armed = armed && !left;
        return count;
    }
};

bool IsValueBox(HWND control) {
    char name[32] = {};
    GetClassNameA(control, name, sizeof name);
    return std::string(name) == "zv:Edit";
}

}  // namespace

// A clip the audio thread stores between the tick's read and its write
// survives, whatever count the tick read: the tick counts down only the
// count it read. The page lets go of the stand-in before it goes.
TEST_F(EditorPageTest, AClipStoredDuringATickIsKept) {
    CClipAfterRead race(h->prop);
    h->object = &race;
    ASSERT_TRUE(h->Open());
    for (int32_t before : {0, 1, 2, 3}) {
        h->prop->SetLeftClip(0, before);
        race.armed = true;
        h->Tick();
        EXPECT_EQ(h->prop->GetLeftClip(0), 3) << before;
    }
    h->Tick();
    EXPECT_EQ(h->prop->GetLeftClip(0), 2);
    h->Close();
    h->object = nullptr;
}

// Leaving a value box (focus lost: a step of 0) only shows its value again:
// nothing changes and no undo snapshot is taken, with Link on or off and
// with TempoSync off or following its own tempo.
TEST_F(EditorPageTest, LeavingABoxChangesNothing) {
    h->prop->SetTempoSync(0, 0);
    h->prop->SetDelayR(2500, 0);
    ASSERT_TRUE(h->Open());   // references 5000 / 2500
    h->Tick();
    const int32_t settings[][2] = {{0, 1}, {0, 0}, {1, 1}};   // TempoSync, Link
    for (const auto& setting : settings) {
        h->prop->SetTempoSync(setting[0], 0);
        h->prop->SetLink(setting[1], 0);
        h->prop->SetDelayL(4321, 0);   // no tempo's delay
        h->Tick();
        const std::vector<int32_t> before = Values();
        Slide(10009, 66);   // the undo snapshot: the values before this edit
        const std::vector<int32_t> edited = Values();
        for (int i = 0; i < kBindingCount; ++i) {
            HWND box = h->Control(kBindings[i].box);
            if (!IsValueBox(box) || !IsWindowEnabled(box)) continue;
            SetFocus(box);
            SetFocus(h->Control(kIdBypass));
            h->Pump(0);
            EXPECT_EQ(Values(), edited) << kBindings[i].box << " TempoSync " << setting[0] << " Link " << setting[1];
        }
        Button(kIdUndo);
        EXPECT_EQ(Values(), before);
    }
}

// Confirming the text a box shows keeps the value, in every box: texts
// that several values share (rounded hertz, Q in single precision), words
// ("OFF", "-Inf."), linked pairs. A text that is no number keeps the value
// too. Typed words mean what they show: "off" turns a filter off, "-inf"
// the output down.
TEST_F(EditorPageTest, TypingBackTheShownTextKeepsTheValue) {
    ASSERT_TRUE(h->Open());
    const std::vector<int32_t> blocks[] = {
        {2500, 7, 55, 20, 40, 5000, 9, 50, 15, 35, 30, 20, 2, 90, 301, 110, -361, 0, 1400, 1, 0},
        {4321, 3, 0, 100, 1, 1234, 19, 7, 0, 99, 1, 100, 0, 130, 2, 30, 60, 1, 500, 0, 1},
    };
    for (const std::vector<int32_t>& block : blocks) {
        h->prop->SetAllParams(block.data());
        SendMessageW(h->Page(), WM_COMMAND, MAKEWPARAM(kIdPlugInNotify, 100), 0);
        ASSERT_EQ(Values(), block);
        for (int i = 0; i < kBindingCount; ++i) {
            const int box = kBindings[i].box;
            if (!IsValueBox(h->Control(box))) continue;
            for (const std::string& typed : {h->Text(box), std::string("abc")}) {
                Type(box, typed.c_str());
                Step(box, 0);   // what follows a confirmed text
                EXPECT_EQ(Values(), block) << box << " \"" << typed << "\"";
            }
        }
    }
    Type(kIdHighFreqBox, " off ");
    EXPECT_EQ(Value(kParamHighFreq), 301);
    Type(kIdOutputBox, "-INF.");
    EXPECT_EQ(Value(kParamOutput), -361);
    Type(kIdLowFreqBox, "20");
    EXPECT_EQ(Value(kParamLowFreq), 1);
    Type(kIdLowFreqBox, "Off");
    EXPECT_EQ(Value(kParamLowFreq), 0);
}

// 50 opening and closing cycles leave no GDI object behind (counted by the
// handle table's high-water mark: GetGuiResources answers 0 under Wine). A
// leak raises the mark by 50 or more; Wine's cache of window DCs keeps a
// varying number of clip regions, which lowers it by a few now and then.
TEST_F(EditorPageTest, OpenCloseCyclesLeakNoGdiObjects) {
    ASSERT_TRUE(h->Open());
    h->Tick(2);
    h->Close();
    const int before = GdiHighWater();
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(h->Open());
        h->Tick(2);
        h->Close();
    }
    EXPECT_LE(GdiHighWater(), before);
    EXPECT_EQ(h->prop->SetNotifyWindow(reinterpret_cast<HWND>(1), 1), S_OK) << "the page left its notify window";
}

// With ZV_SCREENSHOT_HOLD_MS set, the page stays up that long with some
// audio-like levels, for tools/editor-screenshot to capture.
TEST_F(EditorPageTest, Screenshot) {
    ASSERT_TRUE(h->Open());
    const char* hold = std::getenv("ZV_SCREENSHOT_HOLD_MS");
    h->Pump(hold ? static_cast<DWORD>(std::atoi(hold)) : 200);
}
