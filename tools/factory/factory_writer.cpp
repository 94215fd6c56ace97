#include "factory/factory_writer.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "core/control_file.h"
#include "core/midi_map.h"
#include "core/number_text.h"
#include "core/parameter_table.h"
#include "core/preset_keys.h"
#include "factory/factory_content.h"
#include "presets/file_io.h"
#include "presets/install_settings.h"
#include "presets/preset_tree.h"
#include "presets/tree_files.h"

namespace {

// "%e" as the Windows C runtime writes it: at least three exponent digits.
std::string fileNumber(float value) {
    char text[64];
    formatNumber(text, sizeof(text), "%e", value);
    std::string out = text;
    size_t e = out.find('e');
    if (e != std::string::npos && e + 1 < out.size()) {
        size_t digits = e + 2;  // after the sign
        if (out.size() - digits < 3) out.insert(digits, 3 - (out.size() - digits), '0');
    }
    return out;
}

void appendValueLine(std::string& out, const char* key, float value) {
    out += key;
    out += ' ';
    out += fileNumber(value);
    out += '\n';
}

std::string patchFileText(const ProgramRecord& record, int patch) {
    std::string out;
    int index;
    for (int local = 0; local < kPatchParameterCount; local++)
        if (const char* key = presetKeyOfLocal(local, patch, true, &index))
            appendValueLine(out, key, readParameter(record, index));
    for (int local = 0; local < kPatchInternalCount; local++)
        if (const char* key = presetKeyOfLocal(local, patch, false, &index))
            appendValueLine(out, key, readParameter(record, index));
    return out;
}

int32_t writeWhole(CCPFileIO* file, const std::string& text) {
    if (!file) return kFileNotOpened;
    int32_t result = text.empty() ? kFileOk : file->write(text.data(), 1, (int32_t)text.size());
    if (result != kFileOk) {
        file->discard();
        delete file;
        return kFileWriteFailed;
    }
    result = file->close();
    delete file;
    return result;
}

int32_t fail(std::string* failure, const std::string& what, int32_t code) {
    if (failure) *failure = what + " (" + std::to_string(code) + ")";
    return code != kFileOk ? code : kFileWriteFailed;
}

// Creates the preset's node (with its bank or sub-bank when they are new) under its own
// name; a unique name in its place would mean two presets of one name.
int32_t createNode(PresetTree& tree, const FactoryPreset& preset, std::string* failure) {
    char bankName[128], subBankName[128], presetName[128];
    std::snprintf(bankName, sizeof(bankName), "%s", kFactoryBankName);
    std::snprintf(subBankName, sizeof(subBankName), "%s", preset.subBank);
    std::snprintf(presetName, sizeof(presetName), "%s", preset.name);
    int32_t result;
    int32_t bank = tree.findBank(kFactoryBankName);
    if (bank < 0) {
        result = tree.createBank(bankName, subBankName, presetName);
        bank = tree.findBank(kFactoryBankName);
        if (result == kFileOk && bank >= 0) {
            tree.getBank(bank)->setUser(false);
            result = tree.writeBankNameFile(kFactoryBankName, bank);
        }
    } else if (tree.getBank(bank)->findSubBank(preset.subBank) < 0) {
        result = tree.createSubBank(subBankName, presetName, bank);
    } else {
        result = tree.createPreset(presetName, bank, tree.getBank(bank)->findSubBank(preset.subBank));
    }
    if (result != kFileOk) return fail(failure, std::string("creating ") + preset.name, result);
    if (std::strcmp(bankName, kFactoryBankName) != 0 || std::strcmp(subBankName, preset.subBank) != 0 ||
        std::strcmp(presetName, preset.name) != 0)
        return fail(failure, std::string("a name taken twice: ") + preset.name, kFileWriteFailed);
    return kFileOk;
}

int32_t writePresetFiles(PresetTree& tree, const FactoryPreset& preset, std::string* failure) {
    const int32_t bank = tree.findBank(kFactoryBankName);
    const int32_t subBank = tree.getBank(bank)->findSubBank(preset.subBank);
    const int32_t position = tree.getBank(bank)->getSubBank(subBank)->findPreset(preset.name);
    const PresetFileTexts texts =
        presetFileTexts(factoryProgram(preset), kFactoryBankName, preset.subBank, preset.name);
    int32_t result = writeWhole(tree.openParamsForWrite(bank, subBank, position), texts.parameters);
    if (result != kFileOk) return fail(failure, std::string("the parameter file of ") + preset.name, result);
    for (const auto& patch : texts.patches) {
        result = writeWhole(tree.openPatchForWrite(bank, subBank, position, patch.first), patch.second);
        if (result != kFileOk) return fail(failure, std::string("a patch file of ") + preset.name, result);
    }
    return kFileOk;
}

}  // namespace

PresetFileTexts presetFileTexts(const ProgramRecord& record, const char* bank, const char* subBank,
                                const char* preset) {
    PresetFileTexts files;
    std::string& out = files.parameters;
    out += std::string("Nom du fichier      : ") + bank + "\n";
    out += std::string("Nom de la banque    : ") + subBank + "\n";
    out += std::string("Nom de l'instrument : ") + preset + "\n";
    int index;
    for (int local = 0; local < kGlobalParameterCount; local++)
        if (const char* key = presetKeyOfLocal(local, -1, true, &index))
            appendValueLine(out, key, readParameter(record, index));
    bool written[kPatchCount] = {false};
    for (int local = 0; local < kInternalGlobalCount; local++) {
        const char* key = presetKeyOfLocal(local, -1, false, &index);
        if (!key) continue;
        if (partOfPatchKey(index) < 0) {
            appendValueLine(out, key, readParameter(record, index));
            continue;
        }
        const int patch = clampPatchNumber(wholeNumber(readParameter(record, index)));
        out += std::string(key) + " " + std::to_string(patch) + "\n";
        if (written[patch]) continue;
        written[patch] = true;
        files.patches.push_back({patch + 1, patchFileText(record, patch)});
    }
    return files;
}

int32_t writeFactoryInstallation(InstallSettings* settings, std::string* failure) {
    int32_t result = tree_files::makeDir(settings, ".", settings->getSaveDir());
    if (result != kFileOk) return fail(failure, "the save directory", result);

    {
        PresetTree tree(settings);
        if (tree.getNbBanks() != 0) return fail(failure, "the installation already holds banks", kFileWriteFailed);
        MidiMap noAssignments;
        float tuning[kControlTuningCount];
        factoryTuning(tuning);
        result = tree_files::writeText(settings, settings->getControlMidiPath(),
                                       writeControlFile(noAssignments, tuning), false, "wb");
        if (result != kFileOk) return fail(failure, "the MIDI control file", result);
        for (const FactoryPreset& preset : factoryPresets()) {
            result = createNode(tree, preset, failure);
            if (result != kFileOk) return result;
        }
        for (const FactoryPreset& preset : factoryPresets()) {
            result = writePresetFiles(tree, preset, failure);
            if (result != kFileOk) return result;
        }
    }
    // The tree writes its cache when it goes; an installation starts without one.
    tree_files::removeFile(settings, settings->getCacheFileName());
    return kFileOk;
}
