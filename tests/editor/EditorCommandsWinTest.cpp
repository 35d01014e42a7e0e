// The editor's commands under Wine with a display: buttons as the page hears
// them, real pop-up menus read and answered from inside their modal loops,
// the presets menu on a real store, and help.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "PageHarness.h"
#include <commctrl.h>
#include "editor/EditorLayout.h"
#include "editor/HelpViewer.h"
#include "effect/TempoSync.h"
#include "presets/PresetStore.h"

namespace {

class EditorCommandsTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        ASSERT_TRUE(h->Open());
        h->Tick();   // the first tick: both setups equal, a first snapshot
    }
    std::vector<std::string> Texts(const std::vector<MenuItemSeen>& items) {
        std::vector<std::string> texts;
        for (const MenuItemSeen& i : items) texts.push_back(i.separator ? "-" : i.text);
        return texts;
    }
    // Opens a menu button's menu (the button's "pressed" notification).
    void OpenMenu(int button, MenuScript* script) {
        AnswerNextMenu(script);
        Button(button, kButtonPressed);
        ASSERT_TRUE(script->seen);
    }
};

}  // namespace

TEST_F(EditorCommandsTest, BypassTwiceLeavesTheUndoSnapshotAlone) {
    Slide(10005, 70);   // snapshot: FeedbkL 40
    const std::vector<int32_t> before = Values();
    Button(kIdBypass);
    EXPECT_EQ(h->prop->IsBypassed(), 1);
    EXPECT_EQ(SendMessageW(h->Control(kIdBypass), kButtonGetToggle, 0, 0), 1);
    Button(kIdBypass);
    EXPECT_EQ(h->prop->IsBypassed(), 0);
    EXPECT_EQ(Values(), before);
    Button(kIdUndo);
    EXPECT_EQ(Value(kParamFeedbkL), 40);   // still the slider's snapshot
    EXPECT_EQ(h->Text(10004), "40");
}

TEST_F(EditorCommandsTest, ResetUndoAndUndoAgain) {
    Slide(10009, 77);
    Step(kIdOutputBox, -20);
    h->prop->SetTempoSync(0, 1);
    const std::vector<int32_t> edited = Values();
    Button(kIdReset);
    std::vector<int32_t> reset = Values();
    EXPECT_EQ(reset, (std::vector<int32_t>{5000, 12, 40, 10, 30, 5000, 12, 40, 10, 30, 40, 0, 0, 100, 301, 100, 0, 1,
                                           1200, 1, 0}));
    Button(kIdUndo);
    EXPECT_EQ(Values(), edited);
    EXPECT_EQ(h->Text(10008), "77");
    Button(kIdUndo);
    EXPECT_EQ(Values(), reset);
}

TEST_F(EditorCommandsTest, TempoSyncCyclesAndTheEnableRulesFollow) {
    EXPECT_EQ(h->Text(kIdTempoSync), "Man");
    Button(kIdTempoSync);
    EXPECT_EQ(h->Text(kIdTempoSync), "Host");
    EXPECT_FALSE(IsWindowEnabled(h->Control(kIdDelayLSlider)));
    EXPECT_TRUE(IsWindowEnabled(h->Control(kIdTempoBox)));
    Button(kIdTempoSync);
    EXPECT_EQ(h->Text(kIdTempoSync), "Off");
    EXPECT_TRUE(IsWindowEnabled(h->Control(kIdDelayLSlider)));
    EXPECT_TRUE(IsWindowEnabled(h->Control(kIdDelayRBox)));
    EXPECT_FALSE(IsWindowEnabled(h->Control(kIdTempoBox)));
    Button(kIdTempoSync);
    EXPECT_EQ(Value(kParamTempoSync), 1);
    EXPECT_FALSE(IsWindowEnabled(h->Control(kIdDelayRBox)));
    // Link and Listen.
    Button(kIdLink);
    EXPECT_EQ(Value(kParamLink), 0);
    EXPECT_EQ(SendMessageW(h->Control(kIdLink), kButtonGetToggle, 0, 0), 0);
    Button(kIdListen);
    EXPECT_EQ(Value(kParamListen), 1);
    EXPECT_EQ(h->Text(kIdListen), "Delay");
}

