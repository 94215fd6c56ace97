// The film-strip rotary knob and its style: edits one parameter (optionally a second one
// with the right button), shows it, opens a value popup while hovered or pressed and the
// MIDI control window on Ctrl-click.
#pragma once

#include <cstdint>

#include "editor/value_control.h"



class AKnobStyle {
public:
    AKnobStyle();
    // The strip gets magenta transparency when transparent is set, the overlay always.
    void init(CBitmap* filmStrip, int frameWidth, int frameHeight, int frameCount, bool transparent, CBitmap* overlay);

    CBitmap* filmStrip;
    CBitmap* overlay;
    int frameWidth, frameHeight, frameCount;
    bool transparent;
    // Circular dragging may jump across the ends.
    bool wraps;
    // Pointer angles of value 0 and value 1, in radians clockwise from straight down.
    float angleStart, angleEnd;
    // Pivot of circular dragging, in the knob's coordinates.
    int centreX, centreY;
    bool circularAllowed;
    // Frames counted from the bottom of the strip.
    bool reversed;
    // A click without dragging advances one frame.
    bool steppedClick;
    float defaultValue;
    // Milliseconds; 0 disables the double click.
    int doubleClickTime;
    // After release the knob slides back to 0.5.
    bool returnsToCentre;
};

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
