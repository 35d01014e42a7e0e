// CSoftSynth, the instrument frame, driven as a host drives it through the
// test host: construction and the instrument, Connect and Disconnect with
// their references, the host port, time conversions, the transport, sequenced
// and live MIDI, and port modifiers. Block delivery itself is
// EventSchedulerTest's. Every test ends with the
// test host, its lists and the frame back at the test's own reference.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/TaskMem.h"
#include "tests/host/TestPlugIn.h"

namespace {

using Calls = std::vector<std::string>;

class SoftSynthTest : public ::testing::Test {
protected:
    void TearDown() override {
        plugin.Disconnect();
        EXPECT_EQ(host.RefCount(), 1u);
        EXPECT_EQ(plugin.RefCount(), 1u);
        EXPECT_EQ(events.RefCount(), 1u);
        EXPECT_EQ(midi.RefCount(), 1u);
    }
    // Connect hands over one reference, as a host does.
    HRESULT ConnectHost() {
        host.AddRef();
        return plugin.Connect(host.Unknown());
    }
    void ConnectAndStart(WBX_MUSICAL_TIME start = 0) {
        ASSERT_EQ(ConnectHost(), S_OK);
        ASSERT_EQ(plugin.OnStart(start), S_OK);
    }
    HRESULT SendEvents(DWORD port = 0) { return plugin.OnEvents(0, 0, port, &events); }
    HRESULT SendMidi(DWORD port = 0) { return plugin.OnInput(port, &midi); }
    HRESULT SetPort(uint32_t type, int32_t port, uint8_t value, uint8_t mask = 0) {
        const WbxPortStateChange change = {type, port, value, mask};
        return plugin.NotifyPortState(&change);
    }
    // The pin notifier held (compared only: the reference is given back).
    IWbxHostPins* HostPins() {
        IWbxHostPins* pins = nullptr;
        plugin.HoldHostPins(&pins);
        if (pins) pins->Release();
        return pins;
    }
    const std::vector<QviEvent>& Queue() { return plugin.Scheduler().Queue(); }
    const CEventRing& Active() { return plugin.Scheduler().Active(); }

    // Declared before the frame, which releases them when destroyed.
    CTestHost host;
    CTestEventList events;
    CTestMidiBuffer midi;
    HRESULT constructed = S_OK;
    CTestPlugIn plugin{&constructed};
};

std::string Title(IWbxNameList* list) {
    char buffer[64] = {};
    list->GetTitle(buffer, sizeof(buffer));
    list->Release();
    return buffer;
}

}  // namespace

TEST_F(SoftSynthTest, StartsUnconnectedAndPassesInstrumentQueriesOn) {
    EXPECT_EQ(constructed, S_OK);
    EXPECT_FALSE(plugin.IsConnected());
    EXPECT_EQ(plugin.GetHostTimeMap(), nullptr);
    EXPECT_EQ(plugin.TicksToSamples(960), 0);
    EXPECT_EQ(plugin.SamplesToTicks(24000), 0u);

    IWbxInstrument* instrument = nullptr;
    EXPECT_EQ(plugin.GetInstrument(nullptr), E_POINTER);
    ASSERT_EQ(plugin.GetInstrument(&instrument), S_OK);
    char name[6];
    EXPECT_EQ(instrument->GetName(name, sizeof(name)), S_OK);
    EXPECT_STREQ(name, "Delay");
    IWbxNameList *viaFrame = nullptr, *direct = nullptr;
    ASSERT_EQ(plugin.GetPatchNames(0, &viaFrame), S_OK);
    ASSERT_EQ(instrument->GetPatchNames(0, &direct), S_OK);
    EXPECT_EQ(viaFrame, direct);
    direct->Release();
    EXPECT_EQ(instrument->Release(), 1u);  // the frame's own
    EXPECT_EQ(Title(viaFrame), "Delay Patches");

    int32_t* banks = nullptr;
    int32_t count = 0;
    ASSERT_EQ(plugin.GetBanks(&banks, &count), S_OK);
    EXPECT_EQ(count, 1);
    TaskMemFree(banks);
    EXPECT_EQ(plugin.IsDrumPatch(0, 0), S_FALSE);
    EXPECT_EQ(plugin.IsPatchAvailable(16384, 0), E_INVALIDARG);
    IWbxNameList* list = nullptr;
    ASSERT_EQ(plugin.GetNoteNames(0, 0, &list), S_OK);
    EXPECT_EQ(Title(list), "Delay Notes");
    ASSERT_EQ(plugin.GetControllerNames(&list), S_OK);
    EXPECT_EQ(Title(list), "Delay Controllers");
    ASSERT_EQ(plugin.GetRpnNames(&list), S_OK);
    EXPECT_EQ(Title(list), "Delay RPNs");
    ASSERT_EQ(plugin.GetNrpnNames(&list), S_OK);
    EXPECT_EQ(Title(list), "Delay NRPNs");
}

