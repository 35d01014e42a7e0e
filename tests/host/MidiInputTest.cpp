// Records made from live MIDI messages and from the standard's events: every
// status byte case, 7-bit data, the pitch-wheel value and the byte layout.
#include <gtest/gtest.h>

#include <cstring>

#include "host/MidiInput.h"

namespace {

const uint8_t* Bytes(const QviEvent& event) { return reinterpret_cast<const uint8_t*>(&event); }

}  // namespace

TEST(QviEventLayout, FieldsSitAtTheirOffsets) {
    QviEvent event;
    std::memset(&event, 0, sizeof(event));
    event.musicalTime = 0x04030201u;
    event.port = 0x05;
    event.channel = 0x06;
    event.type = 0x0A090807;
    event.data1 = 0x0B;
    event.data2 = 0x0C;
    event.data3 = 0x0D;
    event.duration = 0x11100F0E;
    event.portNumber = 0x17161514u;
    event.frameTime = 0x1F1E1D1C1B1A1918;
    event.source = 0x2F2E2D2C2B2A2928;
    const uint8_t* b = Bytes(event);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(b[i], i + 1) << i;
    for (int i = 20; i < 32; ++i) EXPECT_EQ(b[i], i) << i;
    for (int i = 40; i < 48; ++i) EXPECT_EQ(b[i], i) << i;
}

TEST(MidiInput, NoteOffAndNoteOn) {
    QviEvent event;
    ASSERT_TRUE(QviEventFromMidi(77, 0x83, 60, 90, &event));
    EXPECT_EQ(event.musicalTime, 77u);
    EXPECT_EQ(event.type, kQviNote);
    EXPECT_EQ(event.channel, 3);
    EXPECT_EQ(event.port, 0);
    EXPECT_EQ(event.data1, 60);
    EXPECT_EQ(event.data2, 90);
    EXPECT_EQ(event.data3, 64);
    EXPECT_EQ(event.duration, 0);

    ASSERT_TRUE(QviEventFromMidi(0, 0x9F, 60, 100, &event));
    EXPECT_EQ(event.channel, 15);
    EXPECT_EQ(event.duration, -1);
    EXPECT_EQ(event.data2, 100);
    EXPECT_EQ(event.data3, 64);

    // Velocity 0 is a note-off.
    ASSERT_TRUE(QviEventFromMidi(0, 0x90, 60, 0, &event));
    EXPECT_EQ(event.duration, 0);
    EXPECT_EQ(event.data2, 0);
    // Only 7 bits count: 0x80 as velocity is 0, so also a note-off.
    ASSERT_TRUE(QviEventFromMidi(0, 0x90, 0xBC, 0x80, &event));
    EXPECT_EQ(event.data1, 0x3C);
    EXPECT_EQ(event.duration, 0);
}

TEST(MidiInput, AftertouchControllerPatchAndChannelPressure) {
    QviEvent event;
    ASSERT_TRUE(QviEventFromMidi(0, 0xA1, 61, 0xC5, &event));
    EXPECT_EQ(event.type, kQviKeyAftertouch);
    EXPECT_EQ(event.channel, 1);
    EXPECT_EQ(event.data1, 61);
    EXPECT_EQ(event.data2, 0x45);
    EXPECT_EQ(event.duration, 0);

    ASSERT_TRUE(QviEventFromMidi(0, 0xB2, 7, 127, &event));
    EXPECT_EQ(event.type, kQviController);
    EXPECT_EQ(event.data1, 7);
    EXPECT_EQ(event.data2, 127);

    ASSERT_TRUE(QviEventFromMidi(0, 0xC4, 0x85, 9, &event));
    EXPECT_EQ(event.type, kQviPatch);
    EXPECT_EQ(event.data1, 5);
    EXPECT_EQ(event.data2, 9);
    EXPECT_EQ(Bytes(event)[12], 0xFF);
    EXPECT_EQ(Bytes(event)[13], 0xFF);
    EXPECT_EQ(Bytes(event)[14], 0x00);

    ASSERT_TRUE(QviEventFromMidi(0, 0xD5, 0xFF, 33, &event));
    EXPECT_EQ(event.type, kQviChannelAftertouch);
    EXPECT_EQ(event.data1, 0);
    EXPECT_EQ(event.data2, 0x7F);
}

TEST(MidiInput, PitchWheelIsSignedAroundTheCentre) {
    struct Case {
        uint8_t d1, d2;
        int16_t value;
    };
    // ((d2 << 7) | d1) - 8192, worked out by hand.
    const Case cases[] = {
        {0x00, 0x40, 0}, {0x7F, 0x7F, 8191}, {0x00, 0x00, -8192}, {0x01, 0x40, 1}, {0x7F, 0x3F, -1},
        {0xFF, 0xFF, 8191},  // stray high bits are ignored
    };
    for (const Case& c : cases) {
        QviEvent event;
        ASSERT_TRUE(QviEventFromMidi(0, 0xE6, c.d1, c.d2, &event));
        EXPECT_EQ(event.type, kQviPitchWheel);
        EXPECT_EQ(event.channel, 6);
        int16_t value;
        std::memcpy(&value, Bytes(event) + 10, 2);
        EXPECT_EQ(value, c.value) << int(c.d1) << "," << int(c.d2);
    }
}

TEST(MidiInput, SystemMessagesAndDataBytesAreSkipped) {
    QviEvent event;
    for (int status : {0xF0, 0xF8, 0xFE, 0xFF, 0x00, 0x3C, 0x7F}) {
        EXPECT_FALSE(QviEventFromMidi(0, static_cast<uint8_t>(status), 1, 2, &event)) << status;
    }
}

TEST(MidiInput, SequencedEventKeepsTheStandardsTwentyBytes) {
    WbxEvent source;
    uint8_t* raw = reinterpret_cast<uint8_t*>(&source);
    for (int i = 0; i < 20; ++i) raw[i] = static_cast<uint8_t>(0xA0 + i);
    QviEvent event = QviEventFromWbx(source);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Bytes(event)[i], 0xA0 + i) << i;
    for (int i = 20; i < 48; ++i) EXPECT_EQ(Bytes(event)[i], 0) << i;
}
