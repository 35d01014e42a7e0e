// The preset manager and its small dialogs under Wine, on a real display,
// driven as a user would: the test's main thread runs the modal dialog while
// a watcher thread finds it, reads its tree, clicks, presses keys and fills
// in the common file dialogs. Questions of the store are answered through
// its message-box seam (the real box is covered by MessageBoxWinTest).
// Needs a display (tools/check provides one).
//
// ZV_HOLD_MANAGER=<seconds> with --gtest_filter=*HoldForScreenshot keeps
// the manager on screen for a picture.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "presets/DataString.h"
#include "presets/PresetDialogIds.h"
#include "presets/PresetDialogs.h"
#include "presets/PresetStore.h"

#ifndef MN_GETHMENU
#define MN_GETHMENU 0x01E1
#endif

namespace {

const char kKey[] = "SOFTWARE\\Classes\\CLSID\\{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}";
const char kManagerTitle[] = "zv:Delay Preset Manager";
const char kOwnerData[] = "3750,11,45,30,35, 3750,11,45,30,35, 40,0,40,100,220,100,0, 2,1200,1,0";
const char kSaveChanges[] = "Save changes before exiting the Preset Manager?";

// Records every message box and answers from a queue (IDYES when empty).
// Shown on the dialog's thread, read by the watcher: hence the lock.
class CRecordingBox : public IPresetMessageBox {
public:
    int Show(HWND owner, const char* text, const char* caption, UINT flags) override {
        std::lock_guard<std::mutex> hold(m_lock);
        m_shown.push_back({owner, text, caption, flags});
        if (m_answers.empty()) return IDYES;
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    struct Shown {
        HWND owner;
        std::string text, caption;
        UINT flags;
    };
    std::vector<Shown> Seen() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_shown;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const Shown& s : Seen()) texts.push_back(s.text);
        return texts;
    }
    void Answer(std::initializer_list<int> answers) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_answers.insert(m_answers.end(), answers);
    }

private:
    std::mutex m_lock;
    std::vector<Shown> m_shown;
    std::deque<int> m_answers;
};

// The windows of this test live on a desktop of their own, started from
// this process on the test's display (see MessageBoxWinTest).
HDESK TestDesktop() {
    static HDESK desktop = CreateDesktopA("zvpresets-manager", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    return desktop;
}

// The editor page's part: answers the store's request for the current values.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMsgGetCurrentData) {
        char* data = AllocPresetData(kDataStringSize);
        if (data) std::snprintf(data, kDataStringSize, "%s", kOwnerData);
        *reinterpret_cast<char**>(wParam) = data;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string TempPath(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "zvmanager-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::string Section(int n, const char* name, const char* bank, const char* data) {
    return "[Preset" + std::to_string(n) + "]\r\nVersion=3\r\nName=" + name + "\r\nBank=" + bank + "\r\nData=" + data +
           "\r\n";
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The system's profile reader on the file as it is on disk now.
std::string Profile(const std::string& path, const char* section, const char* key) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    char value[512];
    GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, path.c_str());
    return value;
}

// --- Finding and reading windows (watcher thread) ------------------------------

// Waits up to 20 s for a visible window of the class (and title); null if none came.
HWND WaitWindow(const char* windowClass, const char* title) {
    for (int i = 0; i < 2000; ++i) {
        HWND window = FindWindowA(windowClass, title);
        if (window && IsWindowVisible(window)) return window;
        Sleep(10);
    }
    ADD_FAILURE() << "no window " << windowClass << " \"" << (title ? title : "") << "\"";
    return nullptr;
}

HWND WaitDialog(const char* title) { return WaitWindow("#32770", title); }

// Waits (up to 20 s) for a condition about the dialog thread's state: each
// round first lets the dialog finish whatever message it is handling.
void WaitUntil(HWND dialog, const std::function<bool()>& condition) {
    for (int i = 0; i < 2000; ++i) {
        SendMessageA(dialog, WM_NULL, 0, 0);
        if (condition()) return;
        Sleep(10);
    }
    ADD_FAILURE() << "condition never came true";
}

