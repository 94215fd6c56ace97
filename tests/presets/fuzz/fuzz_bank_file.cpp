// The import of a bank exchange file on arbitrary bytes; a bank that imports is removed
// again so that every input meets the same installation.
#include <filesystem>
#include <memory>

#include "fuzz_support.h"
#include "presets/file_io.h"
#include "presets/preset_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string name = fuzz::writeInput("input.ays", data, size);
    static PresetTree* tree = new PresetTree(&fuzz::settings());
    std::unique_ptr<CCPFileIO> file(createFileIO(&fuzz::settings()));
    if (file->open(name.c_str(), "rb") != 0) return 0;
    int32_t result = tree->importBank(file.get());
    file->close();
    if (result == 0) {
        for (int32_t bank = tree->getNbBanks() - 1; bank > 0; bank--) tree->removeBank(bank);
        if (tree->getNbBanks() != 1) __builtin_trap();
    }
    if (std::filesystem::exists(fuzz::installDir() + "/save/P1")) __builtin_trap();  // nothing half-made stays
    return 0;
}
