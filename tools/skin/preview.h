// The full face with every control drawn at its place, for judging the artwork before
// the editor draws it.
#pragma once

#include <vector>

#include "skin_art.h"

namespace skin {

Image facePreview(const std::vector<Bitmap>& bitmaps);

}  // namespace skin
