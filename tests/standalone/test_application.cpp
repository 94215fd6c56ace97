// The engine facade: the slot table, rendering every instrument into shared buffers with
// the processor load measure, the idle pacing of the editors, and repeated loads of the
// installed plug-in.
#include <gtest/gtest.h>

#include <vector>

#include "application.h"
#include "standalone_fixture.h"

namespace {

Application* current = nullptr;

class Facade : public ::testing::Test {
protected:
    void SetUp() override {
        app = current = Application::instance();
        ASSERT_EQ(app->init(nullptr), 0);
    }
    void TearDown() override {
        app->shutdown();
        current = nullptr;
    }
    void render(int frames, std::vector<float>& left, std::vector<float>& right) {
        left.assign((size_t)frames, 0.f);
        right.assign((size_t)frames, 0.f);
        float* outputs[2] = {left.data(), right.data()};
        app->render(nullptr, 0, outputs, 2, frames);
    }

    StandaloneInstall setup;
    Application* app = nullptr;
};

TEST_F(Facade, TheSlotTableGrowsByDoublingAndReusesFreedSlots) {
    for (int i = 0; i < 5; i++) EXPECT_EQ(app->loadInstrument("Probe"), i);
    EXPECT_EQ(app->getCapacity(), 8);
    EXPECT_EQ(app->getHighestSlot(), 4);
    app->unloadInstrument(4);
    EXPECT_EQ(app->getHighestSlot(), 3);
    EXPECT_EQ(app->loadInstrument("Probe"), 4);

    app->unloadInstrument(4);
    app->unloadInstrument(1);
    EXPECT_EQ(app->getHighestSlot(), 3) << "a hole below the highest slot keeps it";
    app->unloadInstrument(3);
    EXPECT_EQ(app->getHighestSlot(), 2);
    app->unloadInstrument(2);
    EXPECT_EQ(app->getHighestSlot(), 0) << "down past the hole at 1";
    app->unloadInstrument(-1);
    app->unloadInstrument(99);
    app->unloadInstrument(1);
    EXPECT_EQ(app->loadInstrument("Probe"), 1);
    EXPECT_EQ(app->getInstrument(1)->getSlot(), 1);
    EXPECT_EQ(app->dispatch(5, effEditIdle, 0, 0, nullptr, 0.f), 0) << "an empty slot answers 0";
    EXPECT_EQ(app->getNumParams(5), 0);
    EXPECT_EQ(app->getNumParams(1), 3);
}

TEST_F(Facade, AnInstrumentThatCannotBeLoadedLeavesItsSlotFree) {
    setup.probeConfig()->refuse = true;
    EXPECT_EQ(app->loadInstrument("Probe"), kHostErrorEffectRefused);
    EXPECT_EQ(app->getInstrument(0), nullptr);
    setup.probeConfig()->refuse = false;
    EXPECT_EQ(app->loadInstrument("Probe"), 0);
}

TEST_F(Facade, InstrumentsAddIntoTheSameBuffersAndTheMixIsLimited) {
    struct Case {
        float left, right;
        int instruments;
        float expectedLeft, expectedRight;
    };
    const Case cases[] = {{0.25f, -0.125f, 1, 0.25f, -0.125f},
                          {0.25f, -0.125f, 3, 0.75f, -0.375f},
                          {1.5f, -2.f, 1, 1.f, -1.f},
                          {0.6f, -0.6f, 2, 1.f, -1.f}};
    for (const Case& c : cases) {
        setup.probeConfig()->levels[0] = c.left;
        setup.probeConfig()->levels[1] = c.right;
        std::vector<int> slots;
        for (int i = 0; i < c.instruments; i++) slots.push_back(app->loadInstrument("Probe"));
        std::vector<float> left, right;
        render(300, left, right);
        for (int i = 0; i < 300; i++) {
            ASSERT_EQ(left[(size_t)i], c.expectedLeft) << c.left << " x " << c.instruments;
            ASSERT_EQ(right[(size_t)i], c.expectedRight) << c.right << " x " << c.instruments;
        }
        for (int slot : slots) app->unloadInstrument(slot);
    }
}

// Each load ratio covers a little more than 50 ms of audio: the fifth render of 512 frames
// at 44100 Hz (58 ms) stores the first. A plug-in that spends half the audio time in its
// process call reads about half.
TEST_F(Facade, TheProcessorMeterReadsTheShareOfAudioTimeSpentRendering) {
    setup.probeConfig()->busyMicrosPerSlice = 499;  // 44 frames last 998 us
    ASSERT_GE(app->loadInstrument("Probe"), 0);
    std::vector<float> left, right;
    for (int i = 0; i < 4; i++) render(512, left, right);
    EXPECT_EQ(app->getCpuLoad(), 0.f);
    render(512, left, right);
    EXPECT_GT(app->getCpuLoad(), 0.f);
    for (int i = 0; i < 60; i++) render(512, left, right);
    // Wall time on both sides; a busy machine that preempts the render only adds to it.
    EXPECT_GT(app->getCpuLoad(), 0.35f);
    EXPECT_LT(app->getCpuLoad(), 1.2f);

    setup.probeConfig()->busyMicrosPerSlice = 0;
    for (int i = 0; i < 60; i++) render(512, left, right);
    EXPECT_LT(app->getCpuLoad(), 0.2f);
}

// Called from inside an editor's idle: asks for another idle walk (at most two deep, so
// that a walk that does not refuse it ends and shows in the counts).
int nestedIdles = 0;
int idleDepth = 0;
void idleAgain() {
    if (idleDepth >= 2) return;
    nestedIdles++;
    idleDepth++;
    current->idle();
    idleDepth--;
}

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_HOST_IDLE && current) {
        current->idle();
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

TEST_F(Facade, TheIdleThreadPacesEveryEditorAndANestedIdleDoesNothing) {
    app->shutdown();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = frameProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "HiddenFrame";
    RegisterClassA(&windowClass);
    HWND frame = CreateWindowA("HiddenFrame", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
    ASSERT_NE(frame, nullptr);
    app = current = Application::instance();
    ASSERT_EQ(app->init(frame), 0);
    ASSERT_EQ(app->loadInstrument("Probe"), 0);
    ASSERT_EQ(app->loadInstrument("Probe"), 1);
    setup.probeConfig()->idleHook = idleAgain;
    nestedIdles = 0;
    ProbeRecord* record = setup.probeRecord();
    // Until a few idle messages have come (the idle thread runs below normal priority, so a
    // busy machine may delay it), or 5 s.
    DWORD start = GetTickCount();
    MSG message;
    while (record->idleCalls < 2 * 6 && GetTickCount() - start < 5000) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(5);
    }
    DWORD elapsed = GetTickCount() - start;
    setup.probeConfig()->idleHook = nullptr;
    // Each message reaches both instruments once; no more than one every 50 ms.
    EXPECT_GE(record->idleCalls, 2 * 6);
    EXPECT_EQ(record->idleCalls % 2, 0);
    EXPECT_LE(record->idleCalls / 2, (int)(elapsed / 50) + 2) << elapsed << " ms";
    EXPECT_EQ(nestedIdles, record->idleCalls) << "every nested idle returned at once";
    app->unloadInstrument(0);
    app->unloadInstrument(1);
    DestroyWindow(frame);
}

struct Notice {
    int slot, code;
    VstIntPtr first, second;
    void* user;
};
std::vector<Notice> notices;
VstIntPtr noted(int slot, int code, VstIntPtr first, VstIntPtr second, void* user) {
    notices.push_back({slot, code, first, second, user});
    return 0;
}

TEST_F(Facade, SettingsReachEveryInstrumentAndNotificationsTheProgram) {
    app->setKnobMode(2);
    ASSERT_EQ(app->loadInstrument("Probe"), 0);
    ProbeRecord* record = setup.probeRecord();
    EXPECT_EQ(record->knobMode, 2) << "the knob mode at load";
    EXPECT_EQ(record->sampleRate, 44100.f) << "the back end's rate at load";
    app->setKnobMode(1);
    EXPECT_EQ(app->getKnobMode(), 1);
    EXPECT_EQ(record->knobMode, 1);
    app->setInstrumentsSampleRate(48000.f);
    EXPECT_EQ(record->sampleRate, 48000.f);
    EXPECT_FALSE(app->isDirty(0));
    app->setOctaveShift(0, 2);
    EXPECT_TRUE(app->isDirty(0));
    app->setDirty(0, false);
    EXPECT_FALSE(app->isDirty(0));

    EXPECT_EQ(app->notify(0, 15, 1, 2), 0) << "no callback stored";
    notices.clear();
    int user = 0;
    app->setNotifyCallback(noted, &user);
    setup.probeCallHost(audioMasterSizeWindow, 300, 200);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].slot, 0);
    EXPECT_EQ(notices[0].code, 15);
    EXPECT_EQ(notices[0].first, 300);
    EXPECT_EQ(notices[0].second, 200);
    EXPECT_EQ(notices[0].user, &user);
    app->openEditor(0, &user);
    EXPECT_EQ(record->editorWindow, &user);
    EXPECT_EQ(notices.size(), 2u);
}

