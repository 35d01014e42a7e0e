// The preset manager: a modal dialog (503) owned by the editor page's
// window, in which the user browses the store's presets in a tree of banks
// and adds, updates, renames, moves, deletes, imports and exports them.
//
// The dialog edits a deep copy of the working list: opening it copies the
// list and exchanges copy and original, so the original waits in the backup
// list. "Save" writes the edited list to the preset file and keeps it;
// "Cancel" (1514) and the answer No to "Save changes ...?" exchange the
// lists back, dropping every change. If the copy cannot be made the user is
// told, the dialog edits the working list itself, and nothing can be
// dropped (an exchange would then put an empty list in its place).
//
// A failed save keeps the dialog open: the store has already told the user,
// and closing as if saved would lose the changes.
//
// Double-clicking a preset ends the dialog with the preset's id, which the
// presets menu then applies. Everything runs on the editor's user-interface
// thread; the tree is subclassed (the old procedure in the window property
// "oldproc") so that a right click selects the item under the pointer and
// then opens the context menu (PresetContextMenu.cpp).
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <new>
#include <string>

#include "editor/SkinDrawing.h"
#include "editor/WindowDpi.h"
#include "presets/BoundedText.h"
#include "presets/PresetDialogIds.h"
#include "presets/PresetDialogs.h"
#include "presets/PresetManagerParts.h"
#include "presets/WideText.h"

namespace {

const wchar_t kOldProcProperty[] = L"oldproc";
const char kSaveChangesText[] = "Save changes before exiting the Preset Manager?";

// The dialog's own state, in DWLP_USER while it exists.
struct ManagerState {
    PresetStore* store = nullptr;
    HICON smallIcon = nullptr;
    BOOL backupMade = FALSE;   // the previous list waits in the backup list
};

ManagerState* StateOf(HWND dialog) { return reinterpret_cast<ManagerState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

// --- The tree's subclass -------------------------------------------------------

LRESULT CALLBACK TreeSubclassProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC old = reinterpret_cast<WNDPROC>(GetPropW(tree, kOldProcProperty));
    if (!old) return DefWindowProcW(tree, message, wParam, lParam);
    switch (message) {
    case WM_RBUTTONDOWN:
        // The left press selects the item under the pointer; the menu then
        // acts on it.
        CallWindowProcW(old, tree, WM_LBUTTONDOWN, wParam, lParam);
        PostMessageW(GetParent(tree), kMsgTreeRightClick, wParam, lParam);
        return 0;
    case WM_DESTROY:
        SetWindowLongPtrW(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemovePropW(tree, kOldProcProperty);
        return CallWindowProcW(old, tree, message, wParam, lParam);
    default:
        return CallWindowProcW(old, tree, message, wParam, lParam);
    }
}

void SubclassTree(HWND tree) {
    const LONG_PTR old = GetWindowLongPtrW(tree, GWLP_WNDPROC);
    SetPropW(tree, kOldProcProperty, reinterpret_cast<HANDLE>(old));
    SetWindowLongPtrW(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeSubclassProc));
}

void FocusTree(PresetStore& store) {
    if (store.TreeWindow()) SetFocus(store.TreeWindow());
}

// --- Ending the dialog ---------------------------------------------------------

// Ends the dialog with result, dropping the changes when asked to (and when
// there is a backup to return to).
void EndManager(HWND dialog, INT_PTR result, bool dropChanges) {
    ManagerState* state = StateOf(dialog);
    EndDialog(dialog, result);
    if (dropChanges && state->backupMade) {
        state->store->RestoreBackup();
        state->backupMade = FALSE;
    }
}

// Saves the working list to the preset file and ends with result; a failed
// save (already reported by the store) keeps the dialog open.
void SaveAndEnd(HWND dialog, INT_PTR result) {
    PresetStore& store = *StateOf(dialog)->store;
    if (store.SaveAll(store.IniPath())) EndManager(dialog, result, false);
}

// Ends with result; with changes, first asks whether to save them: Yes
// saves, No drops them, Cancel keeps the dialog open.
void EndAsking(HWND dialog, INT_PTR result) {
    PresetStore& store = *StateOf(dialog)->store;
    if (!store.Modified()) {
        EndManager(dialog, result, false);
        return;
    }
    switch (store.Ask(dialog, MB_YESNOCANCEL | MB_ICONQUESTION, kSaveChangesText)) {
    case IDYES:
        SaveAndEnd(dialog, result);
        break;
    case IDNO:
        EndManager(dialog, result, true);
        break;
    default:
        break;
    }
}

// --- Commands ------------------------------------------------------------------

void OnUpdate(HWND dialog, PresetStore& store) {
    const TreeSelection selection = GetTreeSelection(store);
    PresetRecord* preset =
        selection.kind == TreeSelectionKind::Preset ? store.FindById(selection.presetId) : nullptr;
    if (!preset) return;
    const std::string text = std::string("Would you like to update the stored parameters for\nthe \"") + preset->name +
                             "\" preset with the current settings?";
    if (store.Ask(dialog, MB_YESNO | MB_ICONQUESTION, text.c_str()) != IDYES) return;
    // The version stays: only the values change (and only when there are
    // values: the editor may have gone).
    char* data = store.RequestCurrentData();
    if (!data) return;
    FreePresetData(preset->data);
    preset->data = data;
    store.SetModified(TRUE);
}

void DeleteAll(HWND dialog, PresetStore& store) {
    const std::string text =
        std::string("Are you sure you want to delete ALL the ") + store.PluginName() + " banks and presets?";
    if (store.Ask(dialog, MB_YESNO | MB_ICONQUESTION, text.c_str()) != IDYES) return;
    PresetList& list = store.Working();
    const bool any = list.Count() > 0;
    for (int i = list.Count() - 1; i >= 0; --i) list.RemoveAt(i);
    if (any) store.SetModified(TRUE);
    RebuildTree(store);
}

void DeleteBank(HWND dialog, PresetStore& store, const char* bank) {
    const std::string text = std::string("Do you want to delete the ") + store.PluginName() + " preset bank \"" + bank +
                             "\"?\nAll presets contained in this bank will be lost.";
    if (store.Ask(dialog, MB_YESNO | MB_ICONQUESTION, text.c_str()) != IDYES) return;
    PresetList& list = store.Working();
    for (int i = list.Count() - 1; i >= 0; --i) {
        const PresetRecord* preset = list.At(i);
        if (preset && CompareNoCase(preset->bank, bank) == 0) list.RemoveAt(i);
    }
    store.SetModified(TRUE);
    RebuildTree(store);
    HWND tree = store.TreeWindow();
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

void DeletePreset(HWND dialog, PresetStore& store, const TreeSelection& selection) {
    const PresetRecord* preset = store.FindById(selection.presetId);
    if (!preset) return;
    const std::string text =
        std::string("Do you want to delete the ") + store.PluginName() + " preset \"" + preset->name + "\"?";
    if (store.Ask(dialog, MB_YESNO | MB_ICONQUESTION, text.c_str()) != IDYES) return;
    store.DeleteById(selection.presetId);
    store.SetModified(TRUE);
    HWND tree = store.TreeWindow();
    // The last item of its bank (or of the root) takes the tree with it: a
    // rebuild drops a bank that is now empty.
    if (SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(selection.item))) {
        SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(selection.item));
    } else {
        RebuildTree(store);
    }
    FocusTree(store);
}

