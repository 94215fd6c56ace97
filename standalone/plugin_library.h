// The instruments installed on the machine (subkeys of HKLM "SOFTWARE\Vantrope" with an
// "installdir" value) and the loading of an instrument's plug-in library from its
// installation directory.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "vst/aeffectx.h"

struct InstalledInstrument {
    std::string installDir;
    std::string name;
};

// Fills the process-wide list in the registry's order; answers its size.
int scanInstalledInstruments();
const std::vector<InstalledInstrument>& installedInstruments();
// The first entry whose name equals the given one ignoring case, else the first entry;
// none when nothing is installed.
const InstalledInstrument* findInstalledInstrument(const std::string& name);

typedef AEffect*(VSTCALLBACK* PluginEntry)(audioMasterCallback);

// The loaded library of one instrument. The library itself is never unloaded: a render
// or the plug-in's own threads may still run its code when the instrument closes.
class PluginLibrary {
public:
    // Loads "<installation directory>\<library name>.dll"; when it does not load, says so
    // in a message box ("Could not load dll", titled with the Windows error number).
    PluginLibrary(const InstalledInstrument* instrument, const std::string& libraryName);

    HMODULE getModule() const { return module; }
    PluginEntry getEntry() const { return entry; }

private:
    HMODULE module = nullptr;
    PluginEntry entry = nullptr;
};
