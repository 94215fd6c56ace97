// The root panel of the editor's tree: it switches between the full layout (1008 x 620
// window) and the compact one (1008 x 341), draws the background of the whole face and
// sizes the host's window. The section panels it holds are added with their own classes;
// until then it shows their empty backgrounds.
#pragma once

#include "toolkit/acomponent.h"
#include "toolkit/gui_interface.h"

class AFrame;
class AVexaKeyboard;
class Halvorn;

class VexaPanel : public APanel, public AParameterReceptor {
public:
    VexaPanel(AFrame* frame, InstrumentInterface* instrument, GuiInterface* gui, int layout);
    ~VexaPanel() override;

    // Deferred: taken at the panel's next idle.
    void setLayout(int layout, bool deferred);
    int getLayout() const { return layout; }
    void resizeWindow(int height);
    void chooseBackground();
    int getBackgroundId() const { return backgroundId; }

    void drawBackground(CDrawContext* context, const CRect& rect, const CPoint& offset, int alpha) override;
    void draw(CDrawContext* context, int x, int y) override;
    void idle() override;

    void parameterChanged(int index, float value) override;
    void setHighlight(float colour) override {}

    // The on-screen keyboard that lights the notes the instrument plays; none until one
    // registers.
    void setKeyboard(AVexaKeyboard* shown) { keyboard = shown; }
    void showKeyDown(int note);
    void showKeyUp(int note);

private:
    Halvorn* instrumentObject() const;

    AFrame* toolkitFrame;
    int layout;
    bool layoutPending;
    int pendingLayout;
    int backgroundId;
    AVexaKeyboard* keyboard;
};
