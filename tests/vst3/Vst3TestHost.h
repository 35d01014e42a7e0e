// A small VST3 host of our own, for what the hosts at hand cannot show: it
// loads a module as a host of the system does (Linux: dlopen, ModuleEntry;
// Windows: LoadLibrary, InitDll; then GetPluginFactory), creates instances
// and drives them through the interfaces, with host objects of its own (a
// memory stream, parameter queues). Portable: the native tests and the
// Windows tests under Wine build the same host. The queues are fixed
// arrays, so that a process call allocates nothing on the host's side
// either (the plug-in's output queue is one of them).
#pragma once
#include <travesty/audio_processor.h>
#include <travesty/component.h>
#include <travesty/edit_controller.h>
#include <travesty/factory.h>
#include <travesty/unit.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vst3/Vst3Com.h"

namespace vst3host {

using zvvst3::TableOf;

class CModule {
public:
    explicit CModule(const std::string& path);
    ~CModule();
    bool Loaded() const { return m_factory != nullptr; }
    void* Symbol(const char* name) const;
    int32_t ClassCount() const;
    bool ClassInfo(int32_t index, v3_class_info_2* info) const;
    v3_plugin_factory** Factory() const { return m_factory; }

private:
    void* m_handle = nullptr;
    v3_plugin_factory** m_factory = nullptr;
};

// IBStream over memory.
struct CMemoryStream {
    const void* table;
    std::vector<uint8_t> data;
    int64_t position = 0;
    explicit CMemoryStream(std::vector<uint8_t> bytes = {});
    v3_bstream** Stream() { return reinterpret_cast<v3_bstream**>(this); }
};

// IParameterChanges with its IParamValueQueues (also the plug-in's output).
struct CParamQueue {
    const void* table;
    v3_param_id id = 0;
    int32_t count = 0;
    int32_t offsets[64] = {};
    double values[64] = {};
};
struct CParamChanges {
    const void* table;
    int32_t count = 0;
    CParamQueue queues[32];
    CParamChanges();
    v3_param_changes** Changes() { return reinterpret_cast<v3_param_changes**>(this); }
    void Add(v3_param_id id, int32_t offset, double value);
    double Last(v3_param_id id) const;   // the last point of a parameter, -1 for none
};

class CInstance {
public:
    CInstance(const CModule& module, const char* name);   // a class by its name
    ~CInstance();
    bool Valid() const { return comp && proc && ctrl && units; }
    bool Start(double rate, int32_t maxBlock);
    // One process call over planes (frames 0 and null planes: a flush);
    // tempo > 0 gives a process context with it. Output changes in output.
    int32_t Process(const float* const* in, int inChannels, float* const* out, int32_t frames,
                    CParamChanges* changes = nullptr, double tempo = 0.0);
    std::vector<uint8_t> State();
    int32_t SetState(const std::vector<uint8_t>& bytes);

    // The interfaces, as their tables and the pointers a host holds.
    v3_component** comp = nullptr;
    v3_audio_processor** proc = nullptr;
    v3_edit_controller** ctrl = nullptr;
    v3_unit_information** units = nullptr;
    v3_component_cpp* Comp() const { return TableOf<v3_component_cpp>(comp); }
    v3_audio_processor_cpp* Proc() const { return TableOf<v3_audio_processor_cpp>(proc); }
    v3_edit_controller_cpp* Ctrl() const { return TableOf<v3_edit_controller_cpp>(ctrl); }
    v3_unit_information_cpp* Units() const { return TableOf<v3_unit_information_cpp>(units); }
    CParamChanges output;
    CParamChanges noChanges;   // for a call without changes (made once: the queues are large)
};

// Whether the 16 bytes of a class id are the GUID of text as a Windows host
// reads them (COM's layout, CLSIDFromString); elsewhere in the text's order.
bool IdMatchesText(const v3_tuid id, const char* text);

}  // namespace vst3host
