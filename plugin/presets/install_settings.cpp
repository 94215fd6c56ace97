#include "presets/install_settings.h"

static std::string orEmpty(const char* text) { return text ? std::string(text) : std::string(); }

InstallSettings::InstallSettings(const char* tag)
    : markerDir("."),
      saveDir("save"),
      controlMidiPath("save\\controlMidi"),
      pathSeparator("\\"),
      cacheFileName("wqnt.dat"),
      sessionFileName("session.dat"),
      runningPrefix("running"),
      modifiedPrefix("modified") {
    // The tag is always four bytes: a short one is padded with blanks.
    chunkTag = orEmpty(tag).substr(0, 4);
    chunkTag.resize(4, ' ');
}

void InstallSettings::setInstallInfo(const char* key, const char* message) {
    registryKey = orEmpty(key);
    notInstalledMessage = orEmpty(message);
}

void InstallSettings::setDialogInfo(const char* fileName, const char* filter) {
    dialogFileName = orEmpty(fileName);
    dialogFilter = orEmpty(filter);
}
