// The global parameters at the engine's door: the commands each one sends with the current
// values of every field it carries; the patches of the parts, the single and multi modes,
// the preset browser and the tuning values that the MIDI control file keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/application_fixture.h"
#include "core/halvorn.h"
#include "core/value_curves.h"

namespace {

using namespace application_test;

struct GlobalCase {
    const char* name;
    std::vector<std::pair<int, float>> setup;
    int index;
    float value;
    std::vector<Expected> expected;
};

// The vibrato depths go to the oscillators, the filters, then both amplifiers of every part.
std::vector<Expected> vibratoDepths(float vco, float touchVco, float vcf, float touchVcf, float vca) {
    std::vector<Expected> expected;
    for (int code : {kCmdOsc1Modulation, kCmdOsc2Modulation})
        expected.push_back({code, {REAL(valueA, vco), REAL(valueB, touchVco)}});
    for (int code : {kCmdLowPass1Modulation, kCmdLowPass2Modulation, kCmdHighPass1Modulation, kCmdHighPass2Modulation})
        expected.push_back({code, {REAL(valueA, vcf), REAL(valueB, touchVcf)}});
    for (int part = 0; part < 8; part++)
        for (int code : {kCmdVca1Modulation, kCmdVca2Modulation})
            expected.push_back({code, {WHOLE(part, part), REAL(valueA, vca)}});
    return expected;
}

TEST_F(Application, GlobalParametersSendTheirCommands) {
    const float wideSpread = vibratoDepthCurve(0.8f);
    const GlobalCase cases[] = {
        {"VIB_RATE", {{2040, 0.4f}}, 496, 0.3f,
         {{kCmdVibratoLfo, {REAL(lfoRate, vibratoRateCurve(0.7f)), WHOLE(lfoWave, 'A'), WHOLE(tempoSync, 0),
                            REAL(tempo, 120.f)}}}},
        {"VIB_WAVE", {{496, 0.f}}, 2040, 0.9f,
         {{kCmdVibratoLfo, {REAL(lfoRate, vibratoRateCurve(1.f)), WHOLE(lfoWave, '@')}}}},
        {"VIB_WAVE lowest", {}, 2040, 0.1f, {{kCmdVibratoLfo, {WHOLE(lfoWave, 'F')}}}},
        {"VIB_AMOUNT_VCA", {}, 499, 0.3f,
         vibratoDepths(vibratoDepthCurve(0.5f), vibratoDepthCurve(0.5f), 0.5f, 0.5f, 0.7f)},
        {"VIB_AMOUNT_VCO", {{509, 0.6f}}, 497, 0.2f,
         vibratoDepths(wideSpread, vibratoDepthCurve(0.4f), 0.5f, 0.5f, 0.5f)},
        {"TOUCH_AMOUNT_VCF", {{498, 0.1f}}, 510, 0.25f,
         vibratoDepths(vibratoDepthCurve(0.5f), vibratoDepthCurve(0.5f), 0.9f, 0.75f, 0.5f)},
        {"RING_SPEED", {{500, 0.1f}, {501, 0.2f}, {502, 0.3f}, {504, 0.4f}}, 503, 0.6f,
         {{kCmdRingModulator, {REAL(lfoRate, ringSpeedCurve(0.4f)), ENVELOPE(0, ringAttackCurve(0.9f)),
                               ENVELOPE(1, ringDecayCurve(0.8f)), ENVELOPE(4, 0.7f), REAL(valueA, 0.6f),
                               WHOLE(enabled, 0)}}}},
        {"ON_RINGMOD", {}, 2106, 1.f,
         {{kCmdRingModulator, {REAL(lfoRate, ringSpeedCurve(0.5f)), ENVELOPE(4, 0.5f), WHOLE(enabled, 1)}}}},
        {"BRILLANCE", {{506, 0.3f}}, 505, 0.8f,
         {{kCmdBrilliance, {REAL(valueA, 0.5f * brillianceCurve(0.8f)), REAL(valueB, brillianceCurve(0.3f))}}}},
        {"TOUCH_INITIAL", {}, 507, 0.3f,
         {{kCmdGlide, {REAL(valueA, 1.05f), WHOLE(enabled, 0), REAL(glideTime, portamentoTimeCurve(0.5f))}}}},
        {"PORTAMENTO", {{2049, 1.f}, {507, 0.3f}}, 516, 0.6f,
         {{kCmdGlide, {REAL(valueA, 1.05f), WHOLE(enabled, 1), REAL(glideTime, portamentoTimeCurve(0.6f))}}}},
        // The switch sends the touch pitch without the knob's factor.
        {"GLISSENDO", {{507, 0.3f}}, 2049, 1.f, {{kCmdGlide, {REAL(valueA, 0.7f), WHOLE(enabled, 1)}}}},
        {"TOUCH_SPEED", {}, 508, 0.2f, {{kCmdVibratoTouch, {REAL(valueA, 0.8f)}}}},
        {"KEYB_LEVEL_LOW", {{511, 0.1f}, {512, 0.2f}, {514, 0.4f}}, 513, 0.3f,
         {{kCmdKeyScaling, {REAL(valueA, 0.1f), REAL(valueB, 0.2f), REAL(valueC, 0.3f), REAL(valueD, 0.4f)}}}},
        {"VOLUME", {}, 515, 0.7f, {{kCmdMasterVolume, {REAL(level, masterVolumeCurve(0.7f))}}}},
        {"SPEED_CHORUS", {{518, 0.6f}, {2041, 1.f}}, 517, 0.4f,
         {{kCmdChorus, {WHOLE(enabled, 1), WHOLE(lfoWave, 1), REAL(lfoRate, chorusSpeedCurve(0.4f)),
                        REAL(valueA, 0.6f)}}}},
        {"TYPE_CHORUS tremolo", {}, 2042, 0.5f,
         {{kCmdChorus, {WHOLE(enabled, 0), WHOLE(lfoWave, 0), REAL(valueA, 0.5f)}}}},
        {"DEPTH_DELAI", {{519, 0.3f}, {521, 0.25f}}, 520, 0.4f,
         {{kCmdDelay, {WHOLE(enabled, 1), REAL(level, 0.4f), REAL(valueA, 0.25f), REAL(timeMs, delayTimeCurve(0.3f)),
                       WHOLE(tempoSync, 0), REAL(tempo, 120.f), WHOLE(tempoDivision, 1)}}}},
        {"SYNC_DELAI", {{519, 0.3f}, {2043, 0.f}}, 2044, 1.f,
         {{kCmdDelay, {WHOLE(enabled, 0), WHOLE(tempoSync, 1), REAL(tempo, 120.f),
                       WHOLE(tempoDivision, (int)delayDivisionSteps(0.3f))}}}},
        {"PANORAMIQUE_VOIE3", {}, 524, 0.2f, {{kCmdPartPan, {WHOLE(part, 2), REAL(pan, 0.2f)}}}},
        {"VOLUME_VOIE8", {}, 537, 0.8f, {{kCmdPartVolume, {WHOLE(part, 7), REAL(level, partVolumeCurve(0.8f))}}}},
        {"DETUNE_VOIE2", {{2053, 0.75f}}, 539, 0.7f,
         {{kCmdLine1Pitch, {WHOLE(part, 1), REAL(amount, detuneCurve(0.7f)), WHOLE(tableIndex, transposeSteps(0.75f))}},
          {kCmdLine2Pitch, {WHOLE(part, 1), REAL(amount, detuneCurve(0.7f)), WHOLE(tableIndex, transposeSteps(0.75f))}}}},
        {"TRANSPOSE_VOIE5", {}, 2056, 0.25f,
         {{kCmdLine1Pitch, {WHOLE(part, 4), REAL(amount, detuneCurve(0.5f)), WHOLE(tableIndex, transposeSteps(0.25f))}},
          {kCmdLine2Pitch, {WHOLE(part, 4), WHOLE(tableIndex, transposeSteps(0.25f))}}}},
        {"PITCH_BEND low", {}, 546, 0.f, {{kCmdPitchBend, {REAL(bend, -1.f)}}}},
        {"PITCH_BEND", {}, 546, 0.7f, {{kCmdPitchBend, {REAL(bend, 0.4f)}}}},
        {"PITCH_BEND high", {}, 546, 1.f, {{kCmdPitchBend, {REAL(bend, 1.f)}}}},
        {"MODULATION_WHEEL_CONTROL", {}, 547, 0.3f, {{kCmdModWheel, {REAL(pedal, 0.3f)}}}},
        {"EXPRESSION_PEDAL", {}, 548, 0.6f, {{kCmdExpression, {REAL(pedal, 0.6f)}}}},
        {"AFFECTE_VOIE4", {}, 2011, 2.7f, {{kCmdPartZone, {WHOLE(part, 3), WHOLE(zone, 2)}}}},
        {"PORTAMENTO_VOIE1", {}, 2016, 1.f, {{kCmdPartPortamento, {WHOLE(part, 0), WHOLE(kind, 1)}}}},
        {"RING_MOD_VOIE6", {}, 2029, 0.6f, {{kCmdPartRingMod, {WHOLE(part, 5), WHOLE(kind, 1)}}}},
        {"EFFETS_VOIE7", {}, 2038, 0.4f, {{kCmdPartEffects, {WHOLE(part, 6), WHOLE(kind, 0)}}}},
        {"SUSTAIN_TIME", {{2045, 1.f}, {2048, 1.f}, {2051, 1.f}}, 2047, 0.5f,
         {{kCmdSustainSetup, {WHOLE(kind, 0), WHOLE(enabled, 1), WHOLE(option, 1), ENVELOPE(2, sustainTimeCurve(0.5f))}},
          {kCmdPedalSetup, {WHOLE(kind, 0), WHOLE(option, 1)}}}},
        {"PEDALE_EXPRESSION", {{2046, 0.5f}}, 2050, 1.f,
         {{kCmdSustainSetup, {WHOLE(kind, 1), WHOLE(enabled, 0), WHOLE(option, 0)}},
          {kCmdPedalSetup, {WHOLE(kind, 1), WHOLE(option, 0)}}}},
        {"ZONE1_MODE 0", {}, 2064, 0.f, {{kCmdZone, {WHOLE(zone, 0), WHOLE(zoneMode, 7)}}}},
        {"ZONE1_MODE 3", {}, 2064, 3.f, {{kCmdZone, {WHOLE(zone, 0), WHOLE(zoneMode, 3)}}}},
        {"ZONE1_MODE 0.5", {}, 2064, 0.5f, {{kCmdZone, {WHOLE(zone, 0), WHOLE(zoneMode, 6)}}}},
        {"ZONE1_MODE 6", {}, 2064, 6.f, {{kCmdZone, {WHOLE(zone, 0), WHOLE(zoneMode, 6)}}}},
        {"ZONE3_SUP", {{2071, 9.6f}, {2072, 36.f}, {2074, 5.f}, {2075, 1.f}}, 2073, 96.9f,
         {{kCmdZone, {WHOLE(zone, 2), WHOLE(zoneChannel, 9), WHOLE(zoneLowKey, 36), WHOLE(zoneHighKey, 96),
                      WHOLE(zoneMode, 5), WHOLE(kind, 1)}}}},
        {"ZONE4_ARP", {}, 2080, 1.f,
         {{kCmdZone, {WHOLE(zone, 3), WHOLE(zoneChannel, 0), WHOLE(zoneLowKey, 24), WHOLE(zoneHighKey, 108),
                      WHOLE(kind, 1)}}}},
        {"ARP_MODE 0.19", {}, 2081, 0.19f, {{kCmdArpeggiator, {WHOLE(option, 4)}}}},
        {"ARP_MODE 0.2", {}, 2081, 0.2f, {{kCmdArpeggiator, {WHOLE(option, 3)}}}},
        {"ARP_MODE top", {}, 2081, 0.8f, {{kCmdArpeggiator, {WHOLE(option, 0)}}}},
        {"ARP_OCTAVE", {{2087, 0.3f}, {2084, 1.f}, {2086, 1.f}}, 2085, 1.f,
         {{kCmdArpeggiator, {WHOLE(arpOctaves, 4), WHOLE(arpRepeats, 2), WHOLE(arpHold, 2), WHOLE(arpRun, 1),
                             WHOLE(option, 4), REAL(timeMs, delayTimeCurve(1.f)), WHOLE(tempoSync, 0),
                             REAL(tempo, 120.f), WHOLE(tempoDivision, 1)}}}},
        {"ARP_SYNC", {{2082, 0.25f}}, 2083, 1.f,
         {{kCmdArpeggiator, {WHOLE(arpOctaves, 1), WHOLE(arpRepeats, 1), WHOLE(arpHold, 0), WHOLE(arpRun, 0),
                             REAL(timeMs, delayTimeCurve(0.75f)), WHOLE(tempoSync, 1), REAL(tempo, 120.f),
                             WHOLE(tempoDivision, (int)delayDivisionSteps(0.75f))}}}},
        {"PITCH_BEND_COARSE", {{2092, 1.f}}, 2090, 0.5f,
         {{kCmdBendSetup, {WHOLE(kind, 1), WHOLE(enabled, 1), REAL(bend, 0.5f)}}}},
        {"PITCH_BEND_ACTIF off", {}, 2091, 0.f, {{kCmdBendSetup, {WHOLE(kind, 0), WHOLE(enabled, 0), REAL(bend, 1.f)}}}},
        {"NBR_POLY_CARTE", {}, 2096, 2.f, {{kCmdVoicesPerPart, {WHOLE(count, 3)}}}},
        {"VEXA_DETUNE3", {}, 2099, 0.4f, {{kCmdPartTune, {WHOLE(part, 2), REAL(amount, 0.4f)}}}},
        {"VEXA_TUNE", {}, 2105, 0.7f, {{kCmdGlobalTune, {REAL(amount, detuneCurve(0.7f))}}}},
        {"PARAM_FREQ_ECOUT", {}, 2060, 3.f, {}},
        {"POP_UP_OVER", {}, 2107, 1.f, {}},
        {"POP_UP_CLIC", {}, 2108, 1.f, {}},
    };
    for (const GlobalCase& c : cases) {
        SCOPED_TRACE(c.name);
        create();
        for (const auto& setting : c.setup) synth->setParameter(setting.first, setting.second);
        log.clear();
        synth->setParameter(c.index, c.value);
        expectCommands(log.sent, c.expected);
    }
}

// Values from a chunk or a host that are not numbers or far out of range still reach the
// engine as finite values of the documented form.
TEST_F(Application, HostileGlobalValuesReachTheEngineFinite) {
    for (int index = 496; index <= 548; index++) synth->setParameter(index, kNaN);
    for (int index = 2008; index <= 2108; index++) synth->setParameter(index, kInfinity);
    for (int index = 2008; index <= 2108; index++) synth->setParameter(index, -kInfinity);
    ASSERT_FALSE(log.sent.empty());
    for (const Sent& sent : log.sent) {
        const EngineCommand& c = sent.command;
        const float reals[] = {c.envelope[0], c.envelope[1], c.envelope[2], c.envelope[4], c.amount, c.level,
                               c.valueA,      c.valueB,      c.valueC,      c.valueD,      c.lfoRate, c.tempo,
                               c.bend,        c.pedal,       c.pan,         c.glideTime,   c.timeMs};
        for (float value : reals) ASSERT_TRUE(std::isfinite(value)) << "code " << sent.code;
        ASSERT_GE(c.part, 0) << "code " << sent.code;
        ASSERT_LE(c.part, 7) << "code " << sent.code;
    }
    // NaN is the lowest value: bend fully down, zone 1's mode 0 (random assignment).
    log.clear();
    synth->setParameter(546, kNaN);
    synth->setParameter(2064, kNaN);
    ASSERT_EQ(log.sent.size(), 2u);
    EXPECT_EQ(log.sent[0].command.bend, -1.f);
    EXPECT_EQ(log.sent[1].command.zoneMode, 7);
}

// The patch lists: parts in rising order; patch numbers from files are kept to 0-7.
TEST_F(Application, PartsThatShareAPatchAreListedLowerPartFirst) {
    synth->setParameter(2006, 5.f);
    synth->setParameter(2002, 5.f);
    log.clear();
    synth->setParameter(62 * 5 + 48, 0.5f);
    EXPECT_EQ(partsOf(kCmdOsc2Detune), (std::vector<int>{2, 5, 6}));
}

// Single mode: every part plays one patch as one voice, centred, at full part volume, in
// zone 0 over the whole keyboard; the multi mode sends the stored settings again.
TEST_F(Application, SingleModeAndBackToMultiMode) {
    synth->setParameter(2096, 2.f);
    synth->setParameter(524, 0.2f);
    synth->setParameter(2010, 3.f);
    synth->setParameter(2053, 0.75f);
    synth->setParameter(2061, 4.f);
    const std::vector<unsigned char> before = chunk();
    log.clear();
    synth->setParameter(2089, 3.f);

    ASSERT_FALSE(log.sent.empty());
    EXPECT_EQ(log.sent[0].code, kCmdVoicesPerPart);
    EXPECT_EQ(log.sent[0].command.count, 1);
    // After the first re-application, the part settings of the single mode, in this order.
    std::vector<Expected> settings;
    for (int part = 0; part < 8; part++) settings.push_back({kCmdPartPan, {WHOLE(part, part), REAL(pan, 0.5f)}});
    for (int part = 0; part < 8; part++)
        settings.push_back({kCmdPartVolume, {WHOLE(part, part), REAL(level, partVolumeCurve(1.f))}});
    for (int part = 0; part < 8; part++)
        for (int code : {kCmdLine1Pitch, kCmdLine2Pitch})
            settings.push_back({code, {WHOLE(part, part), REAL(amount, detuneCurve(0.5f)), WHOLE(tableIndex, 0)}});
    for (int part = 0; part < 8; part++) settings.push_back({kCmdPartZone, {WHOLE(part, part), WHOLE(zone, 0)}});
    settings.push_back({kCmdZone, {WHOLE(zone, 0), WHOLE(zoneChannel, 16), WHOLE(zoneLowKey, 0),
                                   WHOLE(zoneHighKey, 127), WHOLE(zoneMode, 0), WHOLE(kind, 1)}});
    for (int code : {kCmdPartPortamento, kCmdPartEffects, kCmdPartRingMod})
        for (int part = 0; part < 8; part++) settings.push_back({code, {WHOLE(part, part), WHOLE(kind, 1)}});
    size_t first = 0;
    while (first < log.sent.size() && log.sent[first].code != kCmdPartPan) first++;
    ASSERT_LE(first + settings.size(), log.sent.size());
    expectCommands(std::vector<Sent>(log.sent.begin() + first, log.sent.begin() + first + settings.size()), settings);
    // Every part now plays patch 2; the record keeps the part settings, only the mode changed.
    std::vector<unsigned char> after = chunk();
    const size_t mode = offsetof(ProgramRecord, globals.multiMode);
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + mode, before.begin()));
    EXPECT_TRUE(std::equal(after.begin() + mode + 4, after.end(), before.begin() + mode + 4));
    log.clear();
    synth->setParameter(62 * 2 + 48, 0.5f);
    EXPECT_EQ(partsOf(kCmdOsc2Detune), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    log.clear();
    synth->setParameter(62 * 0 + 48, 0.5f);
    EXPECT_TRUE(log.sent.empty());

    log.clear();
    synth->setParameter(2089, 0.f);
    ASSERT_FALSE(log.sent.empty());
    EXPECT_EQ(log.sent[0].code, kCmdVoicesPerPart);
    EXPECT_EQ(log.sent[0].command.count, 3);
    auto lastOf = [this](int code, int part) {
        const Sent* found = nullptr;
        for (const Sent& sent : log.sent)
            if (sent.code == code && sent.command.part == part) found = &sent;
        return found;
    };
    ASSERT_NE(lastOf(kCmdPartPan, 2), nullptr);
    EXPECT_FLOAT_EQ(lastOf(kCmdPartPan, 2)->command.pan, 0.2f);
    ASSERT_NE(lastOf(kCmdPartZone, 2), nullptr);
    EXPECT_EQ(lastOf(kCmdPartZone, 2)->command.zone, 3);
    ASSERT_NE(lastOf(kCmdLine2Pitch, 1), nullptr);
    EXPECT_EQ(lastOf(kCmdLine2Pitch, 1)->command.tableIndex, transposeSteps(0.75f));
    bool zoneOne = false;
    for (const Sent& sent : log.sent)
        if (sent.code == kCmdZone) {
            EXPECT_EQ(sent.command.zone, 0) << "zone 1 only";
            EXPECT_EQ(sent.command.zoneChannel, 4);
            zoneOne = true;
        }
    EXPECT_TRUE(zoneOne);
    log.clear();
    synth->setParameter(62 * 2 + 48, 0.5f);
    EXPECT_EQ(partsOf(kCmdOsc2Detune), (std::vector<int>{2}));
}