void WaitGone(HWND window) {
    for (int i = 0; i < 2000 && IsWindow(window); ++i) Sleep(10);
    EXPECT_FALSE(IsWindow(window));
}

HTREEITEM Next(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// "text =value image/selected" for item; value "root", "bank" or the id.
std::string Describe(HWND tree, HTREEITEM item) {
    char text[256] = {};
    TVITEMA query = {};
    query.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    const uint32_t value = static_cast<uint32_t>(query.lParam);
    const std::string shown = value == 0xAABBCCDD ? "root" : value == 0xBAADBEEF ? "bank" : std::to_string(value);
    return std::string(text) + " =" + shown + " " + std::to_string(query.iImage) + "/" +
           std::to_string(query.iSelectedImage);
}

// Every item, depth first, indented by two blanks per level.
void ListItems(HWND tree, HTREEITEM first, int depth, std::vector<std::string>& out) {
    for (HTREEITEM item = first; item; item = Next(tree, item, TVGN_NEXT)) {
        out.push_back(std::string(2 * depth, ' ') + Describe(tree, item));
        ListItems(tree, Next(tree, item, TVGN_CHILD), depth + 1, out);
    }
}

std::vector<std::string> TreeListing(HWND tree) {
    std::vector<std::string> out;
    ListItems(tree, Next(tree, nullptr, TVGN_ROOT), 0, out);
    return out;
}

HTREEITEM FindItem(HWND tree, HTREEITEM first, const std::string& text) {
    for (HTREEITEM item = first; item; item = Next(tree, item, TVGN_NEXT)) {
        if (Describe(tree, item).rfind(text + " =", 0) == 0) return item;
        if (HTREEITEM inner = FindItem(tree, Next(tree, item, TVGN_CHILD), text)) return inner;
    }
    return nullptr;
}

HTREEITEM Select(HWND tree, const std::string& text) {
    HTREEITEM item = FindItem(tree, Next(tree, nullptr, TVGN_ROOT), text);
    EXPECT_NE(item, nullptr) << text;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    return item;
}

// The centre of an item's text, in the tree's client coordinates.
LPARAM ItemPoint(HWND tree, HTREEITEM item) {
    RECT rect = {};
    std::memcpy(&rect, &item, sizeof item);   // the item goes in, its rectangle comes out
    SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
    return MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

std::string SelectedText(HWND tree) {
    HTREEITEM item = Next(tree, nullptr, TVGN_CARET);
    return item ? Describe(tree, item) : "<none>";
}

// The items of a menu: text (or "-" for a separator), "(off)" when grayed.
std::vector<std::string> MenuItems(HMENU menu) {
    std::vector<std::string> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        if (state & MF_SEPARATOR) {
            out.push_back("-");
        } else {
            out.push_back(std::string(text) + ((state & MF_GRAYED) ? " (off)" : ""));
        }
    }
    return out;
}

// The file name field of a common file dialog (a ComboBoxEx holding an edit).
HWND FileNameEdit(HWND fileDialog) {
    HWND combo = GetDlgItem(fileDialog, 1148);
    HWND inner = FindWindowExA(combo, nullptr, "ComboBox", nullptr);
    HWND edit = FindWindowExA(inner ? inner : combo, nullptr, "Edit", nullptr);
    return edit ? edit : combo;
}

// Chooses path in the file dialog titled title; a save dialog's question
// whether to replace an existing file is answered Yes.
void ChooseFile(const char* title, const std::string& path, std::string* proposed = nullptr) {
    HWND dialog = WaitDialog(title);
    if (!dialog) return;
    if (proposed) {
        char text[MAX_PATH] = {};
        GetWindowTextA(FileNameEdit(dialog), text, sizeof text);
        *proposed = text;
    }
    SendMessageA(GetDlgItem(dialog, 1148), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 2000 && IsWindow(dialog); ++i) {
        HWND prompt = nullptr;
        while ((prompt = FindWindowExA(nullptr, prompt, "#32770", nullptr)) && GetWindow(prompt, GW_OWNER) != dialog) {
        }
        if (prompt && IsWindowVisible(prompt)) PostMessageA(prompt, WM_COMMAND, IDYES, 0);
        Sleep(10);
    }
    WaitGone(dialog);
}

class PresetManagerWin : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (tools/start-display)";
        ASSERT_TRUE(SetThreadDesktop(TestDesktop()));
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = OwnerProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "zvManagerTestOwner";
        RegisterClassA(&windowClass);
    }

    void SetUp() override {
        m_owner = CreateWindowExA(0, "zvManagerTestOwner", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 520,
                                  440, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_owner, nullptr);
        m_ini = TempPath("store.ini");
        std::ofstream(m_ini, std::ios::binary)
            << "[Plug-in]\r\nPluginName=zv:Delay\r\nCLSID=" << kKey << "\r\n"
            << Section(1, "Alpha", "b", "1,1") << Section(2, "Beta", "B", "2,2") << Section(3, "Lonely", "Solo", "3,3")
            << Section(4, "a:b c", "", "4,4") << Section(5, "Root Two", "", "5,5");
        m_store = new PresetStore(GetModuleHandleA(nullptr), m_owner, "zv:Delay");
        m_store->SetMessageBox(&m_box);
        m_store->Open(m_ini.c_str(), kKey, "unused.ini");
        ASSERT_EQ(m_store->Working().Count(), 5);
    }

    void TearDown() override {
        delete m_store;
        DestroyWindow(m_owner);
        for (const std::string& path : m_files) DeleteFileA(path.c_str());
        DeleteFileA(m_ini.c_str());
    }

    // Runs the manager while script drives it from a watcher thread; the
    // script gets the dialog and its tree. Returns RunManager's result.
    int32_t RunManagerWith(const std::function<void(HWND, HWND)>& script, PresetStore* store = nullptr) {
        std::thread watcher([&] {
            SetThreadDesktop(TestDesktop());
            HWND dialog = WaitDialog(kManagerTitle);
            if (!dialog) return;
            script(dialog, GetDlgItem(dialog, IDC_PRESET_TREE));
            if (IsWindow(dialog)) {   // a failed script
                EndMenu();
                PostMessageA(dialog, WM_COMMAND, IDC_PRESET_CANCEL, 0);
            }
        });
        const int32_t result = RunManager(store ? *store : *m_store);
        watcher.join();
        return result;
    }

    // "bank/name" of every preset in list order.
    std::vector<std::string> Presets() const {
        std::vector<std::string> out;
        for (int i = 0; i < m_store->Working().Count(); ++i) {
            const PresetRecord* r = m_store->Working().At(i);
            out.push_back(std::string(r->bank) + "/" + r->name);
        }
        return out;
    }

    std::string File(const char* name) {
        m_files.push_back(TempPath(name));
        DeleteFileA(m_files.back().c_str());
        return m_files.back();
    }

    HWND m_owner = nullptr;
    PresetStore* m_store = nullptr;
    CRecordingBox m_box;
    std::string m_ini;
    std::vector<std::string> m_files;
    const std::vector<std::string> m_original = {"b/Alpha", "B/Beta", "Solo/Lonely", "/a:b c", "/Root Two"};
};

}  // namespace

