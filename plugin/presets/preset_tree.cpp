#include "presets/preset_tree.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

#include "presets/file_io.h"
#include "presets/install_settings.h"
#include "presets/tree_files.h"

using namespace tree_files;

PresetTree* gPresetTree = nullptr;
int gPresetTreeUsers = 0;

namespace {

using FilePtr = std::unique_ptr<CCPFileIO>;
using Guard = std::lock_guard<std::recursive_mutex>;

const char* const kPlaceholderBank = "Bank?";
const char* const kPlaceholderSubBank = "SubBank?";
const char* const kPlaceholderPreset = "Preset?";

std::string orPlaceholder(const std::string& name, const char* placeholder) {
    return name.empty() || name.size() > kMaxNameLength ? placeholder : name;
}

// Factory banks first, then by name in byte order: a strict weak order, so the stable
// sort gives the same order whatever the banks' order before.
bool bankOrder(const Bank* x, const Bank* y) {
    if (x->isUser() != y->isUser()) return !x->isUser();
    return std::strcmp(x->getName(), y->getName()) < 0;
}

// "P12" -> 12 with kind 0; a bare number "12" (a renumbering between its two steps) or a
// scan's temporary "~12" -> kind 1; anything else false.
bool parseScannedName(const std::string& name, char letter, long* number, int* kind) {
    size_t at = 0;
    *kind = 1;
    if (!name.empty() && name[0] == letter) {
        *kind = 0;
        at = 1;
    } else if (!name.empty() && name[0] == '~') {
        at = 1;
    }
    if (at < name.size() && name[at] == '-') at++;
    if (at >= name.size() || name.size() - at > 9) return false;
    for (size_t i = at; i < name.size(); i++)
        if (name[i] < '0' || name[i] > '9') return false;
    *number = std::strtol(name.c_str() + (*kind == 0 || name[0] == '~' ? 1 : 0), nullptr, 10);
    return true;
}

}  // namespace

PresetTree::PresetTree(InstallSettings* installSettings) : settings(installSettings) {
    allBank = std::make_unique<Bank>(settings);
    allBank->setName("All");
    allBank->setUser(false);
    FilePtr check(createFileIO(settings));
    installed = check && check->installationFound();
    if (!installed) {
        buildAllBank();
        return;
    }
    instanceNumber = countRunningInstances() + 1;
    cleanupSession();
    load();
    buildAllBank();
}

PresetTree::~PresetTree() {
    if (installed) {
        rebuildCache(false);
        writeSessionMarker();
    }
    deleteBanks();
}

void PresetTree::deleteBanks() {
    // The merged bank shares the real banks' presets: it goes first.
    allBank->clearSubBanks();
    for (Bank* bank : banks) delete bank;
    banks.clear();
}

void PresetTree::clear() {
    Guard guard(lock);
    deleteBanks();
    listeners.clear();
}

// ---- listeners -----------------------------------------------------------------------

void PresetTree::addListener(PresetTreeListener* listener) {
    Guard guard(lock);
    if (listener) listeners.push_back(listener);
}

void PresetTree::removeListener(PresetTreeListener* listener) {
    Guard guard(lock);
    auto it = std::find(listeners.begin(), listeners.end(), listener);
    if (it != listeners.end()) listeners.erase(it);
}

void PresetTree::notifyBankListChanged() {
    std::vector<PresetTreeListener*> copy = listeners;
    for (PresetTreeListener* listener : copy) listener->bankListChanged();
}

void PresetTree::notifySubBankListChanged() {
    std::vector<PresetTreeListener*> copy = listeners;
    for (PresetTreeListener* listener : copy) listener->subBankListChanged();
}

void PresetTree::notifyPresetListChanged() {
    std::vector<PresetTreeListener*> copy = listeners;
    for (PresetTreeListener* listener : copy) listener->presetListChanged();
}

// ---- queries -------------------------------------------------------------------------

int32_t PresetTree::getNbBanks() const {
    Guard guard(lock);
    return (int32_t)banks.size();
}

Bank* PresetTree::getBank(int32_t bank) const {
    Guard guard(lock);
    if (bank >= 0 && bank < (int32_t)banks.size()) return banks[bank];
    return isAllBank(bank) ? allBank.get() : nullptr;
}

int32_t PresetTree::findBank(const char* name) const {
    Guard guard(lock);
    if (!name) return -1;
    for (size_t i = 0; i < banks.size(); i++)
        if (std::strcmp(banks[i]->getName(), name) == 0) return (int32_t)i;
    return -1;
}

bool PresetTree::isUserBank(int32_t bank) const {
    Guard guard(lock);
    return bank >= 0 && bank < (int32_t)banks.size() && banks[bank]->isUser();
}

