// The preset tree on real directories: probing, the merged bank, creating, renaming,
// removing and renumbering, the tree cache, the listeners and the marker files.
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include "dorvane/dorvane_support.h"
#endif

#include "presets/file_io.h"
#include "presets/preset_tree.h"
#include "presets/store_fixture.h"

namespace {

using Entries = std::vector<std::string>;

struct Recorder : PresetTreeListener {
    explicit Recorder(std::vector<std::string>* log, const char* name) : log(log), name(name) {}
    void bankListChanged() override { log->push_back(name + std::string(":banks")); }
    void subBankListChanged() override { log->push_back(name + std::string(":subbanks")); }
    void presetListChanged() override { log->push_back(name + std::string(":presets")); }
    std::vector<std::string>* log;
    const char* name;
};

class Tree : public StoreFixture {
protected:
    std::unique_ptr<PresetTree> makeTree() { return std::make_unique<PresetTree>(&settings); }

    // Names of the tree as "bank/sub-bank/preset" lines, "All" included.
    static std::vector<std::string> names(const PresetTree& tree) {
        std::vector<std::string> lines;
        for (int a = 0; a < tree.getNbBanksWithAll(); a++)
            for (int b = 0; b < tree.getNbSubBanks(a); b++)
                for (int c = 0; c < tree.getNbPresets(a, b); c++)
                    lines.push_back(tree.getBankName(a) + "/" + tree.getSubBankName(a, b) + "/" +
                                    tree.getPresetName(a, b, c));
        return lines;
    }

