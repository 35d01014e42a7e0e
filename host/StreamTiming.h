// Where a buffer's time goes inside the input pin's Receive, for the graph
// benchmark (bench/graph-overhead through zvdelay-graph --timing): the whole
// call, the downstream allocators' GetBuffer, the delivery downstream with
// the samples' release, and the processing entry. Whatever is left is our own
// code around them (automation, events, copies, bookkeeping).
//
// Off unless a tool switches it on through IStreamTiming, which the filter
// answers in QueryInterface; off, it costs one relaxed load per buffer. On,
// eight QueryPerformanceCounter reads per buffer (a counter read, no wait).
#pragma once
#include <atomic>
#include <cstdint>

#include "common/Guid.h"
#include "common/WinTypes.h"

// {8F0C5B71-3D52-4F7A-9E61-2A7D4C1B9E05}
ZV_DEFINE_GUID(IID_IStreamTiming, 0x8f0c5b71, 0x3d52, 0x4f7a, 0x9e, 0x61, 0x2a, 0x7d, 0x4c, 0x1b, 0x9e, 0x05);

// Sums since timing was switched on, in counter ticks.
struct StreamTimingFigures {
    uint64_t buffers;
    uint64_t frames;
    uint64_t receive;      // the whole of the input pin's OnReceive
    uint64_t allocator;    // GetBuffer and setting up the delivery samples
    uint64_t delivery;     // Deliver downstream and the samples' release
    uint64_t processing;   // the processing entry
    uint64_t ticksPerSecond;
};

class IStreamTiming : public IUnknown {
public:
    // On (nonzero) clears the sums and starts counting; off stops.
    virtual HRESULT STDMETHODCALLTYPE EnableTiming(BOOL enable) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTiming(StreamTimingFigures* figures) = 0;
};

class CStreamTiming {
public:
    enum EPart { kReceive, kAllocator, kDelivery, kProcessing, kPartCount };

    void Enable(bool enable) {
        if (enable) {
            for (auto& sum : m_sums) sum.store(0, std::memory_order_relaxed);
            m_buffers.store(0, std::memory_order_relaxed);
            m_frames.store(0, std::memory_order_relaxed);
        }
        m_enabled.store(enable, std::memory_order_release);
    }
    bool Enabled() const { return m_enabled.load(std::memory_order_relaxed); }
    void Read(StreamTimingFigures* f) const;

    // Streaming thread. Start is 0 while timing is off.
    uint64_t Start() const { return Enabled() ? Now() : 0; }
    void Add(EPart part, uint64_t start) {
        if (start) m_sums[part].fetch_add(Now() - start, std::memory_order_relaxed);
    }
    void CountBuffer(int32_t frames) {
        if (!Enabled()) return;
        m_buffers.fetch_add(1, std::memory_order_relaxed);
        m_frames.fetch_add(static_cast<uint64_t>(frames > 0 ? frames : 0), std::memory_order_relaxed);
    }

private:
    static uint64_t Now();

    std::atomic<bool> m_enabled{false};
    std::atomic<uint64_t> m_sums[kPartCount] = {};
    std::atomic<uint64_t> m_buffers{0};
    std::atomic<uint64_t> m_frames{0};
};
