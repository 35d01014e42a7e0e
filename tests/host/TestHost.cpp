#include "tests/host/TestHost.h"

#include <cmath>
#include <cstring>

namespace {

double SecondsPerTick(int32_t tempo) { return 6000.0 / (double(tempo) * CTestHost::kTicksPerBeat); }

// Whole units, with a little room for the rounding of exact values.
int64_t Whole(double value) { return static_cast<int64_t>(std::floor(value + 1e-9)); }

}  // namespace

double CTestHost::TicksToSeconds(double ticks) const {
    double seconds = 0.0;
    for (size_t i = 0; i < m_tempoMap.size() && ticks > m_tempoMap[i].ticks; ++i) {
        const double end = i + 1 < m_tempoMap.size() ? std::fmin(ticks, m_tempoMap[i + 1].ticks) : ticks;
        seconds += (end - m_tempoMap[i].ticks) * SecondsPerTick(m_tempoMap[i].tempo);
    }
    return seconds;
}

double CTestHost::SecondsToTicks(double seconds) const {
    for (size_t i = 0;; ++i) {
        const double perTick = SecondsPerTick(m_tempoMap[i].tempo);
        const double span = i + 1 < m_tempoMap.size()
                                ? (double(m_tempoMap[i + 1].ticks) - m_tempoMap[i].ticks) * perTick
                                : HUGE_VAL;
        if (seconds <= span) return m_tempoMap[i].ticks + seconds / perTick;
        seconds -= span;
    }
}

HRESULT CTestHost::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    Called();
    if (riid == kIidIUnknown || (riid == IID_IWbxHostTimeMap && offerTimeMap)) {
        *object = static_cast<IWbxHostTimeMap*>(this);
    } else if (riid == IID_IWbxHostTimeConverter && offerConverter) {
        *object = static_cast<IWbxHostTimeConverter*>(this);
    } else if (riid == IID_IWbxHostPins && offerPins) {
        *object = static_cast<IWbxHostPins*>(this);
    } else if (riid == IID_IWbxHostPort && offerPort) {
        *object = static_cast<IWbxHostPort*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT CTestHost::MusicalToMs(WBX_MUSICAL_TIME ticks, int32_t* ms) {
    Called();
    ++musicalToMsCalls;
    if (failConversions) return E_FAIL;
    *ms = static_cast<int32_t>(Whole(TicksToSeconds(ticks) * 1000.0));
    return S_OK;
}

HRESULT CTestHost::MsToMusical(int32_t ms, WBX_MUSICAL_TIME* ticks) {
    Called();
    ++msToMusicalCalls;
    if (failConversions) return E_FAIL;
    *ticks = ms <= 0 ? 0 : static_cast<WBX_MUSICAL_TIME>(Whole(SecondsToTicks(ms / 1000.0)));
    return S_OK;
}

int32_t CTestHost::GetTempoKey(WBX_MUSICAL_TIME ticks) {
    Called();
    ++tempoQueries;
    int32_t key = 0;
    while (key + 1 < static_cast<int32_t>(m_tempoMap.size()) && m_tempoMap[key + 1].ticks <= ticks) ++key;
    return key;
}

HRESULT CTestHost::GetTempo(int32_t key, int32_t* entryTime, int32_t* tempo) {
    Called();
    if (key < 0 || key >= static_cast<int32_t>(m_tempoMap.size())) return E_INVALIDARG;
    *entryTime = static_cast<int32_t>(m_tempoMap[key].ticks);
    *tempo = m_tempoMap[key].tempo;
    return S_OK;
}

HRESULT CTestHost::ConvertTime(WbxTimeRecord* time, int32_t targetFormat) {
    Called();
    ++convertCalls;
    if (failConversions) return E_FAIL;
    if (time->format == kWbxTimeMusical && targetFormat == kWbxTimeSamples) {
        time->value = Whole(TicksToSeconds(double(time->value)) * sampleRate);
    } else if (time->format == kWbxTimeSamples && targetFormat == kWbxTimeMusical) {
        time->value = time->value <= 0 ? 0 : Whole(SecondsToTicks(double(time->value) / sampleRate));
    } else {
        return E_INVALIDARG;
    }
    time->format = targetFormat;
    return S_OK;
}

void CTestEventList::Add(WBX_MUSICAL_TIME time, int32_t type, uint8_t channel, uint8_t data1, uint8_t data2,
                         int32_t duration) {
    WbxEvent event = {};
    event.time = time;
    event.channel = channel;
    event.type = type;
    event.data[0] = data1;  // byte 10
    event.data[1] = data2;  // byte 11
    std::memcpy(&event.data[3], &duration, 4);  // bytes 13 to 16
    items.push_back(event);
}
