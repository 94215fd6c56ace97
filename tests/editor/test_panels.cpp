// The whole face in the open editor window: the two layouts and the host window's size,
// the modulation cover and its animation, the modulation rows with several patches
// selected, and the About window, driven with real mouse input and compared with stored
// pictures.
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
#include "editor/recording_host.h"
#include "editor/vexa_about_window.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"
#include "editor/vexa_keyboard_panel.h"
#include "editor/vexa_modulation_panel.h"
#include "editor/vexa_panel.h"
#include "editor/vexa_panel_multi.h"
#include "editor/vexa_trap.h"
#include "editor/vexa_voice_panel.h"
#include "toolkit/abutton.h"
#include "toolkit/achoice.h"
#include "toolkit/aframe.h"

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new HalvornEdit(effect); }

namespace {

const int kCover = 2088;
const int kFirstPartTune = 2097;
const int kGeneralTune = 2105;
const int kHoverPopups = 2107;
const int kAllPopups = 2108;
const int kBarHeight = 33;

Picture offscreenPicture(COffscreenContext& context, const CRect& r) {
    Picture picture;
    picture.width = r.right - r.left;
    picture.height = r.bottom - r.top;
    picture.rgb.resize(picture.width * picture.height * 3);
    HDC dc = context.getSystemContext();
    for (int y = 0; y < picture.height; y++)
        for (int x = 0; x < picture.width; x++) {
            COLORREF p = GetPixel(dc, r.left + x, r.top + y);
            unsigned char* out = &picture.rgb[(y * picture.width + x) * 3];
            out[0] = GetRValue(p);
            out[1] = GetGValue(p);
            out[2] = GetBValue(p);
        }
    return picture;
}

class Panels : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingHost::clear();
        RecordingHost::setNames("", "");
        synth.reset(new Halvorn(RecordingHost::callback));
        ASSERT_FALSE(synth->creationFailed());
        editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->open(parent.handle()));
        idle(2);
        root = editor->getRootPanel();
        ASSERT_NE(root, nullptr);
        gui = static_cast<VexaGuiInterface*>(editor->getGuiInterface());
        instrument = static_cast<VexaInterface*>(editor->getInstrumentInterface());
    }

    void TearDown() override {
        if (editor) editor->close();
        pumpMessages();
    }

    void idle(int times) {
        for (int i = 0; i < times; i++) {
            pumpMessages();
            editor->idle();
        }
    }

    // The window the editor paints, and its client size.
    HWND window() const { return editor->getFrame()->getSystemWindow(); }
    SIZE clientSize() const {
        RECT r = {};
        GetClientRect(window(), &r);
        return {r.right - r.left, r.bottom - r.top};
    }

    POINT at(AComponent* widget, int dx, int dy) {
        POINT p = {widget->getAbsoluteX(true) + dx, widget->getAbsoluteY(true) + dy};
        ClientToScreen(window(), &p);
        return p;
    }

    // A click of the left button; the window's messages run meanwhile (and with them the
    // editor's idle, which the frame's mouse loop calls).
    // Shift is held only while the pointer stays: the X server's own state comes with each
    // move.
    void click(POINT where, bool shift = false) {
        playGesture(
            [&] {
                moveTo(where);
                if (shift) sendKey(VK_SHIFT, true);
                sendMouse(MOUSEEVENTF_LEFTDOWN);
                waitUntil([this] { return editor->getToolkitFrame()->inMouseLoop(); });
                sendMouse(MOUSEEVENTF_LEFTUP);
                waitUntil([this] { return !editor->getToolkitFrame()->inMouseLoop(); });
                if (shift) sendKey(VK_SHIFT, false);
                // Away from every widget: no hover pop-up stays behind.
                moveTo({1200, 1000});
            },
            [] { pumpMessages(); });
    }

    void setLayout(int layout) {
        gui->setLayout(layout);
        idle(2);
    }

    std::vector<int> sizeRequests() {
        std::vector<int> heights;
        for (const HostCall& call : RecordingHost::calls())
            if (call.opcode == audioMasterSizeWindow) heights.push_back((int)call.value);
        return heights;
    }

    // The window's own pixels.
    Picture face(int height) { return captureWindow(window(), 0, 0, 1008, height); }

    // Against the stored picture, rectangles left out (what changes with the clock: the
    // build date, the multi strip's animations); HALVORN_UPDATE_REFERENCE=1 stores it instead.
    void expectAsStored(const Picture& picture, const std::string& name, const std::vector<RECT>& leftOut = {}) {
        SCOPED_TRACE(name);
        const std::string path = std::string(HALVORN_PANELS_REFERENCE) + "/" + name + ".bmp";
        const char* update = getenv("HALVORN_UPDATE_REFERENCE");
        EXPECT_GT(picture.distinctColours(64), 16) << "artwork, not a plain fill";
        if (update && *update == '1') {
            ASSERT_TRUE(writeBmp(path, picture)) << path;
            return;
        }
        Picture reference;
        ASSERT_TRUE(readBmp(path, reference)) << path;
        ASSERT_EQ(reference.width, picture.width);
        ASSERT_EQ(reference.height, picture.height);
        Picture shown = picture;
        for (const RECT& r : leftOut) {
            leaveOut(shown, r);
            leaveOut(reference, r);
        }
        // The window's own pixels: the same build paints them the same.
        const double allowed = 50.0 / (picture.width * picture.height);
        double share = mismatchedShare(shown, reference, 8);
        EXPECT_LT(share, allowed);
        if (share >= allowed) writeBmp(path + ".actual.bmp", picture);
    }

    bool shown(AComponent* child) const { return child->getParent() == root; }

    TestInstall install;
    ParentWindow parent;
    std::unique_ptr<Halvorn> synth;
    HalvornEdit* editor = nullptr;
    VexaPanel* root = nullptr;
    VexaGuiInterface* gui = nullptr;
    VexaInterface* instrument = nullptr;
};

