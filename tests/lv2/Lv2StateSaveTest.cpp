// State save as hosts call it between and beside runs, with the plug-in
// loaded straight from the bundle (no lilv in between): a host that lends
// its control buffers for one cycle and frees them before it saves (run
// under AddressSanitizer in the sanitizer build), and a host whose audio
// thread writes the ports and runs while another thread saves (run under
// ThreadSanitizer). Save must read neither port and must store a whole
// block as run last made it.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "effect/ParamDescription.h"
#include "lv2/Lv2Ports.h"

namespace {

// A thread-safe URID map (save runs on another thread than instantiate).
struct CMap {
    std::mutex lock;
    std::vector<std::string> uris;
    LV2_URID_Map map{this, &CMap::Map};
    LV2_Feature feature{LV2_URID__map, &map};
    const LV2_Feature* features[2] = {&feature, nullptr};
    static LV2_URID Map(LV2_URID_Map_Handle h, const char* uri) {
        auto* self = static_cast<CMap*>(h);
        std::lock_guard<std::mutex> hold(self->lock);
        for (size_t i = 0; i < self->uris.size(); ++i) {
            if (self->uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        }
        self->uris.push_back(uri);
        return static_cast<LV2_URID>(self->uris.size());
    }
    LV2_URID Id(const std::string& uri) { return Map(this, uri.c_str()); }
};

// What one save stored: key -> int value (the 21 parameters).
struct CSaved {
    std::map<LV2_URID, int32_t> ints;
    static LV2_State_Status Store(LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type,
                                  uint32_t) {
        auto* self = static_cast<CSaved*>(h);
        if (size == sizeof(int32_t) && type == self->intType) {
            int32_t v;
            std::memcpy(&v, value, sizeof v);
            self->ints[key] = v;
        }
        return LV2_STATE_SUCCESS;
    }
    LV2_URID intType = 0;
};

class CLoadedPlugin {
public:
    CLoadedPlugin() {
        m_module = dlopen(ZV_LV2_BUNDLE "/zvDelay.so", RTLD_NOW | RTLD_LOCAL);
        if (!m_module) return;
        auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(m_module, "lv2_descriptor"));
        for (uint32_t i = 0; entry && entry(i); ++i) {
            if (std::strcmp(entry(i)->URI, zvlv2::kStereoUri) == 0) m_descriptor = entry(i);
        }
        if (!m_descriptor) return;
        m_handle = m_descriptor->instantiate(m_descriptor, 48000.0, ZV_LV2_BUNDLE "/", m_map.features);
        if (!m_handle) return;
        m_state = static_cast<const LV2_State_Interface*>(m_descriptor->extension_data(LV2_STATE__interface));
        for (uint32_t p = zvlv2::kPortAudioFirst; p < zvlv2::kPortAudioFirst + 2; ++p) Connect(p, m_in.data());
        Connect(zvlv2::kPortAudioFirst + 2, m_outLeft.data());
        Connect(zvlv2::kPortAudioFirst + 3, m_outRight.data());
        m_descriptor->activate(m_handle);
    }
    ~CLoadedPlugin() {
        if (m_handle) m_descriptor->cleanup(m_handle);
        if (m_module) dlclose(m_module);
    }
    bool Ready() const { return m_handle && m_state; }
    void Connect(uint32_t port, void* data) { m_descriptor->connect_port(m_handle, port, data); }
    void Run() { m_descriptor->run(m_handle, kFrames); }
    // The 21 values of one save, in table order.
    ParamBlock Save() {
        CSaved saved;
        saved.intType = m_map.Id(LV2_ATOM__Int);
        EXPECT_EQ(m_state->save(m_handle, &CSaved::Store, &saved, 0, m_map.features), LV2_STATE_SUCCESS);
        ParamBlock block{};
        for (int i = 0; i < kParamCount; ++i) {
            block[i] = saved.ints[m_map.Id(std::string(zvlv2::kStateKeyPrefix) + kParamTable[i].name)];
        }
        return block;
    }

    static constexpr uint32_t kFrames = 64;

private:
    CMap m_map;
    void* m_module = nullptr;
    const LV2_Descriptor* m_descriptor = nullptr;
    LV2_Handle m_handle = nullptr;
    const LV2_State_Interface* m_state = nullptr;
    std::vector<float> m_in = std::vector<float>(kFrames, 0.25f);
    std::vector<float> m_outLeft = std::vector<float>(kFrames), m_outRight = std::vector<float>(kFrames);
};

// The host's control values for cycle k (natural: the delays in ms), the
// delays linked (a save that mixed two cycles would show two different
// times): internal 100 + k % 3000.
std::vector<float> ControlsFor(int k) {
    std::vector<float> c(kParamCount);
    for (int i = 0; i < kParamCount; ++i) c[i] = static_cast<float>(NaturalDefault(i));
    c[kParamTempoSync] = 0.0f;
    c[kParamDelayL] = c[kParamDelayR] = static_cast<float>((100 + k % 3000) / 10.0);
    return c;
}

TEST(Lv2StateSave, PortsLentForOneCycleAreNeverReadAfterIt) {
    CLoadedPlugin plugin;
    ASSERT_TRUE(plugin.Ready());
    for (int k = 0; k < 3; ++k) {
        {
            // Lent for this cycle only, then freed (AddressSanitizer reports
            // any later read).
            auto controls = std::make_unique<std::vector<float>>(ControlsFor(k));
            for (int i = 0; i < kParamCount; ++i) plugin.Connect(static_cast<uint32_t>(i), &(*controls)[i]);
            plugin.Run();
        }
        const ParamBlock saved = plugin.Save();
        EXPECT_EQ(saved[kParamDelayL], 100 + k);
        EXPECT_EQ(saved[kParamDelayR], 100 + k);
    }
}

TEST(Lv2StateSave, SavesBesideRunSeeWholeBlocks) {
    CLoadedPlugin plugin;
    ASSERT_TRUE(plugin.Ready());
    std::vector<float> ports = ControlsFor(0);
    for (int i = 0; i < kParamCount; ++i) plugin.Connect(static_cast<uint32_t>(i), &ports[i]);
    plugin.Run();
    std::atomic<bool> done{false};
    std::atomic<int> runs{0};
    std::thread audio([&] {
        // The host's audio thread: writes its port buffers, then runs, until
        // the saves are done.
        for (int k = 0; !done.load(); ++k) {
            const std::vector<float> next = ControlsFor(k);
            std::copy(next.begin(), next.end(), ports.begin());
            plugin.Run();
            runs.fetch_add(1);
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (runs.load() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    int saves = 0, mixed = 0;
    for (; saves < 300; ++saves) {
        const ParamBlock saved = plugin.Save();
        if (saved[kParamDelayL] != saved[kParamDelayR]) ++mixed;
    }
    done.store(true);
    audio.join();
    EXPECT_GT(runs.load(), 0);
    EXPECT_EQ(mixed, 0);
}

}  // namespace
