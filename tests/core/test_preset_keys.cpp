// The key words of the preset files: lookups, stores and the keys by group, with the keys
// that hostile files and foreign programs may carry.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "core/parameter_table.h"
#include "core/preset_keys.h"

namespace {

TEST(PresetKeys, Lookup) {
    struct Case {
        const char* key;
        int patch;
        int index;  // -1: not found
    } cases[] = {
        {"LFO1_SPEED", 1, 62},
        {"OSC1_SAW_TRI", 1, 1044},
        {"MODULATION03_AMOUNT", 0, 54},
        {"MODULATION03_OUTPUT", 2, 1116},
        {"MODULATION10_INPUT", 7, 1351},
        {"MODULATION01_OUTPUT", 0, 1024},
        {"DETUNE", 3, 62 * 3 + 48},
        {"OSC2_ACCORD", 5, 62 * 5 + 51},
        {"OSC1_SYNCHRO", 4, 1000 + 44 * 4 + 23},
        {"NUM_PATCH_VOIE4", -1, 2003},
        {"NUM_PATCH_VOIE8", 6, 2007},
        {"VIB_WAVE", -1, 2040},
        {"VIB_RATE", 5, 496},
        {"DETUNE_VOIE8", 0, 545},
        {"PARAM_FREQ_ECOUT", -1, 2060},
        {"ZONE4_ARP", -1, 2080},
        {"NBR_POLY_CARTE", -1, 2096},
        {"ON_RINGMOD", -1, 2106},
        // The browser positions are known here, though presets never carry them.
        {"FICHIER_MENU", -1, 2093},
        {"INSTRUMENT_MENU", -1, 2095},
        // A patch number outside 0-7 is clamped before it numbers anything.
        {"LFO1_SPEED", 9, 62 * 7},
        {"LFO1_SPEED", -1, 0},
        {"OSC1_SAW_TRI", 100, 1000 + 44 * 7},
        // Read by the modulation rule, so not found.
        {"MODULATION_WHEEL_CONTROL", -1, -1},
        // Only the MIDI control file's tuning lines use these.
        {"VEXA_TUNE", -1, -1},
        {"VEXA_DETUNE1", -1, -1},
        {"POP_UP_CLIC", -1, -1},
        // Case, blanks and length count.
        {"lfo1_speed", 0, -1},
        {"LFO1_SPEED ", 0, -1},
        {" LFO1_SPEED", 0, -1},
        {"LFO1_SPEE", 0, -1},
        {"", 0, -1},
        // Row keys are taken whole: a row outside 01-10, another kind or another length
        // names nothing (and never a slot beyond the patch).
        {"MODULATION00_AMOUNT", 0, -1},
        {"MODULATION11_AMOUNT", 0, -1},
        {"MODULATION99_INPUT", 7, -1},
        {"MODULATION-1_OUTPUT", 0, -1},
        {"MODULATION3_AMOUNT", 0, -1},
        {"MODULATION003_AMOUNT", 0, -1},
        {"MODULATION03AMOUNT", 0, -1},
        {"MODULATION03-AMOUNT", 0, -1},
        {"MODULATION03_AMOUNTS", 0, -1},
        {"MODULATION03_AMOUN", 0, -1},
        {"MODULATION03_LEVEL", 0, -1},
        {"MODULATION03_", 0, -1},
        {"MODULATION0", 0, -1},
        {"MODULATION", 0, -1},
        {"MODULATIONAB_INPUT", 0, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(presetKeyIndex(c.key, c.patch), c.index) << c.key << " patch " << c.patch;
    EXPECT_EQ(presetKeyIndex(nullptr, 0), -1);
    EXPECT_EQ(presetKeyIndex(std::string(5000, 'A').c_str(), 0), -1);
}

// Every keyed parameter of the table, in every patch, against a plain pass over the lists in
// their order: the first parameter of that side (patch or global) whose key matches and
// whose use is asked for.
TEST(PresetKeys, EveryKeyOfTheTableAgreesWithAPassOverTheLists) {
    struct Group {
        int kind, count;
        bool perPatch;
    };
    const Group groups[] = {{kPatchParameter, kPatchParameterCount, true},
                            {kPatchInternalParameter, kPatchInternalCount, true},
                            {kGlobalParameter, kGlobalParameterCount, false},
                            {kInternalGlobalParameter, kInternalGlobalCount, false}};
    auto indexOf = [](int kind, int local, int patch) {
        switch (kind) {
            case kPatchParameter: return kPatchParameterCount * patch + local;
            case kPatchInternalParameter: return kPatchInternalBase + kPatchInternalCount * patch + local;
            case kGlobalParameter: return kGlobalParameterBase + local;
            default: return kInternalGlobalBase + local;
        }
    };
    auto pass = [&](const char* key, int patch, bool patchSide, bool globalSide, bool lookupOnlyToo) {
        for (const Group& group : groups) {
            if (group.perPatch ? !patchSide : !globalSide) continue;
            for (int local = 0; local < group.count; local++) {
                const ParameterDescriptor* d = parameterAt(group.kind, local);
                if (!d->key || std::strcmp(d->key, key) != 0) continue;
                if (d->keyUse == KeyUse::preset || (lookupOnlyToo && d->keyUse == KeyUse::lookupOnly))
                    return indexOf(group.kind, local, patch);
            }
        }
        return -1;
    };
    int keyed = 0;
    for (const Group& group : groups)
        for (int local = 0; local < group.count; local++) {
            const char* key = parameterAt(group.kind, local)->key;
            if (!key) continue;
            keyed++;
            const bool row = std::strncmp(key, "MODULATION", 10) == 0 && std::strlen(key) >= 11;
            for (int patch = 0; patch < 8; patch++) {
                EXPECT_EQ(presetKeyIndex(key, patch), row ? pass(key, patch, true, false, false)
                                                          : pass(key, patch, true, true, true))
                    << key << " patch " << patch;
                EXPECT_EQ(presetKeyStoreIndex(key, patch), pass(key, patch, true, false, false)) << key;
            }
            EXPECT_EQ(presetKeyStoreIndex(key, -1), pass(key, 0, false, true, false)) << key;
            // A key one character short or long names nothing of its own.
            const std::string shorter(key, std::strlen(key) - 1), longer = std::string(key) + "X";
            EXPECT_EQ(presetKeyIndex(shorter.c_str(), 0), pass(shorter.c_str(), 0, true, true, true)) << shorter;
            EXPECT_EQ(presetKeyIndex(longer.c_str(), 0), pass(longer.c_str(), 0, true, true, true)) << longer;
        }
    EXPECT_GT(keyed, 200);
}

TEST(PresetKeys, StoreTargets) {
    struct Case {
        const char* key;
        int patch;
        int index;  // -1: stores nothing
    } cases[] = {
        {"NUM_PATCH_VOIE3", -1, 2002},
        {"MODULATION_WHEEL_CONTROL", -1, 547},
        {"PARAM_FREQ_ECOUT", -1, 2060},
        {"VIB_RATE", -1, 496},
        {"ZONE2_SUP", -1, 2068},
        {"MODULATION05_INPUT", 3, 1000 + 44 * 3 + 33},
        {"MODULATION10_AMOUNT", 1, 62 + 61},
        {"RANGE2", 6, 1000 + 44 * 6 + 21},
        {"LFO1_SPEED", 12, 62 * 7},
        // A key of the other group.
        {"LFO1_SPEED", -1, -1},
        {"MODULATION03_AMOUNT", -1, -1},
        {"VIB_RATE", 0, -1},
        {"NUM_PATCH_VOIE3", 0, -1},
        {"MODULATION_WHEEL_CONTROL", 0, -1},
        // Never from a preset: the browser positions and the tuning.
        {"FICHIER_MENU", -1, -1},
        {"BANQUE_MENU", -1, -1},
        {"VEXA_TUNE", -1, -1},
        {"POP_UP_OVER", -1, -1},
        {"MODULATION11_OUTPUT", 2, -1},
        {"UNKNOWN", -1, -1},
        {"UNKNOWN", 0, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(presetKeyStoreIndex(c.key, c.patch), c.index) << c.key << " patch " << c.patch;
    EXPECT_EQ(presetKeyStoreIndex(nullptr, -1), -1);
    EXPECT_EQ(presetKeyStoreIndex(nullptr, 0), -1);
}

TEST(PresetKeys, KeysByGroup) {
    struct Case {
        int local, patch;
        bool hostBlock;
        const char* key;  // null: none
        int index;
    } cases[] = {
        {0, 0, true, "LFO1_SPEED", 0},
        {61, 2, true, "MODULATION10_AMOUNT", 62 * 2 + 61},
        {24, 7, false, "MODULATION01_OUTPUT", 1000 + 44 * 7 + 24},
        {22, 1, false, "OSC2_DERIVE", 1044 + 22},
        {50, -1, true, nullptr, 546},  // pitch bend
        {51, -1, true, "MODULATION_WHEEL_CONTROL", 547},
        {52, -1, true, nullptr, 548},  // expression
        {3, -1, false, "NUM_PATCH_VOIE4", 2003},
        {60, -1, false, "PARAM_FREQ_ECOUT", 2060},
        {93, -1, false, nullptr, 2093},  // the bank browser
        {95, -1, false, nullptr, 2095},
        {96, -1, false, "NBR_POLY_CARTE", 2096},
        {97, -1, false, nullptr, 2097},  // tuning
        {105, -1, false, nullptr, 2105},
        {106, -1, false, "ON_RINGMOD", 2106},
        {108, -1, false, nullptr, 2108},
        {0, 9, true, "LFO1_SPEED", 62 * 7},
        // Locals outside their group.
        {62, 0, true, nullptr, -1},
        {44, 0, false, nullptr, -1},
        {53, -1, true, nullptr, -1},
        {109, -1, false, nullptr, -1},
        {-1, -1, false, nullptr, -1},
    };
    for (const Case& c : cases) {
        int index = 12345;
        const char* key = presetKeyOfLocal(c.local, c.patch, c.hostBlock, &index);
        if (c.key)
            EXPECT_STREQ(key, c.key) << c.local;
        else
            EXPECT_EQ(key, nullptr) << c.local << " " << key;
        EXPECT_EQ(index, c.index) << c.local;
    }
}

// Every key that a preset file is written with is found again as the same parameter, and
// every patch key stores into its own slot.
TEST(PresetKeys, SavedKeysReadBackAsTheSameParameter) {
    int keys = 0;
    for (int patch = -1; patch < 8; patch++)
        for (bool hostBlock : {true, false}) {
            const int count = patch >= 0 ? (hostBlock ? 62 : 44) : (hostBlock ? 53 : 109);
            for (int local = 0; local < count; local++) {
                int index = -1;
                const char* key = presetKeyOfLocal(local, patch, hostBlock, &index);
                if (!key) continue;
                keys++;
                ASSERT_LT((int)std::string(key).size(), kPresetKeySize) << key;
                if (index != 547) {
                    EXPECT_EQ(presetKeyIndex(key, patch), index) << key;
                }
                EXPECT_EQ(presetKeyStoreIndex(key, patch), index) << key;
                EXPECT_EQ(partOfPatchKey(index) >= 0, std::string(key).rfind("NUM_PATCH_VOIE", 0) == 0) << key;
            }
        }
    // 62 + 44 per patch; the globals without pitch bend, expression, browser, tuning, pop-ups.
    EXPECT_EQ(keys, 8 * (62 + 44) + 51 + 95);
}

TEST(ParameterValues, HostileValuesAreBoundedAndNaNIsTheLowest) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(saneParameterValue(nan), 0.f);
    EXPECT_EQ(saneParameterValue(-nan), 0.f);
    EXPECT_EQ(saneParameterValue(inf), 1e6f);
    EXPECT_EQ(saneParameterValue(-inf), -1e6f);
    EXPECT_EQ(saneParameterValue(3e38f), 1e6f);
    for (float v : {0.f, 0.3f, 1.f, -0.25f, 127.f, 999999.f}) EXPECT_EQ(saneParameterValue(v), v);
    EXPECT_EQ(wholeNumber(5.9f), 5);
    EXPECT_EQ(wholeNumber(-2.7f), -2);
    EXPECT_EQ(wholeNumber(nan), 0);
    EXPECT_EQ(wholeNumber(3e38f), 1000000);
    EXPECT_EQ(wholeNumber(-inf), -1000000);
    EXPECT_EQ(clampPatchNumber(-4), 0);
    EXPECT_EQ(clampPatchNumber(8), 7);
    EXPECT_EQ(clampPatchNumber(5), 5);
}

}  // namespace
