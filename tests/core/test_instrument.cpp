// The instrument object built into the test program: construction failures, the shared
// preset tree, host detection and the engine's sample rate.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/halvorn.h"
#include "editor/halvorn_edit.h"
#include "host/test_host.h"
#include "presets/install_settings.h"

// The test program's own editor factory, so a test can make the editor fail.
static bool failEditor = false;
HalvornEdit* createHalvornEdit(Halvorn* effect) { return failEditor ? nullptr : new HalvornEdit(effect); }

namespace {

struct HostStrings {
    bool answer = true;
    std::string vendor;
    std::string product;
};
HostStrings strings;

VstIntPtr VSTCALLBACK stringHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterGetVendorString:
            if (!strings.answer) return 0;
            std::strcpy((char*)ptr, strings.vendor.c_str());
            return 1;
        case audioMasterGetProductString:
            if (!strings.answer) return 0;
            std::strcpy((char*)ptr, strings.product.c_str());
            return 1;
        default: return 0;
    }
}

class Instrument : public ::testing::Test {
protected:
    void TearDown() override {
        failEditor = false;
        strings = HostStrings();
    }
    TestInstall install;
};

TEST_F(Instrument, ConstructsWithEditorAndEngine) {
    Halvorn synth(stringHost);
    ASSERT_FALSE(synth.creationFailed());
    EXPECT_NE(synth.getEditor(), nullptr);
    EXPECT_NE(dynamic_cast<IHalvornEdit*>(synth.getEditor()), nullptr);
    EXPECT_TRUE(synth.getEngine().isInitialised());
    EXPECT_FLOAT_EQ(synth.getEngine().getSampleRate(), 44100.f);
    EXPECT_NE(synth.getInstallSettings(), nullptr);
    EXPECT_EQ(synth.getInstallSettings()->getChunkTag(), "VEXA");
}

TEST_F(Instrument, EditorFailureRaisesTheFlagAndDestructionIsSafe) {
    failEditor = true;
    Halvorn* synth = new Halvorn(stringHost);
    EXPECT_TRUE(synth->creationFailed());
    EXPECT_EQ(synth->getEditor(), nullptr);
    EXPECT_EQ(gPresetTreeUsers, 1);
    delete synth;
    EXPECT_EQ(gPresetTree, nullptr);
    EXPECT_EQ(gPresetTreeUsers, 0);
}

TEST_F(Instrument, FileFailuresRaiseTheFlag) {
    for (const char* file : {"save\\controlMidi", "save\\P0\\B0\\I0\\Parametres"}) {
        TestInstall broken;
        broken.removeFile(file);
        Halvorn synth(stringHost);
        EXPECT_TRUE(synth.creationFailed()) << file;
    }
    EXPECT_EQ(gPresetTree, nullptr);
}

TEST_F(Instrument, InstancesShareOneTreeAndTheLastDeletesIt) {
    Halvorn* first = new Halvorn(stringHost);
    ASSERT_FALSE(first->creationFailed());
    PresetTree* tree = gPresetTree;
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(gPresetTreeUsers, 1);
    Halvorn* second = new Halvorn(stringHost);
    EXPECT_EQ(gPresetTree, tree) << "the second instance finds the tree present";
    EXPECT_EQ(gPresetTreeUsers, 2);
    EXPECT_EQ(tree->getListenerCount(), 2);
    delete first;
    EXPECT_EQ(gPresetTree, tree);
    EXPECT_EQ(tree->getListenerCount(), 1);
    delete second;
    EXPECT_EQ(gPresetTree, nullptr);
    Halvorn third(stringHost);
    EXPECT_NE(gPresetTree, nullptr) << "a later instance creates a new tree";
}

