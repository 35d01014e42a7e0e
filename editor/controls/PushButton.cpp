// "zv:PushButton": a push button or two-state toggle drawn from pixel-image
// faces, with an optional drop-down arrow or marker glyph. Tells its parent
// by WM_COMMAND what the mouse and the Space and Enter keys do to it (codes
// 0-4 in Toolkit.h); the parent decides what a click means, including
// toggling. Enter is the button's own even inside a host's dialog: the
// button asks the dialog manager for it (WM_GETDLGCODE), which would
// otherwise press the dialog's default button (a property frame's OK).
// Drawn at its DPI (kControlSetDpi): every inset, the arrow and the focus
// frame are design pixels scaled like the faces.
#include <cstring>

#include "editor/SkinDrawing.h"
#include "editor/SkinSet.h"
#include "editor/Toolkit.h"
#include "editor/controls/ControlAccessible.h"
#include "editor/controls/ControlSupport.h"

namespace {

struct ButtonState {
    int32_t captureMode;      // 0 idle, 1 held by the mouse, 2 held by a key
    WPARAM keyHeld;           // the key that holds it (Space or Enter)
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
    int32_t dpi;
    CControlAccessible* accessible;
};

constexpr COLORREF kDefaultTextColour = 0x404040;
constexpr COLORREF kDisabledTextColour = 0x808080;
constexpr uint32_t kDefaultToggleTint = 0xEB78F8FF;
constexpr COLORREF kArrowColour = 0x404040;
// The focus frame: the ink of the arrow and the captions, which reads on
// every face (the lighter grey of old hardly showed on the light faces).
constexpr COLORREF kFocusColour = 0x404040;
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
    const int dpi = state->dpi;

    const uint8_t* face = state->drawnPressed && state->pressedFace ? state->pressedFace : state->normalFace;
    if (face) {
        const int rimMode = state->toggleState == 0 ? 0 : (state->rimSelector != 0 ? 2 : state->toggleState);
        BlendPixels(dc, 0, 0, width, height, face, enabled ? 255 : 160,
                    state->toggleState != 0 ? state->toggleTint : 0, rimMode, dpi);
    } else {
        Rectangle(dc, 0, 0, width, height);
    }

    const int inset = Px(2, dpi);
    RECT content{inset, inset, width - inset, height - inset};
    if (state->drawnPressed) OffsetRect(&content, Px(1, dpi), Px(1, dpi));
    const RECT frame = content;
    if (state->text) {
        content.top += Px(1, dpi) + ((content.bottom - content.top) & 1);
        UINT format = DT_END_ELLIPSIS | DT_VCENTER | DT_CENTER;
        if (state->arrowStyle || state->markerStyle) {
            content.left += Px(3, dpi);
            format = DT_END_ELLIPSIS | DT_VCENTER;
        }
        HFONT font = CreateControlFont(dpi);
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, enabled ? state->textColour : kDisabledTextColour);
        DrawTextA(dc, state->text, -1, &content, format);
        SelectObject(dc, oldFont);
        ReleaseControlFont(font);
    }

    const int t = content.top, r = content.right;
    if (state->arrowStyle) {
        // A downward triangle, four design rows 1, 3, 5 and 7 pixels wide.
        if (HBRUSH ink = CreateSolidBrush(kArrowColour)) {
            for (int row = 0; row < 4; ++row)
                FillDesignRect(dc, r, t, RECT{-7 - row, 8 - row, -6 + row, 9 - row}, dpi, ink);
            DeleteObject(ink);
        }
    }
    if (state->markerStyle) {
        HBITMAP marker = LoadMarkerBitmap(EditorModule(), dpi);
        DrawTransparentBitmap(dc, r - Px(10, dpi), t + Px(1, dpi), marker, 0, 0, Px(7, dpi), Px(11, dpi),
                              RGB(255, 0, 255));
        if (marker) DeleteObject(marker);
    }
    if (GetFocus() == window) {
        const int one = Px(1, dpi);
        const int32_t* adjust = state->focusAdjust;
        const RECT focus{frame.left + one + Px(adjust[0], dpi), frame.top + one + Px(adjust[1], dpi),
                         frame.right - one + Px(adjust[2], dpi), frame.bottom - one + Px(adjust[3], dpi)};
        DrawScaledFrame(dc, focus, dpi, kFocusColour);
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
    state->dpi = kDesignDpi;
    state->background = BackgroundFromCreate(lParam);
    // The creation text is set before WM_CREATE without a WM_SETTEXT.
    if (create->lpszName && create->lpszName[0]) state->text = CopyText(create->lpszName);
    return 0;
}

