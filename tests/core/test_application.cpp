// The parameter application, observed at the engine's door: which commands each parameter
// sends, with which values, to which parts; what the editor is told; the key tables on the
// instrument; the default program and the voice templates applied.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/application_fixture.h"
#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "core/preset_keys.h"
#include "core/value_curves.h"
#include "editor/halvorn_edit.h"
#include "host/test_host.h"
#include "presets/preset_tree.h"

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new RecordingEditor(effect); }

namespace {

using namespace application_test;

struct PatchCase {
    const char* name;
    std::vector<std::pair<int, float>> setup;  // relative indices
    int index;                                 // relative
    float value;
    std::vector<Expected> expected;
};

// Parts 1, 2 and 4 play patch 2, and patch 1 loses its only part; every case sends its
// commands to those three parts, in rising order, and to no other.
TEST_F(Application, PatchParametersSendTheirCommandsToEveryPartOfThePatch) {
    const PatchCase cases[] = {
        {"LFO1_SPEED", {}, 0, 0.7f,
         {{kCmdPartLfo, {WHOLE(subIndex, 0), REAL(lfoRate, 14.5f), WHOLE(lfoWave, 'F'), WHOLE(tempoSync, 0),
                         REAL(tempo, 120.f), WHOLE(tempoDivision, 1)}}}},
        {"LFO2_SPEED synchronised", {{internal(19), 1.f}, {internal(17), 0.9f}}, 24, 0.7f,
         {{kCmdPartLfo, {WHOLE(subIndex, 1), REAL(lfoRate, 14.5f), WHOLE(lfoWave, '@'), WHOLE(tempoSync, 1),
                         REAL(tempo, 120.f), WHOLE(tempoDivision, 5)}}}},
        {"LFO1_DEPTH_PWM", {}, 1, 0.5f, {{kCmdOsc1Pwm, {WHOLE(subIndex, 0), REAL(valueA, 0.43f)}}}},
        {"LFO2_DEPTH_PWM", {}, 25, 1.f, {{kCmdOsc2Pwm, {WHOLE(subIndex, 1), REAL(valueA, 1.f)}}}},
        {"OSC1_WIDTH", {{3, 0.5f}, {50, 0.25f}}, 2, 0.3f,
         {{kCmdOsc1Shape, {REAL(width, 0.58f), REAL(level, 1.f), WHOLE(tableIndex, -6)}}}},
        {"OSC1_NOISE", {}, 3, 0.05f, {{kCmdOsc1Shape, {REAL(width, 0.5f), REAL(level, 0.035f), WHOLE(tableIndex, 0)}}}},
        {"OSC1_ACCORD", {}, 50, 0.99f, {{kCmdOsc1Shape, {WHOLE(tableIndex, 11)}}}},
        {"OSC2_ACCORD", {{26, 1.f}, {27, 0.05f}}, 51, 1.f,
         {{kCmdOsc2Shape, {REAL(width, 0.98f), REAL(level, 0.035f), WHOLE(tableIndex, 12)}}}},
        {"OSC2_ACCORD low", {}, 51, 0.f, {{kCmdOsc2Shape, {WHOLE(tableIndex, -12)}}}},
        // A foreign chunk's accord never indexes past an octave.
        {"OSC2_ACCORD beyond", {}, 51, 3.f, {{kCmdOsc2Shape, {WHOLE(tableIndex, 12)}}}},
        {"OSC1_SINUS", {}, 9, 0.1f, {{kCmdMixerLevel, {WHOLE(subIndex, 1), REAL(level, 0.035f)}}}},
        {"OSC2_SINUS", {}, 33, 0.5f, {{kCmdMixerLevel, {WHOLE(subIndex, 3), REAL(level, 1.04f)}}}},
        {"CUTOFF_LOW1", {{7, 0.3f}, {4, 0.5f}, {5, 0.f}}, 6, 0.7f,
         {{kCmdHighPass1, {REAL(cutoff, 350.f), REAL(resonance, 0.f)}},
          {kCmdLowPass1, {REAL(cutoff, 1200.f), REAL(resonance, 0.1f)}}}},
        {"RES_HIGHT2", {}, 29, 1.f,
         {{kCmdHighPass2, {REAL(cutoff, 20.f), REAL(resonance, 6.f)}},
          {kCmdLowPass2, {REAL(cutoff, 20000.f), REAL(resonance, 0.f)}}}},
        {"LEVEL_VCF1", {}, 8, 0.5f, {{kCmdVca1Level, {REAL(level, 0.46f)}}}},
        {"VOLUME_VCA2", {{32, 0.7f}}, 43, 0.3f, {{kCmdVca2Level, {REAL(level, 0.67f * 0.07f)}}}},
        {"SUSTAIN_LEVEL_VCA1", {{15, 0.5f}}, 17, 0.7f,
         {{kCmdEnvelope, {WHOLE(subIndex, 1), ENVELOPE(0, 50.f), ENVELOPE(1, 4.f), ENVELOPE(2, 10.f),
                          ENVELOPE(3, 0.f), ENVELOPE(4, 1.f), ENVELOPE(5, 0.7f)}}}},
        {"INIT_LEVEL_VCF2", {{35, 1.f}, {38, 0.3f}}, 34, 0.4f,
         {{kCmdEnvelope, {WHOLE(subIndex, 2), ENVELOPE(0, 0.f), ENVELOPE(1, 4.f), ENVELOPE(2, 100.f),
                          ENVELOPE(3, -0.2f), ENVELOPE(4, 1.f), ENVELOPE(5, 0.f)}}}},
        {"ATTACK_TEMPS_VCF1", {}, 12, 0.9f,
         {{kCmdEnvelope, {WHOLE(subIndex, 0), ENVELOPE(0, 5000.f), ENVELOPE(3, 0.f), ENVELOPE(4, 0.f)}}}},
        {"DECAY_TEMPS_VCA2", {}, 40, 0.5f,
         {{kCmdEnvelope, {WHOLE(subIndex, 3), ENVELOPE(1, 200.f), ENVELOPE(4, 1.f), ENVELOPE(5, 1.f)}}}},
        {"INITIAL_BRILLANCE2", {{20, 0.1f}, {22, 0.75f}, {46, 0.6f}}, 44, 0.25f,
         {{kCmdHighPass1Brilliance, {REAL(valueA, 0.1f), REAL(valueB, 0.75f)}},
          {kCmdLowPass1Brilliance, {REAL(valueA, 0.1f), REAL(valueB, 0.75f)}},
          {kCmdHighPass2Brilliance, {REAL(valueA, 0.25f), REAL(valueB, 0.6f)}},
          {kCmdLowPass2Brilliance, {REAL(valueA, 0.25f), REAL(valueB, 0.6f)}}}},
        {"AFTER_LEVEL1", {{21, 0.2f}, {45, 0.3f}, {47, 0.4f}}, 23, 0.6f,
         {{kCmdVca1Touch, {REAL(valueA, 0.2f), REAL(valueB, 0.6f)}},
          {kCmdVca2Touch, {REAL(valueA, 0.3f), REAL(valueB, 0.4f)}}}},
        {"DETUNE", {}, 48, 0.7f, {{kCmdOsc2Detune, {REAL(amount, 0.9953003f)}}}},
        {"MIXE derived", {{internal(22), 1.f}}, 49, 0.3f,
         {{kCmdMixerLevel, {WHOLE(subIndex, 4), REAL(level, 0.3f)}},
          {kCmdMixerLevel, {WHOLE(subIndex, 5), REAL(level, 0.7f)}}}},
        {"MIXE", {}, 49, 0.3f, {{kCmdLineMix, {REAL(level, 0.3f)}}}},
        {"MODULATION03_AMOUNT", {}, 54, 0.7f, {{kCmdModAmount, {WHOLE(subIndex, 2), REAL(level, 0.061f)}}}},
        {"MODULATION10_AMOUNT", {}, 61, 0.3f, {{kCmdModAmount, {WHOLE(subIndex, 9), REAL(level, -0.061f)}}}},
        {"RANGE1", {{internal(0), 0.5f}, {internal(1), 1.f}, {internal(23), 1.f}}, internal(20), 0.16f,
         {{kCmdOsc1Switches, {WHOLE(tableIndex, 24), WHOLE(waveSaw, 0), WHOLE(waveExtra, 1), WHOLE(waveSquare, 1),
                              WHOLE(fixedPitch, 0), WHOLE(sync, 1)}}}},
        {"RANGE1 next step", {}, internal(20), 0.17f, {{kCmdOsc1Switches, {WHOLE(tableIndex, 19)}}}},
        {"OSC1_SYNCHRO", {}, internal(23), 0.6f,
         {{kCmdOsc1Switches, {WHOLE(sync, 1), WHOLE(tableIndex, 0), WHOLE(waveSaw, 1), WHOLE(waveExtra, 0)}}}},
        {"OSC1_KEYB", {}, internal(2), 1.f, {{kCmdOsc1Switches, {WHOLE(fixedPitch, 1), WHOLE(sync, 0)}}}},
        {"OSC2_SAW_TRI", {{27, 0.5f}}, internal(10), 0.9f,
         {{kCmdOsc2Switches, {WHOLE(waveSaw, 1), WHOLE(waveExtra, 0), WHOLE(waveSquare, 1), WHOLE(fixedPitch, 0),
                              WHOLE(tableIndex, 0), REAL(level, 1.f)}}}},
        {"OSC2_KEYB", {}, internal(12), 1.f,
         {{kCmdOsc2Switches, {WHOLE(fixedPitch, 1), WHOLE(waveSaw, 0), WHOLE(waveExtra, 0), REAL(level, 0.f)}}}},
        {"RANGE2", {}, internal(21), 0.95f, {{kCmdOsc2Switches, {WHOLE(tableIndex, -12)}}}},
        {"FILTRE1_TYPE", {}, internal(6), 1.f, {{kCmdLine1Poles, {WHOLE(enabled, 1)}}}},
        {"FILTRE2_TYPE", {}, internal(16), 0.4f, {{kCmdLine2Poles, {WHOLE(enabled, 0)}}}},
        // Mono: every part's LFO follows the one of the patch's first part.
        {"LFO1_TRIGG mono", {}, internal(8), 0.2f,
         {{kCmdPartLfo, {WHOLE(subIndex, 0), WHOLE(lfoWave, 'F'), REAL(lfoRate, 2.5f)}},
          {kCmdPartLfoMode, {WHOLE(subIndex, 0), WHOLE(kind, 1)}}}},
        {"LFO2_WAVE triggered", {{internal(18), 0.5f}}, internal(17), 0.45f,
         {{kCmdPartLfo, {WHOLE(subIndex, 1), WHOLE(lfoWave, 'A')}},
          {kCmdPartLfoMode, {WHOLE(subIndex, 1), WHOLE(kind, -1)}}}},
        {"LFO1_SYNC", {}, internal(9), 1.f,
         {{kCmdPartLfo, {WHOLE(tempoSync, 1), REAL(tempo, 120.f), WHOLE(tempoDivision, 2)}},
          {kCmdPartLfoMode, {WHOLE(kind, 1)}}}},
        {"LFO2_TRIGG free", {}, internal(18), 0.9f,
         {{kCmdPartLfo, {WHOLE(subIndex, 1)}}, {kCmdPartLfoMode, {WHOLE(subIndex, 1), WHOLE(kind, -1)}}}},
    };
    const int patch = 2;
    const int parts[] = {1, 2, 4};
    for (const PatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        create();
        synth->setParameter(2001, 2.f);
        synth->setParameter(2004, 2.f);
        for (const auto& setting : c.setup) synth->setParameter(indexIn(patch, setting.first), setting.second);
        log.clear();
        synth->setParameter(indexIn(patch, c.index), c.value);
        EXPECT_EQ(synth->getParameter(indexIn(patch, c.index)), c.value);
        ASSERT_EQ(log.sent.size(), c.expected.size() * 3);
        size_t n = 0;
        for (int part : parts)
            for (const Expected& expected : c.expected) {
                const Sent& sent = log.sent[n++];
                const std::string where = "command " + std::to_string(n) + " part " + std::to_string(part);
                EXPECT_EQ(sent.code, expected.code) << where;
                EXPECT_EQ(sent.command.part, part) << where;
                expectFields(sent.command, expected.fields, where);
            }

        // The same parameter of patch 1, which no part plays, is only stored.
        log.clear();
        synth->setParameter(indexIn(1, c.index), c.value);
        EXPECT_EQ(synth->getParameter(indexIn(1, c.index)), c.value);
        EXPECT_TRUE(log.sent.empty());
    }
}

TEST_F(Application, APatchReachesTheEngineWhenAPartTakesIt) {
    synth->setParameter(2001, 2.f);
    log.clear();
    synth->setParameter(62 * 1 + 6, 0.7f);
    synth->setParameter(62 * 1 + 4, 0.3f);
    EXPECT_TRUE(log.sent.empty()) << "patch 1 has no part";
    EXPECT_EQ(synth->getParameter(62 * 1 + 6), 0.7f);

    synth->setParameter(2007, 1.f);
    std::vector<EngineCommand> highPass, lowPass;
    for (const Sent& sent : log.sent) {
        if (sent.command.part != 7) continue;
        if (sent.code == kCmdHighPass1) highPass.push_back(sent.command);
        if (sent.code == kCmdLowPass1) lowPass.push_back(sent.command);
    }
    // Part 7 now plays patch 1 alone: each of the line's four filter values sends both filters.
    ASSERT_EQ(highPass.size(), 4u);
    ASSERT_EQ(lowPass.size(), 4u);
    EXPECT_FLOAT_EQ(highPass.back().cutoff, 60.f);
    EXPECT_FLOAT_EQ(lowPass.back().cutoff, 1200.f);
    // Every patch went again to its parts, patch by patch, each list in rising part order;
    // patch 7 has none left.
    EXPECT_EQ(partsOf(kCmdOsc2Detune), (std::vector<int>{0, 7, 1, 2, 3, 4, 5, 6}));
}

// Patch numbers from a host, a file or a chunk are clamped before they index the lists.
TEST_F(Application, PartPatchNumbersAreClamped) {
    synth->setParameter(2003, 9.f);     // 8 or more: patch 7
    synth->setParameter(2005, -2.f);    // negative: patch 0
    synth->setParameter(2006, kNaN);    // the lowest value: patch 0
    synth->setParameter(2001, 1e30f);   // bounded, then patch 7
    EXPECT_EQ(synth->getParameter(2006), 0.f);
    EXPECT_EQ(synth->getParameter(2001), 1e6f);
    log.clear();
    synth->setParameter(62 * 7 + 48, 0.5f);
    EXPECT_EQ(partsOf(kCmdOsc2Detune), (std::vector<int>{1, 3, 7}));
    log.clear();
    synth->setParameter(62 * 0 + 48, 0.5f);
    EXPECT_EQ(partsOf(kCmdOsc2Detune), (std::vector<int>{0, 5, 6}));
    log.clear();
    synth->setParameter(62 * 5 + 48, 0.5f);
    EXPECT_TRUE(log.sent.empty());
}

TEST_F(Application, TheEditorIsToldOfEveryIndex) {
    editor().shown.clear();
    const std::pair<int, float> calls[] = {{5, 0.25f}, {600, 0.5f}, {2060, 3.f}, {-7, 1.f}, {1400, 0.75f},
                                           {2108, 1.f}, {62 * 3 + 9, kNaN}, {1001, kInfinity}};
    for (const auto& call : calls) synth->setParameter(call.first, call.second);
    ASSERT_EQ(editor().shown.size(), 8u);
    for (size_t i = 0; i < 6; i++) EXPECT_EQ(editor().shown[i], calls[i]) << i;
    // What the editor shows is what was stored.
    EXPECT_EQ(editor().shown[6], std::make_pair(62 * 3 + 9, 0.f));
    EXPECT_EQ(editor().shown[7], std::make_pair(1001, 1e6f));
}

// NaN is the lowest value and infinities are bounded: nothing that is not finite reaches
// the engine, whatever a host sends or a chunk holds.
TEST_F(Application, NothingButFiniteValuesReachTheEngine) {
    synth->setParameter(62 * 3 + 4, kNaN);
    EXPECT_EQ(synth->getParameter(62 * 3 + 4), 0.f);
    ASSERT_EQ(log.sent.size(), 2u);
    EXPECT_EQ(log.sent[0].command.cutoff, 20.f);
    synth->setParameter(62 * 3 + 4, kInfinity);
    EXPECT_EQ(synth->getParameter(62 * 3 + 4), 1e6f);
    EXPECT_EQ(log.sent[2].command.cutoff, 20000.f);

    // Every slot of a chunk NaN, then every slot infinite.
    for (unsigned char fill : {0xFF, 0x7F}) {
        std::vector<unsigned char> data(5392, fill);
        if (fill == 0x7F)
            for (size_t i = 0; i < data.size(); i += 4) std::memcpy(&data[i], &kInfinity, 4);
        log.clear();
        synth->setChunk(data.data(), (VstInt32)data.size(), false);
        ASSERT_FALSE(log.sent.empty());
        for (const Sent& sent : log.sent) {
            const EngineCommand& c = sent.command;
            const float reals[] = {c.envelope[0], c.envelope[1], c.envelope[2], c.envelope[3], c.envelope[4],
                                   c.envelope[5], c.width,       c.amount,      c.resonance,   c.cutoff,
                                   c.level,       c.valueA,      c.valueB,      c.lfoRate,     c.tempo};
            for (float value : reals) ASSERT_TRUE(std::isfinite(value)) << "code " << sent.code;
            ASSERT_GE(c.part, 0);
            ASSERT_LE(c.part, 7);
            if (sent.code == kCmdOsc1Shape || sent.code == kCmdOsc2Shape) {
                ASSERT_GE(c.tableIndex, -12);
                ASSERT_LE(c.tableIndex, 12);
            }
        }
        EXPECT_EQ(synth->getParameter(0), fill == 0xFF ? 0.f : 1e6f);
    }
}

TEST_F(Application, AutomationReachesTheHostForHostParametersOnly) {
    for (int index : {548, 0, 549, 2000, 1000, -1}) synth->setParameterAutomated(index, 0.25f);
    EXPECT_EQ(automated, (std::vector<std::pair<int, float>>{{548, 0.25f}, {0, 0.25f}}));
    EXPECT_EQ(synth->getParameter(548), 0.25f);
    EXPECT_EQ(synth->getParameter(1000), 0.25f) << "stored without the host hearing of it";
    EXPECT_EQ(synth->getParameter(2000), 0.25f);
}

TEST_F(Application, KeyTablesOnTheInstrument) {
    int index = -5;
    EXPECT_EQ(synth->parameterIndexFromKey("NUM_PATCH_VOIE4", &index, -1), 3);
    EXPECT_EQ(index, 2003);
    EXPECT_EQ(synth->parameterIndexFromKey("VIB_WAVE", &index, -1), -1);
    EXPECT_EQ(index, 2040);
    EXPECT_EQ(synth->parameterIndexFromKey("OSC1_SAW_TRI", &index, 1), -1);
    EXPECT_EQ(index, 1044);
    for (const char* unknown : {"MODULATION_WHEEL_CONTROL", "lfo1_speed", "MODULATION11_AMOUNT", "", "X"}) {
        index = -5;
        EXPECT_EQ(synth->parameterIndexFromKey(unknown, &index, 0), -1) << unknown;
        EXPECT_EQ(index, -5) << unknown;
    }
    EXPECT_EQ(synth->parameterIndexFromKey(nullptr, &index, 0), -1);
    EXPECT_EQ(synth->parameterIndexFromKey("LFO1_SPEED", nullptr, 0), -1);

    // Keys store into the record and send nothing.
    synth->setValueByKey("NUM_PATCH_VOIE3", 5.f, -1);
    EXPECT_EQ(synth->getParameter(2002), 5.f);
    EXPECT_EQ(synth->getPartPatch(2), 5);
    synth->setValueByKey("NUM_PATCH_VOIE1", 12.7f, -1);
    EXPECT_EQ(synth->getParameter(2000), 12.7f);
    EXPECT_EQ(synth->getPartPatch(0), 7) << "clamped where it indexes";
    synth->setValueByKey("NUM_PATCH_VOIE2", -3.f, -1);
    EXPECT_EQ(synth->getPartPatch(1), 0);
    synth->setValueByKey("NUM_PATCH_VOIE8", kNaN, -1);
    EXPECT_EQ(synth->getParameter(2007), 0.f);
    EXPECT_EQ(synth->getPartPatch(7), 0);
    EXPECT_EQ(synth->getPartPatch(8), -1);
    synth->setValueByKey("MODULATION04_INPUT", 7.f, 6);
    EXPECT_EQ(synth->getParameter(1000 + 44 * 6 + 31), 7.f);
    synth->setValueByKey("MODULATION_WHEEL_CONTROL", 0.375f, -1);
    EXPECT_EQ(synth->getParameter(547), 0.375f);
    synth->setValueByKey("PARAM_FREQ_ECOUT", 41.9f, -1);
    EXPECT_TRUE(log.sent.empty());

    // Keys of the other group, unknown keys and the browser change nothing.
    std::vector<unsigned char> before = chunk();
    synth->setValueByKey("LFO1_SPEED", 0.3f, -1);
    synth->setValueByKey("VIB_RATE", 0.3f, 0);
    synth->setValueByKey("FICHIER_MENU", 0.3f, -1);
    synth->setValueByKey("VEXA_TUNE", 0.3f, -1);
    synth->setValueByKey("MODULATION00_OUTPUT", 3.f, 0);
    synth->setValueByKey("MODULATION10_OUTPUT_", 3.f, 7);
    synth->setValueByKey(nullptr, 3.f, 7);
    EXPECT_TRUE(chunk() == before);

    synth->setParameter(2093, 0.25f);
    struct Case {
        int local, patch;
        bool hostBlock;
        const char* key;
        float value;
        int answer;
    } cases[] = {
        {60, -1, false, "PARAM_FREQ_ECOUT", 41.f, 0},
        {2, -1, false, "NUM_PATCH_VOIE3", 5.f, 1},
        {51, -1, true, "MODULATION_WHEEL_CONTROL", 0.375f, 0},
        {50, -1, true, "", 0.5f, 0},  // pitch bend: no key, its value all the same
        {93, -1, false, "", 0.25f, 0},  // the bank browser
        {31, 6, false, "MODULATION04_INPUT", 7.f, 0},
        {200, 0, true, "", 0.f, 0},
    };
    for (const Case& c : cases) {
        char key[kPresetKeySize];
        char text[16];
        float value = -1.f;
        std::memset(key, 'Z', sizeof(key));
        EXPECT_EQ(synth->getParameterKey(key, &value, c.local, text, c.patch, c.hostBlock), c.answer) << c.local;
        EXPECT_STREQ(key, c.key) << c.local;
        EXPECT_EQ(value, c.value) << c.local;
        EXPECT_STREQ(text, "None");
    }
    EXPECT_EQ(synth->getParameterKey(nullptr, nullptr, 0, nullptr, 0, true), 0);
}

// Loading the current preset applies the default program: every part sounds its own patch.
TEST_F(Application, TheStartPresetAppliesTheDefaultProgram) {
    ProgramRecord expected = synth->getProgramRecord();
    synth->setParameter(62 * 3 + 6, 0.1f);
    synth->setParameter(2004, 6.f);
    log.clear();
    ASSERT_EQ(synth->loadCurrentPreset(), 0);
    ASSERT_FALSE(log.sent.empty());
    EXPECT_EQ(log.sent[0].code, kCmdNoteEvent);
    EXPECT_EQ(log.sent[0].command.note, -1);
    EXPECT_EQ(log.resets, 1);
    EXPECT_EQ(std::memcmp(&synth->getProgramRecord(), &expected, sizeof(ProgramRecord)), 0);
    std::vector<EngineCommand> lowPass(8);
    for (const Sent& sent : log.sent)
        if (sent.code == kCmdLowPass1) lowPass[sent.command.part] = sent.command;
    for (int part = 0; part < 8; part++) EXPECT_EQ(lowPass[part].cutoff, 20000.f) << part;
    log.clear();
    synth->setParameter(62 * 4 + 48, 0.5f);
    EXPECT_EQ(partsOf(kCmdOsc2Detune), (std::vector<int>{4}));

    EXPECT_STREQ(synth->getProgramRecord().programName, "defaut");
    // The browser positions of the start preset, as index / count: sub-bank 8 of "All",
    // or 0 when it has fewer (the position of the preset that was loaded).
    const int banks = gPresetTree->getNbBanksWithAll();
    const GlobalSlots& globals = synth->getProgramRecord().globals;
    EXPECT_EQ(globals.browserBank, (float)(banks - 1) / (float)banks);
    const int subBanks = gPresetTree->getNbSubBanks(banks - 1);
    EXPECT_EQ(globals.browserSubBank, subBanks > 8 ? 8.f / (float)subBanks : 0.f);
}

struct TemplateValue {
    const char* key;
    float value;
};

float keyValue(Halvorn& synth, const char* key, int patch) {
    int index = -1;
    synth.parameterIndexFromKey(key, &index, patch);
    EXPECT_GE(index, 0) << key;
    return synth.getParameter(index);
}

class RecordingHalvorn : public Halvorn {
public:
    RecordingHalvorn() : Halvorn(nullptr) {}
    void setParameter(VstInt32 index, float value) override {
        if (depth == 0) indices.push_back(index);
        depth++;
        Halvorn::setParameter(index, value);
        depth--;
    }
    std::vector<int> indices;
    int depth = 0;
};

TEST_F(Application, VoiceTemplateFluteIntoLineOneOfPatchTwo) {
    RecordingHalvorn recording;
    ASSERT_FALSE(recording.creationFailed());
    recording.setCommandObserver(&log);
    recording.setParameter(62 * 2 + 50, 0.75f);  // OSC1_ACCORD
    recording.setParameter(1000 + 44 * 2 + 20, 0.3f);  // RANGE1
    recording.setParameter(1000 + 44 * 2 + 22, 1.f);  // OSC2_DERIVE
    recording.setParameter(1000 + 44 * 2 + 23, 1.f);  // OSC1_SYNCHRO
    void* data = nullptr;
    recording.getChunk(&data);
    std::vector<unsigned char> before((unsigned char*)data, (unsigned char*)data + 5392);
    recording.indices.clear();
    log.clear();

    recording.loadFactoryPatch(0, 3, 2);

    // Silenced and reset first, then the line through the full parameter path, in order.
    ASSERT_FALSE(log.sent.empty());
    EXPECT_EQ(log.sent[0].code, kCmdNoteEvent);
    EXPECT_EQ(log.sent[0].command.kind, kNoteOffEvent);
    EXPECT_EQ(log.sent[0].command.note, -1);
    EXPECT_EQ(log.sent[0].command.velocity, 0);
    EXPECT_EQ(log.sent[0].command.channel, 0);
    EXPECT_EQ(log.resets, 1);
    std::vector<int> order;
    for (int i = 124; i <= 133; i++) order.push_back(i);
    order.push_back(143);
    for (int i = 134; i <= 147; i++)
        if (i != 143) order.push_back(i);
    for (int i : {1088, 1089, 1091, 1092, 1093, 1094, 1095, 1096, 1097, 1111, 1110}) order.push_back(i);
    EXPECT_EQ(recording.indices, order);

    const TemplateValue flute[] = {
        {"CUTOFF_LOW1", 0.660187f},      {"RES_LOW1", 0.7578125f},         {"RES_HIGHT1", 0.59375f},
        {"INITIAL_LEVEL1", 0.14375f},    {"AFTER_LEVEL1", 0.2635625f},     {"ATTACK_TEMPS_VCA1", 0.6346875f},
        {"DECAY_TEMPS_VCA1", 1.f},       {"SUSTAIN_LEVEL_VCA1", 0.8515625f}, {"RELEASE_TEMPS_VCA1", 0.265f},
        {"OSC1_SAW_TRI", 1.f},           {"OSC1_SQR", 0.f},                {"ON_HIGHT1", 1.f},
        {"LFO1_WAVE", 1.f},              {"ON_LOW1", 1.f},                 {"OSC1_SYNCHRO", 0.f},
        {"OSC2_DERIVE", 0.f},            {"OSC1_ACCORD", 0.75f},           {"RANGE1", 0.3f},
    };
    for (const TemplateValue& v : flute) EXPECT_EQ(keyValue(recording, v.key, 2), v.value) << v.key;

    // Outside line 1 of patch 2 and its two patch-wide switches, no byte changed.
    recording.getChunk(&data);
    std::vector<unsigned char> after((unsigned char*)data, (unsigned char*)data + 5392);
    for (int i = 0; i < 5392; i++) {
        const bool line = i >= 568 * 2 && i < 568 * 2 + 156;
        const bool switches = i >= 568 * 2 + 312 && i < 568 * 2 + 320;
        if (!line && !switches) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
    }

    // Part 2 plays patch 2 and receives the new sound.
    bool lowPassSent = false;
    for (const Sent& sent : log.sent)
        if (sent.code == kCmdLowPass1) {
            EXPECT_EQ(sent.command.part, 2);
            EXPECT_EQ(sent.command.cutoff, cutoffCurve(0.660187f));
            lowPassSent = true;
        }
    EXPECT_TRUE(lowPassSent);
}

TEST_F(Application, VoiceTemplateLinesSoundsAndPatches) {
    // Line 1 and line 5 both mean line 2: "String 2".
    for (int line : {1, 5}) {
        synth->loadFactoryPatch(line, 0, 0);
        EXPECT_EQ(keyValue(*synth, "CUTOFF_HIGHT2", 0), 0.5865624f) << line;
        EXPECT_EQ(keyValue(*synth, "ATTACK_TEMPS_VCA2", 0), 0.08f) << line;
        EXPECT_EQ(keyValue(*synth, "CUTOFF_HIGHT1", 0), 0.f) << "line 1 kept, line " << line;
    }
    // Every sound number outside 0-10 is the init sound.
    std::vector<unsigned char> first;
    for (int sound : {11, -1, 200}) {
        synth->loadFactoryPatch(0, 4, 3);
        synth->loadFactoryPatch(0, sound, 3);
        EXPECT_EQ(keyValue(*synth, "OSC1_SQR", 3), 0.f) << sound;
        EXPECT_EQ(keyValue(*synth, "CUTOFF_LOW1", 3), 1.f) << sound;
        std::vector<unsigned char> now = chunk();
        if (first.empty()) first = now;
        EXPECT_TRUE(now == first) << sound;
    }
    // A patch that no part plays is silenced and written all the same, and sends nothing more.
    synth->setParameter(2005, 0.f);
    log.clear();
    synth->loadFactoryPatch(1, 7, 5);
    ASSERT_EQ(log.sent.size(), 1u);
    EXPECT_EQ(log.sent[0].code, kCmdNoteEvent);
    EXPECT_EQ(log.resets, 1);
    EXPECT_EQ(keyValue(*synth, "RES_LOW2", 5), 1.f);
    // Patch numbers outside 0-7 are refused.
    std::vector<unsigned char> before = chunk();
    log.clear();
    for (int patch : {-1, 8, 1 << 20}) synth->loadFactoryPatch(0, 3, patch);
    EXPECT_TRUE(chunk() == before);
    EXPECT_TRUE(log.sent.empty());
    EXPECT_EQ(log.resets, 0);
}

TEST_F(Application, DefaultsAreWrittenNotApplied) {
    synth->setValueByKey("PARAM_FREQ_ECOUT", 3.f, -1);
    synth->setParameter(62 * 6 + 6, 0.2f);
    synth->setParameter(2097, 0.4f);
    synth->setParameter(2094, 0.25f);
    log.clear();
    editor().shown.clear();
    synth->setPatchDefaults(6);
    EXPECT_EQ(synth->getParameter(62 * 6 + 6), 1.f);
    EXPECT_TRUE(log.sent.empty());
    EXPECT_TRUE(editor().shown.empty());
    synth->setParameter(62 * 6 + 6, 0.2f);
    log.clear();
    editor().shown.clear();
    synth->setProgramDefaults();
    EXPECT_EQ(synth->getParameter(62 * 6 + 6), 1.f);
    EXPECT_EQ(synth->getParameter(2097), 0.4f) << "tuning kept";
    EXPECT_EQ(synth->getParameter(2094), 0.25f) << "browser kept";
    EXPECT_TRUE(log.sent.empty());
    EXPECT_TRUE(editor().shown.empty());
    std::vector<unsigned char> before = chunk();
    for (int patch : {-1, 8}) synth->setPatchDefaults(patch);
    EXPECT_TRUE(chunk() == before);
    float value = -1.f;
    char key[kPresetKeySize], text[8];
    synth->getParameterKey(key, &value, 60, text, -1, false);
    EXPECT_EQ(value, 0.f) << "PARAM_FREQ_ECOUT back to 0";
}

}  // namespace
