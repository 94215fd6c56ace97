// Creation of the plug-in object: null when the host gives no version or construction fails.
#pragma once

#include "vst/audioeffect.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster);
