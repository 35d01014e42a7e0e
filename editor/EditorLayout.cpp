#include "editor/EditorLayout.h"

namespace {
constexpr ControlClass B = ControlClass::kButton;
constexpr ControlClass V = ControlClass::kValueBox;
constexpr ControlClass S = ControlClass::kSlider;
constexpr ControlClass M = ControlClass::kMeter;
constexpr ControlClass T = ControlClass::kStaticText;
constexpr uint32_t kArrow = 0x1, kMarker = 0x2;
constexpr uint32_t kBoxSquared = 0x86, kBox = 0x87;
}  // namespace

// Columns: id, class, x, y, width, height, style bits, image, pressed image
// (meters: unlit, lit), text, focus adjustment, accessible name.
const ControlRow kLayout[] = {
    {10100, B, 16, 16, 76, 21, 0, 124, 120, "Bypass", false, {}, nullptr},
    {10101, B, 95, 16, 76, 21, 0, 124, 120, "Undo", false, {}, nullptr},
    {10102, B, 174, 16, 61, 21, 0, 122, 123, "Setup A", true, {0, 0, 1, 0}, nullptr},
    {10103, B, 235, 16, 15, 21, kArrow, 125, 121, "", true, {-2, 0, 0, 0}, "Setup menu"},
    {10104, B, 253, 16, 76, 21, 0, 124, 120, "Reset", false, {}, nullptr},
    {10105, B, 332, 16, 76, 21, kArrow, 124, 120, "Presets", false, {}, nullptr},
    {10106, B, 411, 16, 76, 21, 0, 124, 120, "Help", false, {}, nullptr},
    {10000, V, 26, 82, 44, 21, kBoxSquared, 138, 0, nullptr, false, {}, "Left Delay"},
    {10001, S, 25, 105, 186, 21, 0, 119, 0, nullptr, false, {}, "Left Delay"},
    {10002, V, 101, 82, 40, 21, kBox, 118, 0, nullptr, false, {}, "Left Note value"},
    {10003, B, 139, 82, 15, 21, kArrow, 125, 121, "", true, {-2, 0, 0, 0}, "Left Note value menu"},
    {10060, V, 225, 59, 40, 21, kBox, 118, 0, nullptr, false, {}, "Output"},
    {10020, V, 293, 82, 44, 21, kBoxSquared, 138, 0, nullptr, false, {}, "Right Delay"},
    {10021, S, 292, 105, 186, 21, 0, 119, 0, nullptr, false, {}, "Right Delay"},
    {10022, V, 367, 82, 40, 21, kBox, 118, 0, nullptr, false, {}, "Right Note value"},
    {10023, B, 405, 82, 15, 21, kArrow, 125, 121, "", true, {-2, 0, 0, 0}, "Right Note value menu"},
    {10004, V, 26, 142, 40, 21, kBox, 118, 0, nullptr, false, {}, "Left Feedback"},
    {10005, S, 81, 142, 130, 21, 0, 119, 0, nullptr, false, {}, "Left Feedback"},
    {10024, V, 293, 142, 40, 21, kBox, 118, 0, nullptr, false, {}, "Right Feedback"},
    {10025, S, 348, 142, 130, 21, 0, 119, 0, nullptr, false, {}, "Right Feedback"},
    {10006, V, 26, 181, 40, 21, kBox, 118, 0, nullptr, false, {}, "Left Cross-feed"},
    {10007, S, 81, 181, 130, 21, 0, 119, 0, nullptr, false, {}, "Left Cross-feed"},
    {10026, V, 293, 181, 40, 21, kBox, 118, 0, nullptr, false, {}, "Right Cross-feed"},
    {10027, S, 348, 181, 130, 21, 0, 119, 0, nullptr, false, {}, "Right Cross-feed"},
    {10008, V, 26, 220, 40, 21, kBox, 118, 0, nullptr, false, {}, "Left Mix"},
    {10009, S, 81, 220, 130, 21, 0, 119, 0, nullptr, false, {}, "Left Mix"},
    {10028, V, 293, 220, 40, 21, kBox, 118, 0, nullptr, false, {}, "Right Mix"},
    {10029, S, 348, 220, 130, 21, 0, 119, 0, nullptr, false, {}, "Right Mix"},
    {10072, B, 226, 231, 50, 21, 0, 135, 137, "Link", false, {}, nullptr},
    {10073, B, 19, 274, 40, 21, 0, 130, 134, "Mute", false, {}, "Listen"},
    {10070, B, 74, 274, 40, 21, kMarker, 130, 134, "", false, {}, "Sync"},
    {10071, V, 117, 274, 40, 21, kBox, 118, 0, nullptr, false, {}, "Tempo"},
    {10042, V, 255, 282, 40, 21, kBox, 118, 0, nullptr, false, {}, "Low cut"},
    {10043, S, 316, 284, 120, 21, 0, 119, 0, nullptr, false, {}, "Low cut"},
    {10044, V, 438, 282, 40, 21, kBox, 118, 0, nullptr, false, {}, "Low cut Q"},
    {10040, V, 74, 311, 40, 21, kBox, 118, 0, nullptr, false, {}, "Diffusion Time"},
    {10041, V, 117, 311, 40, 21, kBox, 118, 0, nullptr, false, {}, "Diffusion Amount"},
    {10045, V, 255, 305, 40, 21, kBox, 118, 0, nullptr, false, {}, "High cut"},
    {10046, S, 316, 307, 120, 21, 0, 119, 0, nullptr, false, {}, "High cut"},
    {10047, V, 438, 305, 40, 21, kBox, 118, 0, nullptr, false, {}, "High cut Q"},
    {10061, M, 231, 106, 12, 120, 0x9, 129, 128, nullptr, false, {}, "Left output level"},
    {10062, M, 261, 106, 12, 120, 0x9, 129, 128, nullptr, false, {}, "Right output level"},
    {10063, T, 226, 85, 52, 11, 0x101, 0, 0, "-Inf     -Inf", false, {}, "Peak levels"},
};
const int kLayoutCount = sizeof(kLayout) / sizeof(kLayout[0]);

