#include "editor/vexa_trap.h"

VexaTrap::VexaTrap() : frame(0) {}

void VexaTrap::setFrame(unsigned newFrame) {
    frame = newFrame > kOpenFrame ? kOpenFrame : newFrame;
    invalidate();
}

void VexaTrap::draw(CDrawContext*, int, int) { setClean(true); }
