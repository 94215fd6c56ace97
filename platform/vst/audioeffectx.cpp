#include "vst/audioeffectx.h"

#include <cstdlib>
#include <cstring>

#include "vstgui/aeffeditor.h"

AudioEffectX::AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : AudioEffect(audioMaster, numPrograms, numParams) {}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    switch (opcode) {
        case effProcessEvents: return ptr ? processEvents((VstEvents*)ptr) : 0;
        case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
        case effString2Parameter: return string2parameter(index, (char*)ptr) ? 1 : 0;
        case effGetNumProgramCategories: return getNumCategories();
        case effGetProgramNameIndexed:
            if (index < 0 || !ptr) return 0;
            return getProgramNameIndexed((VstInt32)value, index, (char*)ptr) ? 1 : 0;
        case effCopyProgram:
            if (index < 0) return 0;
            return copyProgram(index) ? 1 : 0;
        case effConnectInput: inputConnected(index, value != 0); return 1;
        case effConnectOutput: outputConnected(index, value != 0); return 1;
        case effGetInputProperties: return ptr && getInputProperties(index, (VstPinProperties*)ptr) ? 1 : 0;
        case effGetOutputProperties: return ptr && getOutputProperties(index, (VstPinProperties*)ptr) ? 1 : 0;
        case effGetPlugCategory: return getPlugCategory();
        case effGetCurrentPosition: return reportCurrentPosition();
        case effGetDestinationBuffer: return (VstIntPtr)reportDestinationBuffer();
        case effOfflineNotify: return offlineNotify((VstAudioFile*)ptr, (VstInt32)value, index != 0) ? 1 : 0;
        case effOfflinePrepare: return offlinePrepare((VstOfflineTask*)ptr, (VstInt32)value) ? 1 : 0;
        case effOfflineRun: return offlineRun((VstOfflineTask*)ptr, (VstInt32)value) ? 1 : 0;
        case effProcessVarIo: return processVariableIo((VstVariableIo*)ptr) ? 1 : 0;
        case effSetSpeakerArrangement:
            return setSpeakerArrangement((VstSpeakerArrangement*)value, (VstSpeakerArrangement*)ptr) ? 1 : 0;
        case effSetBlockSizeAndSampleRate: setBlockSizeAndSampleRate((VstInt32)value, opt); return 1;
        case effSetBypass: return setBypass(value != 0) ? 1 : 0;
        case effGetEffectName: return ptr && getEffectName((char*)ptr) ? 1 : 0;
        case effGetErrorText: return ptr && getErrorText((char*)ptr) ? 1 : 0;
        case effGetVendorString: return ptr && getVendorString((char*)ptr) ? 1 : 0;
        case effGetProductString: return ptr && getProductString((char*)ptr) ? 1 : 0;
        case effGetVendorVersion: return getVendorVersion();
        case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
        case effCanDo: return ptr ? canDo((char*)ptr) : 0;
        case effGetTailSize: return getGetTailSize();
        case effIdle: return fxIdle();
        case effGetIcon: return (VstIntPtr)getIcon();
        case effSetViewPosition: return setViewPosition(index, (VstInt32)value) ? 1 : 0;
        case effGetParameterProperties:
            return ptr && getParameterProperties(index, (VstParameterProperties*)ptr) ? 1 : 0;
        case effKeysRequired: return keysRequired() ? 0 : 1;
        case effGetVstVersion: return getVstVersion();
        case effEditKeyDown:
        case effEditKeyUp:
            if (editor) {
                VstKeyCode key;
                key.character = index;
                key.virt = (unsigned char)value;
                key.modifier = (unsigned char)opt;
                bool taken = opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
                return taken ? 1 : 0;
            }
            return 0;
        case effSetEditKnobMode: return editor && editor->setKnobMode((VstInt32)value) ? 1 : 0;
        case effGetMidiProgramName: return getMidiProgramName(index, (MidiProgramName*)ptr);
        case effGetCurrentMidiProgram: return getCurrentMidiProgram(index, (MidiProgramName*)ptr);
        case effGetMidiProgramCategory: return getMidiProgramCategory(index, (MidiProgramCategory*)ptr);
        case effHasMidiProgramsChanged: return hasMidiProgramsChanged(index) ? 1 : 0;
        case effGetMidiKeyName: return getMidiKeyName(index, (MidiKeyName*)ptr) ? 1 : 0;
        case effBeginSetProgram: return beginSetProgram() ? 1 : 0;
        case effEndSetProgram: return endSetProgram() ? 1 : 0;
        case effGetSpeakerArrangement:
            return getSpeakerArrangement((VstSpeakerArrangement**)value, (VstSpeakerArrangement**)ptr) ? 1 : 0;
        case effShellGetNextPlugin: return getNextShellPlugin((char*)ptr);
        case effStartProcess: return startProcess();
        case effStopProcess: return stopProcess();
        case effSetTotalSampleToProcess: return setTotalSampleToProcess((VstInt32)value);
        case effSetPanLaw: return setPanLaw((VstInt32)value, opt) ? 1 : 0;
        case effBeginLoadBank: return beginLoadBank((VstPatchChunkInfo*)ptr);
        case effBeginLoadProgram: return beginLoadProgram((VstPatchChunkInfo*)ptr);
        case effSetProcessPrecision: return setProcessPrecision((VstInt32)value) ? 1 : 0;
        case effGetNumMidiInputChannels: return getNumMidiInputChannels();
        case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
        default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume() {
    if ((cEffect.flags & effFlagsIsSynth) || canDo((char*)"receiveVstMidiEvent") == 1) wantEvents(1);
}

bool AudioEffectX::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffectX::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }
bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }

