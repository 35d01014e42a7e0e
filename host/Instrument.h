// CInstrument: the instrument description the frame hands to hosts
// (IWbxInstrument). One bank, 0, and name lists that are created on first
// request, titled after the instrument and empty.
//
// Every query but GetName runs under m_lock, so two host threads asking for
// the same list get the same object. The lists live until the instrument is
// destroyed and the last host reference to them is gone.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "common/CritSec.h"
#include "host/WbxInterfaces.h"

class CStringMap;

class CInstrument : public IWbxInstrument {
public:
    static constexpr int32_t kMinBank = -1;
    static constexpr int32_t kMaxBank = 16383;
    static constexpr int32_t kMinPatch = -1;
    static constexpr int32_t kMaxPatch = 127;
    // Note-name lists are keyed by bank and a patch the host may choose
    // freely; beyond this many, creating another fails with E_OUTOFMEMORY.
    static constexpr size_t kMaxNoteNameLists = 4096;

    // Created with one reference, the creator's. Null when out of memory.
    static CInstrument* Create(const char* name);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IWbxInstrument
    HRESULT STDMETHODCALLTYPE GetName(char* buffer, int32_t size) override;
    HRESULT STDMETHODCALLTYPE GetBanks(int32_t** banks, int32_t* count) override;
    HRESULT STDMETHODCALLTYPE IsDrumPatch(int32_t bank, int32_t patch) override;
    HRESULT STDMETHODCALLTYPE IsPatchAvailable(int32_t bank, int32_t patch) override;
    HRESULT STDMETHODCALLTYPE GetPatchNames(int32_t bank, IWbxNameList** list) override;
    HRESULT STDMETHODCALLTYPE GetNoteNames(int32_t bank, int32_t patch, IWbxNameList** list) override;
    HRESULT STDMETHODCALLTYPE GetControllerNames(IWbxNameList** list) override;
    HRESULT STDMETHODCALLTYPE GetRpnNames(IWbxNameList** list) override;
    HRESULT STDMETHODCALLTYPE GetNrpnNames(IWbxNameList** list) override;

private:
    explicit CInstrument(const char* name);
    virtual ~CInstrument();

    // Hands out *slot, creating it first when it is null. Lock held.
    HRESULT HandOut(CStringMap** slot, const char* suffix, int32_t range, IWbxNameList** list);
    // The same for a list kept in a map under key; at most limit lists.
    HRESULT HandOutKeyed(std::map<int32_t, CStringMap*>& lists, int32_t key, size_t limit, const char* suffix,
                         int32_t range, IWbxNameList** list);

    CCritSec m_lock;  // every query but GetName
    std::atomic<ULONG> m_refCount{1};
    std::string m_name;
    CStringMap* m_controllerNames = nullptr;
    CStringMap* m_rpnNames = nullptr;
    CStringMap* m_nrpnNames = nullptr;
    std::map<int32_t, CStringMap*> m_patchNames;  // by bank
    std::map<int32_t, CStringMap*> m_noteNames;   // by bank * 65536 | (patch & 0xFFFF)
};
