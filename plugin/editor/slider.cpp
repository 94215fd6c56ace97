#include "editor/slider.h"

#include <cstring>

#include "toolkit/aframe.h"
#include "toolkit/awindows.h"

namespace {
const int kLinearScale = 128;
const int kFineScale = 2000;
const int kMidiWindowBelowLimit = 401;

float clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }
}  // namespace

ASlider::ASlider(ASliderStyle* sliderStyle, InstrumentInterface* bridge, int parameter)
    : AValueControl(bridge, parameter, -1), style(sliderStyle), position(0), pressed(false), pressCoordinate(0),
      startValue(0.f), scale(kLinearScale), clickConsumed(false) {
    width = style->width;
    height = style->height;
    if (instrument) position = valueToPosition(instrument->getParameter(index));
}

int ASlider::valueToPosition(float value) const {
    int n = style->stepCount;
    if (n < 1) return (int)((1.f - value) * style->travel);
    int step = (int)(value * n);
    if (step > n - 1) step = n - 1;
    if (step < 0) step = 0;
    // A one-position style has nowhere to go.
    if (n < 2) return style->travel;
    return (int)((1.f - (float)step / (n - 1)) * style->travel);
}

float ASlider::currentValue() { return instrument ? instrument->getParameter(index) : 0.f; }

void ASlider::moveHandle(float value) {
    int p = valueToPosition(value);
    if (p != position) {
        position = p;
        invalidate();
    }
}

void ASlider::setValue(float value) {
    if (instrument) instrument->setParameter(index, value);
    if (popup) popup->invalidate();
    moveHandle(value);
}

void ASlider::parameterChanged(int, float value) {
    if (popup) popup->invalidate();
    moveHandle(value);
}

void ASlider::refresh() { moveHandle(readMixed(index)); }

void ASlider::showValuePopup() {
    // Nothing to show for a parameter without a name.
    const char* name = instrument ? instrument->getParameterLongName(index) : nullptr;
    if (!name || !*name) return;
    AValueControl::showValuePopup();
}

void ASlider::draw(CDrawContext* context, int px, int py) {
    CRect rect(px, py, px + width, py + height);
    if (style->background)
        style->background->draw(context, rect, CPoint(style->backgroundOffsetX, 0));
    else
        drawParentBackground(this, context, px, py, rect, 255);
    CRect handleRect = style->horizontal ? CRect(px + style->travel - position, py,
                                                 px + style->travel - position + style->handleWidth,
                                                 py + style->handleHeight)
                                         : CRect(px, py + position, px + style->handleWidth,
                                                 py + position + style->handleHeight);
    if (style->overlay) {
        drawParentBackground(this, context, px, py, handleRect, 255);
        style->overlay->drawTransparent(context, handleRect);
        if (mixed) {
            style->handle->drawTransparent(context, handleRect);
            drawParentBackground(this, context, px, py, handleRect, 128);
        }
    }
    if (!mixed) style->handle->drawTransparent(context, handleRect);
    drawHighlight(context, px, py);
}

bool ASlider::mouseDown(int px, int py, int buttons) {
    if (!enabled) return false;
    clickConsumed = false;
    hoverStart = 0;
    if ((buttons & kControl) && midiAssignable) {
        openMidiControlWindowBeside(this, new AMidiControlWindow(instrument, index), kMidiWindowBelowLimit);
        clickConsumed = true;
        return true;
    }
    beginEditOf(index);
    scale = style->stepCount >= 1 ? style->height : ((buttons & (kRButton | kShift)) ? kFineScale : kLinearScale);
    pressed = true;
    pressCoordinate = style->horizontal ? px : py;
    startValue = currentValue();
    if (instrument->isValuePopupOnClick()) showValuePopup();
    return true;
}

bool ASlider::mouseDrag(int px, int py) {
    if (!enabled) return false;
    if (pressed) {
        mixed = false;
        int d = style->horizontal ? pressCoordinate - px : py - pressCoordinate;
        setValue(clamp01((float)(startValue - d / scale)));
        clickConsumed = true;
    }
    return true;
}

bool ASlider::mouseUp(int px, int py) {
    if (pressed && !clickConsumed && style->steppedClick && style->stepCount >= 1) {
        int coordinate = style->horizontal ? px : py;
        float direction = style->stepCount > 2 && position < coordinate ? -1.f : 1.f;
        float v = currentValue() + direction / style->stepCount;
        if (v >= 1.f) v = 0.f;
        if (v < 0.f) v = 1.f;
        setValue(v);
    }
    // After a Ctrl-click no edit began, so none ends.
    endEditOf(index);
    hideValuePopup();
    pressed = false;
    return true;
}

bool ASlider::wheel(int, int, float distance) {
    if (!enabled) return false;
    instrument->beginEdit(index);
    float step = style->stepCount >= 1 ? distance / style->stepCount : distance * 0.0625f;
    setValue(clamp01(currentValue() + step));
    instrument->endEdit(index);
    return true;
}
