// MIDI input: messages played into the program as a device's driver delivers them (winmm's
// callback with MIM_DATA), through the engine facade's fan-out and each instrument's
// filter and queue, to the recording plug-in one message per 44-frame slice.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "application.h"
#include "standalone_fixture.h"

namespace {

class MidiInput : public ::testing::Test {
protected:
    void SetUp() override {
        app = Application::instance();
        ASSERT_EQ(app->init(nullptr), 0);
    }
    void TearDown() override { app->shutdown(); }

    // winmm's callback for a device with that index.
    void play(int device, unsigned int message, UINT kind = MIM_DATA) {
        MidiInDx input(device, "Keyboard", app->getMidi());
        MidiInDx::midiInProc(nullptr, kind, (DWORD_PTR)&input, message, 0);
    }
    // Renders slices until the queues are drained; answers what the probe received.
    std::vector<unsigned int> received(int slices = 300) {
        std::vector<float> left(44 * slices), right(44 * slices);
        float* outputs[2] = {left.data(), right.data()};
        app->render(nullptr, 0, outputs, 2, 44 * slices);
        ProbeRecord* record = setup.probeRecord();
        std::vector<unsigned int> events(record->events, record->events + record->eventCount);
        record->eventCount = 0;
        return events;
    }

    StandaloneInstall setup;
    Application* app = nullptr;
};

struct Filter {
    int device = -1, channel = 0;
    bool range = false;
    int low = 0, high = 127, shift = 0;
};

TEST_F(MidiInput, EachInstrumentFiltersByDeviceChannelRangeAndOctave) {
    struct Case {
        const char* what;
        Filter filter;
        int device;
        unsigned int message;
        std::vector<unsigned int> expected;
    };
    Filter all;
    Filter range60to72up1;
    range60to72up1.range = true, range60to72up1.low = 60, range60to72up1.high = 72, range60to72up1.shift = 1;
    Filter down3, up3, channel10, device2, rangeOff;
    down3.shift = -3;
    up3.shift = 3;
    channel10.channel = 10;
    device2.device = 2;
    rangeOff.low = 60, rangeOff.high = 72;
    const Case cases[] = {
        {"any message passes", all, 0, 0x403C90, {0x403C90}},
        {"the range's top passes, shifted", range60to72up1, 0, 0x644890, {0x645490}},
        {"above the range", range60to72up1, 0, 0x644990, {}},
        {"below the range", range60to72up1, 0, 0x643B90, {}},
        {"the range is tested before the shift", range60to72up1, 0, 0x403C80, {0x404880}},
        {"poly pressure is shifted too", range60to72up1, 0, 0x2040A0, {0x204CA0}},
        {"controllers are not ranged", range60to72up1, 0, 0x7F01B0, {0x7F01B0}},
        {"down three octaves, limited to 0", down3, 0, 0x641490, {0x640090}},
        {"up three octaves, limited to 127", up3, 0, 0x647890, {0x647F90}},
        {"channel 10 passes", channel10, 0, 0x402499, {0x402499}},
        {"channel 1 does not", channel10, 0, 0x402490, {}},
        {"system messages are filtered by channel too", channel10, 0, 0xFA, {}},
        {"system message on channel 'all'", all, 0, 0xFA, {0xFA}},
        {"the chosen device passes", device2, 2, 0x403C90, {0x403C90}},
        {"another device does not", device2, 1, 0x403C90, {}},
        {"a range switched off keeps its keys but filters nothing", rangeOff, 0, 0x407F90, {0x407F90}},
    };
    for (const Case& c : cases) {
        int slot = app->loadInstrument("Probe");
        ASSERT_GE(slot, 0);
        app->setMidiDevice(slot, c.filter.device);
        app->setMidiChannel(slot, c.filter.channel);
        app->setKeyRangeEnabled(slot, c.filter.range);
        app->setKeyRange(slot, c.filter.low, c.filter.high);
        app->setOctaveShift(slot, c.filter.shift);
        play(c.device, c.message);
        EXPECT_EQ(received(), c.expected) << c.what;
        app->unloadInstrument(slot);
    }
}

TEST_F(MidiInput, OnlyShortMessagesAreTakenAndEveryInstrumentGetsThem) {
    int first = app->loadInstrument("Probe");
    int second = app->loadInstrument("Probe");
    ASSERT_EQ(first, 0);
    ASSERT_EQ(second, 1);
    app->setMidiChannel(second, 2);
    play(0, 0x403C90, MIM_LONGDATA);
    play(0, 0x403C90, MIM_OPEN);
    EXPECT_TRUE(received().empty());
    play(0, 0x403C90);
    play(0, 0x403C91);
    // Both instances share the probe's record: the first takes both notes, the second one.
    std::vector<unsigned int> events = received();
    EXPECT_EQ(std::count(events.begin(), events.end(), 0x403C90u), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), 0x403C91u), 2);
}

