// The preset bar in the real editor window, on a copy of the factory installation, driven by
// real mouse and keyboard input: its menus browse, store, create and delete, its fields
// rename (and say why a name is refused), export and import go through the Dorvane dialogs,
// and the files on disk change as the preset operations say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/halvorn.h"
#include "dorvane/dorvane_support.h"
#include "editor/editor_window.h"
#include "editor/halvorn_edit.h"
#include "editor/vexa_bar.h"
#include "editor/vexa_interface.h"
#include "editor/vexa_panel.h"
#include "host/in_process.h"
#include "host/test_host.h"
#include "toolkit/aframe.h"

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new HalvornEdit(effect); }

namespace {

using dorvane_test::DialogWatcher;

// The heights the host was asked to give the editor's window.
std::vector<int> sizeRequests;

VstIntPtr VSTCALLBACK sizingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr value, void*, float) {
    if (opcode == audioMasterSizeWindow) sizeRequests.push_back((int)value);
    return opcode == audioMasterVersion ? 2400 : opcode == audioMasterSizeWindow ? 1 : 0;
}

// The bar lies at the window's corner, which lies at the desktop's.
void click(int x, int y) {
    mouseInputAt(x, y);
    mouseInputAt(x, y, MOUSEEVENTF_LEFTDOWN);
    mouseInputAt(x, y, MOUSEEVENTF_LEFTUP);
}

