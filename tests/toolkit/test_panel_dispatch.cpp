// What the rest of the toolkit's tests leave out: the wheel and key dispatch of a panel,
// the component under a point, broadcasts, the frame's scrolling and the positions it gives,
// and the editor base's idle pacing inside mouse loops.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/acomponent.h"
#include "toolkit/aframe.h"
#include "vst/audioeffectx.h"
#include "vstgui/aeffguieditor.h"

namespace {

std::vector<std::string> journal;

class Leaf : public AComponent {
public:
    Leaf(const char* name, int x, int y, int w, int h, bool takes) : name(name), takes(takes) { setBounds(x, y, w, h); }
    void draw(CDrawContext*, int, int) override {}
    bool wheel(int px, int py, float distance) override {
        journal.push_back(name + " wheel " + std::to_string(px) + "," + std::to_string(py) + " " +
                          std::to_string((int)distance));
        return takes;
    }
    bool keyDown(int key) override { return journal.push_back(name + " keyDown " + std::to_string(key)), takes; }
    bool keyUp(int key) override { return journal.push_back(name + " keyUp " + std::to_string(key)), takes; }
    void mouseEnter() override { journal.push_back(name + " enter"); }
    void mouseLeave() override { journal.push_back(name + " leave"); }
    void broadcast(int a, int b) override {
        journal.push_back(name + " broadcast " + std::to_string(a) + "," + std::to_string(b));
    }
    std::string name;
    bool takes;
};

class Panel : public APanel {
public:
    Panel(int x, int y, int w, int h) : APanel(nullptr, nullptr) { setBounds(x, y, w, h); }
    void draw(CDrawContext*, int, int) override {}
};

class Popup : public AWindow {
public:
    Popup(int x, int y, int w, int h) { setBounds(x, y, w, h); }
    void draw(CDrawContext*, int, int) override {}
    bool wheel(int px, int py, float) override {
        journal.push_back("popup wheel " + std::to_string(px) + "," + std::to_string(py));
        return false;
    }
    void onClose() override { journal.push_back("popup closed"); }
};

class PanelDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        journal.clear();
        root.add(lower = new Leaf("lower", 10, 10, 100, 100, true));
        root.add(upper = new Leaf("upper", 50, 50, 100, 100, false));
    }
    void TearDown() override { root.destroyAll(); }
    Panel root{0, 0, 400, 300};
    Leaf* lower;
    Leaf* upper;
};

// The topmost child under the pointer has the wheel, whatever it answers; no lower child is
// asked. An open window under the pointer takes it first; one elsewhere is closed.
TEST_F(PanelDispatch, TheWheelGoesToTheTopmostChildUnderThePointerOnly) {
    struct Case {
        int x, y;
        bool popupOpen;
        bool answer;
        std::vector<std::string> heard;
    };
    const Case cases[] = {
        {60, 60, false, false, {"upper enter", "upper wheel 10,10 2"}},
        {20, 20, false, true, {"lower enter", "lower wheel 10,10 2"}},
        {300, 250, false, true, {}},
        {210, 210, true, false, {"popup wheel 10,10"}},
        {20, 20, true, true, {"popup closed", "lower enter", "lower wheel 10,10 2"}},
    };
    for (const Case& c : cases) {
        Popup popup(200, 200, 50, 50);
        if (c.popupOpen) {
            ASSERT_TRUE(root.openWindow(&popup));
        }
        journal.clear();
        EXPECT_EQ(root.wheel(c.x, c.y, 2.f), c.answer) << c.x << "," << c.y;
        // The target's leave when the next case moves elsewhere is not this case's business.
        EXPECT_EQ(journal, c.heard) << c.x << "," << c.y;
        root.closeWindow(nullptr);
        root.mouseLeave();
    }
}

TEST_F(PanelDispatch, AWheelBesideEveryChildEndsTheMouseTarget) {
    root.wheel(20, 20, 1.f);
    EXPECT_EQ(root.getMouseTarget(), lower);
    journal.clear();
    EXPECT_TRUE(root.wheel(300, 250, 1.f));
    EXPECT_EQ(root.getMouseTarget(), nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"lower leave"}));
}

TEST_F(PanelDispatch, KeysGoToTheChildrenInListOrderUntilOneTakesThem) {
    EXPECT_TRUE(root.keyDown(65));
    EXPECT_EQ(journal, (std::vector<std::string>{"lower keyDown 65"}));
    lower->takes = false;
    journal.clear();
    EXPECT_FALSE(root.keyUp(66));
    EXPECT_EQ(journal, (std::vector<std::string>{"lower keyUp 66", "upper keyUp 66"}));
    AFrame frame(CRect(0, 33, 400, 333), nullptr, 0, 0, CPoint(0, 0), nullptr);
    EXPECT_FALSE(frame.keyDown(65)) << "a frame without root takes no key";
}

