// The instrument's preset operations through the built plug-in, driven like a host on a copy
// of the factory installation per test: the start, program change and bank select, saves,
// renames and deletions as files on disk, exchange files, two instances sharing the tree,
// hostile preset files, the tree cache and the markers, and a musician's round trip.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/halvorn.h"
#include "core/preset_keys.h"
#include "host/module_loads.h"
#include "host/test_host.h"
#include "presets/file_io.h"

namespace {

const int kVolume = 515;  // VOLUME, a host global

// The first white-space separated word of a file, as the store reads its name files.
std::string firstWord(const std::string& path) {
    std::istringstream in(readFile(path));
    std::string word;
    in >> word;
    return word.c_str();  // up to a terminating zero byte
}

// The names in a directory: its files, or its subdirectories.
std::vector<std::string> listDir(const std::string& dir, bool directories) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE handle = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (handle == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == directories) names.push_back(name);
    } while (FindNextFileA(handle, &found));
    FindClose(handle);
    std::sort(names.begin(), names.end());
    return names;
}

// A copy of the factory installation with helpers to lay out presets of a test's own.
struct Install : TestInstall {
    std::string presetDir(int a, int b, int c) const {
        return "save\\P" + std::to_string(a) + "\\B" + std::to_string(b) + "\\I" + std::to_string(c);
    }
    void makeDirs(const std::string& relative) {
        std::string at = dir();
        std::istringstream parts(relative);
        std::string part;
        while (std::getline(parts, part, '\\')) {
            at += "\\" + part;
            CreateDirectoryA(at.c_str(), nullptr);
        }
    }
    void bank(int a, const std::string& name, bool factory) {
        makeDirs("save\\P" + std::to_string(a));
        ASSERT_TRUE(writeFile("save\\P" + std::to_string(a) + "\\NomPreset", name + (factory ? " FACTORY" : "")));
    }
    void subBank(int a, int b, const std::string& name) {
        makeDirs("save\\P" + std::to_string(a) + "\\B" + std::to_string(b));
        ASSERT_TRUE(writeFile("save\\P" + std::to_string(a) + "\\B" + std::to_string(b) + "\\NomBanque", name));
    }
    // A preset with its parameter file (the lines after the header) and patch files.
    void preset(int a, int b, int c, const std::string& name, const std::string& parameters,
                const std::map<int, std::string>& patches = {}) {
        makeDirs(presetDir(a, b, c));
        ASSERT_TRUE(writeFile(presetDir(a, b, c) + "\\NomInstrument", name));
        ASSERT_TRUE(writeFile(presetDir(a, b, c) + "\\Parametres", parameters));
        for (const auto& patch : patches)
            ASSERT_TRUE(writeFile(presetDir(a, b, c) + "\\Patch" + std::to_string(patch.first), patch.second));
    }
    // The number of consecutive numbered directories that hold the name file.
    int count(const std::string& parent, char letter, const char* nameFile) const {
        int n = 0;
        while (exists(parent + "\\" + letter + std::to_string(n) + "\\" + nameFile)) n++;
        return n;
    }
    int banks() const { return count("save", 'P', "NomPreset"); }
    int subBanks(int a) const { return count("save\\P" + std::to_string(a), 'B', "NomBanque"); }
    int presets(int a, int b) const {
        return count("save\\P" + std::to_string(a) + "\\B" + std::to_string(b), 'I', "NomInstrument");
    }
    std::string read(const std::string& relative) const { return readFile(path(relative)); }
};

// Every part plays patch p.
std::string allPartsPlay(int patch) {
    std::string text;
    for (int part = 1; part <= 8; part++) text += "NUM_PATCH_VOIE" + std::to_string(part) + " " + std::to_string(patch) + "\n";
    return text;
}

int keyIndex(const char* key, int patch = 0) { return presetKeyIndex(key, patch); }

struct OwnPresets {
    int bright, dark;
};

// One instance of the built plug-in, and the instrument behind the effect.
struct Session {
    TestHost host;
    AEffect* fx = nullptr;
    Halvorn* instrument = nullptr;

    Session() {
        EXPECT_TRUE(host.load(TestHost::pluginPath(10)));
        fx = host.create();
        EXPECT_NE(fx, nullptr);
        if (fx) instrument = static_cast<Halvorn*>(static_cast<AudioEffect*>(fx->object));
    }
    explicit operator bool() const { return instrument != nullptr; }
    Halvorn* operator->() { return instrument; }

    float get(int index) { return instrument->getParameter(index); }
    void set(int index, float value) { instrument->setParameter(index, value); }
    std::vector<std::string> names() {
        char bank[kPresetNameSize], subBank[kPresetNameSize], preset[kPresetNameSize];
        instrument->getPresetNames(bank, subBank, preset);
        return {bank, subBank, preset};
    }
    std::string presetName(int preset = -1) {
        char name[kPresetNameSize];
        instrument->getPresetName(name, preset < 0 ? instrument->getPresetIndex() : preset, -1, -1);
        return name;
    }
    // The first real bank of that name, or -1.
    int bankNamed(const std::string& name) {
        for (int a = 0; a < instrument->getNbBanks(); a++) {
            char text[kPresetNameSize];
            instrument->getBankName(text, a);
            if (name == text) return a;
        }
        return -1;
    }
    // A note held for a while, rendered in 512-frame blocks: the master pair's RMS.
    double playNote(int note) {
        host.sendMidi(0x90, (unsigned char)note, 100);
        double sum = 0;
        int frames = 0;
        std::vector<std::vector<float>> buffers;
        for (int block = 0; block < 40; block++) {
            host.render(buffers, 512);
            for (int c = 0; c < 2; c++)
                for (float x : buffers[(size_t)c]) sum += (double)x * x;
            frames += 2 * 512;
        }
        host.sendMidi(0x80, (unsigned char)note, 0);
        host.render(buffers, 512);
        return std::sqrt(sum / frames);
    }
    // The position of a preset of bank 0, sub-bank 0 by its name, or -1.
    int presetIndexOf(const std::string& name) {
        for (int c = 0; c < instrument->getNbPresets(0, 0); c++) {
            char text[kPresetNameSize];
            instrument->getPresetName(text, c, 0, 0);
            if (name == text) return c;
        }
        return -1;
    }
    OwnPresets own() { return {presetIndexOf("Bright"), presetIndexOf("Dark")}; }
    void close() {
        if (fx) host.close();
        fx = nullptr;
        instrument = nullptr;
    }
};

// The test's own presets beside the factory ones, in the installation's first sub-bank:
// "Bright" (every part plays patch 2) and "Dark" after whatever the factory put there. The
// start saves the first preset, which sorts the sub-bank: their places are found by name.

void addOwnPresets(Install& install) {
    const int first = install.presets(0, 0);
    install.preset(0, 0, first, "Bright",
                   "Nom du fichier      : x\n# a comment line\nVOLUME 2.500000e-001\n" + allPartsPlay(2),
                   {{3, "DETUNE 1.250000e-001\nMIXE 7.500000e-001\n"}});
    install.preset(0, 0, first + 1, "Dark", "VOLUME 6.250000e-002\n" + allPartsPlay(5), {{6, "DETUNE 5.000000e-001\n"}});
}

// An installation with the test's own presets and an instance started on it.
class PresetOps : public ::testing::Test {
protected:
    void SetUp() override {
        addOwnPresets(install);
        session = std::make_unique<Session>();
        ASSERT_TRUE(*session);
        own = session->own();
    }
    Install install;
    std::unique_ptr<Session> session;
    OwnPresets own;
};

// A thread that answers every dialog or message box of one title with one button while the
// test's thread runs its modal loop, and keeps the texts of each one it answered.
class DialogAnswerer {
public:
    DialogAnswerer(const char* title, int button) : title(title), button(button), thread([this] { run(); }) {}
    ~DialogAnswerer() { stop(); }
    void stop() {
        done = true;
        if (thread.joinable()) thread.join();
    }
    // The control texts of each dialog answered so far.
    std::vector<std::vector<std::string>> answered() {
        std::lock_guard<std::mutex> guard(lock);
        return shown;
    }

private:
    static BOOL CALLBACK collect(HWND child, LPARAM texts) {
        char text[256] = {0};
        GetWindowTextA(child, text, sizeof(text));
        reinterpret_cast<std::vector<std::string>*>(texts)->push_back(text);
        return TRUE;
    }
    void run() {
        while (!done) {
            HWND dialog = FindWindowA("#32770", title);
            if (dialog && IsWindowVisible(dialog)) {
                std::vector<std::string> texts;
                EnumChildWindows(dialog, collect, reinterpret_cast<LPARAM>(&texts));
                {
                    std::lock_guard<std::mutex> guard(lock);
                    shown.push_back(texts);
                }
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
                for (int i = 0; i < 1000 && IsWindow(dialog); i++) Sleep(5);
            }
            Sleep(5);
        }
    }
    const char* title;
    int button;
    std::atomic<bool> done{false};
    std::mutex lock;
    std::vector<std::vector<std::string>> shown;
    std::thread thread;
};

