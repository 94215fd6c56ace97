// The strip across the top 33 rows of the editor, where the preset bar's menus, names and
// buttons go. For now it draws its background and keeps the marks the instrument sets.
#pragma once

#include "vstgui/vstgui.h"

class InstrumentInterface;
class GuiInterface;

class VexaBar : public CView {
public:
    VexaBar(const CRect& size, CFrame* parent, CBitmap* background, InstrumentInterface* instrument,
            GuiInterface* gui);
    ~VexaBar() override;

    void draw(CDrawContext* context) override;
    void idle();
    // The preset was changed from outside the editor: the mark goes, names are read again.
    void presetChanged();
    void setModified();
    bool isModified() const { return modified; }

private:
    CBitmap* background;
    InstrumentInterface* instrument;
    GuiInterface* gui;
    bool modified;
    bool rebuildPending;
};
