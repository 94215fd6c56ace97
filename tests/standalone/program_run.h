// The standalone program run as a user runs it: its own process, started from the build
// folder with an optional document, its windows and message boxes found from outside.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/test_host.h"
#include "standalone_remote.h"

// A control's or window's text in the program's process, in UTF-8 (GetWindowText reads only
// a caption across processes; the message crosses as wide characters).
inline std::string controlText(HWND control) {
    wchar_t wide[512] = {0};
    SendMessageW(control, WM_GETTEXT, 512, (LPARAM)wide);
    char text[1024] = {0};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

// An entry of a drop-down list in the program's process, in UTF-8.
inline std::string itemText(HWND combo, int index) {
    wchar_t wide[256] = {0};
    SendMessageW(combo, CB_GETLBTEXT, (WPARAM)index, (LPARAM)wide);
    char text[512] = {0};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

class ProgramRun {
public:
    ProgramRun() = default;
    ~ProgramRun() {
        if (info.hProcess) {
            if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 99);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }

    static std::string programPath() { return TestHost::programDir() + "Halvorn.exe"; }

    // language: a locale for the program's interface ("fr_FR.UTF-8"), empty for this one's.
    bool start(const std::string& argument = "", const std::string& language = "") {
        std::string command = "\"" + programPath() + "\"";
        if (!argument.empty()) command += " \"" + argument + "\"";
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        std::vector<char> line(command.begin(), command.end());
        line.push_back(0);
        std::vector<char> environment;
        if (!language.empty()) {
            // This process's environment with the locale variables replaced.
            char* block = GetEnvironmentStringsA();
            for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) {
                std::string variable(entry);
                if (variable.rfind("LANG=", 0) == 0 || variable.rfind("LC_", 0) == 0 ||
                    variable.rfind("LANGUAGE=", 0) == 0)
                    continue;
                environment.insert(environment.end(), variable.begin(), variable.end());
                environment.push_back(0);
            }
            FreeEnvironmentStringsA(block);
            for (std::string variable : {"LANG=" + language, "LC_ALL=" + language}) {
                environment.insert(environment.end(), variable.begin(), variable.end());
                environment.push_back(0);
            }
            environment.push_back(0);
        }
        if (!CreateProcessA(programPath().c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                            environment.empty() ? nullptr : environment.data(), nullptr, &startup, &info))
            return false;
        pending.first = info.dwProcessId;
        return true;
    }

    // The program's visible frame with that title, or null after the timeout (a loaded
    // machine running many wine processes may take tens of seconds to start one).
    HWND waitFrame(const char* title, int seconds = 90) {
        for (int i = 0; i < scaledLimit(seconds) * 50; i++) {
            if (HWND frame = findProgramWindow(title, info.dwProcessId)) return frame;
            if (WaitForSingleObject(info.hProcess, 20) != WAIT_TIMEOUT) return nullptr;
        }
        return nullptr;
    }

    // The exit code, or STILL_ACTIVE after the timeout.
    DWORD waitExit(int seconds = 30) {
        if (WaitForSingleObject(info.hProcess, (DWORD)scaledLimit(seconds) * 1000) != WAIT_OBJECT_0) return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }

    bool close(HWND frame, int seconds = 30) {
        PostMessageA(frame, WM_CLOSE, 0, 0);
        return waitExit(seconds) != STILL_ACTIVE;
    }

    // The program's next dialog (a message box, the preferences) with its static text.
    struct Dialog {
        HWND window = nullptr;
        std::string title, text;
    };
    Dialog waitDialog(int seconds = 30) {
        Dialog found;
        for (int i = 0; i < scaledLimit(seconds) * 50 && !found.window; i++) {
            EnumWindows(matchDialog, (LPARAM)&pending);
            if (pending.second) {
                found.window = pending.second;
                pending.second = nullptr;
                char text[512] = {0};
                GetWindowTextA(found.window, text, sizeof(text));
                found.title = text;
                text[0] = 0;
                if (HWND label = GetDlgItem(found.window, 0xFFFF)) GetWindowTextA(label, text, sizeof(text));
                found.text = text;
                break;
            }
            if (WaitForSingleObject(info.hProcess, 20) != WAIT_TIMEOUT) break;
        }
        return found;
    }

    // A menu command posted to the frame, and the dialog it opens.
    Dialog commandDialog(HWND frame, UINT command, int seconds = 30) {
        PostMessageA(frame, WM_COMMAND, command, 0);
        return waitDialog(seconds);
    }

    DWORD processId() const { return info.dwProcessId; }

    // A plain callback: a lambda does not convert to the 32-bit build's stdcall pointer.
    static BOOL CALLBACK matchDialog(HWND window, LPARAM parameter) {
        auto* self = (std::pair<DWORD, HWND>*)parameter;
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char className[16] = {0};
        GetClassNameA(window, className, sizeof(className));
        if (owner != self->first || std::string(className) != "#32770" || !IsWindowVisible(window)) return TRUE;
        self->second = window;
        return FALSE;
    }

private:
    PROCESS_INFORMATION info = {};
    std::pair<DWORD, HWND> pending{0, nullptr};
};
