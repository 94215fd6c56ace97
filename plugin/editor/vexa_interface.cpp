#include "editor/vexa_interface.h"

#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "editor/vexa_gui_interface.h"
#include "presets/file_io.h"
#include "presets/install_settings.h"
#include "vstgui/aeffguieditor.h"

namespace {
const int kPatches = 8;
const int kParts = 8;
// NUM_PATCH_VOIE1-8: the patch each part plays, as a whole number.
const int kPartPatchBase = 2000;
const int kHostBlockSize = 62;
const int kInternalBlockSize = 44;
const int kInternalBlockStart = 1000;
// The About window's switches that turn the value popups off.
const int kPopupsOffOnHover = 2107;
const int kPopupsOff = 2108;

bool isHostBlock(int index) { return index >= 0 && index < kHostBlockSize; }
bool isInternalBlock(int index) { return index >= kInternalBlockStart && index < kInternalBlockStart + kInternalBlockSize; }
}  // namespace

VexaInterface::VexaInterface(Halvorn* halvorn) : InstrumentInterface(halvorn), synth(halvorn) {}

VexaGuiInterface* VexaInterface::gui() const { return static_cast<VexaGuiInterface*>(guiInterface); }

int VexaInterface::copyIn(int index, int patch) {
    if (isHostBlock(index)) return index + kHostBlockSize * patch;
    if (isInternalBlock(index)) return index + kInternalBlockSize * patch;
    return -1;
}

bool VexaInterface::isPatchSelected(int patch) { return gui() && gui()->isPatchSelected(patch); }

int VexaInterface::firstCopy(int index) {
    if (!isHostBlock(index) && !isInternalBlock(index)) return index;
    for (int p = 0; p < kPatches; p++)
        if (isPatchSelected(p)) return copyIn(index, p);
    return -1;
}

void VexaInterface::setParameter(int index, float value) {
    if (isHostBlock(index)) {
        for (int p = 0; p < kPatches; p++)
            if (isPatchSelected(p)) synth->setParameterAutomated(copyIn(index, p), value);
    } else if (isInternalBlock(index)) {
        // Internal parameters are not the host's: they are set without telling it.
        for (int p = 0; p < kPatches; p++)
            if (isPatchSelected(p)) synth->setParameter(copyIn(index, p), value);
    } else if (index > 548) {
        synth->setParameter(index, value);
    } else {
        synth->setParameterAutomated(index, value);
    }
}

float VexaInterface::getParameter(int index) {
    int copy = firstCopy(index);
    return copy < 0 ? 0.f : synth->getParameter(copy);
}

void VexaInterface::getParameterMixed(int index, float* value, bool* mixed) {
    float v = -1.f;
    bool m = false;
    if (isHostBlock(index) || isInternalBlock(index)) {
        for (int p = 0; p < kPatches; p++) {
            if (!isPatchSelected(p)) continue;
            float copy = synth->getParameter(copyIn(index, p));
            if (v < 0.f)
                v = copy;
            else if (copy != v)
                m = true;
        }
    }
    if (value) *value = v;
    if (mixed) *mixed = m;
}

const char* VexaInterface::getParameterLongName(int index) {
    int copy = firstCopy(index);
    return copy < 0 ? nullptr : synth->getParameterLongName(copy);
}

const char* VexaInterface::getParameterValueText(int index) {
    int copy = firstCopy(index);
    return copy < 0 ? nullptr : synth->getParameterValueText(copy);
}

bool VexaInterface::sizeWindow(int width, int height) { return synth->sizeWindow(width, height); }

bool VexaInterface::isMidiAssignable(int index) {
    int copy = firstCopy(index);
    return copy >= 0 && synth->isMidiAssignable(copy);
}

int VexaInterface::getMidiCC(int index) {
    int copy = firstCopy(index);
    return copy < 0 ? 0 : synth->getMidiCC(copy);
}

void VexaInterface::setMidiCC(int index, int controller) {
    if (!isHostBlock(index) && !isInternalBlock(index)) {
        synth->setMidiCC(index, controller);
        return;
    }
    for (int p = 0; p < kPatches; p++)
        if (isPatchSelected(p)) synth->setMidiCC(copyIn(index, p), controller);
}

int VexaInterface::startMidiLearn(int index) {
    if (!isHostBlock(index) && !isInternalBlock(index)) return synth->startMidiLearn(index);
    int result = 0;
    for (int p = 0; p < kPatches; p++)
        if (isPatchSelected(p)) result = synth->startMidiLearn(copyIn(index, p));
    return result;
}

int VexaInterface::stopMidiLearn() { return synth->stopMidiLearn(); }

int VexaInterface::getKnobMode() {
    if (synth->isHostFxpansion() || synth->isHostProTools() || synth->isHostDigitalPerformer() ||
        synth->isHostLogic() || synth->isHostAudioUnitWrapper())
        return 2;
    return AEffGUIEditor::knobMode;
}

