// The discrete controls' rules that hang on the clock and on arithmetic: lamps that stay
// lit, the animation's pace, note names, the note range field's drag and wheel, the name
// popup's hand-over between buttons, and the look records built from the skin's bitmaps.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "toolkit/abutton.h"
#include "toolkit/achoice.h"
#include "toolkit/aframe.h"
#include "toolkit/awindows.h"
#include "toolkit/gui_interface.h"

namespace {

// The instrument as the widgets see it through the bridge: stored values and the host's
// marks, nothing else.
class StoredInstrument : public InstrumentInterface {
public:
    StoredInstrument() : InstrumentInterface(nullptr) { setGuiInterface(&gui); }
    void setParameter(int index, float value) override {
        values[index] = value;
        sent.push_back(index);
        gui.parameterChanged(index, value);
    }
    float getParameter(int index) override { return values.count(index) ? values[index] : 0.f; }
    bool isMidiAssignable(int) override { return true; }
    const char* getParameterLongName(int) override { return "Chorus"; }
    const char* getParameterValueText(int) override { return "On"; }
    int getMidiCC(int index) override { return controllers.count(index) ? controllers[index] : -1; }
    void setMidiCC(int index, int controller) override { controllers[index] = controller; }
    std::map<int, int> controllers;
    bool isValuePopupOnHover() override { return true; }
    GuiInterface gui;
    std::map<int, float> values;
    std::vector<int> sent;
};

class Plain : public APanel {
public:
    Plain() : APanel(nullptr, nullptr) { setBounds(0, 0, 600, 400); }
    void draw(CDrawContext*, int, int) override {}
};

void waitMs(int ms) { Sleep(ms); }

TEST(Lamp, StaysLitForItsHoldTimeAndGoesDarkAtTheFirstIdleAfter) {
    ASwitchStyle style;
    style.init(nullptr, 10, 10, 2, true, nullptr);
    ALamp lamp(&style);
    lamp.setState(1);
    EXPECT_EQ(lamp.getState(), 1) << "lit at once";
    waitMs(30);
    lamp.setState(0);
    lamp.idle();
    EXPECT_EQ(lamp.getState(), 1) << "an off within the hold time waits";
    waitMs(ALamp::kHoldMs + 20);
    EXPECT_EQ(lamp.getState(), 1) << "only an idle puts it out";
    lamp.idle();
    EXPECT_EQ(lamp.getState(), 0);

    lamp.setState(1);
    waitMs(150);
    lamp.setState(0);
    EXPECT_EQ(lamp.getState(), 0) << "after the hold time the lamp goes dark at once";
}

TEST(Anim, CyclesFiveTimesASecondWhateverItsFrameCount) {
    AAnim anim(nullptr, nullptr, 10, 10, 10);
    anim.idle();  // first tick
    int64_t start = nowMilliseconds();
    int steps = 0, last = anim.getCurrentFrame();
    while (nowMilliseconds() - start < 400) {
        anim.idle();
        if (anim.getCurrentFrame() != last) {
            steps += (anim.getCurrentFrame() - last + 10) % 10;
            last = anim.getCurrentFrame();
        }
        Sleep(2);
    }
    // 400 ms at 20 ms a frame: 20 frames, two turns of the strip.
    EXPECT_GE(steps, 17);
    EXPECT_LE(steps, 21);
    anim.setRunning(false);
    int stopped = anim.getCurrentFrame();
    Sleep(60);
    anim.idle();
    EXPECT_EQ(anim.getCurrentFrame(), stopped);
}

}  // namespace

// Reaches the animation's last tick, to stand for hours between two idles.
class AAnimTestAccess {
public:
    static int64_t lastTick(const AAnim& anim) { return anim.lastTick; }
    static void setLastTick(AAnim& anim, int64_t tick) { anim.lastTick = tick; }
};

