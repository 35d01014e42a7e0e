// "zv:StaticText": a text centred over the background (the page's peak
// readout). A click or double-click posts WM_COMMAND code 0 to the parent.
// Its font comes from WM_SETFONT, so the parent sizes it for the DPI.
#include "editor/Toolkit.h"
#include "editor/controls/ControlAccessible.h"
#include "editor/controls/ControlSupport.h"

namespace {

struct StaticTextState {
    HBITMAP background;
    HFONT font;  // from WM_SETFONT, not owned; null = the stock GUI font
    int32_t dpi;
    CControlAccessible* accessible;
};

void Paint(HWND window, StaticTextState* state, HDC target) {
    COffscreen offscreen(window, target, state->background);
    HDC dc = offscreen.Dc();
    RECT client{0, 0, offscreen.Width(), offscreen.Height()};
    char text[257] = {};
    GetWindowTextA(window, text, sizeof text);
    HGDIOBJ oldFont = SelectObject(dc, state->font ? state->font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextA(dc, text, -1, &client, DT_END_ELLIPSIS | DT_VCENTER | DT_CENTER);
    SelectObject(dc, oldFont);
    offscreen.Present();
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    auto* state = CreateState<StaticTextState>(window);
    if (!state) return -1;
    state->background = BackgroundFromCreate(lParam);
    state->dpi = kDesignDpi;
    return 0;
}

}  // namespace

LRESULT CALLBACK StaticTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    StaticTextState* state = StateOf<StaticTextState>(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        DetachAccessible(&state->accessible);
        DestroyState<StaticTextState>(window);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: return PaintInWmPaint(window, [&](HDC dc) { Paint(window, state, dc); });
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        if (lParam) InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_SETTEXT: {
        InvalidateRect(window, nullptr, FALSE);
        const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
        AnnounceValueChange(window);
        return result;
    }
    case kControlSetDpi: TakeDpi(window, state, wParam, lParam); return 0;
    case kControlGetDpi: return state->dpi;
    case WM_GETOBJECT:
        return AnswerGetObject(window, &state->accessible, EAccessibleRole::kStaticText, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        PostMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(ControlId(window), 0),
                     reinterpret_cast<LPARAM>(window));
        return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
