// Creation of the plug-in object, shared by the library's entry points and the native
// benchmark harness.
#include "core/create_effect.h"

#include <new>

#include "core/halvorn.h"

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
