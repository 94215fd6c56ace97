// The editor's widgets inside the real editor window: a test panel of knobs, sliders, the
// keyboard, the ribbon and a text display joins the open editor's tree, and real mouse
// input (SendInput from a second thread, as a user's hand) drives them. What the host
// hears comes through the instrument's audioMaster callback.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/halvorn.h"
#include "editor/editor_window.h"
#include "editor/halvorn_edit.h"
#include "editor/keyboard.h"
#include "editor/knob.h"
#include "editor/ribbon.h"
#include "editor/skin_tables.h"
#include "editor/slider.h"
#include "editor/text_display.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"
#include "editor/vexa_panel.h"
#include "editor/recording_host.h"
#include "toolkit/aframe.h"
#include "toolkit/awindows.h"
#include "toolkit/control_styles.h"

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new HalvornEdit(effect); }

namespace {

using RecordingHost::bracketsOf;
using RecordingHost::callsFor;
using RecordingHost::clear;

// ---------------------------------------------------------------- the editor and its panel

const int kKnobIndex = 5;     // a patch parameter: widget index of patch 0
const int kSliderIndex = 7;
const int kSteppedIndex = 8;
const int kClickStepIndex = 9;
const int kRibbonIndex = 546;  // pitch bend
const double kStartAngle = 0.5233333, kEndAngle = 5.7566667;

// The value a circular knob takes for a pointer at (dx, dy) from its pivot: the angle
// clockwise from straight down, between the strip's end angles.
double circularValue(double dx, double dy) {
    double angle = std::atan2(-dx, dy);
    if (angle < 0) angle += 2 * 3.14159265358979;
    if (angle < kStartAngle) angle = kStartAngle;
    if (angle > kEndAngle) angle = kEndAngle;
    return (angle - kStartAngle) / (kEndAngle - kStartAngle);
}

class Widgets : public ::testing::Test {
protected:
    void SetUp() override {
        clear();
        RecordingHost::setNames("", "");
        synth.reset(new Halvorn(RecordingHost::callback));
        ASSERT_FALSE(synth->creationFailed());
        editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
        ASSERT_NE(editor, nullptr);
        editor->setKnobMode(0);
        ASSERT_TRUE(editor->open(parent.handle()));
        editor->idle();
        instrument = static_cast<VexaInterface*>(editor->getInstrumentInterface());
        gui = static_cast<VexaGuiInterface*>(editor->getGuiInterface());
        ASSERT_NE(instrument, nullptr);
        ASSERT_NE(gui, nullptr);

        panel = new APanel(instrument, gui);
        panel->setBounds(40, 40, 900, 420);
        knob = add(new AKnob(getSkinKnobStyle(0), instrument, kKnobIndex, -1), 20, 20);
        slider = add(new ASlider(getSkinSliderStyle(0), instrument, kSliderIndex), 140, 20);
        stepped = add(new ASlider(getSkinSliderStyle(7), instrument, kSteppedIndex), 180, 20);
        clickStepStyle = *getSkinSliderStyle(7);
        clickStepStyle.steppedClick = true;
        clickStepped = add(new ASlider(&clickStepStyle, instrument, kClickStepIndex), 220, 20);
        keyboard = new AVexaKeyboard(instrument);
        keyboard->setBounds(20, 120, 720, 127);
        panel->add(keyboard);
        ribbon = new ARuban(instrument, gui, kRibbonIndex);
        ribbon->setBounds(20, 270, 500, 14);
        panel->add(ribbon);
        // On the bare root: the face's sections (their animations, lamps and cover) would
        // repaint under the test's widgets.
        std::vector<AComponent*> sections = editor->getRootPanel()->children();
        for (AComponent* section : sections) editor->getRootPanel()->remove(section);
        editor->getRootPanel()->add(panel);
        editor->getRootPanel()->setKeyboard(keyboard);
        idle(3);
    }

    void TearDown() override {
        if (!editor || !editor->getRootPanel()) return;
        editor->getRootPanel()->setKeyboard(nullptr);
        editor->getRootPanel()->closeWindow(nullptr);
        editor->getRootPanel()->remove(panel);
        panel->destroyAll();
        delete panel;
        editor->close();
    }

    template <typename Widget>
    Widget* add(Widget* widget, int x, int y) {
        widget->setPosition(x, y);
        panel->add(widget);
        return widget;
    }

