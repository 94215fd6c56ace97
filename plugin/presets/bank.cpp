#include "presets/bank.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "presets/file_io.h"
#include "presets/install_settings.h"
#include "presets/tree_files.h"

using namespace tree_files;

namespace {

using FilePtr = std::unique_ptr<CCPFileIO>;

int32_t setLimited(std::string* target, const char* text) {
    if (!text || std::strlen(text) > kMaxNameLength) return kFileNotOpened;
    *target = text;
    return kFileOk;
}

template <typename Node>
bool byName(const Node* a, const Node* b) {
    return std::strcmp(a->getName(), b->getName()) < 0;
}

template <typename Node>
void stableSortByName(std::vector<Node*>* nodes) {
    std::stable_sort(nodes->begin(), nodes->end(), byName<Node>);
}

// A word that the text files can carry: no blank, control character or zero byte.
bool isWord(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if ((unsigned char)c <= 0x20 || (unsigned char)c == 0x7F) return false;
    return true;
}

// A patch file that an import may create: "Patch" and the patch number 1-8.
bool isImportablePatchName(const std::string& name) {
    return name.size() == 6 && name.compare(0, 5, "Patch") == 0 && name[5] >= '1' && name[5] <= '8';
}

// The name under which a listed file of a preset directory is exported: a patch file the
// load opens ("Patch" and 1-8, the letters in any case, as the file system takes them)
// under the name an import accepts; empty for any other file ("Patch2.old", "Patch9").
std::string exportedPatchName(const std::string& fileName) {
    if (fileName.size() != 6 || !isPatchFileName(fileName)) return std::string();
    std::string name = "Patch" + fileName.substr(5);
    return isImportablePatchName(name) ? name : std::string();
}

}  // namespace

// ---- names and lists --------------------------------------------------------------

int32_t PresetParam::setName(const char* text) { return setLimited(&name, text); }
int32_t PresetParam::setValue(const char* text) { return setLimited(&value, text); }

int32_t PresetAttribute::setKey(const char* text) {
    if (!text) return kFileNotOpened;
    key = text;
    hasKey = true;
    return kFileOk;
}

int32_t PresetAttribute::setValue(const char* text) {
    if (!text) return kFileNotOpened;
    value = text;
    hasValue = true;
    return kFileOk;
}

int32_t Patch::setName(const char* text) {
    if (!text) return kFileNotOpened;
    fileName = text;
    hasName = true;
    return kFileOk;
}

PresetParam* Patch::getParam(int32_t position) const {
    return position >= 0 && position < (int32_t)params.size() ? params[position].get() : nullptr;
}

void Patch::addParam(PresetParam* param) {
    if (param) params.emplace_back(param);
}

Preset::Preset(bool fullPreset) : full(fullPreset) {}

int32_t Preset::setName(const char* text) { return setLimited(&name, text); }

PresetParam* Preset::getParam(int32_t position) const {
    return full && position >= 0 && position < (int32_t)params.size() ? params[position].get() : nullptr;
}

void Preset::addParam(PresetParam* param) {
    if (!param) return;
    if (!full) {
        delete param;
        return;
    }
    params.emplace_back(param);
}

PresetAttribute* Preset::getAttribute(int32_t position) const {
    return position >= 0 && position < (int32_t)attributes.size() ? attributes[position].get() : nullptr;
}

bool Preset::hasAttribute(const char* key) const {
    if (!key) return false;
    for (const auto& attribute : attributes)
        if (attribute->getKey() && std::strcmp(attribute->getKey(), key) == 0) return true;
    return false;
}

