#include "core/number_text.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int formatNumber(char* out, size_t size, const char* conversion, double value) {
    if (!out || size == 0) return 0;
    if (std::snprintf(out, size, conversion, value) < 0) {
        out[0] = 0;
        return 0;
    }
    // printf writes the locale's separator, which may be longer than one byte.
    const std::lconv* locale = std::localeconv();
    const char* point = locale ? locale->decimal_point : nullptr;
    if (point && point[0] && std::strcmp(point, ".") != 0) {
        if (char* at = std::strstr(out, point)) {
            size_t length = std::strlen(point);
            *at = '.';
            std::memmove(at + 1, at + length, std::strlen(at + length) + 1);
        }
    }
    return (int)std::strlen(out);
}

namespace {

// The powers of ten that a double holds exactly.
const double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
const int kLargestExactPower = 22;
const int kMostExactDigits = 15;  // below 2^53: the digits as a double are exact

// The form the files write ([sign] digits [. digits] [e [sign] digits], the whole text) with
// at most 15 significant digits and a decimal exponent within 22: the digits and the power
// of ten are exact doubles, so one multiplication or division rounds exactly as strtod
// does. False for any other text, which strtod reads.
bool parseShortDecimal(const char* text, double* value) {
    const char* c = text;
    const bool negative = *c == '-';
    if (*c == '-' || *c == '+') c++;
    unsigned long long digits = 0;
    int significant = 0, exponent = 0;
    bool any = false;
    for (bool fraction = false;; c++) {
        if (*c == '.' && !fraction) {
            fraction = true;
            continue;
        }
        if (*c < '0' || *c > '9') break;
        any = true;
        if (fraction) exponent--;
        if (digits == 0 && *c == '0') continue;
        if (++significant > kMostExactDigits) return false;
        digits = digits * 10 + (unsigned long long)(*c - '0');
    }
    if (!any) return false;
    if (*c == 'e' || *c == 'E') {
        c++;
        const bool below = *c == '-';
        if (*c == '-' || *c == '+') c++;
        if (*c < '0' || *c > '9') return false;
        int power = 0;
        for (; *c >= '0' && *c <= '9'; c++)
            if (power < 1000) power = power * 10 + (*c - '0');
        exponent += below ? -power : power;
    }
    if (*c) return false;
    double result = 0.0;
    if (digits != 0) {
        if (exponent < -kLargestExactPower || exponent > kLargestExactPower) return false;
        result = exponent < 0 ? (double)digits / kExactPowersOfTen[-exponent]
                              : (double)digits * kExactPowersOfTen[exponent];
    }
    *value = negative ? -result : result;
    return true;
}

}  // namespace

bool parseNumber(const char* text, double* value) {
    if (!text || !value) return false;
    // A preset load reads about two thousand numbers: most take the short way.
    if (parseShortDecimal(text, value)) return true;
    char buffer[64];
    const std::lconv* locale = std::localeconv();
    const char* point = locale && locale->decimal_point && locale->decimal_point[0] ? locale->decimal_point : ".";
    // strtod reads the locale's separator: the point is replaced by it first.
    size_t used = 0;
    for (const char* c = text; *c && used + std::strlen(point) < sizeof(buffer) - 1; c++) {
        if (*c == '.') {
            std::memcpy(buffer + used, point, std::strlen(point));
            used += std::strlen(point);
        } else {
            buffer[used++] = *c;
        }
    }
    buffer[used] = 0;
    char* end = nullptr;
    double result = std::strtod(buffer, &end);
    if (end == buffer) return false;
    *value = result;
    return true;
}
