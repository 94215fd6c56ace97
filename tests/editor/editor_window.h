// What the editor tests share: a host's parent window on the X server's desktop, the
// message pump, and counts of what the process holds (windows, heap bytes).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A plain top-level window at the desktop's corner, as a host gives the editor.
class ParentWindow {
public:
    ParentWindow(int width = 1008, int height = 620);
    ~ParentWindow();
    HWND handle() const { return window; }
    // Destroys the window now, before the editor is closed (some hosts do).
    void destroy();

private:
    HWND window;
};

// Dispatches every waiting message of this thread.
void pumpMessages();
// Pumps for the given time, so that the X server shows what was drawn.
void settle(int milliseconds);
// Calls tick every 10 ms for the given time, then once more: the window's messages and the
// host's idle, so that what was drawn and queued is shown.
void tickFor(int milliseconds, const std::function<void()>& tick);
// Plays a gesture of real input on another thread while this one keeps calling tick (the
// window's messages, and the host's idle where there is an editor), every 5-10 ms.
void playGesture(const std::function<void()>& gesture, const std::function<void()>& tick, int tickMs = 10);

// The hand: real input through SendInput, for gestures played on another thread. wine
// keeps the pointer's position and the buttons' state for a moment before it asks the X
// server again: each step waits longer than that.
const int kHandStepMs = 250;
// Every event carries the pointer's position, so a button always comes where the hand is.
void sendMouse(DWORD flags, DWORD data = 0);
void sendKey(WORD key, bool down);
void moveTo(POINT p);
// On a loaded machine the window may take its time over an event: the hand waits until it
// sees the effect (or gives up after a while; the test's checks then tell).
bool waitUntil(const std::function<bool()>& seen, int timeoutMs = 4000);

// The same hand addressed by screen position.
const int kInputStepMs = kHandStepMs;
// A pointer event at a screen position (every event carries its own, so that a press lands
// where it is meant to), with the button flags given.
void mouseInputAt(int screenX, int screenY, DWORD flags = 0);
void keyInput(WORD vk, bool up);
// Down and up.
void keyStroke(WORD vk);
// Whether a pop-up menu is on the screen; waiting for one (a loaded machine may take its
// time), so that keys reach the menu and not what lies under it.
bool popupMenuShown();
bool waitForPopupMenu();

int countChildWindows(HWND parent);
// Windows of this thread, top-level ones included.
int countThreadWindows();
// Bytes in use in every heap of the process.
int64_t heapBytesInUse();
// The process's private memory, all allocations included.
int64_t privateBytes();
// GDI objects of the process, as the system counts them.
DWORD gdiObjectCount();

// 24-bit pixels, rows top first.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    int distinctColours(int limit) const;
};
// What the screen shows in the rectangle.
Picture captureScreen(int x, int y, int width, int height);
// What a window shows in the rectangle of its client area, as it painted it.
Picture captureWindow(HWND window, int x, int y, int width, int height);
bool writeBmp(const std::string& path, const Picture& picture);
bool readBmp(const std::string& path, Picture& picture);
// Paints the rectangle black: what follows the clock is left out of a comparison.
void leaveOut(Picture& picture, const RECT& r);
// Share of pixels (0-1) whose channels differ by more than tolerance.
double mismatchedShare(const Picture& a, const Picture& b, int tolerance);
