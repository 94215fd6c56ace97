// The pop-up menu on the screen, for gestures of the editor tests: its entries as the
// system shows them, and an item taken with the keys.
#pragma once

#include <string>
#include <vector>

struct MenuEntry {
    std::string text;
    bool greyed;
};
// Waits for a pop-up menu on the screen and reads its entries; empty when none came.
std::vector<MenuEntry> waitForMenu();
// Lights the item of the menu on the screen with Down keys and takes it with Enter; false
// when there is no such menu or item.
bool chooseMenuItem(int item);
