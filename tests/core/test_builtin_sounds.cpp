// The built-in content: default patch, default program and voice templates, read back
// through the preset keys, so that every value is checked at the slot its key names.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/builtin_sounds.h"
#include "core/parameter_table.h"
#include "core/preset_keys.h"

namespace {

float valueOf(const ProgramRecord& record, const char* key, int patch = -1) {
    const int index = presetKeyStoreIndex(key, patch);
    EXPECT_GE(index, 0) << key;
    return readParameter(record, index);
}

float floatAt(const ProgramRecord& record, int offset) {
    float value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&record) + offset, sizeof(value));
    return value;
}

// A record whose every byte is set, so that what a function leaves shows.
std::unique_ptr<ProgramRecord> filledRecord(unsigned char byte) {
    std::unique_ptr<ProgramRecord> record(new ProgramRecord);
    std::memset(record.get(), byte, sizeof(ProgramRecord));
    return record;
}

TEST(BuiltinSounds, DefaultPatch) {
    std::unique_ptr<ProgramRecord> record = filledRecord(0x41);
    writePatchDefaults(record->patches[3]);
    struct Case {
        const char* key;
        float value;
    } cases[] = {
        {"RANGE1", 0.8f},           {"OSC1_ACCORD", 0.5f},    {"LFO1_SPEED", 0.5f},      {"CUTOFF_LOW1", 1.f},
        {"LEVEL_VCF1", 1.f},        {"VOLUME_VCA1", 1.f},     {"SUSTAIN_LEVEL_VCA1", 1.f}, {"OSC1_SAW_TRI", 1.f},
        {"ON_LOW1", 1.f},           {"OSC1_WIDTH", 0.f},      {"OSC1_SINUS", 0.f},       {"CUTOFF_HIGHT1", 0.f},
        {"RES_LOW1", 0.f},          {"LFO1_WAVE", 0.f},       {"OSC1_SQR", 0.f},         {"FILTRE1_TYPE", 0.f},
        {"ATTACK_TEMPS_VCA1", 0.f}, {"AFTER_LEVEL1", 0.f},    {"RANGE2", 0.8f},          {"OSC2_ACCORD", 0.5f},
        {"CUTOFF_LOW2", 1.f},       {"ON_LOW2", 1.f},         {"ON_HIGHT2", 0.f},        {"LFO2_SYNC", 0.f},
        // The three values in which line 2 differs.
        {"OSC2_SINUS", 0.5f},       {"OSC2_SAW_TRI", 0.f},    {"OSC2_SQR", 1.f},
        {"OSC1_SYNCHRO", 0.f},      {"OSC2_DERIVE", 0.f},     {"DETUNE", 0.5f},          {"MIXE", 0.5f},
        {"MODULATION01_OUTPUT", 38.f}, {"MODULATION01_INPUT", 12.f}, {"MODULATION10_AMOUNT", 0.5f},
    };
    for (const Case& c : cases) EXPECT_EQ(valueOf(*record, c.key, 3), c.value) << c.key;
    const PatchBlock& block = record->patches[3];
    for (const LineBlock& line : block.lines) {
        EXPECT_EQ(line.unused88, 0.f);
        EXPECT_EQ(line.unused120, 0.f);
        EXPECT_EQ(line.unused124, 1.f);
    }
    // All twenty triples, also the ten that no parameter addresses.
    for (int row = 0; row < kStoredModulationRows; row++) {
        EXPECT_EQ(block.rows[row].destination, 38.f) << row;
        EXPECT_EQ(block.rows[row].source, 12.f) << row;
        EXPECT_EQ(block.rows[row].amount, 0.5f) << row;
    }
    // Only the block changes.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(record.get());
    for (int i = 0; i < kProgramRecordSize; i++)
        if (i < 568 * 3 || i >= 568 * 4) {
            ASSERT_EQ(bytes[i], 0x41) << i;
        }
}

