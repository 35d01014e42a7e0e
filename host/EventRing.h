// CEventRing: the instrument frame's active list in fixed storage.
//
// A ring of kCapacity event records, allocated once by Reserve() on a host
// thread (the frame calls it when the first event is queued) and never
// resized: appending, removing in place and clearing allocate and free
// nothing, so the streaming thread can work on it. When it is full the
// oldest record gives way to a new one. Without storage it holds nothing.
#pragma once
#include <cstddef>
#include <memory>
#include <new>

#include "host/QviEvent.h"

class CEventRing {
public:
    static constexpr size_t kCapacity = 16384;   // a power of two
    static_assert((kCapacity & (kCapacity - 1)) == 0, "the index wraps by masking");

    // Allocates the storage if it is not there yet; false when it cannot be.
    // Not on the streaming thread.
    bool Reserve() {
        if (!m_slots) m_slots.reset(new (std::nothrow) QviEvent[kCapacity]);
        return m_slots != nullptr;
    }

    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    QviEvent& operator[](size_t i) { return m_slots[(m_head + i) & (kCapacity - 1)]; }
    const QviEvent& operator[](size_t i) const { return m_slots[(m_head + i) & (kCapacity - 1)]; }
    const QviEvent& front() const { return (*this)[0]; }
    const QviEvent& back() const { return (*this)[m_count - 1]; }

    // Appends a copy; the oldest record goes when the ring is full. Dropped
    // when there is no storage.
    void push_back(const QviEvent& event) {
        if (!m_slots) return;
        if (m_count == kCapacity) {
            m_head = (m_head + 1) & (kCapacity - 1);
            --m_count;
        }
        (*this)[m_count++] = event;
    }

    // Keeps the first n records.
    void Truncate(size_t n) {
        if (n < m_count) m_count = n;
    }
    void clear() { m_count = 0; }

    // Removes every record for which remove(record) is true, in place,
    // keeping the order of the rest.
    template <class Predicate>
    void RemoveIf(Predicate remove) {
        size_t kept = 0;
        for (size_t i = 0; i < m_count; ++i) {
            if (remove((*this)[i])) continue;
            if (kept != i) (*this)[kept] = (*this)[i];
            ++kept;
        }
        m_count = kept;
    }

private:
    std::unique_ptr<QviEvent[]> m_slots;
    size_t m_head = 0;
    size_t m_count = 0;
};
