// Choice controls: a list shown one item at a time and picked from an option menu, bound to
// a parameter (whose value is the item's position) or to a listener; and a note range of
// two notes edited by dragging or in the keyboard range window.
#pragma once

#include <cstdint>

#include "toolkit/acomponent.h"
#include "toolkit/control_styles.h"
#include "toolkit/gui_interface.h"

class AChoice;

class AChoiceListener {
public:
    virtual void choiceChanged(AChoice* choice, int item) = 0;
};

class AKeyboardWindowListener {
public:
    virtual void setLowKey(int octave, int whiteKey, bool black) = 0;
    virtual void setHighKey(int octave, int whiteKey, bool black) = 0;
};

// Note names of the range fields: octave 0 starts at note 24 (C0); black keys are written
// as the white key below with "#" (37 is C1#). Octaves are floored, so notes below 24 name
// correctly (23 is B-1).
void noteName(int note, char* text, int size);
// The key of a note: octave, white key 0-6 (C D E F G A B) and whether it is the black key
// above that white key.
void noteKey(int note, int& octave, int& whiteKey, bool& black);
int keyNote(int octave, int whiteKey, bool black);

class AChoice : public AComponent, public CControlListener, public AParameterReceptor {
public:
    AChoice(AChoiceStyle* style, AChoiceListener* listener);
    AChoice(AChoiceStyle* style, InstrumentInterface* instrument, int index);
    ~AChoice() override;

    void fillMenu();
    int getSelected() const { return selected; }
    const char* getSelectedText() const;
    void select(int item);
    void refresh();
    COptionMenu* getMenu() const { return menu; }

    void draw(CDrawContext* context, int x, int y) override;
    void drawClipped(CDrawContext* context, int x, int y, const CRect& clip) override;
    bool mouseDown(int x, int y, int buttons) override;
    void valueChanged(CDrawContext* context, CControl* control) override;
    long controlModifierClicked(CDrawContext*, CControl*, long) override { return 0; }
    void parameterChanged(int index, float value) override;
    void setHighlight(float) override {}

private:
    void build();

    InstrumentInterface* instrument;
    int index;  // -1: a listener's choice
    AChoiceListener* listener;
    AChoiceStyle* style;
    int selected;
    COptionMenu* menu;
};

class ARangeChoice : public AComponent, public AParameterReceptor, public AKeyboardWindowListener {
public:
    static const int kLowestNote = 24, kHighestNote = 120;
    static const int kDoubleClickMs = 500;

    ARangeChoice(InstrumentInterface* instrument, int lowIndex, int highIndex);
    ~ARangeChoice() override;

    int getLowNote() const { return lowNote; }
    int getHighNote() const { return highNote; }
    const char* getLowText() const { return lowText; }
    const char* getHighText() const { return highText; }

    void draw(CDrawContext* context, int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;
    bool mouseDrag(int x, int y) override;
    bool mouseUp(int x, int y) override;
    bool wheel(int x, int y, float distance) override;
    void parameterChanged(int index, float value) override;
    void setHighlight(float) override {}
    void setLowKey(int octave, int whiteKey, bool black) override;
    void setHighKey(int octave, int whiteKey, bool black) override;
    void setNote(int index, int note);

private:
    void setKey(bool high, int octave, int whiteKey, bool black);

    InstrumentInterface* instrument;
    int lowIndex, highIndex;
    int lowNote, highNote;
    char lowText[8], highText[8];
    int64_t lastPress;
    bool dragging;
    bool highHalf;
    int pressY;
    int pressNote;
    CBitmap* background;
};