// The tree as it opens (the current preset selected); a double click on a
// preset of an unchanged list ends the manager with its id.
TEST_F(PresetManagerWin, OpensWithTheTreeAndADoubleClickReturnsTheId) {
    m_store->SetCurrentId(3502);   // Beta
    std::vector<std::string> listing;
    std::string selected;
    BOOL update = FALSE, rename = TRUE;
    EXPECT_EQ(RunManagerWith([&](HWND dialog, HWND tree) {
                  listing = TreeListing(tree);
                  selected = SelectedText(tree);
                  update = IsWindowEnabled(GetDlgItem(dialog, IDC_PRESET_UPDATE));
                  Select(tree, "Available zv:Delay presets");
                  rename = IsWindowEnabled(GetDlgItem(dialog, IDC_PRESET_RENAME));
                  HTREEITEM lonely = Select(tree, "Lonely");
                  PostMessageA(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, ItemPoint(tree, lonely));
              }),
              3503);
    const std::vector<std::string> expected = {
        "Available zv:Delay presets =root 0/0",
        "  b =bank 2/3",
        "    Alpha =3501 1/1",
        "    Beta =3502 1/1",
        "  Solo =bank 2/3",
        "    Lonely =3503 1/1",
        "  a:b c =3504 1/1",
        "  Root Two =3505 1/1",
    };
    EXPECT_EQ(listing, expected);
    EXPECT_EQ(selected, "Beta =3502 1/1");
    EXPECT_TRUE(update);
    EXPECT_FALSE(rename);   // the root cannot be renamed
    EXPECT_TRUE(m_box.Seen().empty());
    EXPECT_FALSE(m_store->Modified());
    EXPECT_EQ(m_store->ManagerWindow(), nullptr);
    EXPECT_EQ(m_store->TreeWindow(), nullptr);
}

