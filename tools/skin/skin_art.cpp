// The skin's bitmap resources: control strips, preset bar pictures, keyboard slices,
// the modulation cover, the About window and the panel backgrounds.
#include "skin_art.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "controls.h"
#include "faces.h"
#include "pixel_font.h"

namespace skin {
namespace {

constexpr Rgb kRibbonKey = rgb(0, 255, 0);  // the ribbon marker's transparent colour

void add(std::vector<Bitmap>& out, int id, Image image, int frameHeight = 0) {
  int fh = frameHeight ? frameHeight : image.height();
  out.push_back(Bitmap{id, std::move(image), fh});
}

// Knob strips: 64 frames whose pointer follows the knob's angle law.
void knobs(std::vector<Bitmap>& out) {
  const Rgb body = rgb(50, 53, 58), white = rgb(246, 244, 236), track = rgb(26, 28, 31);
  const KnobLook amber{body, white, kAccent, track, false};
  const KnobLook blue{body, white, rgb(92, 170, 240), track, false};
  const KnobLook green{body, white, rgb(112, 208, 120), track, true};
  const KnobLook teal{body, white, rgb(80, 200, 196), track, false};
  const KnobLook red{body, white, rgb(232, 92, 80), track, false};
  const KnobLook violet{body, white, rgb(176, 132, 236), track, false};
  add(out, 300, knobStrip(26, 26, amber, kPlate, true, false), 26);
  add(out, 301, knobStrip(26, 26, green, kPlate, true, false), 26);
  add(out, 302, knobStrip(26, 26, blue, kPlate, true, false), 26);
  struct Small { int id; int w; KnobLook look; };
  const Small small[] = {{220, 21, amber}, {222, 24, green}, {226, 21, red}, {228, 21, violet}, {230, 21, teal}};
  for (const Small& s : small) {
    Image strip = knobStrip(s.w, 30, s.look, kPlate, true, true);
    add(out, s.id + 1, ghost(strip), 30);
    add(out, s.id, std::move(strip), 30);
  }
  // The part tune knobs of the About window: opaque, one colour per part.
  const Rgb hues[8] = {rgb(240, 156, 58), rgb(232, 92, 80),  rgb(220, 120, 200), rgb(176, 132, 236),
                       rgb(92, 170, 240), rgb(80, 200, 196), rgb(112, 208, 120), rgb(220, 210, 90)};
  for (int n = 0; n < 8; ++n) {
    KnobLook look{body, white, hues[n], track, true};
    add(out, 310 + n, knobStrip(24, 24, look, kAboutPlate, false, true), 24);
  }
}

void sliders(std::vector<Bitmap>& out) {
  const Rgb lines[6] = {rgb(246, 244, 236), rgb(240, 156, 58), rgb(92, 170, 240),
                        rgb(112, 208, 120), rgb(232, 92, 80),  rgb(230, 214, 96)};
  const int ids[6] = {200, 202, 204, 206, 208, 210};
  for (int k = 0; k < 6; ++k) {
    Image cap = sliderCap(20, 15, lines[k]);
    add(out, ids[k] + 1, ghost(cap));
    add(out, ids[k], std::move(cap));
  }
}

// Switch and lamp strips: frame 0 off, then the further positions; a disabled frame last where the strip has one.
void switches(std::vector<Bitmap>& out) {
  auto pair = [&](int id, int overlay, Image strip, int fh) {
    if (overlay) add(out, overlay, ghost(strip), fh);
    add(out, id, std::move(strip), fh);
  };
  pair(357, 358, stack({leverFrame(17, 37, 2, 0, false), leverFrame(17, 37, 2, 1, false)}), 37);
  pair(359, 360,
       stack({leverFrame(17, 37, 3, 0, false), leverFrame(17, 37, 3, 1, false), leverFrame(17, 37, 3, 2, false)}), 37);
  pair(350, 351, stack({ledFrame(18, 18, 0, kAccent, true), ledFrame(18, 18, 1, kAccent, true)}), 18);
  pair(362, 363, stack({ledFrame(19, 19, 0, rgb(120, 220, 110), true), ledFrame(19, 19, 1, rgb(120, 220, 110), true)}),
       19);
  pair(366, 367, stack({ledFrame(18, 18, 0, rgb(255, 168, 64), false), ledFrame(18, 18, 1, rgb(255, 168, 64), false)}),
       18);
  std::vector<Image> levels;
  for (int k = 0; k < 5; ++k) levels.push_back(ledFrame(17, 18, k / 4.0, rgb(120, 230, 100), false));
  pair(364, 365, stack(levels), 18);
  pair(503, 0, stack({slideFrame(23, 9, false, false), slideFrame(23, 9, true, false)}), 9);
  pair(504, 0, stack({slideFrame(23, 9, false, false), slideFrame(23, 9, true, false)}), 9);
  pair(505, 0, stack({slideFrame(19, 9, false, false), slideFrame(19, 9, true, false)}), 9);
  pair(507, 0, stack({slideFrame(19, 9, false, false), slideFrame(19, 9, true, false)}), 9);
  pair(506, 0, stack({slideFrame(42, 17, false, false), slideFrame(42, 17, true, false)}), 17);
  Image chorus = stack({rockerFrame(26, 58, false, "ON"), rockerFrame(26, 58, true, "ON")});
  add(out, 356, ghost(chorus), 58);
  add(out, 353, chorus, 58);
  add(out, 354, stack({rockerFrame(26, 58, false, "ON"), rockerFrame(26, 58, true, "ON")}), 58);
  pair(355, 370, stack({rockerFrame(22, 58, false, "CH"), rockerFrame(22, 58, true, "TR")}), 58);
  for (int id : {349, 352}) add(out, id, stack({wideToggleFrame(69, 27, 0), wideToggleFrame(69, 27, 1), wideToggleFrame(69, 27, 2)}), 27);
}

// Buttons hold the released picture above the pressed one.
void buttons(std::vector<Bitmap>& out) {
  auto twoState = [&](int id, int w, int h, const std::string& label, Rgb matte, Rgb lamp) {
    add(out, id, stack({buttonFace(w, h, false, label, matte, lamp), buttonFace(w, h, true, label, matte, lamp)}), h);
  };
  // Factory voices of lines 1 and 2, the last of each row standing for an edited line.
  const char* row0[11] = {"S1", "S3", "B1", "FL", "EP", "C1", "H1", "O1", "G1", "F1", "F3"};
  const char* row1[11] = {"S2", "S4", "B2", "B3", "BA", "C2", "H2", "O2", "G2", "F2", "F4"};
  const Rgb lamp = kAccent;
  for (int n = 0; n < 11; ++n) twoState(170 + n, 18, 18, row0[n], kPlate, lamp);
  twoState(181, 21, 18, "ED", kPlate, rgb(92, 170, 240));
  for (int n = 0; n < 11; ++n) twoState(184 + n, 18, 21, row1[n], kPlate, lamp);
  twoState(195, 21, 21, "ED", kPlate, rgb(92, 170, 240));
  twoState(380, 37, 22, "RESET", kAboutPlate, kKey);
  twoState(381, 13, 11, "X", kAboutPlate, kKey);
}

// The preset bar's controls draw their pictures opaque, except the bank menu's.
void presetBar(std::vector<Bitmap>& out) {
  const Rgb bar = kBarColour;
  auto face = [&](int w, int h, bool pressed, const std::string& label, Rgb lamp = kKey, bool keyed = false) {
    return buttonFace(w, h, pressed, label, bar, lamp, keyed);
  };
  auto kick = [&](int id, const std::string& label, Rgb lamp = kKey) {
    add(out, id, stack({face(43, 27, false, label, lamp), face(43, 27, true, label, lamp)}), 27);
  };
  auto menu = [&](int id, const std::string& label, bool keyed = false) {
    add(out, id, face(43, 27, false, label + " ~", kKey, keyed));
    add(out, id + 1, face(43, 27, true, label + " ~", kKey, keyed));
  };
  kick(129, "STORE");
  menu(130, "TO");
  menu(132, "BANK", true);
  menu(135, "SUB");
  menu(137, "PRG");
  kick(139, "LOAD");
  menu(140, "SAVE");
  kick(142, "FULL");
  kick(143, "SMALL");
  // On/off buttons: the lower picture, with its lamp lit, shows "on".
  kick(144, "DELAY", kAccent);
  kick(145, "CHORUS", kAccent);
  add(out, 146, stack({face(15, 13, false, "~"), face(15, 13, true, "~")}), 13);
  add(out, 147, stack({face(15, 13, false, "^"), face(15, 13, true, "^")}), 13);
  add(out, 134, nameField(103, 18));
  add(out, 148, stack({barLamp(43, 18, "MIDI", false), barLamp(43, 18, "MIDI", true)}), 18);
  add(out, 149, stack({barLamp(43, 10, "MULTI", false), barLamp(43, 10, "MULTI", true)}), 10);
}

void ribbonMarker(std::vector<Bitmap>& out) {
  Image im(13, 14, kPlate);
  im.clearCoverage();
  fillShape(im, 0, 0, 13, 14,
            [](double x, double y) { return y >= 1 && y <= 13 && std::fabs(x - 6.5) <= (13 - y) * 0.5; },
            [](double, double y) { return mix(rgb(255, 200, 120), kAccent, y / 14); });
  im.keyUncovered();
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 13; ++x)
      if (im.get(x, y) == kKey) im.set(x, y, kRibbonKey);
  add(out, 198, std::move(im));
}

// Pictures the panels do not place; drawn in the same style so a future use looks at home.
void spares(std::vector<Bitmap>& out) {
  Image plate250(21, 29, kPlate);
  fillRound(plate250, 0.5, 0.5, 20, 28, 3, rgb(66, 70, 77));
  fillCircle(plate250, 10.5, 14.5, 4, rgb(22, 23, 26));
  add(out, 250, plate250);
  Image plate251(21, 38, kPlate);
  fillRound(plate251, 0.5, 0.5, 20, 37, 3, rgb(66, 70, 77));
  fillRound(plate251, 8, 5, 5, 28, 2.5, rgb(16, 17, 19));
  add(out, 251, plate251);
  Image field(42, 14, kPlate);
  lcd(field, 0, 0, 42, 14, false);
  add(out, 320, field);
}

}  // namespace