bool holds(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// The bytes of one chunk of a bank exchange file.
std::string chunkBytes(const std::string& tag, const std::string& payload) {
    return tag + (char)(payload.size() >> 8) + (char)(payload.size() & 0xFF) + payload;
}

// Runs the tests of this program that the filter names in a process of their own, in
// workDir, with the variable set to the value; true when the process ended with 0.
bool runChild(const std::string& program, const std::string& filter, const std::string& workDir,
              const char* variable, const std::string& value) {
    SetEnvironmentVariableA(variable, value.c_str());
    std::string command = "\"" + program + "\" --gtest_filter=" + filter;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, workDir.c_str(), &startup, &process);
    SetEnvironmentVariableA(variable, nullptr);
    if (!started) return false;
    const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return ended && code == 0;
}

std::string thisProgram() {
    char self[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return self;
}

// ---- the start ---------------------------------------------------------------------------

// The directory of the first preset of that name, in directory order.
std::string findPreset(const Install& install, const std::string& name) {
    for (int a = 0; a < install.banks(); a++)
        for (int b = 0; b < install.subBanks(a); b++)
            for (int c = 0; c < install.presets(a, b); c++)
                if (firstWord(install.path(install.presetDir(a, b, c) + "\\NomInstrument")) == name)
                    return install.presetDir(a, b, c);
    return "";
}


// The merged bank as the store builds it: sub-banks by first appearance of their name over
// the real banks in directory order, each with the presets of that name's sub-banks.
struct MergedSubBank {
    std::string name;
    std::vector<std::string> presetDirs;
};

std::vector<MergedSubBank> mergedBank(const Install& install) {
    std::vector<MergedSubBank> merged;
    for (int a = 0; a < install.banks(); a++)
        for (int b = 0; b < install.subBanks(a); b++) {
            std::string dir = "save\\P" + std::to_string(a) + "\\B" + std::to_string(b);
            std::string name = firstWord(install.path(dir + "\\NomBanque"));
            auto at = std::find_if(merged.begin(), merged.end(), [&](const MergedSubBank& s) { return s.name == name; });
            if (at == merged.end()) at = merged.insert(merged.end(), MergedSubBank{name, {}});
            for (int c = 0; c < install.presets(a, b); c++) at->presetDirs.push_back(dir + "\\I" + std::to_string(c));
        }
    return merged;
}

TEST(PresetStart, TheInstrumentStartsOnTheStartPresetOfTheMergedBank) {
    Install install;
    // More sub-banks, so that the start's sub-bank index is one that wraps.
    for (int n = 1; n <= 2; n++) {
        const int b = install.subBanks(0);
        install.subBank(0, b, "Extra" + std::to_string(n));
        install.preset(0, b, 0, "More", allPartsPlay(0));
    }
    const int realBanks = install.banks();
    ASSERT_GT(realBanks, 0);
    const std::string firstBank = firstWord(install.path("save\\P0\\NomPreset"));
    const std::string firstSubBank = firstWord(install.path("save\\P0\\B0\\NomBanque"));
    const std::string firstPreset = firstWord(install.path("save\\P0\\B0\\I0\\NomInstrument"));

    Session s;
    ASSERT_TRUE(s);
    // The first preset's save sorted its bank: "All" is merged from the directories as the
    // start left them. Sub-bank 8, preset 19 of "All"; an index beyond its count wraps to 0.
    std::vector<MergedSubBank> merged = mergedBank(install);
    const size_t subBank = merged.size() > 8 ? 8 : 0;
    const size_t preset = merged[subBank].presetDirs.size() > 19 ? 19 : 0;
    const std::string dir = merged[subBank].presetDirs[preset];
    EXPECT_EQ(s->getNbBanks(), realBanks + 1);
    EXPECT_EQ(s->getBankIndex(), realBanks);
    EXPECT_EQ(s->getSubBankIndex(), (int)subBank);
    EXPECT_EQ(s->getPresetIndex(), (int)preset);
    EXPECT_EQ(s.names(), (std::vector<std::string>{"All", merged[subBank].name,
                                                   firstWord(install.path(dir + "\\NomInstrument"))}));
    // The record's preset path names the same preset.
    char path[kPresetPathSize] = {0};
    std::memcpy(path, s->getProgramRecord().presetPath, sizeof(path));
    EXPECT_EQ(std::string(path), "All/" + merged[subBank].name + "/" + s.names()[2]);

    // The start preset's values are the record's: every key of its parameter file.
    std::istringstream lines(install.read(dir + "\\Parametres"));
    std::string key, value;
    int checked = 0;
    while (lines >> key) {
        if (key == "Nom" || key[0] == '#' || key == "@ATTR") {
            std::getline(lines, value);
            continue;
        }
        lines >> value;
        const int index = keyIndex(key.c_str());
        if (index < 0 || index >= 2000) continue;  // the patch numbers and the rest are checked below
        EXPECT_FLOAT_EQ(s.get(index), (float)std::atof(value.c_str())) << key;
        checked++;
    }
    if (!install.read(dir + "\\Parametres").empty()) EXPECT_GT(checked, 20);

    // The first preset was loaded and saved back under its names, with its count of starts.
    const std::string firstDir = findPreset(install, firstPreset);
    ASSERT_FALSE(firstDir.empty());
    std::vector<std::string> saved = linesOf(install.read(firstDir + "\\Parametres"));
    ASSERT_GE(saved.size(), 3u);
    EXPECT_EQ(saved[0], "Nom du fichier      : " + firstBank);
    EXPECT_EQ(saved[1], "Nom de la banque    : " + firstSubBank);
    EXPECT_EQ(saved[2], "Nom de l'instrument : " + firstPreset);
    auto count = [&](const std::string& at) {
        for (const std::string& line : linesOf(install.read(at + "\\Parametres")))
            if (line.rfind("PARAM_FREQ_ECOUT ", 0) == 0) return std::atof(line.c_str() + 17);
        return 0.0;
    };
    EXPECT_GE(count(firstDir), 1.0);
    s.close();
    // Sorted now, the first preset stays the first: each start counts once more.
    const double before = count("save\\P0\\B0\\I0");
    Session again;
    ASSERT_TRUE(again);
    EXPECT_EQ(count("save\\P0\\B0\\I0"), before + 1);
}

TEST(PresetStart, AnInstallationWithoutItsFirstPresetGivesNoEffect) {
    Install install;
    ASSERT_TRUE(install.removeFile("save\\P0\\B0\\I0\\Parametres"));
    TestHost host;
    ASSERT_TRUE(host.load(TestHost::pluginPath(10)));
    EXPECT_EQ(host.create(), nullptr);
}

// ---- program change and bank select -----------------------------------------------------

TEST_F(PresetOps, ProgramChangeLoadsThePresetOfTheCurrentSubBank) {
    Session& s = *session;
    ASSERT_EQ(s->selectBank(0, 0, 0), 0);

    const int detune2 = keyIndex("DETUNE", 2), mix2 = keyIndex("MIXE", 2);
    struct Case {
        int program;
        const char* name;
        float volume;
        int patch;
    } cases[] = {
        {own.bright, "Bright", 0.25f, 2},
        {own.dark, "Dark", 0.0625f, 5},
        {own.bright, "Bright", 0.25f, 2},
    };
    for (const Case& c : cases) {
        s.host.sendMidi(0xC0, (unsigned char)c.program, 0);
        EXPECT_EQ(s.presetName(), c.name) << c.program;
        EXPECT_EQ(s.names()[2], c.name);
        EXPECT_FLOAT_EQ(s.get(kVolume), c.volume) << c.program;
        for (int patch = 0; patch < 8; patch++) EXPECT_EQ(s->isPatchInUse(patch), patch == c.patch);
    }
    // Beyond the sub-bank: its last preset.
    s.host.sendMidi(0xC0, 127, 0);
    EXPECT_EQ(s->getPresetIndex(), s->getCurrentNbPresets() - 1);
    EXPECT_EQ(s.names()[2], s.presetName(s->getCurrentNbPresets() - 1));
    // Patch 3's file was read into patch 2 of the record: the rest of the patch has defaults.
    s.host.sendMidi(0xC0, (unsigned char)own.bright, 0);
    EXPECT_FLOAT_EQ(s.get(detune2), 0.125f);
    EXPECT_FLOAT_EQ(s.get(mix2), 0.75f);
    // A program change to the loaded preset does not read it again: the host's edit stays.
    s.set(kVolume, 0.5f);
    s.host.sendMidi(0xC0, (unsigned char)own.bright, 0);
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.5f);
}

TEST(PresetSelect, BankSelectThenProgramChangeLoadsFromTheNewBank) {
    Install install;
    const int a = install.banks();
    install.bank(a, "Zed", false);
    install.subBank(a, 0, "Leads");
    install.preset(a, 0, 0, "One", "VOLUME 1.000000e-001\n" + allPartsPlay(0));
    install.preset(a, 0, 1, "Two", "VOLUME 2.000000e-001\n" + allPartsPlay(1));
    Session s;
    ASSERT_TRUE(s);
    ASSERT_EQ(s->selectBank(0, 0, 0), 0);

    // Controller 0 picks bank value - 1; the program change loads in it, even at the preset
    // index the browser already shows.
    s.host.sendMidi(0xB0, 0, (unsigned char)(a + 1));
    EXPECT_EQ(s->getBankIndex(), a);
    s.host.sendMidi(0xC0, 0, 0);
    EXPECT_EQ(s.names(), (std::vector<std::string>{"Zed", "Leads", "One"}));
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.1f);
    s.host.sendMidi(0xC0, 1, 0);
    EXPECT_EQ(s.names()[2], "Two");
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.2f);
    // Bank select alone loads nothing.
    s.host.sendMidi(0xB0, 0, 1);
    EXPECT_EQ(s->getBankIndex(), 0);
    EXPECT_EQ(s.names()[2], "Two");
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.2f);
}

