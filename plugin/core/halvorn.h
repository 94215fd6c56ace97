// The instrument: one object per plug-in instance, created through the entry points.
#pragma once

#include <cstdio>
#include <mutex>

#include "vst/audioeffectx.h"
#include "core/midi_map.h"
#include "core/program_record.h"
#include "core/vst_inst_interface.h"
#include "engine/engine_command.h"
#include "engine/synth_engine.h"
#include "presets/preset_tree.h"

#ifndef HALVORN_OUTPUTS
#define HALVORN_OUTPUTS 10
#endif

class CCPFileIO;
class InstallSettings;

namespace halvorn {
const int kNumPrograms = 1;
const int kNumParams = 549;
#if HALVORN_OUTPUTS == 2
const int kNumOutputs = 2;
const VstInt32 kUniqueId = 0x0051524A;
#else
const int kNumOutputs = 10;
const VstInt32 kUniqueId = 0x0051524B;
#endif
}  // namespace halvorn

// Sees what the instrument hands to its engine, just before the engine takes it. Tests
// observe the parameter application through it; the product leaves it unset.
class EngineCommandObserver {
public:
    virtual void commandSent(const EngineCommand& command, int code) = 0;
    virtual void engineReset() {}

protected:
    ~EngineCommandObserver() = default;
};

// What the engine has connected for one part: the signal-path switches, the links of the
// LFOs and the modulation rows (0 or 1; a RouteSource / RouteDestination or -1 for none).
struct PartSignalPath {
    int32_t osc1SineOn, osc2SineOn;
    int32_t highPass1On, highPass2On;
    int32_t lowPass1On, lowPass2On;
    int32_t osc2Derived;
    int32_t lfo1PwmLinked, lfo2PwmLinked;
    int32_t lfo1TriggerLinked, lfo2TriggerLinked;
    int32_t modRowSource[kStoredModulationRows];
    int32_t modRowDestination[kStoredModulationRows];
};

class Halvorn : public AudioEffectX, public PresetTreeListener, public VstInstInterface {
public:
    explicit Halvorn(audioMasterCallback audioMaster);
    ~Halvorn() override;

    // Raised by a construction that failed; the entry point then deletes the object.
    bool creationFailed() const { return constructionFailed; }

