// Windows: the VST3 editor view as a host uses it: created, attached to a
// window of the host's, scaled by the host (the frame asked for the new
// size), edits reaching the host through its component handler as begin,
// perform and end edit, the host's values reaching the page, and nothing
// left after the view is removed and released.
// ZV_SCREENSHOT_HOLD_MS=N holds the window up for N ms after printing its
// size (tools/vst3-screenshot).
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Vst3TestHost.h"
#include "editor/EditorLayout.h"
#include "effect/ParamDescription.h"
#include "vst3/Vst3Ids.h"

namespace {

using vst3host::CInstance;
using zvvst3::TableOf;

vst3host::CModule& Module() {
    static vst3host::CModule module(ZV_VST3_MODULE);
    return module;
}

void Pump(DWORD ms = 0) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (ms) Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

int VisibleChildren(HWND parent) {
    int n = 0;
    EnumChildWindows(
        parent, [](HWND w, LPARAM c) { return *reinterpret_cast<int*>(c) += IsWindowVisible(w) ? 1 : 0, TRUE; },
        reinterpret_cast<LPARAM>(&n));
    return n;
}

// A host's component handler and plug frame that record what they are told.
struct CRecorder {
    struct Call {
        char what;   // 'b'egin, 'p'erform, 'e'nd, 'r'esize
        uint32_t id;
        double value;
        bool operator==(const Call& o) const { return what == o.what && id == o.id && value == o.value; }
    };
    zvvst3::CFace<CRecorder> handlerFace{&kHandler, this};
    zvvst3::CFace<CRecorder> frameFace{&kFrame, this};
    std::vector<Call> calls;

    CRecorder() = default;
    CRecorder(const CRecorder&) = delete;
    v3_component_handler** Handler() { return reinterpret_cast<v3_component_handler**>(&handlerFace); }
    v3_plugin_frame** Frame() { return reinterpret_cast<v3_plugin_frame**>(&frameFace); }
    static CRecorder* Of(void* self) { return zvvst3::CFace<CRecorder>::Of(self); }

