// The editor's bridge on a real instrument (no window): edits repeated over the selected
// patches, reads from the first one, changes translated back to the widgets' indices, the
// knob mode by host, and the skin tables that the panels ask for.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/halvorn.h"
#include "editor/halvorn_edit.h"
#include "editor/knob.h"
#include "editor/recording_host.h"
#include "editor/skin_tables.h"
#include "editor/slider.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"
#include "toolkit/aframe.h"
#include "toolkit/control_styles.h"
#include "vstgui/aeffguieditor.h"

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new HalvornEdit(effect); }

namespace {

struct Told : AParameterReceptor {
    std::vector<std::pair<int, float>> values;
    std::vector<float> highlights;
    void parameterChanged(int index, float value) override { values.push_back({index, value}); }
    void setHighlight(float colour) override { highlights.push_back(colour); }
};

struct Listeners : VexaVoiceEditListener, VexaLineChangeListener, VexaPresetModifListener {
    std::vector<bool> modes;
    std::vector<int> lines;
    int modified = 0, cleared = 0;
    void voiceEditModeChanged(bool multiple) override { modes.push_back(multiple); }
    void lineChanged(int line) override { lines.push_back(line); }
    void setModified(int, float) override { modified++; }
    void clearModified() override { cleared++; }
};

class Bridge : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingHost::setNames("", "");
        synth.reset(new Halvorn(RecordingHost::callback));
        ASSERT_FALSE(synth->creationFailed());
        instrument.reset(new VexaInterface(synth.get()));
        gui.reset(new VexaGuiInterface());
        instrument->setGuiInterface(gui.get());
        gui->setInstrumentInterface(instrument.get());
        RecordingHost::clear();
    }
    void select(std::set<int> patches) {
        for (int p = 0; p < 8; p++) gui->setPatchSelected(p, patches.count(p) != 0);
    }

    TestInstall install;
    std::unique_ptr<Halvorn> synth;
    std::unique_ptr<VexaInterface> instrument;
    std::unique_ptr<VexaGuiInterface> gui;
};

TEST_F(Bridge, AnEditReachesEverySelectedPatchAndOnlyHostParametersAreAutomated) {
    struct Case {
        std::set<int> selected;
        int index;
        std::vector<int> written;
        bool automated;
    } cases[] = {
        {{1, 3}, 5, {67, 191}, true},
        {{0, 7}, 61, {61, 61 + 62 * 7}, true},
        {{0, 2}, 1010, {1010, 1098}, false},
        {{1, 3}, 1043, {1043 + 44, 1043 + 44 * 3}, false},
        {{1, 3}, 500, {500}, true},    // a global is set once
        {{1, 3}, 2050, {2050}, false},  // an internal global too, not automated
        {{}, 5, {}, false},             // nothing selected: nothing written
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.index));
        select(c.selected);
        std::vector<float> before(2109);
        for (int i = 0; i < 2109; i++) before[i] = synth->getParameter(i);
        RecordingHost::clear();
        const float value = before[c.written.empty() ? c.index : c.written[0]] < 0.5f ? 0.75f : 0.25f;
        instrument->setParameter(c.index, value);
        std::vector<int> changed, automated;
        for (int i = 0; i < 2109; i++)
            if (synth->getParameter(i) != before[i]) changed.push_back(i);
        for (const HostCall& call : RecordingHost::calls())
            if (call.opcode == audioMasterAutomate) automated.push_back(call.index);
        EXPECT_EQ(changed, c.written);
        EXPECT_EQ(automated, c.automated ? c.written : std::vector<int>{});
    }
}

