#include "editor/hand.h"

#include <cstring>

namespace hand {

namespace {
POINT pointer = {0, 0};

// Every event carries the pointer's position, so a button comes where the hand is even when
// wine has not yet caught up with the last move.
void mouse(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input.mi.dx = MulDiv(pointer.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    input.mi.dy = MulDiv(pointer.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    SendInput(1, &input, sizeof input);
    Sleep(kStepMs);
}

BOOL CALLBACK findShownMenu(HWND window, LPARAM found) {
    char name[16] = {0};
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32768") != 0 || !IsWindowVisible(window)) return TRUE;
    *(HWND*)found = window;
    return FALSE;
}

// Hidden menu windows of earlier menus may stand before the one on the screen.
HWND visibleMenuWindow() {
    HWND found = nullptr;
    EnumWindows(findShownMenu, (LPARAM)&found);
    return found;
}
}  // namespace

void moveTo(int screenX, int screenY) {
    pointer.x = screenX;
    pointer.y = screenY;
    SetCursorPos(screenX, screenY);
    mouse(0);
}

void click(int screenX, int screenY, WORD modifier) {
    moveTo(screenX, screenY);
    if (modifier) key(modifier, true);
    button(true);
    button(false);
    if (modifier) key(modifier, false);
}

void button(bool down) { mouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP); }

void key(WORD vk, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
    Sleep(kStepMs);
}

void press(WORD vk) {
    key(vk, true);
    key(vk, false);
}

bool waitUntil(const std::function<bool()>& seen, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (seen()) return true;
        Sleep(20);
    }
    return seen();
}

std::vector<MenuEntry> waitForMenu() {
    std::vector<MenuEntry> entries;
    HMENU menu = nullptr;
    // The menu's window may show before it answers with its items.
    waitUntil([&] {
        HWND window = visibleMenuWindow();
        menu = window ? (HMENU)SendMessageA(window, MN_GETHMENU, 0, 0) : nullptr;
        return menu && GetMenuItemCount(menu) > 0;
    }, 10000);
    if (!menu) return entries;
    // Keys sent at once may reach what lies under a menu still opening.
    Sleep(100);
    for (int i = 0, n = GetMenuItemCount(menu); i < n; i++) {
        char text[256] = {0};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        entries.push_back({text, (GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED) != 0});
    }
    return entries;
}

}  // namespace hand
