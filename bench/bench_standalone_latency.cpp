// Latency of the standalone program: from a MIDI note-on entering the input (as a
// device's driver delivers it) to the first sounding frame of the note in the stream
// the DirectSound buffer plays, at the default latency and at the smallest the back end
// accepts. The installed plug-in plays; run under wine with a 64- or 32-bit build to match
// the loader, on a sound device: bench/run-standalone-latency runs it on one whose play
// cursor moves in real time and on one that runs fast in large steps.
//
// The figures are split in the device's share and the program's. The device's: the frames
// between its play and write cursors (taken by the device, never ours to change), and when
// its play cursor moves in steps larger than the latency, the frames the poll must keep
// queued beyond the setting so that no step overtakes them. The program's: the rest, from
// the note's entry to the first sounding frame written, which must not exceed the latency
// plus one 44-frame slice (the instrument's first slice of a note is silent).
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
    std::vector<long long> raises;   // the held latency beyond the setting when the note entered
    long long underruns = 0;         // while the notes played
    std::vector<long long> waiting;  // entry to where the next render lands, less the lead and the raise
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
    long long underruns = left->getUnderruns();
    for (int i = 0; i < notes; i++) {
        left->armFirstSound();
        Sleep(5);
        int lead = deviceLead(left);
        long long entry = left->getPlayPosition();
        long long landing = left->getWrittenPosition();
        int raise = left->getHeldLatency() - latency;
        MidiInDx::midiInProc(nullptr, MIM_DATA, (DWORD_PTR)&keyboard, 0x643C90, 0);
        DWORD start = GetTickCount();
        while (left->getFirstSound() < 0 && GetTickCount() - start < 2000) Sleep(1);
        if (left->getFirstSound() >= 0) {
            result.frames.push_back(left->getFirstSound() - entry);
            result.program.push_back(left->getFirstSound() - entry - lead);
            result.raises.push_back(raise);
            result.waiting.push_back(landing - entry - lead - raise);
            result.onsets.push_back(left->getFirstSound() - landing);
        }
        Sleep(150);
        MidiInDx::midiInProc(nullptr, MIM_DATA, (DWORD_PTR)&keyboard, 0x003C80, 0);
        Sleep(1200);  // the release dies away before the next note
    }
    result.underruns = left->getUnderruns() - underruns;
    app->shutdown();
    DestroyWindow(frame);
    return result;
}

long long worst(const std::vector<long long>& v) { return v.empty() ? -1 : *std::max_element(v.begin(), v.end()); }

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
        std::vector<long long> ours;
        for (size_t i = 0; i < result.program.size(); i++) ours.push_back(result.program[i] - result.raises[i]);
        long long limit = latency + 44;
        std::printf("latency %d frames, %zu notes; medians and worst cases in frames at 44.1 kHz:\n", latency,
                    result.frames.size());
        std::printf("  note-on to sound:       median %5lld (%5.1f ms), worst %5lld (%5.1f ms)\n",
                    median(result.frames), median(result.frames) / 44.1, worst(result.frames),
                    worst(result.frames) / 44.1);
        std::printf("  the program's share:    median %5lld (%5.1f ms), worst %5lld (%5.1f ms); limit %lld "
                    "(latency + one slice): %s\n",
                    median(ours), median(ours) / 44.1, worst(ours), worst(ours) / 44.1, limit,
                    worst(ours) <= limit ? "met" : "exceeded");
        std::printf("    waiting for the render median %lld, worst %lld; the render to the first sounding frame "
                    "median %lld, worst %lld (the instrument alone, slice-aligned: %lld)\n",
                    median(result.waiting), worst(result.waiting),
                    median(result.onsets), worst(result.onsets), result.instrumentOnset);
        std::printf("  the device's share:     write-cursor lead median %lld; raise to the latency it can hold "
                    "median %lld, largest %lld (held %lld)\n",
                    median(result.leads), median(result.raises), worst(result.raises),
                    latency + median(result.raises));
        std::printf("    its play cursor moves median %lld, largest %lld frames at once, %.0f frames a second "
                    "(%zu moves in 300 ms); underruns while the notes played: %lld\n",
                    median(result.steps), worst(result.steps), result.framesPerSecond, result.steps.size(),
                    result.underruns);
    }
    return 0;
}
