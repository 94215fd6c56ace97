#include "core/program_record.h"

#include <cstring>

void copyBoundedText(char* out, size_t size, const char* text, size_t maxIn) {
    if (!out || size == 0) return;
    size_t length = 0;
    if (text)
        while (length < maxIn && length + 1 < size && text[length]) length++;
    if (length) std::memcpy(out, text, length);
    out[length] = 0;
}

void joinPresetPath(ProgramRecord& record, const char* bank, const char* subBank, const char* preset) {
    char* path = record.presetPath;
    size_t used = 0;
    const char* names[3] = {bank, subBank, preset};
    for (int n = 0; n < 3; n++) {
        if (n > 0) path[used++] = '/';
        copyBoundedText(path + used, kPresetNameSize, names[n], kPresetNameSize - 1);
        used += std::strlen(path + used);
    }
}

void splitPresetPath(const ProgramRecord& record, char bank[kPresetNameSize], char subBank[kPresetNameSize],
                     char preset[kPresetNameSize]) {
    char* names[3] = {bank, subBank, preset};
    for (char* name : names) name[0] = 0;
    const char* path = record.presetPath;
    // A foreign chunk may leave the path unterminated: its 98 bytes are the limit.
    size_t end = 0;
    while (end < (size_t)kPresetPathSize && path[end]) end++;
    size_t start = 0;
    for (int n = 0; n < 3 && start <= end; n++) {
        size_t stop = start;
        if (n < 2)
            while (stop < end && path[stop] != '/') stop++;
        else
            stop = end;
        // A name longer than its field is cut.
        copyBoundedText(names[n], kPresetNameSize, path + start, stop - start);
        start = stop + 1;
    }
}

void setProgramNameText(ProgramRecord& record, const char* name) {
    copyBoundedText(record.programName, kProgramNameSize, name, kProgramNameSize - 1);
}

void getProgramNameText(const ProgramRecord& record, char* out, size_t outSize) {
    copyBoundedText(out, outSize, record.programName, kProgramNameSize);
}
