// The editor inside the instrument object of the test program, opened on a real window:
// what reaches it from another thread waits for the idle, the idle's schedule, and the
// bitmap cache that all editors of the process share.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "core/halvorn.h"
#include "editor/editor_window.h"
#include "editor/halvorn_edit.h"
#include "editor/vexa_bar.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_panel.h"
#include "host/test_host.h"
#include "toolkit/aframe.h"
#include "toolkit/gui_interface.h"

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new HalvornEdit(effect); }

namespace {

VstIntPtr VSTCALLBACK plainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// A widget's view of the bridge: what it was told, and on which thread.
struct RecordingReceptor : AParameterReceptor {
    struct Told {
        int index;
        float value;
        bool highlight;
        DWORD thread;
    };
    std::vector<Told> told;
    void parameterChanged(int index, float value) override {
        told.push_back({index, value, false, GetCurrentThreadId()});
    }
    void setHighlight(float colour) override { told.push_back({-1, colour, true, GetCurrentThreadId()}); }
};

class Editor : public ::testing::Test {
protected:
    void SetUp() override {
        synth.reset(new Halvorn(plainHost));
        ASSERT_FALSE(synth->creationFailed());
        editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
        ASSERT_NE(editor, nullptr);
    }
    void openEditor() {
        ASSERT_TRUE(editor->open(parent.handle()));
        editor->idle();
        ASSERT_NE(editor->getGuiInterface(), nullptr);
    }

