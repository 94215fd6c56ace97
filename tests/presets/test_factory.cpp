// The factory installation that the build writes: the tree the instrument sees in it, the
// values of every preset read back as the instrument reads them, the names, the MIDI
// control file, and the writer's repeatability.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/builtin_sounds.h"
#include "core/control_file.h"
#include "core/midi_map.h"
#include "core/parameter_table.h"
#include "core/preset_keys.h"
#include "factory/factory_content.h"
#include "factory/factory_writer.h"
#include "presets/factory_reader.h"
#include "presets/preset_tree.h"
#include "presets/store_fixture.h"

#ifdef _WIN32
#include "host/test_host.h"
#endif

namespace fs = std::filesystem;

namespace {

std::string generatedTree() {
#ifdef _WIN32
    return TestHost::programDir() + "factory";
#else
    return HALVORN_FACTORY_TREE;
#endif
}

// Every file below dir with its bytes, by relative path.
std::map<std::string, std::string> filesBelow(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory()) continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        std::string name = fs::relative(it->path(), dir).generic_string();
        files[name] = bytes.str();
    }
    return files;
}

// The preset bar's rule: 1 to 31 characters, letters, digits and & ( ) + - . _
bool followsNamingRule(const std::string& name) {
    if (name.empty() || name.size() > 31) return false;
    for (char c : name)
        if (!std::isalnum((unsigned char)c) && !std::strchr("&()+-._", c)) return false;
    return true;
}

class FactoryInstallation : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        fs::remove_all(path("save"));
        fs::copy(generatedTree(), root, fs::copy_options::recursive);
    }
};

TEST_F(FactoryInstallation, TheTreeListsOneFactoryBankWithEveryPreset) {
    PresetTree tree(&settings);
    ASSERT_EQ(tree.getNbBanks(), 1);
    EXPECT_EQ(tree.getBankName(0), kFactoryBankName);
    EXPECT_FALSE(tree.isUserBank(0));

    std::map<std::string, std::vector<std::string>> expected;
    for (const FactoryPreset& preset : factoryPresets()) expected[preset.subBank].push_back(preset.name);
    // Sub-banks and presets in byte order of their names; "All" shows the same with one bank.
    for (int32_t bank : {0, 1}) {
        SCOPED_TRACE(tree.getBankName(bank));
        ASSERT_EQ(tree.getNbSubBanks(bank), (int32_t)expected.size());
        int32_t b = 0;
        for (auto& [subBank, names] : expected) {
            std::sort(names.begin(), names.end());
            EXPECT_EQ(tree.getSubBankName(bank, b), subBank);
            ASSERT_EQ(tree.getNbPresets(bank, b), (int32_t)names.size()) << subBank;
            for (int32_t c = 0; c < (int32_t)names.size(); c++) EXPECT_EQ(tree.getPresetName(bank, b, c), names[c]);
            b++;
        }
    }
    // What an instance loads first (bank 0, sub-bank 0, preset 0) and starts with (sub-bank
    // 8, preset 19 of "All", each wrapped to 0 beyond its count): the default program.
    EXPECT_EQ(tree.getPresetName(0, 0, 0), "Init");
    const int32_t subBank = 8 < tree.getNbSubBanks(1) ? 8 : 0;
    const int32_t preset = 19 < tree.getNbPresets(1, subBank) ? 19 : 0;
    EXPECT_EQ(tree.getPresetName(1, subBank, preset), "Init");
}

TEST_F(FactoryInstallation, EveryPresetReadsBackAsItsProgram) {
    PresetTree tree(&settings);
    Bank* bank = tree.getBank(0);
    ASSERT_NE(bank, nullptr);
    for (const FactoryPreset& preset : factoryPresets()) {
        SCOPED_TRACE(preset.name);
        const int32_t b = bank->findSubBank(preset.subBank);
        ASSERT_GE(b, 0);
        const int32_t c = bank->getSubBank(b)->findPreset(preset.name);
        ASSERT_GE(c, 0);
        ProgramRecord loaded;
        ASSERT_EQ(readInstalledPreset(tree, 0, b, c, &loaded), 0);
        const ProgramRecord wanted = factoryProgram(preset);
        EXPECT_EQ(std::memcmp(&loaded, &wanted, sizeof(ProgramRecord)), 0);

        // The sound itself: the templates on the two lines of patch 0, the default patch
        // around them, and every part on patch 0.
        if (preset.line1Sound < 0) {
            ProgramRecord defaults;
            std::memset(&defaults, 0, sizeof(defaults));
            writeProgramDefaults(defaults);
            EXPECT_EQ(std::memcmp(&loaded, &defaults, sizeof(ProgramRecord)), 0) << "the default program";
            continue;
        }
        PatchBlock expected;
        writePatchDefaults(expected);
        writeVoiceTemplate(expected.lines[0], 0, preset.line1Sound);
        writeVoiceTemplate(expected.lines[1], 1, preset.line2Sound);
        EXPECT_EQ(std::memcmp(&loaded.patches[0], &expected, sizeof(PatchBlock)), 0);
        for (int part = 0; part < kPartCount; part++) EXPECT_EQ(loaded.globals.partPatch[part], 0.f) << part;
    }
}

