// A temporary installation for the standalone's host side: the built plug-in and the
// recording probe plug-in copied into it, both registered under "SOFTWARE\Vantrope", and
// the list of installed instruments read from the registry as the program's start does.
#pragma once

#include <windows.h>

#include <string>
#include <thread>
#include <atomic>
#include <new>

#include "host/test_host.h"
#include "plugin_library.h"
#include "probe_plugin.h"

class StandaloneInstall {
public:
    explicit StandaloneInstall(int outputs = 10, bool withPlugin = true, bool withProbe = true) {
        if (withPlugin)
            CopyFileA(TestHost::pluginPath(outputs).c_str(), install.path("Halvorn.dll").c_str(), FALSE);
        if (withProbe) {
            CopyFileA((TestHost::programDir() + "Probe.dll").c_str(), install.path("Probe.dll").c_str(), FALSE);
            registerInstrument("Probe", install.dir());
        }
        scanInstalledInstruments();
    }
    ~StandaloneInstall() {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantrope\\Probe");
        scanInstalledInstruments();
    }

    static void registerInstrument(const std::string& name, const std::string& dir) {
        HKEY key;
        std::string path = "SOFTWARE\\Vantrope\\" + name;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
            return;
        RegSetValueExA(key, "installdir", 0, REG_SZ, (const BYTE*)dir.c_str(), (DWORD)dir.size() + 1);
        RegCloseKey(key);
    }

    // The probe's record and configuration of this installation's copy (loaded by path, so
    // each installation's probe starts afresh).
    ProbeConfig* probeConfig() { return ((ProbeConfigProc)(void*)GetProcAddress(probeModule(), "probeConfig"))(); }
    ProbeRecord* probeRecord() { return ((ProbeRecordProc)(void*)GetProcAddress(probeModule(), "probeRecord"))(); }
    void probeCallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt = 0.f) {
        ((ProbeCallHostProc)(void*)GetProcAddress(probeModule(), "probeCallHost"))(opcode, index, value, opt);
    }
    HMODULE probeModule() {
        HMODULE module = GetModuleHandleA(install.path("Probe.dll").c_str());
        return module ? module : LoadLibraryA(install.path("Probe.dll").c_str());
    }

    TestInstall install;
};

// Closes the message box the library loader shows, noting its title and text.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() {
        worker = std::thread([this] {
            for (int i = 0; i < 1000 && !done; i++) {
                HWND box = FindWindowA("#32770", nullptr);
                if (box) {
                    char text[256] = {0}, title[256] = {0};
                    GetWindowTextA(box, title, sizeof(title));
                    HWND label = GetDlgItem(box, 0xFFFF);
                    if (label) GetWindowTextA(label, text, sizeof(text));
                    seenTitle = title;
                    seenText = text;
                    seen = true;
                    PostMessageA(box, WM_COMMAND, IDOK, 0);
                    return;
                }
                Sleep(10);
            }
        });
    }
    ~MessageBoxWatcher() { stop(); }
    void stop() {
        done = true;
        if (worker.joinable()) worker.join();
    }

    std::atomic<bool> done{false};
    bool seen = false;
    std::string seenTitle, seenText;

private:
    std::thread worker;
};

// The recording probe's record, shared with the program's process through a file mapping
// that this test makes before the program starts.
class SharedProbeRecord {
public:
    SharedProbeRecord() {
        std::string name = "HalvornProbeRecord" + std::to_string(GetCurrentProcessId());
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeRecord), name.c_str());
        if (mapping) view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeRecord));
        if (view) record = new (view) ProbeRecord;
        SetEnvironmentVariableA(kProbeSharedRecordVariable, name.c_str());
    }
    ~SharedProbeRecord() {
        SetEnvironmentVariableA(kProbeSharedRecordVariable, nullptr);
        if (view) UnmapViewOfFile(view);
        if (mapping) CloseHandle(mapping);
    }
    volatile ProbeRecord* record = nullptr;

private:
    HANDLE mapping = nullptr;
    void* view = nullptr;
};
