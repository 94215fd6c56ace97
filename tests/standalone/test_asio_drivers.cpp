// The ASIO back end against the test driver: the driver list, loading, channels, buffer
// sizes, sample rates, messages and every failure with its code.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "asio_fixture.h"

namespace {

TEST_F(AsioTest, ListsRegisteredDriversUnderTheirNames) {
    const std::string forty = "Forty Character Driver Name Abcdefghijkl";
    ASSERT_EQ(forty.size(), 40u);
    const std::string thirtyOne = "Thirty One Characters Exactly!!";
    ASSERT_EQ(thirtyOne.size(), 31u);
    FakeAsio::addDriver("Max", thirtyOne);
    FakeAsio::addDriver("Loopback", "Loopback");
    FakeAsio::addDriver("Studio", "Studio Card ASIO");
    FakeAsio::addDriver("NoDescription", "");
    FakeAsio::addDriver("Long", forty);
    // A class nobody serves, and a server file that does not exist: not listed.
    FakeAsio::addDriver("Unserved", "Unserved", "{11111111-2222-3333-4444-555555555555}");
    ASSERT_TRUE(FakeAsio::setValue(HKEY_CLASSES_ROOT, "CLSID\\{22222222-2222-3333-4444-555555555555}\\InprocServer32", nullptr,
                                   "C:\\nowhere\\missing.dll"));
    FakeAsio::addDriver("Missing", "Missing", "{22222222-2222-3333-4444-555555555555}");
    openAudio();

    struct Case {
        std::string listed;
    };
    // Registry order: subkeys in name order.
    const Case expected[] = {
        {"Asio " + forty.substr(0, 28) + "..."},
        {"Asio Loopback"},
        {"Asio " + thirtyOne},  // longer than 32 bytes with its prefix, kept whole
        {"Asio NoDescription"},
        {"Studio Card ASIO"},
        {"Asio Test Driver"},
    };
    ASSERT_EQ(audio->getDriverCount(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(audio->getDriverName(i), expected[i].listed) << i;
    EXPECT_EQ(manager->getDriverName(6), "none (index error)");
    EXPECT_EQ(manager->getDriverName(-1), "none (index error)");
    EXPECT_STREQ(manager->getName(), "Asio");
    EXPECT_EQ(audio->getProtocolName(Audio::kProtocolAsio), "Asio");

    // The long name still loads the driver it lists.
    EXPECT_EQ(audio->selectDriver(0), 0);
    EXPECT_EQ(fake.counters().liveDrivers, 1);
}

TEST_F(AsioTest, DriverListOpensEachDriverOnce) {
    AsioDrivers list;
    ASSERT_EQ(list.count(), 1);
    IASIO* driver = nullptr;
    EXPECT_EQ(list.openDriver(0, nullptr), DRVERR_INVALID_PARAM);
    EXPECT_EQ(list.openDriver(1, &driver), DRVERR_DEVICE_NOT_FOUND);
    EXPECT_EQ(list.openDriver(-1, &driver), DRVERR_DEVICE_NOT_FOUND);
    ASSERT_EQ(list.openDriver(0, &driver), 0);
    EXPECT_NE(driver, nullptr);
    EXPECT_EQ(list.openDriver(0, &driver), DRVERR_DEVICE_ALREADY_OPEN);
    EXPECT_EQ(fake.counters().liveDrivers, 1);
    EXPECT_EQ(list.closeDriver(0), 0);
    EXPECT_EQ(fake.counters().liveDrivers, 0);

    // Loading by name: an unknown name keeps the current driver.
    EXPECT_TRUE(list.loadDriver("Test Driver"));
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_EQ(theAsioDriver != nullptr, true);
    EXPECT_FALSE(list.loadDriver("Nobody"));
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_EQ(ASIOExit(), ASE_OK);
    EXPECT_EQ(theAsioDriver, nullptr);
    EXPECT_EQ(list.currentIndex(), -1);
    EXPECT_EQ(fake.counters().liveDrivers, 0);
}

TEST_F(AsioTest, HostLayerWithoutADriverAnswersNotPresent) {
    ASSERT_EQ(theAsioDriver, nullptr);
    ASIOLong a = 5, b = 5, c = 5, d = 5;
    EXPECT_EQ(ASIOGetChannels(&a, &b), ASE_NotPresent);
    EXPECT_EQ(a + b, 0);
    a = b = 5;
    EXPECT_EQ(ASIOGetBufferSize(&a, &b, &c, &d), ASE_NotPresent);
    EXPECT_EQ(a + b + c + d, 0);
    a = b = 5;
    EXPECT_EQ(ASIOGetLatencies(&a, &b), ASE_NotPresent);
    EXPECT_EQ(a + b, 0);
    ASIOChannelInfo info = {};
    info.type = 19;
    EXPECT_EQ(ASIOGetChannelInfo(&info), ASE_NotPresent);
    EXPECT_EQ(info.channelGroup, -1);
    EXPECT_EQ(info.type, 0);
    EXPECT_STREQ(info.name, "None");
    ASIOBufferInfo buffers[2] = {};
    buffers[0].buffers[0] = buffers[1].buffers[1] = &a;
    ASIOCallbacks callbacks = {};
    EXPECT_EQ(ASIOCreateBuffers(buffers, 2, 64, &callbacks), ASE_NotPresent);
    EXPECT_EQ(buffers[0].buffers[0], nullptr);
    EXPECT_EQ(buffers[1].buffers[1], nullptr);
    ASIODriverInfo driverInfo = {};
    EXPECT_EQ(ASIOInit(&driverInfo), ASE_NotPresent);
    EXPECT_STREQ(driverInfo.name, "No ASIO Driver");
    ASIOSampleRate rate = 0;
    EXPECT_EQ(ASIOGetSampleRate(&rate), ASE_NotPresent);
    EXPECT_EQ(ASIOStart(), ASE_NotPresent);
    EXPECT_EQ(ASIOStop(), ASE_NotPresent);
    EXPECT_EQ(ASIOOutputReady(), ASE_NotPresent);
    EXPECT_EQ(ASIOControlPanel(), ASE_NotPresent);
    EXPECT_EQ(ASIODisposeBuffers(), ASE_NotPresent);
}

TEST_F(AsioTest, AudioOpenOffersTheBackEndAsProtocolOne) {
    Audio opened;
    ASSERT_EQ(opened.open(window), 0);
    ASSERT_EQ(opened.getProtocolCount(), 2);
    EXPECT_EQ(opened.getProtocolName(1), "Asio");
    EXPECT_EQ(opened.selectProtocol(1), 0);
    ASSERT_EQ(opened.getDriverCount(), 1);
    EXPECT_EQ(opened.getDriverName(0), "Asio Test Driver");
    EXPECT_TRUE(opened.hasControlPanel());
}

TEST_F(AsioTest, LoadsInitialisesAndCreatesAChannelPerDriverChannel) {
    FakeAsioConfig config;
    config.inputs = 3;
    config.outputs = 40;  // more than the back end takes
    config.sampleType = ASIOSTInt24LSB;
    configure(config);
    openAudio();
    ASSERT_EQ(audio->selectDriver(0), 0);
    FakeAsioCounters c = fake.counters();
    EXPECT_EQ(c.inits, 1);
    EXPECT_EQ(c.sysRef, static_cast<void*>(window));
    EXPECT_EQ(c.liveDrivers, 1);
    EXPECT_STREQ(manager->getDriverInfo().name, "Test Driver");
    EXPECT_EQ(manager->getDriverInfo().driverVersion, 7);
    EXPECT_STREQ(manager->getDriverInfo().errorMessage, "No ASIO Driver Error");
    EXPECT_EQ(audio->getInputCount(), 3);
    EXPECT_EQ(audio->getOutputCount(), 32);
    EXPECT_EQ(audio->getInputName(2), "In 3");
    EXPECT_EQ(audio->getOutputName(31), "Out 32");
    // All 35 channels' buffers, inputs first.
    EXPECT_EQ(c.channels, 35);
    EXPECT_EQ(manager->getBufferInfoIndex(true, 0), 0);
    EXPECT_EQ(manager->getBufferInfoIndex(false, 0), 3);
    EXPECT_EQ(manager->getBufferInfoIndex(false, 31), 34);
    EXPECT_EQ(manager->getBufferInfoIndex(false, 32), -1);
    EXPECT_TRUE(manager->isStarted());

    // Selecting the current driver again does nothing.
    EXPECT_EQ(manager->selectDriver(0), 0);
    EXPECT_EQ(fake.counters().inits, 1);

    audio->stopDriver();
    audio->closeProtocol();
    c = fake.counters();
    EXPECT_EQ(c.liveDrivers, 0);
    EXPECT_EQ(c.liveBuffers, 0);
    EXPECT_EQ(audio->getOutputCount(), 0);
}

TEST_F(AsioTest, BufferSizeFollowsTheDriver) {
    struct Case {
        int minSize, maxSize, preferred;
        int used;
        int inputFrames, inputRing;  // rounded to 44-frame blocks; the ring holds four
    };
    const Case cases[] = {
        {256, 256, 256, 256, 264, 1056},
        {64, 2048, 512, 512, 528, 2112},
        {44, 44, 44, 44, 44, 176},
        {32, 4096, 100, 100, 132, 528},
    };
    FakeAsio::addDriver("Z Other", "Other");
    openAudio();
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "sizes " << k.minSize << ".." << k.maxSize << " preferred " << k.preferred);
        FakeAsioConfig config;
        config.minSize = k.minSize;
        config.maxSize = k.maxSize;
        config.preferredSize = k.preferred;
        config.inputLatency = 7;
        config.outputLatency = 11;
        configure(config);
        // From another driver: the latency the back end held is the other driver's.
        ASSERT_EQ(audio->selectDriver(1), 0);
        ASSERT_EQ(audio->selectDriver(0), 0);
        EXPECT_EQ(manager->getBufferSize(), k.used);
        EXPECT_EQ(fake.counters().bufferSize, k.used);
        EXPECT_EQ(manager->getMinLatency(), k.minSize);
        EXPECT_EQ(manager->getMaxLatency(), k.maxSize);
        EXPECT_EQ(manager->getPreferredLatency(), k.preferred);
        EXPECT_EQ(manager->getLatency(), k.preferred);
        EXPECT_EQ(manager->getInputLatency(), k.used + 7);
        EXPECT_EQ(manager->getOutputLatency(), k.used + 11);
        AudioIn* in = manager->getInput(0);
        ASSERT_NE(in, nullptr);
        EXPECT_EQ(in->getBufferFrames(), k.inputFrames);
        EXPECT_EQ(in->getRing().getCapacity(), k.inputRing);
        EXPECT_EQ(manager->getOutput(0)->getRing().getCapacity(), 4 * k.used);
    }
}

TEST_F(AsioTest, DriverErrorsGiveTheirCodes) {
    struct Case {
        ASIOError error;
        int code;
    };
    const Case cases[] = {
        {ASE_NotPresent, -302}, {ASE_HWMalfunction, -305}, {ASE_InvalidParameter, -306},
        {ASE_InvalidMode, -307}, {ASE_SPNotAdvancing, -310}, {ASE_NoClock, -308},
        {ASE_NoMemory, -309},   {-1, -311},                  {12345, -311},
    };
    EXPECT_EQ(AsioManager::mapError(ASE_OK), 0);
    EXPECT_EQ(AsioManager::mapError(ASE_SUCCESS), 0);
    openAudio();
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "error " << k.error);
        EXPECT_EQ(AsioManager::mapError(k.error), k.code);
        // At the buffers' creation and at the start, through the protocol's driver selection.
        for (int step = 0; step < 2; ++step) {
            FakeAsioConfig config;
            (step == 0 ? config.createBuffersError : config.startError) = k.error;
            configure(config);
            EXPECT_EQ(audio->selectDriver(0), k.code);
            EXPECT_EQ(audio->getDriver(), -1);
            EXPECT_FALSE(manager->isStarted());
            audio->closeProtocol();
            ASSERT_EQ(audio->selectProtocol(Audio::kProtocolAsio), 0);
        }
        FakeAsioConfig config;
        config.controlPanelError = k.error;
        configure(config);
        ASSERT_EQ(audio->selectDriver(0), 0);
        EXPECT_EQ(audio->openControlPanel(), k.code);
        audio->selectDriver(-1);
    }
    FakeAsioCounters c = fake.counters();
    EXPECT_EQ(c.controlPanels, 9);
}