// Characters as the keyboard sends them, whatever the layout the X server has.
void type(const std::string& text) {
    for (char c : text) {
        INPUT input[2] = {};
        for (int i = 0; i < 2; i++) {
            input[i].type = INPUT_KEYBOARD;
            input[i].ki.wScan = (unsigned char)c;
            input[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
        }
        SendInput(2, input, sizeof(INPUT));
        Sleep(kInputStepMs / 4);
    }
}

// A name file's name: its first word, up to the terminator the tree writes after it.
std::string firstWord(const std::string& path) {
    std::string text = readFile(path);
    std::istringstream in(text.substr(0, text.find('\0')));
    std::string word;
    in >> word;
    return word;
}

std::string dir(int bank, int subBank = -1, int preset = -1) {
    std::string path = "save\\P" + std::to_string(bank);
    if (subBank >= 0) path += "\\B" + std::to_string(subBank);
    if (preset >= 0) path += "\\I" + std::to_string(preset);
    return path;
}

// The entry positions of a path of texts through a menu and its submenus.
std::vector<long> entryPath(COptionMenu* menu, const std::vector<std::string>& texts) {
    std::vector<long> positions;
    for (const std::string& text : texts) {
        long found = -1;
        for (long i = 0; menu && i < menu->getNbEntries(); i++)
            if (text == menu->getEntryText(i)) found = i;
        positions.push_back(found);
        menu = found >= 0 ? menu->getSubMenu(found) : nullptr;
    }
    return positions;
}

// The keys that walk a pop-up menu to entry positions: Down from the top lights the first
// entry that can be chosen, separators are stepped over, Right opens a submenu on its first.
std::vector<WORD> keysFor(COptionMenu* menu, const std::vector<long>& positions) {
    std::vector<WORD> keys;
    for (size_t level = 0; level < positions.size(); level++) {
        keys.push_back(level == 0 ? VK_DOWN : VK_RIGHT);
        for (long i = 0; i < positions[level]; i++)
            if (std::strcmp(menu->getEntryText(i), "-") != 0) keys.push_back(VK_DOWN);
        menu = menu->getSubMenu(positions[level]);
    }
    keys.push_back(VK_RETURN);
    return keys;
}

// Adds a window's text to the string, for the texts of a dialog's controls.
BOOL CALLBACK appendText(HWND child, LPARAM text) {
    *reinterpret_cast<std::string*>(text) += " " + dorvane_test::windowText(child);
    return TRUE;
}

int centreX(const CRect& r) { return (int)(r.left + r.right) / 2; }
int centreY(const CRect& r) { return (int)(r.top + r.bottom) / 2; }

class Bar : public ::testing::Test {
protected:
    void SetUp() override {
        sizeRequests.clear();
        synth.reset(new Halvorn(sizingHost));
        ASSERT_FALSE(synth->creationFailed());
        editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->open(parent.handle()));
        for (int i = 0; i < 4; i++) idle();
        bar = editor->getPresetBar();
        ASSERT_NE(bar, nullptr);
        vexa = static_cast<VexaInterface*>(editor->getInstrumentInterface());
        settleIdle(200);
    }
    void TearDown() override {
        editor->close();
        synth.reset();
    }
    void idle() {
        pumpMessages();
        editor->idle();
    }
    void settleIdle(int milliseconds) {
        tickFor(milliseconds, [this] { idle(); });
    }
    void play(const std::function<void()>& gesture) {
        playGesture(gesture, [this] { idle(); });
        settleIdle(300);
    }
    CControl* control(long tag) { return bar->getControl(tag); }
    void clickControl(long tag) {
        CControl* c = control(tag);
        ASSERT_NE(c, nullptr) << tag;
        CRect r = c->getViewSize();
        play([&] { click(centreX(r), centreY(r)); });
    }
    // Opens the menu of the tag with a click and walks it to the entry of the texts.
    void choose(long tag, const std::vector<std::string>& texts) {
        COptionMenu* menu = dynamic_cast<COptionMenu*>(control(tag));
        ASSERT_NE(menu, nullptr) << tag;
        std::vector<long> positions = entryPath(menu, texts);
        for (size_t i = 0; i < positions.size(); i++) ASSERT_GE(positions[i], 0) << texts[i] << " in menu " << tag;
        std::vector<WORD> keys = keysFor(menu, positions);
        // At the corner: the menu pops up there, and the release must not land on an entry.
        CRect r = menu->getViewSize();
        play([&] {
            click((int)r.left, (int)r.top);
            ASSERT_TRUE(waitForPopupMenu());
            for (WORD k : keys) keyStroke(k);
        });
        EXPECT_FALSE(popupMenuShown());
    }
    // The store button in a factory bank pops the store menu up: walk it likewise.
    void storeThroughMenu(const std::vector<std::string>& texts) {
        COptionMenu* menu = dynamic_cast<COptionMenu*>(control(VexaBar::kStoreMenu));
        ASSERT_NE(menu, nullptr);
        std::vector<long> positions = entryPath(menu, texts);
        for (size_t i = 0; i < positions.size(); i++) ASSERT_GE(positions[i], 0) << texts[i];
        std::vector<WORD> keys = keysFor(menu, positions);
        CRect r = control(VexaBar::kStore)->getViewSize();
        play([&] {
            click(centreX(r), centreY(r));
            ASSERT_TRUE(waitForPopupMenu());
            for (WORD k : keys) keyStroke(k);
        });
    }
    void typeInto(long tag, const std::string& text) {
        CRect r = control(tag)->getViewSize();
        play([&] {
            click(centreX(r), centreY(r));
            type(text);
            keyStroke(VK_RETURN);
        });
    }
    std::string field(long tag) { return static_cast<CTextEdit*>(control(tag))->getText(); }
    std::string currentName() {
        char name[32];
        vexa->getPresetName(name, vexa->getPresetIndex(), vexa->getBankIndex(), vexa->getSubBankIndex());
        return name;
    }
    // Marks the preset edited as a knob does: a parameter change reported to the editor.
    void edit() {
        synth->setParameterAutomated(5, synth->getParameter(5) > 0.5f ? 0.2f : 0.8f);
        settleIdle(50);
    }
    int userBank() {
        for (int b = 0; b < vexa->getNbBanks(); b++)
            if (vexa->isUserBank(b)) return b;
        return -1;
    }
    // From the factory bank, the store menu's "New bank ..." makes the first user bank.
    int makeUserBank() {
        storeThroughMenu({"New bank ..."});
        return userBank();
    }

    TestInstall install;
    ParentWindow parent;
    std::unique_ptr<Halvorn> synth;
    HalvornEdit* editor = nullptr;
    VexaBar* bar = nullptr;
    VexaInterface* vexa = nullptr;
};

// ---------------------------------------------------------------- names

TEST(BarNames, TheNameCheckTakesLettersDigitsAndSevenSigns) {
    struct Case {
        const char* name;
        bool valid;
    } cases[] = {
        {"Bass_2", true},
        {"A(1)+b.c-d&e", true},
        {"x", true},
        {"abcdefghijklmnopqrstuvwxyz01234", true},  // 31
        {"abcdefghijklmnopqrstuvwxyz012345", false},  // 32
        {"abcdefghijklmnopqrstuvwxyz0123456789", false},
        {"", false},
        {"Bass 2", false},
        {"Bass/2", false},
        {"Bass\\2", false},
        {"Bass*", false},
        {"Caf\xe9", false},
        {nullptr, false},
    };
    for (const Case& c : cases) EXPECT_EQ(VexaBar::isValidName(c.name), c.valid) << (c.name ? c.name : "null");
}

// ---------------------------------------------------------------- browsing

