// Dialog 506: asks for the name of a new bank to move the selected preset
// into. Ends with a heap copy of the name, or 0 when cancelled.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "editor/SkinDrawing.h"
#include "presets/PresetDialogIds.h"
#include "presets/PresetManagerParts.h"

namespace {

PresetStore* StoreOf(HWND dialog) { return reinterpret_cast<PresetStore*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void OnInitDialog(HWND dialog, PresetStore& store) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&store));
    const TreeSelection selection = GetTreeSelection(store);
    const PresetRecord* preset =
        selection.kind == TreeSelectionKind::Preset ? store.FindById(selection.presetId) : nullptr;
    char caption[kPresetNameSize + 32];
    std::snprintf(caption, sizeof caption, "Move preset \"%s\" to new bank", preset ? preset->name : "");
    SetWindowTextA(dialog, caption);
    CenterWindowOverParent(dialog);
    SendDlgItemMessageA(dialog, IDC_PRESET_BANK, EM_LIMITTEXT, kPresetNameSize - 1, 0);
}

void OnCreate(HWND dialog, PresetStore& store) {
    char bank[kPresetNameSize] = {};
    GetDlgItemTextA(dialog, IDC_PRESET_BANK, bank, sizeof bank);
    if (!bank[0]) {
        store.Ask(dialog, MB_OK | MB_ICONSTOP, "Unable to move preset to new bank because no bank name was specified.");
        return;
    }
    char* copy = static_cast<char*>(std::malloc(std::strlen(bank) + 1));
    if (copy) std::strcpy(copy, bank);
    EndDialog(dialog, reinterpret_cast<INT_PTR>(copy));
}

INT_PTR CALLBACK NewBankDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, *reinterpret_cast<PresetStore*>(lParam));
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) OnCreate(dialog, *StoreOf(dialog));
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

char* RunNewBankDialog(PresetStore& store, HWND owner) {
    const INT_PTR result = DialogBoxParamA(store.Module(), MAKEINTRESOURCEA(IDD_NEW_BANK), owner, NewBankDialogProc,
                                           reinterpret_cast<LPARAM>(&store));
    return result == -1 ? nullptr : reinterpret_cast<char*>(result);
}
