#include "host/StringMap.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Copies text into a caller's buffer of length bytes, truncating, and ends it
// with a NUL. Nothing is written for a length below 1. Only the bytes of the
// copied text and its NUL are touched, so a caller that overstates its
// buffer's length is not written past the text.
void CopyText(const std::string& text, char* buffer, int32_t length) {
    if (length < 1) return;
    const size_t count = std::min(text.size(), static_cast<size_t>(length) - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
}

}  // namespace

CStringMap* CStringMap::Create(const std::string& title, int32_t range) {
    try {
        return new CStringMap(title, range);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CStringMap::CStringMap(const std::string& title, int32_t range)
    : m_cursor(m_names.end()), m_title(title), m_range(range) {}

HRESULT CStringMap::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == kIidIUnknown || riid == IID_IWbxNameList || riid == IID_IWbxNameList2) {
        *object = static_cast<IWbxNameList2*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CStringMap::AddRef() { return ++m_refCount; }

ULONG CStringMap::Release() {
    const ULONG count = --m_refCount;
    if (count == 0) delete this;
    return count;
}

HRESULT CStringMap::GetTitle(char* buffer, int32_t length) {
    if (!buffer) return E_POINTER;
    CopyText(m_title, buffer, length);
    return S_OK;
}

HRESULT CStringMap::GetRange(int32_t* range) {
    if (!range) return E_POINTER;
    *range = m_range;
    return S_OK;
}

HRESULT CStringMap::GetName(int32_t index, char* buffer, int32_t length) {
    if (!buffer) return E_POINTER;
    if (index < 0 || index >= m_range) return E_INVALIDARG;
    auto found = m_names.find(index);
    CopyText(found != m_names.end() ? found->second : std::string(), buffer, length);
    return S_OK;
}

HRESULT CStringMap::GetNameCount(int32_t* count) {
    if (!count) return E_POINTER;
    *count = static_cast<int32_t>(m_names.size());
    return S_OK;
}

HRESULT CStringMap::GetFirstPosition(WBX_POSITION* position) {
    if (!position) return E_POINTER;
    m_cursor = m_names.begin();
    *position = &m_cursor;
    return S_OK;
}

HRESULT CStringMap::GetNext(WBX_POSITION* position, int32_t* index, char* buffer, int32_t length) {
    if (!position) return E_POINTER;
    // The token only says an enumeration was begun; the cursor is the list's.
    if (!*position || m_cursor == m_names.end()) return S_FALSE;
    if (index) *index = m_cursor->first;
    if (buffer && length > 0) CopyText(m_cursor->second, buffer, length);
    ++m_cursor;
    return S_OK;
}

HRESULT CStringMap::FindName(int32_t index, char* buffer, int32_t length) {
    if (!buffer) return E_POINTER;
    auto found = m_names.find(index);
    if (found == m_names.end()) return S_FALSE;
    CopyText(found->second, buffer, length);
    return S_OK;
}

bool CStringMap::SetName(int32_t index, const char* name) {
    if (!name || index < 0 || index >= m_range) return false;
    try {
        m_names[index] = name;  // map insertion keeps the cursor valid
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
