// The native profiling harness has no windows: in place of the editor, an object that takes
// what the instrument tells its editor and shows nothing.
#pragma once

#include "editor/ihalvorn_edit.h"
#include "vstgui/aeffeditor.h"

class Halvorn;

class HalvornEdit : public AEffEditor, public IHalvornEdit {
public:
    explicit HalvornEdit(Halvorn* effect);
    void setParameter(int index, float value) {}
    void showKeyDown(int note) override {}
    void showKeyUp(int note) override {}
    void presetChanged() override {}
};

// Made with the instrument, whose construction fails without an editor.
HalvornEdit* createHalvornEdit(Halvorn* effect);
