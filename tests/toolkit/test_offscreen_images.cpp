// Offscreen images given back by their contexts serve the next context of the same size,
// cleared to its background, and all of them go with the last editor object.
#include <gtest/gtest.h>

#include "editor/editor_window.h"
#include "toolkit/aframe.h"
#include "vstgui/vstgui.h"

namespace {

COLORREF pixel(COffscreenContext& context, int x, int y) { return GetPixel(context.getSystemContext(), x, y); }

class OffscreenImages : public ::testing::Test {
protected:
    void SetUp() override {
        // The system's own objects come with the first drawing of the process.
        {
            COffscreenContext warm(nullptr, 8, 8);
            GetPixel(warm.getSystemContext(), 0, 0);
        }
        COffscreenContext::releaseSpareImages();
    }
    void TearDown() override { COffscreenContext::releaseSpareImages(); }
};

TEST_F(OffscreenImages, AReleasedImageServesTheNextOfItsSizeClearedToItsBackground) {
    DWORD before = gdiObjectCount();
    {
        COffscreenContext first(nullptr, 1008, 600);
        first.setFillColor(kWhiteCColor);
        first.fillRect(CRect(0, 0, 1008, 600));
        ASSERT_EQ(pixel(first, 500, 300), RGB(255, 255, 255));
    }
    EXPECT_EQ(COffscreenContext::spareImageCount(), 1);
    {
        COffscreenContext second(nullptr, 1008, 600, kMagentaCColor);
        EXPECT_EQ(COffscreenContext::spareImageCount(), 0) << "the kept image was taken";
        EXPECT_EQ(pixel(second, 500, 300), RGB(255, 0, 255)) << "nothing of the earlier picture shows";
        EXPECT_EQ(pixel(second, 1007, 599), RGB(255, 0, 255));
        COffscreenContext other(nullptr, 1008, 341);
        EXPECT_EQ(pixel(other, 500, 300), RGB(0, 0, 0)) << "another size gets an image of its own";
    }
    EXPECT_EQ(COffscreenContext::spareImageCount(), 2);
    COffscreenContext::releaseSpareImages();
    EXPECT_EQ(COffscreenContext::spareImageCount(), 0);
    EXPECT_EQ(gdiObjectCount(), before) << "nothing is left once the spares are let go";
}

TEST_F(OffscreenImages, FewAreKept) {
    DWORD before = gdiObjectCount();
    for (int size = 1; size <= 20; size++) COffscreenContext context(nullptr, 100 + size, 50);
    EXPECT_LE(COffscreenContext::spareImageCount(), 3);
    EXPECT_LE(gdiObjectCount(), before + 3);
}

TEST_F(OffscreenImages, TheLastEditorObjectLetsThemGo) {
    BitmapCache::addUser();
    BitmapCache::addUser();
    { COffscreenContext context(nullptr, 1008, 620); }
    BitmapCache::removeUser();
    EXPECT_EQ(COffscreenContext::spareImageCount(), 1) << "kept while an editor object is there to open again";
    BitmapCache::removeUser();
    EXPECT_EQ(COffscreenContext::spareImageCount(), 0);
}

}  // namespace
