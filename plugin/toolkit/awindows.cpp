#include "toolkit/awindows.h"

#include <cstdio>
#include <cstring>

#include "toolkit/aframe.h"

namespace {
const CColor kPopupColour = {224, 208, 160, 255};
const CColor kPanelColour = {224, 224, 224, 255};
const CColor kTitleColour = {192, 192, 192, 255};

// Fills (x, y) to (x + w, y + h) and frames it in black.
void box(CDrawContext* context, int x, int y, int w, int h, const CColor& fill) {
    CRect r(x, y, x + w, y + h);
    context->setFillColor(fill);
    context->fillRect(r);
    context->setFrameColor(kBlackCColor);
    context->drawRect(r);
}

void text(CDrawContext* context, const char* s, const CRect& r, CFont font, long size, long face,
          CHoriTxtAlign align) {
    context->setFont(font, size, face);
    context->setFontColor(kBlackCColor);
    context->drawString(s ? s : "", r, 0, align);
}
}  // namespace

// ---------------------------------------------------------------- popups

AControlPopup::AControlPopup(InstrumentInterface* instrument, int index, int secondIndex, const char*, const char*)
    : instrument(instrument), index(index), secondIndex(secondIndex) {
    setBounds(0, 0, kWidth, secondIndex >= 0 ? kDoubleHeight : kHeight);
    line[0] = name2[0] = value2[0] = 0;
}

// The texts are asked for at every draw, so the popup follows a dragged control.
void AControlPopup::draw(CDrawContext* context, int px, int py) {
    box(context, px, py, kWidth, height, kPopupColour);
    if (!instrument) return;
    snprintf(line, sizeof line, "%s", instrument->getParameterLongName(index));
    text(context, line, CRect(px + 4, py + 2, px + width - 8, py + 15), kNormalFontSmall, 12, kBoldFace, kLeftText);
    const char* value = instrument->getParameterValueText(index);
    if (value) text(context, value, CRect(px + 4, py + 15, px + width - 8, py + 28), kNormalFontSmall, 12, kNormalFace, kLeftText);
    if (secondIndex < 0) return;
    snprintf(name2, sizeof name2, "%s", instrument->getParameterLongName(secondIndex));
    const char* second = instrument->getParameterValueText(secondIndex);
    snprintf(value2, sizeof value2, "%s", second ? second : "");
    snprintf(line, sizeof line, "%s : %s (right click)", name2, value2);
    text(context, line, CRect(px + 4, py + 28, px + width - 8, py + 41), kNormalFontSmall, 12, kNormalFace, kLeftText);
}

ANamePopup::ANamePopup(std::string name) : name(std::move(name)) { setBounds(0, 0, 100, 20); }

void ANamePopup::draw(CDrawContext* context, int px, int py) {
    box(context, px, py, 100, 20, kPopupColour);
    text(context, name.c_str(), CRect(px + 4, py + 3, px + width - 8, py + 17), kNormalFontSmall, 12, kNormalFace,
         kLeftText);
}

// ---------------------------------------------------------------- small buttons

ACloseButton::ACloseButton() : AButton(nullptr, nullptr) { setBounds(0, 0, 12, 12); }

void ACloseButton::draw(CDrawContext* context, int px, int py) {
    box(context, px, py, 12, 12, kWhiteCColor);
    context->setFrameColor(kBlackCColor);
    context->moveTo(CPoint(px, py));
    context->lineTo(CPoint(px + 11, py + 11));
    context->moveTo(CPoint(px + 11, py));
    context->lineTo(CPoint(px, py + 11));
}

ALearnButton::ALearnButton() : AButton(nullptr, nullptr) { setBounds(0, 0, 128, 16); }

void ALearnButton::draw(CDrawContext* context, int px, int py) {
    box(context, px, py, width, height, kWhiteCColor);
    text(context, state ? "Learning..." : "Learn", CRect(px, py, px + width - 1, py + height - 1), kNormalFontSmall,
         12, kNormalFace, kCenterText);
}

void drawWindowTitle(AWindow* window, CDrawContext* context, int px, int py, const char* title) {
    box(context, px, py, window->getWidth(), window->getHeight(), kTitleColour);
    text(context, title, CRect(px + 4, py, px + 132, py + 16), kNormalFontSmall, 12, kBoldFace, kCenterText);
}

// ---------------------------------------------------------------- keyboard range window

AMiniKeyboard::AMiniKeyboard(AMiniKeyboardListener* listener) : listener(listener), lowMark(-1), highMark(-1) {
    setBounds(0, 0, 513, 30);
}

