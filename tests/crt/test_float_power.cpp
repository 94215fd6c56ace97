// floatPower, the plug-in's powf, against the C library's double pow rounded to a float.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "crt/float_power.h"

namespace {

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Distance in representable floats (same sign assumed by the callers).
int64_t floatsApart(float a, float b) { return std::llabs((int64_t)bitsOf(a) - (int64_t)bitsOf(b)); }

// How near the exact power lies to a halfway point between two floats, relative to it: only
// there may a result with an error of about 1e-14 round the other way.
double nearnessToHalfway(double exact) {
    const float rounded = (float)exact;
    const float neighbour =
        std::nextafter(rounded, exact > rounded ? std::numeric_limits<float>::infinity()
                                                : -std::numeric_limits<float>::infinity());
    const double halfway = 0.5 * ((double)rounded + (double)neighbour);
    return std::fabs(exact - halfway) / std::fabs(exact);
}

// The correctly rounded power, but where the exact one is within 1e-12 of a halfway point:
// there one float either side is allowed.
void expectRoundedPower(float x, float y) {
    const double exact = std::pow((double)x, (double)y);
    const float expected = (float)exact;
    const float got = floatPower(x, y);
    if (exact != 0.0 && std::isfinite(exact) && nearnessToHalfway(exact) < 1e-12)
        EXPECT_LE(floatsApart(got, expected), 1) << x << " ^ " << y;
    else
        EXPECT_EQ(bitsOf(got), bitsOf(expected)) << x << " ^ " << y << ": " << got << " against " << expected;
}

std::vector<float> geometric(double from, double to, int count) {
    std::vector<float> values;
    for (int i = 0; i < count; ++i) values.push_back((float)(from * std::pow(to / from, (double)i / (count - 1))));
    return values;
}

std::vector<float> linear(double from, double to, int count) {
    std::vector<float> values;
    for (int i = 0; i < count; ++i) values.push_back((float)(from + (to - from) * i / (count - 1)));
    return values;
}

TEST(FloatPower, TheVoicesPowersOfTenAreRoundedAsTheLibrarysPow) {
    // The amplifier's 10^(3c), c within +-4, and the envelopes' 10^(1.2 s).
    for (float c : linear(-4.0, 4.0, 200001)) expectRoundedPower(10.f, 3.f * c);
    for (float s : linear(-10.0, 10.0, 100001)) expectRoundedPower(10.f, 1.2f * s);
}

TEST(FloatPower, BasesAcrossTheirRangeAndExponentsAcrossTheirs) {
    std::vector<float> bases = geometric(1e-30, 1e30, 1201);
    for (int k = -300; k <= 300; ++k) bases.push_back(1.f + (float)k * std::numeric_limits<float>::epsilon());
    for (float b : {0.5f, 2.f, 3.f, 10.f, 0.1f, 0.99f, 1.01f, 0.69921875f, 1.3984375f})
        bases.push_back(b);
    std::vector<float> exponents = linear(-4.0, 4.0, 801);
    for (float e : geometric(4.0, 120.0, 60)) {
        exponents.push_back(e);
        exponents.push_back(-e);
    }
    for (int n = -10; n <= 10; ++n) exponents.push_back(0.5f * (float)n);
    for (float b : bases)
        for (float e : exponents) expectRoundedPower(b, e);
}

// Bases that are not positive normal numbers, infinities, NaN and results past the normal
// floats: exactly the library's result, signs and NaN included.
TEST(FloatPower, EdgeCasesGiveExactlyTheLibrarysResult) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float tiny = std::numeric_limits<float>::denorm_min();
    const struct {
        float x, y;
    } cases[] = {
        {0.f, 2.f},    {-0.f, 3.f},  {0.f, -1.f},  {-0.f, -1.f}, {0.f, 0.f},    {-2.f, 3.f},   {-2.f, 2.f},
        {-2.f, 0.5f},  {-8.f, -1.f}, {inf, 2.f},   {inf, -2.f},  {-inf, 3.f},   {2.f, inf},    {0.5f, inf},
        {2.f, -inf},   {1.f, inf},   {1.f, nan},   {nan, 0.f},   {nan, 1.f},    {2.f, nan},    {tiny, 0.5f},
        {tiny, 2.f},   {1e-40f, -1.f}, {2.f, 127.5f}, {2.f, 128.f}, {2.f, -126.f}, {2.f, -140.f}, {2.f, -160.f},
        {10.f, 40.f},  {10.f, -40.f}, {3.f, 0.f},  {1.f, 1e10f},
    };
    for (const auto& c : cases) {
        const float expected = (float)std::pow((double)c.x, (double)c.y);
        const float got = floatPower(c.x, c.y);
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(got)) << c.x << " ^ " << c.y;
        else
            EXPECT_EQ(bitsOf(got), bitsOf(expected)) << c.x << " ^ " << c.y << ": " << got << " against " << expected;
    }
}

}  // namespace
