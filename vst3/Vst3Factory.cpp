// The module's entry points and its plug-in factory: what a host finds in
// zvDelay.vst3 (Windows: InitDll, ExitDll, GetPluginFactory) or zvDelay.so
// (Linux: ModuleEntry, ModuleExit, GetPluginFactory). The factory lists the
// two plug-ins (IPluginFactory, 2 and 3: the same entries, the later ones
// with sub-categories and 16-bit names) and creates instances of them.
//
// The factory is one static object; hosts may ask for it from any thread,
// and it holds nothing that changes (its reference count only counts).
#include <travesty/factory.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "resources/Version.h"
#include "vst3/Vst3Com.h"
#include "vst3/Vst3Delay.h"
#include "vst3/Vst3Ids.h"
#include "vst3/Vst3Text.h"
#ifdef _WIN32
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#endif

#if defined(_WIN32)
#define ZV_VST3_EXPORT extern "C"   // exported by zvDelay.def
#else
#define ZV_VST3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

using zvvst3::ClassIdWords;

struct ClassEntry {
    v3_tuid id;
    const char* name;
    int inputChannels;
};

#define ZV_CLASS_ID(w) V3_ID(w.a, w.b, w.c, w.d)
const ClassEntry kClasses[] = {
    {ZV_CLASS_ID(zvvst3::kStereoClassId), zvvst3::kStereoName, 2},
    {ZV_CLASS_ID(zvvst3::kMonoClassId), zvvst3::kMonoName, 1},
};
#undef ZV_CLASS_ID
constexpr int32_t kClassCount = static_cast<int32_t>(sizeof kClasses / sizeof kClasses[0]);

std::atomic<uint32_t> g_factoryRefs{0};
std::atomic<int> g_moduleEntries{0};

void CopyText(char* out, size_t size, const char* text) {
    std::snprintf(out, size, "%s", text);
}

v3_result V3_API FactoryQueryInterface(void* self, const v3_tuid iid, void** object);
uint32_t V3_API FactoryAddRef(void*) { return ++g_factoryRefs; }
uint32_t V3_API FactoryRelease(void*) { return g_factoryRefs > 0 ? --g_factoryRefs : 0; }

v3_result V3_API GetFactoryInfo(void*, v3_factory_info* info) {
    if (!info) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof *info);
    CopyText(info->vendor, sizeof info->vendor, zvvst3::kVendor);
    CopyText(info->url, sizeof info->url, zvvst3::kUrl);
    CopyText(info->email, sizeof info->email, zvvst3::kEmail);
    info->flags = 0x10;   // class names in Unicode (IPluginFactory3)
    return V3_OK;
}

int32_t V3_API CountClasses(void*) { return kClassCount; }

v3_result V3_API GetClassInfo(void*, int32_t index, v3_class_info* info) {
    if (!info || index < 0 || index >= kClassCount) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof *info);
    std::memcpy(info->class_id, kClasses[index].id, sizeof(v3_tuid));
    info->cardinality = 0x7FFFFFFF;
    CopyText(info->category, sizeof info->category, zvvst3::kCategory);
    CopyText(info->name, sizeof info->name, kClasses[index].name);
    return V3_OK;
}

v3_result V3_API CreateInstance(void*, const v3_tuid classId, const v3_tuid iid, void** instance) {
    if (!instance) return V3_INVALID_ARG;
    *instance = nullptr;
    for (const ClassEntry& c : kClasses) {
        if (!v3_tuid_match(classId, c.id)) continue;
        CVst3Delay* plugin = CVst3Delay::Create(c.inputChannels);
        if (!plugin) return V3_NOMEM;
        const v3_result result = plugin->QueryInterface(iid, instance);
        plugin->Release();
        return result;
    }
    return V3_NO_INTERFACE;
}

