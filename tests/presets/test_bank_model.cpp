// The bank model's lists, names and attributes.
#include <gtest/gtest.h>

#include <string>

#include "presets/bank.h"
#include "presets/install_settings.h"

namespace {

TEST(BankModel, NamesUpTo255CharactersAreTakenLongerOnesRefused) {
    InstallSettings settings("VEXA");
    Bank bank(&settings);
    SubBank subBank(&settings);
    Preset preset;
    PresetParam param;
    EXPECT_STREQ(bank.getName(), "Bank?");
    EXPECT_STREQ(subBank.getName(), "SubBank?");
    EXPECT_STREQ(preset.getName(), "Preset?");
    std::string longest(255, 'n'), tooLong(256, 'n');
    EXPECT_EQ(bank.setName(longest.c_str()), 0);
    EXPECT_EQ(bank.setName(tooLong.c_str()), -1);
    EXPECT_EQ(bank.getName(), longest);
    EXPECT_EQ(subBank.setName(tooLong.c_str()), -1);
    EXPECT_STREQ(subBank.getName(), "SubBank?");
    EXPECT_EQ(preset.setName(nullptr), -1);
    EXPECT_EQ(param.setValue(tooLong.c_str()), -1);
    EXPECT_EQ(param.setValue(longest.c_str()), 0);
    Patch patch;
    EXPECT_EQ(patch.getName(), nullptr);
    EXPECT_EQ(patch.setName(std::string(400, 'p').c_str()), 0) << "a patch takes any length";
}

TEST(BankModel, AttributesKeepTheirFirstValue) {
    Preset preset;
    struct Case {
        const char* text;
        int result;
    } cases[] = {{"mode=poly", 0}, {"mode=mono", 0}, {"=empty", 0}, {"noequals", -1}, {"k=", 0}};
    for (const Case& c : cases) EXPECT_EQ(preset.addAttribute(c.text), c.result) << c.text;
    ASSERT_EQ(preset.getNbAttributes(), 3);
    EXPECT_STREQ(preset.getAttribute(0)->getValue(), "poly");
    EXPECT_STREQ(preset.getAttribute(1)->getKey(), "");
    EXPECT_STREQ(preset.getAttribute(1)->getValue(), "empty");
    EXPECT_STREQ(preset.getAttribute(2)->getValue(), "");
    EXPECT_TRUE(preset.hasAttribute("mode"));
    EXPECT_FALSE(preset.hasAttribute("Mode"));
    // Whole up to the 255 characters of an imported word; longer is refused, never cut.
    const std::string longest = std::string(128, 'k') + "=" + std::string(126, 'v');
    EXPECT_EQ(preset.addAttribute(longest.c_str()), 0);
    ASSERT_NE(preset.getAttribute(3), nullptr);
    EXPECT_EQ(preset.getAttribute(3)->getKey(), std::string(128, 'k'));
    EXPECT_EQ(preset.getAttribute(3)->getValue(), std::string(126, 'v'));
    EXPECT_EQ(preset.addAttribute(("x" + longest).c_str()), -1) << "beyond what an import writes";
    EXPECT_EQ(preset.getAttribute(4), nullptr);
}

TEST(BankModel, LightPresetsHoldNoParametersAndListsAnswerNullOutside) {
    Preset light(false);
    light.addParam(new PresetParam);
    light.addPatch(new Patch);
    EXPECT_EQ(light.getNbParams(), 0);
    EXPECT_EQ(light.getNbPatches(), 0);
    Preset full(true);
    full.addParam(new PresetParam);
    EXPECT_EQ(full.getNbParams(), 1);
    EXPECT_EQ(full.getParam(1), nullptr);
    EXPECT_EQ(full.getParam(-1), nullptr);
}

TEST(BankModel, FindAnswersTheFirstOfEqualNames) {
    InstallSettings settings("VEXA");
    Bank bank(&settings);
    for (const char* name : {"Pads", "Leads", "Pads"}) {
        SubBank* subBank = new SubBank(&settings);
        subBank->setName(name);
        bank.addSubBank(subBank, "", false);
    }
    EXPECT_EQ(bank.findSubBank("Pads"), 0);
    EXPECT_EQ(bank.findSubBank("Leads"), 1);
    EXPECT_EQ(bank.findSubBank("Bass"), -1);
    EXPECT_EQ(bank.getSubBank(2)->getIndex(), 2);
    EXPECT_EQ(bank.getSubBank(3), nullptr);
}

}  // namespace
