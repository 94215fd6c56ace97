// A fixed text label and its style.
#pragma once

#include "toolkit/acomponent.h"

// Horizontal alignment and text faces as the view library numbers them.
enum CHoriTxtAlign { kLeftText = 0, kCenterText = 1, kRightText = 2 };
enum CTxtFace { kNormalFace = 0, kBoldFace = 1, kItalicFace = 2, kUnderlineFace = 4 };

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

// Draws text in the small font (the view library's font 4) at a size and face, aligned in
// rect, without filling behind it.
void drawStyledText(CDrawContext* context, const char* text, const CRect& rect, int fontSize, int fontStyle,
                    int alignment, const CColor& colour);

class ADisplay : public AComponent {
public:
    ADisplay(ADisplayStyle* style, const char* text);

    void draw(CDrawContext* context, int x, int y) override;
    const char* getText() const { return text; }

private:
    ADisplayStyle* style;
    char text[256];
};
