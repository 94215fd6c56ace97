// The installation directory of the native plug-in harness: named by the environment
// variable HALVORN_INSTALL_DIR in place of the registry; paths inside it take '/'.
#include "presets/install_dir.h"

#include <algorithm>
#include <cstdlib>

#include "presets/install_settings.h"

std::string readInstallDir(const InstallSettings&) {
    const char* dir = std::getenv("HALVORN_INSTALL_DIR");
    std::string result = dir ? dir : "";
    while (!result.empty() && result.back() == '/') result.pop_back();
    return result;
}

FILE* openInstallFile(const InstallSettings& settings, const std::string& relativePath, const char* mode) {
    std::string dir = readInstallDir(settings);
    if (dir.empty()) return nullptr;
    std::string relative = relativePath;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return std::fopen((dir + "/" + relative).c_str(), mode);
}
