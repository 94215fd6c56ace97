// The instrument's preset operations: its own position in the shared preset tree, the
// current preset's text files read into the program record and written back from it, and
// the structure changes and exchange files that the editor asks for.
//
// Two locks meet here. The instance lock guards the record and the engine; the tree's lock
// guards the tree and this object's browser state (indices, counts, names), since the
// tree's listeners run under it. The order is always instance lock, then tree lock. File
// work happens under the tree's lock only: a load reads its files before it takes the
// instance lock, a save writes from a copy of the record, so the audio thread never waits
// on the disk for the user-interface thread.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/halvorn.h"
#include "core/number_text.h"
#include "core/parameter_table.h"
#include "core/preset_file.h"
#include "core/preset_keys.h"
#include "presets/file_io.h"
#include "presets/tree_files.h"

namespace {

using TreeHold = std::unique_lock<std::recursive_mutex>;
using FilePtr = std::unique_ptr<CCPFileIO>;

// The tree chooses a unique name by appending a number; a name cut to this length leaves
// room for four digits within the browser's 31 characters.
const size_t kUniqueBaseLength = kPresetNameSize - 1 - 4;
// createBank, createSubBank and createPreset write the chosen name back into buffers of
// this size.
const size_t kTreeNameBuffer = 128;

// Tree names may be longer than the browser's 31 characters: they are held cut, and a held
// name matches a tree name whose first 31 characters it is.
void copyName(char* out, const std::string& name) {
    copyBoundedText(out, kPresetNameSize, name.c_str(), kPresetNameSize - 1);
}

bool sameName(const std::string& treeName, const char* name) {
    return name && treeName.substr(0, kPresetNameSize - 1) == name;
}

// At or above the count gives 0, below 0 gives count - 1; an empty level gives 0.
int wrapIndex(int index, int count) {
    if (count <= 0 || index >= count) return 0;
    return index < 0 ? count - 1 : index;
}

float fraction(int index, int count) { return count > 0 ? (float)index / (float)count : 0.f; }

int nonNegative(int count) { return count > 0 ? count : 0; }

// "%e" with the three-digit exponent of the Windows C runtime, whichever printf runs.
void formatValue(char* out, size_t size, float value) {
    formatNumber(out, size, "%e", (double)value);
    char* e = std::strchr(out, 'e');
    if (!e || (e[1] != '+' && e[1] != '-')) return;
    char* digits = e + 2;
    size_t count = std::strlen(digits);
    if (count == 2 && (size_t)(digits - out) + 4 < size) {
        std::memmove(digits + 1, digits, 3);
        digits[0] = '0';
    }
}

bool writeText(CCPFileIO* file, const char* text) {
    const int32_t length = (int32_t)std::strlen(text);
    return file->write(text, 1, length) == kFileOk;
}

bool writeKeyValue(CCPFileIO* file, const char* key, float value) {
    char number[48];
    formatValue(number, sizeof(number), value);
    char line[kPresetKeySize + sizeof(number) + 4];
    std::snprintf(line, sizeof(line), "%s %s\n", key, number);
    return writeText(file, line);
}

// Closes a file opened for replacing: put in place when everything was written, else the
// old file stays as it was.
bool finish(CCPFileIO* file, bool written) {
    if (!written) {
        file->discard();
        return false;
    }
    return file->close() == kFileOk;
}

// The value of a key's parameter in a copy of the record.
float keyValue(const ProgramRecord& record, int index, int frequency) {
    return index == kParamFreqEcoutIndex ? (float)frequency : readParameter(record, index);
}

// The patch file of patch p: its 62 host parameters with a key, then its 44 internal ones.
bool writePatchFile(CCPFileIO* file, const ProgramRecord& record, int patch, int frequency) {
    bool written = true;
    for (int pass = 0; pass < 2; pass++) {
        const bool host = pass == 0;
        const int count = host ? kPatchParameterCount : kPatchInternalCount;
        for (int local = 0; local < count && written; local++) {
            int index = -1;
            const char* key = presetKeyOfLocal(local, patch, host, &index);
            if (key) written = writeKeyValue(file, key, keyValue(record, index, frequency));
        }
    }
    return written;
}

// The patch that a part's NUM_PATCH_VOIE value names, within 0-7.
int patchOfValue(float value) { return clampPatchNumber(wholeNumber(value)); }

}  // namespace