std::string PresetTree::getBankName(int32_t bank) const {
    Guard guard(lock);
    Bank* node = getBank(bank);
    return node ? node->getName() : "Error";
}

SubBank* PresetTree::findSubBankNode(int32_t bank, int32_t subBank) const {
    Bank* node = getBank(bank);
    return node ? node->getSubBank(subBank) : nullptr;
}

std::string PresetTree::getSubBankName(int32_t bank, int32_t subBank) const {
    Guard guard(lock);
    SubBank* node = findSubBankNode(bank, subBank);
    return node ? node->getName() : "Error";
}

std::string PresetTree::getPresetName(int32_t bank, int32_t subBank, int32_t preset) const {
    Guard guard(lock);
    SubBank* node = findSubBankNode(bank, subBank);
    Preset* presetNode = node ? node->getPreset(preset) : nullptr;
    return presetNode ? presetNode->getName() : "Error";
}

int32_t PresetTree::getNbSubBanks(int32_t bank) const {
    Guard guard(lock);
    Bank* node = getBank(bank);
    return node ? node->getNbSubBanks() : 0;
}

int32_t PresetTree::getNbPresets(int32_t bank, int32_t subBank) const {
    Guard guard(lock);
    SubBank* node = findSubBankNode(bank, subBank);
    if (node) return node->getNbPresets();
    return isAllBank(bank) ? 0 : -1;
}

std::string PresetTree::bankDirPath(int32_t bank) const { return tree_files::bankDir(settings, bank); }

CCPFileIO* PresetTree::openPresetFile(int32_t bank, int32_t subBank, int32_t preset, const std::string& fileName,
                                      const char* mode, bool replacing) {
    FilePtr file(createFileIO(settings));
    if (!file) return nullptr;
    std::string path = join(presetDir(bankDirPath(bank), subBank, preset), fileName);
    int32_t result = replacing ? file->openReplacing(path.c_str(), mode) : file->open(path.c_str(), mode);
    return result == kFileOk ? file.release() : nullptr;
}

CCPFileIO* PresetTree::openParamsForWrite(int32_t bank, int32_t subBank, int32_t preset) {
    return openPresetFile(bank, subBank, preset, kParametersFile, "wb", true);
}

CCPFileIO* PresetTree::openPatchForWrite(int32_t bank, int32_t subBank, int32_t preset, int32_t patchFileNumber) {
    return openPresetFile(bank, subBank, preset, "Patch" + std::to_string(patchFileNumber), "wb", true);
}

CCPFileIO* PresetTree::openParamsForRead(int32_t bank, int32_t subBank, int32_t preset) {
    return openPresetFile(bank, subBank, preset, kParametersFile, "rt", false);
}

CCPFileIO* PresetTree::openPatchForRead(int32_t bank, int32_t subBank, int32_t preset, int32_t patchFileNumber) {
    return openPresetFile(bank, subBank, preset, "Patch" + std::to_string(patchFileNumber), "rb", false);
}

// ---- the merged bank -----------------------------------------------------------------

void PresetTree::refreshAllBank() {
    Guard guard(lock);
    allBank->clearSubBanks();
    allBank->setIndex((int32_t)banks.size());
    for (int32_t a = 0; a < (int32_t)banks.size(); a++) {
        Bank* bank = banks[a];
        for (int32_t b = 0; b < bank->getNbSubBanks(); b++) {
            SubBank* subBank = bank->getSubBank(b);
            int32_t found = allBank->findSubBank(subBank->getName());
            if (found < 0) {
                SubBank* merged = new SubBank(settings);
                merged->ownsPresets = false;
                merged->setName(subBank->getName());
                allBank->addSubBank(merged, std::string(), false);
                found = allBank->getNbSubBanks() - 1;
            }
            SubBank* merged = allBank->getSubBank(found);
            for (int32_t c = 0; c < subBank->getNbPresets(); c++) {
                Preset* preset = subBank->getPreset(c);
                preset->realBank = a;
                preset->realSubBank = b;
                preset->realPreset = c;
                merged->pushPreset(preset);
            }
        }
    }
}

// ---- changes -------------------------------------------------------------------------

void PresetTree::uniqueName(const char* given, char* out, bool (*taken)(const void*, const char*), const void* owner) {
    // Candidates are built in a 128-byte buffer: the given name is cut to 120 characters.
    std::string base = given ? std::string(given).substr(0, 120) : std::string();
    bool numbered = base.empty();
    if (numbered) base = "Default";
    std::string candidate = numbered ? base + "0" : base;
    for (int i = numbered ? 1 : 0; taken(owner, candidate.c_str()); i++) candidate = base + std::to_string(i);
    std::memcpy(out, candidate.c_str(), candidate.size() + 1);
}

