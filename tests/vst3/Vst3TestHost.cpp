#include "Vst3TestHost.h"

#include <algorithm>
#include <cstring>

#include "vst3/Vst3Text.h"
#if defined(_WIN32)
#include <objbase.h>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vst3host {

namespace {

template <class T>
T* Self(void* self) { return static_cast<T*>(self); }
v3_result V3_API NoInterface(void*, const v3_tuid, void** object) {
    *object = nullptr;
    return V3_NO_INTERFACE;
}
uint32_t V3_API One(void*) { return 1; }
template <class T>
void Unref(T** object) {
    if (object) TableOf<v3_funknown>(object)->unref(object);
}

v3_result V3_API Read(void* self, void* buffer, int32_t bytes, int32_t* read) {
    auto* s = Self<CMemoryStream>(self);
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(bytes, static_cast<int64_t>(s->data.size()) - s->position));
    if (n > 0) std::memcpy(buffer, s->data.data() + s->position, static_cast<size_t>(n));
    s->position += n > 0 ? n : 0;
    if (read) *read = n > 0 ? n : 0;
    return V3_OK;
}
v3_result V3_API Write(void* self, void* buffer, int32_t bytes, int32_t* written) {
    auto* s = Self<CMemoryStream>(self);
    s->data.resize(std::max<size_t>(s->data.size(), static_cast<size_t>(s->position + bytes)));
    std::memcpy(s->data.data() + s->position, buffer, static_cast<size_t>(bytes));
    s->position += bytes;
    if (written) *written = bytes;
    return V3_OK;
}
v3_result V3_API Seek(void* self, int64_t pos, int32_t mode, int64_t* result) {
    auto* s = Self<CMemoryStream>(self);
    s->position = pos + (mode == V3_SEEK_CUR ? s->position : mode == V3_SEEK_END ? static_cast<int64_t>(s->data.size()) : 0);
    if (result) *result = s->position;
    return V3_OK;
}
v3_result V3_API Tell(void* self, int64_t* pos) {
    *pos = Self<CMemoryStream>(self)->position;
    return V3_OK;
}
const zvvst3::v3_bstream_cpp kStream = {{NoInterface, One, One}, {Read, Write, Seek, Tell}};

v3_param_id V3_API QueueId(void* self) { return Self<CParamQueue>(self)->id; }
int32_t V3_API PointCount(void* self) { return Self<CParamQueue>(self)->count; }
v3_result V3_API Point(void* self, int32_t i, int32_t* offset, double* value) {
    auto* q = Self<CParamQueue>(self);
    if (i < 0 || i >= q->count) return V3_INVALID_ARG;
    *offset = q->offsets[i];
    *value = q->values[i];
    return V3_OK;
}
v3_result V3_API AddPoint(void* self, int32_t offset, double value, int32_t* index) {
    auto* q = Self<CParamQueue>(self);
    if (q->count >= 64) return V3_INTERNAL_ERR;
    q->offsets[q->count] = offset;
    q->values[q->count] = value;
    *index = q->count++;
    return V3_OK;
}
const v3_param_value_queue_cpp kQueue = {{NoInterface, One, One}, {QueueId, PointCount, Point, AddPoint}};

int32_t V3_API QueueCount(void* self) { return Self<CParamChanges>(self)->count; }
v3_param_value_queue** V3_API Queue(void* self, int32_t i) {
    auto* c = Self<CParamChanges>(self);
    return i >= 0 && i < c->count ? reinterpret_cast<v3_param_value_queue**>(&c->queues[i]) : nullptr;
}
v3_param_value_queue** V3_API AddQueue(void* self, v3_param_id* id, int32_t* index) {
    auto* c = Self<CParamChanges>(self);
    for (*index = 0; *index < c->count; ++*index) {
        if (c->queues[*index].id == *id) return Queue(self, *index);
    }
    if (c->count == 32) return nullptr;
    c->queues[c->count].id = *id;
    c->queues[c->count].count = 0;
    return Queue(self, c->count++);
}
const v3_param_changes_cpp kChanges = {{NoInterface, One, One}, {QueueCount, Queue, AddQueue}};

}  // namespace

CMemoryStream::CMemoryStream(std::vector<uint8_t> bytes) : table(&kStream), data(std::move(bytes)) {}

CParamChanges::CParamChanges() : table(&kChanges) {
    for (CParamQueue& q : queues) q.table = &kQueue;
}

void CParamChanges::Add(v3_param_id id, int32_t offset, double value) {
    int32_t index = 0;
    if (v3_param_value_queue** q = AddQueue(this, &id, &index)) AddPoint(q, offset, value, &index);
}

double CParamChanges::Last(v3_param_id id) const {
    for (int32_t i = 0; i < count; ++i) {
        if (queues[i].id == id && queues[i].count > 0) return queues[i].values[queues[i].count - 1];
    }
    return -1.0;
}

