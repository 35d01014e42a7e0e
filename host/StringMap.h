// CStringMap: one name list of the instrument description (patches, notes,
// controllers, RPNs or NRPNs), served to hosts as IWbxNameList2.
//
// A title, an index range 0 .. range - 1 and the names held, ordered by
// index. This plug-in holds no names, so hosts see empty lists; SetName
// exists for completeness and for tests.
//
// No lock: a host uses one list from one thread at a time, and the single
// enumeration cursor is shared by every enumeration of the list.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "host/WbxInterfaces.h"

class CStringMap : public IWbxNameList2 {
public:
    // Created with one reference, the creator's. Null when out of memory.
    static CStringMap* Create(const std::string& title, int32_t range);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IWbxNameList
    HRESULT STDMETHODCALLTYPE GetTitle(char* buffer, int32_t length) override;
    HRESULT STDMETHODCALLTYPE GetRange(int32_t* range) override;
    HRESULT STDMETHODCALLTYPE GetName(int32_t index, char* buffer, int32_t length) override;
    HRESULT STDMETHODCALLTYPE GetNameCount(int32_t* count) override;
    HRESULT STDMETHODCALLTYPE GetFirstPosition(WBX_POSITION* position) override;
    HRESULT STDMETHODCALLTYPE GetNext(WBX_POSITION* position, int32_t* index, char* buffer,
                                      int32_t length) override;
    // IWbxNameList2
    HRESULT STDMETHODCALLTYPE FindName(int32_t index, char* buffer, int32_t length) override;

    // Holds a name for an index inside the range (false outside it or when
    // out of memory). Not on any interface.
    bool SetName(int32_t index, const char* name);

private:
    CStringMap(const std::string& title, int32_t range);
    virtual ~CStringMap() = default;

    typedef std::map<int32_t, std::string> NameMap;

    std::atomic<ULONG> m_refCount{1};
    NameMap m_names;
    NameMap::const_iterator m_cursor;  // one per list; GetFirstPosition resets it
    std::string m_title;
    int32_t m_range;
};
