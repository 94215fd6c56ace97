// Sample conversion between floats and every ASIO sample format, byte by byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "asio_convert.h"

namespace {

const int K = -1;  // a byte the conversion must leave as it was
const uint8_t kFill = 0xA5;

struct WriteCase {
    ASIOSampleType type;  // a big-endian type; its little-endian twin (type + 16) stores the bytes reversed
    float value;
    std::vector<int> bytes;
};

const WriteCase kWrites[] = {
    {ASIOSTInt16MSB, 1.0f, {0x7F, 0xFF}},
    {ASIOSTInt16MSB, -1.0f, {0x80, 0x01}},
    {ASIOSTInt16MSB, 0.5f, {0x3F, 0xFF}},
    {ASIOSTInt16MSB, -0.25f, {0xE0, 0x01}},
    {ASIOSTInt24MSB, 1.0f, {0x7F, 0xFF, 0xFF}},
    {ASIOSTInt24MSB, -1.0f, {0x80, 0x00, 0x01}},
    {ASIOSTInt24MSB, 0.5f, {0x3F, 0xFF, 0xFF}},
    {ASIOSTInt32MSB, 1.0f, {0x7F, 0xFF, 0xFF, 0xFF}},
    {ASIOSTInt32MSB, -1.0f, {0x80, 0x00, 0x00, 0x01}},
    {ASIOSTInt32MSB, 0.5f, {0x3F, 0xFF, 0xFF, 0xFF}},
    {ASIOSTInt32MSB, 0.0f, {0x00, 0x00, 0x00, 0x00}},
    {ASIOSTFloat32MSB, 1.0f, {0x3F, 0x80, 0x00, 0x00}},
    {ASIOSTFloat32MSB, -0.5f, {0xBF, 0x00, 0x00, 0x00}},
    {ASIOSTFloat64MSB, 1.0f, {0x3F, 0xF0, 0, 0, 0, 0, 0, 0}},
    {ASIOSTFloat64MSB, -0.5f, {0xBF, 0xE0, 0, 0, 0, 0, 0, 0}},
    {ASIOSTInt32MSB16, 1.0f, {K, K, 0x7F, 0xFF}},
    {ASIOSTInt32MSB16, -1.0f, {K, K, 0x80, 0x01}},
    {ASIOSTInt32MSB18, 1.0f, {K, 0x01, 0xFF, 0xFF}},
    {ASIOSTInt32MSB18, -1.0f, {K, 0xFE, 0x00, 0x01}},
    {ASIOSTInt32MSB18, 0.5f, {K, 0x00, 0xFF, 0xFF}},
    {ASIOSTInt32MSB20, 1.0f, {K, 0x07, 0xFF, 0xFF}},
    {ASIOSTInt32MSB20, -1.0f, {K, 0xF8, 0x00, 0x01}},
    {ASIOSTInt32MSB24, 1.0f, {K, 0x7F, 0xFF, 0xFF}},
    {ASIOSTInt32MSB24, -1.0f, {K, 0x80, 0x00, 0x01}},
    {ASIOSTInt32MSB24, 0.5f, {K, 0x3F, 0xFF, 0xFF}},
    // Overs are clipped to full scale, NaN is silence.
    {ASIOSTInt32MSB, 1.5f, {0x7F, 0xFF, 0xFF, 0xFF}},
    {ASIOSTInt16MSB, -3.0f, {0x80, 0x01}},
    {ASIOSTInt32MSB, std::numeric_limits<float>::quiet_NaN(), {0, 0, 0, 0}},
};

std::vector<int> reversed(const std::vector<int>& bytes) {
    return std::vector<int>(bytes.rbegin(), bytes.rend());
}

// Writes the value as the second of three samples and checks its bytes and its neighbours'.
void checkWrite(ASIOSampleType type, float value, const std::vector<int>& expected) {
    SCOPED_TRACE(testing::Message() << "type " << type << " value " << value);
    int size = asioSampleBytes(type);
    ASSERT_EQ(size, static_cast<int>(expected.size()));
    std::vector<uint8_t> buffer(3 * size, kFill);
    floatToAsio(&value, 1, type, buffer.data(), 1);
    for (int i = 0; i < size; ++i) {
        EXPECT_EQ(buffer[i], kFill) << "the sample before was touched";
        EXPECT_EQ(buffer[2 * size + i], kFill) << "the sample after was touched";
        int want = expected[i] == K ? kFill : expected[i];
        EXPECT_EQ(buffer[size + i], want) << "byte " << i;
    }
}

TEST(AsioConvert, WritesEveryFormatByteForByte) {
    for (const WriteCase& c : kWrites) {
        checkWrite(c.type, c.value, c.bytes);
        checkWrite(c.type + 16, c.value, reversed(c.bytes));
    }
}

struct ReadCase {
    ASIOSampleType type;
    std::vector<uint8_t> bytes;
    double value;
};

const ReadCase kReads[] = {
    {ASIOSTInt16LSB, {0xFF, 0x7F}, 1.0},
    {ASIOSTInt16LSB, {0x00, 0x80}, -32768.0 / 32767.0},
    {ASIOSTInt16MSB, {0x40, 0x00}, 16384.0 / 32767.0},
    {ASIOSTInt24LSB, {0x00, 0x00, 0x80}, -1.0},
    {ASIOSTInt24MSB, {0x40, 0x00, 0x00}, 0.5},
    {ASIOSTInt32LSB, {0x00, 0x00, 0x00, 0x80}, -1.0},
    {ASIOSTInt32MSB, {0xC0, 0x00, 0x00, 0x00}, -0.5},
    {ASIOSTInt32LSB16, {0x00, 0xC0, 0x12, 0x34}, -16384.0 / 32767.0},  // the upper word is not read
    {ASIOSTInt32MSB16, {0x12, 0x34, 0x40, 0x00}, 16384.0 / 32767.0},
    {ASIOSTInt32LSB18, {0x00, 0x00, 0x02, 0x55}, -1.0},  // bit 17 is the sign
    {ASIOSTInt32LSB18, {0x00, 0x00, 0x01, 0x00}, 0.5},
    {ASIOSTInt32MSB20, {0x00, 0x08, 0x00, 0x00}, -1.0},
    {ASIOSTInt32MSB20, {0x77, 0x04, 0x00, 0x00}, 0.5},
    {ASIOSTInt32LSB24, {0x00, 0x00, 0xC0, 0x7F}, -0.5},
    {ASIOSTInt32MSB24, {0x99, 0x20, 0x00, 0x00}, 0.25},
    {ASIOSTFloat32LSB, {0x00, 0x00, 0x40, 0x3F}, 0.75},
    {ASIOSTFloat32MSB, {0xBF, 0x40, 0x00, 0x00}, -0.75},
    {ASIOSTFloat64LSB, {0, 0, 0, 0, 0, 0, 0xE0, 0x3F}, 0.5},
    {ASIOSTFloat64MSB, {0xBF, 0xD0, 0, 0, 0, 0, 0, 0}, -0.25},
};

TEST(AsioConvert, ReadsEveryFormat) {
    for (const ReadCase& c : kReads) {
        SCOPED_TRACE(testing::Message() << "type " << c.type);
        float out = 99.f;
        asioToFloat(c.bytes.data(), c.type, &out, 1, nullptr, 0);
        EXPECT_EQ(out, static_cast<float>(c.value));
    }
}

TEST(AsioConvert, ReadsIntoBothPartsOfARegionAndRoundTrips) {
    const ASIOSampleType types[] = {0, 1, 2, 3, 4, 8, 9, 10, 11, 16, 17, 18, 19, 20, 24, 25, 26, 27};
    std::vector<float> source(37);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = std::sin(0.37f * i) * 0.99f;
    for (ASIOSampleType type : types) {
        SCOPED_TRACE(testing::Message() << "type " << type);
        int size = asioSampleBytes(type);
        std::vector<uint8_t> buffer(source.size() * size, 0);
        // Two writes: the second part continues where the first ended.
        floatToAsio(source.data(), 0, type, buffer.data(), 20);
        floatToAsio(source.data() + 20, 20, type, buffer.data(), 17);
        std::vector<float> first(20, 9.f), second(17, 9.f);
        asioToFloat(buffer.data(), type, first.data(), 20, second.data(), 17);
        double step = size == 2 || type == ASIOSTInt32MSB16 || type == ASIOSTInt32LSB16 ? 1.0 / 32767
                      : type == ASIOSTInt32MSB18 || type == ASIOSTInt32LSB18 ? 1.0 / 131071
                      : type == ASIOSTInt32MSB20 || type == ASIOSTInt32LSB20 ? 1.0 / 524287
                      : 1.0 / 8388607;
        for (int i = 0; i < 37; ++i) {
            float got = i < 20 ? first[i] : second[i - 20];
            // Truncation, plus the write scale being one step below the read scale.
            EXPECT_NEAR(got, source[i], 2 * step + 1e-7) << "sample " << i;
        }
    }
}

TEST(AsioConvert, LeavesUnknownFormatsAlone) {
    uint8_t buffer[16];
    std::memset(buffer, kFill, sizeof buffer);
    float value = 0.5f, out = 7.f;
    floatToAsio(&value, 0, 5, buffer, 1);
    floatToAsio(&value, 0, 21, buffer, 1);
    asioToFloat(buffer, 12, &out, 1, nullptr, 0);
    EXPECT_EQ(asioSampleBytes(5), 0);
    EXPECT_EQ(out, 7.f);
    for (uint8_t b : buffer)
        EXPECT_EQ(b, kFill);
}

TEST(AsioConvert, SilenceInEveryFormat) {
    const ASIOSampleType types[] = {0, 1, 2, 3, 4, 8, 9, 10, 11, 16, 17, 18, 19, 20, 24, 25, 26, 27};
    for (ASIOSampleType type : types) {
        int size = asioSampleBytes(type);
        std::vector<uint8_t> buffer(4 * size, kFill);
        silenceToAsio(1, type, buffer.data(), 2);
        std::vector<float> back(4);
        asioToFloat(buffer.data() + size, type, back.data(), 2, nullptr, 0);
        EXPECT_EQ(back[0], 0.f) << "type " << type;
        EXPECT_EQ(back[1], 0.f) << "type " << type;
        EXPECT_EQ(buffer[0], kFill);
        EXPECT_EQ(buffer[3 * size], kFill);
    }
}

}  // namespace
