#include "toolkit/achoice.h"

#include <cstdio>

#include "toolkit/aframe.h"
#include "toolkit/awindows.h"

namespace {
const int kWhiteSemitones[7] = {0, 2, 4, 5, 7, 9, 11};
const char* const kWhiteLetters[7] = {"C", "D", "E", "F", "G", "A", "B"};
const int kItemsPerColumn = 24;

int clampInt(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

// Float to item position; NaN and values far outside give the nearest end.
int itemOf(float value, int count) {
    if (!(value > 0.f)) return 0;
    if (value >= (float)count) return count - 1;
    return clampInt((int)value, 0, count - 1);
}
}  // namespace

// Octave and semitone by floor division: a note below 24 lies in octave -1 or lower.
void noteKey(int note, int& octave, int& whiteKey, bool& black) {
    int fromC0 = note - 24;
    octave = fromC0 >= 0 ? fromC0 / 12 : -((11 - fromC0) / 12);
    int semitone = fromC0 - octave * 12;
    whiteKey = 0;
    for (int k = 6; k >= 0; k--)
        if (kWhiteSemitones[k] <= semitone) {
            whiteKey = k;
            break;
        }
    black = kWhiteSemitones[whiteKey] != semitone;
}

int keyNote(int octave, int whiteKey, bool black) {
    return kWhiteSemitones[clampInt(whiteKey, 0, 6)] + 12 * octave + (black ? 1 : 0) + 24;
}

void noteName(int note, char* text, int size) {
    int octave, whiteKey;
    bool black;
    noteKey(note, octave, whiteKey, black);
    snprintf(text, size, "%s%d%s", kWhiteLetters[whiteKey], octave, black ? "#" : "");
}

// ---------------------------------------------------------------- AChoice

AChoice::AChoice(AChoiceStyle* style, AChoiceListener* listener)
    : instrument(nullptr), index(-1), listener(listener), style(style), selected(0), menu(nullptr) {
    build();
}

AChoice::AChoice(AChoiceStyle* style, InstrumentInterface* instrument, int index)
    : instrument(instrument), index(index), listener(nullptr), style(style), selected(0), menu(nullptr) {
    build();
    if (instrument) {
        if (instrument->getGuiInterface()) instrument->getGuiInterface()->addReceptor(index, this);
        selected = itemOf(instrument->getParameter(index), style->getCount());
    }
}

void AChoice::build() {
    menu = new COptionMenu(CRect(0, 0, 0, 0), this, 0);
    menu->setNbItemsPerColumn(kItemsPerColumn);
    fillMenu();
}

AChoice::~AChoice() {
    AFrame* frame = getFrame();
    if (frame && frame->getShownOptionMenu() == menu) frame->hideOptionMenu(false);
    if (instrument && index >= 0 && instrument->getGuiInterface())
        instrument->getGuiInterface()->removeReceptor(index, this);
    menu->forget();
}

void AChoice::fillMenu() {
    menu->removeAllEntry();
    for (int i = 0; i < style->getCount(); i++) menu->addEntry(style->getItem(i));
}

const char* AChoice::getSelectedText() const { return style->getItem(selected); }

void AChoice::select(int item) {
    int count = style->getCount();
    item = count > 0 ? clampInt(item, 0, count - 1) : 0;
    if (item == selected) return;
    selected = item;
    invalidate();
}

void AChoice::refresh() {
    if (instrument && index >= 0) select(itemOf(instrument->getParameter(index), style->getCount()));
}

void AChoice::parameterChanged(int, float value) { select(itemOf(value, style->getCount())); }

void AChoice::draw(CDrawContext* context, int px, int py) {
    drawClipped(context, px, py, CRect(px, py, px + width, py + height));
}

void AChoice::drawClipped(CDrawContext* context, int px, int py, const CRect& clip) {
    CRect r(px, py, px + width - 1, py + height - 1);
    context->setFontColor(enabled ? style->colour : style->disabledColour);
    context->setFrameColor(kBlackCColor);
    context->setFont((CFont)style->font, style->fontSize, style->fontStyle);
    if (style->background) {
        style->background->draw(context, clip, CPoint(clip.left - px, clip.top - py));
    } else if (getParentPanel()) {
        drawParentBackground(this, context, px, py, clip, 255);
    } else {
        context->drawRect(CRect(r.left, r.top, r.right + 1, r.bottom + 1));
    }
    context->drawString(getSelectedText(), r);
}

bool AChoice::mouseDown(int, int, int) {
    if (!enabled) return true;
    AFrame* frame = getFrame();
    if (!frame) return true;
    int ax = getAbsoluteX(false), ay = getAbsoluteY(false);
    menu->setViewSize(CRect(ax, ay, ax, ay));
    frame->showOptionMenu(menu);
    // A cancelled menu told nobody: it leaves the host frame here.
    if (frame->getShownOptionMenu() == menu) frame->hideOptionMenu(false);
    return true;
}

void AChoice::valueChanged(CDrawContext*, CControl* control) {
    AFrame* frame = getFrame();
    if (!control) {
        if (frame) frame->hideOptionMenu(false);
        return;
    }
    int item = (int)menu->getValue();
    if (frame) frame->hideOptionMenu(false);
    if (item >= 0 && item < style->getCount()) {
        select(item);
        if (listener) listener->choiceChanged(this, item);
        if (instrument && index >= 0) instrument->setParameter(index, (float)item);
        invalidate();
    }
    menu->setDirty(false);
}

// ---------------------------------------------------------------- ARangeChoice

ARangeChoice::ARangeChoice(InstrumentInterface* instrument, int lowIndex, int highIndex)
    : instrument(instrument), lowIndex(lowIndex), highIndex(highIndex), lowNote(0), highNote(0), lastPress(0),
      dragging(false), highHalf(false), pressY(0), pressNote(0), background(nullptr) {
    lowText[0] = highText[0] = 0;
    if (!instrument) return;
    if (GuiInterface* gui = instrument->getGuiInterface()) {
        gui->addReceptor(lowIndex, this);
        gui->addReceptor(highIndex, this);
    }
    parameterChanged(lowIndex, instrument->getParameter(lowIndex));
    parameterChanged(highIndex, instrument->getParameter(highIndex));
}

ARangeChoice::~ARangeChoice() {
    if (instrument && instrument->getGuiInterface()) {
        instrument->getGuiInterface()->removeReceptor(lowIndex, this);
        instrument->getGuiInterface()->removeReceptor(highIndex, this);
    }
}

void ARangeChoice::draw(CDrawContext* context, int px, int py) {
    CColor green = {0, (unsigned char)(enabled ? 230 : 128), 0, 255};
    context->setFontColor(green);
    context->setFrameColor(kBlackCColor);
    context->setFont(kNormalFont, 10, kNormalFace);
    CRect r(px, py, px + width - 1, py + height - 1);
    if (background) {
        background->draw(context, r);
        context->drawRect(r);
    } else {
        drawParentBackground(this, context, px, py, r, 255);
    }
    context->drawString(lowText, CRect(px, py, px + width / 2, py + height - 1));
    context->drawString(highText, CRect(px + width / 2, py, px + width, py + height - 1));
}

bool ARangeChoice::mouseDown(int px, int py, int) {
    highHalf = px > width / 2;
    int64_t now = nowMilliseconds();
    if (now - lastPress >= kDoubleClickMs) {
        lastPress = now;
        pressY = py;
        dragging = true;
        pressNote = highHalf ? highNote : lowNote;
        return true;
    }
    // A second press soon after the first: the keyboard range window.
    APanel* panel = getParentPanel();
    if (!panel) return true;
    AKeyboardWindow* window = new AKeyboardWindow(this);
    int octave, whiteKey;
    bool black;
    noteKey(lowNote, octave, whiteKey, black);
    window->setLowMark(octave, whiteKey, black);
    noteKey(highNote, octave, whiteKey, black);
    window->setHighMark(octave, whiteKey, black);
    int wx = getAbsoluteX(true) < 501 ? x + width : x - window->getWidth();
    int wy = getAbsoluteY(true) < 161 ? y + height : y - window->getHeight();
    window->setPosition(wx, wy);
    if (!panel->openWindow(window)) delete window;
    return true;
}

bool ARangeChoice::mouseDrag(int, int py) {
    if (dragging) setNote(highHalf ? highIndex : lowIndex, pressNote + (pressY - py) / 4);
    return true;
}

bool ARangeChoice::mouseUp(int, int) {
    dragging = false;
    return true;
}

bool ARangeChoice::wheel(int px, int, float distance) {
    if (px > width / 2)
        setNote(highIndex, highNote + (int)distance);
    else
        setNote(lowIndex, lowNote + (int)distance);
    return true;
}

void ARangeChoice::setNote(int index, int note) {
    note = clampInt(note, kLowestNote, kHighestNote);
    if (index == lowIndex) {
        if (note > highNote) note = highNote;
        if (note == lowNote) return;
    } else if (index == highIndex) {
        if (note < lowNote) note = lowNote;
        if (note == highNote) return;
    } else {
        return;
    }
    parameterChanged(index, (float)note);
    if (instrument) instrument->setParameter(index, (float)note);
}

void ARangeChoice::parameterChanged(int index, float value) {
    // Parameters hold note numbers; anything outside MIDI's range is held at its ends.
    int note = !(value > 0.f) ? 0 : value > 127.f ? 127 : (int)value;
    if (index == lowIndex) {
        lowNote = note;
        noteName(note, lowText, sizeof lowText);
    }
    if (index == highIndex) {
        highNote = note;
        noteName(note, highText, sizeof highText);
    }
    invalidate();
}

void ARangeChoice::setLowKey(int octave, int whiteKey, bool black) { setKey(false, octave, whiteKey, black); }

void ARangeChoice::setHighKey(int octave, int whiteKey, bool black) { setKey(true, octave, whiteKey, black); }

// The keyboard window that sent the key is the root's open window; its mark follows.
void ARangeChoice::setKey(bool high, int octave, int whiteKey, bool black) {
    setNote(high ? highIndex : lowIndex, keyNote(octave, whiteKey, black));
    APanel* panel = getParentPanel();
    AKeyboardWindow* window = dynamic_cast<AKeyboardWindow*>(panel ? panel->getOpenWindow() : nullptr);
    if (!window) return;
    int o, w;
    bool b;
    noteKey(high ? highNote : lowNote, o, w, b);
    if (high)
        window->setHighMark(o, w, b);
    else
        window->setLowMark(o, w, b);
}
