// The voice and keyboard sections in the open editor, driven by real mouse input at the
// places the face shows them: factory voice buttons load built-in sounds into the selected
// patches and follow edits of the line, the voice panel's sliders and switches write their
// parameters, the on-screen keyboard plays and shows notes, the ribbon bends, the About zone
// opens and closes the About window, and the keyboard section looks as stored.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/builtin_sounds.h"
#include "core/halvorn.h"
#include "editor/editor_window.h"
#include "editor/halvorn_edit.h"
#include "editor/keyboard.h"
#include "editor/knob.h"
#include "editor/recording_host.h"
#include "editor/ribbon.h"
#include "editor/slider.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"
#include "editor/vexa_keyboard_panel.h"
#include "editor/vexa_panel.h"
#include "editor/vexa_voice_panel.h"
#include "toolkit/abutton.h"
#include "toolkit/aframe.h"
#include "toolkit/awindows.h"

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new HalvornEdit(effect); }

namespace {

// Where the face shows the sections, in the root panel's coordinates (full layout).
const int kVoiceLeft = 290, kVoiceTop = 128;
const int kKeyboardLeft = 0, kKeyboardTop = 312;

// Voice buttons: tag 12 x row + n at (439 + 18 n, 10 + 18 row) of the keyboard section.
const int kBrass1 = 2, kBass = 12 + 4, kPanelRow0 = 11, kPanelRow1 = 23;

class Sections : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingHost::clear();
        RecordingHost::setNames("", "");
        // The pointer rests off the face: a control under it would open its hover popup, and
        // the first press would only close that.
        moveTo(POINT{1200, 1000});
        synth.reset(new Halvorn(RecordingHost::callback));
        ASSERT_FALSE(synth->creationFailed());
        editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->open(parent.handle()));
        idle(3);  // the first idle lays the sections out
        root = editor->getRootPanel();
        ASSERT_NE(root, nullptr);
        gui = static_cast<VexaGuiInterface*>(editor->getGuiInterface());
        voice = root->getVoicePanel();
        keys = root->getKeyboardPanel();
        ASSERT_NE(voice, nullptr);
        ASSERT_NE(keys, nullptr);
    }

    void TearDown() override {
        if (editor) editor->close();
    }

    void idle(int times) {
        for (int i = 0; i < times; i++) {
            pumpMessages();
            editor->idle();
        }
    }

    // A point of the root panel on the screen.
    POINT onFace(int rootX, int rootY) {
        POINT p = {root->getAbsoluteX(true) + rootX, root->getAbsoluteY(true) + rootY};
        ClientToScreen(editor->getFrame()->getSystemWindow(), &p);
        return p;
    }
    POINT inVoice(int x, int y) { return onFace(kVoiceLeft + x, kVoiceTop + y); }
    POINT inKeyboard(int x, int y) { return onFace(kKeyboardLeft + x, kKeyboardTop + y); }
    POINT voiceButton(int tag) { return inKeyboard(439 + 18 * (tag % 12) + 9, 10 + 18 * (tag / 12) + 9); }

    // Plays the gesture on another thread while this one runs the window's messages and the
    // host's idle calls.
    void play(const std::function<void()>& gesture, const std::function<void()>& alsoEachTick = nullptr) {
        playGesture(gesture, [&] {
            pumpMessages();
            editor->idle();
            if (alsoEachTick) alsoEachTick();
        });
        idle(3);
    }
    bool inMouseLoop() { return editor->getToolkitFrame() && editor->getToolkitFrame()->inMouseLoop(); }
    void press() {
        sendMouse(MOUSEEVENTF_LEFTDOWN);
        waitUntil([this] { return inMouseLoop(); });
    }
    void release() {
        sendMouse(MOUSEEVENTF_LEFTUP);
        waitUntil([this] { return !inMouseLoop(); });
    }
    void click(POINT where) {
        play([&] {
            moveTo(where);
            press();
            release();
        });
    }
    void drag(POINT from, POINT to, int index) {
        play([&] {
            moveTo(from);
            press();
            float before = synth->getParameter(index);
            moveTo(to);
            waitUntil([&] { return synth->getParameter(index) != before; }, 2000);
            release();
        });
    }

    // Which voice buttons of a row are lit, as a string of 0 and 1.
    std::string litButtons(int row) {
        std::string lit;
        for (int n = 0; n < 12; n++) lit += keys->getVoiceButton(12 * row + n)->getState() ? '1' : '0';
        return lit;
    }

    const LineBlock& line(int patch, int number) { return synth->getProgramRecord().patches[patch].lines[number]; }

    TestInstall install;
    ParentWindow parent;
    std::unique_ptr<Halvorn> synth;
    HalvornEdit* editor = nullptr;
    VexaPanel* root = nullptr;
    VexaGuiInterface* gui = nullptr;
    VexaVoicePanel* voice = nullptr;
    VexaKeyboardPanel* keys = nullptr;
};