// ---------------------------------------------------------------- layouts

TEST_F(Panels, EachLayoutShowsItsSectionsAndSizesTheHostWindow) {
    struct Case {
        int layout;
        int height;
        bool full;
    } cases[] = {{1, 341, false}, {0, 620, true}, {1, 341, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("layout " + std::to_string(c.layout));
        RecordingHost::clear();
        setLayout(c.layout);
        EXPECT_EQ(root->getLayout(), c.layout);
        EXPECT_EQ(sizeRequests(), std::vector<int>{c.height}) << "the host is asked once for the new height";
        SIZE size = clientSize();
        EXPECT_EQ(size.cx, 1008);
        EXPECT_EQ(size.cy, c.height);
        EXPECT_EQ(shown(root->getMultiPanel()), c.full);
        EXPECT_EQ(shown(root->getVoicePanel()), c.full);
        EXPECT_EQ(shown(root->getModulationPanel()), c.full);
        EXPECT_EQ(shown(root->getTrap()), c.full);
        EXPECT_EQ(shown(root->getSpacer()), !c.full);
        EXPECT_TRUE(shown(root->getKeyboardPanel()));
        EXPECT_EQ(root->getKeyboardPanel()->getY(), c.full ? 312 : 33);
        EXPECT_EQ(root->getBackgroundId(), c.full ? 1003 : 1004);
    }
}

TEST_F(Panels, EachLayoutLooksAsStored) {
    struct Case {
        int layout;
        int height;
        const char* name;
        std::vector<RECT> animations;
    } cases[] = {
        {0, 620, "full", {{20, kBarHeight + 46, 20 + 63, kBarHeight + 46 + 63}, {925, kBarHeight + 46, 925 + 63, kBarHeight + 46 + 63}}},
        {1, 341, "compact", {}},
    };
    for (const Case& c : cases) {
        setLayout(c.layout);
        idle(8);  // the cover at rest
        settle(200);
        expectAsStored(face(c.height), c.name, c.animations);
    }
}

TEST_F(Panels, TheCompactLayoutHidesTheAboutWindowAndTheFullOneRestoresTheCoverWithoutAnimation) {
    synth->setParameter(kCover, 1.f);
    idle(10);
    ASSERT_EQ(root->getTrap()->getFrame(), VexaTrap::kOpenFrame);
    gui->toggleAboutWindow();
    ASSERT_TRUE(root->isAboutShown());
    setLayout(1);
    EXPECT_FALSE(root->isAboutShown());
    EXPECT_FALSE(shown(root->getAboutWindow()));
    gui->toggleAboutWindow();
    EXPECT_FALSE(root->isAboutShown()) << "no About window in the compact layout";

    // The cover closed meanwhile: the full layout shows it closed at once.
    synth->setParameter(kCover, 0.f);
    idle(2);
    gui->setLayout(0);
    idle(1);
    EXPECT_EQ(root->getTrap()->getFrame(), 0u);
    idle(3);
    EXPECT_EQ(root->getTrap()->getFrame(), 0u);
    EXPECT_EQ(root->getTrapDirection(), 0);
}

// ---------------------------------------------------------------- the cover

// Each idle after the cover button's click shows the next frame, until the end frame.
TEST_F(Panels, TheCoverButtonMovesTheCoverOneFramePerIdle) {
    struct Case {
        float before;
        unsigned end;
    } cases[] = {{0.f, VexaTrap::kOpenFrame}, {1.f, 0u}};
    AButton* button = root->getModulationPanel()->getCoverButton();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        synth->setParameter(kCover, c.before);
        idle(10);
        ASSERT_EQ(root->getTrapDirection(), 0);
        click(at(button, 7, 9));
        EXPECT_FLOAT_EQ(synth->getParameter(kCover), 1.f - c.before);
        EXPECT_EQ(button->getState(), c.before > 0.5f ? 0 : 1);
        std::vector<unsigned> frames = {root->getTrap()->getFrame()};
        for (int i = 0; i < 12 && (root->getTrapDirection() != 0 || frames.size() == 1); i++) {
            idle(1);
            frames.push_back(root->getTrap()->getFrame());
        }
        EXPECT_EQ(frames.back(), c.end);
        EXPECT_EQ(root->getTrapDirection(), 0);
        int step = c.end > 0 ? 1 : -1;
        for (size_t i = 1; i + 1 < frames.size(); i++)
            EXPECT_EQ((int)frames[i] - (int)frames[i - 1], step) << "frame " << i;
        EXPECT_GE(frames.size(), 3u) << "the cover moved over several idles";
    }
}

