// The instrument object's programs: re-application order, preset names from the chunk,
// the patch clipboard, and the editor's texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "host/test_host.h"

namespace {

// Records every setParameter that reaches the object through its virtual operation from
// outside; the re-applications that a parameter makes itself (a part's patch re-sends every
// patch parameter) are not listed.
class RecordingHalvorn : public Halvorn {
public:
    RecordingHalvorn() : Halvorn(nullptr) {}
    void setParameter(VstInt32 index, float value) override {
        if (depth == 0) calls.push_back({index, value});
        depth++;
        Halvorn::setParameter(index, value);
        depth--;
    }
    std::vector<std::pair<int, float>> calls;
    int depth = 0;
};

std::vector<int> indicesOf(const std::vector<std::pair<int, float>>& calls) {
    std::vector<int> indices;
    for (const auto& call : calls) indices.push_back(call.first);
    return indices;
}

std::vector<int> rangeList(std::initializer_list<std::pair<int, int>> ranges) {
    std::vector<int> indices;
    for (const auto& range : ranges)
        for (int index = range.first; index <= range.second; index++) indices.push_back(index);
    return indices;
}

class Programs : public ::testing::Test {
protected:
    void SetUp() override {
        synth.reset(new RecordingHalvorn());
        ASSERT_FALSE(synth->creationFailed());
    }
    std::vector<unsigned char> chunk() {
        void* data = nullptr;
        EXPECT_EQ(synth->getChunk(&data, false), 5392);
        return std::vector<unsigned char>((unsigned char*)data, (unsigned char*)data + 5392);
    }

    TestInstall install;
    std::unique_ptr<RecordingHalvorn> synth;
};

TEST_F(Programs, SetChunkReappliesEveryParameterInOrder) {
    synth->setParameter(62 * 4 + 7, 0.3f);
    synth->setParameter(2050, 1.f);
    std::vector<unsigned char> data = chunk();
    synth->calls.clear();
    EXPECT_EQ(synth->setChunk(data.data(), (VstInt32)data.size(), false), 0);
    EXPECT_EQ(indicesOf(synth->calls), rangeList({{0, 495}, {496, 548}, {1000, 1351}, {2000, 2108}}));
    std::map<int, float> sent(synth->calls.begin(), synth->calls.end());
    EXPECT_EQ(sent[62 * 4 + 7], 0.3f);
    EXPECT_EQ(sent[2050], 1.f);
    EXPECT_EQ(sent[2060], 0.f) << "no slot: re-applied with 0";
    // Nothing happens for a chunk that holds nothing.
    synth->calls.clear();
    EXPECT_EQ(synth->setChunk(nullptr, 5392, false), 0);
    EXPECT_EQ(synth->setChunk(data.data(), 0, true), 0);
    EXPECT_TRUE(synth->calls.empty());
    // A program number past the array is refused, whoever asks.
    synth->setProgram(1);
    synth->setProgram(-1);
    EXPECT_TRUE(synth->calls.empty());
    EXPECT_EQ(synth->getProgram(), 0);
}

TEST_F(Programs, SetChunkTakesThePresetNamesFromThePath) {
    std::vector<unsigned char> data = chunk();
    std::memset(&data[5192], 0, 98);
    std::strcpy((char*)&data[5192], "Pads/Warm/Glass");
    ASSERT_EQ(synth->setChunk(data.data(), (VstInt32)data.size(), true), 0);
    char bank[kPresetNameSize], subBank[kPresetNameSize], preset[kPresetNameSize];
    synth->getPresetNames(bank, subBank, preset);
    EXPECT_STREQ(bank, "Pads");
    EXPECT_STREQ(subBank, "Warm");
    EXPECT_STREQ(preset, "Glass");

    // Names given by the editor go back into the record's path.
    synth->setPresetNames("Keys", "Electric", "Tine");
    synth->storePresetPath();
    EXPECT_STREQ((const char*)chunk().data() + 5192, "Keys/Electric/Tine");
    synth->restorePresetPath();
    synth->getPresetNames(bank, subBank, preset);
    EXPECT_STREQ(preset, "Tine");

    // A path without terminator, from a foreign chunk.
    std::memset(&data[5192], 'w', 98);
    ASSERT_EQ(synth->setChunk(data.data(), (VstInt32)data.size(), true), 0);
    synth->getPresetNames(bank, subBank, preset);
    EXPECT_EQ(std::string(bank), std::string(31, 'w'));
    EXPECT_STREQ(subBank, "");
}

TEST_F(Programs, PatchClipboard) {
    EXPECT_EQ(synth->hasCopiedPatch(), 0);
    std::vector<unsigned char> before = chunk();
    synth->calls.clear();
    synth->pastePatch(3);
    EXPECT_TRUE(chunk() == before) << "nothing copied yet: the patch is not wiped";
    EXPECT_TRUE(synth->calls.empty());

    synth->setParameter(62 * 2 + 4, 0.8f);
    synth->setParameter(1000 + 44 * 2 + 24, 12.f);
    synth->copyPatch(2);
    EXPECT_EQ(synth->hasCopiedPatch(), 1);
    synth->calls.clear();
    synth->pastePatch(5);
    std::vector<unsigned char> after = chunk();
    EXPECT_TRUE(std::equal(after.begin() + 568 * 2, after.begin() + 568 * 3, after.begin() + 568 * 5));
    EXPECT_EQ(synth->getParameter(62 * 5 + 4), 0.8f);
    EXPECT_EQ(synth->getParameter(1000 + 44 * 5 + 24), 12.f);
    EXPECT_EQ(indicesOf(synth->calls), rangeList({{0, 495}, {1000, 1351}}));

    // Patch numbers outside 0-7 do nothing.
    before = chunk();
    synth->calls.clear();
    for (int patch : {-1, 8, 1000}) {
        synth->copyPatch(patch);
        synth->pastePatch(patch);
    }
    EXPECT_TRUE(chunk() == before);
    EXPECT_TRUE(synth->calls.empty());
}

TEST_F(Programs, EditorTextsShareOneBuffer) {
    VstInstInterface* bridge = synth.get();
    bridge->setParameter(522, 0.3f);
    const char* text = bridge->getParameterValueText(522);
    EXPECT_STREQ(text, "0.70 L 0.30 R");
    const char* name = bridge->getParameterLongName(517);
    EXPECT_EQ(name, text) << "one text buffer";
    EXPECT_STREQ(name, "Chorus Speed");
    bridge->setParameter(kTypeChorusIndex, 0.5f);
    EXPECT_STREQ(bridge->getParameterLongName(517), "Tremolo Speed");
    EXPECT_STREQ(bridge->getParameterLongName(1009), "");
    EXPECT_STREQ(bridge->getParameterValueText(548), "");
    bridge->setParameter(0, 0.3f);
    bridge->setParameter(1009, 1.f);
    EXPECT_STREQ(bridge->getParameterValueText(0), "Tempo/4");
    EXPECT_EQ(bridge->getParameter(2060), 0.f);
}

}  // namespace
