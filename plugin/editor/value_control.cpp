#include "editor/value_control.h"

#include "toolkit/aframe.h"
#include "toolkit/awindows.h"

namespace {
const int kHoverMs = 1000;
}

void drawHighlightFrame(CDrawContext* context, int colourIndex, const CRect& rect) {
    static const CColor colours[4] = {{255, 0, 0, 255}, {255, 255, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    if (colourIndex < 0 || colourIndex > 3) return;
    context->setFrameColor(colours[colourIndex]);
    context->drawRect(rect);
}

void placeValuePopup(AComponent* control, AWindow* popup) {
    APanel* panel = control->getParentPanel();
    if (!panel || !popup) return;
    int px = control->getAbsoluteX(true) <= 500 ? control->getX() + control->getWidth()
                                                 : control->getX() - popup->getWidth();
    int py = control->getAbsoluteY(true) <= 400 ? control->getY() + control->getHeight()
                                                 : control->getY() - popup->getHeight();
    popup->setPosition(px, py);
    panel->openWindow(popup);
}

AValueControl::AValueControl(InstrumentInterface* bridge, int primary, int second)
    : instrument(bridge), index(primary), secondIndex(second), mixed(false), midiAssignable(false), hoverStart(0),
      highlight(-1), popup(nullptr), editOpen(false) {
    if (!instrument) return;
    midiAssignable = instrument->isMidiAssignable(index);
    if (GuiInterface* gui = instrument->getGuiInterface()) {
        gui->addReceptor(index, this);
        if (secondIndex >= 0) gui->addReceptor(secondIndex, this);
    }
    popup = new AControlPopup(instrument, index, secondIndex);
}

AValueControl::~AValueControl() {
    GuiInterface* gui = instrument ? instrument->getGuiInterface() : nullptr;
    if (gui) {
        gui->removeReceptor(index, this);
        if (secondIndex >= 0) gui->removeReceptor(secondIndex, this);
    }
    if (popup) {
        APanel* panel = getParentPanel();
        if (panel && panel->getOpenWindow() == popup) panel->closeWindow(popup);
        delete popup;
    }
}

void AValueControl::showValuePopup() { placeValuePopup(this, popup); }

void AValueControl::hideValuePopup() {
    hoverStart = 0;
    APanel* panel = getParentPanel();
    if (popup && panel && panel->getOpenWindow() == popup) panel->closeWindow(popup);
}

void AValueControl::idle() {
    if (hoverStart && nowMilliseconds() - hoverStart > kHoverMs) {
        showValuePopup();
        hoverStart = 0;
    }
}

bool AValueControl::mouseMove(int, int) {
    if (!enabled) return false;
    if (!hoverStart && instrument && instrument->isValuePopupOnHover()) {
        hoverStart = nowMilliseconds();
        if (!hoverStart) hoverStart = 1;
    }
    return true;
}

bool AValueControl::hoverEnd() {
    hideValuePopup();
    return true;
}

void AValueControl::setHighlight(float colour) {
    int h = (int)colour;
    if (h == highlight) return;
    highlight = h;
    // Taking a frame away repaints the panel around the control.
    APanel* panel = getParentPanel();
    if (h < 0 && panel)
        panel->invalidate();
    else
        invalidate();
}

float AValueControl::readMixed(int edited) {
    float value = 0.f;
    bool nowMixed = false;
    if (instrument) instrument->getParameterMixed(edited, &value, &nowMixed);
    if (nowMixed != mixed) invalidate();
    mixed = nowMixed;
    return value;
}

void AValueControl::drawHighlight(CDrawContext* context, int x, int y) {
    drawHighlightFrame(context, highlight, CRect(x, y, x + width - 1, y + height - 1));
}

void AValueControl::beginEditOf(int edited) {
    instrument->beginEdit(edited);
    editOpen = true;
}

void AValueControl::endEditOf(int edited) {
    if (editOpen) instrument->endEdit(edited);
    editOpen = false;
}
