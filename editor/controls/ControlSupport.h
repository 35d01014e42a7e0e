// What the toolkit's window classes share: their window procedures (one file
// each under editor/controls/), the process-wide capture flag and open-editor
// handle, the state record kept in each window, and the off-screen painting
// every class but the meter does over the background picture.
#pragma once
#include <windows.h>

#include <cstdint>
#include <new>

#include "editor/DpiScale.h"

LRESULT CALLBACK PushButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SliderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ValueBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticNoHitImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Set by push buttons, sliders and value boxes while they hold the mouse.
void SetToolkitCaptureFlag(int32_t held);
// The in-place editor of a value box (InPlaceEditor.cpp). Enter and Escape
// give the focus back to returnFocus (null: the value box).
void OpenInPlaceEditor(HWND valueBox, HWND returnFocus = nullptr);
void SetOpenEditorWindow(HWND editor);

// The state record of a window: made zero-filled in WM_CREATE, kept in
// GWLP_USERDATA, freed in WM_DESTROY (which also clears the extra bytes).
template <class State>
State* StateOf(HWND window) {
    return reinterpret_cast<State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}
template <class State>
State* CreateState(HWND window) {
    State* state = new (std::nothrow) State();  // value-initialised: all zero
    if (state) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return state;
}
template <class State>
void DestroyState(HWND window) {
    delete StateOf<State>(window);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    SetWindowLongA(window, 0, 0);
}
// The background picture handed over as the creation parameter.
HBITMAP BackgroundFromCreate(LPARAM createStruct);
// kControlSetDpi for a class whose state has dpi and background: stores the
// DPI (wParam) and the background picture (lParam; null keeps the one it
// has); true when either changed, and the window is then invalidated.
template <class State>
bool TakeDpi(HWND window, State* state, WPARAM dpi, LPARAM background) {
    const auto newDpi = static_cast<int32_t>(dpi);
    const HBITMAP newBackground = background ? reinterpret_cast<HBITMAP>(background) : state->background;
    if (newDpi == state->dpi && newBackground == state->background) return false;
    state->dpi = newDpi;
    state->background = newBackground;
    InvalidateRect(window, nullptr, FALSE);
    return true;
}

// A control's own position within its parent's client area.
POINT PositionInParent(HWND window);
// Copies the background picture under the control's area (x, y, width,
// height), in client coordinates, into dc at the same place.
void CopyBackdrop(HDC dc, HWND window, HBITMAP background, int x, int y, int width, int height);

// An off-screen bitmap of the client size, with the backdrop already copied
// when a background is given; Present() puts it on the target with one
// BitBlt. Everything it made is deleted when it goes.
class COffscreen {
public:
    COffscreen(HWND window, HDC target, HBITMAP background);
    ~COffscreen();
    COffscreen(const COffscreen&) = delete;
    COffscreen& operator=(const COffscreen&) = delete;
    HDC Dc() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void Present() const;

private:
    HDC m_target;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    int m_width = 0, m_height = 0;
};

// The caption and value font at a control's DPI: the stock GUI font's face
// at its 96-DPI size scaled (11 pixels at 100 %), which at 96 DPI is the
// stock font itself. ReleaseControlFont deletes it only if it was made here.
HFONT CreateControlFont(int dpi);
void ReleaseControlFont(HFONT font);

// A control's DPI (kControlSetDpi) and the design lengths of its drawing in
// pixels at that DPI.
inline int Px(int designPixels, int dpi) { return ScaleToDpi(designPixels, dpi); }
// Fills the pixels that stand for the design pixels [dx0, dx1) x [dy0, dy1)
// counted from (x, y): the toolkit's small glyphs (the drop-down arrow) stay
// crisp at every scale.
void FillDesignRect(HDC dc, int x, int y, const RECT& design, int dpi, HBRUSH brush);
// A frame of Px(1) pixels just inside rect.
void DrawScaledFrame(HDC dc, const RECT& rect, int dpi, COLORREF colour);

// Tab and Shift+Tab on a control that gets them (a host that does not run
// the dialog manager): the focus moves to the next or previous tab stop of
// the parent, in the order the dialog manager uses.
void MoveFocusByTab(HWND control);

// Paints through GetDC at once (what the toolkit calls "redraw now").
template <class Paint>
void RedrawNow(HWND window, Paint paint) {
    HDC dc = GetDC(window);
    if (!dc) return;
    paint(dc);
    ReleaseDC(window, dc);
}

// Answers WM_PAINT: paint(dc) between BeginPaint and EndPaint.
template <class Paint>
LRESULT PaintInWmPaint(HWND window, Paint paint) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc) paint(dc);
    EndPaint(window, &ps);
    return 0;
}

// Control id of a child window.
inline int ControlId(HWND window) { return GetDlgCtrlID(window); }