namespace {

// Ten hours between two idles, as the part strip's twelve-frame strip sees them when the
// host stops idling a closed-over window: the strip catches up and goes on forwards.
TEST(Anim, CatchesUpAfterTenHoursWithoutIdle) {
    AAnim anim(nullptr, nullptr, 63, 63, 12);
    anim.idle();  // first tick
    AAnimTestAccess::setLastTick(anim, nowMilliseconds() - 36000000);
    anim.idle();
    int64_t caughtUp = AAnimTestAccess::lastTick(anim);
    int64_t behind = nowMilliseconds() - caughtUp;
    EXPECT_GE(behind, 0);
    // Within a second of now (a frame lasts 1000 / 60 ms), not hours behind.
    EXPECT_LT(behind, 1000) << "the last tick is brought up to the present";
    for (int i = 0; i < 3; i++) {
        anim.idle();
        EXPECT_GE(AAnimTestAccess::lastTick(anim), caughtUp) << "never back in time";
        caughtUp = AAnimTestAccess::lastTick(anim);
    }
}

TEST(NoteNames, CountOctavesFromC0AtNote24AndFloorBelowIt) {
    const struct {
        int note;
        const char* name;
    } cases[] = {{24, "C0"}, {37, "C1#"}, {120, "C8"}, {60, "C3"}, {70, "A3#"}, {23, "B-1"},
                 {12, "C-1"}, {11, "B-2"}, {0, "C-2"}, {127, "G8"}};
    for (const auto& c : cases) {
        char text[8];
        noteName(c.note, text, sizeof text);
        EXPECT_STREQ(text, c.name) << c.note;
        int octave, whiteKey;
        bool black;
        noteKey(c.note, octave, whiteKey, black);
        EXPECT_EQ(keyNote(octave, whiteKey, black), c.note) << "the key maps back to the note";
    }
}

TEST(RangeChoice, DragsAndWheelsWithinTheRangeAndKeepsLowBelowHigh) {
    StoredInstrument instrument;
    instrument.values[100] = 40;
    instrument.values[101] = 45;
    Plain panel;
    ARangeChoice range(&instrument, 100, 101);
    range.setBounds(10, 10, 60, 16);
    panel.add(&range);
    EXPECT_STREQ(range.getLowText(), "E1");
    EXPECT_STREQ(range.getHighText(), "A1");

    // The low half, 40 pixels up: ten semitones, held at the high note.
    EXPECT_TRUE(range.mouseDown(5, 8, 1));
    range.mouseDrag(5, 8 - 40);
    range.mouseUp(5, 8 - 40);
    EXPECT_EQ(instrument.values[100], 45.f);
    EXPECT_EQ(range.getLowNote(), 45);

    // The high half, 12 pixels up: three semitones.
    Sleep(ARangeChoice::kDoubleClickMs + 20);
    range.mouseDown(50, 8, 1);
    range.mouseDrag(50, -4);
    range.mouseUp(50, -4);
    EXPECT_EQ(instrument.values[101], 48.f);

    range.wheel(50, 8, 200.f);
    EXPECT_EQ(instrument.values[101], 120.f) << "held at the top of the field's range";
    range.wheel(5, 8, -200.f);
    EXPECT_EQ(instrument.values[100], 24.f) << "and at its bottom";

    // Values outside the range show as they are until the next edit brings them in.
    instrument.values[100] = 23;
    range.parameterChanged(100, 23.f);
    EXPECT_STREQ(range.getLowText(), "B-1");
    range.wheel(5, 8, 0.f);
    EXPECT_EQ(instrument.values[100], 24.f);
    panel.remove(&range);
}

TEST(RangeChoice, ASecondPressSoonAfterTheFirstOpensTheKeyboardWindow) {
    StoredInstrument instrument;
    instrument.values[100] = 36;
    instrument.values[101] = 60;
    Plain panel;
    ARangeChoice range(&instrument, 100, 101);
    range.setBounds(10, 10, 60, 16);
    panel.add(&range);
    range.mouseDown(5, 8, 1);
    range.mouseUp(5, 8);
    Sleep(300);
    range.mouseDown(5, 8, 1);
    AKeyboardWindow* window = dynamic_cast<AKeyboardWindow*>(panel.getOpenWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->getKeyboard()->getLowMark(), 9 * 7);
    EXPECT_EQ(window->getKeyboard()->getHighMark(), 9 * (7 * 3 + 1));
    // A click on the window's keyboard sets the low note and moves the mark.
    window->keyClicked(2, 3, false);  // F2
    EXPECT_EQ(instrument.values[100], 24.f + 24 + 5);
    EXPECT_EQ(window->getKeyboard()->getLowMark(), 9 * (7 * 2 + 3));
    panel.closeWindow(nullptr);
    EXPECT_EQ(pendingWindowDeletions(), 1) << "the closed window waits for an idle";
    deleteClosedWindows();
    Sleep(600);
    range.mouseDown(5, 8, 1);
    range.mouseUp(5, 8);
    Sleep(ARangeChoice::kDoubleClickMs + 100);
    range.mouseDown(5, 8, 1);
    EXPECT_EQ(panel.getOpenWindow(), nullptr) << "presses far apart are no double click";
    panel.remove(&range);
}

TEST(MiniKeyboard, ReportsWhiteAndBlackKeys) {
    struct Heard : AMiniKeyboardListener {
        std::string last;
        void keyClicked(int o, int w, bool b) override { last = "plain " + key(o, w, b); }
        void keyClickedModified(int o, int w, bool b) override { last = "modified " + key(o, w, b); }
        static std::string key(int o, int w, bool b) {
            return std::to_string(o) + "," + std::to_string(w) + (b ? "#" : "");
        }
    } heard;
    AMiniKeyboard keyboard(&heard);
    const struct {
        int x, y, buttons;
        const char* expected;
    } cases[] = {{10, 25, 1, "plain 0,1"}, {10, 5, 1, "plain 0,0#"}, {30, 5, 1, "plain 0,3"},
                 {70, 25, 4, "modified 1,0"}, {70, 25, 8, "modified 1,0"}};
    for (const auto& c : cases) {
        keyboard.mouseDown(c.x, c.y, c.buttons);
        EXPECT_EQ(heard.last, c.expected) << c.x << "," << c.y;
    }
}

TEST(ButtonNames, MovingToTheNextButtonWithin50MsShowsItsNameAtOnce) {
    StoredInstrument instrument;
    Plain panel;
    AButtonStyle style;
    style.init(nullptr, 18, 18, nullptr, nullptr);
    AButton first(&style, &instrument), second(&style, &instrument), nameless(&style, &instrument);
    first.setName("First");
    second.setName("Second");
    first.setBounds(10, 10, 18, 18);
    second.setBounds(40, 10, 18, 18);
    nameless.setBounds(70, 10, 18, 18);
    panel.add(&first);
    panel.add(&second);
    panel.add(&nameless);
    first.showNamePopup();
    ASSERT_NE(panel.getOpenWindow(), nullptr);
    first.hoverEnd();
    second.mouseMove(2, 2);
    ANamePopup* shown = dynamic_cast<ANamePopup*>(panel.getOpenWindow());
    ASSERT_NE(shown, nullptr) << "shown at once";
    EXPECT_EQ(shown->getName(), "Second");
    second.hoverEnd();
    Sleep(80);
    first.mouseMove(2, 2);
    EXPECT_EQ(panel.getOpenWindow(), nullptr) << "after 50 ms the wait starts again";
    first.hoverEnd();
    nameless.showNamePopup();
    EXPECT_EQ(panel.getOpenWindow(), nullptr) << "no name, no popup";
    panel.remove(&first);
    panel.remove(&second);
    panel.remove(&nameless);
}

// The close button's handler closes its own window: the window must outlive the handler.
TEST(MidiWindow, ClosedFromItsOwnButtonIsDeletedLaterNotInTheHandler) {
    StoredInstrument instrument;
    Plain panel;
    AMidiControlWindow* window = new AMidiControlWindow(&instrument, 2041);
    window->setPosition(100, 100);
    ASSERT_TRUE(panel.openWindow(window));
    ACloseButton* close = window->getCloseButton();
    EXPECT_TRUE(panel.mouseDown(100 + close->getX() + 5, 100 + close->getY() + 5, 1));
    EXPECT_EQ(panel.getOpenWindow(), nullptr);
    ASSERT_EQ(pendingWindowDeletions(), 1);
    EXPECT_EQ(window->getPanel(0)->getIndex(), 2041) << "still alive after its handler";
    panel.mouseUp(100 + close->getX() + 5, 100 + close->getY() + 5);
    deleteClosedWindows();
    EXPECT_EQ(pendingWindowDeletions(), 0);
}

// The panel's box and texts come first and its children over them; nothing paints the
// panel's grey over the box afterwards.
TEST(MidiWindow, ShowsItsFrameTheParametersNameAndActiveUnderTheControls) {
    StoredInstrument instrument;
    AMidiControlWindow window(&instrument, 2041);
    COffscreenContext context(nullptr, window.getWidth(), window.getHeight(), kWhiteCColor);
    window.draw(&context, 0, 0);
    HDC dc = context.getSystemContext();
    AMidiControlPanel* midi = window.getPanel(0);
    const int left = midi->getX(), top = midi->getY();
    // Dark pixels of text in a rectangle of the panel (left, top, right, bottom).
    auto inkIn = [&](int l, int t, int r, int b) {
        int ink = 0;
        for (int y = top + t; y < top + b; y++)
            for (int x = left + l; x < left + r; x++) {
                COLORREF p = GetPixel(dc, x, y);
                if (GetRValue(p) + GetGValue(p) + GetBValue(p) < 3 * 100) ink++;
            }
        return ink;
    };
    const struct {
        int x, y;
        COLORREF colour;
        const char* what;
    } pixels[] = {
        {0, 0, RGB(0, 0, 0), "the frame's top left corner"},
        {100, 0, RGB(0, 0, 0), "its top edge"},
        {0, 60, RGB(0, 0, 0), "its left edge"},
        {150, 40, RGB(224, 224, 224), "the fill inside"},
        {18, 30, RGB(0, 0, 0), "the check box's frame, drawn after"},
    };
    for (const auto& p : pixels)
        EXPECT_EQ(GetPixel(dc, left + p.x, top + p.y), p.colour) << p.what;
    EXPECT_GT(inkIn(8, 8, 176, 24), 20) << "the parameter's long name";
    EXPECT_GT(inkIn(36, 28, 100, 44), 20) << "\"Active\"";
    EXPECT_EQ(inkIn(120, 28, 176, 44), 0) << "nothing but the fill beside it";
}

TEST(Styles, AreBuiltAsTheirInitialisersSay) {
    BitmapCache::addUser();
    ASwitchStyle withDisabled, plain;
    withDisabled.init(BitmapCache::get(349), 69, 27, 2, true, nullptr);
    plain.init(BitmapCache::get(350), 18, 18, 2, true, BitmapCache::get(351));
    EXPECT_TRUE(withDisabled.hasDisabledFrame) << "81 rows for two 27-row frames";
    EXPECT_FALSE(plain.hasDisabledFrame);
    EXPECT_TRUE(plain.filmStrip->isTransparent());
    EXPECT_TRUE(plain.overlay->isTransparent());
    EXPECT_EQ(plain.clickMode, ASwitchStyle::kCycle);
    EXPECT_FALSE(plain.reversed);

    AButtonStyle button;
    button.init(BitmapCache::get(181), -1, -1, nullptr, nullptr);
    EXPECT_EQ(button.width, 21);
    EXPECT_EQ(button.height, 18) << "half the bitmap";
    EXPECT_EQ(button.frameTop(1, -1), 18);
    EXPECT_EQ(button.frameTop(1, 2), 4 * 18);

    AChoiceStyle choice;
    choice.init(3, kNormalFont, 10, 0, kBlackCColor, kBlackCColor, nullptr);
    EXPECT_EQ(choice.getCount(), 3);
    EXPECT_STREQ(choice.getItem(1), "");
    std::string longText(100, 'x');
    EXPECT_TRUE(choice.setItem(1, longText.c_str()));
    EXPECT_EQ(strlen(choice.getItem(1)), 63u) << "items hold 63 characters";
    EXPECT_FALSE(choice.setItem(3, "past the end"));
    EXPECT_STREQ(choice.getItem(-1), "");
    AChoiceStyle fromList;
    fromList.stringList = {"a", "b"};
    EXPECT_EQ(fromList.getCount(), 2);
    EXPECT_STREQ(fromList.getItem(1), "b");
    BitmapCache::removeUser();
}

}  // namespace
