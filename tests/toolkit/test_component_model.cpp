// The toolkit's tree drawn into a real offscreen context and driven by its frame control:
// drawing order and repaint areas, event dispatch, the one open window, and the bridge's
// fan-out and host rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/vst_inst_interface.h"
#include "toolkit/acomponent.h"
#include "toolkit/aframe.h"
#include "toolkit/gui_interface.h"
#include "vst/audioeffectx.h"
#include "vstgui/aeffguieditor.h"

namespace {

std::vector<std::string> journal;

// A leaf that writes what happens to it into the journal and answers as told.
class Probe : public AComponent {
public:
    Probe(const char* name, int x, int y, int w, int h, bool takes = true) : name(name), takes(takes) {
        setBounds(x, y, w, h);
    }
    void draw(CDrawContext* context, int px, int py) override {
        journal.push_back(name + " draw " + std::to_string(px) + "," + std::to_string(py));
        context->setFillColor(kWhiteCColor);
        context->fillRect(CRect(px, py, px + width, py + height));
    }
    bool mouseDown(int px, int py, int) override { return note("down", px, py), takes; }
    bool mouseDrag(int px, int py) override { return note("drag", px, py), takes; }
    bool mouseUp(int px, int py) override { return note("up", px, py), takes; }
    bool mouseMove(int px, int py) override { return note("move", px, py), takes; }
    void mouseEnter() override { journal.push_back(name + " enter"); }
    void mouseLeave() override { journal.push_back(name + " leave"); }
    bool hoverEnd() override { return journal.push_back(name + " hoverEnd"), true; }
    void idle() override {
        journal.push_back(name + " idle");
        if (onIdle) onIdle();
    }
    void note(const char* what, int px, int py) {
        journal.push_back(name + " " + what + " " + std::to_string(px) + "," + std::to_string(py));
    }
    std::string name;
    bool takes;
    std::function<void()> onIdle;
};

class Popup : public AWindow {
public:
    Popup(int w, int h, bool keepsOpen) : keepsOpen(keepsOpen) { setBounds(0, 0, w, h); }
    bool keepsOpenOnOutsideClick() override { return keepsOpen; }
    void draw(CDrawContext*, int, int) override {}
    bool keepsOpen;
};

// A panel with a background of its own, so drawBackground ends here.
class Panel : public APanel {
public:
    Panel(int w, int h) : APanel(nullptr, nullptr) { setBounds(0, 0, w, h); }
    void drawBackground(CDrawContext*, const CRect& rect, const CPoint&, int) override {
        journal.push_back("background " + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
                          std::to_string(rect.right) + "," + std::to_string(rect.bottom));
    }
};

class ComponentModel : public ::testing::Test {
protected:
    void SetUp() override { journal.clear(); }
    void TearDown() override { root.destroyAll(); }
    void drawPass() {
        journal.clear();
        CRect drawn;
        root.drawIfDirty(&context, 0, 0, drawn);
        lastDrawn = drawn;
    }
    Panel root{400, 300};
    COffscreenContext context{nullptr, 400, 300};
    CRect lastDrawn;
};

TEST(Rectangles, IntersectAndUnion) {
    struct Case {
        CRect a, b, intersection, bounding;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {5, 5, 20, 20}, {5, 5, 10, 10}, {0, 0, 20, 20}},
        {{0, 0, 10, 10}, {20, 20, 30, 30}, {20, 20, 10, 10}, {0, 0, 30, 30}},  // apart: an empty result
        {{0, 0, 0, 10}, {5, 5, 20, 20}, kNoRect, {5, 5, 20, 20}},             // an empty side
        {kNoRect, kNoRect, kNoRect, kNoRect},
    };
    for (const Case& c : cases) {
        CRect r;
        intersectRect(r, c.a, c.b);
        EXPECT_EQ(r, c.intersection);
        CRect u = c.a;
        unionRect(u, c.b);
        EXPECT_EQ(u, c.bounding);
    }
    EXPECT_EQ(rectFromCorners(10, 20, 0, 5), CRect(0, 5, 10, 20));
}

