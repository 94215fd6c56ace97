#include "presets/native_file_io.h"

#include "presets/stdio_file_io.h"

namespace {
std::string& installDirectory() {
    static std::string dir;
    return dir;
}
}  // namespace

void setNativeInstallDir(const std::string& dir) { installDirectory() = dir; }

std::vector<ShownMessage>& nativeShownMessages() {
    static std::vector<ShownMessage> shown;
    return shown;
}

CCPFileIO* createFileIO(InstallSettings* settings) { return new StdioFileIO(settings, installDirectory()); }

// Nothing to bind natively.
void holdFileAccess() {}
void releaseFileAccess() {}

int32_t MessageDialog::show(int32_t, const char* caption, const char* text, const char*, const char*) {
    nativeShownMessages().push_back({caption ? caption : "", text ? text : ""});
    return 1;
}
