#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace skin {

Rgb mix(Rgb a, Rgb b, double t) {
  auto m = [t](int x, int y) { return uint8_t(std::lround(x + (y - x) * std::clamp(t, 0.0, 1.0))); };
  return Rgb{m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Rgb shade(Rgb c, double f) {
  auto s = [f](int v) {
    double x = f >= 1 ? v + (255 - v) * (f - 1) : v * f;
    return uint8_t(std::clamp(std::lround(x), 0L, 255L));
  };
  return Rgb{s(c.r), s(c.g), s(c.b)};
}

Image::Image(int w, int h, Rgb fill) : w_(w), h_(h), px_(size_t(w) * h, fill), cover_(size_t(w) * h, 0.f) {}

void Image::set(int x, int y, Rgb c) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  px_[size_t(y) * w_ + x] = c;
  cover_[size_t(y) * w_ + x] = 1.f;
}

void Image::blend(int x, int y, Rgb c, double a) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_ || a <= 0) return;
  size_t i = size_t(y) * w_ + x;
  px_[i] = mix(px_[i], c, a);
  cover_[i] = std::max(cover_[i], float(std::min(a, 1.0)));
}

void Image::keyUncovered(double threshold) {
  for (size_t i = 0; i < px_.size(); ++i)
    if (cover_[i] < threshold) px_[i] = kKey;
}

void Image::clearCoverage() { std::fill(cover_.begin(), cover_.end(), 0.f); }

void Image::blit(const Image& src, int dx, int dy) {
  for (int y = 0; y < src.h_; ++y)
    for (int x = 0; x < src.w_; ++x) set(dx + x, dy + y, src.get(x, y));
}

void Image::blitKeyed(const Image& src, int dx, int dy) {
  for (int y = 0; y < src.h_; ++y)
    for (int x = 0; x < src.w_; ++x)
      if (src.get(x, y) != kKey) set(dx + x, dy + y, src.get(x, y));
}

Image Image::crop(int x0, int y0, int w, int h) const {
  Image out(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (x0 + x >= 0 && y0 + y >= 0 && x0 + x < w_ && y0 + y < h_) out.set(x, y, get(x0 + x, y0 + y));
  return out;
}

bool Image::writeBmp(const std::string& path) const {
  const int stride = (w_ * 3 + 3) & ~3;
  const uint32_t dataSize = uint32_t(stride) * h_;
  uint8_t head[54] = {};
  auto put16 = [&head](int at, uint32_t v) { head[at] = uint8_t(v); head[at + 1] = uint8_t(v >> 8); };
  auto put32 = [&head](int at, uint32_t v) {
    for (int k = 0; k < 4; ++k) head[at + k] = uint8_t(v >> (8 * k));
  };
  head[0] = 'B';
  head[1] = 'M';
  put32(2, 54 + dataSize);
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(w_));
  put32(22, uint32_t(h_));
  put16(26, 1);
  put16(28, 24);
  put32(34, dataSize);
  put32(38, 2835);  // 72 dpi
  put32(42, 2835);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(head, 1, sizeof head, f) == sizeof head;
  std::vector<uint8_t> row(size_t(stride), 0);
  for (int y = h_ - 1; y >= 0 && ok; --y) {
    for (int x = 0; x < w_; ++x) {
      Rgb c = get(x, y);
      row[size_t(x) * 3] = c.b;
      row[size_t(x) * 3 + 1] = c.g;
      row[size_t(x) * 3 + 2] = c.r;
    }
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  return std::fclose(f) == 0 && ok;
}

void fillShape(Image& im, double x0, double y0, double x1, double y1, const Inside& in, const Paint& paint) {
  const int ix0 = std::max(0, int(std::floor(x0))), iy0 = std::max(0, int(std::floor(y0)));
  const int ix1 = std::min(im.width(), int(std::ceil(x1))), iy1 = std::min(im.height(), int(std::ceil(y1)));
  for (int y = iy0; y < iy1; ++y)
    for (int x = ix0; x < ix1; ++x) {
      int n = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
          if (in(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)) ++n;
      if (n) im.blend(x, y, paint(x + 0.5, y + 0.5), n / 16.0);
    }
}

void fillRect(Image& im, int x, int y, int w, int h, Rgb c) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) im.set(i, j, c);
}

