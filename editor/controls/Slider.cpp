// "zv:Slider": a horizontal (or vertical) slider with an image thumb, groove
// and ticks. Drags are relative: the cursor is hidden, every pixel moved
// steps the value (squared when asked), and a cursor that reaches the edge of
// the screen is put back in the middle. Tells its parent 2129 for each new
// value, 2137 when a change is finished and 2130 on a double-click; Enter
// and F2 ask the parent for the value box's editor (2142).
//
// At another DPI (kControlSetDpi) the geometry is the 96-DPI one scaled, and
// a drag counts design pixels (screen pixels x 96 / DPI): the same move on
// the page changes the value as much at every scale. The thumb length (2139)
// is in design pixels.
#include <initializer_list>

#include "editor/ControlMath.h"
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#include "editor/controls/ControlAccessible.h"
#include "editor/controls/ControlSupport.h"

namespace {

struct SliderState {
    int32_t dragging;
    int32_t moved;            // the value changed by dragging since the button went down
    int32_t squaredDrag;
    int32_t vertical;         // window style bit 0x1
    int32_t plainMode;        // window style bit 0x2; drawn like the normal mode
    int32_t warping;          // the next move is the echo of a cursor re-centring
    int16_t lastCoordinate;   // x, or y when vertical
    HCURSOR savedCursor;
    HBITMAP background;
    const uint8_t* thumbImage;
    int32_t pressX, pressY;   // screen position of the button-down
    int32_t pressedOnThumb;
    int32_t thumbPosition;    // left edge of the thumb, or its bottom edge when vertical
    int32_t value, minimum, maximum, range;
    int32_t tickSpacing;
    int32_t firstTickStep;
    int32_t lastWheelTime;
    int32_t pageStep;
    int32_t groove;
    int32_t thumbLength;
    int32_t repaintTwice;
    uint32_t activeTint;
    uint32_t idleTint;
    int32_t dpi;
    CDragScaler dragScale;   // screen pixels of a drag to design pixels
    CControlAccessible* accessible;
};

constexpr COLORREF kGrooveColour = 0x202020;
constexpr COLORREF kDisabledGrooveColour = 0xA0A0A0;
constexpr COLORREF kMajorTickColour = 0x505050;
constexpr COLORREF kMinorTickColour = 0x888888;

int Length(HWND window, const SliderState* state) {
    RECT client{};
    GetClientRect(window, &client);
    return state->vertical ? client.bottom : client.right;
}

// Design pixels at the slider's DPI.
int Px(const SliderState* state, int v) { return ScaleToDpi(v, state->dpi); }

void Notify(HWND window, UINT message, WPARAM wParam) {
    SendMessageA(GetParent(window), message, wParam, reinterpret_cast<LPARAM>(window));
}
void NotifyValue(HWND window, const SliderState* state) {
    AnnounceValueChange(window);
    Notify(window, kSliderChanged, static_cast<WPARAM>(static_cast<INT_PTR>(state->value)));
}

// A line of the groove or a tick: from (x1, y1) towards (x2, y2), Px(1)
// thick across its direction (a 1-pixel line at 96 DPI).
void DrawScaledLine(HDC dc, const SliderState* state, int x1, int y1, int x2, int y2, COLORREF colour) {
    if (state->dpi == kDesignDpi) {
        DrawLine(dc, x1, y1, x2, y2, colour);
        return;
    }
    const int one = Px(state, 1);
    const RECT line = y1 == y2 ? RECT{x1, y1, x2, y1 + one} : RECT{x1, y1, x1 + one, y2};
    if (HBRUSH brush = CreateSolidBrush(colour)) {
        FillRect(dc, &line, brush);
        DeleteObject(brush);
    }
}

void DrawTick(HDC dc, const SliderState* state, int width, int height, int32_t v, int32_t offset) {
    const bool major = v == state->minimum || v == 0 || v == state->maximum;
    const COLORREF colour = major ? kMajorTickColour : kMinorTickColour;
    const int at = offset + Px(state, 12);
    if (state->vertical)
        DrawScaledLine(dc, state, width - Px(state, major ? 8 : 6), at, width - Px(state, 3), at, colour);
    else
        DrawScaledLine(dc, state, at, height - Px(state, major ? 10 : 8), at, height - Px(state, 5), colour);
}

void Paint(HWND window, SliderState* state, HDC target) {
    COffscreen offscreen(window, target, state->background);
    HDC dc = offscreen.Dc();
    const int width = offscreen.Width(), height = offscreen.Height();
    const bool enabled = IsWindowEnabled(window) != FALSE;

    if (state->groove) {
        const COLORREF colour = enabled ? kGrooveColour : kDisabledGrooveColour;
        // Two lines at 96 DPI, at (H - 4) / 2 - 2 and the row below (vertical:
        // (W - 4) / 2 and the column right of it); elsewhere the same band of
        // the design size, scaled.
        const int across = DesignFromDpi(state->vertical ? width : height, state->dpi);
        const int first = Px(state, state->vertical ? (across - 4) / 2 : (across - 4) / 2 - 2);
        const int second = first + Px(state, 2) - Px(state, 1);
        const int from = Px(state, 4), to = (state->vertical ? height : width) - Px(state, 4);
        for (const int line : {first, second}) {
            if (state->vertical)
                DrawScaledLine(dc, state, line, from, line, to, colour);
            else
                DrawScaledLine(dc, state, from, line, to, line, colour);
        }
        // A faded thumb lets the backdrop through: no groove under it.
        if (!enabled) {
            const int along = Px(state, state->thumbLength) - Px(state, 3);
            if (state->vertical)
                CopyBackdrop(dc, window, state->background, 0, state->thumbPosition - along, width, along);
            else
                CopyBackdrop(dc, window, state->background, state->thumbPosition, 0, along, height);
        }
    }

    const int thumbLength = Px(state, state->thumbLength), thumbBreadth = Px(state, 16);
    const int32_t travel = (state->vertical ? height : width) - thumbLength;
    auto offsetOf = [&](int64_t v) {
        return SliderOffset(static_cast<int32_t>(v), state->minimum, state->range, travel);
    };
    if (state->groove && state->tickSpacing > 0) {
        // 64-bit so that a range near the limits cannot wrap around.
        int64_t v = state->minimum;
        bool first = true;
        while (true) {
            DrawTick(dc, state, width, height, static_cast<int32_t>(v), offsetOf(v));
            v += (first ? state->firstTickStep : 0) + state->tickSpacing;
            first = false;
            if (v > state->maximum) {
                DrawTick(dc, state, width, height, state->maximum, offsetOf(state->maximum));
                break;
            }
        }
    }

    const int32_t p = offsetOf(state->value);
    if (state->thumbImage) {
        const int fade = enabled ? 255 : 192;
        const uint32_t tint =
            enabled && (state->dragging || GetFocus() == window) ? state->activeTint : state->idleTint;
        if (!state->vertical)
            BlendPixels(dc, p, 0, thumbLength, thumbBreadth, state->thumbImage, fade, tint, 0, state->dpi);
        else if (state->groove)
            BlendPixels(dc, Px(state, 2), height - thumbLength - p, thumbBreadth, thumbLength, state->thumbImage, fade,
                        tint, 0, state->dpi);
        else
            BlendPixels(dc, 0, height - thumbLength - p, Px(state, 18), thumbLength, state->thumbImage, fade, tint, 0,
                        state->dpi);
    }
    state->thumbPosition = state->vertical ? height - p : p;
    offscreen.Present();
}

void RedrawNow(HWND window, SliderState* state) {
    RedrawNow(window, [&](HDC dc) { Paint(window, state, dc); });
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    auto* state = CreateState<SliderState>(window);
    if (!state) return -1;
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    state->vertical = (create->style & 0x1) ? 1 : 0;
    state->plainMode = (create->style & 0x2) ? 1 : 0;
    state->background = BackgroundFromCreate(lParam);
    state->tickSpacing = 20;
    state->groove = 1;
    state->thumbLength = 29;
    state->repaintTwice = 1;
    state->activeTint = 0xEB78F8FF;
    state->dpi = kDesignDpi;
    return 0;
}

void OnDestroy(HWND window, SliderState* state) {
    DetachAccessible(&state->accessible);
    DestroyState<SliderState>(window);
}

LRESULT OnLButtonDown(HWND window, SliderState* state, LPARAM lParam) {
    const auto x = static_cast<int16_t>(LOWORD(lParam)), y = static_cast<int16_t>(HIWORD(lParam));
    state->dragging = 1;
    state->lastCoordinate = state->vertical ? y : x;
    RedrawNow(window, state);
    SetCapture(window);
    SetToolkitCaptureFlag(1);
    state->savedCursor = SetCursor(nullptr);
    state->moved = 0;
    state->pressedOnThumb = 0;
    state->dragScale.Reset();
    POINT cursor{};
    GetCursorPos(&cursor);
    state->pressX = cursor.x;
    state->pressY = cursor.y;
    if (!state->vertical)
        state->pressedOnThumb = state->thumbPosition <= x && x < state->thumbPosition + Px(state, 26);
    else
        state->pressedOnThumb = state->thumbPosition - Px(state, 29) <= y && y < state->thumbPosition - Px(state, 5);
    SetFocus(window);
    return 0;
}

LRESULT OnMouseMove(HWND window, SliderState* state, LPARAM lParam) {
    if (!state->dragging) return 0;
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    if (!(desktop.left < cursor.x && cursor.x < desktop.right - 1 && desktop.top < cursor.y &&
          cursor.y < desktop.bottom - 1)) {
        // The hidden cursor reached the edge: start again from the middle.
        state->warping = 1;
        SetCursorPos((desktop.left + desktop.right) / 2, (desktop.top + desktop.bottom) / 2);
        return 0;
    }
    const auto coordinate = static_cast<int16_t>(state->vertical ? HIWORD(lParam) : LOWORD(lParam));
    int32_t d = static_cast<int16_t>(coordinate - state->lastCoordinate);
    if (state->vertical) d = -d;  // moving up increases
    state->lastCoordinate = coordinate;
    state->moved = 1;
    if (state->warping) {
        state->warping = 0;  // the jump to the middle, not a move of the user's
        return 0;
    }
    d = state->dragScale.Step(d, state->dpi);
    if (state->squaredDrag) d = SquaredDragStep(d);
    state->value = ClampedStep(state->value, d, state->minimum, state->maximum);
    RedrawNow(window, state);
    NotifyValue(window, state);
    return 0;
}

LRESULT OnLButtonUp(HWND window, SliderState* state) {
    if (!state->dragging) return 0;
    ReleaseCapture();
    SetToolkitCaptureFlag(0);
    state->dragging = 0;
    RedrawNow(window, state);
    if (state->moved) {
        RECT frame{};
        GetWindowRect(window, &frame);
        const int two = Px(state, 2);
        if (!state->pressedOnThumb)
            SetCursorPos(state->pressX, state->pressY);
        else if (!state->vertical)
            SetCursorPos(frame.left + state->thumbPosition + Px(state, 12), (frame.top + frame.bottom) / 2 - two);
        else
            SetCursorPos((frame.left + frame.right) / 2 - two, frame.top + state->thumbPosition - Px(state, 16));
    }
    Notify(window, kSliderFinished, 0);
    SetCursor(state->savedCursor);
    return 0;
}

void ApplyStep(HWND window, SliderState* state, int64_t step) {
    state->value = ClampedStep(state->value, step, state->minimum, state->maximum);
    RedrawNow(window, state);
    NotifyValue(window, state);
    Notify(window, kSliderFinished, 0);
}

LRESULT OnMouseWheel(HWND window, SliderState* state, WPARAM wParam) {
    if (OpenEditorWindow()) return 0;
    const int32_t notches = WheelNotches(GET_WHEEL_DELTA_WPARAM(wParam));
    const auto now = static_cast<int32_t>(GetMessageTime());
    const int32_t speed = WheelSpeed(now - state->lastWheelTime);
    state->lastWheelTime = now;
    ApplyStep(window, state, WheelStep(speed, notches));
    return 0;
}

LRESULT OnKeyDown(HWND window, SliderState* state, WPARAM key, LPARAM lParam) {
    int64_t step = 0;
    switch (key) {
    case VK_PRIOR: step = state->pageStep; break;
    case VK_NEXT: step = -static_cast<int64_t>(state->pageStep); break;
    case VK_END: step = static_cast<int64_t>(state->maximum) - state->value; break;
    case VK_HOME: step = static_cast<int64_t>(state->minimum) - state->value; break;
    case VK_LEFT:
    case VK_DOWN: step = -1; break;
    case VK_UP:
    case VK_RIGHT: step = 1; break;
    case VK_TAB: MoveFocusByTab(window); return 0;
    case VK_RETURN:
    case VK_F2: Notify(window, kSliderEditRequest, static_cast<WPARAM>(ControlId(window))); return 0;
    default: break;
    }
    if (step == 0) return DefWindowProcA(window, WM_KEYDOWN, key, lParam);
    ApplyStep(window, state, step);
    return 0;
}

LRESULT OnSetValue(HWND window, SliderState* state, WPARAM value, LPARAM redraw) {
    const auto v = static_cast<int32_t>(value);
    if (v == state->value) return 0;
    state->value = v;  // not clamped: the next step clamps
    InvalidateRect(window, nullptr, FALSE);
    if (redraw) RedrawNow(window, state);
    AnnounceValueChange(window);
    return 0;
}

LRESULT OnSetRange(HWND window, SliderState* state, WPARAM minimum, LPARAM maximum) {
    const auto low = static_cast<int32_t>(minimum), high = static_cast<int32_t>(maximum);
    if (low == state->minimum && high == state->maximum) return 0;
    state->minimum = low;
    state->maximum = high;
    state->range = static_cast<int32_t>(static_cast<int64_t>(high) - low);
    // From the 96-DPI length: the page step is the same at every scale.
    if (state->pageStep == 0)
        state->pageStep = SliderPageStep(state->range, DesignFromDpi(Length(window, state), state->dpi));
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    return 0;
}

// The dialog manager (a host that runs it) hands Enter to the slider too.
LRESULT OnGetDlgCode(WPARAM, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN)
        return DLGC_WANTARROWS | DLGC_WANTMESSAGE;
    return DLGC_WANTARROWS;
}

