// Every bitmap resource of the editor's skin, drawn by the generator.
#pragma once

#include <vector>

#include "raster.h"

namespace skin {

struct Bitmap {
  int id;
  Image image;
  int frameHeight;  // height of one frame of a strip; the image height for a single picture
};

// Knob pointer angle law: value 0 at 0.5233333 rad and value 1 at 5.7566667 rad,
// measured clockwise from straight down.
constexpr double kKnobAngleStart = 0.5233333;
constexpr double kKnobAngleEnd = 5.7566667;
constexpr int kKnobFrames = 64;

std::vector<Bitmap> drawSkin();

// A picture of every bitmap with its id, for looking at the artwork.
Image contactSheet(const std::vector<Bitmap>& bitmaps);

}  // namespace skin
