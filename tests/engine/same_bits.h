// A slot's output rendered alone and beside other slots: the modules that run several
// slots at once must give it to the bit either way.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace test {

inline void expectAudibleAndSameBits(const std::vector<float>& alone, const std::vector<float>& together) {
    float peak = 0.0f;
    for (float v : together) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.05f);
    ASSERT_EQ(alone.size(), together.size());
    for (size_t n = 0; n < together.size(); ++n)
        ASSERT_EQ(std::memcmp(&alone[n], &together[n], sizeof(float)), 0)
            << "sample " << n << ": " << alone[n] << " alone, " << together[n] << " together";
}

}  // namespace test
