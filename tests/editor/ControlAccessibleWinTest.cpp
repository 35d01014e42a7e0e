// The editor page through a screen reader's eyes, by oleacc's
// AccessibleObjectFromWindow under Wine: every control's name, role, value
// and state; changes announced by win events; an object kept past its
// control's end failing cleanly; a button pressed through its default action.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "PageHarness.h"
#include "editor/EditorLayout.h"

namespace {

struct Event {
    DWORD event;
    HWND window;
    bool operator==(const Event& o) const { return event == o.event && window == o.window; }
};
std::vector<Event> g_events;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_CLIENT && child == CHILDID_SELF) g_events.push_back({event, window});
}

class ControlAccessibleTest : public PageTest {
protected:
    IAccessible* Object(int id) {
        IAccessible* object = nullptr;
        EXPECT_EQ(AccessibleObjectFromWindow(h->Control(id), OBJID_CLIENT, __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&object)),
                  S_OK)
            << id;
        return object;
    }
    static std::string Text(BSTR text) {
        std::string out;
        for (const wchar_t* p = text; p && *p; ++p) out += static_cast<char>(*p);
        SysFreeString(text);
        return out;
    }
    // Pumps until the event has come for the window, for at most 2 s.
    bool Announced(DWORD event, int id) {
        const Event wanted{event, h->Control(id)};
        for (DWORD start = GetTickCount(); GetTickCount() - start < 2000; h->Pump(10)) {
            for (const Event& e : g_events) {
                if (e == wanted) return true;
            }
        }
        return false;
    }
};

const VARIANT kSelf = [] {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}();

}  // namespace

// Name (the label beside it), role, value (as shown, with its unit) and the
// state bits that matter, at the defaults: Tempo sync "Man" (the Delay
// controls disabled), Link on.
TEST_F(ControlAccessibleTest, EveryControlIsNamedWithRoleValueAndState) {
    constexpr LONG B = ROLE_SYSTEM_PUSHBUTTON, M = ROLE_SYSTEM_BUTTONMENU, T = ROLE_SYSTEM_TEXT,
                   S = ROLE_SYSTEM_SLIDER, P = ROLE_SYSTEM_PROGRESSBAR, X = ROLE_SYSTEM_STATICTEXT;
    constexpr LONG kOff = STATE_SYSTEM_UNAVAILABLE, kOn = STATE_SYSTEM_PRESSED;
    const struct {
        int id;
        const char* name;
        LONG role;
        const char* value;
        LONG state;
    } expected[] = {
        {10100, "Bypass", B, "", 0},
        {10101, "Undo", B, "", 0},
        {10102, "Setup A", B, "", 0},
        {10103, "Setup menu", M, "", 0},
        {10104, "Reset", B, "", 0},
        {10105, "Presets", M, "", 0},
        {10106, "Help", B, "", 0},
        {10000, "Left Delay", T, "500.0 ms", kOff},
        {10001, "Left Delay", S, "500.0 ms", kOff},
        {10002, "Left Note value", T, "1", 0},
        {10003, "Left Note value menu", M, "", 0},
        {10060, "Output", T, "0.0 dB", 0},
        {10020, "Right Delay", T, "500.0 ms", kOff},
        {10021, "Right Delay", S, "500.0 ms", kOff},
        {10022, "Right Note value", T, "1", 0},
        {10023, "Right Note value menu", M, "", 0},
        {10004, "Left Feedback", T, "40 %", 0},
        {10005, "Left Feedback", S, "40 %", 0},
        {10024, "Right Feedback", T, "40 %", 0},
        {10025, "Right Feedback", S, "40 %", 0},
        {10006, "Left Cross-feed", T, "10 %", 0},
        {10007, "Left Cross-feed", S, "10 %", 0},
        {10026, "Right Cross-feed", T, "10 %", 0},
        {10027, "Right Cross-feed", S, "10 %", 0},
        {10008, "Left Mix", T, "30 %", 0},
        {10009, "Left Mix", S, "30 %", 0},
        {10028, "Right Mix", T, "30 %", 0},
        {10029, "Right Mix", S, "30 %", 0},
        {10072, "Link", B, "", kOn},
        {10073, "Listen", B, "Mix", 0},
        {10070, "Sync", B, "Man", 0},
        {10071, "Tempo", T, "120.0 BPM", 0},
        {10042, "Low cut", T, "Off", 0},
        {10043, "Low cut", S, "Off", 0},
        {10044, "Low cut Q", T, "1.00", 0},
        {10040, "Diffusion Time", T, "40", 0},
        {10041, "Diffusion Amount", T, "0 %", 0},
        {10045, "High cut", T, "Off", 0},
        {10046, "High cut", S, "Off", 0},
        {10047, "High cut Q", T, "1.00", 0},
        {10061, "Left output level", P, "-Inf dB", 0},
        {10062, "Right output level", P, "-Inf dB", 0},
        {10063, "Peak levels", X, "Left -Inf dB, right -Inf dB", 0},
    };
    ASSERT_TRUE(h->Open());
    ASSERT_EQ(sizeof expected / sizeof expected[0], static_cast<size_t>(kLayoutCount));
    for (const auto& e : expected) {
        IAccessible* object = Object(e.id);
        ASSERT_NE(object, nullptr);
        BSTR text = nullptr;
        object->get_accName(kSelf, &text);
        EXPECT_EQ(Text(text), e.name) << e.id;
        text = nullptr;
        object->get_accValue(kSelf, &text);
        EXPECT_EQ(Text(text), e.value) << e.id;
        VARIANT role, state;
        ASSERT_EQ(object->get_accRole(kSelf, &role), S_OK);
        EXPECT_EQ(role.lVal, e.role) << e.id;
        ASSERT_EQ(object->get_accState(kSelf, &state), S_OK);
        EXPECT_EQ(state.lVal & (kOff | kOn), e.state) << e.id;
        const bool tabStop = e.role != P && e.role != X;
        EXPECT_EQ((state.lVal & STATE_SYSTEM_FOCUSABLE) != 0, tabStop) << e.id;
        object->Release();
    }
}