// Deleting the only preset of a bank takes the bank away; "Cancel" then
// drops the change without asking.
TEST_F(PresetManagerWin, DeletingTheLastPresetOfABankRemovesTheBankAndCancelDropsIt) {
    std::vector<std::string> listing;
    EXPECT_EQ(RunManagerWith([&](HWND dialog, HWND tree) {
                  Select(tree, "Lonely");
                  SendMessageA(dialog, WM_COMMAND, IDC_PRESET_DELETE, 0);
                  listing = TreeListing(tree);
                  SendMessageA(dialog, WM_COMMAND, IDC_PRESET_CANCEL, 0);
              }),
              0);
    EXPECT_EQ(listing, (std::vector<std::string>{"Available zv:Delay presets =root 0/0", "  b =bank 2/3",
                                                  "    Alpha =3501 1/1", "    Beta =3502 1/1", "  a:b c =3504 1/1",
                                                  "  Root Two =3505 1/1"}));
    const auto seen = m_box.Seen();
    ASSERT_EQ(seen.size(), 1u);   // no question on Cancel
    EXPECT_EQ(seen[0].text, "Do you want to delete the zv:Delay preset \"Lonely\"?");
    EXPECT_EQ(seen[0].caption, kManagerTitle);
    EXPECT_EQ(seen[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(Presets(), m_original);
}

// Escape with changes asks; Cancel in the question stays, No drops them.
TEST_F(PresetManagerWin, EscapeAfterChangesAsksBeforeLeaving) {
    m_box.Answer({IDYES, IDCANCEL, IDNO});
    HWND manager = nullptr;
    EXPECT_EQ(RunManagerWith([&](HWND dialog, HWND tree) {
                  manager = dialog;
                  Select(tree, "Root Two");
                  PostMessageA(tree, WM_KEYDOWN, VK_DELETE, 0);   // the tree's Delete key
                  WaitUntil(dialog, [&] { return m_box.Seen().size() == 1; });
                  PostMessageA(tree, WM_KEYDOWN, VK_ESCAPE, 0);
                  WaitUntil(dialog, [&] { return m_box.Seen().size() == 2; });
                  EXPECT_TRUE(IsWindowVisible(dialog));   // Cancel: still open
                  PostMessageA(tree, WM_KEYDOWN, VK_ESCAPE, 0);
                  WaitGone(dialog);
              }),
              0);
    const auto seen = m_box.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].text, "Do you want to delete the zv:Delay preset \"Root Two\"?");
    for (int i : {1, 2}) {
        EXPECT_EQ(seen[i].text, kSaveChanges);
        EXPECT_EQ(seen[i].owner, manager);
        EXPECT_EQ(seen[i].caption, kManagerTitle);
        EXPECT_EQ(seen[i].flags, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION));
    }
    EXPECT_EQ(Presets(), m_original);
}

