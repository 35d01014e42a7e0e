// CEventScheduler, the frame's queue, active list, port states and time
// line, driven directly with a recording processing object: which records a
// block takes, port modifiers, note pairing, sweeping, and the limits that
// keep a misbehaving host from growing memory.
#include <gtest/gtest.h>

#include <limits>

#include "host/EventScheduler.h"
#include "tests/host/FakeQvi.h"

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

QviEvent Record(int32_t type, int64_t frameTime, int64_t source = kQviSourceSequenced, uint32_t port = 0) {
    QviEvent event = {};
    event.type = type;
    event.frameTime = frameTime;
    event.source = source;
    event.portNumber = port;
    return event;
}

QviEvent Note(int64_t frameTime, uint8_t key, uint8_t velocity, int32_t duration,
              int64_t source = kQviSourceLive, uint32_t port = 0) {
    QviEvent event = Record(kQviNote, frameTime, source, port);
    event.data1 = key;
    event.data2 = velocity;
    event.duration = duration;
    return event;
}

class EventSchedulerTest : public ::testing::Test {
protected:
    CEventScheduler scheduler;
    CFakeQvi hooks{nullptr};
};

}  // namespace

TEST_F(EventSchedulerTest, TimelineStartsLoopsAndAdvances) {
    scheduler.StartTimeline(1000);
    EXPECT_EQ(scheduler.Position(), 0);
    EXPECT_EQ(scheduler.StartFrame(), 1000);
    // A sequenced event at frame 1500 of the host lies 500 frames in.
    EXPECT_EQ(scheduler.SequencedFrameTime(1500), 500);
    scheduler.ShiftLoop(300);
    scheduler.ShiftLoop(200);
    EXPECT_EQ(scheduler.LoopOffset(), 500);
    EXPECT_EQ(scheduler.SequencedFrameTime(1500), 1000);
    scheduler.AdvancePosition(256);
    scheduler.AdvancePosition(-100);  // ignored
    EXPECT_EQ(scheduler.Position(), 256);
    EXPECT_EQ(scheduler.LiveFrameTime(10), 266);
    scheduler.StartTimeline(0);
    EXPECT_EQ(scheduler.Position(), 0);
    EXPECT_EQ(scheduler.LoopOffset(), 0);
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
    EXPECT_EQ(scheduler.Position(), kMax);
    EXPECT_EQ(scheduler.LiveFrameTime(1), kMax);

    // At the end of the time line a block's range is empty: nothing wraps
    // round to the start and gets delivered.
    ASSERT_EQ(scheduler.Enqueue(Record(kQviController, kMax - 1)), S_OK);
    ASSERT_EQ(scheduler.Enqueue(Record(kQviController, kMax)), S_OK);
    ASSERT_EQ(scheduler.Enqueue(Record(kQviController, kMin)), S_OK);
    EXPECT_EQ(scheduler.RenderEvents(1024, &hooks), S_OK);
    EXPECT_EQ(scheduler.Queue().size(), 3u);
    EXPECT_TRUE(scheduler.Active().empty());
}

TEST_F(EventSchedulerTest, BlockTakesItsHalfOpenRangeInArrivalOrder) {
    scheduler.StartTimeline(0);
    for (int64_t t : {300, 0, 255, 256, -1}) {
        QviEvent event = Record(kQviController, t);
        event.data1 = static_cast<uint8_t>(t & 0x7F);
        ASSERT_EQ(scheduler.Enqueue(event), S_OK);
    }
    ASSERT_EQ(scheduler.RenderEvents(256, &hooks), S_OK);
    ASSERT_EQ(scheduler.Active().size(), 2u);
    EXPECT_EQ(scheduler.Active()[0].frameTime, 0);
    EXPECT_EQ(scheduler.Active()[1].frameTime, 255);
    // The rest stays queued, in order; the one before the position too.
    ASSERT_EQ(scheduler.Queue().size(), 3u);
    EXPECT_EQ(scheduler.Queue()[0].frameTime, 300);
    EXPECT_EQ(scheduler.Queue()[1].frameTime, 256);
    EXPECT_EQ(scheduler.Queue()[2].frameTime, -1);

    scheduler.AdvancePosition(256);
    ASSERT_EQ(scheduler.RenderEvents(256, &hooks), S_OK);
    EXPECT_EQ(scheduler.Active().size(), 4u);
    EXPECT_EQ(scheduler.Queue().size(), 1u);
    // An empty block takes nothing.
    ASSERT_EQ(scheduler.RenderEvents(0, &hooks), S_OK);
    EXPECT_EQ(scheduler.Queue().size(), 1u);
    scheduler.Clear();
    EXPECT_TRUE(scheduler.Queue().empty());
    EXPECT_TRUE(scheduler.Active().empty());
}