void OnDestroy(HWND window, ButtonState* state) {
    DetachAccessible(&state->accessible);
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

bool PressesButton(WPARAM key) { return key == VK_SPACE || key == VK_RETURN; }

LRESULT OnKeyDown(HWND window, ButtonState* state, WPARAM key, LPARAM lParam) {
    if (key == VK_TAB) {
        MoveFocusByTab(window);
        return 0;
    }
    if (!PressesButton(key)) return DefWindowProcA(window, WM_KEYDOWN, key, lParam);
    // The character the key makes (a blank, a carriage return) would reach
    // the menu a menu button opens now, and close it or choose from it.
    MSG typed;
    if (PeekMessageA(&typed, window, WM_CHAR, WM_CHAR, PM_NOREMOVE) && (typed.wParam == ' ' || typed.wParam == '\r'))
        PeekMessageA(&typed, window, WM_CHAR, WM_CHAR, PM_REMOVE);
    state->captureMode = 2;
    state->keyHeld = key;
    return OnLButtonDown(window, state, false);
}

// Any key's release ends the hold; Space's or Enter's clicks, but not the
// one that did not press a button held by a key.
LRESULT OnKeyUp(HWND window, ButtonState* state, WPARAM key) {
    if (!PressesButton(key) || (state->captureMode == 2 && key != state->keyHeld)) state->pointerInside = 0;
    return OnLButtonUp(window, state);
}

// A dialog manager around the page leaves the arrows to the button, and
// hands it Enter instead of pressing its own default button.
LRESULT OnGetDlgCode(LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN)
        return DLGC_WANTARROWS | DLGC_UNDEFPUSHBUTTON | DLGC_WANTMESSAGE;
    return DLGC_WANTARROWS | DLGC_UNDEFPUSHBUTTON;
}

LRESULT OnSetText(HWND window, ButtonState* state, LPARAM lParam) {
    const char* text = reinterpret_cast<const char*>(lParam);
    // No copy and an empty text are the same text.
    if (std::strcmp(text ? text : "", state->text ? state->text : "") == 0) return 0;
    delete[] state->text;
    state->text = CopyText(text);
    InvalidateRect(window, nullptr, FALSE);
    RedrawNow(window, state);
    const LRESULT result = DefWindowProcA(window, WM_SETTEXT, 0, lParam);
    AnnounceNameChange(window);
    AnnounceValueChange(window);
    return result;
}

LRESULT OnSetToggle(HWND window, ButtonState* state, WPARAM toggle, LPARAM redraw) {
    const auto value = static_cast<int32_t>(toggle);
    if (value == state->toggleState && redraw == 0) return 0;
    const bool changed = value != state->toggleState;
    state->toggleState = value;
    InvalidateRect(window, nullptr, FALSE);
    if (redraw) RedrawNow(window, state);
    if (changed) AnnounceStateChange(window);
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
    case WM_GETDLGCODE: return OnGetDlgCode(lParam);
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
    case kControlSetDpi: TakeDpi(window, state, wParam, lParam); return 0;
    case kControlGetDpi: return state->dpi;
    case WM_GETOBJECT:
        return AnswerGetObject(window, &state->accessible,
                               state->arrowStyle ? EAccessibleRole::kMenuButton : EAccessibleRole::kPushButton,
                               wParam, lParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