int32_t Preset::addAttribute(const char* text) {
    if (!text) return kFileNotOpened;
    const char* equals = std::strchr(text, '=');
    if (!equals) return kFileNotOpened;
    // The whole word as an import writes it (a value of up to 255 characters): a longer
    // one is refused, never kept cut.
    if (std::strlen(text) > kMaxNameLength) return kFileNotOpened;
    std::string key(text, equals - text);
    std::string value(equals + 1);
    if (hasAttribute(key.c_str())) return kFileOk;  // the first value stays
    auto attribute = std::make_unique<PresetAttribute>();
    attribute->setKey(key.c_str());
    attribute->setValue(value.c_str());
    attributes.push_back(std::move(attribute));
    return kFileOk;
}

Patch* Preset::getPatch(int32_t position) const {
    return full && position >= 0 && position < (int32_t)patches.size() ? patches[position].get() : nullptr;
}

void Preset::addPatch(Patch* patch) {
    if (!patch) return;
    if (!full) {
        delete patch;
        return;
    }
    patches.emplace_back(patch);
}

SubBank::SubBank(InstallSettings* installSettings) : settings(installSettings) {}

SubBank::~SubBank() {
    if (ownsPresets)
        for (Preset* preset : presets) delete preset;
}

int32_t SubBank::setName(const char* text) { return setLimited(&name, text); }

Preset* SubBank::getPreset(int32_t position) const {
    return position >= 0 && position < (int32_t)presets.size() ? presets[position] : nullptr;
}

int32_t SubBank::findPreset(const char* presetName) const {
    if (!presetName) return -1;
    for (size_t i = 0; i < presets.size(); i++)
        if (std::strcmp(presets[i]->getName(), presetName) == 0) return (int32_t)i;
    return -1;
}

int32_t SubBank::addPreset(Preset* preset, const std::string& bankDir, int32_t subBankNumber, bool write) {
    if (!preset) return kFileNotOpened;
    preset->setIndex((int32_t)presets.size());
    presets.push_back(preset);
    if (!write) return kFileOk;
    return writePresetDir(preset->getName(), bankDir, subBankNumber, preset->getIndex());
}

void SubBank::pushPreset(Preset* preset) {
    if (preset) presets.push_back(preset);
}

int32_t SubBank::deletePreset(const std::string& bankDir, int32_t subBankNumber, int32_t position) {
    Preset* preset = getPreset(position);
    if (!preset) return kFileNotOpened;
    int32_t result = deletePresetDir(bankDir, subBankNumber, preset->getIndex());
    if (result != kFileOk) return result;
    presets.erase(presets.begin() + position);
    if (ownsPresets) delete preset;
    return kFileOk;
}

bool SubBank::presetsInPlace() const { return inPlace(presets, byName<Preset>); }

int32_t SubBank::sortPresets(const std::string& bankDir, int32_t subBankNumber) {
    stableSortByName(&presets);
    return renumber(settings, subBankDir(bankDir, subBankNumber), 'I', presets);
}

int32_t SubBank::writePresetDir(const char* presetName, const std::string& bankDir, int32_t subBankNumber,
                                int32_t presetNumber) {
    std::string dir = presetDir(bankDir, subBankNumber, presetNumber);
    int32_t result = makeDir(settings, subBankDir(bankDir, subBankNumber), numbered('I', presetNumber));
    if (result == kFileOk) result = writeText(settings, join(dir, kPresetNameFile), presetName, false, "w");
    if (result == kFileOk) result = writeText(settings, join(dir, kParametersFile), "", false, "w");
    return result;
}

int32_t SubBank::deletePresetDir(const std::string& bankDir, int32_t subBankNumber, int32_t presetNumber) {
    // The directory goes as a whole: removing its name file first would leave a gap that
    // hides every later preset when the removal fails.
    return removeNumberedDir(settings, subBankDir(bankDir, subBankNumber), numbered('I', presetNumber));
}

Bank::Bank(InstallSettings* installSettings) : settings(installSettings) {}

Bank::~Bank() { clearSubBanks(); }

int32_t Bank::setName(const char* text) { return setLimited(&name, text); }

SubBank* Bank::getSubBank(int32_t position) const {
    return position >= 0 && position < (int32_t)subBanks.size() ? subBanks[position] : nullptr;
}

