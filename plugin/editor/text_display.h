// A fixed text label and its style.
#pragma once

#include "toolkit/acomponent.h"

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

class ADisplay : public AComponent {
public:
    ADisplay(ADisplayStyle* style, const char* text);

    void draw(CDrawContext* context, int x, int y) override;
    const char* getText() const { return text; }

private:
    ADisplayStyle* style;
    char text[256];
};
