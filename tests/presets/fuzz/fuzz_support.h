// A temporary installation for one fuzzing process, and the input written into it as a
// file the store then reads like any other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "presets/install_settings.h"
#include "presets/native_file_io.h"

namespace fuzz {

inline const std::string& installDir() {
    // Never destroyed: the clean-up at exit still reads it.
    static const std::string* dir = [] {
        std::string path =
            (std::filesystem::temp_directory_path() / ("halvorn-fuzz-" + std::to_string(getpid()))).string();
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path + "/save/P0/B0/I0");
        std::ofstream(path + "/save/controlMidi");
        std::ofstream(path + "/save/P0/NomPreset") << "Bank";
        std::ofstream(path + "/save/P0/B0/NomBanque") << "Sub";
        std::ofstream(path + "/save/P0/B0/I0/NomInstrument") << "Preset";
        std::ofstream(path + "/save/P0/B0/I0/Parametres");
        setNativeInstallDir(path);
        std::atexit([] { std::filesystem::remove_all(installDir()); });
        return new std::string(path);
    }();
    return *dir;
}

inline InstallSettings& settings() {
    static InstallSettings installSettings("VEXA");
    return installSettings;
}

// Writes the input as the file name under the installation; answers its relative path.
inline std::string writeInput(const char* name, const uint8_t* data, size_t size) {
    std::ofstream out(installDir() + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), (std::streamsize)size);
    return name;
}

}  // namespace fuzz
