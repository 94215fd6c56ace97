// The looks of the discrete controls: one record per look, shared by every control that
// wears it. Bitmaps come from the bitmap cache; a style never owns them.
#pragma once

#include <string>
#include <vector>

#include "vstgui/vstgui.h"

// Push buttons: the released and the pressed image one above the other (more pairs below
// them for buttons that choose a frame variant).
class AButtonStyle {
public:
    AButtonStyle();
    // width -1 takes the bitmap's width, height -1 half its height. The bitmaps become
    // transparent on magenta.
    void init(CBitmap* bitmap, int width, int height, CBitmap* overlay, CBitmap* disabledBitmap);
    // Top of the image of a state: variant < 0 counts states, else pairs of variants.
    int frameTop(int state, int variant) const { return (variant < 0 ? state : variant + 2 * state) * height; }

    CBitmap* bitmap;
    CBitmap* overlay;
    CBitmap* disabledBitmap;
    int width, height;
};

// Film-strip switches and lamps: frames stacked vertically, frameHeight apart.
class ASwitchStyle {
public:
    enum ClickMode { kCycle = 0, kPosition = 1 };

    ASwitchStyle();
    // The strip and the overlay become transparent on magenta. A strip taller than its
    // frames carries one more frame after the last: the disabled look.
    void init(CBitmap* filmStrip, int frameWidth, int frameHeight, int frameCount, bool transparent, CBitmap* overlay);

    CBitmap* filmStrip;
    CBitmap* overlay;
    int frameWidth, frameHeight;
    int frameCount;
    bool transparent;
    bool reversed;
    int clickMode;
    bool hasDisabledFrame;
};

// The list and the lettering of a choice control.
class AChoiceStyle {
public:
    static const int kItemSize = 64;  // bytes per allocated item, terminator included

    AChoiceStyle();
    ~AChoiceStyle();
    AChoiceStyle(const AChoiceStyle&) = delete;
    AChoiceStyle& operator=(const AChoiceStyle&) = delete;

    // Takes a caller's array of new[]-allocated strings (and the array itself), which the
    // style then owns.
    void init(char** items, int count, int font, int fontSize, int fontStyle, CColor colour, CColor disabledColour,
              CBitmap* background);
    // Allocates count empty items of kItemSize bytes for the owner to fill.
    void init(int count, int font, int fontSize, int fontStyle, CColor colour, CColor disabledColour,
              CBitmap* background);
    // Writes item i of an allocated list, cut to 63 characters; false outside the list.
    bool setItem(int i, const char* text);

    int getCount() const { return items ? count : (int)stringList.size(); }
    // Item i; "" outside the list.
    const char* getItem(int i) const;

    char** items;
    int count;
    int font;
    int fontSize;
    int fontStyle;
    CColor colour;
    CColor disabledColour;
    CBitmap* background;
    // The items when there is no array.
    std::vector<std::string> stringList;

private:
    void releaseItems();
};