// ---- queries -----------------------------------------------------------------------------

int Halvorn::getBankIndex() { return bankIndex; }
int Halvorn::getSubBankIndex() { return subBankIndex; }
int Halvorn::getPresetIndex() { return presetIndex; }
int Halvorn::getCurrentNbPresets() { return presetCount; }

int Halvorn::getNbBanks() { return gPresetTree ? gPresetTree->getNbBanksWithAll() : 0; }

int Halvorn::getNbSubBanks(int bank) { return gPresetTree ? gPresetTree->getNbSubBanks(bank) : 0; }

int Halvorn::getNbPresets(int bank, int subBank) { return gPresetTree ? gPresetTree->getNbPresets(bank, subBank) : 0; }

void Halvorn::getBankName(char* buffer, int bank) {
    if (!buffer) return;
    if (!gPresetTree) return copyName(buffer, "Error");
    TreeHold tree = gPresetTree->hold();
    copyName(buffer, gPresetTree->getBankName(bank < 0 ? bankIndex : bank));
}

void Halvorn::getSubBankName(char* buffer, int subBank, int bank) {
    if (!buffer) return;
    if (!gPresetTree) return copyName(buffer, "Error");
    TreeHold tree = gPresetTree->hold();
    copyName(buffer, gPresetTree->getSubBankName(bank < 0 ? bankIndex : bank, subBank < 0 ? subBankIndex : subBank));
}

void Halvorn::getPresetName(char* buffer, int preset, int bank, int subBank) {
    if (!buffer) return;
    if (!gPresetTree) return copyName(buffer, "Error");
    TreeHold tree = gPresetTree->hold();
    copyName(buffer, gPresetTree->getPresetName(bank < 0 ? bankIndex : bank, subBank < 0 ? subBankIndex : subBank,
                                                preset));
}

bool Halvorn::bankNameExists(const char* name) { return gPresetTree && name && gPresetTree->findBank(name) >= 0; }

bool Halvorn::subBankNameExists(const char* name, int bank) {
    if (!gPresetTree || !name) return false;
    TreeHold tree = gPresetTree->hold();
    const Bank* node = gPresetTree->getBank(bank);
    return node && node->findSubBank(name) >= 0;
}

bool Halvorn::presetNameExists(const char* name, int bank, int subBank) {
    if (!gPresetTree || !name) return false;
    TreeHold tree = gPresetTree->hold();
    const Bank* node = gPresetTree->getBank(bank);
    const SubBank* subBankNode = node ? node->getSubBank(subBank) : nullptr;
    return subBankNode && subBankNode->findPreset(name) >= 0;
}

bool Halvorn::isUserBank(int bank) { return gPresetTree && gPresetTree->isUserBank(bank); }

bool Halvorn::isPatchInUse(int patch) {
    for (int part = 0; part < kPartCount; part++)
        if (partPatch[part] == patch) return true;
    return false;
}

void Halvorn::addPresetTreeListener(PresetTreeListener* listener) {
    if (gPresetTree) gPresetTree->addListener(listener);
}

void Halvorn::removePresetTreeListener(PresetTreeListener* listener) {
    if (gPresetTree) gPresetTree->removeListener(listener);
}

void Halvorn::setPresetLoadSuppressed(int suppressed) { presetLoadSuppressed = suppressed ? 1 : 0; }

// ---- finding the position again ----------------------------------------------------------

// The current index stays when its node already has the name: with two nodes of one name
// (the merged bank holds presets of equal names), the walk from 0 would move to the other
// one, and a save would then overwrite it.
int Halvorn::resolveBankIndex(const char* name) {
    bankCount = gPresetTree->getNbBanksWithAll();
    if (bankIndex >= 0 && bankIndex < bankCount && sameName(gPresetTree->getBankName(bankIndex), name)) return 0;
    for (int a = 0; a < bankCount; a++)
        if (sameName(gPresetTree->getBankName(a), name)) {
            bankIndex = a;
            return 0;
        }
    return 1;
}

