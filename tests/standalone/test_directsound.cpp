// The DirectSound back end on wine's sound device (an ALSA null device in the tests):
// the device list, the looping buffer, its play cursor and latency, and the failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "dx_manager.h"

namespace {

HWND hiddenWindow() {
    static HWND window = CreateWindowA("STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                       GetModuleHandleA(nullptr), nullptr);
    return window;
}

std::atomic<int> callbackCount{0}, largestCall{0}, partSlices{0};
std::atomic<long long> renderedFrames{0};
void countingCallback(float**, int, float** outputs, int outputCount, int frames, void*) {
    callbackCount++;
    renderedFrames += frames;
    if (frames > largestCall) largestCall = frames;
    if (frames % 44 != 0) partSlices++;
    for (int c = 0; c < outputCount; c++)
        for (int i = 0; i < frames; i++) outputs[c][i] = c == 0 ? 0.25f : -0.25f;
}

TEST(DirectSound, ListsTheDevicesAndOffersOnlyItsRateAndLatencies) {
    DXManager manager(nullptr, hiddenWindow());
    EXPECT_STREQ(manager.getName(), "Direct X");
    ASSERT_GE(manager.getDriverCount(), 1) << "wine's device on the ALSA null device";
    for (int i = 0; i < manager.getDriverCount(); i++) EXPECT_FALSE(manager.getDriverName(i).empty());
    EXPECT_EQ(manager.getDriverName(manager.getDriverCount()), "");
    EXPECT_FALSE(manager.hasControlPanel());
    EXPECT_EQ(manager.getMinLatency(), 220);
    EXPECT_EQ(manager.getMaxLatency(), 4400);
    EXPECT_EQ(manager.getPreferredLatency(), 4400);
    EXPECT_EQ(manager.getLatencyGranularity(), 44);
    EXPECT_EQ(manager.getLatency(), 4400);
    EXPECT_EQ(manager.getOutputCount(), 0) << "no channels before a device is selected";

    struct RateCase {
        float rate;
        int answer;
    };
    for (const RateCase& c : {RateCase{44100.f, 0}, RateCase{48000.f, kHostErrorSampleRate},
                              RateCase{96000.f, kHostErrorSampleRate}, RateCase{0.f, kHostErrorSampleRate}}) {
        EXPECT_EQ(manager.canSampleRate(c.rate), c.answer) << c.rate;
        EXPECT_EQ(manager.setSampleRate(c.rate), 0);
        EXPECT_EQ(manager.getSampleRate(), 44100.f);
    }
    // A stored latency is kept within what the back end offers.
    struct LatencyCase {
        int stored, used;
    };
    for (const LatencyCase& c : {LatencyCase{1000, 1000}, LatencyCase{100, 220}, LatencyCase{-1, 220},
                                 LatencyCase{100000, 4400}, LatencyCase{220, 220}, LatencyCase{4400, 4400}}) {
        EXPECT_EQ(manager.setLatency(c.stored), 0);
        EXPECT_EQ(manager.getLatency(), c.used) << c.stored;
    }

    EXPECT_EQ(manager.selectDriver(0), 0);
    ASSERT_EQ(manager.getOutputCount(), 2);
    EXPECT_EQ(manager.getOutputName(0), manager.getDriverName(0));
    EXPECT_EQ(manager.selectDriver(manager.getDriverCount()), 0) << "an index outside the list";
    EXPECT_EQ(manager.getOutputCount(), 0);
}

// At each latency the buffer plays, its cursor advances, the pump renders no more than the
// buffer lacks and only whole slices, and no more than the latency (or the least the device
// can hold) waits in the buffer.
TEST(DirectSound, PlaysThroughTheLoopingBufferKeepingTheLatency) {
    // 1000: a stored latency off the slice grid.
    for (int latency : {4400, 220, 1000}) {
        Audio audio;
        audio.setBackEnd(0, new DXManager(&audio, hiddenWindow()));
        ASSERT_EQ(audio.selectProtocol(0), 0);
        audio.setCallback(countingCallback, nullptr);
        EXPECT_EQ(audio.setLatency(latency), 0);
        callbackCount = 0;
        largestCall = 0;
        partSlices = 0;
        renderedFrames = 0;
        ASSERT_EQ(audio.selectDriver(0), 0) << latency;
        DXManager* manager = (DXManager*)audio.getBackEnd(0);
        DXAudioOut* left = (DXAudioOut*)manager->getOutput(0);
        ASSERT_NE(left->getSecondaryBuffer(), nullptr);

        long long start = left->getPlayPosition();
        int largestQueue = 0, largestHeld = 0;
        // Until three buffers' worth has been rendered, or 3 s on a busy machine.
        for (int i = 0; i < 300 && renderedFrames < 3 * 8800; i++) {
            Sleep(10);
            largestQueue = std::max(largestQueue, left->getQueuedFrames());
            largestHeld = std::max(largestHeld, left->getHeldLatency());
        }
        long long later = left->getPlayPosition();
        EXPECT_GT(later, start) << "the play cursor advances at " << latency;
        EXPECT_GT(renderedFrames.load(), 8800) << latency;
        // The buffer is topped up to the latency, or to the least the device can hold when
        // its play cursor moves in larger steps (wine's null device moves 40 ms at once).
        EXPECT_GE(largestHeld, latency);
        EXPECT_LE(largestHeld, 4400);
        if (latency == 4400) {
            EXPECT_EQ(largestHeld, latency);
        }
        EXPECT_LE(largestCall.load(), largestHeld);
        EXPECT_EQ(partSlices.load(), 0) << "the pump renders whole slices";
        EXPECT_LE(largestQueue, largestHeld) << "not beyond";
        EXPECT_GT(largestQueue, latency / 2);
        // Held so, the device no longer overtakes the buffer at every step of its cursor.
        long long underruns = left->getUnderruns(), played = left->getPlayPosition();
        Sleep(500);
        long long steps = (left->getPlayPosition() - played) / 1764;
        EXPECT_GT(steps, 8);
        EXPECT_LE(left->getUnderruns() - underruns, steps / 4) << latency;
        EXPECT_EQ(audio.stopDriver(), 0);
        EXPECT_EQ(left->getSecondaryBuffer(), nullptr);
        // Stopped: the timer is gone, nothing renders any more.
        int calls = callbackCount;
        Sleep(30);
        EXPECT_EQ(callbackCount.load(), calls);
    }
}

TEST(DirectSound, FailuresAreReportedAndLeaveNoDriver) {
    DXManager manager(nullptr, hiddenWindow());
    const GUID unknown = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    DXAudioOut missing(0, "missing", &manager, unknown, 0);
    EXPECT_EQ(missing.prepare(0), kHostErrorDsCreate);
    EXPECT_EQ(missing.start(), kHostErrorDsNotPrepared);
    EXPECT_EQ(missing.stop(), 0);

    // A device that exists, started without being prepared.
    ASSERT_GE(manager.getDriverCount(), 1);
    DXAudioOut unprepared(0, "left", &manager, manager.getDevice(0).guid, 0);
    EXPECT_EQ(unprepared.start(), kHostErrorDsNotPrepared);

    // The protocol layer: the failing step's code, and no driver current.
    struct Missing : public DXManager {
        Missing(Audio* audio) : DXManager(audio, hiddenWindow()) {}
        int selectDriver(int index) override {
            unloadDriver();
            const GUID nowhere = {0x87654321, 0x4321, 0x8765, {8, 7, 6, 5, 4, 3, 2, 1}};
            addOutput(new DXAudioOut(0, "gone", this, nowhere, 0));
            addOutput(new DXAudioOut(1, "gone", this, nowhere, 1));
            return 0;
        }
    };
    Audio audio;
    audio.setBackEnd(0, new Missing(&audio));
    ASSERT_EQ(audio.selectProtocol(0), 0);
    EXPECT_EQ(audio.selectDriver(0), kHostErrorDsCreate);
    EXPECT_EQ(audio.getDriver(), -1);
}

}  // namespace
