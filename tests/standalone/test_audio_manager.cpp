// The render pump and the protocol switch, over channels that stand in for a device:
// an output that takes what its ring can hold up to a set amount, an input whose device
// delivers a set number of frames.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio_manager.h"

namespace {

std::vector<std::string> journal;

class FakeOut : public AudioOut {
public:
    FakeOut(int index, int wanted) : AudioOut(index, "Out " + std::to_string(index + 1)), wanted(wanted) {}
    int prepare(int) override {
        journal.push_back("out prepare " + name);
        return ring.init(1024, 0) ? 0 : -1;
    }
    int unprepare() override {
        ring.free();
        return 0;
    }
    int start() override {
        journal.push_back("out start " + name);
        return startCode;
    }
    int stop() override {
        journal.push_back("out stop " + name);
        return 0;
    }
    int getFreeSpace() override {
        int free = wanted - ring.readable();
        return std::max(0, std::min(free, ring.contiguousWritable()));
    }
    // The device plays what the ring holds.
    void pushToDevice() override {
        int n = ring.readable();
        played.resize(played.size() + (size_t)n);
        ring.copyOut(played.data() + played.size() - (size_t)n, n);
    }
    int wanted;
    int startCode = 0;
    std::vector<float> played;
};

class FakeIn : public AudioIn {
public:
    explicit FakeIn(int index) : AudioIn(index, "In " + std::to_string(index + 1)) {}
    int start() override {
        journal.push_back("in start " + name);
        return 0;
    }
    int stop() override {
        journal.push_back("in stop " + name);
        return 0;
    }
    int prepare(int) override {
        journal.push_back("in prepare " + name);
        return ring.init(1024, 0) ? 0 : -1;
    }
    int unprepare() override {
        ring.free();
        return 0;
    }
    bool reserved(int, int) override { return true; }
    void readWithGain(float*, int) override {}
    // The device delivers its pending frames, counting up from 1.
    void pullFromDevice() override {
        std::vector<float> frames((size_t)pending);
        for (float& f : frames) f = (float)++delivered;
        RingRegion region = ring.takeWriteRegion(pending);
        for (int i = 0; i < region.firstCount; i++) region.first[i] = frames[(size_t)i];
        for (int i = 0; i < region.secondCount; i++) region.second[i] = frames[(size_t)(region.firstCount + i)];
        pending = 0;
    }
    int getBufferFrames() override { return 0; }
    int pending = 0;
    int delivered = 0;
};

class FakeManager : public AudioManager {
public:
    FakeManager(Audio* owner, int outputs, int inputs, int wanted) : AudioManager(owner) {
        for (int i = 0; i < outputs; i++) addOutput(new FakeOut(i, wanted));
        for (int i = 0; i < inputs; i++) addInput(new FakeIn(i));
    }
    const char* getName() override { return "Fake"; }
    int getDriverCount() override { return 2; }
    std::string getDriverName(int index) override { return "Driver " + std::to_string(index); }
    int selectDriver(int index) override {
        journal.push_back("select " + std::to_string(index));
        return selectCode;
    }
    int setLatency(int frames) override {
        latencyCurrent = frames;
        return 0;
    }
    bool hasControlPanel() override { return true; }
    int canSampleRate(float rate) override { return rate == 48000.f ? 0 : kHostErrorSampleRate; }
    int setSampleRate(float rate) override {
        sampleRate = rate;
        return 0;
    }
    FakeOut* out(int i) { return (FakeOut*)outputs[i]; }
    FakeIn* in(int i) { return (FakeIn*)inputs[i]; }
    int selectCode = 0;
};

struct Call {
    int inputCount, outputCount, frames;
    std::vector<float> firstInput;
    bool outputsZeroed;
    bool tablesEndInNone;
};
std::vector<Call> calls;

// Notes each call, then writes 0.5 into every output (which the next call must not see).
void recordingCallback(float** inputs, int inputCount, float** outputs, int outputCount, int frames, void*) {
    Call call{inputCount, outputCount, frames, {}, true, true};
    if (inputCount > 0) call.firstInput.assign(inputs[0], inputs[0] + frames);
    for (int c = 0; c < outputCount; c++)
        for (int i = 0; i < frames; i++) {
            if (outputs[c][i] != 0.f) call.outputsZeroed = false;
            outputs[c][i] = 0.5f;
        }
    for (int c = inputCount; c < AudioManager::kMaxChannels; c++)
        if (inputs[c]) call.tablesEndInNone = false;
    for (int c = outputCount; c < AudioManager::kMaxChannels; c++)
        if (outputs[c]) call.tablesEndInNone = false;
    calls.push_back(call);
}

class Pump : public ::testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        journal.clear();
        audio.setCallback(recordingCallback, nullptr);
    }
    FakeManager* install(int outputs, int inputs, int wanted) {
        FakeManager* manager = new FakeManager(&audio, outputs, inputs, wanted);
        audio.setBackEnd(0, manager);
        EXPECT_EQ(audio.selectProtocol(0), 0);
        EXPECT_EQ(audio.selectDriver(0), 0);
        return manager;
    }
    Audio audio;
};

