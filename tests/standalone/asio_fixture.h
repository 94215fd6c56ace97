// Test support for the ASIO back end: the test driver registered in the test's own wine
// prefix, and an Audio whose ASIO back end has a window of its own.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asio_manager.h"
#include "fake_asio/fake_asio_client.h"
#include "host/test_host.h"

// One registered test driver named "Test Driver" and an Audio whose protocol 1 is the ASIO
// back end, created after the registration (the back end reads the list when it is made).
class AsioTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fake.ready());
        FakeAsio::clearDrivers();
        ASSERT_TRUE(fake.registerClass());
        ASSERT_TRUE(FakeAsio::addDriver("Test Driver", "Test Driver"));
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
