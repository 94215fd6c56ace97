// The library's exports and DLL entry.
#include <windows.h>

#include <new>

#include "core/halvorn.h"

// The editor's GUI framework finds the library's bitmaps and window classes through it.
void* hInstance = nullptr;

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    if (!audioMaster || !audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.f)) return nullptr;
    Halvorn* effect = new (std::nothrow) Halvorn(audioMaster);
    if (!effect) return nullptr;
    if (effect->creationFailed()) {
        delete effect;
        return nullptr;
    }
    return effect;
}

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    if (!audioMaster || !audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.f)) return nullptr;
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    hInstance = instance;
    return TRUE;
}
