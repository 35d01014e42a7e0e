// zv-setup-measure.dll: a message hook that zvdelay-setup-driver places on
// the setup program's window thread, so that texts are measured in the font
// the program gave each control (fonts do not cross processes). Runs on that
// thread, inside the hooked program, for each message sent to its windows;
// answers only the driver's question (TextRoom.h).
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "TextRoom.h"

namespace {

// Room a list keeps beside the text of a report line.
const LONG kListPadding = 12;

// The room a control gives its text and how it lays it out, as the control
// draws it. False for controls that do not lay out a text in a box (edits
// scroll, pictures, lists).
bool Layout(HWND control, LONG& width, LONG& height, UINT& format) {
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    const std::wstring cls = name;
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    RECT client;
    GetClientRect(control, &client);
    width = client.right;
    height = client.bottom;
    format = DT_WORDBREAK | DT_EXPANDTABS;
    if (cls == L"Static") {
        const LONG kind = style & SS_TYPEMASK;
        if (kind == SS_LEFTNOWORDWRAP) format = DT_SINGLELINE;
        else if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT) return false;
        if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
        return true;
    }
    if (cls != L"Button") return false;
    const LONG kind = style & BS_TYPEMASK;
    format = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
    if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) {
        width -= 6;  // the raised edge and the focus rectangle
    } else if (kind == BS_GROUPBOX) {
        width -= 16;  // the frame's corners either side of the title
        format = DT_SINGLELINE;
    } else if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_RADIOBUTTON ||
               kind == BS_AUTORADIOBUTTON) {
        width -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
    } else {
        return false;
    }
    return true;
}

// A list (the setup's log of what it did) needs the width of its longest
// line in its first column; lines scroll up and down.
void MeasureList(HWND list, TextRoom& room) {
    room.room_width = static_cast<LONG>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0)) - kListPadding;
    room.need_width = room.room_height = room.need_height = 0;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[1024] = {};
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = 1024;
        SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        const LONG width = static_cast<LONG>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
        if (width > room.need_width) room.need_width = width;
    }
    room.measurable = 1;
}

void Answer(HWND control) {
    HANDLE shared = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kTextRoomMemory);
    if (!shared) return;
    auto* room = static_cast<TextRoom*>(MapViewOfFile(shared, FILE_MAP_WRITE, 0, 0, sizeof(TextRoom)));
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    if (room && std::wstring(name) == WC_LISTVIEWW) {
        MeasureList(control, *room);
        room->answered = 1;
        UnmapViewOfFile(room);
    } else if (room) {
        UINT format = 0;
        room->measurable = Layout(control, room->room_width, room->room_height, format);
        const int length = GetWindowTextLengthW(control);
        std::wstring text(length + 1, L'\0');
        GetWindowTextW(control, &text[0], length + 1);
        text.resize(length);
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        RECT needs = {0, 0, room->room_width, 0};
        DrawTextW(dc, text.c_str(), -1, &needs, format | DT_CALCRECT);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        room->need_width = needs.right;
        room->need_height = needs.bottom;
        room->answered = 1;
        UnmapViewOfFile(room);
    }
    CloseHandle(shared);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK TextRoomHook(int code, WPARAM wparam, LPARAM lparam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && sent->message == kTextRoomMessage && sent->wParam == kTextRoomTag &&
        reinterpret_cast<HWND>(sent->lParam) == sent->hwnd) {
        Answer(sent->hwnd);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
