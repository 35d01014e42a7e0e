// The MIDI modifiers the host sets per port (IWbxNotify), applied to every
// event of that port as it is delivered.
#pragma once
#include <cstdint>

#pragma pack(push, 1)
struct PortState {
    uint8_t channelOverride = 0xFF;  // 0xFF: none; otherwise the low 4 bits are forced onto events
    uint8_t flags = 0;               // nonzero: sequenced events dropped, live ones pass only with 0x08
    int8_t velocityOffset[2] = {0, 0};
    int8_t keyOffset[2] = {0, 0};
};
#pragma pack(pop)
static_assert(sizeof(PortState) == 6, "PortState is 6 bytes");

constexpr uint8_t kPortNoChannelOverride = 0xFF;
constexpr uint8_t kPortFlagLivePasses = 0x08;
