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

bool parseNumber(const char* text, double* value) {
    if (!text || !value) return false;
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
