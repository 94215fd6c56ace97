#include "editor/skin_tables.h"

#include <cstdio>

#include "editor/knob.h"
#include "editor/slider.h"
#include "toolkit/aframe.h"
#include "toolkit/control_styles.h"

namespace {
// The view library's font number 3.
const int kNormalFont = 3;

ASliderStyle** sliderTable = nullptr;
AKnobStyle** knobTable = nullptr;
ASwitchStyle** switchTable = nullptr;
AButtonStyle** buttonTable = nullptr;
AChoiceStyle** choiceTable = nullptr;
int builds = 0;

CBitmap* bitmapOrNone(int id) { return id ? BitmapCache::get(id) : nullptr; }

template <typename Style>
void releaseTable(Style**& table, int count) {
    if (!table) return;
    for (int i = 0; i < count; i++) delete table[i];
    delete[] table;
    table = nullptr;
}

void buildSliders() {
    static const struct {
        int handle, overlay, steps;
    } rows[kSkinSliderStyles] = {{200, 201, 0}, {210, 211, 0}, {204, 205, 0}, {202, 203, 0}, {206, 207, 0},
                                 {208, 209, 0}, {202, 203, 3}, {202, 203, 5}, {202, 203, 6}, {200, 201, 4}};
    sliderTable = new ASliderStyle*[kSkinSliderStyles];
    for (int i = 0; i < kSkinSliderStyles; i++) {
        sliderTable[i] = new ASliderStyle();
        // 20 x 51 with a 20 x 15 handle that travels 36 pixels.
        sliderTable[i]->init(nullptr, BitmapCache::get(rows[i].handle), 20, 51, 20, 15, 0, 0, 36, rows[i].steps,
                             BitmapCache::get(rows[i].overlay));
    }
    builds++;
}

void buildKnobs() {
    struct Row {
        int bitmap, width, height;
        bool transparent;
        int overlay;
        bool circular, reversed;
    };
    static const Row rows[8] = {
        {300, 26, 26, true, 0, true, false},   {302, 26, 26, true, 0, true, false},
        {301, 26, 26, true, 0, true, false},   {220, 21, 30, true, 221, false, true},
        {230, 21, 30, true, 231, false, true}, {222, 21, 30, true, 223, false, true},
        {226, 21, 30, true, 227, false, true}, {228, 21, 30, true, 229, false, true},
    };
    knobTable = new AKnobStyle*[kSkinKnobStyles];
    for (int i = 0; i < kSkinKnobStyles; i++) {
        // 8-15: the small opaque knobs 310-317.
        Row row = i < 8 ? rows[i] : Row{310 + (i - 8), 24, 24, false, 0, true, true};
        AKnobStyle* style = new AKnobStyle();
        style->init(BitmapCache::get(row.bitmap), row.width, row.height, 64, row.transparent,
                    bitmapOrNone(row.overlay));
        style->circularAllowed = row.circular;
        style->reversed = row.reversed;
        knobTable[i] = style;
    }
    builds++;
}

void buildSwitches() {
    static const struct {
        int bitmap, overlay, width, height, frames;
    } rows[kSkinSwitchStyles] = {
        {357, 358, 17, 37, 2}, {350, 351, 18, 18, 2}, {362, 363, 19, 19, 2}, {359, 360, 17, 37, 3},
        {364, 365, 17, 18, 5}, {366, 367, 18, 18, 2}, {503, 0, 23, 9, 2},    {504, 0, 23, 9, 2},
        {505, 0, 19, 9, 2},    {506, 0, 42, 17, 2},   {353, 356, 26, 58, 2}, {354, 356, 26, 58, 2},
        {355, 370, 22, 58, 2}, {507, 0, 19, 9, 2},    {349, 0, 69, 27, 2},   {352, 0, 69, 27, 2},
    };
    switchTable = new ASwitchStyle*[kSkinSwitchStyles];
    for (int i = 0; i < kSkinSwitchStyles; i++) {
        switchTable[i] = new ASwitchStyle();
        switchTable[i]->init(BitmapCache::get(rows[i].bitmap), rows[i].width, rows[i].height, rows[i].frames, true,
                             bitmapOrNone(rows[i].overlay));
    }
    builds++;
}

void buildButtons() {
    buttonTable = new AButtonStyle*[kSkinButtonStyles];
    for (int i = 0; i < kSkinButtonStyles; i++) {
        int bitmap = 0, w = 18, h = 18, overlay = 0;
        if (i == 0) {
            bitmap = 366;
            overlay = 367;
        } else if (i <= 11) {
            bitmap = 170 + (i - 1);
        } else if (i == 12) {
            bitmap = 181;
            w = 21;
        } else if (i <= 23) {
            bitmap = 184 + (i - 13);
            h = 21;
        } else if (i == 24) {
            bitmap = 195;
            w = 21;
            h = 21;
        } else if (i == 25) {
            w = h = 9;
        } else if (i == 26) {
            w = h = 13;
        } else if (i == 27) {
            bitmap = 380;
            w = 37;
            h = 22;
        } else {
            bitmap = 381;
            w = 13;
            h = 11;
        }
        buttonTable[i] = new AButtonStyle();
        buttonTable[i]->init(bitmapOrNone(bitmap), w, h, bitmapOrNone(overlay), nullptr);
    }
    builds++;
}

// Items from texts, or numbered with format from first on, with lastText (when given) as
// the final item.
void fillChoice(AChoiceStyle* style, int count, int fontSize, const char* const* texts, const char* format, int first,
                const char* lastText) {
    const CColor black = {0, 0, 0, 255};
    style->init(count, kNormalFont, fontSize, 0, black, black, nullptr);
    for (int i = 0; i < count; i++) {
        char text[AChoiceStyle::kItemSize];
        if (texts)
            snprintf(text, sizeof text, "%s", texts[i]);
        else if (lastText && i == count - 1)
            snprintf(text, sizeof text, "%s", lastText);
        else
            snprintf(text, sizeof text, format, first + i);
        style->setItem(i, text);
    }
}

void buildChoices() {
    static const char* const sources[14] = {"LFO 1",     "LFO 2",      "SubOsc",    "EG Filter 1", "EG ampl 1",
                                            "EG filter 2", "EG ampl 2", "Velocity",  "After touch", "Ribbon",
                                            "Wheel",     "Foot Exp",   "Keyb.Follow", "Off"};
    static const char* const destinations[39] = {
        "VCO 1 Freq",  "VCO 1 PW",    "Noise 1 vol", "Noise 2 vol", "VCO 2 Freq",  "VCO 2 PW",    "HP 1 cut",
        "HP 1 res",    "LP 1 cut",    "LP 1 res",    "HP 2 cut",    "HP 2 res",    "LP 2 cut",    "LP 2 res",
        "VCA 1 vol",   "VCA 2 vol",   "Sin 1 vol",   "Sin 2 vol",   "LFO 1 speed", "LFO 1 vol",   "LFO 2 speed",
        "LFO 2 vol",   "EG VCF 1 IL", "EG VCF 1 AL", "EG VCF 1 A",  "EG VCF 1 D",  "EG VCF 1 R",  "EG VCF 2 IL",
        "EG VCF 2 AL", "EG VCF 2 A",  "EG VCF 2 D",  "EG VCF 2 R",  "EG VCA 1 A",  "EG VCA 1 D",  "EG VCA 1 R",
        "EG VCA 2 A",  "EG VCA 2 D",  "EG VCA 2 R",  "Off"};
    static const char* const modes[7] = {"Random", "Rotate", "ReAssign", "Reset", "UniLow", "UniHigh", "UniLast"};
    choiceTable = new AChoiceStyle*[kSkinChoiceStyles];
    for (int i = 0; i < kSkinChoiceStyles; i++) choiceTable[i] = new AChoiceStyle();
    fillChoice(choiceTable[0], 14, 8, sources, nullptr, 0, nullptr);
    fillChoice(choiceTable[1], 39, 8, destinations, nullptr, 0, nullptr);
    fillChoice(choiceTable[2], 5, 10, nullptr, "Z %d", 1, "Off");
    fillChoice(choiceTable[3], 17, 10, nullptr, "Ch %d", 1, "Omni");
    fillChoice(choiceTable[4], 128, 10, nullptr, "%d", 0, nullptr);
    fillChoice(choiceTable[5], 7, 10, modes, nullptr, 0, nullptr);
    builds++;
}
}  // namespace

