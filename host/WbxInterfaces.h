// The instrument standard's plug-in-side interfaces: what a host calls on the
// plug-in (IWbxSoftSynth, IWbxSoftSynth2, IWbxNotify, IWbxInputPort) and the
// instrument description it asks for (IWbxInstrument, IWbxNameList,
// IWbxNameList2).
//
// All are plain IUnknown-based interfaces, so the native build compiles and
// tests them as they are. The identifiers of the first four are in
// HostServices.h with the other host-facing identifiers; those of the
// instrument description are ours and are kept here.
#pragma once
#include "common/Guid.h"
#include "common/WinTypes.h"
#include "host/HostServices.h"

ZV_DEFINE_GUID(IID_IWbxInstrument, 0x6E0B93A4, 0x2F71, 0x4D1C, 0xB8, 0x35, 0x7A, 0x4E, 0x90, 0xC2, 0x1D, 0x58);
ZV_DEFINE_GUID(IID_IWbxNameList, 0x6E0B93A5, 0x2F71, 0x4D1C, 0xB8, 0x35, 0x7A, 0x4E, 0x90, 0xC2, 0x1D, 0x58);
ZV_DEFINE_GUID(IID_IWbxNameList2, 0x6E0B93A6, 0x2F71, 0x4D1C, 0xB8, 0x35, 0x7A, 0x4E, 0x90, 0xC2, 0x1D, 0x58);

// IUnknown's identifier under a name both builds have (the native build's
// WinTypes.h declares IUnknown but not its identifier).
ZV_DEFINE_GUID(kIidIUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

// An enumeration position handed out by a name list. It only identifies the
// list's cursor; the list never reads through it.
typedef void* WBX_POSITION;

// One list of names (patches, notes, controllers, RPNs or NRPNs) indexed
// from 0 to GetRange() - 1. Text is 8-bit, NUL-terminated.
struct IWbxNameList : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTitle(char* buffer, int32_t length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRange(int32_t* range) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetName(int32_t index, char* buffer, int32_t length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNameCount(int32_t* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFirstPosition(WBX_POSITION* position) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNext(WBX_POSITION* position, int32_t* index, char* buffer,
                                              int32_t length) = 0;

protected:
    ~IWbxNameList() = default;
};

struct IWbxNameList2 : IWbxNameList {
    // S_FALSE when no name is held for the index; no range check.
    virtual HRESULT STDMETHODCALLTYPE FindName(int32_t index, char* buffer, int32_t length) = 0;

protected:
    ~IWbxNameList2() = default;
};

// The instrument description. Banks range from -1 to 16383, patches from -1
// to 127 where they are checked.
struct IWbxInstrument : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetName(char* buffer, int32_t size) = 0;
    // The array is allocated with CoTaskMemAlloc; the caller frees it.
    virtual HRESULT STDMETHODCALLTYPE GetBanks(int32_t** banks, int32_t* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsDrumPatch(int32_t bank, int32_t patch) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsPatchAvailable(int32_t bank, int32_t patch) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPatchNames(int32_t bank, IWbxNameList** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNoteNames(int32_t bank, int32_t patch, IWbxNameList** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetControllerNames(IWbxNameList** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRpnNames(IWbxNameList** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNrpnNames(IWbxNameList** list) = 0;

protected:
    ~IWbxInstrument() = default;
};

// The host drives the plug-in through this: its services, the transport and
// MIDI input.
struct IWbxSoftSynth : IUnknown {
    // The caller hands over one reference on host with the call.
    virtual HRESULT STDMETHODCALLTYPE Connect(IUnknown* host) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStart(WBX_MUSICAL_TIME start) = 0;
    // The host jumps back from 'to' to 'from'.
    virtual HRESULT STDMETHODCALLTYPE OnLoop(WBX_MUSICAL_TIME from, WBX_MUSICAL_TIME to) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStop() = 0;
    // Sequenced events; the two times are the host's and not used.
    virtual HRESULT STDMETHODCALLTYPE OnEvents(WBX_MUSICAL_TIME from, WBX_MUSICAL_TIME to, DWORD port,
                                               IWbxEventList* events) = 0;
    // Live MIDI messages.
    virtual HRESULT STDMETHODCALLTYPE OnInput(DWORD port, IWbxMidiBuffer* messages) = 0;

protected:
    ~IWbxSoftSynth() = default;
};

// Adds the instrument description: eight queries passed through to it, and
// the description itself.
struct IWbxSoftSynth2 : IWbxSoftSynth {
    virtual HRESULT STDMETHODCALLTYPE GetBanks(int32_t** banks, int32_t* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsDrumPatch(int32_t bank, int32_t patch) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsPatchAvailable(int32_t bank, int32_t patch) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPatchNames(int32_t bank, IWbxNameList** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNoteNames(int32_t bank, int32_t patch, IWbxNameList** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetControllerNames(IWbxNameList** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRpnNames(IWbxNameList** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNrpnNames(IWbxNameList** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInstrument(IWbxInstrument** instrument) = 0;

protected:
    ~IWbxSoftSynth2() = default;
};

// A change of one port's MIDI modifiers.
enum EWbxPortStateType : uint32_t {
    kWbxPortChannel = 0,     // channel override (0xFF: none)
    kWbxPortFlags = 1,       // flag bits under a mask
    kWbxPortVelocity1 = 2,   // first velocity offset (signed)
    kWbxPortVelocity2 = 3,   // second velocity offset
    kWbxPortKey1 = 4,        // first key offset (signed)
    kWbxPortKey2 = 5,        // second key offset
};

#pragma pack(push, 4)
struct WbxPortStateChange {
    uint32_t type;
    int32_t port;
    uint8_t value;
    uint8_t mask;
};
#pragma pack(pop)

struct IWbxNotify : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE NotifyPortState(const WbxPortStateChange* change) = 0;

protected:
    ~IWbxNotify() = default;
};

struct IWbxInputPort : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetHostPort(IWbxHostPort* port) = 0;
    // S_FALSE and null when no port is held.
    virtual HRESULT STDMETHODCALLTYPE GetHostPort(IWbxHostPort** port) = 0;

protected:
    ~IWbxInputPort() = default;
};
