// Parameters, programs and the chunk through the built plug-in library, as a host sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "host/test_host.h"

namespace {

const int kOutputs = TEST_OUTPUTS;
const int kChunkSize = 5392;

class Parameters : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.load(TestHost::pluginPath(kOutputs)));
        fx = host.create();
        ASSERT_NE(fx, nullptr);
    }

    // The live record the host receives.
    const unsigned char* chunk() {
        void* data = nullptr;
        EXPECT_EQ(host.dispatch(effGetChunk, 0, 0, &data), kChunkSize);
        return (const unsigned char*)data;
    }
    std::vector<unsigned char> chunkCopy() {
        const unsigned char* data = chunk();
        return std::vector<unsigned char>(data, data + kChunkSize);
    }
    float floatAt(int offset) {
        float value;
        std::memcpy(&value, chunk() + offset, sizeof(value));
        return value;
    }
    VstIntPtr setChunk(void* data, VstIntPtr size, bool preset = false) {
        return host.dispatch(effSetChunk, preset ? 1 : 0, size, data);
    }

    TestInstall install;
    TestHost host;
    AEffect* fx = nullptr;
};

TEST_F(Parameters, ShortNamesAndLabels) {
    struct Case {
        int index;
        const char* name;
    } cases[] = {
        {0, "s1lf1Sp"},   {34, "s1ev3In"},  {52, "s1M01Am"},  {62 * 2 + 2, "s3o1Wid"}, {62 * 6 + 49, "s7Mix"},
        {495, "s8M10Am"}, {496, "subfrq"},  {505, "brill"},   {513, "kblvlo"},  {514, "kblvhi"},
        {517, "specho"},  {522, "panv1"},   {536, "volv7"},   {545, "Tunv8"},   {546, "Bend"},
        {547, "Mod"},     {548, "exp"},     {549, "def"},     {1000, "def"},    {2105, "def"},
        {INT_MAX, "def"},
    };
    for (const Case& c : cases) {
        char text[64];
        std::memset(text, 'Z', sizeof(text));
        host.dispatch(effGetParamName, c.index, 0, text);
        EXPECT_STREQ(text, c.name) << c.index;
        for (size_t i = 8; i < sizeof(text); i++) ASSERT_EQ(text[i], 'Z') << "at most 8 bytes, index " << c.index;
        std::memset(text, 'Z', sizeof(text));
        host.dispatch(effGetParamLabel, c.index, 0, text);
        EXPECT_STREQ(text, " ") << c.index;
    }
    // The host's display text is not provided.
    EXPECT_EQ(host.text(effGetParamDisplay, 3), "");
}

TEST_F(Parameters, ChunkIsTheLiveRecordForBothKinds) {
    void* bank = nullptr;
    void* preset = nullptr;
    EXPECT_EQ(host.dispatch(effGetChunk, 0, 0, &bank), kChunkSize);
    EXPECT_EQ(host.dispatch(effGetChunk, 1, 0, &preset), kChunkSize);
    ASSERT_NE(bank, nullptr);
    EXPECT_EQ(bank, preset);
    EXPECT_EQ(host.dispatch(effGetChunk, 0, 0, nullptr), 0) << "no place for the pointer";
    fx->setParameter(fx, 4, 0.625f);
    EXPECT_EQ(floatAt(20), 0.625f) << "a later parameter change shows in the pointer given before";
}

// Each parameter lands at its documented byte offset of the chunk and reads back.
TEST_F(Parameters, SetParameterLandsAtTheChunkOffsets) {
    const int P = 568;
    struct Case {
        int index, offset;
    } cases[] = {
        {0, 60},
        {62 * 3 + 2, P * 3 + 4},
        {62 * 7 + 61, P * 7 + 444},
        {51, 172},
        {48, 320},
        {496, 4924},
        {519, 5028},
        {529, 4732},
        {548, 4840},
        {1000 + 44 * 3 + 21, P * 3 + 156},
        {1000 + 44 * 5 + 22, P * 5 + 316},
        {1351, P * 7 + 440},
        {2000, 4544},
        {2042, 5024},
        {2061, 4844},
        {2092, 5060},
        {2093, 5164},
        {2096, 5340},
        {2105, 5344},
        {2108, 5388},
    };
    float value = 0.125f;
    for (const Case& c : cases) {
        value += 0.03125f;
        fx->setParameter(fx, c.index, value);
        EXPECT_EQ(floatAt(c.offset), value) << c.index;
        EXPECT_EQ(fx->getParameter(fx, c.index), value) << c.index;
    }
}

