// Counts the loads and unloads of one library in this process as the loader reports them
// (its notification of mapped and unmapped images), whoever asks for the library.
#pragma once

#include <windows.h>

#include <atomic>
#include <cwchar>

class ModuleLoads {
public:
    // baseName: the library's file name, such as L"Dorvane.dll" (any case).
    explicit ModuleLoads(const wchar_t* baseName) : name(baseName) {
        auto registerNotification = reinterpret_cast<RegisterProc>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "LdrRegisterDllNotification")));
        if (registerNotification) registered = registerNotification(0, &ModuleLoads::notify, this, &cookie) == 0;
    }
    ~ModuleLoads() {
        auto unregisterNotification = reinterpret_cast<UnregisterProc>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "LdrUnregisterDllNotification")));
        if (registered && unregisterNotification) unregisterNotification(cookie);
    }
    ModuleLoads(const ModuleLoads&) = delete;
    ModuleLoads& operator=(const ModuleLoads&) = delete;

    bool watching() const { return registered; }
    int loads() const { return loaded; }
    int unloads() const { return unloaded; }

private:
    struct CountedText {
        USHORT length;  // bytes
        USHORT capacity;
        const wchar_t* text;
    };
    // The loaded and unloaded notices share this layout.
    struct Notice {
        ULONG flags;
        const CountedText* fullName;
        const CountedText* baseName;
        void* base;
        ULONG size;
    };
    enum { kLoaded = 1, kUnloaded = 2 };
    typedef void(CALLBACK* NotifyProc)(ULONG reason, const Notice* notice, void* context);
    typedef LONG(NTAPI* RegisterProc)(ULONG flags, NotifyProc notify, void* context, void** cookie);
    typedef LONG(NTAPI* UnregisterProc)(void* cookie);

    static void CALLBACK notify(ULONG reason, const Notice* notice, void* context) {
        ModuleLoads* self = static_cast<ModuleLoads*>(context);
        if (!notice || !notice->baseName || !notice->baseName->text) return;
        size_t length = notice->baseName->length / sizeof(wchar_t);
        if (length != std::wcslen(self->name) || _wcsnicmp(notice->baseName->text, self->name, length) != 0) return;
        if (reason == kLoaded) self->loaded++;
        if (reason == kUnloaded) self->unloaded++;
    }

    const wchar_t* name;
    void* cookie = nullptr;
    bool registered = false;
    std::atomic<int> loaded{0};
    std::atomic<int> unloaded{0};
};
