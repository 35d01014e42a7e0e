#include "host/HostTime.h"

#include <algorithm>
#include <limits>

int64_t HostTicksToFrames(IWbxHostTimeConverter* converter, IWbxHostTimeMap* timeMap, uint32_t sampleRate,
                          WBX_MUSICAL_TIME ticks) {
    if (converter) {
        WbxTimeRecord time = {kWbxTimeMusical, static_cast<int64_t>(ticks)};
        if (FAILED(converter->ConvertTime(&time, kWbxTimeSamples))) return 0;
        return time.value;
    }
    if (timeMap) {
        int32_t ms = 0;
        if (FAILED(timeMap->MusicalToMs(ticks, &ms))) return 0;
        // |ms| < 2^31 and rate < 2^32: the product fits in 64 bits.
        return static_cast<int64_t>(ms) * static_cast<int64_t>(sampleRate) / 1000;
    }
    return 0;
}

WBX_MUSICAL_TIME HostFramesToTicks(IWbxHostTimeConverter* converter, IWbxHostTimeMap* timeMap,
                                   uint32_t sampleRate, int64_t frames) {
    if (converter) {
        WbxTimeRecord time = {kWbxTimeSamples, frames};
        if (FAILED(converter->ConvertTime(&time, kWbxTimeMusical))) return 0;
        // Musical time is 32-bit unsigned; a host answer outside it is clamped.
        // Copied out first: the record is packed, and std::clamp takes a
        // reference, which may not bind to a misaligned field.
        const int64_t value = time.value;
        const int64_t ticks = std::clamp<int64_t>(value, 0, std::numeric_limits<WBX_MUSICAL_TIME>::max());
        return static_cast<WBX_MUSICAL_TIME>(ticks);
    }
    if (timeMap) {
        // Without a format there is no rate to divide by.
        if (sampleRate == 0) return 0;
        // frames * 1000 / rate, truncating toward zero, split so that it
        // cannot overflow; the host takes 32-bit milliseconds, so the result
        // is clamped to that range.
        const int64_t rate = sampleRate;
        const int64_t whole = frames / rate;  // |whole| above 2^22 is out of range anyway
        const int64_t limit = int64_t{1} << 22;
        const int64_t ms64 = std::clamp<int64_t>(whole, -limit, limit) * 1000 + frames % rate * 1000 / rate;
        const int32_t ms = static_cast<int32_t>(
            std::clamp<int64_t>(ms64, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
        WBX_MUSICAL_TIME ticks = 0;
        if (FAILED(timeMap->MsToMusical(ms, &ticks))) return 0;
        return ticks;
    }
    return 0;
}

void CHostTimeServices::Hold(IWbxHostTimeConverter* converter, IWbxHostTimeMap* timeMap, uint32_t sampleRate) {
    if (converter) converter->AddRef();
    if (timeMap) timeMap->AddRef();
    Reset();
    m_converter = converter;
    m_timeMap = timeMap;
    m_sampleRate = sampleRate;
}

void CHostTimeServices::Reset() {
    if (m_converter) m_converter->Release();
    if (m_timeMap) m_timeMap->Release();
    m_converter = nullptr;
    m_timeMap = nullptr;
    m_sampleRate = 0;
}

int32_t CHostTimeServices::TempoAt(int64_t frames) const {
    if (!m_timeMap) return 0;
    const int32_t key = m_timeMap->GetTempoKey(FramesToTicks(frames));
    int32_t entryTime = 0;
    int32_t tempo = 0;
    // A failing query gives no tempo, the same as a tempo of 0.
    if (FAILED(m_timeMap->GetTempo(key, &entryTime, &tempo))) return 0;
    return tempo;
}
