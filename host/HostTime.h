// Conversions between the host's musical time and sample frames, through the
// host's services: the time converter when the host has one, else the time
// map (via milliseconds, at the given sample rate), else none (0).
#pragma once
#include <cstdint>

#include "host/HostServices.h"

int64_t HostTicksToFrames(IWbxHostTimeConverter* converter, IWbxHostTimeMap* timeMap, uint32_t sampleRate,
                          WBX_MUSICAL_TIME ticks);

WBX_MUSICAL_TIME HostFramesToTicks(IWbxHostTimeConverter* converter, IWbxHostTimeMap* timeMap,
                                   uint32_t sampleRate, int64_t frames);