TEST_F(PanelDispatch, TheComponentUnderAPointIsTheFirstChildInListOrderThatHoldsIt) {
    Panel* inner = new Panel(200, 150, 100, 100);
    Leaf* deep = new Leaf("deep", 10, 10, 20, 20, true);
    inner->add(deep);
    root.add(inner);
    EXPECT_EQ(root.componentAt(60, 60), lower) << "list order, not the topmost";
    EXPECT_EQ(root.componentAt(215, 165), deep) << "asked down the tree in its own coordinates";
    EXPECT_EQ(root.componentAt(250, 220), inner);
    EXPECT_EQ(root.componentAt(5, 290), &root);
    journal.clear();
    root.broadcast(3, 4);
    EXPECT_EQ(journal, (std::vector<std::string>{"lower broadcast 3,4", "upper broadcast 3,4", "deep broadcast 3,4"}));
    root.setAttached(false);
    EXPECT_FALSE(deep->isAttached());
    EXPECT_FALSE(lower->isAttached());
    EXPECT_TRUE(root.isAttached()) << "a panel passes it on and keeps its own flag";
    inner->remove(deep);
    delete deep;
}

// A root taller than the frame scrolls within its ends; positions follow the scroll and the
// frame's place in the window.
TEST(FrameScrolling, TheOffsetStaysWithinTheRootAndMovesAbsolutePositions) {
    AFrame frame(CRect(0, 33, 400, 233), nullptr, 0, 0, CPoint(5, 7), nullptr);
    Panel* root = new Panel(0, 0, 400, 500);
    Leaf* leaf = new Leaf("leaf", 30, 40, 10, 10, true);
    root->add(leaf);
    frame.setRoot(root);
    EXPECT_EQ(leaf->getAbsoluteX(true), 5 + 0 + 30);
    EXPECT_EQ(leaf->getAbsoluteY(true), 7 + 33 + 40);
    EXPECT_EQ(leaf->getAbsoluteY(false), 40);

    struct Case {
        int asked, kept;
    };
    for (const Case& c : {Case{120, 120}, Case{-20, 0}, Case{400, 300}, Case{300, 300}}) {
        frame.setScrollOffset(c.asked);
        EXPECT_EQ(frame.getScrollOffset(), c.kept) << c.asked;
    }
    EXPECT_EQ(leaf->getAbsoluteY(true), 7 + 33 + 40 - 300);
    CRect visible;
    frame.getVisibleRect(visible);
    EXPECT_EQ(visible, CRect(0, 333, 400, 533));

    frame.setScrollOffset(100);
    COffscreenContext context(nullptr, 10, 10);
    EXPECT_TRUE(frame.onWheel(&context, CPoint(10, 50), 1.5f));
    EXPECT_EQ(frame.getScrollOffset(), 100) << "a frame that is not scrollable keeps its offset";
    frame.setScrollable(true);
    EXPECT_TRUE(frame.onWheel(&context, CPoint(10, 50), 1.5f));
    EXPECT_EQ(frame.getScrollOffset(), 55) << "30 pixels a unit, cut towards zero";
    EXPECT_TRUE(frame.onWheel(&context, CPoint(10, 50), -20.f));
    EXPECT_EQ(frame.getScrollOffset(), 300);
}

class CountingEffect : public AudioEffectX {
public:
    CountingEffect() : AudioEffectX(nullptr, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
    void masterIdle() override { masterIdles++; }
    int masterIdles = 0;
};

class CountingEditor : public AEffGUIEditor {
public:
    explicit CountingEditor(AudioEffect* effect) : AEffGUIEditor(effect) {}
    void idle() override { idles++; }
    int idles = 0;
};

// Inside a mouse loop the editor idles at most once per 100 ms: a second call at once finds
// the next idle far off and returns after a short sleep, without idling or calling the host.
TEST(IdlePacing, AtMostOneIdleInAHundredMilliseconds) {
    CountingEffect effect;
    CountingEditor* editor = new CountingEditor(&effect);
    Sleep(5);  // the first idle is due at construction
    editor->doIdleStuff();
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(effect.masterIdles, 1);
    editor->doIdleStuff();
    editor->doIdleStuff();
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(effect.masterIdles, 1);
    Sleep(120);
    editor->doIdleStuff();
    EXPECT_EQ(editor->idles, 2);
    EXPECT_EQ(effect.masterIdles, 2);
}

}  // namespace
