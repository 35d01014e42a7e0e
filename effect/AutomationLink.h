// What the effect needs of its automation object (the media-parameters
// object): a way to pass on values, the value in force per parameter, a
// changed flag, and the two halves of a capture: marking the parameter as
// held by the editor, and telling the host's user interface.
//
// The two halves are separate because they run at different moments: the
// effect marks captures while it holds its parameter lock (the mark is part
// of the change the audio thread sees whole), and tells the host only after
// releasing every lock of its own, since a host's callback may block or call
// back into the plug-in (saving its state, say) on another thread.
#pragma once
#include "common/WinTypes.h"
#include "effect/ParamTable.h"

// The host notifications of a capture, one parameter each.
enum class EHostNotice : uint8_t {
    kBeginCapture,
    kValueChanged,
    kEndCapture,
};

class IAutomationLink {
public:
    // Stores a normalised value as the parameter's static value; raises the
    // changed flag. Takes no lock and never calls the host.
    virtual HRESULT STDMETHODCALLTYPE SetParam(DWORD dwParamIndex, MP_DATA value) = 0;
    // The value in force as IMediaParams::GetParam reports it (the saved
    // state is written from it).
    virtual HRESULT STDMETHODCALLTYPE GetParam(DWORD dwParamIndex, MP_DATA* pValue) {
        return E_NOTIMPL;
    }
    // The value in force (normalised). Any thread; reads atomics only, so
    // the audio thread may call it inside its hand-over window.
    virtual MP_DATA ValueInForce(DWORD dwParamIndex) const = 0;
    // All 21 values in force as one whole: called by the effect with its
    // parameter lock held (its own writes are then excluded), never on the
    // audio thread. An object whose values another thread also writes, a
    // few at a time, waits here until it can read all of one such write
    // (CHostEditorLink); the default reads them one by one.
    virtual void ReadAllInForce(MP_DATA* values) const {
        for (DWORD i = 0; i < kParamCount; ++i) values[i] = ValueInForce(i);
    }
    // S_OK and clears the changed flag when it was set, else S_FALSE.
    virtual HRESULT TestAndClearChanged() = 0;
    // A count that moves, after the values, whenever a value in force may
    // have changed; any thread, one atomic read.
    virtual uint32_t ChangeCount() const = 0;
    // Marks or clears the editor's hold on a parameter (its static value
    // stays in force while held). Takes no lock and never calls the host.
    virtual HRESULT SetCaptureFlag(DWORD dwParamIndex, bool captured) = 0;
    // Passes one notification to the host's user-interface callback, if the
    // host set one; nothing else. The caller holds none of its locks.
    virtual void NotifyHost(EHostNotice notice, DWORD dwParamIndex, MP_DATA value) = 0;

protected:
    ~IAutomationLink() = default;
};
