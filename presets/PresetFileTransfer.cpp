// The manager's import and export, and the common file dialogs they use.
//
// Both dialogs filter for "Preset Files (*.ini)" and "All Files (*.*)" and
// are owned by the manager. The first dialog of each kind that a store
// shows opens in the folder of the store's preset file; later ones (counted
// by the store's successful open and save dialogs) open where the system
// remembers the user last was.
//
// Export writes by the tree's selection: the root exports every preset (a
// whole preset file, through SaveAll); a bank its presets and a preset
// itself (PresetStore::ExportPresets). Either way the file is written whole,
// never the store's own file outside its save, and never another plug-in's
// file. Paths are UTF-8 here and UTF-16 in the dialogs.
#include <windows.h>
// after windows.h
#include <commdlg.h>
#include <cderr.h>

#include <cstring>
#include <cwchar>

#include <string>

#include "presets/BoundedText.h"
#include "presets/ExportFileName.h"
#include "presets/PresetManagerParts.h"
#include "presets/WideText.h"

namespace {

const wchar_t kFilter[] = L"Preset Files (*.ini)\0*.ini\0All Files (*.*)\0*.*\0";

enum class FileDialogKind { Open, Save };

// The folder of path (everything before its last backslash), or empty.
void FolderOf(const char* path, char (&folder)[kPresetPathSize]) {
    CopyBounded(folder, sizeof folder, path);
    char* slash = std::strrchr(folder, '\\');
    if (slash) {
        *slash = '\0';
    } else {
        folder[0] = '\0';
    }
}

// Runs the open or save dialog; file holds the proposed name on entry and
// the chosen path on success. A null title leaves the system's.
bool RunFileDialog(PresetStore& store, FileDialogKind kind, const char* title, char (&file)[kPresetPathSize]) {
    int32_t& count = kind == FileDialogKind::Open ? store.OpenCount() : store.SaveCount();
    char folder[kPresetPathSize];
    FolderOf(store.IniPath(), folder);
    const std::wstring initial = WideText(folder), caption = WideText(title ? title : "");
    wchar_t chosen[MAX_PATH] = {};
    lstrcpynW(chosen, WideText(file).c_str(), MAX_PATH);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = store.ManagerWindow();
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = title ? caption.c_str() : nullptr;
    dialog.lpstrInitialDir = count == 0 && folder[0] ? initial.c_str() : nullptr;
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (kind == FileDialogKind::Save) dialog.Flags |= OFN_OVERWRITEPROMPT;
    const BOOL ok = kind == FileDialogKind::Open ? GetOpenFileNameW(&dialog) : GetSaveFileNameW(&dialog);
    if (!ok) {
        if (CommDlgExtendedError() == CDERR_DIALOGFAILURE) {
            store.Ask(store.ManagerWindow(), MB_OK | MB_ICONSTOP, "Unable to open file dialog.");
        }
        return false;
    }
    ++count;
    CopyBounded(file, sizeof file, Utf8Text(chosen, wcslen(chosen)).c_str());
    return true;
}

// Exports the selected bank's presets (or the one selected preset) to path.
void ExportSelected(PresetStore& store, const TreeSelection& selection, const char* path) {
    PresetList chosen;
    const PresetList& list = store.Working();
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* preset = list.At(i);
        if (!preset) continue;
        const bool wanted = selection.kind == TreeSelectionKind::Bank ? CompareNoCase(preset->bank, selection.text) == 0
                                                                       : preset->id == selection.presetId;
        PresetRecord* copy = wanted ? ClonePresetRecord(*preset) : nullptr;
        if (copy && !chosen.Append(copy)) FreePresetRecord(copy);
    }
    store.ExportPresets(path, chosen);   // tells the user itself when it fails
}

}  // namespace

void ImportPresets(PresetStore& store) {
    char file[kPresetPathSize] = {};
    if (!RunFileDialog(store, FileDialogKind::Open, "Import Preset(s)", file)) return;
    if (!store.ImportFile(file)) return;
    store.SetModified(TRUE);
    RebuildTree(store);
}

void ExportPresets(PresetStore& store) {
    const TreeSelection selection = GetTreeSelection(store);
    const char* name = store.PluginName();
    const char* title = nullptr;
    switch (selection.kind) {
    case TreeSelectionKind::Root:
        title = "Export all presets";
        break;
    case TreeSelectionKind::Bank:
        name = selection.text;
        title = "Export preset bank";
        break;
    case TreeSelectionKind::Preset: {
        const PresetRecord* preset = store.FindById(selection.presetId);
        if (!preset) return;
        name = preset->name;
        title = "Export preset";
        break;
    }
    case TreeSelectionKind::None:   // exports everything, under the system's title
        break;
    }
    char file[kPresetPathSize];
    MakeExportFileName(name, file, sizeof file);
    if (!RunFileDialog(store, FileDialogKind::Save, title, file)) return;
    if (selection.kind == TreeSelectionKind::Root || selection.kind == TreeSelectionKind::None) {
        store.SaveAll(file);   // tells the user itself when it fails
        return;
    }
    ExportSelected(store, selection, file);
}
