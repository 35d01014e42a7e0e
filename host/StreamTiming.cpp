#include "host/StreamTiming.h"

uint64_t CStreamTiming::Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<uint64_t>(t.QuadPart);
}

void CStreamTiming::Read(StreamTimingFigures* f) const {
    f->buffers = m_buffers.load(std::memory_order_relaxed);
    f->frames = m_frames.load(std::memory_order_relaxed);
    f->receive = m_sums[kReceive].load(std::memory_order_relaxed);
    f->allocator = m_sums[kAllocator].load(std::memory_order_relaxed);
    f->delivery = m_sums[kDelivery].load(std::memory_order_relaxed);
    f->processing = m_sums[kProcessing].load(std::memory_order_relaxed);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    f->ticksPerSecond = static_cast<uint64_t>(frequency.QuadPart);
}
