// A temporary installation for the preset store's tests: a fresh directory registered as
// the installation (the registry value under wine, the native build's setting on Linux),
// helpers to lay out preset trees in it, and readers of what the store left on disk.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "presets/install_settings.h"

class StoreFixture : public ::testing::Test {
protected:
    StoreFixture();
    void SetUp() override;
    void TearDown() override;

    // Relative paths take '/' or '\\'.
    std::string path(const std::string& relative) const;
    void write(const std::string& relative, const std::string& contents) const;
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;
    void makeDir(const std::string& relative) const;
    void remove(const std::string& relative) const;
    // Every file and directory below relative (directories end with '/'), sorted.
    std::vector<std::string> entries(const std::string& relative = "save") const;

    // Numbered directories with their name files.
    void addBank(int a, const std::string& name, bool factory = false) const;
    void addSubBank(int a, int b, const std::string& name) const;
    void addPreset(int a, int b, int c, const std::string& name, const std::string& parameters = "") const;

    // Points the installation at nothing (the registry value removed) or back.
    void unregister() const;
    void reregister() const;
    // Points the installation at another directory (reregister comes back to root).
    void registerAt(const std::string& dir) const;

    std::string root;
    InstallSettings settings;
};

// The bytes of one chunk, as a test writes them by hand.
std::string chunk(const std::string& tag, const std::string& payload);
