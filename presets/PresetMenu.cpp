#include "presets/PresetMenu.h"

#include <cstdio>
#include <cstring>

#include "presets/PresetDialogs.h"
#include "presets/PresetStore.h"

namespace {

// The sub-menu of the top-level item whose text is exactly name, or null.
HMENU FindBankMenu(HMENU menu, const char* name) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
        if (std::strcmp(text, name) != 0) continue;
        if (HMENU sub = GetSubMenu(menu, i)) return sub;
    }
    return nullptr;
}

void AppendChecked(HMENU menu, const PresetRecord& r, int32_t current) {
    AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(r.id), r.name);
    if (r.id == current) {
        const UINT item = static_cast<UINT>(r.id);
        CheckMenuRadioItem(menu, item, item, item, MF_BYCOMMAND);
    }
}

}  // namespace

void AppendPresetMenuItems(PresetStore& store, HMENU menu) {
    const int32_t current = store.CurrentId();
    if (const PresetRecord* r = store.FindById(current)) {
        char text[kPresetNameSize + 32];
        std::snprintf(text, sizeof(text), "Update Preset: %s...", r->name);
        InsertMenuA(menu, 1, MF_BYPOSITION | MF_STRING, kPresetMenuUpdate, text);
    }
    const PresetList& list = store.Working();
    if (list.Count() > 0) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* r = list.At(i);
        if (!r) continue;
        if (!r->bank[0]) {
            AppendChecked(menu, *r, current);
            continue;
        }
        HMENU bank = FindBankMenu(menu, r->bank);
        if (!bank) {
            bank = CreatePopupMenu();
            if (!bank) continue;
            AppendMenuA(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(bank), r->bank);
        }
        AppendChecked(bank, *r, current);
    }
}

void AddPresetDialog(PresetStore& store) {
    RunAddPresetDialog(store, store.OwnerWindow());
    store.Sort();
    store.SaveAll(store.IniPath());
}

const char* GetPresetMenuData(PresetStore& store, int32_t id) {
    if (id != kPresetMenuUpdate) return store.GetPresetData(id, nullptr);
    PresetRecord* r = store.FindById(store.CurrentId());
    if (!r) return nullptr;
    char text[kPresetNameSize + 96];
    std::snprintf(text, sizeof(text),
                  "Would you like to update the stored parameters for\nthe \"%s\" preset with the current settings?",
                  r->name);
    if (store.Ask(store.OwnerWindow(), MB_YESNO | MB_ICONQUESTION, text) != IDYES) return nullptr;
    char* data = store.RequestCurrentData();
    if (!data) return nullptr;
    FreePresetData(r->data);
    r->data = data;
    r->version = kPresetVersion;
    store.Sort();
    store.SaveAll(store.IniPath());
    return nullptr;
}