TEST_F(PresetOps, AHostsChunkStandsAfterAProgramChange) {
    Session& s = *session;
    ASSERT_EQ(s->selectBank(0, 0, own.dark), 0);
    s.set(kVolume, 0.75f);
    void* data = nullptr;
    const VstIntPtr size = s.host.dispatch(effGetChunk, 0, 0, &data);
    ASSERT_GT(size, 0);
    std::vector<char> chunk((char*)data, (char*)data + size);

    s.host.sendMidi(0xC0, (unsigned char)own.bright, 0);
    ASSERT_FLOAT_EQ(s.get(kVolume), 0.25f);
    s.host.dispatch(effSetChunk, 0, (VstIntPtr)chunk.size(), chunk.data());
    std::vector<std::vector<float>> buffers;
    s.host.render(buffers, 512);
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.75f);
    EXPECT_EQ(s.names()[2], "Dark");
    EXPECT_EQ(s->getPresetIndex(), own.dark);
}

TEST_F(PresetOps, SelectingWrapsAtBothEnds) {
    Session& s = *session;
    ASSERT_EQ(s->selectBank(0, 0, 0), 0);
    const int count = s->getCurrentNbPresets();
    ASSERT_GE(own.dark, 0);
    ASSERT_EQ(s->selectPreset(own.dark), 0);
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.0625f);
    EXPECT_EQ(s->selectPreset(count), 0);
    EXPECT_EQ(s->getPresetIndex(), 0);
    EXPECT_EQ(s.names()[2], s.presetName(0));
    EXPECT_EQ(s->selectPreset(-1), 0);
    EXPECT_EQ(s->getPresetIndex(), count - 1);
    EXPECT_EQ(s.names()[2], s.presetName(count - 1));
    // The record's browser position is the loaded preset.
    EXPECT_FLOAT_EQ(s.get(2095), (float)(count - 1) / (float)count);
}

// ---- saving ------------------------------------------------------------------------------

std::vector<std::string> filesOf(const Install& install, const std::string& dir) {
    return listDir(install.path(dir), false);
}

TEST_F(PresetOps, SavingWritesTheRecordAsTheParameterAndPatchFiles) {
    Session& s = *session;
    const std::string dir = install.presetDir(0, 0, own.bright);
    ASSERT_TRUE(install.writeFile(dir + "\\Patch7", "DETUNE 0\n"));  // a patch no part plays any more
    ASSERT_EQ(s->selectBank(0, 0, own.bright), 0);
    s.set(kVolume, 0.75f);
    // Parts 1-8 play patches 0, 0, 1, 1, 2, 2, 3, 3.
    for (int part = 0; part < 8; part++) s.set(2000 + part, (float)(part / 2));
    s.set(keyIndex("MIXE", 3), 0.375f);
    ASSERT_EQ(s->saveCurrentPreset(), 0);

    EXPECT_EQ(filesOf(install, dir), (std::vector<std::string>{"NomInstrument", "Parametres", "Patch1", "Patch2",
                                                               "Patch3", "Patch4"}));
    std::vector<std::string> lines = linesOf(install.read(dir + "\\Parametres"));
    char bankName[kPresetNameSize];
    s->getBankName(bankName, 0);
    ASSERT_GT(lines.size(), 100u);
    EXPECT_EQ(lines[0], std::string("Nom du fichier      : ") + bankName);
    EXPECT_EQ(lines[2], "Nom de l'instrument : Bright");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "VOLUME 7.500000e-001"), lines.end());
    for (int part = 0; part < 8; part++)
        EXPECT_NE(std::find(lines.begin(), lines.end(), "NUM_PATCH_VOIE" + std::to_string(part + 1) + " " +
                                                            std::to_string(part / 2)),
                  lines.end());
    std::vector<std::string> patch4 = linesOf(install.read(dir + "\\Patch4"));
    EXPECT_NE(std::find(patch4.begin(), patch4.end(), "MIXE 3.750000e-001"), patch4.end());
    EXPECT_GT(patch4.size(), 90u);

    // Loaded again, the preset gives the same record.
    s.set(kVolume, 0.1f);
    ASSERT_EQ(s->selectPreset(own.bright), 0);
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.75f);
    EXPECT_FLOAT_EQ(s.get(keyIndex("MIXE", 3)), 0.375f);
    for (int patch = 0; patch < 8; patch++) EXPECT_EQ(s->isPatchInUse(patch), patch < 4);
}

TEST_F(PresetOps, ASaveThatCannotWriteAFileLeavesThePresetWhole) {
    Session& s = *session;
    const std::string dir = install.presetDir(0, 0, own.dark);
    ASSERT_EQ(s->selectBank(0, 0, own.dark), 0);
    const std::string before = install.read(dir + "\\Parametres");
    const std::string patch6 = install.read(dir + "\\Patch6");
    ASSERT_FALSE(patch6.empty());
    // Part 1 now plays patch 0, whose file cannot be written: a directory stands in its place.
    install.makeDirs(dir + "\\Patch1");
    s.set(2000, 0.f);
    s.set(kVolume, 0.9f);
    EXPECT_EQ(s->saveCurrentPreset(), 1);
    EXPECT_EQ(install.read(dir + "\\Parametres"), before);
    EXPECT_EQ(install.read(dir + "\\Patch6"), patch6);
    EXPECT_EQ(filesOf(install, dir), (std::vector<std::string>{"NomInstrument", "Parametres", "Patch6"}));
}

// The names of a sub-bank's presets in directory order.
std::vector<std::string> presetNamesOnDisk(const Install& install, int a, int b) {
    std::vector<std::string> names;
    for (int c = 0; c < install.presets(a, b); c++)
        names.push_back(firstWord(install.path(install.presetDir(a, b, c) + "\\NomInstrument")));
    return names;
}

TEST(PresetSave, SaveAsNewMakesAPresetASubBankOrABank) {
    struct Case {
        const char* what;
        int (Halvorn::*save)();
    } cases[] = {
        {"preset", &Halvorn::saveAsNewPreset},
        {"sub-bank", &Halvorn::saveAsNewSubBank},
        {"bank", &Halvorn::saveAsNewBank},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Install install;
        addOwnPresets(install);
        const int banks = install.banks(), subBanks = install.subBanks(0), presets = install.presets(0, 0);
        const std::string bankName = firstWord(install.path("save\\P0\\NomPreset"));
        Session s;
        ASSERT_TRUE(s);
        OwnPresets own = s.own();
        const std::string brightBefore = install.read(install.presetDir(0, 0, own.bright) + "\\Parametres");
        ASSERT_EQ(s->selectBank(0, 0, own.bright), 0);
        s.set(kVolume, 0.625f);
        ASSERT_EQ((s.instrument->*c.save)(), 0);
        const std::string level = c.what;
        // The bank it came from, wherever the sort put it.
        int home = 0;
        while (home < install.banks() &&
               firstWord(install.path("save\\P" + std::to_string(home) + "\\NomPreset")) != bankName)
            home++;
        EXPECT_EQ(install.banks(), banks + (level == "bank"));
        EXPECT_EQ(install.subBanks(home), subBanks + (level == "sub-bank"));
        EXPECT_EQ(install.presets(home, 0), presets + (level == "preset"));
        // The new node is named Default0 and holds the record; the preset it came from is
        // untouched.
        const int a = s->getBankIndex();
        EXPECT_EQ(a, level == "bank" ? s.bankNamed("Default0") : home);
        const int b = level == "preset" ? 0 : s->getSubBankIndex();
        const int p = s->getPresetIndex();
        EXPECT_EQ(s.names()[level == "bank" ? 0 : level == "sub-bank" ? 1 : 2], "Default0");
        EXPECT_EQ(firstWord(install.path(install.presetDir(a, b, p) + "\\NomInstrument")), s.names()[2]);
        EXPECT_EQ(firstWord(install.path("save\\P" + std::to_string(a) + "\\B" + std::to_string(b) + "\\NomBanque")),
                  s.names()[1]);
        EXPECT_EQ(firstWord(install.path("save\\P" + std::to_string(a) + "\\NomPreset")), s.names()[0]);
        std::vector<std::string> lines = linesOf(install.read(install.presetDir(a, b, p) + "\\Parametres"));
        EXPECT_NE(std::find(lines.begin(), lines.end(), "VOLUME 6.250000e-001"), lines.end());
        EXPECT_EQ(filesOf(install, install.presetDir(a, b, p)),
                  (std::vector<std::string>{"NomInstrument", "Parametres", "Patch3"}));
        EXPECT_EQ(install.read(findPreset(install, "Bright") + "\\Parametres"), brightBefore);
        std::vector<std::string> names = presetNamesOnDisk(install, home, 0);
        if (level == "preset") {
            EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
            EXPECT_FLOAT_EQ(s.get(2095), (float)p / (float)s->getCurrentNbPresets());
        }
        if (level == "bank") EXPECT_TRUE(s->isUserBank(s->getBankIndex()));
    }
}