// Values that name no patch are kept to the eight patches.
TEST_F(Application, SingleModePatchNumbersAreClamped) {
    const std::pair<float, int> cases[] = {{12.f, 7}, {-4.f, 0}, {0.5f, 0}, {8.9f, 7}, {1e30f, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        synth->setParameter(2089, c.first);
        log.clear();
        synth->setParameter(62 * c.second + 48, 0.5f);
        EXPECT_EQ(partsOf(kCmdOsc2Detune).size(), 8u);
    }
    synth->setParameter(2089, kNaN);  // the lowest value: multi mode
    log.clear();
    synth->setParameter(62 * 7 + 48, 0.5f);
    EXPECT_EQ(partsOf(kCmdOsc2Detune), (std::vector<int>{7}));
}

TEST_F(Application, BrowserPositionsPickWithinTheirCounts) {
    struct Case {
        int banks, subBanks, presets;
        int index;
        float value;
        int bank, subBank, preset;
    } cases[] = {
        {5, 4, 10, 2095, 0.999f, 0, 0, 9},   // 10 clamped to 9
        {5, 4, 10, 2095, 0.34f, 0, 0, 3},    // 3.9 -> 3
        {5, 4, 10, 2095, 0.36f, 0, 0, 4},    // 4.1 -> 4
        {5, 4, 0, 2095, 0.7f, 0, 0, 0},      // an empty sub-bank: index 0
        {5, 4, 10, 2095, -3.f, 0, 0, 0},
        {5, 4, 10, 2095, kNaN, 0, 0, 0},
        {5, 4, 10, 2095, 1e30f, 0, 0, 9},
        {5, 4, 10, 2094, 0.5f, 0, 2, 0},     // sub-bank 2 of bank 0, which the tree does not hold
        {5, 4, 10, 2093, 0.99f, 4, 0, 0},
        {0, 0, 0, 2093, 0.5f, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.index) + " " + std::to_string(c.value));
        HalvornTestAccess::setCounts(*synth, c.banks, c.subBanks, c.presets);
        synth->setParameter(2093, 0.f);
        HalvornTestAccess::setCounts(*synth, c.banks, c.subBanks, c.presets);
        synth->setParameter(2094, 0.f);
        synth->setParameter(2095, 0.f);
        HalvornTestAccess::setCounts(*synth, c.banks, c.subBanks, c.presets);
        log.clear();
        synth->setParameter(c.index, c.value);
        int bank, subBank, preset;
        HalvornTestAccess::browserIndices(*synth, &bank, &subBank, &preset);
        if (c.index == 2093) {
            EXPECT_EQ(bank, c.bank);
        }
        if (c.index <= 2094) {
            EXPECT_EQ(subBank, c.subBank);
        }
        EXPECT_EQ(preset, c.preset);
        EXPECT_TRUE(log.sent.empty()) << "without a program change nothing is loaded";
        EXPECT_EQ(log.resets, 0);
    }
}