int32_t PresetTree::settleRenumbering(int32_t result) {
    if (result != kFileOk) reloadFromDirectories();
    return result;
}

int32_t PresetTree::createPreset(char* presetName, int32_t bank, int32_t subBank) {
    Guard guard(lock);
    if (!presetName || isAllBank(bank)) return kFileNotOpened;
    SubBank* node = findSubBankNode(bank, subBank);
    if (!node) return kFileNotOpened;
    uniqueName(presetName, presetName,
               [](const void* o, const char* n) { return ((const SubBank*)o)->findPreset(n) >= 0; }, node);
    Preset* preset = new Preset(false);
    preset->setName(presetName);
    std::string dir = bankDirPath(bank);
    int32_t result = node->addPreset(preset, dir, node->getIndex(), true);
    if (result != kFileOk) {
        // Nothing half-made stays: neither the node nor its directory.
        removeDir(settings, presetDir(dir, node->getIndex(), preset->getIndex()));
        node->presets.pop_back();
        delete preset;
        return result;
    }
    if (settleRenumbering(node->sortPresets(dir, node->getIndex())) != kFileOk) return kFileWriteFailed;
    refreshAllBank();
    notifyPresetListChanged();
    notifyOtherInstances();
    return kFileOk;
}

int32_t PresetTree::createSubBank(char* subBankName, char* presetName, int32_t bank) {
    Guard guard(lock);
    if (!subBankName || !presetName || isAllBank(bank)) return kFileNotOpened;
    Bank* node = getBank(bank);
    if (!node) return kFileNotOpened;
    uniqueName(subBankName, subBankName,
               [](const void* o, const char* n) { return ((const Bank*)o)->findSubBank(n) >= 0; }, node);
    SubBank* subBank = new SubBank(settings);
    subBank->setName(subBankName);
    std::string dir = bankDirPath(bank);
    int32_t result = node->addSubBank(subBank, dir, true);
    if (result != kFileOk) {
        removeDir(settings, subBankDir(dir, subBank->getIndex()));
        node->subBanks.pop_back();
        delete subBank;
        return result;
    }
    if (settleRenumbering(node->sortSubBanks(dir)) != kFileOk) return kFileWriteFailed;
    result = createPreset(presetName, bank, node->findSubBank(subBankName));
    refreshAllBank();
    notifySubBankListChanged();
    notifyOtherInstances();
    return result;
}

int32_t PresetTree::addBank(Bank* bank, bool createDir) {
    Guard guard(lock);
    if (!bank) return kFileNotOpened;
    bank->setIndex((int32_t)banks.size());
    banks.push_back(bank);
    if (!createDir) return kFileOk;
    // PresetTree::createBankDir: the directory, then its name file without terminator.
    int32_t result = makeDir(settings, settings->getSaveDir(), numbered('P', bank->getIndex()));
    if (result == kFileOk)
        result = writeText(settings, join(bankDirPath(bank->getIndex()), kBankNameFile), bank->getName(), false, "w");
    return result;
}

int32_t PresetTree::createBank(char* bankName, char* subBankName, char* presetName) {
    Guard guard(lock);
    if (!bankName || !subBankName || !presetName) return kFileNotOpened;
    uniqueName(bankName, bankName, [](const void* o, const char* n) { return ((const PresetTree*)o)->findBank(n) >= 0; },
               this);
    Bank* bank = new Bank(settings);
    bank->setName(bankName);
    int32_t result = addBank(bank, true);
    if (result != kFileOk) {
        removeDir(settings, bankDirPath(bank->getIndex()));
        banks.pop_back();
        delete bank;
        return result;
    }
    if (sortBanks() != kFileOk) return kFileWriteFailed;
    result = createSubBank(subBankName, presetName, findBank(bankName));
    refreshAllBank();
    notifyBankListChanged();
    notifyOtherInstances();
    return result;
}

int32_t PresetTree::writeBankNameFile(const char* name, int32_t bank) {
    Guard guard(lock);
    if (!name) return kFileNotOpened;
    std::string text = name;
    if (bank >= 0 && bank < (int32_t)banks.size() && !banks[bank]->isUser()) text += std::string(" ") + kFactoryMark;
    return writeText(settings, join(bankDirPath(bank), kBankNameFile), text, true, "wb");
}

int32_t PresetTree::writeSubBankNameFile(const char* name, int32_t bank, int32_t subBank) {
    if (!name) return kFileNotOpened;
    return writeText(settings, join(subBankDir(bankDirPath(bank), subBank), kSubBankNameFile), name, true, "wb");
}