TEST_F(Bridge, ReadsTakeTheFirstSelectedPatchAndReportMixedCopies) {
    select({1, 3});
    synth->setParameter(67, 0.2f);
    synth->setParameter(191, 0.2f);
    synth->setParameter(5, 0.9f);
    EXPECT_FLOAT_EQ(instrument->getParameter(5), 0.2f);
    float value = 0.f;
    bool mixed = true;
    instrument->getParameterMixed(5, &value, &mixed);
    EXPECT_FLOAT_EQ(value, 0.2f);
    EXPECT_FALSE(mixed);
    synth->setParameter(191, 0.9f);
    instrument->getParameterMixed(5, &value, &mixed);
    EXPECT_FLOAT_EQ(value, 0.2f) << "the first copy leads";
    EXPECT_TRUE(mixed);

    for (int index : {2105, 500, 548}) {
        instrument->getParameterMixed(index, &value, &mixed);
        EXPECT_FLOAT_EQ(value, -1.f) << index;
        EXPECT_FALSE(mixed) << index;
    }
    EXPECT_STREQ(instrument->getParameterLongName(5), synth->getParameterLongName(67));

    select({});
    EXPECT_FLOAT_EQ(instrument->getParameter(5), 0.f);
    EXPECT_EQ(instrument->getParameterLongName(5), nullptr);
    EXPECT_EQ(instrument->getParameterValueText(1010), nullptr);
    EXPECT_FALSE(instrument->isMidiAssignable(5));
    EXPECT_EQ(instrument->getMidiCC(5), 0);
    EXPECT_FLOAT_EQ(instrument->getParameter(500), synth->getParameter(500)) << "globals need no selection";
}

TEST_F(Bridge, EditBracketsTakeEachSelectedPatchOfTheHostBlockInTurn) {
    select({1, 3});
    instrument->beginEdit(5);
    instrument->setParameter(5, 0.4f);
    instrument->endEdit(5);
    instrument->beginEdit(1010);
    instrument->endEdit(1010);
    std::string order;
    for (const HostCall& call : RecordingHost::calls())
        order += std::string(call.opcode == audioMasterBeginEdit ? "B" : call.opcode == audioMasterEndEdit ? "E" : "A") +
                 std::to_string(call.index) + " ";
    EXPECT_EQ(order, "B67 B191 A67 A191 E67 E191 B1010 E1010 ");
}

TEST_F(Bridge, MidiAssignmentsAndLearnReachEverySelectedCopy) {
    select({1, 3});
    ASSERT_TRUE(instrument->isMidiAssignable(5));
    instrument->setMidiCC(5, 7);
    EXPECT_EQ(synth->getMidiCC(67), 7);
    EXPECT_EQ(synth->getMidiCC(191), 7);
    EXPECT_NE(synth->getMidiCC(5), 7);
    EXPECT_EQ(instrument->getMidiCC(5), 7);
    instrument->setMidiCC(5, -1);
    EXPECT_EQ(synth->getMidiCC(67), -1);
    EXPECT_EQ(synth->getMidiCC(191), -1);
}

TEST_F(Bridge, PatchNumbersOutsideTheEightAreNeverSelected) {
    Listeners listeners;
    gui->setVoiceEditListener(&listeners);
    for (int patch : {-1, 8, 100, INT_MIN, INT_MAX}) {
        EXPECT_FALSE(gui->isPatchSelected(patch)) << patch;
        EXPECT_FALSE(instrument->isPatchSelected(patch)) << patch;
    }
    EXPECT_TRUE(instrument->isPatchSelected(0));
    gui->setPatchSelected(8, true);
    gui->setPatchSelected((unsigned)-1, true);
    EXPECT_EQ(gui->getNbSelectedPatches(), 1);
    EXPECT_TRUE(listeners.modes.empty()) << "an ignored number tells no one";
    gui->setPatchSelected(4, true);
    gui->setPatchSelected(0, false);
    EXPECT_EQ(listeners.modes, (std::vector<bool>{true, false}));
}

