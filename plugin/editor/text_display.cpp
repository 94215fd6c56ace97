#include "editor/text_display.h"

#include <cstring>

ADisplay::ADisplay(ADisplayStyle* displayStyle, const char* label) : style(displayStyle) {
    width = style->width;
    height = style->height;
    text[0] = 0;
    if (label) {
        strncpy(text, label, sizeof text - 1);
        text[sizeof text - 1] = 0;
    }
}

void ADisplay::draw(CDrawContext* context, int px, int py) {
    CRect rect(px, py, px + width, py + height);
    if (style->background)
        style->background->draw(context, rect);
    else
        drawParentBackground(this, context, px, py, rect, 255);
    context->setFont(kNormalFontSmall, style->fontSize, style->fontStyle);
    context->setFontColor(style->colour);
    context->drawString(text, rect, 0, (CHoriTxtAlign)style->alignment);
}
