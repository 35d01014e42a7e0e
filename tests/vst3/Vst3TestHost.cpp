#include "Vst3TestHost.h"

#include <cstring>

#if defined(_WIN32)
#include <objbase.h>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vst3host {

namespace {

template <class Table, class T>
Table* TableOf(T** object) {
    return *reinterpret_cast<Table**>(object);
}

struct StreamTable : v3_funknown {
    v3_bstream stream;
};
struct HandlerTable : v3_funknown {
    v3_component_handler handler;
};

bool SameId(const v3_tuid iid, const v3_tuid other) { return std::memcmp(iid, other, sizeof(v3_tuid)) == 0; }

// ---- The memory stream ----------------------------------------------------

v3_result V3_API StreamQuery(void* self, const v3_tuid iid, void** object) {
    if (SameId(iid, v3_funknown_iid) || SameId(iid, v3_bstream_iid)) {
        *object = self;
        return V3_OK;
    }
    *object = nullptr;
    return V3_NO_INTERFACE;
}
uint32_t V3_API Count(void*) { return 1; }
v3_result V3_API StreamRead(void* self, void* buffer, int32_t bytes, int32_t* read) {
    auto* s = static_cast<CMemoryStream*>(self);
    const int64_t left = static_cast<int64_t>(s->data.size()) - s->position;
    const int32_t n = bytes < 0 ? 0 : left < bytes ? static_cast<int32_t>(left) : bytes;
    if (n > 0) std::memcpy(buffer, s->data.data() + s->position, static_cast<size_t>(n));
    s->position += n;
    if (read) *read = n;
    return V3_OK;
}
v3_result V3_API StreamWrite(void* self, void* buffer, int32_t bytes, int32_t* written) {
    auto* s = static_cast<CMemoryStream*>(self);
    if (bytes < 0) return V3_INVALID_ARG;
    if (s->data.size() < static_cast<size_t>(s->position + bytes)) s->data.resize(static_cast<size_t>(s->position + bytes));
    std::memcpy(s->data.data() + s->position, buffer, static_cast<size_t>(bytes));
    s->position += bytes;
    if (written) *written = bytes;
    return V3_OK;
}
v3_result V3_API StreamSeek(void* self, int64_t pos, int32_t mode, int64_t* result) {
    auto* s = static_cast<CMemoryStream*>(self);
    const int64_t base = mode == V3_SEEK_SET ? 0 : mode == V3_SEEK_CUR ? s->position : static_cast<int64_t>(s->data.size());
    if (base + pos < 0) return V3_INVALID_ARG;
    s->position = base + pos;
    if (result) *result = s->position;
    return V3_OK;
}
v3_result V3_API StreamTell(void* self, int64_t* pos) {
    if (pos) *pos = static_cast<CMemoryStream*>(self)->position;
    return V3_OK;
}
const StreamTable kStreamTable = {{StreamQuery, Count, Count}, {StreamRead, StreamWrite, StreamSeek, StreamTell}};

// ---- Parameter queues ----------------------------------------------------------

v3_result V3_API NoQuery(void*, const v3_tuid, void** object) {
    *object = nullptr;
    return V3_NO_INTERFACE;
}
v3_param_id V3_API QueueId(void* self) { return static_cast<CParamQueue*>(self)->id; }
int32_t V3_API QueuePointCount(void* self) { return static_cast<CParamQueue*>(self)->count; }
v3_result V3_API QueuePoint(void* self, int32_t index, int32_t* offset, double* value) {
    auto* q = static_cast<CParamQueue*>(self);
    if (index < 0 || index >= q->count) return V3_INVALID_ARG;
    *offset = q->offsets[index];
    *value = q->values[index];
    return V3_OK;
}
v3_result V3_API QueueAddPoint(void* self, int32_t offset, double value, int32_t* index) {
    auto* q = static_cast<CParamQueue*>(self);
    if (q->count >= CParamQueue::kMaxPoints) return V3_INTERNAL_ERR;
    q->offsets[q->count] = offset;
    q->values[q->count] = value;
    if (index) *index = q->count;
    ++q->count;
    return V3_OK;
}
const v3_param_value_queue_cpp kQueueTable = {{NoQuery, Count, Count},
                                              {QueueId, QueuePointCount, QueuePoint, QueueAddPoint}};

int32_t V3_API ChangesCount(void* self) { return static_cast<CParamChanges*>(self)->count; }
v3_param_value_queue** V3_API ChangesData(void* self, int32_t index) {
    auto* c = static_cast<CParamChanges*>(self);
    if (index < 0 || index >= c->count) return nullptr;
    return reinterpret_cast<v3_param_value_queue**>(&c->queues[index]);
}
v3_param_value_queue** V3_API ChangesAdd(void* self, v3_param_id* id, int32_t* index) {
    auto* c = static_cast<CParamChanges*>(self);
    for (int32_t i = 0; i < c->count; ++i) {
        if (c->queues[i].id == *id) {
            if (index) *index = i;
            return reinterpret_cast<v3_param_value_queue**>(&c->queues[i]);
        }
    }
    if (c->count >= CParamChanges::kMaxQueues) return nullptr;
    CParamQueue& q = c->queues[c->count];
    q.id = *id;
    q.count = 0;
    if (index) *index = c->count;
    ++c->count;
    return reinterpret_cast<v3_param_value_queue**>(&q);
}
const v3_param_changes_cpp kChangesTable = {{NoQuery, Count, Count}, {ChangesCount, ChangesData, ChangesAdd}};

// ---- The component handler -------------------------------------------------------

v3_result V3_API HandlerQuery(void* self, const v3_tuid iid, void** object) {
    if (SameId(iid, v3_funknown_iid) || SameId(iid, v3_component_handler_iid)) {
        *object = self;
        ++static_cast<CComponentHandler*>(self)->refs;
        return V3_OK;
    }
    *object = nullptr;
    return V3_NO_INTERFACE;
}
uint32_t V3_API HandlerRef(void* self) { return static_cast<uint32_t>(++static_cast<CComponentHandler*>(self)->refs); }
uint32_t V3_API HandlerUnref(void* self) { return static_cast<uint32_t>(--static_cast<CComponentHandler*>(self)->refs); }
v3_result V3_API HandlerBegin(void* self, v3_param_id id) {
    static_cast<CComponentHandler*>(self)->edits.push_back({'b', id, 0.0});
    return V3_OK;
}
v3_result V3_API HandlerPerform(void* self, v3_param_id id, double value) {
    static_cast<CComponentHandler*>(self)->edits.push_back({'p', id, value});
    return V3_OK;
}
v3_result V3_API HandlerEnd(void* self, v3_param_id id) {
    static_cast<CComponentHandler*>(self)->edits.push_back({'e', id, 0.0});
    return V3_OK;
}
v3_result V3_API HandlerRestart(void* self, int32_t flags) {
    static_cast<CComponentHandler*>(self)->restarts.push_back(flags);
    return V3_OK;
}
const HandlerTable kHandlerTable = {{HandlerQuery, HandlerRef, HandlerUnref},
                                    {HandlerBegin, HandlerPerform, HandlerEnd, HandlerRestart}};

template <class T>
void Unref(T** object) {
    if (object) TableOf<v3_funknown>(object)->unref(object);
}

}  // namespace

