// The process-wide tree of banks, sub-banks and presets.
//
// Placeholder: stands in for the real tree (probing the numbered directories, the
// merged "All" bank, the tree cache, the marker files and the repair scan) until the
// preset store is built. It holds one real bank with one sub-bank of one preset,
// the one at save\P0\B0\I0, plus the merged "All" bank.
#pragma once

#include <vector>

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

    void addListener(PresetTreeListener* listener);
    void removeListener(PresetTreeListener* listener);
    int getListenerCount() const { return (int)listeners.size(); }
    void clear();

    int countRunningInstances();
    int scanSaveDir();

    int getNbBanks() const { return 1; }
    int getNbBanksWithAll() const { return getNbBanks() + 1; }
    int getNbSubBanks(int bank) const;
    int getNbPresets(int bank, int subBank) const;

    InstallSettings* getSettings() const { return settings; }

private:
    InstallSettings* settings;
    std::vector<PresetTreeListener*> listeners;
};

// Owned by the plug-in objects of the process: the first creates it, the last deletes it.
extern PresetTree* gPresetTree;
extern int gPresetTreeUsers;
