#include "editor/vexa_trap.h"

#include "toolkit/aframe.h"

namespace {
const int kCoverBitmap = 1006;
const int kBandBitmap = 1007;
const int kFrameHeight = 178;
const unsigned char kBandAlpha = 128;
// The band's rows for frames 2 to 5, as the cover's edge passes them.
const int kBandRows[4][2] = {{143, 166}, {95, 125}, {50, 67}, {29, 39}};
const int kBandLeft = 6;
const int kBandRight = 260;
}  // namespace

VexaTrap::VexaTrap() : frame(0) {}

void VexaTrap::setFrame(unsigned newFrame) {
    frame = newFrame > kOpenFrame ? kOpenFrame : newFrame;
    invalidate();
}

void VexaTrap::draw(CDrawContext* context, int px, int py) {
    setClean(true);
    if (frame >= 2 && frame <= 5) {
        const int* rows = kBandRows[frame - 2];
        CBitmap* band = BitmapCache::getTransparent(kBandBitmap);
        if (band->isLoaded())
            band->drawAlphaBlend(context, rectFromCorners(px + kBandLeft, py + rows[0], px + kBandRight, py + rows[1]),
                                 CPoint(0, 0), kBandAlpha);
    }
    CBitmap* cover = BitmapCache::getTransparent(kCoverBitmap);
    if (cover->isLoaded())
        cover->drawTransparent(context, CRect(px, py, px + width, py + height), CPoint(0, kFrameHeight * (int)frame));
}