TEST_F(PresetOps, RenamingGivesTheNodesTheEditorsNames) {
    Session& s = *session;
    ASSERT_EQ(s->selectBank(0, 0, own.dark), 0);
    std::vector<std::string> before = s.names();
    s->setPresetNames(before[0].c_str(), "Moods", "Abyss");
    ASSERT_EQ(s->saveCurrentPreset(), 0);
    EXPECT_EQ(s.names(), (std::vector<std::string>{before[0], "Moods", "Abyss"}));
    // The sub-bank file holds the new name, the presets are sorted again and the position
    // follows the renamed preset.
    EXPECT_EQ(firstWord(install.path("save\\P0\\B" + std::to_string(s->getSubBankIndex()) + "\\NomBanque")), "Moods");
    std::vector<std::string> names = presetNamesOnDisk(install, 0, s->getSubBankIndex());
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(names[(size_t)s->getPresetIndex()], "Abyss");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Dark"), 0);
    EXPECT_EQ(s.presetName(), "Abyss");
    // A name over 31 characters is cut.
    s->setPresetNames(before[0].c_str(), "Moods", "A234567890123456789012345678901234567890");
    EXPECT_EQ(s.names()[2], "A234567890123456789012345678901");
}

// The last write time of a file, and setting it back.
ULONGLONG writeTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (ULONGLONG)data.ftLastWriteTime.dwHighDateTime << 32 | data.ftLastWriteTime.dwLowDateTime;
}

bool setWriteTime(const std::string& path, ULONGLONG time) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME written = {(DWORD)time, (DWORD)(time >> 32)};
    const bool set = SetFileTime(file, nullptr, nullptr, &written) != 0;
    CloseHandle(file);
    return set;
}

// A save writes the preset's three name files, its parameter file and its patch files: a
// file that already holds exactly the bytes the save would write is left alone, one that
// differs in any byte is written again.
TEST_F(PresetOps, ASaveRewritesOnlyFilesThatDoNotHoldWhatItWrites) {
    Session& s = *session;
    ASSERT_EQ(s->selectBank(0, 0, own.dark), 0);
    const std::string preset = install.presetDir(0, 0, own.dark);
    const std::string nameFile = install.path(preset + "\\NomInstrument");
    const std::string files[] = {install.path("save\\P0\\NomPreset"), install.path("save\\P0\\B0\\NomBanque"),
                                 nameFile, install.path(preset + "\\Parametres"),
                                 install.path(preset + "\\Patch6")};
    const std::string& parameters = files[3];
    const ULONGLONG longAgo = 125000000000000000ULL;  // in 1997
    // The test wrote "Dark" without the store's terminating zero byte.
    ASSERT_EQ(readFile(nameFile), "Dark");
    for (const std::string& file : files) ASSERT_TRUE(setWriteTime(file, longAgo));
    ASSERT_EQ(s->saveCurrentPreset(), 0);
    EXPECT_EQ(readFile(nameFile), std::string("Dark", 5)) << "written again, terminated";
    EXPECT_NE(writeTime(nameFile), longAgo);
    EXPECT_NE(writeTime(parameters), longAgo) << "the test's files are not the store's";

    // The same save again: nothing differs, nothing is written.
    std::string before[5];
    for (int i = 0; i < 5; i++) {
        before[i] = readFile(files[i]);
        ASSERT_FALSE(before[i].empty()) << files[i];
        ASSERT_TRUE(setWriteTime(files[i], longAgo));
    }
    ASSERT_EQ(s->saveCurrentPreset(), 0);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(writeTime(files[i]), longAgo) << files[i];
        EXPECT_EQ(readFile(files[i]), before[i]) << files[i];
    }
    EXPECT_EQ(s.names()[2], "Dark");

    // One byte of the parameter file differs from what the save writes (the volume's last
    // digit): that file alone is written again, whole.
    std::string changed = before[3];
    const size_t volume = changed.find("\nVOLUME ");
    ASSERT_NE(volume, std::string::npos);
    const size_t digit = changed.find('\n', volume + 1) - 1;
    changed[digit] = changed[digit] == '1' ? '2' : '1';
    ASSERT_TRUE(install.writeFile(preset + "\\Parametres", changed));
    ASSERT_TRUE(setWriteTime(parameters, longAgo));
    ASSERT_EQ(s->saveCurrentPreset(), 0);
    EXPECT_NE(writeTime(parameters), longAgo);
    EXPECT_EQ(readFile(parameters), before[3]);
    for (int i = 0; i < 5; i++)
        if (i != 3) EXPECT_EQ(writeTime(files[i]), longAgo) << files[i];

    // A changed parameter reaches the files that hold it.
    ASSERT_TRUE(setWriteTime(parameters, longAgo));
    s.set(kVolume, s.get(kVolume) == 0.5f ? 0.25f : 0.5f);
    ASSERT_EQ(s->saveCurrentPreset(), 0);
    EXPECT_NE(writeTime(parameters), longAgo);
    EXPECT_NE(readFile(parameters), before[3]);
    EXPECT_EQ(writeTime(files[4]), longAgo) << "a patch file holds no host global";
    EXPECT_TRUE(filesOf(install, preset) ==
                (std::vector<std::string>{"NomInstrument", "Parametres", "Patch6"}))
        << "no temporary file is left";
}

// Other running instances hear of a save that changed the tree (their "modified" markers),
// not of one that gave every level the name it had, in an order already sorted.
TEST(PresetSave, ASaveAnnouncesOnlyAChangedTree) {
    Install install;
    addOwnPresets(install);
    for (int n = 1; n <= 2; n++) ASSERT_TRUE(install.writeFile("running" + std::to_string(n), ""));
    Session s;
    ASSERT_TRUE(s);
    const OwnPresets own = s.own();
    ASSERT_EQ(s->selectBank(0, 0, own.dark), 0);
    auto announced = [&]() { return install.exists("modified1") && install.exists("modified2"); };
    auto forget = [&]() {
        for (const char* marker : {"modified1", "modified2"}) install.removeFile(marker);
    };
    forget();
    ASSERT_FALSE(announced());

    ASSERT_EQ(s->saveCurrentPreset(), 0);
    EXPECT_FALSE(install.exists("modified1")) << "nothing changed";
    EXPECT_FALSE(install.exists("modified2")) << "nothing changed";

    // Each level renamed in turn: every change is announced, and the position follows.
    const std::vector<std::string> names = s.names();
    const std::vector<std::vector<std::string>> renamed = {
        {names[0], names[1], "Darker"}, {names[0], "Moods", "Darker"}, {"Mine", "Moods", "Darker"}};
    for (const std::vector<std::string>& to : renamed) {
        s->setPresetNames(to[0].c_str(), to[1].c_str(), to[2].c_str());
        ASSERT_EQ(s->saveCurrentPreset(), 0);
        EXPECT_TRUE(announced()) << to[0] << "/" << to[1] << "/" << to[2];
        EXPECT_EQ(s.names(), to);
        forget();
    }
    ASSERT_EQ(s->saveCurrentPreset(), 0);
    EXPECT_FALSE(install.exists("modified1")) << "nothing changed";
}

TEST_F(PresetOps, DeletingFindsTheCurrentPresetAgain) {
    Session& s = *session;
    // Another preset goes: the current one is found again by its name.
    ASSERT_EQ(s->selectBank(0, 0, own.dark), 0);
    const int presets = install.presets(0, 0);
    ASSERT_EQ(s->deletePreset(0, 0, own.bright), 0);
    EXPECT_EQ(install.presets(0, 0), presets - 1);
    const int dark = own.dark - (own.bright < own.dark ? 1 : 0);
    EXPECT_EQ(s->getPresetIndex(), dark);
    EXPECT_EQ(s.presetName(), "Dark");
    EXPECT_EQ(firstWord(install.path(install.presetDir(0, 0, dark) + "\\NomInstrument")), "Dark");
    EXPECT_FALSE(install.exists(install.presetDir(0, 0, presets - 1)));
    // The current one goes: preset 0 of the sub-bank is loaded.
    ASSERT_EQ(s->deletePreset(0, 0, dark), 0);
    EXPECT_EQ(s->getPresetIndex(), 0);
    EXPECT_EQ(s.names()[2], firstWord(install.path(install.presetDir(0, 0, 0) + "\\NomInstrument")));
    EXPECT_EQ(install.presets(0, 0), presets - 2);
    // A missing node changes nothing.
    EXPECT_EQ(s->deletePreset(0, 0, 999), 1);
    EXPECT_EQ(s->deleteBank(-1), 1);
    EXPECT_EQ(install.presets(0, 0), presets - 2);
}

TEST(PresetSave, DeletingABankOrSubBankRemovesItsDirectories) {
    Install install;
    const int a = install.banks();
    install.bank(a, "Zed", false);
    install.subBank(a, 0, "Leads");
    install.preset(a, 0, 0, "One", "VOLUME 1.000000e-001\n" + allPartsPlay(0));
    install.subBank(a, 1, "Pads");
    install.preset(a, 1, 0, "Two", "VOLUME 2.000000e-001\n" + allPartsPlay(0));
    Session s;
    ASSERT_TRUE(s);
    ASSERT_EQ(s->selectBank(a, 1, 0), 0);
    ASSERT_EQ(s->deleteSubBank(a, 1), 0);
    EXPECT_EQ(install.subBanks(a), 1);
    EXPECT_EQ(s.names(), (std::vector<std::string>{"Zed", "Leads", "One"}));
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.1f);
    ASSERT_EQ(s->deleteBank(a), 0);
    EXPECT_EQ(install.banks(), a);
    EXPECT_FALSE(install.exists("save\\P" + std::to_string(a)));
    EXPECT_EQ(s->getBankIndex(), 0);
    EXPECT_EQ(s->getNbBanks(), a + 1);
}

