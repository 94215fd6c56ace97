#include "presets/factory_reader.h"

#include <cstring>
#include <memory>

#include "core/builtin_sounds.h"
#include "core/parameter_table.h"
#include "core/preset_keys.h"
#include "presets/file_io.h"
#include "presets/preset_tree.h"

namespace {

void readPatchFile(PresetTree& tree, int32_t bank, int32_t subBank, int32_t preset, int patch,
                   ProgramRecord* record) {
    std::unique_ptr<CCPFileIO> file(tree.openPatchForRead(bank, subBank, preset, patch + 1));
    if (!file) return;
    char key[kPresetKeySize];
    float value;
    while (file->readWord(key, sizeof(key)) == kFileOk && file->readFloat(&value) == kFileOk) {
        const int index = presetKeyStoreIndex(key, patch);
        if (index >= 0) writeParameter(*record, index, value);
    }
    file->close();
}

}  // namespace

int32_t readInstalledPreset(PresetTree& tree, int32_t bank, int32_t subBank, int32_t preset, ProgramRecord* record) {
    std::memset(record, 0, sizeof(*record));
    writeProgramDefaults(*record);
    std::unique_ptr<CCPFileIO> file(tree.openParamsForRead(bank, subBank, preset));
    if (!file) return kFileNotOpened;
    bool patchRead[kPatchCount] = {false};
    bool header = true;
    char word[kPresetKeySize];
    while (file->readWord(word, sizeof(word)) == kFileOk) {
        if (header && (std::strcmp(word, "Nom") == 0 || word[0] == '#')) {
            char rest[100];
            file->readLine(sizeof(rest), rest);
            continue;
        }
        if (header && std::strcmp(word, "@ATTR") == 0) {
            file->readWord(word, sizeof(word));
            continue;
        }
        header = false;
        float value;
        if (file->readFloat(&value) != kFileOk) break;
        const int index = presetKeyStoreIndex(word, -1);
        if (index >= 0) writeParameter(*record, index, value);
        if (partOfPatchKey(index) < 0) continue;
        const int patch = clampPatchNumber(wholeNumber(value));
        if (patchRead[patch]) continue;
        patchRead[patch] = true;
        readPatchFile(tree, bank, subBank, preset, patch, record);
    }
    file->close();
    return kFileOk;
}
