// The time a host waits for an instance of the built plug-in on a copy of the factory
// installation: construction builds the shared preset tree, reads the MIDI control file,
// loads the first preset, saves it back and loads the start preset.
//
//   bench_construct cold|warm [constructions=20]
//
// cold: no tree cache, as after a session that did not end cleanly: the tree is built by
//       probing the preset directories (and the cache written on the way).
// warm: the cache and the session marker that a clean session leaves: the tree is read
//       from the cache.
// Each construction is the only instance of the process, so each builds the tree anew, and
// its destruction writes the cache again. Prints the median construction time measured
// inside the process; the process as a whole runs the chosen mode `constructions` times.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/test_host.h"

int main(int argc, char** argv) {
    const bool warm = argc > 1 && std::strcmp(argv[1], "warm") == 0;
    if (argc < 2 || (!warm && std::strcmp(argv[1], "cold") != 0)) {
        std::fprintf(stderr, "usage: bench_construct cold|warm [constructions]\n");
        return 2;
    }
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    TestInstall install;
    TestHost host;
    if (!host.load(TestHost::pluginPath(10))) return 1;
    // One start and end first, so the cache of this installation exists.
    if (!host.create()) return 1;
    host.close();

    std::vector<double> times;
    for (int i = 0; i < count; i++) {
        if (warm)
            install.writeFile("session.dat", "");
        else
            install.removeFile("wqnt.dat");
        const auto start = std::chrono::steady_clock::now();
        AEffect* effect = host.create();
        const auto end = std::chrono::steady_clock::now();
        if (!effect) return 1;
        host.close();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%s construction: median %.2f ms, fastest %.2f ms, slowest %.2f ms over %d\n", warm ? "warm" : "cold",
                times[times.size() / 2], times.front(), times.back(), count);
    return 0;
}
