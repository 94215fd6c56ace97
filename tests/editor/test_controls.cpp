// The discrete controls inside the real editor window, driven by real input: each kind of
// switch writes the values it should, choices pick from real pop-up menus, Ctrl-click opens
// the MIDI control window whose learn takes a controller that then moves the control, a
// button's name shows after hovering, an in-place text edit commits, and every widget kind
// in its states looks as its stored picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/halvorn.h"
#include "editor/editor_window.h"
#include "editor/halvorn_edit.h"
#include "editor/vexa_panel.h"
#include "host/in_process.h"
#include "host/test_host.h"
#include "toolkit/abutton.h"
#include "toolkit/achoice.h"
#include "toolkit/aframe.h"
#include "toolkit/awindows.h"
#include "toolkit/gui_interface.h"

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new HalvornEdit(effect); }

namespace {

// What the host heard: automation, and the edit brackets around it.
struct HostCall {
    int opcode;
    int index;
    float value;
};
std::vector<HostCall> hostCalls;

VstIntPtr VSTCALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    if (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit)
        hostCalls.push_back({opcode, index, opt});
    return opcode == audioMasterVersion ? 2400 : 0;
}

int countCalls(int opcode) {
    return (int)std::count_if(hostCalls.begin(), hostCalls.end(), [&](const HostCall& c) { return c.opcode == opcode; });
}

// The toolkit frame starts 33 rows down the window, below the preset bar; the host's window
// lies at the desktop's corner.
const int kFrameTop = 33;
const int kStepMs = kInputStepMs;

// Every mouse event carries its own position, so that a press lands where it is meant to
// even when wine has not yet caught up with the pointer's last move.
int screenX = 0, screenY = 0;

void mouseEvent(DWORD flags) { mouseInputAt(screenX, screenY, flags); }
void mouseButton(DWORD flags) { mouseEvent(flags); }
void key(WORD vk, bool up) { keyInput(vk, up); }
void press(WORD vk) { keyStroke(vk); }

void type(const std::string& text) {
    for (char c : text) {
        SHORT code = VkKeyScanA(c);
        bool shift = (code >> 8) & 1;
        if (shift) key(VK_SHIFT, false);
        press(LOBYTE(code));
        if (shift) key(VK_SHIFT, true);
    }
}

bool waitForMenu() { return waitForPopupMenu(); }

// Root coordinates of the toolkit's tree to the screen.
void pointAt(int rootX, int rootY) {
    screenX = rootX;
    screenY = rootY + kFrameTop;
    mouseEvent(0);
}

void clickAt(int rootX, int rootY, bool withCtrl = false) {
    pointAt(rootX, rootY);
    // The modifier is held a full step before and after, so that wine has it at the press.
    if (withCtrl) {
        key(VK_CONTROL, false);
        Sleep(kStepMs);
    }
    mouseButton(MOUSEEVENTF_LEFTDOWN);
    mouseButton(MOUSEEVENTF_LEFTUP);
    if (withCtrl) {
        key(VK_CONTROL, true);
        Sleep(kStepMs);
    }
}

// The centre of a component, in root coordinates.
int centreX(AComponent* c) { return c->getAbsoluteX(false) + c->getWidth() / 2; }
int centreY(AComponent* c) { return c->getAbsoluteY(false) + c->getHeight() / 2; }

// A panel of our own in the editor's tree, over the editor's own background picture, so
// that faded overlays and transparent strips have something to show.
class TestPanel : public APanel {
public:
    TestPanel(InstrumentInterface* instrument, GuiInterface* gui) : APanel(instrument, gui) {
        setBounds(kLeft, kTop, kWidth, kHeight);
    }
    ~TestPanel() override { destroyAll(); }
    void drawBackground(CDrawContext* context, const CRect& rect, const CPoint& offset, int alpha) override {
        CBitmap* face = BitmapCache::get(1003);
        CPoint source(x + offset.h, y + offset.v);
        if (alpha >= 255)
            face->draw(context, rect, source);
        else
            face->drawAlphaBlend(context, rect, source, (unsigned char)alpha);
    }
    template <typename T>
    T* place(T* component, int cx, int cy) {
        component->setPosition(cx, cy);
        add(component);
        return component;
    }
    static const int kLeft = 40, kTop = 40, kWidth = 520, kHeight = 300;
};

struct ChoiceRecorder : AChoiceListener {
    std::vector<int> items;
    void choiceChanged(AChoice*, int item) override { items.push_back(item); }
};

