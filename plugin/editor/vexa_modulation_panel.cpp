#include "editor/vexa_modulation_panel.h"

#include "editor/knob.h"
#include "editor/skin_tables.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"
#include "editor/vexa_panel.h"
#include "toolkit/achoice.h"

namespace {
const int kModulationCover = 2088;
// Row k's source is 1025 + 2k and its destination 1024 + 2k (patch 0's internals); its
// amount is the host parameter 52 + k.
const int kFirstDestination = 1024;
const int kFirstAmount = 52;
const int kSourceX[2] = {35, 162};
const int kDestinationX[2] = {106, 233};
const int kAmountX[2] = {80, 208};
const int kChoiceWidth = 42;
const int kChoiceHeight = 14;
const int kCoverButtonStyle = 25;
}  // namespace

VexaModulationPanel::VexaModulationPanel(VexaInterface* instrument, VexaGuiInterface* gui)
    : APanel(instrument, gui), instrumentBridge(instrument), guiBridge(gui), coverButton(nullptr), open(false),
      multiEdit(false) {
    multiEdit = gui && gui->getNbSelectedPatches() > 1;
    open = instrument && instrument->getParameter(kModulationCover) > 0.5f;
    for (int k = 0; k < kRows; k++) {
        int column = k / 5;
        int y = 38 + 26 * (k % 5);
        sources[k] = new AChoice(getSkinChoiceStyle(0), instrument, kFirstDestination + 2 * k + 1);
        sources[k]->setBounds(kSourceX[column], y, kChoiceWidth, kChoiceHeight);
        add(sources[k]);
        destinations[k] = new AChoice(getSkinChoiceStyle(1), instrument, kFirstDestination + 2 * k);
        destinations[k]->setBounds(kDestinationX[column], y, kChoiceWidth, kChoiceHeight);
        add(destinations[k]);
        amounts[k] = new AKnob(getSkinKnobStyle(2), instrument, kFirstAmount + k, -1);
        amounts[k]->setPosition(kAmountX[column], 34 + 26 * (k % 5));
        add(amounts[k]);
    }
    coverButton = new AButton(getSkinButtonStyle(kCoverButtonStyle), instrument);
    coverButton->setBounds(31, 157, 15, 19);
    coverButton->setListener(this);
    coverButton->setState(open ? 1 : 0);
    add(coverButton);
    if (gui) gui->addReceptor(kModulationCover, this);
    updateEnabled();
}

VexaModulationPanel::~VexaModulationPanel() {
    if (guiBridge) guiBridge->removeReceptor(kModulationCover, this);
    destroyAll();
}

void VexaModulationPanel::updateEnabled() {
    bool usable = open && !multiEdit;
    for (int k = 0; k < kRows; k++) {
        sources[k]->setEnabled(usable);
        destinations[k]->setEnabled(usable);
        amounts[k]->setEnabled(usable);
        sources[k]->refresh();
        destinations[k]->refresh();
        amounts[k]->refresh();
    }
}

void VexaModulationPanel::setMultiEdit(bool multiple) {
    multiEdit = multiple;
    updateEnabled();
}

void VexaModulationPanel::buttonPressed(AButton* button, int) {
    if (button != coverButton) return;
    VexaPanel* root = guiBridge ? guiBridge->getRootPanel() : nullptr;
    if (root && root->finishTrapAnimation()) return;
    float was = instrumentBridge ? instrumentBridge->getParameter(kModulationCover) : 0.f;
    float now = was > 0.f ? 0.f : 1.f;
    if (instrumentBridge) instrumentBridge->setParameter(kModulationCover, now);
    coverButton->setState(now > 0.5f ? 1 : 0);
    open = now > 0.5f;
    updateEnabled();
}

void VexaModulationPanel::parameterChanged(int index, float value) {
    if (index != kModulationCover) return;
    open = value > 0.5f;
    coverButton->setState(open ? 1 : 0);
    updateEnabled();
}
