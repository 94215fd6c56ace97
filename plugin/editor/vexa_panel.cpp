#include "editor/vexa_panel.h"

#include "core/halvorn.h"
#include "editor/keyboard.h"
#include "editor/vexa_about_window.h"
#include "editor/vexa_interface.h"
#include "editor/vexa_keyboard_panel.h"
#include "editor/vexa_modulation_panel.h"
#include "editor/vexa_panel_multi.h"
#include "editor/vexa_trap.h"
#include "editor/vexa_voice_panel.h"
#include "toolkit/aframe.h"

namespace {
// TRAPPE_MODUL and TRAPPE_MULTI: the modulation cover's and the multi section's states.
const int kModulationCover = 2088;
const int kMultiShown = 2089;
// The background bitmaps span the whole window, preset bar included.
const int kBarHeight = 33;
const int kWidth = 1008;
const int kRootHeight = 600;
const int kFullHeight = 620;
const int kCompactHeight = 341;
const int kFullBackgroundMulti = 1001;
const int kFullBackground = 1003;
const int kCompactBackground = 1004;
const int kKeyboardFullY = 312;
const int kKeyboardCompactY = 33;
const int kKeyboardHeight = 275;
}  // namespace

VexaPanel::VexaPanel(AFrame* frame, VexaInterface* instrument, VexaGuiInterface* gui, int layout)
    : APanel(instrument, gui), toolkitFrame(frame), instrumentBridge(instrument), guiBridge(gui),
      voicePanel(nullptr), keyboardPanel(nullptr), multiPanel(nullptr), modulationPanel(nullptr),
      spacer(nullptr), aboutWindow(nullptr), trap(nullptr), keyboard(nullptr), aboutShown(false), backgroundId(kFullBackground),
      trapDirection(0), layout(layout == kCompactLayout ? kCompactLayout : kFullLayout), layoutPending(false),
      pendingLayout(this->layout) {
    if (gui) {
        gui->setVoiceEditListener(this);
        gui->setRootPanel(this);
    }
    chooseBackground();

    multiPanel = new VexaPanelMulti(instrument, gui);
    multiPanel->setBounds(0, 0, kWidth, 128);
    voicePanel = new VexaVoicePanel(instrument, gui);
    voicePanel->setBounds(290, 128, 718, 184);
    keyboardPanel = new VexaKeyboardPanel(instrument, gui);
    modulationPanel = new VexaModulationPanel(instrument, gui);
    modulationPanel->setBounds(0, 128, 290, 184);
    spacer = new APanel(instrument, gui);
    spacer->setBounds(0, 0, kWidth, kBarHeight);
    aboutWindow = new VexaAboutWindow(instrument, gui);
    trap = new VexaTrap();
    trap->setBounds(22, 134, 272, 178);
    trap->setFrame(coverOpen() ? VexaTrap::kOpenFrame : 0);

    if (gui) {
        gui->addReceptor(kModulationCover, this);
        gui->addReceptor(kMultiShown, this);
    }
}

VexaPanel::~VexaPanel() {
    if (guiBridge) {
        guiBridge->removeReceptor(kModulationCover, this);
        guiBridge->removeReceptor(kMultiShown, this);
        guiBridge->setVoiceEditListener(nullptr);
        guiBridge->setRootPanel(nullptr);
    }
    // The children are owned here whether shown or not.
    std::vector<AComponent*> shown = list;
    for (AComponent* child : shown) remove(child);
    delete aboutWindow;
    delete trap;
    delete spacer;
    delete modulationPanel;
    delete keyboardPanel;
    delete voicePanel;
    delete multiPanel;
}

Halvorn* VexaPanel::instrumentObject() const {
    return instrumentBridge ? static_cast<Halvorn*>(instrumentBridge->getInstrument()) : nullptr;
}

bool VexaPanel::coverOpen() const { return instrumentBridge && instrumentBridge->getParameter(kModulationCover) > 0.5f; }

void VexaPanel::removeLayoutChildren() {
    if (layout == kCompactLayout) {
        remove(keyboardPanel);
        remove(spacer);
    } else {
        hideAboutWindow();
        remove(trap);
        remove(multiPanel);
        remove(voicePanel);
        remove(keyboardPanel);
        remove(modulationPanel);
    }
}