struct ButtonRecorder : AButtonListener {
    std::vector<std::string> seen;
    void buttonPressed(AButton*, int buttons) override { seen.push_back("pressed " + std::to_string(buttons)); }
    void buttonReleased(AButton*) override { seen.push_back("released"); }
};

struct MenuRecorder : CControlListener {
    std::vector<std::pair<CControl*, int>> heard;
    void valueChanged(CDrawContext*, CControl* control) override {
        heard.push_back({control, control ? (int)control->getValue() : -1});
    }
};

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        hostCalls.clear();
        synth.reset(new Halvorn(recordingHost));
        ASSERT_FALSE(synth->creationFailed());
        editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->open(parent.handle()));
        for (int i = 0; i < 4; i++) idle();
        instrument = editor->getInstrumentInterface();
        gui = editor->getGuiInterface();
        root = editor->getRootPanel();
        ASSERT_NE(root, nullptr);
        // On the bare root: the face's sections (their animations, lamps and cover) would
        // repaint under the test's widgets and its pop-up menus.
        std::vector<AComponent*> sections = root->children();
        for (AComponent* section : sections) root->remove(section);
        panel = new TestPanel(instrument, gui);
        root->add(panel);
        settleIdle(200);
        hostCalls.clear();
    }
    void TearDown() override {
        if (root->getOpenWindow()) root->closeWindow(nullptr);
        root->remove(panel);
        delete panel;
        editor->idle();
        editor->close();
        synth.reset();
    }
    void idle() {
        pumpMessages();
        editor->idle();
    }
    // Pumps and idles the editor as a host does, for the given time.
    void settleIdle(int milliseconds) {
        tickFor(milliseconds, [this] { idle(); });
    }
    // Plays the gesture on another thread while this one runs the window and the idle.
    void play(const std::function<void()>& gesture) {
        playGesture(gesture, [this] { idle(); });
        settleIdle(200);
    }
    // A controller message as the host sends it, then enough audio for the smoothing.
    void sendController(int controller, int value) {
        sendMidiMessage(*synth, 0xB0, (unsigned char)controller, (unsigned char)value);
        renderBlocks(*synth, 40);
    }
    ASwitch* addSwitch(ASwitchStyle* style, int index, int px, int py) {
        return panel->place(new ASwitch(style, instrument, index), px, py);
    }

    TestInstall install;
    ParentWindow parent;
    std::unique_ptr<Halvorn> synth;
    HalvornEdit* editor = nullptr;
    InstrumentInterface* instrument = nullptr;
    GuiInterface* gui = nullptr;
    VexaPanel* root = nullptr;
    TestPanel* panel = nullptr;
};

// ---------------------------------------------------------------- switches

struct SwitchCase {
    const char* what;
    int bitmap, frameHeight, frames;
    int clickMode;
    bool reversed;
    int inversion;
    float start;
    int clickY;  // in the switch
    float expected;
};

TEST_F(Controls, EachKindOfSwitchWritesItsValue) {
    const SwitchCase cases[] = {
        {"two-way cycle from off", 350, 18, 2, 0, false, 0, 0.f, 9, 0.75f},
        {"two-way cycle from on wraps", 350, 18, 2, 0, false, 0, 1.f, 9, 0.25f},
        {"three-way at 0.9 wraps to the first centre", 359, 37, 3, 0, false, 0, 0.9f, 18, 1.f / 6},
        {"three-way from the middle", 359, 37, 3, 0, false, 0, 0.5f, 18, 5.f / 6},
        {"five-way by position", 364, 18, 5, 1, false, 0, 0.f, 13, 13.f / 18},
        {"reversed strip counts the unreversed frame", 359, 37, 3, 0, true, 0, 0.f, 18, 0.5f},
        {"inverted switch writes one minus", 350, 18, 2, 0, false, 1, 1.f, 9, 0.25f},
    };
    std::vector<std::unique_ptr<ASwitchStyle>> styles;
    std::vector<ASwitch*> switches;
    int index = 10;
    for (const SwitchCase& c : cases) {
        styles.emplace_back(new ASwitchStyle());
        ASwitchStyle* style = styles.back().get();
        style->init(BitmapCache::get(c.bitmap), 17, c.frameHeight, c.frames, true, nullptr);
        style->clickMode = c.clickMode;
        style->reversed = c.reversed;
        synth->setParameter(index, c.start);
        ASwitch* s = addSwitch(style, index, 10 + 30 * (int)switches.size(), 20);
        s->setInversion(c.inversion);
        switches.push_back(s);
        index++;
    }
    settleIdle(100);
    hostCalls.clear();
    play([&] {
        for (size_t i = 0; i < switches.size(); i++)
            clickAt(switches[i]->getAbsoluteX(false) + 8, switches[i]->getAbsoluteY(false) + cases[i].clickY);
    });
    for (size_t i = 0; i < switches.size(); i++) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_NEAR(synth->getParameter(10 + (int)i), cases[i].expected, 1e-5);
    }
    EXPECT_EQ(countCalls(audioMasterAutomate), (int)switches.size()) << "one automation per click";
    EXPECT_EQ(countCalls(audioMasterBeginEdit), 0) << "switches send no edit brackets";
    EXPECT_EQ(countCalls(audioMasterEndEdit), 0);
}

