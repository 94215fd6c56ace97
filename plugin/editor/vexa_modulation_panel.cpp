#include "editor/vexa_modulation_panel.h"

#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"

namespace {
const int kModulationCover = 2088;
}  // namespace

VexaModulationPanel::VexaModulationPanel(VexaInterface* instrument, VexaGuiInterface* gui)
    : APanel(instrument, gui), instrumentBridge(instrument), guiBridge(gui), open(false), multiEdit(false) {
    multiEdit = gui && gui->getNbSelectedPatches() > 1;
    open = instrument && instrument->getParameter(kModulationCover) > 0.5f;
    if (gui) gui->addReceptor(kModulationCover, this);
    updateEnabled();
}

VexaModulationPanel::~VexaModulationPanel() {
    if (guiBridge) guiBridge->removeReceptor(kModulationCover, this);
    destroyAll();
}

void VexaModulationPanel::updateEnabled() {}

void VexaModulationPanel::setMultiEdit(bool multiple) {
    multiEdit = multiple;
    updateEnabled();
}

void VexaModulationPanel::buttonPressed(AButton*, int) {}

void VexaModulationPanel::parameterChanged(int index, float value) {
    if (index != kModulationCover) return;
    open = value > 0.5f;
    updateEnabled();
}
