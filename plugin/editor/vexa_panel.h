// The root panel of the editor's tree: it switches between the full layout (1008 x 620
// window: multi, modulation, voice and keyboard sections and the modulation cover) and the
// compact one (1008 x 341: the keyboard section under a spacer), draws the background of
// the whole face, runs the cover animation, shows the About window and sizes the host's
// window.
#pragma once

#include "editor/vexa_gui_interface.h"
#include "toolkit/acomponent.h"
#include "toolkit/gui_interface.h"

class AFrame;
class AVexaKeyboard;
class Halvorn;
class VexaAboutWindow;
class VexaInterface;
class VexaKeyboardPanel;
class VexaModulationPanel;
class VexaPanelMulti;
class VexaTrap;
class VexaVoicePanel;

class VexaPanel : public APanel, public VexaVoiceEditListener, public AParameterReceptor {
public:
    static constexpr int kFullLayout = 0;
    static constexpr int kCompactLayout = 1;

    // No child is shown until the first setLayout.
    VexaPanel(AFrame* frame, VexaInterface* instrument, VexaGuiInterface* gui, int layout);
    ~VexaPanel() override;

    // Deferred: taken at the panel's next idle.
    void setLayout(int layout, bool deferred);
    int getLayout() const { return layout; }
    void resizeWindow(int height);
    void chooseBackground();
    int getBackgroundId() const { return backgroundId; }

    void drawBackground(CDrawContext* context, const CRect& rect, const CPoint& offset, int alpha) override;
    void idle() override;

    void parameterChanged(int index, float value) override;
    void setHighlight(float colour) override {}
    void voiceEditModeChanged(bool multiple) override;

    void toggleAboutWindow();
    void hideAboutWindow();
    bool isAboutShown() const { return aboutShown; }
    // Puts a moving cover at its end frame; false when it was at rest.
    bool finishTrapAnimation();
    int getTrapDirection() const { return trapDirection; }

    // Any thread's notes reach this through the editor's idle.
    void showKeyDown(int note);
    void showKeyUp(int note);
    // A keyboard that lights the notes instead of the keyboard panel's; none by default.
    void setKeyboard(AVexaKeyboard* shown) { keyboard = shown; }

    VexaPanelMulti* getMultiPanel() const { return multiPanel; }
    VexaModulationPanel* getModulationPanel() const { return modulationPanel; }
    VexaVoicePanel* getVoicePanel() const { return voicePanel; }
    VexaKeyboardPanel* getKeyboardPanel() const { return keyboardPanel; }
    APanel* getSpacer() const { return spacer; }
    VexaAboutWindow* getAboutWindow() const { return aboutWindow; }
    VexaTrap* getTrap() const { return trap; }

private:
    Halvorn* instrumentObject() const;
    bool coverOpen() const;
    void removeLayoutChildren();

    AFrame* toolkitFrame;
    VexaInterface* instrumentBridge;
    VexaGuiInterface* guiBridge;
    VexaVoicePanel* voicePanel;
    VexaKeyboardPanel* keyboardPanel;
    VexaPanelMulti* multiPanel;
    VexaModulationPanel* modulationPanel;
    APanel* spacer;
    VexaAboutWindow* aboutWindow;
    VexaTrap* trap;
    AVexaKeyboard* keyboard;
    bool aboutShown;
    int backgroundId;
    // +1 opening, -1 closing, 0 at rest.
    int trapDirection;
    int layout;
    bool layoutPending;
    int pendingLayout;
};
