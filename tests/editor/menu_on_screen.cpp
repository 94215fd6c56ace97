#include "editor/menu_on_screen.h"

#include <windows.h>

#include <cstring>

#include "editor/editor_window.h"

namespace {
BOOL CALLBACK findShownMenu(HWND window, LPARAM found) {
    char name[16] = {0};
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32768") != 0 || !IsWindowVisible(window)) return TRUE;
    *(HWND*)found = window;
    return FALSE;
}

// Hidden menu windows of earlier menus may stand before the one on the screen.
HMENU shownMenu() {
    HWND found = nullptr;
    EnumWindows(findShownMenu, (LPARAM)&found);
    return found ? (HMENU)SendMessageA(found, MN_GETHMENU, 0, 0) : nullptr;
}

void press(WORD key) {
    sendKey(key, true);
    sendKey(key, false);
}
}  // namespace

std::vector<MenuEntry> waitForMenu() {
    std::vector<MenuEntry> entries;
    HMENU menu = nullptr;
    // The menu's window may show before it answers with its items.
    waitUntil([&] {
        menu = shownMenu();
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

bool chooseMenuItem(int item) {
    HMENU menu = shownMenu();
    int count = menu ? GetMenuItemCount(menu) : 0;
    if (item < 0 || item >= count) return false;
    // A loaded machine may lose a key: Down until the item is lit, then Enter.
    for (int tries = 0; tries < 3 * count; tries++) {
        int lit = -1;
        for (int i = 0; i < count && lit < 0; i++)
            if (GetMenuState(menu, i, MF_BYPOSITION) & MF_HILITE) lit = i;
        if (lit == item) {
            press(VK_RETURN);
            return true;
        }
        press(VK_DOWN);
    }
    return false;
}
