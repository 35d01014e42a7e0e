// Dialog 504: adds a preset holding the current parameter values, named by
// the user and optionally put into a bank (an existing one from the combo
// box's list, or a new one typed into it). Used by the manager's "Add..."
// and by the presets menu's "Add Preset...". The owner window of the store
// supplies the values (message kMsgGetCurrentData).
#include <windows.h>

#include <new>
#include <string>

#include "editor/SkinDrawing.h"
#include "presets/BoundedText.h"
#include "presets/PresetDialogIds.h"
#include "presets/PresetDialogs.h"
#include "presets/PresetManagerParts.h"
#include "presets/WideText.h"

namespace {

PresetStore* StoreOf(HWND dialog) { return reinterpret_cast<PresetStore*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void OnInitDialog(HWND dialog, PresetStore& store) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&store));
    SetWindowTextW(dialog, WideText(std::string("Add ") + store.PluginName() + " preset").c_str());
    CenterWindowOverParent(dialog);
    SendDlgItemMessageW(dialog, IDC_PRESET_NAME, EM_LIMITTEXT, kPresetNameChars, 0);
    SendDlgItemMessageW(dialog, IDC_PRESET_BANK, CB_LIMITTEXT, kPresetNameChars, 0);
    const PresetList& list = store.Working();
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* preset = list.At(i);
        if (!preset || !preset->bank[0]) continue;
        const std::wstring bank = WideText(preset->bank);
        if (SendDlgItemMessageW(dialog, IDC_PRESET_BANK, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(bank.c_str())) == CB_ERR) {
            SendDlgItemMessageW(dialog, IDC_PRESET_BANK, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(bank.c_str()));
        }
    }
}

void OnAdd(HWND dialog, PresetStore& store) {
    const std::string name = DialogItemText(dialog, IDC_PRESET_NAME);
    const std::string bank = DialogItemText(dialog, IDC_PRESET_BANK);
    if (name.empty()) {
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
    CopyBounded(preset->name, sizeof preset->name, name.c_str());
    CopyBounded(preset->bank, sizeof preset->bank, bank.c_str());
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

INT_PTR AddPresetMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
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

INT_PTR CALLBACK AddPresetDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return AddPresetMessage(dialog, message, wParam, lParam);
    } catch (const std::bad_alloc&) {   // a window procedure lets no exception out
        return FALSE;
    }
}

}  // namespace

INT_PTR RunAddPresetDialog(PresetStore& store, HWND owner) {
    const INT_PTR result = DialogBoxParamW(store.Module(), MAKEINTRESOURCEW(IDD_ADD_PRESET), owner,
                                           AddPresetDialogProc, reinterpret_cast<LPARAM>(&store));
    return result > 0 ? result : 0;
}
