#include "editor/vexa_interface.h"

#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "editor/vexa_gui_interface.h"
#include "vstgui/aeffguieditor.h"

namespace {
const int kPatches = 8;
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
