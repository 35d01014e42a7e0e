#include "host/MidiInput.h"

#include <cstring>

namespace {

constexpr uint8_t kReleaseVelocityLive = 64;
constexpr int32_t kDurationHeld = -1;
constexpr int32_t kDurationOff = 0;
constexpr int kPitchWheelCentre = 8192;

}  // namespace

bool QviEventFromMidi(WBX_MUSICAL_TIME time, uint8_t status, uint8_t data1, uint8_t data2, QviEvent* event) {
    std::memset(event, 0, sizeof(*event));
    event->musicalTime = time;
    event->channel = status & 0x0F;
    const uint8_t d1 = data1 & 0x7F;
    const uint8_t d2 = data2 & 0x7F;
    switch (status & 0xF0) {
        case 0x80:
        case 0x90:
            event->type = kQviNote;
            event->data1 = d1;
            event->data2 = d2;
            event->data3 = kReleaseVelocityLive;
            // A note-on with velocity 0 is a note-off.
            event->duration = ((status & 0xF0) == 0x90 && d2 != 0) ? kDurationHeld : kDurationOff;
            return true;
        case 0xA0:
            event->type = kQviKeyAftertouch;
            event->data1 = d1;
            event->data2 = d2;
            return true;
        case 0xB0:
            event->type = kQviController;
            event->data1 = d1;
            event->data2 = d2;
            return true;
        case 0xC0: {
            event->type = kQviPatch;
            event->data1 = d1;
            event->data2 = d2;
            // Bytes 12 and 13 hold 0xFFFF, low byte first.
            uint8_t* bytes = reinterpret_cast<uint8_t*>(event);
            bytes[12] = 0xFF;
            bytes[13] = 0xFF;
            return true;
        }
        case 0xD0:
            event->type = kQviChannelAftertouch;
            event->data2 = d1;
            return true;
        case 0xE0: {
            event->type = kQviPitchWheel;
            const int16_t value = static_cast<int16_t>(((d2 << 7) | d1) - kPitchWheelCentre);
            const uint16_t bits = static_cast<uint16_t>(value);
            event->data1 = static_cast<uint8_t>(bits & 0xFF);
            event->data2 = static_cast<uint8_t>(bits >> 8);
            return true;
        }
        default:
            return false;
    }
}

QviEvent QviEventFromWbx(const WbxEvent& source) {
    QviEvent event;
    std::memset(&event, 0, sizeof(event));
    static_assert(sizeof(WbxEvent) <= sizeof(QviEvent), "the standard's event heads the record");
    std::memcpy(&event, &source, sizeof(source));
    return event;
}
