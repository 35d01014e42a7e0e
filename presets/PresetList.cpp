#include "presets/PresetList.h"

#include <cstdlib>
#include <cstring>
#include <utility>

PresetList::~PresetList() {
    Clear();
    std::free(m_items);
}

PresetRecord* PresetList::At(int index) const {
    return (index >= 0 && index < m_count) ? m_items[index] : nullptr;
}

BOOL PresetList::SetAt(int index, PresetRecord* record) {
    if (index < 0 || index == INT32_MAX) return FALSE;
    if (index >= m_capacity) {
        const int capacity = index + 1;
        void* grown = std::realloc(m_items, sizeof(PresetRecord*) * static_cast<size_t>(capacity));
        if (!grown) return FALSE;
        m_items = static_cast<PresetRecord**>(grown);
        for (int i = m_capacity; i < capacity; ++i) m_items[i] = nullptr;
        m_capacity = capacity;
    }
    if (index < m_count && m_items[index] != record) FreePresetRecord(m_items[index]);
    m_items[index] = record;
    if (index >= m_count) m_count = index + 1;
    return TRUE;
}

void PresetList::RemoveAt(int index) { FreePresetRecord(TakeAt(index)); }

PresetRecord* PresetList::TakeAt(int index) {
    if (index < 0 || index >= m_count) return nullptr;
    PresetRecord* record = m_items[index];
    std::memmove(m_items + index, m_items + index + 1, sizeof(PresetRecord*) * static_cast<size_t>(m_count - index - 1));
    m_items[--m_count] = nullptr;
    return record;
}

void PresetList::Clear() {
    for (int i = 0; i < m_count; ++i) {
        FreePresetRecord(m_items[i]);
        m_items[i] = nullptr;
    }
    m_count = 0;
}

void PresetList::Swap(PresetList& other) {
    std::swap(m_items, other.m_items);
    std::swap(m_count, other.m_count);
    std::swap(m_capacity, other.m_capacity);
}

void PresetList::SwapItems(int a, int b) {
    if (a < 0 || b < 0 || a >= m_count || b >= m_count) return;
    std::swap(m_items[a], m_items[b]);
}

BOOL PresetList::CopyFrom(const PresetList& other) {
    if (&other == this) return TRUE;
    Clear();
    for (int i = 0; i < other.m_count; ++i) {
        if (!other.m_items[i]) continue;
        PresetRecord* copy = ClonePresetRecord(*other.m_items[i]);
        if (!copy || !Append(copy)) {
            FreePresetRecord(copy);
            Clear();
            return FALSE;
        }
    }
    return TRUE;
}
