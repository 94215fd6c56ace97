// The three-level preset model: banks hold sub-banks, sub-banks hold presets. The same
// classes describe the light tree that PresetTree keeps (names and positions) and the
// full copy of a bank that is assembled for a bank exchange file (every parameter and
// patch). A Bank also reads and writes its own directory tree and exchange file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "presets/chunk_codec.h"

class CCPFileIO;
class InstallSettings;

// Names and values are at most this many characters.
enum { kMaxNameLength = 255 };

class PresetParam {
public:
    PresetParam() {}
    int32_t setName(const char* text);
    int32_t setValue(const char* text);
    const char* getName() const { return name.c_str(); }
    const char* getValue() const { return value.c_str(); }

private:
    std::string name;
    std::string value;
};

class PresetAttribute {
public:
    PresetAttribute() {}
    int32_t setKey(const char* text);
    int32_t setValue(const char* text);
    const char* getKey() const { return hasKey ? key.c_str() : nullptr; }
    const char* getValue() const { return hasValue ? value.c_str() : nullptr; }

private:
    std::string key;
    std::string value;
    bool hasKey = false;
    bool hasValue = false;
};

class Patch {
public:
    Patch() {}
    int32_t setName(const char* text);
    const char* getName() const { return hasName ? fileName.c_str() : nullptr; }
    int32_t getNbParams() const { return (int32_t)params.size(); }
    PresetParam* getParam(int32_t position) const;
    void addParam(PresetParam* param);
    void clearParams() { params.clear(); }

private:
    std::vector<std::unique_ptr<PresetParam>> params;
    std::string fileName;
    bool hasName = false;
};

class Preset {
public:
    // full: with the lists of parameters and patches; a light preset has attributes only.
    explicit Preset(bool full = true);

    int32_t setName(const char* text);
    const char* getName() const { return name.c_str(); }
    int32_t getIndex() const { return index; }
    void setIndex(int32_t position) { index = position; }

    int32_t getNbParams() const { return full ? (int32_t)params.size() : 0; }
    PresetParam* getParam(int32_t position) const;
    void addParam(PresetParam* param);
    int32_t getNbAttributes() const { return (int32_t)attributes.size(); }
    PresetAttribute* getAttribute(int32_t position) const;
    bool hasAttribute(const char* key) const;
    // "key=value": 0, or -1 without "=" or for a text over 255 characters.
    int32_t addAttribute(const char* text);
    int32_t getNbPatches() const { return full ? (int32_t)patches.size() : 0; }
    Patch* getPatch(int32_t position) const;
    void addPatch(Patch* patch);

    // Where the preset stands in its own bank; set when it is merged into "All".
    int32_t realBank = -1;
    int32_t realSubBank = -1;
    int32_t realPreset = -1;

private:
    bool full;
    std::vector<std::unique_ptr<PresetParam>> params;
    std::vector<std::unique_ptr<PresetAttribute>> attributes;
    std::vector<std::unique_ptr<Patch>> patches;
    int32_t index = -1;
    std::string name = "Preset?";
};

class SubBank {
public:
    explicit SubBank(InstallSettings* settings);
    ~SubBank();
    SubBank(const SubBank&) = delete;
    SubBank& operator=(const SubBank&) = delete;

    int32_t setName(const char* text);
    const char* getName() const { return name.c_str(); }
    int32_t getIndex() const { return index; }
    void setIndex(int32_t position) { index = position; }

    int32_t getNbPresets() const { return (int32_t)presets.size(); }
    Preset* getPreset(int32_t position) const;
    int32_t findPreset(const char* presetName) const;
    // Appends with index = position; with write set, creates I<n>, its NomInstrument and
    // an empty Parametres. The sub-bank owns the preset from here on.
    int32_t addPreset(Preset* preset, const std::string& bankDir, int32_t subBankNumber, bool write);
    // Appends a preset that another sub-bank owns (the merged bank).
    void pushPreset(Preset* preset);
    // Removes the directory first: the tree changes only once it is really gone.
    int32_t deletePreset(const std::string& bankDir, int32_t subBankNumber, int32_t position);
    // Stable sort by name, then renumbering of the I<n> directories.
    int32_t sortPresets(const std::string& bankDir, int32_t subBankNumber);
    // Whether sortPresets would change nothing.
    bool presetsInPlace() const;