    static v3_result V3_API Query(void*, const v3_tuid, void** out) {
        *out = nullptr;
        return V3_NO_INTERFACE;
    }
    static uint32_t V3_API Ref(void*) { return 1; }
    static v3_result V3_API Begin(void* s, v3_param_id id) { return Record(s, 'b', id, 0.0); }
    static v3_result V3_API Perform(void* s, v3_param_id id, double v) { return Record(s, 'p', id, v); }
    static v3_result V3_API End(void* s, v3_param_id id) { return Record(s, 'e', id, 0.0); }
    static v3_result V3_API Restart(void*, int32_t) { return V3_OK; }
    static v3_result V3_API Resize(void* s, v3_plugin_view**, v3_view_rect* r) {
        return Record(s, 'r', static_cast<uint32_t>(r->right - r->left), double(r->bottom - r->top));
    }
    static v3_result Record(void* s, char what, uint32_t id, double value) {
        Of(s)->calls.push_back({what, id, value});
        return V3_OK;
    }
    static const zvvst3::v3_component_handler_cpp kHandler;
    static const v3_plugin_frame_cpp kFrame;
};
const zvvst3::v3_component_handler_cpp CRecorder::kHandler = {{Query, Ref, Ref}, {Begin, Perform, End, Restart}};
const v3_plugin_frame_cpp CRecorder::kFrame = {{Query, Ref, Ref}, {Resize}};

// The plug-in's editor view in a captioned host window at the screen's
// origin, its client area the view's size.
struct CHostedView {
    explicit CHostedView(CInstance& plugin) : ctrl(plugin.ctrl) {
        view = plugin.Ctrl()->ctrl.create_view(plugin.ctrl, "editor");
        if (!view) return;
        TableOf<v3_funknown>(view)->query_interface(view, v3_plugin_view_content_scale_iid,
                                                     reinterpret_cast<void**>(&scale));
        View().set_frame(view, recorder.Frame());
        plugin.Ctrl()->ctrl.set_component_handler(plugin.ctrl, recorder.Handler());
    }
    ~CHostedView() {
        if (attached) View().removed(view);
        if (scale) TableOf<v3_funknown>(scale)->unref(scale);
        if (view) TableOf<v3_funknown>(view)->unref(view);
        if (window) DestroyWindow(window);
        Pump();
    }
    v3_plugin_view& View() { return TableOf<v3_plugin_view_cpp>(view)->view; }
    v3_view_rect Size() {
        v3_view_rect r{};
        View().get_size(view, &r);
        return r;
    }
    bool Attach() {
        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN | WS_VISIBLE;
        const v3_view_rect size = Size();
        RECT r{0, 0, size.right, size.bottom};
        AdjustWindowRect(&r, style, FALSE);
        window = CreateWindowW(L"Static", L"zvDelay VST3 test host - zvDelay Stereo", style, 0, 0, r.right - r.left,
                               r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        attached = View().attached(view, window, V3_VIEW_PLATFORM_TYPE_HWND) == V3_OK;
        Pump();
        return attached;
    }
    HWND Page() const { return FindWindowExW(window, nullptr, nullptr, nullptr); }
    std::string Text(int id) const {
        char t[32] = {};
        GetDlgItemTextA(Page(), id, t, sizeof t);
        return t;
    }

    v3_edit_controller** ctrl;
    v3_plugin_view** view = nullptr;
    v3_plugin_view_content_scale** scale = nullptr;
    CRecorder recorder;
    HWND window = nullptr;
    bool attached = false;
};

TEST(Vst3Editor, AttachesScalesAndLeavesNothing) {
    CInstance plugin(Module(), zvvst3::kStereoName);
    ASSERT_TRUE(plugin.Valid());
    EXPECT_EQ(plugin.Ctrl()->ctrl.create_view(plugin.ctrl, "other"), nullptr);
    CHostedView host(plugin);
    ASSERT_NE(host.view, nullptr);
    ASSERT_NE(host.scale, nullptr);
    EXPECT_EQ(host.View().is_platform_type_supported(host.view, V3_VIEW_PLATFORM_TYPE_HWND), V3_TRUE);
    EXPECT_NE(host.View().is_platform_type_supported(host.view, V3_VIEW_PLATFORM_TYPE_X11), V3_TRUE);
    EXPECT_NE(host.View().can_resize(host.view), V3_TRUE);
    v3_view_rect size = host.Size();
    EXPECT_EQ(size.right * 1000 + size.bottom, 506 * 1000 + 381);
    auto& scale = TableOf<v3_plugin_view_content_scale_cpp>(host.scale)->scale;
    ASSERT_EQ(scale.set_content_scale_factor(host.scale, 2.0f), V3_OK);
    size = host.Size();
    EXPECT_EQ(size.right * 1000 + size.bottom, 1012 * 1000 + 762);
    ASSERT_TRUE(host.Attach());
    EXPECT_EQ(GetParent(host.Page()), host.window);
    RECT page{};
    GetClientRect(host.Page(), &page);
    EXPECT_EQ(page.right * 1000 + page.bottom, 1012 * 1000 + 762);
    if (const char* hold = std::getenv("ZV_SCREENSHOT_HOLD_MS")) {
        ASSERT_EQ(scale.set_content_scale_factor(host.scale, 1.0f), V3_OK);
        const v3_view_rect s = host.Size();
        RECT r{0, 0, s.right, s.bottom};
        AdjustWindowRect(&r, WS_OVERLAPPED | WS_CAPTION, FALSE);
        SetWindowPos(host.window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
        std::printf("host window: %ldx%ld\n", r.right - r.left, r.bottom - r.top);
        std::fflush(stdout);
        Pump(std::atoi(hold));
    }
    // A new scale while attached: the page laid out again, the frame asked.
    host.recorder.calls.clear();
    ASSERT_EQ(scale.set_content_scale_factor(host.scale, 1.5f), V3_OK);
    Pump();
    GetClientRect(host.Page(), &page);
    EXPECT_EQ(page.right * 1000 + page.bottom, 759 * 1000 + 572);
    EXPECT_EQ(host.recorder.calls, (std::vector<CRecorder::Call>{{'r', 759, 572.0}}));
    EXPECT_NE(scale.set_content_scale_factor(host.scale, 0.5f), V3_OK);
    EXPECT_GT(VisibleChildren(host.window), 30);
    EXPECT_EQ(host.View().removed(host.view), V3_OK);
    host.attached = false;
    Pump();
    EXPECT_EQ(VisibleChildren(host.window), 0);
}

// A key step of the left feedback slider (Link on: the right one follows)
// reaches the host as begin, perform and end edit and becomes the
// controller's value; the host's values (set on the controller) show on
// the page.
TEST(Vst3Editor, EditsReachTheHostAndTheHostsValuesThePage) {
    CInstance plugin(Module(), zvvst3::kStereoName);
    CHostedView host(plugin);
    ASSERT_TRUE(host.Attach());
    PostMessageW(GetDlgItem(host.Page(), kIdFeedbkLSlider), WM_KEYDOWN, VK_UP, 0);
    Pump(300);   // the view's exchange and the page's tick, which ends the gesture
    auto& ctrl = plugin.Ctrl()->ctrl;
    const double n41 = ctrl.plain_parameter_to_normalised(plugin.ctrl, kParamFeedbkL, 41.0);
    std::vector<CRecorder::Call> expected;
    for (char what : {'b', 'p', 'e'}) {
        for (uint32_t id : {kParamFeedbkL, kParamFeedbkR}) expected.push_back({what, id, what == 'p' ? n41 : 0.0});
    }
    std::vector<CRecorder::Call> got = host.recorder.calls;
    std::stable_sort(got.begin(), got.end(), [](const CRecorder::Call& a, const CRecorder::Call& b) {
        return (a.what == 'b' ? 0 : a.what == 'p' ? 1 : 2) < (b.what == 'b' ? 0 : b.what == 'p' ? 1 : 2);
    });
    EXPECT_EQ(got, expected);
    EXPECT_EQ(ctrl.get_parameter_normalised(plugin.ctrl, kParamFeedbkR), n41);

    ctrl.set_parameter_normalised(plugin.ctrl, kParamMixR, ctrl.plain_parameter_to_normalised(plugin.ctrl, kParamMixR, 12.0));
    ctrl.set_parameter_normalised(plugin.ctrl, kParamDiffTime,
                                  ctrl.plain_parameter_to_normalised(plugin.ctrl, kParamDiffTime, 88.0));
    Pump(300);
    EXPECT_EQ(host.Text(10028) + " " + host.Text(10040), "12 88");
    EXPECT_EQ(host.recorder.calls.size(), expected.size());   // nothing told back to the host
}

}  // namespace
