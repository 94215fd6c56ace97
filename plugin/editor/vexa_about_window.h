// The About window: version and build date, the part and general tunes, the parts'
// activity lamps and the two switches of the value pop-ups. A child of the root panel
// while shown.
#pragma once

#include "toolkit/abutton.h"
#include "toolkit/acomponent.h"
#include "toolkit/gui_interface.h"

class ADisplayStyle;
class ALamp;
class ASwitch;
class VexaGuiInterface;
class VexaInterface;

class VexaAboutWindow : public AWindow, public AParameterReceptor, public AButtonListener {
public:
    static constexpr int kWidth = 621;
    static constexpr int kHeight = 399;

    VexaAboutWindow(VexaInterface* instrument, VexaGuiInterface* gui);
    ~VexaAboutWindow() override;

    void drawBackground(CDrawContext* context, const CRect& rect, const CPoint& offset, int alpha) override;
    // Always the whole window, whatever the clip.
    void drawClipped(CDrawContext* context, int x, int y, const CRect& clip) override;
    // The lamps follow the parts; the children get no idle from here.
    void idle() override;
    void buttonPressed(AButton* button, int buttons) override;
    void buttonReleased(AButton* button) override {}
    void parameterChanged(int index, float value) override;
    void setHighlight(float colour) override {}

    ASwitch* getHoverSwitch() const { return hoverSwitch; }
    ASwitch* getClickSwitch() const { return clickSwitch; }
    ALamp* getLamp(int part) const { return lamps[part]; }
    AButton* getCloseButton() const { return closeButton; }

private:
    VexaInterface* instrumentBridge;
    VexaGuiInterface* guiBridge;
    ADisplayStyle* displayStyle;
    ASwitch* hoverSwitch;
    ASwitch* clickSwitch;
    ALamp* lamps[8];
    AButton* closeButton;
};