// A bank moves the sub-bank and preset counts to the tree's for that bank.
TEST_F(Application, BankSelectionReadsTheTreesCounts) {
    HalvornTestAccess::setCounts(*synth, 2, 7, 9);
    synth->setParameter(2095, 0.f);
    synth->setParameter(2094, 0.f);
    synth->setParameter(2093, 0.f);
    int banks, subBanks, presets;
    HalvornTestAccess::counts(*synth, &banks, &subBanks, &presets);
    EXPECT_EQ(banks, 2);
    EXPECT_EQ(subBanks, gPresetTree->getNbSubBanks(0));
    EXPECT_EQ(presets, gPresetTree->getNbPresets(0, 0));
}

// Only a MIDI program change loads: it raises the flag, the browser takes it.
TEST_F(Application, AProgramChangeLoadsThePresetOnce) {
    HalvornTestAccess::setProgramChangePending(*synth, 1);
    synth->setParameter(62 * 3 + 6, 0.1f);
    log.clear();
    synth->setParameter(2093, 0.f);
    EXPECT_EQ(HalvornTestAccess::programChangePending(*synth), 0);
    EXPECT_EQ(log.resets, 1) << "the engine was silenced for the load";
    ASSERT_FALSE(log.sent.empty());
    EXPECT_EQ(log.sent[0].code, kCmdNoteEvent);
    EXPECT_EQ(synth->getParameter(62 * 3 + 6), 1.f) << "the preset's values replace the record's";
    log.clear();
    synth->setParameter(2095, 0.f);
    EXPECT_EQ(log.resets, 0);

    // Through the MIDI input: a program change selects, and the selection loads.
    VstMidiEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = kVstMidiType;
    event.byteSize = sizeof(event);
    event.midiData[0] = (char)0xC0;
    event.midiData[1] = 0;
    synth->setParameter(2095, 0.5f);  // elsewhere than preset 0
    synth->setParameter(62 * 3 + 6, 0.1f);
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[1];
    } events = {1, 0, {(VstEvent*)&event}};
    log.clear();
    synth->processEvents((VstEvents*)&events);
    EXPECT_EQ(log.resets, 1);
    EXPECT_EQ(synth->getParameter(2095), 0.f);
    EXPECT_EQ(synth->getParameter(62 * 3 + 6), 1.f);
    EXPECT_EQ(HalvornTestAccess::programChangePending(*synth), 0);
}

// The tuning values live on in the MIDI control file: a change marks it for writing.
TEST_F(Application, ChangedTuningValuesMarkTheControlFile) {
    EXPECT_EQ(HalvornTestAccess::midiMapModified(*synth), 0) << "construction changes nothing";
    synth->setParameter(2099, synth->getParameter(2099));
    synth->setParameter(2105, synth->getParameter(2105));
    synth->setParameter(515, 0.9f);
    synth->setParameter(2106, 1.f);
    EXPECT_EQ(HalvornTestAccess::midiMapModified(*synth), 0) << "same values, or no tuning value";
    for (int index : {2097, 2104, 2105, 2107, 2108}) {
        SCOPED_TRACE(index);
        create();
        synth->setParameter(index, synth->getParameter(index) + 0.25f);
        EXPECT_EQ(HalvornTestAccess::midiMapModified(*synth), 1);
    }
}

}  // namespace
