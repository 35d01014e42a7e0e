// The editor page from the keyboard: Tab and Shift+Tab in reading order,
// through the page's own handling and through a host's dialog manager; key
// edits on every control type making the same undo snapshots and setter
// calls as the mouse; Enter and F2 opening the value editor, and where the
// focus goes when it closes; the keys inside the system's property frame.
#include <gtest/gtest.h>
#include <olectl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PageHarness.h"
#include "editor/EditorLayout.h"
#include "editor/Toolkit.h"
#include "host/FilterSetupData.h"
#include "tests/host/PlugInTestSupport.h"

namespace {

class EditorKeyboardTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        recorder = std::make_unique<CRecordingPlugIn>(h->prop);
        h->object = recorder.get();
        ASSERT_TRUE(h->Open());
        h->Tick();   // the first tick's undo snapshot out of the way
    }
    // A key pressed and released on the window with the focus; with a
    // dialog manager, the host's loop hands the messages to it first.
    void Press(UINT key, bool shift = false) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        HWND target = GetFocus();
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dialogManager && IsDialogMessageW(h->Page(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
    }
    void Click(int id, POINT at = {8, 8}, POINT move = {0, 0}) {
        HWND c = h->Control(id);
        KeepCursorInside();
        PostMessageW(c, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        if (move.x || move.y) PostMessageW(c, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at.x + move.x, at.y + move.y));
        PostMessageW(c, WM_LBUTTONUP, 0, MAKELPARAM(at.x + move.x, at.y + move.y));
        h->Pump(0);
    }
    // The defaults again, as a loaded state brings them.
    void Restart() {
        h->prop->SetAllParams(kDefaultBlock.v);
        SendMessageW(h->Page(), WM_COMMAND, MAKEWPARAM(kIdPlugInNotify, 100), 0);
        recorder->calls.clear();
    }
    std::vector<int> TabAround(bool shift) {
        std::vector<int> seen;
        for (int i = 0; i <= kReadingOrderCount; ++i) {
            Press(VK_TAB, shift);
            seen.push_back(GetDlgCtrlID(GetFocus()));
        }
        return seen;
    }
    std::unique_ptr<CRecordingPlugIn> recorder;
    bool dialogManager = false;
};

// Every enabled button, value box and slider, in reading order (Tempo sync
// "Man": the Delay boxes and sliders are disabled), then round again.
const std::vector<int> kTabStops = {10100, 10101, 10102, 10103, 10104, 10105, 10106, 10002, 10003, 10004,
                                    10005, 10006, 10007, 10008, 10009, 10060, 10072, 10022, 10023, 10024,
                                    10025, 10026, 10027, 10028, 10029, 10073, 10070, 10071, 10040, 10041,
                                    10042, 10043, 10044, 10045, 10046, 10047};

}  // namespace

TEST_F(EditorKeyboardTest, TabFollowsTheReadingOrder) {
    for (bool manager : {false, true}) {
        dialogManager = manager;
        SetFocus(h->Control(kIdBypass));
        const std::vector<int> forward = TabAround(false);
        std::vector<int> expected;
        for (size_t i = 0; i < forward.size(); ++i) expected.push_back(kTabStops[(i + 1) % kTabStops.size()]);
        EXPECT_EQ(forward, expected) << (manager ? "dialog manager" : "page");
        SetFocus(h->Control(kIdBypass));
        Press(VK_TAB, true);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), 10047) << (manager ? "dialog manager" : "page");
        Press(VK_TAB, true);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), 10046);
    }
    // Enter reaches a value box through the dialog manager too.
    SetFocus(h->Control(10044));
    Press(VK_RETURN);
    ASSERT_NE(OpenEditorWindow(), nullptr);
    EXPECT_EQ(GetParent(OpenEditorWindow()), h->Control(10044));
    Press(VK_ESCAPE);
    EXPECT_EQ(GetFocus(), h->Control(10044));
}