TEST_F(Instrument, HostDetection) {
    struct Case {
        bool answer;
        const char* vendor;
        const char* product;
        bool fxpansion, proTools, digitalPerformer, logic, audioUnit, imageLine;
    } cases[] = {
        {true, "FXpansion Audio", "", true, false, false, false, false, false},
        {true, "ProTools", "x", false, true, false, false, false, false},
        {true, "DigitalPerformer", "", false, false, true, false, false, false},
        {true, "Apple", "Logic Pro", false, false, false, true, false, false},
        {true, "Apple", "Logic", false, false, false, true, false, false},
        {true, "Apple", "logic", false, false, false, false, false, false},
        {true, "VantropeAudioUnit", "", false, false, false, false, true, false},
        {true, "Image-Line", "FL", false, false, false, false, false, true},
        {true, "Image-Line ", "", false, false, false, false, false, false},
        {true, "protools", "", false, false, false, false, false, false},
        // A host that answers nothing is taken for none of them.
        {false, "", "", false, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        strings.answer = c.answer;
        strings.vendor = c.vendor;
        strings.product = c.product;
        Halvorn synth(stringHost);
        ASSERT_FALSE(synth.creationFailed());
        std::string label = std::string(c.vendor) + "/" + c.product;
        EXPECT_EQ(synth.isHostFxpansion(), c.fxpansion) << label;
        EXPECT_EQ(synth.isHostProTools(), c.proTools) << label;
        EXPECT_EQ(synth.isHostDigitalPerformer(), c.digitalPerformer) << label;
        EXPECT_EQ(synth.isHostLogic(), c.logic) << label;
        EXPECT_EQ(synth.isHostAudioUnitWrapper(), c.audioUnit) << label;
        EXPECT_EQ(synth.isHostImageLine(), c.imageLine) << label;
    }
}

TEST_F(Instrument, SampleRateReachesTheEngineByEitherOpcode) {
    Halvorn synth(stringHost);
    AEffect* e = synth.getAeffect();
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.f);
    EXPECT_FLOAT_EQ(synth.getEngine().getSampleRate(), 48000.f);
    e->dispatcher(e, effSetBlockSizeAndSampleRate, 0, 128, nullptr, 96000.f);
    EXPECT_FLOAT_EQ(synth.getEngine().getSampleRate(), 96000.f);
    EXPECT_EQ(synth.getBlockSize(), 128);
}

TEST_F(Instrument, EditorOriginAndNoteNotification) {
    Halvorn synth(stringHost);
    int x = -1, y = -1;
    synth.getEditorOrigin(&x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_TRUE(synth.setEditorOrigin(12, 34));
    synth.getEditorOrigin(&x, &y);
    EXPECT_EQ(x, 12);
    EXPECT_EQ(y, 34);
    HalvornEdit* editor = dynamic_cast<HalvornEdit*>(synth.getEditor());
    ASSERT_NE(editor, nullptr);
    synth.noteEvent(60, 100, 0);
    EXPECT_TRUE(editor->isKeyLit(60));
    synth.noteEvent(60, 0, 0);
    EXPECT_FALSE(editor->isKeyLit(60));
    EXPECT_EQ(synth.getPartActivity(0), 0);
}

}  // namespace

namespace {

TEST_F(Instrument, TheControlFileGivesTheTuningValues) {
    std::string longWord(80, 'X');
    ASSERT_TRUE(install.writeFile("save\\controlMidi", "AUTO_VOIX_2_LFO1_SPEED 21\nTUNE_VEXA_TUNE 0.250000\n" + longWord +
                                                           " 5\nTUNE_VEXA_DETUNE3 0.750000\nTUNE_UNKNOWN 0.5\n"
                                                           "TUNE_POP_UP_CLIC 1.000000\n"));
    Halvorn synth(stringHost);
    ASSERT_FALSE(synth.creationFailed());
    EXPECT_FLOAT_EQ(synth.getParameter(2105), 0.25f);
    EXPECT_FLOAT_EQ(synth.getParameter(2099), 0.75f);
    EXPECT_FLOAT_EQ(synth.getParameter(2108), 1.f);
    EXPECT_FLOAT_EQ(synth.getParameter(2097), 0.f);
}

TEST_F(Instrument, AnEmptyControlFileLeavesEveryTuningValueAtZero) {
    ASSERT_TRUE(install.writeFile("save\\controlMidi", ""));
    Halvorn synth(stringHost);
    ASSERT_FALSE(synth.creationFailed());
    for (int index : {2097, 2104, 2105, 2107, 2108}) EXPECT_FLOAT_EQ(synth.getParameter(index), 0.f) << index;
}

}  // namespace
