// The two lines of the selected sound: LFO, oscillator, filter and amplifier controls of
// line 1 above those of line 2. Its widgets use patch 0's indices; the bridge shows and
// edits the selected patches.
#pragma once

#include "toolkit/acomponent.h"

class ASlider;
class ASwitch;
class VexaGuiInterface;
class VexaInterface;

class VexaVoicePanel : public APanel {
public:
    static const int kSliders = 52;
    static const int kSwitches = 16;

    VexaVoicePanel(VexaInterface* instrument, VexaGuiInterface* gui);
    ~VexaVoicePanel() override;

    // Every widget reads its value again (after a change of the patch selection).
    void refresh();

    ASlider* getSlider(int i) const { return i >= 0 && i < kSliders ? sliders[i] : nullptr; }
    ASwitch* getSwitch(int i) const { return i >= 0 && i < kSwitches ? switches[i] : nullptr; }

private:
    ASlider* sliders[kSliders];
    ASwitch* switches[kSwitches];
};