TEST_F(ComponentModel, AnInvalidatedLowerChildRepaintsTheUpperOneInFull) {
    Probe* lower = new Probe("lower", 10, 10, 50, 50);
    Probe* upper = new Probe("upper", 40, 40, 50, 50);
    Probe* apart = new Probe("apart", 200, 200, 20, 20);
    root.add(lower);
    root.add(upper);
    root.add(apart);
    drawPass();
    EXPECT_EQ(journal.front(), "background 0,0,400,300") << "a dirty panel paints itself whole";
    EXPECT_EQ(lastDrawn, CRect(0, 0, 400, 300));
    EXPECT_FALSE(root.isClean()) << "painting the whole leaves the children's flags to the next pass";
    drawPass();
    EXPECT_TRUE(root.isClean());

    struct Case {
        std::vector<Probe*> invalidated;
        std::vector<std::string> painted;
        CRect drawn;
    };
    const Case cases[] = {
        {{lower}, {"lower draw 10,10", "upper draw 40,40"}, {10, 10, 90, 90}},
        {{upper}, {"upper draw 40,40"}, {40, 40, 90, 90}},
        {{apart}, {"apart draw 200,200"}, {200, 200, 220, 220}},
        {{}, {}, kNoRect},
    };
    for (const Case& c : cases) {
        for (Probe* p : c.invalidated) p->invalidate();
        drawPass();
        EXPECT_EQ(journal, c.painted);
        EXPECT_EQ(lastDrawn, c.drawn);
        EXPECT_TRUE(root.isClean());
    }
}

TEST_F(ComponentModel, ARemovedChildsAreaIsRepaintedOnce) {
    Probe* a = new Probe("a", 10, 10, 50, 50);
    Probe* b = new Probe("b", 100, 10, 50, 50);
    root.add(a);
    root.add(b);
    drawPass();
    drawPass();
    root.remove(a);
    EXPECT_EQ(a->getParent(), nullptr);
    EXPECT_EQ(root.getPendingDirty(), CRect(10, 10, 60, 60));
    EXPECT_TRUE(root.isClean()) << "the pending area does not count as dirty";
    drawPass();
    EXPECT_EQ(journal, (std::vector<std::string>{"background 10,10,60,60"}));
    EXPECT_EQ(root.getPendingDirty(), kNoRect);
    root.remove(a);  // not a child: nothing
    EXPECT_EQ(root.getPendingDirty(), kNoRect);
    delete a;
}

TEST_F(ComponentModel, APressGoesDownTheStackUntilTakenAndTheDragFollowsIt) {
    Probe* lower = new Probe("lower", 0, 0, 100, 100, true);
    Probe* upper = new Probe("upper", 50, 50, 100, 100, false);
    root.add(lower);
    root.add(upper);
    EXPECT_TRUE(root.mouseDown(60, 60, kLButton));
    EXPECT_EQ(journal, (std::vector<std::string>{"upper enter", "upper down 10,10", "lower enter", "upper leave",
                                                 "lower down 60,60"}));
    EXPECT_EQ(root.getMouseTarget(), lower);
    journal.clear();
    EXPECT_TRUE(root.mouseDrag(300, 250)) << "outside the control it is still the target";
    EXPECT_TRUE(root.mouseUp(300, 250));
    EXPECT_EQ(journal, (std::vector<std::string>{"lower drag 300,250", "lower up 300,250"}));
    journal.clear();
    EXPECT_FALSE(root.mouseDown(390, 290, kLButton)) << "nothing there";
    EXPECT_EQ(journal, (std::vector<std::string>{"lower leave"}));
    EXPECT_EQ(root.getMouseTarget(), nullptr);
    EXPECT_FALSE(root.mouseDrag(1, 1));
    EXPECT_FALSE(root.mouseUp(1, 1));
}

TEST_F(ComponentModel, HoverEndsWhenThePointerLeaves) {
    Probe* knob = new Probe("knob", 0, 0, 50, 50);
    root.add(knob);
    EXPECT_TRUE(root.mouseMove(10, 10));
    EXPECT_EQ(root.getHoverChild(), knob);
    journal.clear();
    EXPECT_FALSE(root.mouseMove(200, 200));
    EXPECT_EQ(journal, (std::vector<std::string>{"knob hoverEnd"}));
    EXPECT_EQ(root.getHoverChild(), nullptr);
}