    void idle(int times) {
        for (int i = 0; i < times; i++) {
            pumpMessages();
            editor->idle();
        }
    }

    // A point of a widget on the screen, in the widget's own coordinates.
    POINT at(AComponent* widget, int dx, int dy) {
        POINT p = {widget->getAbsoluteX(true) + dx, widget->getAbsoluteY(true) + dy};
        ClientToScreen(editor->getFrame()->getSystemWindow(), &p);
        return p;
    }

    // Plays the gesture on another thread while this one runs the window's messages and
    // the host's idle calls.
    void play(const std::function<void()>& gesture) {
        playGesture(gesture, [this] {
            pumpMessages();
            editor->idle();
        });
        idle(3);
    }

    bool inMouseLoop() { return editor->getToolkitFrame() && editor->getToolkitFrame()->inMouseLoop(); }
    // A button goes down and the frame's mouse loop takes it.
    void press(DWORD down = MOUSEEVENTF_LEFTDOWN) {
        sendMouse(down);
        waitUntil([this] { return inMouseLoop(); });
    }
    void release(DWORD up = MOUSEEVENTF_LEFTUP) {
        sendMouse(up);
        waitUntil([this] { return !inMouseLoop(); });
    }
    // Moves while a button is held, until the parameter leaves the value it had.
    void dragTo(POINT to, int index) {
        float before = synth->getParameter(index);
        moveTo(to);
        waitUntil([&] { return synth->getParameter(index) != before; }, 2000);
    }

    void drag(POINT from, POINT to, int index) {
        play([&] {
            moveTo(from);
            press();
            dragTo(to, index);
            release();
        });
    }

    void click(POINT where) {
        play([&] {
            moveTo(where);
            press();
            release();
        });
    }

