// The editor page as a host shows it, for tests under Wine: a top-level
// frame window of the test's own, a small page site, the page created
// in-process through its creation function, connected to a real filter
// object and activated into the frame. Messages are pumped by the test.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "editor/EditorPage.h"
#include "editor/Toolkit.h"
#include "effect/ITzPlugInProp.h"

class CPageHarness {
public:
    CPageHarness();
    ~CPageHarness();
    // Creates the page, sets the filter as its object and activates it.
    bool Open();
    // Deactivates and releases the page (the filter stays).
    void Close();

    HWND Page() const;
    HWND Control(int id) const { return GetDlgItem(Page(), id); }
    std::string Text(int id) const;
    // Processes the thread's messages for ms milliseconds.
    static void Pump(DWORD ms);
    // Sends n timer ticks to the page at once.
    void Tick(int n = 1) const;
    // The page object itself (created in-process).
    CTzPlugInPropPage* PageObject() const;

    IBaseFilter* filter = nullptr;
    ITzPlugInProp* prop = nullptr;
    IUnknown* object = nullptr;   // what Open gives the page; null: the filter
    IPropertyPage* page = nullptr;
    HWND frame = nullptr;
};

// A pop-up menu the page is about to open, read and answered from inside its
// modal loop (a thread timer): the items are recorded, then the item at
// position `choose` is chosen with the keyboard (for a sub-menu, `subChoose`
// inside it), or the menu is closed when `choose` is -1.
struct MenuItemSeen {
    std::string text;
    bool checked = false;
    bool separator = false;
    std::vector<MenuItemSeen> sub;
};
struct MenuScript {
    explicit MenuScript(int item = -1, int subItem = -1) : choose(item), subChoose(subItem) {}
    int choose = -1;
    int subChoose = -1;
    unsigned holdMs = 0;   // with choose -1: how long the menu stays open
    std::vector<MenuItemSeen> items;
    bool seen = false;
};
void AnswerNextMenu(MenuScript* script);

// The next message box (a "#32770" window titled caption): its text is kept
// and it is answered with the button id.
struct BoxScript {
    BoxScript(const char* title, int button) : caption(title), answer(button) {}
    BoxScript(const char* title, std::function<void(HWND)> action) : caption(title), act(std::move(action)) {}
    std::string caption;
    int answer = IDOK;
    std::function<void(HWND)> act;   // set: does this to the window instead of answering
    std::string text;
    bool seen = false;
};
void AnswerNextBox(BoxScript* script);

// The GDI handle table's high-water mark: the highest handle index that
// `count` new objects get. Wine hands out freed entries before new ones, so
// the mark moves only when objects were left undeleted.
int GdiHighWater(int count = 2000);

// A test with a page harness, and the messages the page's controls send.
class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        h = new CPageHarness();
        ASSERT_NE(h->prop, nullptr);
    }
    void TearDown() override {
        delete h;
        CoUninitialize();
    }
    int32_t Value(EParam p) {
        int32_t all[kParamCount];
        h->prop->GetAllParams(all);
        return all[p];
    }
    std::vector<int32_t> Values() {
        std::vector<int32_t> all(kParamCount);
        h->prop->GetAllParams(all.data());
        return all;
    }
    // A value box's step, a slider's new value, a typed value.
    void Step(int box, int32_t step) {
        SendMessageW(h->Page(), kValueBoxStep, MakeStepParam(box, step), reinterpret_cast<LPARAM>(h->Control(box)));
    }
    void Slide(int slider, int32_t value) {
        SendMessageW(h->Page(), kSliderChanged, static_cast<WPARAM>(value),
                     reinterpret_cast<LPARAM>(h->Control(slider)));
    }
    void Type(int box, const char* text) {
        SetWindowTextA(h->Control(box), text);
        SendMessageW(h->Page(), WM_COMMAND, MAKEWPARAM(box, kValueBoxTyped), reinterpret_cast<LPARAM>(h->Control(box)));
    }
    // A button's notification as the button sends it.
    void Button(int id, WORD code = kButtonClicked) {
        SendMessageW(h->Page(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(h->Control(id)));
    }
    CPageHarness* h = nullptr;
};
