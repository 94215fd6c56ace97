#include "editor/halvorn_edit.h"

#include "core/halvorn.h"

HalvornEdit::HalvornEdit(Halvorn* effect) : AEffEditor(effect) {
    rect.top = 0;
    rect.left = 0;
    rect.bottom = 620;
    rect.right = 1008;
    for (int i = 0; i < 128; i++) litKeys[i] = false;
    if (effect) effect->setEditor(this);
}

HalvornEdit::~HalvornEdit() {}

bool HalvornEdit::getRect(ERect** r) {
    if (!r) return false;
    *r = &rect;
    return true;
}

bool HalvornEdit::open(void* parentWindow) {
    AEffEditor::open(parentWindow);
    return false;  // no window yet: see the class comment
}

void HalvornEdit::showKeyDown(int note) {
    if (note >= 0 && note < 128) litKeys[note] = true;
}

void HalvornEdit::showKeyUp(int note) {
    if (note >= 0 && note < 128) litKeys[note] = false;
}
