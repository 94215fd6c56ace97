// The looks of the controls: one record per look, shared by every control that wears it.
// Bitmaps come from the bitmap cache; a style never owns them. The GUI bridge keeps tables
// of these records, so they live here beside it rather than with the widgets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vstgui/vstgui.h"

// Bitmap sliders: a handle that travels over a fixed number of pixels, continuous or in
// steps; value 1 is at the top (or the right end).
class ASliderStyle {
public:
    ASliderStyle();
    // The handle and the overlay get magenta transparency; the two spare values are kept
    // and not used.
    void init(CBitmap* background, CBitmap* handle, int width, int height, int handleWidth, int handleHeight,
              int spareA, int spareB, int travel, int stepCount, CBitmap* overlay);

    CBitmap* background;
    CBitmap* handle;
    CBitmap* overlay;
    // Below 1: continuous; otherwise the number of positions.
    int stepCount;
    int width, height;
    int handleWidth, handleHeight;
    int spareA, spareB;
    // Pixels of handle movement from value 1 to value 0.
    int travel;
    bool horizontal;
    int backgroundOffsetX;
    // A click without dragging moves one step.
    bool steppedClick;
};

// Film-strip rotary knobs.
class AKnobStyle {
public:
    AKnobStyle();
    // The strip gets magenta transparency when transparent is set, the overlay always.
    void init(CBitmap* filmStrip, int frameWidth, int frameHeight, int frameCount, bool transparent, CBitmap* overlay);

    CBitmap* filmStrip;
    CBitmap* overlay;
    int frameWidth, frameHeight, frameCount;
    bool transparent;
    // Circular dragging may jump across the ends.
    bool wraps;
    // Pointer angles of value 0 and value 1, in radians clockwise from straight down.
    float angleStart, angleEnd;
    // Pivot of circular dragging, in the knob's coordinates.
    int centreX, centreY;
    bool circularAllowed;
    // Frames counted from the bottom of the strip.
    bool reversed;
    // A click without dragging advances one frame.
    bool steppedClick;
    float defaultValue;
    // Milliseconds; 0 disables the double click.
    int doubleClickTime;
    // After release the knob slides back to 0.5.
    bool returnsToCentre;
};

// The records of the GUI bridge's fourth style table: 28 bytes each; no control of this
// instrument wears one.
struct AStyleTable4Entry {
    int32_t words[7];
};
static_assert(sizeof(AStyleTable4Entry) == 28, "the fourth style table holds 28-byte records");

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

// Fixed text labels.
class ADisplayStyle {
public:
    ADisplayStyle(CBitmap* background, int width, int height, int fontSize, CColor colour, int alignment,
                  int fontStyle);
    virtual ~ADisplayStyle();

    CBitmap* background;
    int width, height;
    int fontSize;
    int alignment;
    int fontStyle;
    CColor colour;
};