CModule::CModule(const std::string& path) {
#if defined(_WIN32)
    std::wstring wide = path[0] == '/' ? L"Z:" : L"";   // Wine maps the Unix path through drive Z:
    for (char c : path) wide += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    m_handle = LoadLibraryW(wide.c_str());
    auto init = reinterpret_cast<bool(V3_API*)()>(Symbol("InitDll"));
    if (!m_handle || (init && !init())) return;
#else
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = reinterpret_cast<bool (*)(void*)>(Symbol("ModuleEntry"));
    if (!entry || !entry(m_handle)) return;
#endif
    if (auto get = reinterpret_cast<void*(V3_API*)()>(Symbol("GetPluginFactory"))) {
        m_factory = static_cast<v3_plugin_factory**>(get());
    }
}

CModule::~CModule() {
    Unref(m_factory);
#if defined(_WIN32)
    if (auto exit = reinterpret_cast<bool(V3_API*)()>(Symbol("ExitDll"))) exit();
    if (m_handle) FreeLibrary(static_cast<HMODULE>(m_handle));
#else
    if (auto exit = reinterpret_cast<bool (*)()>(Symbol("ModuleExit"))) exit();
    if (m_handle) dlclose(m_handle);
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

CInstance::CInstance(const CModule& module, const char* name) {
    v3_class_info_2 info{};
    for (int32_t i = 0; i < module.ClassCount(); ++i) {
        if (module.ClassInfo(i, &info) && std::strcmp(info.name, name) == 0) break;
    }
    v3_plugin_factory** f = module.Factory();
    if (!f || TableOf<v3_plugin_factory_cpp>(f)->v1.create_instance(f, info.class_id, v3_component_iid,
                                                                    reinterpret_cast<void**>(&comp)) != V3_OK) {
        comp = nullptr;
        return;
    }
    Comp()->base.initialize(comp, nullptr);
    auto query = [&](const v3_tuid iid, auto** out) {
        TableOf<v3_funknown>(comp)->query_interface(comp, iid, reinterpret_cast<void**>(out));
    };
    query(v3_audio_processor_iid, &proc);
    query(v3_edit_controller_iid, &ctrl);
    query(v3_unit_information_iid, &units);
}

CInstance::~CInstance() {
    if (comp) Comp()->base.terminate(comp);
    Unref(units);
    Unref(ctrl);
    Unref(proc);
    Unref(comp);
}

bool CInstance::Start(double rate, int32_t maxBlock) {
    v3_process_setup setup{V3_REALTIME, V3_SAMPLE_32, maxBlock, rate};
    return Proc()->proc.setup_processing(proc, &setup) == V3_OK && Comp()->comp.set_active(comp, 1) == V3_OK &&
           Proc()->proc.set_processing(proc, 1) == V3_OK;
}

int32_t CInstance::Process(const float* const* in, int inChannels, float* const* out, int32_t frames,
                           CParamChanges* changes, double tempo) {
    v3_audio_bus_buffers input{inChannels, 0, {const_cast<float**>(in)}};
    v3_audio_bus_buffers outputs{2, 0, {const_cast<float**>(out)}};
    v3_process_context context{};
    context.state = V3_PROCESS_CTX_TEMPO_VALID;
    context.bpm = tempo;
    output.count = 0;
    v3_process_data data{V3_REALTIME, V3_SAMPLE_32, frames, 1, 1, &input, &outputs,
                         (changes ? changes : &noChanges)->Changes(), output.Changes(), nullptr, nullptr,
                         tempo > 0.0 ? &context : nullptr};
    return Proc()->proc.process(proc, &data);
}

std::vector<uint8_t> CInstance::State() {
    CMemoryStream stream;
    return Comp()->comp.get_state(comp, stream.Stream()) == V3_OK ? stream.data : std::vector<uint8_t>{};
}

int32_t CInstance::SetState(const std::vector<uint8_t>& bytes) {
    CMemoryStream stream(bytes);
    return Comp()->comp.set_state(comp, stream.Stream());
}

bool IdMatchesText(const v3_tuid id, const char* text) {
    uint8_t bytes[16];
#if defined(_WIN32)
    wchar_t wide[40] = {};
    for (int i = 0; text[i] && i < 39; ++i) wide[i] = static_cast<wchar_t>(text[i]);
    if (FAILED(CLSIDFromString(wide, reinterpret_cast<GUID*>(bytes)))) return false;
#else
    int n = 0;
    for (const char* p = text; *p && n < 32; ++p) {
        if (*p == '{' || *p == '}' || *p == '-') continue;
        const int digit = *p <= '9' ? *p - '0' : (*p | 0x20) - 'a' + 10;
        bytes[n / 2] = static_cast<uint8_t>(n % 2 ? bytes[n / 2] * 16 + digit : digit);
        ++n;
    }
#endif
    return std::memcmp(bytes, id, 16) == 0;
}

}  // namespace vst3host