    TestInstall install;
    ParentWindow parent;
    std::unique_ptr<Halvorn> synth;
    HalvornEdit* editor = nullptr;
};

TEST_F(Editor, ValuesFromAnotherThreadAreShownAtTheNextIdle) {
    openEditor();
    RecordingReceptor receptor;
    editor->getGuiInterface()->addReceptor(5, &receptor);
    editor->getGuiInterface()->addReceptor(2089, &receptor);
    ASSERT_EQ(editor->getRootPanel()->getBackgroundId(), 1003);
    ASSERT_FALSE(editor->getPresetBar()->isModified());

    std::thread audio([this] {
        synth->setParameter(5, 0.25f);
        synth->setParameter(5, 0.3f);  // the later value is the one shown
        synth->setParameter(2089, 1.f);
        editor->setParameter(100005, 2.f);
        synth->noteEvent(64, 100, 0);
    });
    audio.join();
    EXPECT_TRUE(receptor.told.empty()) << "nothing reaches the widgets outside the idle";
    EXPECT_FALSE(editor->getPresetBar()->isModified());
    EXPECT_TRUE(editor->isKeyLit(64));

    editor->idle();
    ASSERT_EQ(receptor.told.size(), 3u);
    EXPECT_EQ(receptor.told[0].index, 5);
    EXPECT_FLOAT_EQ(receptor.told[0].value, 0.3f);
    EXPECT_EQ(receptor.told[1].index, 2089);
    EXPECT_TRUE(receptor.told[2].highlight);
    EXPECT_FLOAT_EQ(receptor.told[2].value, 2.f);
    for (const auto& t : receptor.told) EXPECT_EQ(t.thread, GetCurrentThreadId());
    EXPECT_TRUE(editor->getPresetBar()->isModified());
    EXPECT_EQ(editor->getRootPanel()->getBackgroundId(), 1001) << "the multi section's background follows 2089";

    editor->idle();
    EXPECT_EQ(receptor.told.size(), 3u) << "each change is shown once";
    editor->getGuiInterface()->removeReceptor(5, &receptor);
    editor->getGuiInterface()->removeReceptor(2089, &receptor);
    editor->close();
}

TEST_F(Editor, AHighlightLeavesThePresetUnmarked) {
    openEditor();
    editor->setParameter(100005, 2.f);
    editor->idle();
    EXPECT_FALSE(editor->getPresetBar()->isModified());
    editor->setParameter(5, 0.3f);
    editor->idle();
    EXPECT_TRUE(editor->getPresetBar()->isModified());
    editor->close();
}

TEST_F(Editor, ValuesFromOutsideTheParameterSpacesAreDropped) {
    openEditor();
    RecordingReceptor receptor;
    for (int index : {-1, 549, 999, 1352, 1999, 2109, 99999}) editor->getGuiInterface()->addReceptor(index, &receptor);
    for (int index : {-1, 549, 999, 1352, 1999, 2109, 99999, 100000 + 2109, 2000000000}) editor->setParameter(index, 1.f);
    editor->idle();
    EXPECT_TRUE(receptor.told.empty());
    EXPECT_FALSE(editor->getPresetBar()->isModified());
    // A patch's copy reaches the widgets under patch 0's index while that patch is selected:
    // patch 7's last internal parameter (1351) comes to the widgets of 1043.
    static_cast<VexaGuiInterface*>(editor->getGuiInterface())->setPatchSelected(7, true);
    for (int index : {0, 548, 1000, 1351, 2000, 2108}) {
        editor->getGuiInterface()->addReceptor(index == 1351 ? 1043 : index, &receptor);
        editor->setParameter(index, 0.5f);
    }
    editor->idle();
    EXPECT_EQ(receptor.told.size(), 6u) << "the first and last index of each space";
    for (int index : {-1, 549, 999, 1352, 1999, 2109, 99999, 0, 548, 1000, 1043, 2000, 2108})
        editor->getGuiInterface()->removeReceptor(index, &receptor);
    editor->close();
}

// The shared preset tree is due at the 2nd idle and then at every 42nd.
TEST_F(Editor, TheIdleCounterRunsWhetherOpenOrClosed) {
    std::vector<int> due;
    for (int i = 1; i <= 90; i++) {
        int before = editor->getIdleCounter();
        editor->idle();
        if (before < 0) due.push_back(i);
    }
    EXPECT_EQ(due, (std::vector<int>{2, 44, 86}));
}

TEST_F(Editor, ALayoutPendingFromAnOpenWithoutIdleIsDropped) {
    ASSERT_TRUE(editor->open(parent.handle()));
    editor->close();
    editor->idle();
    EXPECT_EQ(editor->getRootPanel(), nullptr);
    EXPECT_TRUE(editor->isOpen()) << "the host's window stays recorded after a close";
    ERect* rect = nullptr;
    ASSERT_TRUE(editor->getRect(&rect));
    EXPECT_EQ(rect->right, 1008);
    EXPECT_EQ(rect->bottom, 620);
}

TEST(BitmapCacheSharing, TwoOpenEditorsShareOneCacheAndTheLastEmptiesIt) {
    TestInstall install;
    ParentWindow first, second;
    ASSERT_EQ(BitmapCache::userCount(), 0);
    std::unique_ptr<Halvorn> a(new Halvorn(plainHost));
    std::unique_ptr<Halvorn> b(new Halvorn(plainHost));
    EXPECT_EQ(BitmapCache::userCount(), 2);
    a->getEditor()->open(first.handle());
    b->getEditor()->open(second.handle());
    a->getEditor()->idle();
    b->getEditor()->idle();
    int cached = BitmapCache::size();
    EXPECT_GT(cached, 0);
    CBitmap* bar = BitmapCache::get(1003);
    EXPECT_EQ(BitmapCache::size(), cached) << "the second editor found the bitmaps the first loaded";
    EXPECT_EQ(BitmapCache::get(1003), bar);

    a->getEditor()->close();
    a.reset();
    EXPECT_EQ(BitmapCache::userCount(), 1);
    EXPECT_EQ(BitmapCache::size(), cached) << "kept while an editor object remains";
    b->getEditor()->idle();
    b->getEditor()->close();
    EXPECT_EQ(BitmapCache::size(), cached) << "the count follows editor objects, not windows";
    b.reset();
    EXPECT_EQ(BitmapCache::userCount(), 0);
    EXPECT_EQ(BitmapCache::size(), 0);
}

TEST(BitmapCacheSharing, TheFirstRequestDecidesTransparency) {
    BitmapCache::addUser();
    CBitmap* plain = BitmapCache::get(1003);
    EXPECT_EQ(BitmapCache::getTransparent(1003), plain);
    EXPECT_FALSE(plain->isTransparent());
    CBitmap* keyed = BitmapCache::getTransparent(1006);
    EXPECT_EQ(BitmapCache::get(1006), keyed);
    EXPECT_TRUE(keyed->isTransparent());
    CColor c = keyed->getTransparentColor();
    EXPECT_EQ(c.red, 255);
    EXPECT_EQ(c.green, 0);
    EXPECT_EQ(c.blue, 255);
    BitmapCache::removeUser();
    EXPECT_EQ(BitmapCache::size(), 0);
}

}  // namespace