void OnDelete(HWND dialog, PresetStore& store) {
    const TreeSelection selection = GetTreeSelection(store);
    switch (selection.kind) {
    case TreeSelectionKind::Root:
        DeleteAll(dialog, store);
        break;
    case TreeSelectionKind::Bank:
        DeleteBank(dialog, store, selection.text);
        break;
    case TreeSelectionKind::Preset:
        DeletePreset(dialog, store, selection);
        break;
    case TreeSelectionKind::None:
        break;
    }
    UpdateButtons(store);
}

void OnCommand(HWND dialog, int command) {
    PresetStore& store = *StateOf(dialog)->store;
    switch (command) {
    case IDOK:
        SaveAndEnd(dialog, 0);
        break;
    case IDCANCEL:
        EndAsking(dialog, 0);
        break;
    case IDC_PRESET_CANCEL:
        EndManager(dialog, 0, true);
        break;
    case IDC_PRESET_ADD:
        RunAddPresetDialog(store, dialog);
        UpdateButtons(store);
        FocusTree(store);
        break;
    case IDC_PRESET_RENAME:
        RunRenamePresetDialog(store, dialog);
        FocusTree(store);
        break;
    case IDC_PRESET_UPDATE:
        OnUpdate(dialog, store);
        break;
    case IDC_PRESET_DELETE:
        OnDelete(dialog, store);
        break;
    case IDC_PRESET_IMPORT:
        ImportPresets(store);
        UpdateButtons(store);
        break;
    case IDC_PRESET_EXPORT:
        ExportPresets(store);
        break;
    default:
        break;
    }
}

// --- Tree notifications --------------------------------------------------------

void OnTreeDoubleClick(HWND dialog, PresetStore& store) {
    const TreeSelection selection = GetTreeSelection(store);
    if (selection.kind != TreeSelectionKind::Preset) return;
    EndAsking(dialog, selection.presetId);
}

