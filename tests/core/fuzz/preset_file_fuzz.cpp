// The preset load's reader on arbitrary bytes: the input is the parameter file, and every
// patch file it names reads the same bytes again.
#include <cstring>
#include <memory>

#include "core/preset_file.h"
#include "presets/file_io.h"
#include "presets/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name = fuzz::writeInput("Parametres", data, size);
    std::unique_ptr<CCPFileIO> file(createFileIO(&fuzz::settings()));
    if (file->open(name.c_str(), "rt") != 0) return 0;
    PresetFileContents contents;
    readPresetFile(
        file.get(),
        [&](int number) -> CCPFileIO* {
            if (number < 1 || number > 8) __builtin_trap();
            std::unique_ptr<CCPFileIO> patch(createFileIO(&fuzz::settings()));
            return patch->open(name.c_str(), "rb") == 0 ? patch.release() : nullptr;
        },
        &contents);
    file->close();
    if (contents.usedPatches > 8 || contents.values.size() > 8192) __builtin_trap();
    for (const std::string& attribute : contents.attributes)
        if (attribute.size() > 256) __builtin_trap();
    for (const PresetFileValue& value : contents.values)
        if (value.patch < -1 || value.patch > 7 || !std::memchr(value.key, 0, sizeof(value.key))) __builtin_trap();
    return 0;
}