const ControlRow* FindLayoutRow(int id) {
    for (int i = 0; i < kLayoutCount; ++i) {
        if (kLayout[i].id == id) return &kLayout[i];
    }
    return nullptr;
}

const int kReadingOrder[] = {
    10100, 10101, 10102, 10103, 10104, 10105, 10106,                // top row
    10000, 10002, 10003, 10001, 10004, 10005, 10006, 10007, 10008, 10009,   // left channel
    10060, 10072,                                                   // output column
    10020, 10022, 10023, 10021, 10024, 10025, 10026, 10027, 10028, 10029,   // right channel
    10073, 10070, 10071, 10040, 10041,                              // listen, sync, tempo, diffusion
    10042, 10043, 10044, 10045, 10046, 10047,                       // filters
};
const int kReadingOrderCount = sizeof(kReadingOrder) / sizeof(kReadingOrder[0]);

const ParamBinding kBindings[] = {
    {kParamDelayL, 10000, 10001},  {kParamFactorL, 10002, 0},    {kParamFeedbkL, 10004, 10005},
    {kParamXfeedL, 10006, 10007},  {kParamMixL, 10008, 10009},   {kParamDelayR, 10020, 10021},
    {kParamFactorR, 10022, 0},     {kParamFeedbkR, 10024, 10025}, {kParamXfeedR, 10026, 10027},
    {kParamMixR, 10028, 10029},    {kParamDiffTime, 10040, 0},   {kParamDiffAmnt, 10041, 0},
    {kParamLowFreq, 10042, 10043}, {kParamLowQ, 10044, 0},       {kParamHighFreq, 10045, 10046},
    {kParamHighQ, 10047, 0},       {kParamOutput, 10060, 0},     {kParamTempoSync, 10070, 0},
    {kParamTempo, 10071, 0},       {kParamLink, 10072, 0},       {kParamListen, 10073, 0},
};
const int kBindingCount = sizeof(kBindings) / sizeof(kBindings[0]);

const ParamBinding* FindBinding(int id) {
    if (id == 0) return nullptr;
    for (int i = 0; i < kBindingCount; ++i) {
        if (kBindings[i].box == id || kBindings[i].slider == id) return &kBindings[i];
    }
    return nullptr;
}

const SliderSetting kSliderSettings[] = {
    {10001, true, 1000, 1000, 1, 40000}, {10021, true, 1000, 1000, 1, 40000},
    {10005, false, 0, 5, 0, 100},        {10007, false, 0, 5, 0, 100},
    {10009, false, 0, 5, 0, 100},        {10025, false, 0, 5, 0, 100},
    {10027, false, 0, 5, 0, 100},        {10029, false, 0, 5, 0, 100},
    {10043, false, 0, 20, 0, 301},       {10046, false, 0, 20, 1, 301},
};
const int kSliderSettingCount = sizeof(kSliderSettings) / sizeof(kSliderSettings[0]);
