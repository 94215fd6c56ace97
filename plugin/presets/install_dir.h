// Finding the installation directory and building absolute paths inside it.
//
// The plug-in's start-up reads (MIDI control file, start presets) use these until they
// move onto the preset tree; they never change the current directory.
#pragma once

#include <cstdio>
#include <string>

class InstallSettings;

// The installation directory without a trailing separator; empty when the registry
// key or value is missing.
std::string readInstallDir(const InstallSettings& settings);

// Opens a file given relative to the installation directory; null on failure.
FILE* openInstallFile(const InstallSettings& settings, const std::string& relativePath, const char* mode);
