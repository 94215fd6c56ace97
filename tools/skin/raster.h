// A small raster canvas for the skin generator: 24-bit pixels, shapes drawn with
// 4 x 4 supersampled coverage, and a coverage mask so that a bitmap drawn over
// "nothing" can be keyed to the transparent colour afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace skin {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const Rgb& o) const { return !(*this == o); }
};

constexpr Rgb rgb(int r, int g, int b) { return Rgb{uint8_t(r), uint8_t(g), uint8_t(b)}; }
Rgb mix(Rgb a, Rgb b, double t);  // t = 0 gives a, 1 gives b
Rgb shade(Rgb c, double f);        // f > 1 lightens, f < 1 darkens

// The colour the editor treats as transparent.
constexpr Rgb kKey = rgb(255, 0, 255);

class Image {
 public:
  Image() = default;
  Image(int w, int h, Rgb fill = kKey);

  int width() const { return w_; }
  int height() const { return h_; }
  Rgb get(int x, int y) const { return px_[size_t(y) * w_ + x]; }
  void set(int x, int y, Rgb c);
  // Blends c over the pixel with coverage a (0-1) and records the coverage.
  void blend(int x, int y, Rgb c, double a);

  // Pixels whose recorded coverage stayed below the threshold become the key colour.
  void keyUncovered(double threshold = 0.35);
  void clearCoverage();

  void blit(const Image& src, int dx, int dy);         // opaque copy
  void blitKeyed(const Image& src, int dx, int dy);    // skips key-coloured pixels
  Image crop(int x, int y, int w, int h) const;

  bool writeBmp(const std::string& path) const;  // 24-bit bottom-up BI_RGB

 private:
  int w_ = 0, h_ = 0;
  std::vector<Rgb> px_;
  std::vector<float> cover_;
};

using Inside = std::function<bool(double x, double y)>;
using Paint = std::function<Rgb(double x, double y)>;

// Fills the pixels of the box [x0, x1) x [y0, y1) with the shape's coverage.
void fillShape(Image& im, double x0, double y0, double x1, double y1, const Inside& in, const Paint& paint);

void fillRect(Image& im, int x, int y, int w, int h, Rgb c);
void frameRect(Image& im, int x, int y, int w, int h, Rgb c);
void vGradient(Image& im, int x, int y, int w, int h, Rgb top, Rgb bottom);
void fillRound(Image& im, double x, double y, double w, double h, double r, const Paint& paint);
void fillRound(Image& im, double x, double y, double w, double h, double r, Rgb c);
void fillCircle(Image& im, double cx, double cy, double r, const Paint& paint);
void fillCircle(Image& im, double cx, double cy, double r, Rgb c);
void fillRing(Image& im, double cx, double cy, double r0, double r1, Rgb c);
// A ring sector between two angles measured clockwise from straight down (the knobs' law).
void fillArc(Image& im, double cx, double cy, double r0, double r1, double a0, double a1, Rgb c);
void line(Image& im, double x0, double y0, double x1, double y1, double width, Rgb c);

// Direction of a pointer at angle a, clockwise from straight down, in image axes (y down).
double pointerDx(double a);
double pointerDy(double a);

}  // namespace skin