void AMiniKeyboard::draw(CDrawContext* context, int px, int py) {
    box(context, px, py, 513, 30, kWhiteCColor);
    context->setFillColor(kGreyCColor);
    if (lowMark > 0) context->fillRect(CRect(px, py, px + lowMark, py + 30));
    if (highMark > 0) context->fillRect(CRect(px + highMark, py, px + 513, py + 30));
    context->setFrameColor(kBlackCColor);
    for (int j = 0; j < 57; j++) context->drawRect(CRect(px + j * kWhiteWidth, py, px + (j + 1) * kWhiteWidth + 1, py + 30));
    context->setFillColor(kBlackCColor);
    int blackHeight = 30 * 2 / 3;
    for (int j = 0; j <= 55; j++) {
        if (j % 7 == 0 || j % 7 == 3) continue;
        int centre = px + j * kWhiteWidth;
        context->fillRect(CRect(centre - kBlackWidth / 2, py, centre + kBlackWidth / 2, py + blackHeight));
    }
}

bool AMiniKeyboard::mouseDown(int px, int py, int buttons) {
    int octave = px / 63;
    int whiteKey = (px / kWhiteWidth) % 7;
    bool black = false;
    if (py < 2 * height / 3) {
        int g = ((px + 4) / kWhiteWidth) % 7;
        if (g != 0 && g != 3) {
            black = true;
            whiteKey = ((px - 4) / kWhiteWidth) % 7;
        }
    }
    if (!listener) return true;
    if (buttons & (kRButton | kShift))
        listener->keyClickedModified(octave, whiteKey, black);
    else
        listener->keyClicked(octave, whiteKey, black);
    return true;
}

AKeyboardWindow::AKeyboardWindow(AKeyboardWindowListener* listener) : listener(listener), keyboard(this) {
    setBounds(0, 0, 513 + 8, 30 + 28);
    keyboard.setPosition(4, 16);
    closeButton.setPosition(width - 16, 2);
    closeButton.setListener(this);
    add(&keyboard);
    add(&closeButton);
}

AKeyboardWindow::~AKeyboardWindow() {
    remove(&keyboard);
    remove(&closeButton);
}

// Not kept by the range field that opened it.
void AKeyboardWindow::onClose() { deleteWindowLater(this); }

void AKeyboardWindow::setLowMark(int octave, int whiteKey, bool black) {
    keyboard.setLowMark(9 * (7 * octave + whiteKey) + 6 * (black ? 1 : 0));
}

void AKeyboardWindow::setHighMark(int octave, int whiteKey, bool black) {
    keyboard.setHighMark(9 * (7 * octave + whiteKey + 1) + 3 * (black ? 1 : 0));
}

void AKeyboardWindow::draw(CDrawContext* context, int px, int py) {
    drawWindowTitle(this, context, px, py, "Keyboard range Setup");
    // The labels first: the panel drawing leaves the clip at its own corner.
    char label[8];
    for (int octave = 0; octave <= 7; octave++) {
        snprintf(label, sizeof label, "C%d", octave);
        int left = px + 4 + octave * 63;
        text(context, label, CRect(left, py + 16 + keyboard.getHeight(), left + 63, py + height - 1), kNormalFontSmall,
             10, kNormalFace, kLeftText);
    }
    APanel::draw(context, px, py);
}

void AKeyboardWindow::buttonPressed(AButton*, int) { closeWindow(nullptr); }

void AKeyboardWindow::keyClicked(int octave, int whiteKey, bool black) {
    if (listener) listener->setLowKey(octave, whiteKey, black);
}

void AKeyboardWindow::keyClickedModified(int octave, int whiteKey, bool black) {
    if (listener) listener->setHighKey(octave, whiteKey, black);
}

// ---------------------------------------------------------------- MIDI control windows