TEST_F(AsioTest, DriversThatCannotBeLoadedGiveMinus303) {
    // A listed class whose server does not make it, and a driver whose init refuses.
    ASSERT_TRUE(fake.registerClass("{33333333-2222-3333-4444-555555555555}"));
    FakeAsio::addDriver("Refused", "Refused", "{33333333-2222-3333-4444-555555555555}");
    FakeAsioConfig config;
    config.failInit = 1;
    configure(config);
    openAudio();
    ASSERT_EQ(audio->getDriverCount(), 2);
    EXPECT_EQ(audio->getDriverName(0), "Asio Refused");
    for (int index = 0; index < 2; ++index) {
        EXPECT_EQ(audio->selectDriver(index), -303) << index;
        EXPECT_EQ(audio->getDriver(), -1);
        EXPECT_FALSE(manager->isLoaded());
        EXPECT_EQ(manager->getSelectedDriver(), -1);
        EXPECT_EQ(fake.counters().liveDrivers, 0);
    }
    EXPECT_STREQ(manager->getDriverInfo().errorMessage, "Test driver failed");
    EXPECT_EQ(audio->selectDriver(7), -303);

    // Without a driver.
    EXPECT_EQ(manager->prepare(0), -304);
    EXPECT_EQ(manager->start(), -312);
    EXPECT_EQ(manager->canSampleRate(48000.f), -301);
    EXPECT_EQ(manager->setSampleRate(48000.f), -304);

    // Loaded but not prepared.
    configure(FakeAsioConfig());
    ASSERT_EQ(manager->selectDriver(1), 0);
    EXPECT_EQ(manager->start(), -312);
}

