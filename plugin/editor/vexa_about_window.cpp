#include "editor/vexa_about_window.h"

#include <cstdio>

#include "editor/knob.h"
#include "editor/skin_tables.h"
#include "editor/text_display.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"
#include "toolkit/aframe.h"

namespace {
const int kBackground = 2000;
// VEXA_DETUNE1-8, VEXA_TUNE, POP_UP_OVER and POP_UP_CLIC.
const int kFirstPartTune = 2097;
const int kGeneralTune = 2105;
const int kHoverPopups = 2107;
const int kAllPopups = 2108;
const int kParts = 8;
const int kPartTuneX[kParts] = {104, 158, 214, 268, 326, 377, 433, 489};
const int kResetTag = 0;
const int kCloseTag = 1;
const CColor kWhite = {255, 255, 255, 255};
}  // namespace

VexaAboutWindow::VexaAboutWindow(VexaInterface* instrument, VexaGuiInterface* gui)
    : AWindow(instrument, gui), instrumentBridge(instrument), guiBridge(gui), displayStyle(nullptr),
      hoverSwitch(nullptr), clickSwitch(nullptr), closeButton(nullptr) {
    setBounds(0, 0, kWidth, kHeight);
    displayStyle = new ADisplayStyle(nullptr, 300, 15, 10, kWhite, kLeftText, kNormalFace);

    ADisplay* version = new ADisplay(displayStyle, "Version 1.6");
    version->setPosition(312, 120);
    add(version);
    char built[64];
    snprintf(built, sizeof built, "%s / %s", __DATE__, __TIME__);
    ADisplay* buildDate = new ADisplay(displayStyle, built);
    buildDate->setPosition(312, 132);
    add(buildDate);

    clickSwitch = new ASwitch(getSkinSwitchStyle(14), instrument, kAllPopups);
    clickSwitch->setPosition(197, 135);
    add(clickSwitch);
    hoverSwitch = new ASwitch(getSkinSwitchStyle(15), instrument, kHoverPopups);
    hoverSwitch->setPosition(197, 177);
    add(hoverSwitch);

    for (int n = 0; n < kParts; n++) {
        AKnob* tune = new AKnob(getSkinKnobStyle(8 + n), instrument, kFirstPartTune + n, -1);
        tune->setPosition(kPartTuneX[n], 243);
        add(tune);
    }
    AKnob* general = new AKnob(getSkinKnobStyle(0), instrument, kGeneralTune, -1);
    general->setPosition(552, 247);
    add(general);

    for (int n = 0; n < kParts; n++) {
        lamps[n] = new ALamp(getSkinSwitchStyle(5));
        lamps[n]->setPosition(115 + 54 * n, 365);
        add(lamps[n]);
    }

    AButton* reset = new AButton(getSkinButtonStyle(27), instrument);
    reset->setTag(kResetTag);
    reset->setMomentary(true);
    reset->setListener(this);
    reset->setPosition(40, 316);
    add(reset);
    closeButton = new AButton(getSkinButtonStyle(28), instrument);
    closeButton->setTag(kCloseTag);
    closeButton->setMomentary(true);
    closeButton->setListener(this);
    closeButton->setPosition(604, 3);
    add(closeButton);

    if (gui) gui->addReceptor(kAllPopups, this);
    parameterChanged(kAllPopups, instrument ? instrument->getParameter(kAllPopups) : 0.f);
}

VexaAboutWindow::~VexaAboutWindow() {
    if (guiBridge) guiBridge->removeReceptor(kAllPopups, this);
    destroyAll();
    delete displayStyle;
}

void VexaAboutWindow::drawBackground(CDrawContext* context, const CRect& rect, const CPoint& offset, int) {
    CBitmap* bitmap = BitmapCache::getTransparent(kBackground);
    if (bitmap->isLoaded()) bitmap->drawTransparent(context, rect, offset);
}

// The window's pieces overlap its transparent edge: any part of it repaints all of it.
void VexaAboutWindow::drawClipped(CDrawContext* context, int px, int py, const CRect&) {
    context->setClipRect(CRect(px, py, px + width, py + height));
    draw(context, px, py);
}

void VexaAboutWindow::idle() {
    for (int n = 0; n < kParts; n++) lamps[n]->setState(instrumentBridge ? instrumentBridge->getPartActivity(n) : 0);
}

void VexaAboutWindow::buttonPressed(AButton* button, int) {
    if (button->getTag() == kResetTag) {
        for (int n = 0; n < kParts; n++)
            if (instrumentBridge) instrumentBridge->setParameter(kFirstPartTune + n, 0.f);
    } else if (button->getTag() == kCloseTag) {
        // Its release goes nowhere once the window is removed: it must not come back pressed.
        button->setState(0);
        if (guiBridge) guiBridge->hideAboutWindow();
    }
}

void VexaAboutWindow::parameterChanged(int index, float value) {
    if (index != kAllPopups) return;
    hoverSwitch->setEnabled(value < 0.5f);
}
