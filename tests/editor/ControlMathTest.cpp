// The controls' arithmetic at the edges the editor relies on.
#include <gtest/gtest.h>

#include "editor/ControlMath.h"

TEST(ControlMath, SliderMapsValuesOntoItsTravel) {
    // 0..100 on 130 px with a 29 px thumb: travel 101. p(50) = (50 + 5050) / 100.
    EXPECT_EQ(SliderOffset(0, 0, 100, 101), 0);
    EXPECT_EQ(SliderOffset(50, 0, 100, 101), 51);
    EXPECT_EQ(SliderOffset(100, 0, 100, 101), 101);
    // 1..40000 on 186 px: p(5000) = (19999 + 4999 * 157) / 39999 = 20.
    EXPECT_EQ(SliderOffset(5000, 1, 39999, 157), 20);
    EXPECT_EQ(SliderOffset(7, 7, 0, 101), 0);  // empty range
    // Far outside the range (set by 2126) without wrapping around.
    EXPECT_EQ(SliderOffset(2000000000, -2000000000, 100, 101), 2147483647);
}

TEST(ControlMath, PageStepFromRangeAndLength) {
    EXPECT_EQ(SliderPageStep(100, 130), 11);  // 1500 / 126
    EXPECT_EQ(SliderPageStep(301, 120), 38);  // 4515 / 116
    EXPECT_EQ(SliderPageStep(5, 130), 1);     // at least 1
    EXPECT_EQ(SliderPageStep(10, 3), 150);    // length below 5 counts as 1
}

TEST(ControlMath, SquaredDragAndClamping) {
    EXPECT_EQ(SquaredDragStep(4), 9);    // 16 / 2 + 1
    EXPECT_EQ(SquaredDragStep(-1), -1);  // 1 / 2 + 1, negative
    EXPECT_EQ(SquaredDragStep(0), 0);
    EXPECT_EQ(SquaredDragStep(-7), -25);
    EXPECT_EQ(SquaredDragStep(32767), 536838145);  // 32767^2 / 2 + 1, not saturated
    EXPECT_EQ(ClampedStep(45000, 9, 1, 40000), 40000);
    EXPECT_EQ(ClampedStep(2147483647, 2147483647, -5, 2147483647), 2147483647);
    EXPECT_EQ(ClampedStep(10, -900000, 0, 100), 0);
}

TEST(ControlMath, WheelSpeedAndSteps) {
    EXPECT_EQ(WheelSpeed(40), 12);   // 500 / 40
    EXPECT_EQ(WheelSpeed(600), 1);
    EXPECT_EQ(WheelSpeed(0), 500);   // same millisecond
    EXPECT_EQ(WheelSpeed(-3), 500);
    EXPECT_EQ(WheelNotches(120), 1);
    EXPECT_EQ(WheelNotches(-240), -2);
    EXPECT_EQ(WheelNotches(30), 1);   // less than a notch still moves
    EXPECT_EQ(WheelNotches(0), -1);
    EXPECT_EQ(WheelStep(12, 1), 12);
    EXPECT_EQ(WheelStep(12, 2), 48);  // two notches: 4 x speed
}

TEST(ControlMath, ValueBoxAxisLock) {
    // Starting horizontal, |dy| just above 2 |dx| switches to vertical and steps by dy.
    EXPECT_EQ(ValueBoxDragStep(0, 3, 7, false, false).axis, 1);
    EXPECT_EQ(ValueBoxDragStep(0, 3, 7, false, false).step, 7);
    // Exactly twice does not switch.
    EXPECT_EQ(ValueBoxDragStep(0, 3, -6, false, false).axis, 0);
    EXPECT_EQ(ValueBoxDragStep(0, 3, -6, false, false).step, 3);
    // Back to horizontal when |dx| > 2 |dy|.
    EXPECT_EQ(ValueBoxDragStep(1, -5, 2, false, false).axis, 0);
    EXPECT_EQ(ValueBoxDragStep(1, -5, 2, false, false).step, -5);
    EXPECT_EQ(ValueBoxDragStep(1, 4, 2, false, false).step, 2);
    // Reversed, then squared keeping the sign.
    EXPECT_EQ(ValueBoxDragStep(1, 0, 3, true, false).step, -3);
    EXPECT_EQ(ValueBoxDragStep(1, 0, -3, false, true).step, -9);
    EXPECT_EQ(ValueBoxDragStep(0, 300, 0, false, true).step, 90000);  // past 16 bits
}

TEST(ControlMath, MeterDecayAndPeakHold) {
    MeterChannel channel;
    MeterDecay(channel, -100, 20);
    EXPECT_EQ(channel.level, -100);
    EXPECT_EQ(channel.peak, -100);
    EXPECT_EQ(channel.hold, 30);
    EXPECT_EQ(channel.highest, -100);
    // Silence: the level falls 20 a tick; the peak waits 30 ticks, then falls 30 a tick.
    for (int tick = 0; tick < 30; ++tick) MeterDecay(channel, -9999, 20);
    EXPECT_EQ(channel.level, -700);
    EXPECT_EQ(channel.peak, -100);
    EXPECT_EQ(channel.hold, 0);
    MeterDecay(channel, -9999, 20);
    EXPECT_EQ(channel.level, -720);
    EXPECT_EQ(channel.peak, -130);
    // A level above the peak takes its place and holds again; highest stays the top.
    MeterDecay(channel, -50, 20);
    EXPECT_EQ(channel.peak, -50);
    EXPECT_EQ(channel.hold, 30);
    MeterDecay(channel, -400, 20);
    EXPECT_EQ(channel.level, -70);
    EXPECT_EQ(channel.highest, -50);
}

TEST(ControlMath, MeterRows) {
    // -600..0 on 120 px: 116 rows. Full scale lights from row 0.
    EXPECT_EQ(MeterRow(0, -600, 0, 120, false), 0);
    EXPECT_EQ(MeterRow(-600, -600, 0, 120, false), 116);  // nothing
    EXPECT_EQ(MeterRow(-300, -600, 0, 120, false), 58);
    EXPECT_EQ(MeterRow(-299, -600, 0, 120, false), 58);   // 58.19 + 0.5 -> 58
    EXPECT_EQ(MeterRow(-296, -600, 0, 120, false), 57);   // 58.77 + 0.5 -> 59
    EXPECT_EQ(MeterRow(-9999, -600, 0, 120, false) >= 116, true);
    EXPECT_EQ(MeterRow(100, -600, 0, 120, false), 0);     // above the top
    EXPECT_EQ(MeterRow(-300, -600, 0, 120, true), 58);
    EXPECT_EQ(MeterRow(-100, -600, 0, 120, true), 97);    // 96.67 + 0.5
    EXPECT_EQ(MeterRow(5, 5, 5, 120, false), 116);        // empty range: nothing lit
}