TEST_F(Bar, TheMenusBrowseBanksSubBanksAndPresets) {
    ASSERT_EQ(vexa->getNbBanks(), 2) << "the factory bank and the merged one";
    choose(VexaBar::kBankMenu, {"Factory", "Keys", "Clavichord"});
    char name[32];
    vexa->getSubBankName(name, vexa->getSubBankIndex(), vexa->getBankIndex());
    EXPECT_STREQ(name, "Keys");
    EXPECT_EQ(currentName(), "Clavichord");
    EXPECT_EQ(field(VexaBar::kBankName), "Factory");
    EXPECT_EQ(field(VexaBar::kSubBankName), "Keys");
    EXPECT_EQ(field(VexaBar::kPresetName), "Clavichord");
    // The shown menus are the current bank's and sub-bank's, each checking its current entry.
    COptionMenu* presets = dynamic_cast<COptionMenu*>(control(VexaBar::kPresetMenu));
    ASSERT_NE(presets, nullptr);
    EXPECT_STREQ(presets->getEntryText(vexa->getPresetIndex()), "Clavichord");
    EXPECT_TRUE(presets->isCheckEntry(vexa->getPresetIndex()));
    COptionMenu* banks = dynamic_cast<COptionMenu*>(control(VexaBar::kBankMenu));
    EXPECT_TRUE(banks->isCheckEntry(0));
    EXPECT_EQ(std::string(banks->getEntryText(1)), "-") << "before the merged bank";
    EXPECT_EQ(std::string(banks->getEntryText(2)), "All");

    choose(VexaBar::kSubBankMenu, {"Organs", "Organ_&_Strings"});
    EXPECT_EQ(field(VexaBar::kSubBankName), "Organs");
    EXPECT_EQ(field(VexaBar::kPresetName), "Organ_&_Strings");
    choose(VexaBar::kPresetMenu, {"Organ"});
    EXPECT_EQ(currentName(), "Organ");

    // The merged bank holds the factory's sub-banks.
    choose(VexaBar::kBankMenu, {"All", "Funky", "Funky_Sweep"});
    EXPECT_EQ(vexa->getBankIndex(), 1);
    EXPECT_EQ(field(VexaBar::kBankName), "All");
    EXPECT_EQ(field(VexaBar::kPresetName), "Funky_Sweep");

    // The current preset chosen again loads nothing: an edit's mark stays.
    edit();
    ASSERT_EQ(field(VexaBar::kPresetName), "* Funky_Sweep");
    choose(VexaBar::kPresetMenu, {"Funky_Sweep"});
    EXPECT_TRUE(bar->isModified());
    EXPECT_EQ(field(VexaBar::kPresetName), "* Funky_Sweep");
    choose(VexaBar::kPresetMenu, {"Funky_Lead"});
    EXPECT_FALSE(bar->isModified()) << "another preset was loaded";
    EXPECT_EQ(field(VexaBar::kPresetName), "Funky_Lead");
}

TEST_F(Bar, PreviousAndNextStepWithinTheSubBankWithoutWrapping) {
    choose(VexaBar::kBankMenu, {"Factory", "Keys", "Clavi_&_Harpsi"});
    const int count = vexa->getCurrentNbPresets();
    ASSERT_EQ(count, 4);
    ASSERT_EQ(vexa->getPresetIndex(), 0) << "sorted by name";
    edit();
    clickControl(VexaBar::kPreviousPreset);
    EXPECT_EQ(vexa->getPresetIndex(), 0);
    EXPECT_TRUE(bar->isModified()) << "a step that goes nowhere keeps the mark";
    for (int i = 1; i < count; i++) {
        clickControl(VexaBar::kNextPreset);
        EXPECT_EQ(vexa->getPresetIndex(), i);
        EXPECT_EQ(field(VexaBar::kPresetName), currentName());
    }
    EXPECT_FALSE(bar->isModified());
    edit();
    clickControl(VexaBar::kNextPreset);
    EXPECT_EQ(vexa->getPresetIndex(), count - 1) << "no wrap at the end";
    EXPECT_TRUE(bar->isModified());
    clickControl(VexaBar::kPreviousPreset);
    EXPECT_EQ(vexa->getPresetIndex(), count - 2);
    EXPECT_FALSE(bar->isModified());
}

