// The editor page's commands: what its buttons and pop-up menus do to the
// whole state (bypass, undo, setups, reset, presets, help, note values and
// the TempoSync, Link and Listen toggles). Every command that changes values
// asks the plug-in for an undo snapshot first, so that Undo returns to the
// state before it. UI thread.
#include "editor/EditorPage.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "editor/EditorLayout.h"
#include "editor/HelpViewer.h"
#include "editor/PageText.h"
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#include "effect/ITzPlugInProp.h"
#include "effect/TempoSync.h"
#include "presets/DataString.h"
#include "presets/PresetDialogs.h"
#include "presets/PresetMenu.h"

namespace {

enum MenuItemId : UINT {
    kMenuSetupA = 10502,
    kMenuSetupB = 10503,
    kMenuCopyTo = 10504,
    kMenuCopyFrom = 10505,
    kMenuNoteValue = 1000,
};

}  // namespace

int CTzPlugInPropPage::TrackMenu(HMENU menu, int anchorId) {
    RECT r{};
    GetWindowRect(Control(anchorId), &r);
    return TrackPopupMenu(menu, TPM_RETURNCMD, r.left + 1, r.bottom - 1, 0, m_window, nullptr);
}

void CTzPlugInPropPage::OnButton(int id, WORD code) {
    const bool menuButton = id == kIdSetupMenu || id == kIdPresets || id == kIdFactorLMenu || id == kIdFactorRMenu;
    if (menuButton) {
        if (code != 1) return;
        if (id == kIdSetupMenu) SetupMenu();
        if (id == kIdPresets) PresetsMenu();
        if (id == kIdFactorLMenu || id == kIdFactorRMenu) NoteValueMenu(id);
        // The button was pressed when the menu opened: let it pop up.
        if (Live()) SendMessageA(Control(id), kButtonRelease, 0, 0);
        return;
    }
    if (id == kIdReadout) {
        ClearPeakReadout();
        return;
    }
    if (id == kIdClipLeft || id == kIdClipRight) {
        m_plugIn->SetLeftClip(0, 0);
        m_plugIn->SetRightClip(0, 0);
        return;
    }
    if (code != kButtonClicked) return;
    switch (id) {
    case kIdBypass: {
        const int32_t bypass = 1 - (m_plugIn->IsBypassed() ? 1 : 0);
        m_plugIn->SetBypass(bypass);
        SendMessageA(Control(kIdBypass), kButtonSetToggle, static_cast<WPARAM>(bypass), 0);
        break;
    }
    case kIdUndo:
        m_plugIn->Undo();
        CacheLinkReferences();
        RefreshControls(0, 1, 1);
        break;
    case kIdSetup:
        SelectSetup(1 - (m_plugIn->GetSetup() ? 1 : 0));
        break;
    case kIdReset:
        m_plugIn->SaveUndoState(-2);
        // Reset is the default block, each value set as the user's edit.
        for (int i = 0; i < kParamCount; ++i) Set(static_cast<EParam>(i), kDefaultBlock.v[i]);
        CacheLinkReferences();
        RefreshControls(0, 1, 1);
        break;
    case kIdHelp:
        ShowHelp();
        break;
    case kIdTempoSync: {
        m_plugIn->SaveUndoState(-2);
        const int32_t sync = (Get(kParamTempoSync) + 1) % 3;
        Set(kParamTempoSync, sync);
        if (sync != 0) {
            ApplyTempo();
        } else {
            RefreshControls(kIdTempoSync, 1, 1);
        }
        break;
    }
    case kIdLink:
        m_plugIn->SaveUndoState(-2);
        Set(kParamLink, Get(kParamLink) == 0 ? 1 : 0);
        CacheLinkReferences();
        RefreshControls(kIdLink, 1, 1);
        break;
    case kIdListen:
        m_plugIn->SaveUndoState(-2);
        Set(kParamListen, Get(kParamListen) == 0 ? 1 : 0);
        RefreshControls(kIdListen, 1, 1);
        break;
    default:
        break;
    }
}

void CTzPlugInPropPage::SelectSetup(int32_t setup) {
    m_plugIn->SaveUndoState(-2);
    m_plugIn->SelectSetup(setup);
    SetWindowTextA(Control(kIdSetup), setup == 1 ? "Setup B" : "Setup A");
    CacheLinkReferences();
    RefreshControls(0, 1, 1);
}

