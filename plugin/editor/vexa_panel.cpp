#include "editor/vexa_panel.h"

#include "core/halvorn.h"
#include "editor/keyboard.h"
#include "toolkit/aframe.h"

namespace {
// TRAPPE_MODUL and TRAPPE_MULTI: the modulation cover's and the multi section's states.
const int kModulationCover = 2088;
const int kMultiShown = 2089;
// The background bitmaps span the whole window, preset bar included.
const int kBarHeight = 33;
const int kFullBackgroundMulti = 1001;
const int kFullBackground = 1003;
const int kCompactBackground = 1004;
}  // namespace

VexaPanel::VexaPanel(AFrame* frame, InstrumentInterface* instrument, GuiInterface* gui, int layout)
    : APanel(instrument, gui), toolkitFrame(frame), layout(layout), layoutPending(false), pendingLayout(layout),
      backgroundId(kFullBackground), keyboard(nullptr) {
    chooseBackground();
    if (gui) {
        gui->addReceptor(kModulationCover, this);
        gui->addReceptor(kMultiShown, this);
    }
}

VexaPanel::~VexaPanel() {
    if (gui) {
        gui->removeReceptor(kModulationCover, this);
        gui->removeReceptor(kMultiShown, this);
    }
}

Halvorn* VexaPanel::instrumentObject() const {
    return instrument ? static_cast<Halvorn*>(instrument->getInstrument()) : nullptr;
}

void VexaPanel::setLayout(int newLayout, bool deferred) {
    if (deferred) {
        pendingLayout = newLayout;
        layoutPending = true;
        return;
    }
    layout = newLayout == 1 ? 1 : 0;
    chooseBackground();
    resizeWindow(layout == 1 ? 341 : 620);
    invalidate();
}

void VexaPanel::chooseBackground() {
    if (layout == 1)
        backgroundId = kCompactBackground;
    else
        backgroundId = instrument && instrument->getParameter(kMultiShown) > 0.5f ? kFullBackgroundMulti : kFullBackground;
}

void VexaPanel::resizeWindow(int height) {
    Halvorn* host = instrumentObject();
    if (toolkitFrame) {
        if (host && host->isHostFxpansion())
            toolkitFrame->setWindowSize(1014, height + 32);
        else
            toolkitFrame->setWindowSize(1008, height + (host && host->isHostImageLine() ? 25 : 0));
        toolkitFrame->setViewHeight(height - kBarHeight);
    }
    if (instrument) instrument->sizeWindow(1008, height);
}

void VexaPanel::drawBackground(CDrawContext* context, const CRect& rect, const CPoint& offset, int alpha) {
    CBitmap* bitmap = BitmapCache::get(backgroundId);
    if (!bitmap->isLoaded()) {
        context->setFillColor(kBlackCColor);
        context->fillRect(rect);
        return;
    }
    CPoint source(offset.h, offset.v + kBarHeight);
    if (alpha >= 255)
        bitmap->draw(context, rect, source);
    else
        bitmap->drawAlphaBlend(context, rect, source, (unsigned char)alpha);
}

void VexaPanel::draw(CDrawContext* context, int x, int y) { APanel::draw(context, x, y); }

void VexaPanel::idle() {
    if (layoutPending) {
        layoutPending = false;
        setLayout(pendingLayout, false);
    }
    APanel::idle();
}

void VexaPanel::parameterChanged(int index, float value) {
    if (index != kModulationCover && index != kMultiShown) return;
    chooseBackground();
    invalidate();
}

void VexaPanel::showKeyDown(int note) {
    if (keyboard) keyboard->setKeyDown(note, true);
}

void VexaPanel::showKeyUp(int note) {
    if (keyboard) keyboard->setKeyDown(note, false);
}
