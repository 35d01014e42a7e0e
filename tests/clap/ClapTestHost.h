// A small CLAP host of our own: loads zvDelay.clap (dlopen natively,
// LoadLibrary under Wine) and drives its plug-ins as a DAW does. It offers
// the params and thread-check extensions and notes any call the plug-in
// makes on a thread the headers forbid. The test's thread is the main
// thread; the host's audio-thread calls run inside CAudioThreadRole.
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

struct CClapLibrary {   // loaded and initialised; deinit and unload at the end
    explicit CClapLibrary(const std::string& path);
    ~CClapLibrary();
    void* module = nullptr;
    const clap_plugin_entry_t* entry = nullptr;
    const clap_plugin_factory_t* factory = nullptr;
};
CClapLibrary& Library();   // ZV_CLAP_FILE, loaded once for the program

struct CAudioThreadRole {
    CAudioThreadRole();
    ~CAudioThreadRole();
};
// malloc, free and mutex calls inside process and active flushes since the
// last call; -1 where the build cannot count (Windows, sanitizers).
int TakeAudioCalls();

struct HostEvent {   // a parameter's natural value, or with transport a tempo
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

struct CClapTestHost {
    CClapTestHost();
    clap_host_t host{};
    clap_host_params_t params{};
    clap_host_thread_check_t threadCheck{};
    std::atomic<int> flushRequests{0}, rescans{0};
    std::vector<std::string> wrongThread;   // host calls made on a forbidden thread
};

class CClapInstance {
public:
    CClapInstance(CClapTestHost& host, const char* id, CClapLibrary& library = Library());
    ~CClapInstance();
    bool Activate(double rate);
    void Deactivate();
    // One call on the caller's planes; its output events.
    std::vector<OutEvent> Process(const float* const* in, float* const* out, uint32_t frames,
                                  const std::vector<HostEvent>& events = {}, double tempo = 0.0);
    std::vector<OutEvent> Flush(const std::vector<HostEvent>& events = {});
    // A block through flush, TempoSync first (the tempo rule runs as the
    // host's events make it run).
    void SetBlock(const ParamBlock& block);
    double Value(uint32_t id) const;
    std::vector<uint8_t> Save() const;
    bool Load(const std::vector<uint8_t>& bytes) const;
    // Interleaved in, stereo out, in calls of the sizes given in turn, with
    // events at absolute frames; each call's transport has the tempo of the
    // last transport event before it (from `tempo` on).
    std::vector<float> Render(const std::vector<float>& in, const std::vector<uint32_t>& blocks,
                              const std::vector<HostEvent>& events = {}, double tempo = 0.0, bool inPlace = false);

    const clap_plugin_t* plugin = nullptr;
    const clap_plugin_params_t* params = nullptr;
    const clap_plugin_state_t* state = nullptr;
    const clap_plugin_audio_ports_t* ports = nullptr;
    const clap_plugin_gui_t* gui = nullptr;
    int channels = 0;
    bool active = false;
};