TEST_F(Controls, ADisabledSwitchTakesNoClick) {
    ASwitchStyle style;
    style.init(BitmapCache::get(350), 18, 18, 2, true, nullptr);
    synth->setParameter(20, 0.f);
    ASwitch* s = addSwitch(&style, 20, 10, 20);
    s->setEnabled(false);
    settleIdle(100);
    play([&] { clickAt(centreX(s), centreY(s)); });
    EXPECT_EQ(synth->getParameter(20), 0.f);
    panel->remove(s);
    delete s;
}

// ---------------------------------------------------------------- MIDI control window

TEST_F(Controls, CtrlClickOpensTheMidiWindowWhoseLearnTakesAControllerThatMovesTheSwitch) {
    ASwitchStyle style;
    style.init(BitmapCache::get(350), 18, 18, 2, true, BitmapCache::get(351));
    const int index = 2041;  // chorus on
    synth->setParameter(index, 0.f);
    synth->setMidiCC(index, -1);
    ASwitch* s = addSwitch(&style, index, 10, 20);
    settleIdle(100);
    hostCalls.clear();
    play([&] { clickAt(centreX(s), centreY(s), true); });
    AMidiControlWindow* window = dynamic_cast<AMidiControlWindow*>(root->getOpenWindow());
    ASSERT_NE(window, nullptr) << "Ctrl-click opens the MIDI control window";
    EXPECT_EQ(synth->getParameter(index), 0.f) << "the Ctrl-click does not switch";
    EXPECT_EQ(hostCalls.size(), 0u) << "nor automate, nor bracket an edit";
    EXPECT_EQ(window->getX(), s->getAbsoluteX(false) + s->getWidth()) << "right of the switch";
    EXPECT_EQ(window->getY(), s->getAbsoluteY(false) + s->getHeight()) << "below it";
    AMidiControlPanel* midi = window->getPanel(0);
    EXPECT_FALSE(midi->getCheckBox()->isChecked());

    play([&] { clickAt(centreX(midi->getLearnButton()), centreY(midi->getLearnButton())); });
    ASSERT_EQ(root->getOpenWindow(), window);
    EXPECT_EQ(midi->getLearnButton()->getState(), 1) << "learning";
    EXPECT_EQ(synth->getMidiCC(index), -1);

    sendController(74, 127);
    settleIdle(100);
    EXPECT_EQ(synth->getMidiCC(index), 74);
    EXPECT_EQ(midi->getLearnButton()->getState(), 0) << "learning ends with the controller";
    EXPECT_EQ(midi->getChoice()->getSelected(), 74);
    EXPECT_TRUE(midi->getCheckBox()->isChecked());

    sendController(74, 127);
    settleIdle(100);
    EXPECT_GT(synth->getParameter(index), 0.9f) << "the learnt controller moves the parameter";
    EXPECT_EQ(s->shownFrame(), 1) << "and the switch shows it";
    sendController(74, 0);
    settleIdle(100);
    EXPECT_LT(synth->getParameter(index), 0.1f);
    EXPECT_EQ(s->shownFrame(), 0);

    // The window closes from its own close button's handler and is deleted at the next idle.
    ACloseButton* close = window->getCloseButton();
    int cx = centreX(close), cy = centreY(close);
    play([&] { clickAt(cx, cy); });
    EXPECT_EQ(root->getOpenWindow(), nullptr);
    EXPECT_EQ(pendingWindowDeletions(), 0) << "deleted by an idle after its handler";
}

