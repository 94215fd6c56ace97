// Numbers read from the files: the short way for the files' own form gives, to the bit,
// what strtod gives for the same text.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "core/number_text.h"

namespace {

uint64_t bitsOf(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// parseNumber against strtod (the tests run in the "C" locale): the same answer and the
// same double, bit for bit.
void expectAsStrtod(const std::string& text) {
    char* end = nullptr;
    const double expected = std::strtod(text.c_str(), &end);
    const bool converts = end != text.c_str();
    double value = -12345.0;
    ASSERT_EQ(parseNumber(text.c_str(), &value), converts) << '"' << text << '"';
    if (converts) {
        EXPECT_EQ(bitsOf(value), bitsOf(expected)) << '"' << text << "\" read as " << value;
    }
}

TEST(NumberText, ReadsAsStrtodDoes) {
    const char* const texts[] = {
        "5.000000e-001", "5.000000e-01", "-1", "0", "-0.000000e+000", "1.", ".5", "+2.5E+03", "7.265625e-001",
        "3.600000e-001", "1e22", "1e23", "123456789012345", "1234567890123456", "0.000000000000000000000001",
        "9007199254740993", "1.5e", "1.5e+", "1.2.3", "--1", "+-1", "", "-", ".", "e5", "1e-400", "3.4e38",
        "0e999", "000000000000000000000000001.5", "1.000000000000000000000000", "2.5e-22", "2.5e-23",
        "4.9406564584124654e-324", "inf", "nan", "abc",
    };
    for (const char* text : texts) expectAsStrtod(text);
}

// Every float as the files write it ("%e", three-digit exponents as well) and at full
// precision: random bit patterns and the values of the curves' range in small steps.
TEST(NumberText, ReadsEveryWrittenFloatAsStrtodDoes) {
    std::mt19937 random(20261211);
    char text[64];
    for (int n = 0; n < 200000; n++) {
        uint32_t bits = (uint32_t)random();
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        if (value != value) continue;
        if (n % 2 == 0) value = (float)(n / 2) / 100000.f;
        for (const char* conversion : {"%e", "%.9g", "%.17g"}) {
            std::snprintf(text, sizeof(text), conversion, (double)value);
            expectAsStrtod(text);
        }
        // The Windows runtime's exponent of three digits.
        std::snprintf(text, sizeof(text), "%e", (double)value);
        if (char* e = std::strchr(text, 'e')) {
            if (std::strlen(e + 2) == 2) {
                std::memmove(e + 3, e + 2, 3);
                e[2] = '0';
            }
            expectAsStrtod(text);
        }
        if (HasFailure()) return;
    }
}

}  // namespace
