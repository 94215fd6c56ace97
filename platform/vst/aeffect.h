// Our declarations of the VST 2.4 plug-in interface: the effect record, the dispatcher
// and host opcodes and their constants. 32-bit cdecl layout; offsets are checked below.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

typedef int16_t VstInt16;
typedef int32_t VstInt32;
typedef int64_t VstInt64;
typedef intptr_t VstIntPtr;

struct AEffect;

typedef VstIntPtr(VSTCALLBACK* audioMasterCallback)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                     VstIntPtr value, void* ptr, float opt);
typedef VstIntPtr(VSTCALLBACK* AEffectDispatcherProc)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                       VstIntPtr value, void* ptr, float opt);
typedef void(VSTCALLBACK* AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 sampleFrames);
typedef void(VSTCALLBACK* AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                                    VstInt32 sampleFrames);
typedef void(VSTCALLBACK* AEffectSetParameterProc)(AEffect* effect, VstInt32 index, float parameter);
typedef float(VSTCALLBACK* AEffectGetParameterProc)(AEffect* effect, VstInt32 index);

#define CCONST(a, b, c, d) \
    ((((VstInt32)(a)) << 24) | (((VstInt32)(b)) << 16) | (((VstInt32)(c)) << 8) | (((VstInt32)(d)) << 0))

const VstInt32 kEffectMagic = CCONST('V', 's', 't', 'P');
const VstInt32 kVstVersion = 2400;

struct AEffect {
    VstInt32 magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;  // accumulating
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    VstInt32 initialDelay;
    VstInt32 realQualities;
    VstInt32 offQualities;
    float ioRatio;
    void* object;
    void* user;
    VstInt32 uniqueID;
    VstInt32 version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

enum VstAEffectFlags {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1,
    effFlagsHasVu = 1 << 2,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsExtIsAsync = 1 << 10,
    effFlagsExtHasBuffer = 1 << 11,
    effFlagsCanDoubleReplacing = 1 << 12,
};

enum AEffectOpcodes {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop,
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effNumOpcodes
};

enum AudioMasterOpcodes {
    audioMasterAutomate = 0,
    audioMasterVersion,
    audioMasterCurrentId,
    audioMasterIdle,
    audioMasterPinConnected,
};

enum VstStringConstants {
    kVstMaxProgNameLen = 24,
    kVstMaxParamStrLen = 8,
    kVstMaxVendorStrLen = 64,
    kVstMaxProductStrLen = 64,
    kVstMaxEffectNameLen = 32,
};

// The plug-in and the standalone host are 32-bit Windows binaries; the native build
// only uses the constants, so the layout checks hold for the 32-bit build alone.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(AEffect) == 144, "AEffect size");
static_assert(offsetof(AEffect, dispatcher) == 4, "AEffect.dispatcher");
static_assert(offsetof(AEffect, numPrograms) == 20, "AEffect.numPrograms");
static_assert(offsetof(AEffect, flags) == 36, "AEffect.flags");
static_assert(offsetof(AEffect, initialDelay) == 48, "AEffect.initialDelay");
static_assert(offsetof(AEffect, ioRatio) == 60, "AEffect.ioRatio");
static_assert(offsetof(AEffect, object) == 64, "AEffect.object");
static_assert(offsetof(AEffect, uniqueID) == 72, "AEffect.uniqueID");
static_assert(offsetof(AEffect, version) == 76, "AEffect.version");
static_assert(offsetof(AEffect, processReplacing) == 80, "AEffect.processReplacing");
static_assert(offsetof(AEffect, processDoubleReplacing) == 84, "AEffect.processDoubleReplacing");
static_assert(offsetof(AEffect, future) == 88, "AEffect.future");
#endif
