// The generator's own 5 x 7 pixel font for panel labels (capitals, digits and the
// punctuation the panels need; lower case is drawn as capitals).
#pragma once

#include <string>

#include "raster.h"

namespace skin {

constexpr int kGlyphHeight = 7;

int textWidth(const std::string& text, int scale = 1);
// Draws text with its top-left corner at (x, y); each font pixel becomes scale x scale pixels.
void drawText(Image& im, int x, int y, const std::string& text, Rgb c, int scale = 1);
void drawTextCentred(Image& im, int cx, int y, const std::string& text, Rgb c, int scale = 1);
// Text with a one-pixel shadow below and right, engraved into the panel.
void drawLabel(Image& im, int cx, int y, const std::string& text, Rgb c, Rgb shadow, int scale = 1);

}  // namespace skin
