// The arithmetic of the editor's controls, free of any window system: the
// slider's value-to-offset mapping and steps, the wheel's acceleration, the
// value box's drag axis and the meter's level, decay and peak hold. Called
// from the window procedures under editor/controls/ and tested natively.
#pragma once
#include <cstdint>

// Slider thumb offset of value v: (range / 2 + (v - minimum) * travel) /
// range, integer division; 0 for an empty range. travel = slider length
// less the thumb length.
int32_t SliderOffset(int32_t value, int32_t minimum, int32_t range, int32_t travel);
// Page step computed when a slider first gets a range:
// max(1, range * 15 / max(1, length - 4)).
int32_t SliderPageStep(int32_t range, int32_t length);
// A slider's squared drag step: sign(d) * (d * d / 2 + 1), 0 for 0.
int32_t SquaredDragStep(int32_t d);
// value + step clamped to [minimum, maximum], without overflow.
int32_t ClampedStep(int32_t value, int64_t step, int32_t minimum, int32_t maximum);

// Notches in one wheel message: delta / 120 truncated, at least one in the
// delta's direction.
int32_t WheelNotches(int32_t delta);
// Speed from the milliseconds since the previous wheel message:
// max(1, 500 / max(1, dt)).
int32_t WheelSpeed(int32_t elapsed);
// The step of a wheel message: speed * n * |n|.
int32_t WheelStep(int32_t speed, int32_t notches);

// The value box's drag: the axis (0 horizontal, 1 vertical) switches when
// the other direction's move is more than twice this one's. dy is positive
// upward. The step is the move along the axis after the switch, reversed on
// request, then squared keeping its sign when asked.
struct ValueBoxDrag {
    int axis;
    int32_t step;
};
ValueBoxDrag ValueBoxDragStep(int axis, int32_t dx, int32_t dy, bool reverse, bool squared);

// One channel of a level meter. Values in the meter's units; -9999 = nothing.
struct MeterChannel {
    int32_t level = -9999;
    int32_t peak = -9999;
    int32_t highest = -9999;
    int32_t hold = 0;
};
constexpr int32_t kMeterPeakHoldTicks = 30;
constexpr int32_t kMeterPeakDrop = 30;
// A new level with decay and peak hold: the shown level drops by the decay
// step and never below the new one; the peak waits out its hold counter,
// then drops by 30, and a level above it becomes the peak held 30 updates.
void MeterDecay(MeterChannel& channel, int32_t level, int32_t decayStep);
// The row (0 = top of the lit area, which starts 2 pixels down) from which a
// meter of the given height lights up for a level:
// floor((level - minimum) * (height - 4) / (maximum - minimum) + 0.5),
// counted from the bottom unless topDown, never negative. height - 4 or more
// lights nothing. inset: the strip's frame at each end (2 at 96 DPI; the lit
// area is height - 2 x inset rows).
int MeterRow(int32_t level, int32_t minimum, int32_t maximum, int height, bool topDown, int inset = 2);
