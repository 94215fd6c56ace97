#include "toolkit/abutton.h"

#include "toolkit/aframe.h"
#include "toolkit/awindows.h"

namespace {
// When the last name popup of any button was hidden; 0: none.
int64_t lastNamePopupHidden = 0;
const int kHoverDelayMs = 1000;
const int kPopupHandOverMs = 50;

int clampInt(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

// A Ctrl-click's MIDI window beside the control: right of it left of x = 501, below it above
// y = bottomLimit, else on the other side. The window is not kept: it deletes itself once
// closed, or here when the panel refuses it.
void openMidiWindow(AComponent* control, AWindow* window, int bottomLimit) {
    APanel* panel = control->getParentPanel();
    if (!panel) {
        delete window;
        return;
    }
    int wx = control->getAbsoluteX(true) < 501 ? control->getX() + control->getWidth()
                                               : control->getX() - window->getWidth();
    int wy = control->getAbsoluteY(true) < bottomLimit ? control->getY() + control->getHeight()
                                                       : control->getY() - window->getHeight();
    window->setPosition(wx, wy);
    if (!panel->openWindow(window)) delete window;
}
}  // namespace

void openMidiControlWindowBeside(AComponent* control, AWindow* window, int bottomLimit) {
    openMidiWindow(control, window, bottomLimit);
}

void drawStripFrame(CBitmap* strip, CDrawContext* context, int x, int y, int width, int height, int frame,
                    bool transparent) {
    if (!strip) return;
    CRect r(x, y, x + width, y + height);
    CPoint source(0, frame * height);
    if (transparent)
        strip->drawTransparent(context, r, source);
    else
        strip->draw(context, r, source);
}

// ---------------------------------------------------------------- AButton

AButton::AButton(AButtonStyle* style, InstrumentInterface* instrument)
    : style(style), state(0), listener(nullptr), popup(nullptr), variant(-1), instrument(instrument), hoverStart(0),
      momentary(false) {
    if (style) setBounds(0, 0, style->width, style->height);
}

AButton::~AButton() {
    if (popup) {
        APanel* panel = getParentPanel();
        if (panel) panel->closeWindow(popup);
        delete popup;
    }
}

void AButton::setState(int s) {
    if (s == state) return;
    state = s;
    invalidate();
}

void AButton::setName(const char* text) { name = text ? text : ""; }

void AButton::draw(CDrawContext* context, int px, int py) {
    if (!style) return;
    CRect r(px, py, px + width, py + height);
    if (style->overlay && getParentPanel()) {
        drawParentBackground(this, context, px, py, r, 255);
        style->overlay->drawTransparent(context, r, CPoint(0, height * state));
        drawParentBackground(this, context, px, py, r, 128);
    }
    if (enabled || !style->disabledBitmap) {
        if (style->bitmap) style->bitmap->drawTransparent(context, r, CPoint(0, style->frameTop(state, variant)));
    } else {
        style->disabledBitmap->drawTransparent(context, r, CPoint(0, 0));
    }
}

void AButton::idle() {
    if (hoverStart && nowMilliseconds() - hoverStart > kHoverDelayMs) showNamePopup();
}

bool AButton::mouseMove(int, int) {
    if (!enabled) return false;
    if (!hoverStart && instrument && instrument->isValuePopupOnHover()) {
        int64_t now = nowMilliseconds();
        hoverStart = now;
        // Moving from one button to the next keeps the names coming without the wait.
        if (lastNamePopupHidden && now - lastNamePopupHidden < kPopupHandOverMs) showNamePopup();
    }
    return true;
}

bool AButton::mouseDown(int, int, int buttons) {
    if (!enabled) return false;
    if (momentary) setState(1);
    if (listener) listener->buttonPressed(this, buttons);
    return true;
}

bool AButton::mouseUp(int, int) {
    if (listener) listener->buttonReleased(this);
    if (momentary) setState(0);
    return true;
}

bool AButton::hoverEnd() {
    hideNamePopup();
    return true;
}

void AButton::showNamePopup() {
    hoverStart = 0;
    lastNamePopupHidden = 0;
    APanel* panel = getParentPanel();
    if (!panel || name.empty()) return;
    if (!popup) popup = new ANamePopup(name);
    int px = getAbsoluteX(true) <= 700 ? x + width : x - popup->getWidth();
    int py = getAbsoluteY(true) <= 400 ? y + height : y - popup->getHeight();
    popup->setPosition(px, py);
    if (!panel->openWindow(popup)) {
        delete popup;
        popup = nullptr;
    }
}

void AButton::hideNamePopup() {
    hoverStart = 0;
    if (!popup) return;
    lastNamePopupHidden = nowMilliseconds();
    APanel* panel = getParentPanel();
    if (panel) panel->closeWindow(popup);
    delete popup;
    popup = nullptr;
}

// ---------------------------------------------------------------- ASwitch

ASwitch::ASwitch(ASwitchStyle* style, InstrumentInterface* instrument, int index)
    : style(style), instrument(instrument), index(index), inversion(0), midiAssignable(false) {
    setBounds(0, 0, style->frameWidth, style->frameHeight);
    if (instrument) {
        if (instrument->getGuiInterface()) instrument->getGuiInterface()->addReceptor(index, this);
        midiAssignable = instrument->isMidiAssignable(index);
    }
}

// A switch deleted before the bridge leaves no dangling receptor behind.
ASwitch::~ASwitch() {
    if (instrument && instrument->getGuiInterface()) instrument->getGuiInterface()->removeReceptor(index, this);
}

float ASwitch::getValue() {
    float v = instrument ? instrument->getParameter(index) : 0.f;
    return inversion ? 1.f - v : v;
}

void ASwitch::setValue(float v) {
    if (instrument) instrument->setParameter(index, inversion ? 1.f - v : v);
    invalidate();
}

int ASwitch::unreversedFrame() {
    float v = getValue();
    if (!(v > 0.f)) return 0;  // NaN too
    float scaled = v * style->frameCount;
    return scaled >= (float)(style->frameCount - 1) ? style->frameCount - 1 : (int)scaled;
}

int ASwitch::shownFrame() {
    int f = unreversedFrame();
    return style->reversed ? style->frameCount - f - 1 : f;
}

void ASwitch::draw(CDrawContext* context, int px, int py) {
    CRect r(px, py, px + width, py + height);
    int f = shownFrame();
    drawParentBackground(this, context, px, py, r, 255);
    if (style->overlay) {
        drawStripFrame(style->overlay, context, px, py, width, style->frameHeight, f, true);
        drawParentBackground(this, context, px, py, r, 128);
    }
    if (!enabled && style->hasDisabledFrame) f = style->frameCount;
    drawStripFrame(style->filmStrip, context, px, py, width, style->frameHeight, f, style->transparent);
}

bool ASwitch::mouseDown(int, int py, int buttons) {
    if (!enabled) return false;
    if ((buttons & kControl) && midiAssignable) {
        openMidiControlWindowBeside(this, new AMidiControlWindow(instrument, index), 401);
        return true;
    }
    int n = style->frameCount;
    if (style->clickMode == ASwitchStyle::kPosition)
        setValue(style->frameHeight > 0 ? (float)py / style->frameHeight : 0.f);
    else
        setValue((float)((unreversedFrame() + 1) % n) / n + 0.5f / n);
    return true;
}

// ---------------------------------------------------------------- ALamp

ALamp::ALamp(ASwitchStyle* style) : style(style), state(0), holdUntil(0), pendingOff(false) {
    setBounds(0, 0, style->frameWidth, style->frameHeight);
}

void ALamp::setState(int n) {
    int64_t now = nowMilliseconds();
    if (n != 0) {
        holdUntil = now + kHoldMs;
        pendingOff = false;
    }
    if (n == state) return;
    if (n == 0 && now < holdUntil) {
        pendingOff = true;
        return;
    }
    state = n;
    invalidate();
}

void ALamp::idle() {
    if (pendingOff && nowMilliseconds() >= holdUntil) {
        pendingOff = false;
        state = 0;
        invalidate();
    }
}

void ALamp::draw(CDrawContext* context, int px, int py) {
    int n = style->frameCount;
    int f = clampInt(style->reversed ? n - state - 1 : state, 0, n - 1);
    drawStripFrame(style->filmStrip, context, px, py, width, style->frameHeight, f, style->transparent);
}

// ---------------------------------------------------------------- ACheckBox

ACheckBox::ACheckBox(ACheckBoxListener* listener) : listener(listener), checked(false) {}

void ACheckBox::setChecked(bool state) {
    if (state == checked) return;
    checked = state;
    invalidate();
}

void ACheckBox::draw(CDrawContext* context, int px, int py) {
    int w = width, h = height;
    CRect box(px, py, px + w, py + h);
    context->setFillColor(kWhiteCColor);
    context->fillRect(box);
    context->setFrameColor(kBlackCColor);
    context->drawRect(box);
    if (!checked) return;
    const int lines[6][4] = {{2, 2, w - 2, h - 2}, {3, 2, w - 2, h - 3}, {2, 3, w - 3, h - 2},
                             {w - 3, 2, 1, h - 2}, {w - 4, 2, 1, h - 3}, {w - 3, 3, 2, h - 2}};
    for (const auto& l : lines) {
        context->moveTo(CPoint(px + l[0], py + l[1]));
        context->lineTo(CPoint(px + l[2], py + l[3]));
    }
}

bool ACheckBox::mouseDown(int, int, int) {
    checked = !checked;
    if (listener) listener->checkBoxChanged(this, checked);
    invalidate();
    return true;
}

// ---------------------------------------------------------------- AAnim

AAnim::AAnim(InstrumentInterface* instrument, CBitmap* strip, int frameWidth, int frameHeight, int frameCount)
    : instrument(instrument), strip(strip), frameWidth(frameWidth), frameHeight(frameHeight),
      frameCount(frameCount > 0 ? frameCount : 1), current(0), listener(nullptr), running(true), lastTick(-1) {
    if (strip) strip->setTransparentColor(kMagentaCColor);
}

void AAnim::setRunning(bool on) {
    running = on;
    lastTick = -1;
}

bool AAnim::toggleRunning() {
    if (running) {
        running = false;
        return false;
    }
    setRunning(true);
    return true;
}

// Five turns of the strip a second, whatever its frame count.
void AAnim::idle() {
    if (!running || !enabled) return;
    int64_t now = nowMilliseconds();
    if (lastTick < 0) {
        lastTick = now;
        return;
    }
    float frames = (float)(now - lastTick) / 1000.f * 5.f * frameCount;
    if (frames < 1.f) return;
    int whole = (int)frames;
    current = (current + whole) % frameCount;
    invalidate();
    // In 64 bits: after ten hours between two idles whole * 1000 no longer fits an int.
    lastTick += (int64_t)whole * 1000 / (frameCount * 5);
}

void AAnim::draw(CDrawContext* context, int px, int py) {
    drawStripFrame(strip, context, px, py, frameWidth, frameHeight, current, true);
}

bool AAnim::mouseDown(int, int, int) {
    if (enabled && listener) listener->animClicked();
    return true;
}

// ---------------------------------------------------------------- AHitZone

AHitZone::AHitZone(int id, AHitZoneListener* listener) : id(id), listener(listener) {}

bool AHitZone::mouseDown(int, int, int) {
    if (listener) listener->hitZoneClicked(id);
    return true;
}
