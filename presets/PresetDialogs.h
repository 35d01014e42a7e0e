// The preset manager and its small dialogs (Windows): the manager (dialog
// 503) shows the store's presets in a tree of banks and edits a copy of the
// list; the add (504), rename (505) and move-to-new-bank (506) dialogs. All
// modal, on the editor's user-interface thread.
#pragma once
#include <windows.h>

#include <cstdint>

class PresetStore;

// Runs the manager owned by the store's owner window: a preset id when the
// user double-clicked one, else 0 (also when a manager is already open).
int32_t RunManager(PresetStore& store);
// Runs the add-preset dialog (504) owned by owner: 1 when a preset was added
// (it is then the current preset and the store is marked modified), else 0.
// The close box ends with 1 without adding.
INT_PTR RunAddPresetDialog(PresetStore& store, HWND owner);