v3_result V3_API GetClassInfo2(void*, int32_t index, v3_class_info_2* info) {
    if (!info || index < 0 || index >= kClassCount) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof *info);
    std::memcpy(info->class_id, kClasses[index].id, sizeof(v3_tuid));
    info->cardinality = 0x7FFFFFFF;
    CopyText(info->category, sizeof info->category, zvvst3::kCategory);
    CopyText(info->name, sizeof info->name, kClasses[index].name);
    info->class_flags = 0;   // processor and controller are one object: not distributable
    CopyText(info->sub_categories, sizeof info->sub_categories, zvvst3::kSubCategories);
    CopyText(info->vendor, sizeof info->vendor, zvvst3::kVendor);
    CopyText(info->version, sizeof info->version, ZV_VERSION_TEXT);
    CopyText(info->sdk_version, sizeof info->sdk_version, zvvst3::kInterfaceVersion);
    return V3_OK;
}

v3_result V3_API GetClassInfoUtf16(void*, int32_t index, v3_class_info_3* info) {
    if (!info || index < 0 || index >= kClassCount) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof *info);
    std::memcpy(info->class_id, kClasses[index].id, sizeof(v3_tuid));
    info->cardinality = 0x7FFFFFFF;
    CopyText(info->category, sizeof info->category, zvvst3::kCategory);
    zvvst3::CopyUtf16(kClasses[index].name, info->name, 64);
    info->class_flags = 0;
    CopyText(info->sub_categories, sizeof info->sub_categories, zvvst3::kSubCategories);
    zvvst3::CopyUtf16(zvvst3::kVendor, info->vendor, 64);
    zvvst3::CopyUtf16(ZV_VERSION_TEXT, info->version, 64);
    zvvst3::CopyUtf16(zvvst3::kInterfaceVersion, info->sdk_version, 64);
    return V3_OK;
}

// The host's context is not needed: the plug-in asks the host for nothing.
v3_result V3_API SetHostContext(void*, v3_funknown**) { return V3_OK; }

const v3_plugin_factory_cpp kFactoryTable = {
    {FactoryQueryInterface, FactoryAddRef, FactoryRelease},
    {GetFactoryInfo, CountClasses, GetClassInfo, CreateInstance},
    {GetClassInfo2},
    {GetClassInfoUtf16, SetHostContext},
};

struct {
    const v3_plugin_factory_cpp* table;
} g_factory = {&kFactoryTable};

v3_result V3_API FactoryQueryInterface(void* self, const v3_tuid iid, void** object) {
    if (!object) return V3_INVALID_ARG;
    if (v3_tuid_match(iid, v3_funknown_iid) || v3_tuid_match(iid, v3_plugin_factory_iid) ||
        v3_tuid_match(iid, v3_plugin_factory_2_iid) || v3_tuid_match(iid, v3_plugin_factory_3_iid)) {
        *object = self;
        FactoryAddRef(self);
        return V3_OK;
    }
    *object = nullptr;
    return V3_NO_INTERFACE;
}

}  // namespace

// The factory, with a reference for the caller. Any thread.
ZV_VST3_EXPORT void* V3_API GetPluginFactory() {
    FactoryAddRef(&g_factory);
    return &g_factory;
}

// The module's set-up and tear-down around everything else a host calls;
// nothing to set up (the factory is static), so they only count.
#if defined(_WIN32)
ZV_VST3_EXPORT bool V3_API InitDll() {
    ++g_moduleEntries;
    return true;
}
// The host is done with the module, which may now be unloaded while the
// host lives on: the editor's window classes go with it.
ZV_VST3_EXPORT bool V3_API ExitDll() {
    const int before = g_moduleEntries.fetch_sub(1);
    if (before == 1) UnregisterToolkitClasses(EditorModule());
    return before > 0;
}
#else
ZV_VST3_EXPORT bool ModuleEntry(void*) {
    ++g_moduleEntries;
    return true;
}
ZV_VST3_EXPORT bool ModuleExit() { return g_moduleEntries.fetch_sub(1) > 0; }
#endif
