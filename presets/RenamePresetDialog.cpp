// Dialog 505: renames the manager's selected bank (every preset in it,
// banks compared without regard to case) or its selected preset.
#include <windows.h>

#include <new>
#include <string>

#include "editor/SkinDrawing.h"
#include "presets/BoundedText.h"
#include "presets/PresetDialogIds.h"
#include "presets/PresetManagerParts.h"
#include "presets/WideText.h"

namespace {

// The dialog's state, in DWLP_USER: the store and what was selected when
// the dialog opened.
struct RenameState {
    PresetStore* store = nullptr;
    TreeSelection selection;
};

RenameState* StateOf(HWND dialog) { return reinterpret_cast<RenameState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void OnInitDialog(HWND dialog, RenameState& state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    CenterWindowOverParent(dialog);
    SendDlgItemMessageW(dialog, IDC_PRESET_NAME, EM_LIMITTEXT, kPresetNameChars, 0);
    PresetStore& store = *state.store;
    const char* name = nullptr;
    const char* kind = nullptr;
    if (state.selection.kind == TreeSelectionKind::Bank) {
        kind = " bank";
        name = state.selection.text;
    } else if (state.selection.kind == TreeSelectionKind::Preset) {
        const PresetRecord* preset = store.FindById(state.selection.presetId);
        kind = " preset";
        name = preset ? preset->name : "";
    }
    if (!kind) return;
    SetWindowTextW(dialog, WideText(std::string("Rename ") + store.PluginName() + kind).c_str());
    SetDlgItemTextW(dialog, IDC_PRESET_NAME, WideText(name).c_str());
}

void OnRename(HWND dialog, RenameState& state) {
    const TreeSelection& selection = state.selection;
    if (selection.kind != TreeSelectionKind::Bank && selection.kind != TreeSelectionKind::Preset) return;
    PresetStore& store = *state.store;
    const std::string text = DialogItemText(dialog, IDC_PRESET_NAME);
    const char* name = text.c_str();
    if (!name[0]) {
        store.Ask(dialog, MB_OK | MB_ICONSTOP, "Unable to rename preset because you did not specify any name.");
        return;
    }
    uint32_t select = kTreeBankValue;
    if (selection.kind == TreeSelectionKind::Bank) {
        const PresetList& list = store.Working();
        for (int i = 0; i < list.Count(); ++i) {
            PresetRecord* preset = list.At(i);
            if (preset && CompareNoCase(preset->bank, selection.text) == 0) {
                CopyBounded(preset->bank, sizeof preset->bank, name);
            }
        }
    } else {
        PresetRecord* preset = store.FindById(selection.presetId);
        if (preset) CopyBounded(preset->name, sizeof preset->name, name);
        select = static_cast<uint32_t>(selection.presetId);
    }
    RebuildTree(store);
    SelectById(store, select);
    store.SetModified(TRUE);
    EndDialog(dialog, 1);
}

INT_PTR RenameMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, *reinterpret_cast<RenameState*>(lParam));
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 1);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) OnRename(dialog, *StateOf(dialog));
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK RenameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return RenameMessage(dialog, message, wParam, lParam);
    } catch (const std::bad_alloc&) {   // a window procedure lets no exception out
        return FALSE;
    }
}

}  // namespace

INT_PTR RunRenamePresetDialog(PresetStore& store, HWND owner) {
    RenameState state;
    state.store = &store;
    state.selection = GetTreeSelection(store);
    const INT_PTR result = DialogBoxParamW(store.Module(), MAKEINTRESOURCEW(IDD_RENAME_PRESET), owner,
                                           RenameDialogProc, reinterpret_cast<LPARAM>(&state));
    return result > 0 ? result : 0;
}
