#include "editor/vexa_gui_interface.h"

#include "core/parameter_table.h"
#include "editor/skin_tables.h"
#include "editor/vexa_panel.h"

namespace {
int live = 0;
}  // namespace

VexaGuiInterface::VexaGuiInterface()
    : voiceEditListener(nullptr), lineChangeListener(nullptr), presetModifListener(nullptr), rootPanel(nullptr) {
    for (int p = 0; p < kPatches; p++) selected[p] = p == 0;
    live++;
}

VexaGuiInterface::~VexaGuiInterface() {
    if (--live == 0) releaseSkinStyles();
}

int VexaGuiInterface::liveCount() { return live; }

void VexaGuiInterface::setPatchSelected(unsigned patch, bool on) {
    if (patch >= (unsigned)kPatches) return;
    selected[patch] = on;
    if (voiceEditListener) voiceEditListener->voiceEditModeChanged(getNbSelectedPatches() >= 2);
}

int VexaGuiInterface::getNbSelectedPatches() const {
    int n = 0;
    for (bool s : selected) n += s ? 1 : 0;
    return n;
}

void VexaGuiInterface::setLayout(int layout) {
    if (rootPanel) rootPanel->setLayout(layout, true);
}

void VexaGuiInterface::toggleAboutWindow() {
    if (rootPanel) rootPanel->toggleAboutWindow();
}

void VexaGuiInterface::hideAboutWindow() {
    if (rootPanel) rootPanel->hideAboutWindow();
}

void VexaGuiInterface::clearPresetModified() {
    if (presetModifListener) presetModifListener->clearModified();
}

int VexaGuiInterface::widgetIndexOf(int index, int* kind, int* local) const {
    int patch, base;
    decodeParameterIndex(index, local, &patch, kind, &base);
    // For the parts' patch numbers (2000-2007) the decoder reports the part as the patch:
    // they are shown while the flag of that number is set.
    if (patch >= 0 && !isPatchSelected(patch)) return -1;
    return base + *local;
}

void VexaGuiInterface::parameterChanged(int index, float value) {
    int kind, local;
    int widgetIndex = widgetIndexOf(index, &kind, &local);
    if (widgetIndex >= 0) GuiInterface::parameterChanged(widgetIndex, value);
    if (lineChangeListener) {
        if (kind == kPatchParameter && local >= 0 && local < 48)
            lineChangeListener->lineChanged(local < 24 ? 0 : 1);
        else if (kind == kPatchInternalParameter && local >= 0 && local < 20)
            lineChangeListener->lineChanged(local < 10 ? 0 : 1);
    }
    if (presetModifListener) presetModifListener->setModified(index, value);
}

void VexaGuiInterface::highlightParameter(int index, float colour) {
    int kind, local;
    int widgetIndex = widgetIndexOf(index, &kind, &local);
    if (widgetIndex >= 0) GuiInterface::highlightParameter(widgetIndex, colour);
}