TEST_F(MidiInput, ABurstReachesThePluginOneMessagePerSliceAndAFullQueueDropsTheNewest) {
    int slot = app->loadInstrument("Probe");
    ASSERT_GE(slot, 0);
    for (unsigned int i = 0; i < 300; i++) play(0, 0x000090 | (i % 128) << 8 | (1 + i / 128) << 16);
    std::vector<unsigned int> events = received(100);
    ASSERT_EQ(events.size(), 100u);
    EXPECT_EQ(setup.probeRecord()->maxEventsPerCall, 1);
    events = received(300);
    ASSERT_EQ(events.size(), 155u) << "255 messages wait at most";
    EXPECT_EQ(events.back(), 0x000090u | 126u << 8 | 2u << 16) << "the 255th message, in order";

    VstInstrument* instrument = app->getInstrument(slot);
    EXPECT_EQ(instrument->popMidiMessage(), 0u) << "an empty queue answers 0";
    for (int i = 0; i < 255; i++) ASSERT_TRUE(instrument->pushMidiMessage(0x403C90));
    EXPECT_FALSE(instrument->pushMidiMessage(0x403D90));
}

TEST_F(MidiInput, PanicSendsAllNotesOffToEveryInstrumentAfterWhatWaits) {
    const unsigned int allNotesOff = VstInstrument::kAllNotesOff;
    int first = app->loadInstrument("Probe");
    int second = app->loadInstrument("Probe");
    ASSERT_GE(second, 0);
    app->setMidiChannel(second, 16);  // the panic is not a channel message of the filter
    for (int i = 0; i < 255; i++) play(0, 0x403C90);
    app->panic();  // the first queue is full: the panic still gets through
    std::vector<unsigned int> events = received(300);
    // Both instances share the probe's record, the first rendered whole before the second:
    // its 255 notes, then its All Notes Off, so none of them hangs; then the second's.
    std::vector<unsigned int> expected(255, 0x403C90);
    expected.push_back(allNotesOff);
    expected.push_back(allNotesOff);
    EXPECT_EQ(events, expected);
    app->unloadInstrument(first);
    app->unloadInstrument(second);

    int slot = app->loadInstrument("Probe");
    ASSERT_GE(slot, 0);
    play(0, 0x403C90);
    play(0, 0x403E90);
    app->panic();
    play(0, 0x404090);  // played after the panic: it sounds
    EXPECT_EQ(received(), (std::vector<unsigned int>{0x403C90, 0x403E90, allNotesOff, 0x404090}));
    app->panic();
    EXPECT_EQ(received(1), (std::vector<unsigned int>{allNotesOff})) << "nothing waits: at once";
}

TEST_F(MidiInput, TheDeviceListOfAMachineWithoutMidiIsEmpty) {
    EXPECT_EQ(app->getMidiInCount(), (int)midiInGetNumDevs());
    EXPECT_EQ(app->getMidiInName(-1), "none");
    EXPECT_EQ(app->getMidiInName(app->getMidiInCount()), "none");
    EXPECT_EQ(app->getMidi()->openAll(), 0);
    EXPECT_EQ(app->getMidi()->closeAll(), 0);
}

}  // namespace
