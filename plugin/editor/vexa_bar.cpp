#include "editor/vexa_bar.h"

VexaBar::VexaBar(const CRect& size, CFrame* parent, CBitmap* background, InstrumentInterface* instrument,
                 GuiInterface* gui)
    : CView(size), background(background), instrument(instrument), gui(gui), modified(false), rebuildPending(false) {
    if (background) background->remember();
}

VexaBar::~VexaBar() {
    if (background) background->forget();
}

void VexaBar::draw(CDrawContext* context) {
    if (background && background->isLoaded()) {
        background->draw(context, size, CPoint(0, 0));
    } else {
        context->setFillColor(kBlackCColor);
        context->fillRect(size);
    }
}

void VexaBar::idle() {
    if (rebuildPending) {
        rebuildPending = false;
        setDirty(true);
    }
}

void VexaBar::presetChanged() {
    modified = false;
    rebuildPending = true;
}

void VexaBar::setModified() {
    if (modified) return;
    modified = true;
    setDirty(true);
}