int Halvorn::resolveSubBankIndex(const char* name) {
    subBankCount = gPresetTree->getNbSubBanks(bankIndex);
    if (subBankIndex >= 0 && subBankIndex < subBankCount &&
        sameName(gPresetTree->getSubBankName(bankIndex, subBankIndex), name))
        return 0;
    for (int b = 0; b < subBankCount; b++)
        if (sameName(gPresetTree->getSubBankName(bankIndex, b), name)) {
            subBankIndex = b;
            return 0;
        }
    return 1;
}

int Halvorn::resolvePresetIndex(const char* name) {
    presetCount = nonNegative(gPresetTree->getNbPresets(bankIndex, subBankIndex));
    if (presetIndex >= 0 && presetIndex < presetCount &&
        sameName(gPresetTree->getPresetName(bankIndex, subBankIndex, presetIndex), name))
        return 0;
    for (int c = 0; c < presetCount; c++)
        if (sameName(gPresetTree->getPresetName(bankIndex, subBankIndex, c), name)) {
            presetIndex = c;
            return 0;
        }
    return 1;
}

// Nothing is loaded: a position whose name has gone stays, and the next load wraps it.
void Halvorn::presetTreeChanged() {
    if (!gPresetTree) return;
    TreeHold tree = gPresetTree->hold();
    resolveBankIndex(loadedBankName);
    resolveSubBankIndex(loadedSubBankName);
    resolvePresetIndex(loadedPresetName);
}

// The files of the current position: in "All", those of the preset's own bank. False when
// the position holds no preset (an empty level).
bool Halvorn::realPosition(int* bank, int* subBank, int* preset) {
    *bank = bankIndex;
    *subBank = subBankIndex;
    *preset = presetIndex;
    if (bankIndex != gPresetTree->getNbBanks()) return gPresetTree->getNbPresets(bankIndex, subBankIndex) > presetIndex;
    const Bank* all = gPresetTree->getBank(bankIndex);
    const SubBank* merged = all ? all->getSubBank(subBankIndex) : nullptr;
    const Preset* node = merged ? merged->getPreset(presetIndex) : nullptr;
    if (!node) return false;
    *bank = node->realBank;
    *subBank = node->realSubBank;
    *preset = node->realPreset;
    return true;
}

// Whether the browser stands on the preset last loaded or saved.
bool Halvorn::positionIsLoaded() {
    if (!gPresetTree) return true;
    TreeHold tree = gPresetTree->hold();
    return sameName(gPresetTree->getBankName(bankIndex), loadedBankName) &&
           sameName(gPresetTree->getSubBankName(bankIndex, subBankIndex), loadedSubBankName) &&
           sameName(gPresetTree->getPresetName(bankIndex, subBankIndex, presetIndex), loadedPresetName);
}

void Halvorn::storeBrowserFractions(ProgramRecord& record) {
    record.globals.browserBank = fraction(bankIndex, bankCount);
    record.globals.browserSubBank = fraction(subBankIndex, subBankCount);
    record.globals.browserPreset = fraction(presetIndex, presetCount);
}

// ---- loading -----------------------------------------------------------------------------

