// The global controls, the factory voice buttons, the on-screen keyboard, the ribbon and
// the zone that toggles the About window.
#pragma once

#include "toolkit/acomponent.h"

class VexaGuiInterface;
class VexaInterface;

class VexaKeyboardPanel : public APanel {
public:
    VexaKeyboardPanel(VexaInterface* instrument, VexaGuiInterface* gui);
    ~VexaKeyboardPanel() override;

    // After every change of the patch selection.
    void refresh();
    // User-interface thread: the editor's idle hands over what the audio thread flagged.
    void showKeyDown(int note);
    void showKeyUp(int note);
};