double AudioEffectX::updateSampleRate() {
    VstIntPtr rate = callHost(audioMasterGetSampleRate);
    if (rate > 0) sampleRate = (float)rate;
    return sampleRate;
}

VstInt32 AudioEffectX::updateBlockSize() {
    VstIntPtr size = callHost(audioMasterGetBlockSize);
    if (size > 0) blockSize = (VstInt32)size;
    return blockSize;
}

VstInt32 AudioEffectX::getInputLatency() { return (VstInt32)callHost(audioMasterGetInputLatency); }
VstInt32 AudioEffectX::getOutputLatency() { return (VstInt32)callHost(audioMasterGetOutputLatency); }

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) {
    if (in) *in = nullptr;
    if (out) *out = nullptr;
    return false;
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return (VstTimeInfo*)callHost(audioMasterGetTime, 0, filter);
}

VstInt32 AudioEffectX::getCurrentProcessLevel() { return (VstInt32)callHost(audioMasterGetCurrentProcessLevel); }
VstInt32 AudioEffectX::getAutomationState() { return (VstInt32)callHost(audioMasterGetAutomationState); }

bool AudioEffectX::getHostVendorString(char* text) {
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text) {
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

VstInt32 AudioEffectX::getHostVendorVersion() { return (VstInt32)callHost(audioMasterGetVendorVersion); }

VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 arg1, VstIntPtr arg2, void* ptrArg, float floatArg) {
    return callHost(audioMasterVendorSpecific, arg1, arg2, ptrArg, floatArg);
}

bool AudioEffectX::canHostDo(char* text) { return callHost(audioMasterCanDo, 0, 0, text) != 0; }
VstInt32 AudioEffectX::getHostLanguage() { return (VstInt32)callHost(audioMasterGetLanguage); }
void* AudioEffectX::getDirectory() { return (void*)callHost(audioMasterGetDirectory); }

VstPlugCategory AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

bool AudioEffectX::openFileSelector(VstFileSelect* ptr) {
    return ptr && callHost(audioMasterOpenFileSelector, 0, 0, ptr) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* ptr) {
    return ptr && callHost(audioMasterCloseFileSelector, 0, 0, ptr) != 0;
}

bool AudioEffectX::getChunkFile(void* nativePath) {
    return nativePath && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}

static size_t arrangementBytes(VstInt32 channels) {
    size_t count = channels > 8 ? (size_t)channels : 8;
    return sizeof(VstSpeakerArrangement) + (count - 8) * sizeof(VstSpeakerProperties);
}

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 channels) {
    if (!arrangement || channels < 0) return false;
    std::free(*arrangement);
    *arrangement = (VstSpeakerArrangement*)std::calloc(1, arrangementBytes(channels));
    if (!*arrangement) return false;
    (*arrangement)->numChannels = channels;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement) {
    if (arrangement) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
    if (!to || !from) return false;
    std::strncpy(to->name, from->name, 63);
    to->name[63] = 0;
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof(to->future));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
    if (!to || !from) return false;
    if (!allocateArrangement(to, from->numChannels)) return false;
    (*to)->type = from->type;
    for (VstInt32 i = 0; i < from->numChannels; i++)
        if (!copySpeaker(&(*to)->speakers[i], &from->speakers[i])) return false;
    return true;
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstInt32 option, bool readSource) {
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstInt32 option) {
    return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}

bool AudioEffectX::offlineStart(VstAudioFile* ptr, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles) {
    return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, ptr) != 0;
}

VstInt32 AudioEffectX::offlineGetCurrentPass() { return callHost(audioMasterOfflineGetCurrentPass) != 0; }
VstInt32 AudioEffectX::offlineGetCurrentMetaPass() { return callHost(audioMasterOfflineGetCurrentMetaPass) != 0; }

void AudioEffectX::wantEvents(VstInt32 filter) { callHost(audioMasterWantMidi, 0, filter); }
VstInt32 AudioEffectX::tempoAt(VstInt32 pos) { return (VstInt32)callHost(audioMasterTempoAt, 0, pos); }

VstInt32 AudioEffectX::getNumAutomatableParameters() {
    return (VstInt32)callHost(audioMasterGetNumAutomatableParameters);
}

VstInt32 AudioEffectX::getParameterQuantization() {
    return (VstInt32)callHost(audioMasterGetParameterQuantization);
}

bool AudioEffectX::needIdle() { return callHost(audioMasterNeedIdle) != 0; }
AEffect* AudioEffectX::getPreviousPlug(VstInt32 input) { return (AEffect*)callHost(audioMasterGetPreviousPlug); }
AEffect* AudioEffectX::getNextPlug(VstInt32 output) { return (AEffect*)callHost(audioMasterGetNextPlug); }
VstInt32 AudioEffectX::willProcessReplacing() { return (VstInt32)callHost(audioMasterWillReplaceOrAccumulate); }

VstIntPtr AudioEffectX::setOutputSamplerate(float samplerate) {
    return callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate);
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() {
    return (VstSpeakerArrangement*)callHost(audioMasterGetInputSpeakerArrangement);
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
    return (VstSpeakerArrangement*)callHost(audioMasterGetOutputSpeakerArrangement);
}

void* AudioEffectX::openWindow(VstWindow* window) { return (void*)callHost(audioMasterOpenWindow, 0, 0, window); }
bool AudioEffectX::closeWindow(VstWindow* window) { return callHost(audioMasterCloseWindow, 0, 0, window) != 0; }

// Through the virtual setters, so a derived class (and its engine) hears the new rate.
void AudioEffectX::setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate) {
    setBlockSize(newBlockSize);
    setSampleRate(newSampleRate);
}
