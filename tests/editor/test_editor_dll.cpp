// The built plug-in's editor, opened by a host on a window of its own on a real X server:
// open, idle and close cycles, the size request, every close order hosts use, and the face
// compared with a stored picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "editor/editor_window.h"
#include "host/test_host.h"

namespace {

const int kOutputs = TEST_OUTPUTS;

class EditorDll : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(host.load(TestHost::pluginPath(kOutputs))) << TestHost::pluginPath(kOutputs);
        ASSERT_NE(host.create(), nullptr);
    }
    void TearDown() override {
        if (host.effect()) host.close();
        pumpMessages();
    }

    bool open(HWND parent) { return host.dispatch(effEditOpen, 0, 0, parent) == 1; }
    void idle(int times = 1) {
        for (int i = 0; i < times; i++) {
            host.dispatch(effEditIdle);
            pumpMessages();
        }
    }
    void close() { host.dispatch(effEditClose); }

    TestInstall install;
    TestHost host;
};

TEST_F(EditorDll, AnswersItsRectangle) {
    ERect* rect = nullptr;
    ASSERT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 620);
    EXPECT_EQ(rect->right, 1008);
    EXPECT_TRUE(host.effect()->flags & effFlagsHasEditor);
}

TEST_F(EditorDll, OpensAWindowAndTheFirstIdleAsksTheHostForItsSize) {
    ParentWindow parent;
    ASSERT_TRUE(open(parent.handle()));
    EXPECT_EQ(countChildWindows(parent.handle()), 1) << "the editor's frame is a child of the host's window";
    EXPECT_EQ(host.countCalls(audioMasterSizeWindow), 0) << "no size request before the first idle";
    idle();
    ASSERT_EQ(host.countCalls(audioMasterSizeWindow), 1);
    for (const HostCall& call : host.calls) {
        if (call.opcode != audioMasterSizeWindow) continue;
        EXPECT_EQ(call.index, 1008);
        EXPECT_EQ(call.value, 620);
    }
    idle(3);
    EXPECT_EQ(host.countCalls(audioMasterSizeWindow), 1) << "asked once per open";
    HWND frame = GetWindow(parent.handle(), GW_CHILD);
    RECT r;
    ASSERT_TRUE(GetClientRect(frame, &r));
    EXPECT_EQ(r.right - r.left, 1008);
    EXPECT_EQ(r.bottom - r.top, 620);
    close();
    EXPECT_EQ(countChildWindows(parent.handle()), 0);
}

TEST_F(EditorDll, OpenIdleCloseCyclesLeaveNothingBehind) {
    ParentWindow parent;
    // One cycle first: the bitmaps are cached and the window class registered once per
    // process, not per window.
    ASSERT_TRUE(open(parent.handle()));
    idle(3);
    close();
    pumpMessages();
    host.calls.reserve(host.calls.size() + 10000);  // the host's own record must not count
    int64_t heapBefore = heapBytesInUse();
    int64_t privateBefore = privateBytes();
    DWORD gdiBefore = gdiObjectCount();
    int windowsBefore = countThreadWindows();
    for (int cycle = 0; cycle < 10; cycle++) {
        ASSERT_TRUE(open(parent.handle()));
        idle(3);
        EXPECT_EQ(countChildWindows(parent.handle()), 1) << "cycle " << cycle;
        close();
        pumpMessages();
        EXPECT_EQ(countChildWindows(parent.handle()), 0) << "cycle " << cycle;
    }
    EXPECT_EQ(countThreadWindows(), windowsBefore);
    EXPECT_EQ(gdiObjectCount(), gdiBefore);
    // Room for the system's own small caches only: one leaked bridge or panel per cycle
    // is more, a back buffer megabytes.
    EXPECT_LE(heapBytesInUse() - heapBefore, 256);
    EXPECT_LT(privateBytes() - privateBefore, 1024 * 1024);
}