AMidiControlPanel::AMidiControlPanel(InstrumentInterface* instrument, int index)
    : APanel(nullptr, nullptr), midi(instrument), index(index), remembered(0) {
    setBounds(0, 0, kWidth, kHeight);
    snprintf(longName, sizeof longName, "%s", instrument ? instrument->getParameterLongName(index) : "");
    int assigned = instrument ? instrument->getMidiCC(index) : -1;
    remembered = assigned < 0 ? 0 : assigned > 119 ? 119 : assigned;
    CColor grey = kGreyCColor;
    choiceStyle.init(120, kNormalFont, 12, kNormalFace, kBlackCColor, grey, nullptr);
    char item[AChoiceStyle::kItemSize];
    for (int i = 0; i < 120; i++) {
        snprintf(item, sizeof item, "Control #%d", i);
        choiceStyle.setItem(i, item);
    }
    choice = new AChoice(&choiceStyle, this);
    choice->setBounds(16, 50, 96, 16);
    choice->select(remembered);
    checkBox = new ACheckBox(this);
    checkBox->setBounds(18, 30, 12, 12);
    checkBox->setChecked(assigned > -1);
    learnButton = new ALearnButton();
    learnButton->setBounds(16, 70, 96, 16);
    learnButton->setListener(this);
    add(choice);
    add(checkBox);
    add(learnButton);
}

AMidiControlPanel::~AMidiControlPanel() { destroyAll(); }

void AMidiControlPanel::draw(CDrawContext* context, int px, int py) {
    box(context, px, py, width, height, kPanelColour);
    text(context, longName, CRect(px + 8, py + 8, px + 176, py + 24), kNormalFontSmall, 12, kNormalFace, kLeftText);
    text(context, "Active", CRect(px + 36, py + 28, px + 100, py + 44), kNormalFontSmall, 12, kNormalFace, kLeftText);
    // Not the panel's draw, whose background would paint over the box and the texts.
    drawChildren(context, px, py);
}

// Behind a child that draws its parent's background: the panel's own grey.
void AMidiControlPanel::drawBackground(CDrawContext* context, const CRect& rect, const CPoint&, int) {
    context->setFillColor(kPanelColour);
    context->fillRect(rect);
}

void AMidiControlPanel::idle() {
    APanel::idle();
    if (learnButton->getState() != 1 || !midi) return;
    int learnt = midi->getMidiCC(index);
    if (learnt < 0) return;
    choice->select(learnt);
    learnButton->setState(0);
    checkBox->setChecked(true);
}

void AMidiControlPanel::choiceChanged(AChoice*, int item) {
    remembered = item < 0 ? 0 : item > 119 ? 119 : item;
    if (midi) midi->setMidiCC(index, remembered);
    checkBox->setChecked(true);
}

void AMidiControlPanel::checkBoxChanged(ACheckBox*, bool checked) {
    if (!midi) return;
    if (checked) {
        midi->setMidiCC(index, remembered);
        choice->select(remembered);
    } else {
        midi->setMidiCC(index, -1);
        choice->select(0);
    }
}

void AMidiControlPanel::buttonPressed(AButton* button, int) {
    if (button != learnButton || !midi) return;
    if (learnButton->getState() == 1) {
        midi->stopMidiLearn();
        learnButton->setState(0);
        return;
    }
    midi->setMidiCC(index, -1);
    midi->startMidiLearn(index);
    learnButton->setState(1);
}

AMidiControlWindow::AMidiControlWindow(InstrumentInterface* instrument, int index)
    : AMidiControlWindow(instrument, index, -1) {}

AMidiControlWindow::AMidiControlWindow(InstrumentInterface* instrument, int index, int secondIndex)
    : panels{nullptr, nullptr} {
    int count = secondIndex >= 0 ? 2 : 1;
    setBounds(0, 0, AMidiControlPanel::kWidth + 8,
              count == 2 ? 2 * AMidiControlPanel::kHeight + 24 : AMidiControlPanel::kHeight + 20);
    panels[0] = new AMidiControlPanel(instrument, index);
    panels[0]->setPosition(4, 16);
    add(panels[0]);
    if (count == 2) {
        panels[1] = new AMidiControlPanel(instrument, secondIndex);
        panels[1]->setPosition(4, 16 + AMidiControlPanel::kHeight + 4);
        add(panels[1]);
    }
    closeButton.setPosition(width - 16, 2);
    closeButton.setListener(this);
    add(&closeButton);
}

AMidiControlWindow::~AMidiControlWindow() {
    remove(&closeButton);
    destroyAll();
}

void AMidiControlWindow::draw(CDrawContext* context, int px, int py) {
    drawWindowTitle(this, context, px, py, "MIDI Control Setup");
    APanel::draw(context, px, py);
}

void AMidiControlWindow::buttonPressed(AButton* button, int) {
    if (button == &closeButton) closeWindow(nullptr);
}

ADoubleControlWindow::ADoubleControlWindow(InstrumentInterface* instrument, int index, int secondIndex)
    : AMidiControlWindow(instrument, index, secondIndex) {}
