// The VST 2.4 editor base: what the host's editor opcodes reach.
#pragma once

#include "vst/aeffectx.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect = nullptr) : effect(effect), systemWindow(nullptr) {}
    virtual ~AEffEditor() {}

    virtual AudioEffect* getEffect() { return effect; }
    virtual bool getRect(ERect** rect) {
        *rect = nullptr;
        return false;
    }
    virtual bool open(void* window) {
        systemWindow = window;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& keyCode) { return false; }
    virtual bool onKeyUp(VstKeyCode& keyCode) { return false; }
    virtual bool onWheel(float distance) { return false; }
    virtual bool setKnobMode(VstInt32 mode) { return false; }

protected:
    AudioEffect* effect;
    void* systemWindow;
};