// Only the host block's copies are the host's parameters; every other index is bracketed
// once, as it stands.
bool VexaInterface::beginEdit(int index) {
    if (!isHostBlock(index)) return synth->beginEdit(index);
    bool result = false;
    for (int p = 0; p < kPatches; p++)
        if (isPatchSelected(p)) result = synth->beginEdit(copyIn(index, p));
    return result;
}

bool VexaInterface::endEdit(int index) {
    if (!isHostBlock(index)) return synth->endEdit(index);
    bool result = false;
    for (int p = 0; p < kPatches; p++)
        if (isPatchSelected(p)) result = synth->endEdit(copyIn(index, p));
    return result;
}

bool VexaInterface::isValuePopupOnHover() {
    return getParameter(kPopupsOff) < 0.5f && getParameter(kPopupsOffOnHover) < 0.5f;
}

bool VexaInterface::isValuePopupOnClick() { return getParameter(kPopupsOff) < 0.5f; }

void VexaInterface::decodeParameterIndex(int index, int* local, int* patch, int* kind, int* base) {
    ::decodeParameterIndex(index, local, patch, kind, base);
}

void VexaInterface::copyPatch(int patch) { synth->copyPatch(patch); }
void VexaInterface::pastePatch(int patch) { synth->pastePatch(patch); }
bool VexaInterface::hasCopiedPatch() { return synth->hasCopiedPatch() != 0; }
int VexaInterface::getPartActivity(int part) { return synth->getPartActivity(part); }
int VexaInterface::takeMidiActivity() { return synth->takeMidiActivity(); }
void VexaInterface::loadFactoryPatch(int line, int sound, int patch) { synth->loadFactoryPatch(line, sound, patch); }

void VexaInterface::setPresetNames(const char* bank, const char* subBank, const char* preset) {
    synth->setPresetNames(bank, subBank, preset);
}

void VexaInterface::getPresetNames(char* bank, char* subBank, char* preset) {
    synth->getPresetNames(bank, subBank, preset);
}

bool VexaInterface::isHostFxpansion() { return synth->isHostFxpansion(); }
bool VexaInterface::isHostImageLine() { return synth->isHostImageLine(); }

// ---------------------------------------------------------------- patches of the parts

// From the parts' live assignments (NUM_PATCH_VOIE1-8), not from the patch list the last
// preset load left: a part that took another patch since frees its old one.
bool VexaInterface::isPatchInUse(int patch) {
    for (int part = 0; part < kParts; part++)
        if ((int)synth->getParameter(kPartPatchBase + part) == patch) return true;
    return false;
}

int VexaInterface::allocatePatch(int part) {
    if (part < 0 || part >= kParts) return -1;
    for (int patch = 0; patch < kPatches; patch++) {
        if (isPatchInUse(patch)) continue;
        synth->setPatchDefaults(patch);
        synth->setParameter(kPartPatchBase + part, (float)patch);
        return patch;
    }
    return -1;
}

// ---------------------------------------------------------------- the preset tree

void VexaInterface::clearPresetModified() {
    if (gui()) gui()->clearPresetModified();
}

void VexaInterface::getBankName(char* buffer, int bank) { synth->getBankName(buffer, bank); }
void VexaInterface::getSubBankName(char* buffer, int subBank, int bank) { synth->getSubBankName(buffer, subBank, bank); }
void VexaInterface::getPresetName(char* buffer, int preset, int bank, int subBank) {
    synth->getPresetName(buffer, preset, bank, subBank);
}
int VexaInterface::getNbBanks() { return synth->getNbBanks(); }
int VexaInterface::getNbSubBanks(int bank) { return synth->getNbSubBanks(bank); }
int VexaInterface::getNbPresets(int bank, int subBank) { return synth->getNbPresets(bank, subBank); }
int VexaInterface::getCurrentNbPresets() { return synth->getCurrentNbPresets(); }
int VexaInterface::getBankIndex() { return synth->getBankIndex(); }
int VexaInterface::getSubBankIndex() { return synth->getSubBankIndex(); }
int VexaInterface::getPresetIndex() { return synth->getPresetIndex(); }
bool VexaInterface::isUserBank(int bank) { return synth->isUserBank(bank); }
bool VexaInterface::bankNameExists(const char* name) { return synth->bankNameExists(name); }
bool VexaInterface::subBankNameExists(const char* name, int bank) { return synth->subBankNameExists(name, bank); }
bool VexaInterface::presetNameExists(const char* name, int bank, int subBank) {
    return synth->presetNameExists(name, bank, subBank);
}
void VexaInterface::addPresetTreeListener(PresetTreeListener* listener) { synth->addPresetTreeListener(listener); }
// Straight to the shared tree: a preset bar may go with an editor that its plug-in deletes
// from its own destructor, when the plug-in's operations can no longer be called.
void VexaInterface::removePresetTreeListener(PresetTreeListener* listener) {
    if (gPresetTree) gPresetTree->removeListener(listener);
}

