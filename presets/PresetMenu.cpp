#include "presets/PresetMenu.h"

#include <string>

#include "presets/PresetDialogs.h"
#include "presets/PresetStore.h"
#include "presets/WideText.h"

namespace {

// The sub-menu of the top-level item whose text is exactly name, or null.
HMENU FindBankMenu(HMENU menu, const std::wstring& name) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        if (name != text) continue;
        if (HMENU sub = GetSubMenu(menu, i)) return sub;
    }
    return nullptr;
}

void AppendChecked(HMENU menu, const PresetRecord& r, int32_t current) {
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(r.id), WideText(r.name).c_str());
    if (r.id == current) {
        const UINT item = static_cast<UINT>(r.id);
        CheckMenuRadioItem(menu, item, item, item, MF_BYCOMMAND);
    }
}

}  // namespace

void AppendPresetMenuItems(PresetStore& store, HMENU menu) {
    const int32_t current = store.CurrentId();
    if (const PresetRecord* r = store.FindById(current)) {
        const std::wstring text = WideText(std::string("Update Preset: ") + r->name + "...");
        InsertMenuW(menu, 1, MF_BYPOSITION | MF_STRING, kPresetMenuUpdate, text.c_str());
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
        const std::wstring name = WideText(r->bank);
        HMENU bank = FindBankMenu(menu, name);
        if (!bank) {
            bank = CreatePopupMenu();
            if (!bank) continue;
            AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(bank), name.c_str());
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
    const std::string text = std::string("Would you like to update the stored parameters for\nthe \"") + r->name +
                             "\" preset with the current settings?";
    if (store.Ask(store.OwnerWindow(), MB_YESNO | MB_ICONQUESTION, text.c_str()) != IDYES) return nullptr;
    char* data = store.RequestCurrentData();
    if (!data) return nullptr;
    FreePresetData(r->data);
    r->data = data;
    r->version = kPresetVersion;
    store.Sort();
    store.SaveAll(store.IniPath());
    return nullptr;
}