// Renaming a bank renames it in every preset of it (whatever the letter
// case), Update takes the owner's values, and Save writes the file.
TEST_F(PresetManagerWin, RenameABankUpdateAndSave) {
    std::string renameCaption, oldName;
    EXPECT_EQ(RunManagerWith([&](HWND dialog, HWND tree) {
                  Select(tree, "b");
                  PostMessageA(dialog, WM_COMMAND, IDC_PRESET_RENAME, 0);
                  HWND rename = WaitDialog("Rename zv:Delay bank");
                  if (!rename) return;
                  char text[128] = {};
                  GetDlgItemTextA(rename, IDC_PRESET_NAME, text, sizeof text);
                  oldName = text;
                  SetDlgItemTextA(rename, IDC_PRESET_NAME, "Echoes");
                  PostMessageA(rename, WM_COMMAND, IDOK, 0);
                  WaitGone(rename);
                  Select(tree, "Lonely");
                  SendMessageA(dialog, WM_COMMAND, IDC_PRESET_UPDATE, 0);
                  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
              }),
              0);
    EXPECT_EQ(oldName, "b");
    EXPECT_EQ(Presets(), (std::vector<std::string>{"Echoes/Alpha", "Echoes/Beta", "Solo/Lonely", "/a:b c", "/Root Two"}));
    EXPECT_EQ(m_box.Texts(), (std::vector<std::string>{"Would you like to update the stored parameters for\nthe "
                                                       "\"Lonely\" preset with the current settings?"}));
    EXPECT_STREQ(m_store->FindById(3503)->data, kOwnerData);
    EXPECT_EQ(Profile(m_ini, "Preset2", "Bank"), "Echoes");
    EXPECT_EQ(Profile(m_ini, "Preset3", "Data"), kOwnerData);
}

// The "Move Preset" sub-menu: no "to Root" for a root preset, the banks
// other than the preset's own (banks differing in case are one). Chosen from
// the keyboard: a bank entry (its bank's first preset has the id 5001, the
// same number as "to New Bank...": the entry still moves to the bank), and
// "to Root" for a banked preset.
TEST_F(PresetManagerWin, ContextMenuMovesPresets) {
    m_store->FindById(3503)->id = 5001;   // Lonely, the only preset of "Solo"
    std::vector<std::string> rootMenu, rootMove, bankMove, listing;
    std::string selected;
    EXPECT_EQ(RunManagerWith([&](HWND dialog, HWND tree) {
                  // Right-clicks the item (opening its bank first) and waits for the menu.
                  auto openMenu = [&](const char* bank, const char* item, HMENU& popup) -> HWND {
                      HTREEITEM parent = Next(tree, nullptr, TVGN_ROOT);
                      if (bank) {
                          parent = FindItem(tree, parent, bank);
                          SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
                      }
                      const LPARAM at = ItemPoint(tree, FindItem(tree, parent, item));
                      PostMessageA(tree, WM_RBUTTONDOWN, MK_RBUTTON, at);
                      PostMessageA(tree, WM_RBUTTONUP, 0, at);
                      // The new context menu's own window: a menu window of the
                      // previous one (or its sub-menu) may still be on its way out.
                      const HMENU previous = popup;
                      for (int i = 0; i < 2000; ++i) {
                          HWND menu = FindWindowA("#32768", nullptr);
                          HMENU shown = menu && IsWindowVisible(menu)
                                            ? reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0))
                                            : nullptr;
                          char first[32] = {};
                          if (shown) GetMenuStringA(shown, 0, first, sizeof(first), MF_BYPOSITION);
                          if (shown && shown != previous && std::string(first) == "Add...") {
                              popup = shown;
                              return menu;
                          }
                          Sleep(10);
                      }
                      ADD_FAILURE() << "no context menu";
                      return nullptr;
                  };
                  HMENU popup = nullptr;
                  HWND menu = openMenu(nullptr, "a:b c", popup);
                  if (!menu) return;
                  rootMenu = MenuItems(popup);
                  rootMove = MenuItems(GetSubMenu(popup, GetMenuItemCount(popup) - 1));
                  selected = SelectedText(tree);
                  // Up: the last item, "Move Preset"; Right opens it on its first
                  // item; Up again wraps to its last, the bank "Solo".
                  for (WPARAM key : {VK_UP, VK_RIGHT, VK_UP, VK_RETURN}) PostMessageA(menu, WM_KEYDOWN, key, 0);
                  WaitUntil(dialog, [&] { return std::string(m_store->FindById(3504)->bank) == "Solo"; });

                  menu = openMenu("b", "Alpha", popup);
                  if (!menu) return;
                  bankMove = MenuItems(GetSubMenu(popup, GetMenuItemCount(popup) - 1));
                  for (WPARAM key : {VK_UP, VK_RIGHT, VK_RETURN}) PostMessageA(menu, WM_KEYDOWN, key, 0);
                  WaitUntil(dialog, [&] { return m_store->FindById(3501)->bank[0] == '\0'; });
                  listing = TreeListing(tree);
                  SendMessageA(dialog, WM_COMMAND, IDC_PRESET_CANCEL, 0);
              }),
              0);
    EXPECT_EQ(selected, "a:b c =3504 1/1");   // the right click selected it
    EXPECT_EQ(rootMenu, (std::vector<std::string>{"Add...", "Update...", "Rename...", "Delete", "-", "Move Preset"}));
    EXPECT_EQ(rootMove, (std::vector<std::string>{"to New Bank...", "-", "b", "Solo"}));
    EXPECT_EQ(bankMove, (std::vector<std::string>{"to Root", "to New Bank...", "-", "Solo"}));
    EXPECT_EQ(listing, (std::vector<std::string>{"Available zv:Delay presets =root 0/0", "  B =bank 2/3",
                                                  "    Beta =3502 1/1", "  Solo =bank 2/3", "    a:b c =3504 1/1",
                                                  "    Lonely =5001 1/1", "  Alpha =3501 1/1", "  Root Two =3505 1/1"}));
    EXPECT_EQ(Presets(), m_original);   // Cancel dropped the moves
}