// Closes the message box that the back end shows and reports its text.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() : thread([this] { watch(); }) {}
    ~MessageBoxWatcher() {
        done = true;
        if (thread.joinable())
            thread.join();
    }
    std::string text() {
        done = true;
        if (thread.joinable())
            thread.join();
        return seen;
    }

private:
    void watch() {
        DWORD start = GetTickCount();
        while (!done && GetTickCount() - start < 20000) {
            HWND box = FindWindowA("#32770", nullptr);
            if (box && IsWindowVisible(box)) {
                EnumChildWindows(box, collect, reinterpret_cast<LPARAM>(this));
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(5);
        }
    }
    static BOOL CALLBACK collect(HWND child, LPARAM self) {
        char text[256] = {};
        GetWindowTextA(child, text, sizeof text);
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        if (std::string(className) == "Static" && text[0])
            reinterpret_cast<MessageBoxWatcher*>(self)->seen += text;
        return TRUE;
    }

    std::atomic<bool> done{false};
    std::string seen;
    std::thread thread;
};

TEST_F(AsioTest, UnreadableSampleRateIsReportedAndTakenAs44100) {
    FakeAsioConfig config;
    config.getSampleRateError = ASE_HWMalfunction;
    configure(config);
    openAudio();
    std::string shown;
    {
        MessageBoxWatcher watcher;
        EXPECT_EQ(manager->selectDriver(0), 0);
        shown = watcher.text();
    }
    EXPECT_EQ(shown, "ASIO cannot get sample rate\n(Error -999)");
    EXPECT_TRUE(manager->isLoaded());
    EXPECT_EQ(manager->getDriverSampleRate(), 44100.0);
}