TEST_F(Bridge, ChangesReachTheWidgetsOfSelectedPatchesOnly) {
    Told knob, partPatch, global;
    Listeners listeners;
    gui->addReceptor(5, &knob);
    gui->addReceptor(2003, &partPatch);
    gui->addReceptor(500, &global);
    gui->setLineChangeListener(&listeners);
    gui->setPresetModifListener(&listeners);

    gui->parameterChanged(191, 0.3f);  // patch 3's copy, patch 0 selected
    EXPECT_TRUE(knob.values.empty());
    EXPECT_EQ(listeners.lines, std::vector<int>{0}) << "local 5 is on line 1 (0)";
    EXPECT_EQ(listeners.modified, 1);
    gui->setPatchSelected(3, true);
    gui->parameterChanged(191, 0.4f);
    ASSERT_EQ(knob.values.size(), 1u);
    EXPECT_EQ(knob.values[0].first, 5) << "shown under patch 0's index";

    gui->parameterChanged(2003, 1.f);  // part 3's patch number: the flag of number 3
    EXPECT_EQ(partPatch.values.size(), 1u);
    gui->setPatchSelected(3, false);
    gui->parameterChanged(2003, 2.f);
    EXPECT_EQ(partPatch.values.size(), 1u);
    gui->parameterChanged(500, 0.5f);
    EXPECT_EQ(global.values.size(), 1u);

    struct LineCase {
        int index;
        int line;  // -1 none
    } lines[] = {{0, 0}, {23, 0}, {24, 1}, {47, 1}, {48, -1}, {61, -1}, {62 * 7 + 30, 1}, {1000, 0},
                 {1009, 0}, {1010, 1}, {1019, 1}, {1020, -1}, {1000 + 44 * 5 + 12, 1}, {500, -1}, {2003, -1}};
    for (const LineCase& c : lines) {
        listeners.lines.clear();
        gui->parameterChanged(c.index, 0.5f);
        EXPECT_EQ(listeners.lines, c.line < 0 ? std::vector<int>{} : std::vector<int>{c.line}) << c.index;
    }

    int modified = listeners.modified;
    listeners.lines.clear();
    gui->highlightParameter(5, 2.f);
    gui->highlightParameter(191, 1.f);  // patch 3 unselected
    EXPECT_EQ(knob.highlights, std::vector<float>{2.f});
    EXPECT_EQ(listeners.modified, modified) << "a highlight marks nothing";
    EXPECT_TRUE(listeners.lines.empty());
    gui->clearPresetModified();
    EXPECT_EQ(listeners.cleared, 1);
}