// ---------------------------------------------------------------- voice buttons

TEST_F(Sections, AVoiceButtonLoadsItsSoundIntoTheLineOfEverySelectedPatch) {
    EXPECT_EQ(litButtons(0), "000000000001") << "\"Panel\" lit at construction";
    EXPECT_EQ(litButtons(1), "000000000001");
    gui->setPatchSelected(5, true);
    idle(2);
    // What the built-in sound makes of each line, and what the unselected patch keeps.
    LineBlock brass0 = line(0, 0), brass5 = line(5, 0);
    writeVoiceTemplate(brass0, 0, kBrass1);
    writeVoiceTemplate(brass5, 0, kBrass1);
    ASSERT_NE(memcmp(&brass0, &line(0, 0), sizeof brass0), 0) << "the sound changes the line";
    const LineBlock untouched = line(3, 0), secondLine = line(0, 1);

    click(voiceButton(kBrass1));
    EXPECT_EQ(memcmp(&line(0, 0), &brass0, sizeof brass0), 0) << "patch 0, line 1";
    EXPECT_EQ(memcmp(&line(5, 0), &brass5, sizeof brass5), 0) << "patch 5, line 1";
    EXPECT_EQ(memcmp(&line(3, 0), &untouched, sizeof untouched), 0) << "an unselected patch";
    EXPECT_EQ(memcmp(&line(0, 1), &secondLine, sizeof secondLine), 0) << "line 2";
    // The load's own changes reach the editor at the idles after the press: they are no edit.
    idle(4);
    EXPECT_EQ(litButtons(0), "001000000000");
    EXPECT_EQ(litButtons(1), "000000000001");
    // The voice panel shows what was loaded.
    EXPECT_EQ(voice->getSlider(2 * 8)->getHandlePosition(),
              voice->getSlider(2 * 8)->valueToPosition(synth->getParameter(6)));
}

