// Cost of the whole instrument as a host runs it: the built plug-in loaded through the test
// host, a temporary installation, eight notes of the default program held and struck again
// every second, two minutes rendered in host blocks of 512 frames. With "--moving" a
// learned controller sweeps two parameters in every block, as a musician riding a fader.
//
//   bench_controllers [path of Halvorn.dll] [--moving]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/halvorn.h"
#include "host/test_host.h"

int main(int argc, char** argv) {
    std::string path = TestHost::pluginPath(10);
    bool moving = false;
    for (int n = 1; n < argc; n++) {
        if (!std::strcmp(argv[n], "--moving"))
            moving = true;
        else
            path = argv[n];
    }
    TestInstall install;
    TestHost host;
    if (!host.load(path)) {
        std::fprintf(stderr, "cannot load %s\n", path.c_str());
        return 1;
    }
    AEffect* fx = host.create();
    if (!fx) {
        std::fprintf(stderr, "no instance\n");
        return 1;
    }
    if (moving) {
        VstInstInterface* instrument = static_cast<Halvorn*>(static_cast<AudioEffect*>(fx->object));
        instrument->setMidiCC(6, 20);   // CUTOFF_LOW1 of patch 0
        instrument->setMidiCC(30, 20);  // CUTOFF_LOW2 of patch 0
    }
    host.dispatch(effMainsChanged, 0, 1);
    const int kBlock = 512, kSeconds = 120, kRate = 44100;
    const int notes[8] = {48, 52, 55, 59, 60, 64, 67, 71};
    std::vector<std::vector<float>> buffers(10, std::vector<float>(kBlock));
    float* outputs[10];
    for (int c = 0; c < 10; c++) outputs[c] = buffers[(size_t)c].data();
    double peak = 0;
    auto start = std::chrono::steady_clock::now();
    int blocks = kSeconds * kRate / kBlock;
    for (int b = 0; b < blocks; b++) {
        if (b % (kRate / kBlock) == 0)
            for (int n : notes) host.sendMidi(0x90, (unsigned char)n, 100);
        if (moving) host.sendMidi(0xB0, 20, (unsigned char)(64 + 60 * std::sin(b * 0.05)));
        fx->processReplacing(fx, nullptr, outputs, kBlock);
        for (float x : buffers[0]) peak = std::fmax(peak, std::fabs((double)x));
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %d s of audio in %.3f s (%.1f x real time), peak %.3f\n", moving ? "moving" : "still", kSeconds,
                seconds, kSeconds / seconds, peak);
    host.close();
    return 0;
}
