// "zv:PushButton": a push button or two-state toggle drawn from pixel-image
// faces, with an optional drop-down arrow or marker glyph. Tells its parent
// by WM_COMMAND what the mouse and the Space key do to it (codes 0-4 in
// Toolkit.h); the parent decides what a click means, including toggling.
#include <cstring>

#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#include "editor/controls/ControlSupport.h"

namespace {

struct ButtonState {
    int32_t captureMode;      // 0 idle, 1 held by the mouse, 2 held by the Space key
    int32_t pointerInside;    // the pointer is over the button while held
    int32_t drawnPressed;
    int32_t toggleState;      // 0 off, anything else on
    int32_t doubleClickNotify;
    int32_t arrowStyle;       // window style bit 0x1
    int32_t markerStyle;      // window style bit 0x2
    int32_t rimSelector;
    COLORREF textColour;
    uint32_t toggleTint;
    char* text;               // copy of the window text, or null
    HBITMAP background;
    const uint8_t* normalFace;
    const uint8_t* pressedFace;
    int32_t focusAdjust[4];   // left, top, right, bottom
};

constexpr COLORREF kDefaultTextColour = 0x404040;
constexpr COLORREF kDisabledTextColour = 0x808080;
constexpr uint32_t kDefaultToggleTint = 0xEB78F8FF;
constexpr COLORREF kArrowColour = 0x404040;
constexpr COLORREF kFocusColour = 0x909090;
constexpr int kMarkerBitmap = 7500;

char* CopyText(const char* text) {
    if (!text) return nullptr;
    const size_t length = std::strlen(text);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy) std::memcpy(copy, text, length + 1);
    return copy;
}

void Notify(HWND window, WORD code) {
    SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(ControlId(window), code),
                 reinterpret_cast<LPARAM>(window));
}

void Paint(HWND window, ButtonState* state, HDC target) {
    COffscreen offscreen(window, target, state->background);
    HDC dc = offscreen.Dc();
    const int width = offscreen.Width(), height = offscreen.Height();
    const bool enabled = IsWindowEnabled(window) != FALSE;

    const uint8_t* face = state->drawnPressed && state->pressedFace ? state->pressedFace : state->normalFace;
    if (face) {
        const int rimMode = state->toggleState == 0 ? 0 : (state->rimSelector != 0 ? 2 : state->toggleState);
        BlendPixels(dc, 0, 0, width, height, face, enabled ? 255 : 160,
                    state->toggleState != 0 ? state->toggleTint : 0, rimMode);
    } else {
        Rectangle(dc, 0, 0, width, height);
    }

    RECT content{2, 2, width - 2, height - 2};
    if (state->drawnPressed) OffsetRect(&content, 1, 1);
    const RECT frame = content;
    if (state->text) {
        content.top += 1 + ((content.bottom - content.top) & 1);
        UINT format = DT_END_ELLIPSIS | DT_VCENTER | DT_CENTER;
        if (state->arrowStyle || state->markerStyle) {
            content.left += 3;
            format = DT_END_ELLIPSIS | DT_VCENTER;
        }
        HFONT font = CreateControlFont(dc);
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, enabled ? state->textColour : kDisabledTextColour);
        DrawTextA(dc, state->text, -1, &content, format);
        SelectObject(dc, oldFont);
        ReleaseControlFont(font);
    }

    const int t = content.top, r = content.right;
    if (state->arrowStyle) {
        DrawLine(dc, r - 7, t + 8, r - 6, t + 8, kArrowColour);
        DrawLine(dc, r - 8, t + 7, r - 5, t + 7, kArrowColour);
        DrawLine(dc, r - 9, t + 6, r - 4, t + 6, kArrowColour);
        DrawLine(dc, r - 10, t + 5, r - 3, t + 5, kArrowColour);
    }
    if (state->markerStyle) {
        HBITMAP marker = LoadBitmapA(EditorModule(), MAKEINTRESOURCEA(kMarkerBitmap));
        DrawTransparentBitmap(dc, r - 10, t + 1, marker, 0, 0, 7, 11, RGB(255, 0, 255));
        if (marker) DeleteObject(marker);
    }
    if (GetFocus() == window) {
        RECT focus{frame.left + 1 + state->focusAdjust[0], frame.top + 1 + state->focusAdjust[1],
                   frame.right - 1 + state->focusAdjust[2], frame.bottom - 1 + state->focusAdjust[3]};
        HBRUSH brush = CreateSolidBrush(kFocusColour);
        if (brush) {
            FrameRect(dc, &focus, brush);
            DeleteObject(brush);
        }
    }
    offscreen.Present();
}

void RedrawNow(HWND window, ButtonState* state) {
    RedrawNow(window, [&](HDC dc) { Paint(window, state, dc); });
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    auto* state = CreateState<ButtonState>(window);
    if (!state) return -1;
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    state->arrowStyle = (create->style & 0x1) ? 1 : 0;
    state->markerStyle = (create->style & 0x2) ? 1 : 0;
    state->textColour = kDefaultTextColour;
    state->toggleTint = kDefaultToggleTint;
    state->background = BackgroundFromCreate(lParam);
    // The creation text is set before WM_CREATE without a WM_SETTEXT.
    if (create->lpszName && create->lpszName[0]) state->text = CopyText(create->lpszName);
    return 0;
}

void OnDestroy(HWND window, ButtonState* state) {
    delete[] state->text;
    DestroyState<ButtonState>(window);
}

