#include "vstgui/aeffguieditor.h"

#include <ole2.h>

#include "vst/audioeffectx.h"

int AEffGUIEditor::knobMode = 0;

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect)
    : AEffEditor(effect), lastTicks(GetTickCount()), inIdleStuff(false), frame(nullptr), oleInitialised(false),
      oleThread(GetCurrentThreadId()) {
    rect.top = rect.left = rect.bottom = rect.right = 0;
    if (effect) effect->setEditor(this);
    // OLE is given back only when this object took it, and on the thread that took it: a
    // failed initialise has nothing to undo, and another thread's count is not ours.
    HRESULT result = OleInitialize(nullptr);
    oleInitialised = SUCCEEDED(result);
}

AEffGUIEditor::~AEffGUIEditor() {
    if (oleInitialised && GetCurrentThreadId() == oleThread) OleUninitialize();
}

bool AEffGUIEditor::getRect(ERect** r) {
    if (!r) return false;
    *r = &rect;
    return true;
}

void AEffGUIEditor::idle() {
    if (!inIdleStuff && frame) frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) { return frame && frame->onKeyDown(keyCode) == 1; }

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) { return frame && frame->onKeyUp(keyCode) == 1; }

bool AEffGUIEditor::onWheel(float distance) {
    if (!frame) return false;
    CDrawContext context(frame, nullptr, (HWND)systemWindow);
    CPoint where;
    context.getMouseLocation(where);
    return frame->onWheel(&context, where, distance);
}

bool AEffGUIEditor::setKnobMode(VstInt32 mode) {
    knobMode = mode;
    return true;
}

void AEffGUIEditor::beginEdit(int index) {
    if (effect) static_cast<AudioEffectX*>(effect)->beginEdit(index);
}

void AEffGUIEditor::endEdit(int index) {
    if (effect) static_cast<AudioEffectX*>(effect)->endEdit(index);
}

void AEffGUIEditor::doIdleStuff() {
    unsigned long now = GetTickCount();
    // Signed differences: the tick count wraps after 49.7 days.
    if ((long)(now - lastTicks) < 0) {
        Sleep(4);
        now += 4;
        if ((long)(lastTicks - now) > 50) return;
    }
    idle();
    MSG message;
    if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&message);
    lastTicks = now + 100;
    inIdleStuff = true;
    if (effect) effect->masterIdle();
    inIdleStuff = false;
}
