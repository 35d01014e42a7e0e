// The instrument frame's event record: 48 bytes, packed, little-endian.
// The first 20 bytes are the standard's event (WbxEvent).
#pragma once
#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct QviEvent {
    uint32_t musicalTime;  // 0
    uint8_t port;          // 4: port byte (0 for live input); port flags: bits to set
    uint8_t channel;       // 5: 0..15; port flags: mask of bits to replace
    int32_t type;          // 6: 0 note, 1 key aftertouch, 2 controller, 3 patch,
                           //    4 channel aftertouch, 5 pitch wheel, 11 port flags
    uint8_t data1;         // 10: key / controller number / patch byte / wheel low
    uint8_t data2;         // 11: velocity / pressure / value / wheel high
    uint8_t data3;         // 12: release velocity; patch: 0xFF
    int32_t duration;      // 13: -1 held note-on, 0 note-off; patch: first byte 0xFF
    uint8_t unused[3];     // 17: not read by the frame
    uint32_t portNumber;   // 20: port given with the call that delivered it
    int64_t frameTime;     // 24: on the frame's position scale
    int64_t zero;          // 32
    int64_t source;        // 40: 1 live input, 2 sequenced
};
#pragma pack(pop)
static_assert(sizeof(QviEvent) == 48, "QviEvent is 48 bytes");
static_assert(offsetof(QviEvent, port) == 4 && offsetof(QviEvent, channel) == 5 && offsetof(QviEvent, data1) == 10 &&
                  offsetof(QviEvent, data3) == 12 && offsetof(QviEvent, zero) == 32,
              "QviEvent layout");
static_assert(offsetof(QviEvent, type) == 6 && offsetof(QviEvent, duration) == 13 &&
                  offsetof(QviEvent, portNumber) == 20 && offsetof(QviEvent, frameTime) == 24 &&
                  offsetof(QviEvent, source) == 40,
              "QviEvent layout");

enum EQviEventType : int32_t {
    kQviNote = 0,
    kQviKeyAftertouch = 1,
    kQviController = 2,
    kQviPatch = 3,
    kQviChannelAftertouch = 4,
    kQviPitchWheel = 5,
    kQviPortFlags = 11,
};
enum EQviEventSource : int64_t { kQviSourceLive = 1, kQviSourceSequenced = 2 };
