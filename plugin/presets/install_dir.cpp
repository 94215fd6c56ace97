#include "presets/install_dir.h"

#include <windows.h>

#include "presets/install_settings.h"

std::string readInstallDir(const InstallSettings& settings) {
    HKEY key;
    std::string keyName = settings.getRegistryKey();
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::string();
    char buffer[MAX_PATH + 1] = {0};
    DWORD size = MAX_PATH;
    DWORD type = 0;
    LONG result = RegQueryValueExA(key, "installdir", nullptr, &type, (BYTE*)buffer, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    buffer[MAX_PATH] = 0;
    std::string dir(buffer);
    while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
    return dir;
}

FILE* openInstallFile(const InstallSettings& settings, const std::string& relativePath, const char* mode) {
    std::string dir = readInstallDir(settings);
    if (dir.empty()) return nullptr;
    std::string path = dir + settings.getPathSeparator() + relativePath;
    if (path.size() >= MAX_PATH) return nullptr;  // refused, never truncated
    return std::fopen(path.c_str(), mode);
}