TEST_F(SoftSynthTest, ConnectHoldsFourServicesAndDisconnectReleasesThem) {
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_TRUE(plugin.IsConnected());
    EXPECT_EQ(host.RefCount(), 1u + 4u);
    EXPECT_EQ(plugin.GetHostTimeMap(), static_cast<IWbxHostTimeMap*>(&host));
    EXPECT_EQ(HostPins(), static_cast<IWbxHostPins*>(&host));
    // A second Connect fails and still releases the reference handed over.
    EXPECT_EQ(ConnectHost(), E_UNEXPECTED);
    EXPECT_EQ(host.RefCount(), 5u);

    EXPECT_EQ(plugin.Disconnect(), S_OK);
    EXPECT_EQ(host.RefCount(), 1u);
    EXPECT_FALSE(plugin.IsConnected());
    EXPECT_EQ(plugin.GetHostTimeMap(), nullptr);
    EXPECT_EQ(HostPins(), nullptr);
    EXPECT_EQ(ConnectHost(), S_OK);  // connects again
    EXPECT_EQ(plugin.Connect(nullptr), E_POINTER);
}

TEST_F(SoftSynthTest, ConnectNeedsOnlyTheTimeMap) {
    host.offerTimeMap = false;
    EXPECT_EQ(ConnectHost(), E_NOINTERFACE);
    EXPECT_EQ(host.RefCount(), 1u);
    EXPECT_FALSE(plugin.IsConnected());
    EXPECT_EQ(SendEvents(), E_UNEXPECTED);
    EXPECT_EQ(SendMidi(), E_UNEXPECTED);

    host.offerTimeMap = true;
    host.offerConverter = host.offerPins = host.offerPort = false;
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_EQ(host.RefCount(), 2u);
    EXPECT_EQ(HostPins(), nullptr);
    IWbxHostPort* port = static_cast<IWbxHostPort*>(&host);
    EXPECT_EQ(plugin.GetHostPort(&port), S_FALSE);
    EXPECT_EQ(port, nullptr);
}