TEST_F(Parameters, IndicesWithoutASlotReadZeroAndWriteNothing) {
    std::vector<unsigned char> before = chunkCopy();
    for (int index : {2060, 549, 999, 1352, 1999, 2109, INT_MAX, -1, INT_MIN}) {
        fx->setParameter(fx, index, 0.75f);
        EXPECT_EQ(fx->getParameter(fx, index), 0.f) << index;
    }
    EXPECT_TRUE(chunkCopy() == before);
}

TEST_F(Parameters, ShortChunkReplacesOnlyItsBytes) {
    std::vector<unsigned char> before = chunkCopy();
    std::vector<unsigned char> part(100);
    for (size_t i = 0; i < part.size(); i++) part[i] = (unsigned char)(0x3C + (i % 3));  // floats near 0.01
    EXPECT_EQ(setChunk(part.data(), 100), 0);
    std::vector<unsigned char> after = chunkCopy();
    EXPECT_TRUE(std::equal(part.begin(), part.end(), after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 100, before.end(), after.begin() + 100)) << "bytes 100 on kept";
}

TEST_F(Parameters, LongChunkIsCutToTheRecord) {
    std::vector<unsigned char> big(6000, 0x3F);
    EXPECT_EQ(setChunk(big.data(), (VstIntPtr)big.size(), true), 0);
    std::vector<unsigned char> after = chunkCopy();
    for (int i = 0; i < kChunkSize; i++) ASSERT_EQ(after[i], 0x3F) << i;
}

TEST_F(Parameters, HostileChunksChangeNothing) {
    fx->setParameter(fx, 4, 0.5f);
    std::vector<unsigned char> before = chunkCopy();
    std::vector<unsigned char> data(kChunkSize, 0x41);
    EXPECT_EQ(setChunk(nullptr, kChunkSize), 0);
    EXPECT_EQ(setChunk(data.data(), 0), 0);
    EXPECT_EQ(setChunk(data.data(), -1), 0);
    EXPECT_EQ(setChunk(data.data(), INT_MIN), 0);
    EXPECT_TRUE(chunkCopy() == before);
    // A size far beyond the record takes the record's bytes only.
    EXPECT_EQ(setChunk(data.data(), INT_MAX), 0);
    EXPECT_TRUE(chunkCopy() == data);
    // The host handing back the live pointer itself.
    void* live = nullptr;
    host.dispatch(effGetChunk, 0, 0, &live);
    EXPECT_EQ(setChunk(live, kChunkSize), 0);
    EXPECT_TRUE(chunkCopy() == data);
}

TEST_F(Parameters, ChunkRoundTripRestoresValuesAndName) {
    fx->setParameter(fx, 62 * 2 + 6, 0.3f);
    fx->setParameter(fx, 2081, 0.7f);
    fx->setParameter(fx, 2105, 0.55f);
    char name[] = "Round Trip";
    host.dispatch(effSetProgramName, 0, 0, name);
    std::vector<unsigned char> saved = chunkCopy();

    fx->setParameter(fx, 62 * 2 + 6, 0.9f);
    fx->setParameter(fx, 2081, 0.1f);
    fx->setParameter(fx, 2105, 0.f);
    char other[] = "Other";
    host.dispatch(effSetProgramName, 0, 0, other);

    EXPECT_EQ(setChunk(saved.data(), (VstIntPtr)saved.size()), 0);
    EXPECT_EQ(fx->getParameter(fx, 62 * 2 + 6), 0.3f);
    EXPECT_EQ(fx->getParameter(fx, 2081), 0.7f);
    EXPECT_EQ(fx->getParameter(fx, 2105), 0.55f);
    EXPECT_EQ(host.text(effGetProgramName), "Round Trip");
    EXPECT_TRUE(chunkCopy() == saved);
}