TEST_F(AsioTest, SampleRates) {
    openAudio();
    FakeAsioConfig config;
    config.rate = 48000.0;  // prepared at our 44100, which it offers
    configure(config);
    ASSERT_EQ(audio->selectDriver(0), 0);
    EXPECT_EQ(fake.counters().rate, 44100.0);
    EXPECT_EQ(audio->getSampleRate(), 44100.f);

    EXPECT_EQ(audio->canSampleRate(48000.f), 0);
    EXPECT_EQ(audio->canSampleRate(22050.f), -350);
    EXPECT_EQ(audio->setSampleRate(48000.f), 0);
    EXPECT_EQ(fake.counters().rate, 48000.0);
    EXPECT_EQ(audio->getSampleRate(), 48000.f);
    EXPECT_EQ(audio->setSampleRate(22050.f), -350);
    EXPECT_EQ(audio->getSampleRate(), 48000.f);
    EXPECT_TRUE(manager->isStarted());
    // Keeps playing across the change.
    int64_t before = fake.counters().switches;
    EXPECT_TRUE(fake.waitSwitches(before + 5, 5000));

    // The driver's own refusal: the old rate stays.
    config.rate = 48000.0;
    config.setSampleRateError = ASE_HWMalfunction;
    configure(config);
    EXPECT_EQ(audio->setSampleRate(96000.f), -305);
    EXPECT_EQ(audio->getSampleRate(), 48000.f);
}

