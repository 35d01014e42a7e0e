// CVst3Editor: our editor page as a VST3 plug view on the "HWND" platform
// (Windows), for CVst3Delay.
//
// The page (CEmbeddedEditor, editor/EmbeddedEditor.h: the filter's page in a
// host's window, at a scale) talks to an effect through ITzPlugInProp. In
// the VST3 layer the edit controller holds the values the host shows and
// sets (CVst3EditModel), and the processing side takes its changes from the
// host's parameter queues, as the format wants: an editor's edit goes to the
// host (the component handler's begin, perform and end edit), which hands
// it to processing. So the page gets an effect of its own, on the
// user-interface thread only, that never processes: its values are the
// controller's, with a CHostEditorLink attached as its automation object.
// - The page's edits (setters, presets, setups, undo) end in the link's
//   notices; every tick of the view's timer (and before the host's values
//   are taken) they become, per parameter, the controller's value and the
//   host's begin, perform and end edit (in that order, a gesture that
//   spans ticks kept open until its end).
// - The host's changes, and what processing changed (automation, the tempo
//   rule, the host tempo, a program), are in the controller's values: each
//   tick takes those that differ into the page's effect (no notice back),
//   and the page reads them at its next tick.
// - What only processing knows the page reads from processing's effect: the
//   peak levels and clip lights, whether it streams, and the effect's own
//   bypass button (the host's bypass switch is the host's parameter).
//
// Size and scale: the page's design size at the host's content scale
// (IPlugViewContentScaleSupport; otherwise the window's DPI); it cannot be
// resized. A new scale while attached lays the page out again and asks the
// frame for the new size.
//
// Threads: the host's UI thread throughout (the view's calls and its timer,
// in the host's message loop). The view holds a reference on the plug-in.
// No lock of ours is held while the host is called.
#pragma once
#include <windows.h>
#include <travesty/view.h>

#include <atomic>
#include <memory>

#include "editor/EmbeddedEditor.h"
#include "effect/HostEditorLink.h"
#include "effect/OfflineEffect.h"
#include "vst3/Vst3Com.h"

class CVst3Delay;

class CVst3Editor {
public:
    // A view for owner (referenced until the view goes), or null.
    static v3_plugin_view** Create(CVst3Delay& owner);

    v3_result QueryInterface(const v3_tuid iid, void** object);
    uint32_t AddRef() { return ++m_refs; }
    uint32_t Release();

    // IPlugView.
    v3_result Attached(void* parent, const char* platformType);
    v3_result Removed();
    v3_result GetSize(v3_view_rect* rect);
    v3_result SetFrame(v3_plugin_frame** frame);
    // IPlugViewContentScaleSupport.
    v3_result SetContentScale(float factor);

    // The timer's work, also for tests: the page's edits to the host, the
    // host's values to the page.
    void Exchange();

private:
    // The page's effect: values of its own, the rest from processing's.
    class CPageEffect : public COfflineEffect {
    public:
        explicit CPageEffect(CVst3Delay& owner) : m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE GetLeftClip(int32_t which) override;
        HRESULT STDMETHODCALLTYPE SetLeftClip(int32_t which, int32_t value) override;
        HRESULT STDMETHODCALLTYPE GetRightClip(int32_t which) override;
        HRESULT STDMETHODCALLTYPE SetRightClip(int32_t which, int32_t value) override;
        HRESULT STDMETHODCALLTYPE GetPeakLevels(float* left, float* right) override;
        HRESULT STDMETHODCALLTYPE IsStreaming() override;
        HRESULT STDMETHODCALLTYPE IsBypassed() override;
        HRESULT STDMETHODCALLTYPE SetBypass(int32_t bypass) override;
        HRESULT STDMETHODCALLTYPE CountDownClip(int32_t side) override;

    private:
        CVst3Delay& m_owner;
    };

    explicit CVst3Editor(CVst3Delay& owner);
    ~CVst3Editor();
    bool EnsureEditor();
    static void CALLBACK OnTimer(HWND window, UINT message, UINT_PTR id, DWORD time);

    zvvst3::CFace<CVst3Editor> m_viewFace;
    zvvst3::CFace<CVst3Editor> m_scaleFace;
    std::atomic<uint32_t> m_refs{1};
    CVst3Delay& m_owner;
    CHostEditorLink m_link;
    CPageEffect m_effect;
    std::unique_ptr<CEmbeddedEditor> m_editor;
    v3_plugin_frame** m_frame = nullptr;
    double m_scale = 0.0;   // the host's, 0 for none
    bool m_gestureOpen[kParamCount] = {};
};
