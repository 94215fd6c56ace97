#include "core/halvorn.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/number_text.h"
#include "core/parameter_table.h"
#include "core/preset_keys.h"
#include "editor/halvorn_edit.h"
#include "presets/file_io.h"
#include "presets/install_settings.h"

static void copyText(char* out, const char* text) {
    if (out) std::strcpy(out, text);
}

Halvorn::Halvorn(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, halvorn::kNumPrograms, halvorn::kNumParams),
      paramFreqEcout(0),
      patchClipboardFilled(0),
      programChangePending(0),
      presetLoadSuppressed(0),
      presetStatusA(0),
      presetStatusB(0),
      midiMapModified(0),
      masterChannelCount(2),
      programs(nullptr),
      programCount(halvorn::kNumPrograms),
      engineSampleRate(44100.f),
      tempo(120.0),
      midiActivity(0),
      learnCount(0),
      learnArmed(0),
      bankCount(0),
      subBankCount(0),
      presetCount(0),
      bankIndex(0),
      subBankIndex(0),
      presetIndex(0),
      newPresetRequest(0),
      newSubBankRequest(0),
      newBankRequest(0),
      usedPatchCount(0),
      busy(0),
      editorOriginX(0),
      editorOriginY(0),
      interrupted(0),
      installSettings(nullptr),
      commandObserver(nullptr),
      applyingProgram(false),
      patchSendsDeferred(false),
      constructionFailed(false),
      listeningToTree(false),
      usingTree(false) {
    std::memset(&command, 0, sizeof(command));
    std::memset(textBuffer, 0, sizeof(textBuffer));
    std::memset(&patchClipboard, 0, sizeof(patchClipboard));
    std::memset(currentBankName, 0, sizeof(currentBankName));
    std::memset(currentSubBankName, 0, sizeof(currentSubBankName));
    std::memset(currentPresetName, 0, sizeof(currentPresetName));
    std::memset(loadedBankName, 0, sizeof(loadedBankName));
    std::memset(loadedSubBankName, 0, sizeof(loadedSubBankName));
    std::memset(loadedPresetName, 0, sizeof(loadedPresetName));
    for (int& entry : learnQueue) entry = -1;
    for (int& flag : patchLoaded) flag = 0;
    resetParameterApplication();
    holdFileAccess();

    // The settings outlive this instance: the shared tree keeps those of its creator.
    installSettings = new (std::nothrow) InstallSettings("VEXA");
    if (!installSettings) {
        constructionFailed = true;
        return;
    }
    installSettings->setInstallInfo("Software\\Vantrope\\Halvorn", "Your Halvorn is not correcty installed");
    installSettings->setDialogInfo(".ays", "Halvorn Preset File (*.ays)|*.ays||");

    if (!gPresetTree) gPresetTree = new (std::nothrow) PresetTree(installSettings);
    if (!gPresetTree) {
        constructionFailed = true;
        return;
    }
    gPresetTreeUsers++;
    usingTree = true;
    gPresetTree->addListener(this);
    listeningToTree = true;
    if (gPresetTree->countRunningInstances() == 1) gPresetTree->scanSaveDir();

    if (!createHalvornEdit(this)) {
        constructionFailed = true;
        return;
    }

    // Zero-filled: no uninitialised byte may reach the engine or a host's chunk.
    programs = new (std::nothrow) ProgramRecord[programCount]();
    if (!programs) {
        constructionFailed = true;
        return;
    }
    engineSampleRate = 44100.f;
    masterChannelCount = 2;

    if (audioMaster) {
        setNumInputs(0);
        setNumOutputs(halvorn::kNumOutputs);
        setUniqueID(halvorn::kUniqueId);
        canProcessReplacing(true);
        hasVu(false);
        hasClip(false);
        programsAreChunks(true);
        isSynth(true);
    }

    startEngine();

    if (readControlMidi() != 0) {
        constructionFailed = true;
        return;
    }

    bankIndex = subBankIndex = presetIndex = 0;
    bankCount = subBankCount = presetCount = 0;
    curProgram = 0;
    programChangePending = 0;
    presetLoadSuppressed = presetStatusA = presetStatusB = 0;
    bankCount = gPresetTree->getNbBanksWithAll();
    subBankCount = gPresetTree->getNbSubBanks(0);
    presetCount = gPresetTree->getNbPresets(0, 0);

    if (loadCurrentPreset() != 0) {
        constructionFailed = true;
        return;
    }
    paramFreqEcout++;
    saveCurrentPreset();

    bankIndex = bankCount - 1;
    subBankIndex = 8;
    presetIndex = 19;
    subBankCount = gPresetTree->getNbSubBanks(bankIndex);
    presetCount = gPresetTree->getNbPresets(bankIndex, subBankIndex);
    // Stored as index / count; an empty level stores 0 rather than dividing by zero.
    GlobalSlots& browser = programs[0].globals;
    browser.browserBank = bankCount > 0 ? (float)bankIndex / (float)bankCount : 0.f;
    browser.browserSubBank = subBankCount > 0 ? (float)subBankIndex / (float)subBankCount : 0.f;
    browser.browserPreset = presetCount > 0 ? (float)presetIndex / (float)presetCount : 0.f;
    if (loadCurrentPreset() != 0) {
        constructionFailed = true;
        return;
    }
}