TEST_F(Bridge, HostsThatWantLinearKnobsGetThem) {
    struct Case {
        const char* vendor;
        const char* product;
        int asked;
        int mode;
    } cases[] = {
        {"", "", 1, 1},
        {"FXpansion Audio", "", 0, 2},
        {"ProTools", "", 1, 2},
        {"DigitalPerformer", "", 0, 2},
        {"", "Logic Pro", 0, 2},
        {"VantropeAudioUnit", "", 1, 2},
        {"Image-Line", "", 1, 1},  // unlike the base bridge, this one follows the host here
        {"Image-Line", "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.vendor) + "/" + c.product);
        RecordingHost::setNames(c.vendor, c.product);
        AEffGUIEditor::knobMode = c.asked;
        EXPECT_EQ(instrument->getKnobMode(), c.mode);
    }
    AEffGUIEditor::knobMode = 0;
}

TEST_F(Bridge, TheAboutSwitchesTurnTheValuePopupsOff) {
    struct Case {
        float off, offOnHover;
        bool hover, click;
    } cases[] = {{0.f, 0.f, true, true}, {0.f, 1.f, false, true}, {1.f, 0.f, false, false}, {1.f, 1.f, false, false}};
    for (const Case& c : cases) {
        synth->setParameter(2108, c.off);
        synth->setParameter(2107, c.offOnHover);
        EXPECT_EQ(instrument->isValuePopupOnHover(), c.hover);
        EXPECT_EQ(instrument->isValuePopupOnClick(), c.click);
    }
}

// ---------------------------------------------------------------- presets and patches

TEST_F(Bridge, PresetStepsStopAtTheEndsAndGuardedDeletionsRefuseSilently) {
    Listeners listeners;
    gui->setPresetModifListener(&listeners);
    // A bank of its own: one sub-bank holding one preset.
    instrument->saveAsNewBank();
    const int bank = instrument->getBankIndex();
    ASSERT_TRUE(instrument->isUserBank(bank));
    ASSERT_EQ(instrument->getNbSubBanks(bank), 1);
    ASSERT_EQ(instrument->getNbPresets(bank, 0), 1);
    const int banks = instrument->getNbBanks();
    listeners.cleared = 0;

    instrument->previousPreset();
    instrument->nextPreset();
    EXPECT_EQ(instrument->getPresetIndex(), 0);
    EXPECT_EQ(listeners.cleared, 0) << "a step that goes nowhere keeps the modified mark";
    instrument->deletePreset(bank, 0, 0);
    instrument->deleteSubBank(bank, 0);
    instrument->deleteBank(banks - 1);  // the merged bank "All" is no user bank
    EXPECT_EQ(instrument->getNbBanks(), banks);
    EXPECT_EQ(instrument->getNbPresets(bank, 0), 1);
    EXPECT_EQ(listeners.cleared, 0);

    // Past the end of the sub-bank, the store menu's place is a new preset.
    instrument->storePresetAt(bank, 0, 1);
    EXPECT_EQ(instrument->getNbPresets(bank, 0), 2);
    EXPECT_GE(listeners.cleared, 1);
    instrument->selectBank(bank, 0, 1);
    ASSERT_EQ(instrument->getPresetIndex(), 1);
    int cleared = listeners.cleared;
    instrument->nextPreset();
    EXPECT_EQ(instrument->getPresetIndex(), 1);
    EXPECT_EQ(listeners.cleared, cleared);
    instrument->previousPreset();
    EXPECT_EQ(instrument->getPresetIndex(), 0);
    EXPECT_EQ(listeners.cleared, cleared + 1);
    instrument->deletePreset(bank, 0, 1);
    EXPECT_EQ(instrument->getNbPresets(bank, 0), 1) << "with two presets one may go";
    EXPECT_EQ(listeners.cleared, cleared + 2);
}

// In use means played by a part now: a part that takes another patch frees its old one.
TEST_F(Bridge, APatchIsInUseWhileAPartPlaysIt) {
    for (int part = 0; part < 8; part++) synth->setParameter(2000 + part, 0.f);
    for (int patch = 1; patch < 8; patch++) EXPECT_FALSE(instrument->isPatchInUse(patch)) << patch;
    EXPECT_TRUE(instrument->isPatchInUse(0));
    synth->setParameter(2003, 5.f);
    EXPECT_TRUE(instrument->isPatchInUse(5));
    int taken = instrument->allocatePatch(4);
    EXPECT_EQ(taken, 1) << "the lowest patch no part plays";
    EXPECT_TRUE(instrument->isPatchInUse(1));
    EXPECT_FLOAT_EQ(synth->getParameter(2004), 1.f) << "given to the part";
    for (int part = 0; part < 8; part++) synth->setParameter(2000 + part, (float)part);
    EXPECT_EQ(instrument->allocatePatch(0), -1) << "all eight in use";
}

// ---------------------------------------------------------------- skin tables

TEST_F(Bridge, EachSkinTableIsBuiltWholeOnceAndReleasedWithTheLastBridge) {
    BitmapCache::addUser();
    int builds = skinTableBuilds();
    AKnobStyle* twelve = getSkinKnobStyle(12);
    EXPECT_EQ(skinTableBuilds(), builds + 1);
    getSkinKnobStyle(3);
    getSkinKnobStyle(15);
    EXPECT_EQ(skinTableBuilds(), builds + 1) << "the knob table is built once";
    EXPECT_EQ(getSkinKnobStyle(12), twelve);
    getSkinSliderStyle(0);
    getSkinSwitchStyle(0);
    getSkinButtonStyle(0);
    getSkinChoiceStyle(0);
    EXPECT_EQ(skinTableBuilds(), builds + 5) << "each table on its own";
    EXPECT_EQ(getSkinKnobStyle(16), nullptr);
    EXPECT_EQ(getSkinKnobStyle(-1), nullptr);

    {
        VexaGuiInterface second;
        gui.reset();
        EXPECT_EQ(VexaGuiInterface::liveCount(), 1);
        getSkinKnobStyle(0);
        EXPECT_EQ(skinTableBuilds(), builds + 5) << "kept while a bridge lives";
    }
    EXPECT_EQ(VexaGuiInterface::liveCount(), 0);
    getSkinKnobStyle(0);
    EXPECT_EQ(skinTableBuilds(), builds + 6) << "released with the last bridge and built again";
    releaseSkinStyles();
    BitmapCache::removeUser();
}

TEST_F(Bridge, KnobAndSliderStylesHoldTheirTableEntries) {
    BitmapCache::addUser();
    struct KnobRow {
        int bitmap, width, height;
        bool transparent;
        int overlay;
        bool circular, reversed;
    } knobs[16] = {
        {300, 26, 26, true, 0, true, false},   {302, 26, 26, true, 0, true, false},
        {301, 26, 26, true, 0, true, false},   {220, 21, 30, true, 221, false, true},
        {230, 21, 30, true, 231, false, true}, {222, 21, 30, true, 223, false, true},
        {226, 21, 30, true, 227, false, true}, {228, 21, 30, true, 229, false, true},
        {310, 24, 24, false, 0, true, true},   {311, 24, 24, false, 0, true, true},
        {312, 24, 24, false, 0, true, true},   {313, 24, 24, false, 0, true, true},
        {314, 24, 24, false, 0, true, true},   {315, 24, 24, false, 0, true, true},
        {316, 24, 24, false, 0, true, true},   {317, 24, 24, false, 0, true, true},
    };
    for (int i = 0; i < 16; i++) {
        SCOPED_TRACE("knob style " + std::to_string(i));
        AKnobStyle* s = getSkinKnobStyle(i);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->filmStrip->getResourceId(), knobs[i].bitmap);
        EXPECT_EQ(s->filmStrip->getHeight(), knobs[i].height * 64) << "64 frames in the strip";
        EXPECT_EQ(s->frameWidth, knobs[i].width);
        EXPECT_EQ(s->frameHeight, knobs[i].height);
        EXPECT_EQ(s->frameCount, 64);
        EXPECT_EQ(s->transparent, knobs[i].transparent);
        EXPECT_EQ(s->filmStrip->isTransparent(), knobs[i].transparent);
        EXPECT_EQ(s->overlay ? s->overlay->getResourceId() : 0, knobs[i].overlay);
        EXPECT_EQ(s->circularAllowed, knobs[i].circular);
        EXPECT_EQ(s->reversed, knobs[i].reversed);
        EXPECT_EQ(s->centreX, knobs[i].width / 2);
        EXPECT_EQ(s->centreY, knobs[i].height / 2);
    }
    int handles[10] = {200, 210, 204, 202, 206, 208, 202, 202, 202, 200};
    int steps[10] = {0, 0, 0, 0, 0, 0, 3, 5, 6, 4};
    for (int i = 0; i < 10; i++) {
        SCOPED_TRACE("slider style " + std::to_string(i));
        ASliderStyle* s = getSkinSliderStyle(i);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->background, nullptr);
        EXPECT_EQ(s->handle->getResourceId(), handles[i]);
        EXPECT_EQ(s->overlay->getResourceId(), handles[i] + 1);
        EXPECT_TRUE(s->handle->isTransparent());
        EXPECT_EQ(s->width, 20);
        EXPECT_EQ(s->height, 51);
        EXPECT_EQ(s->handleWidth, 20);
        EXPECT_EQ(s->handleHeight, 15);
        EXPECT_EQ(s->travel, 36);
        EXPECT_EQ(s->stepCount, steps[i]);
    }
    releaseSkinStyles();
    BitmapCache::removeUser();
}

