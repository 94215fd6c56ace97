#include "editor/halvorn_edit.h"

#include "core/halvorn.h"

HalvornEdit::HalvornEdit(Halvorn* effect) : AEffEditor(effect) {
    if (effect) effect->setEditor(this);
}