TEST(BuiltinSounds, DefaultProgram) {
    std::unique_ptr<ProgramRecord> record = filledRecord(0x3E);  // floats near 0.19
    const float untouched = floatAt(*record, 5164);
    std::memcpy(record->presetPath, "Bank/Sub/Preset", 16);
    std::memcpy(record->programName, "A much longer program name", 27);
    writeProgramDefaults(*record);

    for (int patch = 0; patch < kPatchCount; patch++) {
        EXPECT_EQ(valueOf(*record, "RANGE1", patch), 0.8f) << patch;
        EXPECT_EQ(valueOf(*record, "OSC2_SQR", patch), 1.f) << patch;
        EXPECT_EQ(record->patches[patch].rows[19].source, 12.f) << patch;
    }
    struct Case {
        const char* key;
        float value;
    } cases[] = {
        {"NUM_PATCH_VOIE1", 0.f},  {"NUM_PATCH_VOIE3", 2.f},       {"NUM_PATCH_VOIE8", 7.f},
        {"AFFECTE_VOIE4", 0.f},    {"PORTAMENTO_VOIE2", 0.f},      {"RING_MOD_VOIE8", 0.f},
        {"EFFETS_VOIE5", 0.f},     {"PANORAMIQUE_VOIE1", 0.5f},    {"VOLUME_VOIE8", 0.5f},
        {"DETUNE_VOIE3", 0.5f},    {"TRANSPOSE_VOIE6", 0.5f},      {"MODULATION_WHEEL_CONTROL", 0.f},
        {"ZONE1_INPUT", 0.5f},     {"ZONE3_MODE", 0.5f},           {"ZONE4_INF", 24.f},
        {"ZONE2_SUP", 108.f},      {"ZONE1_ARP", 0.f},             {"VIB_RATE", 0.5f},
        {"VIB_AMOUNT_VCA", 0.5f},  {"VIB_WAVE", 0.5f},             {"RING_ATTACK", 0.5f},
        {"BRILLANCE", 0.5f},       {"KEYB_LEVEL_HIGHT", 0.5f},     {"VOLUME", 0.5f},
        {"DEPTH_CHORUS", 0.5f},    {"ON_CHORUS", 0.f},             {"TYPE_CHORUS", 0.f},
        {"SPEED_DELAI", 0.5f},     {"DEPTH_DELAI", 0.5f},          {"DRY_WET_DELAI", 0.f},
        {"SYNC_DELAI", 0.f},       {"ON_DELAI", 1.f},              {"PEDALE_SUSTAIN_ON", 0.f},
        {"SUSTAIN_TIME", 0.f},     {"MODUL_TO_VIB", 0.f},          {"PEDALE_WHA", 0.f},
        {"ARP_MODE", 0.f},         {"ARP_REPEAT", 0.f},            {"TRAPPE_MODUL", 0.f},
        {"TRAPPE_MULTI", 0.f},     {"PITCH_BEND_COARSE", 1.f},     {"PITCH_BEND_ACTIF", 1.f},
        {"NBR_POLY_CARTE", 0.f},   {"ON_RINGMOD", 0.f},
    };
    for (const Case& c : cases) EXPECT_EQ(valueOf(*record, c.key), c.value) << c.key;
    EXPECT_EQ(record->globals.pitchBend, 0.5f);
    EXPECT_EQ(record->globals.expressionPedal, 0.f);
    for (int offset = 5124; offset < 5164; offset += 4) EXPECT_EQ(floatAt(*record, offset), 0.f) << offset;
    for (int offset = 5176; offset < 5188; offset += 4) EXPECT_EQ(floatAt(*record, offset), 0.f) << offset;

    // Left as they were: the browser, the float at 5188, the path, the tuning and pop-ups,
    // and the name bytes behind "defaut".
    for (int offset : {5164, 5168, 5172, 5188, 5344, 5348, 5376, 5384, 5388})
        EXPECT_EQ(floatAt(*record, offset), untouched) << offset;
    EXPECT_STREQ(record->presetPath, "Bank/Sub/Preset");
    EXPECT_STREQ(record->programName, "defaut");
    EXPECT_STREQ(record->programName + 7, "longer program name");
}

