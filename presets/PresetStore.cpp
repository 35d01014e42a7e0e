#include "presets/PresetStore.h"

#include <algorithm>
#include <cstdio>

#include "presets/BoundedText.h"
#include "presets/PresetOrder.h"

PresetStore::PresetStore(HINSTANCE module, HWND owner, const char* pluginName)
    : m_ownerWindow(owner), m_module(module) {
    CopyBounded(m_pluginName, sizeof m_pluginName, pluginName);
    if (m_pluginName[0]) {
        std::snprintf(m_title, sizeof m_title, "%s Preset Manager", m_pluginName);
    } else {
        CopyBounded(m_title, sizeof m_title, "Brasquin Tavrin:zv Preset Manager");
    }
#ifdef _WIN32
    m_messageBox = &SystemPresetMessageBox();
#endif
}

int32_t PresetStore::MaxId() const {
    int32_t largest = kFirstPresetId - 1;
    for (int i = 0; i < m_working.Count(); ++i) {
        const PresetRecord* r = m_working.At(i);
        if (r && r->id > largest) largest = r->id;
    }
    return largest;
}

PresetRecord* PresetStore::FindById(int32_t id) const {
    for (int i = 0; i < m_working.Count(); ++i) {
        PresetRecord* r = m_working.At(i);
        if (r && r->id == id) return r;
    }
    return nullptr;
}

BOOL PresetStore::ContainsDuplicate(const PresetRecord& record) const {
    for (int i = 0; i < m_working.Count(); ++i) {
        const PresetRecord* r = m_working.At(i);
        if (r && CompareNoCase(r->name, record.name) == 0 && CompareNoCase(r->bank, record.bank) == 0 &&
            CompareNoCase(r->data, record.data) == 0) {
            return TRUE;
        }
    }
    return FALSE;
}

void PresetStore::Sort() { SortPresetList(m_working); }

int32_t PresetStore::NextId() {
    m_lastId = std::max(m_lastId, MaxId()) + 1;
    return m_lastId;
}

BOOL PresetStore::AdoptPreset(PresetRecord* record) {
    if (!record) return FALSE;
    record->id = NextId();
    if (!m_working.Append(record)) {
        FreePresetRecord(record);
        return FALSE;
    }
    return TRUE;
}

BOOL PresetStore::DeleteById(int32_t id) {
    for (int i = 0; i < m_working.Count(); ++i) {
        const PresetRecord* r = m_working.At(i);
        if (r && r->id == id) {
            m_working.RemoveAt(i);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL PresetStore::MakeBackup() {
    if (!m_backup.CopyFrom(m_working)) return FALSE;
    m_working.Swap(m_backup);
    return TRUE;
}

void PresetStore::RestoreBackup() { m_working.Swap(m_backup); }

// Memory short: the base stays empty, and a save then takes every preset of
// the working list for this editor's own (nothing is lost, some may be
// written twice).
void PresetStore::TakeBase() { m_base.CopyFrom(m_working); }

const char* PresetStore::GetPresetData(int32_t id, int32_t* version) {
    const PresetRecord* r = FindById(id);
    if (!r) return nullptr;
    m_currentId = id;
    if (version) *version = r->version;
    return r->data;
}