TEST_F(Pump, RendersWhatEveryOutputTakesAndEveryInputGivesThenAsksAgain) {
    FakeManager* manager = install(2, 1, 100);
    manager->in(0)->pending = 80;
    manager->process();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].frames, 80);
    EXPECT_EQ(calls[0].inputCount, 1);
    EXPECT_EQ(calls[0].outputCount, 2);
    EXPECT_EQ(calls[0].firstInput.front(), 1.f);
    EXPECT_EQ(calls[0].firstInput.back(), 80.f);
    EXPECT_TRUE(calls[0].outputsZeroed);
    EXPECT_TRUE(calls[0].tablesEndInNone);
    EXPECT_EQ(manager->out(0)->played.size(), 80u);
    EXPECT_EQ(manager->out(1)->played.back(), 0.5f);

    // Every round the device plays all: the outputs take 100 again, the input has 130.
    manager->in(0)->pending = 130;
    manager->process();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].frames, 100);
    EXPECT_EQ(calls[1].firstInput.front(), 81.f);
    EXPECT_TRUE(calls[1].outputsZeroed) << "the regions are zeroed before each call";
}

TEST_F(Pump, WithoutOutputsNothingIsRendered) {
    FakeManager* manager = install(0, 1, 100);
    manager->in(0)->pending = 50;
    EXPECT_EQ(manager->getFramesAvailable(), 0);
    manager->process();
    EXPECT_TRUE(calls.empty());
}

TEST_F(Pump, RepeatsUntilTheOutputsAreFullAcrossTheRingsEnd) {
    FakeManager* manager = install(1, 0, 1000);
    manager->process();  // 1000 frames of the 1023 the ring can hold
    manager->process();  // wraps: the contiguous 24 frames, then the rest
    int total = 0;
    for (const Call& call : calls) {
        total += call.frames;
        EXPECT_TRUE(call.outputsZeroed);
    }
    EXPECT_EQ(total, 2000);
    EXPECT_GE(calls.size(), 3u);
    EXPECT_EQ(manager->out(0)->played.size(), 2000u);
}

TEST_F(Pump, ACallbackRemovedRendersNothingButTheDeviceStillGetsSilence) {
    FakeManager* manager = install(1, 0, 64);
    audio.clearCallback();
    manager->process();
    EXPECT_TRUE(calls.empty());
    ASSERT_EQ(manager->out(0)->played.size(), 64u);
    for (float sample : manager->out(0)->played) EXPECT_EQ(sample, 0.f);
}

