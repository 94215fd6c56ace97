#include "editor/vexa_voice_panel.h"

#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"

VexaVoicePanel::VexaVoicePanel(VexaInterface* instrument, VexaGuiInterface* gui) : APanel(instrument, gui) {}

VexaVoicePanel::~VexaVoicePanel() { destroyAll(); }

void VexaVoicePanel::refresh() {}
