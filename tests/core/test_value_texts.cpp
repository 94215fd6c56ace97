// Value texts: the editor's pop-up text of every kind of parameter, exactly as shown,
// and bounded whatever the record holds.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/parameter_table.h"
#include "core/value_texts.h"

namespace {

struct Setting {
    int index;
    float value;
};

struct TextCase {
    int index;
    float value;
    const char* text;
    std::vector<Setting> others;  // further values the text depends on
};

std::string valueText(const ProgramRecord& record, int index) {
    char buffer[256];
    std::memset(buffer, 'Z', sizeof(buffer));
    formatValueText(record, index, buffer, sizeof(buffer));
    return buffer;
}

std::string textWith(const TextCase& c) {
    ProgramRecord record = {};
    for (const Setting& s : c.others) writeParameter(record, s.index, s.value);
    writeParameter(record, c.index, c.value);
    return valueText(record, c.index);
}

const int kLfo1Sync = 1009;
const int kLfo2Sync = 1019;

TEST(ValueTexts, PatchHostParameters) {
    const TextCase cases[] = {
        {3, 0.f, "-200 dB", {}},
        {3, 0.5f, "0.00 dB", {}},
        {3, 1.f, "7.00 dB", {}},
        {27, -0.3f, "-200 dB", {}},
        {0, 0.7f, "14.50 Hz", {}},
        {0, 0.3f, "Tempo/4", {{kLfo1Sync, 1.f}}},
        {0, 0.45f, "Tempo*1", {{kLfo1Sync, 1.f}}},
        {0, 1.f, "Tempo*9", {{kLfo1Sync, 0.5f}}},
        {0, 0.3f, "0.63 Hz", {{kLfo1Sync, 0.49f}}},
        // Each line's speed follows its own line's sync, in its own patch.
        {24, 0.7f, "14.50 Hz", {{kLfo1Sync, 1.f}}},
        {24, 0.3f, "Tempo/4", {{kLfo2Sync, 1.f}}},
        {62 * 2 + 24, 0.0f, "Tempo/8", {{1000 + 44 * 2 + 19, 1.f}}},
        {62 * 2 + 24, 0.0f, "0.01 Hz", {{kLfo2Sync, 1.f}}},
        {1, 0.5f, "0.4300 ", {}},
        {2, 0.3f, "0.4200 ", {}},
        {4, 0.5f, "350.00 Hz", {}},
        {30, 1.f, "20000.00 Hz", {}},
        {5, 0.5f, "1.0000 ", {}},
        {8, 0.5f, "-11.21 dB", {}},
        {9, 0.5f, "0.34 dB", {}},
        {10, 0.5f, "0.2500 ", {}},
        {11, 0.5f, "0.2000 ", {}},
        {12, 0.5f, "50.00 ms", {}},
        {13, 0.5f, "200.00 ms", {}},
        {14, 0.5f, "500.00 ms", {}},
        {17, 0.7f, "0.7000 ", {}},
        {19, 1.f, "0.00 dB", {}},
        {19, 0.f, "-200 dB", {}},
        {20, 0.25f, "0.2500 ", {}},
        {21, 0.5f, "30.00 dB ", {}},
        {45, 0.5f, "30.00 dB ", {}},
        {47, 0.5f, "30.00 dB", {}},
        {48, 0.7f, "-0.1566 cent", {}},
        {49, 0.75f, "0.5000 ", {}},
        {49, 0.f, "-1.0000 ", {}},
        {50, 0.25f, "-6 semitone", {}},
        {51, 1.f, "12 semitone", {}},
        {51, 0.51f, "0 semitone", {}},
        {52, 0.7f, "0.0610 ", {}},
        {61 + 62 * 7, 0.3f, "-0.0610 ", {}},
    };
    for (const TextCase& c : cases) EXPECT_EQ(textWith(c), c.text) << "index " << c.index << " value " << c.value;
}

TEST(ValueTexts, HostGlobals) {
    const int kSyncDelay = 2044;
    const TextCase cases[] = {
        {496, 0.3f, "14.50 Hz", {}},
        {496, 0.f, "60.00 Hz", {}},
        {497, 0.f, "1.0000 ", {}},
        {498, 0.f, "1.0000 ", {}},
        {499, 0.3f, "0.7000 ", {}},
        {500, 0.5f, "20.00 ms", {}},
        {501, 0.f, "500.00 ms", {}},
        {502, 0.25f, "0.7500 ", {}},
        {503, 0.5f, "100.00 Hz", {}},
        {505, 0.f, "1.0000 ", {}},
        {506, 1.f, "-1.0000 ", {}},
        {509, 0.3f, "0.7000 ", {}},
        {511, 0.75f, "0.5000 ", {}},
        {514, 0.f, "-1.0000 ", {}},
        {515, 0.75f, "0.00 dB", {}},
        {515, 1.f, "9.54 dB", {}},
        {515, 0.f, "-200 dB", {}},
        {516, 0.5f, "200.00 ms", {}},
        {517, 0.3f, "1.00 Hz", {}},
        {518, 0.25f, "0.2500 ", {}},
        {519, 0.7f, "1500.00 ms", {}},
        {519, 0.f, "0.20 ms", {}},
        {519, 0.3f, "Tempo/4", {{kSyncDelay, 1.f}}},
        {519, 0.99f, "Tempo*9", {{kSyncDelay, 1.f}}},
        {520, 0.5f, "0.5000 ", {}},
        {522, 0.3f, "0.70 L 0.30 R", {}},
        {529, 1.f, "0.00 L 1.00 R", {}},
        {530, 1.f, "0.0 dB", {}},
        {530, 0.99995f, "0.0 dB", {}},
        {531, 0.7f, "-16.91 dB", {}},
        {537, 0.f, "-200 dB", {}},
        {538, 0.5f, "0.9993 ", {}},
        {545, 0.f, "0.9700 ", {}},
        {546, 0.7f, "0.4000 ", {}},
        {547, 0.7f, "0.7000 ", {}},
        {548, 0.7f, "", {}},
    };
    for (const TextCase& c : cases) EXPECT_EQ(textWith(c), c.text) << "index " << c.index << " value " << c.value;
}

TEST(ValueTexts, InternalParameters) {
    const int kArpSync = 2083;
    const int lfo1Wave = 1007, lfo2Mode = 1018, range1 = 1020, range2 = 1021;
    const TextCase cases[] = {
        {lfo1Wave, 0.f, "Rand", {}},
        {lfo1Wave, 0.2f, "Noise", {}},
        {lfo1Wave, 0.4f, "Square", {}},
        {lfo1Wave, 0.5f, "Saw up", {}},
        {lfo1Wave, 0.7f, "Saw down", {}},
        {lfo1Wave, 1.f, "Sine", {}},
        {lfo2Mode + 44 * 5, 0.f, "mono", {}},
        {lfo2Mode, 0.5f, "trigg", {}},
        {lfo2Mode, 0.9f, "free", {}},
        {range1, 0.16f, "+ 2 octaves", {}},
        {range1, 0.17f, "+ 1 octave 1 fifth", {}},
        {range2, 0.4f, "+ 1 octave", {}},
        {range2, 0.6f, "+ 1 fifth", {}},
        {range2, 0.7f, "Default", {}},
        {range2, 1.f, "- 1 octave", {}},
        {2040, 0.9f, "Sine", {}},
        {2047, 0.5f, "500.00 ms", {}},
        {2052, 0.3f, "-14 semitones ", {}},
        {2055, 0.5f, "+0 semitones ", {}},
        {2059, 0.7f, "+14 semitones ", {}},
        {2081, 0.19f, "key match ", {}},
        {2081, 0.2f, "Random ", {}},
        {2081, 0.5f, "backward-forward ", {}},
        {2081, 0.7f, "decreasing ", {}},
        {2081, 0.9f, "increassing", {}},
        {2082, 0.f, "Tempo/9", {{kArpSync, 1.f}}},
        {2082, 0.53f, "Tempo*1", {{kArpSync, 1.f}}},
        {2082, 1.f, "0.20 ms ", {}},
        {2082, 0.5f, "500.00 ms ", {}},
        {2085, 0.f, "1 octave  ", {}},
        {2085, 0.3f, "2 octaves ", {}},
        {2085, 1.f, "4 octaves ", {}},
        {2087, 0.5f, "3 Repeat ", {}},
        {2087, 0.1f, "1 Repeat ", {}},
        {2090, 0.f, "Vexa Linear Mode ", {}},
        {2090, 0.3f, "07 semitone", {}},
        {2090, 1.f, "24 semitone", {}},
        {2097, 0.5f, "0.5000 %", {}},
        {2105, 0.5f, "0.9993 %", {}},
        // Parameters without a text.
        {1009, 1.f, "", {}},
        {1000, 0.7f, "", {}},
        {2000, 3.f, "", {}},
        {2060, 0.5f, "", {}},
        {2108, 1.f, "", {}},
    };
    for (const TextCase& c : cases) EXPECT_EQ(textWith(c), c.text) << "index " << c.index << " value " << c.value;
}

TEST(ValueTexts, IndicesOutsideTheRangesGiveTheEmptyText) {
    ProgramRecord record = {};
    for (int index : {-1, -100000, 549, 999, 1352, 1999, 2109, 1 << 30})
        EXPECT_EQ(valueText(record, index), "") << index;
}

// Every index, every hostile value in every slot: the text stays inside a 64-byte buffer.
TEST(ValueTexts, NeverOverrunTheBufferWhateverTheRecordHolds) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float hostile[] = {nan, 1e30f, -1e30f, 3.4e38f, -3.4e38f, inf, -inf, -1.f, 1e-45f, 2.5f};
    const size_t kSize = 64;
    for (float value : hostile) {
        ProgramRecord record;
        for (int index = 0; index <= 2108; index++) writeParameter(record, index, value);
        for (int index = -2; index <= 2110; index++) {
            char buffer[kSize + 16];
            std::memset(buffer, 'G', sizeof(buffer));
            formatValueText(record, index, buffer, kSize);
            ASSERT_LT(std::strlen(buffer), kSize) << index << " " << value;
            for (size_t i = kSize; i < sizeof(buffer); i++) ASSERT_EQ(buffer[i], 'G') << index << " " << value;
        }
    }
    // A small buffer cuts the text and terminates it.
    ProgramRecord record = {};
    writeParameter(record, 522, 0.3f);
    char small[5];
    formatValueText(record, 522, small, sizeof(small));
    EXPECT_STREQ(small, "0.70");
}

// A host may switch the process to a locale that writes a comma.
TEST(ValueTexts, NumbersUseAPointWhateverTheLocale) {
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8", "German", "French"};
    const char* chosen = nullptr;
    for (const char* name : commaLocales) {
        if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point[0] == ',') {
            chosen = name;
            break;
        }
    }
    if (!chosen) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma on this machine";
    }
    ProgramRecord record = {};
    writeParameter(record, 522, 0.3f);
    writeParameter(record, 4, 0.5f);
    writeParameter(record, 48, 0.7f);
    std::string pan = valueText(record, 522), cutoff = valueText(record, 4), cents = valueText(record, 48);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(pan, "0.70 L 0.30 R") << chosen;
    EXPECT_EQ(cutoff, "350.00 Hz") << chosen;
    EXPECT_EQ(cents, "-0.1566 cent") << chosen;
}

}  // namespace