int32_t Bank::findSubBank(const char* subBankName) const {
    if (!subBankName) return -1;
    for (size_t i = 0; i < subBanks.size(); i++)
        if (std::strcmp(subBanks[i]->getName(), subBankName) == 0) return (int32_t)i;
    return -1;
}

int32_t Bank::addSubBank(SubBank* subBank, const std::string& bankDir, bool write) {
    if (!subBank) return kFileNotOpened;
    subBank->setIndex((int32_t)subBanks.size());
    subBanks.push_back(subBank);
    if (!write) return kFileOk;
    return writeSubBankNameFile(subBank->getName(), bankDir, subBank->getIndex());
}

int32_t Bank::deleteSubBank(const std::string& bankDir, int32_t position) {
    SubBank* subBank = getSubBank(position);
    if (!subBank) return kFileNotOpened;
    int32_t result = deleteSubBankDir(bankDir, subBank->getIndex());
    if (result != kFileOk) return result;
    subBanks.erase(subBanks.begin() + position);
    delete subBank;
    return kFileOk;
}

bool Bank::subBanksInPlace() const { return inPlace(subBanks, byName<SubBank>); }

int32_t Bank::sortSubBanks(const std::string& bankDir) {
    stableSortByName(&subBanks);
    return renumber(settings, bankDir, 'B', subBanks);
}

void Bank::clearSubBanks() {
    for (SubBank* subBank : subBanks) delete subBank;
    subBanks.clear();
}

int32_t Bank::writeSubBankNameFile(const char* subBankName, const std::string& bankDir, int32_t subBankNumber) {
    int32_t result = makeDir(settings, bankDir, numbered('B', subBankNumber));
    if (result != kFileOk) return result;
    return writeText(settings, join(subBankDir(bankDir, subBankNumber), kSubBankNameFile), subBankName, false, "w");
}

int32_t Bank::deleteSubBankDir(const std::string& bankDir, int32_t subBankNumber) {
    return removeNumberedDir(settings, bankDir, numbered('B', subBankNumber));
}

// ---- directories of an import ------------------------------------------------------

int32_t Bank::writePresetDir(const std::string& bankDir, int32_t subBankNumber, int32_t presetNumber) {
    SubBank* subBank = getSubBank(subBankNumber);
    Preset* preset = subBank ? subBank->getPreset(presetNumber) : nullptr;
    if (!preset) return kFileNotOpened;
    std::string dir = presetDir(bankDir, subBankNumber, presetNumber);
    if (makeDir(settings, subBankDir(bankDir, subBankNumber), numbered('I', presetNumber)) != kFileOk)
        return kFileNotOpened;
    if (writeText(settings, join(dir, kPresetNameFile), preset->getName(), false, "w") != kFileOk)
        return kFileNotOpened;
    std::string text;
    for (int32_t i = 0; i < preset->getNbParams(); i++)
        text += std::string(preset->getParam(i)->getName()) + " " + preset->getParam(i)->getValue() + "\n";
    if (writeText(settings, join(dir, kParametersFile), text, false, "w") != kFileOk) return kFileNotOpened;
    for (int32_t p = 0; p < preset->getNbPatches(); p++) {
        Patch* patch = preset->getPatch(p);
        text.clear();
        for (int32_t i = 0; i < patch->getNbParams(); i++)
            text += std::string(patch->getParam(i)->getName()) + " " + patch->getParam(i)->getValue() + "\n";
        if (writeText(settings, join(dir, patch->getName()), text, false, "w") != kFileOk) return kFileNotOpened;
    }
    return kFileOk;
}

int32_t Bank::writeSubBankDir(const std::string& bankDir, int32_t subBankNumber) {
    SubBank* subBank = getSubBank(subBankNumber);
    if (!subBank) return kFileNotOpened;
    if (writeSubBankNameFile(subBank->getName(), bankDir, subBankNumber) != kFileOk) return kFileNotOpened;
    int32_t result = kFileOk;
    for (int32_t c = 0; c < subBank->getNbPresets(); c++)
        if (writePresetDir(bankDir, subBankNumber, c) != kFileOk) result = kFileNotOpened;
    return result;
}

