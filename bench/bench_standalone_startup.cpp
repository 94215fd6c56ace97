// Start-up of the standalone program as a musician meets it: from starting the program to a
// playing instrument (its frame shown with the editor, the instrument loaded, audio running
// on the first DirectSound device, a note accepted from the MIDI seam), and to its clean end.
// Medians over the runs, in a temporary installation.
//   bench_standalone_startup.exe [runs=10]
#include <windows.h>
#include <dsound.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "standalone/program_run.h"
#include "standalone/standalone_fixture.h"

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    StandaloneInstall setup(10, true, false);
    std::string device = firstSoundDevice();
    HKEY key;
    if (!device.empty() && RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn\\Settings", 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "protocol", 0, REG_SZ, (const BYTE*)"Direct X", 9);
        RegSetValueExA(key, "driver", 0, REG_SZ, (const BYTE*)device.c_str(), (DWORD)device.size() + 1);
        RegCloseKey(key);
    }
    std::printf("audio: %s\n", device.empty() ? "no DirectSound device (silent start)" : device.c_str());

    std::vector<double> toPlaying, toEnd;
    for (int run = 0; run < runs; run++) {
        ProgramRun program;
        double start = now();
        if (!program.start()) return 1;
        HWND frame = program.waitFrame("Halvorn", 60);
        if (!frame || !sendMidi(frame, {0x643C90u})) {
            std::fprintf(stderr, "run %d: the program did not come up\n", run);
            return 1;
        }
        toPlaying.push_back(now() - start);
        sendMidi(frame, {0x3C80u});
        if (!program.close(frame, 60)) return 1;
        toEnd.push_back(now() - start);
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn");
    std::printf("start to a playing instrument: median %.3f s (min %.3f, max %.3f) over %d runs\n", median(toPlaying),
                *std::min_element(toPlaying.begin(), toPlaying.end()),
                *std::max_element(toPlaying.begin(), toPlaying.end()), runs);
    std::printf("start to a clean end:          median %.3f s\n", median(toEnd));
    return 0;
}
