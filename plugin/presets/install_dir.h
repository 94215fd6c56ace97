// Finding the installation directory and building absolute paths inside it.
//
// Placeholder: stands in for the file access classes until they are built; it reads
// the registry value and opens files by absolute path, never changing the current
// directory.
#pragma once

#include <cstdio>
#include <string>

class InstallSettings;

// The installation directory without a trailing separator; empty when the registry
// key or value is missing.
std::string readInstallDir(const InstallSettings& settings);

// Opens a file given relative to the installation directory; null on failure.
FILE* openInstallFile(const InstallSettings& settings, const std::string& relativePath, const char* mode);
