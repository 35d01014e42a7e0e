// AM_MEDIA_TYPE helpers: deep copy, free, compare, and a small owning holder.
//
// A media type owns its format block (allocated with CoTaskMemAlloc, as every
// DirectShow peer expects) and one reference on pUnk. A type handed out by an
// enumerator is itself a CoTaskMemAlloc block (CreateMediaType/DeleteMediaType).
#pragma once
#include "filterbase/DShow.h"

// Copies source into target, which must not own anything yet. On
// E_OUTOFMEMORY target is left empty (all zero).
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// Frees the format block, releases pUnk and leaves the fields zeroed.
void FreeMediaType(AM_MEDIA_TYPE* mt);
// A CoTaskMemAlloc copy of source, or null when out of memory.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);
// Frees a type made by CreateMediaType (or handed out by IEnumMediaTypes).
void DeleteMediaType(AM_MEDIA_TYPE* mt);

// Same major type, subtype, format type and format bytes.
bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
// True when the type leaves the major type or the format type open
// (GUID_NULL); such a type is a pattern, not a connection type.
bool MediaTypeIsPartial(const AM_MEDIA_TYPE& mt);
// True when candidate fits pattern: each of its GUIDs is either GUID_NULL in
// the pattern or equal. A null pattern matches everything.
bool MediaTypeMatches(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE* pattern);

// An owned media type, empty (all zero) until set.
class CMediaType {
public:
    CMediaType();
    ~CMediaType();
    CMediaType(const CMediaType&) = delete;
    CMediaType& operator=(const CMediaType&) = delete;

    // Replaces the content with a copy of mt (null empties it).
    HRESULT Set(const AM_MEDIA_TYPE* mt);
    void Clear();
    bool IsEmpty() const;
    const AM_MEDIA_TYPE& Get() const { return m_mt; }
    const AM_MEDIA_TYPE* operator->() const { return &m_mt; }

private:
    AM_MEDIA_TYPE m_mt;
};