int Halvorn::loadCurrentPreset() {
    if (!gPresetTree || !programs) return 1;
    PresetFileContents contents;
    bool suppressed;
    {
        // The files are read first, under the tree's lock alone.
        TreeHold tree = gPresetTree->hold();
        suppressed = presetLoadSuppressed != 0;
        bankCount = gPresetTree->getNbBanksWithAll();
        bankIndex = wrapIndex(bankIndex, bankCount);
        subBankCount = gPresetTree->getNbSubBanks(bankIndex);
        subBankIndex = wrapIndex(subBankIndex, subBankCount);
        presetCount = nonNegative(gPresetTree->getNbPresets(bankIndex, subBankIndex));
        presetIndex = wrapIndex(presetIndex, presetCount);
        int a, b, c;
        if (!realPosition(&a, &b, &c)) return 1;
        FilePtr file(gPresetTree->openParamsForRead(a, b, c));
        // Without its parameter file the preset is not loaded: the record and the sound stay
        // as they are, so a later save cannot write defaults over the preset last loaded.
        if (!file) return 1;
        copyName(currentBankName, gPresetTree->getBankName(bankIndex));
        copyName(currentSubBankName, gPresetTree->getSubBankName(bankIndex, subBankIndex));
        copyName(currentPresetName, gPresetTree->getPresetName(bankIndex, subBankIndex, presetIndex));
        std::memcpy(loadedBankName, currentBankName, sizeof(loadedBankName));
        std::memcpy(loadedSubBankName, currentSubBankName, sizeof(loadedSubBankName));
        std::memcpy(loadedPresetName, currentPresetName, sizeof(loadedPresetName));

        if (!suppressed) {
            readPresetFile(
                file.get(), [&](int number) { return gPresetTree->openPatchForRead(a, b, c, number); }, &contents);
            Bank* bankNode = gPresetTree->getBank(a);
            SubBank* subBankNode = bankNode ? bankNode->getSubBank(b) : nullptr;
            Preset* presetNode = subBankNode ? subBankNode->getPreset(c) : nullptr;
            for (const std::string& attribute : contents.attributes)
                if (presetNode) presetNode->addAttribute(attribute.c_str());
        }
        file->close();
    }
    {
        std::lock_guard<std::recursive_mutex> guard(stateLock);
        silenceEngine();
        if (!suppressed) {
            setProgramDefaults();
            usedPatchCount = contents.usedPatches;
            for (int p = 0; p < kPatchCount; p++) patchLoaded[p] = contents.patchLoaded[p];
            for (int part = 0; part < kPartCount; part++) partPatch[part] = -1;
            for (const PresetFileValue& entry : contents.values) setValueByKey(entry.key, entry.value, entry.patch);
        }
        {
            // The record's browser position is the preset that was loaded: applying it below
            // must not move the browser to where an index before its wrap pointed.
            TreeHold tree = gPresetTree->hold();
            storeBrowserFractions(*programs);
        }
        storePresetPath();
        // Applies the record to the engine and rebuilds the patch-to-parts lists.
        setProgram(0);
    }
    updateDisplay();
    return 0;
}

int Halvorn::selectPreset(int preset) {
    {
        std::lock_guard<std::recursive_mutex> guard(stateLock);
        if (!gPresetTree || !programs) return 1;
        TreeHold tree = gPresetTree->hold();
        presetIndex = wrapIndex(preset, presetCount);
        programs[0].globals.browserPreset = fraction(presetIndex, presetCount);
    }
    return loadCurrentPreset();
}

int Halvorn::selectSubBank(int subBank) {
    {
        std::lock_guard<std::recursive_mutex> guard(stateLock);
        if (!gPresetTree || !programs) return 1;
        TreeHold tree = gPresetTree->hold();
        subBankIndex = wrapIndex(subBank, subBankCount);
        presetCount = nonNegative(gPresetTree->getNbPresets(bankIndex, subBankIndex));
        if (presetIndex >= presetCount) presetIndex = 0;
        programs[0].globals.browserSubBank = fraction(subBankIndex, subBankCount);
    }
    return loadCurrentPreset();
}

int Halvorn::selectBank(int bank, int subBank, int preset) {
    {
        std::lock_guard<std::recursive_mutex> guard(stateLock);
        if (!gPresetTree || !programs) return 1;
        TreeHold tree = gPresetTree->hold();
        GlobalSlots& browser = programs[0].globals;
        bankIndex = wrapIndex(bank, bankCount);
        browser.browserBank = fraction(bankIndex, bankCount);
        subBankCount = gPresetTree->getNbSubBanks(bankIndex);
        subBankIndex = wrapIndex(subBank, subBankCount);
        browser.browserSubBank = fraction(subBankIndex, subBankCount);
        presetCount = nonNegative(gPresetTree->getNbPresets(bankIndex, subBankIndex));
        presetIndex = wrapIndex(preset, presetCount);
        browser.browserPreset = fraction(presetIndex, presetCount);
    }
    return loadCurrentPreset();
}