int32_t PresetTree::writePresetNameFile(const char* name, int32_t bank, int32_t subBank, int32_t preset) {
    if (!name) return kFileNotOpened;
    return writeText(settings, join(presetDir(bankDirPath(bank), subBank, preset), kPresetNameFile), name, true, "wb");
}

// A name the node refuses is refused as a whole: the name file keeps the node's name.
int32_t PresetTree::renameBank(const char* name, int32_t bank) {
    Guard guard(lock);
    if (!name || bank < 0 || bank >= (int32_t)banks.size()) return kFileNotOpened;
    if (std::strlen(name) == 0 || std::strlen(name) > kMaxNameLength) return kFileNotOpened;
    int32_t result = writeBankNameFile(name, bank);
    if (result != kFileOk) return result;
    // The name it has, in a list in order: nothing to sort, nothing changed to announce.
    if (std::strcmp(banks[bank]->getName(), name) == 0 && inPlace(banks, bankOrder)) return kFileOk;
    banks[bank]->setName(name);
    if (sortBanks() != kFileOk) return kFileWriteFailed;
    notifyBankListChanged();
    notifyOtherInstances();
    return kFileOk;
}

int32_t PresetTree::renameSubBank(const char* name, int32_t bank, int32_t subBank) {
    Guard guard(lock);
    if (!name || isAllBank(bank) || std::strlen(name) == 0 || std::strlen(name) > kMaxNameLength) return kFileNotOpened;
    Bank* node = getBank(bank);
    SubBank* subBankNode = node ? node->getSubBank(subBank) : nullptr;
    if (!subBankNode) return kFileNotOpened;
    int32_t result = writeSubBankNameFile(name, bank, subBankNode->getIndex());
    if (result != kFileOk) return result;
    if (std::strcmp(subBankNode->getName(), name) == 0 && node->subBanksInPlace()) return kFileOk;
    subBankNode->setName(name);
    if (settleRenumbering(node->sortSubBanks(bankDirPath(bank))) != kFileOk) return kFileWriteFailed;
    refreshAllBank();
    notifySubBankListChanged();
    notifyOtherInstances();
    return kFileOk;
}

int32_t PresetTree::renamePreset(const char* name, int32_t bank, int32_t subBank, int32_t preset) {
    Guard guard(lock);
    if (!name || isAllBank(bank) || std::strlen(name) == 0 || std::strlen(name) > kMaxNameLength) return kFileNotOpened;
    SubBank* node = findSubBankNode(bank, subBank);
    Preset* presetNode = node ? node->getPreset(preset) : nullptr;
    if (!presetNode) return kFileNotOpened;
    int32_t result = writePresetNameFile(name, bank, node->getIndex(), presetNode->getIndex());
    if (result != kFileOk) return result;
    if (std::strcmp(presetNode->getName(), name) == 0 && node->presetsInPlace()) return kFileOk;
    presetNode->setName(name);
    if (settleRenumbering(node->sortPresets(bankDirPath(bank), node->getIndex())) != kFileOk) return kFileWriteFailed;
    refreshAllBank();
    notifyPresetListChanged();
    notifyOtherInstances();
    return kFileOk;
}

int32_t PresetTree::deleteBankFiles(int32_t bank) {
    if (bank < 0 || bank >= (int32_t)banks.size()) return kFileUnavailable;
    return removeNumberedDir(settings, settings->getSaveDir(), numbered('P', banks[bank]->getIndex()));
}

int32_t PresetTree::eraseBank(int32_t bank) {
    allBank->clearSubBanks();
    delete banks[bank];
    banks.erase(banks.begin() + bank);
    return kFileOk;
}

int32_t PresetTree::removeBank(int32_t bank) {
    Guard guard(lock);
    if (bank < 0 || bank >= (int32_t)banks.size()) return kFileNotOpened;
    int32_t result = deleteBankFiles(bank);
    if (result != kFileOk) return result;
    eraseBank(bank);
    if (sortBanks() != kFileOk) return kFileWriteFailed;
    notifyBankListChanged();
    notifyOtherInstances();
    return kFileOk;
}

int32_t PresetTree::removeSubBank(int32_t bank, int32_t subBank) {
    Guard guard(lock);
    if (isAllBank(bank)) return kFileNotOpened;
    Bank* node = getBank(bank);
    if (!node || !node->getSubBank(subBank)) return kFileNotOpened;
    allBank->clearSubBanks();
    int32_t result = node->deleteSubBank(bankDirPath(bank), subBank);
    if (result == kFileOk) result = settleRenumbering(node->sortSubBanks(bankDirPath(bank)));
    refreshAllBank();
    if (result != kFileOk) return result;
    notifySubBankListChanged();
    notifyOtherInstances();
    return kFileOk;
}

