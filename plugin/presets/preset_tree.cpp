#include "presets/preset_tree.h"

#include <algorithm>

PresetTree* gPresetTree = nullptr;
int gPresetTreeUsers = 0;

PresetTree::PresetTree(InstallSettings* settings) : settings(settings) {}

PresetTree::~PresetTree() {}

void PresetTree::addListener(PresetTreeListener* listener) { listeners.push_back(listener); }

void PresetTree::removeListener(PresetTreeListener* listener) {
    auto it = std::find(listeners.begin(), listeners.end(), listener);
    if (it != listeners.end()) listeners.erase(it);
}

void PresetTree::clear() { listeners.clear(); }

// Nothing in the system creates running markers; the real count reads the directory.
int PresetTree::countRunningInstances() { return 0; }

int PresetTree::scanSaveDir() { return 0; }

int PresetTree::getNbSubBanks(int bank) const { return bank >= 0 && bank <= getNbBanks() ? 1 : 0; }

int PresetTree::getNbPresets(int bank, int subBank) const {
    return getNbSubBanks(bank) > 0 && subBank == 0 ? 1 : 0;
}
