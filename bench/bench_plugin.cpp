// Cost of the instrument as a host plays it: the built plug-in driven through its AEffect
// (the 10-output library loaded by the test host on Windows, the same code linked natively
// on Linux for profiling), for the default program and for a rich patch (8 parts x 4 voices,
// voice template 0 on both lines of every patch: sawtooth through high-pass and low-pass),
// with 0 and 32 held notes, in host blocks of 64 and 512 frames; and the construction time
// of one instance.
//
// Each figure is the median over repetitions of the rendering thread's processor time for
// the audio (see threadProcessorSeconds); notes 36, 38, ... at velocity 100 start in the first block, one second plays
// before the timing. The cost per voice-sample is marginal: (32 notes - 0 notes) / 32.
//
//   bench_plugin [seconds] [repetitions] [blocks...] [default|rich]
//
// A patch named among the arguments plays alone with its 32 notes, without the idle run
// and the construction times: a profile then shows the voices' cost.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/builtin_sounds.h"
#include "core/parameter_table.h"
#include "core/program_record.h"
#include "processor_seconds.h"
#include "vst/aeffectx.h"

#ifdef _WIN32
#include "host/test_host.h"
#else
#include "core/create_effect.h"
#include "presets/native_file_io.h"
#endif

namespace {

const int kRate = 44100;
const int kVoicesPerPart = 2096;  // NBR_POLY_CARTE: voices per part - 1
const int kZone1Mode = 2064;      // ZONE1_MODE

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// One instance of the plug-in, created the way a host creates it.
class Instance {
public:
    Instance() {
#ifdef _WIN32
        if (host.load(TestHost::pluginPath(10))) fx = host.create("VSTPluginMain");
#else
        AudioEffect* effect = createEffectInstance(hostCallback);
        fx = effect ? effect->getAeffect() : nullptr;
#endif
    }
    ~Instance() {
#ifdef _WIN32
        if (fx) host.close();
#else
        if (fx) fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.f);
#endif
    }
    AEffect* effect() const { return fx; }
    // The test host records every call of the plug-in (one or more per block); a host does
    // not, so the record is emptied between seconds rather than grown through the run.
    void forgetHostCalls() {
#ifdef _WIN32
        host.calls.clear();
#endif
    }

private:
#ifdef _WIN32
    TestHost host;
#else
    static VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
        return opcode == audioMasterVersion ? 2400 : 0;
    }
#endif
    AEffect* fx = nullptr;
};

// The rich patch through the program chunk, as a host restores a saved song.
void richPatch(AEffect* fx) {
    void* data = nullptr;
    const VstIntPtr size = fx->dispatcher(fx, effGetChunk, 1, 0, &data, 0.f);
    if (size != (VstIntPtr)sizeof(ProgramRecord) || !data) return;
    ProgramRecord* record = new ProgramRecord;
    std::memcpy(record, data, sizeof(ProgramRecord));
    for (int patch = 0; patch < 8; ++patch)
        for (int line = 0; line < 2; ++line) writeVoiceTemplate(record->patches[patch].lines[line], line, 0);
    writeParameter(*record, kVoicesPerPart, 3.f);
    writeParameter(*record, kZone1Mode, 1.f);
    fx->dispatcher(fx, effSetChunk, 1, (VstIntPtr)sizeof(ProgramRecord), record, 0.f);
    delete record;
}

struct Figures {
    double secondsPerAudioSecond;
    float peak;
};