CMemoryStream::CMemoryStream() : table(&kStreamTable) {}
CMemoryStream::CMemoryStream(std::vector<uint8_t> bytes) : table(&kStreamTable), data(std::move(bytes)) {}
CParamQueue::CParamQueue() : table(&kQueueTable) {}
CParamChanges::CParamChanges() : table(&kChangesTable) {}
CComponentHandler::CComponentHandler() : table(&kHandlerTable) {}

void CParamChanges::Add(v3_param_id id, int32_t offset, double value) {
    int32_t index = 0;
    v3_param_value_queue** q = ChangesAdd(this, &id, &index);
    if (q) QueueAddPoint(q, offset, value, &index);
}

double CParamChanges::Last(v3_param_id id) const {
    for (int32_t i = 0; i < count; ++i) {
        if (queues[i].id == id && queues[i].count > 0) return queues[i].values[queues[i].count - 1];
    }
    return -1.0;
}

// ---- The module ---------------------------------------------------------------------

CModule::CModule(const std::string& path) {
    using GetFactory = void* (V3_API*)();
#if defined(_WIN32)
    // The build passes a Unix path; Wine maps it through drive Z:.
    std::wstring wide = path[0] == '/' ? L"Z:" : L"";
    for (char c : path) wide += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    HMODULE module = LoadLibraryW(wide.c_str());
    if (!module) return;
    m_handle = module;
    using Init = bool(V3_API*)();
    auto init = reinterpret_cast<Init>(Symbol("InitDll"));
    if (init && !init()) return;
#else
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) return;
    using Entry = bool (*)(void*);
    auto entry = reinterpret_cast<Entry>(Symbol("ModuleEntry"));
    if (!entry || !entry(m_handle)) return;