// A few values straight from the template tables, so that the files are held to the
// sounds themselves and not only to the code that writes both.
TEST_F(FactoryInstallation, PresetsCarryTheTemplatesValues) {
    const struct {
        const char* subBank;
        const char* preset;
        const char* key;
        int patch;
        float value;
    } cases[] = {
        {"Brass&Winds", "Flute_&_Horn", "CUTOFF_LOW1", 0, 0.660187f},         // Flute
        {"Brass&Winds", "Flute_&_Horn", "CUTOFF_HIGHT2", 0, 0.03906255f},     // Brass 3
        {"Keys", "E.Piano_&_Bass", "SUSTAIN_LEVEL_VCA1", 0, 0.2733125f},      // Electric Piano
        {"Keys", "E.Piano_&_Bass", "DECAY_TEMPS_VCA2", 0, 0.722625f},         // Bass
        {"Funky", "Funky_Sweep", "LFO1_DEPTH_PWM", 0, 0.4765625f},            // Funky 3
        {"Funky", "Funky_Sweep", "OSC2_SINUS", 0, 0.6628125f},                // Funky 4
        {"Strings", "Slow_Strings", "ATTACK_TEMPS_VCA1", 0, 0.69f},           // String 3
        {"Keys", "Clavichord", "LEVEL_VCF2", 0, 0.6875f},                     // Clavichord 2
        {"Organs", "Organ", "RES_LOW2", 0, 1.f},                              // Organ 2
        {"Organs", "Organ", "RANGE1", 0, 0.8f},                               // not in a template
        {"Organs", "Organ", "NUM_PATCH_VOIE6", -1, 0.f},
        {"Basics", "Init", "NUM_PATCH_VOIE3", -1, 2.f},
        {"Basics", "Init", "ON_DELAI", -1, 1.f},
        {"Basics", "Init", "ZONE2_SUP", -1, 108.f},
        {"Basics", "Init", "OSC2_SQR", 5, 1.f},
        {"Basics", "Init", "ZONE1_MODE", -1, 0.5f},           // unison, one voice a part
        {"Basics", "Init", "DETUNE_VOIE1", -1, 0.5f},
        {"Strings", "String_Ensemble", "ZONE1_MODE", -1, 1.f},  // the notes rotate over the parts
        {"Strings", "String_Ensemble", "NBR_POLY_CARTE", -1, 1.f},
        {"Strings", "String_Ensemble", "DETUNE_VOIE8", -1, 0.5f},
        {"Funky", "Funky_Lead", "ZONE1_MODE", -1, 0.5f},
        {"Funky", "Funky_Lead", "NBR_POLY_CARTE", -1, 0.f},
        {"Funky", "Funky_Lead", "DETUNE_VOIE1", -1, 0.36f},  // the unison's spread
        {"Funky", "Funky_Lead", "DETUNE_VOIE8", -1, 0.64f},
    };
    PresetTree tree(&settings);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.preset) + " " + c.key);
        const int32_t b = tree.getBank(0)->findSubBank(c.subBank);
        ASSERT_GE(b, 0);
        const int32_t p = tree.getBank(0)->getSubBank(b)->findPreset(c.preset);
        ASSERT_GE(p, 0);
        ProgramRecord loaded;
        ASSERT_EQ(readInstalledPreset(tree, 0, b, p, &loaded), 0);
        const int index = presetKeyIndex(c.key, c.patch);
        ASSERT_GE(index, 0);
        EXPECT_EQ(readParameter(loaded, index), c.value);
    }
}

TEST_F(FactoryInstallation, EveryTemplateOfBothLinesIsReachable) {
    std::set<int> line1, line2;
    for (const FactoryPreset& preset : factoryPresets()) {
        if (preset.line1Sound >= 0) line1.insert(preset.line1Sound);
        if (preset.line2Sound >= 0) line2.insert(preset.line2Sound);
    }
    std::set<int> all;
    for (int sound = 0; sound < kVoiceTemplateCount; sound++) all.insert(sound);
    EXPECT_EQ(line1, all);
    EXPECT_EQ(line2, all);
}

