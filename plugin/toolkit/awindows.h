// The toolkit's windows: the value popup of a knob or slider, the name popup of a button,
// the keyboard range window of a range field, and the MIDI control windows that a
// Ctrl-click opens (controller choice, "Active" box and MIDI learn). All drawn in code.
#pragma once

#include <string>

#include "toolkit/abutton.h"
#include "toolkit/achoice.h"
#include "toolkit/acomponent.h"

class AControlPopup : public AWindow {
public:
    static const int kWidth = 192, kHeight = 30, kDoubleHeight = 43;
    // The two label choices are not used by the controls of this instrument.
    AControlPopup(InstrumentInterface* instrument, int index, int secondIndex, const char* label = nullptr,
                  const char* secondLabel = nullptr);
    void draw(CDrawContext* context, int x, int y) override;

private:
    InstrumentInterface* instrument;
    int index, secondIndex;
    char line[512];
    char name2[256], value2[256];
};

class ANamePopup : public AWindow {
public:
    explicit ANamePopup(std::string name);
    void draw(CDrawContext* context, int x, int y) override;
    const std::string& getName() const { return name; }

private:
    std::string name;
};

class AMiniKeyboardListener {
public:
    virtual void keyClicked(int octave, int whiteKey, bool black) = 0;
    virtual void keyClickedModified(int octave, int whiteKey, bool black) = 0;
};

class AMiniKeyboard : public AComponent {
public:
    static const int kWhiteWidth = 9, kBlackWidth = 6;
    explicit AMiniKeyboard(AMiniKeyboardListener* listener);
    void setLowMark(int pixels) {
        lowMark = pixels;
        invalidate();
    }
    void setHighMark(int pixels) {
        highMark = pixels;
        invalidate();
    }
    int getLowMark() const { return lowMark; }
    int getHighMark() const { return highMark; }
    void draw(CDrawContext* context, int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;

private:
    AMiniKeyboardListener* listener;
    int lowMark, highMark;
};

class ACloseButton : public AButton {
public:
    ACloseButton();
    void draw(CDrawContext* context, int x, int y) override;
};

class ALearnButton : public AButton {
public:
    ALearnButton();
    void draw(CDrawContext* context, int x, int y) override;
};

// Draws a window's grey title area and frame with the title.
void drawWindowTitle(AWindow* window, CDrawContext* context, int x, int y, const char* title);

class AKeyboardWindow : public AWindow, public AButtonListener, public AMiniKeyboardListener {
public:
    explicit AKeyboardWindow(AKeyboardWindowListener* listener);
    ~AKeyboardWindow() override;
    void setLowMark(int octave, int whiteKey, bool black);
    void setHighMark(int octave, int whiteKey, bool black);
    AMiniKeyboard* getKeyboard() { return &keyboard; }

    void draw(CDrawContext* context, int x, int y) override;
    void onClose() override;
    void buttonPressed(AButton* button, int buttons) override;
    void buttonReleased(AButton*) override {}
    void keyClicked(int octave, int whiteKey, bool black) override;
    void keyClickedModified(int octave, int whiteKey, bool black) override;

private:
    AKeyboardWindowListener* listener;
    AMiniKeyboard keyboard;
    ACloseButton closeButton;
};

class AMidiControlPanel : public APanel, public AChoiceListener, public ACheckBoxListener, public AButtonListener {
public:
    static const int kWidth = 192, kHeight = 94;
    AMidiControlPanel(InstrumentInterface* instrument, int index);
    ~AMidiControlPanel() override;

    void draw(CDrawContext* context, int x, int y) override;
    void drawBackground(CDrawContext* context, const CRect& rect, const CPoint& offset, int alpha) override;
    void idle() override;
    void choiceChanged(AChoice* choice, int item) override;
    void checkBoxChanged(ACheckBox* box, bool checked) override;
    void buttonPressed(AButton* button, int buttons) override;
    void buttonReleased(AButton*) override {}

    AChoice* getChoice() { return choice; }
    ACheckBox* getCheckBox() { return checkBox; }
    ALearnButton* getLearnButton() { return learnButton; }
    int getIndex() const { return index; }

private:
    InstrumentInterface* midi;
    int index;
    char longName[64];
    int remembered;
    AChoiceStyle choiceStyle;
    AChoice* choice;
    ACheckBox* checkBox;
    ALearnButton* learnButton;
};

// Not kept by its opener: once closed it is deleted at the next idle.
class AMidiControlWindow : public AWindow, public AButtonListener {
public:
    AMidiControlWindow(InstrumentInterface* instrument, int index);
    ~AMidiControlWindow() override;
    void draw(CDrawContext* context, int x, int y) override;
    bool keepsOpenOnOutsideClick() override { return false; }
    void onClose() override { deleteWindowLater(this); }
    void buttonPressed(AButton* button, int buttons) override;
    void buttonReleased(AButton*) override {}
    AMidiControlPanel* getPanel(int i) { return panels[i]; }
    ACloseButton* getCloseButton() { return &closeButton; }

protected:
    AMidiControlWindow(InstrumentInterface* instrument, int index, int secondIndex);
    AMidiControlPanel* panels[2];
    ACloseButton closeButton;
};

// A knob with two parameters: one panel for each, the second below the first.
class ADoubleControlWindow : public AMidiControlWindow {
public:
    ADoubleControlWindow(InstrumentInterface* instrument, int index, int secondIndex);
};

// Opens a MIDI control window beside a control (right of it below absolute x 501, else
// left; below it when its absolute y is under bottomLimit, else above); deletes the window
// when the panel refuses it.
void openMidiControlWindowBeside(AComponent* control, AWindow* window, int bottomLimit);