    // AudioEffect / AudioEffectX
    void resume() override;
    void setSampleRate(float rate) override;
    void setBlockSize(VstInt32 size) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setParameterAutomated(VstInt32 index, float value) override;
    float getVu() override { return 0.5f; }
    // Each of these serves the host classes and VstInstInterface alike.
    bool beginEdit(VstInt32 index) override { return AudioEffectX::beginEdit(index); }
    bool endEdit(VstInt32 index) override { return AudioEffectX::endEdit(index); }
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    VstInt32 processEvents(VstEvents* events) override;
    bool getHostVendorString(char* text) override { return AudioEffectX::getHostVendorString(text); }
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1600; }
    VstInt32 canDo(char* text) override;
    VstInt32 getMidiProgramName(VstInt32 channel, MidiProgramName* name) override { return -1; }

    // Programs and the chunk (the program record is the chunk).
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool copyProgram(VstInt32 destination) override;
    VstInt32 getChunk(void** data, bool isPreset = false) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false) override;

    // Host names of the parameters.
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    bool sizeWindow(VstInt32 width, VstInt32 height) override { return AudioEffectX::sizeWindow(width, height); }

    // Host detection, for the editor's knob mode, size and start-up.
    virtual bool isHostFxpansion();
    virtual bool isHostProTools();
    virtual bool isHostDigitalPerformer();
    virtual bool isHostLogic();
    virtual bool isHostAudioUnitWrapper();
    virtual bool isHostImageLine();
    virtual bool setEditorOrigin(int x, int y);

    // PresetTreeListener: every change of the tree finds the current preset again by name.
    void bankListChanged() override { presetTreeChanged(); }
    void subBankListChanged() override { presetTreeChanged(); }
    void presetListChanged() override { presetTreeChanged(); }

    // VstInstInterface (the rest is shared with the effect classes above)
    void reservedA(int a, int b) override {}
    int reservedB(int a) override { return 0; }
    void noteEvent(int note, int velocity, int channel) override;
    const char* getParameterValueText(int index) override;
    const char* getParameterLongName(int index) override;
    void setMidiCC(int index, int controller) override;
    int getMidiCC(int index) override;
    int startMidiLearn(int index) override;
    int stopMidiLearn() override;
    int clearAllMidiCC() override;
    void clearMidiCC(int controller) override;
    bool isMidiAssignable(int index) override;
    InstallSettings* getInstallSettings() override { return installSettings; }

    void getEditorOrigin(int* x, int* y);
    int getPartActivity(int part);

    // The editor's patch clipboard: patches 0-7; other numbers do nothing.
    void copyPatch(int patch);
    void pastePatch(int patch);
    int hasCopiedPatch() { return patchClipboardFilled; }

    // Sends every patch parameter again, from the record.
    void reapplyParameters();

    // Preset key tables: key to ParameterIndex (answers the part 0-7 for NUM_PATCH_VOIE1-8,
    // else -1), a key's value into the record, and a parameter's key and value by group.
    int parameterIndexFromKey(const char* key, int* index, int patch);
    void setValueByKey(const char* key, float value, int patch);
    int getParameterKey(char* key, float* value, int local, char* text, int patch, bool hostBlock);

    // Built-in content: the default patch and program (written only, not applied) and the
    // voice templates (written into one line of a patch and applied at once).
    void setPatchDefaults(int patch);
    void setProgramDefaults();
    void loadFactoryPatch(int line, int sound, int patch);

    // The patch that a part plays as last read from a preset file or allocated, -1 before.
    int getPartPatch(int part) const { return part >= 0 && part < kPartCount ? partPatch[part] : -1; }

    void setCommandObserver(EngineCommandObserver* observer) { commandObserver = observer; }


    // MIDI control file (save\controlMidi): 0 read or written, 1 when it cannot be opened.
    int readControlMidi();
    int writeControlMidi();
    // The file opened for reading, or a new file beside it for writing (moved over it by
    // writeControlMidi); null when it does not open.
    FILE* openControlMidiForRead();
    FILE* openControlMidiForWrite();

    // ---- Preset operations on the shared tree (halvorn_presets.cpp). Virtual: the editor's
    // bridge and the tests reach them through the object the host holds.
    // The browser position and the counts as last read from the tree; a bank index equal to
    // the number of real banks is the merged bank "All".
    virtual int getBankIndex();
    virtual int getSubBankIndex();
    virtual int getPresetIndex();
    virtual int getCurrentNbPresets();
    virtual int getNbBanks();  // with "All"
    virtual int getNbSubBanks(int bank);
    virtual int getNbPresets(int bank, int subBank);
    // The tree's name (or "All", "Error") into a buffer of kPresetNameSize bytes, cut to 31
    // characters; a negative bank or sub-bank means the current one.
    virtual void getBankName(char* buffer, int bank);
    virtual void getSubBankName(char* buffer, int subBank, int bank);
    virtual void getPresetName(char* buffer, int preset, int bank, int subBank);
    // The current names, which a save gives to the tree; buffers of kPresetNameSize bytes.
    virtual void setPresetNames(const char* bank, const char* subBank, const char* preset);
    virtual void getPresetNames(char* bank, char* subBank, char* preset);
    virtual bool bankNameExists(const char* name);
    virtual bool subBankNameExists(const char* name, int bank);
    virtual bool presetNameExists(const char* name, int bank, int subBank);
    virtual bool isUserBank(int bank);
    virtual bool isPatchInUse(int patch);
    virtual void addPresetTreeListener(PresetTreeListener* listener);
    virtual void removePresetTreeListener(PresetTreeListener* listener);
    // While set, a load moves the position and the names but leaves the record alone.
    virtual void setPresetLoadSuppressed(int suppressed);
    // Current names to the record's preset path, and back (bounded at every step).
    virtual void storePresetPath();
    virtual void restorePresetPath();

    // Loading and selecting: 0, or 1 when the parameter file cannot be opened (the record
    // and the sound then stay as they were).
    virtual int loadCurrentPreset();
    virtual int selectPreset(int preset);
    virtual int selectSubBank(int subBank);
    virtual int selectBank(int bank, int subBank, int preset);

    // Saving the record as the current preset, or as a new preset, sub-bank or bank: 0, or
    // 1 when a file cannot be written. Each file is replaced whole or not at all.
    virtual int saveCurrentPreset();
    virtual int saveAsNewPreset();
    virtual int saveAsNewSubBank();
    virtual int saveAsNewBank();
    // One patch file (Patch<patch + 1>) of the current preset.
    virtual int savePatch(int patch);

    // Structure changes: 0, or 1 when the tree refused (nothing changed then).
    virtual int deletePreset(int bank, int subBank, int preset);
    virtual int deleteSubBank(int bank, int subBank);
    virtual int deleteBank(int bank);
    // A free patch with its defaults for a part: its number, or -1 when none is free.
    virtual int allocatePatch(int part);

    // Bank exchange files on a file the editor's dialog opened: 0, or 1 (null file, failed
    // export or import). A failed import is shown to the user as "Import failed".
    virtual int exportBank(CCPFileIO* file);
    virtual int exportSubBank(CCPFileIO* file);
    virtual int exportPreset(CCPFileIO* file);
    virtual int importBank(CCPFileIO* file);

    virtual void presetTreeChanged();

    // Answers whether a MIDI event was acted on since the last call, and clears it.
    int takeMidiActivity();

    SynthEngine& getEngine() { return engine; }
    const ProgramRecord& getProgramRecord() const { return *programs; }

