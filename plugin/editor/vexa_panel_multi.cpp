#include "editor/vexa_panel_multi.h"

#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"

VexaPanelMulti::VexaPanelMulti(VexaInterface* instrument, VexaGuiInterface* gui) : APanel(instrument, gui) {}

VexaPanelMulti::~VexaPanelMulti() { destroyAll(); }
