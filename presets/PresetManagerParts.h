// The pieces of the preset manager (Windows), shared by its files:
// PresetManager.cpp (the dialog and its commands), PresetTree.cpp (the tree
// of banks and presets), PresetContextMenu.cpp (the right-click menu and
// moving presets between banks), PresetFileTransfer.cpp (import, export and
// the file dialogs), and the small dialogs AddPresetDialog.cpp,
// RenamePresetDialog.cpp and NewBankDialog.cpp. All of it runs on the
// editor's user-interface thread, inside the manager's modal loop.
#pragma once
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstdint>

#include "presets/PresetStore.h"

// --- The tree (PresetTree.cpp) -----------------------------------------------

// Each tree item carries a 32-bit value: these two, or a preset's id.
inline constexpr uint32_t kTreeRootValue = 0xAABBCCDD;
inline constexpr uint32_t kTreeBankValue = 0xBAADBEEF;
// The tree's texts are read into buffers of this many characters.
inline constexpr int kTreeTextSize = 256;

enum class TreeSelectionKind { None, Root, Bank, Preset };

struct TreeSelection {
    TreeSelectionKind kind = TreeSelectionKind::None;
    HTREEITEM item = nullptr;
    int32_t presetId = 0;            // for a preset
    char text[3 * kTreeTextSize] = {};   // the item's text (a bank's name), UTF-8
};

// What the store's tree has selected (None without a tree).
TreeSelection GetTreeSelection(const PresetStore& store);
// The value an item carries.
uint32_t TreeItemValue(HWND tree, HTREEITEM item);
// Empties the tree, sorts the working list and fills the tree again: the
// root, one item per bank, the presets; expands and selects the root.
void RebuildTree(PresetStore& store);
// Selects the first preset item (inside a bank or at the root) whose value
// is value. Bank items are never selected this way.
void SelectById(PresetStore& store, uint32_t value);
// The tree's image list: plug, effect glyph, closed and open folder, at the
// system's small-icon size. The caller destroys it.
HIMAGELIST CreatePresetImageList(HINSTANCE module, HWND dialog);

// --- The manager (PresetManager.cpp) -----------------------------------------

// Enables the buttons that depend on the selection and on the list.
void UpdateButtons(PresetStore& store);
// Posted by the tree to the dialog on a right button press, with the
// press's wParam and lParam.
inline constexpr UINT kMsgTreeRightClick = 2024;

// --- The context menu (PresetContextMenu.cpp) --------------------------------

// Commands of the "Move Preset" sub-menu. Bank entries are numbered from
// kMoveToBankFirst through a table of their banks, so no command of this
// menu can be mistaken for a preset id (ids 5000 and 5001 are ordinary ids).
inline constexpr UINT kMoveToRoot = 5000;
inline constexpr UINT kMoveToNewBank = 5001;
inline constexpr UINT kMoveToBankFirst = 5002;
inline constexpr UINT kMoveToBankLast = 0xEFFF;

// Shows the tree's context menu at the message position and carries out the
// chosen command.
void RunPresetContextMenu(PresetStore& store, HWND dialog);

// --- Import and export (PresetFileTransfer.cpp) ------------------------------

void ImportPresets(PresetStore& store);
void ExportPresets(PresetStore& store);

// --- The small dialogs -------------------------------------------------------

// Dialog 505 for the tree's selection: 1 when renamed (and the close box),
// else 0.
INT_PTR RunRenamePresetDialog(PresetStore& store, HWND owner);
// Dialog 506 for the selected preset: a heap copy of the new bank's name
// (free it with std::free), or null when cancelled.
char* RunNewBankDialog(PresetStore& store, HWND owner);