BOOL OnNotify(HWND dialog, const NMHDR& header) {
    PresetStore& store = *StateOf(dialog)->store;
    if (header.hwndFrom != store.TreeWindow()) return FALSE;
    switch (header.code) {
    case TVN_KEYDOWN:
        if (reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey == VK_DELETE && store.Working().Count() > 0) {
            PostMessageA(dialog, WM_COMMAND, IDC_PRESET_DELETE, 0);
        }
        return FALSE;
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
        UpdateButtons(store);
        return FALSE;
    case NM_DBLCLK:
        OnTreeDoubleClick(dialog, store);
        return FALSE;
    default:
        return FALSE;
    }
}

// --- Opening and closing -------------------------------------------------------

void OnInitDialog(HWND dialog, ManagerState& state) {
    PresetStore& store = *state.store;
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    store.SetManagerWindow(dialog);
    state.backupMade = store.MakeBackup();
    if (!state.backupMade) {
        store.Ask(dialog, MB_OK | MB_ICONSTOP, "Failed to create backup preset list, changes can not be cancelled!");
    }
    SetWindowTextW(dialog, WideText(std::string(store.PluginName()) + " Preset Manager").c_str());
    state.smallIcon =
        static_cast<HICON>(LoadImageA(store.Module(), MAKEINTRESOURCEA(IDI_PRESET_PLUG), IMAGE_ICON,
                                      MetricForWindow(dialog, SM_CXSMICON), MetricForWindow(dialog, SM_CYSMICON), 0));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.smallIcon));
    CenterWindowOverParent(dialog);
    HWND tree = GetDlgItem(dialog, IDC_PRESET_TREE);
    SubclassTree(tree);
    SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(CreatePresetImageList(store.Module(), dialog)));
    store.SetTreeWindow(tree);
    RebuildTree(store);
    if (store.CurrentId() != kNoPresetId) SelectById(store, static_cast<uint32_t>(store.CurrentId()));
    UpdateButtons(store);
    SetFocus(tree);
}

void OnDestroy(HWND dialog) {
    ManagerState* state = StateOf(dialog);
    if (!state) return;
    PresetStore& store = *state->store;
    HWND tree = store.TreeWindow();
    if (tree) {
        ImageList_Destroy(reinterpret_cast<HIMAGELIST>(SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, 0)));
    }
    store.SetTreeWindow(nullptr);
    store.SetManagerWindow(nullptr);
    if (state->smallIcon) DestroyIcon(state->smallIcon);
    state->smallIcon = nullptr;
}

INT_PTR ManagerMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    // The tree talks to the dialog before WM_INITDIALOG; nothing to do yet.
    if (message != WM_INITDIALOG && !StateOf(dialog)) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, *reinterpret_cast<ManagerState*>(lParam));
        return FALSE;   // the tree has the focus
    case WM_CLOSE:
        OnCommand(dialog, IDCANCEL);
        return TRUE;
    case WM_DESTROY:
        OnDestroy(dialog);
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(dialog, *reinterpret_cast<const NMHDR*>(lParam));
    case kMsgTreeRightClick:
        RunPresetContextMenu(*StateOf(dialog)->store, dialog);
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK ManagerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return ManagerMessage(dialog, message, wParam, lParam);
    } catch (const std::bad_alloc&) {   // a window procedure lets no exception out
        return FALSE;
    }
}

}  // namespace

void UpdateButtons(PresetStore& store) {
    HWND dialog = store.ManagerWindow();
    if (!dialog) return;
    const TreeSelectionKind kind = GetTreeSelection(store).kind;
    const bool any = store.Working().Count() > 0;
    EnableWindow(GetDlgItem(dialog, IDC_PRESET_UPDATE), kind == TreeSelectionKind::Preset);
    EnableWindow(GetDlgItem(dialog, IDC_PRESET_DELETE), any);
    EnableWindow(GetDlgItem(dialog, IDC_PRESET_RENAME),
                 any && (kind == TreeSelectionKind::Preset || kind == TreeSelectionKind::Bank));
    EnableWindow(GetDlgItem(dialog, IDC_PRESET_EXPORT), any);
}

int32_t RunManager(PresetStore& store) {
    if (store.ManagerWindow()) return 0;
    store.SetModified(FALSE);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    ManagerState state;
    state.store = &store;
    const INT_PTR result = DialogBoxParamW(store.Module(), MAKEINTRESOURCEW(IDD_PRESET_MANAGER), store.OwnerWindow(),
                                           ManagerDialogProc, reinterpret_cast<LPARAM>(&state));
    return result > 0 ? static_cast<int32_t>(result) : 0;
}
