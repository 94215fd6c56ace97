// libFuzzer harness for the MIDI control file reader: any bytes are read without harm, what
// is read stays inside the tables, which agree, and the file written from it reads back the
// same.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/control_file.h"
#include "core/preset_keys.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// The parameters that a written file names: the assignable ones with a preset key.
bool isWritten(int index) {
    if (!isMidiAssignableIndex(index)) return false;
    for (int patch = -1; patch < 8; patch++)
        for (bool host : {true, false})
            for (int local = 0; local < 109; local++) {
                int found = -1;
                if (presetKeyOfLocal(local, patch, host, &found) && found == index) return true;
            }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MidiMap map, again;
    static bool written[kMappedIndexCount];
    static bool known = false;
    if (!known) {
        for (int index = 0; index < kMappedIndexCount; index++) written[index] = isWritten(index);
        known = true;
    }
    float tuning[kControlTuningCount], tuningAgain[kControlTuningCount];
    readControlFile((const char*)data, size, map, tuning);
    for (int index = 0; index < kMappedIndexCount; index++) {
        const int controller = map.controllerOf(index);
        check(controller >= -1 && controller < kMidiControllerCount);
    }
    // The two tables agree: a parameter has a controller exactly when that controller lists
    // it, once.
    int listed[kMappedIndexCount] = {};
    for (int controller = 0; controller < kMidiControllerCount; controller++)
        for (int n = 0; n < kParametersPerController; n++) {
            const int index = map.parametersOf(controller)[n];
            check(index >= -1 && index < kMappedIndexCount);
            if (index == -1) continue;
            check(map.controllerOf(index) == controller);
            listed[index]++;
        }
    for (int index = 0; index < kMappedIndexCount; index++)
        check(listed[index] == (map.controllerOf(index) == -1 ? 0 : 1));
    for (float value : tuning) check(std::isfinite(value) && std::fabs(value) <= 1e6f);

    const std::string text = writeControlFile(map, tuning);
    readControlFile(text.data(), text.size(), again, tuningAgain);
    for (int index = 0; index < kMappedIndexCount; index++)
        if (written[index]) check(again.controllerOf(index) == map.controllerOf(index));
    for (int slot = 0; slot < kControlTuningCount; slot++)
        check(std::fabs(tuningAgain[slot] - tuning[slot]) <= 1e-6f + std::fabs(tuning[slot]) * 1e-6f);
    return 0;
}