TEST_F(EventSchedulerTest, NoteOnHookDecidesWhetherANoteIsTracked) {
    scheduler.StartTimeline(0);
    scheduler.Enqueue(Note(0, 60, 100, -1));
    scheduler.Enqueue(Note(1, 62, 100, 480));  // a sequenced length also asks
    scheduler.Enqueue(Note(2, 64, 0, 0));      // a note-off does not ask
    hooks.onNoteOnResult = S_FALSE;
    ASSERT_EQ(scheduler.RenderEvents(16, &hooks), S_OK);
    EXPECT_EQ(hooks.notesOn.size(), 2u);
    EXPECT_TRUE(scheduler.Active().empty());  // skipped notes; the note-off paired off

    // A failure ends the block at once; records taken with it are gone.
    scheduler.Enqueue(Note(20, 60, 100, -1));
    scheduler.Enqueue(Note(21, 61, 100, -1));
    scheduler.Enqueue(Note(40, 62, 100, -1));
    hooks.onNoteOnResult = E_FAIL;
    scheduler.AdvancePosition(16);
    EXPECT_EQ(scheduler.RenderEvents(16, &hooks), E_FAIL);
    EXPECT_TRUE(scheduler.Active().empty());
    ASSERT_EQ(scheduler.Queue().size(), 1u);
    EXPECT_EQ(scheduler.Queue()[0].frameTime, 40);
}

TEST_F(EventSchedulerTest, NoteOffReleasesOneHeldNoteOfItsKey) {
    scheduler.StartTimeline(0);
    scheduler.Enqueue(Note(0, 60, 100, -1));
    scheduler.Enqueue(Note(0, 61, 100, -1));
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    ASSERT_EQ(scheduler.Active().size(), 2u);

    scheduler.AdvancePosition(1);
    scheduler.Enqueue(Note(1, 60, 0, 0));
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    // The note-off itself left the list; key 60 is released, 61 still held.
    ASSERT_EQ(scheduler.Active().size(), 2u);
    EXPECT_EQ(scheduler.Active()[0].data1, 60);
    EXPECT_EQ(scheduler.Active()[0].duration, 0);
    EXPECT_EQ(scheduler.Active()[1].data1, 61);
    EXPECT_EQ(scheduler.Active()[1].duration, -1);

    // A released note counts as a note-off at the next block and leaves.
    scheduler.AdvancePosition(1);
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    ASSERT_EQ(scheduler.Active().size(), 1u);
    EXPECT_EQ(scheduler.Active()[0].data1, 61);
}

TEST_F(EventSchedulerTest, SweepAsksAboutNotesAndRetiresPastRecords) {
    scheduler.StartTimeline(0);
    scheduler.Enqueue(Record(kQviController, 100));
    scheduler.Enqueue(Note(100, 60, 100, -1));
    ASSERT_EQ(scheduler.RenderEvents(256, &hooks), S_OK);

    // Position 0 is not later than 100: the controller stays.
    ASSERT_EQ(scheduler.SweepActive(0, &hooks), S_OK);
    EXPECT_EQ(scheduler.Active().size(), 2u);
    scheduler.AdvancePosition(100);
    ASSERT_EQ(scheduler.SweepActive(0, &hooks), S_OK);
    EXPECT_EQ(scheduler.Active().size(), 2u);
    scheduler.AdvancePosition(1);
    ASSERT_EQ(scheduler.SweepActive(0, &hooks), S_OK);
    ASSERT_EQ(scheduler.Active().size(), 1u);  // the note is kept by KeepNote's S_FALSE
    EXPECT_EQ(hooks.keepNoteFlags, (std::vector<int32_t>{0, 0, 0}));

    // A failing KeepNote stops the sweep; S_OK drops the note.
    hooks.keepNoteResult = E_FAIL;
    EXPECT_EQ(scheduler.SweepActive(1, &hooks), E_FAIL);
    EXPECT_EQ(scheduler.Active().size(), 1u);
    hooks.keepNoteResult = S_OK;
    EXPECT_EQ(scheduler.SweepActive(1, &hooks), S_OK);
    EXPECT_TRUE(scheduler.Active().empty());
    EXPECT_EQ(scheduler.SweepActive(0, nullptr), E_POINTER);
    EXPECT_EQ(scheduler.RenderEvents(1, nullptr), E_POINTER);
}

