// File access on Windows: the installation directory from the registry, directory
// counting, listing and removal and the file dialogs through the Dorvane library,
// loaded by name at the first operation and kept while a holder lives (holdFileAccess).
#pragma once

#include <string>

#include "presets/stdio_file_io.h"

class CWinFileIO : public StdioFileIO {
public:
    explicit CWinFileIO(InstallSettings* settings);

    int32_t openWithOpenDialog(const char* proposedName, const char* initialFileName, const char* filter,
                               char* chosenName, int32_t chosenSize) override;
    int32_t openWithSaveDialog(const char* proposedName, const char* initialFileName, const char* filter) override;
    int32_t removeDir(const char* relativePath) override;
    int32_t getNbFiles(const char* relativeDir) override;
    int32_t getNbDir(const char* relativeDir) override;
    int32_t getFileList(const char* relativeDir, int32_t maxNames, char** names) override;
    int32_t getDirList(const char* relativeDir, int32_t maxNames, char** names) override;
    int32_t getAllList(const char* relativeDir, int32_t maxNames, char** names) override;
    bool installationFound() override;

    // The registry value "installdir" under the settings' key, without trailing
    // separator; false when the key or value is missing or not a text. No message.
    static bool readInstallDir(const InstallSettings& settings, std::string* dir);

protected:
    // The registry value; when missing, the not-installed message box and -28.
    int32_t installDir(std::string* dir) override;
    bool replaceFile(const std::string& from, const std::string& to) override;

private:
    int32_t runDialog(bool save, const char* initialFileName, const char* filter, char* chosenName,
                      int32_t chosenSize);
    int32_t countWith(const char* exportName, const char* relativeDir);
    int32_t listWith(const char* exportName, const char* relativeDir, int32_t maxNames, char** names);
};
