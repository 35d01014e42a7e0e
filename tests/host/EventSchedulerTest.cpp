// CEventScheduler, the frame's portable core, driven directly: which records
// a block takes, the note-on hook, note pairing, sweeping, port-state rules,
// and the limits and saturation that keep a misbehaving host harmless.
#include <gtest/gtest.h>

#include <limits>

#include "host/EventScheduler.h"
#include "tests/host/TestPlugIn.h"

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

QviEvent Record(int32_t type, int64_t frameTime, int64_t source = kQviSourceLive, uint32_t port = 0) {
    QviEvent event = {};
    event.type = type;
    event.frameTime = frameTime;
    event.source = source;
    event.portNumber = port;
    return event;
}

QviEvent Note(int64_t frameTime, uint8_t key, uint8_t velocity, int32_t duration, uint32_t port = 0) {
    QviEvent event = Record(kQviNote, frameTime, kQviSourceLive, port);
    event.data1 = key;
    event.data2 = velocity;
    event.duration = duration;
    return event;
}

class EventSchedulerTest : public ::testing::Test {
protected:
    CEventScheduler scheduler;
    CFakeQvi hooks{nullptr};
    const CEventRing& active = scheduler.Active();
};

}  // namespace

TEST_F(EventSchedulerTest, BlockTakesItsHalfOpenRangeInArrivalOrder) {
    for (int64_t t : {300, 0, 255, 256, -1}) scheduler.Enqueue(Record(kQviController, t));
    ASSERT_EQ(scheduler.RenderEvents(256, &hooks), S_OK);
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[0].frameTime, 0);
    EXPECT_EQ(active[1].frameTime, 255);
    // The rest stays in order, the one before the position too.
    ASSERT_EQ(scheduler.Queue().size(), 3u);
    EXPECT_EQ(scheduler.Queue()[1].frameTime, 256);
    EXPECT_EQ(scheduler.Queue()[2].frameTime, -1);
    scheduler.AdvancePosition(256);
    scheduler.AdvancePosition(-100);  // ignored
    ASSERT_EQ(scheduler.RenderEvents(256, &hooks), S_OK);
    EXPECT_EQ(scheduler.Position(), 256);
    EXPECT_EQ(active.size(), 4u);
    ASSERT_EQ(scheduler.Queue().size(), 1u);
    EXPECT_EQ(scheduler.RenderEvents(0, nullptr), E_POINTER);
}

TEST_F(EventSchedulerTest, FarTimesSaturateInsteadOfWrapping) {
    scheduler.StartTimeline(kMin);
    EXPECT_EQ(scheduler.SequencedFrameTime(kMax), kMax);
    scheduler.StartTimeline(kMax);
    EXPECT_EQ(scheduler.SequencedFrameTime(kMin), kMin);
    scheduler.ShiftLoop(kMax);
    scheduler.ShiftLoop(kMax);
    EXPECT_EQ(scheduler.LoopOffset(), kMax);
    scheduler.AdvancePosition(kMax);
    scheduler.AdvancePosition(kMax);
    EXPECT_EQ(scheduler.LiveFrameTime(1), kMax);
    // At the end of the time line a block's range is empty: nothing wraps
    // round and gets delivered.
    for (int64_t t : {kMax - 1, kMax, kMin}) scheduler.Enqueue(Record(kQviController, t));
    ASSERT_EQ(scheduler.RenderEvents(1024, &hooks), S_OK);
    EXPECT_TRUE(active.empty());
}

