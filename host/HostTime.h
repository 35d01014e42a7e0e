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

// Counted references to the host's time services and the sample rate to
// convert at: taken under the frame lock (AddRef only), used and released
// after it has been left, so that no host call runs under our locks.
class CHostTimeServices {
public:
    CHostTimeServices() = default;
    ~CHostTimeServices() { Reset(); }
    CHostTimeServices(const CHostTimeServices&) = delete;
    CHostTimeServices& operator=(const CHostTimeServices&) = delete;

    // Holds the given services (either may be null), adding a reference.
    void Hold(IWbxHostTimeConverter* converter, IWbxHostTimeMap* timeMap, uint32_t sampleRate);
    // Releases what it holds.
    void Reset();

    int64_t TicksToFrames(WBX_MUSICAL_TIME ticks) const {
        return HostTicksToFrames(m_converter, m_timeMap, m_sampleRate, ticks);
    }
    WBX_MUSICAL_TIME FramesToTicks(int64_t frames) const {
        return HostFramesToTicks(m_converter, m_timeMap, m_sampleRate, frames);
    }
    // The host's tempo (hundredths of a beat per minute) at a stream position
    // in frames, through the time map's tempo entries: 0 without a time map
    // or when the host's answer fails.
    int32_t TempoAt(int64_t frames) const;
    IWbxHostTimeMap* TimeMap() const { return m_timeMap; }

private:
    IWbxHostTimeConverter* m_converter = nullptr;
    IWbxHostTimeMap* m_timeMap = nullptr;
    uint32_t m_sampleRate = 0;
};
