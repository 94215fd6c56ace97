#include "editor/text_display.h"

#include <cstring>

#include "editor/knob.h"

ADisplayStyle::ADisplayStyle(CBitmap* bitmap, int w, int h, int size, CColor textColour, int align, int face)
    : background(bitmap), width(w), height(h), fontSize(size), alignment(align), fontStyle(face),
      colour(textColour) {}

ADisplayStyle::~ADisplayStyle() {}

void drawStyledText(CDrawContext* context, const char* text, const CRect& rect, int fontSize, int fontStyle,
                    int alignment, const CColor& colour) {
    if (!text || !*text) return;
    HDC dc = context->getSystemContext();
    // The small font: a plain sans-serif face whose cell height is the size in pixels.
    HFONT font = CreateFontA(-fontSize, 0, 0, 0, (fontStyle & kBoldFace) ? FW_BOLD : FW_NORMAL,
                             (fontStyle & kItalicFace) ? TRUE : FALSE, (fontStyle & kUnderlineFace) ? TRUE : FALSE,
                             FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, "Arial");
    HGDIOBJ previous = SelectObject(dc, font);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, colour.ref());
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    UINT align = alignment == kCenterText ? DT_CENTER : (alignment == kRightText ? DT_RIGHT : DT_LEFT);
    DrawTextA(dc, text, -1, &r, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, previous);
    DeleteObject(font);
}

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
    drawStyledText(context, text, rect, style->fontSize, style->fontStyle, style->alignment, style->colour);
}
