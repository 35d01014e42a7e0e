// CSoftSynth, the instrument frame, as a host drives it through the test
// host: construction, the instrument queries, Connect and Disconnect with
// their references, the host port, time conversions, the transport (start,
// loop, stop), sequenced and live MIDI, port modifiers and block delivery.
// Every test ends with the test host, its lists and the frame back at the
// test's own reference.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/Instrument.h"
#include "host/TaskMem.h"
#include "tests/host/TestPlugIn.h"

namespace {

std::string Title(IWbxNameList* list) {
    char buffer[64] = {};
    EXPECT_EQ(list->GetTitle(buffer, sizeof(buffer)), S_OK);
    return buffer;
}

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
    const std::vector<QviEvent>& Queue() { return plugin.Scheduler().Queue(); }
    const std::deque<QviEvent>& Active() { return plugin.Scheduler().Active(); }

    // Declared before the frame, so that it outlives it.
    CTestHost host;
    CTestEventList events;
    CTestMidiBuffer midi;
    HRESULT constructed = S_OK;
    CTestPlugIn plugin{&constructed};
};

}  // namespace

// --- Construction and the instrument --------------------------------------

TEST_F(SoftSynthTest, StartsUnconnectedWithoutTimeServices) {
    EXPECT_EQ(constructed, S_OK);
    EXPECT_FALSE(plugin.IsConnected());
    EXPECT_EQ(plugin.GetHostTimeMap(), nullptr);
    EXPECT_EQ(plugin.GetHostPins(), nullptr);
    EXPECT_EQ(plugin.TicksToSamples(960), 0);
    EXPECT_EQ(plugin.SamplesToTicks(24000), 0u);
    EXPECT_EQ(plugin.GetPosition(), 0);
    EXPECT_TRUE(Queue().empty());
    EXPECT_TRUE(Active().empty());
}

TEST_F(SoftSynthTest, GetInstrumentHandsOutDelayWithAReference) {
    EXPECT_EQ(plugin.GetInstrument(nullptr), E_POINTER);
    IWbxInstrument* instrument = nullptr;
    ASSERT_EQ(plugin.GetInstrument(&instrument), S_OK);
    char name[6];
    EXPECT_EQ(instrument->GetName(name, sizeof(name)), S_OK);
    EXPECT_STREQ(name, "Delay");
    EXPECT_EQ(instrument->GetName(name, 5), E_POINTER);
    IWbxInstrument* again = nullptr;
    ASSERT_EQ(plugin.GetInstrument(&again), S_OK);
    EXPECT_EQ(again, instrument);
    EXPECT_EQ(again->Release(), 2u);
    EXPECT_EQ(instrument->Release(), 1u);  // the frame's own
}

