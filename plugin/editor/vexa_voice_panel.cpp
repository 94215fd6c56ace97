#include "editor/vexa_voice_panel.h"

#include "editor/skin_tables.h"
#include "editor/slider.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"
#include "toolkit/abutton.h"

namespace {
// Line 1's row of sliders and line 2's below it.
const int kLine1SliderY = 17;
const int kLine2SliderY = 119;

struct SliderColumn {
    int x1, x2;          // line 2 sits one pixel to the left in the last four columns
    int line1, line2;    // widget indices
    int style;
};

const SliderColumn kSliderColumns[VexaVoicePanel::kSliders / 2] = {
    {42, 42, 1008, 1018, 6},    // LFO mode, 3 steps
    {74, 74, 1007, 1017, 8},    // LFO wave, 6 steps
    {97, 97, 0, 24, 0},         // LFO speed
    {119, 119, 1, 25, 5},       // LFO pulse-width modulation
    {141, 141, 2, 26, 5},       // pulse width
    {198, 198, 3, 27, 1},       // noise
    {243, 243, 4, 28, 5},       // high-pass cutoff
    {265, 265, 5, 29, 4},       // high-pass resonance
    {287, 287, 6, 30, 5},       // low-pass cutoff
    {309, 309, 7, 31, 4},       // low-pass resonance
    {331, 331, 10, 34, 3},      // filter envelope: initial level
    {353, 353, 11, 35, 3},      // attack level
    {375, 375, 12, 36, 3},      // attack time
    {397, 397, 13, 37, 3},      // decay time
    {419, 419, 14, 38, 2},      // release time
    {445, 445, 8, 32, 1},       // filter level
    {467, 467, 9, 33, 1},       // sine
    {489, 489, 15, 39, 3},      // amplifier: attack time
    {511, 511, 16, 40, 3},      // decay time
    {533, 533, 17, 41, 3},      // sustain level
    {555, 555, 18, 42, 2},      // release time
    {577, 577, 19, 43, 1},      // amplifier level
    {603, 602, 20, 44, 5},      // initial brilliance
    {625, 624, 21, 45, 1},      // initial level
    {647, 646, 22, 46, 5},      // after brilliance
    {669, 668, 23, 47, 1},      // after level
};

struct SwitchPlace {
    int index, style, x, y;
};

const SwitchPlace kSwitchPlaces[VexaVoicePanel::kSwitches] = {
    {1001, 0, 161, 20},  {1011, 0, 161, 121},  // square wave
    {1000, 3, 179, 20},  {1010, 3, 179, 121},  // saw or triangle, three positions
    {1009, 1, 5, 45},    {1019, 1, 6, 137},    //
    {1022, 1, 75, 84},   {1023, 1, 180, 84},   //
    {1006, 1, 224, 45},  {1016, 1, 225, 137},  //
    {1004, 6, 241, 70},  {1014, 6, 241, 103},  //
    {1005, 7, 285, 70},  {1015, 7, 285, 103},  //
    {1003, 8, 467, 69},  {1013, 8, 467, 104},  //
};
}  // namespace

VexaVoicePanel::VexaVoicePanel(VexaInterface* instrument, VexaGuiInterface* gui) : APanel(instrument, gui) {
    for (int column = 0; column < kSliders / 2; column++) {
        const SliderColumn& c = kSliderColumns[column];
        for (int line = 0; line < 2; line++) {
            ASlider* slider = new ASlider(getSkinSliderStyle(c.style), instrument, line == 0 ? c.line1 : c.line2);
            slider->setPosition(line == 0 ? c.x1 : c.x2, line == 0 ? kLine1SliderY : kLine2SliderY);
            add(slider);
            sliders[2 * column + line] = slider;
        }
    }
    for (int i = 0; i < kSwitches; i++) {
        const SwitchPlace& s = kSwitchPlaces[i];
        ASwitch* button = new ASwitch(getSkinSwitchStyle(s.style), instrument, s.index);
        button->setPosition(s.x, s.y);
        add(button);
        switches[i] = button;
    }
}

VexaVoicePanel::~VexaVoicePanel() { destroyAll(); }

void VexaVoicePanel::refresh() {
    for (ASlider* slider : sliders) slider->refresh();
    for (ASwitch* button : switches) button->refresh();
}
