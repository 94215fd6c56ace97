// A preset load through the built plug-in leaves the engine as every parameter sent again
// one by one would: two instances load the same presets, one of them then has every
// parameter set again as a host sets it, and both must play the same notes to the bit.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/halvorn.h"
#include "host/test_host.h"

namespace {

// The four index ranges of the program, in the order a whole program is applied.
const int kRanges[4][2] = {{0, 495}, {496, 548}, {1000, 1351}, {2000, 2108}};
// The part tunes draw from the engine's random generator at every send: a load sends them
// once, and so does the ordinary path; sent again they would move the generator on.
const int kFirstPartTune = 2097, kLastPartTune = 2104;
const int kFirstPartPatch = 2000, kLastPartPatch = 2007;
const int kMultiMode = 2089;

struct Install : TestInstall {
    void makeDirs(const std::string& relative) {
        std::string at = dir();
        std::istringstream parts(relative);
        std::string part;
        while (std::getline(parts, part, '\\')) {
            at += "\\" + part;
            CreateDirectoryA(at.c_str(), nullptr);
        }
    }
    // A preset with its parameter file and its patch files (Patch<n> holds patch n - 1).
    void preset(const std::string& dir, const std::string& name, const std::string& parameters,
                const std::map<int, std::string>& patches) {
        makeDirs(dir);
        ASSERT_TRUE(writeFile(dir + "\\NomInstrument", name));
        ASSERT_TRUE(writeFile(dir + "\\Parametres", parameters));
        for (const auto& patch : patches)
            ASSERT_TRUE(writeFile(dir + "\\Patch" + std::to_string(patch.first + 1), patch.second));
    }
};

std::string partPatches(const std::array<int, 8>& patches) {
    std::string text;
    for (int part = 0; part < 8; part++)
        text += "NUM_PATCH_VOIE" + std::to_string(part + 1) + " " + std::to_string(patches[(size_t)part]) + "\n";
    return text;
}

// Patches whose signal paths differ: two modulation rows into one input, oscillator 2
// merged into line 1, sines mixed in and filters left out, LFOs on the pulse width and in
// both trigger modes, 4-pole filters and sync.
const std::map<int, std::string> kRoutedPatches = {
    {0, "MODULATION01_OUTPUT 1\nMODULATION01_INPUT 3\nMODULATION01_AMOUNT 0.8\n"
        "MODULATION02_OUTPUT 1\nMODULATION02_INPUT 7\nMODULATION02_AMOUNT 0.3\n"
        "MODULATION03_OUTPUT 8\nMODULATION03_INPUT 5\nMODULATION03_AMOUNT 0.7\n"},
    {1, "OSC2_DERIVE 1\nMIXE 0.3\nON_HIGHT1 0\nMODULATION01_OUTPUT 16\nMODULATION01_INPUT 2\n"},
    {2, "OSC1_ON_SIN 1\nOSC1_SINUS 0.7\nOSC2_ON_SIN 1\nON_LOW2 0\nLFO1_DEPTH_PWM 0.6\n"
        "MODULATION01_OUTPUT 16\nMODULATION01_INPUT 8\nMODULATION02_OUTPUT 16\nMODULATION02_INPUT 0\n"},
    {3, "LFO1_TRIGG 0\nLFO2_TRIGG 0.5\nLFO2_DEPTH_PWM 0.4\nFILTRE1_TYPE 1\nOSC1_SYNCHRO 1\nOSC2_DERIVE 1\n"
        "OSC2_ON_SIN 1\nON_HIGHT2 0\n"},
};

// The test's presets in a sub-bank of their own: the routed patches on parts spread over
// them, with the modulation panel open or closed, and in the single mode.
void addRoutedPresets(Install& install) {
    int b = 0;
    while (install.exists("save\\P0\\B" + std::to_string(b) + "\\NomBanque")) b++;
    const std::string dir = "save\\P0\\B" + std::to_string(b);
    install.makeDirs(dir);
    ASSERT_TRUE(install.writeFile(dir + "\\NomBanque", "Routes"));
    const std::string voices = "ZONE1_MODE 1\nNBR_POLY_CARTE 1\n";
    install.preset(dir + "\\I0", "Spread", voices + "TRAPPE_MODUL 1\n" + partPatches({0, 1, 2, 3, 1, 2, 3, 0}),
                   kRoutedPatches);
    install.preset(dir + "\\I1", "Single", voices + "TRAPPE_MODUL 1\nTRAPPE_MULTI 3\n" + partPatches({3, 2, 1, 0, 0, 1, 2, 3}),
                   kRoutedPatches);
    install.preset(dir + "\\I2", "Closed", voices + "TRAPPE_MODUL 0\n" + partPatches({3, 3, 2, 2, 1, 1, 0, 0}),
                   kRoutedPatches);
}

struct Instance {
    TestHost host;
    AEffect* fx = nullptr;
    Halvorn* instrument = nullptr;

