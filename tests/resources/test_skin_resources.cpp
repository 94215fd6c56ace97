// The skin's bitmap resources in the built plug-in libraries, loaded the way the editor
// loads them (LoadBitmap / LoadImage from the library): every id at its size and frame
// count, transparent where the editor keys magenta, knob pointers on the knob's angle law,
// readable switch and button states, and keyboard slices that light only their own key.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/test_host.h"

namespace {

constexpr uint32_t kMagenta = 0xFF00FF;
constexpr uint32_t kGreen = 0x00FF00;

enum class Key { Opaque, Corners, GreenCorners, Partial };

struct Expect {
    int first, last;  // a run of ids with the same picture size
    int width, height;
    int frameHeight;
    int frames;
    bool disabledFrame;
    Key key;
};

// Sizes, frame heights and frame counts as the styles, panels and the keyboard read them.
const Expect kExpected[] = {
    {129, 129, 43, 54, 27, 2, false, Key::Opaque},
    {130, 131, 43, 27, 27, 1, false, Key::Opaque},
    {132, 133, 43, 27, 27, 1, false, Key::Corners},
    {134, 134, 103, 18, 18, 1, false, Key::Opaque},
    {135, 138, 43, 27, 27, 1, false, Key::Opaque},
    {139, 139, 43, 54, 27, 2, false, Key::Opaque},
    {140, 141, 43, 27, 27, 1, false, Key::Opaque},
    {142, 145, 43, 54, 27, 2, false, Key::Opaque},
    {146, 147, 15, 26, 13, 2, false, Key::Opaque},
    {148, 148, 43, 36, 18, 2, false, Key::Opaque},
    {149, 149, 43, 20, 10, 2, false, Key::Opaque},
    {170, 180, 18, 36, 18, 2, false, Key::Corners},
    {181, 181, 21, 36, 18, 2, false, Key::Corners},
    {184, 194, 18, 42, 21, 2, false, Key::Corners},
    {195, 195, 21, 42, 21, 2, false, Key::Corners},
    {198, 198, 13, 14, 14, 1, false, Key::GreenCorners},
    {200, 211, 20, 15, 15, 1, false, Key::Corners},
    {220, 221, 21, 1920, 30, 64, false, Key::Corners},
    {222, 223, 24, 1920, 30, 64, false, Key::Corners},
    {226, 231, 21, 1920, 30, 64, false, Key::Corners},
    {250, 250, 21, 29, 29, 1, false, Key::Opaque},
    {251, 251, 21, 38, 38, 1, false, Key::Opaque},
    {300, 302, 26, 1664, 26, 64, false, Key::Corners},
    {310, 317, 24, 1536, 24, 64, false, Key::Opaque},
    {320, 320, 42, 14, 14, 1, false, Key::Opaque},
    {349, 349, 69, 81, 27, 2, true, Key::Corners},
    {350, 351, 18, 36, 18, 2, false, Key::Corners},
    {352, 352, 69, 81, 27, 2, true, Key::Corners},
    {353, 354, 26, 116, 58, 2, false, Key::Corners},
    {355, 355, 22, 116, 58, 2, false, Key::Corners},
    {356, 356, 26, 116, 58, 2, false, Key::Corners},
    {357, 358, 17, 74, 37, 2, false, Key::Corners},
    {359, 360, 17, 111, 37, 3, false, Key::Corners},
    {362, 363, 19, 38, 19, 2, false, Key::Corners},
    {364, 365, 17, 90, 18, 5, false, Key::Corners},
    {366, 367, 18, 36, 18, 2, false, Key::Corners},
    {370, 370, 22, 116, 58, 2, false, Key::Corners},
    {380, 380, 37, 44, 22, 2, false, Key::Corners},
    {381, 381, 13, 22, 11, 2, false, Key::Corners},
    {503, 504, 23, 18, 9, 2, false, Key::Corners},
    {505, 505, 19, 18, 9, 2, false, Key::Corners},
    {506, 506, 42, 34, 17, 2, false, Key::Corners},
    {507, 507, 19, 18, 9, 2, false, Key::Corners},
    {1001, 1001, 1008, 620, 620, 1, false, Key::Opaque},
    {1003, 1003, 1008, 620, 620, 1, false, Key::Opaque},
    {1004, 1004, 1008, 341, 341, 1, false, Key::Opaque},
    {1005, 1005, 63, 756, 63, 12, false, Key::Corners},
    {1006, 1006, 272, 1246, 178, 7, false, Key::Partial},
    {1007, 1007, 254, 30, 30, 1, false, Key::Partial},
    {2000, 2000, 621, 399, 399, 1, false, Key::Corners},
    {3001, 3001, 740, 155, 155, 1, false, Key::Opaque},
    {5000, 5002, 20, 1016, 127, 8, false, Key::Partial},
    {5003, 5003, 28, 1016, 127, 8, false, Key::Partial},
    {5004, 5004, 24, 1016, 127, 8, false, Key::Partial},
    {5005, 5005, 20, 1016, 127, 8, false, Key::Partial},
    {5006, 5006, 28, 1016, 127, 8, false, Key::Partial},
    {5007, 5007, 26, 1016, 127, 8, false, Key::Partial},
    {5008, 5008, 24, 1016, 127, 8, false, Key::Partial},
};

// A bitmap resource read into 0xRRGGBB pixels, top row first.
struct Picture {
    int width = 0, height = 0, bitsPerPixel = 0;
    std::vector<uint32_t> px;
    uint32_t at(int x, int y) const { return px[size_t(y) * width + x]; }
};

bool readBitmap(HMODULE module, int id, Picture& out) {
    HBITMAP bmp = (HBITMAP)LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (!bmp) return false;
    BITMAP info = {};
    GetObjectA(bmp, sizeof info, &info);
    out.width = info.bmWidth;
    out.height = info.bmHeight;
    out.bitsPerPixel = info.bmBitsPixel;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = out.width;
    bi.bmiHeader.biHeight = -out.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    out.px.assign(size_t(out.width) * out.height, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    int rows = GetDIBits(dc, bmp, 0, out.height, out.px.data(), &bi, DIB_RGB_COLORS);
    DeleteDC(dc);
    DeleteObject(bmp);
    for (uint32_t& p : out.px) p &= 0xFFFFFF;
    return rows == out.height;
}

class SkinResources : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        module = LoadLibraryA(TestHost::pluginPath(GetParam()).c_str());
        ASSERT_NE(module, nullptr) << TestHost::pluginPath(GetParam());
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }
    Picture picture(int id) {
        Picture p;
        EXPECT_TRUE(readBitmap(module, id, p)) << "bitmap " << id;
        return p;
    }
    HMODULE module = nullptr;
};

