// CParamHandover: a parameter block handed from one thread to another as a
// whole, never field by field.
//
// A sequence counter over 21 cells (a seqlock). The writer makes the counter
// odd, stores the cells and makes it even again; a reader copies the cells
// between two reads of the counter and keeps the copy only when the counter
// was even and did not move. Reading is wait-free: one bounded attempt that
// yields a block one write stored entirely, or fails, and the reader then
// keeps the block it already has (the audio thread tries again at its next
// buffer instead of spinning behind a writer that may have been preempted).
// Writing never waits either, but only one writer may be active at a time:
// whoever owns the object serialises its writers (the effect's parameter
// lock; in the LV2 layer, the plug-in's one audio thread).
//
// BeginWrite and EndWrite bracket a change that touches more than the cells:
// the effect passes every new value to its automation object inside the
// bracket, and the audio thread reads those values inside its own window
// (TryReadWith), so it sees all of one change or none of it.
//
// The cells are atomics read and written relaxed, between the two fences of
// the usual seqlock: a plain copy of memory that another thread may be
// writing would be a data race even when the result is thrown away.
//
// Used in both directions: editor and host threads to the audio thread (the
// effect), and the LV2 audio thread to the threads that save its state.
#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

#include "effect/ParamTable.h"

class CParamHandover {
public:
    explicit CParamHandover(const ParamBlock& initial = ParamBlock{}) {
        for (int i = 0; i < kParamCount; ++i) m_cell[i].store(initial[i], std::memory_order_relaxed);
    }
    CParamHandover(const CParamHandover&) = delete;
    CParamHandover& operator=(const CParamHandover&) = delete;

    // Writer side; one writer at a time. Store belongs between BeginWrite and
    // EndWrite.
    void BeginWrite() {
        const uint32_t s = m_seq.load(std::memory_order_relaxed);
        m_seq.store(s + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
    }
    void Store(const ParamBlock& block) {
        for (int i = 0; i < kParamCount; ++i) m_cell[i].store(block[i], std::memory_order_relaxed);
    }
    void EndWrite() { m_seq.store(m_seq.load(std::memory_order_relaxed) + 1, std::memory_order_release); }
    void Publish(const ParamBlock& block) {
        BeginWrite();
        Store(block);
        EndWrite();
    }

    // Reader side, wait-free: one attempt. alsoRead runs inside the same
    // window and must only load atomics (values a writer changes inside its
    // bracket). True with *out holding one write's block; false with *out
    // unspecified (whatever alsoRead read is then unusable too).
    // *sequence, when given, receives the Sequence() of the write read.
    template <class AlsoRead>
    bool TryReadWith(ParamBlock* out, AlsoRead&& alsoRead, uint32_t* sequence = nullptr) const {
        const uint32_t before = m_seq.load(std::memory_order_acquire);
        if (before & 1u) return false;
        for (int i = 0; i < kParamCount; ++i) (*out)[i] = m_cell[i].load(std::memory_order_relaxed);
        alsoRead();
        std::atomic_thread_fence(std::memory_order_acquire);
        if (m_seq.load(std::memory_order_relaxed) != before) return false;
        if (sequence) *sequence = before;
        return true;
    }
    bool TryRead(ParamBlock* out) const {
        return TryReadWith(out, [] {});
    }

    // For threads that may wait (never the audio thread): tries until a read
    // succeeds, yielding between tries.
    void Read(ParamBlock* out) const {
        while (!TryRead(out)) std::this_thread::yield();
    }

    // Number of completed writes times two (odd while one is in progress).
    uint32_t Sequence() const { return m_seq.load(std::memory_order_acquire); }

private:
    std::atomic<uint32_t> m_seq{0};
    std::atomic<int32_t> m_cell[kParamCount];
};