// A load's own parameter changes reach the bar at the idle after it; an edit made before
// that idle, by the user or by the host, still marks the preset.
TEST_F(Bar, AnEditJustAfterALoadMarksThePreset) {
    choose(VexaBar::kBankMenu, {"Factory", "Keys", "Clavi_&_Harpsi"});
    ASSERT_EQ(vexa->getPresetIndex(), 0);
    // The other of two values, so that the edit changes what the load left.
    auto other = [this](int index) { return synth->getParameter(index) > 0.5f ? 0.2f : 0.8f; };
    struct Case {
        const char* edit;
        std::function<void()> change;
        bool marked;
    };
    const Case cases[] = {
        {"none", [] {}, false},
        {"a knob of the face", [&] { vexa->setParameter(5, other(5)); }, true},
        {"the host's automation", [&] { synth->setParameterAutomated(7, other(7)); }, true},
    };
    CControl* next = control(VexaBar::kNextPreset);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit);
        const int preset = vexa->getPresetIndex();
        // The next button's press, then the edit before any idle.
        next->setValue(1.f);
        bar->valueChanged(nullptr, next);
        next->setValue(0.f);
        ASSERT_EQ(vexa->getPresetIndex(), preset + 1);
        c.change();
        settleIdle(50);
        EXPECT_EQ(bar->isModified(), c.marked);
        EXPECT_EQ(field(VexaBar::kPresetName), (c.marked ? "* " : "") + currentName());
    }
}

TEST_F(Bar, AProgramChangeFromMidiShowsTheNewPresetAndDropsTheMark) {
    choose(VexaBar::kBankMenu, {"Factory", "Keys", "Clavichord"});
    edit();
    ASSERT_EQ(field(VexaBar::kPresetName), "* Clavichord");
    sendMidiMessage(*synth, 0xC0, 2);
    renderBlocks(*synth, 1);
    ASSERT_EQ(vexa->getPresetIndex(), 2);
    settleIdle(100);
    EXPECT_FALSE(bar->isModified());
    EXPECT_EQ(field(VexaBar::kPresetName), currentName());
    EXPECT_NE(currentName(), "Clavichord");
    COptionMenu* presets = dynamic_cast<COptionMenu*>(control(VexaBar::kPresetMenu));
    EXPECT_TRUE(presets->isCheckEntry(2));
    EXPECT_FALSE(presets->isCheckEntry(0));
}

// ---------------------------------------------------------------- storing

TEST_F(Bar, InTheFactoryBankTheStoreButtonOpensTheStoreMenuWhoseNewBankTakesTheSound) {
    ASSERT_EQ(userBank(), -1);
    // The delay switch, clicked: the parameter turns over and the preset is marked.
    const float delay = synth->getParameter(2043);
    clickControl(VexaBar::kDelay);
    EXPECT_EQ(synth->getParameter(2043) > 0.5f, !(delay > 0.5f));
    EXPECT_TRUE(bar->isModified());
    EXPECT_EQ(field(VexaBar::kPresetName).substr(0, 2), "* ");

    const int bank = makeUserBank();
    ASSERT_EQ(bank, 1) << "after the factory bank";
    EXPECT_EQ(vexa->getBankIndex(), bank);
    EXPECT_FALSE(bar->isModified());
    EXPECT_EQ(field(VexaBar::kPresetName), currentName());
    EXPECT_EQ(firstWord(install.path(dir(1) + "\\NomPreset")), field(VexaBar::kBankName));
    EXPECT_TRUE(install.exists(dir(1, 0, 0) + "\\Parametres"));
    EXPECT_FALSE(install.exists(dir(1, 1)));

    // In a user bank the button stores over the current preset.
    const std::string params = dir(1, 0, 0) + "\\Parametres";
    const std::string before = readFile(install.path(params));
    clickControl(VexaBar::kDelay);
    EXPECT_TRUE(bar->isModified());
    clickControl(VexaBar::kStore);
    EXPECT_FALSE(popupMenuShown());
    EXPECT_FALSE(bar->isModified());
    EXPECT_EQ(field(VexaBar::kPresetName), currentName()) << "the mark is gone after a store";
    EXPECT_NE(readFile(install.path(params)), before);
}

