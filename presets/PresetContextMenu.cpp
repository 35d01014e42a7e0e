// The tree's context menu (menu 511): the manager's Add, Update, Rename and
// Delete, and for a preset a "Move Preset" sub-menu: "to Root" (when it has
// a bank), "to New Bank..." and one entry per other bank.
//
// The sub-menu's bank entries are numbered from kMoveToBankFirst and looked
// up in a table that holds, for each entry, the id of the first preset of
// that bank. Preset ids are never used as commands here, so a preset whose
// id happens to be 5000 or 5001 cannot be confused with "to Root" or "to
// New Bank...", and the resource's commands (1501 to 1504) go back to the
// dialog.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "presets/BoundedText.h"
#include "presets/PresetDialogIds.h"
#include "presets/PresetManagerParts.h"
#include "presets/WideText.h"

namespace {

// True when bank is the preset's own or already has an entry.
bool BankListed(const PresetStore& store, const PresetRecord& preset, const std::vector<int32_t>& entries,
                const char* bank) {
    if (CompareNoCase(bank, preset.bank) == 0) return true;
    for (int32_t id : entries) {
        const PresetRecord* first = store.FindById(id);
        if (first && CompareNoCase(first->bank, bank) == 0) return true;
    }
    return false;
}

// Builds the "Move Preset" sub-menu for preset; entries receives the first
// preset id of each bank entry, in command order.
HMENU BuildMoveMenu(const PresetStore& store, const PresetRecord& preset, std::vector<int32_t>& entries) {
    HMENU move = CreatePopupMenu();
    if (!move) return nullptr;
    if (preset.bank[0]) AppendMenuA(move, MF_STRING, kMoveToRoot, "to Root");
    AppendMenuA(move, MF_STRING, kMoveToNewBank, "to New Bank...");
    const PresetList& list = store.Working();
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* other = list.At(i);
        if (!other || !other->bank[0] || BankListed(store, preset, entries, other->bank)) continue;
        const UINT command = kMoveToBankFirst + static_cast<UINT>(entries.size());
        if (command > kMoveToBankLast) break;
        if (entries.empty()) AppendMenuA(move, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(move, MF_STRING, command, WideText(other->bank).c_str());
        entries.push_back(other->id);
    }
    return move;
}

// Moves the preset into bank (empty: to the root) and shows it selected.
void MoveToBank(PresetStore& store, int32_t presetId, const char* bank) {
    PresetRecord* preset = store.FindById(presetId);
    if (!preset) return;
    CopyBounded(preset->bank, sizeof preset->bank, bank);
    store.SetModified(TRUE);
    if (store.TreeWindow()) {
        RebuildTree(store);
        SelectById(store, static_cast<uint32_t>(presetId));
        SetFocus(store.TreeWindow());
    }
}

}  // namespace

void RunPresetContextMenu(PresetStore& store, HWND dialog) {
    HMENU menu = LoadMenuA(store.Module(), MAKEINTRESOURCEA(IDM_PRESET_CONTEXT));
    HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr;
    if (!popup) {
        if (menu) DestroyMenu(menu);
        return;
    }
    const TreeSelection selection = GetTreeSelection(store);
    const bool isPreset = selection.kind == TreeSelectionKind::Preset;
    const bool isBank = selection.kind == TreeSelectionKind::Bank;
    EnableMenuItem(popup, IDC_PRESET_UPDATE, MF_BYCOMMAND | (isPreset ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(popup, IDC_PRESET_DELETE, MF_BYCOMMAND | (store.Working().Count() > 0 ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(popup, IDC_PRESET_RENAME, MF_BYCOMMAND | (isPreset || isBank ? MF_ENABLED : MF_GRAYED));

    std::vector<int32_t> entries;
    const PresetRecord* preset = isPreset ? store.FindById(selection.presetId) : nullptr;
    if (preset) {
        HMENU move = BuildMoveMenu(store, *preset, entries);
        if (move) {
            AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
            // Once appended the sub-menu belongs to popup and goes with it.
            if (!AppendMenuA(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(move), "Move Preset")) DestroyMenu(move);
        }
    }
    const DWORD position = GetMessagePos();
    const UINT command = static_cast<UINT>(TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RETURNCMD,
                                                          static_cast<short>(LOWORD(position)),
                                                          static_cast<short>(HIWORD(position)), 0, dialog, nullptr));
    DestroyMenu(menu);

    if (command == 0) return;
    if (command == kMoveToRoot) {
        MoveToBank(store, selection.presetId, "");
    } else if (command == kMoveToNewBank) {
        char* bank = RunNewBankDialog(store, dialog);
        if (bank) {
            MoveToBank(store, selection.presetId, bank);
            std::free(bank);
        }
    } else if (command >= kMoveToBankFirst && command - kMoveToBankFirst < entries.size()) {
        const PresetRecord* first = store.FindById(entries[command - kMoveToBankFirst]);
        if (first) {
            char bank[kPresetNameSize];
            CopyBounded(bank, sizeof bank, first->bank);
            MoveToBank(store, selection.presetId, bank);
        }
    } else {
        SendMessageA(dialog, WM_COMMAND, command, 0);
    }
}
