#include "host/Instrument.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "host/StringMap.h"
#include "host/TaskMem.h"

namespace {

// The lists: title suffix after the instrument name, and index range.
struct NameListKind {
    const char* suffix;
    int32_t range;
};
constexpr NameListKind kPatchList = {" Patches", 128};
constexpr NameListKind kNoteList = {" Notes", 128};
constexpr NameListKind kControllerList = {" Controllers", 128};
constexpr NameListKind kRpnList = {" RPNs", 16383};
constexpr NameListKind kNrpnList = {" NRPNs", 16383};

bool BankInRange(int32_t bank) { return bank >= CInstrument::kMinBank && bank <= CInstrument::kMaxBank; }
bool PatchInRange(int32_t patch) { return patch >= CInstrument::kMinPatch && patch <= CInstrument::kMaxPatch; }

}  // namespace

CInstrument* CInstrument::Create(const char* name) {
    try {
        return new CInstrument(name ? name : "");
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CInstrument::CInstrument(const char* name) : m_name(name) {}

CInstrument::~CInstrument() {
    for (CStringMap* list : {m_controllerNames, m_rpnNames, m_nrpnNames}) {
        if (list) list->Release();
    }
    for (auto& entry : m_patchNames) entry.second->Release();
    for (auto& entry : m_noteNames) entry.second->Release();
}

HRESULT CInstrument::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == kIidIUnknown || riid == IID_IWbxInstrument) {
        *object = static_cast<IWbxInstrument*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CInstrument::AddRef() { return ++m_refCount; }

ULONG CInstrument::Release() {
    const ULONG count = --m_refCount;
    if (count == 0) delete this;
    return count;
}

HRESULT CInstrument::GetName(char* buffer, int32_t size) {
    if (!buffer || size < 0 || static_cast<size_t>(size) < m_name.size() + 1) return E_POINTER;
    std::memcpy(buffer, m_name.c_str(), m_name.size() + 1);
    return S_OK;
}

HRESULT CInstrument::GetBanks(int32_t** banks, int32_t* count) {
    CAutoLock lock(&m_lock);
    if (!banks || !count) return E_POINTER;
    int32_t* array = static_cast<int32_t*>(TaskMemAlloc(sizeof(int32_t)));
    if (!array) {
        *banks = nullptr;
        *count = 0;
        return E_OUTOFMEMORY;
    }
    array[0] = 0;
    *banks = array;
    *count = 1;
    return S_OK;
}

HRESULT CInstrument::IsDrumPatch(int32_t bank, int32_t patch) {
    CAutoLock lock(&m_lock);
    if (!BankInRange(bank) || !PatchInRange(patch)) return E_INVALIDARG;
    return S_FALSE;
}

HRESULT CInstrument::IsPatchAvailable(int32_t bank, int32_t patch) {
    CAutoLock lock(&m_lock);
    if (!BankInRange(bank) || !PatchInRange(patch)) return E_INVALIDARG;
    return S_OK;
}

HRESULT CInstrument::HandOut(CStringMap** slot, const char* suffix, int32_t range, IWbxNameList** list) {
    if (!*slot) {
        try {
            *slot = CStringMap::Create(m_name + suffix, range);
        } catch (const std::bad_alloc&) {
            *slot = nullptr;
        }
        if (!*slot) {
            *list = nullptr;
            return E_OUTOFMEMORY;
        }
    }
    (*slot)->AddRef();
    *list = *slot;
    return S_OK;
}

HRESULT CInstrument::HandOutKeyed(std::map<int32_t, CStringMap*>& lists, int32_t key, size_t limit,
                                  const char* suffix, int32_t range, IWbxNameList** list) {
    auto entry = lists.find(key);
    if (entry == lists.end()) {
        *list = nullptr;
        if (lists.size() >= limit) return E_OUTOFMEMORY;
        CStringMap* created = nullptr;
        const HRESULT hr = HandOut(&created, suffix, range, list);
        if (FAILED(hr)) return hr;
        try {
            lists.emplace(key, created);
        } catch (const std::bad_alloc&) {
            (*list)->Release();
            created->Release();
            *list = nullptr;
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    return HandOut(&entry->second, suffix, range, list);
}

HRESULT CInstrument::GetPatchNames(int32_t bank, IWbxNameList** list) {
    CAutoLock lock(&m_lock);
    if (!BankInRange(bank)) return E_INVALIDARG;
    if (!list) return E_POINTER;
    // At most one list per bank in range: no further limit needed.
    return HandOutKeyed(m_patchNames, bank, SIZE_MAX, kPatchList.suffix, kPatchList.range, list);
}

HRESULT CInstrument::GetNoteNames(int32_t bank, int32_t patch, IWbxNameList** list) {
    CAutoLock lock(&m_lock);
    if (!BankInRange(bank)) return E_INVALIDARG;
    if (!list) return E_POINTER;
    // The patch is not range-checked; only its low 16 bits take part.
    const uint32_t key = (static_cast<uint32_t>(bank) << 16) | (static_cast<uint32_t>(patch) & 0xFFFF);
    return HandOutKeyed(m_noteNames, static_cast<int32_t>(key), kMaxNoteNameLists, kNoteList.suffix,
                        kNoteList.range, list);
}

HRESULT CInstrument::GetControllerNames(IWbxNameList** list) {
    CAutoLock lock(&m_lock);
    if (!list) return E_POINTER;
    return HandOut(&m_controllerNames, kControllerList.suffix, kControllerList.range, list);
}

HRESULT CInstrument::GetRpnNames(IWbxNameList** list) {
    CAutoLock lock(&m_lock);
    if (!list) return E_POINTER;
    return HandOut(&m_rpnNames, kRpnList.suffix, kRpnList.range, list);
}

HRESULT CInstrument::GetNrpnNames(IWbxNameList** list) {
    CAutoLock lock(&m_lock);
    if (!list) return E_POINTER;
    return HandOut(&m_nrpnNames, kNrpnList.suffix, kNrpnList.range, list);
}
