// The names that tie the preset store to an installation: registry key, dialog texts,
// directory and file names, and the chunk tag. Text only; no file operation.
#pragma once

#include <string>

class InstallSettings {
public:
    explicit InstallSettings(const char* chunkTag);

    void setInstallInfo(const char* registryKey, const char* notInstalledMessage);
    void setDialogInfo(const char* dialogFileName, const char* dialogFilter);

    // Each getter answers a copy that the caller owns.
    std::string getRegistryKey() const { return registryKey; }
    std::string getNotInstalledMessage() const { return notInstalledMessage; }
    std::string getMarkerDir() const { return markerDir; }
    std::string getDialogFileName() const { return dialogFileName; }
    std::string getDialogFilter() const { return dialogFilter; }
    std::string getSaveDir() const { return saveDir; }
    std::string getControlMidiPath() const { return controlMidiPath; }
    std::string getPathSeparator() const { return pathSeparator; }
    std::string getCacheFileName() const { return cacheFileName; }
    std::string getSessionFileName() const { return sessionFileName; }
    std::string getRunningPrefix() const { return runningPrefix; }
    std::string getModifiedPrefix() const { return modifiedPrefix; }
    std::string getChunkTag() const { return chunkTag; }

private:
    std::string registryKey;
    std::string notInstalledMessage;
    std::string markerDir;
    std::string dialogFileName;
    std::string dialogFilter;
    std::string saveDir;
    std::string controlMidiPath;
    std::string pathSeparator;
    std::string cacheFileName;
    std::string sessionFileName;
    std::string runningPrefix;
    std::string modifiedPrefix;
    std::string chunkTag;  // exactly four characters, written without terminator
};
