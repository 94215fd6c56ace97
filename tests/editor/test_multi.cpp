// The part strip in the open editor, driven by real input: part buttons select the patches
// their parts play (Shift adds and removes, never the last one), part menus list the patches
// in use and create, copy and paste patches through real pop-up menus, the multi button
// closes the strip into the single-patch view and opens it again, and an edit with two
// parts' patches selected reaches both patches.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/halvorn.h"
#include "editor/editor_window.h"
#include "editor/halvorn_edit.h"
#include "editor/knob.h"
#include "editor/menu_on_screen.h"
#include "editor/recording_host.h"
#include "editor/skin_tables.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"
#include "editor/vexa_panel.h"
#include "editor/vexa_panel_multi.h"
#include "host/in_process.h"
#include "host/test_host.h"
#include "toolkit/aframe.h"

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new HalvornEdit(effect); }

namespace {

const int kPartPatch = 2000;
const int kPartZone = 2008;
const int kMultiShown = 2089;
const int kPatchHostParameters = 62, kPatchInternalParameters = 44;
const int kFrameTop = 33;

using Patches = std::vector<int>;
using Parts = std::vector<int>;

class Multi : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingHost::clear();
        RecordingHost::setNames("", "");
        synth.reset(new Halvorn(RecordingHost::callback));
        ASSERT_FALSE(synth->creationFailed());
        editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
        ASSERT_NE(editor, nullptr);
        open();
    }

    void TearDown() override {
        if (extra) {
            editor->getRootPanel()->remove(extra);
            extra->destroyAll();
            delete extra;
        }
        editor->close();
        synth.reset();
    }

    void open() {
        ASSERT_TRUE(editor->open(parent.handle()));
        settleIdle(300);
        gui = static_cast<VexaGuiInterface*>(editor->getGuiInterface());
        multi = editor->getRootPanel()->getMultiPanel();
        ASSERT_NE(multi, nullptr);
        ASSERT_TRUE(editor->getRootPanel()->AContainer::contains(multi)) << "the full layout holds the part strip";
        ASSERT_EQ(multi->getX(), 0);
        ASSERT_EQ(multi->getY(), 0);
    }

    void idle() {
        pumpMessages();
        editor->idle();
    }
    void settleIdle(int milliseconds) {
        DWORD end = GetTickCount() + milliseconds;
        do {
            idle();
            Sleep(10);
        } while ((long)(GetTickCount() - end) < 0);
        idle();
    }
    void play(const std::function<void()>& gesture) {
        playGesture(gesture, [this] { idle(); });
        settleIdle(200);
    }

    // Parts 0-7 play these patches, as a host's automation sets them.
    void assignParts(const Patches& patches) {
        for (int part = 0; part < 8; part++) synth->setParameter(kPartPatch + part, (float)patches[part]);
        settleIdle(150);
    }

    POINT screenPoint(AComponent* widget) {
        POINT p = {widget->getAbsoluteX(true) + widget->getWidth() / 2, widget->getAbsoluteY(true) + widget->getHeight() / 2};
        ClientToScreen(editor->getFrame()->getSystemWindow(), &p);
        return p;
    }

    void clickOn(AComponent* widget, WORD modifier = 0) {
        POINT p = screenPoint(widget);
        play([&] {
            moveTo(p);
            // The modifier is held a full step before and after, so that wine has it at the press.
            if (modifier) sendKey(modifier, true);
            sendMouse(MOUSEEVENTF_LEFTDOWN);
            sendMouse(MOUSEEVENTF_LEFTUP);
            if (modifier) sendKey(modifier, false);
        });
    }

    // Opens part's menu, reads it, and picks item (Escape for -1).
    std::vector<MenuEntry> choose(int part, int item) {
        AChoice* menu = multi->getPartMenu(part);
        POINT p = screenPoint(menu);
        std::vector<MenuEntry> entries;
        play([&] {
            // The menu opens on the press with its corner at the field's: the button comes
            // up left of it, where a release chooses no item.
            moveTo(p);
            sendMouse(MOUSEEVENTF_LEFTDOWN);
            moveTo({p.x - menu->getWidth() / 2 - 6, p.y});
            sendMouse(MOUSEEVENTF_LEFTUP);
            entries = waitForMenu();
            if (item < 0 || entries.empty()) {
                sendKey(VK_ESCAPE, true);
                sendKey(VK_ESCAPE, false);
                return;
            }
            if (!chooseMenuItem(item)) {
                sendKey(VK_ESCAPE, true);
                sendKey(VK_ESCAPE, false);
            }
        });
        return entries;
    }

    static std::string texts(const std::vector<MenuEntry>& entries) {
        std::string all;
        for (const MenuEntry& e : entries) all += (all.empty() ? "" : " ") + e.text + (e.greyed ? "(grey)" : "");
        return all;
    }

    Patches selectedPatches() {
        Patches selected;
        for (int p = 0; p < 8; p++)
            if (gui->isPatchSelected(p)) selected.push_back(p);
        return selected;
    }
    Parts litParts() {
        Parts lit;
        for (int part = 0; part < 8; part++)
            if (multi->getPartButton(part)->getState()) lit.push_back(part);
        return lit;
    }
    int partPatch(int part) { return (int)synth->getParameter(kPartPatch + part); }

    // A note on channel 1, and audio enough for the voice to start or end.
    void note(int key, int velocity) {
        sendMidiMessage(*synth, velocity ? 0x90 : 0x80, (unsigned char)key, (unsigned char)velocity);
        renderBlocks(*synth, 8);
    }

    // The strip between the two animations, whose frames follow the clock.
    Picture strip() {
        return captureWindow(editor->getFrame()->getSystemWindow(), 88, kFrameTop + 28, 836, 100);
    }
    // One lit lamp changes about 130 of the strip's 83,600 pixels.
    static constexpr double kAllowedMismatch = 0.0005;
    // Compares the strip with the stored picture of that name, looking again for a while for
    // a loaded machine's late paint; HALVORN_UPDATE_REFERENCE=1 stores it.
    void expectStrip(const std::string& name) {
        SCOPED_TRACE(name);
        const char* update = getenv("HALVORN_UPDATE_REFERENCE");
        const bool updating = update && *update == '1';
        std::string path = std::string(HALVORN_MULTI_REFERENCE_DIR) + "/multi_" + name + ".bmp";
        Picture reference;
        if (!updating) {
            ASSERT_TRUE(readBmp(path, reference)) << path;
        }
        Picture shot;
        for (int look = 0; look < 20; look++) {
            settleIdle(150);
            shot = strip();
            if (updating ? look >= 3 : mismatchedShare(shot, reference, 8) < kAllowedMismatch) break;
        }
        if (updating) {
            ASSERT_TRUE(writeBmp(path, shot));
            return;
        }
        EXPECT_LT(mismatchedShare(shot, reference, 8), kAllowedMismatch);
        if (HasFailure()) writeBmp(path + ".actual.bmp", shot);
    }

    TestInstall install;
    ParentWindow parent;
    std::unique_ptr<Halvorn> synth;
    HalvornEdit* editor = nullptr;
    VexaGuiInterface* gui = nullptr;
    VexaPanelMulti* multi = nullptr;
    APanel* extra = nullptr;
};