TEST_F(EventSchedulerTest, FailingKeepNoteLeavesTheRestOfTheListInOrder) {
    scheduler.StartTimeline(0);
    scheduler.Enqueue(Record(kQviController, 0));
    scheduler.Enqueue(Note(0, 60, 100, -1));
    scheduler.Enqueue(Record(kQviController, 0));
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    scheduler.AdvancePosition(1);
    hooks.keepNoteResult = E_UNEXPECTED;
    EXPECT_EQ(scheduler.SweepActive(0, &hooks), E_UNEXPECTED);
    // The first controller was retired before the failure, the rest stays.
    ASSERT_EQ(scheduler.Active().size(), 2u);
    EXPECT_EQ(scheduler.Active()[0].type, kQviNote);
    EXPECT_EQ(scheduler.Active()[1].type, kQviController);
}

TEST_F(EventSchedulerTest, PortStatesAreCreatedByTheFirstSixTypesOnly) {
    EXPECT_EQ(scheduler.SetPortState(6, 3, 1, 1), S_OK);
    EXPECT_EQ(scheduler.SetPortState(0xFFFFFFFFu, 3, 1, 1), S_OK);
    EXPECT_EQ(scheduler.FindPortState(3), nullptr);

    EXPECT_EQ(scheduler.SetPortState(2, 3, 0xFB, 0), S_OK);  // -5
    const PortState* state = scheduler.FindPortState(3);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->channelOverride, 0xFF);
    EXPECT_EQ(state->flags, 0);
    EXPECT_EQ(state->velocityOffset[0], -5);
    EXPECT_EQ(state->keyOffset[0], 0);

    // Flags change under the mask.
    scheduler.SetPortState(1, 3, 0x09, 0xFF);
    scheduler.SetPortState(1, 3, 0x00, 0x01);
    EXPECT_EQ(state->flags, 0x08);
    scheduler.SetPortState(1, 3, 0x02, 0x00);
    EXPECT_EQ(state->flags, 0x0A);
    scheduler.SetPortState(0, 3, 0x13, 0);
    scheduler.SetPortState(3, 3, 7, 0);
    scheduler.SetPortState(4, 3, 10, 0);
    scheduler.SetPortState(5, 3, 20, 0);
    EXPECT_EQ(state->channelOverride, 0x13);
    EXPECT_EQ(state->velocityOffset[1], 7);
    EXPECT_EQ(state->keyOffset[0], 10);
    EXPECT_EQ(state->keyOffset[1], 20);
    // Negative port numbers are ports like any other.
    EXPECT_EQ(scheduler.SetPortState(0, -1, 2, 0), S_OK);
    EXPECT_NE(scheduler.FindPortState(-1), nullptr);
}

