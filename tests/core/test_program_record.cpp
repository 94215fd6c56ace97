// The program record's texts: the preset path and the program name, bounded however a
// foreign chunk or a host fills them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/program_record.h"

namespace {

struct Names {
    std::string bank, subBank, preset;
};

Names split(const ProgramRecord& record) {
    char bank[kPresetNameSize], subBank[kPresetNameSize], preset[kPresetNameSize];
    std::memset(bank, 'X', sizeof(bank));
    std::memset(subBank, 'X', sizeof(subBank));
    std::memset(preset, 'X', sizeof(preset));
    splitPresetPath(record, bank, subBank, preset);
    return {std::string(bank, strnlen(bank, sizeof(bank))), std::string(subBank, strnlen(subBank, sizeof(subBank))),
            std::string(preset, strnlen(preset, sizeof(preset)))};
}

ProgramRecord withPath(const std::string& path) {
    ProgramRecord record = {};
    std::memcpy(record.presetPath, path.data(), std::min(path.size(), sizeof(record.presetPath)));
    return record;
}

TEST(PresetPath, SplitsAtTheFirstTwoSlashes) {
    struct Case {
        const char* path;
        Names names;
    } cases[] = {
        {"Pads/Warm/Glass", {"Pads", "Warm", "Glass"}},
        {"", {"", "", ""}},
        {"OnlyBank", {"OnlyBank", "", ""}},
        {"Bank/Sub", {"Bank", "Sub", ""}},
        {"a//c", {"a", "", "c"}},
        {"a/b/c/d", {"a", "b", "c/d"}},
        {"/b/", {"", "b", ""}},
    };
    for (const Case& c : cases) {
        Names names = split(withPath(c.path));
        EXPECT_EQ(names.bank, c.names.bank) << c.path;
        EXPECT_EQ(names.subBank, c.names.subBank) << c.path;
        EXPECT_EQ(names.preset, c.names.preset) << c.path;
    }
}

TEST(PresetPath, ForeignPathsAreReadWithinTheField) {
    // Unterminated: 98 bytes of letters, followed by the program name.
    ProgramRecord record = {};
    std::memset(record.presetPath, 'x', sizeof(record.presetPath));
    std::memset(record.programName, 'y', sizeof(record.programName));
    Names names = split(record);
    EXPECT_EQ(names.bank, std::string(31, 'x'));
    EXPECT_EQ(names.subBank, "");
    EXPECT_EQ(names.preset, "");
    // Long names are cut to 31 characters each, the path still ends inside the field.
    std::string path = std::string(40, 'a') + "/" + std::string(40, 'b') + "/" + std::string(40, 'c');
    record = withPath(path);
    names = split(record);
    EXPECT_EQ(names.bank, std::string(31, 'a'));
    EXPECT_EQ(names.subBank, std::string(31, 'b'));
    EXPECT_EQ(names.preset, std::string(16, 'c')) << "the rest of the 98 bytes";
}

TEST(PresetPath, JoinsTheNamesAndSplitsThemBack) {
    ProgramRecord record;
    std::memset(&record, 0x55, sizeof(record));
    ProgramRecord before = record;
    joinPresetPath(record, "Strings", "Ensembles", "Slow Bow");
    EXPECT_STREQ(record.presetPath, "Strings/Ensembles/Slow Bow");
    Names names = split(record);
    EXPECT_EQ(names.bank, "Strings");
    EXPECT_EQ(names.subBank, "Ensembles");
    EXPECT_EQ(names.preset, "Slow Bow");
    EXPECT_EQ(std::memcmp(record.programName, before.programName, sizeof(record.programName)), 0);

    // Names at and beyond their 31 characters: three full names and two slashes fit.
    std::string longName(60, 'n');
    joinPresetPath(record, longName.c_str(), longName.c_str(), longName.c_str());
    EXPECT_EQ(std::strlen(record.presetPath), 95u);
    EXPECT_EQ(std::memcmp(record.programName, before.programName, sizeof(record.programName)), 0);
    joinPresetPath(record, nullptr, "", nullptr);
    EXPECT_STREQ(record.presetPath, "//");
}

TEST(ProgramName, CopiesStayWithinTheFieldAndTheBuffer) {
    ProgramRecord record;
    std::memset(&record, 0x55, sizeof(record));
    float tail = record.voicesPerPart;
    std::string longName(100, 'p');
    setProgramNameText(record, longName.c_str());
    EXPECT_EQ(std::string(record.programName), std::string(49, 'p'));
    EXPECT_EQ(std::memcmp(&record.voicesPerPart, &tail, sizeof(tail)), 0);

    char host[24 + 8];
    std::memset(host, 'G', sizeof(host));
    getProgramNameText(record, host, 24);
    EXPECT_EQ(std::string(host), std::string(23, 'p'));
    for (size_t i = 24; i < sizeof(host); i++) EXPECT_EQ(host[i], 'G');

    // A foreign chunk's name without a terminator is read within its 50 bytes.
    std::memset(record.programName, 'q', sizeof(record.programName));
    char wide[80];
    getProgramNameText(record, wide, sizeof(wide));
    EXPECT_EQ(std::string(wide), std::string(50, 'q'));

    setProgramNameText(record, "Init");
    getProgramNameText(record, wide, sizeof(wide));
    EXPECT_STREQ(wide, "Init");
    setProgramNameText(record, nullptr);
    EXPECT_STREQ(record.programName, "");
}

}  // namespace