const char kWithoutDorvaneVariable[] = "HALVORN_PLUGIN_WITHOUT_DORVANE";

// Runs in a copy of this program in a folder without Dorvane.dll (see below): the variable
// names the plug-in, and the installation is the one the parent registered.
TEST(PresetWithoutDorvaneChild, ADeletionThatCannotRemoveTheDirectoryFails) {
    char plugin[MAX_PATH] = {0};
    if (!GetEnvironmentVariableA(kWithoutDorvaneVariable, plugin, MAX_PATH)) GTEST_SKIP() << "runs as a child only";
    // Every operation that needs the library says so; each box is answered as it comes.
    DialogAnswerer alerts("Alert !", IDCANCEL);
    {
        TestHost host;
        ASSERT_TRUE(host.load(plugin));
        AEffect* fx = host.create();
        ASSERT_NE(fx, nullptr);
        Halvorn* instrument = static_cast<Halvorn*>(static_cast<AudioEffect*>(fx->object));
        ASSERT_EQ(GetModuleHandleA("Dorvane.dll"), nullptr);
        const int presets = instrument->getNbPresets(0, 0);
        int dark = -1;
        for (int c = 0; c < presets; c++) {
            char name[kPresetNameSize];
            instrument->getPresetName(name, c, 0, 0);
            if (std::string(name) == "Dark") dark = c;
        }
        ASSERT_GE(dark, 0);
        // Twice at the same number: the first failure leaves nothing in the way of the second.
        for (int attempt = 0; attempt < 2; attempt++) {
            SCOPED_TRACE(attempt);
            const size_t before = alerts.answered().size();
            EXPECT_EQ(instrument->deletePreset(0, 0, dark), 1);
            const auto shown = alerts.answered();
            ASSERT_GT(shown.size(), before);
            EXPECT_TRUE(holds(shown.back(), "Impossible to find Dorvane.dll"));
            EXPECT_EQ(instrument->getNbPresets(0, 0), presets);
            char name[kPresetNameSize];
            instrument->getPresetName(name, dark, 0, 0);
            EXPECT_STREQ(name, "Dark");
        }
        host.close();
    }
    alerts.stop();
    if (!::testing::Test::HasFailure()) std::ofstream("child.done") << "ok";
}

TEST(PresetSave, WithoutDorvaneADeletionFailsAndTheDirectoryKeepsItsName) {
    Install install;
    addOwnPresets(install);
    ASSERT_TRUE(CreateDirectoryA(install.path("alone").c_str(), nullptr));
    const std::string copy = install.path("alone\\presets_child.exe");
    ASSERT_TRUE(CopyFileA(thisProgram().c_str(), copy.c_str(), FALSE));
    EXPECT_TRUE(runChild(copy, "PresetWithoutDorvaneChild.*", install.path("alone"), kWithoutDorvaneVariable,
                         TestHost::pluginPath(10)));
    EXPECT_TRUE(install.exists("alone\\child.done")) << "the child ran its test";
    // The preset keeps its directory, its number and its files; nothing stays aside.
    const std::string dir = findPreset(install, "Dark");
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(filesOf(install, dir), (std::vector<std::string>{"NomInstrument", "Parametres", "Patch6"}));
    for (const std::string& name : listDir(install.path("save\\P0\\B0"), true))
        EXPECT_EQ(name.rfind("tmp~", 0), std::string::npos) << name;
}

TEST(PresetSave, APresetOfTheMergedBankIsSavedIntoItsOwnBank) {
    // Two banks with a sub-bank and preset of the same names: in "All" the sub-bank holds
    // both presets, and a save of the second must not reach the first.
    Install install;
    const int a = install.banks();
    for (int n = 0; n < 2; n++) {
        install.bank(a + n, n == 0 ? "Twin" : "Twin2", false);
        install.subBank(a + n, 0, "Same");
        install.preset(a + n, 0, 0, "Init", "VOLUME " + std::to_string(0.1 * (n + 1)) + "\n" + allPartsPlay(0));
    }
    Session s;
    ASSERT_TRUE(s);
    const int all = s->getNbBanks() - 1;
    int same = -1;
    for (int b = 0; b < s->getNbSubBanks(all); b++) {
        char name[kPresetNameSize];
        s->getSubBankName(name, b, all);
        if (std::string(name) == "Same") same = b;
    }
    ASSERT_GE(same, 0);
    ASSERT_EQ(s->getNbPresets(all, same), 2);
    ASSERT_EQ(s->selectBank(all, same, 1), 0);
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.2f);
    const std::string first = install.read(install.presetDir(a, 0, 0) + "\\Parametres");
    s.set(kVolume, 0.3f);
    ASSERT_EQ(s->saveCurrentPreset(), 0);
    EXPECT_EQ(install.read(install.presetDir(a, 0, 0) + "\\Parametres"), first);
    std::vector<std::string> lines = linesOf(install.read(install.presetDir(a + 1, 0, 0) + "\\Parametres"));
    EXPECT_EQ(lines[0], "Nom du fichier      : Twin2");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "VOLUME 3.000000e-001"), lines.end());
    EXPECT_EQ(s->getPresetIndex(), 1);
    EXPECT_EQ(s.names(), (std::vector<std::string>{"All", "Same", "Init"}));
}

TEST(PresetSave, AttributesAsLongAsAnImportWritesThemSurviveALoadAndASave) {
    Install install;
    const std::string kept[] = {"comment=Rhodes_through_a_small_amp_recorded_1977", "k=" + std::string(253, 'v')};
    const std::string tooLong = "big=" + std::string(300, 'w');
    std::string parameters = "Nom du fichier      : x\n";
    for (const std::string& attribute : kept) parameters += "@ATTR " + attribute + "\n";
    parameters += "@ATTR " + tooLong + "\nVOLUME 2.500000e-001\n" + allPartsPlay(0);
    install.preset(0, 0, install.presets(0, 0), "Noted", parameters);
    Session s;
    ASSERT_TRUE(s);
    const int at = s.presetIndexOf("Noted");
    ASSERT_GE(at, 0);
    ASSERT_EQ(s->selectBank(0, 0, at), 0);
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        ASSERT_EQ(s->saveCurrentPreset(), 0);
        const std::vector<std::string> lines = linesOf(install.read(findPreset(install, "Noted") + "\\Parametres"));
        for (const std::string& attribute : kept)
            EXPECT_TRUE(std::find(lines.begin(), lines.end(), "@ATTR " + attribute) != lines.end()) << attribute.size();
        // Longer than any import writes: left out rather than written cut.
        for (const std::string& line : lines) EXPECT_NE(line.rfind("@ATTR big=", 0), 0u) << line.size();
        ASSERT_EQ(s->selectPreset(s->getPresetIndex()), 0);
    }
}

// ---- exchange files ----------------------------------------------------------------------

// A file of the store's own kind, on the instrument's install settings.
std::unique_ptr<CCPFileIO> openFile(Session& s, const std::string& path, const char* mode) {
    std::unique_ptr<CCPFileIO> file(createFileIO(s->getInstallSettings()));
    if (!file || file->openAbsolute(path.c_str(), mode) != kFileOk) return nullptr;
    return file;
}

// The parameter lines of a preset directory's files, header and comment lines left out.
std::map<std::string, std::vector<std::string>> presetContents(const Install& install, const std::string& dir) {
    std::map<std::string, std::vector<std::string>> files;
    for (const std::string& name : filesOf(install, dir)) {
        if (name == "NomInstrument") continue;
        std::vector<std::string> lines;
        for (const std::string& line : linesOf(install.read(dir + "\\" + name)))
            if (line.rfind("Nom", 0) != 0 && line.rfind("#", 0) != 0 && !line.empty()) lines.push_back(line);
        files[name] = lines;
    }
    return files;
}

TEST_F(PresetOps, AnExportedBankImportsAsTheSamePresets) {
    Session& s = *session;
    // Written once by the instrument, so every file is of its own making.
    for (int c : {own.bright, own.dark}) {
        ASSERT_EQ(s->selectBank(0, 0, c), 0);
        ASSERT_EQ(s->saveCurrentPreset(), 0);
    }
    char bankName[kPresetNameSize];
    s->getBankName(bankName, 0);
    const int banks = s->getNbBanks();
    const std::string exported = install.path("bank.ays");
    {
        auto file = openFile(s, exported, "wb");
        ASSERT_TRUE(file);
        ASSERT_EQ(s->exportBank(file.get()), 0);
        file->close();
    }
    EXPECT_EQ(s->exportBank(nullptr), 1);
    {
        auto file = openFile(s, exported, "rb");
        ASSERT_TRUE(file);
        EXPECT_EQ(s->importBank(file.get()), 0);
        file->close();
    }
    ASSERT_EQ(s->getNbBanks(), banks + 1);
    // A bank of that name exists: the import takes the name followed by 0.
    const int imported = s.bankNamed(std::string(bankName) + "0");
    ASSERT_GE(imported, 0);
    // The position still names the preset it named.
    EXPECT_EQ(s.names()[2], "Dark");
    const int original = s.bankNamed(bankName);
    ASSERT_GE(original, 0);
    ASSERT_EQ(install.subBanks(imported), install.subBanks(original));
    for (int b = 0; b < install.subBanks(original); b++) {
        ASSERT_EQ(install.presets(imported, b), install.presets(original, b));
        for (int c = 0; c < install.presets(original, b); c++) {
            SCOPED_TRACE(install.presetDir(original, b, c));
            EXPECT_EQ(presetContents(install, install.presetDir(imported, b, c)),
                      presetContents(install, install.presetDir(original, b, c)));
        }
    }
    // The imported presets load like the originals.
    ASSERT_EQ(s->selectBank(imported, 0, own.bright), 0);
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.25f);
}

