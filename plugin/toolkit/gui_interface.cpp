#include "toolkit/gui_interface.h"

#include <cstring>
#include <vector>

#include "core/vst_inst_interface.h"
#include "vstgui/aeffguieditor.h"

InstrumentInterface::InstrumentInterface(VstInstInterface* instrument)
    : guiInterface(nullptr), instrument(instrument), userInt(0) {}

InstrumentInterface::~InstrumentInterface() {}

void InstrumentInterface::setParameter(int index, float value) { instrument->setParameterAutomated(index, value); }
void InstrumentInterface::reservedA(int a, int b) { instrument->reservedA(a, b); }
float InstrumentInterface::getParameter(int index) { return instrument->getParameter(index); }
int InstrumentInterface::reservedB(int a) { return instrument->reservedB(a); }

void InstrumentInterface::getParameterMixed(int index, float* value, bool* mixed) {
    if (mixed) *mixed = false;
    if (value) *value = getParameter(index);
}

int InstrumentInterface::reservedC(int a) { return instrument->reservedC(a); }
void InstrumentInterface::noteOn(int note, int velocity, int channel) { instrument->noteEvent(note, velocity, channel); }
void InstrumentInterface::noteOff(int note, int channel) { instrument->noteEvent(note, 0, channel); }
const char* InstrumentInterface::getParameterLongName(int index) { return instrument->getParameterLongName(index); }
const char* InstrumentInterface::getParameterValueText(int index) { return instrument->getParameterValueText(index); }
bool InstrumentInterface::sizeWindow(int width, int height) { return instrument->sizeWindow(width, height); }
bool InstrumentInterface::isMidiAssignable(int index) { return instrument->isMidiAssignable(index); }
int InstrumentInterface::getMidiCC(int index) { return instrument->getMidiCC(index); }
void InstrumentInterface::setMidiCC(int index, int controller) { instrument->setMidiCC(index, controller); }
int InstrumentInterface::startMidiLearn(int index) { return instrument->startMidiLearn(index); }
int InstrumentInterface::stopMidiLearn() { return instrument->stopMidiLearn(); }
bool InstrumentInterface::beginEdit(int index) { return instrument->beginEdit(index); }
bool InstrumentInterface::endEdit(int index) { return instrument->endEdit(index); }

int hostKindOfVendor(const char* vendor) {
    static const struct {
        const char* prefix;
        int kind;
    } kinds[] = {{"VantropeAudioUnit", 1}, {"ProTools", 2},         {"Image-Line", 3},
                 {"FXpansion Audio", 4},   {"DigitalPerformer", 5}, {"Logic", 6}};
    if (!vendor) return 0;
    for (const auto& k : kinds)
        if (strncmp(vendor, k.prefix, strlen(k.prefix)) == 0) return k.kind;
    return 0;
}

int InstrumentInterface::getHostKind() {
    char vendor[128] = {0};
    instrument->getHostVendorString(vendor);
    vendor[sizeof vendor - 1] = 0;
    return hostKindOfVendor(vendor);
}

int InstrumentInterface::getKnobMode() {
    int kind = getHostKind();
    return kind >= 1 && kind <= 6 ? 2 : AEffGUIEditor::knobMode;
}

GuiInterface::GuiInterface() : instrumentInterface(nullptr) {}

// The choice records free their lists, then the display records go, then the registrations.
GuiInterface::~GuiInterface() {
    choiceStyles.clear();
    displayStyles.clear();
    receptors.clear();
}

namespace {
template <typename Record>
Record* recordOf(std::deque<Record>& table, unsigned i, GuiInterface* gui, void (GuiInterface::*fill)()) {
    if (table.empty()) (gui->*fill)();
    return i < table.size() ? &table[i] : nullptr;
}
}  // namespace

ASliderStyle* GuiInterface::getSliderStyle(unsigned i) {
    return recordOf(sliderStyles, i, this, &GuiInterface::fillSliderStyles);
}
AKnobStyle* GuiInterface::getKnobStyle(unsigned i) { return recordOf(knobStyles, i, this, &GuiInterface::fillKnobStyles); }
ASwitchStyle* GuiInterface::getSwitchStyle(unsigned i) {
    return recordOf(switchStyles, i, this, &GuiInterface::fillSwitchStyles);
}
AStyleTable4Entry* GuiInterface::getStyleTable4Entry(unsigned i) {
    return recordOf(styleTable4, i, this, &GuiInterface::fillStyleTable4);
}
AButtonStyle* GuiInterface::getButtonStyle(unsigned i) {
    return recordOf(buttonStyles, i, this, &GuiInterface::fillButtonStyles);
}
ADisplayStyle* GuiInterface::getDisplayStyle(unsigned i) {
    return recordOf(displayStyles, i, this, &GuiInterface::fillDisplayStyles);
}
AChoiceStyle* GuiInterface::getChoiceStyle(unsigned i) {
    return recordOf(choiceStyles, i, this, &GuiInterface::fillChoiceStyles);
}

void GuiInterface::addReceptor(int index, AParameterReceptor* receptor) { receptors.emplace(index, receptor); }

void GuiInterface::removeReceptor(int index, AParameterReceptor* receptor) {
    auto range = receptors.equal_range(index);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == receptor) {
            receptors.erase(it);
            return;
        }
    }
}

// Over a copy of the range: a receptor may register or leave while it is told.
static std::vector<AParameterReceptor*> receptorsOf(const std::multimap<int, AParameterReceptor*>& map, int index) {
    std::vector<AParameterReceptor*> out;
    auto range = map.equal_range(index);
    for (auto it = range.first; it != range.second; ++it) out.push_back(it->second);
    return out;
}

void GuiInterface::parameterChanged(int index, float value) {
    for (AParameterReceptor* r : receptorsOf(receptors, index)) r->parameterChanged(index, value);
}

void GuiInterface::parameterIntChanged(int index, int value) {
    for (AParameterReceptor* r : receptorsOf(receptors, index)) r->parameterIntChanged(index, value);
}

void GuiInterface::highlightParameter(int index, float colour) {
    for (AParameterReceptor* r : receptorsOf(receptors, index)) r->setHighlight(colour);
}