// A save that fails (the file's folder is missing) keeps the manager open
// with its changes; the store has told the user.
TEST_F(PresetManagerWin, AFailedSaveKeepsTheManagerOpen) {
    PresetStore store(GetModuleHandleA(nullptr), m_owner, "zv:Delay");
    store.SetMessageBox(&m_box);
    store.Open("C:\\no-such-folder\\zvDelayDX.ini", kKey, "unused.ini");
    bool open = false;
    RunManagerWith(
        [&](HWND dialog, HWND) {
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
            open = IsWindowVisible(dialog) != FALSE;
            SendMessageA(dialog, WM_COMMAND, IDC_PRESET_CANCEL, 0);
        },
        &store);
    EXPECT_TRUE(open);
    ASSERT_EQ(m_box.Seen().size(), 1u);
    EXPECT_EQ(m_box.Seen()[0].text.rfind("The presets could not be saved", 0), 0u);
}

// Export proposes the preset's name made safe for a file name and writes the
// one preset; importing a file twice asks about each duplicate.
TEST_F(PresetManagerWin, ExportAndImportTwice) {
    const std::string exported = File("export.ini");
    const std::string imports = File("imports.ini");
    std::ofstream(imports, std::ios::binary) << "[Plug-in]\r\nCLSID=" << kKey << "\r\n"
                                             << Section(1, "Imp A", "Imports", "7,7") << Section(2, "Imp B", "", "8,8");
    m_box.Answer({IDYES, IDNO});
    std::string proposed;
    std::vector<std::string> imported;
    EXPECT_EQ(RunManagerWith([&](HWND dialog, HWND tree) {
                  Select(tree, "a:b c");
                  PostMessageA(dialog, WM_COMMAND, IDC_PRESET_EXPORT, 0);
                  ChooseFile("Export preset", exported, &proposed);
                  WaitUntil(dialog, [&] { return m_store->SaveCount() == 1; });
                  for (int32_t round : {1, 2}) {
                      PostMessageA(dialog, WM_COMMAND, IDC_PRESET_IMPORT, 0);
                      ChooseFile("Import Preset(s)", imports);
                      WaitUntil(dialog, [&] { return m_store->OpenCount() == round; });
                  }
                  imported = Presets();
                  SendMessageA(dialog, WM_COMMAND, IDC_PRESET_CANCEL, 0);
              }),
              0);
    EXPECT_EQ(proposed, "a_b_c.ini");
    EXPECT_EQ(Profile(exported, "Plug-in", "PluginName"), "zv:Delay");
    EXPECT_EQ(Profile(exported, "Plug-in", "CLSID"), kKey);
    EXPECT_EQ(Profile(exported, "Plug-in", "DefaultPreset"), "<none>");
    EXPECT_EQ(Profile(exported, "Preset1", "Name"), "a:b c");
    EXPECT_EQ(Profile(exported, "Preset1", "Data"), "4,4");
    EXPECT_EQ(Profile(exported, "Preset2", "Name"), "<none>");
    // The first import added both; the second asked twice: Yes added a copy.
    const std::string dup = "\" you are importing already exists in the zv:Delay preset list.\nDo you want to add it anyway?";
    EXPECT_EQ(m_box.Texts(), (std::vector<std::string>{"The preset \"Imp A" + dup, "The preset \"Imp B" + dup}));
    EXPECT_EQ(imported, (std::vector<std::string>{"b/Alpha", "B/Beta", "Imports/Imp A", "Imports/Imp A", "Solo/Lonely",
                                                   "/a:b c", "/Imp B", "/Root Two"}));
    EXPECT_EQ(Presets(), m_original);   // and Cancel dropped them all
}