TEST_F(Bar, TheStoreMenuStoresAsNewPresetNewSubBankOrOverAPreset) {
    const int bank = makeUserBank();
    ASSERT_GE(bank, 0);
    char bankName[32], subBankName[32], presetName[32];
    vexa->getBankName(bankName, bank);
    vexa->getSubBankName(subBankName, 0, bank);
    vexa->getPresetName(presetName, 0, bank, 0);

    // In a user bank the store button saves: the store menu is opened itself.
    edit();
    choose(VexaBar::kStoreMenu, {bankName, subBankName, "New preset ..."});
    EXPECT_EQ(vexa->getNbPresets(bank, 0), 2);
    EXPECT_TRUE(install.exists(dir(bank, 0, 1) + "\\NomInstrument"));
    EXPECT_FALSE(bar->isModified());

    edit();
    choose(VexaBar::kStoreMenu, {bankName, "New subbank ..."});
    EXPECT_EQ(vexa->getNbSubBanks(bank), 2);
    EXPECT_TRUE(install.exists(dir(bank, 1, 0) + "\\NomInstrument"));
    EXPECT_EQ(vexa->getBankIndex(), bank);

    // Over an existing preset: its files take the current sound, no preset is added.
    synth->setParameterAutomated(5, 0.123f);
    settleIdle(50);
    choose(VexaBar::kStoreMenu, {bankName, subBankName, presetName});
    EXPECT_EQ(vexa->getNbPresets(bank, 0), 2);
    EXPECT_EQ(currentName(), presetName);
    EXPECT_FLOAT_EQ(synth->getParameter(5), 0.123f) << "the sound stays";
    vexa->selectBank(bank, 1, 0);
    vexa->selectBank(bank, 0, 0);
    EXPECT_NEAR(synth->getParameter(5), 0.123f, 1e-4f) << "stored and read back";
}

// ---------------------------------------------------------------- creating and deleting

TEST_F(Bar, TheTreeMenusCreateAndDeleteBanksSubBanksAndPresets) {
    // With no user bank yet the bank menu's "New bank ..." still makes one.
    choose(VexaBar::kBankMenu, {"New bank ..."});
    const int bank = userBank();
    ASSERT_EQ(bank, 1);
    EXPECT_TRUE(install.exists(dir(1) + "\\NomPreset"));

    choose(VexaBar::kPresetMenu, {"New preset ..."});
    EXPECT_EQ(vexa->getNbPresets(bank, 0), 2);
    EXPECT_TRUE(install.exists(dir(bank, 0, 1)));
    char name[32];
    vexa->getPresetName(name, vexa->getPresetIndex(), bank, 0);
    const std::string doomed = name;
    choose(VexaBar::kPresetMenu, {"Delete preset \"" + doomed + "\""});
    EXPECT_EQ(vexa->getNbPresets(bank, 0), 1);
    EXPECT_FALSE(install.exists(dir(bank, 0, 1)));
    COptionMenu* presets = dynamic_cast<COptionMenu*>(control(VexaBar::kPresetMenu));
    EXPECT_EQ(entryPath(presets, {"Delete preset \"" + currentName() + "\""})[0], -1)
        << "the last preset cannot go";

    choose(VexaBar::kSubBankMenu, {"New subbank ..."});
    EXPECT_EQ(vexa->getNbSubBanks(bank), 2);
    EXPECT_TRUE(install.exists(dir(bank, 1)));
    vexa->getSubBankName(name, vexa->getSubBankIndex(), bank);
    choose(VexaBar::kSubBankMenu, {std::string("Delete sub bank \"") + name + "\""});
    EXPECT_EQ(vexa->getNbSubBanks(bank), 1);
    EXPECT_FALSE(install.exists(dir(bank, 1)));

    choose(VexaBar::kBankMenu, {"New bank ..."});
    EXPECT_EQ(vexa->getNbBanks(), 4);
    EXPECT_TRUE(install.exists(dir(2)));
    vexa->getBankName(name, vexa->getBankIndex());
    COptionMenu* banks = dynamic_cast<COptionMenu*>(control(VexaBar::kBankMenu));
    EXPECT_TRUE(banks->isCheckEntry(entryPath(banks, {name})[0])) << "the current bank past the separators";
    choose(VexaBar::kBankMenu, {std::string("Delete bank \"") + name + "\""});
    EXPECT_EQ(vexa->getNbBanks(), 3);
    EXPECT_FALSE(install.exists(dir(2)));
    banks = dynamic_cast<COptionMenu*>(control(VexaBar::kBankMenu));
    for (long i = 0; i < banks->getNbEntries(); i++)
        EXPECT_EQ(std::string(banks->getEntryText(i)).find("Delete"), std::string::npos) << "the last user bank stays";
}

