// Bank exchange files: export of a bank, a sub-bank or a preset, and import as a new
// bank, from good, truncated and hostile files.
#include <algorithm>
#include <cstring>
#include <memory>

#include "presets/file_io.h"
#include "presets/preset_tree.h"
#include "presets/store_fixture.h"
#ifdef _WIN32
#include <windows.h>

#include "dorvane/dorvane_support.h"
#else
#include "presets/native_file_io.h"
#endif

namespace {

using Entries = std::vector<std::string>;

std::string withoutReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

class Exchange : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        addBank(0, "Fac", true);
        addSubBank(0, 0, "Keys");
        addPreset(0, 0, 0, "Piano", "Nom du fichier      : Fac\n# note\n@ATTR mode=poly\nVOLUME 5.000000e-001\n");
        write("save/P0/B0/I0/Patch2", "CUTOFF 1.0e-001\nRES 2\n");
        addSubBank(0, 1, "Pads");
        addPreset(0, 1, 0, "Warm", "A 1\n");
        addPreset(0, 1, 1, "Wide", "");
        tree = std::make_unique<PresetTree>(&settings);
    }
    void TearDown() override {
        tree.reset();
        StoreFixture::TearDown();
    }

    int exportTo(const std::string& file, int mode, int bank, int subBank, int preset) {
        std::unique_ptr<CCPFileIO> io(createFileIO(&settings));
        EXPECT_EQ(io->openReplacing(file.c_str(), "wb"), 0);
        int result = tree->exportEntry(io.get(), mode, bank, subBank, preset);
        if (result == 0) {
            EXPECT_EQ(io->close(), 0);
        }
        return result;
    }

    int importFrom(const std::string& bytes) {
        write("in.ays", bytes);
        std::unique_ptr<CCPFileIO> io(createFileIO(&settings));
        EXPECT_EQ(io->open("in.ays", "rb"), 0);
        int result = tree->importBank(io.get());
        io->close();
        return result;
    }

    static std::string pianoChunks() {
        return chunk("PRST", "Piano") + chunk("NBPA", "02") + chunk("PARA", "@ATTR") + chunk("PARV", "mode=poly") +
               chunk("PARA", "VOLUME") + chunk("PARV", "5.000000e-001") + chunk("NBPT", "01") +
               chunk("PATC", "Patch2") + chunk("NBPA", "02") + chunk("PARA", "CUTOFF") + chunk("PARV", "1.0e-001") +
               chunk("PARA", "RES") + chunk("PARV", "2");
    }

    std::unique_ptr<PresetTree> tree;
};

TEST_F(Exchange, ExportWritesTheChunksOfABankASubBankOrAPreset) {
    std::string head = chunk("VEXA", "0000") + chunk("BANK", "Fac");
    std::string keys = chunk("SBNK", "Keys") + chunk("NBPR", "01") + pianoChunks();
    std::string pads = chunk("SBNK", "Pads") + chunk("NBPR", "02") + chunk("PRST", "Warm") + chunk("NBPA", "01") +
                       chunk("PARA", "A") + chunk("PARV", "1") + chunk("NBPT", "00") + chunk("PRST", "Wide") +
                       chunk("NBPA", "00") + chunk("NBPT", "00");
    std::string widePreset = chunk("SBNK", "Pads") + chunk("NBPR", "01") + chunk("PRST", "Wide") +
                             chunk("NBPA", "00") + chunk("NBPT", "00");
    struct Case {
        int mode, bank, subBank, preset;
        std::string bytes;
    } cases[] = {
        {0, 0, 0, 0, head + chunk("NBSB", "02") + keys + pads},
        {1, 0, 1, 0, head + chunk("NBSB", "01") + pads},
        {2, 0, 1, 1, head + chunk("NBSB", "01") + widePreset},
        // From the merged bank: the preset's own bank and place.
        {2, 1, 1, 1, head + chunk("NBSB", "01") + widePreset},
        {1, 1, 0, 0, head + chunk("NBSB", "01") + keys},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(exportTo("out.ays", c.mode, c.bank, c.subBank, c.preset), 0) << c.mode << " " << c.bank;
        EXPECT_EQ(read("out.ays"), c.bytes) << c.mode << " " << c.bank;
    }
}

TEST_F(Exchange, ExportWritesOnlyThePatchFilesAnImportTakesBack) {
    // Files the repair scan keeps beside Patch2: one the load opens as Patch3 where case
    // does not count, and others no load opens.
    write("save/P0/B0/I0/patch3", "DETUNE 3\n");
    write("save/P0/B0/I0/Patch2.old", "DETUNE 4\n");
    write("save/P0/B0/I0/PATCH9", "DETUNE 5\n");
    write("save/P0/B0/I0/Patch10", "DETUNE 6\n");
    ASSERT_EQ(exportTo("out.ays", 0, 0, 0, 0), 0);
    const std::string bytes = read("out.ays");
    EXPECT_NE(bytes.find(chunk("PATC", "Patch3") + chunk("NBPA", "01") + chunk("PARA", "DETUNE")), std::string::npos);
    EXPECT_NE(bytes.find(chunk("NBPT", "02")), std::string::npos);
    for (const char* name : {"patch3", "Patch2.old", "PATCH9", "Patch10"})
        EXPECT_EQ(bytes.find(chunk("PATC", name)), std::string::npos) << name;
    ASSERT_EQ(importFrom(bytes), 0);
    EXPECT_EQ(tree->getNbBanks(), 2);
    EXPECT_EQ(entries("save/P1/B0/I0"), (Entries{"NomInstrument", "Parametres", "Patch2", "Patch3"}));
    EXPECT_EQ(withoutReturns(read("save/P1/B0/I0/Patch3")), "DETUNE 3\n");
}