BOOL CALLBACK collectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name)) reinterpret_cast<std::set<int>*>(param)->insert(int(reinterpret_cast<uintptr_t>(name)));
    return TRUE;
}

TEST_P(SkinResources, EveryBitmapHasItsIdSizeAndFrameCount) {
    std::set<int> expectedIds;
    for (const Expect& e : kExpected) {
        EXPECT_EQ(e.height, e.frameHeight * (e.frames + (e.disabledFrame ? 1 : 0))) << "table row " << e.first;
        for (int id = e.first; id <= e.last; ++id) {
            expectedIds.insert(id);
            // The plain loader VSTGUI-style bitmaps use, then the section loader.
            HBITMAP plain = LoadBitmapA(module, MAKEINTRESOURCEA(id));
            ASSERT_NE(plain, nullptr) << "bitmap " << id;
            BITMAP info = {};
            GetObjectA(plain, sizeof info, &info);
            EXPECT_EQ(info.bmWidth, e.width) << "bitmap " << id;
            EXPECT_EQ(info.bmHeight, e.height) << "bitmap " << id;
            DeleteObject(plain);
            Picture p = picture(id);
            EXPECT_EQ(p.width, e.width) << "bitmap " << id;
            EXPECT_EQ(p.height, e.height) << "bitmap " << id;
            EXPECT_EQ(p.bitsPerPixel, 24) << "bitmap " << id;
        }
    }
    std::set<int> found;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(2) /* RT_BITMAP */, collectId, reinterpret_cast<LONG_PTR>(&found));
    EXPECT_EQ(found, expectedIds);
}

// Keyed pictures have the key colour in the corners of every frame and ink inside;
// opaque ones (drawn without transparency) carry no key colour at all.
TEST_P(SkinResources, TransparentWhereTheEditorKeysItOpaqueElsewhere) {
    for (const Expect& e : kExpected) {
        if (e.key == Key::Partial) continue;
        for (int id = e.first; id <= e.last; ++id) {
            Picture p = picture(id);
            if (p.px.empty()) continue;
            const uint32_t key = e.key == Key::GreenCorners ? kGreen : kMagenta;
            int keyed = 0;
            for (uint32_t c : p.px) keyed += c == key;
            if (e.key == Key::Opaque) {
                EXPECT_EQ(keyed, 0) << "bitmap " << id << " has magenta pixels";
                continue;
            }
            EXPECT_LT(keyed, int(p.px.size()) * 3 / 4) << "bitmap " << id << " is mostly transparent";
            const int frames = p.height / e.frameHeight;
            for (int f = 0; f < frames; ++f) {
                const int top = f * e.frameHeight, bottom = top + e.frameHeight - 1;
                EXPECT_EQ(p.at(0, top), key) << "bitmap " << id << " frame " << f;
                EXPECT_EQ(p.at(p.width - 1, top), key) << "bitmap " << id << " frame " << f;
                EXPECT_EQ(p.at(0, bottom), key) << "bitmap " << id << " frame " << f;
                EXPECT_EQ(p.at(p.width - 1, bottom), key) << "bitmap " << id << " frame " << f;
            }
        }
    }
}