TEST_F(AsioTest, DriverThatRefuses44100RunsAtItsOwnRate) {
    FakeAsioConfig config;
    config.rate = 48000.0;
    config.rates[0] = 48000.0;
    config.rateCount = 1;
    configure(config);
    openAudio();
    ASSERT_EQ(audio->selectDriver(0), 0);
    EXPECT_TRUE(manager->isStarted());
    EXPECT_EQ(audio->getSampleRate(), 48000.f);
    EXPECT_EQ(manager->getDriverSampleRate(), 48000.0);
    EXPECT_TRUE(fake.waitSwitches(3, 5000));
}

TEST_F(AsioTest, DriverRateOutOfRangeAtLoadIsSetTo44100) {
    const double rates[] = {0.0, -1.0, 192000.0};
    openAudio();
    for (double rate : rates) {
        FakeAsioConfig config;
        config.rate = rate;
        configure(config);
        ASSERT_EQ(manager->selectDriver(0), 0) << rate;
        EXPECT_EQ(fake.counters().rate, 44100.0) << rate;
        EXPECT_EQ(manager->getDriverSampleRate(), 44100.0) << rate;
        manager->unloadDriver();
    }
}

TEST_F(AsioTest, AnswersTheDriversMessages) {
    openAudio();
    ASSERT_EQ(audio->selectDriver(0), 0);
    audio->stopDriver();
    // The callbacks stay with the driver until the buffers go: ask through them.
    ASSERT_EQ(manager->prepare(0), 0);
    struct Case {
        ASIOLong selector, value, answer;
    };
    const Case cases[] = {
        {kAsioSelectorSupported, kAsioEngineVersion, 1},
        {kAsioSelectorSupported, kAsioResetRequest, 1},
        {kAsioSelectorSupported, kAsioBufferSizeChange, 0},
        {kAsioSelectorSupported, kAsioResyncRequest, 1},
        {kAsioSelectorSupported, kAsioLatenciesChanged, 1},
        {kAsioSelectorSupported, kAsioSupportsTimeInfo, 1},
        {kAsioSelectorSupported, kAsioSupportsTimeCode, 1},
        {kAsioSelectorSupported, kAsioMMCCommand, 1},
        {kAsioSelectorSupported, 10, 0},
        {kAsioSelectorSupported, 0, 0},
        {kAsioEngineVersion, 0, 2},
        {kAsioResyncRequest, 0, 1},
        {kAsioLatenciesChanged, 0, 1},
        {kAsioSupportsTimeInfo, 0, 1},
        {kAsioBufferSizeChange, 512, 0},
        {kAsioSupportsTimeCode, 0, 0},
        {kAsioMMCCommand, 0, 0},
        {0, 0, 0},
        {99, 0, 0},
    };
    for (const Case& k : cases)
        EXPECT_EQ(fake.sendMessage(k.selector, k.value), k.answer) << k.selector << " " << k.value;
    EXPECT_EQ(fake.sendMessage(kAsioResetRequest, 0), 1);
}

