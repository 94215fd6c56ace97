// The on-screen keyboard of 61 keys (MIDI notes 36 to 96): a click plays a note through the
// instrument, and the instrument lights the keys of the notes that sound, from any source.
#pragma once

#include <atomic>

#include "toolkit/acomponent.h"

class InstrumentInterface;

class AVexaKeyboard : public AComponent {
public:
    static const int kKeys = 61;
    static const int kLowestNote = 36;

    explicit AVexaKeyboard(InstrumentInterface* instrument);

    // Any thread: sets a key's lit state (notes outside 36-96 are ignored) and asks for a
    // redraw at the next frame idle.
    void setKeyDown(int note, bool lit);
    bool isKeyLit(int key) const { return key >= 0 && key < kKeys && lit[key].load(std::memory_order_relaxed); }
    // Keys 0 to 60 only.
    void pressKey(int key);
    void releaseKey();
    // The key under a point of the keyboard, -1 where there is none.
    static int keyAt(int x, int y);

    void draw(CDrawContext* context, int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;
    bool mouseUp(int x, int y) override;
    bool mouseMove(int x, int y) override { return true; }
    bool mouseDrag(int x, int y) override { return true; }
    bool hoverEnd() override { return true; }

private:
    int litBit(int key) const { return isKeyLit(key) ? 1 : 0; }

    InstrumentInterface* instrument;
    CBitmap* slices[9];
    std::atomic<bool> lit[kKeys];
    int pressedKey;
};