// Every order in which hosts end an editor: nothing may be used after it is released.
TEST_F(EditorDll, SurvivesEveryCloseOrder) {
    struct Case {
        const char* name;
        std::function<void(EditorDll&, ParentWindow&)> steps;
    };
    const Case cases[] = {
        {"close before the first idle", [](EditorDll& t, ParentWindow& p) { t.close(); t.idle(2); }},
        {"close twice", [](EditorDll& t, ParentWindow& p) { t.idle(); t.close(); t.close(); t.idle(); }},
        {"parent window destroyed first",
         [](EditorDll& t, ParentWindow& p) {
             t.idle(2);
             p.destroy();
             t.idle(2);
             t.close();
             t.idle();
         }},
        {"reopened after a close without idle",
         [](EditorDll& t, ParentWindow& p) {
             t.close();
             ASSERT_TRUE(t.open(p.handle()));
             t.idle(2);
             t.close();
         }},
        {"effect closed with the window open", [](EditorDll& t, ParentWindow& p) { t.idle(2); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!host.effect()) {
            ASSERT_NE(host.create(), nullptr);
        }
        ParentWindow parent;
        ASSERT_TRUE(open(parent.handle()));
        c.steps(*this, parent);
        host.close();
        pumpMessages();
        EXPECT_EQ(countChildWindows(parent.handle()), 0);
    }
}

// Some hosts open the editor again without closing it: on the window it is in the editor
// stays as it is; on another window it moves there. Either way it then works and closes.
TEST_F(EditorDll, ASecondOpenWithoutCloseLeavesAWorkingEditor) {
    const struct {
        const char* name;
        bool sameWindow;
    } cases[] = {{"the same window", true}, {"another window", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ParentWindow first;
        ASSERT_TRUE(open(first.handle()));
        idle(2);
        HWND firstFrame = GetWindow(first.handle(), GW_CHILD);
        // A window of the host's lies over the earlier ones: made only when used.
        std::unique_ptr<ParentWindow> second(c.sameWindow ? nullptr : new ParentWindow);
        HWND parent = c.sameWindow ? first.handle() : second->handle();
        ASSERT_TRUE(open(parent));
        idle(2);
        EXPECT_EQ(countChildWindows(first.handle()), c.sameWindow ? 1 : 0);
        ASSERT_EQ(countChildWindows(parent), 1);
        if (c.sameWindow) {
            EXPECT_EQ(GetWindow(parent, GW_CHILD), firstFrame) << "nothing built anew";
        } else {
            first.destroy();
        }

        // Used: the chorus switch of the preset bar, clicked, sets its parameter.
        const int kChorus = 2041;
        AEffect* fx = host.effect();
        fx->setParameter(fx, kChorus, 0.f);
        idle(2);
        playGesture(
            [] {
                mouseInputAt(816, 18);
                mouseInputAt(816, 18, MOUSEEVENTF_LEFTDOWN);
                mouseInputAt(816, 18, MOUSEEVENTF_LEFTUP);
            },
            [this] { idle(); });
        EXPECT_TRUE(waitUntil([&] {
            idle();
            return fx->getParameter(fx, kChorus) > 0.5f;
        })) << "the click reached the editor";
        Picture face;
        for (int look = 0; look < 20 && face.distinctColours(64) <= 16; look++) {
            idle();
            settle(100);
            face = captureScreen(0, 0, 1008, 620);
        }
        EXPECT_GT(face.distinctColours(64), 16) << "the face shows";
        close();
        idle();
        EXPECT_EQ(countChildWindows(parent), 0);
    }
}

// Hosts whose windows need other sizes, or that end the editor their own way.
TEST_F(EditorDll, FollowsTheHostsQuirks) {
    struct Case {
        const char* vendor;
        int frameWidth, frameHeight;  // the editor's window after the first idle
        int sizeRequests;             // to the host, open to close
        int childrenAfterClose;
    };
    const Case cases[] = {
        {"Test Vendor", 1008, 620, 1, 0},
        {"FXpansion Audio", 1014, 652, 1, 0},
        {"Image-Line", 1008, 645, 1, 0},
        {"ProTools", 1008, 620, 2, 0},         // the full layout again as the window closes
        {"DigitalPerformer", 1008, 620, 1, 1},  // its window stays until the host's goes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vendor);
        host.answers.vendor = c.vendor;
        host.calls.clear();
        ParentWindow parent;
        ASSERT_TRUE(open(parent.handle()));
        idle(2);
        HWND frame = GetWindow(parent.handle(), GW_CHILD);
        RECT r = {};
        ASSERT_TRUE(GetClientRect(frame, &r));
        EXPECT_EQ(r.right, c.frameWidth);
        EXPECT_EQ(r.bottom, c.frameHeight);
        close();
        idle();
        EXPECT_EQ(host.countCalls(audioMasterSizeWindow), c.sizeRequests);
        for (const HostCall& call : host.calls) {
            if (call.opcode != audioMasterSizeWindow) continue;
            EXPECT_EQ(call.index, 1008);
            EXPECT_EQ(call.value, 620);
        }
        EXPECT_EQ(countChildWindows(parent.handle()), c.childrenAfterClose);
        // Opened again on the same window: one frame, whatever the host kept.
        ASSERT_TRUE(open(parent.handle()));
        idle();
        EXPECT_EQ(countChildWindows(parent.handle()), 1);
        close();
    }
}

TEST_F(EditorDll, KeysAndTheKnobModeReachTheEditor) {
    ParentWindow parent;
    VstKeyCode key = {'a', 0, 0};
    EXPECT_EQ(host.dispatch(effEditKeyDown, key.character, key.virt, nullptr, key.modifier), 0)
        << "no frame, no key taken";
    ASSERT_TRUE(open(parent.handle()));
    idle();
    EXPECT_EQ(host.dispatch(effEditKeyDown, key.character, key.virt, nullptr, key.modifier), 0)
        << "no view of the face takes keys";
    EXPECT_EQ(host.dispatch(effSetEditKnobMode, 0, 2), 1);
    close();
}

// The face as the X server shows it, against the stored picture. HALVORN_UPDATE_REFERENCE=1
// stores the picture instead (scripts/editor-reference).
TEST_F(EditorDll, ShowsTheFace) {
    ParentWindow parent;
    const char* update = getenv("HALVORN_UPDATE_REFERENCE");
    const bool updating = update && *update == '1';
    Picture reference;
    if (!updating) ASSERT_TRUE(readBmp(HALVORN_EDITOR_REFERENCE, reference)) << HALVORN_EDITOR_REFERENCE;
    ASSERT_TRUE(open(parent.handle()));
    idle(4);
    settle(300);
    // The part strip's two animations follow the clock: left out of the comparison.
    const RECT animations[] = {{20, 33 + 46, 20 + 63, 33 + 46 + 63}, {925, 33 + 46, 925 + 63, 33 + 46 + 63}};
    for (const RECT& r : animations) leaveOut(reference, r);
    // A loaded machine may show the window a while after the paint: look again until the
    // screen holds the face, for ten seconds at most.
    Picture face, compared;
    for (int look = 0; look < 50; look++) {
        idle();
        settle(200);
        face = captureScreen(0, 0, 1008, 620);
        compared = face;
        for (const RECT& r : animations) leaveOut(compared, r);
        if (face.distinctColours(64) > 16 && (updating || mismatchedShare(compared, reference, 8) < 0.002)) break;
    }
    close();
    EXPECT_GT(face.distinctColours(64), 16) << "the face shows artwork, not a plain fill";
    if (updating) {
        ASSERT_TRUE(writeBmp(HALVORN_EDITOR_REFERENCE, face));
        return;
    }
    // A little room for the X server's colour rounding; the artwork itself must match.
    EXPECT_LT(mismatchedShare(compared, reference, 8), 0.002);
    if (HasFailure()) writeBmp(std::string(HALVORN_EDITOR_REFERENCE) + ".actual.bmp", face);
}

}  // namespace