TEST_F(Pump, DriverSelectionWalksSelectPrepareStartAndStopsAtTheFirstFailure) {
    FakeManager* manager = install(1, 1, 64);
    EXPECT_EQ(journal, (std::vector<std::string>{"select 0", "in prepare In 1", "out prepare Out 1", "in start In 1",
                                                 "out start Out 1"}));
    journal.clear();
    EXPECT_EQ(audio.selectDriver(0), 0) << "the current driver again";
    EXPECT_TRUE(journal.empty());

    manager->out(0)->startCode = kHostErrorDsTimer;
    EXPECT_EQ(audio.selectDriver(1), kHostErrorDsTimer);
    EXPECT_EQ(audio.getDriver(), -1);
    // The half-opened device is stopped and its rings released.
    EXPECT_EQ(journal.back(), "out stop Out 1");
    EXPECT_EQ(manager->out(0)->getRing().getData(), nullptr);

    manager->out(0)->startCode = 0;
    manager->selectCode = kHostErrorAsioLoad;
    journal.clear();
    EXPECT_EQ(audio.selectDriver(1), kHostErrorAsioLoad);
    EXPECT_EQ(journal.front(), "select 1");
    EXPECT_EQ(journal.size(), 3u) << "no prepare after a failed select";
    EXPECT_EQ(audio.selectDriver(-1), 0);
    EXPECT_EQ(audio.getDriver(), -1);
}

TEST_F(Pump, UnprepareReleasesInputsAndOutputs) {
    FakeManager* manager = install(2, 2, 64);
    for (int i = 0; i < 2; i++) {
        ASSERT_NE(manager->out(i)->getRing().getData(), nullptr);
        ASSERT_NE(manager->in(i)->getRing().getData(), nullptr);
    }
    EXPECT_EQ(manager->unprepare(), 0);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(manager->out(i)->getRing().getData(), nullptr);
        EXPECT_EQ(manager->in(i)->getRing().getData(), nullptr);
    }
}

TEST_F(Pump, ProtocolForwardersAnswerFixedValuesWithoutAProtocol) {
    Audio none;
    int minimum = 7, maximum = 7, granularity = 7;
    none.getLatencyRange(&minimum, &maximum, &granularity);
    EXPECT_EQ(minimum + maximum + granularity, 21);
    EXPECT_EQ(none.getProtocol(), -1);
    EXPECT_EQ(none.getProtocolCount(), 2);
    EXPECT_EQ(none.getDriverCount(), 0);
    EXPECT_EQ(none.getLatency(), 0);
    EXPECT_EQ(none.setLatency(300), 0);
    EXPECT_EQ(none.getOutputCount() + none.getInputCount(), 0);
    EXPECT_EQ(none.getOutputName(0), "");
    EXPECT_FALSE(none.hasControlPanel());
    EXPECT_EQ(none.canSampleRate(44100.f), kHostErrorSampleRate);
    EXPECT_EQ(none.setSampleRate(44100.f), 0);
    EXPECT_EQ(none.getSampleRate(), 0.f);
    EXPECT_EQ(none.selectDriver(0), 0);
    EXPECT_EQ(none.selectProtocol(1), kHostErrorBadArgument) << "no back end at that index";

    install(3, 0, 64);
    EXPECT_EQ(audio.getProtocolName(0), "Fake");
    EXPECT_EQ(audio.getOutputCount(), 3);
    EXPECT_EQ(audio.getOutputName(2), "Out 3");
    EXPECT_EQ(audio.canSampleRate(48000.f), 0);
    EXPECT_EQ(audio.setSampleRate(48000.f), 0);
    EXPECT_EQ(audio.getSampleRate(), 48000.f);
    EXPECT_EQ(audio.selectProtocol(0), 0);
    EXPECT_EQ(audio.getDriver(), 0) << "selecting the current protocol keeps its driver";
    audio.closeProtocol();
    EXPECT_EQ(audio.getProtocol(), -1);
    EXPECT_EQ(audio.getDriver(), -1);
}

}  // namespace