TEST_F(AsioTest, ResetRequestRestartsOnTheUserInterfaceThread) {
    FakeAsioConfig config;
    config.realTime = 1;
    config.minSize = config.maxSize = config.preferredSize = 64;
    configure(config);
    openAudio();
    ASSERT_EQ(audio->selectDriver(0), 0);
    ASSERT_TRUE(fake.waitSwitches(2, 5000));
    FakeAsioCounters before = fake.counters();
    // A buffer size changed in the driver's panel comes with a reset request.
    config.minSize = config.maxSize = config.preferredSize = 128;
    configure(config);
    fake.postMessage(kAsioResetRequest, 0);
    // The driver's thread asks; nothing is reset until this thread runs its messages.
    DWORD start = GetTickCount();
    while (fake.counters().messageAnswers[kAsioResetRequest] != 1 && GetTickCount() - start < 5000)
        Sleep(1);
    ASSERT_EQ(fake.counters().messageAnswers[kAsioResetRequest], 1);
    EXPECT_EQ(fake.counters().creates, before.creates);
    pumpMessages();
    FakeAsioCounters after = fake.counters();
    EXPECT_EQ(after.callsFromDriverThread, 0);
    EXPECT_EQ(after.stops, before.stops + 1);
    EXPECT_EQ(after.disposes, before.disposes + 1);
    EXPECT_EQ(after.creates, before.creates + 1);
    EXPECT_EQ(after.starts, before.starts + 1);
    EXPECT_EQ(after.inits, before.inits);  // the driver stays loaded
    EXPECT_EQ(after.bufferSize, 128);
    EXPECT_EQ(manager->getBufferSize(), 128);
    EXPECT_EQ(manager->getLatency(), 128);
    EXPECT_EQ(manager->getOutput(0)->getRing().getCapacity(), 4 * 128);
    EXPECT_TRUE(manager->isStarted());
    EXPECT_EQ(audio->getDriver(), 0);
    EXPECT_TRUE(fake.waitSwitches(3, 5000));

    // A request that arrives after the driver was stopped restarts nothing.
    fake.postMessage(kAsioResetRequest, 0);
    Sleep(50);
    audio->stopDriver();
    pumpMessages();
    EXPECT_FALSE(manager->isStarted());
    EXPECT_EQ(fake.counters().starts, after.starts);
}

TEST_F(AsioTest, PushSendsOnlyTheReadyFramesAndSilenceAfterThem) {
    FakeAsioConfig config;
    config.sampleType = ASIOSTInt16LSB;
    config.minSize = config.maxSize = config.preferredSize = 64;
    configure(config);
    openAudio();
    ASSERT_EQ(manager->selectDriver(0), 0);
    ASSERT_EQ(manager->prepare(0), 0);
    AudioOut* out = manager->getOutput(0);
    int16_t* half = static_cast<int16_t*>(manager->getChannelBuffer(manager->getBufferInfoIndex(false, 0), 1));
    ASSERT_NE(half, nullptr);
    for (int round = 0; round < 6; ++round) {
        // Ten frames ready where the device takes 64.
        float* region = nullptr;
        int count = 0;
        out->getWriteRegion(10, &region, &count);
        ASSERT_EQ(count, 10);
        for (int i = 0; i < 10; ++i)
            region[i] = 0.5f;
        out->pushToDevice();
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(half[i], i < 10 ? 16383 : 0) << "round " << round << " frame " << i;
        EXPECT_EQ(out->getRing().readable(), 0);
        EXPECT_EQ(out->getFreeSpace(), 64);
    }

    // An input whose frames nobody reads fills its ring and then drops, never overrunning.
    AudioIn* in = manager->getInput(0);
    for (int round = 0; round < 8; ++round) {
        in->pullFromDevice();
        EXPECT_LT(in->getRing().readable(), in->getRing().getCapacity());
    }
    EXPECT_EQ(in->getRing().readable(), in->getRing().getCapacity() - 1);
}

TEST_F(AsioTest, OutputReadyFollowsEverySwitchWhenTheDriverSupportsIt) {
    for (int supported = 0; supported < 2; ++supported) {
        FakeAsioConfig config;
        config.outputReady = supported;
        configure(config);
        openAudio();
        ASSERT_EQ(audio->selectDriver(0), 0);
        ASSERT_TRUE(fake.waitSwitches(20, 5000));
        audio->stopDriver();
        FakeAsioCounters c = fake.counters();
        EXPECT_EQ(manager->supportsOutputReady(), supported == 1);
        // The probe at loading, then one per switch.
        EXPECT_EQ(c.outputReadies, supported ? 1 + c.switches : 1);
        delete audio;
        audio = nullptr;
        fake.resetCounters();
    }
}

}  // namespace