void CTzPlugInPropPage::SetupMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    const int32_t setup = m_plugIn->GetSetup() ? 1 : 0;
    InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION, kMenuSetupA, "Setup A");
    InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION, kMenuSetupB, "Setup B");
    InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION, kMenuCopyTo, setup == 0 ? "Copy to B" : "Copy to A");
    InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION, kMenuCopyFrom, setup == 0 ? "Copy from B" : "Copy from A");
    CheckMenuRadioItem(menu, 0, 2, static_cast<UINT>(setup), MF_BYPOSITION);
    const int chosen = TrackMenu(menu, kIdSetup);
    DestroyMenu(menu);
    if (!Live()) return;
    switch (chosen) {
    case kMenuSetupA:
    case kMenuSetupB:
        SelectSetup(chosen == kMenuSetupB ? 1 : 0);
        break;
    case kMenuCopyTo:
        m_plugIn->CopySetup(0, 1);   // nothing visible changes
        break;
    case kMenuCopyFrom:
        m_plugIn->SaveUndoState(-2);
        m_plugIn->CopySetup(1, 0);
        CacheLinkReferences();
        RefreshControls(0, 1, 1);
        break;
    default:
        break;
    }
}

void CTzPlugInPropPage::NoteValueMenu(int buttonId) {
    const bool left = buttonId == kIdFactorLMenu;
    const int box = left ? kIdFactorLBox : kIdFactorRBox;
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    for (int i = 0; kNoteValues[i].numerator != 0 || kNoteValues[i].denominator != 0; ++i) {
        InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION, kMenuNoteValue + static_cast<UINT>(i),
                    NoteValueText(i).c_str());
    }
    const int32_t current = Get(left ? kParamFactorL : kParamFactorR);
    CheckMenuRadioItem(menu, 0, kNoteValueCount - 1, static_cast<UINT>(current), MF_BYPOSITION);
    const int chosen = TrackMenu(menu, box);
    DestroyMenu(menu);
    if (chosen <= 0 || !Live()) return;
    m_plugIn->SaveUndoState(-2);
    Set(left ? kParamFactorL : kParamFactorR, chosen - static_cast<int>(kMenuNoteValue));
    RefreshControls(box, 1, 1);
    ApplyTempo();
    ApplyLinkRatio(left ? 0 : 1);
}

void CTzPlugInPropPage::ClearPeakReadout() {
    SendMessageA(Control(kIdMeterLeft), kMeterResetHighest, 0, 0);
    SendMessageA(Control(kIdMeterRight), kMeterResetHighest, 0, 0);
    UpdateMeters();
}

bool CTzPlugInPropPage::ShowHelp() {
    char path[MAX_PATH] = {};
    if (m_fileFolder.empty()) {
        HelpFilePath(EditorModule(), path, sizeof(path));
    } else {
        std::snprintf(path, sizeof(path), "%s\\%s", m_fileFolder.c_str(), kHelpFileName);
    }
    if (OpenHelpFile(m_window, path)) return true;
    char text[MAX_PATH + 64];
    std::snprintf(text, sizeof(text), "Unable to open the Tavrin:zv Delay help file:\n%s", path);
    MessageBoxA(m_window, text, "Error", MB_ICONEXCLAMATION);
    return false;
}

// The frame's own Help button: the same help as the page's (the user has
// been told when it could not be opened).
HRESULT CTzPlugInPropPage::Help(LPCOLESTR) { return ShowHelp() ? S_OK : E_FAIL; }

// Every step after the menu runs a modal loop (the manager, the add dialog,
// the update question, a failed save's message) in which the page may be
// torn down: the store is held here, and nothing is applied once the page
// has lost its window or its plug-in.
void CTzPlugInPropPage::PresetsMenu() {
    const std::shared_ptr<PresetStore> store = m_presets;
    if (!store) return;
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION, kPresetMenuAdd, "Add Preset...");
    InsertMenuA(menu, static_cast<UINT>(-1), MF_BYPOSITION, kPresetMenuManager, "Preset Manager...");
    AppendPresetMenuItems(*store, menu);
    int chosen = TrackMenu(menu, kIdPresets);
    DestroyMenu(menu);
    if (chosen <= 0 || !Live()) return;
    if (chosen == kPresetMenuManager) chosen = RunManager(*store);
    if (chosen == kPresetMenuAdd) AddPresetDialog(*store);
    if (!Live()) return;
    const char* data = GetPresetMenuData(*store, chosen);
    if (!data || !Live()) return;
    ApplyDataString(data);
}

// A preset's values, applied as the user's edits. Positions the string does
// not hold keep their current values; the setters clamp the rest.
void CTzPlugInPropPage::ApplyDataString(const char* data) {
    ParamBlock block{};
    for (int i = 0; i < kParamCount; ++i) block.v[i] = Get(static_cast<EParam>(i));
    ReadDataString(data, block);
    m_plugIn->SaveUndoState(-2);
    for (int i = 0; i < kParamCount; ++i) Set(static_cast<EParam>(i), block.v[i]);
    CacheLinkReferences();
    RefreshControls(0, 1, 1);
    InvalidateRect(m_window, nullptr, FALSE);
}
