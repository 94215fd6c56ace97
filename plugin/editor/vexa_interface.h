// The editor's instrument bridge: a widget of a patch parameter uses patch 0's index, and
// the bridge repeats each edit for every selected patch and reads the first selected one.
// It also gives the panels and the preset bar the plug-in's own operations.
#pragma once

#include "toolkit/gui_interface.h"

class CCPFileIO;
class Halvorn;
class PresetTreeListener;
class VexaGuiInterface;

class VexaInterface : public InstrumentInterface {
public:
    explicit VexaInterface(Halvorn* synth);

    void setParameter(int index, float value) override;
    float getParameter(int index) override;
    // value -1 and not mixed for indices outside the patch blocks.
    void getParameterMixed(int index, float* value, bool* mixed) override;
    const char* getParameterLongName(int index) override;
    const char* getParameterValueText(int index) override;
    bool sizeWindow(int width, int height) override;
    bool isMidiAssignable(int index) override;
    int getMidiCC(int index) override;
    void setMidiCC(int index, int controller) override;
    int startMidiLearn(int index) override;
    int stopMidiLearn() override;
    // Linear under the hosts whose own automation expects it.
    int getKnobMode() override;
    bool isHostParameter(int index) override { return index >= 0 && index < 549; }
    bool beginEdit(int index) override;
    bool endEdit(int index) override;
    // Off by the About window's two switches (2107, 2108).
    bool isValuePopupOnHover() override;
    bool isValuePopupOnClick() override;
    void playNote(int note, int velocity) { noteOn(note, velocity, -1); }
    void releaseNote(int note) { noteOff(note, -1); }

    // False outside 0-7 and without a GUI bridge.
    bool isPatchSelected(int patch);
    void decodeParameterIndex(int index, int* local, int* patch, int* kind, int* base);
    void copyPatch(int patch);
    void pastePatch(int patch);
    bool hasCopiedPatch();
    int getPartActivity(int part);
    int takeMidiActivity();
    void loadFactoryPatch(int line, int sound, int patch);
    void setPresetNames(const char* bank, const char* subBank, const char* preset);
    void getPresetNames(char* bank, char* subBank, char* preset);
    bool isHostFxpansion();
    bool isHostImageLine();

    // Patches of the parts: in use while a part plays it (from the parts' live assignments).
    int allocatePatch(int part);
    bool isPatchInUse(int patch);

    // The preset tree, through the plug-in object. Names are buffers of 32 bytes.
    void getBankName(char* buffer, int bank);
    void getSubBankName(char* buffer, int subBank, int bank);
    void getPresetName(char* buffer, int preset, int bank, int subBank);
    int getNbBanks();
    int getNbSubBanks(int bank);
    int getNbPresets(int bank, int subBank);
    int getCurrentNbPresets();
    int getBankIndex();
    int getSubBankIndex();
    int getPresetIndex();
    bool isUserBank(int bank);
    bool bankNameExists(const char* name);
    bool subBankNameExists(const char* name, int bank);
    bool presetNameExists(const char* name, int bank, int subBank);
    void addPresetTreeListener(PresetTreeListener* listener);
    void removePresetTreeListener(PresetTreeListener* listener);
    // Selections load the preset; every operation that changes the stored presets or the
    // selection drops the editor's modified mark.
    void selectBank(int bank, int subBank, int preset);
    void selectPreset(int preset);
    // Neither wraps at the ends of the sub-bank.
    void nextPreset();
    void previousPreset();
    void importBank();
    void saveAsNewBank();
    void saveAsNewSubBank(int bank);
    void saveAsNewPreset(int bank, int subBank);
    // Refused silently unless the bank is a user bank and something remains after.
    void deleteBank(int bank);
    void deleteSubBank(int bank, int subBank);
    void deletePreset(int bank, int subBank, int preset);
    void saveCurrentPreset();
    int saveCurrentPresetChecked();
    // The current sound to a place of the store menus: a new bank, sub-bank or preset past
    // the ends, else over that preset.
    void storePresetAt(int bank, int subBank, int preset);
    void exportBank();
    void exportSubBank();
    void exportPreset();

    Halvorn* getSynth() const { return synth; }

private:
    VexaGuiInterface* gui() const;
    // The copy of a widget index in a patch; -1 for indices outside the patch blocks.
    static int copyIn(int index, int patch);
    // The first selected patch's copy of index; index itself outside the patch blocks and
    // -1 when no patch is selected.
    int firstCopy(int index);
    void clearPresetModified();
    // Selects without loading, so that the current sound stays.
    void selectKeepingSound(int bank, int subBank, int preset);
    // Which of the three exports.
    enum ExportKind { kExportBank, kExportSubBank, kExportPreset };
    void exportEntry(ExportKind kind);

    Halvorn* synth;
};
