// The keyboard section: the global controls (wheel, ring modulator, sub oscillator,
// brilliance and response, arpeggiator, effects, pedals, portamento, pitch bend, general
// level), two rows of factory voice buttons for line 1 and line 2, the on-screen keyboard,
// the ribbon and the invisible zone that toggles the About window.
#pragma once

#include <vector>

#include "editor/vexa_gui_interface.h"
#include "toolkit/abutton.h"
#include "toolkit/acomponent.h"

class AKnob;
class ARuban;
class ASlider;
class AVexaKeyboard;
class VexaInterface;

class VexaKeyboardPanel : public APanel, public AButtonListener, public VexaLineChangeListener, public AHitZoneListener {
public:
    static const int kVoiceButtons = 24;
    // Button n of a row stands for an edited line and loads nothing.
    static const int kPanelButton = 11;

    VexaKeyboardPanel(VexaInterface* instrument, VexaGuiInterface* gui);
    ~VexaKeyboardPanel() override;

    // The widgets that show the selected patches read their values again.
    void refresh();

    void buttonPressed(AButton* button, int buttons) override;
    void buttonReleased(AButton* button) override {}
    void lineChanged(int line) override;
    void hitZoneClicked(int id) override;

    // Any thread: only the key's lit state changes; the keyboard is drawn at the next idle.
    void showKeyDown(int note);
    void showKeyUp(int note);

    AVexaKeyboard* getKeyboard() const { return keyboard; }
    ARuban* getRibbon() const { return ribbon; }
    AHitZone* getAboutZone() const { return aboutZone; }
    // Tag k = 12 x row + n.
    AButton* getVoiceButton(int k) const { return k >= 0 && k < kVoiceButtons ? voiceButtons[k] : nullptr; }
    // The first widget of this panel bound to index; null when none is.
    AComponent* widgetFor(int index) const;

private:
    // Lights button n of a row and darkens the other eleven.
    void lightVoiceButton(int row, int n);
    // The values of a row's line in every patch, which a factory load's own changes leave as
    // they are.
    void rememberLine(int row);
    bool lineDiffersFromLoad(int row);

    static const int kLineValues = 34;  // 24 host and 10 internal settings per line
    static const int kPatches = 8;

    VexaInterface* vexa;
    VexaGuiInterface* vexaGui;
    // The widgets bound to a parameter, with their indices, in the order they were made.
    struct Bound {
        int index;
        AComponent* widget;
    };
    std::vector<Bound> bound;
    // Those that show the selected patches: sliders 1020, 1021, knobs 48, 49.
    ASlider* refreshedSliders[2];
    AKnob* refreshedKnobs[2];
    AButton* voiceButtons[kVoiceButtons];
    AVexaKeyboard* keyboard;
    ARuban* ribbon;
    AHitZone* aboutZone;
    // Per row: whether a factory sound is lit, and the line as that load left it.
    bool loaded[2];
    float loadedValues[2][kPatches][kLineValues];
};
