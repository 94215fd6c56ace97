#include "vst/audioeffect.h"

#include <cstdio>
#include <cstring>
#include <cmath>

#include "vstgui/aeffeditor.h"

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster),
      editor(nullptr),
      sampleRate(44100.f),
      blockSize(1024),
      numPrograms(numPrograms),
      numParams(numParams),
      curProgram(0) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.processReplacing = processClassReplacing;
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.f;
    cEffect.object = this;
    cEffect.uniqueID = CCONST('N', 'o', 'E', 'f');
    cEffect.version = 1;
    canProcessReplacing();
}

AudioEffect::~AudioEffect() {
    delete editor;
    editor = nullptr;
}

void AudioEffect::setFlag(VstInt32 flag, bool state) {
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    // Text opcodes with no buffer are refused: there is nowhere to write.
    switch (opcode) {
        case effOpen: open(); break;
        case effClose: close(); break;
        case effSetProgram:
            if (value >= 0 && value < numPrograms) setProgram((VstInt32)value);
            break;
        case effGetProgram: return getProgram();
        case effSetProgramName:
            if (ptr) setProgramName((char*)ptr);
            break;
        case effGetProgramName:
            if (ptr) getProgramName((char*)ptr);
            break;
        case effGetParamLabel:
            if (ptr) getParameterLabel(index, (char*)ptr);
            break;
        case effGetParamDisplay:
            if (ptr) getParameterDisplay(index, (char*)ptr);
            break;
        case effGetParamName:
            if (ptr) getParameterName(index, (char*)ptr);
            break;
        case effGetVu: return (VstIntPtr)(getVu() * 32767.f);
        case effSetSampleRate: setSampleRate(opt); break;
        case effSetBlockSize: setBlockSize((VstInt32)value); break;
        case effMainsChanged:
            if (value == 0)
                suspend();
            else
                resume();
            break;
        case effEditGetRect:
            if (editor && ptr) return editor->getRect((ERect**)ptr) ? 1 : 0;
            break;
        case effEditOpen:
            if (editor) return editor->open(ptr) ? 1 : 0;
            break;
        case effEditClose:
            if (editor) editor->close();
            break;
        case effEditIdle:
            if (editor) editor->idle();
            break;
        case effIdentify: return CCONST('N', 'v', 'E', 'f');
        case effGetChunk:
            if (ptr) return getChunk((void**)ptr, index != 0);
            break;
        case effSetChunk: return setChunk(ptr, (VstInt32)value, index != 0);
        default: break;
    }
    return 0;
}

VstInt32 AudioEffect::getMasterVersion() {
    VstInt32 version = (VstInt32)callHost(audioMasterVersion);
    return version ? version : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() { return (VstInt32)callHost(audioMasterCurrentId); }

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

bool AudioEffect::isInputConnected(VstInt32 input) {
    return audioMaster ? callHost(audioMasterPinConnected, input, 0) == 0 : true;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    return audioMaster ? callHost(audioMasterPinConnected, output, 1) == 0 : true;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

static void writeText(char* text, VstInt32 maxLen, const char* format, double value) {
    if (!text || maxLen <= 0) return;
    std::snprintf(text, (size_t)maxLen, format, value);
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) {
    if (value <= 0.f) {
        if (text && maxLen > 0) std::snprintf(text, (size_t)maxLen, "-oo");
        return;
    }
    writeText(text, maxLen, "%.2f", 20.0 * std::log10((double)value));
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
    if (samples == 0.f)
        writeText(text, maxLen, "%.0f", 0.0);
    else
        writeText(text, maxLen, "%.2f", sampleRate / samples);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
    writeText(text, maxLen, "%.2f", samples * 1000.0 / sampleRate);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) {
    writeText(text, maxLen, "%.3f", value);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
    writeText(text, maxLen, "%.0f", (double)value);
}

VstIntPtr VSTCALLBACK AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                       void* ptr, float opt) {
    AudioEffect* effect = (AudioEffect*)e->object;
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

float VSTCALLBACK AudioEffect::getParameterClass(AEffect* e, VstInt32 index) {
    AudioEffect* effect = (AudioEffect*)e->object;
    return index < 0 ? 0.f : effect->getParameter(index);
}

void VSTCALLBACK AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value) {
    AudioEffect* effect = (AudioEffect*)e->object;
    if (index >= 0) effect->setParameter(index, value);
}

void VSTCALLBACK AudioEffect::processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
    ((AudioEffect*)e->object)->process(inputs, outputs, sampleFrames);
}

void VSTCALLBACK AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                                    VstInt32 sampleFrames) {
    ((AudioEffect*)e->object)->processReplacing(inputs, outputs, sampleFrames);
}

void VSTCALLBACK AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                                          VstInt32 sampleFrames) {
    ((AudioEffect*)e->object)->processDoubleReplacing(inputs, outputs, sampleFrames);
}