// Export writes a whole new file: a bank exported again over its earlier
// file no longer holds the preset deleted since. It refuses another
// plug-in's file and the store's own file, saying why, and leaves both as
// they were: the Save that follows keeps every preset.
TEST_F(PresetManagerWin, ExportReplacesTheFileAndRefusesOthers) {
    const std::string bank = File("bank.ini"), other = File("other.ini");
    const std::string theirs = "[Plug-in]\r\nPluginName=Other\r\nCLSID=SOFTWARE\\Classes\\CLSID\\{0D3C5E2A-7B41-4F0E-"
                               "9A6C-5B1E2D3F4A70}\r\n" + Section(1, "T1", "", "1") + Section(2, "T2", "", "2");
    std::ofstream(other, std::ios::binary) << theirs;
    const std::string own = ReadBytes(m_ini);
    m_box.Answer({IDYES});   // delete Beta
    int32_t exports = 0;
    RunManagerWith([&](HWND dialog, HWND tree) {
        auto exportTo = [&](const char* item, const char* title, const std::string& path) {
            Select(tree, item);
            PostMessageA(dialog, WM_COMMAND, IDC_PRESET_EXPORT, 0);
            ChooseFile(title, path);
            WaitUntil(dialog, [&] { return m_store->SaveCount() == exports + 1; });
            ++exports;
        };
        exportTo("b", "Export preset bank", bank);
        Select(tree, "Beta");
        PostMessageA(dialog, WM_COMMAND, IDC_PRESET_DELETE, 0);
        WaitUntil(dialog, [&] { return m_box.Seen().size() == 1; });
        exportTo("b", "Export preset bank", bank);
        exportTo("Lonely", "Export preset", other);
        exportTo("a:b c", "Export preset", m_ini);
        EXPECT_EQ(ReadBytes(m_ini), own);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(Profile(bank, "Preset1", "Name") + Profile(bank, "Preset2", "Name"), "Alpha<none>");
    EXPECT_EQ(ReadBytes(other), theirs);
    const std::vector<std::string> texts = m_box.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1], "The presets could not be exported because the file\n\"" + other +
                            "\"\ndoes not contain preset data compatible with this plug-in.\n"
                            "The file has been left as it was.");
    EXPECT_EQ(texts[2], "The presets could not be exported to\n\"" + m_ini +
                            "\"\nbecause it is the preset file that holds all your presets.\n"
                            "The file has been left as it was; choose another file to export to.");
    PresetStore reread(nullptr, nullptr, "zv:Delay");
    reread.Open(m_ini.c_str(), kKey, "unused.ini");
    EXPECT_EQ(reread.Working().Count(), 4);   // all but Beta, Alpha among them
    EXPECT_STREQ(reread.Working().At(0)->name, "Alpha");
}

