// The back end over time: repeated opening and closing leaves nothing behind, and the
// driver's thread and the user-interface thread run hard side by side without touching
// each other's work.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <atomic>
#include <cmath>

#include "asio_fixture.h"

namespace {

int threadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    CloseHandle(snapshot);
    return count;
}

DWORD handleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

size_t privateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters;
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage;
}

// A callback that checks what the pump hands it and writes a tone.
struct Checker {
    std::atomic<int> calls{0};
    std::atomic<int> bad{0};
    std::atomic<int> maxFrames{0};
    float phase = 0.f;

    static void render(float** inputs, int inputCount, float** outputs, int outputCount, int frames, void* user) {
        Checker* self = static_cast<Checker*>(user);
        self->calls++;
        bool ok = frames > 0 && frames <= 4096 && outputCount == 4 && inputCount == 2;
        for (int i = 0; ok && i < outputCount; ++i)
            ok = outputs[i] != nullptr && outputs[i][0] == 0.f && outputs[i][frames - 1] == 0.f;
        for (int i = 0; ok && i < inputCount; ++i)
            ok = inputs[i] != nullptr;
        if (!ok) {
            self->bad++;
            return;
        }
        if (frames > self->maxFrames)
            self->maxFrames = frames;
        for (int i = 0; i < frames; ++i) {
            float x = 0.5f * std::sin(self->phase);
            self->phase = std::fmod(self->phase + 0.05f, 6.2831853f);
            for (int c = 0; c < outputCount; ++c)
                outputs[c][i] = x + inputs[c % inputCount][i] * 0.f;
        }
    }
};

TEST_F(AsioTest, TwentyOpenCloseCyclesLeaveNothingBehind) {
    FakeAsioConfig config;
    config.inputs = 2;
    config.outputs = 4;
    config.sampleType = ASIOSTInt24MSB;
    configure(config);
    Checker checker;
    int threadsAfterFirst = 0;
    DWORD handlesAfterFirst = 0;
    size_t bytesAfterFirst = 0;
    for (int cycle = 0; cycle < 20; ++cycle) {
        SCOPED_TRACE(testing::Message() << "cycle " << cycle);
        fake.resetCounters();
        openAudio();
        audio->setCallback(Checker::render, &checker);
        ASSERT_EQ(audio->selectDriver(0), 0);
        ASSERT_TRUE(fake.waitSwitches(10, 5000));
        // Half the cycles go through a sample-rate change and a reset of the driver.
        if (cycle % 2) {
            ASSERT_EQ(audio->setSampleRate(cycle % 4 == 1 ? 48000.f : 44100.f), 0);
            fake.postMessage(kAsioResetRequest, 0);
            Sleep(20);
            pumpMessages();
        }
        audio->stopDriver();
        audio->closeProtocol();
        FakeAsioCounters c = fake.counters();
        EXPECT_EQ(c.liveDrivers, 0);
        EXPECT_EQ(c.liveBuffers, 0);
        EXPECT_EQ(c.creates, c.disposes);
        delete audio;
        audio = nullptr;
        manager = nullptr;
        if (cycle == 1) {
            threadsAfterFirst = threadCount();
            handlesAfterFirst = handleCount();
            bytesAfterFirst = privateBytes();
        }
    }
    EXPECT_EQ(checker.bad.load(), 0);
    EXPECT_GE(checker.calls.load(), 20 * 10);
    EXPECT_LE(threadCount(), threadsAfterFirst);
    EXPECT_LE(handleCount(), handlesAfterFirst + 4);
    EXPECT_LT(privateBytes(), bytesAfterFirst + (1u << 20));
}

TEST_F(AsioTest, DriverThreadAndUserInterfaceThreadRunHardTogether) {
    FakeAsioConfig config;
    config.inputs = 2;
    config.outputs = 4;
    config.sampleType = ASIOSTInt32LSB;
    config.minSize = 32;
    config.maxSize = 4096;
    config.preferredSize = 32;
    configure(config);
    Checker checker;
    openAudio();
    audio->setCallback(Checker::render, &checker);
    ASSERT_EQ(audio->selectDriver(0), 0);

    // The driver's thread: switches back to back, a reset request or a latency change now
    // and then. This thread: rate changes, stops and starts, queries, reset handling.
    const ASIOLong requests[] = {kAsioResetRequest, kAsioLatenciesChanged, kAsioResyncRequest};
    DWORD start = GetTickCount();
    int round = 0, restarts = 0;
    while (GetTickCount() - start < 3000) {
        ++round;
        fake.postMessage(requests[round % 3], 0);
        switch (round % 5) {
        case 0:
            EXPECT_EQ(audio->setSampleRate(round % 2 ? 48000.f : 44100.f), 0);
            break;
        case 1:
            EXPECT_EQ(audio->stopDriver(), 0);
            EXPECT_EQ(audio->selectDriver(0), 0);
            ++restarts;
            break;
        case 2:
            EXPECT_EQ(audio->getOutputCount(), 4);
            EXPECT_EQ(audio->getOutputName(3), "Out 4");
            EXPECT_EQ(audio->getLatency(), 32);
            EXPECT_EQ(audio->canSampleRate(96000.f), 0);
            break;
        case 3:
            EXPECT_EQ(audio->openControlPanel(), 0);
            break;
        default:
            Sleep(1);
            break;
        }
        pumpMessages();
    }
    int64_t before = fake.counters().switches;
    EXPECT_TRUE(fake.waitSwitches(before + 10, 5000)) << "still playing at the end";
    audio->stopDriver();
    audio->closeProtocol();
    FakeAsioCounters c = fake.counters();
    EXPECT_EQ(c.callsFromDriverThread, 0);
    EXPECT_EQ(c.liveBuffers, 0);
    EXPECT_EQ(checker.bad.load(), 0);
    EXPECT_GT(checker.calls.load(), 200);
    EXPECT_LE(checker.maxFrames.load(), 32);
    EXPECT_GT(restarts, 10);
}

}  // namespace