TEST_F(Controls, TheMidiWindowAssignsClearsAndReassignsThroughItsChoiceAndCheckBox) {
    ASwitchStyle style;
    style.init(BitmapCache::get(350), 18, 18, 2, true, nullptr);
    const int index = 12;
    synth->setMidiCC(index, -1);
    ASwitch* s = addSwitch(&style, index, 480, 20);  // absolute x 520: the window opens to the left
    settleIdle(100);
    play([&] { clickAt(centreX(s), centreY(s), true); });
    AMidiControlWindow* window = dynamic_cast<AMidiControlWindow*>(root->getOpenWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->getX(), s->getAbsoluteX(false) - window->getWidth()) << "left of a switch right of 500";
    AMidiControlPanel* midi = window->getPanel(0);
    AChoice* choice = midi->getChoice();
    // The controller list pops up; Down eight times and Enter pick "Control #7".
    play([&] {
        clickAt(centreX(choice), centreY(choice));
        waitForMenu();
        for (int i = 0; i < 8; i++) press(VK_DOWN);
        press(VK_RETURN);
    });
    ASSERT_EQ(synth->getMidiCC(index), 7);
    ASSERT_EQ(root->getOpenWindow(), window) << "the window stays open while its list is used";
    EXPECT_EQ(choice->getSelected(), 7);
    EXPECT_TRUE(midi->getCheckBox()->isChecked());
    ACheckBox* box = midi->getCheckBox();
    play([&] { clickAt(centreX(box), centreY(box)); });
    EXPECT_EQ(synth->getMidiCC(index), -1) << "unticking removes the assignment";
    EXPECT_EQ(choice->getSelected(), 0);
    play([&] { clickAt(centreX(box), centreY(box)); });
    EXPECT_EQ(synth->getMidiCC(index), 7) << "ticking again assigns the remembered controller";
    EXPECT_EQ(choice->getSelected(), 7);

    // A press outside a MIDI window closes it.
    play([&] { clickAt(TestPanel::kLeft + 5, TestPanel::kTop + 250); });
    EXPECT_EQ(root->getOpenWindow(), nullptr);
    EXPECT_EQ(pendingWindowDeletions(), 0);
}

// ---------------------------------------------------------------- choices and menus

TEST_F(Controls, AParameterChoiceSendsTheItemPositionAndAListenerChoiceTellsItsListener) {
    AChoiceStyle style;
    style.init(7, kNormalFont, 10, 0, kBlackCColor, kGreyCColor, nullptr);
    const char* modes[] = {"Random", "Rotate", "ReAssign", "Reset", "UniLow", "UniHigh", "UniLast"};
    for (int i = 0; i < 7; i++) style.setItem(i, modes[i]);
    synth->setParameter(30, 1.f);
    AChoice* bound = panel->place(new AChoice(&style, instrument, 30), 10, 20);
    bound->setBounds(10, 20, 80, 16);
    ChoiceRecorder recorder;
    AChoice* told = panel->place(new AChoice(&style, &recorder), 10, 60);
    told->setBounds(10, 60, 80, 16);
    EXPECT_EQ(bound->getSelected(), 1);
    settleIdle(100);
    // Down from the top: the first Down lights item 0.
    play([&] {
        clickAt(centreX(bound), centreY(bound));
        waitForMenu();
        for (int i = 0; i < 6; i++) press(VK_DOWN);
        press(VK_RETURN);
    });
    EXPECT_EQ(synth->getParameter(30), 5.f) << "the item's position, not a fraction";
    EXPECT_STREQ(bound->getSelectedText(), "UniHigh");
    play([&] {
        clickAt(centreX(told), centreY(told));
        waitForMenu();
        for (int i = 0; i < 3; i++) press(VK_DOWN);
        press(VK_RETURN);
    });
    EXPECT_EQ(recorder.items, (std::vector<int>{2}));
    EXPECT_EQ(told->getSelected(), 2);
    // Escape leaves everything as it was.
    play([&] {
        clickAt(centreX(told), centreY(told));
        waitForMenu();
        press(VK_DOWN);
        press(VK_ESCAPE);
        Sleep(100);
        press(VK_ESCAPE);
    });
    EXPECT_EQ(recorder.items.size(), 1u);
    EXPECT_EQ(editor->getToolkitFrame()->getShownOptionMenu(), nullptr) << "a cancelled menu leaves the frame";
    // A value from the instrument selects the item it holds, the last for a value past the end.
    synth->setParameter(30, 3.9f);
    settleIdle(50);
    EXPECT_EQ(bound->getSelected(), 3);
    synth->setParameter(30, 40.f);
    settleIdle(50);
    EXPECT_EQ(bound->getSelected(), 6);
}