TEST_F(FactoryInstallation, NamesFollowThePresetBarsRule) {
    PresetTree tree(&settings);
    std::vector<std::string> names = {tree.getBankName(0)};
    for (int32_t b = 0; b < tree.getNbSubBanks(0); b++) {
        names.push_back(tree.getSubBankName(0, b));
        for (int32_t c = 0; c < tree.getNbPresets(0, b); c++) names.push_back(tree.getPresetName(0, b, c));
    }
    EXPECT_EQ(names.size(), 1 + tree.getNbSubBanks(0) + factoryPresets().size());
    // The tree reads a name file's first word only: the names as written are held to it too.
    for (const FactoryPreset& preset : factoryPresets()) {
        names.push_back(preset.subBank);
        names.push_back(preset.name);
    }
    for (const std::string& name : names) EXPECT_TRUE(followsNamingRule(name)) << name;
    // The rule itself, on names it refuses.
    for (const char* bad : {"", "Two Words", "Slash/Name", "Quote\"", "A_name_of_thirty_two_characters_", "Tab\t"})
        EXPECT_FALSE(followsNamingRule(bad)) << bad;
}

TEST_F(FactoryInstallation, TheControlFileHoldsNoAssignmentAndTheNeutralTuning) {
    const std::string text = read("save/controlMidi");
    MidiMap map;
    float tuning[kControlTuningCount];
    readControlFile(text.data(), text.size(), map, tuning);
    // The eight part tunes at their zero position (no spread), the general tune at the centre
    // of its knob, both value pop-ups on.
    const float neutral[kControlTuningCount] = {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.5f, 0.f, 0.f};
    for (int slot = 0; slot < kControlTuningCount; slot++) EXPECT_EQ(tuning[slot], neutral[slot]) << slot;
    for (int index = 0; index < 2109; index++) ASSERT_EQ(map.controllerOf(index), -1) << index;
    // The whole file as the instrument writes it, with every assignable parameter's line.
    EXPECT_TRUE(text == writeControlFile(MidiMap(), neutral));
    EXPECT_NE(text.find("\nTUNE_VEXA_TUNE 0.500000\n"), std::string::npos);
    EXPECT_NE(text.find("\nTUNE_VEXA_DETUNE8 0.000000\n"), std::string::npos);
}

// The writer in this process gives the same bytes twice, and the same as the build's tool.
TEST_F(FactoryInstallation, TheWriterIsRepeatable) {
    std::vector<std::map<std::string, std::string>> runs;
    for (const char* name : {"first", "second"}) {
        const std::string dir = (fs::path(root) / name).string();
        fs::create_directories(dir);
        registerAt(dir);
        std::string failure;
        EXPECT_EQ(writeFactoryInstallation(&settings, &failure), 0) << failure;
        runs.push_back(filesBelow(dir));
    }
    reregister();
    ASSERT_FALSE(runs[0].empty());
    EXPECT_EQ(runs[0].count("save/P0/B0/I0/Parametres"), 1u);
    EXPECT_EQ(runs[0].count("wqnt.dat"), 0u) << "an installation starts without a tree cache";
    EXPECT_TRUE(runs[0] == runs[1]);
    EXPECT_TRUE(runs[0] == filesBelow(generatedTree()));
}

// A second run into a filled installation refuses rather than adding renamed copies.
TEST_F(FactoryInstallation, TheWriterRefusesAnInstallationWithBanks) {
    const auto before = filesBelow(root);
    std::string failure;
    EXPECT_NE(writeFactoryInstallation(&settings, &failure), 0);
    EXPECT_FALSE(failure.empty());
    auto after = filesBelow(root);
    after.erase("wqnt.dat");  // the tree that looked wrote its cache
    EXPECT_TRUE(before == after);
}

// The parameter file of a save: header, host globals, internal globals with the part's
// patch as a whole number, then one patch file per patch played.
TEST(FactoryPresetFiles, FollowTheSavesLayout) {
    ProgramRecord record = factoryProgram(factoryPresets().front());
    record.globals.partPatch[1] = 0.f;
    record.globals.partPatch[5] = 2.f;
    const PresetFileTexts files = presetFileTexts(record, "Bank", "Sub", "Name");
    EXPECT_EQ(files.parameters.rfind("Nom du fichier      : Bank\nNom de la banque    : Sub\n"
                                     "Nom de l'instrument : Name\nVIB_RATE 5.000000e-001\n",
                                     0),
              0u);
    EXPECT_NE(files.parameters.find("\nNUM_PATCH_VOIE2 0\n"), std::string::npos);
    EXPECT_NE(files.parameters.find("\nNUM_PATCH_VOIE6 2\n"), std::string::npos);
    EXPECT_NE(files.parameters.find("\nDRY_WET_DELAI 0.000000e+000\n"), std::string::npos);
    EXPECT_NE(files.parameters.find("\nZONE1_SUP 1.080000e+002\n"), std::string::npos);
    std::vector<int> numbers;
    for (const auto& patch : files.patches) numbers.push_back(patch.first);
    EXPECT_EQ(numbers, (std::vector<int>{1, 3, 4, 5, 7, 8}));
    EXPECT_EQ(files.patches[0].second.rfind("LFO1_SPEED 5.000000e-001\n", 0), 0u);
}

}  // namespace
