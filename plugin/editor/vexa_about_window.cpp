#include "editor/vexa_about_window.h"

#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"

VexaAboutWindow::VexaAboutWindow(VexaInterface* instrument, VexaGuiInterface* gui)
    : AWindow(instrument, gui), instrumentBridge(instrument), guiBridge(gui) {
    setBounds(0, 0, kWidth, kHeight);
}

VexaAboutWindow::~VexaAboutWindow() { destroyAll(); }

void VexaAboutWindow::buttonPressed(AButton*, int) {}

void VexaAboutWindow::parameterChanged(int, float) {}
