// The time a host waits for an instance of the plug-in on a copy of the factory
// installation: construction builds the shared preset tree, reads the MIDI control file,
// loads the first preset, saves it back and loads the start preset.
//
//   bench_construct cold|warm [constructions=20] [beside]
//
// cold: no tree cache, as after a session that did not end cleanly: the tree is built by
//       probing the preset directories (and the cache written on the way).
// warm: the cache and the session marker that a clean session leaves: the tree is read
//       from the cache.
// Each construction is the only instance of the process, so each builds the tree anew, and
// its destruction writes the cache again. Prints the median construction time measured
// inside the process (natively also the thread's processor time), and for cold runs the
// process's first construction, which also builds the step tables.
//
// On Windows the built library through the test host in a temporary installation. On Linux
// the same plug-in code linked natively, on the installation HALVORN_INSTALL_DIR names (a
// copy of the factory folder the build writes, as for bench_plugin).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "processor_seconds.h"

#ifdef _WIN32
#include <windows.h>

#include "host/test_host.h"
#else
#include <filesystem>
#include <fstream>

#include "core/create_effect.h"
#include "presets/native_file_io.h"
#include "vst/aeffectx.h"
#endif

namespace {

#ifdef _WIN32
class Installation {
public:
    bool ready() { return host.load(TestHost::pluginPath(10)); }
    void removeFile(const char* name) { install.removeFile(name); }
    void writeFile(const char* name) { install.writeFile(name, ""); }
    bool create() { return host.create() != nullptr; }
    void close() { host.close(); }
    bool openBeside() { return beside.load(TestHost::pluginPath(10)) && beside.create() != nullptr; }
    void closeBeside() { beside.close(); }

private:
    TestInstall install;
    TestHost host;
    TestHost beside;
};
#else
class Installation {
public:
    bool ready() {
        const char* named = std::getenv("HALVORN_INSTALL_DIR");
        if (!named) {
            std::fprintf(stderr, "HALVORN_INSTALL_DIR must name an installation (a copy of the factory folder)\n");
            return false;
        }
        dir = named;
        setNativeInstallDir(dir);
        // The control file's path is joined with the Windows separator: natively one file
        // name beside the installation.
        std::error_code error;
        std::filesystem::copy_file(dir + "/save/controlMidi", dir + "\\save\\controlMidi",
                                   std::filesystem::copy_options::skip_existing, error);
        return true;
    }
    void removeFile(const char* name) { std::remove((dir + "/" + name).c_str()); }
    void writeFile(const char* name) { std::ofstream(dir + "/" + name); }
    bool create() { return (fx = newEffect()) != nullptr; }
    void close() { closeEffect(&fx); }
    bool openBeside() { return (beside = newEffect()) != nullptr; }
    void closeBeside() { closeEffect(&beside); }

private:
    static VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
        return opcode == audioMasterVersion ? 2400 : 0;
    }
    static AEffect* newEffect() {
        AudioEffect* effect = createEffectInstance(hostCallback);
        return effect ? effect->getAeffect() : nullptr;
    }
    static void closeEffect(AEffect** effect) {
        if (*effect) (*effect)->dispatcher(*effect, effClose, 0, 0, nullptr, 0.f);
        *effect = nullptr;
    }
    std::string dir;
    AEffect* fx = nullptr;
    AEffect* beside = nullptr;
};
#endif

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const bool warm = argc > 1 && std::strcmp(argv[1], "warm") == 0;
    if (argc < 2 || (!warm && std::strcmp(argv[1], "cold") != 0)) {
        std::fprintf(stderr, "usage: bench_construct cold|warm [constructions] [beside]\n");
        return 2;
    }
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    // beside: another instance stays open meanwhile, as when a song adds an instrument; the
    // preset tree and the libraries it binds are then shared, not built anew.
    const bool beside = argc > 3 && std::strcmp(argv[3], "beside") == 0;
    Installation install;
    if (!install.ready()) return 1;
    if (beside && !install.openBeside()) return 1;

    // Warm starts need this installation's cache: one start and end leave it. A cold run's
    // first construction is the process's first, which also builds the step tables.
    if (warm) {
        if (!install.create()) return 1;
        install.close();
    }
    std::vector<double> times, processor;
    for (int i = 0; i < count; i++) {
        if (warm)
            install.writeFile("session.dat");
        else
            install.removeFile("wqnt.dat");
        const auto start = std::chrono::steady_clock::now();
        const double startProcessor = processorSeconds();
        if (!install.create()) return 1;
        processor.push_back((processorSeconds() - startProcessor) * 1e3);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        install.close();
    }
    if (beside) install.closeBeside();
    std::printf("%s%s construction: median %.2f ms, fastest %.2f ms, slowest %.2f ms over %d", warm ? "warm" : "cold",
                beside ? " (beside an open instance)" : "", median(times), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), count);
    if (!warm && !beside) std::printf("; the process's first %.2f ms", times[0]);
#ifndef _WIN32
    std::printf("; processor time: median %.2f ms", median(processor));
    if (!warm && !beside) std::printf(", first %.2f ms", processor[0]);
#endif
    std::printf("\n");
    return 0;
}