TEST_F(PresetOps, ASubBankOrPresetExportHoldsThatEntry) {
    Session& s = *session;
    ASSERT_EQ(s->selectBank(0, 0, own.dark), 0);
    for (int mode = 1; mode <= 2; mode++) {
        const std::string exported = install.path("entry" + std::to_string(mode) + ".ays");
        {
            auto file = openFile(s, exported, "wb");
            ASSERT_TRUE(file);
            ASSERT_EQ(mode == 1 ? s->exportSubBank(file.get()) : s->exportPreset(file.get()), 0);
            file->close();
        }
        const std::string text = readFile(exported);
        EXPECT_NE(text.find("Dark"), std::string::npos) << mode;
        EXPECT_EQ(text.find("Bright") != std::string::npos, mode == 1) << mode;
        auto file = openFile(s, exported, "rb");
        ASSERT_TRUE(file);
        const int banks = s->getNbBanks();
        EXPECT_EQ(s->importBank(file.get()), 0);
        file->close();
        EXPECT_EQ(s->getNbBanks(), banks + 1);
    }
}

const char kImportChildVariable[] = "HALVORN_IMPORT_CHILD";

// Runs in a process of its own (see below): the dialogs it answers leave their libraries in
// the process, where the construction's test must find none.
TEST(PresetImportChild, AFailedImportSaysSoOnceAndAnswersFailure) {
    if (!GetEnvironmentVariableA(kImportChildVariable, nullptr, 0)) GTEST_SKIP() << "runs as a child only";
    Install install;
    addOwnPresets(install);
    Session s;
    ASSERT_TRUE(s);
    const std::string exported = install.path("preset.ays");
    {
        auto file = openFile(s, exported, "wb");
        ASSERT_TRUE(file);
        ASSERT_EQ(s->exportPreset(file.get()), 0);
        file->close();
    }
    const std::string good = readFile(exported);
    ASSERT_GT(good.size(), 20u);
    const std::string head = chunkBytes("VEXA", "0000") + chunkBytes("BANK", "New") + chunkBytes("NBSB", "01") +
                             chunkBytes("SBNK", "S") + chunkBytes("NBPR", "01") + chunkBytes("PRST", "P") +
                             chunkBytes("NBPA", "00");
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"cut short", good.substr(0, good.size() - 3)},
        {"a patch file no import writes", head + chunkBytes("NBPT", "01") + chunkBytes("PATC", "Patch2.old") +
                                              chunkBytes("NBPA", "00")},
        // Reported by the store itself: still once.
        {"no bank file", chunkBytes("VEXA", "0000") + chunkBytes("NAME", "x") + chunkBytes("NBSB", "01")},
        {"empty", ""},
    };
    const int banks = s->getNbBanks();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(install.writeFile("bad.ays", c.bytes));
        auto file = openFile(s, install.path("bad.ays"), "rb");
        ASSERT_TRUE(file);
        DialogAnswerer answerer("Import failed", IDOK);
        EXPECT_EQ(s->importBank(file.get()), 1);
        answerer.stop();
        file->close();
        const auto shown = answerer.answered();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(holds(shown[0], "Your file seems to be corrupted !"));
        EXPECT_EQ(s->getNbBanks(), banks);
    }
    s.close();
    if (!::testing::Test::HasFailure()) std::ofstream("child.done") << "ok";
}

TEST(PresetImport, AFailedImportSaysSoOnceAndAnswersFailure) {
    Install place;  // the child's working folder
    EXPECT_TRUE(runChild(thisProgram(), "PresetImportChild.*", place.dir(), kImportChildVariable, "1"));
    EXPECT_TRUE(place.exists("child.done")) << "the child ran its test";
}

// ---- two instances -----------------------------------------------------------------------

TEST(PresetShared, TwoInstancesSeeEachOthersChanges) {
    Install install;
    addOwnPresets(install);
    Session first, second;
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    OwnPresets own = first.own();
    ASSERT_EQ(first->selectBank(0, 0, own.bright), 0);
    ASSERT_EQ(second->selectBank(0, 0, own.dark), 0);
    const int presets = second->getCurrentNbPresets();

    // A new preset of the first sorts the sub-bank, then takes a name that sorts it to the
    // front: the second follows its own preset each time.
    auto darkOnDisk = [&]() {
        std::vector<std::string> names = presetNamesOnDisk(install, 0, 0);
        return (int)(std::find(names.begin(), names.end(), "Dark") - names.begin());
    };
    ASSERT_EQ(first->saveAsNewPreset(), 0);
    EXPECT_EQ(first.names()[2], "Default0");
    EXPECT_EQ(second->getCurrentNbPresets(), presets + 1);
    EXPECT_EQ(second.presetName(), "Dark");
    EXPECT_EQ(second->getPresetIndex(), darkOnDisk());
    first->setPresetNames(first.names()[0].c_str(), first.names()[1].c_str(), "Aaa");
    ASSERT_EQ(first->saveCurrentPreset(), 0);
    EXPECT_EQ(first->getPresetIndex(), 0);
    EXPECT_EQ(second.presetName(), "Dark");
    EXPECT_EQ(second->getPresetIndex(), darkOnDisk());
    // The second loads what the first saved.
    first.set(kVolume, 0.875f);
    ASSERT_EQ(first->saveCurrentPreset(), 0);
    ASSERT_EQ(second->selectPreset(first->getPresetIndex()), 0);
    EXPECT_EQ(second.names()[2], first.names()[2]);
    EXPECT_FLOAT_EQ(second.get(kVolume), 0.875f);
    // The first deletes the second's preset: the second keeps its place until it loads.
    ASSERT_EQ(second->selectPreset(darkOnDisk()), 0);
    ASSERT_EQ(first->deletePreset(0, 0, darkOnDisk()), 0);
    EXPECT_EQ(second->getCurrentNbPresets(), presets);
    EXPECT_EQ(second->selectPreset(second->getPresetIndex()), 0);
    second.close();
    // The tree outlives the first instance to leave.
    char name[kPresetNameSize];
    first->getPresetName(name, 0, 0, 0);
    EXPECT_STRNE(name, "Error");
}

TEST(PresetShared, DorvaneIsBoundOnceWhileInstancesLive) {
    Install install;
    addOwnPresets(install);
    ModuleLoads dorvane(L"Dorvane.dll");
    ASSERT_TRUE(dorvane.watching());
    ASSERT_EQ(GetModuleHandleA("Dorvane.dll"), nullptr);
    {
        Session first;
        ASSERT_TRUE(first);
        EXPECT_EQ(dorvane.loads(), 1) << "the construction's operations share one binding";
        Session second;
        ASSERT_TRUE(second);
        ASSERT_EQ(first->saveAsNewPreset(), 0);
        ASSERT_EQ(second->selectPreset(second.presetIndexOf("Dark")), 0);
        ASSERT_EQ(second->deletePreset(0, 0, second.presetIndexOf("Bright")), 0);
        EXPECT_EQ(dorvane.loads(), 1);
        EXPECT_EQ(dorvane.unloads(), 0);
        first.close();
        EXPECT_EQ(dorvane.unloads(), 0) << "bound while the second instance lives";
        ASSERT_EQ(second->saveAsNewPreset(), 0);
        EXPECT_EQ(dorvane.loads(), 1);
        second.close();
        EXPECT_EQ(dorvane.unloads(), 1) << "released with the last instance";
        EXPECT_EQ(GetModuleHandleA("Dorvane.dll"), nullptr);
    }
    // A later instance binds it again.
    Session again;
    ASSERT_TRUE(again);
    EXPECT_EQ(dorvane.loads(), 2);
}

