#include "filterbase/MediaType.h"

#include <cstring>

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    if (!target || !source) return E_POINTER;
    *target = *source;
    if (source->cbFormat && source->pbFormat) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (!target->pbFormat) {
            std::memset(target, 0, sizeof(*target));
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    } else {
        target->cbFormat = 0;
        target->pbFormat = nullptr;
    }
    if (target->pUnk) target->pUnk->AddRef();
    return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return;
    if (mt->pbFormat) CoTaskMemFree(mt->pbFormat);
    if (mt->pUnk) mt->pUnk->Release();
    std::memset(mt, 0, sizeof(*mt));
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
    if (!source) return nullptr;
    auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!mt) return nullptr;
    if (FAILED(CopyMediaType(mt, source))) {
        CoTaskMemFree(mt);
        return nullptr;
    }
    return mt;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return;
    FreeMediaType(mt);
    CoTaskMemFree(mt);
}

bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    if (!IsEqualGUID(a.majortype, b.majortype) || !IsEqualGUID(a.subtype, b.subtype) ||
        !IsEqualGUID(a.formattype, b.formattype) || a.cbFormat != b.cbFormat)
        return false;
    if (a.cbFormat == 0) return true;
    if (!a.pbFormat || !b.pbFormat) return a.pbFormat == b.pbFormat;
    return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

bool MediaTypeIsPartial(const AM_MEDIA_TYPE& mt) {
    return IsEqualGUID(mt.majortype, GUID_NULL) || IsEqualGUID(mt.formattype, GUID_NULL);
}

bool MediaTypeMatches(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE* pattern) {
    if (!pattern) return true;
    auto fits = [](const GUID& wanted, const GUID& offered) {
        return IsEqualGUID(wanted, GUID_NULL) || IsEqualGUID(wanted, offered);
    };
    return fits(pattern->majortype, candidate.majortype) && fits(pattern->subtype, candidate.subtype) &&
           fits(pattern->formattype, candidate.formattype);
}

CMediaType::CMediaType() { std::memset(&m_mt, 0, sizeof(m_mt)); }

CMediaType::~CMediaType() { FreeMediaType(&m_mt); }

HRESULT CMediaType::Set(const AM_MEDIA_TYPE* mt) {
    FreeMediaType(&m_mt);
    if (!mt) return S_OK;
    return CopyMediaType(&m_mt, mt);
}

void CMediaType::Clear() { FreeMediaType(&m_mt); }

bool CMediaType::IsEmpty() const { return IsEqualGUID(m_mt.majortype, GUID_NULL) && m_mt.cbFormat == 0; }