#endif
    auto get = reinterpret_cast<GetFactory>(Symbol("GetPluginFactory"));
    if (get) m_factory = static_cast<v3_plugin_factory**>(get());
}

CModule::~CModule() {
    Unref(m_factory);
    if (!m_handle) return;
#if defined(_WIN32)
    using Exit = bool(V3_API*)();
    if (auto exit = reinterpret_cast<Exit>(Symbol("ExitDll"))) exit();
    FreeLibrary(static_cast<HMODULE>(m_handle));
#else
    using Exit = bool (*)();
    if (auto exit = reinterpret_cast<Exit>(Symbol("ModuleExit"))) exit();
    dlclose(m_handle);
#endif
}

void* CModule::Symbol(const char* name) const {
    if (!m_handle) return nullptr;
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_handle), name));
#else
    return dlsym(m_handle, name);
#endif
}

int32_t CModule::ClassCount() const {
    return m_factory ? TableOf<v3_plugin_factory_cpp>(m_factory)->v1.num_classes(m_factory) : 0;
}

bool CModule::ClassInfo(int32_t index, v3_class_info_2* info) const {
    v3_plugin_factory_2** f2 = nullptr;
    if (!m_factory || TableOf<v3_funknown>(m_factory)->query_interface(m_factory, v3_plugin_factory_2_iid,
                                                                        reinterpret_cast<void**>(&f2)) != V3_OK) {
        return false;
    }
    const bool ok = TableOf<v3_plugin_factory_cpp>(f2)->v2.get_class_info_2(f2, index, info) == V3_OK;
    Unref(f2);
    return ok;
}

// ---- An instance ------------------------------------------------------------------------

CInstance::CInstance(const CModule& module, const v3_tuid classId) {
    v3_plugin_factory** f = module.Factory();
    if (!f) return;
    if (TableOf<v3_plugin_factory_cpp>(f)->v1.create_instance(f, classId, v3_component_iid,
                                                              reinterpret_cast<void**>(&m_component)) != V3_OK) {
        m_component = nullptr;
        return;
    }
    TableOf<v3_component_cpp>(m_component)->base.initialize(m_component, nullptr);
    auto query = [&](const v3_tuid iid, void** out) {
        TableOf<v3_funknown>(m_component)->query_interface(m_component, iid, out);
    };
    query(v3_audio_processor_iid, reinterpret_cast<void**>(&m_processor));
    query(v3_edit_controller_iid, reinterpret_cast<void**>(&m_controller));
    query(v3_unit_information_iid, reinterpret_cast<void**>(&m_unitInfo));
}

CInstance::~CInstance() {
    if (m_component) TableOf<v3_component_cpp>(m_component)->base.terminate(m_component);
    Unref(m_unitInfo);
    Unref(m_controller);
    Unref(m_processor);
    Unref(m_component);
}

bool CInstance::Start(double rate, int32_t maxBlock) {
    v3_process_setup setup{V3_REALTIME, V3_SAMPLE_32, maxBlock, rate};
    if (TableOf<v3_audio_processor_cpp>(m_processor)->proc.setup_processing(m_processor, &setup) != V3_OK) return false;
    if (TableOf<v3_component_cpp>(m_component)->comp.set_active(m_component, 1) != V3_OK) return false;
    return TableOf<v3_audio_processor_cpp>(m_processor)->proc.set_processing(m_processor, 1) == V3_OK;
}