TEST_F(SoftSynthTest, HostPortIsHeldAndHandedBack) {
    CTestPort port;
    IWbxHostPort* out = &port;
    EXPECT_EQ(plugin.GetHostPort(&out), S_FALSE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(plugin.GetHostPort(nullptr), E_POINTER);
    ASSERT_EQ(plugin.SetHostPort(&port), S_OK);
    ASSERT_EQ(plugin.GetHostPort(&out), S_OK);
    EXPECT_EQ(out, &port);
    EXPECT_EQ(port.RefCount(), 3u);
    out->Release();
    // A host offering its own port in Connect replaces it; one that offers
    // none leaves it.
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_EQ(port.RefCount(), 1u);
    ASSERT_EQ(plugin.GetHostPort(&out), S_OK);
    EXPECT_EQ(out, static_cast<IWbxHostPort*>(&host));
    out->Release();
    plugin.Disconnect();
    plugin.SetHostPort(&port);
    host.offerPort = false;
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_EQ(port.RefCount(), 2u);
    plugin.SetHostPort(nullptr);
    EXPECT_EQ(port.RefCount(), 1u);

    // Destroying a connected frame releases what it holds.
    {
        CTestPlugIn other;
        host.AddRef();
        ASSERT_EQ(other.Connect(host.Unknown()), S_OK);
        other.SetHostPort(&port);
        EXPECT_EQ(port.RefCount(), 2u);
    }
    EXPECT_EQ(port.RefCount(), 1u);
    EXPECT_EQ(host.RefCount(), 4u);  // this test's frame: time map, converter, pins
}

TEST_F(SoftSynthTest, ConversionsPreferTheConverterThenTheTimeMap) {
    ASSERT_EQ(ConnectHost(), S_OK);
    // 120 BPM, 960 ticks per beat, 48 kHz: 25 frames per tick.
    EXPECT_EQ(plugin.TicksToSamples(960), 24000);
    EXPECT_EQ(plugin.SamplesToTicks(24000), 960u);
    EXPECT_EQ(host.convertCalls, 2);
    EXPECT_EQ(host.musicalToMsCalls, 0);
    plugin.Disconnect();

    host.offerConverter = false;
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_EQ(plugin.TicksToSamples(100), 2496);  // 52.08 ms -> 52 ms -> 2496 frames
    EXPECT_EQ(plugin.SamplesToTicks(12000), 480u);
    plugin.format.nSamplesPerSec = 44100;         // the effect's input rate counts
    EXPECT_EQ(plugin.TicksToSamples(960), 22050);
    EXPECT_EQ(plugin.SamplesToTicks(22050), 960u);
    plugin.SetInputFormat(nullptr);
    EXPECT_EQ(plugin.TicksToSamples(960), 0);
    EXPECT_EQ(plugin.SamplesToTicks(22050), 0u);
}

TEST_F(SoftSynthTest, StartAndLoopPlaceSequencedEvents) {
    ConnectAndStart(960);  // start frame 24000
    EXPECT_EQ(plugin.calls, (Calls{"OnTransportStart"}));
    events.Add(960, kQviNote, 2, 60, 100, 480);
    events.Add(1920, kQviNote, 3, 62, 90, -1);
    ASSERT_EQ(SendEvents(3), S_OK);
    ASSERT_EQ(Queue().size(), 2u);
    const QviEvent& first = Queue()[0];
    EXPECT_EQ(first.frameTime, 0);
    EXPECT_EQ(Queue()[1].frameTime, 24000);
    EXPECT_EQ(std::memcmp(&first, &events.items[0], sizeof(WbxEvent)), 0);
    EXPECT_EQ(int32_t(first.duration), 480);
    EXPECT_EQ(first.portNumber, 3u);
    EXPECT_EQ(first.source, kQviSourceSequenced);
    EXPECT_EQ(first.zero, 0);

    // The host plays ticks 960..1920 and jumps back to 960: what follows the
    // jump continues at frame 48000, and again at 72000 after a second loop.
    events.items.resize(1);
    ASSERT_EQ(plugin.OnStart(0), S_OK);
    ASSERT_EQ(plugin.OnLoop(960, 1920), S_OK);
    ASSERT_EQ(SendEvents(), S_OK);
    EXPECT_EQ(Queue().back().frameTime, 48000);
    ASSERT_EQ(plugin.OnLoop(960, 1920), S_OK);
    ASSERT_EQ(SendEvents(), S_OK);
    EXPECT_EQ(Queue().back().frameTime, 72000);
    ASSERT_EQ(plugin.OnStart(0), S_OK);  // forgets the loops and the queue
    ASSERT_EQ(SendEvents(), S_OK);
    ASSERT_EQ(Queue().size(), 1u);
    EXPECT_EQ(Queue().back().frameTime, 24000);
}

TEST_F(SoftSynthTest, StartAndStopEndEveryNoteInTheirOrder) {
    ConnectAndStart(0);
    midi.Add(0, 0x90, 60, 100);
    midi.Add(960, 0x90, 61, 100);  // stays queued
    ASSERT_EQ(SendMidi(), S_OK);
    ASSERT_EQ(plugin.RunBlock(64), S_OK);
    plugin.calls.clear();
    ASSERT_EQ(plugin.OnStop(), S_OK);
    EXPECT_EQ(plugin.calls, (Calls{"OnTransportStop", "KeepNote(1)"}));
    EXPECT_TRUE(Queue().empty());
    EXPECT_TRUE(Active().empty());

    ASSERT_EQ(SendMidi(), S_OK);
    ASSERT_EQ(plugin.RunBlock(64), S_OK);
    plugin.calls.clear();
    ASSERT_EQ(plugin.OnStart(480), S_OK);
    EXPECT_EQ(plugin.calls, (Calls{"KeepNote(1)", "OnTransportStart"}));
    EXPECT_TRUE(Queue().empty());
    EXPECT_TRUE(Active().empty());
}

TEST_F(SoftSynthTest, EventBeforeThePositionWaitsForTheNextStop) {
    ConnectAndStart(0);
    ASSERT_EQ(plugin.RunBlock(1000), S_OK);
    events.Add(0, kQviNote, 0, 60, 100, -1);  // frame 0, already passed
    ASSERT_EQ(SendEvents(), S_OK);
    ASSERT_EQ(plugin.RunBlock(1000), S_OK);
    EXPECT_EQ(Queue().size(), 1u);
    EXPECT_TRUE(plugin.notesOn.empty());
    ASSERT_EQ(plugin.OnStop(), S_OK);
    EXPECT_TRUE(Queue().empty());
}

TEST_F(SoftSynthTest, OnEventsStopsAtTheFirstFailure) {
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_EQ(plugin.OnEvents(0, 0, 0, nullptr), E_POINTER);
    events.countResult = E_FAIL;
    EXPECT_EQ(SendEvents(), E_FAIL);
    events.countResult = S_OK;
    // Five reported, two delivered: the host's error, and the two queued.
    events.Add(0, kQviNote, 0, 60, 100, -1);
    events.Add(10, kQviNote, 0, 61, 100, -1);
    events.reportedCount = 5;
    EXPECT_EQ(SendEvents(), E_INVALIDARG);
    EXPECT_EQ(Queue().size(), 2u);
    events.reportedCount = -1;
    // Other successes than S_OK mean the effect took the event itself.
    plugin.onEventResult = S_FALSE;
    EXPECT_EQ(SendEvents(), S_OK);
    EXPECT_EQ(Queue().size(), 2u);
    plugin.onEventResult = E_FAIL;
    plugin.seenEvents.clear();
    EXPECT_EQ(SendEvents(), E_FAIL);
    EXPECT_EQ(plugin.seenEvents.size(), 1u);

    // A flooding host is stopped at the queue's limit.
    plugin.onEventResult = S_OK;
    events.items.assign(CEventScheduler::kMaxQueuedEvents, events.items[0]);
    EXPECT_EQ(SendEvents(), E_OUTOFMEMORY);
    EXPECT_EQ(Queue().size(), CEventScheduler::kMaxQueuedEvents);
}

TEST_F(SoftSynthTest, OnInputMakesARecordForEveryChannelMessage) {
    ConnectAndStart(0);
    plugin.AdvancePosition(1000);
    const TestMidiMessage messages[] = {
        {0, 0x80, 60, 30}, {0, 0x91, 61, 100}, {0, 0x92, 0xBE, 0x80},  // velocity 0 (7 bits): off
        {0, 0xA3, 63, 50}, {0, 0xB4, 7, 127},  {0, 0xC5, 12, 0},
        {0, 0xD6, 70, 0},  {960, 0xE7, 0x7F, 0x3F},                    // wheel -1
        {0, 0xF8, 0, 0},   {0, 0x45, 1, 2}};                           // clock, data byte: skipped
    midi.items.assign(std::begin(messages), std::end(messages));
    ASSERT_EQ(SendMidi(7), S_OK);
    ASSERT_EQ(Queue().size(), 8u);
    // type, key/number, value, byte 12, duration: worked out per status.
    const int expected[8][5] = {{0, 60, 30, 64, 0},  {0, 61, 100, 64, -1}, {0, 62, 0, 64, 0},
                                {1, 63, 50, 0, 0},   {2, 7, 127, 0, 0},    {3, 12, 0, 0xFF, 0xFF},
                                {4, 0, 70, 0, 0},    {5, 0xFF, 0xFF, 0, 0}};
    for (size_t i = 0; i < 8; ++i) {
        const QviEvent& e = Queue()[i];
        EXPECT_EQ(int32_t(e.type), expected[i][0]) << i;
        EXPECT_EQ(e.data1, expected[i][1]) << i;
        EXPECT_EQ(e.data2, expected[i][2]) << i;
        EXPECT_EQ(e.data3, expected[i][3]) << i;
        EXPECT_EQ(int32_t(e.duration), expected[i][4]) << i;
        EXPECT_EQ(e.channel, i) << i;
        EXPECT_EQ(e.port, 0);
        EXPECT_EQ(e.portNumber, 7u);
        EXPECT_EQ(e.source, kQviSourceLive);
        EXPECT_EQ(e.frameTime, i == 7 ? 24000 + 1000 : 1000) << i;  // after the position
    }
    EXPECT_EQ(plugin.seenEvents.size(), 8u);
}

TEST_F(SoftSynthTest, OnInputRefusesAndStopsLikeOnEvents) {
    EXPECT_EQ(plugin.OnInput(0, nullptr), E_POINTER);
    ConnectAndStart(0);
    EXPECT_EQ(SendMidi(), S_OK);  // empty
    midi.countResult = E_FAIL;
    EXPECT_EQ(SendMidi(), E_FAIL);
    midi.countResult = S_OK;
    midi.Add(0, 0x90, 60, 100);
    midi.reportedCount = 3;
    EXPECT_EQ(SendMidi(), E_INVALIDARG);
    EXPECT_EQ(Queue().size(), 1u);
    midi.reportedCount = -1;
    plugin.onEventResult = E_UNEXPECTED;
    EXPECT_EQ(SendMidi(), E_UNEXPECTED);
    EXPECT_EQ(Queue().size(), 1u);
}

TEST_F(SoftSynthTest, LiveNoteOnIsDeliveredAndReleasedByVelocityZero) {
    ConnectAndStart(0);
    midi.Add(0, 0x90, 60, 100);
    ASSERT_EQ(SendMidi(0), S_OK);
    EXPECT_EQ(Queue()[0].frameTime, 0);
    ASSERT_EQ(plugin.RunBlock(256), S_OK);
    ASSERT_EQ(plugin.notesOn.size(), 1u);
    EXPECT_EQ(plugin.notesOn[0].data1, 60);
    ASSERT_EQ(Active().size(), 1u);
    EXPECT_EQ(int32_t(Active()[0].duration), -1);

    midi.items[0].data2 = 0;
    ASSERT_EQ(SendMidi(0), S_OK);
    EXPECT_EQ(Queue()[0].frameTime, 256);
    ASSERT_EQ(plugin.RunBlock(256), S_OK);
    ASSERT_EQ(Active().size(), 1u);
    EXPECT_EQ(int32_t(Active()[0].duration), 0);
}

TEST_F(SoftSynthTest, PortModifiersShapeDeliveredEvents) {
    ConnectAndStart(0);
    EXPECT_EQ(plugin.NotifyPortState(nullptr), E_POINTER);
    EXPECT_EQ(SetPort(6, 9, 1), S_OK);
    EXPECT_EQ(plugin.Scheduler().FindPortState(9), nullptr);
    // Key offsets 10 and 20 on port 0: key 100 becomes 127.
    ASSERT_EQ(SetPort(4, 0, 10), S_OK);
    ASSERT_EQ(SetPort(5, 0, 20), S_OK);
    // Channel override 0x13 on port 2: channel 3.
    ASSERT_EQ(SetPort(0, 2, 0x13), S_OK);
    events.Add(0, kQviNote, 0, 100, 80, -1);
    ASSERT_EQ(SendEvents(0), S_OK);
    midi.Add(0, 0x99, 50, 100);
    ASSERT_EQ(SendMidi(2), S_OK);
    ASSERT_EQ(plugin.RunBlock(256), S_OK);
    ASSERT_EQ(Active().size(), 2u);
    EXPECT_EQ(Active()[0].data1, 127);
    EXPECT_EQ(Active()[0].data2, 80);
    EXPECT_EQ(Active()[1].channel, 3);
    EXPECT_EQ(Active()[1].data1, 50);
}

TEST_F(SoftSynthTest, PortFlagsDropSequencedEventsAndGateLiveOnes) {
    ConnectAndStart(0);
    events.Add(0, kQviNote, 0, 60, 100, -1);
    midi.Add(0, 0x90, 61, 100);
    ASSERT_EQ(SetPort(1, 0, 0x01, 0xFF), S_OK);
    ASSERT_EQ(SendEvents(0), S_OK);
    ASSERT_EQ(SendMidi(0), S_OK);
    ASSERT_EQ(plugin.RunBlock(256), S_OK);
    EXPECT_TRUE(Active().empty());

    ASSERT_EQ(SetPort(1, 0, 0x08, 0xFF), S_OK);
    ASSERT_EQ(plugin.OnStart(0), S_OK);
    ASSERT_EQ(SendEvents(0), S_OK);
    ASSERT_EQ(SendMidi(0), S_OK);
    ASSERT_EQ(plugin.RunBlock(256), S_OK);
    ASSERT_EQ(Active().size(), 1u);
    EXPECT_EQ(Active()[0].source, kQviSourceLive);
}

// Every call into the host (queries, list fetches, conversions) is made with
// the frame lock free, so a host that waits for another thread of its own,
// which calls the frame, cannot deadlock with it.
TEST_F(SoftSynthTest, NoHostCallUnderTheFrameLock) {
    int calls = 0, locked = 0;
    auto check = [&] {
        ++calls;
        if (!FreeForOthers(*static_cast<CQvi*>(&plugin))) ++locked;
    };
    host.onCall = events.onCall = midi.onCall = check;
    ConnectAndStart(960);
    plugin.OnLoop(1920, 960);
    events.Add(0, kQviNote, 0, 60, 100, 480);
    midi.Add(0, 0x90, 61, 100);
    EXPECT_EQ(SendEvents(), S_OK);
    EXPECT_EQ(SendMidi(), S_OK);
    EXPECT_EQ(Queue().size(), 2u);
    plugin.TicksToSamples(960);
    plugin.SamplesToTicks(24000);
    host.offerConverter = false;   // through the time map
    ASSERT_EQ(plugin.Disconnect(), S_OK);
    ConnectAndStart(960);
    plugin.TicksToSamples(960);
    plugin.SamplesToTicks(24000);
    EXPECT_GE(calls, 20);
    EXPECT_EQ(locked, 0);
    host.onCall = events.onCall = midi.onCall = nullptr;
}
