// The editor's GUI bridge: which patches the editor edits, and the editor-wide listeners.
// A change of one patch's copy of a parameter reaches the widgets (under the patch 0 index
// they use) only while that patch is selected.
#pragma once

#include "toolkit/gui_interface.h"

class VexaPanel;

class VexaVoiceEditListener {
public:
    // True while two or more patches are selected.
    virtual void voiceEditModeChanged(bool multiple) = 0;
};

class VexaLineChangeListener {
public:
    // A parameter of line 0 or line 1 of the selected sound was edited.
    virtual void lineChanged(int line) = 0;
};

class VexaPresetModifListener {
public:
    // The parameter of that index now holds the value.
    virtual void setModified(int index, float value) = 0;
    virtual void clearModified() = 0;
};

class VexaGuiInterface : public GuiInterface {
public:
    static const int kPatches = 8;

    VexaGuiInterface();
    // The last one of the process releases the skin tables.
    ~VexaGuiInterface() override;

    void parameterChanged(int index, float value) override;
    void highlightParameter(int index, float colour) override;

    void setVoiceEditListener(VexaVoiceEditListener* listener) { voiceEditListener = listener; }
    void setLineChangeListener(VexaLineChangeListener* listener) { lineChangeListener = listener; }
    void setPresetModifListener(VexaPresetModifListener* listener) { presetModifListener = listener; }
    void setRootPanel(VexaPanel* panel) { rootPanel = panel; }
    VexaPanel* getRootPanel() const { return rootPanel; }

    // Patches above 7 are ignored.
    void setPatchSelected(unsigned patch, bool on);
    // False outside 0-7.
    bool isPatchSelected(int patch) const { return patch >= 0 && patch < kPatches && selected[patch]; }
    int getNbSelectedPatches() const;
    // Taken by the root panel at its next idle.
    void setLayout(int layout);
    // The About window, shown by the root panel in the full layout only.
    void toggleAboutWindow();
    void hideAboutWindow();
    void clearPresetModified();

    static int liveCount();

private:
    // The widget index of a change, or -1 when no widget of this editor shows it.
    int widgetIndexOf(int index, int* kind, int* local) const;

    VexaVoiceEditListener* voiceEditListener;
    VexaLineChangeListener* lineChangeListener;
    VexaPresetModifListener* presetModifListener;
    bool selected[kPatches];
    VexaPanel* rootPanel;
};
