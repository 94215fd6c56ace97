#include "preview.h"

#include <algorithm>
#include <map>

namespace skin {
namespace {

class Composer {
 public:
  Composer(const std::vector<Bitmap>& bitmaps, Image& face) : face_(face) {
    for (const Bitmap& b : bitmaps) byId_[b.id] = &b;
  }
  // Frame f of bitmap id at (x, y), keyed on magenta (or green for the ribbon marker).
  void put(int id, int x, int y, int f = 0, int w = 0, int h = 0) {
    const Bitmap& b = *byId_.at(id);
    const Rgb key = id == 198 ? rgb(0, 255, 0) : kKey;
    w = w ? w : b.image.width();
    h = h ? h : b.frameHeight;
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) {
        Rgb c = b.image.get(i, f * b.frameHeight + j);
        if (c != key) face_.set(x + i, y + j, c);
      }
  }
  void knob(int id, int x, int y, double v, bool reversed) {
    int f = std::clamp(int(v * 64), 0, 63);
    put(id, x, y, reversed ? 63 - f : f);
  }
  // A vertical slider of 20 x 51: 36 pixels of travel, value 1 at the top.
  void slider(int handle, int x, int y, double v, int steps = 0) {
    int pos;
    if (steps < 1) {
      pos = int((1 - v) * 36);
    } else {
      int step = std::min(int(v * steps), steps - 1);
      pos = int((1 - double(step) / (steps - 1)) * 36);
    }
    put(handle, x, y + pos);
  }

 private:
  Image& face_;
  std::map<int, const Bitmap*> byId_;
};

double pseudoValue(int k) { return ((k * 37 + 11) % 64) / 63.0; }

}  // namespace