TEST_F(ComponentModel, AChildThatChangesTheListEndsTheIdlePass) {
    Probe* first = new Probe("first", 0, 0, 10, 10);
    Probe* second = new Probe("second", 20, 0, 10, 10);
    Probe* third = new Probe("third", 40, 0, 10, 10);
    root.add(first);
    root.add(second);
    root.add(third);
    root.idle();
    EXPECT_EQ(journal, (std::vector<std::string>{"first idle", "second idle", "third idle"}));
    second->onIdle = [&] { root.remove(third); };
    journal.clear();
    root.idle();
    EXPECT_EQ(journal, (std::vector<std::string>{"first idle", "second idle"}));
    delete third;
}

TEST_F(ComponentModel, OneWindowIsOpenAtATime) {
    AFrame frame(CRect(0, 33, 1008, 620), nullptr, 0, 0, CPoint(0, 0), nullptr);
    Panel* tree = new Panel(1008, 600);
    frame.setRoot(tree);
    Probe* button = new Probe("button", 500, 500, 20, 20);
    tree->add(button);
    Popup popup(200, 100, true), midi(150, 80, false), other(50, 50, true);

    popup.setPosition(900, 580);
    ASSERT_TRUE(tree->openWindow(&popup));
    EXPECT_EQ(popup.getX(), 808) << "moved left inside the frame";
    EXPECT_EQ(popup.getY(), 490) << "kept 30 pixels clear of the visible bottom";
    EXPECT_EQ(tree->getOpenWindow(), &popup);
    EXPECT_FALSE(tree->isClean()) << "an open window keeps the tree drawing";

    journal.clear();
    EXPECT_TRUE(tree->mouseDown(10, 100, kLButton) == false);
    EXPECT_EQ(tree->getOpenWindow(), &popup) << "a press outside a popup leaves it open";

    midi.setPosition(100, 100);
    ASSERT_TRUE(tree->openWindow(&midi)) << "a MIDI window replaces a popup";
    EXPECT_FALSE(tree->openWindow(&other)) << "a popup cannot replace a MIDI window";
    EXPECT_EQ(tree->getOpenWindow(), &midi);

    EXPECT_TRUE(tree->mouseDown(505, 505, kLButton)) << "dispatched after the MIDI window closes";
    EXPECT_EQ(tree->getOpenWindow(), nullptr);
    // Nothing was drawn between the two closes: both windows' areas wait for the repaint.
    EXPECT_EQ(tree->getPendingDirty(), CRect(100, 100, 1008, 590));
    EXPECT_NE(std::find(journal.begin(), journal.end(), "button down 5,5"), journal.end());
    tree->destroyAll();
}

TEST_F(ComponentModel, TheFramePaintsTheWholeTreeAfterOpenAndDetach) {
    AFrame frame(CRect(0, 33, 400, 333), nullptr, 0, 0, CPoint(0, 0), nullptr);
    Panel* tree = new Panel(400, 300);
    Probe* a = new Probe("a", 10, 10, 20, 20);
    tree->add(a);
    frame.setRoot(tree);
    COffscreenContext window(nullptr, 400, 340);
    frame.draw(&window);
    EXPECT_TRUE(frame.hasOffscreen());
    frame.draw(&window);
    journal.clear();
    frame.draw(&window);
    EXPECT_TRUE(journal.empty()) << "a clean tree paints nothing";
    frame.detach();
    EXPECT_FALSE(frame.hasOffscreen());
    EXPECT_FALSE(a->isAttached());
    frame.draw(&window);
    EXPECT_EQ(journal, (std::vector<std::string>{"background 0,0,400,300", "a draw 10,10"}));

    // The offscreen reaches the window at the control's place.
    COLORREF painted = GetPixel(window.getSystemContext(), 15, 33 + 15);
    EXPECT_EQ(painted, RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(window.getSystemContext(), 15, 15), RGB(0, 0, 0)) << "above the control: untouched";

    journal.clear();
    frame.idleAt(15, 33 + 15);
    EXPECT_EQ(journal.front(), "a move 5,5") << "window point to root point";
}

// ---------------------------------------------------------------- the bridge

struct Receptor : AParameterReceptor {
    explicit Receptor(const char* name) : name(name) {}
    void parameterChanged(int index, float value) override {
        journal.push_back(name + " " + std::to_string(index) + "=" + std::to_string((int)(value * 10)));
    }
    void setHighlight(float colour) override { journal.push_back(name + " highlight " + std::to_string((int)colour)); }
    std::string name;
};