// Every cell of both template tables, read back at the slot its key names, for sounds 0-10
// and the init sound (sound 11 and numbers outside 0-10).
TEST(BuiltinSounds, VoiceTemplates) {
    struct Row {
        int line;
        const char* key;
        float value[12];
    } rows[] = {
        // Line 1: sounds 0-10, then the init sound.
        {0, "OSC1_WIDTH", {0.f, 0.f, 0.f, 0.f, 0.5503125f, 0.7984375f, 0.636875f, 0.f, 0.555f, 0.635f, 0.2521875f, 0.f}},
        {0, "OSC1_SINUS", {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.161f, 0.f}},
        {0, "CUTOFF_HIGHT1", {0.4946874f, 0.f, 0.f, 0.f, 0.f, 0.5465625f, 0.63825f, 0.2421875f, 0.282875f, 0.453125f, 0.3885f, 0.f}},
        {0, "RES_HIGHT1", {0.50125f, 0.f, 0.f, 0.59375f, 0.f, 0.f, 0.203125f, 0.90625f, 0.4475f, 0.859375f, 0.806125f, 0.f}},
        {0, "CUTOFF_LOW1", {0.739375f, 1.f, 0.3962499f, 0.660187f, 0.1435f, 0.7010626f, 0.853187f, 0.5409999f, 0.5288125f, 0.3844375f, 0.259375f, 1.f}},
        {0, "RES_LOW1", {0.3828125f, 0.f, 0.4143749f, 0.7578125f, 0.f, 0.f, 0.2421875f, 0.9071875f, 0.5071875f, 0.8636875f, 0.80425f, 0.f}},
        {0, "LEVEL_VCF1", {1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f}},
        {0, "INITIAL_BRILLANCE1", {0.1796875f, 0.f, 0.2421875f, 0.f, 0.140625f, 0.2356875f, 0.133125f, 0.f, 0.2949375f, 0.1484375f, 0.3671875f, 0.f}},
        {0, "INITIAL_LEVEL1", {0.25f, 0.1796875f, 0.265625f, 0.14375f, 0.265f, 0.2971512f, 0.265f, 0.f, 0.289f, 0.07924999f, 0.250625f, 0.f}},
        {0, "AFTER_BRILLANCE1", {0.f, 0.f, 0.3f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.1684375f, 0.5309375f, 0.4140625f, 0.f}},
        {0, "AFTER_LEVEL1", {0.09375f, 0.2659375f, 0.2525625f, 0.2635625f, 0.f, 0.f, 0.f, 0.f, 0.2578125f, 0.3359375f, 0.2159375f, 0.f}},
        {0, "LFO1_SPEED", {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.6205f, 0.5f}},
        {0, "LFO1_DEPTH_PWM", {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.4765625f, 0.f}},
        {0, "ATTACK_TEMPS_VCF1", {0.37725f, 0.f, 0.439375f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.7753125f, 0.f}},
        {0, "DECAY_TEMPS_VCF1", {0.4871875f, 0.f, 0.3771875f, 0.f, 0.48f, 0.465f, 0.f, 0.f, 0.4184375f, 0.061875f, 0.776375f, 0.f}},
        {0, "RELEASE_TEMPS_VCF1", {0.50375f, 0.f, 0.347f, 0.f, 0.375f, 0.035f, 0.f, 0.f, 0.375f, 0.296875f, 0.3984375f, 0.f}},
        {0, "INIT_LEVEL_VCF1", {0.875f, 0.f, 0.34375f, 0.f, 0.3396875f, 0.453125f, 0.f, 0.f, 0.43755f, 0.7265625f, 0.6875f, 0.f}},
        {0, "ATTACK_LEVEL_VCF1", {0.48875f, 0.f, 0.581875f, 0.f, 0.6f, 0.46925f, 0.f, 0.f, 0.560625f, 0.5364376f, 0.6326875f, 0.f}},
        {0, "ATTACK_TEMPS_VCA1", {0.4315625f, 0.69f, 0.2759375f, 0.6346875f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f}},
        {0, "DECAY_TEMPS_VCA1", {0.7734375f, 0.f, 0.f, 1.f, 0.4765625f, 0.5359375f, 0.57f, 0.f, 0.5253125f, 0.14f, 0.14f, 0.f}},
        {0, "SUSTAIN_LEVEL_VCA1", {0.5703125f, 1.f, 1.f, 0.8515625f, 0.2733125f, 0.0390625f, 0.0546875f, 1.f, 0.0703125f, 1.f, 1.f, 1.f}},
        {0, "RELEASE_TEMPS_VCA1", {0.1015325f, 0.4131255f, 0.3478125f, 0.265f, 0.37f, 0.09f, 0.15625f, 0.f, 0.175f, 0.f, 0.11f, 0.f}},
        {0, "OSC1_SAW_TRI", {1.f, 1.f, 1.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f}},
        {0, "OSC1_SQR", {0.f, 0.f, 0.f, 0.f, 1.f, 1.f, 1.f, 0.f, 1.f, 1.f, 1.f, 0.f}},
        {0, "OSC1_ON_SIN", {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f}},
        {0, "ON_HIGHT1", {1.f, 0.f, 0.f, 1.f, 0.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 0.f}},
        // Line 2: sounds 0-10, then the init sound.
        {1, "OSC2_WIDTH", {0.f, 0.f, 0.f, 0.f, 0.609375f, 0.90825f, 0.715f, 0.f, 0.f, 0.55f, 0.555f, 0.f}},
        {1, "OSC2_SINUS", {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.6628125f, 0.f}},
        {1, "CUTOFF_HIGHT2", {0.5865624f, 0.313125f, 0.f, 0.03906255f, 0.103562f, 0.3575625f, 0.7041875f, 0.f, 0.21875f, 0.405f, 0.365f, 0.f}},
        {1, "RES_HIGHT2", {0.673125f, 0.f, 0.f, 0.0625f, 0.5546875f, 0.1f, 0.f, 0.f, 0.4453125f, 0.478125f, 0.50125f, 0.f}},
        {1, "CUTOFF_LOW2", {0.9284375f, 0.6815625f, 0.6151249f, 0.3634375f, 0.371875f, 0.4274385f, 0.8735f, 0.5158125f, 0.3931875f, 0.6988126f, 0.559437f, 1.f}},
        {1, "RES_LOW2", {0.8984375f, 0.f, 0.3128124f, 0.48375f, 0.758125f, 0.147501f, 0.f, 1.f, 0.5234375f, 0.6265625f, 0.6496875f, 0.f}},
        {1, "LEVEL_VCF2", {1.f, 1.f, 1.f, 1.f, 1.f, 0.6875f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f}},
        {1, "INITIAL_BRILLANCE2", {0.0234375f, 0.2371875f, 0.127625f, 0.f, 0.32925f, 0.28125f, 0.f, 0.f, 0.2815625f, 0.18f, 0.351875f, 0.f}},
        {1, "INITIAL_LEVEL2", {0.078125f, 0.078125f, 0.f, 0.1609375f, 0.1484375f, 0.289375f, 0.f, 0.f, 0.280625f, 0.f, 0.2015625f, 0.f}},
        {1, "AFTER_BRILLANCE2", {0.f, 0.28125f, 0.305f, 0.3736875f, 0.f, 0.f, 0.f, 0.f, 0.351875f, 0.f, 0.3046875f, 0.f}},
        {1, "AFTER_LEVEL2", {0.27125f, 0.27125f, 0.283525f, 0.171875f, 0.f, 0.f, 0.f, 0.f, 0.3296875f, 0.256375f, 0.18125f, 0.f}},
        {1, "LFO2_SPEED", {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}},
        {1, "LFO2_DEPTH_PWM", {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f}},
        {1, "ATTACK_TEMPS_VCF2", {0.f, 0.f, 0.5565625f, 0.3125f, 0.f, 0.f, 0.f, 0.0390625f, 0.f, 0.3153125f, 0.f, 0.f}},
        {1, "DECAY_TEMPS_VCF2", {0.f, 0.28125f, 0.3771875f, 0.225f, 0.19475f, 0.31625f, 0.f, 0.1925f, 0.6641875f, 0.39125f, 0.4759375f, 0.f}},
        {1, "RELEASE_TEMPS_VCF2", {0.035f, 0.3240625f, 0.3475f, 0.035f, 0.035f, 0.3475f, 0.f, 0.09375f, 0.375f, 0.f, 0.3203125f, 0.f}},
        {1, "INIT_LEVEL_VCF2", {0.f, 0.453125f, 0.40625f, 0.5234375f, 0.375f, 0.6875f, 0.f, 0.3359375f, 0.3671875f, 0.484375f, 0.7421875f, 0.f}},
        {1, "ATTACK_LEVEL_VCF2", {0.f, 0.48775f, 0.519375f, 0.8440625f, 0.61325f, 0.5531875f, 0.f, 0.3728125f, 0.62755f, 0.466875f, 0.593125f, 0.f}},
        {1, "ATTACK_TEMPS_VCA2", {0.08f, 0.33f, 0.3384375f, 0.3065625f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.1171875f, 0.f, 0.f}},
        {1, "DECAY_TEMPS_VCA2", {0.f, 0.546875f, 0.f, 0.3046875f, 0.722625f, 0.325375f, 0.504375f, 0.38125f, 0.5725f, 0.26f, 0.4240625f, 0.f}},
        {1, "SUSTAIN_LEVEL_VCA2", {1.f, 1.f, 1.f, 1.f, 0.f, 0.0234375f, 0.f, 0.3475f, 0.0409375f, 0.356875f, 0.794375f, 1.f}},
        {1, "RELEASE_TEMPS_VCA2", {0.205f, 0.3065625f, 0.34f, 0.09f, 0.f, 0.3321875f, 0.f, 0.f, 0.175f, 0.f, 0.f, 0.f}},
        {1, "OSC2_SAW_TRI", {1.f, 1.f, 1.f, 1.f, 0.f, 1.f, 0.f, 0.f, 1.f, 1.f, 1.f, 1.f}},
        {1, "OSC2_SQR", {0.f, 0.f, 0.f, 0.f, 1.f, 1.f, 1.f, 1.f, 0.f, 0.f, 0.f, 0.f}},
        {1, "OSC2_ON_SIN", {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f}},
        {1, "ON_HIGHT2", {1.f, 1.f, 0.f, 1.f, 1.f, 1.f, 1.f, 0.f, 1.f, 1.f, 1.f, 0.f}},
    };
    int cells = 0;
    for (const Row& row : rows)
        for (int column = 0; column < 12; ++column)
            for (int sound : column < 11 ? std::vector<int>{column} : std::vector<int>{11, -1, 99}) {
                std::unique_ptr<ProgramRecord> record = filledRecord(0x3E);
                writeVoiceTemplate(record->patches[5].lines[row.line], row.line, sound);
                EXPECT_EQ(valueOf(*record, row.key, 5), row.value[column])
                    << "line " << row.line << " sound " << sound << " " << row.key;
                ++cells;
            }
    EXPECT_EQ(cells, 2 * 26 * 14);
}