TEST_F(SoftSynthTest, InstrumentQueriesArePassedThrough) {
    int32_t* banks = nullptr;
    int32_t count = 0;
    ASSERT_EQ(plugin.GetBanks(&banks, &count), S_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(banks[0], 0);
    TaskMemFree(banks);
    EXPECT_EQ(plugin.GetBanks(nullptr, &count), E_POINTER);

    EXPECT_EQ(plugin.IsDrumPatch(0, 0), S_FALSE);
    EXPECT_EQ(plugin.IsPatchAvailable(0, 0), S_OK);
    EXPECT_EQ(plugin.IsDrumPatch(16384, 0), E_INVALIDARG);
    EXPECT_EQ(plugin.IsPatchAvailable(0, 128), E_INVALIDARG);

    IWbxNameList* list = nullptr;
    EXPECT_EQ(plugin.GetPatchNames(16384, &list), E_INVALIDARG);
    ASSERT_EQ(plugin.GetPatchNames(0, &list), S_OK);
    EXPECT_EQ(Title(list), "Delay Patches");
    // The same list as the instrument hands out itself.
    IWbxInstrument* instrument = nullptr;
    ASSERT_EQ(plugin.GetInstrument(&instrument), S_OK);
    IWbxNameList* direct = nullptr;
    ASSERT_EQ(instrument->GetPatchNames(0, &direct), S_OK);
    EXPECT_EQ(direct, list);
    direct->Release();
    list->Release();
    instrument->Release();

    ASSERT_EQ(plugin.GetNoteNames(0, 0, &list), S_OK);
    EXPECT_EQ(Title(list), "Delay Notes");
    list->Release();
    ASSERT_EQ(plugin.GetControllerNames(&list), S_OK);
    EXPECT_EQ(Title(list), "Delay Controllers");
    list->Release();
    ASSERT_EQ(plugin.GetRpnNames(&list), S_OK);
    EXPECT_EQ(Title(list), "Delay RPNs");
    int32_t range = 0;
    EXPECT_EQ(list->GetRange(&range), S_OK);
    EXPECT_EQ(range, 16383);
    list->Release();
    ASSERT_EQ(plugin.GetNrpnNames(&list), S_OK);
    EXPECT_EQ(Title(list), "Delay NRPNs");
    list->Release();
    EXPECT_EQ(plugin.GetRpnNames(nullptr), E_POINTER);
}

// --- Connect, Disconnect and the host port --------------------------------

TEST_F(SoftSynthTest, ConnectHoldsFourServicesAndReleasesTheHandedReference) {
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_TRUE(plugin.IsConnected());
    EXPECT_EQ(host.RefCount(), 1u + 4u);
    EXPECT_EQ(plugin.GetHostTimeMap(), static_cast<IWbxHostTimeMap*>(&host));
    EXPECT_EQ(plugin.GetHostPins(), static_cast<IWbxHostPins*>(&host));
    IWbxHostPort* port = nullptr;
    ASSERT_EQ(plugin.GetHostPort(&port), S_OK);
    EXPECT_EQ(port, static_cast<IWbxHostPort*>(&host));
    EXPECT_EQ(port->Release(), 5u);

    EXPECT_EQ(plugin.Disconnect(), S_OK);
    EXPECT_EQ(host.RefCount(), 1u);
    EXPECT_FALSE(plugin.IsConnected());
    EXPECT_EQ(plugin.GetHostTimeMap(), nullptr);
    EXPECT_EQ(plugin.GetHostPins(), nullptr);
    EXPECT_EQ(plugin.GetHostPort(&port), S_FALSE);
    EXPECT_EQ(plugin.Disconnect(), S_OK);  // twice is harmless
}

TEST_F(SoftSynthTest, ConnectTwiceFailsAndStillReleasesTheHandedReference) {
    ASSERT_EQ(ConnectHost(), S_OK);
    const ULONG held = host.RefCount();
    EXPECT_EQ(ConnectHost(), E_UNEXPECTED);
    EXPECT_EQ(host.RefCount(), held);
    EXPECT_TRUE(plugin.IsConnected());

    // After Disconnect the frame connects again.
    plugin.Disconnect();
    EXPECT_EQ(ConnectHost(), S_OK);
    EXPECT_EQ(host.RefCount(), held);
}

TEST_F(SoftSynthTest, ConnectWithoutTimeMapFailsWithTheHostsError) {
    host.offerTimeMap = false;
    EXPECT_EQ(ConnectHost(), E_NOINTERFACE);
    EXPECT_EQ(host.RefCount(), 1u);
    EXPECT_FALSE(plugin.IsConnected());
    EXPECT_EQ(plugin.GetHostTimeMap(), nullptr);
    EXPECT_EQ(SendEvents(), E_UNEXPECTED);
    EXPECT_EQ(SendMidi(), E_UNEXPECTED);
    EXPECT_EQ(plugin.Connect(nullptr), E_POINTER);
}

TEST_F(SoftSynthTest, ConnectWithOnlyTheTimeMap) {
    host.offerConverter = host.offerPins = host.offerPort = false;
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_EQ(host.RefCount(), 2u);
    EXPECT_EQ(plugin.GetHostPins(), nullptr);
    IWbxHostPort* port = reinterpret_cast<IWbxHostPort*>(&host);
    EXPECT_EQ(plugin.GetHostPort(&port), S_FALSE);
    EXPECT_EQ(port, nullptr);
    // Conversions go through the time map.
    EXPECT_EQ(plugin.TicksToSamples(960), 24000);
    EXPECT_EQ(host.convertCalls, 0);
    EXPECT_EQ(host.musicalToMsCalls, 1);
}

TEST_F(SoftSynthTest, HostPortIsHeldAndHandedBack) {
    CTestPort port;
    IWbxHostPort* out = reinterpret_cast<IWbxHostPort*>(&port);
    EXPECT_EQ(plugin.GetHostPort(&out), S_FALSE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(plugin.GetHostPort(nullptr), E_POINTER);

    ASSERT_EQ(plugin.SetHostPort(&port), S_OK);
    EXPECT_EQ(port.RefCount(), 2u);
    ASSERT_EQ(plugin.GetHostPort(&out), S_OK);
    EXPECT_EQ(out, &port);
    EXPECT_EQ(port.RefCount(), 3u);
    out->Release();
    ASSERT_EQ(plugin.SetHostPort(&port), S_OK);  // the same again
    EXPECT_EQ(port.RefCount(), 2u);

    // Connect with a host that offers a port replaces it...
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_EQ(port.RefCount(), 1u);
    ASSERT_EQ(plugin.GetHostPort(&out), S_OK);
    EXPECT_EQ(out, static_cast<IWbxHostPort*>(&host));
    out->Release();
    plugin.Disconnect();

    // ...one that does not leaves it.
    ASSERT_EQ(plugin.SetHostPort(&port), S_OK);
    host.offerPort = false;
    ASSERT_EQ(ConnectHost(), S_OK);
    ASSERT_EQ(plugin.GetHostPort(&out), S_OK);
    EXPECT_EQ(out, &port);
    out->Release();
    ASSERT_EQ(plugin.SetHostPort(nullptr), S_OK);
    EXPECT_EQ(port.RefCount(), 1u);
    EXPECT_EQ(plugin.GetHostPort(&out), S_FALSE);
}

TEST_F(SoftSynthTest, DestroyingTheFrameReleasesWhatItHolds) {
    CTestPort port;
    {
        CTestPlugIn other;
        host.AddRef();
        ASSERT_EQ(other.Connect(host.Unknown()), S_OK);
        other.SetHostPort(&port);  // replaces the host's own port
        EXPECT_EQ(host.RefCount(), 4u);
        EXPECT_EQ(port.RefCount(), 2u);
    }
    EXPECT_EQ(host.RefCount(), 1u);
    EXPECT_EQ(port.RefCount(), 1u);
}

// --- Time conversions -----------------------------------------------------

TEST_F(SoftSynthTest, ConversionsPreferTheConverter) {
    ASSERT_EQ(ConnectHost(), S_OK);
    // 120 BPM, 960 ticks per beat, 48 kHz: 25 frames per tick.
    EXPECT_EQ(plugin.TicksToSamples(960), 24000);
    EXPECT_EQ(plugin.TicksToSamples(1), 25);
    EXPECT_EQ(plugin.SamplesToTicks(24000), 960u);
    EXPECT_EQ(plugin.SamplesToTicks(24), 0u);
    EXPECT_EQ(host.convertCalls, 4);
    EXPECT_EQ(host.musicalToMsCalls + host.msToMusicalCalls, 0);
    // A failing converter gives 0.
    host.failConversions = true;
    EXPECT_EQ(plugin.TicksToSamples(960), 0);
    EXPECT_EQ(plugin.SamplesToTicks(24000), 0u);
}

TEST_F(SoftSynthTest, ConversionsThroughTheTimeMapUseTheInputRate) {
    host.offerConverter = false;
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_EQ(plugin.TicksToSamples(480), 12000);  // 250 ms
    EXPECT_EQ(plugin.TicksToSamples(100), 2496);   // 52.08 ms -> 52 ms -> 2496 frames
    EXPECT_EQ(plugin.SamplesToTicks(12000), 480u);
    EXPECT_EQ(plugin.SamplesToTicks(47), 0u);      // 0.98 ms -> 0 ms
    plugin.SetSampleRate(44100);
    EXPECT_EQ(plugin.TicksToSamples(960), 22050);
    EXPECT_EQ(plugin.SamplesToTicks(22050), 960u);
    // No input format: no rate, both conversions 0.
    plugin.DropInputFormat();
    EXPECT_EQ(plugin.TicksToSamples(960), 0);
    EXPECT_EQ(plugin.SamplesToTicks(22050), 0u);
}

// --- Transport --------------------------------------------------------------

TEST_F(SoftSynthTest, StartPlacesSequencedEventsFromTheStartTime) {
    ConnectAndStart(960);
    EXPECT_EQ(plugin.calls, (std::vector<std::string>{"OnTransportStart"}));
    EXPECT_EQ(plugin.Scheduler().StartFrame(), 24000);
    EXPECT_EQ(plugin.GetPosition(), 0);

    events.AddNote(960, 60, 100, 480, 2);
    events.AddNote(1920, 62, 90, -1, 3);
    ASSERT_EQ(SendEvents(3), S_OK);
    ASSERT_EQ(Queue().size(), 2u);
    const QviEvent& first = Queue()[0];
    EXPECT_EQ(first.frameTime, 0);
    EXPECT_EQ(Queue()[1].frameTime, 24000);
    EXPECT_EQ(first.portNumber, 3u);
    EXPECT_EQ(first.source, kQviSourceSequenced);
    EXPECT_EQ(first.zero, 0);
    EXPECT_EQ(std::memcmp(&first, &events.events[0], sizeof(WbxEvent)), 0);
    EXPECT_EQ(first.duration, 480);
    EXPECT_EQ(first.channel, 2);
    EXPECT_EQ(plugin.seenEvents.size(), 2u);
}

TEST_F(SoftSynthTest, LoopContinuesTheRunningPosition) {
    ConnectAndStart(0);
    // The host plays ticks 960..1920 and jumps back to 960: what follows the
    // jump continues at frame 48000, where the position stands.
    ASSERT_EQ(plugin.OnLoop(960, 1920), S_OK);
    EXPECT_EQ(plugin.Scheduler().LoopOffset(), 24000);
    events.AddNote(960, 60, 100, -1);
    ASSERT_EQ(SendEvents(), S_OK);
    EXPECT_EQ(Queue().back().frameTime, 48000);

    ASSERT_EQ(plugin.OnLoop(960, 1920), S_OK);
    ASSERT_EQ(SendEvents(), S_OK);
    EXPECT_EQ(Queue().back().frameTime, 72000);

    // A new start forgets the loops.
    ASSERT_EQ(plugin.OnStart(0), S_OK);
    EXPECT_EQ(plugin.Scheduler().LoopOffset(), 0);
    ASSERT_EQ(SendEvents(), S_OK);
    EXPECT_EQ(Queue().size(), 1u);
    EXPECT_EQ(Queue().back().frameTime, 24000);
}

TEST_F(SoftSynthTest, StopTellsTheEffectFirstThenEndsEveryNote) {
    ConnectAndStart(0);
    midi.Add(0, 0x90, 60, 100);
    ASSERT_EQ(SendMidi(), S_OK);
    ASSERT_EQ(plugin.RunBlock(64), S_OK);
    midi.messages.clear();
    midi.Add(960, 0x90, 61, 100);  // still queued
    ASSERT_EQ(SendMidi(), S_OK);
    ASSERT_EQ(Active().size(), 1u);
    ASSERT_EQ(Queue().size(), 1u);
    plugin.calls.clear();

    ASSERT_EQ(plugin.OnStop(), S_OK);
    EXPECT_EQ(plugin.calls, (std::vector<std::string>{"OnTransportStop", "KeepNote(1)"}));
    EXPECT_TRUE(Queue().empty());
    EXPECT_TRUE(Active().empty());
}

TEST_F(SoftSynthTest, StartEndsEveryNoteBeforeTellingTheEffect) {
    ConnectAndStart(0);
    midi.Add(0, 0x90, 60, 100);
    ASSERT_EQ(SendMidi(), S_OK);
    ASSERT_EQ(plugin.RunBlock(64), S_OK);
    plugin.calls.clear();
    ASSERT_EQ(plugin.OnStart(480), S_OK);
    EXPECT_EQ(plugin.calls, (std::vector<std::string>{"KeepNote(1)", "OnTransportStart"}));
    EXPECT_TRUE(Active().empty());
    EXPECT_EQ(plugin.Scheduler().StartFrame(), 12000);
}

TEST_F(SoftSynthTest, EventBeforeThePositionWaitsForTheNextStartOrStop) {
    ConnectAndStart(0);
    ASSERT_EQ(plugin.RunBlock(1000), S_OK);
    events.AddNote(0, 60, 100, -1);  // frame 0, already passed
    ASSERT_EQ(SendEvents(), S_OK);
    ASSERT_EQ(plugin.RunBlock(1000), S_OK);
    EXPECT_EQ(Queue().size(), 1u);
    EXPECT_TRUE(Active().empty());
    EXPECT_TRUE(plugin.notesOn.empty());
    ASSERT_EQ(plugin.OnStop(), S_OK);
    EXPECT_TRUE(Queue().empty());
}

// --- Sequenced events -------------------------------------------------------

TEST_F(SoftSynthTest, OnEventsRefusesWithoutTimeMapOrList) {
    EXPECT_EQ(SendEvents(), E_UNEXPECTED);
    ASSERT_EQ(ConnectHost(), S_OK);
    EXPECT_EQ(plugin.OnEvents(0, 0, 0, nullptr), E_POINTER);
    plugin.Disconnect();
    EXPECT_EQ(SendEvents(), E_UNEXPECTED);
}

TEST_F(SoftSynthTest, OnEventsStopsAtTheFirstHostOrEffectFailure) {
    ConnectAndStart(0);
    events.countResult = E_FAIL;
    EXPECT_EQ(SendEvents(), E_FAIL);
    events.countResult = S_OK;

    // The host reports five events but delivers two: its error is returned
    // and the two stay queued.
    events.AddNote(0, 60, 100, -1);
    events.AddNote(10, 61, 100, -1);
    events.reportedCount = 5;
    EXPECT_EQ(SendEvents(), E_INVALIDARG);
    EXPECT_EQ(Queue().size(), 2u);

    // A count of zero or below delivers nothing.
    events.reportedCount = 0;
    EXPECT_EQ(SendEvents(), S_OK);
    EXPECT_EQ(Queue().size(), 2u);
    events.reportedCount = -1;

    // Any success but S_OK means the effect took the event itself.
    plugin.onEventResult = S_FALSE;
    EXPECT_EQ(SendEvents(), S_OK);
    EXPECT_EQ(Queue().size(), 2u);

    // A failing OnEvent stops the loop; what it accepted before stays.
    plugin.onEventResult = S_OK;
    plugin.seenEvents.clear();
    plugin.failOnEventAfter = 1;
    EXPECT_EQ(SendEvents(), E_FAIL);
    EXPECT_EQ(plugin.seenEvents.size(), 2u);
    EXPECT_EQ(Queue().size(), 3u);
}

TEST_F(SoftSynthTest, QueueLimitStopsAFloodingHost) {
    ConnectAndStart(0);
    const size_t limit = CEventScheduler::kMaxQueuedEvents;
    for (size_t i = 0; i <= limit; ++i) events.AddNote(960, 60, 100, -1);
    EXPECT_EQ(SendEvents(), E_OUTOFMEMORY);
    EXPECT_EQ(Queue().size(), limit);
    ASSERT_EQ(plugin.OnStop(), S_OK);
    EXPECT_TRUE(Queue().empty());
}

// --- Live input -------------------------------------------------------------

TEST_F(SoftSynthTest, OnInputMakesARecordForEveryChannelMessage) {
    ConnectAndStart(0);
    plugin.AdvancePosition(1000);
    midi.Add(0, 0x80, 60, 30);
    midi.Add(0, 0x91, 61, 100);
    midi.Add(0, 0x92, 62, 0);
    midi.Add(0, 0xA3, 63, 50);
    midi.Add(0, 0xB4, 7, 127);
    midi.Add(0, 0xC5, 12, 0);
    midi.Add(0, 0xD6, 70, 0);
    midi.Add(960, 0xE7, 0x00, 0x40);
    midi.Add(0, 0xF8, 0, 0);  // clock: skipped
    midi.Add(0, 0x45, 1, 2);  // stray data byte: skipped
    ASSERT_EQ(SendMidi(7), S_OK);
    ASSERT_EQ(Queue().size(), 8u);
    EXPECT_EQ(plugin.seenEvents.size(), 8u);
    const int32_t types[] = {0, 0, 0, 1, 2, 3, 4, 5};
    const int32_t durations[] = {0, -1, 0, 0, 0, 0xFF, 0, 0};
    for (size_t i = 0; i < 8; ++i) {
        const QviEvent& event = Queue()[i];
        EXPECT_EQ(event.type, types[i]) << i;
        EXPECT_EQ(event.duration, durations[i]) << i;
        EXPECT_EQ(event.channel, i) << i;
        EXPECT_EQ(event.portNumber, 7u);
        EXPECT_EQ(event.port, 0);
        EXPECT_EQ(event.source, kQviSourceLive);
        // Live times are placed after the current position.
        EXPECT_EQ(event.frameTime, i == 7 ? 24000 + 1000 : 1000) << i;
    }
    EXPECT_EQ(Queue()[7].musicalTime, 960u);
    EXPECT_EQ(Queue()[0].data3, 64);
    EXPECT_EQ(Queue()[6].data2, 70);
}

TEST_F(SoftSynthTest, OnInputRefusesAndStopsLikeOnEvents) {
    EXPECT_EQ(plugin.OnInput(0, nullptr), E_POINTER);
    EXPECT_EQ(SendMidi(), E_UNEXPECTED);
    ConnectAndStart(0);
    EXPECT_EQ(plugin.OnInput(0, nullptr), E_POINTER);
    EXPECT_EQ(SendMidi(), S_OK);  // an empty buffer
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
    ASSERT_EQ(Queue().size(), 1u);
    EXPECT_EQ(Queue()[0].frameTime, 0);

    ASSERT_EQ(plugin.RunBlock(256), S_OK);
    ASSERT_EQ(plugin.notesOn.size(), 1u);
    EXPECT_EQ(plugin.notesOn[0].data1, 60);
    EXPECT_EQ(plugin.notesOn[0].data2, 100);
    ASSERT_EQ(Active().size(), 1u);
    EXPECT_EQ(Active()[0].duration, -1);

    midi.messages.clear();
    midi.Add(0, 0x90, 60, 0);
    ASSERT_EQ(SendMidi(0), S_OK);
    EXPECT_EQ(Queue()[0].frameTime, 256);
    ASSERT_EQ(plugin.RunBlock(256), S_OK);
    ASSERT_EQ(Active().size(), 1u);
    EXPECT_EQ(Active()[0].data1, 60);
    EXPECT_EQ(Active()[0].duration, 0);
    EXPECT_EQ(plugin.notesOn.size(), 1u);
}

// --- Port modifiers -------------------------------------------------------

TEST_F(SoftSynthTest, KeyOffsetsAreAddedAndClampedTo127) {
    ConnectAndStart(0);
    ASSERT_EQ(SetPort(4, 0, 10), S_OK);
    ASSERT_EQ(SetPort(5, 0, 20), S_OK);
    events.AddNote(0, 100, 80, -1);
    ASSERT_EQ(SendEvents(0), S_OK);
    ASSERT_EQ(plugin.RunBlock(256), S_OK);
    ASSERT_EQ(Active().size(), 1u);
    EXPECT_EQ(Active()[0].data1, 127);
    EXPECT_EQ(Active()[0].data2, 80);
}

TEST_F(SoftSynthTest, NotifyPortStateCreatesStatesForKnownTypesOnly) {
    EXPECT_EQ(plugin.NotifyPortState(nullptr), E_POINTER);
    EXPECT_EQ(SetPort(6, 9, 1), S_OK);
    EXPECT_EQ(SetPort(100, 9, 1), S_OK);
    EXPECT_EQ(plugin.Scheduler().FindPortState(9), nullptr);
    EXPECT_EQ(SetPort(1, 9, 0x08, 0xFF), S_OK);
    ASSERT_NE(plugin.Scheduler().FindPortState(9), nullptr);
    EXPECT_EQ(plugin.Scheduler().FindPortState(9)->flags, 0x08);
    EXPECT_EQ(plugin.Scheduler().FindPortState(9)->channelOverride, 0xFF);
}

TEST_F(SoftSynthTest, PortFlagsDropSequencedEventsAndGateLiveOnes) {
    ConnectAndStart(0);
    ASSERT_EQ(SetPort(1, 0, 0x01, 0xFF), S_OK);
    events.AddNote(0, 60, 100, -1);
    midi.Add(0, 0x90, 61, 100);
    ASSERT_EQ(SendEvents(0), S_OK);
    ASSERT_EQ(SendMidi(0), S_OK);
    ASSERT_EQ(plugin.RunBlock(256), S_OK);
    EXPECT_TRUE(Active().empty());
    EXPECT_TRUE(plugin.notesOn.empty());

    // With bit 3 live events pass; sequenced ones are still dropped.
    ASSERT_EQ(SetPort(1, 0, 0x08, 0xFF), S_OK);
    events.events.clear();
    events.AddNote(0, 60, 100, -1);  // frame 0 again: placed from the start
    midi.messages.clear();
    midi.Add(0, 0x90, 61, 100);      // live: at the position
    ASSERT_EQ(SendEvents(0), S_OK);
    ASSERT_EQ(SendMidi(0), S_OK);
    ASSERT_EQ(plugin.RunBlock(256), S_OK);
    ASSERT_EQ(Active().size(), 1u);
    EXPECT_EQ(Active()[0].data1, 61);
    EXPECT_EQ(Active()[0].source, kQviSourceLive);
}

TEST_F(SoftSynthTest, ChannelOverrideOf0x13ForcesChannel3) {
    ConnectAndStart(0);
    ASSERT_EQ(SetPort(0, 2, 0x13), S_OK);
    midi.Add(0, 0xB9, 7, 100);
    ASSERT_EQ(SendMidi(2), S_OK);
    ASSERT_EQ(plugin.RenderEvents(256), S_OK);
    ASSERT_EQ(Active().size(), 1u);
    EXPECT_EQ(Active()[0].channel, 3);
}

// --- Blocks -----------------------------------------------------------------

TEST_F(SoftSynthTest, BlocksDeliverTheirOwnEventsAndRetireThem) {
    ConnectAndStart(0);
    // Ticks 0, 4 and 10 are frames 0, 100 and 250.
    events.AddEvent(0, kQviController, 0, 0, 1, 1);
    events.AddEvent(4, kQviController, 0, 0, 2, 2);
    events.AddEvent(10, kQviController, 0, 0, 3, 3);
    ASSERT_EQ(SendEvents(), S_OK);
    ASSERT_EQ(plugin.RenderEvents(250), S_OK);
    ASSERT_EQ(Active().size(), 2u);
    EXPECT_EQ(Queue().size(), 1u);
    // Not yet past: the sweep keeps them until the position moves.
    ASSERT_EQ(plugin.SweepActive(0), S_OK);
    EXPECT_EQ(Active().size(), 2u);
    plugin.AdvancePosition(250);
    ASSERT_EQ(plugin.SweepActive(0), S_OK);
    EXPECT_TRUE(Active().empty());
    EXPECT_EQ(plugin.GetPosition(), 250);

    ASSERT_EQ(plugin.RunBlock(250), S_OK);
    EXPECT_TRUE(Queue().empty());
    EXPECT_TRUE(Active().empty());
    EXPECT_EQ(plugin.GetPosition(), 500);
}

TEST_F(SoftSynthTest, FailingNoteOnEndsTheBlockWithItsResult) {
    ConnectAndStart(0);
    midi.Add(0, 0x90, 60, 100);
    ASSERT_EQ(SendMidi(), S_OK);
    plugin.onNoteOnResult = E_OUTOFMEMORY;
    EXPECT_EQ(plugin.RenderEvents(64), E_OUTOFMEMORY);
    EXPECT_TRUE(Active().empty());
}
