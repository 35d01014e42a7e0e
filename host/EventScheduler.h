// CEventScheduler: the instrument frame's time line and MIDI event store.
//
// Events reach the frame from the host (sequenced lists and live messages),
// are stamped with a frame time on the frame's position scale and queued
// here in arrival order. Before each audio block the filter asks for the
// events of that block (RenderEvents): they pass the per-port modifiers
// (flags, velocity and key offsets, channel override), are handed to the
// processing object and move to the active list, where note-offs release held
// notes. After each block SweepActive lets the processing object drop notes
// it no longer needs and retires other records whose time has passed.
//
// The time line: position counts frames since the transport started and is
// advanced by the filter after each block; the start frame and the loop
// offset place sequenced events on that scale.
//
// No COM and no locking here: CSoftSynth holds the owner's lock around every
// call. Memory is bounded: the queue, the active list and the port map have
// fixed maximum sizes. Only the host's side allocates: with the first event
// Enqueue reserves the queue's whole room and sets up the active list's fixed
// storage (CEventRing), and it creates the port state a port-flags event will
// need.
// RenderEvents and SweepActive (streaming thread) allocate and free nothing:
// they take records out of the queue in place, and a port without state is
// read as a new one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "common/WinTypes.h"
#include "host/EventRing.h"
#include "host/PortState.h"
#include "host/QviEvent.h"

class CQvi;

class CEventScheduler {
public:
    // Limits on what a host can make the frame hold. A host that sends more
    // events than this between two transport starts or stops gets
    // E_OUTOFMEMORY once records that can no longer be delivered have been
    // discarded.
    static constexpr size_t kMaxQueuedEvents = 16384;
    static constexpr size_t kMaxActiveEvents = CEventRing::kCapacity;
    static constexpr size_t kMaxPortStates = 1024;

    // Transport start: position and loop offset 0, start frame as given.
    void StartTimeline(int64_t startFrame);
    // Adds to the loop offset (the host jumped back by that many frames).
    void ShiftLoop(int64_t frames);
    // Called by the filter after each block; negative counts are ignored.
    void AdvancePosition(int64_t frames);
    // Empties the queue and the active list; port states stay.
    void Clear();

    int64_t Position() const { return m_position; }
    int64_t StartFrame() const { return m_startFrame; }
    int64_t LoopOffset() const { return m_loopOffset; }

    // Frame time of a sequenced event whose musical time converts to the
    // given frame count, and of a live message likewise.
    int64_t SequencedFrameTime(int64_t frames) const;
    int64_t LiveFrameTime(int64_t frames) const;

    // Appends a record to the queue. E_OUTOFMEMORY when the queue is full
    // even after discarding records that lie before the position, or when
    // memory for it, the active list or its port's state cannot be had.
    // Host threads only.
    HRESULT Enqueue(const QviEvent& event);

    // Delivers the queued records of [position, position + frames) to the
    // active list through the processing object's OnNoteOn, then lets
    // note-offs release held notes. A failure of OnNoteOn is returned after
    // the queue has been walked; records taken for this block and not yet
    // handled are then lost. Streaming thread: allocates nothing.
    HRESULT RenderEvents(int32_t frames, CQvi* hooks);

    // Asks KeepNote about every note of the active list (flag passed on) and
    // drops other records whose time has passed. Allocates nothing.
    HRESULT SweepActive(int32_t flag, CQvi* hooks);

    // One change of a port's modifiers (type 0 channel override, 1 flags
    // under mask, 2 and 3 velocity offsets, 4 and 5 key offsets). Types 6 and
    // above change nothing. E_OUTOFMEMORY when a new port would exceed the
    // port limit.
    HRESULT SetPortState(uint32_t type, int32_t port, uint8_t value, uint8_t mask);

    // Inspection (tests, diagnostics).
    const PortState* FindPortState(int32_t port) const;
    size_t PortStateCount() const { return m_ports.size(); }
    const std::vector<QviEvent>& Queue() const { return m_queue; }
    const CEventRing& Active() const { return m_active; }

private:
    // Applies port flags and modifiers to a record taken for delivery;
    // false when the port's flags drop it.
    bool ApplyPortState(QviEvent& event);
    void AppendActive(const QviEvent& event);
    void ReleaseHeldNotes();

    std::vector<QviEvent> m_queue;   // arrival order; grows on host threads only
    CEventRing m_active;             // delivered and still in force
    std::map<int32_t, PortState> m_ports;
    int64_t m_position = 0;
    int64_t m_startFrame = 0;
    int64_t m_loopOffset = 0;
};