// The same edit by key and by mouse makes the same calls: an undo snapshot
// and setter calls with the record flag (Link moves the partner too).
TEST_F(EditorKeyboardTest, KeysEditLikeTheMouse) {
    struct Pair {
        const char* what;
        int id;
        UINT key;
        std::function<void()> mouse;
        int menuItem;   // -1: no menu
    };
    const Pair pairs[] = {
        {"slider: Right / drag 1 pixel", 10005, VK_RIGHT, [&] { Click(10005, {100, 8}, {1, 0}); }, -1},
        {"value box: Up / drag 1 pixel up", 10004, VK_UP, [&] { Click(10004, {10, 10}, {0, -1}); }, -1},
        {"toggle: Space / click", kIdListen, VK_SPACE, [&] { Click(kIdListen); }, -1},
        {"menu button: Space / click", kIdFactorLMenu, VK_SPACE, [&] { Click(kIdFactorLMenu); }, 7},
    };
    for (const Pair& p : pairs) {
        Restart();
        MenuScript byKey{p.menuItem}, byMouse{p.menuItem};
        if (p.menuItem >= 0) AnswerNextMenu(&byKey);
        SetFocus(h->Control(p.id));
        Press(p.key);
        h->Pump(0);
        const std::vector<std::string> keyCalls = recorder->calls;
        const std::vector<int32_t> keyValues = Values();
        Restart();
        if (p.menuItem >= 0) AnswerNextMenu(&byMouse);
        p.mouse();
        h->Pump(0);
        EXPECT_FALSE(keyCalls.empty()) << p.what;
        EXPECT_EQ(keyCalls, recorder->calls) << p.what;
        EXPECT_EQ(keyValues, Values()) << p.what;
        EXPECT_EQ(byKey.seen, byMouse.seen) << p.what;
    }
    EXPECT_EQ(recorder->calls.front(), "SaveUndoState(-2)");   // the menu's choice
    // The key edits of sliders and value boxes, by the bounds and steps.
    Restart();
    const struct {
        int id;
        UINT key;
        EParam param;
        int32_t value;
    } keys[] = {{10005, VK_PRIOR, kParamFeedbkL, 51}, {10005, VK_END, kParamFeedbkL, 100},
                {10005, VK_HOME, kParamFeedbkL, 0},   {10005, VK_UP, kParamFeedbkL, 1},
                {10060, VK_PRIOR, kParamOutput, 10},  {10060, VK_DOWN, kParamOutput, 9},
                {10060, VK_HOME, kParamOutput, 60},   {10060, VK_END, kParamOutput, -361}};
    for (const auto& k : keys) {
        SetFocus(h->Control(k.id));
        Press(k.key);
        h->Pump(0);
        EXPECT_EQ(Value(k.param), k.value) << k.id << " key " << k.key;
    }
}

// Enter or F2 opens the value editor of a box, or of a slider's box; Enter
// and Escape give the focus back, Tab confirms and goes on.
TEST_F(EditorKeyboardTest, EnterAndF2OpenTheValueEditor) {
    SetFocus(h->Control(10004));
    Press(VK_F2);
    ASSERT_NE(OpenEditorWindow(), nullptr);
    EXPECT_EQ(GetFocus(), OpenEditorWindow());
    SetWindowTextA(OpenEditorWindow(), "55");
    Press(VK_RETURN);
    h->Pump(0);
    EXPECT_EQ(OpenEditorWindow(), nullptr);
    EXPECT_EQ(Value(kParamFeedbkL), 55);
    EXPECT_EQ(GetFocus(), h->Control(10004));

    SetFocus(h->Control(10005));
    Press(VK_RETURN);
    ASSERT_NE(OpenEditorWindow(), nullptr);
    EXPECT_EQ(GetParent(OpenEditorWindow()), h->Control(10004));
    Press(VK_ESCAPE);
    EXPECT_EQ(OpenEditorWindow(), nullptr);
    EXPECT_EQ(GetFocus(), h->Control(10005));
    EXPECT_EQ(Value(kParamFeedbkL), 55);

    SetFocus(h->Control(10004));
    Press(VK_RETURN);
    ASSERT_NE(OpenEditorWindow(), nullptr);
    SetWindowTextA(OpenEditorWindow(), "60");
    Press(VK_TAB);
    h->Pump(0);
    EXPECT_EQ(Value(kParamFeedbkL), 60);
    EXPECT_EQ(GetFocus(), h->Control(10005));
}

namespace {

// Keys for the system's property frame, one per tick of a thread timer
// inside its modal loop, which hands them to the frame's dialog manager.
// After each key the focus is noted: a page control by its id, a control of
// the frame by its id negated.
struct FrameScript {
    ITzPlugInProp* prop = nullptr;
    CBasePropertyPage* pageObject = nullptr;
    HWND frame = nullptr, page = nullptr;
    std::vector<std::function<void()>> steps;
    size_t next = 0;
    std::vector<int> focus;
    std::vector<std::string> events;
};
FrameScript* g_script = nullptr;

// The page class for OleCreatePropertyFrame, made in this process.
class CPageClass : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = riid == IID_IUnknown || riid == IID_IClassFactory ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        HRESULT hr = S_OK;
        IUnknown* page = CTzPlugInPropPage::CreateInstance(outer, &hr);
        IPropertyPage* pointer = nullptr;
        if (!page || FAILED(hr = page->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&pointer)))) return hr;
        g_script->pageObject = static_cast<CBasePropertyPage*>(pointer);
        hr = pointer->QueryInterface(riid, ppv);
        pointer->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

