// Windows: the gui extension as a host uses it (our editor page in a window
// of the host's, at the host's scale, nothing left after destroy), edits
// reaching the host as gestures and values and the host's changes reaching
// the editor, and states across the filter's own object and CLAP.
// ZV_SCREENSHOT_HOLD_MS=N holds the first window up for N ms after printing
// its size (tools/plugin-editor-screenshot clap).
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ClapTestHost.h"
#include "clap/ClapIds.h"
#include "editor/EditorLayout.h"
#include "effect/ParamDescription.h"
#include "effect/StateChunk.h"
#include "tests/host/PlugInTestSupport.h"

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

int Count(BOOL(WINAPI* enumerate)(HWND, WNDENUMPROC, LPARAM), HWND parent) {
    int n = 0;
    enumerate(parent, [](HWND w, LPARAM c) { return *reinterpret_cast<int*>(c) += IsWindowVisible(w) ? 1 : 0, TRUE; },
              reinterpret_cast<LPARAM>(&n));
    return n;
}

// The editor in a captioned host window at the screen's origin, its client
// area the editor's size.
struct CEditor {
    CEditor(CClapInstance& plugin, double scale) : p(plugin.plugin), gui(plugin.gui) {
        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN | WS_VISIBLE;
        window = CreateWindowW(L"Static", L"zvDelay test host - zvDelay Stereo", style, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
        clap_window_t parent{CLAP_WINDOW_API_WIN32, {}};
        parent.win32 = window;
        uint32_t w = 0, h = 0;
        open = gui->create(p, CLAP_WINDOW_API_WIN32, false) && gui->set_scale(p, scale) && gui->get_size(p, &w, &h) &&
               gui->set_parent(p, &parent) && gui->show(p);
        RECT r{0, 0, static_cast<LONG>(w), static_cast<LONG>(h)};
        AdjustWindowRect(&r, style, FALSE);
        SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
        Pump();
    }
    ~CEditor() {
        if (open) gui->destroy(p);
        DestroyWindow(window);
        Pump();
    }
    HWND Page() const { return FindWindowExW(window, nullptr, nullptr, nullptr); }
    SIZE Size() const {
        RECT r{};
        GetClientRect(Page(), &r);
        return SIZE{r.right, r.bottom};
    }
    std::string Text(int id) const {
        char t[32] = {};
        GetDlgItemTextA(Page(), id, t, sizeof t);
        return t;
    }
    void Tick() const { SendMessageW(Page(), WM_TIMER, 0, 0); }   // the page's 75 ms timer

    const clap_plugin_t* p;
    const clap_plugin_gui_t* gui;
    HWND window;
    bool open;
};

TEST(ClapEditor, EmbedsInTheHostsWindowAtItsScaleAndLeavesNothing) {
    CClapTestHost host;
    CClapInstance plugin(host, zvclap::kStereoId);
    ASSERT_NE(plugin.gui, nullptr);
    EXPECT_FALSE(plugin.gui->is_api_supported(plugin.plugin, CLAP_WINDOW_API_WIN32, true) ||
                 plugin.gui->is_api_supported(plugin.plugin, CLAP_WINDOW_API_X11, false));
    CEditor editor(plugin, 1.0);
    ASSERT_TRUE(editor.open);
    EXPECT_EQ(GetParent(editor.Page()), editor.window);
    if (const char* hold = std::getenv("ZV_SCREENSHOT_HOLD_MS")) {
        RECT r{};
        GetWindowRect(editor.window, &r);
        std::printf("host window: %ldx%ld\n", r.right - r.left, r.bottom - r.top);
        std::fflush(stdout);
        plugin.Flush({{0, kParamFeedbkL, 55.0}, {0, kParamMixL, 45.0}});
        editor.Tick();
        for (DWORD end = GetTickCount() + std::atoi(hold); static_cast<LONG>(end - GetTickCount()) > 0; Sleep(10)) Pump();
    }
    // The design size at 100 %, then 200 %, 150 %, 100 %, the open page laid
    // out again; no scale outside 100 % to 300 %, no other size.
    for (const auto& s : {std::make_tuple(1.0, 506, 381), std::make_tuple(2.0, 1012, 762), std::make_tuple(1.5, 759, 572),
                          std::make_tuple(1.0, 506, 381)}) {
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(plugin.gui->set_scale(plugin.plugin, std::get<0>(s)) && plugin.gui->get_size(plugin.plugin, &w, &h));
        Pump();
        EXPECT_EQ(std::make_tuple(int(w), int(h), int(editor.Size().cx), int(editor.Size().cy)),
                  std::make_tuple(std::get<1>(s), std::get<2>(s), std::get<1>(s), std::get<2>(s)));
    }
    EXPECT_FALSE(plugin.gui->set_scale(plugin.plugin, 0.5) || plugin.gui->set_scale(plugin.plugin, 4.0) ||
                 plugin.gui->can_resize(plugin.plugin) || plugin.gui->set_size(plugin.plugin, 600, 400));
    EXPECT_GT(Count(EnumChildWindows, editor.window), 30);
    plugin.gui->destroy(plugin.plugin);
    editor.open = false;
    Pump();
    EXPECT_EQ(Count(EnumChildWindows, editor.window), 0);
    EXPECT_EQ(Count([](HWND, WNDENUMPROC f, LPARAM c) { return EnumThreadWindows(GetCurrentThreadId(), f, c); }, nullptr), 1);
}

// A key step of the left feedback slider (Link on: the right one follows)
// reaches the host as gestures and values through flush while inactive and
// through process while active (gestures end at the page's next tick); the
// host's changes (flush, process, a loaded state) show at the next tick.
TEST(ClapEditor, EditsReachTheHostAndTheHostsChangesTheEditor) {
    CClapTestHost host;
    CClapInstance plugin(host, zvclap::kStereoId);
    CEditor editor(plugin, 1.0);
    ASSERT_TRUE(editor.open);
    auto step = [&] {
        PostMessageW(GetDlgItem(editor.Page(), kIdFeedbkLSlider), WM_KEYDOWN, VK_UP, 0);
        Pump();
    };
    auto expected = [](uint16_t begin, uint16_t end, double v) {
        std::vector<OutEvent> e;
        for (uint32_t id : {kParamFeedbkL, kParamFeedbkR}) {
            if (begin) e.push_back({begin, id, 0.0});
            if (v) e.push_back({CLAP_EVENT_PARAM_VALUE, id, v});
            if (end) e.push_back({end, id, 0.0});
        }
        return e;
    };
    step();
    EXPECT_GT(host.flushRequests, 0);
    EXPECT_EQ(plugin.Value(kParamFeedbkR), 41.0);
    // The gestures end at the page's next tick: the test's, or the page's
    // own 75 ms timer when it came first.
    std::vector<OutEvent> told = plugin.Flush();
    editor.Tick();
    const std::vector<OutEvent> later = plugin.Flush();
    told.insert(told.end(), later.begin(), later.end());
    std::stable_sort(told.begin(), told.end(), [](const OutEvent& a, const OutEvent& b) { return a.id < b.id; });
    EXPECT_EQ(told, expected(CLAP_EVENT_PARAM_GESTURE_BEGIN, CLAP_EVENT_PARAM_GESTURE_END, 41.0));
    ASSERT_TRUE(plugin.Activate(48000));
    step();
    step();
    editor.Tick();
    std::vector<float> in(64), out(64);
    const float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out.data(), out.data()};
    EXPECT_EQ(plugin.Process(ins, outs, 64), expected(CLAP_EVENT_PARAM_GESTURE_BEGIN, CLAP_EVENT_PARAM_GESTURE_END, 43.0));
    EXPECT_TRUE(plugin.Process(ins, outs, 64).empty());
    EXPECT_TRUE(host.wrongThread.empty());