double frameDifference(const Picture& p, int frameHeight, int a, int b, double* cx = nullptr, double* cy = nullptr) {
    double total = 0, sx = 0, sy = 0;
    for (int y = 0; y < frameHeight; ++y)
        for (int x = 0; x < p.width; ++x) {
            uint32_t u = p.at(x, a * frameHeight + y), v = p.at(x, b * frameHeight + y);
            double d = std::abs(int(u >> 16) - int(v >> 16)) + std::abs(int((u >> 8) & 255) - int((v >> 8) & 255)) +
                       std::abs(int(u & 255) - int(v & 255));
            total += d;
            sx += d * (x + 0.5);
            sy += d * (y + 0.5);
        }
    if (cx && total > 0) *cx = sx / total;
    if (cy && total > 0) *cy = sy / total;
    return total;
}

// Knob frame f, shown for the values from f / 64 up, points at 0.5233333 + f / 64 x
// (5.7566667 - 0.5233333) radians, clockwise from straight down (frame 32, value 0.5, straight
// up); a reversed strip holds frame f at position 63 - f. The pointer's direction is read from
// what changes around the frame between its neighbours.
TEST_P(SkinResources, KnobPointersFollowTheAngleLaw) {
    struct Strip { int first, last; bool reversed; };
    const Strip strips[] = {{300, 302, false}, {220, 223, true}, {226, 231, true}, {310, 317, true}};
    const double start = 0.5233333, end = 5.7566667, pi = 3.14159265358979;
    for (const Strip& s : strips)
        for (int id = s.first; id <= s.last; ++id) {
            Picture p = picture(id);
            if (p.px.empty()) continue;
            const int fh = p.height / 64;
            auto position = [&](int f) { return s.reversed ? 63 - f : f; };
            for (int f = 0; f < 64; ++f) {
                const int before = std::max(0, f - 1), after = std::min(63, f + 1);
                double cx = 0, cy = 0;
                ASSERT_GT(frameDifference(p, fh, position(before), position(after), &cx, &cy), 0)
                    << "bitmap " << id << ": frames " << before << " and " << after << " are the same";
                const double dx = cx - p.width / 2.0, dy = cy - fh / 2.0;
                double angle = std::atan2(-dx, dy);
                if (angle < 0) angle += 2 * pi;
                const double expected = start + (end - start) * (before + after) / 2.0 / 64.0;
                EXPECT_NEAR(angle, expected, 0.05) << "bitmap " << id << " frame " << f;
            }
        }
}

// Each position of a switch or lamp, each frame of the cover and the animation, and the
// pressed picture of a button, looks different from its neighbour.
TEST_P(SkinResources, SwitchLampAndButtonFramesAreDistinct) {
    for (const Expect& e : kExpected) {
        const int frames = e.frames + (e.disabledFrame ? 1 : 0);
        if (frames < 2 || e.first >= 5000) continue;  // keyboard slices below
        for (int id = e.first; id <= e.last; ++id) {
            Picture p = picture(id);
            if (p.px.empty()) continue;
            for (int f = 1; f < frames; ++f)
                EXPECT_GT(frameDifference(p, e.frameHeight, f - 1, f), 0) << "bitmap " << id << " frames " << f - 1 << ", " << f;
        }
    }
}

// Keyboard geometry: an octave of 140 pixels, seven white keys of 20 and five black keys of 12.
struct KeySpan { int x0, x1; };
KeySpan keySpan(int key) {
    if (key == 60) return {700, 720};
    static const int whiteIndex[12] = {0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6};
    static const int blackX[12] = {-1, 12, -1, 36, -1, -1, 72, -1, 94, -1, 116, -1};
    const int X = 140 * (key / 12), s = key % 12;
    if (whiteIndex[s] >= 0) return {X + 20 * whiteIndex[s], X + 20 * whiteIndex[s] + 20};
    return {X + blackX[s], X + blackX[s] + 12};
}