    void twoBanks() {
        addBank(0, "Factory", true);
        addSubBank(0, 0, "Pads");
        addPreset(0, 0, 0, "Warm");
        addPreset(0, 0, 1, "Wide");
        addBank(1, "Mine");
        addSubBank(1, 0, "Bass");
        addPreset(1, 0, 0, "Deep");
        addSubBank(1, 1, "Pads");
        addPreset(1, 1, 0, "Air");
        addPreset(1, 1, 1, "Cold");
        addPreset(1, 1, 2, "Soft");
    }
};

TEST_F(Tree, ProbingStopsAtTheFirstGapAtEachLevel) {
    addBank(0, "Alpha");
    addSubBank(0, 0, "S0");
    addPreset(0, 0, 0, "P0");
    addPreset(0, 0, 2, "Hidden");
    addSubBank(0, 2, "HiddenSub");
    addBank(1, "My Bank");  // two words: the name is the first
    addSubBank(1, 0, "");   // an empty name file gets the placeholder
    addPreset(1, 0, 0, std::string("Zero\0After", 10));
    addBank(3, "HiddenBank");
    auto tree = makeTree();
    EXPECT_EQ(tree->getNbBanks(), 2);
    EXPECT_EQ(names(*tree), (Entries{"Alpha/S0/P0", "My/SubBank?/Zero", "All/S0/P0", "All/SubBank?/Zero"}));
    EXPECT_TRUE(tree->isUserBank(1));
}

TEST_F(Tree, TheMergedBankJoinsSubBanksOfOneNameInBankOrder) {
    twoBanks();
    auto tree = makeTree();
    EXPECT_EQ(tree->getNbBanks(), 2);
    EXPECT_EQ(tree->getNbBanksWithAll(), 3);
    EXPECT_EQ(tree->getBankName(2), "All");
    EXPECT_EQ(tree->getBankName(3), "Error");
    EXPECT_EQ(tree->getSubBankName(2, 5), "Error");
    EXPECT_EQ(tree->getNbPresets(2, 5), 0);
    EXPECT_EQ(tree->getNbPresets(1, 5), -1);
    EXPECT_EQ(tree->getNbPresets(7, 0), -1);
    EXPECT_FALSE(tree->isUserBank(0));
    EXPECT_FALSE(tree->isUserBank(2));
    EXPECT_EQ(names(*tree), (Entries{"Factory/Pads/Warm", "Factory/Pads/Wide", "Mine/Bass/Deep", "Mine/Pads/Air",
                                     "Mine/Pads/Cold", "Mine/Pads/Soft", "All/Pads/Warm", "All/Pads/Wide",
                                     "All/Pads/Air", "All/Pads/Cold", "All/Pads/Soft", "All/Bass/Deep"}));
    Preset* fourth = tree->getBank(2)->getSubBank(0)->getPreset(3);
    EXPECT_STREQ(fourth->getName(), "Cold");
    EXPECT_EQ(fourth->realBank, 1);
    EXPECT_EQ(fourth->realSubBank, 1);
    EXPECT_EQ(fourth->realPreset, 1);
}

TEST_F(Tree, CreatedPresetsGetUniqueNamesAndSortedDirectories) {
    addBank(0, "Mine");
    addSubBank(0, 0, "Leads");
    addPreset(0, 0, 0, "Lead");
    addPreset(0, 0, 1, "Lead0");
    auto tree = makeTree();
    struct Case {
        const char* given;
        const char* chosen;
    } cases[] = {{"Lead", "Lead1"}, {"", "Default0"}, {"", "Default1"}, {"B", "B"}, {"a", "a"}};
    for (const Case& c : cases) {
        char name[128];
        std::strcpy(name, c.given);
        EXPECT_EQ(tree->createPreset(name, 0, 0), 0) << c.given;
        EXPECT_STREQ(name, c.chosen);
    }
    // Byte order: capitals first.
    const char* order[] = {"B", "Default0", "Default1", "Lead", "Lead0", "Lead1", "a"};
    for (int c = 0; c < 7; c++) {
        EXPECT_EQ(tree->getPresetName(0, 0, c), order[c]);
        EXPECT_EQ(read("save/P0/B0/I" + std::to_string(c) + "/NomInstrument"), order[c]) << "directory = index";
    }
    EXPECT_EQ(read("save/P0/B0/I0/Parametres"), "");
    EXPECT_EQ(entries("save/P0/B0/I0"), (Entries{"NomInstrument", "Parametres"}));
    char none[128] = "x";
    EXPECT_EQ(tree->createPreset(none, 0, 1), -1);
    EXPECT_EQ(tree->createPreset(none, 1, 0), -1) << "not in the merged bank";
}

TEST_F(Tree, ANewBankHoldsOneSubBankWithOnePresetAndListenersHearInnerChangesFirst) {
    addBank(0, "Zeta", true);
    addSubBank(0, 0, "S");
    addPreset(0, 0, 0, "P");
    auto tree = makeTree();
    std::vector<std::string> log;
    Recorder first(&log, "one"), second(&log, "two");
    tree->addListener(&first);
    tree->addListener(&second);
    char bank[128] = "Alpha", subBank[128] = "Keys", preset[128] = "";
    ASSERT_EQ(tree->createBank(bank, subBank, preset), 0);
    EXPECT_STREQ(preset, "Default0");
    EXPECT_EQ(log, (Entries{"one:presets", "two:presets", "one:subbanks", "two:subbanks", "one:banks", "two:banks"}));
    // Factory banks first: the user bank Alpha goes after Zeta.
    EXPECT_EQ(names(*tree), (Entries{"Zeta/S/P", "Alpha/Keys/Default0", "All/S/P", "All/Keys/Default0"}));
    EXPECT_EQ(entries("save/P1"),
              (Entries{"B0/", "B0/I0/", "B0/I0/NomInstrument", "B0/I0/Parametres", "B0/NomBanque", "NomPreset"}));
    EXPECT_EQ(read("save/P1/NomPreset"), "Alpha");
    tree->removeListener(&first);
    log.clear();
    char again[128] = "Alpha";
    std::strcpy(subBank, "Keys");
    std::strcpy(preset, "Piano");
    ASSERT_EQ(tree->createBank(again, subBank, preset), 0);
    EXPECT_STREQ(again, "Alpha0");
    EXPECT_EQ(log, (Entries{"two:presets", "two:subbanks", "two:banks"}));
}

TEST_F(Tree, BankOrderPutsFactoryBanksFirstThenNames) {
    struct Case {
        const char* first;
        bool firstFactory;
        const char* second;
        bool secondFactory;
        Entries order;
    } cases[] = {
        {"Zeta", true, "Alpha", false, {"Zeta", "Alpha"}},
        {"Alpha", true, "Zeta", false, {"Alpha", "Zeta"}},
        {"Zeta", false, "Alpha", true, {"Alpha", "Zeta"}},
        {"Zeta", false, "Alpha", false, {"Alpha", "Zeta"}},
        {"Alpha", false, "Zeta", true, {"Zeta", "Alpha"}},  // a strict order: factory first whatever the names
    };
    for (const Case& c : cases) {
        remove("save");
        write("save/controlMidi", "");
        addBank(0, c.first, c.firstFactory);
        addSubBank(0, 0, "S");
        addPreset(0, 0, 0, "P");
        addBank(1, c.second, c.secondFactory);
        addSubBank(1, 0, "S");
        addPreset(1, 0, 0, "P");
        auto tree = makeTree();
        ASSERT_EQ(tree->sortBanks(), 0);
        EXPECT_EQ((Entries{tree->getBankName(0), tree->getBankName(1)}), c.order) << c.first << " " << c.second;
        EXPECT_EQ(read("save/P0/NomPreset").substr(0, c.order[0].size()), c.order[0]);
    }
}

TEST_F(Tree, RenamingRewritesTheNameFileAndRenumbers) {
    addBank(0, "Old", true);
    addSubBank(0, 0, "A");
    addPreset(0, 0, 0, "a");
    addPreset(0, 0, 1, "b");
    addPreset(0, 0, 2, "c");
    write("save/P0/B0/I0/Patch1", "X 1\n");
    auto tree = makeTree();
    ASSERT_EQ(tree->renameBank("Strings", 0), 0);
    EXPECT_EQ(read("save/P0/NomPreset"), std::string("Strings FACTORY\0", 16));
    ASSERT_EQ(tree->renamePreset("z", 0, 0, 0), 0);
    EXPECT_EQ(read("save/P0/B0/I2/NomInstrument"), std::string("z\0", 2));
    EXPECT_EQ(read("save/P0/B0/I2/Patch1"), "X 1\n") << "the preset's files moved with it";
    EXPECT_EQ(read("save/P0/B0/I0/NomInstrument"), "b");
    EXPECT_EQ(tree->renamePreset(std::string(256, 'n').c_str(), 0, 0, 0), -1);
    EXPECT_EQ(read("save/P0/B0/I0/NomInstrument"), "b") << "a refused name is not written either";
    EXPECT_EQ(tree->renameSubBank("B", 0, 0), 0);
    EXPECT_EQ(read("save/P0/B0/NomBanque"), std::string("B\0", 2));
    EXPECT_EQ(tree->renameBank("X", 1), -1);

    // Reading back: a factory bank named Strings.
    tree.reset();
    auto again = makeTree();
    EXPECT_EQ(again->getBankName(0), "Strings");
    EXPECT_FALSE(again->isUserBank(0));
}

TEST_F(Tree, RemovingCloseTheGapsAndOnlyAfterTheDirectoryIsGone) {
    for (int a = 0; a < 3; a++) {
        addBank(a, "Bank" + std::to_string(a));
        addSubBank(a, 0, "S");
        addPreset(a, 0, 0, "P" + std::to_string(a));
    }
    addPreset(2, 0, 1, "Q");
    auto tree = makeTree();
    std::vector<std::string> log;
    Recorder recorder(&log, "r");
    tree->addListener(&recorder);
    ASSERT_EQ(tree->removeBank(0), 0);
    EXPECT_EQ(read("save/P0/NomPreset"), "Bank1");
    EXPECT_EQ(read("save/P1/NomPreset"), "Bank2");
    EXPECT_FALSE(exists("save/P2"));
    EXPECT_EQ(tree->getNbBanks(), 2);
    ASSERT_EQ(tree->removePreset(1, 0, 0), 0);
    EXPECT_EQ(read("save/P1/B0/I0/NomInstrument"), "Q");
    EXPECT_FALSE(exists("save/P1/B0/I1"));
    EXPECT_EQ(log, (Entries{"r:banks", "r:presets"}));
    EXPECT_EQ(tree->removePreset(1, 0, 5), -1);
    EXPECT_EQ(tree->removeSubBank(2, 0), -1) << "the merged bank has no directories";

    // A removal that cannot take the directory away changes neither the tree nor the files.
    write("save/P0/B0/tmp~I0", "");
    EXPECT_NE(tree->removePreset(0, 0, 0), 0);
    EXPECT_EQ(tree->getNbPresets(0, 0), 1) << "the tree changes only when the directory is gone";
    EXPECT_EQ(read("save/P0/B0/I0/NomInstrument"), "P1") << "its name file stays, so probing still sees it";
    write("save/tmp~P1", "");
    EXPECT_NE(tree->removeBank(1), 0);
    EXPECT_EQ(tree->getNbBanks(), 2);
    EXPECT_EQ(read("save/P1/NomPreset"), "Bank2");
}

TEST_F(Tree, AFailedRenumberingReloadsTheTreeFromTheDirectories) {
    addBank(0, "Mine");
    addSubBank(0, 0, "S");
    addPreset(0, 0, 0, "b");
    addPreset(0, 0, 1, "c");
    auto tree = makeTree();
    // A directory in the way of the first renaming step.
    makeDir("save/P0/B0/0");
    std::vector<std::string> log;
    Recorder recorder(&log, "r");
    tree->addListener(&recorder);
    char name[128] = "a";
    EXPECT_NE(tree->createPreset(name, 0, 0), 0);
    EXPECT_EQ(names(*tree), (Entries{"Mine/S/b", "Mine/S/c", "Mine/S/a", "All/S/b", "All/S/c", "All/S/a"}))
        << "the tree shows what the directories hold";
    EXPECT_EQ(log, (Entries{"r:banks", "r:subbanks", "r:presets"}));
}

TEST_F(Tree, TheCacheIsWrittenWhenBuiltAndReadOnlyAfterACleanSession) {
    twoBanks();
    std::string expected = chunk("VEXA", "0000") + chunk("NBBK", "02") + chunk("BANK", "Factory") +
                           chunk("TYPE", "FACTORY") + chunk("NBSB", "01") + chunk("SBNK", "Pads") +
                           chunk("NBPR", "02") + chunk("PRST", "Warm") + chunk("PRST", "Wide") +
                           chunk("BANK", "Mine") + chunk("TYPE", "USER") + chunk("NBSB", "02") +
                           chunk("SBNK", "Bass") + chunk("NBPR", "01") + chunk("PRST", "Deep") +
                           chunk("SBNK", "Pads") + chunk("NBPR", "03") + chunk("PRST", "Air") +
                           chunk("PRST", "Cold") + chunk("PRST", "Soft");
    auto tree = makeTree();
    EXPECT_EQ(read("wqnt.dat"), expected);
    tree.reset();
    EXPECT_EQ(read("wqnt.dat"), expected) << "written anew at the end";
    EXPECT_FALSE(exists("session.dat")) << "only with exactly one running marker";

    // With "session.dat" the cache is read, not the directories.
    write("wqnt.dat", chunk("VEXA", "0107") + chunk("NBBK", "01") + chunk("BANK", "Cached") + chunk("TYPE", "USER") +
                          chunk("NBSB", "01") + chunk("SBNK", "S") + chunk("NBPR", "01") + chunk("PRST", "P"));
    write("session.dat", "");
    tree = makeTree();
    EXPECT_EQ(names(*tree), (Entries{"Cached/S/P", "All/S/P"}));
    EXPECT_STREQ(tree->getVersion(), "0107");
    EXPECT_FALSE(exists("session.dat"));
    tree.reset();

    // Without it the cache is removed and the directories probed.
    write("wqnt.dat", "anything");
    tree = makeTree();
    EXPECT_EQ(tree->getBankName(0), "Factory");
    EXPECT_EQ(read("wqnt.dat"), expected);
}

TEST_F(Tree, ADamagedCacheFallsBackToProbing) {
    addBank(0, "Real");
    addSubBank(0, 0, "S");
    addPreset(0, 0, 0, "P");
    std::string good = chunk("VEXA", "0000") + chunk("NBBK", "01") + chunk("BANK", "Cached") + chunk("TYPE", "USER") +
                       chunk("NBSB", "01") + chunk("SBNK", "S") + chunk("NBPR", "01") + chunk("PRST", "P");
    const std::string damaged[] = {good.substr(0, good.size() - 3), chunk("VEXA", "0000") + chunk("NBBK", "00"),
                                   chunk("VEXA", "0000") + chunk("NBBK", "01") + chunk("BANK", "B") +
                                       chunk("TYPE", "USER") + chunk("NBSB", "-1"),
                                   std::string("VEXA\x7F\xFF", 6)};
    for (const std::string& cache : damaged) {
        write("wqnt.dat", cache);
        write("session.dat", "");
        auto tree = makeTree();
        EXPECT_EQ(names(*tree), (Entries{"Real/S/P", "All/S/P"}));
    }
}

TEST_F(Tree, RunningMarkersNumberInstancesAndMarkTheOthers) {
    addBank(0, "B");
    addSubBank(0, 0, "S");
    addPreset(0, 0, 0, "P");
    write("running1", "");
    write("running2", "");
    write("runnin", "");
    auto tree = makeTree();
    EXPECT_EQ(tree->countRunningInstances(), 2);
    EXPECT_EQ(tree->getInstanceNumber(), 3);
    char name[128] = "Q";
    ASSERT_EQ(tree->createPreset(name, 0, 0), 0);
    EXPECT_TRUE(exists("modified1"));
    EXPECT_TRUE(exists("modified2"));
    EXPECT_FALSE(exists("modified3"));

    // Another process changed the directories and marked this instance.
    addPreset(0, 0, 2, "R");
    write("modified3", "");
    std::vector<std::string> log;
    Recorder recorder(&log, "r");
    tree->addListener(&recorder);
    tree->reloadIfModified();
    EXPECT_EQ(tree->getNbPresets(0, 0), 3);
    EXPECT_FALSE(exists("modified3"));
    EXPECT_EQ(log, (Entries{"r:banks", "r:subbanks", "r:presets"}));
    log.clear();
    tree->reloadIfModified();
    EXPECT_TRUE(log.empty()) << "no marker, no reload";

    remove("running2");
    tree.reset();
    EXPECT_TRUE(exists("session.dat")) << "one running marker at the end";
}

TEST_F(Tree, TheRepairScanRestoresTheLayoutAndCreatesOnlyMissingFiles) {
    write("save/stray.txt", "x");
    write("save/P2/NomPreset", "Two");
    write("save/P2/B0/NomBanque", "S");
    write("save/P2/B0/I0/NomInstrument", "Kept");
    write("save/P2/B0/I0/Parametres", "KEY 1\n");
    write("save/P2/B0/I0/patch3", "");
    write("save/P2/B0/I0/junk", "");
    makeDir("save/P2/B0/I0/sub");
    write("save/P7/NomPreset", "Seven");
    write("save/P7/B3/NomBanque", "Only");
    write("save/P7/B3/I0/NomInstrument", "Alone");
    makeDir("save/Px");
    auto tree = makeTree();
    EXPECT_EQ(tree->scanSaveDir(), 0);
    EXPECT_EQ(entries("save"),
              (Entries{"P0/", "P0/B0/", "P0/B0/I0/", "P0/B0/I0/NomInstrument", "P0/B0/I0/Parametres",
                       "P0/B0/I0/patch3", "P0/B0/NomBanque", "P0/NomPreset", "P1/", "P1/B0/", "P1/B0/I0/",
                       "P1/B0/I0/NomInstrument", "P1/B0/I0/Parametres", "P1/B0/I0/Patch1", "P1/B0/NomBanque",
                       "P1/NomPreset", "controlMidi"}));
    EXPECT_EQ(read("save/P0/B0/I0/NomInstrument"), "Kept");
    EXPECT_EQ(read("save/P0/B0/I0/Parametres"), "KEY 1\n") << "a preset's parameters are never emptied";
    EXPECT_EQ(read("save/P1/NomPreset"), "Seven");
    EXPECT_EQ(read("save/P1/B0/I0/NomInstrument"), "Alone");
    EXPECT_EQ(read("save/P1/B0/I0/Parametres"), "");
}

TEST_F(Tree, TheRepairScanFillsAnEmptySaveDirectoryAndFinishesARenumbering) {
    auto tree = makeTree();
    remove("save/controlMidi");
    tree->scanSaveDir();
    EXPECT_EQ(entries("save"), (Entries{"P0/", "P0/B0/", "P0/B0/I0/", "P0/B0/I0/NomInstrument", "P0/B0/I0/Parametres",
                                        "P0/B0/I0/Patch1", "P0/B0/NomBanque", "P0/NomPreset", "controlMidi"}));
    EXPECT_EQ(read("save/P0/NomPreset"), "Default_Bank");
    EXPECT_EQ(read("save/P0/B0/NomBanque"), "Default_SubBank");
    EXPECT_EQ(read("save/P0/B0/I0/NomInstrument"), "Default_Preset");

    // Interrupted between the two steps: P1 went to the bare number 0 and P0 to 1.
    remove("save");
    write("save/controlMidi", "");
    for (const char* dir : {"save/0", "save/1"}) {
        write(std::string(dir) + "/NomPreset", dir);
        write(std::string(dir) + "/B0/NomBanque", "S");
        write(std::string(dir) + "/B0/I0/NomInstrument", "P");
        write(std::string(dir) + "/B0/I0/Parametres", "");
        write(std::string(dir) + "/B0/I0/Patch1", "");
    }
    tree->scanSaveDir();
    EXPECT_EQ(read("save/P0/NomPreset"), "save/0");
    EXPECT_EQ(read("save/P1/NomPreset"), "save/1");
    EXPECT_FALSE(exists("save/0"));
}

TEST_F(Tree, WithoutAnInstallationTheTreeStaysEmptyAndTouchesNothing) {
    addBank(0, "B");
    addSubBank(0, 0, "S");
    addPreset(0, 0, 0, "P");
    unregister();
#ifdef _WIN32
    // No message box either: a watcher closes any that appears and says so.
    std::atomic<bool> boxShown{false};
    std::thread watcher([&] {
        if (HWND box = dorvane_test::waitForDialog("Alert", nullptr, 3000)) {
            boxShown = true;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    });
#endif
    auto tree = makeTree();
    EXPECT_EQ(tree->getNbBanks(), 0);
    EXPECT_EQ(tree->getBankName(0), "All");
    EXPECT_EQ(tree->getNbSubBanks(0), 0);
    EXPECT_EQ(tree->countRunningInstances(), 0);
    EXPECT_EQ(tree->scanSaveDir(), 0);
    tree.reset();
    reregister();
    EXPECT_FALSE(exists("wqnt.dat"));
    EXPECT_FALSE(exists("session.dat"));
#ifdef _WIN32
    watcher.join();
    EXPECT_FALSE(boxShown);
#endif
}

TEST_F(Tree, PresetFilesOpenForReadingAndWriting) {
    addBank(0, "B");
    addSubBank(0, 0, "S");
    addPreset(0, 0, 0, "P", "OLD 1\n");
    auto tree = makeTree();
    std::unique_ptr<CCPFileIO> file(tree->openParamsForWrite(0, 0, 0));
    ASSERT_NE(file, nullptr);
    file->write("NEW 2\n", 1, 6);
    EXPECT_EQ(read("save/P0/B0/I0/Parametres"), "OLD 1\n");
    EXPECT_EQ(file->close(), 0);
    EXPECT_EQ(read("save/P0/B0/I0/Parametres"), "NEW 2\n");
    file.reset(tree->openPatchForRead(0, 0, 0, 1));
    EXPECT_EQ(file, nullptr);
    file.reset(tree->openPatchForWrite(0, 0, 0, 1));
    ASSERT_NE(file, nullptr);
    file->close();
    file.reset(tree->openPatchForRead(0, 0, 0, 1));
    EXPECT_NE(file, nullptr);
    file->close();
    file.reset(tree->openParamsForRead(0, 0, 9));
    EXPECT_EQ(file, nullptr);
}

}  // namespace