Figures play(bool rich, int notes, int block, int seconds, int repetitions) {
    Instance instance;
    AEffect* fx = instance.effect();
    if (!fx) {
        std::fprintf(stderr, "the plug-in did not start\n");
        std::exit(1);
    }
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, (float)kRate);
    fx->dispatcher(fx, effSetBlockSize, 0, block, nullptr, 0.f);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.f);
    if (rich) richPatch(fx);

    std::vector<std::vector<float>> buffers(fx->numOutputs, std::vector<float>(block));
    std::vector<float*> outputs(fx->numOutputs);
    for (int c = 0; c < fx->numOutputs; ++c) outputs[c] = buffers[c].data();
    auto render = [&]() { fx->processReplacing(fx, nullptr, outputs.data(), block); };

    std::vector<VstMidiEvent> events(notes);
    std::vector<char> list(sizeof(VstEvents) + sizeof(VstEvent*) * (notes > 2 ? notes : 2));
    VstEvents* eventList = reinterpret_cast<VstEvents*>(list.data());
    eventList->numEvents = notes;
    for (int n = 0; n < notes; ++n) {
        std::memset(&events[n], 0, sizeof(VstMidiEvent));
        events[n].type = kVstMidiType;
        events[n].byteSize = sizeof(VstMidiEvent);
        events[n].midiData[0] = (char)0x90;
        events[n].midiData[1] = (char)(36 + 2 * n);
        events[n].midiData[2] = 100;
        eventList->events[n] = reinterpret_cast<VstEvent*>(&events[n]);
    }
    if (notes > 0) fx->dispatcher(fx, effProcessEvents, 0, 0, eventList, 0.f);

    const int perSecond = kRate / block;
    for (int b = 0; b < perSecond; ++b) render();
    instance.forgetHostCalls();
    std::vector<double> costs;
    float peak = 0.f;
    // Each repetition plays at least `seconds` of audio and on until the thread's clock has
    // moved a hundred of its steps, so that its resolution stays below 1%.
    for (int r = 0; r < repetitions; ++r) {
        const double start = threadProcessorSeconds();
        int played = 0;
        do {
            for (int b = 0; b < perSecond; ++b) render();
            instance.forgetHostCalls();
            ++played;
        } while (played < seconds || threadProcessorSeconds() - start < 100 * kThreadClockStep);
        const double audio = (double)perSecond * played * block / kRate;
        costs.push_back((threadProcessorSeconds() - start) / audio);
        for (float x : buffers[0]) peak = std::max(peak, std::fabs(x));
    }
    return {median(costs), peak};
}

// The first instance of a process, then the median of `count` more.
double constructionMs(int count, double* first) {
    std::vector<double> times;
    for (int i = 0; i <= count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        {
            Instance instance;
            if (!instance.effect()) std::exit(1);
            times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
    }
    *first = times[0];
    times.erase(times.begin());
    return median(times);
}

#ifndef _WIN32
// The plug-in joins the control file's path with the Windows separator; natively that is
// one file name inside the installation's parent folder. A copy under that name lets the
// harness start from a plain copy of the factory tree.
void provideControlFile(const std::string& dir) {
    const std::string windowsName = dir + "\\save\\controlMidi";
    if (FILE* existing = std::fopen(windowsName.c_str(), "rb")) {
        std::fclose(existing);
        return;
    }
    FILE* from = std::fopen((dir + "/save/controlMidi").c_str(), "rb");
    if (!from) return;
    if (FILE* to = std::fopen(windowsName.c_str(), "wb")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, from)) > 0) std::fwrite(buffer, 1, got, to);
        std::fclose(to);
    }
    std::fclose(from);
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    TestInstall install;
#else
    const char* dir = std::getenv("HALVORN_INSTALL_DIR");
    if (!dir) {
        std::fprintf(stderr, "HALVORN_INSTALL_DIR must name an installation (a copy of the factory folder the build writes)\n");
        return 2;
    }
    provideControlFile(dir);
    setNativeInstallDir(dir);
#endif
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::vector<int> blocks;
    int onlyPatch = -1;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "default") == 0)
            onlyPatch = 0;
        else if (std::strcmp(argv[i], "rich") == 0)
            onlyPatch = 1;
        else
            blocks.push_back(std::max(1, std::atoi(argv[i])));
    }
    if (blocks.empty()) blocks = {64, 512};

    if (onlyPatch < 0) {
        double first = 0.0;
        const double later = constructionMs(5, &first);
        std::printf("construction of an instance: first %.1f ms, later ones %.1f ms (median of 5)\n", first, later);
    }
    std::printf("%-16s %5s %6s %10s %12s %14s %8s\n", "patch", "block", "notes", "rtf", "ns/sample", "ns/voice-smp",
                "peak");
    for (int rich = 0; rich < 2; ++rich) {
        if (onlyPatch >= 0 && rich != onlyPatch) continue;
        for (int block : blocks) {
            double idle = 0.0;
            for (int notes : {0, 32}) {
                if (onlyPatch >= 0 && notes == 0) continue;
                const Figures f = play(rich != 0, notes, block, seconds, repetitions);
                const double nsPerSample = f.secondsPerAudioSecond * 1e9 / kRate;
                char marginal[32] = "-";
                if (notes == 0)
                    idle = nsPerSample;
                else if (onlyPatch < 0)
                    std::snprintf(marginal, sizeof marginal, "%.1f", (nsPerSample - idle) / notes);
                std::printf("%-16s %5d %6d %10.1f %12.1f %14s %8.3f\n", rich ? "rich-8x4" : "default", block, notes,
                            1.0 / f.secondsPerAudioSecond, nsPerSample, marginal, f.peak);
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