// ---- saving ------------------------------------------------------------------------------

namespace {

// A name for one of the tree's create operations, in its 128-byte buffer: a taken name is
// cut so that the number the tree appends stays within the browser's 31 characters.
void nameForCreate(char* buffer, const char* name, bool taken) {
    copyBoundedText(buffer, kTreeNameBuffer, name, taken ? kUniqueBaseLength : kPresetNameSize - 1);
}

}  // namespace

// The record and the count of starts as they stand, under the instance lock.
int Halvorn::copyRecord(ProgramRecord* snapshot) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    *snapshot = programs[0];
    return paramFreqEcout;
}

int Halvorn::saveCurrentPreset() {
    if (!gPresetTree || !programs) return 1;
    // The files are written from a copy, without holding up the audio thread.
    ProgramRecord snapshot;
    const int frequency = copyRecord(&snapshot);
    TreeHold tree = gPresetTree->hold();
    const bool allMode = bankIndex == gPresetTree->getNbBanks();
    char bankName[kTreeNameBuffer], subBankName[kTreeNameBuffer], presetName[kTreeNameBuffer];
    int a, b, c;
    if (allMode && !realPosition(&a, &b, &c)) return 1;

    // The preset last loaded must still exist, level by level.
    if (resolveBankIndex(loadedBankName) != 0) {
        nameForCreate(bankName, loadedBankName, bankNameExists(loadedBankName));
        nameForCreate(subBankName, loadedSubBankName, false);
        nameForCreate(presetName, loadedPresetName, false);
        if (gPresetTree->createBank(bankName, subBankName, presetName) != kFileOk) return 1;
        copyName(loadedBankName, bankName);
        copyName(loadedSubBankName, subBankName);
        copyName(loadedPresetName, presetName);
        resolveBankIndex(loadedBankName);
        std::memcpy(currentBankName, loadedBankName, sizeof(currentBankName));
        std::memcpy(currentSubBankName, loadedSubBankName, sizeof(currentSubBankName));
        std::memcpy(currentPresetName, loadedPresetName, sizeof(currentPresetName));
    }
    if (resolveSubBankIndex(loadedSubBankName) != 0) {
        const int bank = allMode ? a : bankIndex;
        nameForCreate(subBankName, loadedSubBankName, subBankNameExists(loadedSubBankName, bank));
        nameForCreate(presetName, loadedPresetName, false);
        if (gPresetTree->createSubBank(subBankName, presetName, bank) != kFileOk) return 1;
        copyName(loadedSubBankName, subBankName);
        copyName(loadedPresetName, presetName);
        resolveSubBankIndex(loadedSubBankName);
        std::memcpy(currentSubBankName, loadedSubBankName, sizeof(currentSubBankName));
        std::memcpy(currentPresetName, loadedPresetName, sizeof(currentPresetName));
    }
    if (resolvePresetIndex(loadedPresetName) != 0) {
        const int bank = allMode ? a : bankIndex;
        const int subBank = allMode ? b : subBankIndex;
        nameForCreate(presetName, loadedPresetName, presetNameExists(loadedPresetName, bank, subBank));
        if (gPresetTree->createPreset(presetName, bank, subBank) != kFileOk) return 1;
        copyName(loadedPresetName, presetName);
        resolvePresetIndex(loadedPresetName);
        std::memcpy(currentPresetName, loadedPresetName, sizeof(currentPresetName));
    }
    if (allMode && !realPosition(&a, &b, &c)) return 1;

    // The names the editor set are the preset's names from here on.
    std::memcpy(loadedBankName, currentBankName, sizeof(loadedBankName));
    std::memcpy(loadedSubBankName, currentSubBankName, sizeof(loadedSubBankName));
    std::memcpy(loadedPresetName, currentPresetName, sizeof(loadedPresetName));

    bool leftAllMode = false;
    if (newBankRequest) {
        newBankRequest = 0;
        bankName[0] = subBankName[0] = presetName[0] = 0;
        if (gPresetTree->createBank(bankName, subBankName, presetName) != kFileOk) return 1;
        copyName(loadedBankName, bankName);
        copyName(loadedSubBankName, subBankName);
        copyName(loadedPresetName, presetName);
        resolveBankIndex(loadedBankName);
        resolveSubBankIndex(loadedSubBankName);
        resolvePresetIndex(loadedPresetName);
        leftAllMode = true;
    }
    const bool inAll = allMode && !leftAllMode;
    if (newSubBankRequest) {
        newSubBankRequest = 0;
        subBankName[0] = presetName[0] = 0;
        if (gPresetTree->createSubBank(subBankName, presetName, inAll ? a : bankIndex) != kFileOk) return 1;
        copyName(loadedSubBankName, subBankName);
        copyName(loadedPresetName, presetName);
        resolveSubBankIndex(loadedSubBankName);
        resolvePresetIndex(loadedPresetName);
        if (inAll && !realPosition(&a, &b, &c)) return 1;
    }
    if (newPresetRequest) {
        newPresetRequest = 0;
        presetName[0] = 0;
        if (gPresetTree->createPreset(presetName, inAll ? a : bankIndex, inAll ? b : subBankIndex) != kFileOk)
            return 1;
        copyName(loadedPresetName, presetName);
        resolvePresetIndex(loadedPresetName);
        if (inAll && !realPosition(&a, &b, &c)) return 1;
    }

    // The nodes take the names; each rename sorts and renumbers, so the position is found
    // again after it. A name the tree refuses (empty) leaves the node's own name.
    if (!inAll) {
        gPresetTree->renameBank(loadedBankName, bankIndex);
        if (resolveBankIndex(loadedBankName) != 0) copyName(loadedBankName, gPresetTree->getBankName(bankIndex));
        std::memcpy(currentBankName, loadedBankName, sizeof(currentBankName));
    }
    if (inAll && !realPosition(&a, &b, &c)) return 1;
    gPresetTree->renameSubBank(loadedSubBankName, inAll ? a : bankIndex, inAll ? b : subBankIndex);
    if (resolveSubBankIndex(loadedSubBankName) != 0)
        copyName(loadedSubBankName, gPresetTree->getSubBankName(bankIndex, subBankIndex));
    std::memcpy(currentSubBankName, loadedSubBankName, sizeof(currentSubBankName));
    if (inAll && !realPosition(&a, &b, &c)) return 1;
    gPresetTree->renamePreset(loadedPresetName, inAll ? a : bankIndex, inAll ? b : subBankIndex,
                              inAll ? c : presetIndex);
    if (resolvePresetIndex(loadedPresetName) != 0)
        copyName(loadedPresetName, gPresetTree->getPresetName(bankIndex, subBankIndex, presetIndex));
    std::memcpy(currentPresetName, loadedPresetName, sizeof(currentPresetName));
    if (!realPosition(&a, &b, &c)) return 1;

    // The patch files first, then the parameter file that names them, then the old patch
    // files that no part plays any more: each file is replaced whole, so an interrupted
    // save leaves every file either as it was or as it is now.
    bool usedPatch[kPatchCount] = {false};
    int used = 0;
    for (int part = 0; part < kPartCount; part++) {
        const int patch = patchOfValue(readParameter(snapshot, kInternalGlobalBase + part));
        if (usedPatch[patch]) continue;
        usedPatch[patch] = true;
        used++;
        FilePtr file(gPresetTree->openPatchForWrite(a, b, c, patch + 1));
        if (!file || !finish(file.get(), writePatchFile(file.get(), snapshot, patch, frequency))) return 1;
    }

    FilePtr file(gPresetTree->openParamsForWrite(a, b, c));
    if (!file) return 1;
    char line[3 * kTreeNameBuffer];
    std::snprintf(line, sizeof(line), "Nom du fichier      : %s\n",
                  inAll ? gPresetTree->getBankName(a).c_str() : currentBankName);
    bool written = writeText(file.get(), line);
    std::snprintf(line, sizeof(line), "Nom de la banque    : %s\n", currentSubBankName);
    written = written && writeText(file.get(), line);
    std::snprintf(line, sizeof(line), "Nom de l'instrument : %s\n", currentPresetName);
    written = written && writeText(file.get(), line);
    const Bank* bankNode = gPresetTree->getBank(a);
    const SubBank* subBankNode = bankNode ? bankNode->getSubBank(b) : nullptr;
    const Preset* presetNode = subBankNode ? subBankNode->getPreset(c) : nullptr;
    for (int n = 0; written && presetNode && n < presetNode->getNbAttributes(); n++) {
        const PresetAttribute* attribute = presetNode->getAttribute(n);
        if (!attribute || !attribute->getKey() || !attribute->getValue()) continue;
        std::snprintf(line, sizeof(line), "@ATTR %s=%s\n", attribute->getKey(), attribute->getValue());
        written = writeText(file.get(), line);
    }
    for (int local = 0; written && local < kGlobalParameterCount; local++) {
        int index = -1;
        const char* key = presetKeyOfLocal(local, -1, true, &index);
        if (key) written = writeKeyValue(file.get(), key, keyValue(snapshot, index, frequency));
    }
    for (int local = 0; written && local < kInternalGlobalCount; local++) {
        int index = -1;
        const char* key = presetKeyOfLocal(local, -1, false, &index);
        if (!key) continue;
        if (partOfPatchKey(index) >= 0) {
            std::snprintf(line, sizeof(line), "%s %d\n", key, patchOfValue(readParameter(snapshot, index)));
            written = writeText(file.get(), line);
        } else {
            written = writeKeyValue(file.get(), key, keyValue(snapshot, index, frequency));
        }
    }
    if (!finish(file.get(), written)) return 1;
    file.reset();

    for (int patch = 0; patch < kPatchCount; patch++) {
        if (usedPatch[patch]) continue;
        FilePtr old(gPresetTree->openPatchForRead(a, b, c, patch + 1));
        if (!old) continue;
        old->close();
        tree_files::removeFile(gPresetTree->getSettings(),
                               tree_files::join(tree_files::presetDir(gPresetTree->bankDirPath(a), b, c),
                                                "Patch" + std::to_string(patch + 1)));
    }
    usedPatchCount = used;
    tree.unlock();

    {
        std::lock_guard<std::recursive_mutex> guard(stateLock);
        TreeHold again = gPresetTree->hold();
        storeBrowserFractions(programs[0]);
        storePresetPath();
    }
    gPresetTree->refreshAllBank();
    return 0;
}

