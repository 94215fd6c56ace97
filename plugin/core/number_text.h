// Numbers as text with a point as the decimal separator, whatever the process locale
// (a host may have set one with a comma).
#pragma once

#include <cstddef>

// Formats value with one printf conversion for a double ("%.2f", "%e" ...) into out, at
// most size - 1 characters; answers the length written.
int formatNumber(char* out, size_t size, const char* conversion, double value);

// Reads a number written with a point (as the system writes them) whatever the process
// locale; false when the text does not start with a number.
bool parseNumber(const char* text, double* value);
