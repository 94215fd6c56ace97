// The parameter index space: decoding, record slots, keys and names.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "core/parameter_table.h"

namespace {

TEST(ParameterIndex, Decode) {
    struct Case {
        int index, local, block, kind, base;
    } cases[] = {
        {0, 0, 0, kPatchParameter, 0},
        {61, 61, 0, kPatchParameter, 0},
        {62, 0, 1, kPatchParameter, 0},
        {62 * 3 + 2, 2, 3, kPatchParameter, 0},
        {495, 61, 7, kPatchParameter, 0},
        {-3, -3, 0, kPatchParameter, 0},
        {496, 0, -1, kGlobalParameter, 496},
        {548, 52, -1, kGlobalParameter, 496},
        {999, 503, -1, kGlobalParameter, 496},
        {1000, 0, 0, kPatchInternalParameter, 1000},
        {1043, 43, 0, kPatchInternalParameter, 1000},
        {1044, 0, 1, kPatchInternalParameter, 1000},
        {1000 + 44 * 3 + 21, 21, 3, kPatchInternalParameter, 1000},
        {1351, 43, 7, kPatchInternalParameter, 1000},
        {1400, 92, 7, kPatchInternalParameter, 1000},
        {1999, 691, 7, kPatchInternalParameter, 1000},
        {2000, 0, 0, kInternalGlobalParameter, 2000},
        {2005, 5, 5, kInternalGlobalParameter, 2000},
        {2007, 7, 7, kInternalGlobalParameter, 2000},
        {2008, 8, -1, kInternalGlobalParameter, 2000},
        {2010, 10, -1, kInternalGlobalParameter, 2000},
        {2108, 108, -1, kInternalGlobalParameter, 2000},
    };
    for (const Case& c : cases) {
        int local = 99, block = 99, kind = 99, base = 99;
        decodeParameterIndex(c.index, &local, &block, &kind, &base);
        EXPECT_EQ(local, c.local) << c.index;
        EXPECT_EQ(block, c.block) << c.index;
        EXPECT_EQ(kind, c.kind) << c.index;
        EXPECT_EQ(base, c.base) << c.index;
    }
}

// Byte offsets of the values in the program record (the chunk hosts keep).
TEST(ParameterIndex, SlotOffsets) {
    const int P = 568;  // patch block
    struct Case {
        int index, offset;
    } cases[] = {
        {0, 60},          {1, 64},          {2, 4},           {3, 12},          {4, 20},
        {9, 8},           {10, 96},         {14, 92},         {17, 112},        {19, 40},
        {23, 56},         {24, 156 + 60},   {47, 156 + 56},   {48, 320},        {49, 324},
        {50, 16},         {51, 172},        {52, 336},        {61, 336 + 108},  {62 * 3 + 2, P * 3 + 4},
        {434, P * 7 + 60}, {1000, 128},     {1006, 152},      {1007, 68},       {1009, 76},
        {1010, 156 + 128}, {1019, 156 + 76}, {1020, 0},        {1021, 156},      {1022, 316},
        {1023, 312},      {1024, 328},      {1025, 332},      {1043, 332 + 108}, {1000 + 44 * 3 + 21, P * 3 + 156},
        {1351, P * 7 + 440}, {496, 4924},   {499, 4936},      {500, 4944},      {518, 5016},
        {519, 5028},      {521, 5036},      {522, 4704},      {529, 4732},      {530, 4736},
        {545, 4796},      {546, 4832},      {547, 4836},      {548, 4840},      {2000, 4544},
        {2008, 4576},     {2016, 4608},     {2024, 4640},     {2039, 4700},     {2040, 4940},
        {2041, 5020},     {2042, 5024},     {2043, 5040},     {2047, 5056},     {2048, 5064},
        {2051, 5076},     {2052, 4800},     {2059, 4828},     {2061, 4844},     {2062, 4848},
        {2066, 4864},     {2076, 4904},     {2080, 4920},     {2081, 5080},     {2090, 5116},
        {2091, 5120},     {2092, 5060},     {2093, 5164},     {2095, 5172},     {2096, 5340},
        {2097, 5348},     {2104, 5376},     {2105, 5344},     {2106, 5380},     {2107, 5384},
        {2108, 5388},
        // No slot.
        {2060, -1},       {549, -1},        {999, -1},        {1352, -1},       {1999, -1},
        {2109, -1},       {-1, -1},         {INT_MIN, -1},    {INT_MAX, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(parameterSlotOffset(c.index), c.offset) << c.index;
}

// Every slot is its own, inside the value areas of the record, never in the unaddressed
// slots, the preset path or the program name.
TEST(ParameterIndex, SlotsCoverTheValueAreasWithoutOverlap) {
    std::map<int, int> owner;
    for (int index = -10; index <= 2200; index++) {
        int offset = parameterSlotOffset(index);
        if (offset < 0) continue;
        EXPECT_TRUE(owner.emplace(offset, index).second) << index << " shares " << offset << " with " << owner[offset];
        EXPECT_EQ(offset % 4, 0) << index;
        EXPECT_TRUE((offset < 5124) || (offset >= 5164 && offset < 5176) || (offset >= 5340 && offset < 5392))
            << index << " at " << offset;
        if (offset < 4544) {
            int inBlock = offset % 568;
            int inLine = inBlock % 156;
            EXPECT_LT(inBlock, 448) << index;
            bool unaddressed = inBlock < 312 && (inLine == 88 || inLine == 120 || inLine == 124);
            EXPECT_FALSE(unaddressed) << index;
        }
    }
    EXPECT_EQ(owner.size(), 496u + 53u + 352u + 108u);
}

TEST(ParameterIndex, ReadsAndWritesOnlySlots) {
    ProgramRecord record;
    std::memset(&record, 0x40, sizeof(record));
    for (int index : {2060, 549, 1352, -1, 2109, 5000}) {
        EXPECT_EQ(readParameter(record, index), 0.f) << index;
        EXPECT_FALSE(writeParameter(record, index, 1.f)) << index;
    }
    ProgramRecord untouched;
    std::memset(&untouched, 0x40, sizeof(untouched));
    EXPECT_EQ(std::memcmp(&record, &untouched, sizeof(record)), 0) << "no byte changed";
    EXPECT_TRUE(writeParameter(record, 62 * 3 + 2, 0.25f));
    EXPECT_EQ(record.patches[3].lines[0].width, 0.25f);
    EXPECT_TRUE(writeParameter(record, 2093, 0.5f));
    EXPECT_EQ(record.globals.browserBank, 0.5f);
    EXPECT_EQ(readParameter(record, 2093), 0.5f);
}

TEST(ParameterIndex, FindReportsThePatch) {
    int patch = 99;
    ASSERT_NE(findParameter(62 * 5 + 3, &patch), nullptr);
    EXPECT_EQ(patch, 5);
    ASSERT_NE(findParameter(1000 + 44 * 6, &patch), nullptr);
    EXPECT_EQ(patch, 6);
    ASSERT_NE(findParameter(2003, &patch), nullptr);
    EXPECT_EQ(patch, -1);
    EXPECT_EQ(findParameter(1352, &patch), nullptr);
    EXPECT_EQ(patch, -1);
    EXPECT_EQ(parameterAt(kPatchParameter, 62), nullptr);
    EXPECT_EQ(parameterAt(kInternalGlobalParameter, -1), nullptr);
    EXPECT_EQ(parameterAt(7, 0), nullptr);
}

TEST(ParameterKeys, EveryKeyIsItsOwnAndTheUsesAreMarked) {
    std::set<std::string> keys;
    for (int kind = 0; kind < 4; kind++) {
        for (int local = 0;; local++) {
            const ParameterDescriptor* d = parameterAt(kind, local);
            if (!d) break;
            if (!d->key) {
                EXPECT_EQ(d->keyUse, KeyUse::none);
                continue;
            }
            EXPECT_TRUE(keys.insert(d->key).second) << d->key;
            for (const char* c = d->key; *c; c++)
                EXPECT_TRUE((*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '_') << d->key;
        }
    }
    EXPECT_EQ(keys.size(), 62u + 44u + 51u + 109u);
    struct Case {
        int index;
        const char* key;
        KeyUse use;
    } cases[] = {
        {0, "LFO1_SPEED", KeyUse::preset},
        {62 + 54, "MODULATION03_AMOUNT", KeyUse::preset},
        {1000 + 44 * 2 + 28, "MODULATION03_OUTPUT", KeyUse::preset},
        {1029, "MODULATION03_INPUT", KeyUse::preset},
        {1043, "MODULATION10_INPUT", KeyUse::preset},
        {513, "KEYB_LEVEL_LOW", KeyUse::preset},
        {547, "MODULATION_WHEEL_CONTROL", KeyUse::preset},
        {546, nullptr, KeyUse::none},
        {548, nullptr, KeyUse::none},
        {2003, "NUM_PATCH_VOIE4", KeyUse::preset},
        {2060, "PARAM_FREQ_ECOUT", KeyUse::preset},
        {2080, "ZONE4_ARP", KeyUse::preset},
        {2093, "FICHIER_MENU", KeyUse::lookupOnly},
        {2095, "INSTRUMENT_MENU", KeyUse::lookupOnly},
        {2096, "NBR_POLY_CARTE", KeyUse::preset},
        {2097, "VEXA_DETUNE1", KeyUse::tuning},
        {2105, "VEXA_TUNE", KeyUse::tuning},
        {2106, "ON_RINGMOD", KeyUse::preset},
        {2108, "POP_UP_CLIC", KeyUse::tuning},
    };
    for (const Case& c : cases) {
        const ParameterDescriptor* d = findParameter(c.index);
        ASSERT_NE(d, nullptr) << c.index;
        EXPECT_STREQ(d->key ? d->key : "(none)", c.key ? c.key : "(none)") << c.index;
        EXPECT_EQ(d->keyUse, c.use) << c.index;
    }
}

std::string shortName(int index) {
    char text[8];
    std::memset(text, 'X', sizeof(text));
    parameterShortName(index, text, sizeof(text));
    return std::string(text, strnlen(text, sizeof(text)));
}

TEST(ParameterNames, HostShortNames) {
    struct Case {
        int index;
        const char* name;
    } cases[] = {
        {0, "s1lf1Sp"},     {10, "s1ev1In"},    {15, "s1ev2At"},    {19, "s1Lev1"},     {34, "s1ev3In"},
        {41, "s1ev4Su"},    {47, "s1AfLe2"},    {48, "s1Detun"},    {49, "s1Mix"},      {51, "s1o2Acc"},
        {52, "s1M01Am"},    {61, "s1M10Am"},    {62 * 2 + 2, "s3o1Wid"}, {62 * 4 + 30, "s5FrLo2"},
        {495, "s8M10Am"},   {496, "subfrq"},    {497, "subAvco"},   {506, "resonn"},    {513, "kblvlo"},
        {514, "kblvhi"},    {521, "drydel"},    {522, "panv1"},     {529, "panv8"},     {533, "volv4"},
        {545, "Tunv8"},     {546, "Bend"},      {547, "Mod"},       {548, "exp"},       {549, "def"},
        {999, "def"},       {1000, "def"},      {2000, "def"},      {100000, "def"},    {-1, "def"},
    };
    for (const Case& c : cases) EXPECT_EQ(shortName(c.index), c.name) << c.index;
    for (int index = 0; index < kNumHostParameters; index++) {
        std::string name = shortName(index);
        EXPECT_LE(name.size(), 7u) << index;
        EXPECT_NE(name, "def") << index;
    }
}

std::string longName(const ProgramRecord& record, int index) {
    char text[64];
    std::memset(text, 'X', sizeof(text));
    parameterLongName(record, index, text, sizeof(text));
    return text;
}

TEST(ParameterNames, LongNames) {
    ProgramRecord record = {};
    struct Case {
        int index;
        const char* name;
    } cases[] = {
        {0, "Lfo1 Speed"},
        {62 * 3 + 24, "Lfo2 Speed"},
        {4, "HighPass1 CutOff"},
        {34, "VCF2 Initial Level"},
        {62 * 5 + 20, "Initial Brilliance1"},
        {47, "After Level2"},
        {48, "Detune Osc1 Osc2"},
        {52, "Amount Mod0"},
        {61, "Amount Mod9"},
        {512, "Keyboard High Brilliance"},
        {517, "Chorus Speed"},
        {518, "Chorus Depth"},
        {524, "Voice3 Panorama"},
        {537, "Voice8 Level"},
        {546, ""},
        {547, "Modulation Wheel"},
        {548, ""},
        {1000, "Osc1 Saw Tri"},
        {1009, ""},
        {1017, "Lfo2 Wave"},
        {1018 + 44 * 7, "Lfo2 Mode"},
        {1021, "Range Osc2"},
        {1030, ""},
        {2000, ""},
        {2040, "Sub Wave"},
        {2042, "Chorus/Tremolo"},
        {2046, "Pedal Port. On"},
        {2054, "Voice3 Transpose"},
        {2060, ""},
        {2085, "Arpegiator Octave "},
        {2090, "PitchBend Coarse "},
        {2099, "Voice3 Tune"},
        {2105, "Halvorn General Tune"},
        {2108, ""},
        {-1, ""},
        {549, ""},
        {5000, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(longName(record, c.index), c.name) << c.index;
    for (int index = 0; index <= 2108; index++) EXPECT_LE(longName(record, index).size(), 24u) << index;
}

TEST(ParameterNames, ChorusNamesFollowTheChorusType) {
    ProgramRecord record = {};
    writeParameter(record, kTypeChorusIndex, 0.4999f);
    EXPECT_EQ(longName(record, 517), "Chorus Speed");
    writeParameter(record, kTypeChorusIndex, 0.5f);
    EXPECT_EQ(longName(record, 517), "Tremolo Speed");
    EXPECT_EQ(longName(record, 518), "Tremolo Depth");
    EXPECT_EQ(longName(record, 516), "Portamento Time");
}

}  // namespace
