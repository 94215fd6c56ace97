// The toolbar's pure rules: the processor meter's percent and colour, and the names of the
// output pairs.
#include <gtest/gtest.h>

#include <cmath>

#include "standalone_toolbar.h"

namespace {

TEST(CpuMeter, PercentAndColourOfTheLoad) {
    const struct {
        float load;
        int percent;
        COLORREF colour;
    } cases[] = {
        {0.f, 0, RGB(0, 255, 0)},      {0.499f, 49, RGB(0, 255, 0)},   {0.5f, 50, RGB(255, 255, 0)},
        {0.795f, 79, RGB(255, 255, 0)}, {0.8f, 80, RGB(255, 0, 0)},    {1.3f, 100, RGB(255, 0, 0)},
        {-0.2f, 0, RGB(0, 255, 0)},    {NAN, 0, RGB(0, 255, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.load);
        int percent = CCpuMeter::LoadPercent(c.load);
        EXPECT_EQ(percent, c.percent);
        EXPECT_EQ(CCpuMeter::LoadColor(percent), c.colour);
    }
}

TEST(StandAloneToolBar, OutputPairNames) {
    const struct {
        const char* first;
        const char* second;
        const char* entry;
    } cases[] = {
        {"Out 1", "Out 2", "Out 1 / 2"},
        {"Out 7", "Out 8", "Out 7 / 8"},
        {"Main", "Main", "Main"},
        {"Left", "Right", "Left / Right"},
        {"Speakers L", "Speakers R", "Speakers L / R"},
        {"", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(CStandAloneToolBar::OutputPairName(c.first, c.second), c.entry);
}

}  // namespace
