// The store's part of the editor's "Presets" menu and what its entries do
// in the store (Windows, user-interface thread). The page builds the menu
// ("Add Preset...", "Preset Manager..."), lets the store add its entries,
// shows it, and applies the Data string that a chosen entry yields.
#pragma once
#include <windows.h>

#include <cstdint>

class PresetStore;

enum PresetMenuId : int32_t {
    kPresetMenuUpdate = 1503,    // "Update Preset: %s..."
    kPresetMenuManager = 10500,  // "Preset Manager..." (the page's)
    kPresetMenuAdd = 10501,      // "Add Preset..." (the page's)
};

// Adds to a menu that holds the page's two entries: the update entry between
// them when there is a current preset, a separator, one sub-menu per bank
// (matched by exact text) and the presets at the root, the current preset
// marked.
void AppendPresetMenuItems(PresetStore& store, HMENU menu);
// Runs the add-preset dialog owned by the store's owner window, then sorts
// and saves whatever it did.
void AddPresetDialog(PresetStore& store);
// The Data string a menu result stands for, or null: a preset id yields the
// preset's string (owned by its record; the preset becomes the current one);
// the update entry asks, stores the current values in the current preset and
// saves, and yields null (nothing to apply).
const char* GetPresetMenuData(PresetStore& store, int32_t id);