private:
    friend class HalvornTestAccess;

    // The note queue holds notes from effProcessEvents until the processing call plays
    // them at their delta frames. Note-ons stop at 127 a call; note-offs may use the
    // rest of the arrays, so a flood of releases never leaves a note hanging.
    static const int kNoteOnLimit = 127;
    static const int kNoteQueueSize = 1024;

    void startEngine();
    void renderHostBlock(float** outputs, VstInt32 sampleFrames, bool replacing);
    void queueNote(int note, int velocity, int channel, int deltaFrames);
    void playDueNotes(int position);
    void followHostTempo();
    void programChange(int program);
    void handleController(int controller, int value);
    void selectBrowserByController(int index, int count, int value);
    void updateControllerSmoothing();

    // The parameter application.
    void sendCommand(int code);
    void silenceEngine();
    void resetParameterApplication();
    // Stores, tells the editor and applies; answers whether a preset load is due.
    bool storeAndApply(int index, float value);
    void resendParameter(int index);
    void rebuildPartsOfPatch();
    void applyPatchParameter(int patch, int local, int part);
    void applyPatchInternalParameter(int patch, int local, int part);
    void sendOscillatorShape(const PatchBlock& block, int line);
    void sendOscillatorSwitches(const PatchBlock& block, int line);
    void sendFilters(const LineBlock& values, int line);
    void sendLineLevel(const LineBlock& values, int line, int part);
    void sendEnvelope(const LineBlock& values, int line, bool amplifier);
    void sendPartLfo(const LineBlock& values, int line);
    void sendLfoMode(const LineBlock& values, int patch, int line, int part);
    void setTempoFields(bool synchronised, float division);
    void sendToEveryPart(int code);

    // The globals (halvorn_globals.cpp): answers whether a preset load is due.
    bool applyGlobalParameter(int index);
    void applyGlobalSetting(int index);
    void sendVibratoLfo();
    void sendVibratoDepths();
    void sendRingModulator();
    void sendGlide(float touchFactor);
    void sendChorus();
    void sendDelay();
    void sendPartPitch(int part);
    void sendZone(int zone);
    void sendArpeggiator();
    void sendPedals();
    void sendBendSetup();
    void applyMultiMode();
    bool moveBrowser(int index);

    // The signal-path switches and the modulation matrix (halvorn_signal_path.cpp).
    bool isSignalPathParameter(int local) const;
    void applySignalPathParameter(int patch, int local);
    void switchHighPass1(bool on, int part) { switchHighPass(0, on, part); }
    void switchLowPass1(bool on, int part) { switchLowPass(0, on, part); }
    void switchHighPass2(bool on, int part) { switchHighPass(1, on, part); }
    void switchLowPass2(bool on, int part) { switchLowPass(1, on, part); }
    void switchOsc1Sine(bool on, int part) { switchSine(0, on, part); }
    void switchOsc2Sine(bool on, int part) { switchSine(1, on, part); }
    void switchHighPass(int line, bool on, int part);
    void switchLowPass(int line, bool on, int part);
    void switchSine(int line, bool on, int part);
    int chainInput(int part, int line) const;
    int chainEnd(int part, int line) const;
    int lineOneFirstStage(int part) const;
    void applyDerive(int patch, int part);
    void applyModulationSource(int patch, int row, int part);
    void applyModulationDestination(int patch, int row, int part);
    void setModulationPanel(bool open);
    void linkPulseWidth(int part, int line, float depth);
    void linkLfoTrigger(int part, int line, bool linked);
    bool hostStringEquals(bool vendor, const char* expected, bool prefixOnly);
    ProgramRecord* currentRecord();

    // The preset side (halvorn_presets.cpp); the browser state is guarded by the tree's lock.
    int resolveBankIndex(const char* name);
    int resolveSubBankIndex(const char* name);
    int resolvePresetIndex(const char* name);
    bool realPosition(int* bank, int* subBank, int* preset);
    bool positionIsLoaded();
    int saveAsNew(int* request, int browserIndex);
    void storeBrowserFractions(ProgramRecord& record);
    int copyRecord(ProgramRecord* snapshot);

    int paramFreqEcout;
    int patchClipboardFilled;
    int programChangePending;
    int presetLoadSuppressed;
    int presetStatusA;
    int presetStatusB;
    int midiMapModified;
    int masterChannelCount;
    ProgramRecord* programs;
    int programCount;
    float engineSampleRate;
    double tempo;
    volatile int midiActivity;
    EngineCommand command;
    SynthEngine engine;

    int queueNoteNumber[kNoteQueueSize];
    int queueVelocity[kNoteQueueSize];
    int queueChannel[kNoteQueueSize];
    int queueDelta[kNoteQueueSize];
    int queueCount;
    int queueRead;

    // MIDI learn (halvorn_controllers.cpp). The editor's thread fills the map and the learn
    // queue, the audio thread reads them: both under the instance lock.
    static const int kLearnQueueSize = 16;
    MidiMap midiMap;
    ControllerSmoothing smoothing;
    int learnQueue[kLearnQueueSize];
    int learnCount;
    int learnArmed;

    // Guards the program record, the command record, the engine and the note queue
    // between the host's audio thread and its user-interface thread. Recursive: MIDI
    // input sets parameters from inside a processing call.
    std::recursive_mutex stateLock;

    int bankCount, subBankCount, presetCount;
    int bankIndex, subBankIndex, presetIndex;
    // Current names (the editor's) and the names of the preset last loaded or saved.
    char currentBankName[kPresetNameSize], currentSubBankName[kPresetNameSize], currentPresetName[kPresetNameSize];
    char loadedBankName[kPresetNameSize], loadedSubBankName[kPresetNameSize], loadedPresetName[kPresetNameSize];
    int newPresetRequest, newSubBankRequest, newBankRequest;
    // The distinct patches that the current preset uses, and which of them a load read.
    int usedPatchCount;
    int patchLoaded[kPatchCount];

    char textBuffer[256];
    volatile int busy;
    int editorOriginX, editorOriginY;
    volatile int interrupted;
    PatchBlock patchClipboard;
    InstallSettings* installSettings;

    int partPatch[kPartCount];
    // For each patch, the parts that play it in rising order; entries past the count are -1.
    int partsOfPatch[kPatchCount][kPartCount];
    int partsOfPatchCount[kPatchCount];
    PartSignalPath signalPath[kPartCount];
    EngineCommandObserver* commandObserver;
    // Set while setProgram sends the whole record.
    bool applyingProgram;
    // Set while such a record in the multi mode has its patch parameters only stored: the
    // mode's setting sends them all to the final parts.
    bool patchSendsDeferred;

    bool constructionFailed;
    bool listeningToTree;
    bool usingTree;
};
