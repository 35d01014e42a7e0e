// "zv:StaticImage" and "zv:StaticNoHitImage": a bitmap resource of the
// module, by id (message 2874), over the background. The first posts 2875 to
// its parent on a click or double-click; the second reports nothing. At
// another DPI the bitmap comes from the art's set for it (id + 15000 or
// + 20000), stretched to the control when no set is drawn for that DPI.
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#include "editor/controls/ControlAccessible.h"
#include "editor/controls/ControlSupport.h"

namespace {

struct StaticImageState {
    HBITMAP background;
    int32_t bitmapId;  // -1 = none
    int32_t dpi;
    CControlAccessible* accessible;
};

// The bitmap of the art's set for the DPI, or the 100 % one.
HBITMAP LoadImageAtDpi(int id, int dpi) {
    const int set = SkinSetForDpi(dpi);
    HBITMAP image = nullptr;
    if (set != 100) image = LoadBitmapA(EditorModule(), MAKEINTRESOURCEA(id + SkinResourceOffset(set)));
    return image ? image : LoadBitmapA(EditorModule(), MAKEINTRESOURCEA(id));
}

void Paint(HWND window, StaticImageState* state, HDC target) {
    COffscreen offscreen(window, target, state->background);
    if (state->bitmapId >= 0) {
        HBITMAP image = LoadImageAtDpi(state->bitmapId, state->dpi);
        if (image) {
            HDC source = CreateCompatibleDC(offscreen.Dc());
            BITMAP size{};
            if (source) {
                HGDIOBJ old = SelectObject(source, image);
                if (state->dpi == kDesignDpi || !GetObjectA(image, sizeof size, &size)) {
                    BitBlt(offscreen.Dc(), 0, 0, offscreen.Width(), offscreen.Height(), source, 0, 0, SRCCOPY);
                } else {
                    SetStretchBltMode(offscreen.Dc(), HALFTONE);
                    StretchBlt(offscreen.Dc(), 0, 0, offscreen.Width(), offscreen.Height(), source, 0, 0, size.bmWidth,
                               size.bmHeight, SRCCOPY);
                }
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
    state->dpi = kDesignDpi;
    return 0;
}

LRESULT ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool reportsClicks) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    StaticImageState* state = StateOf<StaticImageState>(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        DetachAccessible(&state->accessible);
        DestroyState<StaticImageState>(window);
        return 0;
    case kControlSetDpi: TakeDpi(window, state, wParam, lParam); return 0;
    case kControlGetDpi: return state->dpi;
    case WM_GETOBJECT: return AnswerGetObject(window, &state->accessible, EAccessibleRole::kImage, wParam, lParam);
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