TEST_F(Panels, AClickDuringTheAnimationCompletesItAndLeavesTheCoverParameterAlone) {
    struct Case {
        float target;
        unsigned end;
    } cases[] = {{1.f, VexaTrap::kOpenFrame}, {0.f, 0u}};
    AButton* button = root->getModulationPanel()->getCoverButton();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        synth->setParameter(kCover, 1.f - c.target);
        idle(10);
        synth->setParameter(kCover, c.target);
        idle(2);
        ASSERT_NE(root->getTrapDirection(), 0) << "moving";
        ASSERT_NE(root->getTrap()->getFrame(), c.end);
        click(at(button, 7, 9));
        EXPECT_EQ(root->getTrap()->getFrame(), c.end);
        EXPECT_EQ(root->getTrapDirection(), 0);
        idle(3);
        EXPECT_EQ(root->getTrap()->getFrame(), c.end);
        EXPECT_FLOAT_EQ(synth->getParameter(kCover), c.target);
    }
}

// Half open, the cover shows the translucent band behind its frame.
TEST_F(Panels, TheMovingCoverLooksAsStored) {
    synth->setParameter(kCover, 0.f);
    idle(10);
    synth->setParameter(kCover, 1.f);
    idle(3);
    ASSERT_EQ(root->getTrap()->getFrame(), 3u);
    pumpMessages();
    VexaTrap* trap = root->getTrap();
    expectAsStored(captureWindow(window(), trap->getX(), kBarHeight + trap->getY(), trap->getWidth(), trap->getHeight()),
                   "cover_frame3");
}

// ---------------------------------------------------------------- modulation rows

// The part strip's buttons choose the patches, as a user does.
TEST_F(Panels, TheModulationRowsAreUsableOnlyWithTheCoverOpenAndOnePatchSelected) {
    struct Case {
        float cover;
        bool secondPatch;
        bool usable;
    } cases[] = {{1.f, false, true}, {1.f, true, false}, {0.f, false, false}, {0.f, true, false}};
    VexaModulationPanel* modulation = root->getModulationPanel();
    AKnob* amount = modulation->getAmount(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.cover) + (c.secondPatch ? " two patches" : " one patch"));
        synth->setParameter(kCover, c.cover);
        idle(10);
        // Part 0 alone, then with Shift part 1 (which plays another patch) beside it.
        VexaPanelMulti* multi = root->getMultiPanel();
        click(at(multi->getPartButton(0), 9, 9));
        if (c.secondPatch) click(at(multi->getPartButton(1), 9, 9), true);
        ASSERT_EQ(gui->getNbSelectedPatches(), c.secondPatch ? 2 : 1);
        idle(2);
        for (int k = 0; k < VexaModulationPanel::kRows; k++) {
            EXPECT_EQ(modulation->getSource(k)->isEnabled(), c.usable) << k;
            EXPECT_EQ(modulation->getDestination(k)->isEnabled(), c.usable) << k;
            EXPECT_EQ(modulation->getAmount(k)->isEnabled(), c.usable) << k;
        }
        // A real drag on the first amount knob.
        synth->setParameter(52, 0.25f);
        idle(2);
        editor->setKnobMode(2);
        playGesture(
            [&] {
                moveTo(at(amount, 8, 8));
                sendMouse(MOUSEEVENTF_LEFTDOWN);
                POINT up = at(amount, 8, -40);
                moveTo(up);
                sendMouse(MOUSEEVENTF_LEFTUP);
                moveTo({1200, 1000});
            },
            [this] { idle(1); });
        idle(2);
        if (c.usable)
            EXPECT_GT(synth->getParameter(52), 0.3f) << "the knob took the drag";
        else
            EXPECT_FLOAT_EQ(synth->getParameter(52), 0.25f) << "a disabled knob ignores the drag";
    }
}