TEST_F(Bar, AnotherInstancesTreeChangeRebuildsTheMenusAtTheNextIdleAndKeepsTheNames) {
    choose(VexaBar::kBankMenu, {"Factory", "Keys", "Clavichord"});
    edit();
    const std::string shown = field(VexaBar::kPresetName);
    ASSERT_EQ(shown, "* Clavichord");
    {
        std::unique_ptr<Halvorn> other(new Halvorn(sizingHost));
        ASSERT_FALSE(other->creationFailed());
        ASSERT_EQ(other->saveAsNewBank(), 0);
    }
    EXPECT_TRUE(bar->isRebuildPending()) << "a notification only raises the flag";
    COptionMenu* banks = dynamic_cast<COptionMenu*>(control(VexaBar::kBankMenu));
    const long before = banks->getNbEntries();
    idle();
    EXPECT_FALSE(bar->isRebuildPending());
    banks = dynamic_cast<COptionMenu*>(control(VexaBar::kBankMenu));
    EXPECT_GT(banks->getNbEntries(), before);
    const int bank = userBank();
    ASSERT_GE(bank, 0);
    char name[32];
    vexa->getBankName(name, bank);
    EXPECT_GE(entryPath(banks, {name})[0], 0);
    EXPECT_EQ(field(VexaBar::kBankName), "Factory");
    EXPECT_EQ(field(VexaBar::kPresetName), shown) << "names and mark stay";
    EXPECT_EQ(vexa->getBankIndex(), 0);
}

// ---------------------------------------------------------------- renaming