// Every sound writes the 37 values of its line and nothing else: the range and the accord,
// the other line and the rest of the record keep their bytes.
TEST(BuiltinSounds, TemplatesWriteOneLineOnly) {
    for (int line = 0; line < 2; line++)
        for (int sound = -1; sound <= 12; sound++) {
            std::unique_ptr<ProgramRecord> before = filledRecord(0x3E);
            std::unique_ptr<ProgramRecord> after = filledRecord(0x3E);
            LineBlock& written = after->patches[1].lines[line];
            writeVoiceTemplate(written, line, sound);
            const LineBlock& old = before->patches[1].lines[line];
            EXPECT_EQ(written.range, old.range);
            EXPECT_EQ(written.accord, old.accord);
            std::memcpy(&written.range, &old.range, sizeof(float));
            std::memcpy(&written.accord, &old.accord, sizeof(float));
            // Each of the 37 written floats differs from the filler.
            int changed = 0;
            for (int offset = 0; offset < (int)sizeof(LineBlock); offset += 4)
                changed += std::memcmp(reinterpret_cast<const char*>(&written) + offset,
                                       reinterpret_cast<const char*>(&old) + offset, 4) != 0;
            EXPECT_EQ(changed, 37) << "line " << line << " sound " << sound;
            // The constants of every sound.
            EXPECT_EQ(written.noiseLevel, 0.f);
            EXPECT_EQ(written.vcaLevel, 1.f);
            EXPECT_EQ(written.lfoWave, 1.f);
            EXPECT_EQ(written.lfoTrigger, 0.f);
            EXPECT_EQ(written.lfoSync, 0.f);
            EXPECT_EQ(written.keyboard, 0.f);
            EXPECT_EQ(written.lowPassOn, 1.f);
            EXPECT_EQ(written.filterPoles, 0.f);
            EXPECT_EQ(written.unused88, 0.f);
            EXPECT_EQ(written.unused120, 0.f);
            EXPECT_EQ(written.unused124, 1.f);
            std::memcpy(&written, &old, sizeof(LineBlock));
            EXPECT_EQ(std::memcmp(before.get(), after.get(), sizeof(ProgramRecord)), 0);
        }
}

// Sound numbers outside 0-10 give the init sound, the same on both lines: the default line 1
// with the LFO wave at 1.
TEST(BuiltinSounds, InitSound) {
    PatchBlock defaults;
    writePatchDefaults(defaults);
    LineBlock expected = defaults.lines[0];
    expected.lfoWave = 1.f;
    for (int line = 0; line < 2; line++)
        for (int sound : {11, -1, 200, 1 << 30}) {
            PatchBlock block;
            writePatchDefaults(block);
            writeVoiceTemplate(block.lines[line], line, sound);
            EXPECT_EQ(std::memcmp(&block.lines[line], &expected, sizeof(LineBlock)), 0)
                << "line " << line << " sound " << sound;
        }
}

}  // namespace
