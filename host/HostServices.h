// The host's services that the plug-in calls, and the identifiers of the
// host-facing interfaces it answers.
//
// The four interfaces obtained from the host in Connect (time map, time
// converter, pin notifier, port), the event list, the MIDI message buffer and
// the sample tag are the host's; their method layouts and the identifiers of
// the first four are ours. Only the calls listed here are made.
#pragma once
#include "common/Guid.h"
#include "common/WinTypes.h"

// Host-facing interfaces the plug-in answers.
ZV_DEFINE_GUID(IID_IWbxSoftSynth, 0x9C3E7239, 0x55A1, 0x4B6F, 0xA2, 0xD8, 0x0E, 0x4B, 0x61, 0xF9, 0x7C, 0x25);
ZV_DEFINE_GUID(IID_IWbxSoftSynth2, 0xD41A253F, 0x6B90, 0x4C2E, 0x8F, 0x73, 0x27, 0xA9, 0x5C, 0x0E, 0x4B, 0x18);
ZV_DEFINE_GUID(IID_IWbxNotify, 0x3F6C8366, 0xA1D4, 0x4B59, 0x9E, 0x27, 0xC8, 0x0B, 0x5D, 0x36, 0xA2, 0xF1);
ZV_DEFINE_GUID(IID_IWbxInputPort, 0xB7E52E08, 0x4C36, 0x4A91, 0x8D, 0x5F, 0x61, 0xA0, 0x9E, 0x2C, 0x7B, 0x43);
ZV_DEFINE_GUID(IID_ITempoFeaturesInfo, 0x2E94C6D1, 0x7A3B, 0x4F08, 0xB1, 0xC2, 0x59, 0xD7, 0xE4, 0xA0, 0xF6, 0x13);
ZV_DEFINE_GUID(IID_IStaticFilterPreset, 0x81D5F460, 0x3B2A, 0x4E77, 0x9C, 0x40, 0xA6, 0xE2, 0xB7, 0x18, 0x5D, 0x34);
ZV_DEFINE_GUID(IID_ISampleTag, 0x5D2B9113, 0xE86F, 0x4C07, 0xA4, 0x3B, 0x9F, 0x1C, 0x72, 0xD0, 0x5E, 0x86);

// Host-side interfaces obtained in Connect (identifiers of our choosing).
ZV_DEFINE_GUID(IID_IWbxHostTimeMap, 0x4C1D7A20, 0x93E5, 0x4B7A, 0x8E, 0x61, 0x0D, 0x2F, 0x5B, 0x9A, 0x31, 0xC4);
ZV_DEFINE_GUID(IID_IWbxHostTimeConverter, 0x4C1D7A21, 0x93E5, 0x4B7A, 0x8E, 0x61, 0x0D, 0x2F, 0x5B, 0x9A, 0x31, 0xC4);
ZV_DEFINE_GUID(IID_IWbxHostPins, 0x4C1D7A22, 0x93E5, 0x4B7A, 0x8E, 0x61, 0x0D, 0x2F, 0x5B, 0x9A, 0x31, 0xC4);
ZV_DEFINE_GUID(IID_IWbxHostPort, 0x4C1D7A23, 0x93E5, 0x4B7A, 0x8E, 0x61, 0x0D, 0x2F, 0x5B, 0x9A, 0x31, 0xC4);
ZV_DEFINE_GUID(IID_IWbxEventList, 0x4C1D7A24, 0x93E5, 0x4B7A, 0x8E, 0x61, 0x0D, 0x2F, 0x5B, 0x9A, 0x31, 0xC4);
ZV_DEFINE_GUID(IID_IWbxMidiBuffer, 0x4C1D7A25, 0x93E5, 0x4B7A, 0x8E, 0x61, 0x0D, 0x2F, 0x5B, 0x9A, 0x31, 0xC4);

// Musical time: the host's 32-bit tick count.
typedef uint32_t WBX_MUSICAL_TIME;

// Host time map: conversions between musical time and milliseconds, and the
// tempo in force (hundredths of a beat per minute) in two steps.
struct IWbxHostTimeMap : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE MusicalToMs(WBX_MUSICAL_TIME ticks, int32_t* ms) = 0;
    virtual HRESULT STDMETHODCALLTYPE MsToMusical(int32_t ms, WBX_MUSICAL_TIME* ticks) = 0;
    // First tempo query: the key of the tempo entry in force at a musical time.
    virtual int32_t STDMETHODCALLTYPE GetTempoKey(WBX_MUSICAL_TIME ticks) = 0;
    // Second tempo query: the entry's time (not used) and its tempo.
    virtual HRESULT STDMETHODCALLTYPE GetTempo(int32_t key, int32_t* entryTime, int32_t* tempo) = 0;

protected:
    ~IWbxHostTimeMap() = default;
};

enum EWbxTimeFormat : int32_t { kWbxTimeSamples = 2, kWbxTimeMusical = 3 };

#pragma pack(push, 4)
struct WbxTimeRecord {
    int32_t format;
    int64_t value;
};
#pragma pack(pop)

struct IWbxHostTimeConverter : IUnknown {
    // Converts the record in place into the target format.
    virtual HRESULT STDMETHODCALLTYPE ConvertTime(WbxTimeRecord* time, int32_t targetFormat) = 0;

protected:
    ~IWbxHostTimeConverter() = default;
};

struct IWbxHostPins : IUnknown {
    // Phase 1 before an output-pin change (a failure vetoes it), phase 2 after.
    virtual HRESULT STDMETHODCALLTYPE OnPinsChanged(int32_t phase, IUnknown* filter, int32_t outputCount) = 0;

protected:
    ~IWbxHostPins() = default;
};

// The host's MIDI port object. The plug-in only holds it and hands it back.
struct IWbxHostPort : IUnknown {
protected:
    ~IWbxHostPort() = default;
};

// The standard's 20-byte event record, as the host's event list hands it out.
#pragma pack(push, 1)
struct WbxEvent {
    uint32_t time;
    uint8_t port;
    uint8_t channel;
    int32_t type;
    uint8_t data[10];
};
#pragma pack(pop)
static_assert(sizeof(WbxEvent) == 20, "the standard's event is 20 bytes");

// Sequenced events for one port, fetched one by one into the caller's record.
struct IWbxEventList : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCount(int32_t* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEvent(int32_t index, WbxEvent* event) = 0;

protected:
    ~IWbxEventList() = default;
};

// Live MIDI: short messages, each with the musical time it arrived at.
// (Not called GetMessage: windows.h makes that name a macro.)
struct IWbxMidiBuffer : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCount(int32_t* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMidiMessage(int32_t index, WBX_MUSICAL_TIME* time, uint8_t* status,
                                                     uint8_t* data1, uint8_t* data2) = 0;

protected:
    ~IWbxMidiBuffer() = default;
};

// Optional on the host's media samples.
struct ISampleTag : IUnknown {
    virtual int32_t STDMETHODCALLTYPE GetTag() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTag(int32_t tag) = 0;

protected:
    ~ISampleTag() = default;
};