TEST_F(Bridge, SwitchButtonAndChoiceStylesHoldTheirTableEntries) {
    BitmapCache::addUser();
    struct SwitchRow {
        int bitmap, overlay, width, height, frames;
        bool disabledFrame;
    } switches[16] = {
        {357, 358, 17, 37, 2, false}, {350, 351, 18, 18, 2, false}, {362, 363, 19, 19, 2, false},
        {359, 360, 17, 37, 3, false}, {364, 365, 17, 18, 5, false}, {366, 367, 18, 18, 2, false},
        {503, 0, 23, 9, 2, false},    {504, 0, 23, 9, 2, false},    {505, 0, 19, 9, 2, false},
        {506, 0, 42, 17, 2, false},   {353, 356, 26, 58, 2, false}, {354, 356, 26, 58, 2, false},
        {355, 370, 22, 58, 2, false}, {507, 0, 19, 9, 2, false},    {349, 0, 69, 27, 2, true},
        {352, 0, 69, 27, 2, true},
    };
    for (int i = 0; i < 16; i++) {
        SCOPED_TRACE("switch style " + std::to_string(i));
        ASwitchStyle* s = getSkinSwitchStyle(i);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->filmStrip->getResourceId(), switches[i].bitmap);
        EXPECT_EQ(s->overlay ? s->overlay->getResourceId() : 0, switches[i].overlay);
        EXPECT_EQ(s->frameWidth, switches[i].width);
        EXPECT_EQ(s->frameHeight, switches[i].height);
        EXPECT_EQ(s->frameCount, switches[i].frames);
        EXPECT_TRUE(s->transparent);
        EXPECT_EQ(s->hasDisabledFrame, switches[i].disabledFrame);
    }
    for (int i = 0; i < 29; i++) {
        SCOPED_TRACE("button style " + std::to_string(i));
        AButtonStyle* s = getSkinButtonStyle(i);
        ASSERT_NE(s, nullptr);
        int bitmap = i == 0 ? 366 : i <= 11 ? 170 + i - 1 : i == 12 ? 181 : i <= 23 ? 184 + i - 13 : i == 24 ? 195
                     : i == 27 ? 380 : i == 28 ? 381 : 0;
        EXPECT_EQ(s->bitmap ? s->bitmap->getResourceId() : 0, bitmap);
        EXPECT_EQ(s->overlay ? s->overlay->getResourceId() : 0, i == 0 ? 367 : 0);
        EXPECT_EQ(s->disabledBitmap, nullptr);
        if (s->bitmap) {
            EXPECT_EQ(s->bitmap->getHeight(), 2 * s->height) << "released and pressed images";
        }
    }
    struct SizeCase {
        int style, width, height;
    } sizes[] = {{1, 18, 18}, {12, 21, 18}, {13, 18, 21}, {24, 21, 21}, {25, 9, 9}, {26, 13, 13}, {27, 37, 22}, {28, 13, 11}};
    for (const SizeCase& c : sizes) {
        EXPECT_EQ(getSkinButtonStyle(c.style)->width, c.width) << c.style;
        EXPECT_EQ(getSkinButtonStyle(c.style)->height, c.height) << c.style;
    }

    struct ChoiceCase {
        int style, count, fontSize;
        std::vector<std::pair<int, std::string>> items;
    } choices[] = {
        {0, 14, 8, {{0, "LFO 1"}, {9, "Ribbon"}, {12, "Keyb.Follow"}, {13, "Off"}}},
        {1, 39, 8, {{0, "VCO 1 Freq"}, {18, "LFO 1 speed"}, {37, "EG VCA 2 R"}, {38, "Off"}}},
        {2, 5, 10, {{0, "Z 1"}, {3, "Z 4"}, {4, "Off"}}},
        {3, 17, 10, {{0, "Ch 1"}, {15, "Ch 16"}, {16, "Omni"}}},
        {4, 128, 10, {{0, "0"}, {64, "64"}, {127, "127"}}},
        {5, 7, 10, {{0, "Random"}, {2, "ReAssign"}, {6, "UniLast"}}},
    };
    for (const ChoiceCase& c : choices) {
        SCOPED_TRACE("choice style " + std::to_string(c.style));
        AChoiceStyle* s = getSkinChoiceStyle(c.style);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->getCount(), c.count);
        EXPECT_EQ(s->font, 3);
        EXPECT_EQ(s->fontSize, c.fontSize);
        for (const auto& item : c.items) EXPECT_STREQ(s->getItem(item.first), item.second.c_str()) << item.first;
    }
    releaseSkinStyles();
    BitmapCache::removeUser();
}

}  // namespace