// A new instance holds the default program: its start presets are loaded on the defaults.
TEST_F(Parameters, ConstructionLeavesTheDefaultProgram) {
    const int P = 568, L2 = 156;
    struct Case {
        int offset;
        float value;
    } cases[] = {
        // Line 1 of patch 0 and patch 7: RANGE1, OSC1_ACCORD, LFO1_SPEED, CUTOFF_LOW1, LEVEL_VCF1,
        // VOLUME_VCA1, SUSTAIN_LEVEL_VCA1, OSC1_SAW_TRI, ON_LOW1, the float at 124, OSC1_WIDTH.
        {0, 0.8f}, {16, 0.5f}, {60, 0.5f}, {28, 1.f}, {36, 1.f}, {40, 1.f}, {112, 1.f}, {128, 1.f}, {148, 1.f},
        {124, 1.f}, {4, 0.f}, {88, 0.f}, {P * 7 + 0, 0.8f}, {P * 7 + 128, 1.f},
        // Line 2: OSC2_SINUS, OSC2_SAW_TRI, OSC2_SQR, RANGE2, CUTOFF_LOW2.
        {L2 + 8, 0.5f}, {L2 + 128, 0.f}, {L2 + 132, 1.f}, {P * 5 + L2 + 0, 0.8f}, {P * 5 + L2 + 28, 1.f},
        // OSC1_SYNCHRO, OSC2_DERIVE, DETUNE, MIXE, the first and the last triple.
        {312, 0.f}, {316, 0.f}, {320, 0.5f}, {324, 0.5f}, {328, 38.f}, {332, 12.f}, {336, 0.5f},
        {P * 3 + 556, 38.f}, {P * 3 + 560, 12.f}, {P * 3 + 564, 0.5f},
        // NUM_PATCH_VOIE1, 3 and 8; AFFECTE_VOIE1; EFFETS_VOIE8; pan, volume, detune, transpose.
        {4544, 0.f}, {4552, 2.f}, {4572, 7.f}, {4576, 0.f}, {4700, 0.f}, {4704, 0.5f}, {4764, 0.5f},
        {4768, 0.5f}, {4828, 0.5f},
        // Pitch bend, wheel, expression; zone 1 input, low, high, mode, arpeggiator; ZONE2_SUP.
        {4832, 0.5f}, {4836, 0.f}, {4840, 0.f}, {4844, 0.5f}, {4848, 24.f}, {4852, 108.f}, {4856, 0.5f},
        {4860, 0.f}, {4872, 108.f},
        // VIB_RATE, VIB_WAVE, RING_ATTACK, VOLUME, DEPTH_CHORUS, ON_CHORUS, TYPE_CHORUS, SPEED_DELAI,
        // DRY_WET_DELAI, ON_DELAI, SYNC_DELAI.
        {4924, 0.5f}, {4940, 0.5f}, {4944, 0.5f}, {5004, 0.5f}, {5016, 0.5f}, {5020, 0.f}, {5024, 0.f},
        {5028, 0.5f}, {5036, 0.f}, {5040, 1.f}, {5044, 0.f},
        // ARP_MODE, TRAPPE_MULTI, PITCH_BEND_COARSE, PITCH_BEND_ACTIF, MODUL_TO_VIB, unused slots,
        // NBR_POLY_CARTE, ON_RINGMOD.
        {5080, 0.f}, {5112, 0.f}, {5116, 1.f}, {5120, 1.f}, {5060, 0.f}, {5124, 0.f}, {5176, 0.f},
        {5340, 0.f}, {5380, 0.f},
    };
    for (const Case& c : cases) EXPECT_EQ(floatAt(c.offset), c.value) << "byte " << c.offset;
    EXPECT_EQ(std::string((const char*)chunk() + 5290), "defaut");
    EXPECT_EQ(host.text(effGetProgramName), "defaut");
    // Host parameters read the same values.
    EXPECT_EQ(fx->getParameter(fx, 62 * 4 + 6), 1.f);
    EXPECT_EQ(fx->getParameter(fx, 546), 0.5f);
    EXPECT_EQ(fx->getParameter(fx, 547), 0.f);
}

TEST_F(Parameters, ProgramNames) {
    char name[] = "Warm Pad";
    host.dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(host.text(effGetProgramName), "Warm Pad");
    EXPECT_EQ(std::string((const char*)chunk() + 5290), "Warm Pad");
    char indexed[64] = {0};
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 0, 0, indexed), 1);
    EXPECT_STREQ(indexed, "Warm Pad");
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 1, 0, indexed), 0);
    EXPECT_EQ(host.dispatch(effCopyProgram, 0), 1);
    EXPECT_EQ(host.dispatch(effCopyProgram, 1), 0);

    // A long name is kept to the field's 49 characters, and hosts get at most 23 of them.
    std::string longName(200, 'L');
    host.dispatch(effSetProgramName, 0, 0, &longName[0]);
    EXPECT_EQ(std::string((const char*)chunk() + 5290), std::string(49, 'L'));
    char out[24 + 16];
    std::memset(out, 'G', sizeof(out));
    host.dispatch(effGetProgramName, 0, 0, out);
    EXPECT_EQ(std::string(out), std::string(23, 'L'));
    for (size_t i = 24; i < sizeof(out); i++) ASSERT_EQ(out[i], 'G');
    std::memset(out, 'G', sizeof(out));
    host.dispatch(effGetProgramNameIndexed, 0, 0, out);
    for (size_t i = 24; i < sizeof(out); i++) ASSERT_EQ(out[i], 'G');

    // A chunk whose name and path carry no terminator.
    std::vector<unsigned char> data = chunkCopy();
    std::memset(&data[5192], 'p', 98 + 50);
    EXPECT_EQ(setChunk(data.data(), kChunkSize), 0);
    std::memset(out, 'G', sizeof(out));
    host.dispatch(effGetProgramName, 0, 0, out);
    EXPECT_EQ(std::string(out), std::string(23, 'p'));
}

}  // namespace
