#include "editor/ribbon.h"

#include <windows.h>

#include "toolkit/aframe.h"

namespace {
const int kMarkerBitmap = 198;
const int kMarkerWidth = 13;
const int kMarkerHeight = 14;
// The strip's ends leave room for the marker.
const int kMargin = 26;
const int kMarkerShownMs = 750;
const CColor kMarkerKey = {0, 255, 0, 255};
}  // namespace

ARuban::ARuban(InstrumentInterface* bridge, GuiInterface* guiBridge, int parameter)
    : instrument(bridge), gui(guiBridge), index(parameter), marker(BitmapCache::get(kMarkerBitmap)), position(0),
      length(0), centre(0), reference(0), gain(0.5f), state(kIdle), showMarker(false), lastOutsideChange(0) {
    marker->setTransparentColor(kMarkerKey);
    if (gui) gui->addReceptor(index, this);
    if (instrument) position = clampPosition(valueToPosition(instrument->getParameter(index)));
}

ARuban::~ARuban() {
    if (gui) gui->removeReceptor(index, this);
}

void ARuban::setBounds(int bx, int by, int w, int h) {
    length = w - kMargin;
    if (length < 0) length = 0;
    centre = length / 2;
    reference = centre;
    AComponent::setBounds(bx, by, w, h);
    if (instrument) position = clampPosition(valueToPosition(instrument->getParameter(index)));
}

float ARuban::positionToValue(int p) const {
    if (length <= 0) return 0.5f;
    return (float)((p - reference) * gain + centre) / length;
}

int ARuban::valueToPosition(float v) const {
    return (int)(((v - 0.5f) / gain + 0.5f) * length) + reference - centre;
}

void ARuban::setPosition(int p) {
    p = clampPosition(p);
    if (p == position) return;
    position = p;
    if (instrument) instrument->setParameter(index, positionToValue(p));
    invalidate();
}

bool ARuban::mouseDown(int px, int, int) {
    ShowCursor(FALSE);
    state = kHeld;
    reference = px < length ? px : length;
    setPosition(px);
    invalidate();
    return true;
}

bool ARuban::mouseDrag(int px, int) {
    setPosition(px);
    return true;
}

bool ARuban::mouseUp(int, int) {
    // Only a press that hid the cursor shows it again: the count is the process's.
    if (state == kHeld) ShowCursor(TRUE);
    state = kReleased;
    invalidate();
    return true;
}

void ARuban::idle() {
    if (showMarker && nowMilliseconds() - lastOutsideChange > kMarkerShownMs) {
        showMarker = false;
        invalidate();
    }
    if (state == kReleased) {
        setPosition(valueToPosition(0.5f));
        reference = centre;
        state = kIdle;
        invalidate();
    }
}

void ARuban::parameterChanged(int, float value) {
    showMarker = true;
    lastOutsideChange = nowMilliseconds();
    int p = clampPosition(valueToPosition(value));
    if (p != position) {
        position = p;
        invalidate();
    }
}

void ARuban::draw(CDrawContext* context, int px, int py) {
    drawParentBackground(this, context, px, py, CRect(px, py, px + width, py + height), 255);
    if (state != kIdle || showMarker)
        marker->drawTransparent(context, CRect(px + position, py, px + position + kMarkerWidth, py + kMarkerHeight));
}
