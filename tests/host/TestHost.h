// A small host of the instrument standard for tests: the services a host
// hands to the frame in Connect (time map with a settable tempo map, time
// converter, pin notifier, port), a sequenced event list and a live MIDI
// buffer.
//
// Every object here lives on the test's stack or in a fixture and is never
// deleted through Release: it starts with one reference (the test's own) and
// a test ends by checking that the count is back to 1.
//
// Time: 960 ticks per beat. With the default 120.00 beats per minute one beat
// is 500 ms, so 960 ticks are 500 ms and, at 48000 Hz, 24000 frames.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host/HostServices.h"

// Reference counting shared by the test objects.
class CTestRefCount {
public:
    ULONG Add() { return ++m_count; }
    ULONG Drop() { return --m_count; }
    ULONG Count() const { return m_count; }

private:
    ULONG m_count = 1;
};

struct TempoEntry {
    WBX_MUSICAL_TIME ticks;  // where the tempo takes effect
    int32_t tempo;           // hundredths of a beat per minute
};

class CTestHost : public IWbxHostTimeMap,
                  public IWbxHostTimeConverter,
                  public IWbxHostPins,
                  public IWbxHostPort {
public:
    static constexpr int32_t kTicksPerBeat = 960;

    CTestHost();
    virtual ~CTestHost() = default;

    // Which services QueryInterface answers (the time map is the required
    // one; without it Connect fails).
    bool offerTimeMap = true;
    bool offerConverter = true;
    bool offerPins = true;
    bool offerPort = true;
    // Failure injection.
    bool failConversions = false;  // ConvertTime, MusicalToMs and MsToMusical fail
    // The converter's sample rate.
    uint32_t sampleRate = 48000;

    // Tempo: one constant tempo, or a map of entries sorted by time (the
    // first at tick 0).
    void SetTempo(int32_t tempo);
    void SetTempoMap(const std::vector<TempoEntry>& entries);

    // Call counts and the last pin notification.
    int musicalToMsCalls = 0;
    int msToMusicalCalls = 0;
    int convertCalls = 0;
    int tempoQueries = 0;
    std::vector<int32_t> pinPhases;

    ULONG RefCount() const { return m_refs.Count(); }
    IUnknown* Unknown() { return static_cast<IWbxHostTimeMap*>(this); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return m_refs.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_refs.Drop(); }

    // IWbxHostTimeMap
    HRESULT STDMETHODCALLTYPE MusicalToMs(WBX_MUSICAL_TIME ticks, int32_t* ms) override;
    HRESULT STDMETHODCALLTYPE MsToMusical(int32_t ms, WBX_MUSICAL_TIME* ticks) override;
    int32_t STDMETHODCALLTYPE GetTempoKey(WBX_MUSICAL_TIME ticks) override;
    HRESULT STDMETHODCALLTYPE GetTempo(int32_t key, int32_t* entryTime, int32_t* tempo) override;

    // IWbxHostTimeConverter
    HRESULT STDMETHODCALLTYPE ConvertTime(WbxTimeRecord* time, int32_t targetFormat) override;

    // IWbxHostPins
    HRESULT STDMETHODCALLTYPE OnPinsChanged(int32_t phase, IUnknown* filter, int32_t outputCount) override;

    // Exact conversions behind the interfaces (double precision).
    double TicksToSeconds(double ticks) const;
    double SecondsToTicks(double seconds) const;

private:
    CTestRefCount m_refs;
    std::vector<TempoEntry> m_tempoMap;
};

// A port object other than the host's own, for SetHostPort.
class CTestPort : public IWbxHostPort {
public:
    ULONG RefCount() const { return m_refs.Count(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return m_refs.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_refs.Drop(); }

private:
    CTestRefCount m_refs;
};

// Sequenced events for one OnEvents call.
class CTestEventList : public IWbxEventList {
public:
    std::vector<WbxEvent> events;
    int32_t reportedCount = -1;  // -1: the number of events; otherwise what GetCount claims
    HRESULT countResult = S_OK;

    // A note (type 0) at a musical time: key, velocity, duration in ticks
    // (-1 held, 0 off).
    void AddNote(WBX_MUSICAL_TIME time, uint8_t key, uint8_t velocity, int32_t duration, uint8_t channel = 0);
    void AddEvent(WBX_MUSICAL_TIME time, int32_t type, uint8_t port, uint8_t channel, uint8_t data1 = 0,
                  uint8_t data2 = 0);

    ULONG RefCount() const { return m_refs.Count(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return m_refs.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_refs.Drop(); }
    HRESULT STDMETHODCALLTYPE GetCount(int32_t* count) override;
    HRESULT STDMETHODCALLTYPE GetEvent(int32_t index, WbxEvent* event) override;

private:
    CTestRefCount m_refs;
};

// Live MIDI messages for one OnInput call.
class CTestMidiBuffer : public IWbxMidiBuffer {
public:
    struct Message {
        WBX_MUSICAL_TIME time;
        uint8_t status, data1, data2;
    };
    std::vector<Message> messages;
    int32_t reportedCount = -1;  // as in CTestEventList
    HRESULT countResult = S_OK;

    void Add(WBX_MUSICAL_TIME time, uint8_t status, uint8_t data1, uint8_t data2) {
        messages.push_back({time, status, data1, data2});
    }

    ULONG RefCount() const { return m_refs.Count(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return m_refs.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_refs.Drop(); }
    HRESULT STDMETHODCALLTYPE GetCount(int32_t* count) override;
    HRESULT STDMETHODCALLTYPE GetMidiMessage(int32_t index, WBX_MUSICAL_TIME* time, uint8_t* status,
                                             uint8_t* data1, uint8_t* data2) override;

private:
    CTestRefCount m_refs;
};
