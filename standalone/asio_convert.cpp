#include "asio_convert.h"

#include <cstdint>
#include <cstring>

namespace {

struct Layout {
    int bytes;        // storage per sample
    int significant;  // significant bits of an integer sample; 0 for floats
    int offset;       // first significant byte in the sample's storage
    bool bigEndian;
    bool isFloat;
    double scale;     // float to integer
    double readScale; // integer (at the top of 32 bits) to float
};

const double kTop = 1.0 / 2147483648.0;
const double kShort = 1.0 / 32767.0;  // the 16-bit formats read back by the same factor they write

bool layoutOf(ASIOSampleType type, Layout& l) {
    switch (type) {
    case ASIOSTInt16MSB: l = {2, 16, 0, true, false, 32767.0, kShort}; return true;
    case ASIOSTInt24MSB: l = {3, 24, 0, true, false, 8388607.0, kTop}; return true;
    case ASIOSTInt32MSB: l = {4, 32, 0, true, false, 2147483647.0, kTop}; return true;
    case ASIOSTFloat32MSB: l = {4, 0, 0, true, true, 0, 0}; return true;
    case ASIOSTFloat64MSB: l = {8, 0, 0, true, true, 0, 0}; return true;
    case ASIOSTInt32MSB16: l = {4, 16, 2, true, false, 32767.0, kShort}; return true;
    case ASIOSTInt32MSB18: l = {4, 18, 1, true, false, 131071.0, kTop}; return true;
    case ASIOSTInt32MSB20: l = {4, 20, 1, true, false, 524287.0, kTop}; return true;
    case ASIOSTInt32MSB24: l = {4, 24, 1, true, false, 8388607.0, kTop}; return true;
    case ASIOSTInt16LSB: l = {2, 16, 0, false, false, 32767.0, kShort}; return true;
    case ASIOSTInt24LSB: l = {3, 24, 0, false, false, 8388607.0, kTop}; return true;
    case ASIOSTInt32LSB: l = {4, 32, 0, false, false, 2147483647.0, kTop}; return true;
    case ASIOSTFloat32LSB: l = {4, 0, 0, false, true, 0, 0}; return true;
    case ASIOSTFloat64LSB: l = {8, 0, 0, false, true, 0, 0}; return true;
    case ASIOSTInt32LSB16: l = {4, 16, 0, false, false, 32767.0, kShort}; return true;
    case ASIOSTInt32LSB18: l = {4, 18, 0, false, false, 131071.0, kTop}; return true;
    case ASIOSTInt32LSB20: l = {4, 20, 0, false, false, 524287.0, kTop}; return true;
    case ASIOSTInt32LSB24: l = {4, 24, 0, false, false, 8388607.0, kTop}; return true;
    default: return false;
    }
}

// The bytes that hold the significant bits: 2 for 16 bits, 3 for 18 to 24, 4 for 32.
int storedBytes(const Layout& l) {
    return l.significant <= 16 ? 2 : l.significant <= 24 ? 3 : 4;
}

// Bytes of a value, most significant first, stored in the layout's order.
void putBytes(uint8_t* at, uint64_t value, int count, bool bigEndian) {
    for (int i = 0; i < count; ++i) {
        uint8_t b = static_cast<uint8_t>(value >> (8 * i));
        at[bigEndian ? count - 1 - i : i] = b;
    }
}

uint64_t getBytes(const uint8_t* at, int count, bool bigEndian) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= static_cast<uint64_t>(at[bigEndian ? count - 1 - i : i]) << (8 * i);
    return value;
}

// Full scale in double: 1.0 x 2147483647 stays 0x7FFFFFFF where a float product would round
// up to 2^31 and wrap to the negative full scale. NaN gives silence, overs are clipped.
int32_t toInteger(float sample, double scale) {
    double x = sample;
    if (!(x == x))
        return 0;
    if (x > 1.0)
        x = 1.0;
    if (x < -1.0)
        x = -1.0;
    return static_cast<int32_t>(x * scale);
}

float readSample(const uint8_t* at, const Layout& l) {
    if (l.isFloat) {
        uint64_t bits = getBytes(at, l.bytes, l.bigEndian);
        if (l.bytes == 4) {
            uint32_t b32 = static_cast<uint32_t>(bits);
            float f;
            std::memcpy(&f, &b32, 4);
            return f;
        }
        double d;
        std::memcpy(&d, &bits, 8);
        return static_cast<float>(d);
    }
    int count = storedBytes(l);
    uint32_t raw = static_cast<uint32_t>(getBytes(at + l.offset, count, l.bigEndian));
    // The significant bits to the top of 32 bits; the sign comes with them.
    int32_t top = static_cast<int32_t>(raw << (32 - l.significant));
    if (l.significant == 16)
        return static_cast<float>((top >> 16) * l.readScale);
    return static_cast<float>(top * l.readScale);
}

void writeSample(uint8_t* at, float sample, const Layout& l) {
    if (l.isFloat) {
        if (l.bytes == 4) {
            uint32_t b32;
            std::memcpy(&b32, &sample, 4);
            putBytes(at, b32, 4, l.bigEndian);
        } else {
            double d = sample;
            uint64_t b64;
            std::memcpy(&b64, &d, 8);
            putBytes(at, b64, 8, l.bigEndian);
        }
        return;
    }
    uint32_t value = static_cast<uint32_t>(toInteger(sample, l.scale));
    putBytes(at + l.offset, value, storedBytes(l), l.bigEndian);
}

}  // namespace

int asioSampleBytes(ASIOSampleType type) {
    Layout l;
    return layoutOf(type, l) ? l.bytes : 0;
}

void asioToFloat(const void* driverBuffer, ASIOSampleType type, float* first, int firstCount, float* second,
                 int secondCount) {
    Layout l;
    if (!driverBuffer || !layoutOf(type, l))
        return;
    const uint8_t* in = static_cast<const uint8_t*>(driverBuffer);
    for (int i = 0; first && i < firstCount; ++i, in += l.bytes)
        first[i] = readSample(in, l);
    for (int i = 0; second && i < secondCount; ++i, in += l.bytes)
        second[i] = readSample(in, l);
}

void floatToAsio(const float* source, int frameOffset, ASIOSampleType type, void* driverBuffer, int count) {
    Layout l;
    if (!source || !driverBuffer || !layoutOf(type, l))
        return;
    uint8_t* out = static_cast<uint8_t*>(driverBuffer) + static_cast<size_t>(frameOffset) * l.bytes;
    for (int i = 0; i < count; ++i, out += l.bytes)
        writeSample(out, source[i], l);
}

void silenceToAsio(int frameOffset, ASIOSampleType type, void* driverBuffer, int count) {
    Layout l;
    if (!driverBuffer || !layoutOf(type, l))
        return;
    uint8_t* out = static_cast<uint8_t*>(driverBuffer) + static_cast<size_t>(frameOffset) * l.bytes;
    for (int i = 0; i < count; ++i, out += l.bytes)
        writeSample(out, 0.f, l);
}
