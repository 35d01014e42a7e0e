// Turning what the host sends into the frame's event records.
#pragma once
#include <cstdint>

#include "host/HostServices.h"
#include "host/QviEvent.h"

// Fills the message-derived fields of a record for one live MIDI message
// (musical time, channel, type and data). The record is cleared first; the
// caller adds port number, frame time and source. False for messages the
// frame does not handle (system messages and stray data bytes). Data bytes
// are taken as 7-bit values whatever the host passes.
bool QviEventFromMidi(WBX_MUSICAL_TIME time, uint8_t status, uint8_t data1, uint8_t data2, QviEvent* event);

// A record whose first 20 bytes are the standard's event, the rest cleared.
QviEvent QviEventFromWbx(const WbxEvent& source);