int Halvorn::savePatch(int patch) {
    if (!gPresetTree || !programs || patch < 0 || patch >= kPatchCount) return 1;
    ProgramRecord snapshot;
    const int frequency = copyRecord(&snapshot);
    TreeHold tree = gPresetTree->hold();
    int a, b, c;
    if (!realPosition(&a, &b, &c)) return 1;
    FilePtr file(gPresetTree->openPatchForWrite(a, b, c, patch + 1));
    if (!file) return 1;
    return finish(file.get(), writePatchFile(file.get(), snapshot, patch, frequency)) ? 0 : 1;
}

int Halvorn::saveAsNew(int* request, int browserIndex) {
    {
        TreeHold tree = gPresetTree ? gPresetTree->hold() : TreeHold();
        *request = 1;
    }
    const int result = saveCurrentPreset();
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    if (!programs || !gPresetTree) return 1;
    TreeHold tree = gPresetTree->hold();
    // A save that failed before honouring the request leaves no request behind.
    *request = 0;
    GlobalSlots& browser = programs[0].globals;
    if (browserIndex == 0) browser.browserBank = fraction(bankIndex, bankCount);
    if (browserIndex == 1) browser.browserSubBank = fraction(subBankIndex, subBankCount);
    if (browserIndex == 2) browser.browserPreset = fraction(presetIndex, presetCount);
    return result;
}

