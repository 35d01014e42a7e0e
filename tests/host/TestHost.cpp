#include "tests/host/TestHost.h"

#include <cmath>

#include "host/WbxInterfaces.h"

namespace {

// Seconds per tick at a tempo in hundredths of a beat per minute.
double SecondsPerTick(int32_t tempo) {
    return 60.0 * 100.0 / (static_cast<double>(tempo) * CTestHost::kTicksPerBeat);
}

}  // namespace

CTestHost::CTestHost() { SetTempo(12000); }

void CTestHost::SetTempo(int32_t tempo) { m_tempoMap = {{0, tempo}}; }

void CTestHost::SetTempoMap(const std::vector<TempoEntry>& entries) { m_tempoMap = entries; }

double CTestHost::TicksToSeconds(double ticks) const {
    double seconds = 0.0;
    for (size_t i = 0; i < m_tempoMap.size(); ++i) {
        const double begin = m_tempoMap[i].ticks;
        if (ticks <= begin) break;
        const double end = i + 1 < m_tempoMap.size() ? std::fmin(ticks, m_tempoMap[i + 1].ticks) : ticks;
        seconds += (end - begin) * SecondsPerTick(m_tempoMap[i].tempo);
    }
    return seconds;
}

double CTestHost::SecondsToTicks(double seconds) const {
    double ticks = 0.0;
    double left = seconds;
    for (size_t i = 0; i < m_tempoMap.size() && left > 0.0; ++i) {
        const double perTick = SecondsPerTick(m_tempoMap[i].tempo);
        if (i + 1 < m_tempoMap.size()) {
            const double span = (double(m_tempoMap[i + 1].ticks) - m_tempoMap[i].ticks) * perTick;
            if (left > span) {
                left -= span;
                ticks = m_tempoMap[i + 1].ticks;
                continue;
            }
        }
        ticks = m_tempoMap[i].ticks + left / perTick;
        left = 0.0;
    }
    return ticks;
}

HRESULT CTestHost::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == kIidIUnknown) {
        *object = static_cast<IWbxHostTimeMap*>(this);
    } else if (riid == IID_IWbxHostTimeMap && offerTimeMap) {
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
    ++musicalToMsCalls;
    if (failConversions) return E_FAIL;
    *ms = static_cast<int32_t>(std::floor(TicksToSeconds(ticks) * 1000.0 + 1e-9));
    return S_OK;
}

HRESULT CTestHost::MsToMusical(int32_t ms, WBX_MUSICAL_TIME* ticks) {
    ++msToMusicalCalls;
    if (failConversions) return E_FAIL;
    *ticks = ms <= 0 ? 0 : static_cast<WBX_MUSICAL_TIME>(std::floor(SecondsToTicks(ms / 1000.0) + 1e-9));
    return S_OK;
}

int32_t CTestHost::GetTempoKey(WBX_MUSICAL_TIME ticks) {
    ++tempoQueries;
    int32_t key = 0;
    for (size_t i = 0; i < m_tempoMap.size(); ++i) {
        if (m_tempoMap[i].ticks <= ticks) key = static_cast<int32_t>(i);
    }
    return key;
}

HRESULT CTestHost::GetTempo(int32_t key, int32_t* entryTime, int32_t* tempo) {
    if (key < 0 || static_cast<size_t>(key) >= m_tempoMap.size()) return E_INVALIDARG;
    if (entryTime) *entryTime = static_cast<int32_t>(m_tempoMap[key].ticks);
    if (tempo) *tempo = m_tempoMap[key].tempo;
    return S_OK;
}

HRESULT CTestHost::ConvertTime(WbxTimeRecord* time, int32_t targetFormat) {
    ++convertCalls;
    if (failConversions || !time) return E_FAIL;
    if (time->format == kWbxTimeMusical && targetFormat == kWbxTimeSamples) {
        time->value = static_cast<int64_t>(std::floor(TicksToSeconds(double(time->value)) * sampleRate + 1e-9));
    } else if (time->format == kWbxTimeSamples && targetFormat == kWbxTimeMusical) {
        time->value = time->value <= 0
                          ? 0
                          : static_cast<int64_t>(std::floor(SecondsToTicks(double(time->value) / sampleRate) + 1e-9));
    } else {
        return E_INVALIDARG;
    }
    time->format = targetFormat;
    return S_OK;
}

HRESULT CTestHost::OnPinsChanged(int32_t phase, IUnknown*, int32_t) {
    pinPhases.push_back(phase);
    return S_OK;
}

HRESULT CTestPort::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == kIidIUnknown || riid == IID_IWbxHostPort) {
        *object = static_cast<IWbxHostPort*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

void CTestEventList::AddNote(WBX_MUSICAL_TIME time, uint8_t key, uint8_t velocity, int32_t duration,
                             uint8_t channel) {
    WbxEvent event = {};
    event.time = time;
    event.channel = channel;
    event.type = 0;
    event.data[0] = key;       // byte 10
    event.data[1] = velocity;  // byte 11
    event.data[2] = 64;        // byte 12: release velocity
    const uint32_t bits = static_cast<uint32_t>(duration);
    for (int i = 0; i < 4; ++i) event.data[3 + i] = static_cast<uint8_t>(bits >> (8 * i));  // bytes 13..16
    events.push_back(event);
}

void CTestEventList::AddEvent(WBX_MUSICAL_TIME time, int32_t type, uint8_t port, uint8_t channel, uint8_t data1,
                              uint8_t data2) {
    WbxEvent event = {};
    event.time = time;
    event.port = port;
    event.channel = channel;
    event.type = type;
    event.data[0] = data1;
    event.data[1] = data2;
    events.push_back(event);
}

HRESULT CTestEventList::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == kIidIUnknown || riid == IID_IWbxEventList) {
        *object = static_cast<IWbxEventList*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CTestEventList::GetCount(int32_t* count) {
    if (FAILED(countResult)) return countResult;
    *count = reportedCount >= 0 ? reportedCount : static_cast<int32_t>(events.size());
    return countResult;
}

HRESULT CTestEventList::GetEvent(int32_t index, WbxEvent* event) {
    if (index < 0 || static_cast<size_t>(index) >= events.size()) return E_INVALIDARG;
    *event = events[index];
    return S_OK;
}

HRESULT CTestMidiBuffer::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == kIidIUnknown || riid == IID_IWbxMidiBuffer) {
        *object = static_cast<IWbxMidiBuffer*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CTestMidiBuffer::GetCount(int32_t* count) {
    if (FAILED(countResult)) return countResult;
    *count = reportedCount >= 0 ? reportedCount : static_cast<int32_t>(messages.size());
    return countResult;
}

HRESULT CTestMidiBuffer::GetMidiMessage(int32_t index, WBX_MUSICAL_TIME* time, uint8_t* status, uint8_t* data1,
                                        uint8_t* data2) {
    if (index < 0 || static_cast<size_t>(index) >= messages.size()) return E_INVALIDARG;
    const Message& message = messages[index];
    *time = message.time;
    *status = message.status;
    *data1 = message.data1;
    *data2 = message.data2;
    return S_OK;
}