    TestInstall install;
    ParentWindow parent;
    std::unique_ptr<Halvorn> synth;
    HalvornEdit* editor = nullptr;
    VexaInterface* instrument = nullptr;
    VexaGuiInterface* gui = nullptr;
    APanel* panel = nullptr;
    AKnob* knob = nullptr;
    ASlider *slider = nullptr, *stepped = nullptr, *clickStepped = nullptr;
    ASliderStyle clickStepStyle;
    AVexaKeyboard* keyboard = nullptr;
    ARuban* ribbon = nullptr;
};

// ---------------------------------------------------------------- knobs

TEST_F(Widgets, AKnobDragAutomatesItsParameterInEveryKnobMode) {
    struct Case {
        int knobMode;
        bool linear;
    } cases[] = {{0, false}, {1, false}, {2, true}};
    const int cx = 13, cy = 13;  // the pivot of a 26 x 26 knob
    for (const Case& c : cases) {
        SCOPED_TRACE("knob mode " + std::to_string(c.knobMode));
        editor->setKnobMode(c.knobMode);
        synth->setParameter(kKnobIndex, 0.25f);
        idle(2);
        clear();
        // Pressed left of the pivot, dragged 64 pixels up.
        drag(at(knob, cx - 10, cy), at(knob, cx - 10, cy - 64), kKnobIndex);
        double expected = c.linear ? 0.75 : circularValue(-10, -64);
        EXPECT_NEAR(synth->getParameter(kKnobIndex), expected, 1e-4);
        EXPECT_EQ(bracketsOf(kKnobIndex), "BAE") << "one beginEdit, the values, one endEdit";
        std::vector<HostCall> calls = callsFor(kKnobIndex);
        ASSERT_GE(calls.size(), 3u);
        EXPECT_NEAR(calls[calls.size() - 2].opt, expected, 1e-4) << "the host heard the last value";
        EXPECT_EQ(knob->getFrameShown(), std::min(63, (int)(synth->getParameter(kKnobIndex) * 64)));
    }
}

// A circular press takes the pointer's angle at once; a linear one changes nothing until the
// pointer moves. Alt turns the mode over. (A modifier is held only while the pointer stays:
// the X server's own state, which knows nothing of injected keys, comes with each move.)
TEST_F(Widgets, AltTurnsTheKnobModeOver) {
    struct Case {
        int knobMode;
        bool alt;
        bool circular;
    } cases[] = {{0, false, true}, {0, true, false}, {1, true, false}, {2, false, false}, {2, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE("knob mode " + std::to_string(c.knobMode) + (c.alt ? " with Alt" : ""));
        editor->setKnobMode(c.knobMode);
        synth->setParameter(kKnobIndex, 0.25f);
        idle(2);
        clear();
        play([&] {
            moveTo(at(knob, 13 - 10, 13));
            if (c.alt) sendKey(VK_MENU, true);
            press();
            release();
            if (c.alt) sendKey(VK_MENU, false);
        });
        EXPECT_NEAR(synth->getParameter(kKnobIndex), c.circular ? circularValue(-10, 0) : 0.25, 1e-4);
        EXPECT_EQ(bracketsOf(kKnobIndex), c.circular ? "BAE" : "BE");
    }
}

TEST_F(Widgets, TheRightButtonDragsAKnobFinely) {
    editor->setKnobMode(2);
    struct Case {
        const char* name;
        DWORD down, up;
        double change;
    } cases[] = {
        {"left", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 64.0 / 128},
        {"right", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 64.0 / 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        synth->setParameter(kKnobIndex, 0.25f);
        idle(2);
        clear();
        play([&] {
            moveTo(at(knob, 13, 13));
            press(c.down);
            dragTo(at(knob, 13, 13 - 64), kKnobIndex);
            release(c.up);
        });
        EXPECT_NEAR(synth->getParameter(kKnobIndex), 0.25 + c.change, 1e-4);
        EXPECT_EQ(bracketsOf(kKnobIndex), "BAE");
    }
}

// A knob with a second parameter edits that one with the right button or Shift.
TEST_F(Widgets, TheRightButtonOrShiftEditsAKnobsSecondParameter) {
    AKnob* pair = add(new AKnob(getSkinKnobStyle(8), instrument, kKnobIndex, kKnobIndex + 1), 60, 20);
    editor->setKnobMode(2);
    idle(2);
    struct Case {
        const char* name;
        DWORD down, up;
        WORD key;
        int edited;
    } cases[] = {
        {"left", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 0, kKnobIndex},
        {"right", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 0, kKnobIndex + 1},
        {"Shift and left", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, VK_SHIFT, kKnobIndex + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clear();
        play([&] {
            moveTo(at(pair, 12, 12));
            if (c.key) sendKey(c.key, true);
            press(c.down);
            release(c.up);
            if (c.key) sendKey(c.key, false);
        });
        EXPECT_EQ(bracketsOf(c.edited), "BE");
        EXPECT_EQ(bracketsOf(c.edited == kKnobIndex ? kKnobIndex + 1 : kKnobIndex), "");
        EXPECT_EQ(pair->getEditedIndex(), kKnobIndex) << "the release makes the first parameter the edited one again";
    }
}

TEST_F(Widgets, ACircularKnobRefusesAJumpAcrossItsEnds) {
    editor->setKnobMode(0);
    synth->setParameter(kKnobIndex, 0.95f);
    idle(2);
    // Pressed at the end of the travel (lower right), then swept to the lower left, where
    // the value would fall to 0.
    float pressed = -1.f;
    play([&] {
        moveTo(at(knob, 13 + 3, 13 + 10));
        press();
        waitUntil([&] { return synth->getParameter(kKnobIndex) == 1.f; });
        pressed = synth->getParameter(kKnobIndex);
        moveTo(at(knob, 13 - 3, 13 + 10));
        Sleep(300);
        release();
    });
    EXPECT_FLOAT_EQ(pressed, 1.f);
    EXPECT_FLOAT_EQ(synth->getParameter(kKnobIndex), 1.f);
}

// A Ctrl-click opens the MIDI control window beside the knob (right of it and below it in
// this corner of the face) and begins no edit; "Learn" then takes the next controller,
// which from then on moves the knob.
TEST_F(Widgets, ACtrlClickOpensTheMidiWindowWhoseLearnAssignsAController) {
    synth->setParameter(kKnobIndex, 0.4f);
    idle(2);
    clear();
    play([&] {
        moveTo(at(knob, 13, 13));
        sendKey(VK_CONTROL, true);
        press();
        release();
        sendKey(VK_CONTROL, false);
    });
    EXPECT_EQ(bracketsOf(kKnobIndex), "") << "no endEdit without a beginEdit, and no value";
    EXPECT_FLOAT_EQ(synth->getParameter(kKnobIndex), 0.4f);
    AMidiControlWindow* window = dynamic_cast<AMidiControlWindow*>(editor->getRootPanel()->getOpenWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->getAbsoluteX(false), knob->getAbsoluteX(false) + knob->getWidth());
    EXPECT_EQ(window->getAbsoluteY(false), knob->getAbsoluteY(false) + knob->getHeight());
    EXPECT_EQ(window->getPanel(0)->getIndex(), kKnobIndex);

    ALearnButton* learn = window->getPanel(0)->getLearnButton();
    click(at(learn, learn->getWidth() / 2, learn->getHeight() / 2));
    EXPECT_EQ(learn->getState(), 1) << "learning";
    EXPECT_EQ(synth->getMidiCC(kKnobIndex), -1) << "the old assignment is cleared first";

    // A controller arrives from MIDI: it is learnt, and its next moves turn the knob.
    VstMidiEvent message = TestHost::midiEvent(0xB0, 20, 127);
    VstEvents events = {};
    events.numEvents = 1;
    events.events[0] = (VstEvent*)&message;
    synth->processEvents(&events);
    std::vector<float> left(512), right(512);
    std::vector<float*> outputs(halvorn::kNumOutputs, left.data());
    outputs[1] = right.data();
    for (int block = 0; block < 200; block++) synth->processReplacing(outputs.data(), outputs.data(), 512);
    idle(3);
    EXPECT_EQ(synth->getMidiCC(kKnobIndex), 20);
    EXPECT_EQ(learn->getState(), 0) << "learning ends with the controller";
    EXPECT_GT(synth->getParameter(kKnobIndex), 0.99f);
    EXPECT_EQ(knob->getFrameShown(), 63);
}

// The value popup opens once the pointer has rested on a control for more than a second,
// and goes when the pointer leaves.
TEST_F(Widgets, AValuePopupAppearsAfterHovering) {
    AWindow* shownEarly = nullptr;
    AWindow* shownLate = nullptr;
    AWindow* shownAfter = slider->getValuePopup();
    play([&] {
        moveTo(at(slider, 10, 25));
        shownEarly = editor->getRootPanel()->getOpenWindow();
        waitUntil([&] { return editor->getRootPanel()->getOpenWindow() != nullptr; }, 4000);
        shownLate = editor->getRootPanel()->getOpenWindow();
        moveTo(at(slider, 10, 150));
        waitUntil([&] { return editor->getRootPanel()->getOpenWindow() == nullptr; }, 4000);
        shownAfter = editor->getRootPanel()->getOpenWindow();
    });
    EXPECT_EQ(shownEarly, nullptr) << "not at once";
    EXPECT_EQ(shownLate, slider->getValuePopup());
    EXPECT_EQ(shownAfter, nullptr);
    ASSERT_NE(slider->getValuePopup(), nullptr);
    EXPECT_EQ(slider->getValuePopup()->getAbsoluteX(false), slider->getAbsoluteX(false) + slider->getWidth())
        << "right of the control";
}

// Knob styles that the panels tune: a knob that springs back to the centre, a stepped one
// and one with a double click.
TEST_F(Widgets, TunedKnobsSpringBackStepAndTakeTheirDefault) {
    editor->setKnobMode(2);
    AKnobStyle springing = *getSkinKnobStyle(0);
    springing.returnsToCentre = true;
    AKnobStyle stepping = *getSkinKnobStyle(0);
    stepping.steppedClick = true;
    AKnobStyle doubled = *getSkinKnobStyle(0);
    doubled.doubleClickTime = 3000;
    doubled.defaultValue = 0.3f;
    AKnob* spring = add(new AKnob(&springing, instrument, 20, -1), 300, 20);
    AKnob* step = add(new AKnob(&stepping, instrument, 21, -1), 340, 20);
    AKnob* twice = add(new AKnob(&doubled, instrument, 22, -1), 380, 20);
    synth->setParameter(20, 0.8f);
    synth->setParameter(21, 0.99f);
    synth->setParameter(22, 0.9f);
    idle(2);
    clear();

    drag(at(spring, 13, 13), at(spring, 13, 13 - 40), 20);
    for (int i = 0; i < 30 && synth->getParameter(20) != 0.5f; i++) {
        Sleep(20);
        idle(1);
    }
    EXPECT_FLOAT_EQ(synth->getParameter(20), 0.5f) << "back at the centre after 200 ms";
    std::string brackets = bracketsOf(20);
    EXPECT_EQ(brackets.substr(0, 3), "BAE");
    EXPECT_EQ(brackets, "BAEA") << "the way back is values alone";

    click(at(step, 13, 13));
    EXPECT_FLOAT_EQ(synth->getParameter(21), 0.f) << "one frame on from the last wraps to 0";
    click(at(step, 13, 13));
    EXPECT_NEAR(synth->getParameter(21), 1.f / 64, 1e-6);

    play([&] {
        moveTo(at(twice, 13, 13));
        press();
        release();
        press();
        release();
    });
    EXPECT_FLOAT_EQ(synth->getParameter(22), 0.3f);
    EXPECT_EQ(bracketsOf(22), "BEBAEBE") << "the default goes out inside a bracket of its own";
}

// ---------------------------------------------------------------- sliders

TEST_F(Widgets, SlidersFollowTheDragInTheirSteps) {
    struct Case {
        ASlider* slider;
        int index;
        float start;
        int up;
        double value;
        int position;
    } cases[] = {
        {slider, kSliderIndex, 0.5f, 18, 0.5 + 18.0 / 128, (int)((1 - (0.5 + 18.0 / 128)) * 36)},
        {slider, kSliderIndex, 0.9f, 40, 1.0, 0},
        // Five steps: the style's height is the full range; 26 pixels up reach step 2 of 0-4.
        {stepped, kSteppedIndex, 0.f, 26, 26.0 / 51, 18},
        {stepped, kSteppedIndex, 0.f, 51, 1.0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.index) + " up " + std::to_string(c.up));
        synth->setParameter(c.index, c.start);
        idle(2);
        clear();
        drag(at(c.slider, 10, 25), at(c.slider, 10, 25 - c.up), c.index);
        EXPECT_NEAR(synth->getParameter(c.index), c.value, 1e-4);
        EXPECT_EQ(c.slider->getHandlePosition(), c.position);
        EXPECT_EQ(bracketsOf(c.index), "BAE");
    }
}

TEST_F(Widgets, ASteppedClickMovesOneStepTowardsThePointer) {
    struct Case {
        float start;
        int clickY;
        float value;
    } cases[] = {
        {0.99f, 40, 0.79f},  // below the handle at the top: one step down
        {0.f, 5, 0.2f},      // above the handle at the bottom: one step up
        {0.9f, 0, 0.f},      // at the handle's top edge: up, and from the top it wraps to 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start));
        synth->setParameter(kClickStepIndex, c.start);
        idle(2);
        clear();
        click(at(clickStepped, 10, c.clickY));
        EXPECT_NEAR(synth->getParameter(kClickStepIndex), c.value, 1e-5);
        EXPECT_EQ(bracketsOf(kClickStepIndex), "BAE");
    }
}

// ---------------------------------------------------------------- keyboard and ribbon

TEST_F(Widgets, TheKeyboardPlaysAndLightsTheKeyUnderThePointer) {
    struct Case {
        int x, y;
        int note;  // -1: no key there
    } cases[] = {{5, 40, 37}, {60, 100, 41}, {705, 10, 96}, {705, 120, 96}, {60, 40, -1}, {725, 60, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        std::vector<int> litWhileHeld, shownWhileHeld;
        play([&] {
            moveTo(at(keyboard, c.x, c.y));
            press();
            // The editor's idle shows the lit keys.
            waitUntil([&] { return c.note >= 0 && keyboard->isKeyLit(c.note - 36); }, c.note >= 0 ? 2000 : 500);
            for (int note = 0; note < 128; note++)
                if (editor->isKeyLit(note)) litWhileHeld.push_back(note);
            for (int key = 0; key < AVexaKeyboard::kKeys; key++)
                if (keyboard->isKeyLit(key)) shownWhileHeld.push_back(36 + key);
            release();
        });
        std::vector<int> expected;
        if (c.note >= 0) expected.push_back(c.note);
        EXPECT_EQ(litWhileHeld, expected) << "the instrument plays the note";
        EXPECT_EQ(shownWhileHeld, expected) << "the keyboard lights it";
        for (int key = 0; key < AVexaKeyboard::kKeys; key++) EXPECT_FALSE(keyboard->isKeyLit(key)) << key;
        EXPECT_FALSE(editor->isKeyLit(c.note < 0 ? 0 : c.note)) << "released with the button";
    }
}

TEST_F(Widgets, TheKeyboardShowsNotesFromMidi) {
    synth->noteEvent(48, 100, 0);
    synth->noteEvent(97, 100, 0);  // beyond the keyboard: nothing shows
    idle(2);
    EXPECT_TRUE(keyboard->isKeyLit(12));
    int lit = 0;
    for (int key = 0; key < AVexaKeyboard::kKeys; key++) lit += keyboard->isKeyLit(key) ? 1 : 0;
    EXPECT_EQ(lit, 1);
    synth->noteEvent(48, 0, 0);
    idle(2);
    EXPECT_FALSE(keyboard->isKeyLit(12));
}

TEST_F(Widgets, TheRibbonBendsFromThePressPointAndReturnsToTheCentre) {
    float held = -1.f;
    bool markerWhileHeld = false;
    clear();
    play([&] {
        moveTo(at(ribbon, 100, 7));
        press();
        dragTo(at(ribbon, 200, 7), kRibbonIndex);
        held = synth->getParameter(kRibbonIndex);
        markerWhileHeld = ribbon->isMarkerShown();
        release();
    });
    // 474 pixels of strip: each pixel from the press point moves the value 0.5 / 474.
    EXPECT_NEAR(held, 0.5 + 100 * 0.5 / 474, 1e-4);
    EXPECT_TRUE(markerWhileHeld);
    EXPECT_FLOAT_EQ(synth->getParameter(kRibbonIndex), 0.5f) << "back to the centre at the idle after release";
    EXPECT_EQ(ribbon->getState(), ARuban::kIdle);
    std::string brackets = bracketsOf(kRibbonIndex);
    EXPECT_EQ(brackets, "A") << "the ribbon sends values alone, without edit brackets";
}

// ---------------------------------------------------------------- patch selection

TEST_F(Widgets, AnEditReachesEverySelectedPatch) {
    editor->setKnobMode(2);
    gui->setPatchSelected(1, true);
    gui->setPatchSelected(3, true);
    gui->setPatchSelected(0, false);
    synth->setParameter(kKnobIndex + 62, 0.2f);
    synth->setParameter(kKnobIndex + 62 * 3, 0.8f);
    synth->setParameter(kKnobIndex, 0.6f);
    idle(2);
    knob->refresh();
    EXPECT_TRUE(knob->isMixed());
    clear();
    drag(at(knob, 13, 13), at(knob, 13, 13 - 32), kKnobIndex + 62);
    EXPECT_NEAR(synth->getParameter(kKnobIndex + 62), 0.2 + 0.25, 1e-4);
    EXPECT_NEAR(synth->getParameter(kKnobIndex + 62 * 3), 0.2 + 0.25, 1e-4) << "the first selected patch leads";
    EXPECT_FLOAT_EQ(synth->getParameter(kKnobIndex), 0.6f) << "an unselected patch keeps its value";
    EXPECT_FALSE(knob->isMixed());
    std::string order;
    for (const HostCall& call : RecordingHost::calls())
        if (call.opcode != audioMasterAutomate)
            order += (call.opcode == audioMasterBeginEdit ? "B" : "E") + std::to_string(call.index) + " ";
    EXPECT_EQ(order, "B67 B191 E67 E191 ");
}

// ---------------------------------------------------------------- pictures

// Picture of each widget kind in its states, against the stored reference;
// HALVORN_UPDATE_REFERENCE=1 stores the picture instead.
void comparePicture(const Picture& actual, const std::string& name) {
    const std::string path = std::string(HALVORN_WIDGETS_REFERENCE) + "/" + name + ".bmp";
    const char* update = getenv("HALVORN_UPDATE_REFERENCE");
    if (update && *update == '1') {
        ASSERT_TRUE(writeBmp(path, actual)) << path;
        return;
    }
    Picture reference;
    ASSERT_TRUE(readBmp(path, reference)) << path;
    ASSERT_EQ(reference.width, actual.width);
    ASSERT_EQ(reference.height, actual.height);
    // The window's own pixels, not the X screen's: the same build paints them the same, so
    // the allowance is a few dozen pixels, less than the smallest state (a ribbon marker).
    const double allowed = 50.0 / (actual.width * actual.height);
    double share = mismatchedShare(actual, reference, 8);
    EXPECT_LT(share, allowed) << name;
    if (share >= allowed) writeBmp(path + ".actual.bmp", actual);
}

TEST_F(Widgets, EachWidgetKindLooksAsStoredInItsStates) {
    editor->getRootPanel()->remove(panel);
    APanel* gallery = new APanel(instrument, gui);
    gallery->setBounds(20, 20, 760, 330);
    // Patches 0 and 1 selected: the mixed widgets have copies that differ.
    gui->setPatchSelected(1, true);
    auto value = [&](int index, float v, bool mixed) {
        synth->setParameter(index, v);
        synth->setParameter(index + 62, mixed ? 1.f - v : v);
    };
    struct KnobShot {
        int style;
        float v;
        bool mixed;
        int highlight;
    } knobs[] = {
        {0, 0.f, false, -1}, {0, 0.5f, false, -1}, {0, 1.f, false, -1}, {0, 0.2f, true, -1}, {0, 0.3f, false, 0},
        {0, 0.6f, false, 1}, {0, 0.8f, false, 2}, {0, 0.9f, false, 3}, {3, 0.f, false, -1}, {3, 0.5f, false, -1},
        {3, 1.f, false, -1}, {3, 0.2f, true, -1}, {8, 0.f, false, -1}, {8, 0.5f, false, -1}, {8, 1.f, false, -1},
        {1, 0.25f, false, -1}, {2, 0.75f, false, -1}, {4, 0.3f, false, -1}, {5, 0.6f, false, -1},
    };
    int index = 10;
    int x = 10;
    for (const KnobShot& k : knobs) {
        value(index, k.v, k.mixed);
        AKnob* w = new AKnob(getSkinKnobStyle(k.style), instrument, index++, -1);
        w->setPosition(x, 10);
        w->refresh();
        if (k.highlight >= 0) w->setHighlight((float)k.highlight);
        gallery->add(w);
        x += 36;
    }
    struct SliderShot {
        int style;
        float v;
        bool mixed;
    } sliders[] = {{0, 0.f, false}, {0, 1.f, false}, {0, 0.5f, true}, {7, 0.5f, false}, {3, 0.75f, false}, {1, 0.25f, false}};
    x = 10;
    for (const SliderShot& s : sliders) {
        value(index, s.v, s.mixed);
        ASlider* w = new ASlider(getSkinSliderStyle(s.style), instrument, index++);
        w->setPosition(x, 50);
        w->refresh();
        gallery->add(w);
        x += 30;
    }
    AVexaKeyboard* keys = new AVexaKeyboard(instrument);
    keys->setBounds(10, 110, 720, 127);
    gallery->add(keys);
    for (int note : {36, 37, 47, 48, 52, 53, 60, 61, 70, 84, 95, 96}) keys->setKeyDown(note, true);
    ADisplayStyle labelStyle(nullptr, 160, 16, 12, kWhiteCColor, kCenterText, kBoldFace);
    ADisplay* label = new ADisplay(&labelStyle, "Ribbon and keys");
    label->setPosition(200, 60);
    gallery->add(label);
    ARuban* strip = new ARuban(instrument, gui, kRibbonIndex);
    strip->setBounds(10, 250, 500, 14);
    gallery->add(strip);
    editor->getRootPanel()->add(gallery);
    strip->parameterChanged(kRibbonIndex, 0.6f);  // a value from outside shows the marker
    idle(2);
    pumpMessages();
    Picture picture = captureWindow(editor->getFrame()->getSystemWindow(), 20, 33 + 20, 760, 330);
    EXPECT_GT(picture.distinctColours(64), 16);
    comparePicture(picture, "gallery");

    // A change of one knob repaints that knob alone.
    idle(2);
    for (AComponent* c : editor->getRootPanel()->children())
        if (!c->isClean()) ADD_FAILURE() << "dirty child at " << c->getX() << "," << c->getY();
    for (AComponent* c : gallery->children())
        if (!c->isClean()) ADD_FAILURE() << "dirty gallery child at " << c->getX() << "," << c->getY();
    ASSERT_TRUE(editor->getRootPanel()->isClean());
    AComponent* first = gallery->children()[1];
    gui->parameterChanged(11, 0.9f);
    COffscreenContext offscreen(editor->getFrame(), 1008, 600);
    CRect drawn;
    editor->getRootPanel()->drawIfDirty(&offscreen, 0, 0, drawn);
    EXPECT_EQ(drawn, CRect(first->getAbsoluteX(false), first->getAbsoluteY(false),
                           first->getAbsoluteX(false) + first->getWidth(), first->getAbsoluteY(false) + first->getHeight()));

    editor->getRootPanel()->remove(gallery);
    gallery->destroyAll();
    delete gallery;
    editor->getRootPanel()->add(panel);
}

}  // namespace
