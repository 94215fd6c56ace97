// The plug-in's entry for the native harness: what the library's exports do, without the
// Windows library around them.
#include <new>

#include "core/halvorn.h"

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