// ---- reading directories for an export ----------------------------------------------

int32_t Bank::readPresetDir(const std::string& bankDir, int32_t subBankNumber, int32_t presetNumber, Preset* into) {
    std::string dir = presetDir(bankDir, subBankNumber, presetNumber);
    std::string first;
    int32_t result = readNameWords(settings, join(dir, kPresetNameFile), &first, nullptr);
    if (result != kFileOk) return result;
    if (!first.empty()) into->setName(first.c_str());

    auto readFile = [&](const std::string& path, std::vector<WordPair>* pairs) {
        FilePtr file(createFileIO(settings));
        if (!file) return (int32_t)kFileNotOpened;
        int32_t opened = file->open(path.c_str(), "rb");
        if (opened != kFileOk) return opened;
        int32_t read = readPairs(file.get(), pairs);
        file->close();
        return read;
    };
    std::vector<WordPair> pairs;
    result = readFile(join(dir, kParametersFile), &pairs);
    if (result != kFileOk) return result;
    for (const WordPair& pair : pairs) {
        auto param = std::make_unique<PresetParam>();
        if (param->setName(pair.name.c_str()) != kFileOk || param->setValue(pair.value.c_str()) != kFileOk)
            return kFileNotOpened;
        into->addParam(param.release());
    }

    std::vector<std::string> files;
    result = list(settings, dir, false, &files);
    if (result != kFileOk) return result;
    // Only what an import takes back, each patch once: a file that exports cleanly
    // must import.
    std::set<std::string> exported;
    for (const std::string& fileName : files) {
        const std::string patchName = exportedPatchName(fileName);
        if (patchName.empty() || !exported.insert(patchName).second) continue;
        pairs.clear();
        result = readFile(join(dir, fileName), &pairs);
        if (result != kFileOk) return result;
        auto patch = std::make_unique<Patch>();
        patch->setName(patchName.c_str());
        for (const WordPair& pair : pairs) {
            auto param = std::make_unique<PresetParam>();
            if (param->setName(pair.name.c_str()) != kFileOk || param->setValue(pair.value.c_str()) != kFileOk)
                return kFileNotOpened;
            patch->addParam(param.release());
        }
        into->addPatch(patch.release());
    }
    return kFileOk;
}

int32_t Bank::readSubBankDir(const std::string& bankDir, int32_t subBankNumber, SubBank* into) {
    std::string first;
    int32_t result = readNameWords(settings, join(subBankDir(bankDir, subBankNumber), kSubBankNameFile), &first, nullptr);
    if (result != kFileOk) return result;
    if (!first.empty()) into->setName(first.c_str());
    int32_t presetCount = countNumbered(settings, subBankDir(bankDir, subBankNumber), 'I', kPresetNameFile);
    for (int32_t c = 0; c < presetCount; c++) {
        if (exportMode == 2 && c != exportPreset) continue;
        auto preset = std::make_unique<Preset>(true);
        result = readPresetDir(bankDir, subBankNumber, c, preset.get());
        if (result != kFileOk) return result;
        into->addPreset(preset.release(), bankDir, subBankNumber, false);
    }
    return kFileOk;
}

// ---- export --------------------------------------------------------------------------

