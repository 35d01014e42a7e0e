// A small VST3 host of our own, for what the hosts at hand cannot show: it
// loads a module as a host of the system does (Linux: dlopen, ModuleEntry;
// Windows: LoadLibrary, InitDll; then GetPluginFactory), reads the factory,
// creates instances and drives them through the interfaces, with host
// objects of its own (a memory stream, parameter change queues, a component
// handler that records what it is told). Portable: the native tests and the
// Windows tests under Wine build the same host.
//
// The host's parameter queues are fixed arrays, so that a process call
// allocates nothing on the host's side either (the plug-in's output queue
// is one of them).
#pragma once
#include <travesty/audio_processor.h>
#include <travesty/component.h>
#include <travesty/edit_controller.h>
#include <travesty/factory.h>
#include <travesty/unit.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vst3host {

// The module, loaded for as long as the object lives.
class CModule {
public:
    explicit CModule(const std::string& path);
    ~CModule();
    CModule(const CModule&) = delete;
    CModule& operator=(const CModule&) = delete;

    bool Loaded() const { return m_factory != nullptr; }
    v3_plugin_factory** Factory() const { return m_factory; }
    // A symbol of the module (null when it exports none by that name).
    void* Symbol(const char* name) const;

    int32_t ClassCount() const;
    bool ClassInfo(int32_t index, v3_class_info_2* info) const;

private:
    void* m_handle = nullptr;
    v3_plugin_factory** m_factory = nullptr;
};

// A stream over memory (IBStream), the host's side of getState/setState.
struct CMemoryStream {
    const void* table;
    std::vector<uint8_t> data;
    int64_t position = 0;
    CMemoryStream();
    explicit CMemoryStream(std::vector<uint8_t> bytes);
    v3_bstream** Stream() { return reinterpret_cast<v3_bstream**>(this); }
};

// One parameter's points (IParamValueQueue), at most kMaxPoints.
struct CParamQueue {
    static constexpr int kMaxPoints = 64;
    const void* table;
    v3_param_id id = 0;
    int32_t count = 0;
    int32_t offsets[kMaxPoints] = {};
    double values[kMaxPoints] = {};
    CParamQueue();
};

// The changes of one process call (IParameterChanges), at most kMaxQueues
// parameters; also the plug-in's output.
struct CParamChanges {
    static constexpr int kMaxQueues = 32;
    const void* table;
    int32_t count = 0;
    CParamQueue queues[kMaxQueues];
    CParamChanges();
    v3_param_changes** Changes() { return reinterpret_cast<v3_param_changes**>(this); }
    // A point for a parameter (its queue added when it has none).
    void Add(v3_param_id id, int32_t offset, double value);
    // The last value reported for a parameter, or -1 when none was.
    double Last(v3_param_id id) const;
    void Clear() { count = 0; }
};

// What the plug-in told the host (IComponentHandler).
struct CComponentHandler {
    struct Edit {
        char kind;   // 'b' begin, 'p' perform, 'e' end
        v3_param_id id;
        double value;
    };
    const void* table;
    int refs = 1;
    std::vector<Edit> edits;
    std::vector<int32_t> restarts;
    CComponentHandler();
    v3_component_handler** Handler() { return reinterpret_cast<v3_component_handler**>(this); }
};

// One plug-in instance and its interfaces.
class CInstance {
public:
    CInstance(const CModule& module, const v3_tuid classId);
    ~CInstance();
    CInstance(const CInstance&) = delete;
    CInstance& operator=(const CInstance&) = delete;

    bool Valid() const { return m_component && m_processor && m_controller; }
    v3_component** Component() const { return m_component; }
    v3_audio_processor** Processor() const { return m_processor; }
    v3_edit_controller** Controller() const { return m_controller; }
    v3_unit_information** UnitInfo() const { return m_unitInfo; }

    // setupProcessing (32-bit, real time) and setActive(true), setProcessing(true).
    bool Start(double rate, int32_t maxBlock);
    void Stop();

    // One process call over planes; tempo > 0 gives a process context with
    // that tempo. The output changes land in Output().
    int32_t Process(const float* const* in, int inChannels, float* const* out, int32_t frames,
                    CParamChanges* changes = nullptr, double tempo = 0.0);
    CParamChanges& Output() { return m_output; }

    std::vector<uint8_t> State();
    int32_t SetState(const std::vector<uint8_t>& bytes);

    double Normalized(v3_param_id id);
    int32_t SetNormalized(v3_param_id id, double value);
    std::string Text(v3_param_id id, double normalized);

private:
    v3_component** m_component = nullptr;
    v3_audio_processor** m_processor = nullptr;
    v3_edit_controller** m_controller = nullptr;
    v3_unit_information** m_unitInfo = nullptr;
    CParamChanges m_output;
    CParamChanges m_noChanges;
};

// The 16 bytes of a class id as a host reads them from the class info,
// compared with a GUID's registry text: on Windows, as COM lays a GUID out
// in memory (the first three fields little-endian); elsewhere in the
// text's order.
bool IdMatchesText(const v3_tuid id, const char* text);

std::string Utf8(const int16_t* text, size_t units);

}  // namespace vst3host