// The construction lists and reads files through Dorvane; the libraries of its dialogs are
// loaded only when a dialog is shown (they cost tens of milliseconds under wine).
TEST(PresetShared, AConstructionLoadsNoDialogLibrary) {
    const wchar_t* const kDialogLibraries[] = {L"comctl32.dll", L"comdlg32.dll", L"shell32.dll", L"oleaut32.dll"};
    Install install;
    ModuleLoads dorvane(L"Dorvane.dll");
    std::vector<std::unique_ptr<ModuleLoads>> libraries;
    for (const wchar_t* name : kDialogLibraries) {
        ASSERT_EQ(GetModuleHandleW(name), nullptr) << "the test process itself holds a dialog library";
        libraries.emplace_back(new ModuleLoads(name));
        ASSERT_TRUE(libraries.back()->watching());
    }
    Session session;
    ASSERT_TRUE(session);
    ASSERT_EQ(dorvane.loads(), 1) << "the construction goes through Dorvane";
    for (size_t i = 0; i < libraries.size(); i++) EXPECT_EQ(libraries[i]->loads(), 0) << kDialogLibraries[i];
    // A message dialog binds what it needs: it is shown (and answered) all the same.
    std::atomic<bool> seen{false};
    std::thread watcher([&] {
        for (int i = 0; i < 500 && !seen; i++) {
            if (HWND dialog = FindWindowA("#32770", "Bound late")) {
                seen = true;
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            }
            Sleep(10);
        }
    });
    MessageDialog().show(0, "Bound late", "A message", "OK", nullptr);
    watcher.join();
    EXPECT_TRUE(seen);
    EXPECT_EQ(libraries[0]->loads(), 1) << "the dialog's common controls";
}

// ---- a load against every parameter sent again ------------------------------------------

// The four index ranges of the program, in the order a whole program is applied.
const int kRanges[4][2] = {{0, 495}, {496, 548}, {1000, 1351}, {2000, 2108}};
// The part tunes draw from the engine's random generator at every send: a load sends them
// once, and so does the ordinary path; sent again they would move the generator on.
const int kFirstPartTune = 2097, kLastPartTune = 2104;
const int kFirstPartPatch = 2000, kLastPartPatch = 2007;
const int kMultiMode = 2089;

std::string partPatches(const std::array<int, 8>& patches) {
    std::string text;
    for (int part = 0; part < 8; part++)
        text += "NUM_PATCH_VOIE" + std::to_string(part + 1) + " " + std::to_string(patches[(size_t)part]) + "\n";
    return text;
}

// Patch files (Patch<n> holds patch n - 1) whose signal paths differ: two modulation rows
// into one input, oscillator 2 merged into line 1, sines mixed in and filters left out,
// LFOs on the pulse width and in both trigger modes, 4-pole filters and sync.
const std::map<int, std::string> kRoutedPatches = {
    {1, "MODULATION01_OUTPUT 1\nMODULATION01_INPUT 3\nMODULATION01_AMOUNT 0.8\n"
        "MODULATION02_OUTPUT 1\nMODULATION02_INPUT 7\nMODULATION02_AMOUNT 0.3\n"
        "MODULATION03_OUTPUT 8\nMODULATION03_INPUT 5\nMODULATION03_AMOUNT 0.7\n"},
    {2, "OSC2_DERIVE 1\nMIXE 0.3\nON_HIGHT1 0\nMODULATION01_OUTPUT 16\nMODULATION01_INPUT 2\n"},
    {3, "OSC1_ON_SIN 1\nOSC1_SINUS 0.7\nOSC2_ON_SIN 1\nON_LOW2 0\nLFO1_DEPTH_PWM 0.6\n"
        "MODULATION01_OUTPUT 16\nMODULATION01_INPUT 8\nMODULATION02_OUTPUT 16\nMODULATION02_INPUT 0\n"},
    {4, "LFO1_TRIGG 0\nLFO2_TRIGG 0.5\nLFO2_DEPTH_PWM 0.4\nFILTRE1_TYPE 1\nOSC1_SYNCHRO 1\nOSC2_DERIVE 1\n"
        "OSC2_ON_SIN 1\nON_HIGHT2 0\n"},
};

// The routed patches in a sub-bank of their own, on parts spread over them, with the
// modulation panel open or closed, and in the single mode.
void addRoutedPresets(Install& install) {
    const int b = install.subBanks(0);
    install.subBank(0, b, "Routes");
    const std::string voices = "ZONE1_MODE 1\nNBR_POLY_CARTE 1\n";
    install.preset(0, b, 0, "Spread", voices + "TRAPPE_MODUL 1\n" + partPatches({0, 1, 2, 3, 1, 2, 3, 0}),
                   kRoutedPatches);
    install.preset(0, b, 1, "Single", voices + "TRAPPE_MODUL 1\nTRAPPE_MULTI 3\n" + partPatches({3, 2, 1, 0, 0, 1, 2, 3}),
                   kRoutedPatches);
    install.preset(0, b, 2, "Closed", voices + "TRAPPE_MODUL 0\n" + partPatches({3, 3, 2, 2, 1, 1, 0, 0}),
                   kRoutedPatches);
}

// Every parameter again through the effect's setParameter, in the program's order. In the
// single mode the part patches are left out: each would route every part by the multi
// mode's lists until the mode setting takes them back, and the chains rebuilt on that
// detour end in another order than a load builds.
void setEveryParameterAgain(AEffect* fx) {
    const bool single = fx->getParameter(fx, kMultiMode) != 0.f;
    for (const auto& range : kRanges)
        for (int index = range[0]; index <= range[1]; index++) {
            if (index >= kFirstPartTune && index <= kLastPartTune) continue;
            if (single && index >= kFirstPartPatch && index <= kLastPartPatch) continue;
            fx->setParameter(fx, index, fx->getParameter(fx, index));
        }
}

// A chord held and released, rendered in 256-frame blocks: every output, end to end.
std::vector<std::vector<float>> playChord(Session& s) {
    static const unsigned char kNotes[] = {48, 55, 60, 64, 67, 72};
    std::vector<std::vector<float>> take((size_t)s.fx->numOutputs), block;
    auto render = [&](int blocks) {
        for (int n = 0; n < blocks; n++) {
            s.host.render(block, 256);
            for (size_t c = 0; c < block.size(); c++) take[c].insert(take[c].end(), block[c].begin(), block[c].end());
        }
    };
    for (unsigned char note : kNotes) {
        s.host.sendMidi(0x90, note, 100);
        render(2);
    }
    render(40);
    for (unsigned char note : kNotes) s.host.sendMidi(0x80, note, 0);
    render(30);
    return take;
}

struct Position {
    int bank, subBank, preset;
    std::string name;
};

// Every preset of the first bank, in the tree's order.
std::vector<Position> presetsOfFirstBank(Session& s) {
    std::vector<Position> found;
    for (int b = 0; b < s->getNbSubBanks(0); b++)
        for (int c = 0; c < s->getNbPresets(0, b); c++) {
            char name[kPresetNameSize];
            s->getPresetName(name, c, 0, b);
            found.push_back({0, b, c, name});
        }
    return found;
}

// The first sample where two takes part, as "output n, frame f", or "" when they are equal.
std::string firstDifference(const std::vector<std::vector<float>>& a, const std::vector<std::vector<float>>& b) {
    if (a.size() != b.size()) return "output count";
    for (size_t c = 0; c < a.size(); c++) {
        if (a[c].size() != b[c].size()) return "length of output " + std::to_string(c);
        for (size_t i = 0; i < a[c].size(); i++)
            if (std::memcmp(&a[c][i], &b[c][i], sizeof(float)) != 0)
                return "output " + std::to_string(c) + ", frame " + std::to_string(i);
    }
    return "";
}

double rms(const std::vector<float>& samples) {
    double sum = 0.0;
    for (float x : samples) sum += (double)x * x;
    return samples.empty() ? 0.0 : std::sqrt(sum / (double)samples.size());
}

// A preset load leaves the engine as every parameter sent again one by one would: two
// instances load the same presets, one of them then has every parameter set again as a host
// sets it, and both must play the same notes to the bit.
TEST(PresetLoad, LeavesTheEngineAsEveryParameterSentAgainWould) {
    Install install;
    addRoutedPresets(install);
    std::vector<Position> factory, routed;
    {
        Session lister;
        ASSERT_TRUE(lister);
        for (const Position& p : presetsOfFirstBank(lister))
            (p.name == "Spread" || p.name == "Single" || p.name == "Closed" ? routed : factory).push_back(p);
    }
    ASSERT_EQ(routed.size(), 3u);
    ASSERT_GE(factory.size(), 6u);

    // Each load starts from another preset's parts and signal paths, played: every factory
    // preset after a routed one and before the next, and each routed one after the others.
    std::vector<std::pair<Position, Position>> steps;
    for (size_t n = 0; n < factory.size(); n++) {
        steps.push_back({routed[n % routed.size()], factory[n]});
        steps.push_back({factory[n], routed[(n + 1) % routed.size()]});
    }
    for (size_t n = 0; n < routed.size(); n++) steps.push_back({routed[n], routed[(n + 1) % routed.size()]});

    for (const auto& step : steps) {
        SCOPED_TRACE(step.first.name + " then " + step.second.name);
        // A fresh pair each time: the two must have the same past up to the load.
        Session loaded, resent;
        ASSERT_TRUE(loaded);
        ASSERT_TRUE(resent);
        for (Session* session : {&loaded, &resent}) {
            const Position& p = step.first;
            ASSERT_EQ((*session)->selectBank(p.bank, p.subBank, p.preset), 0);
            playChord(*session);
            const Position& q = step.second;
            ASSERT_EQ((*session)->selectBank(q.bank, q.subBank, q.preset), 0);
        }
        setEveryParameterAgain(resent.fx);
        const std::vector<std::vector<float>> a = playChord(loaded), b = playChord(resent);
        ASSERT_GT(rms(a[0]), 1e-4) << "the preset plays nothing";
        EXPECT_EQ(firstDifference(a, b), "");
        if (step.second.name == "Spread" || step.second.name == "Closed") {
            // The chord reaches parts of every routed patch.
            int sounding = 0;
            for (size_t part = 2; part < a.size(); part++) sounding += rms(a[part]) > 1e-4 ? 1 : 0;
            EXPECT_GE(sounding, 4);
        }
    }
}