TEST_F(EditorCommandsTest, SetupMenuAndSwitchingSetups) {
    MenuScript look;
    OpenMenu(kIdSetupMenu, &look);
    EXPECT_EQ(Texts(look.items), (std::vector<std::string>{"Setup A", "Setup B", "-", "Copy to B", "Copy from B"}));
    EXPECT_TRUE(look.items[0].checked);
    // Copy to B, then switch: the values shown do not change.
    Slide(10009, 64);
    MenuScript copy{3};
    OpenMenu(kIdSetupMenu, &copy);
    Button(kIdSetup);
    EXPECT_EQ(h->Text(kIdSetup), "Setup B");
    EXPECT_EQ(h->Text(10008), "64");
    MenuScript inB;
    OpenMenu(kIdSetupMenu, &inB);
    EXPECT_EQ(Texts(inB.items), (std::vector<std::string>{"Setup A", "Setup B", "-", "Copy to A", "Copy from A"}));
    EXPECT_FALSE(inB.items[0].checked);
    EXPECT_TRUE(inB.items[1].checked);
    // Choosing "Setup A" from the menu.
    Slide(10009, 20);
    MenuScript toA{0};
    OpenMenu(kIdSetupMenu, &toA);
    EXPECT_EQ(h->Text(kIdSetup), "Setup A");
    EXPECT_EQ(Value(kParamMixL), 64);
}

TEST_F(EditorCommandsTest, NoteValueMenuMarksAndChooses) {
    MenuScript pick{7};   // 1/4
    OpenMenu(kIdFactorLMenu, &pick);
    ASSERT_EQ(pick.items.size(), 20u);
    EXPECT_EQ(pick.items[0].text, "1/32");
    EXPECT_EQ(pick.items[19].text, "8");
    EXPECT_TRUE(pick.items[12].checked);
    EXPECT_EQ(Value(kParamFactorL), 7);
    EXPECT_EQ(Value(kParamDelayL), DelayFromTempo(1200, 7));   // the tempo rule ran
    // The marked entry again: still a snapshot, still the rule.
    h->prop->SetDelayL(123, 0);
    MenuScript same{7};
    OpenMenu(kIdFactorLMenu, &same);
    EXPECT_TRUE(same.items[7].checked);
    EXPECT_EQ(Value(kParamDelayL), 1250);
    Button(kIdUndo);
    EXPECT_EQ(Value(kParamDelayL), 123);
}

TEST_F(EditorCommandsTest, ReadoutAndClipLightsClear) {
    h->prop->SetLeftClip(0, 3);
    h->prop->SetRightClip(0, 1);
    Button(kIdClipRight, 0);
    EXPECT_EQ(h->prop->GetLeftClip(0), 0);
    EXPECT_EQ(h->prop->GetRightClip(0), 0);
    SendMessageW(h->Control(kIdMeterLeft), kMeterLevels, static_cast<WPARAM>(-120), 0);
    int32_t highest = 0;
    SendMessageW(h->Control(kIdMeterLeft), kMeterGetHighest, reinterpret_cast<WPARAM>(&highest), 0);
    EXPECT_EQ(highest, -120);
    Button(kIdReadout, 0);
    SendMessageW(h->Control(kIdMeterLeft), kMeterGetHighest, reinterpret_cast<WPARAM>(&highest), 0);
    EXPECT_EQ(highest, -9999);
}

TEST_F(EditorCommandsTest, HelpShowsTheViewerOrSaysWhatIsMissing) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string chm = exe;
    chm = chm.substr(0, chm.rfind('\\') + 1) + "TavrinzvDelay.chm";
    DeleteFileA(chm.c_str());
    BoxScript missing{"Error", IDOK};
    AnswerNextBox(&missing);
    Button(kIdHelp);
    ASSERT_TRUE(missing.seen);
    EXPECT_EQ(missing.text, "Unable to open the Tavrin:zv Delay help file:\n" + chm);

    ASSERT_TRUE(CopyFileA(ZV_HELP_FILE, chm.c_str(), FALSE));
    EXPECT_EQ(h->page->Help(L"ignored"), S_OK);   // the frame's Help button
    HWND viewer = nullptr;
    for (int i = 0; i < 100 && !viewer; ++i) {
        CPageHarness::Pump(20);
        viewer = FindWindowA("HH Parent", nullptr);
    }
    ASSERT_NE(viewer, nullptr);
    char title[128] = {};
    GetWindowTextA(viewer, title, sizeof(title));
    EXPECT_STREQ(title, "zvDelayDX Help");
    if (const char* hold = std::getenv("ZV_SCREENSHOT_HOLD_MS")) CPageHarness::Pump(static_cast<DWORD>(std::atoi(hold)));
    SendMessageW(viewer, WM_CLOSE, 0, 0);
    CPageHarness::Pump(50);
    DeleteFileA(chm.c_str());
}