int32_t Bank::exportEntry(CCPFileIO* file, int32_t mode, const std::string& saveDir, int32_t bankNumber,
                          int32_t subBankNumber, int32_t presetNumber) {
    if (mode < 0 || mode > 2) return kFileOk;
    clearSubBanks();
    dirPath = join(saveDir, numbered('P', bankNumber));
    exportMode = mode;
    exportSubBank = subBankNumber;
    exportPreset = presetNumber;
    int32_t result = codec.attach(file);
    if (result != kFileOk) return result;

    std::string first;
    result = readNameWords(settings, join(dirPath, kBankNameFile), &first, nullptr);
    if (result != kFileOk) return result;
    if (!first.empty()) setName(first.c_str());

    int32_t subBankCount = countNumbered(settings, dirPath, 'B', kSubBankNameFile);
    if (mode != 0 && (subBankNumber < 0 || subBankNumber >= subBankCount)) return kFileNotOpened;
    for (int32_t b = 0; b < subBankCount; b++) {
        if (mode != 0 && b != subBankNumber) continue;
        auto subBank = std::make_unique<SubBank>(settings);
        result = readSubBankDir(dirPath, b, subBank.get());
        if (result != kFileOk) return result;
        if (subBank->getNbPresets() == 0) return kFileNotOpened;  // the selected preset is missing
        addSubBank(subBank.release(), dirPath, false);
    }
    if (subBanks.empty()) return kFileNotOpened;
    return exportToFile(file);
}

int32_t Bank::exportAssembled(CCPFileIO* file, const char* bankName, const char* subBankName,
                              const std::vector<PresetPlace>& places) {
    clearSubBanks();
    int32_t result = codec.attach(file);
    if (result != kFileOk) return result;
    if (places.empty()) return kFileNotOpened;
    setName(bankName);
    auto subBank = std::make_unique<SubBank>(settings);
    subBank->setName(subBankName);
    for (const PresetPlace& place : places) {
        auto preset = std::make_unique<Preset>(true);
        result = readPresetDir(place.bankDir, place.subBankNumber, place.presetNumber, preset.get());
        if (result != kFileOk) return result;
        subBank->addPreset(preset.release(), place.bankDir, place.subBankNumber, false);
    }
    addSubBank(subBank.release(), dirPath, false);
    return exportToFile(file);
}

int32_t Bank::exportToFile(CCPFileIO* file) { return writeBankFile(); }

int32_t Bank::writeBankFile() {
    int32_t result = codec.writeChunk(settings->getChunkTag().c_str(), version);
    if (result == kFileOk) result = codec.writeChunk("BANK ", name.c_str());
    if (result == kFileOk) result = codec.writeCount("NBSB", getNbSubBanks());
    if (result != kFileOk) return result;
    for (SubBank* subBank : subBanks)
        if (writeSubBankChunks(subBank) != kFileOk) return kFileNotOpened;
    return kFileOk;
}

int32_t Bank::writeSubBankChunks(SubBank* subBank) {
    int32_t result = codec.writeChunk("SBNK", subBank->getName());
    if (result == kFileOk) result = codec.writeCount("NBPR", subBank->getNbPresets());
    if (result != kFileOk) return result;
    for (int32_t c = 0; c < subBank->getNbPresets(); c++)
        if (writePresetChunks(subBank->getPreset(c)) != kFileOk) return kFileNotOpened;
    return kFileOk;
}

int32_t Bank::writeParamChunks(int32_t count, PresetParam* (*get)(const void*, int32_t), const void* owner) {
    int32_t result = codec.writeCount("NBPA", count);
    for (int32_t i = 0; result == kFileOk && i < count; i++) {
        PresetParam* param = get(owner, i);
        result = codec.writeChunk("PARA", param->getName());
        if (result == kFileOk) result = codec.writeChunk("PARV", param->getValue());
        codec.flush();
    }
    return result;
}

int32_t Bank::writePresetChunks(Preset* preset) {
    int32_t result = codec.writeChunk("PRST", preset->getName());
    if (result != kFileOk) return result;
    result = writeParamChunks(
        preset->getNbParams(), [](const void* p, int32_t i) { return ((const Preset*)p)->getParam(i); }, preset);
    if (result != kFileOk) return result;
    return writePatchChunks(preset);
}

