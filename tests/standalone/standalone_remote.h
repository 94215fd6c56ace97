// Finding the standalone program's windows and playing MIDI into them from another
// process, shared by the remote tool and the program's tests.
#pragma once

#include <windows.h>
#include <dsound.h>

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

// A time limit for waiting on the program, stretched by HALVORN_TIME_SCALE where every
// step runs many times slower (the emulated 32-bit machine sets it).
inline int scaledLimit(int limit) {
    const char* scale = std::getenv("HALVORN_TIME_SCALE");
    int factor = scale ? std::atoi(scale) : 1;
    return factor > 1 ? limit * factor : limit;
}

// The program's MIDI seam: WM_COPYDATA with this tag and packed short messages.
const ULONG_PTR kRemoteMidiTag = 0x4D494449;

struct WindowSearch {
    const char* title;
    DWORD process;
    HWND found;
};

inline BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    WindowSearch* search = (WindowSearch*)parameter;
    if (!IsWindowVisible(window)) return TRUE;
    if (search->process) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != search->process) return TRUE;
    }
    char text[256] = {0};
    GetWindowTextA(window, text, sizeof(text));
    if (std::string(text) != search->title) return TRUE;
    char className[64] = {0};
    GetClassNameA(window, className, sizeof(className));
    // The program's frames, not a message box that carries the same title.
    if (std::string(className).compare(0, 4, "Afx:") != 0) return TRUE;
    search->found = window;
    return FALSE;
}

// A visible frame of the program with that title (of that process when given).
inline HWND findProgramWindow(const char* title, DWORD process = 0) {
    WindowSearch search = {title, process, nullptr};
    EnumWindows(matchWindow, (LPARAM)&search);
    return search.found;
}

inline bool sendMidi(HWND window, std::initializer_list<unsigned int> messages) {
    std::vector<unsigned int> data(messages);
    COPYDATASTRUCT copy = {kRemoteMidiTag, (DWORD)(data.size() * sizeof(unsigned int)), data.data()};
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_COPYDATA, 0, (LPARAM)&copy, SMTO_ABORTIFHUNG, scaledLimit(5000), &result) != 0;
}

inline BOOL CALLBACK firstDirectSoundDevice(LPGUID guid, LPCSTR description, LPCSTR, LPVOID context) {
    if (!guid) return TRUE;  // the default device, listed again under its own name
    *(std::string*)context = description ? description : "";
    return FALSE;
}

// The name of the first DirectSound device, as the program's DirectSound back end lists it;
// empty when there is none.
inline std::string firstSoundDevice() {
    std::string device;
    DirectSoundEnumerateA(firstDirectSoundDevice, &device);
    return device;
}