// Draws the 61-key keyboard from its slices as the on-screen keyboard does: left to right,
// skipping magenta, each slice at the frame 4 x left + 2 x black + right of its keys' lit states.
std::vector<uint32_t> composeKeyboard(const std::map<int, Picture>& slices, const std::vector<bool>& lit,
                                      uint32_t ground) {
    std::vector<uint32_t> out(720 * 127, ground);
    auto L = [&](int key) { return lit[key] ? 1 : 0; };
    auto draw = [&](int x, int id, int frame) {
        const Picture& p = slices.at(id);
        for (int y = 0; y < 127; ++y)
            for (int i = 0; i < p.width; ++i) {
                uint32_t c = p.at(i, frame * 127 + y);
                if (c != kMagenta) out[size_t(y) * 720 + x + i] = c;
            }
    };
    for (int o = 0; o < 5; ++o) {
        const int X = 140 * o, j = 12 * o;
        if (o == 0)
            draw(X, 5000, L(j));
        else
            draw(X, 5001, 4 * L(j - 1) + 2 * L(0) + L(j));
        draw(X + 12, 5003, 4 * L(j) + 2 * L(j + 1) + L(j + 2));
        draw(X + 36, 5004, 4 * L(j + 2) + 2 * L(j + 3) + L(j + 4));
        draw(X + 60, 5005, 4 * L(j + 4) + 2 * L(0) + L(j + 5));
        draw(X + 72, 5006, 4 * L(j + 5) + 2 * L(j + 6) + L(j + 7));
        draw(X + 94, 5007, 4 * L(j + 7) + 2 * L(j + 8) + L(j + 9));
        draw(X + 116, 5008, 4 * L(j + 9) + 2 * L(j + 10) + L(j + 11));
    }
    draw(700, 5002, 4 * L(59) + 2 * L(0) + L(60));
    return out;
}

// The slices cover the whole keyboard, and lighting one key (the lowest, which also feeds
// the middle bit of the slices without a black key, included) changes that key's pixels only.
TEST_P(SkinResources, KeyboardSlicesLightOnlyTheirOwnKey) {
    std::map<int, Picture> slices;
    for (int id = 5000; id <= 5008; ++id) {
        slices[id] = picture(id);
        ASSERT_FALSE(slices[id].px.empty());
    }
    const uint32_t ground = 0x123456;
    const std::vector<uint32_t> dark = composeKeyboard(slices, std::vector<bool>(61, false), ground);
    int uncovered = 0;
    for (uint32_t c : dark) uncovered += c == ground;
    EXPECT_EQ(uncovered, 0);
    for (int key = 0; key <= 60; ++key) {
        std::vector<bool> lit(61, false);
        lit[key] = true;
        const std::vector<uint32_t> one = composeKeyboard(slices, lit, ground);
        const KeySpan span = keySpan(key);
        int inside = 0, outside = 0;
        for (int y = 0; y < 127; ++y)
            for (int x = 0; x < 720; ++x)
                if (one[size_t(y) * 720 + x] != dark[size_t(y) * 720 + x]) ++(x >= span.x0 && x < span.x1 ? inside : outside);
        EXPECT_GT(inside, 200) << "key " << key << " does not light";
        EXPECT_EQ(outside, 0) << "key " << key << " lights pixels of other keys";
    }
}

// The backgrounds agree where the panels overlap: the preset bar draws the top rows of 1003
// in both layouts; the keyboard panel sits at row 345 of the full faces and row 66 of the
// compact one; the two full faces differ only in the multi section (rows 33 to 160).
TEST_P(SkinResources, BackgroundsAgreeWhereThePanelsAreShared) {
    const Picture closed = picture(1001), open = picture(1003), compact = picture(1004);
    ASSERT_FALSE(closed.px.empty() || open.px.empty() || compact.px.empty());
    auto rowsEqual = [](const Picture& a, int ya, const Picture& b, int yb, int rows) {
        int differing = 0;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < 1008; ++x) differing += a.at(x, ya + y) != b.at(x, yb + y);
        return differing;
    };
    EXPECT_EQ(rowsEqual(open, 0, compact, 0, 33), 0);
    EXPECT_EQ(rowsEqual(open, 345, compact, 66, 275), 0);
    EXPECT_EQ(rowsEqual(open, 0, closed, 0, 33), 0);
    EXPECT_EQ(rowsEqual(open, 161, closed, 161, 459), 0);
    EXPECT_GT(rowsEqual(open, 33, closed, 33, 128), 1000);
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Builds, SkinResources, ::testing::Values(10, 2),
                         [](const ::testing::TestParamInfo<int>& info) { return "outputs" + std::to_string(info.param); });
