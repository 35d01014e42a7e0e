// What a screen reader sees of the toolkit's controls. Each control answers
// WM_GETOBJECT for its client area with a small IAccessible of its own:
// the role of its class, a name and a value that its parent supplies
// (message kControlAccessibleText: the label beside the control, the value
// as the page shows it with its unit) or, without an answer, its window
// text, and its state (focusable, focused, unavailable, pressed). Whatever
// else a client asks (location, parent, navigation, hit-testing) goes to
// the system's own object for the window.
//
// oleacc is loaded on the first request; without it a control gives the
// default answer and works as before. The object lives from the first
// request until WM_DESTROY, when it lets go of the window: a client still
// holding it then gets RPC_E_DISCONNECTED from every call. UI thread.
#pragma once
#include <windows.h>

enum class EAccessibleRole { kPushButton, kMenuButton, kSlider, kValueBox, kStaticText, kImage, kMeter };

class CControlAccessible;

// WM_GETOBJECT of a control: the object for OBJID_CLIENT (made on the first
// request and kept in *slot), the default answer for anything else.
LRESULT AnswerGetObject(HWND window, CControlAccessible** slot, EAccessibleRole role, WPARAM wParam, LPARAM lParam);
// WM_DESTROY of a control: the object, if any, is cut off from the window
// and released.
void DetachAccessible(CControlAccessible** slot);
// Tells screen readers that a control's value, state or name changed
// (EVENT_OBJECT_VALUECHANGE, STATECHANGE, NAMECHANGE).
void AnnounceValueChange(HWND window);
void AnnounceStateChange(HWND window);
void AnnounceNameChange(HWND window);
