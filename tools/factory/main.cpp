// Writes the files that an installation brings (the "save" tree with the factory bank and
// the MIDI control file) into a directory, which must not hold a preset tree yet.
#include <cstdio>
#include <filesystem>
#include <string>

#include "factory/factory_writer.h"
#include "presets/install_settings.h"
#include "presets/native_file_io.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s INSTALLATION_DIR\n", argv[0]);
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(argv[1], error);
    const std::string dir = std::filesystem::absolute(argv[1], error).string();
    setNativeInstallDir(dir);
    InstallSettings settings("VEXA");
    settings.setInstallInfo("Software\\Vantrope\\Halvorn", "Your Halvorn is not correcty installed");
    settings.setDialogInfo(".ays", "Halvorn Preset File (*.ays)|*.ays||");
    std::string failure;
    if (writeFactoryInstallation(&settings, &failure) != 0) {
        std::fprintf(stderr, "%s: %s\n", dir.c_str(), failure.c_str());
        return 1;
    }
    return 0;
}
