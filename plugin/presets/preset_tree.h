// The process-wide picture of the preset directory tree: real banks in bank order, the
// merged bank "All" on top of them, the tree cache, the listeners and the marker files
// through which trees of several processes on one installation tell one another about
// changes. Every change goes to the directories first and is announced to every listener.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "presets/bank.h"
#include "presets/chunk_codec.h"

class CCPFileIO;
class InstallSettings;

class PresetTreeListener {
public:
    virtual void bankListChanged() = 0;
    virtual void subBankListChanged() = 0;
    virtual void presetListChanged() = 0;
};

class PresetTree {
public:
    explicit PresetTree(InstallSettings* settings);
    ~PresetTree();
    PresetTree(const PresetTree&) = delete;
    PresetTree& operator=(const PresetTree&) = delete;

    void clear();

    // Held by a plug-in object around a compound step on its position in the tree (the
    // tree's own operations take it too). Take it after the instance's lock, never before:
    // listeners run under it.
    std::unique_lock<std::recursive_mutex> hold() const { return std::unique_lock<std::recursive_mutex>(lock); }

    void addListener(PresetTreeListener* listener);
    void removeListener(PresetTreeListener* listener);
    int getListenerCount() const { return (int)listeners.size(); }
    void notifyBankListChanged();
    void notifySubBankListChanged();
    void notifyPresetListChanged();

    // Queries; a bank index equal to getNbBanks() means "All".
    int32_t getNbBanks() const;
    int32_t getNbBanksWithAll() const { return getNbBanks() + 1; }
    Bank* getBank(int32_t bank) const;
    int32_t findBank(const char* name) const;
    bool isUserBank(int32_t bank) const;
    std::string getBankName(int32_t bank) const;
    std::string getSubBankName(int32_t bank, int32_t subBank) const;
    std::string getPresetName(int32_t bank, int32_t subBank, int32_t preset) const;
    int32_t getNbSubBanks(int32_t bank) const;
    int32_t getNbPresets(int32_t bank, int32_t subBank) const;
    std::string bankDirPath(int32_t bank) const;

    // The files of one preset; null when it cannot be opened. The caller closes and
    // deletes the object. Writers go through a temporary file (close puts it in place).
    CCPFileIO* openParamsForWrite(int32_t bank, int32_t subBank, int32_t preset);
    CCPFileIO* openPatchForWrite(int32_t bank, int32_t subBank, int32_t preset, int32_t patchFileNumber);
    CCPFileIO* openParamsForRead(int32_t bank, int32_t subBank, int32_t preset);
    CCPFileIO* openPatchForRead(int32_t bank, int32_t subBank, int32_t preset, int32_t patchFileNumber);

    // Changes. Name arguments are buffers of at least 128 bytes that receive the name
    // that was given (a unique one for the create operations).
    int32_t createBank(char* bankName, char* subBankName, char* presetName);
    int32_t createSubBank(char* subBankName, char* presetName, int32_t bank);
    int32_t createPreset(char* presetName, int32_t bank, int32_t subBank);
    int32_t renameBank(const char* name, int32_t bank);
    int32_t renameSubBank(const char* name, int32_t bank, int32_t subBank);
    int32_t renamePreset(const char* name, int32_t bank, int32_t subBank, int32_t preset);
    int32_t removeBank(int32_t bank);
    int32_t removeSubBank(int32_t bank, int32_t subBank);
    int32_t removePreset(int32_t bank, int32_t subBank, int32_t preset);
    int32_t addBank(Bank* bank, bool createDir);
    int32_t sortBanks();
    void refreshAllBank();
    int32_t writeBankNameFile(const char* name, int32_t bank);
    int32_t writeSubBankNameFile(const char* name, int32_t bank, int32_t subBank);
    int32_t writePresetNameFile(const char* name, int32_t bank, int32_t subBank, int32_t preset);
    void notifyOtherInstances();

    // Bank exchange files. A preset of "All" is exported from its own bank, a sub-bank of
    // "All" with its presets from every bank; mode 0 cannot export "All". The import adds
    // the file as a new bank with a unique name; reported tells whether it already showed
    // the user why it failed.
    int32_t exportEntry(CCPFileIO* file, int32_t mode, int32_t bank, int32_t subBank, int32_t preset);
    int32_t importBank(CCPFileIO* file, bool* reported = nullptr);

    void reloadIfModified();
    int32_t countRunningInstances();
    int32_t scanSaveDir();

    int32_t getInstanceNumber() const { return instanceNumber; }
    const char* getVersion() const { return version; }
    InstallSettings* getSettings() const { return settings; }

    // The tree cache: readCache and writeCache work on an open file.
    int32_t readCache(CCPFileIO* file);
    int32_t writeCache(CCPFileIO* file, bool rebuild);
    void rebuildCache(bool rebuild);

    // Builds the tree again from the directories (after a failed renumbering).
    void reloadFromDirectories();

private:
    bool isAllBank(int32_t bank) const { return bank == (int32_t)banks.size(); }
    SubBank* findSubBankNode(int32_t bank, int32_t subBank) const;
    void uniqueName(const char* given, char* out, bool (*taken)(const void*, const char*), const void* owner);
    void cleanupSession();
    void load();
    void buildAllBank() { refreshAllBank(); }
    void deleteBanks();
    int32_t readCacheBank();
    int32_t readCacheSubBank(Bank* bank);
    int32_t writeCacheBank(int32_t bank, bool rebuild);
    int32_t writeCacheSubBank(Bank* bank, const std::string& bankDir, int32_t subBank, bool rebuild);
    int32_t renumberBankDirs();
    int32_t eraseBank(int32_t bank);
    int32_t deleteBankFiles(int32_t bank);
    void writeSessionMarker();
    void markModified(int32_t instance);
    CCPFileIO* openPresetFile(int32_t bank, int32_t subBank, int32_t preset, const std::string& fileName,
                              const char* mode, bool replacing);
    // After a failed renumbering the directories and the tree disagree: rebuild.
    int32_t settleRenumbering(int32_t result);

    // Keeps only the name file (written with Default_<defaultName> when missing) and
    // the numbered child directories (one made when there is none), then scans those.
    void scanLevel(const std::string& dir, const char* nameFile, const char* defaultName, char childLetter,
                   void (PresetTree::*scanChild)(const std::string&));
    void scanBankDir(const std::string& dir);
    void scanSubBankDir(const std::string& dir);
    void repairPresetDir(const std::string& dir);
    // Keeps the subdirectories <letter><number> of dir, removes the others, and numbers
    // the kept ones 0, 1, ... in order, finishing a renumbering that was interrupted.
    int32_t renumberScannedDirs(const std::string& dir, char letter, std::vector<std::string>* kept);

    std::vector<Bank*> banks;
    std::vector<PresetTreeListener*> listeners;
    std::unique_ptr<Bank> allBank;
    int32_t instanceNumber = 1;
    char version[5] = "0000";
    ChunkCodec codec;
    bool reloadGuard = false;
    // Without an installation the tree stays empty and touches no file: a plug-in that
    // cannot start says so once, not once for every file of the tree.
    bool installed = false;
    InstallSettings* settings;
    // Queries on the user-interface thread meet program-change loads from the audio
    // thread; listeners call back into the tree, hence recursive.
    mutable std::recursive_mutex lock;
};

// Owned by the plug-in objects of the process: the first creates it, the last deletes it.
extern PresetTree* gPresetTree;
extern int gPresetTreeUsers;
