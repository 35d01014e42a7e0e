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

// The plug-in as the page sees it: every call goes on to the real one, and
// the page's edits (undo snapshots, setter calls with their record flag,
// bypass) are written down in order, e.g. "SaveUndoState(10005)",
// "SetFeedbkL(41, 1)". A test may override any call.
class CRecordingPlugIn : public ITzPlugInProp {
public:
    explicit CRecordingPlugIn(ITzPlugInProp* real) : m_real(real) {}
    std::vector<std::string> calls;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = riid == IID_IUnknown || riid == IID_ITzPlugInProp ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetAllParams(int32_t* b) override { return m_real->GetAllParams(b); }
    HRESULT STDMETHODCALLTYPE SetAllParams(const int32_t* b) override { return m_real->SetAllParams(b); }
    HRESULT STDMETHODCALLTYPE GetFormat(WAVEFORMATEX* f, int32_t w) override { return m_real->GetFormat(f, w); }
    HRESULT STDMETHODCALLTYPE SetNotifyWindow(HWND w, uint32_t id) override { return m_real->SetNotifyWindow(w, id); }
#define ZV_RECORD(name)                                                                                      \
    HRESULT STDMETHODCALLTYPE Get##name(int32_t* v) override { return m_real->Get##name(v); }             \
    HRESULT STDMETHODCALLTYPE Set##name(int32_t v, int32_t n) override {                                  \
        Note("Set" #name, v, n);                                                                          \
        return m_real->Set##name(v, n);                                                                   \
    }
    ZV_PARAM_LIST(ZV_RECORD)
#undef ZV_RECORD
    HRESULT STDMETHODCALLTYPE EndParamCapture() override { return m_real->EndParamCapture(); }
    HRESULT STDMETHODCALLTYPE SetCaptureHold(int32_t h) override { return m_real->SetCaptureHold(h); }
    HRESULT STDMETHODCALLTYPE GetLeftClip(int32_t w) override { return m_real->GetLeftClip(w); }
    HRESULT STDMETHODCALLTYPE SetLeftClip(int32_t w, int32_t v) override { return m_real->SetLeftClip(w, v); }
    HRESULT STDMETHODCALLTYPE GetRightClip(int32_t w) override { return m_real->GetRightClip(w); }
    HRESULT STDMETHODCALLTYPE SetRightClip(int32_t w, int32_t v) override { return m_real->SetRightClip(w, v); }
    HRESULT STDMETHODCALLTYPE GetPeakLevels(float* l, float* r) override { return m_real->GetPeakLevels(l, r); }
    HRESULT STDMETHODCALLTYPE RefreshParameters() override { return m_real->RefreshParameters(); }
    HRESULT STDMETHODCALLTYPE SetStreaming(int32_t s) override { return m_real->SetStreaming(s); }
    HRESULT STDMETHODCALLTYPE IsStreaming() override { return m_real->IsStreaming(); }
    HRESULT STDMETHODCALLTYPE IsHostStopped() override { return m_real->IsHostStopped(); }
    HRESULT STDMETHODCALLTYPE IsBypassed() override { return m_real->IsBypassed(); }
    HRESULT STDMETHODCALLTYPE SetBypass(int32_t b) override {
        Note("SetBypass", b);
        return m_real->SetBypass(b);
    }
    HRESULT STDMETHODCALLTYPE GetSetup() override { return m_real->GetSetup(); }
    HRESULT STDMETHODCALLTYPE SelectSetup(int32_t s) override { return m_real->SelectSetup(s); }
    HRESULT STDMETHODCALLTYPE CopySetup(int32_t f, int32_t t) override { return m_real->CopySetup(f, t); }
    HRESULT STDMETHODCALLTYPE SaveUndoState(int32_t i) override {
        Note("SaveUndoState", i);
        return m_real->SaveUndoState(i);
    }
    HRESULT STDMETHODCALLTYPE Undo() override { return m_real->Undo(); }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return m_real->IsUpToDate(); }
    HRESULT STDMETHODCALLTYPE SetRefreshPending(int32_t p) override { return m_real->SetRefreshPending(p); }
    HRESULT STDMETHODCALLTYPE CountDownClip(int32_t s) override { return m_real->CountDownClip(s); }

protected:
    ITzPlugInProp* m_real;

private:
    void Note(const char* call, int32_t value, int32_t flag = -1) {
        calls.push_back(std::string(call) + "(" + std::to_string(value) + (flag < 0 ? "" : ", " + std::to_string(flag)) +
                        ")");
    }
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

// A slider's drag reads the real cursor, which must not be at the screen's
// edge: puts it well inside only when it is there (moving it disturbs the
// menus of other tests on the same display).
void KeepCursorInside();

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