int32_t PresetTree::removePreset(int32_t bank, int32_t subBank, int32_t preset) {
    Guard guard(lock);
    if (isAllBank(bank)) return kFileNotOpened;
    SubBank* node = findSubBankNode(bank, subBank);
    if (!node || !node->getPreset(preset)) return kFileNotOpened;
    allBank->clearSubBanks();
    int32_t result = node->deletePreset(bankDirPath(bank), node->getIndex(), preset);
    if (result == kFileOk) result = settleRenumbering(node->sortPresets(bankDirPath(bank), node->getIndex()));
    refreshAllBank();
    if (result != kFileOk) return result;
    notifyPresetListChanged();
    notifyOtherInstances();
    return kFileOk;
}

int32_t PresetTree::renumberBankDirs() { return renumber(settings, settings->getSaveDir(), 'P', banks); }

int32_t PresetTree::sortBanks() {
    Guard guard(lock);
    std::stable_sort(banks.begin(), banks.end(), bankOrder);
    int32_t result = settleRenumbering(renumberBankDirs());
    refreshAllBank();
    return result;
}

void PresetTree::reloadFromDirectories() {
    Guard guard(lock);
    deleteBanks();
    rebuildCache(true);
    refreshAllBank();
    notifyBankListChanged();
    notifySubBankListChanged();
    notifyPresetListChanged();
}

// ---- exchange files ------------------------------------------------------------------

int32_t PresetTree::exportEntry(CCPFileIO* file, int32_t mode, int32_t bank, int32_t subBank, int32_t preset) {
    Guard guard(lock);
    int32_t result = kFileNotOpened;
    if (file && mode >= 0 && mode <= 2) {
        SubBank* merged = isAllBank(bank) ? allBank->getSubBank(subBank) : nullptr;
        if (merged && mode == 1) {
            // A merged sub-bank is exported as the user sees it: the presets of every bank's
            // sub-bank of that name, under the name of the first one's bank.
            std::vector<Bank::PresetPlace> places;
            for (int32_t c = 0; c < merged->getNbPresets(); c++) {
                const Preset* node = merged->getPreset(c);
                const Bank* real = getBank(node->realBank);
                const SubBank* realSubBank = real ? real->getSubBank(node->realSubBank) : nullptr;
                if (!realSubBank) break;
                places.push_back({bankDirPath(real->getIndex()), realSubBank->getIndex(), node->getIndex()});
            }
            Bank exported(settings);
            if (!places.empty() && places.size() == (size_t)merged->getNbPresets())
                result = exported.exportAssembled(file, getBankName(merged->getPreset(0)->realBank).c_str(),
                                                  merged->getName(), places);
            bank = -1;
        } else if (isAllBank(bank)) {
            // The merged bank has no directory: a preset of it is exported from the bank it
            // really belongs to.
            Preset* node = merged && mode == 2 ? merged->getPreset(preset) : nullptr;
            if (node) {
                bank = node->realBank;
                subBank = node->realSubBank;
                preset = node->realPreset;
            } else {
                bank = -1;
            }
        }
        if (bank >= 0 && bank < (int32_t)banks.size()) {
            Bank exported(settings);
            result = exported.exportEntry(file, mode, settings->getSaveDir(), banks[bank]->getIndex(), subBank, preset);
        }
    }
    // A failed export leaves no partial file.
    if (result != kFileOk && file) file->discard();
    return result;
}

int32_t PresetTree::importBank(CCPFileIO* file, bool* reported) {
    Guard guard(lock);
    auto bank = std::make_unique<Bank>(settings);
    int32_t result = bank->importFromFile(file, (int32_t)banks.size());
    bank->codec.detach();
    if (reported) *reported = bank->importFailureWasShown();
    if (result != kFileOk) return result;
    char name[128];
    uniqueName(bank->getName(), name, [](const void* o, const char* n) { return ((const PresetTree*)o)->findBank(n) >= 0; },
               this);
    if (std::strcmp(name, bank->getName()) != 0) {
        bank->setName(name);
        writeText(settings, join(bank->getDirPath(), kBankNameFile), name, false, "w");
    }
    bank->clearSubBanks();  // the tree keeps light presets: read them back from the directory
    Bank* added = bank.release();
    addBank(added, false);
    std::string dir = bankDirPath(added->getIndex());
    int32_t subBanks = countNumbered(settings, dir, 'B', kSubBankNameFile);
    for (int32_t b = 0; b < subBanks; b++) writeCacheSubBank(added, dir, b, true);
    if (sortBanks() != kFileOk) return kFileWriteFailed;
    notifyBankListChanged();
    notifyOtherInstances();
    return kFileOk;
}

