// Dialog 504: adds a preset holding the current parameter values, named by
// the user and optionally put into a bank (an existing one from the combo
// box's list, or a new one typed into it). Used by the manager's "Add..."
// and by the presets menu's "Add Preset...". The owner window of the store
// supplies the values (message kMsgGetCurrentData).
#include <windows.h>

#include <cstdio>

#include "editor/SkinDrawing.h"
#include "presets/BoundedText.h"
#include "presets/PresetDialogIds.h"
#include "presets/PresetDialogs.h"
#include "presets/PresetManagerParts.h"

namespace {

PresetStore* StoreOf(HWND dialog) { return reinterpret_cast<PresetStore*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void OnInitDialog(HWND dialog, PresetStore& store) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&store));
    char caption[kPresetNameSize + 32];
    std::snprintf(caption, sizeof caption, "Add %s preset", store.PluginName());
    SetWindowTextA(dialog, caption);
    CenterWindowOverParent(dialog);
    SendDlgItemMessageA(dialog, IDC_PRESET_NAME, EM_LIMITTEXT, kPresetNameSize - 1, 0);
    SendDlgItemMessageA(dialog, IDC_PRESET_BANK, CB_LIMITTEXT, kPresetNameSize - 1, 0);
    const PresetList& list = store.Working();
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* preset = list.At(i);
        if (!preset || !preset->bank[0]) continue;
        if (SendDlgItemMessageA(dialog, IDC_PRESET_BANK, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(preset->bank)) == CB_ERR) {
            SendDlgItemMessageA(dialog, IDC_PRESET_BANK, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(preset->bank));
        }
    }
}

void OnAdd(HWND dialog, PresetStore& store) {
    char name[kPresetNameSize] = {};
    char bank[kPresetNameSize] = {};
    GetDlgItemTextA(dialog, IDC_PRESET_NAME, name, sizeof name);
    GetDlgItemTextA(dialog, IDC_PRESET_BANK, bank, sizeof bank);
    if (!name[0]) {
        store.Ask(dialog, MB_OK | MB_ICONSTOP, "Unable to add preset because no name was specified.");
        return;
    }
    PresetRecord* preset = NewPresetRecord();   // version 3
    if (preset) preset->data = store.RequestCurrentData();
    if (!preset || !preset->data) {   // memory short, or the editor is gone
        FreePresetRecord(preset);
        EndDialog(dialog, 0);
        return;
    }
    CopyBounded(preset->name, sizeof preset->name, name);
    CopyBounded(preset->bank, sizeof preset->bank, bank);
    if (!store.AdoptPreset(preset)) {   // frees it
        EndDialog(dialog, 0);
        return;
    }
    const int32_t id = preset->id;
    if (store.TreeWindow()) {
        RebuildTree(store);
        SelectById(store, static_cast<uint32_t>(id));
    }
    store.SetCurrentId(id);
    store.SetModified(TRUE);
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK AddPresetDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, *reinterpret_cast<PresetStore*>(lParam));
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 1);   // the close box reports 1, yet adds nothing
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) OnAdd(dialog, *StoreOf(dialog));
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR RunAddPresetDialog(PresetStore& store, HWND owner) {
    const INT_PTR result = DialogBoxParamA(store.Module(), MAKEINTRESOURCEA(IDD_ADD_PRESET), owner,
                                           AddPresetDialogProc, reinterpret_cast<LPARAM>(&store));
    return result > 0 ? result : 0;
}