// The HTML Help control's registered path comes back terminated whatever
// the registry holds: a value that fills the buffer without a terminator is
// no path; environment strings are expanded.
TEST(HelpViewer, RegisteredPathIsAlwaysTerminated) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0,
                              nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    char saved[1024] = {};
    DWORD savedType = 0, savedSize = sizeof saved;
    const bool had = RegQueryValueExA(key, nullptr, nullptr, &savedType, reinterpret_cast<BYTE*>(saved), &savedSize) ==
                     ERROR_SUCCESS;
    const std::string full(MAX_PATH, 'x');
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(full.data()), MAX_PATH);   // no terminator
    char path[MAX_PATH + 40];
    std::memset(path, 'Z', sizeof path);
    EXPECT_FALSE(RegisteredHtmlHelpPath(path, MAX_PATH));
    EXPECT_LT(strnlen(path, sizeof path), static_cast<size_t>(MAX_PATH));
    const char expandable[] = "%SystemRoot%\\hh.ocx";
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(expandable), sizeof expandable);
    char root[MAX_PATH] = {};
    GetEnvironmentVariableA("SystemRoot", root, MAX_PATH);
    EXPECT_TRUE(RegisteredHtmlHelpPath(path, MAX_PATH));
    EXPECT_EQ(std::string(path), std::string(root) + "\\hh.ocx");
    if (had) {
        RegSetValueExA(key, nullptr, 0, savedType, reinterpret_cast<const BYTE*>(saved), savedSize);
    } else {
        RegDeleteValueA(key, nullptr);
    }
    RegCloseKey(key);
}

