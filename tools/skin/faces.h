// The large pictures: panel backgrounds, the About window, the modulation cover,
// the keyboard slices, the animation and the preset bar's fields and lamps.
#pragma once

#include <string>
#include <vector>

#include "raster.h"
#include "skin_art.h"

namespace skin {

constexpr Rgb kBarColour = rgb(28, 30, 34);

void lcd(Image& im, int x, int y, int w, int h, bool dark);
Image nameField(int w, int h);
Image barLamp(int w, int h, const std::string& text, bool on);

void keyboardSlices(std::vector<Bitmap>& out);
// Backgrounds 1001, 1003, 1004, the About window 2000, the cover 1006 and 1007,
// the animation 1005 and the banner 3001.
void faces(std::vector<Bitmap>& out);

}  // namespace skin