TEST_F(Exchange, ASubBankOfTheMergedBankIsExportedAsItIsShown) {
    // Pads of the second bank joins Pads of the first in "All": Warm, Wide, then B and C.
    tree.reset();
    addBank(1, "Two");
    addSubBank(1, 0, "Pads");
    addPreset(1, 0, 0, "B", "B 2\n");
    write("save/P1/B0/I0/Patch1", "CUTOFF 3\n");
    addPreset(1, 0, 1, "C", "");
    tree = std::make_unique<PresetTree>(&settings);
    const int all = tree->getNbBanks();
    ASSERT_EQ(tree->getSubBankName(all, 1), "Pads");
    ASSERT_EQ(tree->getNbPresets(all, 1), 4);

    ASSERT_EQ(exportTo("out.ays", 1, all, 1, 0), 0);
    std::string presets = chunk("PRST", "Warm") + chunk("NBPA", "01") + chunk("PARA", "A") + chunk("PARV", "1") +
                          chunk("NBPT", "00") + chunk("PRST", "Wide") + chunk("NBPA", "00") + chunk("NBPT", "00") +
                          chunk("PRST", "B") + chunk("NBPA", "01") + chunk("PARA", "B") + chunk("PARV", "2") +
                          chunk("NBPT", "01") + chunk("PATC", "Patch1") + chunk("NBPA", "01") +
                          chunk("PARA", "CUTOFF") + chunk("PARV", "3") + chunk("PRST", "C") + chunk("NBPA", "00") +
                          chunk("NBPT", "00");
    EXPECT_EQ(read("out.ays"), chunk("VEXA", "0000") + chunk("BANK", "Fac") + chunk("NBSB", "01") +
                                   chunk("SBNK", "Pads") + chunk("NBPR", "04") + presets);
    ASSERT_EQ(importFrom(read("out.ays")), 0);
    const int imported = tree->findBank("Fac0");
    ASSERT_GE(imported, 0);
    ASSERT_EQ(tree->getNbPresets(imported, 0), 4);
    const char* names[] = {"B", "C", "Warm", "Wide"};
    for (int c = 0; c < 4; c++) EXPECT_EQ(tree->getPresetName(imported, 0, c), names[c]);
}

TEST_F(Exchange, AFailedExportLeavesNoFileAndKeepsAnOlderOne) {
    struct Case {
        int mode, bank, subBank, preset;
    } cases[] = {{0, 1, 0, 0}, {2, 0, 1, 7}, {1, 0, 4, 0}, {0, 5, 0, 0}, {2, 1, 9, 0}};
    for (const Case& c : cases) {
        remove("out.ays");
        EXPECT_NE(exportTo("out.ays", c.mode, c.bank, c.subBank, c.preset), 0);
        EXPECT_FALSE(exists("out.ays")) << c.mode << " " << c.bank << " " << c.subBank;
    }
    write("out.ays", "older");
    EXPECT_NE(exportTo("out.ays", 2, 0, 1, 7), 0);
    EXPECT_EQ(read("out.ays"), "older");
    for (const std::string& name : entries("."))
        EXPECT_EQ(name.find("tmp~"), std::string::npos) << name;
}

TEST_F(Exchange, AnExportedBankImportsAsANewBankWithAUniqueName) {
    ASSERT_EQ(exportTo("out.ays", 0, 0, 0, 0), 0);
    std::vector<std::string> log;
    ASSERT_EQ(importFrom(read("out.ays")), 0);
    EXPECT_EQ(tree->getNbBanks(), 2);
    EXPECT_EQ(tree->getBankName(1), "Fac0") << "a unique name; a user bank after the factory one";
    EXPECT_TRUE(tree->isUserBank(1));
    EXPECT_EQ(read("save/P1/NomPreset"), "Fac0");
    // Written in text mode: the platform may end lines with a carriage return too.
    EXPECT_EQ(withoutReturns(read("save/P1/B0/I0/Parametres")), "@ATTR mode=poly\nVOLUME 5.000000e-001\n");
    EXPECT_EQ(withoutReturns(read("save/P1/B0/I0/Patch2")), "CUTOFF 1.0e-001\nRES 2\n");
    EXPECT_EQ(tree->getPresetName(1, 1, 1), "Wide");
    EXPECT_EQ(tree->getNbPresets(2, 0), 2) << "the merged Keys holds both pianos";
}