TEST(Bridge, ChangesReachEveryReceptorOfTheIndexInOrder) {
    journal.clear();
    GuiInterface gui;
    Receptor knob("knob"), slider("slider");
    gui.addReceptor(7, &knob);
    gui.addReceptor(9, &knob);  // a second index of the same knob
    gui.addReceptor(7, &slider);
    gui.addReceptor(7, &knob);  // twice: told twice
    gui.parameterChanged(7, 0.5f);
    gui.parameterChanged(9, 0.2f);
    gui.highlightParameter(9, 2.f);
    gui.parameterChanged(8, 1.f);
    EXPECT_EQ(journal, (std::vector<std::string>{"knob 7=5", "slider 7=5", "knob 7=5", "knob 9=2", "knob highlight 2"}));
    gui.removeReceptor(7, &knob);
    EXPECT_EQ(gui.countReceptors(7), 2);
    journal.clear();
    gui.parameterChanged(7, 0.1f);
    EXPECT_EQ(journal, (std::vector<std::string>{"slider 7=1", "knob 7=1"}));
}

class VendorOnly : public VstInstInterface {
public:
    bool answer = true;
    std::string vendor;
    bool getHostVendorString(char* text) override {
        if (answer) strcpy(text, vendor.c_str());
        return answer;
    }
    void setParameter(int, float) override {}
    void setParameterAutomated(int, float) override {}
    float getParameter(int) override { return 0; }
    void reservedA(int, int) override {}
    int reservedB(int) override { return 0; }
    void noteEvent(int, int, int) override {}
    const char* getParameterValueText(int) override { return ""; }
    const char* getParameterLongName(int) override { return ""; }
    void setMidiCC(int, int) override {}
    int getMidiCC(int) override { return -1; }
    int startMidiLearn(int) override { return 0; }
    int stopMidiLearn() override { return 0; }
    int clearAllMidiCC() override { return 0; }
    void clearMidiCC(int) override {}
    bool isMidiAssignable(int) override { return false; }
    bool beginEdit(int) override { return true; }
    bool endEdit(int) override { return true; }
    bool sizeWindow(int, int) override { return true; }
    bool getVendorString(char*) override { return false; }
    InstallSettings* getInstallSettings() override { return nullptr; }
};

TEST(Bridge, HostKindAndKnobMode) {
    struct Case {
        bool answer;
        const char* vendor;
        int kind;
        int askedMode;
        int knobMode;
    };
    const Case cases[] = {
        {true, "VantropeAudioUnit", 1, 0, 2}, {true, "ProTools 9", 2, 0, 2},
        {true, "Image-Line", 3, 0, 2},       {true, "FXpansion Audio", 4, 1, 2},
        {true, "DigitalPerformer", 5, 0, 2}, {true, "Logic Pro", 6, 0, 2},
        {true, "Log", 0, 1, 1},              {true, "Some Host", 0, 0, 0},
        {false, "Logic", 0, 2, 2},           {false, "", 0, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vendor);
        VendorOnly instrument;
        instrument.answer = c.answer;
        instrument.vendor = c.vendor;
        InstrumentInterface bridge(&instrument);
        AEffGUIEditor::knobMode = c.askedMode;
        EXPECT_EQ(bridge.getHostKind(), c.kind);
        EXPECT_EQ(bridge.getKnobMode(), c.knobMode);
    }
    AEffGUIEditor::knobMode = 0;
}

}  // namespace

// ---------------------------------------------------------------- the editor base

namespace {

class PlainEffect : public AudioEffectX {
public:
    PlainEffect() : AudioEffectX(nullptr, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

TEST(EditorBase, RectKnobModeAndKeysWithoutFrame) {
    PlainEffect effect;
    AEffGUIEditor* editor = new AEffGUIEditor(&effect);
    EXPECT_EQ(effect.getEditor(), editor);
    EXPECT_TRUE(effect.getAeffect()->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    EXPECT_TRUE(editor->getRect(&rect));
    EXPECT_EQ(rect->right, 0);
    VstKeyCode key = {'a', 0, 0};
    EXPECT_FALSE(editor->onKeyDown(key));
    EXPECT_FALSE(editor->onWheel(1.f));
    EXPECT_TRUE(editor->setKnobMode(1));
    EXPECT_EQ(AEffGUIEditor::knobMode, 1);
    AEffGUIEditor::knobMode = 0;
}

}  // namespace
