// The built plug-in on the factory installation, driven like a host: an instance starts
// from it with the installation's tuning and the default program, every preset of it
// sounds when a host hands the instrument its program, and a MIDI program change loads
// each preset's values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "core/preset_keys.h"
#include "factory/factory_content.h"
#include "host/test_host.h"
#include "presets/factory_reader.h"
#include "presets/install_settings.h"
#include "presets/preset_tree.h"

namespace {

const int kChunkSize = 5392;

struct Session {
    TestHost host;
    AEffect* fx = nullptr;
    VstInstInterface* instrument = nullptr;
    int outputs;

    explicit Session(int outputs) : outputs(outputs) {
        EXPECT_TRUE(host.load(TestHost::pluginPath(outputs)));
        fx = host.create();
        if (fx) instrument = static_cast<Halvorn*>(static_cast<AudioEffect*>(fx->object));
    }
    ProgramRecord record() {
        void* data = nullptr;
        ProgramRecord copy;
        std::memset(&copy, 0, sizeof(copy));
        if (host.dispatch(effGetChunk, 0, 0, &data) == kChunkSize && data) std::memcpy(&copy, data, sizeof(copy));
        return copy;
    }
    // The level of the master output from 93 to 186 ms after the notes start, and after
    // their release the instrument silenced again.
    double noteLevel(std::vector<int> notes) {
        for (int note : notes) host.sendMidi(0x90, (unsigned char)note, 100);
        std::vector<std::vector<float>> buffers((size_t)outputs, std::vector<float>(8192, 0.f));
        host.render(buffers, 8192);
        for (int note : notes) host.sendMidi(0x80, (unsigned char)note, 0);
        host.sendMidi(0xB0, 123, 0);  // all notes off
        double sum = 0;
        for (size_t i = 4096; i < buffers[0].size(); i++) sum += (double)buffers[0][i] * buffers[0][i];
        std::vector<std::vector<float>> tail((size_t)outputs, std::vector<float>(44100, 0.f));
        host.render(tail, 44100);
        return std::sqrt(sum / 4096.0);
    }
    double noteLevel(int note) { return noteLevel(std::vector<int>{note}); }
    // The levels of the eight part outputs (outputs 2-9 of the ten-output build) while the
    // notes sound.
    std::vector<double> partLevels(const std::vector<int>& notes) {
        for (int note : notes) host.sendMidi(0x90, (unsigned char)note, 100);
        std::vector<std::vector<float>> buffers((size_t)outputs, std::vector<float>(4096, 0.f));
        host.render(buffers, 4096);
        for (int note : notes) host.sendMidi(0x80, (unsigned char)note, 0);
        host.sendMidi(0xB0, 123, 0);
        std::vector<double> levels;
        for (int output = 2; output < outputs; output++) {
            double sum = 0;
            for (float x : buffers[(size_t)output]) sum += (double)x * x;
            levels.push_back(std::sqrt(sum / 4096.0));
        }
        std::vector<std::vector<float>> tail((size_t)outputs, std::vector<float>(44100, 0.f));
        host.render(tail, 44100);
        return levels;
    }
};

InstallSettings* settingsOfThePlugin() {
    static InstallSettings settings("VEXA");
    settings.setInstallInfo("Software\\Vantrope\\Halvorn", "Your Halvorn is not correcty installed");
    settings.setDialogInfo(".ays", "Halvorn Preset File (*.ays)|*.ays||");
    return &settings;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Sub-bank and preset positions: the tree keeps both in byte order of their names.
void positionOf(const FactoryPreset& preset, int* subBank, int* position) {
    std::vector<std::string> subBanks, names;
    for (const FactoryPreset& p : factoryPresets()) {
        if (std::find(subBanks.begin(), subBanks.end(), p.subBank) == subBanks.end()) subBanks.push_back(p.subBank);
        if (std::strcmp(p.subBank, preset.subBank) == 0) names.push_back(p.name);
    }
    std::sort(subBanks.begin(), subBanks.end());
    std::sort(names.begin(), names.end());
    *subBank = (int)(std::find(subBanks.begin(), subBanks.end(), preset.subBank) - subBanks.begin());
    *position = (int)(std::find(names.begin(), names.end(), preset.name) - names.begin());
}

// Every parameter that the preset files keep.
std::vector<int> storedIndices() {
    std::vector<int> indices;
    int index;
    for (int patch = 0; patch < kPatchCount; patch++) {
        for (int local = 0; local < kPatchParameterCount; local++)
            if (presetKeyOfLocal(local, patch, true, &index)) indices.push_back(index);
        for (int local = 0; local < kPatchInternalCount; local++)
            if (presetKeyOfLocal(local, patch, false, &index)) indices.push_back(index);
    }
    for (int local = 0; local < kGlobalParameterCount; local++)
        if (presetKeyOfLocal(local, -1, true, &index)) indices.push_back(index);
    for (int local = 0; local < kInternalGlobalCount; local++)
        if (presetKeyOfLocal(local, -1, false, &index) && parameterSlotOffset(index) >= 0) indices.push_back(index);
    return indices;
}

class FactoryDll : public ::testing::TestWithParam<int> {
protected:
    TestInstall install;
};

TEST_P(FactoryDll, AnInstanceStartsWithTheNeutralTuningAndTheDefaultProgram) {
    Session s(GetParam());
    ASSERT_NE(s.instrument, nullptr) << "the instance did not start from the factory installation";
    for (int index = 2097; index <= 2104; index++) EXPECT_EQ(s.instrument->getParameter(index), 0.f) << index;
    EXPECT_EQ(s.instrument->getParameter(2105), 0.5f);
    EXPECT_EQ(s.instrument->getParameter(2107), 0.f);
    EXPECT_EQ(s.instrument->getParameter(2108), 0.f);

    const ProgramRecord running = s.record();
    const ProgramRecord init = factoryProgram(factoryPresets().front());
    ASSERT_STREQ(factoryPresets().front().name, "Init");
    EXPECT_EQ(std::memcmp(running.patches, init.patches, sizeof(running.patches)), 0);
    for (int index : storedIndices()) {
        if ((index >= kGlobalParameterBase && index < kPatchInternalBase) || index >= kInternalGlobalBase) {
            EXPECT_EQ(readParameter(running, index), readParameter(init, index)) << index;
        }
    }
    EXPECT_GT(s.noteLevel(60), 1e-3);
}

// A host hands the instrument each preset as its program: every one of them plays.
TEST_P(FactoryDll, EveryPresetSoundsThroughTheChunk) {
    Session s(GetParam());
    ASSERT_NE(s.instrument, nullptr);
    PresetTree tree(settingsOfThePlugin());
    ASSERT_EQ(tree.getNbBanks(), 1);
    for (const FactoryPreset& preset : factoryPresets()) {
        SCOPED_TRACE(preset.name);
        int b, c;
        positionOf(preset, &b, &c);
        ASSERT_EQ(tree.getPresetName(0, b, c), preset.name);
        ProgramRecord record;
        ASSERT_EQ(readInstalledPreset(tree, 0, b, c, &record), 0);
        ASSERT_EQ(s.host.dispatch(effSetChunk, 0, kChunkSize, &record), 0);
        for (int line = 0; line < 2; line++) {
            const float cutoff = line == 0 ? s.instrument->getParameter(6) : s.instrument->getParameter(30);
            EXPECT_EQ(cutoff, record.patches[0].lines[line].lowPassCutoff) << line;
        }
        for (int note : {36, 60, 84}) EXPECT_GT(s.noteLevel(note), 1e-4) << note;
    }
}

// The parts that a note reaches, on the ten-output build's part outputs: one for a
// polyphonic preset (the next one for the next note), all eight for a unison one.
TEST(FactoryDllParts, EachPresetPlaysItsNotesOnItsParts) {
    TestInstall install;
    Session s(10);
    ASSERT_NE(s.instrument, nullptr);
    PresetTree tree(settingsOfThePlugin());
    for (const FactoryPreset& preset : factoryPresets()) {
        SCOPED_TRACE(preset.name);
        int b, c;
        positionOf(preset, &b, &c);
        ProgramRecord record;
        ASSERT_EQ(readInstalledPreset(tree, 0, b, c, &record), 0);
        ASSERT_EQ(s.host.dispatch(effSetChunk, 0, kChunkSize, &record), 0);
        for (const std::vector<int>& notes : {std::vector<int>{67}, std::vector<int>{60, 64, 67}}) {
            const std::vector<double> levels = s.partLevels(notes);
            const int sounding = (int)std::count_if(levels.begin(), levels.end(), [](double l) { return l > 1e-5; });
            const int wanted = preset.play == FactoryPlay::polyphonic ? (int)notes.size() : kPartCount;
            EXPECT_EQ(sounding, wanted) << notes.size() << " notes";
        }
    }
}

// Bank select, sub-bank select and a program change choose each preset; its values arrive.
TEST_P(FactoryDll, AProgramChangeLoadsEachPresetsValues) {
    const std::string startPreset = install.path("save\\P0\\B0\\I0\\Parametres");
    const std::string before = readFile(startPreset);
    Session s(GetParam());
    ASSERT_NE(s.instrument, nullptr);
    // An instance that keeps presets saves its first preset back when it starts.
    if (readFile(startPreset) == before) GTEST_SKIP() << "the instrument does not load presets from their files yet";
    const std::vector<int> indices = storedIndices();
    for (const FactoryPreset& preset : factoryPresets()) {
        SCOPED_TRACE(preset.name);
        int b, c;
        positionOf(preset, &b, &c);
        s.host.sendMidi(0xB0, 0, 1);                         // bank select: the first bank
        s.host.sendMidi(0xB0, 32, (unsigned char)(b + 1));  // its sub-bank
        s.instrument->setParameter(2095, -0.25f);           // away from every preset, so the change is one
        s.host.sendMidi(0xC0, (unsigned char)c, 0);
        std::vector<std::vector<float>> buffers((size_t)GetParam(), std::vector<float>(64, 0.f));
        s.host.render(buffers, 64);
        const ProgramRecord wanted = factoryProgram(preset);
        int wrong = 0;
        for (int index : indices)
            if (s.instrument->getParameter(index) != readParameter(wanted, index) && wrong++ < 5)
                ADD_FAILURE() << "parameter " << index << ": " << s.instrument->getParameter(index) << " for "
                              << readParameter(wanted, index);
        EXPECT_EQ(wrong, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, FactoryDll, ::testing::Values(10, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 10 ? std::string("TenOutputs") : std::string("Stereo");
                         });

}  // namespace
