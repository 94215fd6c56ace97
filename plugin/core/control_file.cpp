#include "core/control_file.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/number_text.h"
#include "core/parameter_table.h"
#include "core/preset_keys.h"

const int kControlTuningIndices[kControlTuningCount] = {2097, 2098, 2099, 2100, 2101, 2102,
                                                        2103, 2104, 2105, 2107, 2108};

namespace {

// Words are kept in 32 bytes, as the system writes them: the longest is 31 characters.
const size_t kWordSize = 32;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isWordCharacter(char c) { return (unsigned char)c > 0x20 && (unsigned char)c < 0x7F; }

// One line cut into a word and a number; false when it does not have exactly these two.
bool splitLine(const char* line, size_t length, char* word, char* number) {
    size_t at = 0;
    char* fields[2] = {word, number};
    for (char* field : fields) {
        while (at < length && isBlank(line[at])) at++;
        size_t used = 0;
        while (at < length && !isBlank(line[at])) {
            if (!isWordCharacter(line[at]) || used + 1 >= kWordSize) return false;
            field[used++] = line[at++];
        }
        field[used] = 0;
        if (used == 0) return false;
    }
    while (at < length && isBlank(line[at])) at++;
    return at == length;
}

bool readWholeNumber(const char* text, int* value) {
    const char* c = text;
    bool negative = *c == '-';
    if (*c == '-' || *c == '+') c++;
    if (!*c) return false;
    long long result = 0;
    for (; *c; c++) {
        if (*c < '0' || *c > '9') return false;
        result = result * 10 + (*c - '0');
        if (result > 1000000) return false;  // far beyond any controller: not one
    }
    *value = (int)(negative ? -result : result);
    return true;
}

// A decimal number with an optional point and exponent, read whatever the process locale.
bool readDecimal(const char* text, float* value) {
    const char* c = text;
    if (*c == '-' || *c == '+') c++;
    int digits = 0;
    while (*c >= '0' && *c <= '9') c++, digits++;
    if (*c == '.') {
        c++;
        while (*c >= '0' && *c <= '9') c++, digits++;
    }
    if (digits == 0) return false;
    if (*c == 'e' || *c == 'E') {
        c++;
        if (*c == '-' || *c == '+') c++;
        if (*c < '0' || *c > '9') return false;
        while (*c >= '0' && *c <= '9') c++;
    }
    double number;
    if (*c || !parseNumber(text, &number) || !std::isfinite(number)) return false;
    *value = saneParameterValue((float)number);
    return true;
}

const char* tuningKey(int slot) {
    const ParameterDescriptor* descriptor = findParameter(kControlTuningIndices[slot]);
    return descriptor ? descriptor->key : nullptr;
}

void readTuningLine(const char* key, const char* number, float tuning[kControlTuningCount]) {
    float value;
    if (!readDecimal(number, &value)) return;
    for (int slot = 0; slot < kControlTuningCount; slot++) {
        const char* known = tuningKey(slot);
        if (known && std::strcmp(known, key) == 0) tuning[slot] = value;
    }
}

void readAssignmentLine(const char* word, const char* number, MidiMap& map) {
    int patch = 0;
    if (std::strncmp(word, "AUTO", 4) == 0) {
        if (word[4] != '_') return;
        word += 5;
    }
    if (std::strncmp(word, "VOIX", 4) == 0) {
        if (word[4] != '_' || word[5] < '0' || word[5] > '7' || word[6] != '_') return;
        patch = word[5] - '0';
        word += 7;
    }
    const int index = presetKeyIndex(word, patch);
    // The patch-to-part keys carry no controller.
    if (index < 0 || partOfPatchKey(index) >= 0) return;
    int controller;
    if (!readWholeNumber(number, &controller)) return;
    // -1 (and anything else outside 0-127) leaves the parameter without a controller.
    if (controller < 0 || controller >= kMidiControllerCount) return;
    // A parameter named again moves to the later line's controller.
    map.assign(index, controller);
}

void appendLine(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendLine(std::string& out, const char* format, ...) {
    char line[96];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    if (length > 0) out.append(line, (size_t)length < sizeof(line) ? (size_t)length : sizeof(line) - 1);
}

}  // namespace

void readControlFile(const char* text, size_t size, MidiMap& map, float tuning[kControlTuningCount]) {
    map.clear();
    for (int slot = 0; slot < kControlTuningCount; slot++) tuning[slot] = 0.f;
    if (!text) return;
    size_t start = 0;
    while (start < size) {
        const char* newline = (const char*)std::memchr(text + start, '\n', size - start);
        const size_t end = newline ? (size_t)(newline - text) : size;
        char word[kWordSize], number[kWordSize];
        if (splitLine(text + start, end - start, word, number)) {
            if (std::strncmp(word, "TUNE", 4) == 0) {
                if (word[4] == '_') readTuningLine(word + 5, number, tuning);
            } else {
                readAssignmentLine(word, number, map);
            }
        }
        start = end + 1;
    }
}

std::string writeControlFile(const MidiMap& map, const float tuning[kControlTuningCount]) {
    std::string out;
    out.reserve(24 * 1024);
    int index;
    for (int patch = 0; patch < 8; patch++)
        for (int local = 0; local < kPatchParameterCount; local++)
            if (const char* key = presetKeyOfLocal(local, patch, true, &index))
                appendLine(out, "AUTO_VOIX_%d_%s %d\n", patch, key, map.controllerOf(index));
    for (int local = 0; local < kGlobalParameterCount; local++) {
        const char* key = presetKeyOfLocal(local, -1, true, &index);
        if (key && isMidiAssignableIndex(index)) appendLine(out, "AUTO_%s %d\n", key, map.controllerOf(index));
    }
    for (int patch = 0; patch < 8; patch++)
        for (int local = 0; local < kPatchInternalCount; local++) {
            const char* key = presetKeyOfLocal(local, patch, false, &index);
            if (key && isMidiAssignableIndex(index))
                appendLine(out, "VOIX_%d_%s %d\n", patch, key, map.controllerOf(index));
        }
    for (int local = 0; local < kInternalGlobalCount; local++) {
        const char* key = presetKeyOfLocal(local, -1, false, &index);
        if (key && isMidiAssignableIndex(index)) appendLine(out, "%s %d\n", key, map.controllerOf(index));
        for (int slot = 0; slot < kControlTuningCount; slot++) {
            if (kControlTuningIndices[slot] != index || !tuningKey(slot)) continue;
            char number[48];
            formatNumber(number, sizeof(number), "%f", tuning[slot]);
            appendLine(out, "TUNE_%s %s\n", tuningKey(slot), number);
        }
    }
    return out;
}
