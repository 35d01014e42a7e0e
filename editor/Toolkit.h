// The editor's control toolkit: seven bitmap-drawn window classes that take
// their look from the background picture and the pixel images, and report
// what the user does to their parent by messages.
//
//   "zv:PushButton"        push button and toggle, image faces, drop-down arrow
//   "zv:Slider"            slider with relative, cursor-hiding drags
//   "zv:Edit"              value box: drag, wheel and keys step the value
//   "zv:StaticText"        centred text; clicks reported
//   "zv:StaticImage"       bitmap resource by id; clicks reported
//   "zv:StaticNoHitImage"  the same without clicks
//   "zv:Meter"             level bar from two pixel strips, decay, peak hold
//
// Every class but the meter takes the background picture (HBITMAP) as its
// creation parameter. All of it runs on the thread that owns the windows.
#pragma once
#include <windows.h>

#include <cstdint>

// Registers the seven classes for the module; a class that is already
// registered is left as it is.
void RegisterToolkitClasses(HINSTANCE module);
// Unregisters them (a module about to be unloaded while its host lives on:
// a class left behind would point into the gone module). Fails harmlessly
// for a class that still has windows.
void UnregisterToolkitClasses(HINSTANCE module);

// 1 while a push button, slider or value box holds the mouse.
int32_t ToolkitCaptureFlag();
// The open in-place editor of a value box, or null; DestroyOpenEditor closes
// it (the typed text is dropped).
HWND OpenEditorWindow();
void DestroyOpenEditor();

// Messages every class answers.
enum : UINT {
    // wParam: the DPI to draw at (every class starts at 96); lParam: the
    // background picture at that DPI (null keeps the one it has). Repaints
    // when anything changed.
    kControlSetDpi = 2990,
    kControlGetDpi = 2991,
    // Sent to the parent by a control's accessible object: wParam = control
    // id in the low word and 0 (name) or 1 (value) in the high word, lParam
    // an AccessibleText. A parent that answers fills the text and returns
    // 1; a control without an answer uses its window text.
    kControlAccessibleText = 2992,
};
struct AccessibleText {
    char* text;
    int size;
};

// Push button messages.
enum : UINT {
    kButtonSetToggle = 2025,      // wParam state, lParam redraw now
    kButtonGetToggle = 2026,
    kButtonInvalidate = 2027,     // lParam redraw now
    kButtonDoubleClickNotify = 2028,
    kButtonRightClick = 2031,     // to the parent: wParam id, lParam the mouse lParam
    kButtonRelease = 2032,
    kButtonSetFaces = 2033,       // wParam normal, lParam pressed pixel image
    kButtonFocusAdjust = 2034,    // wParam const int32_t[4], lParam rim selector
    kButtonToggleTint = 2036,
    kButtonTextColour = 2037,
};
// Push button notification codes (HIWORD of WM_COMMAND's wParam).
enum : WORD {
    kButtonClicked = 0,
    kButtonPressed = 1,
    kButtonDoubleClicked = 2,
    kButtonEntered = 3,
    kButtonLeft = 4,
};

// Slider messages and notifications.
enum : UINT {
    kSliderGetValue = 2125,
    kSliderSetValue = 2126,       // wParam value, lParam redraw now
    kSliderSetRange = 2127,       // wParam minimum, lParam maximum
    kSliderChanged = 2129,        // to the parent: wParam value, lParam slider
    kSliderDoubleClicked = 2130,  // to the parent: wParam id
    kSliderSquaredDrag = 2131,
    kSliderTickSpacing = 2132,
    kSliderPageStep = 2133,
    kSliderFirstTickStep = 2134,
    kSliderThumb = 2136,          // wParam pixel image
    kSliderFinished = 2137,       // to the parent
    kSliderGroove = 2138,
    kSliderThumbLength = 2139,
    kSliderActiveTint = 2140,
    kSliderIdleTint = 2141,
    kSliderEditRequest = 2142,    // to the parent: Enter or F2 (wParam id): the value box's editor, please
};

// Value box messages.
enum : UINT {
    kValueBoxStep = 2225,         // posted to the parent, see MakeStepParam
    kValueBoxSquaredDrag = 2226,
    kValueBoxOptions = 2227,      // bit 0x2: reverse
    kValueBoxFrame = 2230,        // wParam pixel image
    kValueBoxOpenEditor = 2231,   // opens the in-place editor as Enter does; wParam: where Enter and Escape
                                  // leave the focus (null: the box)
};
// WM_COMMAND code sent when the in-place editor's text is confirmed.
constexpr WORD kValueBoxTyped = 0x300;

// The step of message 2225 travels in wParam: the control id in the low 16
// bits and the step, signed, from bit 16 up. WPARAM is 64 bits wide here, so
// the step keeps 32 bits (End and Home jump by 900000, squared drags can pass
// 32767); HIWORD(wParam) read as a 16-bit number is the same step whenever
// it fits in 16 bits.
inline WPARAM MakeStepParam(int id, int32_t step) {
    return (static_cast<WPARAM>(static_cast<uint64_t>(static_cast<int64_t>(step)) << 16)) |
           static_cast<WORD>(id);
}
inline int32_t StepFromParam(WPARAM wParam) {
    return static_cast<int32_t>(static_cast<int64_t>(static_cast<uint64_t>(wParam)) >> 16);
}
inline int IdFromStepParam(WPARAM wParam) { return LOWORD(wParam); }

// Meter messages.
enum : UINT {
    kMeterRange = 2625,           // wParam minimum, lParam maximum
    kMeterLevels = 2626,          // wParam level A, lParam level B
    kMeterGetPeaks = 2627,        // wParam, lParam: int32_t* or null
    kMeterResetHighest = 2628,
    kMeterGetHighest = 2629,      // wParam, lParam: int32_t* or null
    kMeterStrips = 2630,          // wParam unlit, lParam lit pixel image
    kMeterDecayStep = 2631,
};

// Static image messages.
enum : UINT {
    kImageSetId = 2874,           // wParam bitmap id
    kImageClicked = 2875,         // to the parent: wParam id, lParam window
};
