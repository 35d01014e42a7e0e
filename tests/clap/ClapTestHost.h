// A small CLAP host of our own: loads zvDelay.clap (dlopen natively,
// LoadLibrary under Wine) and drives its plug-ins as a DAW does (activation,
// process calls with planes and event lists, params flush, state, gui). It
// offers the params, state and thread-check extensions and writes down any
// call the plug-in makes on a thread the headers forbid. The test's thread
// is the main thread; the host's audio-thread calls run in CAudioThreadRole.
#pragma once
#include <clap/entry.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/plugin-factory.h>

#include <atomic>
#include <string>
#include <vector>

#include "effect/ParamTable.h"

class CClapLibrary {
public:
    explicit CClapLibrary(const std::string& path);   // loaded, entry initialised
    ~CClapLibrary();                                   // deinit, unloaded
    const clap_plugin_entry_t* entry = nullptr;
    const clap_plugin_factory_t* factory = nullptr;
    std::string error;

private:
    void* m_module = nullptr;
};
// ZV_CLAP_FILE in the platform's spelling, and the library loaded from it
// once for the program.
std::string ClapFilePath();
CClapLibrary& Library();

struct CAudioThreadRole {
    CAudioThreadRole();
    ~CAudioThreadRole();
};
// What the plug-in allocated or locked inside process and active flushes
// since the last call (counted natively outside the sanitizers only).
bool CountsAudioCalls();
int TakeAudioCalls();

struct HostEvent {   // a parameter value (natural) or, with transport, a tempo
    uint32_t frame, id;
    double value;
    bool transport = false;
};
struct OutEvent {
    uint16_t type;
    uint32_t id;
    double value;
    bool operator==(const OutEvent& o) const { return type == o.type && id == o.id && value == o.value; }
};

class CClapTestHost {
public:
    CClapTestHost();
    clap_host_t host{};
    std::atomic<int> flushRequests{0}, rescans{0};
    std::vector<std::string> wrongThread;   // host calls on a forbidden thread

private:
    clap_host_params_t m_params{};
    clap_host_thread_check_t m_threadCheck{};
};

class CClapInstance {
public:
    CClapInstance(CClapTestHost& host, const char* id, CClapLibrary& library = Library());
    ~CClapInstance();
    bool Activate(double rate);
    void Deactivate();
    // One call on the caller's planes; the output events come back.
    std::vector<OutEvent> Process(const float* const* in, float* const* out, uint32_t frames,
                                  const std::vector<HostEvent>& events = {}, double tempo = 0.0);
    std::vector<OutEvent> Flush(const std::vector<HostEvent>& events = {});
    // A block through flush, TempoSync first (the tempo rule then runs as
    // the host's events make it run).
    void SetBlock(const ParamBlock& block);
    double Value(uint32_t id) const;
    std::vector<uint8_t> Save() const;
    bool Load(const std::vector<uint8_t>& bytes) const;
    // Interleaved in and stereo out, in calls of the sizes given in turn,
    // events at absolute frames; each call's transport carries the tempo of
    // the last transport event before it (from `tempo` on).
    std::vector<float> Render(const std::vector<float>& in, const std::vector<uint32_t>& blocks,
                              const std::vector<HostEvent>& events = {}, double tempo = 0.0, bool inPlace = false);

    const clap_plugin_t* plugin = nullptr;
    const clap_plugin_params_t* params = nullptr;
    const clap_plugin_audio_ports_t* ports = nullptr;
    const clap_plugin_gui_t* gui = nullptr;
    int channels = 0;

private:
    const clap_plugin_state_t* m_state = nullptr;
    bool m_active = false;
};