void frameRect(Image& im, int x, int y, int w, int h, Rgb c) {
  fillRect(im, x, y, w, 1, c);
  fillRect(im, x, y + h - 1, w, 1, c);
  fillRect(im, x, y, 1, h, c);
  fillRect(im, x + w - 1, y, 1, h, c);
}

void vGradient(Image& im, int x, int y, int w, int h, Rgb top, Rgb bottom) {
  for (int j = 0; j < h; ++j) fillRect(im, x, y + j, w, 1, mix(top, bottom, h > 1 ? double(j) / (h - 1) : 0));
}

void fillRound(Image& im, double x, double y, double w, double h, double r, const Paint& paint) {
  auto in = [=](double px, double py) {
    double cx = std::clamp(px, x + r, x + w - r), cy = std::clamp(py, y + r, y + h - r);
    return px >= x && px <= x + w && py >= y && py <= y + h && (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
  };
  fillShape(im, x, y, x + w, y + h, in, paint);
}

void fillRound(Image& im, double x, double y, double w, double h, double r, Rgb c) {
  fillRound(im, x, y, w, h, r, [c](double, double) { return c; });
}

void fillCircle(Image& im, double cx, double cy, double r, const Paint& paint) {
  fillShape(im, cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1,
            [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; }, paint);
}

void fillCircle(Image& im, double cx, double cy, double r, Rgb c) {
  fillCircle(im, cx, cy, r, [c](double, double) { return c; });
}

void fillRing(Image& im, double cx, double cy, double r0, double r1, Rgb c) {
  fillShape(im, cx - r1 - 1, cy - r1 - 1, cx + r1 + 1, cy + r1 + 1,
            [=](double x, double y) {
              double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
              return d >= r0 * r0 && d <= r1 * r1;
            },
            [c](double, double) { return c; });
}

static double clockwiseFromDown(double dx, double dy) {
  // atan2 in image axes: straight down 0, left pi/2, up pi, right 3pi/2.
  double a = std::atan2(-dx, dy);
  return a < 0 ? a + 2 * M_PI : a;
}

void fillArc(Image& im, double cx, double cy, double r0, double r1, double a0, double a1, Rgb c) {
  if (a1 <= a0) return;
  fillShape(im, cx - r1 - 1, cy - r1 - 1, cx + r1 + 1, cy + r1 + 1,
            [=](double x, double y) {
              double dx = x - cx, dy = y - cy, d = dx * dx + dy * dy;
              if (d < r0 * r0 || d > r1 * r1) return false;
              double a = clockwiseFromDown(dx, dy);
              return a >= a0 && a <= a1;
            },
            [c](double, double) { return c; });
}

void line(Image& im, double x0, double y0, double x1, double y1, double width, Rgb c) {
  const double r = width / 2, vx = x1 - x0, vy = y1 - y0, len2 = vx * vx + vy * vy;
  auto in = [=](double x, double y) {
    double t = len2 > 0 ? std::clamp(((x - x0) * vx + (y - y0) * vy) / len2, 0.0, 1.0) : 0;
    double dx = x - (x0 + t * vx), dy = y - (y0 + t * vy);
    return dx * dx + dy * dy <= r * r;
  };
  fillShape(im, std::min(x0, x1) - r - 1, std::min(y0, y1) - r - 1, std::max(x0, x1) + r + 1,
            std::max(y0, y1) + r + 1, in, [c](double, double) { return c; });
}

double pointerDx(double a) { return -std::sin(a); }
double pointerDy(double a) { return std::cos(a); }

}  // namespace skin
