// What zv-setup-measure.dll (TextRoomHook.cpp) answers about a control of
// another program: the room its text has and the room the text needs, both
// in the control's own font. zvdelay-setup-driver asks by sending the control
// kTextRoomMessage with kTextRoomTag and the control as lParam; the hook
// writes the answer into the shared memory named kTextRoomMemory.
#pragma once

#include <windows.h>

constexpr UINT kTextRoomMessage = WM_NULL;
constexpr WPARAM kTextRoomTag = 0x5A56;
constexpr wchar_t kTextRoomMemory[] = L"zvSetupDriverTextRoom";

struct TextRoom {
    LONG answered;    // set by the hook
    LONG measurable;  // 0: a control whose text is not laid out in its box
    LONG room_width, room_height;
    LONG need_width, need_height;
};
