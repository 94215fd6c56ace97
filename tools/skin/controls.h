// Painters of the control pictures, shared by the strips and the background furniture.
#pragma once

#include <string>
#include <vector>

#include "raster.h"
#include "skin_art.h"

namespace skin {

// The face's colours.
constexpr Rgb kPanel = rgb(38, 41, 46);
constexpr Rgb kPlate = rgb(52, 56, 62);
constexpr Rgb kPlateEdge = rgb(82, 87, 95);
constexpr Rgb kShadow = rgb(18, 19, 22);
constexpr Rgb kText = rgb(226, 222, 208);
constexpr Rgb kDimText = rgb(150, 152, 150);
constexpr Rgb kAccent = rgb(240, 156, 58);
constexpr Rgb kAboutPlate = rgb(46, 50, 57);

struct KnobLook {
  Rgb body, pointer, arc, track;
  bool bipolar;
};

double knobAngle(double value);
Image ghost(const Image& src);
Image stack(const std::vector<Image>& frames);

Image knobFrame(int w, int h, double value, const KnobLook& look, Rgb matte, bool keyed);
Image knobStrip(int w, int h, const KnobLook& look, Rgb matte, bool keyed, bool reversed);
Image sliderCap(int w, int h, Rgb line);
Image leverFrame(int w, int h, int positions, int pos, bool disabled);
Image ledFrame(int w, int h, double level, Rgb colour, bool bezel);
Image slideFrame(int w, int h, bool on, bool disabled);
Image rockerFrame(int w, int h, bool on, const std::string& label);
Image wideToggleFrame(int w, int h, int state);
// A push button face; lamp kKey means no lamp bar. Unkeyed faces keep the matte in their corners.
Image buttonFace(int w, int h, bool pressed, const std::string& label, Rgb matte, Rgb lamp, bool keyed = true);

}  // namespace skin
