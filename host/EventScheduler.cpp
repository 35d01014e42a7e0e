#include "host/EventScheduler.h"

#include <algorithm>
#include <new>

#include "host/FrameMath.h"
#include "host/Qvi.h"

namespace {

constexpr int kKeyCount = 128;

bool IsNote(const QviEvent& event) { return event.type == kQviNote; }
bool IsNoteOff(const QviEvent& event) { return IsNote(event) && event.duration == 0; }
bool IsHeldNoteOn(const QviEvent& event) { return IsNote(event) && event.duration == -1; }

uint8_t ClampMidi(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 127)); }

}  // namespace

void CEventScheduler::StartTimeline(int64_t startFrame) {
    m_startFrame = startFrame;
    m_position = 0;
    m_loopOffset = 0;
}

void CEventScheduler::ShiftLoop(int64_t frames) { m_loopOffset = SaturatingAdd(m_loopOffset, frames); }

void CEventScheduler::AdvancePosition(int64_t frames) {
    if (frames > 0) m_position = SaturatingAdd(m_position, frames);
}

void CEventScheduler::Clear() {
    m_queue.clear();
    m_active.clear();
}

int64_t CEventScheduler::SequencedFrameTime(int64_t frames) const {
    return SaturatingSub(SaturatingAdd(frames, m_loopOffset), m_startFrame);
}

int64_t CEventScheduler::LiveFrameTime(int64_t frames) const { return SaturatingAdd(frames, m_position); }