TEST_F(EventSchedulerTest, NoteOnHookDecidesAndAFailureEndsTheBlock) {
    scheduler.Enqueue(Note(0, 60, 100, -1));
    scheduler.Enqueue(Note(1, 62, 100, 480));  // a sequenced length asks too
    scheduler.Enqueue(Note(2, 64, 0, 0));      // a note-off does not
    hooks.onNoteOnResult = S_FALSE;
    ASSERT_EQ(scheduler.RenderEvents(16, &hooks), S_OK);
    EXPECT_EQ(hooks.notesOn.size(), 2u);
    EXPECT_TRUE(active.empty());  // skipped, and the note-off paired off

    // Records taken with the failing one are gone; later ones stay queued.
    for (int64_t t : {20, 21, 40}) scheduler.Enqueue(Note(t, 60, 100, -1));
    hooks.onNoteOnResult = E_FAIL;
    scheduler.AdvancePosition(16);
    EXPECT_EQ(scheduler.RenderEvents(16, &hooks), E_FAIL);
    EXPECT_TRUE(active.empty());
    ASSERT_EQ(scheduler.Queue().size(), 1u);
    EXPECT_EQ(scheduler.Queue()[0].frameTime, 40);
}

TEST_F(EventSchedulerTest, NoteOffReleasesOneHeldNoteOfItsKey) {
    scheduler.Enqueue(Note(0, 60, 100, -1));
    scheduler.Enqueue(Note(0, 61, 100, -1));
    scheduler.Enqueue(Note(0, 60, 0, 0));
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(int32_t(active[0].duration), 0);  // 60 released
    EXPECT_EQ(int32_t(active[1].duration), -1);
    // A released note counts as a note-off at the next block and leaves.
    scheduler.AdvancePosition(1);
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0].data1, 61);
}

TEST_F(EventSchedulerTest, SweepAsksAboutNotesAndRetiresPastRecords) {
    scheduler.Enqueue(Record(kQviController, 100));
    scheduler.Enqueue(Note(100, 60, 100, -1));
    scheduler.Enqueue(Record(kQviController, 100));
    ASSERT_EQ(scheduler.RenderEvents(256, &hooks), S_OK);
    scheduler.AdvancePosition(100);  // not later than 100 yet
    ASSERT_EQ(scheduler.SweepActive(0, &hooks), S_OK);
    EXPECT_EQ(active.size(), 3u);

    // A failing KeepNote stops the sweep: retired before it, kept after it.
    scheduler.AdvancePosition(1);
    hooks.keepNoteResult = E_UNEXPECTED;
    EXPECT_EQ(scheduler.SweepActive(1, &hooks), E_UNEXPECTED);
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(int32_t(active[0].type), kQviNote);
    hooks.keepNoteResult = S_FALSE;
    ASSERT_EQ(scheduler.SweepActive(0, &hooks), S_OK);
    EXPECT_EQ(active.size(), 1u);
    hooks.keepNoteResult = S_OK;
    ASSERT_EQ(scheduler.SweepActive(0, &hooks), S_OK);
    EXPECT_TRUE(active.empty());
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"KeepNote(0)", "KeepNote(1)", "KeepNote(0)", "KeepNote(0)"}));
}

TEST_F(EventSchedulerTest, PortStatesAndOffsetsClampedBothWays) {
    EXPECT_EQ(scheduler.SetPortState(6, 3, 1, 1), S_OK);  // creates nothing
    EXPECT_EQ(scheduler.FindPortState(3), nullptr);
    scheduler.SetPortState(1, 3, 0x09, 0xFF);
    scheduler.SetPortState(1, 3, 0x00, 0x01);  // clears bit 0 only
    ASSERT_NE(scheduler.FindPortState(3), nullptr);
    EXPECT_EQ(scheduler.FindPortState(3)->flags, 0x08);
    EXPECT_EQ(scheduler.FindPortState(3)->channelOverride, 0xFF);

    scheduler.SetPortState(4, 1, 0xF6, 0);  // key -10
    scheduler.SetPortState(5, 1, 0xEC, 0);  // key -20
    scheduler.SetPortState(2, 1, 30, 0);    // velocity +30
    scheduler.SetPortState(3, 1, 0xF6, 0);  // velocity -10
    scheduler.Enqueue(Note(0, 20, 120, -1, 1));  // key 0, velocity 127
    scheduler.Enqueue(Note(0, 50, 10, -1, 1));   // 20, 30
    scheduler.Enqueue(Note(0, 200, 255, -1, 9));  // stray bytes, no state: 127, 127
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    ASSERT_EQ(active.size(), 3u);
    EXPECT_EQ(active[0].data1, 0);
    EXPECT_EQ(active[0].data2, 127);
    EXPECT_EQ(active[1].data1, 20);
    EXPECT_EQ(active[1].data2, 30);
    EXPECT_EQ(active[2].data1, 127);
    EXPECT_EQ(active[2].data2, 127);
    EXPECT_EQ(scheduler.FindPortState(9), nullptr);  // delivery alone creates none
}

