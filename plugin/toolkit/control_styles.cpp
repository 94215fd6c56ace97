#include "toolkit/control_styles.h"

#include <cstring>

namespace {
void makeTransparent(CBitmap* bitmap) {
    if (bitmap) bitmap->setTransparentColor(kMagentaCColor);
}
}  // namespace

ASliderStyle::ASliderStyle()
    : background(nullptr), handle(nullptr), overlay(nullptr), stepCount(0), width(0), height(0), handleWidth(0),
      handleHeight(0), spareA(0), spareB(0), travel(0), horizontal(false), backgroundOffsetX(0),
      steppedClick(false) {}

void ASliderStyle::init(CBitmap* backgroundBitmap, CBitmap* handleBitmap, int w, int h, int hw, int hh, int a, int b,
                        int travelPixels, int steps, CBitmap* overlayBitmap) {
    background = backgroundBitmap;
    handle = handleBitmap;
    overlay = overlayBitmap;
    width = w;
    height = h;
    handleWidth = hw;
    handleHeight = hh;
    spareA = a;
    spareB = b;
    travel = travelPixels;
    stepCount = steps;
    if (handle) handle->setTransparentColor(kMagentaCColor);
    if (overlay) overlay->setTransparentColor(kMagentaCColor);
}

AKnobStyle::AKnobStyle()
    : filmStrip(nullptr), overlay(nullptr), frameWidth(0), frameHeight(0), frameCount(1), transparent(false),
      wraps(false), angleStart(0.5233333f), angleEnd(5.7566667f), centreX(0), centreY(0), circularAllowed(true),
      reversed(false), steppedClick(false), defaultValue(0.5f), doubleClickTime(0), returnsToCentre(false) {}

void AKnobStyle::init(CBitmap* strip, int width, int height, int count, bool isTransparent, CBitmap* overlayStrip) {
    filmStrip = strip;
    overlay = overlayStrip;
    frameWidth = width;
    frameHeight = height;
    frameCount = count > 0 ? count : 1;
    transparent = isTransparent;
    if (filmStrip && transparent) filmStrip->setTransparentColor(kMagentaCColor);
    if (overlay) overlay->setTransparentColor(kMagentaCColor);
    centreX = width / 2;
    centreY = height / 2;
    circularAllowed = true;
    reversed = false;
}

AButtonStyle::AButtonStyle() : bitmap(nullptr), overlay(nullptr), disabledBitmap(nullptr), width(-1), height(-1) {}

void AButtonStyle::init(CBitmap* image, int w, int h, CBitmap* over, CBitmap* disabled) {
    bitmap = image;
    overlay = over;
    disabledBitmap = disabled;
    makeTransparent(bitmap);
    makeTransparent(overlay);
    makeTransparent(disabledBitmap);
    width = w < 0 && bitmap ? (int)bitmap->getWidth() : w;
    height = h < 0 && bitmap ? (int)bitmap->getHeight() / 2 : h;
}

ASwitchStyle::ASwitchStyle()
    : filmStrip(nullptr), overlay(nullptr), frameWidth(0), frameHeight(0), frameCount(1), transparent(false),
      reversed(false), clickMode(kCycle), hasDisabledFrame(false) {}

void ASwitchStyle::init(CBitmap* strip, int w, int h, int frames, bool isTransparent, CBitmap* over) {
    filmStrip = strip;
    overlay = over;
    makeTransparent(filmStrip);
    makeTransparent(overlay);
    frameWidth = w;
    frameHeight = h;
    // A strip of no frames would divide by zero in every switch that wears it.
    frameCount = frames > 0 ? frames : 1;
    transparent = isTransparent;
    reversed = false;
    clickMode = kCycle;
    hasDisabledFrame = filmStrip && filmStrip->getHeight() > (CCoord)frameHeight * frameCount;
}

AChoiceStyle::AChoiceStyle()
    : items(nullptr), count(0), font(3), fontSize(12), fontStyle(0), colour(kBlackCColor),
      disabledColour(kBlackCColor), background(nullptr) {}

AChoiceStyle::~AChoiceStyle() { releaseItems(); }

void AChoiceStyle::releaseItems() {
    if (items) {
        for (int i = 0; i < count; i++) delete[] items[i];
        delete[] items;
    }
    items = nullptr;
    count = 0;
}

void AChoiceStyle::init(char** list, int n, int fontId, int size, int style, CColor enabled, CColor disabled,
                        CBitmap* back) {
    releaseItems();
    items = list;
    count = list && n > 0 ? n : 0;
    font = fontId;
    fontSize = size;
    fontStyle = style;
    colour = enabled;
    disabledColour = disabled;
    background = back;
}

void AChoiceStyle::init(int n, int fontId, int size, int style, CColor enabled, CColor disabled, CBitmap* back) {
    char** list = nullptr;
    if (n > 0) {
        list = new char*[n];
        for (int i = 0; i < n; i++) {
            list[i] = new char[kItemSize];
            list[i][0] = 0;
        }
    }
    init(list, n, fontId, size, style, enabled, disabled, back);
}

bool AChoiceStyle::setItem(int i, const char* text) {
    if (!items || i < 0 || i >= count || !text) return false;
    strncpy(items[i], text, kItemSize - 1);
    items[i][kItemSize - 1] = 0;
    return true;
}

const char* AChoiceStyle::getItem(int i) const {
    if (i < 0 || i >= getCount()) return "";
    if (items) return items[i] ? items[i] : "";
    return stringList[i].c_str();
}

ADisplayStyle::ADisplayStyle(CBitmap* bitmap, int w, int h, int size, CColor textColour, int align, int face)
    : background(bitmap), width(w), height(h), fontSize(size), alignment(align), fontStyle(face),
      colour(textColour) {}

ADisplayStyle::~ADisplayStyle() {}