// Bytes held in live blocks of every heap of the process.
size_t privateBytes() {
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    size_t total = 0;
    for (DWORD h = 0; h < count && h < 64; h++) {
        if (!HeapLock(heaps[h])) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[h], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        HeapUnlock(heaps[h]);
    }
    return total;
}

// The installed plug-in loaded, played and unloaded twenty times: the program keeps
// nothing of it. (Each instance itself leaves its install settings behind by design; a
// host that creates and closes the plug-in directly sees the same small remainder.)
TEST_F(Facade, LoadingAndUnloadingTheInstrumentTwentyTimesLeavesNoMemoryBehind) {
    const int cycles = 20;
    TestHost host;
    ASSERT_TRUE(host.load(setup.install.path("Halvorn.dll")));
    auto direct = [&] {
        host.create("main");
        host.close();
        host.calls.clear();
        host.calls.shrink_to_fit();
    };
    auto standalone = [&] {
        int slot = app->loadInstrument("Halvorn");
        EXPECT_EQ(slot, 0);
        app->getInstrument(slot)->pushMidiMessage(0x643C90);
        std::vector<float> left(4410), right(4410);
        float* outputs[2] = {left.data(), right.data()};
        app->render(nullptr, 0, outputs, 2, 4410);
        app->unloadInstrument(slot);
    };
    for (int i = 0; i < 3; i++) direct(), standalone();

    size_t start = privateBytes();
    for (int i = 0; i < cycles; i++) direct();
    long long hostRemainder = (long long)privateBytes() - (long long)start;

    start = privateBytes();
    int slot = app->loadInstrument("Halvorn");
    size_t instance = privateBytes() - start;
    app->unloadInstrument(slot);
    start = privateBytes();
    for (int i = 0; i < cycles; i++) standalone();
    long long programRemainder = (long long)privateBytes() - (long long)start;

    std::printf("one instance: %zu bytes; %d cycles: %+lld bytes through the program, %+lld bytes directly\n",
                instance, cycles, programRemainder, hostRemainder);
    ASSERT_GT(instance, 100000u) << "the measure sees an instance";
    EXPECT_LE(programRemainder, hostRemainder + 64);
}

}  // namespace
