// The two lines of the selected sound: LFO, oscillator, filter and amplifier controls of
// line 1 above those of line 2.
#pragma once

#include "toolkit/acomponent.h"

class VexaGuiInterface;
class VexaInterface;

class VexaVoicePanel : public APanel {
public:
    VexaVoicePanel(VexaInterface* instrument, VexaGuiInterface* gui);
    ~VexaVoicePanel() override;

    // After every change of the patch selection: the widgets read the selected patches.
    void refresh();
};
