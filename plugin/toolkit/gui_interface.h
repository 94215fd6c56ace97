// The bridge between the widgets and the instrument: widgets address the instrument by
// ParameterIndex through InstrumentInterface, and register as receptors with the editor's
// GuiInterface, which passes parameter changes on to them.
#pragma once

#include <deque>
#include <map>

#include "toolkit/control_styles.h"

class VstInstInterface;
class GuiInterface;

class AParameterReceptor {
public:
    virtual void parameterChanged(int index, float value) = 0;
    virtual void parameterIntChanged(int index, int value) {}
    // -1 none, 0 red, 1 yellow, 2 green, 3 blue.
    virtual void setHighlight(float colour) = 0;
};

class InstrumentInterface {
public:
    explicit InstrumentInterface(VstInstInterface* instrument);
    virtual ~InstrumentInterface();

    virtual void setGuiInterface(GuiInterface* gui) { guiInterface = gui; }
    virtual GuiInterface* getGuiInterface() { return guiInterface; }
    virtual void setUserInt(int value) { userInt = value; }
    virtual int getUserInt() { return userInt; }
    // Through setParameterAutomated, so that a change from the editor reaches the host.
    virtual void setParameter(int index, float value);
    virtual void reservedA(int a, int b);
    virtual float getParameter(int index);
    virtual int reservedB(int a);
    virtual void getParameterMixed(int index, float* value, bool* mixed);
    virtual int reservedC(int a);
    virtual void noteOn(int note, int velocity, int channel);
    virtual void noteOff(int note, int channel);
    virtual const char* getParameterLongName(int index);
    virtual const char* getParameterValueText(int index);
    virtual bool sizeWindow(int width, int height);
    virtual bool isMidiAssignable(int index);
    virtual int getMidiCC(int index);
    virtual void setMidiCC(int index, int controller);
    virtual int startMidiLearn(int index);
    virtual int stopMidiLearn();
    // 0 any other host; 1-6 the hosts whose quirks the editor follows.
    virtual int getHostKind();
    // 2 (linear) under hosts of kinds 1-6, else what the host last asked for.
    virtual int getKnobMode();
    virtual bool isHostParameter(int index) { return false; }
    virtual bool beginEdit(int index);
    virtual bool endEdit(int index);
    virtual bool isValuePopupOnHover() { return true; }
    virtual bool isValuePopupOnClick() { return true; }

    VstInstInterface* getInstrument() const { return instrument; }

protected:
    GuiInterface* guiInterface;
    VstInstInterface* instrument;
    int userInt;
};

// Host kind from a vendor string (prefix tests over each name's whole length).
int hostKindOfVendor(const char* vendor);

class GuiInterface {
public:
    GuiInterface();

    // Each table is filled by its hook the first time it is read while empty; the base
    // leaves them empty. Declared before the destructor, which follows them in the table of
    // virtual operations.
    virtual void fillSliderStyles() {}
    virtual void fillKnobStyles() {}
    virtual void fillSwitchStyles() {}
    virtual void fillStyleTable4() {}
    virtual void fillButtonStyles() {}
    virtual void fillDisplayStyles() {}
    virtual void fillChoiceStyles() {}
    virtual ~GuiInterface();

    virtual void setInstrumentInterface(InstrumentInterface* bridge) { instrumentInterface = bridge; }
    virtual InstrumentInterface* getInstrumentInterface() { return instrumentInterface; }
    virtual void parameterChanged(int index, float value);
    virtual void parameterIntChanged(int index, int value);
    virtual void highlightParameter(int index, float colour);
    // Record i of a table, null past its end.
    virtual ASliderStyle* getSliderStyle(unsigned i);
    virtual AKnobStyle* getKnobStyle(unsigned i);
    virtual ASwitchStyle* getSwitchStyle(unsigned i);
    virtual AStyleTable4Entry* getStyleTable4Entry(unsigned i);
    virtual AButtonStyle* getButtonStyle(unsigned i);
    virtual ADisplayStyle* getDisplayStyle(unsigned i);
    virtual AChoiceStyle* getChoiceStyle(unsigned i);

    // One receptor may stand under several indices, and one index may have many receptors,
    // notified in the order they registered.
    void addReceptor(int index, AParameterReceptor* receptor);
    void removeReceptor(int index, AParameterReceptor* receptor);
    int countReceptors(int index) const { return (int)receptors.count(index); }

protected:
    // The style tables, for the fill hooks. Records keep their addresses as a table grows,
    // so a control may hold on to the one it wears.
    std::deque<ASliderStyle> sliderStyles;
    std::deque<AKnobStyle> knobStyles;
    std::deque<ASwitchStyle> switchStyles;
    std::deque<AStyleTable4Entry> styleTable4;
    std::deque<AButtonStyle> buttonStyles;
    std::deque<ADisplayStyle> displayStyles;
    std::deque<AChoiceStyle> choiceStyles;

private:
    std::multimap<int, AParameterReceptor*> receptors;
    InstrumentInterface* instrumentInterface;
};
