// The bitmap slider: a handle that travels over a fixed number of pixels,
// continuous or in steps; value 1 is at the top (or the right end).
#pragma once

#include <cstdint>

#include "editor/value_control.h"
#include "toolkit/control_styles.h"

class ASlider : public AValueControl {
public:
    ASlider(ASliderStyle* style, InstrumentInterface* instrument, int index);

    void refresh() override;
    // None for a parameter without a name.
    void showValuePopup() override;

    int valueToPosition(float value) const;
    void setValue(float value);

    void draw(CDrawContext* context, int x, int y) override;
    bool mouseDrag(int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;
    bool mouseUp(int x, int y) override;
    bool wheel(int x, int y, float distance) override;

    void parameterChanged(int index, float value) override;

    int getHandlePosition() const { return position; }

private:
    void moveHandle(float value);
    float currentValue();

    ASliderStyle* style;
    int position;
    bool pressed;
    int pressCoordinate;
    float startValue;
    double scale;
    bool clickConsumed;
};
