#include "dorvane/dorvane_support.h"

#include <stdio.h>

namespace dorvane_test {

std::string programDir()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

Library::Library() : module(LoadLibraryA((programDir() + "Dorvane.dll").c_str()))
{
}

Library::~Library()
{
    if (module)
        FreeLibrary(module);
}

TempTree::TempTree()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    static int counter = 0;
    char name[64];
    snprintf(name, sizeof name, "dorvane-%lu-%d", GetCurrentProcessId(), counter++);
    base = std::string(temp) + name;
    removeTree(base);
    CreateDirectoryA(base.c_str(), nullptr);
}

TempTree::~TempTree()
{
    removeTree(base);
}

void TempTree::makeDir(const std::string& relative) const
{
    CreateDirectoryA(path(relative).c_str(), nullptr);
}

void TempTree::writeFile(const std::string& relative, const std::string& contents, bool readOnly) const
{
    const std::string file = path(relative);
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(handle, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(handle);
    if (readOnly)
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
}

bool TempTree::exists(const std::string& relative) const
{
    return GetFileAttributesA(path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void removeTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link)
                removeTree(child);
            else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryA(child.c_str());
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

HWND waitForDialog(const char* title, HWND owner, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", title); window;
             window = FindWindowExA(nullptr, window, "#32770", title)) {
            if (IsWindowVisible(window) && (!owner || GetWindow(window, GW_OWNER) == owner))
                return window;
        }
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

DialogWatcher::DialogWatcher(const char* title, Action action)
    : thread([this, name = std::string(title), action] {
          HWND dialog = waitForDialog(name.c_str());
          if (!dialog)
              return;
          seen = true;
          action(dialog);
      })
{
}

DialogWatcher::~DialogWatcher()
{
    if (thread.joinable())
        thread.join();
}

bool DialogWatcher::saw()
{
    if (thread.joinable())
        thread.join();
    return seen;
}

std::string windowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string controlText(HWND dialog, int id)
{
    char text[1024] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

RECT controlRect(HWND dialog, int id)
{
    RECT rect = {};
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT dialogUnits(HWND dialog, int left, int top, int right, int bottom)
{
    RECT rect = {left, top, right, bottom};
    MapDialogRect(dialog, &rect);
    return rect;
}

}  // namespace dorvane_test
