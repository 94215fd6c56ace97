#include "presets/install_dir.h"

#include "presets/file_io.h"
#include "presets/install_settings.h"
#include "presets/win_file_io.h"

std::string readInstallDir(const InstallSettings& settings) {
    std::string dir;
    return CWinFileIO::readInstallDir(settings, &dir) ? dir : std::string();
}

FILE* openInstallFile(const InstallSettings& settings, const std::string& relativePath, const char* mode) {
    std::string dir = readInstallDir(settings);
    if (dir.empty()) return nullptr;
    std::string path = dir + settings.getPathSeparator() + relativePath;
    if (path.size() >= kMaxPath) return nullptr;  // refused, never truncated
    return std::fopen(path.c_str(), mode);
}