void VexaPanel::setLayout(int newLayout, bool deferred) {
    if (deferred) {
        pendingLayout = newLayout;
        layoutPending = true;
        return;
    }
    removeLayoutChildren();
    if (newLayout == kCompactLayout) {
        layout = kCompactLayout;
        chooseBackground();
        keyboardPanel->setBounds(0, kKeyboardCompactY, kWidth, kKeyboardHeight);
        add(keyboardPanel);
        add(spacer);
        resizeWindow(kCompactHeight);
    } else {
        layout = kFullLayout;
        trap->setFrame(coverOpen() ? VexaTrap::kOpenFrame : 0);
        chooseBackground();
        keyboardPanel->setBounds(0, kKeyboardFullY, kWidth, kKeyboardHeight);
        add(multiPanel);
        add(voicePanel);
        add(keyboardPanel);
        add(modulationPanel);
        add(trap);
        resizeWindow(kFullHeight);
    }
    keyboardPanel->invalidate();
    invalidate();
}

void VexaPanel::chooseBackground() {
    if (layout == kCompactLayout) {
        backgroundId = kCompactBackground;
        return;
    }
    backgroundId = instrumentBridge && instrumentBridge->getParameter(kMultiShown) > 0.5f ? kFullBackgroundMulti
                                                                                         : kFullBackground;
    trapDirection = coverOpen() ? 1 : -1;
}

void VexaPanel::resizeWindow(int height) {
    Halvorn* host = instrumentObject();
    if (toolkitFrame) {
        if (host && host->isHostFxpansion())
            toolkitFrame->setWindowSize(1014, height + 32);
        else
            toolkitFrame->setWindowSize(kWidth, height + (host && host->isHostImageLine() ? 25 : 0));
        toolkitFrame->setViewHeight(height - kBarHeight);
    }
    if (instrumentBridge) instrumentBridge->sizeWindow(kWidth, height);
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

bool VexaPanel::finishTrapAnimation() {
    if (trapDirection == 0) return false;
    trap->setFrame(trapDirection > 0 ? VexaTrap::kOpenFrame : 0);
    trapDirection = 0;
    invalidate();
    return true;
}

void VexaPanel::idle() {
    if (trapDirection != 0) {
        unsigned end = trapDirection > 0 ? VexaTrap::kOpenFrame : 0;
        if (trap->getFrame() == end) {
            trapDirection = 0;
            trap->setFrame(end);
            return;
        }
        int next = (int)trap->getFrame() + trapDirection;
        if (next < 0) next = 0;
        trap->setFrame((unsigned)next);
        invalidate();
    }
    if (layoutPending) {
        layoutPending = false;
        setLayout(pendingLayout, false);
    }
    APanel::idle();
}

void VexaPanel::parameterChanged(int index, float) {
    if (index != kModulationCover && index != kMultiShown) return;
    chooseBackground();
    invalidate();
}

// The multi panel selects patches while the root panel is still building its children.
void VexaPanel::voiceEditModeChanged(bool multiple) {
    if (voicePanel) voicePanel->refresh();
    if (modulationPanel) modulationPanel->setMultiEdit(multiple);
    if (keyboardPanel) keyboardPanel->refresh();
}

void VexaPanel::toggleAboutWindow() {
    if (layout == kCompactLayout) return;
    if (aboutShown) {
        hideAboutWindow();
        return;
    }
    aboutWindow->setPosition((kWidth - VexaAboutWindow::kWidth) / 2, (kRootHeight - VexaAboutWindow::kHeight) / 2);
    add(aboutWindow);
    aboutShown = true;
    AComponent* under = mouseTarget;
    if (under && under != aboutWindow) under->mouseLeave();
    mouseTarget = aboutWindow;
}

void VexaPanel::hideAboutWindow() {
    if (!aboutShown) return;
    remove(aboutWindow);
    invalidate();
    aboutShown = false;
}

void VexaPanel::showKeyDown(int note) {
    if (keyboard)
        keyboard->setKeyDown(note, true);
    else
        keyboardPanel->showKeyDown(note);
}

void VexaPanel::showKeyUp(int note) {
    if (keyboard)
        keyboard->setKeyDown(note, false);
    else
        keyboardPanel->showKeyUp(note);
}