LRESULT OnPaint(HWND window, SliderState* state) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc) {
        Paint(window, state, dc);
        // The first paint places the thumb that the second one relies on.
        if (state->repaintTwice) {
            state->repaintTwice = 0;
            Paint(window, state, dc);
        }
    }
    EndPaint(window, &paint);
    return 0;
}

}  // namespace

LRESULT CALLBACK SliderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    SliderState* state = StateOf<SliderState>(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY: OnDestroy(window, state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: return OnPaint(window, state);
    case WM_LBUTTONDOWN: return OnLButtonDown(window, state, lParam);
    case WM_MOUSEMOVE: return OnMouseMove(window, state, lParam);
    case WM_LBUTTONUP: return OnLButtonUp(window, state);
    case WM_LBUTTONDBLCLK: Notify(window, kSliderDoubleClicked, ControlId(window)); return 0;
    case WM_MOUSEWHEEL: return OnMouseWheel(window, state, wParam);
    case WM_KEYDOWN: return OnKeyDown(window, state, wParam, lParam);
    case WM_GETDLGCODE: return OnGetDlgCode(wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS: RedrawNow(window, state); return 0;
    case WM_CAPTURECHANGED: SetToolkitCaptureFlag(0); return 0;
    case kSliderGetValue: return state->value;
    case kSliderSetValue: return OnSetValue(window, state, wParam, lParam);
    case kSliderSetRange: return OnSetRange(window, state, wParam, lParam);
    case kSliderSquaredDrag: state->squaredDrag = static_cast<int32_t>(wParam); return 0;
    case kSliderTickSpacing: state->tickSpacing = static_cast<int32_t>(wParam); return 0;
    case kSliderPageStep: state->pageStep = static_cast<int32_t>(wParam); return 0;
    case kSliderFirstTickStep: state->firstTickStep = static_cast<int32_t>(wParam); return 0;
    case kSliderThumb: state->thumbImage = reinterpret_cast<const uint8_t*>(wParam); return 0;
    case kSliderGroove: state->groove = static_cast<int32_t>(wParam); return 0;
    case kSliderThumbLength: state->thumbLength = static_cast<int32_t>(wParam); return 0;
    case kSliderActiveTint: state->activeTint = static_cast<uint32_t>(wParam); return 0;
    case kSliderIdleTint: state->idleTint = static_cast<uint32_t>(wParam); return 0;
    case kControlSetDpi:
        // A new travel moves the thumb: its first paint places it again.
        if (TakeDpi(window, state, wParam, lParam)) state->repaintTwice = 1;
        return 0;
    case kControlGetDpi: return state->dpi;
    case WM_GETOBJECT: return AnswerGetObject(window, &state->accessible, EAccessibleRole::kSlider, wParam, lParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