// ---------------------------------------------------------------- part buttons

TEST_F(Multi, PartsPlayingOnePatchLightTogether) {
    assignParts({3, 3, 0, 1, 2, 4, 5, 6});
    clickOn(multi->getPartButton(0));
    EXPECT_EQ(selectedPatches(), Patches({3}));
    EXPECT_EQ(litParts(), Parts({0, 1})) << "parts 0 and 1 both play patch 3";
    clickOn(multi->getPartButton(5));
    EXPECT_EQ(selectedPatches(), Patches({4}));
    EXPECT_EQ(litParts(), Parts({5}));
}

struct SelectionStep {
    const char* what;
    int part;
    bool shift;
    Patches selected;
    Parts lit;
};

TEST_F(Multi, ShiftAddsAndRemovesAPatchButNeverTheLastOne) {
    assignParts({3, 3, 0, 1, 2, 4, 5, 6});
    const SelectionStep steps[] = {
        {"a plain click selects part 0's patch", 0, false, {3}, {0, 1}},
        {"Shift on the only lit part changes nothing", 0, true, {3}, {0, 1}},
        {"nor on another part of that patch", 1, true, {3}, {0, 1}},
        {"Shift on an unlit part adds its patch", 4, true, {2, 3}, {0, 1, 4}},
        {"Shift on a lit part among others removes its patch", 0, true, {2}, {4}},
        {"a plain click leaves only its patch", 6, false, {5}, {6}},
    };
    for (const SelectionStep& step : steps) {
        SCOPED_TRACE(step.what);
        clickOn(multi->getPartButton(step.part), step.shift ? VK_SHIFT : 0);
        EXPECT_EQ(selectedPatches(), step.selected);
        EXPECT_EQ(litParts(), step.lit);
    }
}