std::vector<Bitmap> drawSkin() {
  std::vector<Bitmap> out;
  knobs(out);
  sliders(out);
  switches(out);
  buttons(out);
  presetBar(out);
  ribbonMarker(out);
  spares(out);
  keyboardSlices(out);
  faces(out);
  std::sort(out.begin(), out.end(), [](const Bitmap& a, const Bitmap& b) { return a.id < b.id; });
  return out;
}

Image contactSheet(const std::vector<Bitmap>& bitmaps) {
  // Strips are shown as rows of frames; pictures wider than a column get the full width.
  const int sheetW = 1600, pad = 8;
  struct Tile { const Bitmap* b; int cols, rows, w, h; };
  std::vector<Tile> tiles;
  for (const Bitmap& b : bitmaps) {
    int frames = b.image.height() / b.frameHeight;
    int cols = std::max(1, std::min(frames, (sheetW - 2 * pad) / (b.image.width() + 2)));
    int rows = (frames + cols - 1) / cols;
    tiles.push_back({&b, cols, rows, cols * (b.image.width() + 2), rows * (b.frameHeight + 2) + 10});
  }
  int x = pad, y = pad, rowH = 0, h = pad;
  std::vector<std::pair<int, int>> at;
  for (const Tile& t : tiles) {
    if (x + t.w > sheetW - pad) {
      x = pad;
      y += rowH + pad;
      rowH = 0;
    }
    at.push_back({x, y});
    x += t.w + pad;
    rowH = std::max(rowH, t.h);
    h = y + rowH + pad;
  }
  Image sheet(sheetW, h, rgb(120, 124, 128));
  for (size_t i = 0; i < tiles.size(); ++i) {
    const Tile& t = tiles[i];
    const Bitmap& b = *t.b;
    drawText(sheet, at[i].first, at[i].second, std::to_string(b.id), rgb(0, 0, 0));
    int frames = b.image.height() / b.frameHeight;
    for (int f = 0; f < frames; ++f) {
      int fx = at[i].first + (f % t.cols) * (b.image.width() + 2);
      int fy = at[i].second + 10 + (f / t.cols) * (b.frameHeight + 2);
      sheet.blit(b.image.crop(0, f * b.frameHeight, b.image.width(), b.frameHeight), fx, fy);
    }
  }
  return sheet;
}

}  // namespace skin
