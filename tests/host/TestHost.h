// A small host of the instrument standard for tests: the services handed to
// the frame in Connect (time map with a settable tempo map, time converter,
// pin notifier, port), a sequenced event list and a live MIDI buffer.
//
// The objects live on the test's stack and are never deleted through
// Release: they start with one reference (the test's own), and a test ends
// by checking that the count is back to 1.
//
// Time: 960 ticks per beat. At the default 120.00 BPM a beat is 500 ms, so
// 960 ticks are 24000 frames at 48 kHz (25 frames per tick).
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "host/HostServices.h"
#include "host/WbxInterfaces.h"

// IUnknown for a test object with one interface.
template <class Interface, const IID* Iid>
class CTestUnknown : public Interface {
public:
    ULONG RefCount() const { return m_refs; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = (riid == kIidIUnknown || riid == *Iid) ? static_cast<Interface*>(this) : nullptr;
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }

private:
    ULONG m_refs = 1;
};

struct TempoEntry {
    WBX_MUSICAL_TIME ticks;  // where the tempo takes effect (the first at 0)
    int32_t tempo;           // hundredths of a beat per minute
};

class CTestHost : public IWbxHostTimeMap, public IWbxHostTimeConverter, public IWbxHostPins, public IWbxHostPort {
public:
    static constexpr int32_t kTicksPerBeat = 960;

    // Which services QueryInterface answers; failure injection; call counts.
    bool offerTimeMap = true, offerConverter = true, offerPins = true, offerPort = true;
    bool failConversions = false;
    uint32_t sampleRate = 48000;  // the converter's
    int convertCalls = 0, musicalToMsCalls = 0, msToMusicalCalls = 0, tempoQueries = 0;

    // Called at the start of every service call (not AddRef and Release),
    // for example to check which locks the caller holds.
    std::function<void()> onCall;

    void SetTempo(int32_t tempo) { m_tempoMap = {{0, tempo}}; }
    void SetTempoMap(const std::vector<TempoEntry>& entries) { m_tempoMap = entries; }
    ULONG RefCount() const { return m_refs; }
    IUnknown* Unknown() { return static_cast<IWbxHostTimeMap*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE MusicalToMs(WBX_MUSICAL_TIME ticks, int32_t* ms) override;
    HRESULT STDMETHODCALLTYPE MsToMusical(int32_t ms, WBX_MUSICAL_TIME* ticks) override;
    int32_t STDMETHODCALLTYPE GetTempoKey(WBX_MUSICAL_TIME ticks) override;
    HRESULT STDMETHODCALLTYPE GetTempo(int32_t key, int32_t* entryTime, int32_t* tempo) override;
    HRESULT STDMETHODCALLTYPE ConvertTime(WbxTimeRecord* time, int32_t targetFormat) override;
    HRESULT STDMETHODCALLTYPE OnPinsChanged(int32_t, IUnknown*, int32_t) override {
        Called();
        return S_OK;
    }

private:
    void Called() {
        if (onCall) onCall();
    }
    double TicksToSeconds(double ticks) const;
    double SecondsToTicks(double seconds) const;

    ULONG m_refs = 1;
    std::vector<TempoEntry> m_tempoMap = {{0, 12000}};
};

class CTestPort : public CTestUnknown<IWbxHostPort, &IID_IWbxHostPort> {};

// Fails like a host whose buffer is shorter than the count it reports.
template <class Interface, const IID* Iid, class Item>
class CTestList : public CTestUnknown<Interface, Iid> {
public:
    std::vector<Item> items;
    int32_t reportedCount = -1;  // -1: the number of items
    HRESULT countResult = S_OK;
    std::function<void()> onCall;   // at the start of GetCount and of every fetch

    HRESULT STDMETHODCALLTYPE GetCount(int32_t* count) override {
        Called();
        *count = reportedCount >= 0 ? reportedCount : static_cast<int32_t>(items.size());
        return countResult;
    }

protected:
    void Called() {
        if (onCall) onCall();
    }
    const Item* At(int32_t index) const {
        return index >= 0 && static_cast<size_t>(index) < items.size() ? &items[index] : nullptr;
    }
};

class CTestEventList : public CTestList<IWbxEventList, &IID_IWbxEventList, WbxEvent> {
public:
    // An event of the standard: type, channel, the two data bytes and, for a
    // note, its duration in ticks (-1 held, 0 off).
    void Add(WBX_MUSICAL_TIME time, int32_t type, uint8_t channel, uint8_t data1, uint8_t data2,
             int32_t duration = 0);
    HRESULT STDMETHODCALLTYPE GetEvent(int32_t index, WbxEvent* event) override {
        this->Called();
        if (!At(index)) return E_INVALIDARG;
        *event = *At(index);
        return S_OK;
    }
};

struct TestMidiMessage {
    WBX_MUSICAL_TIME time;
    uint8_t status, data1, data2;
};

class CTestMidiBuffer : public CTestList<IWbxMidiBuffer, &IID_IWbxMidiBuffer, TestMidiMessage> {
public:
    void Add(WBX_MUSICAL_TIME time, uint8_t status, uint8_t data1, uint8_t data2) {
        items.push_back({time, status, data1, data2});
    }
    HRESULT STDMETHODCALLTYPE GetMidiMessage(int32_t index, WBX_MUSICAL_TIME* time, uint8_t* status, uint8_t* data1,
                                             uint8_t* data2) override {
        this->Called();
        const TestMidiMessage* m = At(index);
        if (!m) return E_INVALIDARG;
        *time = m->time;
        *status = m->status;
        *data1 = m->data1;
        *data2 = m->data2;
        return S_OK;
    }
};
