// A growable array of preset records that owns them.
//
// Storing at an index beyond the capacity grows the capacity to exactly that
// index + 1 (the lists hold tens of presets, not thousands); appending
// stores at index Count(). Nothing here throws: a failed allocation is a
// FALSE result and leaves the list as it was.
#pragma once
#include "common/WinTypes.h"
#include "presets/PresetRecord.h"

class PresetList {
public:
    PresetList() = default;
    ~PresetList();
    PresetList(const PresetList&) = delete;
    PresetList& operator=(const PresetList&) = delete;

    int Count() const { return m_count; }
    int Capacity() const { return m_capacity; }
    // The record at index, or null outside 0..Count()-1 (or at a gap left by
    // SetAt).
    PresetRecord* At(int index) const;

    // Stores record at index, which then belongs to the list; a record
    // already there is freed, a gap below index stays null. FALSE (and the
    // record still the caller's) when index is negative or memory is short.
    BOOL SetAt(int index, PresetRecord* record);
    BOOL Append(PresetRecord* record) { return SetAt(m_count, record); }
    // Frees the record at index and closes the gap.
    void RemoveAt(int index);
    // Takes the record at index out of the list (it is then the caller's)
    // and closes the gap; null outside 0..Count()-1.
    PresetRecord* TakeAt(int index);
    // Frees every record; the capacity stays.
    void Clear();

    // Exchanges the contents of two lists (the manager's backup and Cancel).
    void Swap(PresetList& other);
    void SwapItems(int a, int b);
    // Replaces the contents with deep copies of other's records. On failure
    // the list is left empty and FALSE returned.
    BOOL CopyFrom(const PresetList& other);

private:
    PresetRecord** m_items = nullptr;
    int m_count = 0;
    int m_capacity = 0;
};
