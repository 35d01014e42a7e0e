// The library's entry (clap_entry, its only export) and its plug-in
// factory: two plug-ins, stereo in / stereo out and mono in / stereo out.
// Every call here is thread-safe (constant tables); create_plugin makes an
// instance without calling the host.
#include <clap/entry.h>
#include <clap/plugin-factory.h>

#include <cstring>

#include "clap/ClapDelay.h"
#include "clap/ClapIds.h"
#include "resources/Version.h"
#ifdef _WIN32
#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"
#endif

namespace {

const char* kStereoFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_DELAY,
                                 CLAP_PLUGIN_FEATURE_STEREO, nullptr};
const char* kMonoFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_DELAY, CLAP_PLUGIN_FEATURE_MONO,
                               nullptr};

// In the order of zvclap::kPlugIns.
const clap_plugin_descriptor_t kDescriptors[zvclap::kPlugInCount] = {
    {CLAP_VERSION_INIT, zvclap::kStereoId, zvclap::kStereoName, zvclap::kVendor, zvclap::kUrl, "", "",
     ZV_VERSION_TEXT, zvclap::kDescription, kStereoFeatures},
    {CLAP_VERSION_INIT, zvclap::kMonoId, zvclap::kMonoName, zvclap::kVendor, zvclap::kUrl, "", "",
     ZV_VERSION_TEXT, zvclap::kDescription, kMonoFeatures},
};

const clap_plugin_factory_t kFactory = {
    [](const clap_plugin_factory_t*) { return zvclap::kPlugInCount; },
    [](const clap_plugin_factory_t*, uint32_t index) -> const clap_plugin_descriptor_t* {
        return index < zvclap::kPlugInCount ? &kDescriptors[index] : nullptr;
    },
    [](const clap_plugin_factory_t*, const clap_host_t* host, const char* id) -> const clap_plugin_t* {
        if (!host || !id || !clap_version_is_compatible(host->clap_version)) return nullptr;
        for (uint32_t i = 0; i < zvclap::kPlugInCount; ++i) {
            if (std::strcmp(id, zvclap::kPlugIns[i].id) == 0)
                return CClapDelay::Create(host, &kDescriptors[i], zvclap::kPlugIns[i].inputChannels);
        }
        return nullptr;
    },
};

bool Init(const char*) { return true; }

// The host is done with the library, which may now be unloaded while the
// host lives on: the editor's window classes go with it.
void Deinit() {
#ifdef _WIN32
    UnregisterToolkitClasses(EditorModule());
#endif
}

const void* GetFactory(const char* id) {
    return id && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &kFactory : nullptr;
}

}  // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION_INIT, Init, Deinit, GetFactory};