    int32_t writePresetDir(const char* presetName, const std::string& bankDir, int32_t subBankNumber,
                           int32_t presetNumber);
    int32_t deletePresetDir(const std::string& bankDir, int32_t subBankNumber, int32_t presetNumber);

private:
    friend class Bank;
    friend class PresetTree;
    std::vector<Preset*> presets;
    bool ownsPresets = true;
    int32_t index = -1;
    InstallSettings* settings;
    std::string name = "SubBank?";
};

class Bank {
public:
    explicit Bank(InstallSettings* settings);
    ~Bank();
    Bank(const Bank&) = delete;
    Bank& operator=(const Bank&) = delete;

    int32_t setName(const char* text);
    const char* getName() const { return name.c_str(); }
    int32_t getIndex() const { return index; }
    void setIndex(int32_t position) { index = position; }
    bool isUser() const { return user; }
    void setUser(bool isUserBank) { user = isUserBank; }
    const char* getVersion() const { return version; }

    int32_t getNbSubBanks() const { return (int32_t)subBanks.size(); }
    SubBank* getSubBank(int32_t position) const;
    int32_t findSubBank(const char* subBankName) const;
    int32_t addSubBank(SubBank* subBank, const std::string& bankDir, bool write);
    int32_t deleteSubBank(const std::string& bankDir, int32_t position);
    int32_t sortSubBanks(const std::string& bankDir);
    // Whether sortSubBanks would change nothing.
    bool subBanksInPlace() const;
    // Deletes the sub-banks; the merged bank's sub-banks own no presets.
    void clearSubBanks();

    int32_t writeSubBankNameFile(const char* subBankName, const std::string& bankDir, int32_t subBankNumber);
    int32_t deleteSubBankDir(const std::string& bankDir, int32_t subBankNumber);
    int32_t writeSubBankDir(const std::string& bankDir, int32_t subBankNumber);
    int32_t writePresetDir(const std::string& bankDir, int32_t subBankNumber, int32_t presetNumber);
    int32_t readSubBankDir(const std::string& bankDir, int32_t subBankNumber, SubBank* into);
    int32_t readPresetDir(const std::string& bankDir, int32_t subBankNumber, int32_t presetNumber, Preset* into);

    // Bank exchange file. mode 0: the whole bank, 1: one sub-bank, 2: one preset.
    int32_t exportEntry(CCPFileIO* file, int32_t mode, const std::string& saveDir, int32_t bankNumber,
                        int32_t subBankNumber, int32_t presetNumber);
    // Mode 1 for a sub-bank whose presets live in several banks (a sub-bank of the merged
    // bank): one sub-bank of that name holding the presets at the places, in that order.
    struct PresetPlace {
        std::string bankDir;
        int32_t subBankNumber;
        int32_t presetNumber;
    };
    int32_t exportAssembled(CCPFileIO* file, const char* bankName, const char* subBankName,
                            const std::vector<PresetPlace>& places);
    // Reads a whole file into this new, empty bank, then writes it as the bank directory
    // numbered expectedBankCount, which must be the number of bank directories on disk.
    int32_t importFromFile(CCPFileIO* file, int32_t expectedBankCount);

    // The directory written by the last successful import.
    const std::string& getDirPath() const { return dirPath; }
    // Whether an import showed the user its failure.
    bool importFailureWasShown() const { return importFailureShown; }

private:
    friend class PresetTree;
    int32_t exportToFile(CCPFileIO* file);
    int32_t writeBankFile();
    int32_t writeSubBankChunks(SubBank* subBank);
    int32_t writePresetChunks(Preset* preset);
    int32_t writeParamChunks(int32_t count, PresetParam* (*get)(const void*, int32_t), const void* owner);
    int32_t writePatchChunks(Preset* preset);
    int32_t readSubBank();
    int32_t readPreset(SubBank* subBank);
    int32_t readParams(Preset* preset, int32_t count);
    int32_t readPatches(Preset* preset, int32_t count);
    int32_t readPatchParams(Patch* patch, int32_t count);
    int32_t readPair(std::string* name, std::string* value);
    int32_t readCountChunk(const char* expectedTag, int32_t* count);
    int32_t saveAsNewBankDir(int32_t expectedBankCount);
    void showImportFailed();

    std::vector<SubBank*> subBanks;
    char version[5] = "0000";
    ChunkCodec codec;
    int32_t index = -1;
    bool user = true;
    std::string dirPath;
    int32_t exportSubBank = -1;
    int32_t exportPreset = -1;
    int32_t exportMode = -1;
    bool importFailureShown = false;
    InstallSettings* settings;
    std::string name = "Bank?";
};