TEST_F(EventSchedulerTest, KeyAndVelocityOffsetsAreClampedToMidiRange) {
    scheduler.SetPortState(4, 0, 10, 0);
    scheduler.SetPortState(5, 0, 20, 0);
    scheduler.SetPortState(2, 0, 30, 0);
    scheduler.SetPortState(3, 0, 0xF6, 0);  // -10
    scheduler.SetPortState(4, 1, 0xF6, 0);  // port 1: key -10 - 20
    scheduler.SetPortState(5, 1, 0xEC, 0);
    scheduler.SetPortState(2, 1, 0x80, 0);  // velocity -128
    scheduler.StartTimeline(0);
    scheduler.Enqueue(Note(0, 100, 100, -1));          // 100+30 -> 127, 100+20 -> 120
    scheduler.Enqueue(Note(0, 50, 10, -1));            // 80, 30
    scheduler.Enqueue(Note(0, 20, 100, -1, kQviSourceLive, 1));  // -10 -> 0, -28 -> 0
    scheduler.Enqueue(Note(0, 200, 255, -1, kQviSourceLive, 2)); // out-of-range bytes, no state
    QviEvent controller = Record(kQviController, 0, kQviSourceLive);
    controller.data1 = 100;
    controller.data2 = 100;
    scheduler.Enqueue(controller);  // not a note: untouched
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    const auto& active = scheduler.Active();
    ASSERT_EQ(active.size(), 5u);
    EXPECT_EQ(active[0].data1, 127);
    EXPECT_EQ(active[0].data2, 120);
    EXPECT_EQ(active[1].data1, 80);
    EXPECT_EQ(active[1].data2, 30);
    EXPECT_EQ(active[2].data1, 0);
    EXPECT_EQ(active[2].data2, 0);
    EXPECT_EQ(active[3].data1, 127);
    EXPECT_EQ(active[3].data2, 127);
    EXPECT_EQ(active[4].data1, 100);
    EXPECT_EQ(active[4].data2, 100);
    // The hook saw the adjusted note.
    EXPECT_EQ(hooks.notesOn[0].data1, 127);
    // Delivery alone creates no port state.
    EXPECT_EQ(scheduler.FindPortState(2), nullptr);
}

TEST_F(EventSchedulerTest, PortFlagsDropSequencedAndGateLiveEvents) {
    scheduler.StartTimeline(0);
    scheduler.SetPortState(1, 0, 0x01, 0xFF);
    scheduler.Enqueue(Record(kQviController, 0, kQviSourceSequenced));
    scheduler.Enqueue(Record(kQviController, 0, kQviSourceLive));
    scheduler.Enqueue(Record(kQviController, 0, kQviSourceSequenced, 1));  // other port
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    ASSERT_EQ(scheduler.Active().size(), 1u);
    EXPECT_EQ(scheduler.Active()[0].portNumber, 1u);

    scheduler.Clear();
    scheduler.SetPortState(1, 0, 0x08, 0xFF);
    scheduler.Enqueue(Record(kQviController, 0, kQviSourceSequenced));
    scheduler.Enqueue(Record(kQviController, 0, kQviSourceLive));
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    ASSERT_EQ(scheduler.Active().size(), 1u);
    EXPECT_EQ(scheduler.Active()[0].source, kQviSourceLive);
}

TEST_F(EventSchedulerTest, PortFlagsEventSetsBitsUnderItsMask) {
    scheduler.StartTimeline(0);
    // A live port-flags event on port 5: set 0x09 under mask 0xFF; it passes
    // itself (bit 3 set), later sequenced events of the port are dropped.
    QviEvent flags = Record(kQviPortFlags, 0, kQviSourceLive, 5);
    flags.port = 0x09;
    flags.channel = 0xFF;
    scheduler.Enqueue(flags);
    scheduler.Enqueue(Record(kQviController, 0, kQviSourceSequenced, 5));
    scheduler.Enqueue(Record(kQviController, 0, kQviSourceLive, 5));
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    ASSERT_NE(scheduler.FindPortState(5), nullptr);
    EXPECT_EQ(scheduler.FindPortState(5)->flags, 0x09);
    ASSERT_EQ(scheduler.Active().size(), 2u);
    EXPECT_EQ(scheduler.Active()[0].type, kQviPortFlags);
    EXPECT_EQ(scheduler.Active()[1].source, kQviSourceLive);

    // Clearing bit 0 only (mask 0x01) leaves 0x08; a sequenced flags event
    // that clears everything passes, as the flags are then zero.
    scheduler.Clear();
    QviEvent clear = Record(kQviPortFlags, 0, kQviSourceSequenced, 5);
    clear.port = 0x00;
    clear.channel = 0x01;
    scheduler.Enqueue(clear);
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    EXPECT_EQ(scheduler.FindPortState(5)->flags, 0x08);
    EXPECT_TRUE(scheduler.Active().empty());  // flags nonzero, sequenced: dropped
    clear.channel = 0xFF;
    scheduler.Enqueue(clear);
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    EXPECT_EQ(scheduler.FindPortState(5)->flags, 0x00);
    EXPECT_EQ(scheduler.Active().size(), 1u);
}

