// The in-place editor of a value box: a standard EDIT child (id 4321) laid
// over the box, opened by a double-click, Space, Enter or F2 (or a slider's
// Enter through the page). Enter confirms: the text goes into the value box
// and its parent gets WM_COMMAND code 0x300 and then a step of 0. Escape or
// losing the focus closes it and drops the text; Tab confirms and goes on
// to the next control. After Enter or Escape the focus goes back to the
// value box, or to the slider that asked for the editor. At most one is
// open; its handle is the toolkit's open-editor handle.
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#include "editor/controls/ControlSupport.h"

namespace {

constexpr int kEditorId = 4321;
constexpr DWORD kEditorStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | ES_MULTILINE | ES_RIGHT;

// Kept in the EDIT's GWLP_USERDATA (the EDIT class keeps its own data in its
// extra bytes).
struct EditorState {
    WNDPROC original;
    HWND valueBox;
    HWND returnFocus;  // the value box, or the slider that asked for the editor
    HFONT font;
    bool closing;  // DestroyWindow under way: a focus change it causes must not start another
};

// After Enter or Escape the keyboard user goes on where they were.
void ReturnFocus(HWND window) {
    if (window && IsWindow(window) && IsWindowVisible(window) && IsWindowEnabled(window)) SetFocus(window);
}

void Close(HWND editor, EditorState* state) {
    if (state->closing) return;
    state->closing = true;
    DestroyWindow(editor);
}

void Confirm(HWND editor, EditorState* state) {
    char text[257] = {};
    GetWindowTextA(editor, text, sizeof text);
    HWND valueBox = state->valueBox;
    SetWindowTextA(valueBox, text);
    HWND parent = GetParent(valueBox);
    const int id = ControlId(valueBox);
    PostMessageA(parent, WM_COMMAND, MAKEWPARAM(id, kValueBoxTyped), reinterpret_cast<LPARAM>(valueBox));
    PostMessageA(parent, kValueBoxStep, MakeStepParam(id, 0), reinterpret_cast<LPARAM>(valueBox));
    Close(editor, state);
}

LRESULT CALLBACK InPlaceEditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<EditorState*>(GetWindowLongPtrA(editor, GWLP_USERDATA));
    const WNDPROC original = state->original;
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE || wParam == VK_TAB) {
            const HWND valueBox = state->valueBox, back = state->returnFocus;
            if (wParam == VK_ESCAPE) {
                Close(editor, state);
            } else {
                Confirm(editor, state);   // state is gone after this
            }
            if (wParam == VK_TAB) {
                MoveFocusByTab(valueBox);
            } else {
                ReturnFocus(back);
            }
            return 0;
        }
        break;
    case WM_CHAR:
        // The characters of Enter, Escape and Tab would reach a multi-line EDIT.
        if (wParam == '\r' || wParam == 27 || wParam == '\t') return 0;
        break;
    case WM_GETDLGCODE:
        // A host's dialog manager must leave Tab and Escape to the editor.
        return CallWindowProcA(original, editor, message, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_KILLFOCUS: {
        const LRESULT result = CallWindowProcA(original, editor, message, wParam, lParam);
        Close(editor, state);
        return result;
    }
    case WM_DESTROY:
        state->closing = true;
        if (OpenEditorWindow() == editor) SetOpenEditorWindow(nullptr);
        break;
    case WM_NCDESTROY: {
        const LRESULT result = CallWindowProcA(original, editor, message, wParam, lParam);
        ReleaseControlFont(state->font);
        delete state;
        return result;
    }
    default: break;
    }
    return CallWindowProcA(original, editor, message, wParam, lParam);
}

}  // namespace

void DestroyOpenEditor() {
    HWND editor = OpenEditorWindow();
    if (!editor) return;
    Close(editor, reinterpret_cast<EditorState*>(GetWindowLongPtrA(editor, GWLP_USERDATA)));
}

void OpenInPlaceEditor(HWND valueBox, HWND returnFocus) {
    DestroyOpenEditor();
    auto* state = new (std::nothrow) EditorState{};
    if (!state) return;
    const int dpi = static_cast<int>(SendMessageA(valueBox, kControlGetDpi, 0, 0));
    const int inset = Px(2, dpi);
    RECT client{};
    GetClientRect(valueBox, &client);
    HWND editor = CreateWindowExA(0, "EDIT", "", kEditorStyle, inset, inset, client.right - 2 * inset,
                                  client.bottom - 2 * inset, valueBox,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditorId)),
                                  reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(valueBox, GWLP_HINSTANCE)), nullptr);
    if (!editor) {
        delete state;
        return;
    }
    state->valueBox = valueBox;
    state->returnFocus = returnFocus ? returnFocus : valueBox;
    state->font = CreateControlFont(dpi);
    SendMessageA(editor, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    char text[257] = {};
    GetWindowTextA(valueBox, text, sizeof text);
    SetWindowTextA(editor, text);
    SetWindowLongPtrA(editor, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    state->original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InPlaceEditorProc)));
    SetOpenEditorWindow(editor);
    SetFocus(editor);
    SendMessageA(editor, EM_SETSEL, 0, -1);
}
