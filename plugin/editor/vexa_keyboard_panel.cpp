#include "editor/vexa_keyboard_panel.h"

#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"

VexaKeyboardPanel::VexaKeyboardPanel(VexaInterface* instrument, VexaGuiInterface* gui) : APanel(instrument, gui) {}

VexaKeyboardPanel::~VexaKeyboardPanel() { destroyAll(); }

void VexaKeyboardPanel::refresh() {}

void VexaKeyboardPanel::showKeyDown(int) {}

void VexaKeyboardPanel::showKeyUp(int) {}
