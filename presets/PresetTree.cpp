// The manager's tree view: a root item "Available <plug-in> presets", one
// folder per bank (banks that differ only in letter case share a folder),
// the banked presets inside their folders in name order, and the presets
// without a bank at the root after the folders. The tree is rebuilt from
// the working list after every change; items carry the preset's id or one
// of the two marker values, never a pointer into the list.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cwchar>
#include <string>

#include "editor/WindowDpi.h"
#include "presets/BoundedText.h"
#include "presets/PresetDialogIds.h"
#include "presets/PresetManagerParts.h"
#include "presets/WideText.h"

namespace {

// Images of the tree's image list, by position.
enum TreeImage { kImagePlug = 0, kImageEffect = 1, kImageFolderClosed = 2, kImageFolderOpen = 3 };

HTREEITEM InsertItem(HWND tree, HTREEITEM parent, HTREEITEM after, const char* text, uint32_t value, int image,
                     int selectedImage) {
    std::wstring wide = WideText(text);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = &wide[0];
    insert.item.lParam = static_cast<LPARAM>(value);
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

void ReadItemText(HWND tree, HTREEITEM item, char (&text)[3 * kTreeTextSize]) {
    wchar_t wide[kTreeTextSize] = {};
    TVITEMW query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = wide;
    query.cchTextMax = kTreeTextSize;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    wide[kTreeTextSize - 1] = L'\0';
    CopyBounded(text, sizeof text, Utf8Text(wide, wcslen(wide)).c_str());
}

void SelectItem(HWND tree, HTREEITEM item) {
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

// The bank folder under root whose text equals bank without regard to
// case, or null.
HTREEITEM FindBankItem(HWND tree, HTREEITEM root, const char* bank) {
    for (HTREEITEM child = NextItem(tree, root, TVGN_CHILD); child; child = NextItem(tree, child, TVGN_NEXT)) {
        if (TreeItemValue(tree, child) != kTreeBankValue) continue;
        char text[3 * kTreeTextSize];
        ReadItemText(tree, child, text);
        if (CompareNoCase(text, bank) == 0) return child;
    }
    return nullptr;
}

}  // namespace

uint32_t TreeItemValue(HWND tree, HTREEITEM item) {
    TVITEMA query = {};
    query.mask = TVIF_PARAM;
    query.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query))) return 0;
    return static_cast<uint32_t>(query.lParam);
}

TreeSelection GetTreeSelection(const PresetStore& store) {
    TreeSelection selection;
    HWND tree = store.TreeWindow();
    if (!tree) return selection;
    selection.item = NextItem(tree, nullptr, TVGN_CARET);
    if (!selection.item) return selection;
    ReadItemText(tree, selection.item, selection.text);
    const uint32_t value = TreeItemValue(tree, selection.item);
    if (value == kTreeRootValue) {
        selection.kind = TreeSelectionKind::Root;
    } else if (value == kTreeBankValue) {
        selection.kind = TreeSelectionKind::Bank;
    } else {
        selection.kind = TreeSelectionKind::Preset;
        selection.presetId = static_cast<int32_t>(value);
    }
    return selection;
}

void RebuildTree(PresetStore& store) {
    HWND tree = store.TreeWindow();
    if (!tree) return;
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    store.Sort();
    const std::string rootText = std::string("Available ") + store.PluginName() + " presets";
    HTREEITEM root = InsertItem(tree, TVI_ROOT, TVI_FIRST, rootText.c_str(), kTreeRootValue, kImagePlug, kImagePlug);
    const PresetList& list = store.Working();
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* preset = list.At(i);
        if (!preset) continue;
        if (preset->bank[0]) {
            HTREEITEM bank = FindBankItem(tree, root, preset->bank);
            if (!bank) {
                bank = InsertItem(tree, root, TVI_LAST, preset->bank, kTreeBankValue, kImageFolderClosed,
                                  kImageFolderOpen);
            }
            InsertItem(tree, bank, TVI_SORT, preset->name, static_cast<uint32_t>(preset->id), kImageEffect,
                       kImageEffect);
        } else {
            InsertItem(tree, root, TVI_LAST, preset->name, static_cast<uint32_t>(preset->id), kImageEffect,
                       kImageEffect);
        }
    }
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    SelectItem(tree, root);
}

void SelectById(PresetStore& store, uint32_t value) {
    HWND tree = store.TreeWindow();
    if (!tree) return;
    HTREEITEM root = NextItem(tree, nullptr, TVGN_ROOT);
    for (HTREEITEM child = NextItem(tree, root, TVGN_CHILD); child; child = NextItem(tree, child, TVGN_NEXT)) {
        if (TreeItemValue(tree, child) == kTreeBankValue) {
            for (HTREEITEM item = NextItem(tree, child, TVGN_CHILD); item; item = NextItem(tree, item, TVGN_NEXT)) {
                if (TreeItemValue(tree, item) == value) {
                    SelectItem(tree, item);
                    return;
                }
            }
        } else if (TreeItemValue(tree, child) == value) {
            SelectItem(tree, child);
            return;
        }
    }
}

HIMAGELIST CreatePresetImageList(HINSTANCE module, HWND dialog) {
    // Small icons at the dialog's DPI (the icons hold 16 and 32 pixel faces).
    const int width = MetricForWindow(dialog, SM_CXSMICON);
    const int height = MetricForWindow(dialog, SM_CYSMICON);
    HIMAGELIST images = ImageList_Create(width, height, ILC_COLOR4 | ILC_MASK, 9, 1);
    if (!images) return nullptr;
    const int icons[] = {IDI_PRESET_PLUG, IDI_PRESET_EFFECT, IDI_PRESET_FOLDER_CLOSED, IDI_PRESET_FOLDER_OPEN};
    for (int id : icons) {
        HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, width, height, 0));
        ImageList_AddIcon(images, icon);
        if (icon) DestroyIcon(icon);
    }
    return images;
}
