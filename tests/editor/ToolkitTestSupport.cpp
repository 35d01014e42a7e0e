#include "ToolkitTestSupport.h"

HBITMAP ToolkitTest::s_background = nullptr;
HPALETTE ToolkitTest::s_palette = nullptr;
HWND ToolkitTest::s_parent = nullptr;
Notes ToolkitTest::s_notes;
LRESULT ToolkitTest::s_rightClickAnswer = 0;

namespace {

int IdOf(LPARAM window) { return GetDlgCtrlID(reinterpret_cast<HWND>(window)); }

}  // namespace

LRESULT CALLBACK ToolkitTest::ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND: {
        HDC picture = CreateCompatibleDC(reinterpret_cast<HDC>(wParam));
        HGDIOBJ old = SelectObject(picture, s_background);
        BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, 506, 381, picture, 0, 0, SRCCOPY);
        SelectObject(picture, old);
        DeleteDC(picture);
        return 1;
    }
    case WM_COMMAND: s_notes.push_back({message, LOWORD(wParam), HIWORD(wParam), 0}); return 0;
    case kSliderChanged: s_notes.push_back({message, IdOf(lParam), 0, static_cast<int32_t>(wParam)}); return 0;
    case kSliderFinished: s_notes.push_back({message, IdOf(lParam), 0, static_cast<int64_t>(wParam)}); return 0;
    case kSliderDoubleClicked:
    case kImageClicked: s_notes.push_back({message, static_cast<int>(wParam), 0, 0}); return 0;
    case kValueBoxStep:
        s_notes.push_back({message, IdFromStepParam(wParam), 0, StepFromParam(wParam)});
        return 0;
    case kButtonRightClick:
        s_notes.push_back({message, static_cast<int>(wParam), 0, lParam});
        return s_rightClickAnswer;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

void ToolkitTest::SetUpTestSuite() {
    RegisterToolkitClasses(EditorModule());
    s_background = LoadDibResource(EditorModule(), 103, &s_palette);
    WNDCLASSA parentClass{};
    parentClass.lpfnWndProc = ParentProc;
    parentClass.hInstance = EditorModule();
    parentClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    parentClass.lpszClassName = "zvToolkitTestParent";
    RegisterClassA(&parentClass);
}

void ToolkitTest::TearDownTestSuite() {
    if (s_background) DeleteObject(s_background);
    if (s_palette) DeleteObject(s_palette);
    s_background = nullptr;
    s_palette = nullptr;
}

void ToolkitTest::SetUp() {
    ASSERT_NE(s_background, nullptr);
    s_parent = CreateWindowExA(0, "zvToolkitTestParent", "toolkit", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               506, 381, nullptr, nullptr, EditorModule(), nullptr);
    ASSERT_NE(s_parent, nullptr);
    SetForegroundWindow(s_parent);
    SetFocus(s_parent);
    UpdateWindow(s_parent);
    Pump();
    s_notes.clear();
    s_rightClickAnswer = 0;
}

void ToolkitTest::TearDown() {
    DestroyWindow(s_parent);
    s_parent = nullptr;
    Pump();
    EXPECT_EQ(ToolkitCaptureFlag(), 0);
    EXPECT_EQ(OpenEditorWindow(), nullptr);
}

HWND ToolkitTest::Create(const char* className, int id, int x, int y, int width, int height, DWORD style,
                         const char* text) {
    HWND control = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, width,
                                   height, s_parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   EditorModule(), s_background);
    EXPECT_NE(control, nullptr) << className;
    UpdateWindow(control);
    return control;
}

void ToolkitTest::Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

Notes ToolkitTest::TakeNotes() {
    Pump();
    Notes taken;
    taken.swap(s_notes);
    return taken;
}

COLORREF ToolkitTest::PixelOf(HWND window, int x, int y) {
    GdiFlush();
    HDC dc = GetDC(window);
    const COLORREF pixel = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return pixel;
}

COLORREF ToolkitTest::BackgroundPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC picture = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(picture, s_background);
    const COLORREF pixel = GetPixel(picture, x, y);
    SelectObject(picture, old);
    DeleteDC(picture);
    ReleaseDC(nullptr, screen);
    return pixel;
}