// ---- markers -------------------------------------------------------------------------

int32_t PresetTree::countRunningInstances() {
    if (!installed) return 0;
    std::vector<std::string> names;
    if (list(settings, settings->getMarkerDir(), false, &names) != kFileOk) return 0;
    std::string prefix = settings->getRunningPrefix();
    int32_t count = 0;
    for (const std::string& name : names)
        if (name.compare(0, prefix.size(), prefix) == 0) count++;
    return count;
}

void PresetTree::markModified(int32_t instance) {
    writeText(settings, settings->getModifiedPrefix() + std::to_string(instance), "", false, "w");
}

void PresetTree::notifyOtherInstances() {
    int32_t count = countRunningInstances();
    if (count == 1) return;
    for (int32_t i = 1; i <= count; i++)
        if (i != instanceNumber) markModified(i);
}

void PresetTree::writeSessionMarker() {
    if (countRunningInstances() == 1) writeText(settings, settings->getSessionFileName(), "", false, "wb");
}

void PresetTree::cleanupSession() {
    if (probe(settings, settings->getSessionFileName()) == kFileOk)
        removeFile(settings, settings->getSessionFileName());
    else
        removeFile(settings, settings->getCacheFileName());
}

void PresetTree::reloadIfModified() {
    Guard guard(lock);
    if (!installed) return;
    // The marker first: it is one quiet open, while counting the running markers needs
    // the dialog library, and this runs at every idle of every editor.
    std::string marker = settings->getModifiedPrefix() + std::to_string(instanceNumber);
    if (probe(settings, marker) != kFileOk) return;
    if (countRunningInstances() <= 1) return;
    if (reloadGuard) return;
    reloadGuard = true;
    if (probe(settings, settings->getCacheFileName()) != kFileOk) {
        reloadGuard = false;
        return;
    }
    removeFile(settings, settings->getCacheFileName());
    rebuildCache(false);
    std::vector<Bank*> old;
    allBank->clearSubBanks();
    old.swap(banks);
    FilePtr file(createFileIO(settings));
    if (file && file->open(settings->getCacheFileName().c_str(), "rb") == kFileOk) {
        int32_t result = readCache(file.get());
        codec.detach();
        file->close();
        if (result != kFileOk) {
            for (Bank* bank : banks) delete bank;
            banks.clear();
            rebuildCache(true);
        }
    }
    removeFile(settings, marker);
    refreshAllBank();
    notifyBankListChanged();
    notifySubBankListChanged();
    notifyPresetListChanged();
    for (Bank* bank : old) delete bank;
    reloadGuard = false;
}

// ---- the tree cache ------------------------------------------------------------------

void PresetTree::load() {
    FilePtr file(createFileIO(settings));
    if (!file) return;
    if (file->open(settings->getCacheFileName().c_str(), "rb") != kFileOk) {
        rebuildCache(true);
        return;
    }
    int32_t result = readCache(file.get());
        codec.detach();
    file->close();
    if (result != kFileOk) {
        // A damaged cache: the directories are the truth.
        deleteBanks();
        rebuildCache(true);
    }
}

int32_t PresetTree::readCache(CCPFileIO* file) {
    int32_t result = codec.attach(file);
    if (result != kFileOk) return result;
    result = codec.readChunk(settings->getChunkTag().c_str());
    if (result != kFileOk) return result;
    std::memcpy(version, codec.getPayload(), 4);
    version[4] = 0;
    int32_t count = 0;
    result = codec.readChunk("NBBK");
    if (result != kFileOk) return result;
    codec.getPayloadInt(&count);
    if (count <= 0) return kFileBadCount;
    for (int32_t a = 0; a < count; a++) {
        result = readCacheBank();
        if (result != kFileOk) return result;
    }
    return kFileOk;
}

namespace {
std::string payloadText(const ChunkCodec& codec) {
    return std::string((const char*)codec.getPayload(), codec.getPayloadLength());
}
}  // namespace

int32_t PresetTree::readCacheBank() {
    auto bank = std::make_unique<Bank>(settings);
    int32_t result = codec.readChunk("BANK");
    if (result != kFileOk) return result;
    bank->setName(payloadText(codec).c_str());
    result = codec.readChunk("TYPE");
    if (result != kFileOk) return result;
    bank->setUser(payloadText(codec) != kFactoryMark);
    int32_t count = 0;
    result = codec.readChunk("NBSB");
    if (result != kFileOk) return result;
    codec.getPayloadInt(&count);
    if (count < 1) return kFileBadCount;
    for (int32_t b = 0; b < count; b++) {
        result = readCacheSubBank(bank.get());
        if (result != kFileOk) return result;
    }
    addBank(bank.release(), false);
    return kFileOk;
}

