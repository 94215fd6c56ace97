// The view library's bitmaps and small controls, drawn with the skin's real bitmaps
// (linked into this program as into the plug-in) into offscreen contexts.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "vstgui/vstgui.h"

namespace {

const COLORREF kGround = RGB(10, 20, 30);

struct Surface {
    Surface(int w, int h) : context(nullptr, w, h) {
        context.setFillColor(CColor{10, 20, 30, 255});
        context.fillRect(CRect(0, 0, w, h));
    }
    COLORREF at(int x, int y) { return GetPixel(context.getSystemContext(), x, y); }
    COffscreenContext context;
};

TEST(Bitmaps, LoadFromTheLibrarysResources) {
    CBitmap face(1003), missing(99999);
    EXPECT_TRUE(face.isLoaded());
    EXPECT_EQ(face.getWidth(), 1008);
    EXPECT_EQ(face.getHeight(), 620);
    EXPECT_FALSE(missing.isLoaded());
    Surface s(20, 20);
    missing.draw(&s.context, CRect(0, 0, 20, 20));
    EXPECT_EQ(s.at(5, 5), kGround) << "a bitmap that did not load draws nothing";
}

TEST(Bitmaps, MagentaIsLeftOutWhenTransparent) {
    CBitmap cover(1006);
    ASSERT_TRUE(cover.isLoaded());
    const int w = 272, h = 178;
    Surface plain(w, h), keyed(w, h);
    cover.draw(&plain.context, CRect(0, 0, w, h));
    cover.setTransparentColor(kMagentaCColor);
    cover.drawTransparent(&keyed.context, CRect(0, 0, w, h));
    int magenta = 0, other = 0;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            COLORREF p = plain.at(x, y), k = keyed.at(x, y);
            if (p == RGB(255, 0, 255)) {
                magenta++;
                EXPECT_EQ(k, kGround) << x << "," << y;
            } else {
                other++;
                EXPECT_EQ(k, p) << x << "," << y;
            }
            if (HasFailure()) return;
        }
    }
    EXPECT_GT(magenta, 0) << "the cover's first frame has transparent parts";
    EXPECT_GT(other, 0);
}

TEST(Bitmaps, TheSourceIsClippedToTheBitmap) {
    CBitmap face(1003);
    Surface whole(1008, 620), corner(100, 100);
    face.draw(&whole.context, CRect(0, 0, 1008, 620));
    face.draw(&corner.context, CRect(0, 0, 100, 100), CPoint(1000, 610));
    for (int y = 0; y < 100; y += 3)
        for (int x = 0; x < 100; x += 3) {
            COLORREF expected = x < 8 && y < 10 ? whole.at(1000 + x, 610 + y) : kGround;
            ASSERT_EQ(corner.at(x, y), expected) << x << "," << y;
        }
}

TEST(Bitmaps, HalfAlphaBlendsHalfway) {
    CBitmap face(1003);
    Surface plain(40, 40), blended(40, 40);
    face.draw(&plain.context, CRect(0, 0, 40, 40), CPoint(500, 300));
    face.drawAlphaBlend(&blended.context, CRect(0, 0, 40, 40), CPoint(500, 300), 128);
    COLORREF p = plain.at(20, 20), b = blended.at(20, 20);
    EXPECT_NEAR(GetRValue(b), (GetRValue(p) + 10) / 2, 2);
    EXPECT_NEAR(GetGValue(b), (GetGValue(p) + 20) / 2, 2);
    EXPECT_NEAR(GetBValue(b), (GetBValue(p) + 30) / 2, 2);
}

struct Listener : CControlListener {
    std::vector<float> heard;
    void valueChanged(CDrawContext*, CControl* control) override { heard.push_back(control->getValue()); }
};

TEST(Controls, TheMovieShowsTheFrameOfItsValue) {
    CBitmap strip(300);  // 64 knob frames of 26 x 26
    ASSERT_EQ(strip.getHeight(), 64 * 26);
    struct Case {
        float value;
        long frame;
    };
    for (Case c : {Case{0.f, 0}, Case{1.f, 63}, Case{0.5f, 32}, Case{2.f, 63}, Case{-1.f, 0}, Case{NAN, 0}}) {
        CMovieBitmap movie(CRect(0, 0, 26, 26), nullptr, 0, 64, 26, &strip);
        movie.setValue(c.value);
        EXPECT_EQ(movie.frameShown(), c.frame) << c.value;
        Surface shown(26, 26), direct(26, 26);
        movie.draw(&shown.context);
        strip.draw(&direct.context, CRect(0, 0, 26, 26), CPoint(0, 26 * c.frame));
        int differ = 0;
        for (int y = 0; y < 26; y++)
            for (int x = 0; x < 26; x++) differ += shown.at(x, y) != direct.at(x, y);
        EXPECT_EQ(differ, 0) << c.value;
    }
}

TEST(Controls, SwitchesAndKickButtonsAnswerTheLeftButton) {
    CBitmap lamp(350);  // off above on, 18 x 18 each
    Listener heard;
    COnOffButton toggle(CRect(0, 0, 18, 18), &heard, 7, &lamp);
    Surface s(18, 18);
    CPoint where(5, 5);
    toggle.mouse(&s.context, where, kRButton);
    EXPECT_TRUE(heard.heard.empty()) << "the right button does nothing";
    toggle.mouse(&s.context, where, kLButton);
    toggle.mouse(&s.context, where, kLButton | kShift);
    EXPECT_EQ(heard.heard, (std::vector<float>{1.f, 0.f}));

    Surface off(18, 18), on(18, 18);
    toggle.draw(&off.context);
    toggle.setValue(1.f);
    toggle.draw(&on.context);
    lamp.draw(&s.context, CRect(0, 0, 18, 18), CPoint(0, 18));
    EXPECT_EQ(on.at(9, 9), s.at(9, 9)) << "on shows the lower image";

    // No button is held by the time the loop looks: a click, released over the button.
    heard.heard.clear();
    CKickButton kick(CRect(0, 0, 18, 18), &heard, 3, &lamp);
    kick.mouse(&s.context, where, kLButton);
    EXPECT_EQ(heard.heard, (std::vector<float>{1.f, 0.f}));
    EXPECT_EQ(kick.getValue(), 0.f);
    kick.mouse(&s.context, where, kMButton);
    EXPECT_EQ(heard.heard.size(), 2u);
}

}  // namespace