void PostKey(UINT key, bool shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    PostMessageW(GetFocus(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
}

void CALLBACK FrameTick(HWND, UINT, UINT_PTR, DWORD) {
    FrameScript& s = *g_script;
    if (!s.frame) {
        s.page = s.pageObject ? s.pageObject->Window() : nullptr;
        s.frame = s.page && IsWindowVisible(s.page) ? GetAncestor(s.page, GA_ROOT) : nullptr;
        return;
    }
    if (s.next > 0) {
        HWND focus = GetFocus();
        s.focus.push_back(IsChild(s.page, focus) ? GetDlgCtrlID(focus) : -GetDlgCtrlID(focus));
    }
    if (s.next < s.steps.size()) s.steps[s.next++]();
}

}  // namespace

// In the system's property frame the page is one of the frame's controls:
// Tab and Shift+Tab go from the frame's buttons into the page in reading
// order and out again, and Enter and Space press the page button that has
// the focus instead of closing the frame.
TEST(EditorInPropertyFrame, KeysReachThePageAndStayInIt) {
    CoInitialize(nullptr);
    CPageClass pageClass;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_ZvDelayPropertyPage, &pageClass, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie), S_OK);
    IBaseFilter* filter = NewPlugIn();
    ASSERT_NE(filter, nullptr);
    FrameScript script;
    g_script = &script;
    filter->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&script.prop));
    auto tab = [&](bool shift) { return [shift] { PostKey(VK_TAB, shift); }; };
    auto press = [&](int id, UINT key) {
        script.steps.push_back([&script, id] { SetFocus(GetDlgItem(script.page, id)); });
        script.steps.push_back([key] { PostKey(key, false); });
        script.steps.push_back([&script, id, key] {
            script.events.push_back(std::to_string(id) + " key " + std::to_string(key) + ": bypass " +
                                    std::to_string(script.prop->IsBypassed()));
        });
    };
    const size_t round = kTabStops.size() + 3;   // the frame's Cancel, tabs and OK
    script.steps.push_back([&script] { SetFocus(GetDlgItem(script.frame, IDOK)); });
    for (size_t i = 0; i < round + 2; ++i) script.steps.push_back(tab(false));
    for (size_t i = 0; i < round + 2; ++i) script.steps.push_back(tab(true));
    press(kIdBypass, VK_RETURN);
    press(kIdUndo, VK_RETURN);
    press(kIdBypass, VK_SPACE);
    script.steps.push_back([&script] { PostMessageW(script.frame, WM_COMMAND, IDCANCEL, 0); });
    const UINT_PTR timer = SetTimer(nullptr, 0, 15, FrameTick);
    // Should the frame never close, it is closed after a minute.
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([&] {
        if (WaitForSingleObject(done, 60000) == WAIT_TIMEOUT) PostMessageW(script.frame, WM_CLOSE, 0, 0);
    });
    IUnknown* objects[] = {filter};
    CLSID pages[] = {CLSID_ZvDelayPropertyPage};
    EXPECT_EQ(OleCreatePropertyFrame(nullptr, 0, 0, L"zvDelayDX", 1, objects, 1, pages, LOCALE_USER_DEFAULT, 0,
                                     nullptr), S_OK);
    SetEvent(done);
    watchdog.join();
    CloseHandle(done);
    KillTimer(nullptr, timer);
    g_script = nullptr;
    EXPECT_EQ(script.next, script.steps.size()) << "the frame closed before the keys were done";

    // One round of Tab from OK: Cancel, the tabs, the page in reading order,
    // OK again. Tab goes round once and on into the page, Shift+Tab as far
    // back.
    std::vector<int> cycle = {-IDOK, -IDCANCEL, -0x3020};
    cycle.insert(cycle.end(), kTabStops.begin(), kTabStops.end());
    std::vector<int> expected;
    for (size_t k = 0; k <= round + 2; ++k) expected.push_back(cycle[k % round]);
    for (size_t k = 1; k <= round + 2; ++k) expected.push_back(cycle[(2 * round + 2 - k) % round]);
    EXPECT_EQ(std::vector<int>(script.focus.begin(), script.focus.begin() + std::min(script.focus.size(), expected.size())),
              expected);
    EXPECT_EQ(script.events, (std::vector<std::string>{"10100 key 13: bypass 1", "10101 key 13: bypass 1",
                                                       "10100 key 32: bypass 0"}));
    CoRevokeClassObject(cookie);
    script.prop->Release();
    filter->Release();
    CoUninitialize();
}