// Values, states and names that change are announced; the value read then
// is the new one.
TEST_F(ControlAccessibleTest, ChangesAreAnnounced) {
    ASSERT_TRUE(h->Open());
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, OnEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    g_events.clear();
    Step(10004, 5);
    EXPECT_TRUE(Announced(EVENT_OBJECT_VALUECHANGE, 10004));
    EXPECT_TRUE(Announced(EVENT_OBJECT_VALUECHANGE, 10005));   // its slider
    EXPECT_TRUE(Announced(EVENT_OBJECT_VALUECHANGE, 10024));   // Link moved the partner
    Button(kIdBypass);
    EXPECT_TRUE(Announced(EVENT_OBJECT_STATECHANGE, kIdBypass));
    Button(kIdTempoSync);   // "Man" -> "Host": the caption is the value
    EXPECT_TRUE(Announced(EVENT_OBJECT_VALUECHANGE, kIdTempoSync));
    UnhookWinEvent(hook);
    IAccessible* box = Object(10004);
    BSTR text = nullptr;
    box->get_accValue(kSelf, &text);
    EXPECT_EQ(Text(text), "45 %");
    box->Release();
    IAccessible* bypass = Object(kIdBypass);
    VARIANT state;
    bypass->get_accState(kSelf, &state);
    EXPECT_NE(state.lVal & STATE_SYSTEM_PRESSED, 0);
    bypass->Release();
}

// A screen reader that still holds an object after the page has gone gets
// errors, not a crash; a button's default action presses it as Space does.
TEST_F(ControlAccessibleTest, DefaultActionAndLateCalls) {
    ASSERT_TRUE(h->Open());
    IAccessible* listen = Object(kIdListen);
    BSTR text = nullptr;
    ASSERT_EQ(listen->get_accDefaultAction(kSelf, &text), S_OK);
    EXPECT_EQ(Text(text), "Press");
    ASSERT_EQ(listen->accDoDefaultAction(kSelf), S_OK);
    h->Pump(50);
    EXPECT_EQ(Value(kParamListen), 1);
    text = nullptr;
    listen->get_accValue(kSelf, &text);
    EXPECT_EQ(Text(text), "Delay");
    IAccessible* slider = Object(10005);
    h->Close();
    for (IAccessible* late : {listen, slider}) {
        text = nullptr;
        VARIANT role;
        EXPECT_EQ(late->get_accName(kSelf, &text), RPC_E_DISCONNECTED);
        EXPECT_EQ(text, nullptr);
        EXPECT_EQ(late->get_accRole(kSelf, &role), RPC_E_DISCONNECTED);
        EXPECT_EQ(late->accDoDefaultAction(kSelf), RPC_E_DISCONNECTED);
        LONG x = 0, y = 0, w = 0, hgt = 0;
        EXPECT_EQ(late->accLocation(&x, &y, &w, &hgt, kSelf), RPC_E_DISCONNECTED);
        late->Release();
    }
}