TEST_F(Controls, OptionMenusPickThroughSubmenusSeparatorsAndColumns) {
    MenuRecorder outer, inner;
    COptionMenu* menu = new COptionMenu(CRect(0, 0, 0, 0), &outer, 1);
    COptionMenu* sub = new COptionMenu(CRect(0, 0, 0, 0), &inner, 2);
    for (const char* t : {"one", "two", "three"}) sub->addEntry(t);
    menu->addEntry("first");
    menu->addEntry("-");
    menu->addEntry("after the separator");
    menu->addEntry(sub, "more");
    sub->forget();  // the menu holds it now
    AFrame* frame = editor->getToolkitFrame();
    auto run = [&](const std::vector<WORD>& keys) {
        std::atomic<bool> done(false);
        std::thread input([&] {
            waitForMenu();
            for (WORD k : keys) press(k);
            done = true;
        });
        frame->showOptionMenu(menu);  // returns once the menu is closed
        input.join();
        frame->hideOptionMenu(false);
        settleIdle(100);
    };
    run({VK_DOWN, VK_DOWN, VK_RETURN});
    ASSERT_EQ(outer.heard.size(), 1u);
    EXPECT_EQ(outer.heard[0].first, menu);
    EXPECT_EQ(outer.heard[0].second, 2) << "the separator is skipped but counts as an entry";
    EXPECT_TRUE(inner.heard.empty());

    run({VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
    EXPECT_EQ(outer.heard.size(), 1u) << "a submenu's choice is not the parent's";
    ASSERT_EQ(inner.heard.size(), 1u);
    EXPECT_EQ(inner.heard[0].first, sub);
    EXPECT_EQ(inner.heard[0].second, 1);

    // 30 entries stand in two columns of 24 and 6: Right goes across to entry 24.
    menu->removeAllEntry();
    for (int i = 0; i < 30; i++) menu->addEntry(("entry " + std::to_string(i)).c_str());
    run({VK_DOWN, VK_RIGHT, VK_RETURN});
    ASSERT_EQ(outer.heard.size(), 2u);
    EXPECT_EQ(outer.heard[1].second, 24);
    menu->forget();
}

// ---------------------------------------------------------------- text edit

TEST_F(Controls, ATextEditCommitsOnEnterAndOnLeavingAndEscapeKeepsTheOldText) {
    MenuRecorder listener;
    CFrame* host = editor->getToolkitFrame()->getHostFrame();
    CTextEdit* edit = new CTextEdit(CRect(600, 6, 700, 26), &listener, 5001, "Bank");
    edit->setFont(kNormalFontSmall);
    edit->setFontColor(kBlackCColor);
    ASSERT_TRUE(host->addView(edit));
    HWND window = host->getSystemWindow();
    auto clickWindow = [](int x, int y) {
        screenX = x;
        screenY = y;
        mouseEvent(0);
        mouseButton(MOUSEEVENTF_LEFTDOWN);
        mouseButton(MOUSEEVENTF_LEFTUP);
    };
    play([&] {
        clickWindow(650, 16);
        type("Strings");
        press(VK_RETURN);
    });
    EXPECT_FALSE(edit->isEditing());
    EXPECT_STREQ(edit->getText(), "Strings");
    ASSERT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(listener.heard[0].first, edit);
    EXPECT_EQ(FindWindowExA(window, nullptr, "Edit", nullptr), nullptr) << "the field is gone";

    play([&] {
        clickWindow(650, 16);
        type("Pads");
        press(VK_ESCAPE);
    });
    EXPECT_STREQ(edit->getText(), "Strings");
    EXPECT_EQ(listener.heard.size(), 1u) << "Escape tells nobody";

    play([&] {
        clickWindow(650, 16);
        type("Keys");
        clickWindow(300, 300);  // elsewhere in the editor
    });
    EXPECT_STREQ(edit->getText(), "Keys");
    EXPECT_EQ(listener.heard.size(), 2u);
    host->removeView(edit, true);
}

// ---------------------------------------------------------------- buttons, hover

TEST_F(Controls, AButtonTellsItsListenerAndShowsItsNameAfterHovering) {
    AButtonStyle style;
    style.init(BitmapCache::get(170), 18, 18, nullptr, nullptr);
    ButtonRecorder recorder;
    AButton* button = panel->place(new AButton(&style, instrument), 100, 100);
    button->setListener(&recorder);
    button->setMomentary(true);
    button->setName("Part 1");
    AButton* nameless = panel->place(new AButton(&style, instrument), 200, 100);
    settleIdle(100);
    play([&] { clickAt(centreX(button), centreY(button)); });
    EXPECT_EQ(recorder.seen, (std::vector<std::string>{"pressed 1", "released"}));
    EXPECT_EQ(button->getState(), 0) << "a momentary button springs back";

    // Rest on the button: after a second its name shows beside it.
    pointAt(TestPanel::kLeft + 300, TestPanel::kTop + 250);
    settleIdle(300);
    ASSERT_EQ(root->getOpenWindow(), nullptr);
    pointAt(centreX(button), centreY(button));
    settleIdle(600);
    EXPECT_EQ(root->getOpenWindow(), nullptr) << "not before a second";
    settleIdle(700);
    ANamePopup* popup = dynamic_cast<ANamePopup*>(root->getOpenWindow());
    ASSERT_NE(popup, nullptr) << "the name popup after a second's rest";
    EXPECT_EQ(popup->getName(), "Part 1");
    EXPECT_EQ(popup->getX(), button->getAbsoluteX(false) + button->getWidth());
    EXPECT_EQ(popup->getY(), button->getAbsoluteY(false) + button->getHeight());
    // Leaving ends it; a button without a name never shows one.
    pointAt(centreX(nameless), centreY(nameless));
    settleIdle(1500);
    EXPECT_EQ(root->getOpenWindow(), nullptr);
}

}  // namespace

namespace {

// ---------------------------------------------------------------- pictures

// The area of the test panel on the screen, with a margin.
const int kShotX = TestPanel::kLeft - 10, kShotY = TestPanel::kTop - 10;
const int kShotWidth = TestPanel::kWidth + 20, kShotHeight = TestPanel::kHeight + 20;

class ControlPictures : public Controls {
protected:
    // Compares what the screen shows with the stored picture of that name, looking again
    // for a while for a loaded machine's late paint; HALVORN_UPDATE_REFERENCE=1 stores it.
    void expectPicture(const std::string& name) {
        SCOPED_TRACE(name);
        const char* update = getenv("HALVORN_UPDATE_REFERENCE");
        const bool updating = update && *update == '1';
        std::string path = std::string(HALVORN_CONTROLS_REFERENCE_DIR) + "/controls_" + name + ".bmp";
        Picture reference;
        if (!updating) ASSERT_TRUE(readBmp(path, reference)) << path;
        Picture shot;
        for (int look = 0; look < 40; look++) {
            settleIdle(150);
            shot = captureScreen(kShotX, kShotY + kFrameTop, kShotWidth, kShotHeight);
            if (updating ? look >= 3 : mismatchedShare(shot, reference, 8) < 0.002) break;
        }
        EXPECT_GT(shot.distinctColours(64), 16) << "the widgets show, not a plain fill";
        if (updating) {
            ASSERT_TRUE(writeBmp(path, shot));
            return;
        }
        EXPECT_LT(mismatchedShare(shot, reference, 8), 0.002);
        if (HasFailure()) writeBmp(path + ".actual.bmp", shot);
    }
};

TEST_F(ControlPictures, EveryWidgetKindInItsStatesLooksAsStored) {
    ASwitchStyle twoWay, threeWay, fiveWay, withDisabled, lampStyle;
    twoWay.init(BitmapCache::get(350), 18, 18, 2, true, BitmapCache::get(351));
    threeWay.init(BitmapCache::get(359), 17, 37, 3, true, BitmapCache::get(360));
    fiveWay.init(BitmapCache::get(364), 17, 18, 5, true, BitmapCache::get(365));
    withDisabled.init(BitmapCache::get(349), 69, 27, 2, true, nullptr);
    lampStyle.init(BitmapCache::get(503), 23, 9, 2, true, nullptr);
    AButtonStyle plainButton, overlaidButton;
    plainButton.init(BitmapCache::get(170), 18, 18, nullptr, nullptr);
    overlaidButton.init(BitmapCache::get(366), 18, 18, BitmapCache::get(367), nullptr);
    AChoiceStyle listStyle;
    listStyle.init(5, kNormalFont, 10, 0, kBlackCColor, kGreyCColor, nullptr);
    const char* zones[] = {"Z 1", "Z 2", "Z 3", "Z 4", "Off"};
    for (int i = 0; i < 5; i++) listStyle.setItem(i, zones[i]);

    // Parameters 40-49 hold the switches' values, 50-51 a note range, 52 the list.
    const float firstValues[] = {0.f, 1.f, 0.f, 0.5f, 1.f, 0.5f, 0.f, 0.f};
    for (int i = 0; i < 8; i++) synth->setParameter(40 + i, firstValues[i]);
    synth->setParameter(50, 36.f);
    synth->setParameter(51, 67.f);
    synth->setParameter(52, 1.f);
    ASwitch* switches[8] = {
        addSwitch(&twoWay, 40, 10, 10),     addSwitch(&twoWay, 41, 40, 10),    addSwitch(&threeWay, 42, 70, 10),
        addSwitch(&threeWay, 43, 100, 10),  addSwitch(&threeWay, 44, 130, 10), addSwitch(&fiveWay, 45, 160, 10),
        addSwitch(&withDisabled, 46, 190, 10), addSwitch(&withDisabled, 47, 270, 10)};
    switches[7]->setEnabled(false);
    ALamp* lampOff = panel->place(new ALamp(&lampStyle), 10, 60);
    ALamp* lampOn = panel->place(new ALamp(&lampStyle), 40, 60);
    lampOn->setState(1);
    AButton* released = panel->place(new AButton(&plainButton, instrument), 10, 80);
    AButton* pressed = panel->place(new AButton(&plainButton, instrument), 40, 80);
    pressed->setState(1);
    AButton* overlaid = panel->place(new AButton(&overlaidButton, instrument), 70, 80);
    overlaid->setState(1);
    ACheckBox* unchecked = panel->place(new ACheckBox(nullptr), 10, 110);
    unchecked->setBounds(10, 110, 12, 12);
    ACheckBox* checked = panel->place(new ACheckBox(nullptr), 40, 110);
    checked->setBounds(40, 110, 12, 12);
    checked->setChecked(true);
    AChoice* list = panel->place(new AChoice(&listStyle, instrument, 52), 10, 130);
    list->setBounds(10, 130, 60, 16);
    ARangeChoice* range = panel->place(new ARangeChoice(instrument, 50, 51), 80, 130);
    range->setBounds(80, 130, 70, 16);

    root->openWindow(new AMidiControlWindow(instrument, 2041));
    AWindow* open = root->getOpenWindow();
    ASSERT_NE(open, nullptr);
    open->setPosition(330, 60);
    expectPicture("midi_window");
    root->closeWindow(nullptr);  // deleted at the next idle

    // The other states, with the keyboard range window and then the two popups.
    const float secondValues[] = {1.f, 0.f, 1.f, 0.f, 0.5f, 1.f, 1.f, 1.f};
    for (int i = 0; i < 8; i++) synth->setParameter(40 + i, secondValues[i]);
    switches[7]->setEnabled(true);
    switches[6]->setEnabled(false);
    lampOff->setState(1);
    Sleep(ALamp::kHoldMs + 20);
    lampOn->setState(0);
    pressed->setState(0);
    released->setState(1);
    checked->setChecked(false);
    unchecked->setChecked(true);
    synth->setParameter(52, 4.f);
    synth->setParameter(50, 25.f);
    synth->setParameter(51, 120.f);
    list->setEnabled(false);
    AKeyboardWindow* keyboard = new AKeyboardWindow(range);
    keyboard->setLowMark(0, 0, true);
    keyboard->setHighMark(4, 4, false);
    keyboard->setPosition(TestPanel::kLeft, TestPanel::kTop + 230);
    ASSERT_TRUE(root->openWindow(keyboard));
    expectPicture("keyboard_window");
    root->closeWindow(nullptr);

    AControlPopup value(instrument, 40, 41);
    value.setPosition(330, 60);
    ASSERT_TRUE(root->openWindow(&value));
    expectPicture("value_popup");
    root->closeWindow(&value);

    released->setName("Store preset");
    released->showNamePopup();
    ASSERT_NE(released->getNamePopup(), nullptr);
    expectPicture("name_popup");
    released->hideNamePopup();
}

}  // namespace