int Halvorn::saveAsNewPreset() { return saveAsNew(&newPresetRequest, 2); }
int Halvorn::saveAsNewSubBank() { return saveAsNew(&newSubBankRequest, 1); }
int Halvorn::saveAsNewBank() { return saveAsNew(&newBankRequest, 0); }

// ---- structure changes -------------------------------------------------------------------

int Halvorn::deletePreset(int bank, int subBank, int preset) {
    if (!gPresetTree) return 1;
    bool current;
    {
        TreeHold tree = gPresetTree->hold();
        current = bank == bankIndex && subBank == subBankIndex && preset == presetIndex;
        if (gPresetTree->removePreset(bank, subBank, preset) != kFileOk) return 1;
        if (!current) {
            resolvePresetIndex(loadedPresetName);
            return 0;
        }
        presetIndex = 0;
    }
    selectPreset(0);
    return 0;
}

int Halvorn::deleteSubBank(int bank, int subBank) {
    if (!gPresetTree) return 1;
    {
        TreeHold tree = gPresetTree->hold();
        const bool current = bank == bankIndex && subBank == subBankIndex;
        if (gPresetTree->removeSubBank(bank, subBank) != kFileOk) return 1;
        if (!current) {
            resolveSubBankIndex(loadedSubBankName);
            return 0;
        }
        subBankIndex = presetIndex = 0;
    }
    selectSubBank(0);
    selectPreset(0);
    return 0;
}

