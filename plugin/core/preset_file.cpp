#include "core/preset_file.h"

#include <cstring>
#include <memory>

#include "core/parameter_table.h"
#include "presets/file_io.h"

namespace {

// A file that lists more pairs than this is not one of ours: the rest is ignored.
const size_t kMaxPresetValues = 8192;

// The longest "key=value" word of an attribute, as a preset holds it.
const size_t kMaxAttributeLength = 255;

}  // namespace

void readPresetFile(CCPFileIO* file, const std::function<CCPFileIO*(int)>& openPatch, PresetFileContents* contents) {
    if (!file || !contents) return;
    std::vector<PresetFileValue>& values = contents->values;
    bool header = true;
    char word[kPresetKeySize];
    while (values.size() < kMaxPresetValues && file->readWord(word, sizeof(word)) == kFileOk) {
        if (header) {
            if (std::strcmp(word, "Nom") == 0 || word[0] == '#') {
                char line[100];
                file->readLine(99, line);
                continue;
            }
            if (std::strcmp(word, "@ATTR") == 0) {
                // Attributes are kept whole up to the 255 characters an import writes; one
                // more character shows a longer word, which the preset refuses rather
                // than keep it cut.
                char attribute[kMaxAttributeLength + 2];
                if (file->readWord(attribute, sizeof(attribute)) == kFileOk) contents->attributes.push_back(attribute);
                continue;
            }
            header = false;
        }
        PresetFileValue entry;
        std::memcpy(entry.key, word, sizeof(word));
        entry.patch = -1;
        if (file->readFloat(&entry.value) != kFileOk) break;
        values.push_back(entry);
        if (partOfPatchKey(presetKeyIndex(word, 0)) < 0) continue;
        // A patch number beyond 0-7 in a file names the nearest patch.
        const int patch = clampPatchNumber(wholeNumber(entry.value));
        if (contents->patchLoaded[patch]) continue;
        contents->patchLoaded[patch] = 1;
        contents->usedPatches++;
        std::unique_ptr<CCPFileIO> patchFile(openPatch ? openPatch(patch + 1) : nullptr);
        if (!patchFile) continue;  // a missing patch file leaves the patch at its defaults
        PresetFileValue patchEntry;
        patchEntry.patch = patch;
        while (values.size() < kMaxPresetValues &&
               patchFile->readWord(patchEntry.key, sizeof(patchEntry.key)) == kFileOk &&
               patchFile->readFloat(&patchEntry.value) == kFileOk)
            values.push_back(patchEntry);
        patchFile->close();
    }
}