TEST_F(EventSchedulerTest, PortFlagsEventSetsBitsUnderItsMask) {
    // Byte 4: bits to set; byte 5: mask. 0x09 lets the event itself (live)
    // and later live events pass, and drops sequenced ones.
    QviEvent flags = Record(kQviPortFlags, 0, kQviSourceLive, 5);
    flags.port = 0x09;
    flags.channel = 0xFF;
    scheduler.Enqueue(flags);
    scheduler.Enqueue(Record(kQviController, 0, kQviSourceSequenced, 5));
    scheduler.Enqueue(Record(kQviController, 0, kQviSourceLive, 5));
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    EXPECT_EQ(scheduler.FindPortState(5)->flags, 0x09);
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[1].source, kQviSourceLive);
    // A sequenced event clearing every flag passes, the flags being zero.
    flags.source = kQviSourceSequenced;
    flags.port = 0;
    scheduler.Enqueue(flags);
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    EXPECT_EQ(scheduler.FindPortState(5)->flags, 0);
    EXPECT_EQ(active.size(), 3u);
}

TEST_F(EventSchedulerTest, QueueActiveListAndPortsAreBounded) {
    // Queue: full is full, until records the position has passed make room.
    const size_t queued = CEventScheduler::kMaxQueuedEvents;
    for (size_t i = 0; i < queued; ++i) ASSERT_EQ(scheduler.Enqueue(Record(kQviController, int64_t(i))), S_OK);
    EXPECT_EQ(scheduler.Enqueue(Record(kQviController, 0)), E_OUTOFMEMORY);
    scheduler.AdvancePosition(100);
    EXPECT_EQ(scheduler.Enqueue(Record(kQviController, 5000000)), S_OK);
    EXPECT_EQ(scheduler.Queue().size(), queued - 100 + 1);
    EXPECT_EQ(scheduler.Queue().front().frameTime, 100);
    scheduler.Clear();

    // Active list: notes never released give way oldest first.
    const size_t held = CEventScheduler::kMaxActiveEvents;
    for (size_t i = 0; i <= held; ++i) {
        scheduler.Enqueue(Note(100, static_cast<uint8_t>(i % 128), 100, -1));
        if (scheduler.Queue().size() == 1000) scheduler.RenderEvents(1, &hooks);
    }
    scheduler.RenderEvents(1, &hooks);
    ASSERT_EQ(active.size(), held);
    EXPECT_EQ(active.front().data1, 1);

    // Ports: beyond the limit no new state; a port-flags event still applies
    // to itself.
    const int32_t ports = static_cast<int32_t>(CEventScheduler::kMaxPortStates);
    for (int32_t port = 0; port < ports; ++port) ASSERT_EQ(scheduler.SetPortState(2, port, 1, 0), S_OK);
    EXPECT_EQ(scheduler.SetPortState(2, ports, 1, 0), E_OUTOFMEMORY);
    EXPECT_EQ(scheduler.SetPortState(3, 0, 1, 0), S_OK);
    scheduler.Clear();
    QviEvent flags = Record(kQviPortFlags, 100, kQviSourceSequenced, static_cast<uint32_t>(ports));
    flags.port = 0x01;
    flags.channel = 0xFF;
    scheduler.Enqueue(flags);
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    EXPECT_TRUE(active.empty());
    EXPECT_EQ(scheduler.PortStateCount(), static_cast<size_t>(ports));
}