int Halvorn::deleteBank(int bank) {
    if (!gPresetTree) return 1;
    {
        TreeHold tree = gPresetTree->hold();
        const bool current = bank == bankIndex;
        if (gPresetTree->removeBank(bank) != kFileOk) return 1;
        if (!current) {
            resolveBankIndex(loadedBankName);
            return 0;
        }
        bankIndex = subBankIndex = presetIndex = 0;
        bankCount = gPresetTree->getNbBanksWithAll();
    }
    selectBank(0, 0, 0);
    return 0;
}

int Halvorn::allocatePatch(int part) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    if (part < 0 || part >= kPartCount || usedPatchCount > 7) return -1;
    for (int patch = 0; patch < kPatchCount; patch++) {
        if (isPatchInUse(patch)) continue;
        setPatchDefaults(patch);
        partPatch[part] = patch;
        usedPatchCount++;
        return patch;
    }
    return -1;
}

// ---- exchange files ----------------------------------------------------------------------

int Halvorn::exportBank(CCPFileIO* file) {
    if (!file || !gPresetTree) return 1;
    TreeHold tree = gPresetTree->hold();
    return gPresetTree->exportEntry(file, 0, bankIndex, -1, -1) == kFileOk ? 0 : 1;
}

int Halvorn::exportSubBank(CCPFileIO* file) {
    if (!file || !gPresetTree) return 1;
    TreeHold tree = gPresetTree->hold();
    return gPresetTree->exportEntry(file, 1, bankIndex, subBankIndex, -1) == kFileOk ? 0 : 1;
}

int Halvorn::exportPreset(CCPFileIO* file) {
    if (!file || !gPresetTree) return 1;
    TreeHold tree = gPresetTree->hold();
    return gPresetTree->exportEntry(file, 2, bankIndex, subBankIndex, presetIndex) == kFileOk ? 0 : 1;
}

// The store adds the bank under a name no real bank has, sorts and tells every listener.
// A file it refuses is reported to the user once (the store reports a file that is no bank
// file itself), after the tree is free again.
int Halvorn::importBank(CCPFileIO* file) {
    if (!file || !gPresetTree) return 1;
    TreeHold tree = gPresetTree->hold();
    bool reported = false;
    if (gPresetTree->importBank(file, &reported) == kFileOk) {
        presetTreeChanged();
        return 0;
    }
    tree.unlock();
    if (!reported) MessageDialog().show(1, "Import failed", "Your file seems to be corrupted !", "OK", nullptr);
    return 1;
}