namespace {

// The presets menu on a store loaded from a file of the test's.
class PresetsMenuTest : public EditorCommandsTest {
protected:
    void Load(const std::string& content) {
        char dir[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, dir);
        path = std::string(dir) + "zv-presets-menu-" + std::to_string(GetCurrentProcessId()) + ".ini";
        std::ofstream(path, std::ios::binary) << content;
        PresetStore* store = h->PageObject()->Presets();
        ASSERT_NE(store, nullptr);
        store->Open(path.c_str(), kKey, "zvDelayDX.ini");
    }
    void TearDown() override {
        if (!path.empty()) DeleteFileA(path.c_str());
        EditorCommandsTest::TearDown();
    }
    static std::string Section(int n, const char* name, const char* bank, const char* data) {
        return "[Preset" + std::to_string(n) + "]\r\nVersion=3\r\nName=" + name + "\r\nBank=" + bank +
               "\r\nData=" + data + "\r\n";
    }
    std::string FileText() {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static constexpr const char* kKey = "SOFTWARE\\Classes\\CLSID\\{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}";
    static constexpr const char* kData = "2500,7,55,20,40, 3000,9,50,15,35, 30,20,40,90,250,110,-20, 0,1400,0,0";
    std::string path;
};

}  // namespace

TEST_F(PresetsMenuTest, WithoutPresetsOnlyThePageEntries) {
    Load("");
    MenuScript look;
    OpenMenu(kIdPresets, &look);
    EXPECT_EQ(Texts(look.items), (std::vector<std::string>{"Add Preset...", "Preset Manager..."}));
}

TEST_F(PresetsMenuTest, BanksByExactTextChoosingAppliesAndMarks) {
    Load(std::string("[Plug-in]\r\nPluginName=zv:Delay\r\nCLSID=") + kKey + "\r\n" + Section(1, "Root", "", kData) +
         Section(2, "Lower", "b", kData) + Section(3, "Upper", "B", "1,2,3") + Section(4, "Also", "b", kData));
    MenuScript look;
    OpenMenu(kIdPresets, &look);
    // Sorted with "b" and "B" as one bank, but listed as two sub-menus.
    EXPECT_EQ(Texts(look.items), (std::vector<std::string>{"Add Preset...", "Preset Manager...", "-", "b", "B", "Root"}));
    ASSERT_EQ(look.items[3].sub.size(), 2u);
    EXPECT_EQ(look.items[3].sub[0].text, "Also");
    EXPECT_EQ(look.items[4].sub[0].text, "Upper");

    MenuScript choose{3, 1};   // b / Lower
    OpenMenu(kIdPresets, &choose);
    EXPECT_EQ(Values(), (std::vector<int32_t>{2500, 7, 55, 20, 40, 3000, 9, 50, 15, 35, 30, 20, 40, 90, 250, 110, -20, 0,
                                              1400, 0, 0}));
    EXPECT_EQ(h->Text(kIdDelayLBox), "250.0");
    MenuScript again;
    OpenMenu(kIdPresets, &again);
    EXPECT_EQ(again.items[1].text, "Update Preset: Lower...");
    EXPECT_TRUE(again.items[4].sub[1].checked);
    // A short Data string sets what it holds and keeps the rest.
    MenuScript upper{5, 0};
    OpenMenu(kIdPresets, &upper);
    EXPECT_EQ(Value(kParamDelayL), 1);
    EXPECT_EQ(Value(kParamFeedbkL), 3);
    EXPECT_EQ(Value(kParamDelayR), 3000);
    Button(kIdUndo);
    EXPECT_EQ(Value(kParamDelayL), 2500);
}

TEST_F(PresetsMenuTest, UpdatingAsksAndNoWritesNothing) {
    Load(std::string("[Plug-in]\r\nPluginName=zv:Delay\r\nCLSID=") + kKey + "\r\n" + Section(1, "Mine", "", kData));
    MenuScript choose{3};
    OpenMenu(kIdPresets, &choose);
    Slide(10009, 77);
    const std::string before = FileText();
    BoxScript no{"zv:Delay Preset Manager", IDNO};
    AnswerNextBox(&no);
    MenuScript update{1};
    OpenMenu(kIdPresets, &update);
    ASSERT_TRUE(no.seen);
    EXPECT_EQ(no.text, "Would you like to update the stored parameters for\nthe \"Mine\" preset with the current settings?");
    EXPECT_EQ(FileText(), before);
    BoxScript yes{"zv:Delay Preset Manager", IDYES};
    AnswerNextBox(&yes);
    MenuScript update2{1};
    OpenMenu(kIdPresets, &update2);
    EXPECT_NE(FileText().find("2500,7,55,20,77, 3000"), std::string::npos);
    EXPECT_EQ(Value(kParamMixL), 77);   // nothing applied
}

// "Add Preset..." adds the current values under the typed name and saves;
// a double click in the manager applies that preset.
TEST_F(PresetsMenuTest, AddPresetThenPickItInTheManager) {
    Load(std::string("[Plug-in]\r\nPluginName=zv:Delay\r\nCLSID=") + kKey + "\r\n" + Section(1, "Old", "", kData));
    Slide(10009, 66);
    BoxScript add{"Add zv:Delay preset", [](HWND dialog) {
                      SetDlgItemTextA(dialog, 1511, "Fresh");
                      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                  }};
    AnswerNextBox(&add);
    MenuScript menu{0};
    OpenMenu(kIdPresets, &menu);
    ASSERT_TRUE(add.seen);
    EXPECT_NE(FileText().find("Name=Fresh"), std::string::npos);
    EXPECT_NE(FileText().find("Data=5000,12,40,10,66, 5000"), std::string::npos);   // the current values

    Slide(10009, 11);
    BoxScript manager{"zv:Delay Preset Manager", [](HWND dialog) {
                          HWND tree = GetDlgItem(dialog, 1510);
                          HTREEITEM root = TreeView_GetRoot(tree);
                          HTREEITEM item = TreeView_GetChild(tree, root);
                          char text[128] = {};
                          for (; item; item = TreeView_GetNextSibling(tree, item)) {
                              TVITEMA tv{};
                              tv.mask = TVIF_TEXT;
                              tv.hItem = item;
                              tv.pszText = text;
                              tv.cchTextMax = sizeof(text);
                              SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
                              if (std::string(text) == "Fresh") break;
                          }
                          TreeView_SelectItem(tree, item);
                          NMHDR click{tree, 1510, static_cast<UINT>(NM_DBLCLK)};
                          SendMessageW(dialog, WM_NOTIFY, 1510, reinterpret_cast<LPARAM>(&click));
                      }};
    AnswerNextBox(&manager);
    MenuScript open{2};   // "Preset Manager..." below "Update Preset: Fresh..."
    OpenMenu(kIdPresets, &open);
    ASSERT_TRUE(manager.seen);
    EXPECT_EQ(Value(kParamMixL), 66);
}

// After every whole-block change the Link references are the new values:
// the next linked edit keeps the new ratio, and the partner does not jump
// by the ratio of the block before. Each change below leaves a ratio that
// differs from the one before it.
TEST_F(PresetsMenuTest, WholeBlockChangesRenewTheLinkReferences) {
    Load(std::string("[Plug-in]\r\nPluginName=zv:Delay\r\nCLSID=") + kKey + "\r\n" +
         Section(1, "Linked", "", "2500,12,40,10,30, 3000,12,40,10,30, 40,0,0,100,301,100,0, 0,1200,1,0"));
    std::vector<int32_t> state = Values();
    state[kParamDelayL] = 3000;
    state[kParamDelayR] = 4500;
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"automation", [&] { h->prop->SetDelayR(2000, 1); h->Tick(2); }},
        {"state reload",
         [&] {
             h->prop->SetAllParams(state.data());
             SendMessageW(h->Page(), WM_COMMAND, MAKEWPARAM(kIdPlugInNotify, 100), 0);
         }},
        {"reset", [&] { Button(kIdReset); }},
        {"preset", [&] { MenuScript pick{3}; OpenMenu(kIdPresets, &pick); }},
        {"undo of a reset", [&] { Button(kIdReset); Button(kIdUndo); }},
        {"setup switch", [&] { Button(kIdSetup); }},
        {"copy from the other setup", [&] { MenuScript copy{4}; OpenMenu(kIdSetupMenu, &copy); }},
    };
    for (const auto& change : changes) {
        change.second();
        const int32_t left = Value(kParamDelayL), right = Value(kParamDelayR);
        const int32_t moved = left == 2000 ? 3000 : 2000;
        Slide(kIdDelayLSlider, moved);
        EXPECT_EQ(Value(kParamDelayR), static_cast<int32_t>(static_cast<int64_t>(right) * moved / left)) << change.first;
    }
}

