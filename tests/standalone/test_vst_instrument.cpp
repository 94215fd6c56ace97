// The host side of one instrument, driving the installed plug-in and the recording probe
// through their "main" as the standalone program does.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <thread>
#include <vector>

#include "standalone_fixture.h"
#include "signal_measure.h"
#include "vst_instrument.h"

namespace {

struct Notice {
    int slot, code;
    VstIntPtr first, second;
};
std::vector<Notice> notices;
VstIntPtr recordNotice(int slot, int code, VstIntPtr first, VstIntPtr second, void*) {
    notices.push_back({slot, code, first, second});
    return 0;
}

uint32_t fakeNow = 0;
uint32_t fakeClock() { return fakeNow; }

class HostSide : public ::testing::Test {
protected:
    void TearDown() override { VstInstrument::setMillisecondClock(nullptr); }
    StandaloneInstall setup;
};

TEST_F(HostSide, OpensThePluginAndAnswersItsQuestionsDuringMain) {
    VstInstrument instrument(3);
    ASSERT_EQ(instrument.open("Probe"), 0);
    ProbeRecord* record = setup.probeRecord();
    EXPECT_EQ(record->instances, 1);
    EXPECT_EQ(record->versionDuringMain, 7);
    EXPECT_EQ(record->hostId, 0x5A51574B);
    EXPECT_STREQ(record->vendor, "VantropeStandalone");
    EXPECT_STREQ(record->product, "Halvorn Standalone");
    ASSERT_NE(instrument.getEffect(), nullptr);
    EXPECT_EQ(instrument.getEffect()->user, &instrument);
    EXPECT_EQ(instrument.getNumParams(), 3);
    EXPECT_TRUE(instrument.programsAreChunks());

    instrument.close();
    EXPECT_EQ(record->opcodeCounts[effEditClose], 1);
    EXPECT_EQ(record->opcodeCounts[effClose], 1);
    // Closed: nothing reaches the plug-in, the queue is emptied by a render.
    EXPECT_EQ(instrument.getEffect(), nullptr);
    EXPECT_EQ(instrument.dispatch(effEditIdle), 0);
    EXPECT_EQ(instrument.getEditorSize(nullptr, nullptr), kHostErrorNoEffect);
    instrument.pushMidiMessage(0x403C90);
    std::vector<float> left(64), right(64);
    float* outputs[2] = {left.data(), right.data()};
    instrument.render(nullptr, 0, outputs, 2, 64);
    EXPECT_EQ(record->processCalls, 0);
    EXPECT_EQ(instrument.popMidiMessage(), 0u);
    instrument.close();
    EXPECT_EQ(record->opcodeCounts[effClose], 1);
}

TEST_F(HostSide, TheInstalledPluginPlaysANoteAtItsPitchInBothBuilds) {
    for (int outputs : {10, 2}) {
        StandaloneInstall build(outputs, true, false);
        VstInstrument instrument(0);
        ASSERT_EQ(instrument.open("Halvorn"), 0) << outputs;
        ASSERT_EQ(instrument.getEffect()->numOutputs, outputs);
        instrument.setSampleRate(44100.f);
        instrument.setParameter(497, 1.f);  // vibrato off, to read the pitch
        instrument.pushMidiMessage(0x643990);  // note 57 (220 Hz), velocity 100
        const int frames = 44100 / 2;
        std::vector<float> left(frames), right(frames);
        float* pointers[2] = {left.data(), right.data()};
        instrument.render(nullptr, 0, pointers, 2, frames);
        EXPECT_GT(rms(left, 8820, 8820), 1e-3) << outputs;
        EXPECT_NEAR(strongestPartial(left, 8820, 8820, 44100.0), 220.0, 1.5) << outputs;
        instrument.close();
    }
}

TEST_F(HostSide, AMissingLibraryIsReportedAndRefused) {
    StandaloneInstall empty(10, false, false);
    MessageBoxWatcher watcher;
    VstInstrument instrument(0);
    EXPECT_EQ(instrument.open("Halvorn"), kHostErrorNoLibrary);
    watcher.stop();
    ASSERT_TRUE(watcher.seen) << "no message box";
    EXPECT_EQ(watcher.seenText, "Could not load dll");
    EXPECT_EQ(watcher.seenTitle, "126");  // the module was not found
    EXPECT_EQ(instrument.getEffect(), nullptr);
}

TEST_F(HostSide, APluginThatRefusesToBeCreatedIsRefused) {
    setup.probeConfig()->refuse = true;
    VstInstrument instrument(0);
    EXPECT_EQ(instrument.open("Probe"), kHostErrorEffectRefused);
    EXPECT_EQ(instrument.getEffect(), nullptr);
    EXPECT_EQ(setup.probeRecord()->versionDuringMain, 7);
}

// Whole slices of 44 frames and a rest, each after at most one queued message.
TEST_F(HostSide, RendersInSlicesOf44FramesWithOneMessageBeforeEach) {
    struct Case {
        int frames;
        std::vector<int> slices;
    };
    const Case cases[] = {{256, {44, 44, 44, 44, 44, 36}}, {30, {30}}, {44, {44}}, {88, {44, 44}}, {0, {}}};
    for (const Case& c : cases) {
        StandaloneInstall fresh;
        VstInstrument instrument(0);
        ASSERT_EQ(instrument.open("Probe"), 0);
        for (unsigned int key = 40; key < 50; key++) ASSERT_TRUE(instrument.pushMidiMessage(0x400090 | key << 8));
        std::vector<float> left(512), right(512);
        float* outputs[2] = {left.data(), right.data()};
        instrument.render(nullptr, 0, outputs, 2, c.frames);
        ProbeRecord* record = fresh.probeRecord();
        ASSERT_EQ(record->processCalls, (int)c.slices.size()) << c.frames;
        for (size_t i = 0; i < c.slices.size(); i++) {
            EXPECT_EQ(record->processFrames[i], c.slices[i]) << c.frames << " slice " << i;
            EXPECT_EQ(record->eventsBeforeCall[i], 1) << c.frames << " slice " << i;
        }
        EXPECT_EQ(record->maxEventsPerCall, c.slices.empty() ? 0 : 1);
        ASSERT_EQ(record->eventCount, (int)c.slices.size());
        for (int i = 0; i < record->eventCount; i++) EXPECT_EQ(record->events[i], 0x400090u | (40u + i) << 8);
        instrument.close();
    }
}

// The sum each device channel receives from a 10-output plug-in whose output k adds k + 1.
TEST_F(HostSide, OutputsGoToTheirMappedChannelsAndNeverToANullPointer) {
    struct Case {
        int deviceChannels;
        int pairFirst, pairSecond;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {2, 0, 1, {1 + 3 + 5 + 7 + 9, 2 + 4 + 6 + 8 + 10}},
        {4, 2, 3, {3 + 5 + 7 + 9, 4 + 6 + 8 + 10, 1, 2}},
        {2, 2, 3, {3 + 5 + 7 + 9, 4 + 6 + 8 + 10}},  // the pair the device lacks: scratch
        {4, 3, 2, {3 + 5 + 7 + 9, 4 + 6 + 8 + 10, 2, 1}},
        {0, 0, 1, {}},
    };
    for (const Case& c : cases) {
        StandaloneInstall fresh;
        ProbeConfig* config = fresh.probeConfig();
        config->outputs = 10;
        config->inputs = 2;
        for (int k = 0; k < 10; k++) config->levels[k] = (float)(k + 1);
        VstInstrument instrument(0);
        ASSERT_EQ(instrument.open("Probe"), 0);
        instrument.setOutputPair(c.pairFirst, c.pairSecond);
        std::vector<std::vector<float>> device((size_t)c.deviceChannels, std::vector<float>(100));
        std::vector<float*> pointers;
        for (auto& channel : device) pointers.push_back(channel.data());
        instrument.render(nullptr, 0, pointers.empty() ? nullptr : pointers.data(), c.deviceChannels, 100);
        ProbeRecord* record = fresh.probeRecord();
        EXPECT_EQ(record->processCalls, 3);
        EXPECT_EQ(record->nullPointers, 0) << c.deviceChannels << " channels, pair " << c.pairFirst;
        for (int channel = 0; channel < c.deviceChannels; channel++)
            for (int i = 0; i < 100; i++)
                ASSERT_EQ(device[(size_t)channel][(size_t)i], c.expected[(size_t)channel])
                    << "channel " << channel << " frame " << i << " pair " << c.pairFirst << "," << c.pairSecond;
        instrument.close();
    }
}

TEST_F(HostSide, SettersRaiseTheDirtyFlagOnlyForAChangeAndPairsOnlyWriteExistingEntries) {
    struct Case {
        int outputs, inputs;
        void (*change)(VstInstrument&);
        bool dirty;
    };
    const Case cases[] = {
        {2, 0, [](VstInstrument& i) { i.setMidiDevice(-1); }, false},
        {2, 0, [](VstInstrument& i) { i.setMidiDevice(2); }, true},
        {2, 0, [](VstInstrument& i) { i.setMidiChannel(0); }, false},
        {2, 0, [](VstInstrument& i) { i.setMidiChannel(10); }, true},
        {2, 0, [](VstInstrument& i) { i.setKeyRangeEnabled(true); }, true},
        {2, 0, [](VstInstrument& i) { i.setKeyRange(0, 127); }, false},
        {2, 0, [](VstInstrument& i) { i.setKeyRange(0, 100); }, true},
        {2, 0, [](VstInstrument& i) { i.setOctaveShift(-2); }, true},
        {2, 0, [](VstInstrument& i) { i.setOutputPair(0, 1); }, false},
        {2, 0, [](VstInstrument& i) { i.setOutputPair(4, 5); }, true},
        {1, 0, [](VstInstrument& i) { i.setOutputPair(0, 7); }, false},  // no second output
        {2, 0, [](VstInstrument& i) { i.setInputPair(4, 5); }, false},   // no inputs at all
        {2, 2, [](VstInstrument& i) { i.setInputPair(4, 5); }, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        StandaloneInstall fresh;
        fresh.probeConfig()->outputs = c.outputs;
        fresh.probeConfig()->inputs = c.inputs;
        VstInstrument instrument(0);
        ASSERT_EQ(instrument.open("Probe"), 0);
        c.change(instrument);
        EXPECT_EQ(instrument.isDirty(), c.dirty) << "case " << n;
        n++;
        instrument.close();
    }
    StandaloneInstall fresh;
    fresh.probeConfig()->outputs = 1;
    VstInstrument instrument(0);
    ASSERT_EQ(instrument.open("Probe"), 0);
    instrument.setOutputPair(1, 0);
    EXPECT_EQ(instrument.getOutputChannel(0), 1);
    EXPECT_EQ(instrument.getOutputChannel(1), -1);
}

// MIDI clock at 120 beats per minute: 24 clocks every 500 ms.
TEST_F(HostSide, TimeInfoCarriesTheMidiClockTempoWithOnlyTheTempoFlag) {
    VstInstrument::setMillisecondClock(fakeClock);
    setup.probeConfig()->askTime = true;
    VstInstrument instrument(0);
    ASSERT_EQ(instrument.open("Probe"), 0);
    ProbeRecord* record = setup.probeRecord();
    std::vector<float> left(440), right(440);
    float* outputs[2] = {left.data(), right.data()};

    fakeNow = 1000;
    for (int i = 0; i < 24; i++) instrument.receiveMidi(0, 0xF8);
    instrument.render(nullptr, 0, outputs, 2, 440);
    EXPECT_EQ(record->timeAnswers, 0) << "no tempo after one quarter note";
    EXPECT_EQ(instrument.getTempo(), -1.0);

    fakeNow = 1500;
    for (int i = 0; i < 24; i++) instrument.receiveMidi(0, 0xF8);
    EXPECT_DOUBLE_EQ(instrument.getTempo(), 120.0);
    for (int block = 0; block < 3; block++) instrument.render(nullptr, 0, outputs, 2, 440);
    EXPECT_EQ(record->timeAnswers, 30);
    EXPECT_EQ(record->lastTimeFlags, kVstTempoValid);
    EXPECT_DOUBLE_EQ(record->lastTempo, 120.0);
    EXPECT_EQ(instrument.popMidiMessage(), 0u) << "clock messages are not queued";

    // Two quarter notes at one instant: no division by zero, the tempo stays.
    for (int i = 0; i < 24; i++) instrument.receiveMidi(0, 0xF8);
    EXPECT_DOUBLE_EQ(instrument.getTempo(), 120.0);
    fakeNow = 1750;
    for (int i = 0; i < 24; i++) instrument.receiveMidi(0, 0xF8);
    EXPECT_DOUBLE_EQ(instrument.getTempo(), 240.0);
}

TEST_F(HostSide, AutomationAndWindowSizesReachTheNotifyCallback) {
    notices.clear();
    VstInstrument instrument(5);
    ASSERT_EQ(instrument.open("Probe"), 0);
    instrument.setNotifyCallback(recordNotice, nullptr);
    setup.probeCallHost(audioMasterAutomate, 2, 0, 0.5f);
    setup.probeCallHost(audioMasterSizeWindow, 640, 480);
    int marker = 0;
    instrument.openEditor(&marker);
    EXPECT_EQ(setup.probeRecord()->editorWindow, &marker);
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_EQ(notices[0].slot, 5);
    EXPECT_EQ(notices[0].code, 0);
    EXPECT_EQ(notices[0].first, 2);
    EXPECT_EQ(notices[1].code, 15);
    EXPECT_EQ(notices[1].first, 640);
    EXPECT_EQ(notices[1].second, 480);
    EXPECT_EQ(notices[2].code, 15);
    EXPECT_EQ(notices[2].first, 200);
    EXPECT_EQ(notices[2].second, 100);
    int width = 0, height = 0;
    EXPECT_EQ(instrument.getEditorSize(&width, &height), 0);
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 100);
}

// The program speaks only its documented opcodes: never effOpen, effMainsChanged or
// effSetBlockSize.
TEST_F(HostSide, SendsOnlyTheOpcodesAHostOfThisPluginSends) {
    VstInstrument instrument(0);
    ASSERT_EQ(instrument.open("Probe"), 0);
    char name[32] = {0};
    void* chunk = nullptr;
    instrument.setSampleRate(44100.f);
    instrument.setKnobMode(2);
    instrument.openEditor(nullptr);
    instrument.editIdle();
    instrument.getProgramName(name);
    instrument.setProgramName("x");
    instrument.getChunk(&chunk);
    instrument.setChunk(name, 4);
    instrument.pushMidiMessage(0x403C90);
    std::vector<float> left(44), right(44);
    float* outputs[2] = {left.data(), right.data()};
    instrument.render(nullptr, 0, outputs, 2, 44);
    instrument.close();
    ProbeRecord* record = setup.probeRecord();
    EXPECT_EQ(record->sampleRate, 44100.f);
    EXPECT_EQ(record->knobMode, 2);
    const std::set<int> allowed = {effClose, effSetProgramName, effGetProgramName, effSetSampleRate, effEditGetRect,
                                   effEditOpen, effEditClose, effEditIdle, effGetChunk, effSetChunk,
                                   effProcessEvents, effVendorSpecific, effEditKeyDown, effEditKeyUp,
                                   effSetEditKnobMode};
    for (int opcode = 0; opcode < 128; opcode++) {
        if (record->opcodeCounts[opcode]) {
            EXPECT_TRUE(allowed.count(opcode)) << "opcode " << opcode;
        }
    }
    EXPECT_EQ(record->opcodeCounts[effOpen] + record->opcodeCounts[effMainsChanged] +
                  record->opcodeCounts[effSetBlockSize],
              0);
}

// Closing while the audio thread renders: the plug-in is never closed under its own
// process call and never called after its close.
TEST_F(HostSide, ClosingNeverOverlapsARender) {
    setup.probeConfig()->busyMicrosPerSlice = 50;
    ProbeRecord* record = setup.probeRecord();
    for (int round = 0; round < 20; round++) {
        VstInstrument instrument(0);
        ASSERT_EQ(instrument.open("Probe"), 0);
        int before = record->processCalls;
        std::atomic<bool> running{true};
        std::thread audio([&] {
            std::vector<float> left(128), right(128);
            float* outputs[2] = {left.data(), right.data()};
            while (running) instrument.render(nullptr, 0, outputs, 2, 128);
        });
        // Closed while the audio thread is busy rendering.
        while (record->processCalls == before) Sleep(0);
        Sleep(round % 3);
        instrument.close();
        Sleep(2);
        running = false;
        audio.join();
    }
    EXPECT_GT(record->processCalls, 20);
    EXPECT_EQ(record->processAfterClose, 0);
    EXPECT_EQ(record->closeDuringProcess, 0);
    EXPECT_EQ(record->opcodeCounts[effClose], 20);
}

}  // namespace