void VexaInterface::selectBank(int bank, int subBank, int preset) {
    synth->selectBank(bank, subBank, preset);
    clearPresetModified();
}

void VexaInterface::selectPreset(int preset) { synth->selectPreset(preset); }

void VexaInterface::previousPreset() {
    int index = synth->getPresetIndex();
    if (index == 0) return;
    synth->selectPreset(index - 1);
    clearPresetModified();
}

void VexaInterface::nextPreset() {
    int index = synth->getPresetIndex();
    if (index + 1 >= synth->getCurrentNbPresets()) return;
    synth->selectPreset(index + 1);
    clearPresetModified();
}

void VexaInterface::selectKeepingSound(int bank, int subBank, int preset) {
    synth->setPresetLoadSuppressed(1);
    synth->selectBank(bank, subBank, preset);
    synth->setPresetLoadSuppressed(0);
}

void VexaInterface::saveAsNewBank() {
    synth->saveAsNewBank();
    clearPresetModified();
}

void VexaInterface::saveAsNewSubBank(int bank) {
    selectKeepingSound(bank, 0, 0);
    synth->saveAsNewSubBank();
    clearPresetModified();
}

void VexaInterface::saveAsNewPreset(int bank, int subBank) {
    selectKeepingSound(bank, subBank, 0);
    synth->saveAsNewPreset();
    clearPresetModified();
}

void VexaInterface::deleteBank(int bank) {
    if (!synth->isUserBank(bank)) return;
    int userBanks = 0;
    for (int b = 0, n = synth->getNbBanks(); b < n && userBanks < 2; b++)
        if (synth->isUserBank(b)) userBanks++;
    if (userBanks < 2) return;
    synth->deleteBank(bank);
    clearPresetModified();
}

void VexaInterface::deleteSubBank(int bank, int subBank) {
    if (!synth->isUserBank(bank) || synth->getNbSubBanks(bank) <= 1) return;
    synth->deleteSubBank(bank, subBank);
    clearPresetModified();
}

void VexaInterface::deletePreset(int bank, int subBank, int preset) {
    if (!synth->isUserBank(bank) || synth->getNbPresets(bank, subBank) <= 1) return;
    synth->deletePreset(bank, subBank, preset);
    clearPresetModified();
}

void VexaInterface::saveCurrentPreset() {
    synth->saveCurrentPreset();
    clearPresetModified();
}

int VexaInterface::saveCurrentPresetChecked() {
    int result = synth->saveCurrentPreset();
    if (result == 0) clearPresetModified();
    return result;
}

void VexaInterface::storePresetAt(int bank, int subBank, int preset) {
    if (bank >= synth->getNbBanks())
        saveAsNewBank();
    else if (subBank >= synth->getNbSubBanks(bank))
        saveAsNewSubBank(bank);
    else if (preset < synth->getNbPresets(bank, subBank))
        selectKeepingSound(bank, subBank, preset);
    else
        saveAsNewPreset(bank, subBank);
    saveCurrentPresetChecked();
    clearPresetModified();
}

void VexaInterface::importBank() {
    CCPFileIO* file = createFileIO(synth->getInstallSettings());
    if (!file) return;
    if (file->openWithOpenDialog(nullptr, nullptr, nullptr, nullptr, 0) == 0) {
        synth->importBank(file);
        clearPresetModified();
        file->close();
    }
    delete file;
}

void VexaInterface::exportEntry(ExportKind kind) {
    char name[32] = {0};
    if (kind == kExportBank)
        synth->getBankName(name, -1);
    else if (kind == kExportSubBank)
        synth->getSubBankName(name, -1, -1);
    else
        synth->getPresetName(name, synth->getPresetIndex(), -1, -1);
    name[sizeof name - 1] = 0;
    CCPFileIO* file = createFileIO(synth->getInstallSettings());
    if (!file) return;
    std::string initial = synth->getInstallSettings() ? synth->getInstallSettings()->getDialogFileName() : "";
    if (file->openWithSaveDialog(name, initial.c_str(), nullptr) == 0) {
        int result = kind == kExportBank      ? synth->exportBank(file)
                     : kind == kExportSubBank ? synth->exportSubBank(file)
                                              : synth->exportPreset(file);
        // A failed export leaves whatever file was there before, never a partial one.
        if (result == 0)
            file->close();
        else
            file->discard();
    }
    delete file;
}

void VexaInterface::exportBank() { exportEntry(kExportBank); }
void VexaInterface::exportSubBank() { exportEntry(kExportSubBank); }
void VexaInterface::exportPreset() { exportEntry(kExportPreset); }
