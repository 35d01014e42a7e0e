// "zv:StaticImage" and "zv:StaticNoHitImage": a bitmap resource of the
// module, by id (message 2874), over the background. The first posts 2875 to
// its parent on a click or double-click; the second reports nothing.
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#include "editor/controls/ControlSupport.h"

namespace {

struct StaticImageState {
    HBITMAP background;
    int32_t bitmapId;  // -1 = none
};

void Paint(HWND window, StaticImageState* state, HDC target) {
    COffscreen offscreen(window, target, state->background);
    if (state->bitmapId >= 0) {
        HBITMAP image = LoadBitmapA(EditorModule(), MAKEINTRESOURCEA(state->bitmapId));
        if (image) {
            HDC source = CreateCompatibleDC(offscreen.Dc());
            if (source) {
                HGDIOBJ old = SelectObject(source, image);
                BitBlt(offscreen.Dc(), 0, 0, offscreen.Width(), offscreen.Height(), source, 0, 0, SRCCOPY);
                SelectObject(source, old);
                DeleteDC(source);
            }
            DeleteObject(image);
        }
    }
    offscreen.Present();
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    auto* state = CreateState<StaticImageState>(window);
    if (!state) return -1;
    state->background = BackgroundFromCreate(lParam);
    state->bitmapId = -1;
    return 0;
}

LRESULT ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool reportsClicks) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    StaticImageState* state = StateOf<StaticImageState>(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY: DestroyState<StaticImageState>(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: return PaintInWmPaint(window, [&](HDC dc) { Paint(window, state, dc); });
    case kImageSetId:
        state->bitmapId = static_cast<int32_t>(wParam);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!reportsClicks) break;
        PostMessageA(GetParent(window), kImageClicked, ControlId(window), reinterpret_cast<LPARAM>(window));
        return 0;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK StaticImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ImageProc(window, message, wParam, lParam, true);
}

LRESULT CALLBACK StaticNoHitImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ImageProc(window, message, wParam, lParam, false);
}
