// A small CLAP host of our own, for the tests: loads zvDelay.clap (dlopen
// natively, LoadLibrary under Wine), scans its factory, creates plug-ins
// and drives them as a DAW would: activation, process calls with the
// host's planes and event lists, params flush, state save and load, the
// gui on Windows. It offers the params, state and thread-check extensions
// and writes down what the plug-in asks of it (flush requests, rescans) and
// any call made on a thread the headers do not allow.
//
// Threads: the test's thread is the main thread; a call the host makes as
// the audio thread (process, start/stop, reset, flush while active) runs
// inside CAudioThreadRole, on whichever thread makes it.
#pragma once
#include <clap/entry.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/plugin-factory.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The library, loaded and its entry initialised; deinit and unload at the
// end.
class CClapLibrary {
public:
    explicit CClapLibrary(const std::string& path);
    ~CClapLibrary();
    CClapLibrary(const CClapLibrary&) = delete;
    CClapLibrary& operator=(const CClapLibrary&) = delete;
    const clap_plugin_entry_t* Entry() const { return m_entry; }
    const clap_plugin_factory_t* Factory() const { return m_factory; }
    std::string Error() const { return m_error; }

private:
    void* m_module = nullptr;
    const clap_plugin_entry_t* m_entry = nullptr;
    const clap_plugin_factory_t* m_factory = nullptr;
    std::string m_error;
};

// The file built next to the tests (ZV_CLAP_FILE, as the platform names it).
std::string ClapFilePath();

// What the plug-in allocated, freed and locked inside process calls and
// active flushes since the last call (malloc, free, pthread mutexes; the
// native build outside the sanitizers counts, CountsAudioCalls says so).
struct AudioCallCounts {
    int allocations;
    int locks;
};
bool CountsAudioCalls();
AudioCallCounts TakeAudioCallCounts();

// Marks the calling thread as the host's audio thread while it exists.
class CAudioThreadRole {
public:
    CAudioThreadRole();
    ~CAudioThreadRole();
};

// One event of the host's input list: a parameter value (natural) or a
// transport with a tempo, at a frame.
struct HostEvent {
    uint32_t frame;
    bool transport;   // false: a parameter value
    uint32_t id;      // parameter id
    double value;     // natural value, or beats per minute
};

// One event of the plug-in's output list.
struct OutEvent {
    uint16_t type;   // CLAP_EVENT_PARAM_VALUE, _GESTURE_BEGIN, _GESTURE_END
    uint32_t id;
    double value;
    bool operator==(const OutEvent& o) const { return type == o.type && id == o.id && value == o.value; }
};

// The host: one clap_host_t with its extensions.
class CClapTestHost {
public:
    CClapTestHost();
    const clap_host_t* Host() const { return &m_host; }

    std::atomic<int> flushRequests{0};
    std::atomic<int> rescans{0};
    std::atomic<int> callbackRequests{0};
    // Host calls made on a thread their rule forbids (names, in order).
    std::vector<std::string> wrongThread;

private:
    void Check(bool allowed, const char* call);
    static CClapTestHost* From(const clap_host_t* host) { return static_cast<CClapTestHost*>(host->host_data); }
    clap_host_t m_host{};
    clap_host_params_t m_params{};
    clap_host_thread_check_t m_threadCheck{};
    clap_host_state_t m_state{};
};

// One plug-in instance with its extensions.
class CClapInstance {
public:
    CClapInstance(const CClapLibrary& library, CClapTestHost& host, const char* id);
    ~CClapInstance();
    CClapInstance(const CClapInstance&) = delete;
    CClapInstance& operator=(const CClapInstance&) = delete;

    const clap_plugin_t* Plugin() const { return m_plugin; }
    const clap_plugin_params_t* Params() const { return m_params; }
    const clap_plugin_audio_ports_t* Ports() const { return m_ports; }
    const clap_plugin_gui_t* Gui() const { return m_gui; }
    int InputChannels() const { return m_inputChannels; }

    bool Activate(double rate, uint32_t minFrames = 1, uint32_t maxFrames = 8192);
    void Deactivate();
    bool Active() const { return m_active; }

    // One process call on planes the caller owns (in: 1 or 2, out: 2).
    // events: frames inside the call; transportTempo > 0 gives the call a
    // transport with that tempo. The output events are returned.
    std::vector<OutEvent> Process(const float* const* in, float* const* out, uint32_t frames,
                                  const std::vector<HostEvent>& events = {}, double transportTempo = 0.0);
    // params.flush (on the audio thread while active, as the headers say).
    std::vector<OutEvent> Flush(const std::vector<HostEvent>& events = {});
    double Value(uint32_t id) const;

    std::vector<uint8_t> Save() const;
    bool Load(const std::vector<uint8_t>& bytes) const;

    // Runs an interleaved input through in calls of the given sizes (used
    // in turn), with events at absolute frames; interleaved stereo out. With
    // inPlace the stereo output planes are the input planes.
    std::vector<float> Render(const std::vector<float>& in, const std::vector<uint32_t>& blockSizes,
                              const std::vector<HostEvent>& events = {}, bool inPlace = false,
                              double transportTempo = 0.0);

private:
    const clap_plugin_t* m_plugin = nullptr;
    const clap_plugin_params_t* m_params = nullptr;
    const clap_plugin_state_t* m_state = nullptr;
    const clap_plugin_audio_ports_t* m_ports = nullptr;
    const clap_plugin_gui_t* m_gui = nullptr;
    int m_inputChannels = 0;
    bool m_active = false;
};
