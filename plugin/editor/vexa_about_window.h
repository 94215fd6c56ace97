// The About window: version and build date, the part and general tunes, the parts'
// activity lamps and the two switches of the value pop-ups. A child of the root panel
// while shown.
#pragma once

#include "toolkit/abutton.h"
#include "toolkit/acomponent.h"
#include "toolkit/gui_interface.h"

class VexaGuiInterface;
class VexaInterface;

class VexaAboutWindow : public AWindow, public AParameterReceptor, public AButtonListener {
public:
    static const int kWidth = 621;
    static const int kHeight = 399;

    VexaAboutWindow(VexaInterface* instrument, VexaGuiInterface* gui);
    ~VexaAboutWindow() override;

    void buttonPressed(AButton* button, int buttons) override;
    void buttonReleased(AButton* button) override {}
    void parameterChanged(int index, float value) override;
    void setHighlight(float colour) override {}

private:
    VexaInterface* instrumentBridge;
    VexaGuiInterface* guiBridge;
};