Image facePreview(const std::vector<Bitmap>& bitmaps) {
  Image face;
  for (const Bitmap& b : bitmaps)
    if (b.id == 1003) face = b.image;
  Composer c(bitmaps, face);
  int k = 0;
  // Preset bar: bitmap, position, frame.
  const int bar[][4] = {{129, 6, 5, 0},   {130, 50, 5, 0},  {132, 99, 5, 0},   {134, 147, 9, 0},  {135, 260, 5, 0},
                        {134, 308, 9, 0}, {137, 421, 5, 0}, {134, 469, 9, 0},  {147, 577, 5, 0},  {146, 577, 19, 0},
                        {139, 598, 5, 0}, {140, 642, 5, 0}, {148, 691, 15, 1}, {144, 751, 5, 1},  {145, 795, 5, 0},
                        {149, 844, 5, 1}, {142, 914, 5, 0}, {143, 958, 5, 0}};
  for (const auto& b : bar) c.put(b[0], b[1], b[2], b[3]);
  c.put(134, 851, 15, 0, 28, 11);
  // Multi panel.
  const int my = 33;
  for (int n = 0; n < 8; ++n) {
    const int d = 331 * (n / 4), y = my + 47 + 22 * (n % 4);
    c.put(364, 164 + d, y - 2, n % 5);
    c.put(366, 188 + d, y - 1, n == 0);
    for (int x : {210, 241, 271, 301}) c.knob(300, x + d, y - 8, pseudoValue(k++), false);
    for (int x : {332, 359, 386}) c.put(366, x + d, y - 1, (n + x) % 2);
  }
  for (int z = 0; z < 4; ++z) c.put(366, 904, my + 46 + 22 * z, z % 2);
  c.put(1005, 20, my + 46, 0);
  c.put(1005, 925, my + 46, 4);
  // Modulation panel under its open cover.
  for (int r = 0; r < 10; ++r) c.knob(301, r < 5 ? 80 : 208, 161 + 34 + 26 * (r % 5), pseudoValue(k++), false);
  c.put(1006, 22, 33 + 134, 6);
  // Voice panel.
  const int vx = 290, vy = 161;
  struct S { int x, handle, steps; };
  const S sliders[] = {{42, 202, 3},  {74, 202, 6},  {97, 200, 0},  {119, 208, 0}, {141, 208, 0}, {198, 210, 0},
                       {243, 208, 0}, {265, 206, 0}, {287, 208, 0}, {309, 206, 0}, {331, 202, 0}, {353, 202, 0},
                       {375, 202, 0}, {397, 202, 0}, {419, 204, 0}, {445, 210, 0}, {467, 210, 0}, {489, 202, 0},
                       {511, 202, 0}, {533, 202, 0}, {555, 204, 0}, {577, 210, 0}, {603, 208, 0}, {625, 210, 0},
                       {647, 208, 0}, {669, 210, 0}};
  for (const S& s : sliders) {
    c.slider(s.handle, vx + s.x, vy + 17, pseudoValue(k++), s.steps);
    c.slider(s.handle, vx + s.x - (s.x > 600 ? 1 : 0), vy + 119, pseudoValue(k++), s.steps);
  }
  for (int line = 0; line < 2; ++line) {
    const int y = line ? 101 : 0;
    c.put(357, vx + 161, vy + 20 + y, line);
    c.put(359, vx + 179, vy + 20 + y, 1 + line);
    c.put(350, vx + 5 + line, vy + 45 + (line ? 92 : 0), line);
    c.put(350, vx + 224 + line, vy + 45 + (line ? 92 : 0), 1 - line);
    c.put(503, vx + 241, vy + (line ? 103 : 70), 1);
    c.put(504, vx + 285, vy + (line ? 103 : 70), line);
    c.put(505, vx + 467, vy + (line ? 104 : 69), 1 - line);
  }
  c.put(350, vx + 75, vy + 84, 0);
  c.put(350, vx + 180, vy + 84, 1);
  // Keyboard panel.
  const int ky = 345;
  c.knob(300, 40, ky + 20, 0.3, false);
  c.put(506, 30, ky + 43, 1);
  struct K { int id, x, y; };
  const K knobs[] = {{220, 70, 19},  {222, 678, 19}, {222, 99, 19},  {222, 120, 19}, {230, 141, 19}, {220, 162, 19},
                     {230, 183, 19}, {220, 265, 19}, {220, 286, 19}, {228, 307, 19}, {230, 328, 19}, {228, 699, 19},
                     {226, 720, 19}, {220, 754, 19}, {220, 775, 19}, {220, 796, 19}, {228, 817, 19}, {228, 851, 19},
                     {228, 872, 19}, {230, 893, 19}, {230, 914, 19}};
  for (const K& kn : knobs) c.knob(kn.id, kn.x, ky + kn.y, pseudoValue(k++), true);
  c.put(507, 183, ky + 9, 1);
  c.slider(202, 233, ky + 9, 0.4, 6);
  c.slider(200, 359, ky + 9, 0.6, 6);
  c.slider(200, 396, ky + 9, 0.2, 6);
  c.knob(300, 947, ky + 24, 0.8, false);
  c.slider(202, 169, ky + 67, 0.5, 5);
  c.slider(200, 197, ky + 67, 0.0, 4);
  c.slider(200, 224, ky + 67, 0.7, 4);
  c.knob(300, 62, ky + 85, 0.45, false);
  for (int x : {38, 94, 121}) c.put(350, x, ky + 89, x == 94);
  for (int x : {120, 144, 173, 197, 221}) c.knob(300, x, ky + 135, pseudoValue(k++), false);
  c.put(355, 122, ky + 190, 0);
  c.put(353, 145, ky + 190, 1);
  c.put(354, 197, ky + 190, 0);
  c.slider(204, 71, ky + 137, 0.3);
  c.slider(200, 93, ky + 137, 0.8);
  c.put(350, 29, ky + 142, 1, 18, 15);
  c.put(350, 29, ky + 157, 0);
  for (int x : {30, 51, 73, 95}) c.put(357, x, ky + 201, x == 51);
  c.put(350, 227, ky + 212, 0);
  c.knob(300, 797, ky + 85, 0.5, false);
  c.put(350, 774, ky + 89, 1);
  for (int row = 0; row < 2; ++row)
    for (int n = 0; n < 12; ++n) {
      int id = row == 0 ? (n < 11 ? 170 + n : 181) : (n < 11 ? 184 + n : 195);
      c.put(id, 439 + 18 * n, ky + 10 + 18 * row, n == 11 || (row == 0 && n == 2));
    }
  // Keyboard with C, E, G and the F sharp above lit.
  auto lit = [](int key) { return key == 24 || key == 28 || key == 31 || key == 42 ? 1 : 0; };
  const int kx = 251, kyy = ky + 129;
  for (int o = 0; o < 5; ++o) {
    const int X = kx + 140 * o, j = 12 * o;
    if (o == 0)
      c.put(5000, X, kyy, lit(j));
    else
      c.put(5001, X, kyy, 4 * lit(j - 1) + 2 * lit(0) + lit(j));
    c.put(5003, X + 12, kyy, 4 * lit(j) + 2 * lit(j + 1) + lit(j + 2));
    c.put(5004, X + 36, kyy, 4 * lit(j + 2) + 2 * lit(j + 3) + lit(j + 4));
    c.put(5005, X + 60, kyy, 4 * lit(j + 4) + 2 * lit(0) + lit(j + 5));
    c.put(5006, X + 72, kyy, 4 * lit(j + 5) + 2 * lit(j + 6) + lit(j + 7));
    c.put(5007, X + 94, kyy, 4 * lit(j + 7) + 2 * lit(j + 8) + lit(j + 9));
    c.put(5008, X + 116, kyy, 4 * lit(j + 9) + 2 * lit(j + 10) + lit(j + 11));
  }
  c.put(5002, kx + 700, kyy, 4 * lit(59) + 2 * lit(0) + lit(60));
  c.put(198, 260 + 243, ky + 99);
  // The About window below the face, with its controls.
  Image sheet(1008, 620 + 410, rgb(90, 94, 100));
  sheet.blit(face, 0, 0);
  Composer a(bitmaps, sheet);
  const int ax = 193, ay = 628;
  a.put(2000, ax, ay);
  a.put(349, ax + 197, ay + 135, 1);
  a.put(352, ax + 197, ay + 177, 2);
  const int knobX[8] = {104, 158, 214, 268, 326, 377, 433, 489};
  for (int n = 0; n < 8; ++n) {
    a.knob(310 + n, ax + knobX[n], ay + 243, 0.5 + (n - 4) * 0.06, true);
    a.put(366, ax + 115 + 54 * n, ay + 365, n % 3 == 0);
  }
  a.knob(300, ax + 552, ay + 247, 0.5, false);
  a.put(380, ax + 40, ay + 316);
  a.put(381, ax + 604, ay + 3);
  return sheet;
}

}  // namespace skin
