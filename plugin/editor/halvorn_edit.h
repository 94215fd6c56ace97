// The plug-in's editor object.
//
// Placeholder: this stands in for the full editor (its VSTGUI frame, panels, preset
// bar and widget toolkit) until that is built. It registers with the effect, answers
// the editor rectangle and records lit keys, but opens no window.
#pragma once

#include "editor/aeffeditor.h"
#include "editor/ihalvorn_edit.h"

class Halvorn;

class HalvornEdit : public AEffEditor, public IHalvornEdit {
public:
    explicit HalvornEdit(Halvorn* effect);
    ~HalvornEdit() override;

    bool getRect(ERect** rect) override;
    bool open(void* parentWindow) override;

    virtual void setParameter(int index, float value) {}

    void showKeyDown(int note) override;
    void showKeyUp(int note) override;
    void presetChanged() override {}

    bool isKeyLit(int note) const { return note >= 0 && note < 128 && litKeys[note]; }

private:
    ERect rect;
    volatile bool litKeys[128];
};

// Creates the editor of a plug-in object; null when it cannot be created.
HalvornEdit* createHalvornEdit(Halvorn* effect);