    plugin.Process(ins, outs, 64, {{5, kParamMixR, 12.0}});
    plugin.Deactivate();
    plugin.Flush({{0, kParamFeedbkL, 77.0}});
    editor.Tick();
    EXPECT_EQ(editor.Text(10028) + " " + editor.Text(10004), "12 77");
    ParamBlock block = kDefaultBlock;
    block[kParamDiffTime] = 88;
    ASSERT_TRUE(plugin.Load(WriteStateChunk(block)));
    Pump();
    EXPECT_EQ(editor.Text(10040), "88");
}

// The filter's object saves, CLAP loads; CLAP saves (with its bypass
// switch), the filter loads the stream inside the chunk.
TEST(ClapState, TheFiltersObjectAndClapLoadEachOthersStates) {
    IBaseFilter* filter = NewPlugIn();
    ITzPlugInProp* prop = nullptr;
    IPersistStream* persist = nullptr;
    filter->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&prop));
    filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
    ParamBlock values = {{1234, 7, 55, 20, 75, 36000, 9, 0, 100, 100, 100, 65, 120, 45, 250, 130, -120, 0, 1405, 0, 1}};
    prop->SetAllParams(values.v);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ASSERT_EQ(persist->Save(stream, TRUE), S_OK);
    std::vector<uint8_t> bytes(196);
    const LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    stream->Read(bytes.data(), 196, nullptr);
    CClapTestHost host;
    CClapInstance plugin(host, zvclap::kStereoId);
    ASSERT_TRUE(plugin.Load(bytes));
    for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(plugin.Value(i), NaturalFromInternal(i, values[i]));
    values[kParamDelayR] = 777;
    plugin.Flush({{0, kParamDelayR, 77.7}, {0, zvclap::kBypassId, 1.0}});
    const std::vector<uint8_t> saved = plugin.Save();
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    stream->Write(saved.data() + 8, static_cast<ULONG>(saved.size() - 8), nullptr);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(persist->Load(stream), S_OK);
    ParamBlock loaded{};
    prop->GetAllParams(loaded.v);
    EXPECT_EQ(loaded, values);
    for (IUnknown* u : {static_cast<IUnknown*>(stream), static_cast<IUnknown*>(prop), static_cast<IUnknown*>(persist),
                        static_cast<IUnknown*>(filter)})
        u->Release();
}

}  // namespace
