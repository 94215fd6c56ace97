// Real input for the editor tests, sent through the system as a user's hand would: mouse
// moves and clicks at screen points, keys, and a look at the pop-up menu on the screen.
// Gestures run on a second thread (playGesture) while the test's thread pumps the window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace hand {

// wine keeps the pointer's position and the buttons' state for a moment before it asks the
// X server again: each step waits longer than that.
const int kStepMs = 250;

void moveTo(int screenX, int screenY);
// A press and a release where the hand is, with modifier (a virtual key such as VK_SHIFT,
// or 0) held a full step before and after.
void click(int screenX, int screenY, WORD modifier = 0);
// The left button goes down or up where the hand is.
void button(bool down);
void key(WORD vk, bool down);
void press(WORD vk);
// Waits until seen answers true or the time is up; answers seen's last word.
bool waitUntil(const std::function<bool()>& seen, int timeoutMs = 4000);

// One entry of the pop-up menu on the screen.
struct MenuEntry {
    std::string text;
    bool greyed;
};
// Waits for a pop-up menu on the screen and reads its entries; empty when none came.
std::vector<MenuEntry> waitForMenu();

}  // namespace hand