// ---- hostile files -----------------------------------------------------------------------

// Every operation reads the installation directory from the registry: another directory
// named there, or the key deleted and made again, is where the next load reads.
TEST(PresetFiles, EveryOperationReadsTheInstallationDirectoryAnew) {
    Install first;
    Session s;
    ASSERT_TRUE(s);
    auto setVolume = [](Install& install, const char* value) {
        for (int c = 0; c < install.presets(0, 0); c++)
            ASSERT_TRUE(install.writeFile(install.presetDir(0, 0, c) + "\\Parametres", std::string("VOLUME ") + value + "\n"));
    };
    // A directory the store cannot find shows the not-installed message: answered here.
    std::atomic<bool> done{false};
    std::atomic<int> alerts{0};
    std::thread watcher([&] {
        while (!done) {
            if (HWND alert = FindWindowA("#32770", "Alert")) {
                alerts++;
                SendMessageA(alert, WM_CLOSE, 0, 0);
            }
            Sleep(5);
        }
    });
    Install second;  // named in the registry from here on
    setVolume(second, "2.500000e-001");
    EXPECT_EQ(s->selectBank(0, 0, 0), 0);
    EXPECT_EQ(s.get(kVolume), 0.25f) << "read from the directory named last";

    setVolume(first, "1.250000e-001");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Vantrope\\Halvorn"), ERROR_SUCCESS);
    TestInstall::setRegisteredDir(first.dir());
    EXPECT_EQ(s->selectBank(0, 0, 0), 0);
    EXPECT_EQ(s.get(kVolume), 0.125f) << "read through the key made again";
    done = true;
    watcher.join();
    EXPECT_EQ(alerts, 0);
}

TEST(PresetFiles, AHostileOrTruncatedPresetFileLoadsWhatItCan) {
    struct Case {
        const char* what;
        std::string parameters;
        float volume;  // VOLUME after the load
        int patch;     // the patch that part 1 plays, -1 for none
        std::map<int, std::string> patchFiles;
    };
    static const char kBinary[] = "\x01\xff\x00\x80 VOLUME \x7f\n\x00";
    const Case cases[] = {
        {"truncated in a value", "VOLUME 3.000000e-001\nNUM_PATCH_VOIE1 4\nPORTAMENTO 1.0e", 0.3f, 4},
        {"truncated after a key", "VOLUME 3.000000e-001\nNUM_PATCH_VOIE1", 0.3f, -1},
        {"patch numbers beyond 0-7", "NUM_PATCH_VOIE1 99\nNUM_PATCH_VOIE2 -5\nVOLUME 4.000000e-001\n", 0.4f, 7,
         {{8, "MIXE 2.500000e-001\n"}, {1, "MIXE 1.250000e-001\n"}}},
        {"a word of a thousand characters", std::string(1000, 'K') + " 1\nVOLUME 5.000000e-001\n", 0.5f, -1},
        {"header lines only", "Nom du fichier : " + std::string(500, 'x') + "\n#\n@ATTR\n", -1.f, -1},
        {"binary", std::string(kBinary, sizeof(kBinary) - 1), -1.f, -1},
        {"a number that is not one", "VOLUME 1e999999\nNUM_PATCH_VOIE1 nan\n", -1.f, 0},
        {"an attribute of three hundred characters", "@ATTR " + std::string(300, '=') + "\nVOLUME 6.000000e-001\n",
         0.6f, -1},
        {"empty", "", -1.f, -1},
    };
    Install install;
    const int first = install.presets(0, 0);
    int c = first;
    for (const Case& k : cases) {
        install.preset(0, 0, c, "Hostile" + std::to_string(c), k.parameters, k.patchFiles);
        c++;
    }
    install.preset(0, 0, c, "Missing", "");
    ASSERT_TRUE(install.removeFile(install.presetDir(0, 0, c) + "\\Parametres"));
    Session s;
    ASSERT_TRUE(s);
    c = first;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        s.set(kVolume, 0.123f);
        const int at = s.presetIndexOf("Hostile" + std::to_string(c++));
        ASSERT_GE(at, 0);
        ASSERT_EQ(s->selectBank(0, 0, at), 0);
        if (k.volume >= 0) EXPECT_FLOAT_EQ(s.get(kVolume), k.volume);
        EXPECT_EQ(s->getPartPatch(0), k.patch);
        // Patch files of the numbers the file names, within 0-7.
        for (const auto& file : k.patchFiles)
            EXPECT_FLOAT_EQ(s.get(keyIndex("MIXE", file.first - 1)),
                            (float)std::atof(file.second.c_str() + 5)) << file.first;
        std::vector<std::vector<float>> buffers;
        s.host.sendMidi(0x90, 60, 100);
        s.host.render(buffers, 1024);
        for (float x : buffers[0]) ASSERT_TRUE(std::isfinite(x));
    }
    // Without its parameter file the preset is not loaded: the record and names stay.
    const std::vector<std::string> names = s.names();
    s.set(kVolume, 0.321f);
    EXPECT_EQ(s->selectPreset(s.presetIndexOf("Missing")), 1);
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.321f);
    EXPECT_EQ(s.names(), names);
    // A save then goes to the preset that was loaded, not to the one without its file.
    ASSERT_EQ(s->saveCurrentPreset(), 0);
    EXPECT_FALSE(install.exists(findPreset(install, "Missing") + "\\Parametres"));
    EXPECT_TRUE(install.exists(findPreset(install, names[2]) + "\\Parametres"));
}

// ---- the cache and the markers -----------------------------------------------------------

TEST(PresetTreeFiles, TheLastInstanceWritesTheCacheAndAWarmStartReadsIt) {
    Install install;
    {
        Session s;
        ASSERT_TRUE(s);
        EXPECT_FALSE(install.exists("session.dat"));  // no running marker: no session
    }
    EXPECT_TRUE(install.exists("wqnt.dat"));
    EXPECT_FALSE(install.exists("session.dat"));

    // With exactly one running marker the session marker is written at the end, and the
    // next start takes the tree from the cache rather than from the directories.
    ASSERT_TRUE(install.writeFile("running.1", ""));
    {
        Session s;
        ASSERT_TRUE(s);
    }
    EXPECT_TRUE(install.exists("session.dat"));
    const std::string cache = install.read("wqnt.dat");
    const int presets = install.presets(0, 0);
    install.preset(0, 0, presets, "Unseen", allPartsPlay(0));
    {
        Session s;
        ASSERT_TRUE(s);
        EXPECT_FALSE(install.exists("session.dat"));
        EXPECT_EQ(s->getNbPresets(0, 0), presets);
    }
    // Without the session marker a cache, even a stale one, is dropped and the directories
    // probed.
    ASSERT_TRUE(install.removeFile("running.1"));
    ASSERT_TRUE(install.removeFile("session.dat"));
    ASSERT_TRUE(install.writeFile("wqnt.dat", cache));
    Session s;
    ASSERT_TRUE(s);
    EXPECT_EQ(s->getNbPresets(0, 0), presets + 1);
}

TEST(PresetTreeFiles, OneRunningMarkerRepairsTheSaveDirectory) {
    for (int markers : {0, 1, 2}) {
        SCOPED_TRACE(markers);
        Install install;
        for (int n = 0; n < markers; n++) ASSERT_TRUE(install.writeFile("running" + std::to_string(n), ""));
        ASSERT_TRUE(install.writeFile("save\\stray.txt", "x"));
        Session s;
        ASSERT_TRUE(s);
        EXPECT_EQ(install.exists("save\\stray.txt"), markers != 1);
    }
}

// ---- a musician's round trip -------------------------------------------------------------

TEST(PresetRoundTrip, ASavedSoundComesBackAfterTheHostStartsAgain) {
    Install install;
    addOwnPresets(install);
    const int mix = keyIndex("MIXE", 2);
    // Each run hears the preset right after its load, so the runs start alike.
    double original, before;
    {
        Session s;
        ASSERT_TRUE(s);
        ASSERT_EQ(s->selectBank(0, 0, s.own().bright), 0);
        original = s.playNote(60);
    }
    {
        Session s;
        ASSERT_TRUE(s);
        ASSERT_EQ(s->selectBank(0, 0, s.own().bright), 0);
        s.set(kVolume, 0.9f);
        s.set(mix, 0.05f);
        ASSERT_EQ(s->saveCurrentPreset(), 0);
        before = s.playNote(60);
        EXPECT_GT(std::fabs(before - original), 0.05 * original);  // the edit is audible
        s.close();
    }
    Session s;
    ASSERT_TRUE(s);
    ASSERT_EQ(s->selectBank(0, 0, s.own().bright), 0);
    EXPECT_FLOAT_EQ(s.get(kVolume), 0.9f);
    EXPECT_FLOAT_EQ(s.get(mix), 0.05f);
    const double after = s.playNote(60);
    EXPECT_GT(after, 1e-4);
    EXPECT_NEAR(after, before, 1e-3 * before);
}

}  // namespace