int32_t PresetTree::readCacheSubBank(Bank* bank) {
    auto subBank = std::make_unique<SubBank>(settings);
    int32_t result = codec.readChunk("SBNK");
    if (result != kFileOk) return result;
    subBank->setName(payloadText(codec).c_str());
    int32_t count = 0;
    result = codec.readChunk("NBPR");
    if (result != kFileOk) return result;
    codec.getPayloadInt(&count);
    if (count < 1) return kFileBadCount;
    for (int32_t c = 0; c < count; c++) {
        result = codec.readChunk("PRST");
        if (result != kFileOk) return result;
        Preset* preset = new Preset(false);
        preset->setName(payloadText(codec).c_str());
        subBank->addPreset(preset, std::string(), 0, false);
    }
    bank->addSubBank(subBank.release(), std::string(), false);
    return kFileOk;
}

void PresetTree::rebuildCache(bool rebuild) {
    FilePtr file(createFileIO(settings));
    if (!file) return;
    // The result is not examined: without a file the chunk writes fail quietly and the
    // tree is still built.
    file->openReplacing(settings->getCacheFileName().c_str(), "wb");
    writeCache(file.get(), rebuild);
    codec.detach();
    if (file->getState() == 0) file->close();
}

int32_t PresetTree::writeCache(CCPFileIO* file, bool rebuild) {
    codec.attach(file);
    codec.writeChunk(settings->getChunkTag().c_str(), version);
    int32_t count = countNumbered(settings, settings->getSaveDir(), 'P', kBankNameFile);
    codec.writeCount("NBBK", count);
    for (int32_t a = 0; a < count; a++) {
        int32_t result = writeCacheBank(a, rebuild);
        if (result != kFileOk) return result;
    }
    return kFileOk;
}

int32_t PresetTree::writeCacheBank(int32_t bank, bool rebuild) {
    std::string dir = bankDirPath(bank);
    std::string first, second;
    int32_t result = readNameWords(settings, join(dir, kBankNameFile), &first, &second);
    if (result != kFileOk) return result;
    first = orPlaceholder(first, kPlaceholderBank);
    bool factory = second == kFactoryMark;
    codec.writeChunk("BANK ", first.c_str());
    codec.writeChunk("TYPE", factory ? kFactoryMark : "USER");
    int32_t count = countNumbered(settings, dir, 'B', kSubBankNameFile);
    codec.writeCount("NBSB", count);
    Bank* node = nullptr;
    if (rebuild) {
        node = new Bank(settings);
        node->setName(first.c_str());
        node->setUser(!factory);
        addBank(node, false);
    }
    for (int32_t b = 0; b < count; b++) {
        result = writeCacheSubBank(node, dir, b, rebuild);
        if (result != kFileOk) return result;
    }
    return kFileOk;
}

int32_t PresetTree::writeCacheSubBank(Bank* bank, const std::string& dir, int32_t subBank, bool rebuild) {
    std::string name, unused;
    int32_t result = readNameWords(settings, join(subBankDir(dir, subBank), kSubBankNameFile), &name, nullptr);
    if (result != kFileOk) return result;
    name = orPlaceholder(name, kPlaceholderSubBank);
    codec.writeChunk("SBNK", name.c_str());
    int32_t count = countNumbered(settings, subBankDir(dir, subBank), 'I', kPresetNameFile);
    codec.writeCount("NBPR", count);
    SubBank* node = nullptr;
    if (rebuild && bank) {
        node = new SubBank(settings);
        node->setName(name.c_str());
        bank->addSubBank(node, dir, false);
    }
    for (int32_t c = 0; c < count; c++) {
        std::string presetName;
        result = readNameWords(settings, join(presetDir(dir, subBank, c), kPresetNameFile), &presetName, nullptr);
        if (result != kFileOk) return result;
        presetName = orPlaceholder(presetName, kPlaceholderPreset);
        codec.writeChunk("PRST", presetName.c_str());
        if (node) {
            Preset* preset = new Preset(false);
            preset->setName(presetName.c_str());
            node->addPreset(preset, dir, subBank, false);
        }
    }
    return kFileOk;
}

// ---- the repair scan -----------------------------------------------------------------