TEST_F(Exchange, ImportTakesAnyProductTagAndSanitisesNames) {
    std::string file = chunk("ABCD", "0107") + chunk("BANK", "../Evil Name") + chunk("NBSB", "01") +
                       chunk("SBNK", "..\\..") + chunk("NBPR", "01") + chunk("PRST", std::string(40, 'x') + "\xE9") +
                       chunk("NBPA", "00") + chunk("NBPT", "00");
    ASSERT_EQ(importFrom(file), 0);
    EXPECT_EQ(tree->getBankName(1), ".._Evil_Name");
    EXPECT_EQ(tree->getSubBankName(1, 0), ".._..");
    EXPECT_EQ(tree->getPresetName(1, 0, 0), std::string(31, 'x'));
    EXPECT_STREQ(tree->getBank(1)->getVersion(), "0107") << "the version comes from the product tag";
    EXPECT_EQ(entries("save/P1"),
              (Entries{"B0/", "B0/I0/", "B0/I0/NomInstrument", "B0/I0/Parametres", "B0/NomBanque", "NomPreset"}));
}

TEST_F(Exchange, BadFilesAreRefusedAndLeaveNothingBehind) {
    std::string head = chunk("VEXA", "0000") + chunk("BANK", "New") + chunk("NBSB", "01") + chunk("SBNK", "S");
    std::string good = head + chunk("NBPR", "01") + pianoChunks();
    struct Case {
        const char* name;
        std::string bytes;
        int result;
    } cases[] = {
        {"truncated", good.substr(0, good.size() - 2), -2},
        {"no presets", head + chunk("NBPR", "00"), -5},
        {"no sub-banks", chunk("VEXA", "0000") + chunk("BANK", "New") + chunk("NBSB", "00"), -5},
        {"negative pairs", head + chunk("NBPR", "01") + chunk("PRST", "P") + chunk("NBPA", "-1"), -5},
        {"huge count", head + chunk("NBPR", "99999999") + pianoChunks(), -2},
        {"huge length", head + chunk("NBPR", "01") + chunk("PRST", "P") + std::string("NBPA\xFF\xF0", 6) + "01", -6},
        {"patch path", head + chunk("NBPR", "01") + chunk("PRST", "P") + chunk("NBPA", "00") + chunk("NBPT", "01") +
                           chunk("PATC", "..\\..\\x") + chunk("NBPA", "00"),
         -1},
        {"patch nine", head + chunk("NBPR", "01") + chunk("PRST", "P") + chunk("NBPA", "00") + chunk("NBPT", "01") +
                           chunk("PATC", "Patch9") + chunk("NBPA", "00"),
         -1},
        {"blank in value", head + chunk("NBPR", "01") + chunk("PRST", "P") + chunk("NBPA", "01") +
                               chunk("PARA", "A") + chunk("PARV", "1\nB 2"),
         -1},
        {"empty", "", -2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(importFrom(c.bytes), c.result) << c.name;
        EXPECT_EQ(tree->getNbBanks(), 1) << c.name;
        EXPECT_FALSE(exists("save/P1")) << c.name;
    }
}

TEST_F(Exchange, ASecondChunkOtherThanBankShowsImportFailed) {
#ifdef _WIN32
    std::string caption;
    dorvane_test::DialogWatcher watcher("Import failed", [&](HWND dialog) {
        caption = dorvane_test::windowText(dialog);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
#else
    nativeShownMessages().clear();
#endif
    EXPECT_EQ(importFrom(chunk("VEXA", "0000") + chunk("NAME", "x") + chunk("NBSB", "01")), -1);
    EXPECT_FALSE(exists("save/P1"));
#ifdef _WIN32
    EXPECT_TRUE(watcher.saw());
    EXPECT_EQ(caption, "Import failed");
#else
    ASSERT_EQ(nativeShownMessages().size(), 1u);
    EXPECT_EQ(nativeShownMessages()[0].caption, "Import failed");
    EXPECT_EQ(nativeShownMessages()[0].text, "Your file seems to be corrupted !");
#endif
}

TEST_F(Exchange, AnImportThatCannotWriteEverythingRemovesWhatItWrote) {
    ASSERT_EQ(exportTo("out.ays", 0, 0, 0, 0), 0);
    // A stray directory without a name file where the new bank goes, with a file in the
    // way of its second sub-bank.
    write("save/P1/B1", "in the way");
    EXPECT_EQ(importFrom(read("out.ays")), -1);
    EXPECT_FALSE(exists("save/P1/B0/NomBanque"));
    EXPECT_FALSE(exists("save/P1/NomPreset"));
    EXPECT_EQ(tree->getNbBanks(), 1);
}

TEST_F(Exchange, ImportRefusesWhenTheDirectoriesAndTheTreeDisagree) {
    addBank(1, "Stranger");
    addSubBank(1, 0, "S");
    addPreset(1, 0, 0, "P");
    ASSERT_EQ(exportTo("out.ays", 2, 0, 0, 0), 0);
    EXPECT_EQ(importFrom(read("out.ays")), -1);
    EXPECT_EQ(read("save/P1/NomPreset"), "Stranger") << "the directory the tree does not show is left alone";
    EXPECT_FALSE(exists("save/P2"));
}

}  // namespace
