// The library's exports and DLL entry.
#include <windows.h>

#include "core/create_effect.h"

// The editor's GUI framework finds the library's bitmaps and window classes through it.
void* hInstance = nullptr;

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    if (!audioMaster || !audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.f)) return nullptr;
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    hInstance = instance;
    return TRUE;
}