ASliderStyle* getSkinSliderStyle(int i) {
    if (!sliderTable) buildSliders();
    return i >= 0 && i < kSkinSliderStyles ? sliderTable[i] : nullptr;
}

AKnobStyle* getSkinKnobStyle(int i) {
    if (!knobTable) buildKnobs();
    return i >= 0 && i < kSkinKnobStyles ? knobTable[i] : nullptr;
}

ASwitchStyle* getSkinSwitchStyle(int i) {
    if (!switchTable) buildSwitches();
    return i >= 0 && i < kSkinSwitchStyles ? switchTable[i] : nullptr;
}

AButtonStyle* getSkinButtonStyle(int i) {
    if (!buttonTable) buildButtons();
    return i >= 0 && i < kSkinButtonStyles ? buttonTable[i] : nullptr;
}

AChoiceStyle* getSkinChoiceStyle(int i) {
    if (!choiceTable) buildChoices();
    return i >= 0 && i < kSkinChoiceStyles ? choiceTable[i] : nullptr;
}

void releaseSkinStyles() {
    releaseTable(sliderTable, kSkinSliderStyles);
    releaseTable(knobTable, kSkinKnobStyles);
    releaseTable(switchTable, kSkinSwitchStyles);
    releaseTable(buttonTable, kSkinButtonStyles);
    releaseTable(choiceTable, kSkinChoiceStyles);
}

int skinTableBuilds() { return builds; }
