// The ribbon controller: a horizontal strip whose value follows the pointer relative to the
// press point (which reads 0.5) and returns to 0.5 after release.
#pragma once

#include <cstdint>

#include "toolkit/acomponent.h"
#include "toolkit/gui_interface.h"

class ARuban : public AComponent, public AParameterReceptor {
public:
    ARuban(InstrumentInterface* instrument, GuiInterface* gui, int index);
    ~ARuban() override;

    void setBounds(int x, int y, int width, int height) override;
    void draw(CDrawContext* context, int x, int y) override;
    void idle() override;
    bool mouseDrag(int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;
    bool mouseUp(int x, int y) override;

    void parameterChanged(int index, float value) override;
    void setHighlight(float) override {}

    float positionToValue(int position) const;
    int valueToPosition(float value) const;
    void setPosition(int position);

    enum State { kIdle = 0, kHeld = 1, kReleased = 2 };
    int getMarkerPosition() const { return position; }
    int getState() const { return state; }
    bool isMarkerShown() const { return state != kIdle || showMarker; }

private:
    int clampPosition(int p) const { return p < 0 ? 0 : (p > length ? length : p); }

    InstrumentInterface* instrument;
    GuiInterface* gui;
    int index;
    CBitmap* marker;
    int position;
    int length;
    int centre;
    int reference;
    float gain;
    int state;
    bool showMarker;
    int64_t lastOutsideChange;
};
