#include "core/number_text.h"

#include <clocale>
#include <cstdio>
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
