// The test ASIO driver seen from the program that uses it: registers it in the wine prefix
// under chosen names and loads the same module that COM loads, to configure and read it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "fake_asio.h"

class FakeAsio {
public:
    FakeAsio() {
        char self[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        path = self;
        path = path.substr(0, path.find_last_of('\\') + 1) + "fake_asio.dll";
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
    bool registerClass(const char* clsid = FAKE_ASIO_CLSID_TEXT) const {
        std::string key = std::string("CLSID\\") + clsid + "\\InprocServer32";
        return setValue(HKEY_CLASSES_ROOT, key, nullptr, path) &&
               setValue(HKEY_CLASSES_ROOT, key, "ThreadingModel", "Both");
    }
    static bool addDriver(const std::string& key, const std::string& description,
                          const char* clsid = FAKE_ASIO_CLSID_TEXT) {
        std::string full = "SOFTWARE\\ASIO\\" + key;
        return setValue(HKEY_LOCAL_MACHINE, full, "CLSID", clsid) &&
               (description.empty() || setValue(HKEY_LOCAL_MACHINE, full, "Description", description));
    }
    static bool setValue(HKEY root, const std::string& key, const char* name, const std::string& value) {
        HKEY handle;
        if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
            ERROR_SUCCESS)
            return false;
        LONG result = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>(value.size() + 1));
        RegCloseKey(handle);
        return result == ERROR_SUCCESS;
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

