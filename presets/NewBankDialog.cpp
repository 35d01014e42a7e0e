// Dialog 506: asks for the name of a new bank to move the selected preset
// into. Ends with a heap copy of the name, or 0 when cancelled.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "editor/SkinDrawing.h"
#include "presets/PresetDialogIds.h"
#include "presets/PresetManagerParts.h"
#include "presets/WideText.h"

namespace {

PresetStore* StoreOf(HWND dialog) { return reinterpret_cast<PresetStore*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void OnInitDialog(HWND dialog, PresetStore& store) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&store));
    const TreeSelection selection = GetTreeSelection(store);
    const PresetRecord* preset =
        selection.kind == TreeSelectionKind::Preset ? store.FindById(selection.presetId) : nullptr;
    const std::string caption = std::string("Move preset \"") + (preset ? preset->name : "") + "\" to new bank";
    SetWindowTextW(dialog, WideText(caption).c_str());
    CenterWindowOverParent(dialog);
    SendDlgItemMessageW(dialog, IDC_PRESET_BANK, EM_LIMITTEXT, kPresetNameChars, 0);
}

void OnCreate(HWND dialog, PresetStore& store) {
    const std::string text = DialogItemText(dialog, IDC_PRESET_BANK);
    const char* bank = text.c_str();
    if (!bank[0]) {
        store.Ask(dialog, MB_OK | MB_ICONSTOP, "Unable to move preset to new bank because no bank name was specified.");
        return;
    }
    char* copy = static_cast<char*>(std::malloc(std::strlen(bank) + 1));
    if (copy) std::strcpy(copy, bank);
    EndDialog(dialog, reinterpret_cast<INT_PTR>(copy));
}

INT_PTR NewBankMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
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

INT_PTR CALLBACK NewBankDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return NewBankMessage(dialog, message, wParam, lParam);
    } catch (const std::bad_alloc&) {   // a window procedure lets no exception out
        return FALSE;
    }
}

}  // namespace

char* RunNewBankDialog(PresetStore& store, HWND owner) {
    const INT_PTR result = DialogBoxParamW(store.Module(), MAKEINTRESOURCEW(IDD_NEW_BANK), owner, NewBankDialogProc,
                                           reinterpret_cast<LPARAM>(&store));
    return result == -1 ? nullptr : reinterpret_cast<char*>(result);
}
