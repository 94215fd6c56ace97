// The editor base of the view library: a rectangle, a frame while open, idle pacing for
// mouse loops, and the process-wide knob mode.
#pragma once

#include "vstgui/aeffeditor.h"
#include "vstgui/vstgui.h"

class AudioEffect;

class AEffGUIEditor : public AEffEditor {
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    bool getRect(ERect** rect) override;
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(float distance) override;
    bool setKnobMode(VstInt32 mode) override;

    virtual void setParameter(int index, float value) {}
    virtual void beginEdit(int index);
    virtual void endEdit(int index);
    // Idle from inside mouse loops: at most one idle per 100 ms, so the face keeps moving
    // while a button is held.
    virtual void doIdleStuff();

    CFrame* getFrame() const { return frame; }
    // VST's values: 0 circular, 1 relative circular, 2 linear; one for the whole process.
    static int knobMode;

protected:
    ERect rect;
    unsigned long lastTicks;
    bool inIdleStuff;
    CFrame* frame;

private:
    bool oleInitialised;
    unsigned long oleThread;
};
