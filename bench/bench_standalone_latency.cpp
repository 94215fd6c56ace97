// Latency of the standalone program: from a MIDI note-on entering the input (as a
// device's driver delivers it) to the first sounding frame of the note in the stream
// the DirectSound buffer plays, at the default latency and at the smallest the back end
// accepts. The installed plug-in plays; run under wine with an ALSA device (a null device
// will do) and a 64- or 32-bit build to match the loader.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "application.h"
#include "dx_manager.h"
#include "host/test_host.h"

namespace {

struct Result {
    std::vector<long long> frames;   // note-on to sound
    std::vector<long long> program;  // the same without the device's write-cursor lead
    std::vector<long long> queued;   // our frames beyond the write cursor when the note entered
    std::vector<long long> waiting;  // entry to the frame where the next render lands, less the lead
    std::vector<long long> onsets;   // from that frame to the note's first sounding frame
    long long instrumentOnset = -1;  // the same, rendered straight through the facade
    std::vector<long long> steps;    // how far the play cursor moves at once
    std::vector<long long> leads;    // the write cursor's lead over the play cursor
    double framesPerSecond = 0;      // how fast the play cursor runs against the wall clock
};

long long median(std::vector<long long> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Watches the device's cursors for a while: the size of the play cursor's steps and the
// write cursor's lead tell what of the latency is the device's own granularity.
void watchCursors(DXAudioOut* out, Result& result) {
    DWORD last = 0, write = 0;
    out->getSecondaryBuffer()->GetCurrentPosition(&last, &write);
    LARGE_INTEGER frequency, begin, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    long long moved = 0;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 300) {
        DWORD play = 0;
        out->getSecondaryBuffer()->GetCurrentPosition(&play, &write);
        if (play != last) {
            result.steps.push_back((long long)((play / 4 - last / 4 + 8800) % 8800));
            result.leads.push_back((long long)((write / 4 - play / 4 + 8800) % 8800));
            moved += result.steps.back();
            last = play;
        }
        Sleep(0);
    }
    QueryPerformanceCounter(&now);
    result.framesPerSecond = moved * (double)frequency.QuadPart / (double)(now.QuadPart - begin.QuadPart);
}

// Frames between the device's play and write cursors: what the device itself holds.
int deviceLead(DXAudioOut* out) {
    DWORD play = 0, write = 0;
    out->getSecondaryBuffer()->GetCurrentPosition(&play, &write);
    return (int)(((long long)write / 4 - (long long)play / 4 + 8800) % 8800);
}

// Frames from a note-on to the note's first frame that is not silent in 16 bits, rendered
// by the facade in slices with no device: the instrument's own share of the latency.
long long instrumentOnset(Application* app, MidiInDx& keyboard) {
    std::vector<float> left(44), right(44);
    float* outputs[2] = {left.data(), right.data()};
    long long onset = -1;
    MidiInDx::midiInProc(nullptr, MIM_DATA, (DWORD_PTR)&keyboard, 0x643C90, 0);
    for (long long frame = 0; frame < 44100 && onset < 0; frame += 44) {
        std::fill(left.begin(), left.end(), 0.f);
        std::fill(right.begin(), right.end(), 0.f);
        app->render(nullptr, 0, outputs, 2, 44);
        for (int i = 0; i < 44 && onset < 0; i++)
            if ((int)(left[i] * 32767.f) != 0 || (int)(right[i] * 32767.f) != 0) onset = frame + i;
    }
    MidiInDx::midiInProc(nullptr, MIM_DATA, (DWORD_PTR)&keyboard, 0x003C80, 0);
    for (int i = 0; i < 3 * 44100 / 44; i++) app->render(nullptr, 0, outputs, 2, 44);
    return onset;
}

Result measure(int latency, int notes) {
    Result result;
    HWND frame = CreateWindowA("STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    Application* app = Application::instance();
    app->init(frame);
    int slot = app->loadInstrument("Halvorn");
    if (slot < 0 || app->getDriverCount() < 1) {
        std::printf("no instrument (%d) or no sound device (%d)\n", slot, app->getDriverCount());
        app->shutdown();
        return result;
    }
    MidiInDx keyboard(0, "Keyboard", app->getMidi());
    result.instrumentOnset = instrumentOnset(app, keyboard);
    app->setLatency(latency);
    app->selectDriver(0);
    DXAudioOut* left = (DXAudioOut*)((DXManager*)app->getAudio()->current())->getOutput(0);
    Sleep(300);
    watchCursors(left, result);
    for (int i = 0; i < notes; i++) {
        left->armFirstSound();
        Sleep(5);
        int lead = deviceLead(left);
        long long entry = left->getPlayPosition();
        result.queued.push_back(left->getQueuedFrames());
        long long landing = left->getWrittenPosition();
        MidiInDx::midiInProc(nullptr, MIM_DATA, (DWORD_PTR)&keyboard, 0x643C90, 0);
        DWORD start = GetTickCount();
        while (left->getFirstSound() < 0 && GetTickCount() - start < 2000) Sleep(1);
        if (left->getFirstSound() >= 0) {
            result.frames.push_back(left->getFirstSound() - entry);
            result.program.push_back(left->getFirstSound() - entry - lead);
            result.waiting.push_back(landing - entry - lead);
            result.onsets.push_back(left->getFirstSound() - landing);
        }
        Sleep(150);
        MidiInDx::midiInProc(nullptr, MIM_DATA, (DWORD_PTR)&keyboard, 0x003C80, 0);
        Sleep(1200);  // the release dies away before the next note
    }
    app->shutdown();
    DestroyWindow(frame);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    int notes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    TestInstall install;
    CopyFileA(TestHost::pluginPath(10).c_str(), install.path("Halvorn.dll").c_str(), FALSE);
    scanInstalledInstruments();
    for (int latency : {4400, 220}) {
        Result result = measure(latency, notes);
        if (result.frames.empty()) {
            std::printf("latency %d: no note was heard\n", latency);
            continue;
        }
        std::sort(result.frames.begin(), result.frames.end());
        std::sort(result.program.begin(), result.program.end());
        size_t middle = result.frames.size() / 2;
        std::printf("latency %4d frames (+ one 44-frame slice = %4d), %zu notes:\n"
                    "  note-on to sound: median %5lld frames (%.1f ms), worst %5lld (%.1f ms)\n"
                    "  of which the program's (without the device's write-cursor lead): median %5lld (%.1f ms), "
                    "worst %5lld (%.1f ms)\n",
                    latency, latency + 44, result.frames.size(), result.frames[middle], result.frames[middle] / 44.1,
                    result.frames.back(), result.frames.back() / 44.1, result.program[middle],
                    result.program[middle] / 44.1, result.program.back(), result.program.back() / 44.1);
        std::printf("  queued beyond the write cursor at entry: median %lld; play cursor step median %lld, "
                    "largest %lld; write-cursor lead median %lld (%zu cursor moves in 300 ms, %.0f frames a second)\n",
                    median(result.queued), median(result.steps),
                    result.steps.empty() ? -1 : *std::max_element(result.steps.begin(), result.steps.end()),
                    median(result.leads), result.steps.size(), result.framesPerSecond);
        std::printf("  the program's share: waiting for the render median %lld, worst %lld; note-on to its first "
                    "sounding frame in the stream median %lld, worst %lld (the instrument alone: %lld)\n",
                    median(result.waiting),
                    result.waiting.empty() ? -1 : *std::max_element(result.waiting.begin(), result.waiting.end()),
                    median(result.onsets),
                    result.onsets.empty() ? -1 : *std::max_element(result.onsets.begin(), result.onsets.end()),
                    result.instrumentOnset);
    }
    return 0;
}
