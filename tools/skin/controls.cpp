// Film strips of the controls: knobs, slider caps, switches, lamps and buttons.
#include "controls.h"

#include <algorithm>
#include <cmath>

#include "pixel_font.h"

namespace skin {

Image ghost(const Image& src) {
  Image out = src;
  for (int y = 0; y < src.height(); ++y)
    for (int x = 0; x < src.width(); ++x) {
      Rgb c = src.get(x, y);
      if (c == kKey) continue;
      int l = (c.r * 3 + c.g * 6 + c.b) / 10;
      int v = 96 + l / 2;
      out.set(x, y, rgb(v, v, v + 6));
    }
  return out;
}

Image stack(const std::vector<Image>& frames) {
  int w = frames.front().width(), h = 0;
  for (const Image& f : frames) h += f.height();
  Image out(w, h);
  int y = 0;
  for (const Image& f : frames) {
    out.blit(f, 0, y);
    y += f.height();
  }
  return out;
}

double knobAngle(double value) { return kKnobAngleStart + (kKnobAngleEnd - kKnobAngleStart) * value; }

Image knobFrame(int w, int h, double value, const KnobLook& look, Rgb matte, bool keyed) {
  Image im(w, h, matte);
  im.clearCoverage();
  const double cx = w / 2.0, cy = h / 2.0;
  const double R = std::min(w, h) / 2.0 - 0.4;
  const double a = knobAngle(value);
  // Scale track and value arc around the cap.
  fillArc(im, cx, cy, R - 2.3, R, kKnobAngleStart, kKnobAngleEnd, look.track);
  if (look.bipolar) {
    fillArc(im, cx, cy, R - 2.3, R, std::min(a, M_PI), std::max(a, M_PI), look.arc);
    fillArc(im, cx, cy, R - 2.6, R + 0.2, M_PI - 0.05, M_PI + 0.05, shade(look.arc, 1.5));
  } else {
    fillArc(im, cx, cy, R - 2.3, R, kKnobAngleStart, a, look.arc);
  }
  const double rb = R - 3.2;
  fillCircle(im, cx + 0.4, cy + 0.7, rb, rgb(12, 13, 15));
  fillCircle(im, cx, cy, rb, [&](double x, double y) {
    double t = ((x - cx) + (y - cy)) / (2 * rb);  // light from the top left
    return mix(shade(look.body, 1.35), shade(look.body, 0.7), 0.5 + t);
  });
  fillCircle(im, cx, cy, rb - 1.6, [&](double x, double y) {
    double t = ((x - cx) + (y - cy)) / (2 * rb);
    return mix(shade(look.body, 0.8), shade(look.body, 1.15), 0.5 + t);
  });
  const double dx = pointerDx(a), dy = pointerDy(a);
  line(im, cx + dx * rb * 0.25, cy + dy * rb * 0.25, cx + dx * (rb - 1.2), cy + dy * (rb - 1.2),
       std::max(1.6, rb * 0.24), look.pointer);
  if (keyed) im.keyUncovered();
  return im;
}

Image knobStrip(int w, int h, const KnobLook& look, Rgb matte, bool keyed, bool reversed) {
  std::vector<Image> frames;
  for (int i = 0; i < kKnobFrames; ++i) {
    // A reversed strip is read from its bottom: strip frame i shows value frame 63 - i.
    // Frame f stands for the values from f / 64 up, so the pointer of frame 32 (value 0.5)
    // stands straight up.
    int f = reversed ? kKnobFrames - 1 - i : i;
    frames.push_back(knobFrame(w, h, double(f) / kKnobFrames, look, matte, keyed));
  }
  return stack(frames);
}

Image sliderCap(int w, int h, Rgb line_colour) {
  Image im(w, h, kPlate);
  im.clearCoverage();
  fillRound(im, 1.2, 1.6, w - 2.0, h - 2.2, 2.0, rgb(10, 10, 12));
  fillRound(im, 1, 1, w - 2.0, h - 2.4, 2.0, [&](double, double y) {
    return mix(rgb(120, 124, 130), rgb(46, 48, 52), y / h);
  });
  fillRect(im, 2, h / 2 - 4, w - 4, 1, rgb(150, 154, 160));
  fillRect(im, 2, h / 2 + 3, w - 4, 1, rgb(30, 32, 35));
  fillRect(im, 2, h / 2 - 1, w - 4, 2, line_colour);
  im.keyUncovered();
  return im;
}

Image leverFrame(int w, int h, int positions, int pos, bool disabled) {
  Image im(w, h, kPlate);
  im.clearCoverage();
  fillRound(im, 0.5, 0.5, w - 1.0, h - 1.0, 3, rgb(22, 23, 26));
  fillRound(im, 1.5, 1.5, w - 3.0, h - 3.0, 2.5, rgb(62, 65, 71));
  const double cx = w / 2.0;
  fillRound(im, cx - 2.5, 4, 5, h - 8.0, 2.5, rgb(14, 15, 17));
  // The bat: down for position 0, up for the last position.
  const double travel = h - 16.0;
  const double ty = 8 + travel * (1.0 - double(pos) / (positions - 1));
  Rgb bat = disabled ? rgb(90, 90, 90) : rgb(214, 214, 208);
  fillRound(im, cx - w * 0.36, ty - 4, w * 0.72, 8, 3, rgb(10, 10, 12));
  fillRound(im, cx - w * 0.34, ty - 4.5, w * 0.68, 8, 3, [&](double, double y) {
    return mix(shade(bat, 1.1), shade(bat, 0.6), (y - ty + 4.5) / 8);
  });
  if (!disabled && pos > 0) fillRect(im, int(cx) - 2, int(ty) - 1, 4, 2, kAccent);
  im.keyUncovered();
  return im;
}

Image ledFrame(int w, int h, double level, Rgb colour, bool bezel) {
  Image im(w, h, kPlate);
  im.clearCoverage();
  const double cx = w / 2.0, cy = h / 2.0, r = std::min(w, h) / 2.0;
  if (bezel) {
    fillRound(im, 0.5, 0.5, w - 1.0, h - 1.0, 3, rgb(18, 19, 22));
    fillRound(im, 1.5, 1.5, w - 3.0, h - 3.0, 2.5, [&](double, double y) {
      return mix(rgb(96, 100, 108), rgb(50, 52, 57), y / h);
    });
  }
  const double lr = bezel ? r * 0.45 : r * 0.7;
  fillCircle(im, cx, cy, lr + 1.2, rgb(16, 16, 18));
  Rgb off = shade(colour, 0.25);
  Rgb lit = mix(off, colour, level);
  fillCircle(im, cx, cy, lr, [&](double x, double y) {
    double d = std::hypot(x - cx + lr * 0.3, y - cy + lr * 0.3) / (lr * 1.6);
    return mix(shade(lit, 1.0 + 0.7 * level), lit, d);
  });
  im.keyUncovered();
  return im;
}

Image slideFrame(int w, int h, bool on, bool disabled) {
  Image im(w, h, kPlate);
  im.clearCoverage();
  fillRound(im, 0.5, 0.5, w - 1.0, h - 1.0, h / 2.0 - 0.5, rgb(16, 17, 19));
  fillRound(im, 1.5, 1.5, w - 3.0, h - 3.0, h / 2.0 - 1.5, on && !disabled ? shade(kAccent, 0.55) : rgb(40, 42, 46));
  const double kw = w * 0.5;
  const double kx = on ? w - kw - 1 : 1;
  fillRound(im, kx, 1, kw, h - 2.0, h / 2.0 - 1, [&](double, double y) {
    return mix(rgb(205, 205, 200), rgb(120, 120, 118), y / h);
  });
  im.keyUncovered();
  return im;
}

Image rockerFrame(int w, int h, bool on, const std::string& label) {
  Image im(w, h, kPlate);
  im.clearCoverage();
  fillRound(im, 0.5, 0.5, w - 1.0, h - 1.0, 4, rgb(14, 15, 17));
  const double mid = h * 0.55;
  // The pressed half sits lower and darker.
  auto face = [&](double y0, double y1, bool pressed) {
    fillRound(im, 2, y0, w - 4.0, y1 - y0, 3, [&](double, double y) {
      double t = (y - y0) / (y1 - y0);
      return pressed ? mix(rgb(40, 42, 46), rgb(58, 61, 66), t) : mix(rgb(104, 108, 116), rgb(64, 67, 73), t);
    });
  };
  face(2, mid, on);
  face(mid, h - 2.0, !on);
  fillCircle(im, w / 2.0, 9, 3, rgb(12, 12, 14));
  fillCircle(im, w / 2.0, 9, 2.2, on ? rgb(255, 190, 90) : rgb(70, 44, 20));
  drawTextCentred(im, w / 2, int(mid) + 6, label, kText);
  im.keyUncovered();
  return im;
}

Image wideToggleFrame(int w, int h, int state) {
  // state 0 off, 1 on, 2 disabled
  Image im(w, h, kAboutPlate);
  im.clearCoverage();
  fillRound(im, 0.5, 0.5, w - 1.0, h - 1.0, h / 2.0 - 0.5, rgb(12, 13, 15));
  Rgb track = state == 1 ? shade(kAccent, 0.6) : state == 2 ? rgb(60, 60, 60) : rgb(42, 44, 48);
  fillRound(im, 2, 2, w - 4.0, h - 4.0, h / 2.0 - 2, track);
  const double kw = w * 0.46;
  const double kx = state == 1 ? w - kw - 2 : 2;
  Rgb knobTop = state == 2 ? rgb(110, 110, 110) : rgb(222, 222, 216);
  Rgb knobBottom = state == 2 ? rgb(80, 80, 80) : rgb(140, 140, 136);
  fillRound(im, kx, 2, kw, h - 4.0, h / 2.0 - 2, [&](double, double y) { return mix(knobTop, knobBottom, y / h); });
  const std::string text = state == 1 ? "ON" : "OFF";
  Rgb tc = state == 2 ? rgb(100, 100, 100) : state == 1 ? rgb(255, 236, 200) : rgb(170, 170, 165);
  const double tx = state == 1 ? (2 + (w - kw - 2)) / 2.0 : kx + kw + (w - kx - kw) / 2.0;
  drawTextCentred(im, int(tx), h / 2 - 3, text, tc);
  im.keyUncovered();
  return im;
}

Image buttonFace(int w, int h, bool pressed, const std::string& label, Rgb matte, Rgb lamp, bool keyed) {
  Image im(w, h, matte);
  im.clearCoverage();
  fillRound(im, 0.5, 0.5, w - 1.0, h - 1.0, 3, rgb(12, 13, 15));
  const double off = pressed ? 1 : 0;
  fillRound(im, 1.5, 1.5 + off, w - 3.0, h - 3.0 - off, 2.5, [&](double, double y) {
    return pressed ? mix(rgb(44, 46, 50), rgb(70, 73, 79), y / h) : mix(rgb(112, 116, 124), rgb(62, 65, 71), y / h);
  });
  int textY = (h - kGlyphHeight) / 2 + int(off);
  if (lamp != kKey) {
    // A lamp bar across the top of the face, lit while pressed.
    fillRect(im, 4, 3 + int(off), w - 8, 2, pressed ? lamp : shade(lamp, 0.3));
    textY = std::max(textY, 7 + int(off));
  }
  if (!label.empty()) drawTextCentred(im, w / 2, textY, label, pressed ? kAccent : kText);
  if (keyed) im.keyUncovered();
  return im;
}

}  // namespace skin
