// What the toolkit's window classes share: their window procedures (one file
// each under editor/controls/), the process-wide capture flag and open-editor
// handle, the state record kept in each window, and the off-screen painting
// every class but the meter does over the background picture.
#pragma once
#include <windows.h>

#include <cstdint>
#include <new>

LRESULT CALLBACK PushButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SliderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ValueBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticNoHitImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Set by push buttons, sliders and value boxes while they hold the mouse.
void SetToolkitCaptureFlag(int32_t held);
// The in-place editor of a value box (InPlaceEditor.cpp).
void OpenInPlaceEditor(HWND valueBox);
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

// The caption and value font: "Arial" 14 when the screen is not at 96 dots
// per inch, else the stock GUI font. ReleaseControlFont deletes it only if it
// was made here.
HFONT CreateControlFont(HDC dc);
void ReleaseControlFont(HFONT font);

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
