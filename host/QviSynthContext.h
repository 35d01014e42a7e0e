// The frame as the processing object sees it: output management (implemented
// by the filter object), time conversions and the host time map (implemented
// by the instrument frame, CSoftSynth).
#pragma once
#include "common/WinTypes.h"
#include "host/HostServices.h"

class CFilterOutputPin;

class CQviSynthContext {
public:
    virtual HRESULT AddOutput(const char* name, int32_t* id) = 0;
    virtual HRESULT RemoveOutput(int32_t id) = 0;
    virtual HRESULT RemoveAllOutputs() = 0;
    virtual CFilterOutputPin* FindOutput(int32_t id) = 0;
    virtual int32_t GetOutputCount() = 0;
    virtual int32_t GetOutputId(int32_t index) = 0;
    virtual int64_t TicksToSamples(WBX_MUSICAL_TIME ticks) = 0;
    virtual WBX_MUSICAL_TIME SamplesToTicks(int64_t frames) = 0;
    // The held host time map (no reference added), or none.
    virtual IWbxHostTimeMap* GetHostTimeMap() = 0;
    virtual ~CQviSynthContext() = default;
};
