#include "faces.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "controls.h"
#include "pixel_font.h"

namespace skin {
namespace {

// ---- furniture drawn into the backgrounds (window coordinates) ----

void label(Image& im, int cx, int y, const std::string& t) { drawLabel(im, cx, y, t, kText, kShadow); }
void header(Image& im, int cx, int y, const std::string& t) { drawLabel(im, cx, y, t, kAccent, kShadow); }
void dimLabel(Image& im, int cx, int y, const std::string& t) { drawLabel(im, cx, y, t, kDimText, kShadow); }
void leftLabel(Image& im, int x, int y, const std::string& t) {
  drawText(im, x + 1, y + 1, t, kShadow);
  drawText(im, x, y, t, kText);
}

void plate(Image& im, int x, int y, int w, int h) {
  fillRound(im, x, y, w, h, 4, kShadow);
  fillRound(im, x + 1, y + 1, w - 2, h - 2, 3.5, kPlateEdge);
  fillRound(im, x + 1, y + 2, w - 2, h - 3, 3.5, kPlate);
}

void vSeparator(Image& im, int x, int y, int h) {
  fillRect(im, x, y, 1, h, kShadow);
  fillRect(im, x + 1, y, 1, h, shade(kPlate, 1.12));
}

void hSeparator(Image& im, int x, int y, int w) {
  fillRect(im, x, y, w, 1, kShadow);
  fillRect(im, x, y + 1, w, 1, shade(kPlate, 1.12));
}

// A seat for a round knob: a dark ring under the control's own rectangle.
void knobSeat(Image& im, int x, int y, int w, int h) {
  const double cx = x + w / 2.0, cy = y + h / 2.0, r = std::min(w, h) / 2.0;
  fillCircle(im, cx, cy + 0.6, r + 1.2, shade(kPlate, 0.72));
  fillCircle(im, cx, cy, r + 0.2, kPlate);
}

// Slot of a vertical slider of 20 x 51 whose 15-pixel cap travels 36 pixels.
void sliderSlot(Image& im, int x, int y) {
  fillRect(im, x + 8, y + 6, 4, 39, kShadow);
  fillRect(im, x + 9, y + 7, 2, 37, rgb(8, 8, 10));
  fillRect(im, x + 8, y + 45, 4, 1, shade(kPlate, 1.2));
  for (int k = 0; k <= 4; ++k) {
    int ty = y + 7 + k * 9;
    fillRect(im, x + 3, ty, 3, 1, k % 2 ? shade(kDimText, 0.7) : kDimText);
  }
}

// Steps marked beside a stepped slider instead of the even scale.
void sliderSteps(Image& im, int x, int y, int steps) {
  fillRect(im, x + 2, y + 7, 4, 37, kPlate);
  for (int s = 0; s < steps; ++s) {
    int ty = y + 7 + int(std::lround(36.0 * s / (steps - 1)));
    fillRect(im, x + 2, ty, 4, 1, kText);
  }
}

void recess(Image& im, int x, int y, int w, int h) { fillRound(im, x - 1, y - 1, w + 2, h + 2, 3, shade(kPlate, 0.7)); }

}  // namespace

void lcd(Image& im, int x, int y, int w, int h, bool dark) {
  fillRect(im, x, y, w, h, kShadow);
  fillRect(im, x + 1, y + 1, w - 1, h - 1, shade(kPlate, 1.25));
  if (dark)
    vGradient(im, x + 1, y + 1, w - 2, h - 2, rgb(8, 20, 10), rgb(16, 30, 18));
  else
    vGradient(im, x + 1, y + 1, w - 2, h - 2, rgb(200, 208, 186), rgb(176, 186, 162));
}

Image nameField(int w, int h) {
  Image im(w, h, kBarColour);
  lcd(im, 0, 0, w, h, false);
  return im;
}

Image barLamp(int w, int h, const std::string& text, bool on) {
  Image im(w, h, kBarColour);
  const int d = std::min(h - 2, 8);
  const int ly = (h - d) / 2;
  fillCircle(im, 4 + d / 2.0, ly + d / 2.0, d / 2.0 + 0.8, rgb(8, 8, 10));
  fillCircle(im, 4 + d / 2.0, ly + d / 2.0, d / 2.0 - 0.4, on ? rgb(120, 240, 110) : rgb(30, 56, 30));
  drawText(im, 6 + d, (h - kGlyphHeight) / 2, text, on ? kText : kDimText);
  return im;
}

// ---- keyboard slices ----
//
// One octave is 140 pixels: seven white keys of 20 and five black keys of 12 whose
// upper 83 rows are the black-key zone. A slice shows its left white key L, its black
// key B and its right white key R, lit in frame 4 L + 2 B + R; pixels that belong to a
// key of another slice stay transparent, so overlapping slices agree.

namespace {

constexpr int kOctave = 140, kKeyH = 127, kBlackH = 83;
const int kWhiteSemi[7] = {0, 2, 4, 5, 7, 9, 11};
struct BlackKey { int semi, x0; };
const BlackKey kBlack[5] = {{1, 12}, {3, 36}, {6, 72}, {8, 94}, {10, 116}};

// The semitone under an octave position (x may run past 140 into the next octave's C).
int semitoneAt(int x, int y, bool topC) {
  if (topC) return 12;
  if (y < kBlackH)
    for (const BlackKey& b : kBlack)
      if (x >= b.x0 && x < b.x0 + 12) return b.semi;
  return kWhiteSemi[std::min(6, x / 20)];
}

Rgb whiteKeyPixel(int x, int y, bool lit, bool leftEdge, bool rightEdge) {
  const int local = x % 20;
  Rgb top = lit ? rgb(255, 214, 150) : rgb(232, 230, 222);
  Rgb bottom = lit ? rgb(250, 190, 110) : rgb(250, 249, 244);
  Rgb c = mix(top, bottom, double(y) / kKeyH);
  if (y >= kKeyH - 7) c = shade(c, y == kKeyH - 7 ? 0.72 : 0.86);  // front lip
  if (y == kKeyH - 1) c = rgb(70, 70, 70);
  if (local == 0 || (leftEdge && local == 0)) c = rgb(96, 96, 96);
  if (rightEdge && local == 19) c = rgb(96, 96, 96);
  // Shade cast by the black keys into the white key below them.
  for (const BlackKey& b : kBlack)
    if (x % kOctave >= b.x0 && x % kOctave < b.x0 + 12 && y >= kBlackH && y < kBlackH + 4 && x < kOctave)
      c = shade(c, 0.8 + 0.05 * (y - kBlackH));
  return c;
}

Rgb blackKeyPixel(int x, int y, const BlackKey& b, bool lit) {
  const int local = x - b.x0;
  const Rgb base = lit ? rgb(196, 112, 36) : rgb(30, 30, 34);
  Rgb c = mix(shade(base, 0.85), base, double(y) / kBlackH);
  if (y >= kBlackH - 9) c = lit ? shade(base, 1.2) : rgb(70, 70, 76);  // the front slope catches the light
  if (y == kBlackH - 1) c = rgb(12, 12, 14);
  if (local == 0 || local == 11) c = rgb(12, 12, 14);
  else if (local >= 2 && local <= 3 && y < kBlackH - 12) c = lit ? shade(base, 1.3) : rgb(62, 62, 68);  // highlight
  return c;
}

struct Slice {
  int id, x0, w;
  int left, black, right;  // semitones; left -1 for the previous octave's B, black -1 for none
  bool topC;
};

Image sliceStrip(const Slice& s) {
  std::vector<Image> frames;
  for (int f = 0; f < 8; ++f) {
    const bool litL = f & 4, litB = f & 2, litR = f & 1;
    Image im(s.w, kKeyH);
    for (int y = 0; y < kKeyH; ++y)
      for (int i = 0; i < s.w; ++i) {
        const int x = s.x0 + i;
        const int semi = semitoneAt(x, y, s.topC);
        if (s.topC) {
          im.set(i, y, whiteKeyPixel(i, y, litR, false, true));
        } else if (semi == s.black) {
          for (const BlackKey& b : kBlack)
            if (b.semi == semi) im.set(i, y, blackKeyPixel(x, y, b, litB));
        } else if (semi == s.left || semi == s.right) {
          const bool lit = semi == s.right ? litR : litL;
          im.set(i, y, whiteKeyPixel(x, y, lit, s.id == 5000, false));
        }
      }
    frames.push_back(std::move(im));
  }
  return stack(frames);
}

}  // namespace

void keyboardSlices(std::vector<Bitmap>& out) {
  const Slice slices[] = {
      {5000, 0, 20, -1, -1, 0, false},  {5001, 0, 20, -1, -1, 0, false},  {5002, 0, 20, 11, -1, 12, true},
      {5003, 12, 28, 0, 1, 2, false},   {5004, 36, 24, 2, 3, 4, false},   {5005, 60, 20, 4, -1, 5, false},
      {5006, 72, 28, 5, 6, 7, false},   {5007, 94, 26, 7, 8, 9, false},   {5008, 116, 24, 9, 10, 11, false},
  };
  for (const Slice& s : slices) out.push_back(Bitmap{s.id, sliceStrip(s), kKeyH});
}

// ---- panels ----
namespace {

// Multi panel, 1008 x 128; open: the parts and zones; closed: the single-sound view.
void multiPanel(Image& im, int ox, int oy, bool open) {
  fillRect(im, ox, oy, 1008, 128, kPanel);
  plate(im, ox + 4, oy + 3, 737, 123);
  plate(im, ox + 744, oy + 3, 260, 123);
  // Animation bezels (the animations are not drawn while the section is closed).
  for (int ax : {20, 925}) {
    if (!open) break;
    fillCircle(im, ox + ax + 31.5, oy + 46 + 31.5, 33.5, kShadow);
    fillCircle(im, ox + ax + 31.5, oy + 46 + 31.5, 32.5, shade(kPlate, 0.8));
  }
  header(im, ox + 52, oy + 10, "MULTI");
  header(im, ox + 956, oy + 10, "HALVORN");
  // The multi button sits at 29, 115.
  recess(im, ox + 29, oy + 115, 15, 11);
  fillRound(im, ox + 29, oy + 114, 15, 13, 2, [](double, double y) { return mix(rgb(120, 124, 132), rgb(60, 63, 69), std::fmod(y, 13) / 13); });
  leftLabel(im, ox + 48, oy + 117, open ? "SINGLE" : "MULTI");
  if (!open) {
    fillRound(im, ox + 92, oy + 20, 640, 98, 4, shade(kPlate, 0.86));
    for (int k = 0; k < 640; k += 8) line(im, ox + 92 + k, oy + 117, ox + 92 + k + 12, oy + 105, 1.0, shade(kPlate, 0.78));
    header(im, ox + 412, oy + 48, "SINGLE SOUND");
    label(im, ox + 412, oy + 64, "THE PARTS ARE HIDDEN WHILE ONE SOUND IS EDITED");
    label(im, ox + 412, oy + 76, "PRESS MULTI, BELOW LEFT, TO SHOW THEM AGAIN");
    fillRound(im, ox + 748, oy + 20, 252, 98, 4, shade(kPlate, 0.86));
    header(im, ox + 874, oy + 56, "KEYBOARD ZONES");
    return;
  }
  header(im, ox + 250, oy + 10, "PARTS 1 - 4");
  header(im, ox + 581, oy + 10, "PARTS 5 - 8");
  header(im, ox + 843, oy + 10, "KEYBOARD ZONES");
  for (int block = 0; block < 2; ++block) {
    const int d = block * 331;
    const int cy = oy + 30;
    label(im, ox + 108 + d, cy, "ZONE");
    label(im, ox + 142 + d, cy, "SND");
    label(im, ox + 173 + d, cy, "ACT");
    label(im, ox + 198 + d, cy, "EDIT");
    label(im, ox + 223 + d, cy, "TRSP");
    label(im, ox + 254 + d, cy, "FINE");
    label(im, ox + 284 + d, cy, "LVL");
    label(im, ox + 314 + d, cy, "PAN");
    label(im, ox + 341 + d, cy, "POR");
    label(im, ox + 368 + d, cy, "RNG");
    label(im, ox + 395 + d, cy, "FX");
    for (int r = 0; r < 4; ++r) {
      const int y = oy + 47 + 22 * r;
      drawText(im, ox + 84 + d + (block ? 0 : 2), y + 4, std::to_string(r + 1 + 4 * block), kAccent);
      lcd(im, ox + 95 + d, y, 27, 14, false);
      lcd(im, ox + 129 + d, y, 27, 14, true);
      for (int kx : {210, 241, 271, 301}) knobSeat(im, ox + kx + d, y - 8, 26, 26);
      for (int sx : {332, 359, 386}) recess(im, ox + sx + d, y - 1, 18, 18);
      recess(im, ox + 188 + d, y - 1, 18, 18);
    }
  }
  vSeparator(im, ox + 413, oy + 26, 96);
  const int zy = oy + 30;
  label(im, ox + 777, zy, "CHAN");
  label(im, ox + 820, zy, "RANGE");
  label(im, ox + 872, zy, "MODE");
  label(im, ox + 913, zy, "ARP");
  for (int z = 0; z < 4; ++z) {
    const int y = oy + 46 + 22 * z;
    drawText(im, ox + 750, y + 4, "Z" + std::to_string(z + 1), kAccent);
    lcd(im, ox + 765, y, 24, 14, false);
    lcd(im, ox + 799, y, 42, 14, true);
    lcd(im, ox + 851, y, 42, 14, false);
    recess(im, ox + 904, y, 18, 18);
  }
}

// Modulation panel, 290 x 184 (its rows lie under the cover).
void modulationPanel(Image& im, int ox, int oy) {
  fillRect(im, ox, oy, 290, 184, kPanel);
  plate(im, ox + 4, oy + 3, 284, 179);
  const char* vertical = "MOD";
  for (int k = 0; vertical[k]; ++k) header(im, ox + 13, oy + 48 + 10 * k, std::string(1, vertical[k]));
  for (int col = 0; col < 2; ++col) {
    const int sx = col ? 162 : 35, dx = col ? 233 : 106, kx = col ? 208 : 80;
    label(im, ox + sx + 21, oy + 26, "SOURCE");
    label(im, ox + kx + 13, oy + 26, "AMT");
    label(im, ox + dx + 21, oy + 26, "DEST");
    for (int c = 0; c < 5; ++c) {
      const int y = oy + 38 + 26 * c;
      lcd(im, ox + sx, y, 42, 14, false);
      lcd(im, ox + dx, y, 42, 14, false);
      knobSeat(im, ox + kx, oy + 34 + 26 * c, 26, 26);
      const std::string n = std::to_string(c + 1 + 5 * col);
      drawText(im, ox + (col ? 160 - textWidth(n) : 33 - textWidth(n)), y + 4, n, kAccent);
    }
  }
  vSeparator(im, ox + 152, oy + 28, 132);
  // The cover latch (the cover button at 31, 157, 15 x 19).
  fillRound(im, ox + 30, oy + 156, 17, 21, 3, kShadow);
  fillRound(im, ox + 31, oy + 157, 15, 19, 2.5, [&](double, double y) { return mix(rgb(130, 134, 140), rgb(64, 67, 73), (y - oy - 157) / 19); });
  drawTextCentred(im, ox + 38, oy + 163, "^", kAccent);
  leftLabel(im, ox + 52, oy + 163, "COVER");
}

struct VoiceSlider { int x, x2; const char* name; int steps; };
const VoiceSlider kVoiceSliders[] = {
    {42, 42, "MOD", 3},  {74, 74, "WAV", 6},   {97, 97, "SPD", 0},   {119, 119, "PWM", 0}, {141, 141, "PW", 0},
    {198, 198, "NSE", 0}, {243, 243, "CUT", 0}, {265, 265, "RES", 0}, {287, 287, "CUT", 0}, {309, 309, "RES", 0},
    {331, 331, "IL", 0}, {353, 353, "AL", 0},  {375, 375, "A", 0},   {397, 397, "D", 0},   {419, 419, "R", 0},
    {445, 445, "FLT", 0}, {467, 467, "SIN", 0}, {489, 489, "A", 0},  {511, 511, "D", 0},   {533, 533, "S", 0},
    {555, 555, "R", 0},  {577, 577, "LVL", 0}, {603, 602, "IB", 0},  {625, 624, "IL", 0},  {647, 646, "AB", 0},
    {669, 668, "AL", 0},
};

// Voice panel, 718 x 184: line 1 above line 2.
void voicePanel(Image& im, int ox, int oy) {
  fillRect(im, ox, oy, 718, 184, kPanel);
  plate(im, ox + 2, oy + 3, 712, 179);
  for (const VoiceSlider& s : kVoiceSliders) {
    sliderSlot(im, ox + s.x, oy + 17);
    sliderSlot(im, ox + s.x2, oy + 119);
    if (s.steps) {
      sliderSteps(im, ox + s.x, oy + 17, s.steps);
      sliderSteps(im, ox + s.x2, oy + 119, s.steps);
    }
    label(im, ox + s.x + 10, oy + 8, s.name);
    label(im, ox + s.x2 + 10, oy + 172, s.name);
  }
  for (int sx : {140, 221, 330, 442, 488, 599}) vSeparator(im, ox + sx, oy + 6, 174);
  drawText(im, ox + 8, oy + 20, "1", kAccent, 2);
  drawText(im, ox + 8, oy + 120, "2", kAccent, 2);
  header(im, ox + 14, oy + 88, "SYNC");
  header(im, ox + 110, oy + 88, "LFO");
  header(im, ox + 160, oy + 88, "OSC");
  header(im, ox + 277, oy + 88, "FILTERS");
  header(im, ox + 386, oy + 88, "FILTER ENV");
  header(im, ox + 465, oy + 88, "MIX");
  header(im, ox + 543, oy + 88, "AMPLIFIER");
  header(im, ox + 646, oy + 88, "TOUCH");
  // Switch names beside their switches.
  label(im, ox + 178, oy + 59, "WAVE");
  label(im, ox + 178, oy + 161, "WAVE");
  label(im, ox + 84, oy + 104, "DRV");
  label(im, ox + 189, oy + 104, "SYN");
  label(im, ox + 234, oy + 65, "4P");
  label(im, ox + 235, oy + 128, "4P");
  leftLabel(im, ox + 267, oy + 71, "HP");
  leftLabel(im, ox + 267, oy + 104, "HP");
  leftLabel(im, ox + 311, oy + 71, "LP");
  leftLabel(im, ox + 311, oy + 104, "LP");
  leftLabel(im, ox + 447, oy + 70, "ON");
  leftLabel(im, ox + 447, oy + 105, "ON");
  for (auto [x, y, w, h] : {std::array<int, 4>{161, 20, 17, 37}, {179, 20, 17, 37}, {161, 121, 17, 37},
                            {179, 121, 17, 37}, {5, 45, 18, 18}, {6, 137, 18, 18}, {75, 84, 18, 18},
                            {180, 84, 18, 18}, {224, 45, 18, 18}, {225, 137, 18, 18}})
    recess(im, ox + x, oy + y, w, h);
}

// Keyboard panel, 1008 x 275: global controls, voice buttons, ribbon and keyboard.
void keyboardPanel(Image& im, int ox, int oy) {
  fillRect(im, ox, oy, 1008, 275, kPanel);
  plate(im, ox + 2, oy + 1, 1004, 272);
  auto knobRow = [&](std::initializer_list<std::pair<int, const char*>> knobs, int w) {
    for (auto [x, name] : knobs) label(im, ox + x + w / 2, oy + 51, name);
  };
  // Top row.
  header(im, ox + 47, oy + 4, "WHEEL");
  knobSeat(im, ox + 40, oy + 20, 26, 26);
  label(im, ox + 51, oy + 62, "VIB");
  header(im, ox + 81, oy + 4, "DET");
  vSeparator(im, ox + 95, oy + 4, 58);
  header(im, ox + 151, oy + 4, "RING MOD");
  knobRow({{99, "ATK"}, {120, "DEC"}, {141, "DEP"}, {162, "SPD"}, {183, "MOD"}}, 21);
  vSeparator(im, ox + 210, oy + 4, 58);
  header(im, ox + 291, oy + 4, "SUB OSC");
  sliderSlot(im, ox + 233, oy + 9);
  sliderSteps(im, ox + 233, oy + 9, 6);
  label(im, ox + 243, oy + 62, "WAV");
  knobRow({{265, "SPD"}, {286, "VCO"}, {307, "VCF"}, {328, "VCA"}}, 21);
  vSeparator(im, ox + 354, oy + 4, 58);
  header(im, ox + 387, oy + 4, "RANGE");
  for (int x : {359, 396}) {
    sliderSlot(im, ox + x, oy + 9);
    sliderSteps(im, ox + x, oy + 9, 6);
  }
  label(im, ox + 369, oy + 62, "OSC1");
  label(im, ox + 406, oy + 62, "OSC2");
  vSeparator(im, ox + 421, oy + 4, 58);
  header(im, ox + 548, oy + 2, "VOICES");
  drawText(im, ox + 428, oy + 15, "1", kAccent);
  drawText(im, ox + 428, oy + 35, "2", kAccent);
  vSeparator(im, ox + 664, oy + 4, 58);
  header(im, ox + 690, oy + 4, "MIX");
  header(im, ox + 722, oy + 4, "FILT");
  knobRow({{699, "BRI"}, {720, "RES"}}, 21);
  knobRow({{678, ""}}, 24);
  vSeparator(im, ox + 746, oy + 4, 58);
  header(im, ox + 796, oy + 4, "TOUCH");
  knobRow({{754, "PIT"}, {775, "SPD"}, {796, "VCO"}, {817, "VCF"}}, 21);
  vSeparator(im, ox + 845, oy + 4, 58);
  header(im, ox + 893, oy + 4, "KEY FOLLOW");
  knobRow({{851, "BLO"}, {872, "BHI"}, {893, "LLO"}, {914, "LHI"}}, 21);
  vSeparator(im, ox + 941, oy + 4, 58);
  header(im, ox + 972, oy + 4, "VOLUME");
  knobSeat(im, ox + 947, oy + 24, 26, 26);
  // Under the top row, stopping short of the arpeggiator's sliders (169 to 244, from row 67).
  hSeparator(im, ox + 6, oy + 72, 156);
  hSeparator(im, ox + 250, oy + 72, 752);
  // Arpeggiator.
  header(im, ox + 88, oy + 76, "ARPEGGIATOR");
  knobSeat(im, ox + 62, oy + 85, 26, 26);
  for (int x : {38, 94, 121}) recess(im, ox + x, oy + 89, 18, 18);
  label(im, ox + 47, oy + 110, "SYNC");
  label(im, ox + 75, oy + 114, "SPD");
  label(im, ox + 103, oy + 110, "PLAY");
  label(im, ox + 130, oy + 110, "HOLD");
  const int arpSteps[3] = {5, 4, 4};
  const int arpX[3] = {169, 197, 224};
  const char* arpName[3] = {"MODE", "OCT", "REP"};
  for (int k = 0; k < 3; ++k) {
    sliderSlot(im, ox + arpX[k], oy + 67);
    sliderSteps(im, ox + arpX[k], oy + 67, arpSteps[k]);
    label(im, ox + arpX[k] + 10, oy + 119, arpName[k]);
  }
  // Ribbon.
  header(im, ox + 510, oy + 86, "RIBBON");
  fillRound(im, ox + 258, oy + 97, 504, 18, 3, kShadow);
  vGradient(im, ox + 260, oy + 99, 500, 14, rgb(24, 25, 28), rgb(40, 42, 46));
  fillRect(im, ox + 509, oy + 99, 2, 14, shade(kPlate, 1.3));
  // Pitch bend.
  header(im, ox + 800, oy + 76, "BEND");
  recess(im, ox + 774, oy + 89, 18, 18);
  knobSeat(im, ox + 797, oy + 85, 26, 26);
  label(im, ox + 783, oy + 110, "ON");
  label(im, ox + 810, oy + 114, "RANGE");
  // Maker's plate: the About window opens from here (850, 76, 120 x 40).
  fillRound(im, ox + 852, oy + 78, 116, 36, 4, shade(kPlate, 0.7));
  drawLabel(im, ox + 910, oy + 84, "HALVORN", kText, kShadow, 2);
  dimLabel(im, ox + 910, oy + 102, "ABOUT");
  vSeparator(im, ox + 116, oy + 126, 140);
  // Pedals.
  header(im, ox + 58, oy + 128, "PEDALS");
  leftLabel(im, ox + 5, oy + 146, "EXP");
  leftLabel(im, ox + 5, oy + 162, "WAH");
  recess(im, ox + 29, oy + 142, 18, 15);
  recess(im, ox + 29, oy + 157, 18, 18);
  sliderSlot(im, ox + 71, oy + 137);
  sliderSlot(im, ox + 93, oy + 137);
  label(im, ox + 81, oy + 190, "SUS");
  label(im, ox + 103, oy + 190, "POR");
  const int pedalX[4] = {30, 51, 73, 95};
  const char* pedalName[4] = {"SUS", "POR", "MOD", "GLI"};
  for (int k = 0; k < 4; ++k) {
    recess(im, ox + pedalX[k], oy + 201, 17, 37);
    label(im, ox + pedalX[k] + 9, oy + 241, pedalName[k]);
  }
  // Effects.
  header(im, ox + 145, oy + 128, "CHORUS");
  header(im, ox + 210, oy + 128, "DELAY");
  for (int x : {120, 144, 173, 197, 221}) knobSeat(im, ox + x, oy + 135, 26, 26);
  knobRow({}, 0);
  label(im, ox + 133, oy + 164, "SPD");
  label(im, ox + 157, oy + 164, "DEP");
  label(im, ox + 186, oy + 164, "TIM");
  label(im, ox + 210, oy + 164, "FBK");
  label(im, ox + 234, oy + 164, "WET");
  vSeparator(im, ox + 171, oy + 176, 88);
  recess(im, ox + 122, oy + 190, 22, 58);
  recess(im, ox + 145, oy + 190, 26, 58);
  recess(im, ox + 197, oy + 190, 26, 58);
  recess(im, ox + 227, oy + 212, 18, 18);
  label(im, ox + 133, oy + 252, "TYPE");
  label(im, ox + 158, oy + 252, "ON");
  label(im, ox + 210, oy + 252, "ON");
  label(im, ox + 236, oy + 233, "SYN");
  // Key bed under the keyboard (251, 129, 757 x 127).
  fillRect(im, ox + 247, oy + 125, 759, 135, kShadow);
  vGradient(im, ox + 249, oy + 127, 755, 131, rgb(20, 20, 22), rgb(34, 35, 38));
  vGradient(im, ox + 973, oy + 129, 31, 127, shade(kPlate, 1.1), shade(kPlate, 0.8));
  dimLabel(im, ox + 624, oy + 262, "HALVORN  POLYPHONIC MULTITIMBRAL SYNTHESIZER");
}

void presetBarStrip(Image& im) {
  vGradient(im, 0, 0, 1008, 33, rgb(40, 43, 48), kBarColour);
  fillRect(im, 0, 32, 1008, 1, rgb(10, 10, 12));
  fillRect(im, 0, 0, 1008, 1, rgb(70, 74, 80));
  for (int x : {96, 255, 416, 595, 688, 746, 841, 910}) {
    fillRect(im, x, 5, 1, 27, rgb(14, 15, 17));
    fillRect(im, x + 1, 5, 1, 27, rgb(58, 61, 66));
  }
  fillRect(im, 691, 5, 43, 10, kBarColour);
  drawText(im, 696, 6, "IN", kDimText);
  drawText(im, 882, 17, "POLY", kDimText);
}

Image fullFace(bool multiOpen) {
  Image im(1008, 620, kPanel);
  presetBarStrip(im);
  multiPanel(im, 0, 33, multiOpen);
  modulationPanel(im, 0, 161);
  voicePanel(im, 290, 161);
  keyboardPanel(im, 0, 345);
  return im;
}

Image compactFace() {
  Image im(1008, 341, kPanel);
  presetBarStrip(im);
  fillRect(im, 0, 33, 1008, 33, kPanel);
  plate(im, 2, 35, 1004, 29);
  header(im, 60, 46, "HALVORN");
  dimLabel(im, 904, 46, "COMPACT VIEW  -  FULL FOR ALL PANELS");
  keyboardPanel(im, 0, 66);
  return im;
}

// ---- the modulation cover: a roll-up shutter over the modulation rows ----

constexpr int kCoverW = 272, kCoverH = 178, kHousing = 19;
// Lower edge of the slats per frame (0 closed ... 6 open); frames 2-5 end where the
// shadow band drawn under them begins.
const int kCoverEdge[7] = {178, 166, 143, 95, 50, 29, kHousing};

Image coverFrame(int n) {
  Image im(kCoverW, kCoverH);
  // Housing across the top, in every frame.
  vGradient(im, 0, 0, kCoverW, kHousing, rgb(84, 88, 96), rgb(40, 42, 47));
  fillRect(im, 0, kHousing - 1, kCoverW, 1, kShadow);
  drawLabel(im, kCoverW / 2, 6, "MODULATION", kAccent, kShadow);
  const int edge = kCoverEdge[n];
  for (int y = kHousing; y < edge; ++y) {
    const int slat = (y - kHousing) % 8;
    Rgb c = mix(rgb(92, 96, 104), rgb(58, 61, 67), slat / 7.0);
    if (slat == 7) c = rgb(28, 30, 33);
    fillRect(im, 0, y, kCoverW, 1, c);
  }
  if (edge > kHousing + 3) {
    // Bottom rail with a grip, and the latch notch left open (cover button at 9, 151).
    fillRect(im, 0, edge - 4, kCoverW, 3, rgb(120, 124, 132));
    fillRect(im, 0, edge - 1, kCoverW, 1, kShadow);
    fillRect(im, kCoverW / 2 - 20, edge - 9, 40, 4, rgb(30, 32, 35));
  }
  if (n == 0) {
    drawLabel(im, kCoverW / 2, 80, "MODULATION MATRIX", kText, kShadow);
    drawLabel(im, kCoverW / 2, 94, "10 ROUTINGS  -  OPEN WITH THE LATCH", kDimText, kShadow);
  }
  for (int y = 149; y < 172; ++y)
    for (int x = 7; x < 27; ++x) im.set(x, y, kKey);
  // The right-hand 4 columns reach over the voice panel's edge: keep them out of the way.
  for (int y = 0; y < kCoverH; ++y)
    for (int x = kCoverW - 4; x < kCoverW; ++x) im.set(x, y, kKey);
  return im;
}

Image coverStrip() {
  std::vector<Image> frames;
  for (int n = 0; n < 7; ++n) frames.push_back(coverFrame(n));
  return stack(frames);
}

// The shadow band drawn half-transparent under a moving cover edge.
Image coverBand() {
  Image im(254, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 254; ++x) {
      // Dense at the edge, thinning out below: a dithered soft shadow.
      const double density = 1.0 - y / 30.0;
      const bool ink = ((x * 7 + y * 13) % 16) < int(density * 16);
      if (ink) im.set(x, y, rgb(int(10 + 20 * (1 - density)), 10, 12));
    }
  return im;
}

// The part strip's emblem: a scope trace that advances a twelfth of a cycle per frame.
Image animStrip() {
  std::vector<Image> frames;
  for (int f = 0; f < 12; ++f) {
    Image im(63, 63, kPlate);
    im.clearCoverage();
    fillCircle(im, 31.5, 31.5, 31, rgb(14, 16, 18));
    fillCircle(im, 31.5, 31.5, 28.5, [](double, double y) { return mix(rgb(10, 34, 24), rgb(6, 20, 14), y / 63); });
    for (int g = 1; g < 4; ++g) {
      fillShape(im, 4, 0, 59, 63, [g](double x, double y) { return std::fabs(y - 15.75 * g) < 0.3 || std::fabs(x - 15.75 * g) < 0.3; },
                [](double, double) { return rgb(30, 70, 50); });
    }
    const double phase = 2 * M_PI * f / 12;
    for (double x = 5; x < 58; x += 0.25) {
      double y = 31.5 - 14 * std::sin(2 * M_PI * (x - 5) / 26.5 + phase) * std::exp(-std::pow((x - 31.5) / 30, 2));
      fillCircle(im, x, y, 1.1, rgb(140, 255, 170));
    }
    // Keep the trace inside the screen.
    for (int y = 0; y < 63; ++y)
      for (int x = 0; x < 63; ++x)
        if (std::hypot(x + 0.5 - 31.5, y + 0.5 - 31.5) > 28.5 && std::hypot(x + 0.5 - 31.5, y + 0.5 - 31.5) <= 31.2)
          im.set(x, y, rgb(14, 16, 18));
    im.keyUncovered(0.5);
    frames.push_back(std::move(im));
  }
  return stack(frames);
}

Image aboutWindow() {
  Image im(621, 399);
  im.clearCoverage();
  fillRound(im, 0, 0, 621, 399, 8, kShadow);
  fillRound(im, 1, 1, 619, 397, 7.5, kPlateEdge);
  fillRound(im, 2, 3, 617, 394, 7, kAboutPlate);
  im.keyUncovered(0.5);
  // Title and the text band where the version and build date are written (312, 120).
  vGradient(im, 3, 4, 615, 92, rgb(64, 68, 76), kAboutPlate);
  drawLabel(im, 310, 22, "HALVORN", kText, kShadow, 5);
  drawLabel(im, 310, 66, "POLYPHONIC  MULTITIMBRAL  SYNTHESIZER", kAccent, kShadow);
  fillRect(im, 306, 114, 300, 34, kShadow);
  fillRect(im, 307, 115, 298, 32, rgb(20, 22, 26));
  drawText(im, 308, 104, "VERSION", kDimText);
  // Value pop-up switches (197, 135) and (197, 177).
  leftLabel(im, 40, 137, "VALUE POP-UPS");
  drawText(im, 40, 147, "ALL OFF", kDimText);
  leftLabel(im, 40, 179, "HOVER POP-UPS");
  drawText(im, 40, 189, "OFF", kDimText);
  hSeparator(im, 20, 208, 581);
  // Part tunes: knobs at y 243, lamps at y 365.
  header(im, 310, 214, "TUNING");
  const int knobX[8] = {104, 158, 214, 268, 326, 377, 433, 489};
  for (int n = 0; n < 8; ++n) {
    label(im, knobX[n] + 12, 230, "PART " + std::to_string(n + 1));
    dimLabel(im, knobX[n] + 12, 272, "0");
  }
  label(im, 565, 230, "GENERAL");
  fillCircle(im, 565, 260, 15, shade(kAboutPlate, 0.8));
  fillCircle(im, 565, 260, 13.5, kAboutPlate);
  dimLabel(im, 565, 278, "TUNE");
  leftLabel(im, 84, 323, "RESET THE PART TUNES");
  hSeparator(im, 20, 346, 581);
  leftLabel(im, 40, 370, "ACTIVITY");
  for (int n = 0; n < 8; ++n) {
    const int x = 115 + 54 * n;
    fillCircle(im, x + 9, 374, 10.5, shade(kAboutPlate, 0.7));
    fillCircle(im, x + 9, 374, 9, kAboutPlate);
  }
  fillRect(im, 604, 3, 13, 11, kAboutPlate);
  return im;
}

Image banner() {
  Image im(740, 155, kPanel);
  vGradient(im, 0, 0, 740, 155, rgb(56, 60, 68), rgb(24, 26, 30));
  fillRect(im, 0, 110, 740, 2, kAccent);
  drawLabel(im, 370, 30, "HALVORN", kText, kShadow, 8);
  drawLabel(im, 370, 124, "POLYPHONIC  MULTITIMBRAL  SYNTHESIZER", kDimText, kShadow, 2);
  return im;
}

}  // namespace

void faces(std::vector<Bitmap>& out) {
  out.push_back(Bitmap{1001, fullFace(false), 620});
  out.push_back(Bitmap{1003, fullFace(true), 620});
  out.push_back(Bitmap{1004, compactFace(), 341});
  Image anim = animStrip();
  out.push_back(Bitmap{1005, anim, 63});
  out.push_back(Bitmap{1006, coverStrip(), kCoverH});
  out.push_back(Bitmap{1007, coverBand(), 30});
  out.push_back(Bitmap{2000, aboutWindow(), 399});
  out.push_back(Bitmap{3001, banner(), 155});
}

}  // namespace skin
