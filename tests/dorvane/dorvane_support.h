// Helpers of the Dorvane tests: the built library, temporary folders and a thread that
// drives the modal dialogs that the test's own thread runs.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace dorvane_test {

// The folder of the running test program, with its backslash.
std::string programDir();

// Dorvane.dll from beside the test program.
class Library {
public:
    Library();
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    HMODULE handle() const { return module; }
    template <typename Proc>
    Proc proc(const char* name) const
    {
        return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }

private:
    HMODULE module;
};

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return base; }
    std::string path(const std::string& relative) const { return base + "\\" + relative; }
    void makeDir(const std::string& relative) const;
    void writeFile(const std::string& relative, const std::string& contents = "x", bool readOnly = false) const;
    bool exists(const std::string& relative) const;

private:
    std::string base;
};

// Removes a folder and everything in it, read-only files too (the tests' own cleaner).
void removeTree(const std::string& path);

// The first visible dialog with this title (and this owner, when one is given), or null
// when none appears in time.
HWND waitForDialog(const char* title, HWND owner = nullptr, DWORD timeoutMs = 20000);

// Waits on its own thread for a dialog with the title and acts on it; the test's thread
// meanwhile runs the modal dialog. saw() tells whether the dialog appeared at all.
class DialogWatcher {
public:
    using Action = std::function<void(HWND dialog)>;
    DialogWatcher(const char* title, Action action);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    // Waits for the thread; returns whether the dialog appeared.
    bool saw();

private:
    std::atomic<bool> seen{false};
    std::thread thread;
};

// Text of a window or of a dialog's control.
std::string windowText(HWND window);
std::string controlText(HWND dialog, int id);

// A control's rectangle in its dialog's client coordinates.
RECT controlRect(HWND dialog, int id);
// A rectangle in dialog units, mapped to the dialog's pixels.
RECT dialogUnits(HWND dialog, int left, int top, int right, int bottom);

}  // namespace dorvane_test