HRESULT CEventScheduler::Enqueue(const QviEvent& event) {
    if (m_queue.size() >= kMaxQueuedEvents) {
        // Records before the position can never be delivered (the position
        // only grows until the next start, which empties the queue), so they
        // are the ones to give up when room is needed.
        const int64_t position = m_position;
        m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(),
                                     [position](const QviEvent& e) { return e.frameTime < position; }),
                      m_queue.end());
        if (m_queue.size() >= kMaxQueuedEvents) return E_OUTOFMEMORY;
    }
    // Everything the delivery of this record could need is made here, on the
    // host's thread: the active list's storage, and the state a port-flags
    // event stores into (within the port limit; beyond it the flags still
    // apply to the event itself).
    if (!m_active.Reserve()) return E_OUTOFMEMORY;
    try {
        // The queue's whole room at once, so that it never grows (and copies)
        // while the frame lock is held later on.
        if (m_queue.capacity() < kMaxQueuedEvents) m_queue.reserve(kMaxQueuedEvents);
        const int32_t port = static_cast<int32_t>(event.portNumber);
        if (event.type == kQviPortFlags && m_ports.size() < kMaxPortStates) m_ports.emplace(port, PortState());
        m_queue.push_back(event);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CEventScheduler::RenderEvents(int32_t frames, CQvi* hooks) {
    if (!hooks) return E_POINTER;

    // One pass in arrival order: the block's records are handled as they are
    // taken, the rest move up in place.
    const int64_t begin = m_position;
    const int64_t end = SaturatingAdd(m_position, frames);
    HRESULT result = S_OK;
    size_t kept = 0;
    for (size_t i = 0; i < m_queue.size(); ++i) {
        QviEvent event = m_queue[i];
        if (event.frameTime < begin || event.frameTime >= end) {
            if (kept != i) m_queue[kept] = event;
            ++kept;
            continue;
        }
        if (FAILED(result) || !ApplyPortState(event)) continue;
        if (IsNote(event) && event.duration != 0) {
            const HRESULT hr = hooks->OnNoteOn(&event);
            if (FAILED(hr)) result = hr;
            if (hr != S_OK) continue;
        }
        AppendActive(event);
    }
    m_queue.erase(m_queue.begin() + static_cast<std::ptrdiff_t>(kept), m_queue.end());
    if (FAILED(result)) return result;
    ReleaseHeldNotes();
    return S_OK;
}

bool CEventScheduler::ApplyPortState(QviEvent& event) {
    const int32_t port = static_cast<int32_t>(event.portNumber);
    auto found = m_ports.find(port);
    PortState scratch;  // a port without state reads as a new one
    PortState* state = found != m_ports.end() ? &found->second : &scratch;

    if (event.type == kQviPortFlags) {
        // Only a port-flags event has something to store: Enqueue made its
        // port's state, unless the port limit was reached, in which case its
        // flags apply to the event itself.
        // Byte 4 holds the bits to set, byte 5 the mask of bits to replace.
        state->flags = static_cast<uint8_t>((state->flags & ~event.channel) | event.port);
    }
    if (state->flags != 0) {
        if ((event.source & kQviSourceSequenced) != 0) return false;
        if ((state->flags & kPortFlagLivePasses) == 0) return false;
    }
    if (IsNote(event)) {
        event.data1 = ClampMidi(event.data1 + state->keyOffset[0] + state->keyOffset[1]);
        event.data2 = ClampMidi(event.data2 + state->velocityOffset[0] + state->velocityOffset[1]);
    }
    if (state->channelOverride != kPortNoChannelOverride) event.channel = state->channelOverride & 0x0F;
    return true;
}

void CEventScheduler::AppendActive(const QviEvent& event) {
    // A host that never releases its notes must not fill memory: the ring
    // is fixed, and when it is full the oldest record gives way.
    m_active.push_back(event);
}

void CEventScheduler::ReleaseHeldNotes() {
    bool marks[kKeyCount] = {};
    bool anyMark = false;
    // Note-offs leave the list and mark their keys.
    m_active.RemoveIf([&](const QviEvent& event) {
        if (!IsNoteOff(event)) return false;
        // Delivered note keys are clamped to 0..127.
        if (event.data1 < kKeyCount) marks[event.data1] = true;
        anyMark = true;
        return true;
    });
    if (!anyMark) return;
    // One mark releases one held note of its key, the earliest.
    for (size_t i = 0; i < m_active.size(); ++i) {
        QviEvent& event = m_active[i];
        if (IsHeldNoteOn(event) && event.data1 < kKeyCount && marks[event.data1]) {
            event.duration = 0;
            marks[event.data1] = false;
        }
    }
}

HRESULT CEventScheduler::SweepActive(int32_t flag, CQvi* hooks) {
    if (!hooks) return E_POINTER;
    size_t kept = 0;
    size_t i = 0;
    HRESULT result = S_OK;
    for (; i < m_active.size(); ++i) {
        QviEvent& event = m_active[i];
        bool keep;
        if (IsNote(event)) {
            const HRESULT hr = hooks->KeepNote(&event, flag);
            if (FAILED(hr)) {
                result = hr;
                break;  // this record and the rest stay
            }
            keep = hr != S_OK;
        } else {
            keep = !(m_position > event.frameTime);
        }
        if (keep) {
            if (kept != i) m_active[kept] = event;
            ++kept;
        }
    }
    for (; i < m_active.size(); ++i, ++kept) {
        if (kept != i) m_active[kept] = m_active[i];
    }
    m_active.Truncate(kept);
    return result;
}

HRESULT CEventScheduler::SetPortState(uint32_t type, int32_t port, uint8_t value, uint8_t mask) {
    if (type > 5) return S_OK;
    auto found = m_ports.find(port);
    if (found == m_ports.end()) {
        if (m_ports.size() >= kMaxPortStates) return E_OUTOFMEMORY;
        found = m_ports.emplace(port, PortState()).first;
    }
    PortState& state = found->second;
    switch (type) {
        case 0: state.channelOverride = value; break;
        case 1: state.flags = static_cast<uint8_t>((state.flags & ~mask) | value); break;
        case 2: state.velocityOffset[0] = static_cast<int8_t>(value); break;
        case 3: state.velocityOffset[1] = static_cast<int8_t>(value); break;
        case 4: state.keyOffset[0] = static_cast<int8_t>(value); break;
        case 5: state.keyOffset[1] = static_cast<int8_t>(value); break;
    }
    return S_OK;
}

const PortState* CEventScheduler::FindPortState(int32_t port) const {
    auto found = m_ports.find(port);
    return found != m_ports.end() ? &found->second : nullptr;
}
