// CClapDelay: the delay effect as a CLAP plug-in instance.
//
// The CLAP host layer, beside lv2/ and host/: two plug-ins share this class,
// stereo in / stereo out and mono in / stereo out (ClapIds.h). The effect
// inside is the portable core as every layer of ours runs it (CHostedEffect:
// COfflineEffect, the host bypass fade, the pieces split at events), with a
// CHostEditorLink attached as its automation object, so that the host and
// our editor share the parameters (effect/HostEditorLink.h).
//
// Threads (the headers' rules; which call runs where):
//   main thread   init, destroy, activate, deactivate, on_main_thread; the
//                 extensions params (count, get_info, get_value,
//                 value_to_text, text_to_value), state (save, load),
//                 audio-ports, gui; params.flush while inactive; our editor
//                 (its window, timer and setters) and the link's wake
//                 (the host's request_flush).
//   audio thread  start_processing, stop_processing, reset, process;
//                 params.flush while active (never beside process).
//   any thread    get_extension, and the factory's calls.
// Where the host offers thread-check, the main-thread calls that change
// something (activate, state save and load, opening the editor) refuse to
// run on another thread.
//
// Locks. The instance adds none. The effect's parameter lock (a leaf, held
// for microseconds) is taken on the main thread only: by the editor's
// setters, state save (GetAllParams) and state load (LoadParams). The audio
// thread takes no lock: process and flush read the values in force and
// write host changes through the link's atomics. No call into the host is
// made with the parameter lock held: save writes the host's stream after
// the copy, load reads it before applying, the editor's notices reach the
// host after the effect released its lock.
//
// Real time. activate prepares everything process needs: the delay memory
// for the rate and the scratch buffers. process allocates nothing, locks
// nothing and calls into the host only through the process data it is lent
// (the buffers and event lists, touched only inside the call): it applies
// the host's parameter events and the transport's tempo at their frames
// (the block split there), runs the pieces, and passes the editor's
// gestures and values out. The processing entry flushes denormals.
//
// Host bypass: parameter id 21 (CLAP_PARAM_IS_BYPASS), the core's 10 ms
// cross-fade with the effect running throughout, as the LV2 layer's
// "enabled" switch. CLAP hosts keep no parameter values of their own, so
// the switch is saved with the state (StateChunk.h), where the other layers
// skip it. The editor's own Bypass button stays the effect's.
//
// State: the chunk every layer of ours writes and reads (StateChunk.h),
// loaded or saved whether or not the plug-in is active; a value the host
// set through params.flush while inactive is in force, so it is saved.
//
// Meters: left to the editor (the effect's peak levels and clip lights);
// no read-only parameters.
#pragma once
#include <clap/plugin.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>

#include <atomic>
#include <memory>

#include "clap/ClapIds.h"
#include "effect/HostEditorLink.h"
#include "effect/HostedEffect.h"

#ifdef _WIN32
class CEmbeddedEditor;
#endif

class CClapDelay {
public:
    // The factory's create_plugin: a new instance, or null (no memory).
    static const clap_plugin_t* Create(const clap_host_t* host, const clap_plugin_descriptor_t* descriptor,
                                       int inputChannels);
    ~CClapDelay();

    // The extensions' tables (the same for every instance).
    static const clap_plugin_params_t kParams;
    static const clap_plugin_state_t kState;
    static const clap_plugin_audio_ports_t kAudioPorts;
#ifdef _WIN32
    static const clap_plugin_gui_t kGui;
#endif

private:
    CClapDelay(const clap_host_t* host, const clap_plugin_descriptor_t* descriptor, int inputChannels);
    static CClapDelay* From(const clap_plugin_t* plugin) { return static_cast<CClapDelay*>(plugin->plugin_data); }
    friend class CClapEvents;

    // clap_plugin_t
    bool Init();
    bool Activate(double sampleRate);
    void Deactivate() { m_active = false; }
    void Reset() { m_core.Reset(); }
    clap_process_status Process(const clap_process_t* process);
    const void* Extension(const char* id) const;

    // params
    bool GetValue(clap_id id, double* value) const;
    void Flush(const clap_input_events_t* in, const clap_output_events_t* out);
    // One host event (parameter value or transport), at the point of the run
    // it belongs to; false for an event that is not ours.
    bool IsOurs(const clap_event_header_t* event) const;
    void Apply(const clap_event_header_t* event);
    // The editor's gestures and values since the last call, to the host.
    void SendNotices(const clap_output_events_t* out);
    static void Wake(void* context);

    // state
    bool Save(const clap_ostream_t* stream);
    bool Load(const clap_istream_t* stream);

    // audio-ports
    uint32_t PortCount(bool input) const;
    bool PortInfo(uint32_t index, bool input, clap_audio_port_info_t* info) const;

#ifdef _WIN32
    // gui (ClapGui.cpp)
    bool GuiCreate(const char* api, bool floating);
    void GuiDestroy();
    bool GuiSetScale(double scale);
    bool GuiGetSize(uint32_t* width, uint32_t* height);
    bool GuiSetSize(uint32_t width, uint32_t height);
    bool GuiSetParent(const clap_window_t* window);
    bool GuiShow(bool show);
#endif

    // True unless the host's thread-check says this is not the main thread.
    bool OnMainThread() const;

    clap_plugin_t m_plugin;
    const clap_host_t* m_host;
    const clap_host_params_t* m_hostParams = nullptr;
    const clap_host_thread_check_t* m_threadCheck = nullptr;
    const int m_inputChannels;

    CHostEditorLink m_link;
    CHostedEffect m_core;
    // The host bypass switch: written by process and flush (and load),
    // read by get_value and save.
    std::atomic<bool> m_bypassed{false};
    bool m_active = false;   // main thread
#ifdef _WIN32
    std::unique_ptr<CEmbeddedEditor> m_editor;   // main thread
#endif
};
