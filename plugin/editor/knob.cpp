#include "editor/knob.h"

#include <cmath>

#include "toolkit/aframe.h"
#include "toolkit/awindows.h"

namespace {
const float kTwoPi = 6.2831855f;
const int kSpringMs = 200;
// A knob's MIDI window opens below it only near the top of the face.
const int kMidiWindowBelowLimit = 161;

float clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }
}  // namespace

AKnob::AKnob(AKnobStyle* knobStyle, InstrumentInterface* bridge, int primary, int second)
    : AValueControl(bridge, primary, second), style(knobStyle), editedIndex(primary), frame(0), pressed(false),
      pressY(0), startValue(0.f), scale(kLinearScale), linear(true), dragged(false), lastPress(0), springing(false),
      springStart(0), springFrom(0.f) {
    width = style->frameWidth;
    height = style->frameHeight;
    if (instrument) frame = frameOf(instrument->getParameter(index));
}

int AKnob::frameOf(float value) const {
    int count = style->frameCount;
    int f = (int)(value * count);
    if (f < 0) f = 0;
    if (f > count - 1) f = count - 1;
    return style->reversed ? count - f - 1 : f;
}

void AKnob::show(float value) {
    int f = frameOf(value);
    if (f != frame) {
        frame = f;
        invalidate();
    }
}

void AKnob::setStyle(AKnobStyle* knobStyle) {
    style = knobStyle;
    width = style->frameWidth;
    height = style->frameHeight;
    frame = -1;
    show(instrument ? instrument->getParameter(index) : 0.f);
}

void AKnob::setValue(float value) {
    if (instrument) instrument->setParameter(editedIndex, value);
}

float AKnob::getValue() { return instrument ? instrument->getParameter(editedIndex) : 0.f; }

void AKnob::setParameterIndex(int newIndex) {
    GuiInterface* gui = instrument ? instrument->getGuiInterface() : nullptr;
    if (gui) gui->removeReceptor(index, this);
    index = newIndex;
    editedIndex = newIndex;
    if (gui) gui->addReceptor(index, this);
}

void AKnob::refresh() { show(readMixed(editedIndex)); }

void AKnob::draw(CDrawContext* context, int px, int py) {
    CRect rect(px, py, px + width, py + height);
    CPoint source(0, (CCoord)frame * style->frameHeight);
    drawParentBackground(this, context, px, py, rect, 255);
    if (style->overlay) {
        style->overlay->drawTransparent(context, rect, source);
        if (mixed) {
            style->filmStrip->drawTransparent(context, rect, source);
            // A mixed knob looks faded.
            drawParentBackground(this, context, px, py, rect, 128);
        }
    }
    if (!mixed) {
        if (style->transparent)
            style->filmStrip->drawTransparent(context, rect, source);
        else
            style->filmStrip->draw(context, rect, source);
    }
    drawHighlight(context, px, py);
}

void AKnob::idle() {
    if (springing) {
        int64_t elapsed = nowMilliseconds() - springStart;
        if (elapsed <= kSpringMs) {
            setValue(springFrom + (0.5f - springFrom) * (float)elapsed / kSpringMs);
        } else {
            setValue(0.5f);
            springing = false;
        }
    }
    AValueControl::idle();
}

bool AKnob::mouseDown(int px, int py, int buttons) {
    if (!enabled) return false;
    dragged = false;
    hoverStart = 0;
    int64_t now = nowMilliseconds();
    if (style->doubleClickTime > 0) {
        if (now - lastPress < style->doubleClickTime) {
            instrument->beginEdit(editedIndex);
            setValue(style->defaultValue);
            instrument->endEdit(editedIndex);
        }
        lastPress = now;
        dragged = true;
    }
    int mode = instrument->getKnobMode();
    bool alt = (buttons & kAlt) != 0;
    linear = mode == 2 ? !alt : alt;
    if (!style->circularAllowed) linear = true;

    if ((buttons & kControl) && midiAssignable) {
        AWindow* window = secondIndex >= 0 ? new ADoubleControlWindow(instrument, index, secondIndex)
                                           : new AMidiControlWindow(instrument, index);
        openMidiControlWindowBeside(this, window, kMidiWindowBelowLimit);
        dragged = true;
        return true;
    }
    scale = kLinearScale;
    if (buttons & (kRButton | kShift)) {
        if (secondIndex >= 0)
            editedIndex = secondIndex;
        else
            scale = kFineScale;
    }
    startValue = instrument->getParameter(editedIndex);
    beginEditOf(editedIndex);
    springing = false;
    pressed = true;
    pressY = py;
    if (!linear) setValue(angleValue(px, py, getValue()));
    if (instrument->isValuePopupOnClick()) showValuePopup();
    return true;
}

bool AKnob::mouseDrag(int px, int py) {
    if (!enabled) return false;
    if (pressed) {
        mixed = false;
        float v;
        if (linear)
            v = clamp01((float)(startValue - (py - pressY) / scale));
        else
            v = angleValue(px, py, getValue());
        setValue(v);
        dragged = true;
    }
    return true;
}

bool AKnob::mouseUp(int, int) {
    if (!dragged && style->steppedClick && pressed) {
        float v = getValue() + 1.f / style->frameCount;
        if (v >= 1.f) v = 0.f;
        setValue(v);
    }
    hideValuePopup();
    // A Ctrl-click opened a window and began no edit: it owes no endEdit.
    endEditOf(editedIndex);
    pressed = false;
    if (style->returnsToCentre) {
        springing = true;
        springStart = nowMilliseconds();
        springFrom = getValue();
    }
    editedIndex = index;
    return true;
}

bool AKnob::wheel(int, int, float distance) {
    if (!enabled) return false;
    instrument->beginEdit(editedIndex);
    setValue(clamp01(getValue() + distance * 0.0625f));
    instrument->endEdit(editedIndex);
    return true;
}

float AKnob::angleValue(int px, int py, float current) {
    float dx = (float)(px - style->centreX), dy = (float)(py - style->centreY);
    if (dx == 0.f && dy == 0.f) return getValue();
    float r = std::sqrt(dx * dx + dy * dy);
    float h = std::acos(dy / r);
    if (dx / r <= 0.f) h = kTwoPi - h;
    while (h < 0.f) h += kTwoPi;
    float angle = kTwoPi - h;
    float clamped = angle < style->angleStart ? style->angleStart : (angle > style->angleEnd ? style->angleEnd : angle);
    float v = (clamped - style->angleStart) / (style->angleEnd - style->angleStart);
    if (!style->wraps && ((current > 0.9f && v < 0.3f) || (current < 0.1f && v > 0.7f))) return current;
    return v;
}

void AKnob::parameterChanged(int changed, float value) {
    if (popup) popup->invalidate();
    if (changed == index) show(value);
}