TEST_F(EventSchedulerTest, ChannelOverrideForcesTheLowFourBits) {
    scheduler.StartTimeline(0);
    scheduler.SetPortState(0, 0, 0x13, 0);
    QviEvent event = Record(kQviController, 0, kQviSourceLive);
    event.channel = 9;
    scheduler.Enqueue(event);
    event.portNumber = 1;  // no override there: a stray channel byte is left alone
    event.channel = 0x47;
    scheduler.Enqueue(event);
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    ASSERT_EQ(scheduler.Active().size(), 2u);
    EXPECT_EQ(scheduler.Active()[0].channel, 3);
    EXPECT_EQ(scheduler.Active()[1].channel, 0x47);
}

TEST_F(EventSchedulerTest, QueueIsBoundedAndGivesUpUndeliverableRecordsFirst) {
    scheduler.StartTimeline(0);
    const size_t limit = CEventScheduler::kMaxQueuedEvents;
    for (size_t i = 0; i < limit; ++i) ASSERT_EQ(scheduler.Enqueue(Record(kQviController, int64_t(i))), S_OK);
    EXPECT_EQ(scheduler.Enqueue(Record(kQviController, 0)), E_OUTOFMEMORY);
    EXPECT_EQ(scheduler.Queue().size(), limit);

    // Once the position has passed 100 records without a block taking them,
    // they can never be delivered and make room.
    scheduler.AdvancePosition(100);
    EXPECT_EQ(scheduler.Enqueue(Record(kQviController, 5000000)), S_OK);
    EXPECT_EQ(scheduler.Queue().size(), limit - 100 + 1);
    EXPECT_EQ(scheduler.Queue().front().frameTime, 100);
}

TEST_F(EventSchedulerTest, ActiveListIsBoundedOldestFirst) {
    scheduler.StartTimeline(0);
    const size_t limit = CEventScheduler::kMaxActiveEvents;
    for (size_t i = 0; i <= limit; ++i) {
        ASSERT_EQ(scheduler.Enqueue(Note(0, static_cast<uint8_t>(i % 128), 100, -1)), S_OK);
        if (scheduler.Queue().size() == 1000) {
            ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
        }
    }
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    ASSERT_EQ(scheduler.Active().size(), limit);
    EXPECT_EQ(scheduler.Active().front().data1, 1);  // note 0 gave way
}

TEST_F(EventSchedulerTest, PortStatesAreBounded) {
    const int32_t limit = static_cast<int32_t>(CEventScheduler::kMaxPortStates);
    for (int32_t port = 0; port < limit; ++port) ASSERT_EQ(scheduler.SetPortState(2, port, 1, 0), S_OK);
    EXPECT_EQ(scheduler.SetPortState(2, limit, 1, 0), E_OUTOFMEMORY);
    EXPECT_EQ(scheduler.SetPortState(3, 0, 1, 0), S_OK);  // existing ports still change
    EXPECT_EQ(scheduler.PortStateCount(), static_cast<size_t>(limit));

    // Beyond the limit a port-flags event still applies to itself.
    scheduler.StartTimeline(0);
    QviEvent flags = Record(kQviPortFlags, 0, kQviSourceSequenced, static_cast<uint32_t>(limit));
    flags.port = 0x01;
    flags.channel = 0xFF;
    scheduler.Enqueue(flags);
    ASSERT_EQ(scheduler.RenderEvents(1, &hooks), S_OK);
    EXPECT_TRUE(scheduler.Active().empty());
    EXPECT_EQ(scheduler.PortStateCount(), static_cast<size_t>(limit));
}
