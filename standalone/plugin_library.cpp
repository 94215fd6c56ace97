#include "plugin_library.h"

#include <cstdio>

namespace {
std::vector<InstalledInstrument> instruments;

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// A library name is a bare file name: anything that could climb out of the installation
// directory is refused.
bool isBareName(const std::string& name) {
    return !name.empty() && name.find_first_of("\\/:") == std::string::npos && name != "." && name != "..";
}
}  // namespace

int scanInstalledInstruments() {
    instruments.clear();
    HKEY root;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantrope", 0, KEY_READ, &root) != ERROR_SUCCESS) return 0;
    for (DWORD i = 0;; i++) {
        char name[256];
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(root, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY key;
        if (RegOpenKeyExA(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        char dir[261] = {0};
        DWORD size = 260;
        DWORD type = 0;
        if (RegQueryValueExA(key, "installdir", nullptr, &type, (BYTE*)dir, &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            dir[size < 260 ? size : 260] = 0;
            InstalledInstrument entry;
            entry.installDir = dir;
            entry.name = equalIgnoringCase(name, "Halvorn") ? std::string("Halvorn") : std::string(name);
            instruments.push_back(entry);
        }
        RegCloseKey(key);
    }
    RegCloseKey(root);
    return (int)instruments.size();
}

const std::vector<InstalledInstrument>& installedInstruments() { return instruments; }

const InstalledInstrument* findInstalledInstrument(const std::string& name) {
    for (const InstalledInstrument& entry : instruments)
        if (equalIgnoringCase(entry.name, name)) return &entry;
    return instruments.empty() ? nullptr : &instruments.front();
}

PluginLibrary::PluginLibrary(const InstalledInstrument* instrument, const std::string& libraryName) {
    if (!instrument) return;
    // The library is loaded by its absolute path, and its own dependencies are searched
    // beside it: the process's current directory is never changed, since the plug-ins
    // of other windows may be in a file operation on another thread.
    std::string dir = instrument->installDir;
    while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
    std::string path = dir + "\\" + libraryName + ".dll";
    DWORD error = ERROR_FILE_NOT_FOUND;
    if (isBareName(libraryName) && !dir.empty() && path.size() < MAX_PATH) {
        module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) error = GetLastError();
    }
    if (module) {
        entry = (PluginEntry)(void*)GetProcAddress(module, "main");
        return;
    }
    char title[32];
    std::snprintf(title, sizeof(title), "%d", (int)error);
    MessageBoxA(nullptr, "Could not load dll", title, MB_OK);
}