void CInstance::Stop() {
    TableOf<v3_audio_processor_cpp>(m_processor)->proc.set_processing(m_processor, 0);
    TableOf<v3_component_cpp>(m_component)->comp.set_active(m_component, 0);
}

int32_t CInstance::Process(const float* const* in, int inChannels, float* const* out, int32_t frames,
                           CParamChanges* changes, double tempo) {
    v3_audio_bus_buffers input{};
    input.num_channels = inChannels;
    input.channel_buffers_32 = const_cast<float**>(in);
    v3_audio_bus_buffers output{};
    output.num_channels = 2;
    output.channel_buffers_32 = const_cast<float**>(out);
    v3_process_context context{};
    context.state = V3_PROCESS_CTX_TEMPO_VALID;
    context.bpm = tempo;
    m_output.Clear();
    v3_process_data data{};
    data.process_mode = V3_REALTIME;
    data.symbolic_sample_size = V3_SAMPLE_32;
    data.nframes = frames;
    data.num_input_buses = 1;
    data.num_output_buses = 1;
    data.inputs = &input;
    data.outputs = &output;
    data.input_params = (changes ? changes : &m_noChanges)->Changes();
    data.output_params = m_output.Changes();
    data.ctx = tempo > 0.0 ? &context : nullptr;
    return TableOf<v3_audio_processor_cpp>(m_processor)->proc.process(m_processor, &data);
}

std::vector<uint8_t> CInstance::State() {
    CMemoryStream stream;
    if (TableOf<v3_component_cpp>(m_component)->comp.get_state(m_component, stream.Stream()) != V3_OK) return {};
    return stream.data;
}

int32_t CInstance::SetState(const std::vector<uint8_t>& bytes) {
    CMemoryStream stream(bytes);
    return TableOf<v3_component_cpp>(m_component)->comp.set_state(m_component, stream.Stream());
}

double CInstance::Normalized(v3_param_id id) {
    return TableOf<v3_edit_controller_cpp>(m_controller)->ctrl.get_parameter_normalised(m_controller, id);
}

int32_t CInstance::SetNormalized(v3_param_id id, double value) {
    return TableOf<v3_edit_controller_cpp>(m_controller)->ctrl.set_parameter_normalised(m_controller, id, value);
}

std::string CInstance::Text(v3_param_id id, double normalized) {
    v3_str_128 text{};
    TableOf<v3_edit_controller_cpp>(m_controller)->ctrl.get_parameter_string_for_value(m_controller, id, normalized, text);
    return Utf8(text, 128);
}

// ---- Ids and texts ---------------------------------------------------------------------------

bool IdMatchesText(const v3_tuid id, const char* text) {
#if defined(_WIN32)
    // As a Windows host does: the class id is a GUID in memory.
    wchar_t wide[64] = {};
    for (int i = 0; text[i] && i < 63; ++i) wide[i] = static_cast<wchar_t>(text[i]);
    GUID guid{};
    if (FAILED(CLSIDFromString(wide, &guid))) return false;
    return std::memcmp(&guid, id, sizeof guid) == 0;
#else
    uint8_t bytes[16];
    int n = 0, high = -1;
    for (const char* p = text; *p && n < 16; ++p) {
        int digit = *p >= '0' && *p <= '9' ? *p - '0' : *p >= 'A' && *p <= 'F' ? *p - 'A' + 10
                  : *p >= 'a' && *p <= 'f' ? *p - 'a' + 10 : -1;
        if (digit < 0) continue;
        if (high < 0) {
            high = digit;
        } else {
            bytes[n++] = static_cast<uint8_t>(high * 16 + digit);
            high = -1;
        }
    }
    return n == 16 && std::memcmp(bytes, id, 16) == 0;
#endif
}

std::string Utf8(const int16_t* text, size_t units) {
    std::string out;
    for (size_t i = 0; i < units && text[i]; ++i) {
        const uint16_t c = static_cast<uint16_t>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace vst3host