// ---------------------------------------------------------------- part menus

TEST_F(Multi, PartMenusListThePatchesInUseThenNewCopyAndPaste) {
    struct Case {
        const char* what;
        Patches parts;
        std::string menu;
    } cases[] = {
        {"all eight in use: the patches and Copy only", {7, 6, 5, 4, 3, 2, 1, 0}, "1 2 3 4 5 6 7 8 Copy"},
        {"one patch free, nothing copied", {3, 3, 0, 1, 2, 4, 5, 6}, "1 2 3 4 5 6 7 New Copy Paste(grey)"},
        {"two in use", {2, 5, 5, 5, 5, 5, 5, 5}, "3 6 New Copy Paste(grey)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        assignParts(c.parts);
        EXPECT_EQ(texts(choose(1, -1)), c.menu);
        EXPECT_EQ(partPatch(1), c.parts[1]) << "Escape changes nothing";
    }
}

TEST_F(Multi, APatchItemSetsThatPatchNotTheItemsPosition) {
    assignParts({2, 5, 5, 5, 5, 5, 5, 5});
    // "3 6 New Copy Paste": "6" is the second item.
    choose(0, 1);
    EXPECT_EQ(partPatch(0), 5) << "patch 6 is patch number 5, not the item's position 1";
    EXPECT_EQ(selectedPatches(), Patches({5}));
    EXPECT_EQ(litParts(), Parts({0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_STREQ(multi->getPartMenu(0)->getSelectedText(), "6");
    EXPECT_EQ(texts(choose(0, -1)), "6 New Copy Paste(grey)") << "patch 3 is no longer in use";
}

TEST_F(Multi, NewTakesTheLowestPatchNoPartPlaysAndSelectsOnlyIt) {
    // Part 7 was moved to patch 1 after the preset's load: 1 is in use from then on.
    assignParts({0, 3, 3, 5, 5, 5, 5, 1});
    const int fresh = 2;
    synth->setParameter(fresh * kPatchHostParameters + 5, 0.123f);
    settleIdle(100);
    EXPECT_EQ(texts(choose(2, 4)), "1 2 4 6 New Copy Paste(grey)");
    EXPECT_EQ(partPatch(2), fresh);
    EXPECT_NE(synth->getParameter(fresh * kPatchHostParameters + 5), 0.123f) << "the new patch has its defaults";
    EXPECT_EQ(selectedPatches(), Patches({fresh}));
    EXPECT_EQ(litParts(), Parts({2}));
    EXPECT_EQ(partPatch(1), 3) << "the other parts keep their patches";
    EXPECT_EQ(partPatch(7), 1);
    EXPECT_STREQ(multi->getPartMenu(2)->getSelectedText(), "3");
    EXPECT_EQ(texts(choose(0, -1)), "1 2 3 4 6 New Copy Paste(grey)");
}

TEST_F(Multi, CopyTakesThePatchThePartPlaysAndPasteGivesItToANewPatch) {
    // Part 1 plays patch 4; patch 1 (the part's own number) sounds different.
    assignParts({0, 4, 0, 0, 0, 0, 0, 0});
    for (int local = 0; local < kPatchHostParameters; local++) {
        synth->setParameter(4 * kPatchHostParameters + local, (float)((local * 7) % 10) / 10.f);
        synth->setParameter(1 * kPatchHostParameters + local, 0.95f);
    }
    settleIdle(100);
    std::vector<float> copied;
    for (int local = 0; local < kPatchHostParameters; local++)
        copied.push_back(synth->getParameter(4 * kPatchHostParameters + local));
    for (int local = 0; local < kPatchInternalParameters; local++)
        copied.push_back(synth->getParameter(1000 + 4 * kPatchInternalParameters + local));

    EXPECT_EQ(texts(choose(1, 3)), "1 5 New Copy Paste(grey)");
    EXPECT_EQ(partPatch(1), 4) << "Copy changes no part";
    EXPECT_EQ(selectedPatches(), Patches({4}));
    EXPECT_EQ(texts(choose(5, 4)), "1 5 New Copy Paste") << "Paste can be chosen once a patch is copied";
    ASSERT_EQ(partPatch(5), 1) << "Paste gives part 5 the lowest free patch";
    std::vector<float> pasted;
    for (int local = 0; local < kPatchHostParameters; local++)
        pasted.push_back(synth->getParameter(1 * kPatchHostParameters + local));
    for (int local = 0; local < kPatchInternalParameters; local++)
        pasted.push_back(synth->getParameter(1000 + 1 * kPatchInternalParameters + local));
    EXPECT_EQ(pasted, copied) << "patch 1 holds what part 1 played";
    EXPECT_EQ(selectedPatches(), Patches({1}));
    EXPECT_EQ(litParts(), Parts({5}));
}

TEST_F(Multi, MenusFollowAPartsPatchThatTheHostChanges) {
    assignParts({0, 1, 2, 3, 4, 5, 6, 7});
    clickOn(multi->getPartButton(0));
    // Part 6 leaves patch 6 while patch 6 is not selected.
    synth->setParameter(kPartPatch + 6, 0.f);
    settleIdle(200);
    EXPECT_EQ(texts(choose(0, -1)), "1 2 3 4 5 6 8 New Copy Paste(grey)");
    EXPECT_STREQ(multi->getPartMenu(6)->getSelectedText(), "1");
    EXPECT_EQ(litParts(), Parts({0, 6})) << "part 6 now plays the selected patch";
}

// ---------------------------------------------------------------- the multi button

TEST_F(Multi, TheMultiButtonClosesTheStripIntoPartThreesPatchWhileItsLampsKeepRunning) {
    assignParts({0, 1, 2, 5, 3, 4, 6, 7});
    // Part 3 alone is in zone 1, which hears channel 1. (The single view plays the selected
    // patch on every part, one voice each, whatever the zones.)
    for (int part = 0; part < 8; part++) synth->setParameter(kPartZone + part, part == 3 ? 0.f : 4.f);
    synth->setParameter(2061, 0.f);
    synth->setParameter(2062, 24.f);
    synth->setParameter(2063, 120.f);
    settleIdle(100);
    clickOn(multi->getPartButton(3));
    ASSERT_EQ(litParts(), Parts({3}));
    expectStrip("open");

    clickOn(multi->getMultiButton());
    EXPECT_EQ(synth->getParameter(kMultiShown), 6.f) << "part 3 plays patch 5: the view of patch 5 + 1";
    EXPECT_FALSE(multi->isOpen());
    EXPECT_EQ(selectedPatches(), Patches({5}));
    EXPECT_FALSE(multi->getPartButton(0)->isEnabled());
    EXPECT_FALSE(multi->getPartMenu(0)->isEnabled());
    EXPECT_FALSE(multi->getLevelKnob(7)->isEnabled());
    EXPECT_FALSE(multi->getRangeChoice(2)->isEnabled());
    EXPECT_TRUE(multi->getLamp(3)->isEnabled());
    EXPECT_TRUE(multi->getMultiButton()->isEnabled());
    expectStrip("closed");

    note(60, 100);
    settleIdle(100);
    Parts sounding, shown;
    for (int part = 0; part < 8; part++) {
        if (synth->getPartActivity(part)) sounding.push_back(part);
        if (multi->getLamp(part)->getState()) shown.push_back(part);
    }
    EXPECT_FALSE(sounding.empty()) << "the note sounds";
    EXPECT_EQ(shown, sounding) << "the lamps follow the parts while the strip is closed";
    expectStrip("closed");
    clickOn(multi->getPartButton(0));
    EXPECT_EQ(selectedPatches(), Patches({5})) << "a closed strip takes no click";

    clickOn(multi->getMultiButton());
    EXPECT_EQ(synth->getParameter(kMultiShown), 0.f);
    EXPECT_TRUE(multi->isOpen());
    EXPECT_TRUE(multi->getPartButton(0)->isEnabled());
    EXPECT_TRUE(multi->getRangeChoice(2)->isEnabled());
    note(60, 0);
    // The multi view again: part 3's zone takes the note, and the open strip shows its lamp.
    note(64, 100);
    settleIdle(100);
    EXPECT_EQ(multi->getLamp(3)->getState(), 1);
    expectStrip("open_lamp_lit");
    note(64, 0);
    settleIdle(300);
    EXPECT_EQ(multi->getLamp(3)->getState(), 0) << "dark once the part is silent";
}

TEST_F(Multi, TheMultiButtonWithNoPartLitTakesPartZerosPatch) {
    // At open only patch 0 is selected, and no part plays it.
    editor->close();
    for (int part = 0; part < 8; part++) synth->setParameter(kPartPatch + part, (float)(part == 0 ? 6 : 1 + part % 4));
    open();
    ASSERT_EQ(litParts(), Parts());
    clickOn(multi->getMultiButton());
    EXPECT_EQ(synth->getParameter(kMultiShown), 7.f);
    EXPECT_EQ(selectedPatches(), Patches({6}));
    EXPECT_EQ(litParts(), Parts({0}));
}

TEST_F(Multi, AClosedStripStaysClosedAtTheNextOpen) {
    synth->setParameter(kMultiShown, 3.f);
    settleIdle(100);
    EXPECT_FALSE(multi->isOpen());
    editor->close();
    open();
    EXPECT_FALSE(multi->isOpen());
    EXPECT_EQ(multi->getMultiButton()->getState(), 0);
    EXPECT_FALSE(multi->getPartButton(2)->isEnabled());
}

TEST_F(Multi, EitherAnimationStopsAndStartsBoth) {
    AAnim* left = multi->getAnimation(0);
    AAnim* right = multi->getAnimation(1);
    ASSERT_TRUE(left->isRunning());
    clickOn(right);
    EXPECT_FALSE(left->isRunning());
    EXPECT_FALSE(right->isRunning());
    int frame = left->getCurrentFrame();
    settleIdle(300);
    EXPECT_EQ(left->getCurrentFrame(), frame) << "a stopped animation keeps its frame";
    clickOn(left);
    EXPECT_TRUE(left->isRunning());
    EXPECT_TRUE(right->isRunning());
}

// ---------------------------------------------------------------- editing two patches

TEST_F(Multi, AKnobEditWithTwoPartsPatchesSelectedReachesBoth) {
    assignParts({2, 6, 0, 1, 3, 4, 5, 7});
    editor->setKnobMode(2);
    // A knob of a patch parameter (cutoff, widget index 5) below the strip.
    extra = new APanel(editor->getInstrumentInterface(), gui);
    extra->setBounds(600, 400, 60, 60);
    AKnob* knob = new AKnob(getSkinKnobStyle(0), editor->getInstrumentInterface(), 5, -1);
    knob->setPosition(10, 10);
    extra->add(knob);
    editor->getRootPanel()->add(extra);
    for (int patch = 0; patch < 8; patch++) synth->setParameter(patch * kPatchHostParameters + 5, 0.2f);
    settleIdle(100);

    clickOn(multi->getPartButton(0));
    clickOn(multi->getPartButton(1), VK_SHIFT);
    ASSERT_EQ(selectedPatches(), Patches({2, 6}));
    RecordingHost::clear();
    POINT from = screenPoint(knob);
    // Linear dragging: 128 pixels for the whole range.
    play([&] {
        moveTo(from);
        sendMouse(MOUSEEVENTF_LEFTDOWN);
        for (int up = 8; up <= 32; up += 8) moveTo({from.x, from.y - up});
        sendMouse(MOUSEEVENTF_LEFTUP);
    });
    const int first = 2 * kPatchHostParameters + 5, second = 6 * kPatchHostParameters + 5;
    EXPECT_NEAR(synth->getParameter(first), 0.45f, 1e-4);
    EXPECT_EQ(synth->getParameter(second), synth->getParameter(first));
    for (int patch : {0, 1, 3, 4, 5, 7}) EXPECT_EQ(synth->getParameter(patch * kPatchHostParameters + 5), 0.2f) << patch;
    EXPECT_EQ(RecordingHost::bracketsOf(first), "BAE");
    EXPECT_EQ(RecordingHost::bracketsOf(second), "BAE");
    EXPECT_EQ(RecordingHost::bracketsOf(5), "") << "patch 0 is not selected";
}

}  // namespace