// After a load, a change of the line (from the face, the host or an unselected patch) makes
// it an edited line again: "Panel" lights in that row alone.
TEST_F(Sections, EditingALoadedLineLightsItsPanelButtonAgain) {
    struct Case {
        const char* name;
        std::function<void()> edit;
        int row;
    };
    const Case cases[] = {
        {"a line-1 slider dragged on the face",
         [&] { drag(inVoice(287 + 10, 17 + 25), inVoice(287 + 10, 17 + 5), 6); }, 0},
        {"a line-1 switch from the host", [&] { synth->setParameter(1001, synth->getParameter(1001) < 0.5f ? 1.f : 0.f); }, 0},
        {"a line-2 value of an unselected patch", [&] { synth->setParameter(62 * 6 + 30, 0.123f); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        click(voiceButton(kBrass1));
        click(voiceButton(kBass));
        idle(3);
        ASSERT_EQ(litButtons(0), "001000000000");
        ASSERT_EQ(litButtons(1), "000010000000");
        c.edit();
        idle(3);
        EXPECT_EQ(litButtons(c.row), "000000000001");
        EXPECT_EQ(litButtons(1 - c.row), c.row == 0 ? "000010000000" : "001000000000");
    }
}

TEST_F(Sections, ThePanelButtonLoadsNothingAndLights) {
    click(voiceButton(kBass));
    idle(3);
    ASSERT_EQ(litButtons(1), "000010000000");
    // Were "Panel" to load a sound, the line would change from the bass.
    const LineBlock before = line(0, 1);
    LineBlock initSound = before;
    writeVoiceTemplate(initSound, 1, kPanelRow1 % 12);
    ASSERT_NE(memcmp(&initSound, &before, sizeof before), 0);
    click(voiceButton(kPanelRow1));
    idle(3);
    EXPECT_EQ(memcmp(&line(0, 1), &before, sizeof before), 0) << "loads nothing";
    EXPECT_EQ(litButtons(1), "000000000001");
    EXPECT_EQ(litButtons(0), "000000000001");
}

TEST_F(Sections, EachVoiceButtonShowsItsName) {
    const char* names[24] = {"String 1", "String 3", "Brass 1",  "Flute",        "Electric Piano", "Clavichord 1",
                             "Harpsichord 1", "Organ 1", "Guitar 1", "Funky 1", "Funky 3",        "Panel",
                             "String 2", "String 4", "Brass 2",  "Brass 3",      "Bass",           "Clavichord 2",
                             "Harpsichord 2", "Organ 2", "Guitar 2", "Funky 2", "Funky 4",        "Panel"};
    for (int k = 0; k < 24; k++) EXPECT_EQ(keys->getVoiceButton(k)->getName(), names[k]) << k;
    // Resting on "Flute" opens its name popup.
    std::string shown;
    play([&] {
        moveTo(voiceButton(3));
        waitUntil([&] { return root->getOpenWindow() != nullptr; }, 4000);
        if (ANamePopup* popup = dynamic_cast<ANamePopup*>(root->getOpenWindow())) shown = popup->getName();
        moveTo(onFace(500, 590));
        waitUntil([&] { return root->getOpenWindow() == nullptr; }, 4000);
    });
    EXPECT_EQ(shown, "Flute");
}

// ---------------------------------------------------------------- voice panel

// Sliders and switches of both lines, pressed where the face shows them; an edit reaches
// every selected patch.
TEST_F(Sections, VoicePanelSlidersAndSwitchesWriteTheirParameters) {
    gui->setPatchSelected(2, true);
    idle(2);
    struct Slider {
        const char* name;
        int x, y;   // the slider's top-left corner in the voice section
        int index;  // patch 0's index; patch 2's copy follows
        int copy;
        float atLeast;  // 40 pixels up from 0
    } sliders[] = {
        {"line 1 low-pass cutoff", 287, 17, 6, 6 + 2 * 62, 40.f / 128},
        {"line 2 amplifier release", 555, 119, 42, 42 + 2 * 62, 40.f / 128},
        {"line 2 after level, one pixel to the left", 668, 119, 47, 47 + 2 * 62, 40.f / 128},
        {"line 1 LFO wave, six steps", 74, 17, 1007, 1007 + 2 * 44, 0.5f},
    };
    for (const Slider& c : sliders) {
        SCOPED_TRACE(c.name);
        synth->setParameter(c.index, 0.f);
        synth->setParameter(c.copy, 0.f);
        idle(2);
        RecordingHost::clear();
        drag(inVoice(c.x + 10, c.y + 45), inVoice(c.x + 10, c.y + 5), c.index);
        EXPECT_GE(synth->getParameter(c.index), c.atLeast - 1e-4f);
        EXPECT_EQ(synth->getParameter(c.copy), synth->getParameter(c.index));
        if (c.index < 62) {
            EXPECT_EQ(RecordingHost::bracketsOf(c.index), "BAE") << "the host hears a host parameter";
        }
    }
    // Each click moves a switch to its next position, around to the first.
    struct Switch {
        const char* name;
        int x, y, width, height;
        int index;
        int positions;
    } switches[] = {
        {"line 1 square wave", 161, 20, 17, 37, 1001, 2},
        {"line 2 saw or triangle", 179, 121, 17, 37, 1010, 3},
        {"line 2 high-pass switch", 241, 103, 23, 9, 1014, 2},
        {"line 1 filter switch", 467, 69, 19, 9, 1003, 2},
        {"a switch of line 1 alone", 180, 84, 18, 18, 1023, 2},
    };
    for (const Switch& c : switches) {
        SCOPED_TRACE(c.name);
        synth->setParameter(c.index, 0.f);
        synth->setParameter(c.index + 2 * 44, 0.f);
        idle(2);
        for (int click = 1; click <= c.positions; click++) {
            this->click(inVoice(c.x + c.width / 2, c.y + c.height / 2));
            float v = synth->getParameter(c.index);
            EXPECT_EQ((int)(v * c.positions), click % c.positions) << "value " << v << " after click " << click;
            EXPECT_EQ(synth->getParameter(c.index + 2 * 44), v) << "patch 2's copy";
        }
    }
}

// A change of the selection shows the selected patches' values in every line widget.
TEST_F(Sections, BothPanelsShowTheSelectedPatches) {
    synth->setParameter(6, 0.f);
    synth->setParameter(6 + 4 * 62, 1.f);
    synth->setParameter(1020, 0.f);
    synth->setParameter(1020 + 4 * 44, 1.f);
    synth->setParameter(48, 0.2f);
    synth->setParameter(48 + 4 * 62, 0.2f);
    idle(2);
    ASlider* cutoff = voice->getSlider(2 * 8);
    ASlider* range = static_cast<ASlider*>(keys->widgetFor(1020));
    AKnob* mix = static_cast<AKnob*>(keys->widgetFor(48));
    EXPECT_FALSE(cutoff->isMixed());
    EXPECT_FALSE(range->isMixed());
    gui->setPatchSelected(4, true);
    idle(2);
    EXPECT_TRUE(cutoff->isMixed());
    EXPECT_TRUE(range->isMixed());
    EXPECT_FALSE(mix->isMixed()) << "both patches hold the same mix";
    gui->setPatchSelected(0, false);
    idle(2);
    EXPECT_FALSE(cutoff->isMixed());
    EXPECT_EQ(cutoff->getHandlePosition(), cutoff->valueToPosition(1.f)) << "patch 4's value";
    EXPECT_EQ(range->getHandlePosition(), range->valueToPosition(1.f));
}

// ---------------------------------------------------------------- keyboard and ribbon

// The key under the pointer plays through the instrument, whose note dispatch lights it.
TEST_F(Sections, TheKeyboardPlaysTheKeyUnderThePointer) {
    struct Case {
        int x, y;  // in the keyboard, whose left edge is at 251 of the section
        int note;
    } cases[] = {{5, 40, 37}, {60, 100, 41}, {140 * 2 + 30, 110, 36 + 24 + 2}, {705, 60, 96}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.note);
        bool litWhileHeld = false, shownWhileHeld = false;
        play([&] {
            moveTo(inKeyboard(251 + c.x, 129 + c.y));
            press();
            waitUntil([&] { return keys->getKeyboard()->isKeyLit(c.note - 36); }, 3000);
            litWhileHeld = editor->isKeyLit(c.note);
            shownWhileHeld = keys->getKeyboard()->isKeyLit(c.note - 36);
            release();
        });
        EXPECT_TRUE(litWhileHeld) << "the instrument plays the note";
        EXPECT_TRUE(shownWhileHeld) << "the keyboard lights it";
        EXPECT_FALSE(editor->isKeyLit(c.note)) << "released with the button";
        EXPECT_FALSE(keys->getKeyboard()->isKeyLit(c.note - 36));
    }
}

// Notes from MIDI, processed on the host's audio thread, light their keys at the next idle.
TEST_F(Sections, NotesFromMidiLightTheirKeys) {
    auto processOnAudioThread = [&](std::vector<VstMidiEvent> messages) {
        std::thread audio([&] {
            std::vector<VstEvent*> list;
            for (VstMidiEvent& m : messages) list.push_back((VstEvent*)&m);
            std::vector<char> buffer(sizeof(VstEvents) + list.size() * sizeof(VstEvent*));
            VstEvents* events = (VstEvents*)buffer.data();
            events->numEvents = (VstInt32)list.size();
            for (size_t i = 0; i < list.size(); i++) events->events[i] = list[i];
            synth->processEvents(events);
            std::vector<float> left(256), right(256);
            std::vector<float*> outputs(halvorn::kNumOutputs, left.data());
            outputs[1] = right.data();
            synth->processReplacing(outputs.data(), outputs.data(), 256);
        });
        audio.join();
    };
    processOnAudioThread({TestHost::midiEvent(0x90, 48, 100), TestHost::midiEvent(0x90, 67, 90),
                          TestHost::midiEvent(0x90, 100, 90)});
    idle(2);
    std::vector<int> lit;
    for (int key = 0; key < AVexaKeyboard::kKeys; key++)
        if (keys->getKeyboard()->isKeyLit(key)) lit.push_back(36 + key);
    EXPECT_EQ(lit, (std::vector<int>{48, 67})) << "note 100 lies beyond the keyboard";
    processOnAudioThread({TestHost::midiEvent(0x80, 48, 0)});
    idle(2);
    EXPECT_FALSE(keys->getKeyboard()->isKeyLit(48 - 36));
    EXPECT_TRUE(keys->getKeyboard()->isKeyLit(67 - 36));
}

TEST_F(Sections, TheRibbonBendsThePitch) {
    const int kPitchBend = 546;
    float held = -1.f;
    RecordingHost::clear();
    play([&] {
        moveTo(inKeyboard(260 + 100, 99 + 7));
        press();
        moveTo(inKeyboard(260 + 200, 99 + 7));
        waitUntil([&] { return synth->getParameter(kPitchBend) > 0.55f; }, 2000);
        held = synth->getParameter(kPitchBend);
        release();
    });
    // 474 pixels of strip: each pixel from the press point moves the bend 0.5 / 474.
    EXPECT_NEAR(held, 0.5 + 100 * 0.5 / 474, 1e-4);
    EXPECT_FLOAT_EQ(synth->getParameter(kPitchBend), 0.5f) << "back to the centre after release";
    EXPECT_FALSE(RecordingHost::callsFor(kPitchBend).empty()) << "the host hears the bend";
}

// ---------------------------------------------------------------- the About zone

TEST_F(Sections, TheAboutZoneTogglesTheAboutWindow) {
    auto aboutShown = [&] {
        return root->isAboutShown() && root->children().back() == (AComponent*)root->getAboutWindow();
    };
    ASSERT_FALSE(aboutShown());
    click(inKeyboard(850 + 60, 76 + 20));
    EXPECT_TRUE(aboutShown());
    click(inKeyboard(850 + 5, 76 + 35));
    EXPECT_FALSE(aboutShown());
}

// ---------------------------------------------------------------- hosts that keep the bridges

// One host keeps the editor's window, and with it the bridges, over a close: a line change
// arriving afterwards must not reach the deleted keyboard section.
TEST_F(Sections, ALineChangeAfterACloseThatKeepsTheBridgesReachesNoDeletedPanel) {
    editor->close();
    RecordingHost::setNames("DigitalPerformer", "");
    synth.reset();
    synth.reset(new Halvorn(RecordingHost::callback));
    editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
    ASSERT_TRUE(editor->open(parent.handle()));
    idle(3);
    editor->close();
    ASSERT_NE(editor->getGuiInterface(), nullptr) << "the bridges stay";
    synth->setParameter(5, 0.3f);
    synth->setParameter(24 + 5, 0.3f);
    editor->idle();
    ASSERT_TRUE(editor->open(parent.handle()));
    idle(3);
    synth->setParameter(5, 0.6f);
    idle(2);
    editor->close();
    RecordingHost::setNames("", "");
}

// ---------------------------------------------------------------- the picture

// The keyboard section as the window paints it, with lit keys and a loaded sound, against the
// stored picture; HALVORN_UPDATE_REFERENCE=1 stores it instead.
TEST_F(Sections, TheKeyboardSectionLooksAsStored) {
    keys->buttonPressed(keys->getVoiceButton(kBrass1), 1);
    keys->buttonPressed(keys->getVoiceButton(12 + 7), 1);
    for (int note : {36, 43, 60, 61, 75, 96}) keys->showKeyDown(note);
    synth->setParameter(547, 0.7f);
    synth->setParameter(2092, 1.f);
    synth->setParameter(2081, 0.5f);
    idle(4);
    pumpMessages();
    Picture picture = captureWindow(editor->getFrame()->getSystemWindow(), kKeyboardLeft, 33 + kKeyboardTop, 1008, 275);
    EXPECT_GT(picture.distinctColours(64), 16);
    const std::string path = std::string(HALVORN_SECTIONS_REFERENCE) + "/keyboard_section.bmp";
    const char* update = getenv("HALVORN_UPDATE_REFERENCE");
    if (update && *update == '1') {
        ASSERT_TRUE(writeBmp(path, picture)) << path;
        return;
    }
    Picture reference;
    ASSERT_TRUE(readBmp(path, reference)) << path;
    // The window's own pixels: the same build paints them the same.
    double share = mismatchedShare(picture, reference, 8);
    EXPECT_LT(share, 50.0 / (1008 * 275));
    if (HasFailure()) writeBmp(path + ".actual.bmp", picture);
}

}  // namespace
