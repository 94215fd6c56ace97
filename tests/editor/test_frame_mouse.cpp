// The frame control's mouse loop under real input: a press taken by a component, the drag
// that follows it outside the component, and the release; a second button ends the loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "editor/editor_window.h"
#include "toolkit/acomponent.h"
#include "toolkit/aframe.h"
#include "vst/audioeffectx.h"
#include "vstgui/aeffguieditor.h"

namespace {

std::vector<std::string> journal;

class Pad : public AComponent {
public:
    Pad() { setBounds(10, 10, 50, 50); }
    void draw(CDrawContext* context, int x, int y) override {
        context->setFillColor(kWhiteCColor);
        context->fillRect(CRect(x, y, x + width, y + height));
    }
    bool mouseDown(int x, int y, int buttons) override { return note("down", x, y, buttons); }
    bool mouseDrag(int x, int y) override { return note("drag", x, y); }
    bool mouseUp(int x, int y) override { return note("up", x, y); }
    bool mouseMove(int x, int y) override { return note("move", x, y); }
    bool hoverEnd() override { return note("hoverEnd", 0, 0); }
    bool note(const char* what, int x, int y, int buttons = -1) {
        std::string line = std::string(what) + " " + std::to_string(x) + "," + std::to_string(y);
        if (buttons >= 0) line += " b" + std::to_string(buttons);
        journal.push_back(line);
        return true;
    }
};

class Root : public APanel {
public:
    Root() : APanel(nullptr, nullptr) { setBounds(0, 0, 400, 300); }
    void drawBackground(CDrawContext* context, const CRect& rect, const CPoint&, int) override {
        context->setFillColor(kBlackCColor);
        context->fillRect(rect);
    }
};

class PlainEffect : public AudioEffectX {
public:
    PlainEffect() : AudioEffectX(nullptr, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

// The shared hand: every button event carries the pointer's position, so that a press
// lands where the pointer was put even when wine has not yet caught up with the move.
void button(DWORD flags) { sendMouse(flags); }

void moveTo(int x, int y) { moveTo(POINT{x, y}); }

// Plays the gesture on another thread while this one runs the window's messages.
void play(const std::function<void()>& gesture) {
    playGesture(gesture, pumpMessages, 5);
    settle(200);
}

class FrameMouse : public ::testing::Test {
protected:
    void SetUp() override {
        journal.clear();
        // The editor base paces the loop's idle calls as it does in the plug-in.
        editor = new AEffGUIEditor(&effect);
        frame = new CFrame(CRect(0, 0, 400, 333), parent.handle(), editor);
        control = new AFrame(CRect(0, 33, 400, 333), nullptr, 0, 0, CPoint(0, 0), frame);
        root = new Root();
        root->add(&pad);
        control->setRoot(root);
        frame->addView(control);
        settle(100);
    }
    void TearDown() override {
        root->remove(&pad);
        delete frame;  // releases the control, which deletes the root
    }
    PlainEffect effect;
    AEffGUIEditor* editor = nullptr;
    ParentWindow parent{400, 333};
    CFrame* frame = nullptr;
    AFrame* control = nullptr;
    Root* root = nullptr;
    Pad pad;
};

TEST_F(FrameMouse, TheDragAndTheReleaseFollowThePressOutsideTheComponent) {
    play([] {
        moveTo(20, 33 + 20);
        button(MOUSEEVENTF_LEFTDOWN);
        moveTo(100, 33 + 100);
        moveTo(300, 33 + 250);  // far outside the pad
        button(MOUSEEVENTF_LEFTUP);
    });
    ASSERT_GE(journal.size(), 3u);
    EXPECT_EQ(journal.front(), "down 10,10 b1");
    EXPECT_EQ(journal.back(), "up 290,240");
    EXPECT_NE(std::find(journal.begin(), journal.end(), "drag 90,90"), journal.end());
    EXPECT_NE(std::find(journal.begin(), journal.end(), "drag 290,240"), journal.end());
    EXPECT_FALSE(control->inMouseLoop());
}

TEST_F(FrameMouse, ASecondButtonEndsTheLoopWithARelease) {
    play([] {
        moveTo(20, 33 + 20);
        button(MOUSEEVENTF_LEFTDOWN);
        moveTo(100, 33 + 100);
        button(MOUSEEVENTF_RIGHTDOWN);
        moveTo(200, 33 + 200);
        button(MOUSEEVENTF_RIGHTUP);
        button(MOUSEEVENTF_LEFTUP);
    });
    std::string seen;
    for (const std::string& line : journal) seen += line + "; ";
    SCOPED_TRACE(seen);
    ASSERT_GE(journal.size(), 3u);
    EXPECT_EQ(journal[0], "down 10,10 b1");
    auto firstUp = std::find_if(journal.begin(), journal.end(), [](const std::string& s) { return s.rfind("up", 0) == 0; });
    ASSERT_NE(firstUp, journal.end());
    EXPECT_EQ(*firstUp, "up 90,90") << "released where the pointer was when the second button came";
    EXPECT_EQ(std::find(journal.begin(), firstUp, "drag 190,190"), firstUp) << "no drag after the loop ended";
}

// Hover comes from the editor's idle with the pointer where the frame's window last saw
// it; the window's leave ends the hover of the last hovered component. The window's own
// messages are posted to it: the display server's pointer is slow to arrive under load.
TEST_F(FrameMouse, ThePointerSeenByTheWindowDrivesHover) {
    HWND window = frame->getSystemWindow();
    auto idle = [this] {
        CPoint where;
        frame->getCurrentLocation(where);
        control->idleAt(where.h, where.v);
    };
    PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(30, 33 + 30));
    pumpMessages();
    idle();
    EXPECT_EQ(journal, (std::vector<std::string>{"move 20,20"}));
    idle();
    EXPECT_EQ(journal.size(), 1u) << "a pointer that did not move is not moved again";
    PostMessageA(window, WM_MOUSELEAVE, 0, 0);
    pumpMessages();
    idle();
    EXPECT_EQ(journal, (std::vector<std::string>{"move 20,20", "hoverEnd 0,0"}));
    CPoint where;
    frame->getCurrentLocation(where);
    EXPECT_FALSE(CRect(0, 0, 400, 333).pointInside(where));
}

}  // namespace