Halvorn::~Halvorn() {
    if (midiMapModified) writeControlMidi();
    if (listeningToTree && gPresetTree) gPresetTree->removeListener(this);
    delete[] programs;
    programs = nullptr;
    engine.freeBuffers();
    if (usingTree && --gPresetTreeUsers <= 0) {
        gPresetTreeUsers = 0;
        if (gPresetTree) {
            gPresetTree->clear();
            delete gPresetTree;
            gPresetTree = nullptr;
        }
    }
    releaseFileAccess();
}

void Halvorn::resume() { wantEvents(1); }

void Halvorn::setBlockSize(VstInt32 size) { AudioEffect::setBlockSize(size); }

void Halvorn::setParameterAutomated(VstInt32 index, float value) {
    if (index < 0) return;
    setParameter(index, value);
    if (index < halvorn::kNumParams) callHost(audioMasterAutomate, index, 0, nullptr, value);
}

bool Halvorn::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    if (!properties) return false;
#if HALVORN_OUTPUTS == 2
    if (index >= masterChannelCount) return false;
    std::snprintf(properties->label, sizeof(properties->label), "Halvorn");
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
#else
    if (index > 9) return false;
    if (index >= 2) {
        std::snprintf(properties->label, sizeof(properties->label), "Vexa V%1d", (int)index - 1);
        properties->flags = kVstPinIsActive;
    } else {
        std::snprintf(properties->label, sizeof(properties->label), "Halvorn Master");
        properties->flags = kVstPinIsActive | kVstPinIsStereo;
    }
    return true;
#endif
}

bool Halvorn::getEffectName(char* name) {
    copyText(name, "Halvorn");
    return true;
}

bool Halvorn::getVendorString(char* text) {
    copyText(text, "Vantrope");
    return true;
}

bool Halvorn::getProductString(char* text) {
    copyText(text, "Vexa X.O.");
    return true;
}

VstInt32 Halvorn::canDo(char* text) {
    if (!text) return -1;
    if (!std::strcmp(text, "receiveVstEvents") || !std::strcmp(text, "receiveVstMidiEvent") ||
        !std::strcmp(text, "midiProgramNames"))
        return 1;
    return -1;
}

// Asks the host for its vendor or product string into a 128-byte buffer that starts empty.
bool Halvorn::hostStringEquals(bool vendor, const char* expected, bool prefixOnly) {
    char text[128];
    std::memset(text, 0, sizeof(text));
    if (vendor)
        getHostVendorString(text);
    else
        getHostProductString(text);
    text[sizeof(text) - 1] = 0;
    if (prefixOnly) return std::strncmp(text, expected, std::strlen(expected)) == 0;
    return std::strcmp(text, expected) == 0;
}

bool Halvorn::isHostFxpansion() { return hostStringEquals(true, "FXpansion Audio", false); }
bool Halvorn::isHostProTools() { return hostStringEquals(true, "ProTools", false); }
bool Halvorn::isHostDigitalPerformer() { return hostStringEquals(true, "DigitalPerformer", false); }
// Only a product string that really begins with the name: an empty one (a host that
// does not answer) is not taken for that host.
bool Halvorn::isHostLogic() { return hostStringEquals(false, "Logic", true); }
bool Halvorn::isHostAudioUnitWrapper() { return hostStringEquals(true, "VantropeAudioUnit", false); }
bool Halvorn::isHostImageLine() { return hostStringEquals(true, "Image-Line", false); }

bool Halvorn::setEditorOrigin(int x, int y) {
    editorOriginX = x;
    editorOriginY = y;
    return true;
}

void Halvorn::getEditorOrigin(int* x, int* y) {
    if (x) *x = editorOriginX;
    if (y) *y = editorOriginY;
}

int Halvorn::getPartActivity(int part) { return engine.isInitialised() ? engine.getPartActivity(part) : 0; }