LRESULT OnLButtonDown(HWND window, ButtonState* state, bool doubleClick) {
    state->drawnPressed = 1;
    RedrawNow(window, state);
    if (state->captureMode == 0) state->captureMode = 1;
    state->pointerInside = 1;
    SetCapture(window);
    SetToolkitCaptureFlag(1);
    SetFocus(window);
    Notify(window, doubleClick && state->doubleClickNotify == 1 ? kButtonDoubleClicked : kButtonPressed);
    return 0;
}

LRESULT OnMouseMove(HWND window, ButtonState* state, LPARAM lParam) {
    if (state->captureMode != 1) return 0;
    RECT client{};
    GetClientRect(window, &client);
    // Unsigned: a position left of or above the button is outside too.
    const unsigned x = LOWORD(lParam), y = HIWORD(lParam);
    const bool inside = x < static_cast<unsigned>(client.right) && y < static_cast<unsigned>(client.bottom);
    if (inside && !state->pointerInside) {
        state->pointerInside = 1;
        state->drawnPressed = 1;
        RedrawNow(window, state);
        Notify(window, kButtonEntered);
    } else if (!inside && state->pointerInside) {
        state->pointerInside = 0;
        state->drawnPressed = 0;
        RedrawNow(window, state);
        Notify(window, kButtonLeft);
    }
    return 0;
}

LRESULT OnLButtonUp(HWND window, ButtonState* state) {
    if (state->captureMode == 0) return 0;
    state->captureMode = 0;
    ReleaseCapture();
    SetToolkitCaptureFlag(0);
    state->drawnPressed = 0;
    RedrawNow(window, state);
    if (state->pointerInside == 1) Notify(window, kButtonClicked);
    return 0;
}

LRESULT OnKeyDown(HWND window, ButtonState* state, WPARAM key, LPARAM lParam) {
    if (key != VK_SPACE) return DefWindowProcA(window, WM_KEYDOWN, key, lParam);
    state->captureMode = 2;
    return OnLButtonDown(window, state, false);
}

LRESULT OnKeyUp(HWND window, ButtonState* state, WPARAM key) {
    if (key != VK_SPACE) state->pointerInside = 0;
    return OnLButtonUp(window, state);
}

LRESULT OnSetText(HWND window, ButtonState* state, LPARAM lParam) {
    const char* text = reinterpret_cast<const char*>(lParam);
    // No copy and an empty text are the same text.
    if (std::strcmp(text ? text : "", state->text ? state->text : "") == 0) return 0;
    delete[] state->text;
    state->text = CopyText(text);
    InvalidateRect(window, nullptr, FALSE);
    RedrawNow(window, state);
    return DefWindowProcA(window, WM_SETTEXT, 0, lParam);
}

LRESULT OnSetToggle(HWND window, ButtonState* state, WPARAM toggle, LPARAM redraw) {
    const auto value = static_cast<int32_t>(toggle);
    if (value == state->toggleState && redraw == 0) return 0;
    state->toggleState = value;
    InvalidateRect(window, nullptr, FALSE);
    if (redraw) RedrawNow(window, state);
    return 0;
}

LRESULT OnInvalidate(HWND window, ButtonState* state, LPARAM redraw) {
    InvalidateRect(window, nullptr, FALSE);
    if (redraw) RedrawNow(window, state);
    return 0;
}

LRESULT OnRelease(HWND window) {
    SendMessageA(window, WM_LBUTTONUP, 0, 0);
    MSG pending;
    PeekMessageA(&pending, window, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_REMOVE);
    return 0;
}

LRESULT OnFocusAdjust(ButtonState* state, WPARAM adjust, LPARAM rimSelector) {
    if (adjust) std::memcpy(state->focusAdjust, reinterpret_cast<const int32_t*>(adjust), sizeof state->focusAdjust);
    state->rimSelector = static_cast<int32_t>(rimSelector);
    return 0;
}

}  // namespace

LRESULT CALLBACK PushButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    ButtonState* state = StateOf<ButtonState>(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY: OnDestroy(window, state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: return PaintInWmPaint(window, [&](HDC dc) { Paint(window, state, dc); });
    case WM_LBUTTONDOWN: return OnLButtonDown(window, state, false);
    case WM_LBUTTONDBLCLK: return OnLButtonDown(window, state, true);
    case WM_MOUSEMOVE: return OnMouseMove(window, state, lParam);
    case WM_LBUTTONUP: return OnLButtonUp(window, state);
    case WM_RBUTTONDOWN:
        return SendMessageA(GetParent(window), kButtonRightClick, ControlId(window), lParam);
    case WM_KEYDOWN: return OnKeyDown(window, state, wParam, lParam);
    case WM_KEYUP: return OnKeyUp(window, state, wParam);
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_UNDEFPUSHBUTTON;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: RedrawNow(window, state); return 0;
    case WM_CAPTURECHANGED: SetToolkitCaptureFlag(0); return 0;
    case WM_SETTEXT: return OnSetText(window, state, lParam);
    case kButtonSetToggle: return OnSetToggle(window, state, wParam, lParam);
    case kButtonGetToggle: return state->toggleState;
    case kButtonInvalidate: return OnInvalidate(window, state, lParam);
    case kButtonDoubleClickNotify: state->doubleClickNotify = static_cast<int32_t>(wParam); return 0;
    case kButtonRelease: return OnRelease(window);
    case kButtonSetFaces:
        state->normalFace = reinterpret_cast<const uint8_t*>(wParam);
        state->pressedFace = reinterpret_cast<const uint8_t*>(lParam);
        return 0;
    case kButtonFocusAdjust: return OnFocusAdjust(state, wParam, lParam);
    case kButtonToggleTint: state->toggleTint = static_cast<uint32_t>(wParam); return 0;
    case kButtonTextColour: state->textColour = static_cast<COLORREF>(wParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