    Instance() {
        EXPECT_TRUE(host.load(TestHost::pluginPath(10)));
        fx = host.create();
        EXPECT_NE(fx, nullptr);
        if (fx) instrument = static_cast<Halvorn*>(static_cast<AudioEffect*>(fx->object));
    }

    // Every parameter again through the effect's setParameter, in the program's order. In
    // the single mode the part patches are left out: each would route every part by the
    // multi mode's lists until the mode setting takes them back, and the chains rebuilt on
    // that detour end in another order than a load builds.
    void setEveryParameterAgain() {
        const bool single = fx->getParameter(fx, kMultiMode) != 0.f;
        for (const auto& range : kRanges)
            for (int index = range[0]; index <= range[1]; index++) {
                if (index >= kFirstPartTune && index <= kLastPartTune) continue;
                if (single && index >= kFirstPartPatch && index <= kLastPartPatch) continue;
                fx->setParameter(fx, index, fx->getParameter(fx, index));
            }
    }

    // A chord held and released, rendered in 256-frame blocks: every output, end to end.
    std::vector<std::vector<float>> playChord() {
        static const unsigned char kNotes[] = {48, 55, 60, 64, 67, 72};
        std::vector<std::vector<float>> take((size_t)fx->numOutputs), block;
        auto render = [&](int blocks) {
            for (int n = 0; n < blocks; n++) {
                host.render(block, 256);
                for (size_t c = 0; c < block.size(); c++) take[c].insert(take[c].end(), block[c].begin(), block[c].end());
            }
        };
        for (unsigned char note : kNotes) {
            host.sendMidi(0x90, note, 100);
            render(2);
        }
        render(40);
        for (unsigned char note : kNotes) host.sendMidi(0x80, note, 0);
        render(30);
        return take;
    }
};

struct Position {
    int bank, subBank, preset;
    std::string name;
};

// Every preset of the first bank, in the tree's order.
std::vector<Position> presetsOfFirstBank(Halvorn* instrument) {
    std::vector<Position> found;
    for (int b = 0; b < instrument->getNbSubBanks(0); b++)
        for (int c = 0; c < instrument->getNbPresets(0, b); c++) {
            char name[kPresetNameSize];
            instrument->getPresetName(name, c, 0, b);
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

TEST(PresetLoad, LeavesTheEngineAsEveryParameterSentAgainWould) {
    Install install;
    addRoutedPresets(install);
    std::vector<Position> factory, routed;
    {
        Instance lister;
        ASSERT_NE(lister.instrument, nullptr);
        for (const Position& p : presetsOfFirstBank(lister.instrument))
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
        Instance loaded, resent;
        ASSERT_NE(loaded.instrument, nullptr);
        ASSERT_NE(resent.instrument, nullptr);
        for (Instance* instance : {&loaded, &resent}) {
            const Position& p = step.first;
            ASSERT_EQ(instance->instrument->selectBank(p.bank, p.subBank, p.preset), 0);
            instance->playChord();
            const Position& q = step.second;
            ASSERT_EQ(instance->instrument->selectBank(q.bank, q.subBank, q.preset), 0);
        }
        resent.setEveryParameterAgain();
        const std::vector<std::vector<float>> a = loaded.playChord(), b = resent.playChord();
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

}  // namespace