TEST_F(Bar, TypedNamesRenameInAUserBankAndARefusedNameSaysWhy) {
    // In the merged bank and in the factory bank a typed name changes nothing, and says nothing.
    ASSERT_EQ(field(VexaBar::kBankName), "All");
    typeInto(VexaBar::kBankName, "Mine");
    EXPECT_EQ(field(VexaBar::kBankName), "All");
    choose(VexaBar::kBankMenu, {"Factory", "Keys", "Clavichord"});
    typeInto(VexaBar::kPresetName, "Mine");
    EXPECT_EQ(field(VexaBar::kPresetName), "Clavichord");
    EXPECT_EQ(firstWord(install.path(dir(0, 4, 1) + "\\NomInstrument")), "Clavichord");
    EXPECT_EQ(firstWord(install.path(dir(0) + "\\NomPreset")), "Factory");

    const int bank = makeUserBank();
    ASSERT_GE(bank, 0);
    typeInto(VexaBar::kBankName, "Pads&Keys");
    EXPECT_EQ(field(VexaBar::kBankName), "Pads&Keys");
    EXPECT_EQ(firstWord(install.path(dir(bank) + "\\NomPreset")), "Pads&Keys");
    typeInto(VexaBar::kSubBankName, "Soft(1)");
    EXPECT_EQ(firstWord(install.path(dir(bank, 0) + "\\NomBanque")), "Soft(1)");
    // 31 characters: stored and shown whole, with the mark too.
    const std::string longest = "Warm_Brass.Section-Two+Three_31";
    ASSERT_EQ(longest.size(), 31u);
    typeInto(VexaBar::kPresetName, longest);
    EXPECT_EQ(firstWord(install.path(dir(bank, 0, 0) + "\\NomInstrument")), longest);
    EXPECT_EQ(field(VexaBar::kPresetName), longest);
    edit();
    EXPECT_EQ(field(VexaBar::kPresetName), "* " + longest);

    // The field left as it was, mark and all, renames nothing and says nothing.
    {
        DialogWatcher watcher("Name refused", [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); });
        CRect r = control(VexaBar::kPresetName)->getViewSize();
        play([&] {
            click(centreX(r), centreY(r));
            keyStroke(VK_RETURN);
        });
        EXPECT_FALSE(watcher.saw());
        EXPECT_EQ(field(VexaBar::kPresetName), "* " + longest);
    }

    struct Refusal {
        long tag;
        const char* typed;
        const char* says;
    } refusals[] = {
        {VexaBar::kPresetName, "Two words", "letter"},
        {VexaBar::kSubBankName, "a/b", "letter"},
        {VexaBar::kBankName, "Factory", "already exists"},
    };
    for (const Refusal& r : refusals) {
        const std::string before = field(r.tag);
        std::string said;
        DialogWatcher watcher("Name refused", [&](HWND dialog) {
            said = dorvane_test::windowText(dialog);
            EnumChildWindows(dialog, appendText, reinterpret_cast<LPARAM>(&said));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        typeInto(r.tag, r.typed);
        ASSERT_TRUE(watcher.saw()) << r.typed;
        EXPECT_NE(said.find(r.says), std::string::npos) << said;
        EXPECT_EQ(field(r.tag), before) << r.typed;
    }
    EXPECT_EQ(firstWord(install.path(dir(bank) + "\\NomPreset")), "Pads&Keys");
    EXPECT_EQ(firstWord(install.path(dir(bank, 0, 0) + "\\NomInstrument")), longest);
}

// ---------------------------------------------------------------- exchange files

TEST_F(Bar, ExportWritesTheChosenFileAndImportMakesANewBankOfIt) {
    choose(VexaBar::kBankMenu, {"Factory", "Keys", "Clavichord"});
    const std::string file = install.path("keys.ays");
    {
        DialogWatcher watcher("Export the current bank...", [&](HWND dialog) {
            SetDlgItemTextA(dialog, 0x47C, file.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        choose(VexaBar::kExport, {"Subbank"});
        ASSERT_TRUE(watcher.saw());
    }
    const std::string written = readFile(file);
    ASSERT_FALSE(written.empty());
    EXPECT_NE(written.find("Clavichord"), std::string::npos);
    EXPECT_EQ(written.find("Organ"), std::string::npos) << "the sub-bank only";

    {
        DialogWatcher watcher("Import a bank...", [&](HWND dialog) {
            SetDlgItemTextA(dialog, 0x47C, file.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        clickControl(VexaBar::kImport);
        ASSERT_TRUE(watcher.saw());
    }
    const int bank = userBank();
    ASSERT_GE(bank, 0);
    EXPECT_EQ(vexa->getNbPresets(bank, 0), 4);
    EXPECT_TRUE(install.exists(dir(bank, 0, 3) + "\\Parametres"));
    COptionMenu* banks = dynamic_cast<COptionMenu*>(control(VexaBar::kBankMenu));
    char name[32];
    vexa->getBankName(name, bank);
    EXPECT_GE(entryPath(banks, {name, "Keys", "Clavichord"})[2], 0) << "the menus show the new bank";

    // A cancelled dialog writes nothing.
    std::remove(file.c_str());
    {
        DialogWatcher watcher("Export the current bank...", [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
        choose(VexaBar::kExport, {"Preset"});
        ASSERT_TRUE(watcher.saw());
    }
    EXPECT_FALSE(install.exists("keys.ays"));
}

// ---------------------------------------------------------------- lamps, switches, layout

TEST_F(Bar, TheMidiLampStaysLitHalfASecondAfterTheLastActivity) {
    CControl* lamp = control(VexaBar::kMidiLamp);
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->getValue(), 0.f);
    sendMidiMessage(*synth, 0x90, 60, 100);
    idle();
    DWORD lit = GetTickCount();
    EXPECT_TRUE(bar->isLampOn());
    EXPECT_EQ(lamp->getValue(), 1.f);
    // One note: lit through the idles of the next half second, nothing new arriving.
    while (GetTickCount() - lit < 400) {
        idle();
        ASSERT_TRUE(bar->isLampOn()) << GetTickCount() - lit << " ms after the note";
        Sleep(20);
    }
    lit = GetTickCount();
    // Activity at every idle keeps it lit past the half second.
    while (GetTickCount() - lit < 800) {
        sendMidiMessage(*synth, 0x90, 60, 100);
        idle();
        ASSERT_TRUE(bar->isLampOn());
        Sleep(20);
    }
    idle();  // the last activity seen, nothing new
    lit = GetTickCount();
    while (bar->isLampOn() && GetTickCount() - lit < 3000) {
        idle();
        Sleep(10);
    }
    EXPECT_FALSE(bar->isLampOn());
    EXPECT_EQ(lamp->getValue(), 0.f);
}

TEST_F(Bar, TheVoicesMenuSetsTheVoicesPerPartAndIsClosedWithTheMultiSection) {
    synth->setParameter(2089, 0.f);
    settleIdle(50);
    EXPECT_EQ(control(VexaBar::kMultiLamp)->getValue(), 1.f);
    choose(VexaBar::kVoices, {"x3"});
    EXPECT_FLOAT_EQ(synth->getParameter(2096), 2.f);
    EXPECT_EQ(dynamic_cast<COptionMenu*>(control(VexaBar::kVoices))->getCurrent(), 2);
    synth->setParameter(2096, 0.f);
    settleIdle(50);
    EXPECT_EQ(dynamic_cast<COptionMenu*>(control(VexaBar::kVoices))->getCurrent(), 0);

    synth->setParameter(2089, 1.f);
    settleIdle(50);
    EXPECT_EQ(control(VexaBar::kMultiLamp)->getValue(), 0.f);
    CRect r = control(VexaBar::kVoices)->getViewSize();
    bool opened = false;
    play([&] {
        click((int)r.left, (int)r.top);
        for (int i = 0; i < 20 && !opened; i++, Sleep(50)) opened = popupMenuShown();
        if (opened) keyStroke(VK_ESCAPE);
    });
    EXPECT_FALSE(opened) << "no menu while the multi section is closed";
    EXPECT_FLOAT_EQ(synth->getParameter(2096), 0.f);
}

TEST_F(Bar, TheChorusSwitchFollowsItsParameterBothWays) {
    synth->setParameter(2041, 0.f);
    settleIdle(50);
    EXPECT_EQ(control(VexaBar::kChorus)->getValue(), 0.f);
    clickControl(VexaBar::kChorus);
    EXPECT_FLOAT_EQ(synth->getParameter(2041), 1.f);
    synth->setParameter(2041, 0.4f);
    settleIdle(50);
    EXPECT_EQ(control(VexaBar::kChorus)->getValue(), 0.f);
    synth->setParameter(2041, 0.6f);
    settleIdle(50);
    EXPECT_EQ(control(VexaBar::kChorus)->getValue(), 1.f);
}

TEST_F(Bar, TheLayoutButtonsResizeTheWindow) {
    HWND window = editor->getToolkitFrame()->getHostFrame()->getSystemWindow();
    clickControl(VexaBar::kCompactLayout);
    EXPECT_EQ(editor->getRootPanel()->getLayout(), 1);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.bottom, 341);
    ASSERT_FALSE(sizeRequests.empty());
    EXPECT_EQ(sizeRequests.back(), 341) << "the host is asked for the compact height";
    clickControl(VexaBar::kFullLayout);
    EXPECT_EQ(editor->getRootPanel()->getLayout(), 0);
    GetClientRect(window, &client);
    EXPECT_EQ(client.bottom, 620);
    EXPECT_EQ(sizeRequests.back(), 620);
}

// A host that keeps the editor's bridges over a close: the bar built at the next open must
// be the only one the bridge still tells.
VstIntPtr VSTCALLBACK keepingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
    if (opcode == audioMasterGetVendorString && ptr) std::strcpy((char*)ptr, "DigitalPerformer");
    return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(BarLifetime, ABarGoneWithAClosedWindowLeavesNoRegistrationBehind) {
    TestInstall install;
    ParentWindow parent;
    std::unique_ptr<Halvorn> synth(new Halvorn(keepingHost));
    ASSERT_FALSE(synth->creationFailed());
    ASSERT_TRUE(synth->isHostDigitalPerformer());
    HalvornEdit* editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
    ASSERT_TRUE(editor->open(parent.handle()));
    editor->idle();
    GuiInterface* gui = editor->getGuiInterface();
    const int told[] = {gui->countReceptors(2041), gui->countReceptors(2043), gui->countReceptors(2089),
                        gui->countReceptors(2096)};
    editor->close();
    ASSERT_EQ(editor->getGuiInterface(), gui) << "the bridge is kept";
    const int index[] = {2041, 2043, 2089, 2096};
    for (int i = 0; i < 4; i++) EXPECT_LT(gui->countReceptors(index[i]), told[i]) << index[i];
    ASSERT_TRUE(editor->open(parent.handle()));
    editor->idle();
    for (int i = 0; i < 4; i++) EXPECT_EQ(gui->countReceptors(index[i]), told[i]) << index[i];
    synth->setParameter(2041, 1.f);
    editor->idle();
    EXPECT_EQ(editor->getPresetBar()->getControl(VexaBar::kChorus)->getValue(), 1.f);
    editor->close();
    synth.reset();
}

// ---------------------------------------------------------------- picture

TEST_F(Bar, TheBarLooksAsItsStoredPicture) {
    choose(VexaBar::kBankMenu, {"Factory", "Keys", "Clavichord"});
    synth->setParameter(2041, 1.f);
    synth->setParameter(2043, 0.f);
    synth->setParameter(2089, 0.f);
    synth->setParameter(2096, 1.f);
    settleIdle(100);
    edit();
    // Away from the bar, so that nothing shows a pressed or hovered look.
    play([] { mouseInputAt(500, 400); });
    HWND window = editor->getToolkitFrame()->getHostFrame()->getSystemWindow();
    InvalidateRect(window, nullptr, FALSE);
    settleIdle(300);
    Picture shown = captureWindow(window, 0, 0, 1008, 33);
    const std::string reference = HALVORN_BAR_REFERENCE;
    if (GetEnvironmentVariableA("HALVORN_UPDATE_REFERENCE", nullptr, 0) > 0) writeBmp(reference, shown);
    Picture stored;
    ASSERT_TRUE(readBmp(reference, stored)) << reference;
    ASSERT_EQ(stored.width, shown.width);
    ASSERT_EQ(stored.height, shown.height);
    EXPECT_LT(mismatchedShare(shown, stored, 8), 0.002);
}

}  // namespace
