#include "toolkit/control_styles.h"

#include <cstring>

namespace {
void makeTransparent(CBitmap* bitmap) {
    if (bitmap) bitmap->setTransparentColor(kMagentaCColor);
}
}  // namespace

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