int32_t PresetTree::renumberScannedDirs(const std::string& dir, char letter, std::vector<std::string>* kept) {
    std::vector<std::string> names;
    kept->clear();
    if (list(settings, dir, true, &names) != kFileOk) return kFileOk;
    struct Entry {
        long number;
        int kind;
        std::string name;
    };
    std::vector<Entry> entries;
    std::set<std::string> taken(names.begin(), names.end());
    for (const std::string& name : names) {
        Entry entry{0, 0, name};
        if (parseScannedName(name, letter, &entry.number, &entry.kind))
            entries.push_back(entry);
        else
            removeDir(settings, join(dir, name));
    }
    // A bare number is a directory between the two steps of a renumbering: it takes the
    // place its number gives it, next to a lettered one of the same number.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& x, const Entry& y) {
        return x.number != y.number ? x.number < y.number : x.kind < y.kind;
    });
    std::vector<std::pair<std::string, std::string>> moves;  // temporary, final
    long fresh = 0;
    for (size_t i = 0; i < entries.size(); i++) {
        std::string target = numbered(letter, (int32_t)i);
        if (entries[i].name == target) continue;
        std::string temporary;
        do temporary = "~" + std::to_string(fresh++);
        while (taken.count(temporary));
        taken.insert(temporary);
        if (renameEntry(settings, dir, entries[i].name, temporary) != kFileOk) continue;
        moves.push_back({temporary, target});
    }
    for (const auto& move : moves) renameEntry(settings, dir, move.first, move.second);
    for (size_t i = 0; i < entries.size(); i++) kept->push_back(numbered(letter, (int32_t)i));
    return kFileOk;
}

namespace {

// Removes the files of dir that keep() refuses; answers the names that stay.
std::vector<std::string> keepFiles(InstallSettings* settings, const std::string& dir,
                                   const std::function<bool(const std::string&)>& keep) {
    std::vector<std::string> names, kept;
    list(settings, dir, false, &names);
    for (const std::string& name : names) {
        if (keep(name))
            kept.push_back(name);
        else
            removeFile(settings, join(dir, name));
    }
    return kept;
}

bool hasName(const std::vector<std::string>& names, const char* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

int32_t PresetTree::scanSaveDir() {
    Guard guard(lock);
    if (!installed) return kFileOk;
    std::string dir = settings->getSaveDir();
    std::vector<std::string> files =
        keepFiles(settings, dir, [](const std::string& n) { return n == "controlMidi"; });
    if (files.empty()) writeText(settings, join(dir, "controlMidi"), "", false, "wb");
    std::vector<std::string> subdirs;
    list(settings, dir, true, &subdirs);
    if (subdirs.empty()) makeDir(settings, dir, "P0");
    std::vector<std::string> kept;
    renumberScannedDirs(dir, 'P', &kept);
    for (const std::string& bank : kept) scanBankDir(join(dir, bank));
    return kFileOk;
}

void PresetTree::scanLevel(const std::string& dir, const char* nameFile, const char* defaultName, char childLetter,
                           void (PresetTree::*scanChild)(const std::string&)) {
    std::vector<std::string> files = keepFiles(settings, dir, [&](const std::string& n) { return n == nameFile; });
    if (files.empty()) writeText(settings, join(dir, nameFile), std::string("Default") + "_" + defaultName, false, "wb");
    std::vector<std::string> subdirs;
    list(settings, dir, true, &subdirs);
    if (subdirs.empty()) makeDir(settings, dir, numbered(childLetter, 0));
    std::vector<std::string> kept;
    renumberScannedDirs(dir, childLetter, &kept);
    for (const std::string& child : kept) (this->*scanChild)(join(dir, child));
}

void PresetTree::scanBankDir(const std::string& dir) {
    scanLevel(dir, kBankNameFile, "Bank", 'B', &PresetTree::scanSubBankDir);
}

void PresetTree::scanSubBankDir(const std::string& dir) {
    scanLevel(dir, kSubBankNameFile, "SubBank", 'I', &PresetTree::repairPresetDir);
}

void PresetTree::repairPresetDir(const std::string& dir) {
    std::vector<std::string> subdirs;
    list(settings, dir, true, &subdirs);
    for (const std::string& name : subdirs) removeDir(settings, join(dir, name));
    std::vector<std::string> files = keepFiles(settings, dir, [](const std::string& n) {
        return n == "NomInstrument" || n == "Parametres" || isPatchFileName(n);
    });
    // Only what is missing is created: a preset's own name and parameters are never
    // replaced by defaults.
    if (!hasName(files, kPresetNameFile))
        writeText(settings, join(dir, kPresetNameFile), std::string("Default") + "_" + "Preset", false, "wb");
    if (!hasName(files, kParametersFile)) writeText(settings, join(dir, kParametersFile), "", false, "wb");
    bool hasPatch = std::any_of(files.begin(), files.end(), [](const std::string& n) { return isPatchFileName(n); });
    if (!hasPatch) writeText(settings, join(dir, "Patch1"), "", false, "wb");
}
