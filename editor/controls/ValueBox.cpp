// "zv:Edit": the value box. It shows the text its parent gives it and never
// changes a value itself: drags, the wheel and keys become steps posted to
// the parent as message 2225 (MakeStepParam in Toolkit.h), and the parent
// writes the new text back. A double-click, Space, Enter or F2 opens the
// in-place editor (InPlaceEditor.cpp) for typing a value. At another DPI
// (kControlSetDpi) its insets and focus lines are scaled and a drag counts
// design pixels, as the slider's does.
#include <cstring>

#include "editor/ControlMath.h"
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#include "editor/controls/ControlAccessible.h"
#include "editor/controls/ControlSupport.h"

namespace {

struct ValueBoxState {
    int32_t dragging;
    int32_t caretHidden;      // set on the first move of a drag
    int32_t squaredDrag;      // 1 unless the window style has bit 0x1
    int32_t reverse;          // bit 0x2 of message 2227
    uint16_t lastX, lastY;
    int32_t selectionEnd, selectionStart;
    int32_t lastWheelTime;
    int32_t dragAxis;         // 0 horizontal, 1 vertical
    HBITMAP background;
    const uint8_t* frameImage;
    int32_t dpi;
    CDragScaler dragX, dragY;   // screen pixels of a drag to design pixels
    CControlAccessible* accessible;
};

constexpr COLORREF kFocusLight = 0x0000E1;
constexpr COLORREF kFocusDark = 0x0000C8;
constexpr COLORREF kShadowColour = 0xCBC7C5;
constexpr COLORREF kTextColour = 0x454140;
constexpr COLORREF kDisabledTextColour = 0x909090;
// VK_END and VK_HOME jump to the low and the high end: steps larger than any
// range, which the parent's setters clamp.
constexpr int32_t kJumpToEnd = 900000;

void PostStep(HWND window, int32_t step) {
    PostMessageA(GetParent(window), kValueBoxStep, MakeStepParam(ControlId(window), step),
                 reinterpret_cast<LPARAM>(window));
}

// The open in-place editor is a child of the box, and the box's window has
// no WS_CLIPCHILDREN: its paints (a new text from automation while the user
// types) must leave the editor's rectangle alone, or the editor flickers and
// loses its caret.
void ExcludeChildren(HWND window, HDC target) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        ExcludeClipRect(target, r.left, r.top, r.right, r.bottom);
    }
}

void Paint(HWND window, ValueBoxState* state, HDC target) {
    COffscreen offscreen(window, target, state->background);
    HDC dc = offscreen.Dc();
    const int width = offscreen.Width(), height = offscreen.Height();
    const bool enabled = IsWindowEnabled(window) != FALSE;

    const int dpi = state->dpi, one = Px(1, dpi);
    BlendPixels(dc, 0, 0, width, height, state->frameImage, enabled ? 255 : 160, 0, 0, dpi);
    if (GetFocus() == window) {
        // Light along the top and left, dark along the bottom and right
        // (drawn last, so they own the corners they share).
        const int left = Px(2, dpi), top = Px(2, dpi), right = width - Px(2, dpi), bottom = height - Px(2, dpi);
        const RECT lines[] = {{left, top, right, top + one}, {left, top, left + one, bottom},
                              {left, bottom - one, right, bottom}, {right - one, top, right, bottom}};
        for (int i = 0; i < 4; ++i) {
            if (HBRUSH brush = CreateSolidBrush(i < 2 ? kFocusLight : kFocusDark)) {
                FillRect(dc, &lines[i], brush);
                DeleteObject(brush);
            }
        }
    }

    RECT box{Px(3, dpi), Px(3, dpi), width - Px(3, dpi), height - Px(3, dpi)};
    if ((box.bottom - box.top) & 1) box.top += 1;
    box.right -= Px(2, dpi);
    char text[257] = {};
    GetWindowTextA(window, text, sizeof text);
    const UINT format = DT_END_ELLIPSIS | DT_VCENTER |
                        ((GetWindowLongA(window, GWL_STYLE) & 0x2) ? DT_RIGHT : DT_LEFT);
    HFONT font = CreateControlFont(dpi);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    RECT shadow = box;
    OffsetRect(&shadow, one, one);
    SetTextColor(dc, kShadowColour);
    DrawTextA(dc, text, -1, &shadow, format);
    SetTextColor(dc, enabled ? kTextColour : kDisabledTextColour);
    DrawTextA(dc, text, -1, &box, format);
    SelectObject(dc, oldFont);
    ReleaseControlFont(font);
    ExcludeChildren(window, target);
    offscreen.Present();
}

void Repaint(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    auto* state = CreateState<ValueBoxState>(window);
    if (!state) return -1;
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    state->squaredDrag = (create->style & 0x1) ? 0 : 1;
    state->background = BackgroundFromCreate(lParam);
    state->dpi = kDesignDpi;
    return 0;
}

void OnDestroy(HWND window, ValueBoxState* state) {
    DetachAccessible(&state->accessible);
    DestroyState<ValueBoxState>(window);
}

