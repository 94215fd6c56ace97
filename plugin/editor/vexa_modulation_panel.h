// Ten modulation routings (source, destination, amount) under the animated cover, and the
// button that opens and closes the cover (TRAPPE_MODUL).
#pragma once

#include "toolkit/abutton.h"
#include "toolkit/acomponent.h"
#include "toolkit/gui_interface.h"

class AChoice;
class AKnob;
class VexaGuiInterface;
class VexaInterface;

class VexaModulationPanel : public APanel, public AButtonListener, public AParameterReceptor {
public:
    static constexpr int kRows = 10;

    VexaModulationPanel(VexaInterface* instrument, VexaGuiInterface* gui);
    ~VexaModulationPanel() override;

    // The routings are usable only while the cover is open and one patch is selected.
    void updateEnabled();
    void setMultiEdit(bool multiple);
    bool isOpen() const { return open; }
    bool isMultiEdit() const { return multiEdit; }

    void buttonPressed(AButton* button, int buttons) override;
    void buttonReleased(AButton* button) override {}
    void parameterChanged(int index, float value) override;
    void setHighlight(float colour) override {}

    AChoice* getSource(int row) const { return sources[row]; }
    AChoice* getDestination(int row) const { return destinations[row]; }
    AKnob* getAmount(int row) const { return amounts[row]; }
    AButton* getCoverButton() const { return coverButton; }

private:
    VexaInterface* instrumentBridge;
    VexaGuiInterface* guiBridge;
    AChoice* sources[kRows];
    AChoice* destinations[kRows];
    AKnob* amounts[kRows];
    AButton* coverButton;
    bool open;
    bool multiEdit;
};