// A host closing its frame while the manager or the add dialog is open:
// inside the dialog's loop the page is deactivated, disconnected and
// released and the frame destroyed. The command comes back to a page that
// must touch nothing that went, and the preset file keeps its one preset.
TEST_F(PresetsMenuTest, HostClosesItsFrameWhileAPresetDialogIsOpen) {
    const std::pair<int, const char*> dialogs[] = {{1, "zv:Delay Preset Manager"}, {0, "Add zv:Delay preset"}};
    for (const auto& dialog : dialogs) {
        if (!h->page) {
            delete h;
            h = new CPageHarness();
            ASSERT_TRUE(h->Open());
        }
        Load(std::string("[Plug-in]\r\nPluginName=zv:Delay\r\nCLSID=") + kKey + "\r\n" + Section(1, "Old", "", kData));
        BoxScript closing{dialog.second, [this](HWND window) {
                              h->page->Deactivate();
                              h->page->SetObjects(0, nullptr);
                              h->page->SetPageSite(nullptr);
                              h->page->Release();
                              h->page = nullptr;
                              DestroyWindow(h->frame);
                              h->frame = nullptr;
                              if (IsWindow(window)) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                          }};
        AnswerNextBox(&closing);
        MenuScript menu{dialog.first};
        OpenMenu(kIdPresets, &menu);
        EXPECT_TRUE(closing.seen) << dialog.second;
        EXPECT_NE(FileText().find("Name=Old"), std::string::npos) << dialog.second;
        EXPECT_EQ(FileText().find("[Preset2]"), std::string::npos) << dialog.second;
        CPageHarness::Pump(50);
    }
}

// With ZV_SCREENSHOT_HOLD_MS set, the presets menu of the factory bank stays
// open that long (for tools/editor-screenshot --presets-menu).
TEST_F(PresetsMenuTest, Screenshot) {
    std::ifstream factory(ZV_FACTORY_BANK, std::ios::binary);
    Load(std::string(std::istreambuf_iterator<char>(factory), std::istreambuf_iterator<char>()));
    const char* hold = std::getenv("ZV_SCREENSHOT_HOLD_MS");
    MenuScript menu;
    menu.holdMs = hold ? static_cast<unsigned>(std::atoi(hold)) : 50;
    OpenMenu(kIdPresets, &menu);
    EXPECT_GE(menu.items.size(), 7u);
}