// The add dialog: an empty name is refused and the dialog stays; a named
// preset gets the owner's values, version 3, the next id, and is current.
TEST_F(PresetManagerWin, AddPresetDialog) {
    std::vector<std::string> banks;
    HWND addDialog = nullptr;
    bool stayed = false;
    std::thread watcher([&] {
        SetThreadDesktop(TestDesktop());
        addDialog = WaitDialog("Add zv:Delay preset");
        if (!addDialog) return;
        HWND combo = GetDlgItem(addDialog, IDC_PRESET_BANK);
        for (int i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
            char text[128] = {};
            SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            banks.push_back(text);
        }
        PostMessageA(addDialog, WM_COMMAND, IDOK, 0);
        WaitUntil(addDialog, [&] { return m_box.Seen().size() == 1; });
        stayed = IsWindowVisible(addDialog) != FALSE;
        SetDlgItemTextW(addDialog, IDC_PRESET_NAME, L"Fresh One \x65E5\x672C");
        SetDlgItemTextA(addDialog, IDC_PRESET_BANK, "New Bank");
        PostMessageA(addDialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(RunAddPresetDialog(*m_store, m_owner), 1);
    watcher.join();
    EXPECT_EQ(banks, (std::vector<std::string>{"b", "Solo"}));   // "B" matches "b"
    EXPECT_TRUE(stayed);
    const auto seen = m_box.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Unable to add preset because no name was specified.");
    EXPECT_EQ(seen[0].owner, addDialog);
    EXPECT_EQ(seen[0].flags, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    ASSERT_EQ(m_store->Working().Count(), 6);
    const PresetRecord* added = m_store->Working().At(5);
    EXPECT_STREQ(added->name, u8"Fresh One 日本");
    EXPECT_STREQ(added->bank, "New Bank");
    EXPECT_STREQ(added->data, kOwnerData);
    EXPECT_EQ(added->version, 3);
    EXPECT_EQ(added->id, 3506);
    EXPECT_EQ(m_store->CurrentId(), 3506);
    EXPECT_TRUE(m_store->Modified());
}

// A preset added after the one with the largest id was deleted gets an id of
// its own: double-clicking it and answering No to saving (which drops both
// changes) applies nothing, not the deleted preset.
TEST_F(PresetManagerWin, NoReusedIdAfterADeletionAndNo) {
    m_box.Answer({IDYES, IDNO});   // delete "Root Two"; do not save
    const int32_t chosen = RunManagerWith([&](HWND dialog, HWND tree) {
        Select(tree, "Root Two");
        PostMessageA(dialog, WM_COMMAND, IDC_PRESET_DELETE, 0);
        WaitUntil(dialog, [&] { return m_box.Seen().size() == 1; });
        PostMessageA(dialog, WM_COMMAND, IDC_PRESET_ADD, 0);
        HWND add = WaitDialog("Add zv:Delay preset");
        if (!add) return;
        SetDlgItemTextA(add, IDC_PRESET_NAME, "Fresh");
        PostMessageA(add, WM_COMMAND, IDOK, 0);
        WaitGone(add);
        HTREEITEM fresh = Select(tree, "Fresh");
        PostMessageA(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, ItemPoint(tree, fresh));
        WaitGone(dialog);
    });
    EXPECT_EQ(chosen, 3506);
    EXPECT_EQ(m_store->GetPresetData(chosen, nullptr), nullptr);
    EXPECT_EQ(Presets(), m_original);
    EXPECT_EQ(m_box.Texts().back(), kSaveChanges);
}

// Not a check: shows the manager for ZV_HOLD_MANAGER seconds for a picture.
TEST_F(PresetManagerWin, HoldForScreenshot) {
    const char* hold = getenv("ZV_HOLD_MANAGER");
    if (!hold) GTEST_SKIP() << "set ZV_HOLD_MANAGER=<seconds> to hold the manager on screen";
    RunManagerWith([&](HWND dialog, HWND tree) {
        Select(tree, "Lonely");
        Select(tree, "Beta");
        RECT rect;
        GetWindowRect(dialog, &rect);
        std::printf("manager at %ld,%ld size %ldx%ld\n", rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top);
        std::fflush(stdout);
        Sleep(1000 * std::atoi(hold));
        SendMessageA(dialog, WM_COMMAND, IDC_PRESET_CANCEL, 0);
    });
}
