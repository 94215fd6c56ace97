// The film-strip rotary knob: edits one parameter (optionally a second one
// with the right button), shows it, opens a value popup while hovered or pressed and the
// MIDI control window on Ctrl-click.
#pragma once

#include <cstdint>

#include "editor/value_control.h"
#include "toolkit/control_styles.h"

class AKnob : public AValueControl {
public:
    AKnob(AKnobStyle* style, InstrumentInterface* instrument, int index, int secondIndex);

    virtual void setStyle(AKnobStyle* style);
    virtual void setValue(float value);
    virtual float getValue();
    virtual void setParameterIndex(int index);
    void refresh() override;

    void draw(CDrawContext* context, int x, int y) override;
    void idle() override;
    bool mouseDrag(int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;
    bool mouseUp(int x, int y) override;
    bool wheel(int x, int y, float distance) override;

    void parameterChanged(int index, float value) override;

    // The value for a pointer at (x, y) of the knob; current when the move is refused.
    float angleValue(int x, int y, float current);

    int getFrameShown() const { return frame; }
    int getEditedIndex() const { return editedIndex; }

    // Linear drag: pixels for the full range, and with the right button or Shift.
    static const int kLinearScale = 128;
    static const int kFineScale = 2000;

private:
    int frameOf(float value) const;
    void show(float value);

    AKnobStyle* style;
    int editedIndex;
    int frame;
    bool pressed;
    int pressY;
    float startValue;
    double scale;
    bool linear;
    bool dragged;
    int64_t lastPress;
    bool springing;
    int64_t springStart;
    float springFrom;
};
