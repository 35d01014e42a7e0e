// The editor page's controls as data: one row per control (id, class,
// rectangle in pixels on the 506 x 381 background at 96 DPI, window style
// bits, images, first text, the name a screen reader hears), in creation
// order; the order the Tab key follows; and the bindings of parameters to
// their value boxes and sliders. The page creates its controls from this
// table and the tests check the page against it. Portable.
#pragma once
#include <cstdint>

#include "effect/ParamTable.h"

enum class ControlClass { kButton, kValueBox, kSlider, kMeter, kStaticText };

struct ControlRow {
    int id;
    ControlClass kind;
    int x, y, width, height;
    uint32_t style;        // the class's own bits (arrow 0x1, marker 0x2, value box 0x86/0x87, ...)
    int image;             // normal face, value box frame or slider thumb; meter: unlit strip
    int pressedImage;      // pressed face; meter: lit strip; 0 = none
    const char* text;      // first text, or null
    bool focusAdjusted;
    int focusAdjust[4];    // left, top, right, bottom
    const char* name;      // the label the art shows beside it; null: its own caption
};

inline constexpr int kPageWidth = 506;
inline constexpr int kPageHeight = 381;

// Control ids with a role of their own.
enum EditorControlId : int {
    kIdBypass = 10100,
    kIdUndo = 10101,
    kIdSetup = 10102,
    kIdSetupMenu = 10103,
    kIdReset = 10104,
    kIdPresets = 10105,
    kIdHelp = 10106,
    kIdDelayLBox = 10000,
    kIdDelayLSlider = 10001,
    kIdFactorLBox = 10002,
    kIdFactorLMenu = 10003,
    kIdFeedbkLSlider = 10005,
    kIdOutputBox = 10060,
    kIdDelayRBox = 10020,
    kIdDelayRSlider = 10021,
    kIdFactorRBox = 10022,
    kIdFactorRMenu = 10023,
    kIdLink = 10072,
    kIdListen = 10073,
    kIdTempoSync = 10070,
    kIdTempoBox = 10071,
    kIdLowFreqBox = 10042,
    kIdLowFreqSlider = 10043,
    kIdHighFreqBox = 10045,
    kIdHighFreqSlider = 10046,
    kIdClipLeft = 1020,
    kIdClipRight = 1021,
    kIdMeterLeft = 10061,
    kIdMeterRight = 10062,
    kIdReadout = 10063,
    kIdPlugInNotify = 32700,   // the id the page registers for the plug-in's notices
};

// Every control the page creates, in creation order (the two clip lights are
// in the dialog template and only moved).
extern const ControlRow kLayout[];
extern const int kLayoutCount;
const ControlRow* FindLayoutRow(int id);

// The controls Tab visits, in reading order: the top row, then each
// section top to bottom and left to right (left channel, the output
// column, right channel, the tempo and diffusion box, the filters).
extern const int kReadingOrder[];
extern const int kReadingOrderCount;

// A parameter shown on the page: its value box and slider (0 = none).
struct ParamBinding {
    EParam param;
    int box;
    int slider;
};
extern const ParamBinding kBindings[];
extern const int kBindingCount;
// The binding whose box or slider is id, or null.
const ParamBinding* FindBinding(int id);

// Sliders: squared drag, page step (0 = computed from the range), tick
// spacing and range.
struct SliderSetting {
    int id;
    bool squared;
    int pageStep;
    int tickSpacing;
    int minimum, maximum;
};
extern const SliderSetting kSliderSettings[];
extern const int kSliderSettingCount;
