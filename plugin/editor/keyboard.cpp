#include "editor/keyboard.h"

#include "toolkit/aframe.h"
#include "toolkit/gui_interface.h"

namespace {
// Slices of one octave: 140 pixels for twelve keys, each slice 127 pixels high and
// showing up to three keys (left white, black, right white).
const int kOctaveWidth = 140;
const int kSliceHeight = 127;
const int kBlackZone = 83;
const int kVelocity = 64;
const int kFirstSlice = 5000;
}  // namespace

AVexaKeyboard::AVexaKeyboard(InstrumentInterface* bridge) : instrument(bridge), pressedKey(-1) {
    for (int i = 0; i < 9; i++) slices[i] = BitmapCache::getTransparent(kFirstSlice + i);
    for (int i = 0; i < 9; i++) slices[i]->setTransparentColor(kMagentaCColor);
    for (auto& key : lit) key.store(false);
}

void AVexaKeyboard::setKeyDown(int note, bool on) {
    if (note >= kLowestNote && note < kLowestNote + kKeys) lit[note - kLowestNote].store(on, std::memory_order_relaxed);
    invalidate();
}

void AVexaKeyboard::pressKey(int key) {
    if (key < 0 || key >= kKeys) return;
    if (instrument) instrument->noteOn(kLowestNote + key, kVelocity, 0);
    pressedKey = key;
}

void AVexaKeyboard::releaseKey() {
    if (pressedKey < 0) return;
    if (instrument) instrument->noteOff(kLowestNote + pressedKey, 0);
    pressedKey = -1;
}

int AVexaKeyboard::keyAt(int px, int py) {
    if (px < 0 || py < 0) return -1;
    int octave = px / kOctaveWidth;
    int within = px % kOctaveWidth;
    if (octave == 5) return within / 20 == 0 ? 60 : -1;
    if (octave > 5) return -1;
    int semitone;
    if (py < kBlackZone) {
        static const int black[7] = {1, 3, -1, 6, 8, 10, -1};
        // Truncated toward zero, so the first 34 pixels of an octave are cell 0.
        int cell = (within - 14) / 20;
        semitone = black[cell];
    } else {
        static const int white[7] = {0, 2, 4, 5, 7, 9, 11};
        semitone = white[within / 20];
    }
    return semitone < 0 ? -1 : 12 * octave + semitone;
}

bool AVexaKeyboard::mouseDown(int px, int py, int) {
    int key = keyAt(px, py);
    if (key >= 0) pressKey(key);
    return true;
}

bool AVexaKeyboard::mouseUp(int, int) {
    releaseKey();
    return true;
}

void AVexaKeyboard::draw(CDrawContext* context, int px, int py) {
    drawParentBackground(this, context, px, py, CRect(px, py, px + width, py + height), 255);
    auto slice = [&](int bitmap, int left, int sliceWidth, int frame) {
        CRect rect(left, py, left + sliceWidth, py + kSliceHeight);
        slices[bitmap - kFirstSlice]->drawTransparent(context, rect, CPoint(0, kSliceHeight * frame));
    };
    // Where two white keys meet without a black key, the middle bit of the frame is the
    // lowest key's lit state.
    int lowest = litBit(0);
    for (int o = 0; o < 5; o++) {
        int left = px + kOctaveWidth * o;
        int k = 12 * o;
        int c = o == 0 ? litBit(0) : 4 * litBit(k - 1) + 2 * lowest + litBit(k);
        slice(o == 0 ? 5000 : 5001, left, 20, c);
        slice(5003, left + 12, 28, 4 * litBit(k) + 2 * litBit(k + 1) + litBit(k + 2));
        slice(5004, left + 36, 24, 4 * litBit(k + 2) + 2 * litBit(k + 3) + litBit(k + 4));
        slice(5005, left + 60, 20, 4 * litBit(k + 4) + 2 * lowest + litBit(k + 5));
        slice(5006, left + 72, 28, 4 * litBit(k + 5) + 2 * litBit(k + 6) + litBit(k + 7));
        slice(5007, left + 94, 26, 4 * litBit(k + 7) + 2 * litBit(k + 8) + litBit(k + 9));
        slice(5008, left + 116, 24, 4 * litBit(k + 9) + 2 * litBit(k + 10) + litBit(k + 11));
    }
    slice(5002, px + 700, 20, 4 * litBit(59) + 2 * lowest + litBit(60));
}
