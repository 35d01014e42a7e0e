// "zv:Meter": a level bar drawn from an unlit and a lit pixel strip, with
// decay and peak hold (style bit 0x8). The page sends it a level on every
// timer tick (2626) and reads back its peak and the highest level since the
// last reset. Unlike the other classes it has no background picture: its
// strips cover it, and its off-screen bitmap lives as long as the window (or
// until its size changes). At another DPI the strips' frame, and with it
// the lit area and the peak mark, is scaled.
#include "editor/ControlMath.h"
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#include "editor/controls/ControlAccessible.h"
#include "editor/controls/ControlSupport.h"

namespace {

struct MeterState {
    HBITMAP bitmap;           // off-screen picture, made at the first paint
    HDC memoryDc;
    HGDIOBJ oldBitmap;
    int32_t levelA, levelB;
    int32_t minimum, maximum;
    int32_t peakA, peakB;
    int32_t highestA, highestB;
    int32_t holdA, holdB;
    int32_t vertical;         // style bit 0x1
    int32_t topDown;          // style bit 0x2
    int32_t decay;            // style bit 0x8: decay with peak hold
    int32_t decayStep;
    const uint8_t* unlitStrip;
    const uint8_t* litStrip;
    int32_t dpi;
    int32_t bitmapWidth, bitmapHeight;   // the off-screen bitmap's size
    CControlAccessible* accessible;
};

void DropBitmap(MeterState* state) {
    if (state->memoryDc) {
        if (state->oldBitmap) SelectObject(state->memoryDc, state->oldBitmap);
        DeleteDC(state->memoryDc);
    }
    if (state->bitmap) DeleteObject(state->bitmap);
    state->memoryDc = nullptr;
    state->bitmap = nullptr;
    state->oldBitmap = nullptr;
}

constexpr int32_t kNoLevel = -9999;

void Paint(HWND window, MeterState* state, HDC target) {
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right, height = client.bottom;
    if (state->memoryDc && (width != state->bitmapWidth || height != state->bitmapHeight)) DropBitmap(state);
    if (!state->memoryDc) {
        state->memoryDc = CreateCompatibleDC(target);
        state->bitmap = CreateCompatibleBitmap(target, width > 0 ? width : 1, height > 0 ? height : 1);
        if (!state->memoryDc || !state->bitmap) {
            DropBitmap(state);
            return;
        }
        state->oldBitmap = SelectObject(state->memoryDc, state->bitmap);
        state->bitmapWidth = width;
        state->bitmapHeight = height;
    }
    HDC dc = state->memoryDc;
    if (state->unlitStrip && state->litStrip) {
        const int dpi = state->dpi, inset = ScaleToDpi(2, dpi);
        BlendPixels(dc, 0, 0, width, height, state->unlitStrip, 255, 0, 0, dpi);
        const int lit = height - 2 * inset;
        const bool topDown = state->topDown != 0;
        const int p = MeterRow(state->levelA, state->minimum, state->maximum, height, topDown, inset);
        if (p < lit)
            BlendPixelStrip(dc, 0, p + inset, width, lit - p, 0, p + inset, state->litStrip, 255, 0, width, dpi);
        if (state->decay) {
            const int q = MeterRow(state->peakA, state->minimum, state->maximum, height, topDown, inset);
            if (q < lit)
                BlendPixelStrip(dc, 0, q + inset, width, ScaleToDpi(2, dpi), 0, q + inset, state->litStrip, 255, 0,
                                width, dpi);
        }
    }
    BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    auto* state = CreateState<MeterState>(window);
    if (!state) return -1;
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    state->levelA = state->levelB = kNoLevel;
    state->peakA = state->peakB = kNoLevel;
    state->highestA = state->highestB = kNoLevel;
    state->maximum = 100;
    state->vertical = (create->style & 0x1) ? 1 : 0;
    state->topDown = (create->style & 0x2) ? 1 : 0;
    state->decay = (create->style & 0x8) ? 1 : 0;
    state->decayStep = 20;
    state->dpi = kDesignDpi;
    return 0;
}

void OnDestroy(HWND window, MeterState* state) {
    DetachAccessible(&state->accessible);
    DropBitmap(state);
    DestroyState<MeterState>(window);
}

LRESULT OnLevels(HWND window, MeterState* state, WPARAM a, LPARAM b) {
    const auto levelA = static_cast<int32_t>(a), levelB = static_cast<int32_t>(b);
    if (!state->decay) {
        state->levelA = levelA;
        state->levelB = levelB;
    } else {
        MeterChannel channelA{state->levelA, state->peakA, state->highestA, state->holdA};
        MeterChannel channelB{state->levelB, state->peakB, state->highestB, state->holdB};
        MeterDecay(channelA, levelA, state->decayStep);
        MeterDecay(channelB, levelB, state->decayStep);
        state->levelA = channelA.level, state->peakA = channelA.peak;
        state->highestA = channelA.highest, state->holdA = channelA.hold;
        state->levelB = channelB.level, state->peakB = channelB.peak;
        state->highestB = channelB.highest, state->holdB = channelB.hold;
    }
    RedrawNow(window, [&](HDC dc) { Paint(window, state, dc); });
    return 0;
}

LRESULT ReadPair(WPARAM a, LPARAM b, int32_t valueA, int32_t valueB) {
    if (a) *reinterpret_cast<int32_t*>(a) = valueA;
    if (b) *reinterpret_cast<int32_t*>(b) = valueB;
    return 0;
}

}  // namespace

LRESULT CALLBACK MeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    MeterState* state = StateOf<MeterState>(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY: OnDestroy(window, state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: return PaintInWmPaint(window, [&](HDC dc) { Paint(window, state, dc); });
    case kMeterRange:
        state->minimum = static_cast<int32_t>(wParam);
        state->maximum = static_cast<int32_t>(lParam);
        return 0;
    case kMeterLevels: return OnLevels(window, state, wParam, lParam);
    case kMeterGetPeaks: return ReadPair(wParam, lParam, state->peakA, state->peakB);
    case kMeterResetHighest: state->highestA = state->highestB = kNoLevel; return 0;
    case kMeterGetHighest: return ReadPair(wParam, lParam, state->highestA, state->highestB);
    case kMeterStrips:
        state->unlitStrip = reinterpret_cast<const uint8_t*>(wParam);
        state->litStrip = reinterpret_cast<const uint8_t*>(lParam);
        return 0;
    case kMeterDecayStep: state->decayStep = static_cast<int32_t>(wParam); return 0;
    case kControlSetDpi:
        if (static_cast<int32_t>(wParam) != state->dpi) {
            state->dpi = static_cast<int32_t>(wParam);
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case kControlGetDpi: return state->dpi;
    case WM_GETOBJECT: return AnswerGetObject(window, &state->accessible, EAccessibleRole::kMeter, wParam, lParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