LRESULT OnLButtonDown(HWND window, ValueBoxState* state, WPARAM wParam, LPARAM lParam) {
    state->lastX = LOWORD(lParam);
    state->lastY = HIWORD(lParam);
    state->dragX.Reset();
    state->dragY.Reset();
    state->dragging = 1;
    SetCapture(window);
    SetToolkitCaptureFlag(1);
    SetFocus(window);
    Repaint(window);
    return DefWindowProcA(window, WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT OnMouseMove(HWND window, ValueBoxState* state, LPARAM lParam) {
    if (!state->dragging) return 0;
    if (!state->caretHidden) {
        HideCaret(window);
        DWORD start = 0, end = 0;
        SendMessageA(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        state->selectionStart = static_cast<int32_t>(start);
        state->selectionEnd = static_cast<int32_t>(end);
        state->caretHidden = 1;
    }
    const uint16_t x = LOWORD(lParam), y = HIWORD(lParam);
    const int32_t dx = state->dragX.Step(static_cast<int16_t>(x - state->lastX), state->dpi);
    const int32_t dy = state->dragY.Step(static_cast<int16_t>(state->lastY - y), state->dpi);  // moving up is positive
    const ValueBoxDrag drag = ValueBoxDragStep(state->dragAxis, dx, dy, state->reverse != 0, state->squaredDrag != 0);
    state->dragAxis = drag.axis;
    state->lastX = x;
    state->lastY = y;
    PostStep(window, drag.step);
    return 0;
}

void EndDrag(HWND window, ValueBoxState* state) {
    ReleaseCapture();
    SetToolkitCaptureFlag(0);
    state->dragging = 0;
    if (state->caretHidden) {
        SendMessageA(window, EM_SETSEL, static_cast<WPARAM>(state->selectionEnd), state->selectionEnd);
        ShowCaret(window);
        state->caretHidden = 0;
    }
    Repaint(window);
}

LRESULT OnLButtonUp(HWND window, ValueBoxState* state) {
    if (state->dragging) EndDrag(window, state);
    return 0;
}

LRESULT OnMouseWheel(HWND window, ValueBoxState* state, WPARAM wParam) {
    if (OpenEditorWindow()) return 0;
    int32_t notches = WheelNotches(GET_WHEEL_DELTA_WPARAM(wParam));
    if (state->reverse) notches = -notches;
    const auto now = static_cast<int32_t>(GetMessageTime());
    const int32_t speed = WheelSpeed(now - state->lastWheelTime);
    state->lastWheelTime = now;
    PostStep(window, WheelStep(speed, notches));
    return 0;
}

LRESULT OnKeyDown(HWND window, WPARAM key, LPARAM lParam) {
    switch (key) {
    case VK_SPACE:
    case VK_RETURN:
    case VK_F2: OpenInPlaceEditor(window); return 0;
    case VK_TAB: MoveFocusByTab(window); return 0;
    case VK_PRIOR: PostStep(window, 10); return 0;
    case VK_NEXT: PostStep(window, -10); return 0;
    case VK_LEFT:
    case VK_DOWN: PostStep(window, -1); return 0;
    case VK_UP:
    case VK_RIGHT: PostStep(window, 1); return 0;
    case VK_END: PostStep(window, -kJumpToEnd); return 0;
    case VK_HOME: PostStep(window, kJumpToEnd); return 0;
    default: return DefWindowProcA(window, WM_KEYDOWN, key, lParam);
    }
}

LRESULT OnKillFocus(HWND window, ValueBoxState* state) {
    PostStep(window, 0);
    if (state->dragging) EndDrag(window, state);
    else Repaint(window);
    return 0;
}

LRESULT OnSetText(HWND window, LPARAM lParam) {
    char current[129] = {};
    SendMessageA(window, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(current));
    const char* text = reinterpret_cast<const char*>(lParam);
    if (std::strcmp(current, text ? text : "") == 0) return 0;
    // The open in-place editor keeps what the user is typing on screen.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
    const LRESULT result = DefWindowProcA(window, WM_SETTEXT, 0, lParam);
    AnnounceValueChange(window);
    return result;
}

// The dialog manager (a host that runs it) hands Enter to the box too.
LRESULT OnGetDlgCode(LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN)
        return DLGC_WANTARROWS | DLGC_WANTMESSAGE;
    return DLGC_WANTARROWS;
}

}  // namespace

LRESULT CALLBACK ValueBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    ValueBoxState* state = StateOf<ValueBoxState>(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY: OnDestroy(window, state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: return PaintInWmPaint(window, [&](HDC dc) { Paint(window, state, dc); });
    case WM_LBUTTONDOWN: return OnLButtonDown(window, state, wParam, lParam);
    case WM_MOUSEMOVE: return OnMouseMove(window, state, lParam);
    case WM_LBUTTONUP: return OnLButtonUp(window, state);
    case WM_LBUTTONDBLCLK: OpenInPlaceEditor(window); return 0;
    case WM_RBUTTONDOWN:
        if (state->dragging) return 0;
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_MOUSEWHEEL: return OnMouseWheel(window, state, wParam);
    case WM_KEYDOWN: return OnKeyDown(window, wParam, lParam);
    case WM_KILLFOCUS: return OnKillFocus(window, state);
    case WM_SETFOCUS: Repaint(window); return 0;
    case WM_GETDLGCODE: return OnGetDlgCode(lParam);
    case WM_CAPTURECHANGED: SetToolkitCaptureFlag(0); return 0;
    case WM_SETTEXT: return OnSetText(window, lParam);
    case kValueBoxSquaredDrag: state->squaredDrag = static_cast<int32_t>(wParam); return 0;
    case kValueBoxOptions: state->reverse = (wParam & 0x2) ? 1 : 0; return 0;
    case kValueBoxFrame: state->frameImage = reinterpret_cast<const uint8_t*>(wParam); return 0;
    case kValueBoxOpenEditor: OpenInPlaceEditor(window, reinterpret_cast<HWND>(wParam)); return 0;
    case kControlSetDpi: TakeDpi(window, state, wParam, lParam); return 0;
    case kControlGetDpi: return state->dpi;
    case WM_GETOBJECT: return AnswerGetObject(window, &state->accessible, EAccessibleRole::kValueBox, wParam, lParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
