// Cost of building the shared preset tree at a start: by probing the numbered directories
// of 8 banks x 8 sub-banks x 32 presets (one name file opened per node), and by reading the
// tree cache after a clean session. Each mode builds the tree 20 times on an installation
// laid out once under the temporary directory (kept between runs).
//
//   bench_presets probe|cache
//
// Prints the mean time of one build in milliseconds as measured inside the process.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "presets/install_settings.h"
#include "presets/native_file_io.h"
#include "presets/preset_tree.h"

namespace fs = std::filesystem;

namespace {

const int kBanks = 8, kSubBanks = 8, kPresets = 32, kBuilds = 20;

void writeFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string layOut() {
    fs::path root = fs::temp_directory_path() / "halvorn-bench-presets";
    fs::path done = root / "laid-out";
    if (fs::exists(done)) return root.string();
    fs::remove_all(root);
    for (int a = 0; a < kBanks; a++) {
        fs::path bank = root / "save" / ("P" + std::to_string(a));
        fs::create_directories(bank);
        writeFile(bank / "NomPreset", "Bank" + std::to_string(a) + (a == 0 ? " FACTORY" : ""));
        for (int b = 0; b < kSubBanks; b++) {
            fs::path subBank = bank / ("B" + std::to_string(b));
            fs::create_directories(subBank);
            writeFile(subBank / "NomBanque", "Sub" + std::to_string(b));
            for (int c = 0; c < kPresets; c++) {
                fs::path preset = subBank / ("I" + std::to_string(c));
                fs::create_directories(preset);
                writeFile(preset / "NomInstrument", "Preset" + std::to_string(c));
                writeFile(preset / "Parametres", "VOLUME 5.000000e-001\n");
            }
        }
    }
    writeFile(root / "save" / "controlMidi", "");
    writeFile(done, "");
    return root.string();
}

}  // namespace

int main(int argc, char** argv) {
    bool cache = argc > 1 && std::strcmp(argv[1], "cache") == 0;
    std::string root = layOut();
    setNativeInstallDir(root);
    InstallSettings settings("VEXA");
    // A build by probing writes the cache that the cache mode reads (every build by
    // probing writes it anew, so it stays in step with the directories).
    if (!fs::exists(fs::path(root) / "wqnt.dat")) PresetTree first(&settings);
    double total = 0;
    int presets = 0;
    static std::vector<std::unique_ptr<PresetTree>> kept;
    for (int i = 0; i < kBuilds; i++) {
        // "session.dat" says the cache matches the directories; without it they are probed.
        if (cache) writeFile(fs::path(root) / "session.dat", "");
        auto start = std::chrono::steady_clock::now();
        auto tree = std::make_unique<PresetTree>(&settings);
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        presets = 0;
        for (int a = 0; a < tree->getNbBanks(); a++)
            for (int b = 0; b < tree->getNbSubBanks(a); b++) presets += tree->getNbPresets(a, b);
        // A tree's end probes again and rewrites the cache: kept out of the figures.
        tree->clear();
        kept.push_back(std::move(tree));
    }
    if (presets != kBanks * kSubBanks * kPresets) {
        std::fprintf(stderr, "the tree holds %d presets\n", presets);
        return 1;
    }
    std::printf("%s: %.3f ms per build of %d presets\n", cache ? "cache" : "probe", total / kBuilds, presets);
    std::fflush(stdout);
    std::_Exit(0);
}
