// Drives a running standalone program from outside, as a user and a MIDI keyboard would:
// waits for its window, plays MIDI into it through its MIDI seam, closes it; picks the
// first DirectSound device in its settings; turns a capture of wine's mix into a WAV file.
//   halvorn-remote sound-device
//   halvorn-remote wait TITLE SECONDS
//   halvorn-remote phrase TITLE
//   halvorn-remote close TITLE SECONDS
//   halvorn-remote wav CAPTURE.raw OUT.wav
#include <windows.h>
#include <dsound.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "standalone_remote.h"

namespace {

int soundDevice() {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn\\Settings", 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 1;
    char protocol[64] = {0};
    DWORD size = sizeof(protocol) - 1;
    if (RegQueryValueExA(key, "protocol", nullptr, nullptr, (BYTE*)protocol, &size) == ERROR_SUCCESS && protocol[0]) {
        std::printf("audio: the stored settings (%s)\n", protocol);
        RegCloseKey(key);
        return 0;
    }
    std::string device = firstSoundDevice();
    if (device.empty()) {
        std::printf("audio: no DirectSound device\n");
        RegCloseKey(key);
        return 1;
    }
    RegSetValueExA(key, "protocol", 0, REG_SZ, (const BYTE*)"Direct X", 9);
    RegSetValueExA(key, "driver", 0, REG_SZ, (const BYTE*)device.c_str(), (DWORD)device.size() + 1);
    RegCloseKey(key);
    std::printf("audio: DirectSound, %s\n", device.c_str());
    return 0;
}

int wait(const char* title, double seconds) {
    for (int i = 0; i < (int)(seconds * 20); i++) {
        if (findProgramWindow(title)) return 0;
        Sleep(50);
    }
    std::fprintf(stderr, "no window \"%s\"\n", title);
    return 1;
}

int close(const char* title, double seconds) {
    HWND window = findProgramWindow(title);
    if (!window) return 1;
    PostMessageA(window, WM_CLOSE, 0, 0);
    for (int i = 0; i < (int)(seconds * 20); i++) {
        if (!IsWindow(window)) return 0;
        Sleep(50);
    }
    return 1;
}

int phrase(const char* title) {
    HWND window = findProgramWindow(title);
    if (!window) return 1;
    // A rising arpeggio, then the chord held.
    const int keys[] = {60, 64, 67, 72};
    for (int key : keys) {
        sendMidi(window, {0x90u | (unsigned)key << 8 | 100u << 16});
        Sleep(250);
        sendMidi(window, {0x80u | (unsigned)key << 8});
    }
    sendMidi(window, {0x603C90u, 0x604090u, 0x604390u});
    Sleep(1200);
    sendMidi(window, {0x3C80u, 0x4080u, 0x4380u});
    Sleep(800);
    return 0;
}

void put32(FILE* file, uint32_t value) { std::fwrite(&value, 4, 1, file); }
void put16(FILE* file, uint16_t value) { std::fwrite(&value, 2, 1, file); }

// wine's mix as the ALSA file device keeps it (float32 stereo at 48 kHz) to 16-bit WAV,
// from the first sound on.
int wav(const char* rawPath, const char* wavPath) {
    FILE* raw = std::fopen(rawPath, "rb");
    if (!raw) return 1;
    std::vector<float> samples;
    float frame[2];
    bool sounding = false;
    while (std::fread(frame, sizeof(float), 2, raw) == 2) {
        if (!sounding && frame[0] == 0.f && frame[1] == 0.f) continue;
        sounding = true;
        samples.push_back(frame[0]);
        samples.push_back(frame[1]);
    }
    std::fclose(raw);
    FILE* file = std::fopen(wavPath, "wb");
    if (!file) return 1;
    uint32_t dataBytes = (uint32_t)samples.size() * 2;
    std::fwrite("RIFF", 1, 4, file);
    put32(file, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, file);
    put32(file, 16);
    put16(file, 1);
    put16(file, 2);
    put32(file, 48000);
    put32(file, 48000 * 4);
    put16(file, 4);
    put16(file, 16);
    std::fwrite("data", 1, 4, file);
    put32(file, dataBytes);
    double peak = 0.0;
    for (float sample : samples) {
        float clamped = sample > 1.f ? 1.f : (sample < -1.f ? -1.f : sample);
        if (std::fabs(clamped) > peak) peak = std::fabs(clamped);
        put16(file, (uint16_t)(int16_t)(clamped * 32767.f));
    }
    if (std::fclose(file) != 0) return 1;
    std::printf("recorded %.2f s, peak %.3f\n", samples.size() / 2 / 48000.0, peak);
    return samples.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "sound-device") return soundDevice();
    if (command == "wait" && argc > 3) return wait(argv[2], std::atof(argv[3]));
    if (command == "phrase" && argc > 2) return phrase(argv[2]);
    if (command == "close" && argc > 3) return close(argv[2], std::atof(argv[3]));
    if (command == "wav" && argc > 3) return wav(argv[2], argv[3]);
    std::fprintf(stderr, "usage: halvorn-remote sound-device | wait TITLE SECONDS | phrase TITLE | "
                         "close TITLE SECONDS | wav CAPTURE.raw OUT.wav\n");
    return 2;
}