int32_t Bank::writePatchChunks(Preset* preset) {
    int32_t result = codec.writeCount("NBPT", preset->getNbPatches());
    for (int32_t p = 0; result == kFileOk && p < preset->getNbPatches(); p++) {
        Patch* patch = preset->getPatch(p);
        result = codec.writeChunk("PATC", patch->getName());
        if (result == kFileOk)
            result = writeParamChunks(
                patch->getNbParams(), [](const void* o, int32_t i) { return ((const Patch*)o)->getParam(i); }, patch);
        codec.flush();
    }
    return result;
}

// ---- import --------------------------------------------------------------------------

int32_t Bank::readCountChunk(const char* expectedTag, int32_t* count) {
    int32_t result = codec.readChunk(expectedTag);
    if (result != kFileOk) return result;
    *count = -1;
    codec.getPayloadInt(count);
    return kFileOk;
}

int32_t Bank::readPair(std::string* pairName, std::string* value) {
    int32_t result = codec.readChunk("PARA");
    if (result != kFileOk) return result;
    *pairName = std::string((const char*)codec.getPayload(), codec.getPayloadLength());
    result = codec.readChunk("PARV");
    if (result != kFileOk) return result;
    *value = std::string((const char*)codec.getPayload(), codec.getPayloadLength());
    // Each pair becomes one line "name value" of a text file: both must be single words.
    if (!isWord(*pairName) || !isWord(*value) || pairName->size() > kMaxNameLength || value->size() > kMaxNameLength)
        return kFileNotOpened;
    return kFileOk;
}

namespace {

// Preset and Patch both take "PARA"/"PARV" pairs through addParam.
template <typename Owner>
int32_t readPairChunks(Owner* owner, int32_t count, int32_t (Bank::*readPair)(std::string*, std::string*), Bank* bank) {
    for (int32_t i = 0; i < count; i++) {
        std::string pairName, value;
        int32_t result = (bank->*readPair)(&pairName, &value);
        if (result != kFileOk) return result;
        auto param = std::make_unique<PresetParam>();
        param->setName(pairName.c_str());
        param->setValue(value.c_str());
        owner->addParam(param.release());
    }
    return kFileOk;
}

}  // namespace

int32_t Bank::readParams(Preset* preset, int32_t count) { return readPairChunks(preset, count, &Bank::readPair, this); }

int32_t Bank::readPatchParams(Patch* patch, int32_t count) { return readPairChunks(patch, count, &Bank::readPair, this); }

int32_t Bank::readPatches(Preset* preset, int32_t count) {
    std::set<std::string> seen;
    for (int32_t p = 0; p < count; p++) {
        int32_t result = codec.readChunk("PATC");
        if (result != kFileOk) return result;
        std::string fileName((const char*)codec.getPayload(), codec.getPayloadLength());
        // The name becomes a file name: only the eight patch files, each once.
        if (!isImportablePatchName(fileName) || !seen.insert(fileName).second) return kFileNotOpened;
        int32_t pairs = 0;
        result = readCountChunk("NBPA", &pairs);
        if (result != kFileOk) return result;
        if (pairs < 0) return kFileBadCount;
        auto patch = std::make_unique<Patch>();
        patch->setName(fileName.c_str());
        result = readPatchParams(patch.get(), pairs);
        if (result != kFileOk) return result;
        preset->addPatch(patch.release());
    }
    return kFileOk;
}

int32_t Bank::readPreset(SubBank* subBank) {
    int32_t result = codec.readChunk("PRST");
    if (result != kFileOk) return result;
    auto preset = std::make_unique<Preset>(true);
    std::string presetName((const char*)codec.getPayload(), codec.getPayloadLength());
    preset->setName(presetBarName(presetName).c_str());
    int32_t count = 0;
    result = readCountChunk("NBPA", &count);
    if (result != kFileOk) return result;
    if (count < 0) return kFileBadCount;
    result = readParams(preset.get(), count);
    if (result != kFileOk) return result;
    result = readCountChunk("NBPT", &count);
    if (result != kFileOk) return result;
    if (count < 0) return kFileBadCount;
    result = readPatches(preset.get(), count);
    if (result != kFileOk) return result;
    subBank->addPreset(preset.release(), dirPath, subBank->getIndex(), false);
    return kFileOk;
}

