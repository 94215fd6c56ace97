// Test support for the ASIO back end: registers the test driver in the test's wine prefix
// under chosen names, loads the same module COM loads to configure and read it, and gives
// the back end a window of its own.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asio_manager.h"
#include "fake_asio/fake_asio.h"
#include "host/test_host.h"

class FakeAsio {
public:
    FakeAsio() {
        path = TestHost::programDir() + "fake_asio.dll";
        module = LoadLibraryA(path.c_str());
        if (!module)
            return;
        configure = (FakeAsioConfigureFn)(void*)GetProcAddress(module, "fakeAsioConfigure");
        readCounters = (FakeAsioCountersFn)(void*)GetProcAddress(module, "fakeAsioCounters");
        resetCounters = (FakeAsioResetCountersFn)(void*)GetProcAddress(module, "fakeAsioResetCounters");
        captured = (FakeAsioCapturedFn)(void*)GetProcAddress(module, "fakeAsioCaptured");
        setInput = (FakeAsioSetInputFn)(void*)GetProcAddress(module, "fakeAsioSetInput");
        postMessage = (FakeAsioPostMessageFn)(void*)GetProcAddress(module, "fakeAsioPostMessage");
        sendMessage = (FakeAsioSendMessageFn)(void*)GetProcAddress(module, "fakeAsioSendMessage");
        waitSwitches = (FakeAsioWaitSwitchesFn)(void*)GetProcAddress(module, "fakeAsioWaitSwitches");
        FakeAsioConfig defaults;
        if (configure)
            configure(&defaults);
        if (resetCounters)
            resetCounters();
    }
    ~FakeAsio() {
        if (module)
            FreeLibrary(module);
    }
    bool ready() const {
        return module && configure && readCounters && resetCounters && captured && setInput && postMessage && sendMessage &&
               waitSwitches;
    }

    FakeAsioCounters counters() const {
        FakeAsioCounters c;
        readCounters(&c);
        return c;
    }
    std::vector<uint8_t> output(int channel) const {
        std::vector<uint8_t> bytes(captured(channel, nullptr, 0));
        captured(channel, bytes.data(), static_cast<int32_t>(bytes.size()));
        return bytes;
    }

    // The registry entries that list drivers: HKLM "SOFTWARE\ASIO\<key>" with the class id and
    // (unless empty) a description; the class's in-process server is this module.
    static void clearDrivers() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ASIO"); }
    void registerClass(const char* clsid = FAKE_ASIO_CLSID_TEXT, const std::string& server = "") const {
        std::string key = std::string("CLSID\\") + clsid + "\\InprocServer32";
        setValue(HKEY_CLASSES_ROOT, key, nullptr, server.empty() ? path : server);
        setValue(HKEY_CLASSES_ROOT, key, "ThreadingModel", "Both");
    }
    static void addDriver(const std::string& key, const std::string& description,
                          const char* clsid = FAKE_ASIO_CLSID_TEXT) {
        std::string full = "SOFTWARE\\ASIO\\" + key;
        setValue(HKEY_LOCAL_MACHINE, full, "CLSID", clsid);
        if (!description.empty())
            setValue(HKEY_LOCAL_MACHINE, full, "Description", description);
    }
    static void setValue(HKEY root, const std::string& key, const char* name, const std::string& value) {
        HKEY handle;
        ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(handle);
    }

    std::string path;
    HMODULE module = nullptr;
    FakeAsioConfigureFn configure = nullptr;
    FakeAsioCountersFn readCounters = nullptr;
    FakeAsioResetCountersFn resetCounters = nullptr;
    FakeAsioCapturedFn captured = nullptr;
    FakeAsioSetInputFn setInput = nullptr;
    FakeAsioPostMessageFn postMessage = nullptr;
    FakeAsioSendMessageFn sendMessage = nullptr;
    FakeAsioWaitSwitchesFn waitSwitches = nullptr;
};

// One registered test driver named "Test Driver" and an Audio whose protocol 1 is the ASIO
// back end, created after the registration (the back end reads the list when it is made).
class AsioTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fake.ready());
        FakeAsio::clearDrivers();
        fake.registerClass();
        FakeAsio::addDriver("Test Driver", "Test Driver");
        window = CreateWindowExA(0, "STATIC", "asio test", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        delete audio;
        audio = nullptr;
        if (window)
            DestroyWindow(window);
        FakeAsio::clearDrivers();
    }
    // Makes the Audio with the back end as protocol 1 and selects that protocol.
    AsioManager* openAudio() {
        audio = new Audio;
        manager = new AsioManager(audio, window);
        audio->setBackEnd(Audio::kProtocolAsio, manager);
        EXPECT_EQ(audio->selectProtocol(Audio::kProtocolAsio), 0);
        return manager;
    }
    void configure(const FakeAsioConfig& config) { fake.configure(&config); }
    // Runs the user-interface thread's messages (the back end's reset requests arrive there).
    static void pumpMessages() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    FakeAsio fake;
    HWND window = nullptr;
    Audio* audio = nullptr;
    AsioManager* manager = nullptr;
};