// ---------------------------------------------------------------- the About window

TEST_F(Panels, TheAboutWindowTogglesAndClosesByItsButton) {
    VexaAboutWindow* about = root->getAboutWindow();
    gui->toggleAboutWindow();
    idle(2);
    ASSERT_TRUE(shown(about));
    EXPECT_EQ(about->getX(), 193);
    EXPECT_EQ(about->getY(), 100);
    EXPECT_EQ(root->children().back(), about) << "the topmost child";
    gui->toggleAboutWindow();
    EXPECT_FALSE(shown(about));
    gui->toggleAboutWindow();
    idle(2);
    ASSERT_TRUE(shown(about));
    click(at(about, 604 + 6, 3 + 6));
    idle(1);
    EXPECT_FALSE(shown(about)) << "the close button hides it";
    EXPECT_FALSE(root->isAboutShown());
    gui->toggleAboutWindow();
    idle(1);
    EXPECT_EQ(about->getCloseButton()->getState(), 0) << "shown again with its close button up";
}

TEST_F(Panels, TheResetButtonZeroesThePartTunesOnly) {
    for (int n = 0; n < 8; n++) synth->setParameter(kFirstPartTune + n, 0.1f * (n + 1));
    synth->setParameter(kGeneralTune, 0.7f);
    gui->toggleAboutWindow();
    idle(3);
    RecordingHost::clear();
    click(at(root->getAboutWindow(), 40 + 8, 316 + 8));
    idle(2);
    for (int n = 0; n < 8; n++) EXPECT_FLOAT_EQ(synth->getParameter(kFirstPartTune + n), 0.f) << n;
    EXPECT_FLOAT_EQ(synth->getParameter(kGeneralTune), 0.7f);
    for (const HostCall& call : RecordingHost::calls())
        EXPECT_NE(call.opcode, audioMasterAutomate) << "internal parameters: the host is not told";
}

TEST_F(Panels, TheAllPopupsSwitchDisablesTheHoverSwitch) {
    struct Case {
        float allOff;
        bool hoverUsable;
    } cases[] = {{1.f, false}, {0.f, true}};
    gui->toggleAboutWindow();
    idle(2);
    ASwitch* hover = root->getAboutWindow()->getHoverSwitch();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.allOff);
        synth->setParameter(kAllPopups, c.allOff);
        synth->setParameter(kHoverPopups, 0.f);
        idle(2);
        EXPECT_EQ(hover->isEnabled(), c.hoverUsable);
        click(at(hover, 6, 6));
        idle(2);
        EXPECT_EQ(synth->getParameter(kHoverPopups) > 0.5f, c.hoverUsable);
    }
}

TEST_F(Panels, TheAboutWindowLooksAsStoredAndAPartialRedrawPaintsItWhole) {
    for (int n = 0; n < 8; n++) synth->setParameter(kFirstPartTune + n, 0.5f);
    gui->toggleAboutWindow();
    idle(4);
    settle(200);
    VexaAboutWindow* about = root->getAboutWindow();
    Picture picture = captureWindow(window(), about->getX(), kBarHeight + about->getY(), about->getWidth(),
                                    about->getHeight());
    expectAsStored(picture, "about", {{312, 132, about->getWidth(), 132 + 15}});

    // A small part of it asked for: the whole window comes back, as drawn whole.
    CRect whole(about->getX(), about->getY(), about->getX() + about->getWidth(), about->getY() + about->getHeight());
    COffscreenContext offscreen(editor->getFrame(), 1008, 600, kBlackCColor);
    about->draw(&offscreen, whole.left, whole.top);
    Picture expected = offscreenPicture(offscreen, whole);
    offscreen.setFillColor(kBlackCColor);
    offscreen.fillRect(CRect(0, 0, 1008, 600));
    root->drawClipped(&offscreen, 0, 0, CRect(whole.left + 300, whole.top + 200, whole.left + 310, whole.top + 210));
    Picture drawn = offscreenPicture(offscreen, whole);
    EXPECT_GT(drawn.distinctColours(64), 16);
    EXPECT_LT(mismatchedShare(drawn, expected, 8), 0.001) << "the whole window, not the asked corner only";
}

}  // namespace