int32_t Bank::readSubBank() {
    int32_t result = codec.readChunk("SBNK");
    if (result != kFileOk) return result;
    auto subBank = std::make_unique<SubBank>(settings);
    std::string subBankName((const char*)codec.getPayload(), codec.getPayloadLength());
    subBank->setName(presetBarName(subBankName).c_str());
    int32_t count = 0;
    result = readCountChunk("NBPR", &count);
    if (result != kFileOk) return result;
    if (count < 1) return kFileBadCount;
    // Counts are not trusted for allocation: presets are read one by one until the
    // count is reached or the file ends.
    for (int32_t c = 0; c < count; c++) {
        result = readPreset(subBank.get());
        if (result != kFileOk) return result;
    }
    addSubBank(subBank.release(), dirPath, false);
    return kFileOk;
}

void Bank::showImportFailed() {
    importFailureShown = true;
    MessageDialog().show(1, "Import failed", "Your file seems to be corrupted !", "OK", nullptr);
}

int32_t Bank::importFromFile(CCPFileIO* file, int32_t expectedBankCount) {
    clearSubBanks();
    int32_t result = codec.attach(file);
    if (result != kFileOk) return result;
    result = codec.readChunk(settings->getChunkTag().c_str());
    if (result != kFileOk) return result;
    std::memcpy(version, codec.getPayload(), 4);  // the payload buffer always holds 512 bytes
    version[4] = 0;
    result = codec.readChunk("BANK");
    if (result != kFileOk) return result;
    if (!codec.tagMatched()) {
        showImportFailed();
        return kFileNotOpened;
    }
    std::string bankName((const char*)codec.getPayload(), codec.getPayloadLength());
    setName(presetBarName(bankName).c_str());
    int32_t count = 0;
    result = readCountChunk("NBSB", &count);
    if (result != kFileOk) return result;
    if (count <= 0) return kFileBadCount;
    for (int32_t b = 0; b < count; b++) {
        result = readSubBank();
        if (result != kFileOk) {
            clearSubBanks();
            return result;
        }
    }
    // The directories are numbered in name order.
    stableSortByName(&subBanks);
    for (size_t b = 0; b < subBanks.size(); b++) {
        subBanks[b]->setIndex((int32_t)b);
        stableSortByName(&subBanks[b]->presets);
        for (size_t c = 0; c < subBanks[b]->presets.size(); c++) subBanks[b]->presets[c]->setIndex((int32_t)c);
    }
    return saveAsNewBankDir(expectedBankCount);
}

int32_t Bank::saveAsNewBankDir(int32_t expectedBankCount) {
    std::string saveDir = settings->getSaveDir();
    int32_t number = countNumbered(settings, saveDir, 'P', kBankNameFile);
    // A directory count that disagrees with the tree would give the new bank the number
    // of a bank the tree does not show, or of one it shows elsewhere.
    if (number != expectedBankCount) return kFileNotOpened;
    std::string dir = join(saveDir, numbered('P', number));
    std::string entry = numbered('P', number);
    if (makeDir(settings, saveDir, entry) != kFileOk) return kFileNotOpened;
    int32_t result = kFileOk;
    for (int32_t b = 0; result == kFileOk && b < getNbSubBanks(); b++) result = writeSubBankDir(dir, b);
    // The name file last: until it exists, probing does not see the new directory.
    if (result == kFileOk) result = writeText(settings, join(dir, kBankNameFile), name, false, "w");
    if (result != kFileOk) {
        removeDir(settings, dir);
        return kFileNotOpened;
    }
    dirPath = dir;
    index = number;
    return kFileOk;
}
