// MIDI controllers through the built plug-in, driven like a host: learning, the map that the
// editor's learn operations keep, the smoothing of controller values, bank select and the
// sustain pedal, pressure, and the control file that keeps the map and the tuning.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/halvorn.h"
#include "host/test_host.h"

namespace {

const int kOutputs = TEST_OUTPUTS;
const char* const kControlFile = "save\\controlMidi";

// A host with one instance of the built plug-in, and the instrument's face towards its
// editor, reached through the effect's object as the editor in the library reaches it.
struct Session {
    TestHost host;
    AEffect* fx = nullptr;
    VstInstInterface* instrument = nullptr;

    Session() {
        EXPECT_TRUE(host.load(TestHost::pluginPath(kOutputs)));
        fx = host.create();
        EXPECT_NE(fx, nullptr);
        if (fx) instrument = static_cast<Halvorn*>(static_cast<AudioEffect*>(fx->object));
    }
    explicit operator bool() const { return instrument != nullptr; }

    void controller(int number, int value) { host.sendMidi(0xB0, (unsigned char)number, (unsigned char)value); }
    // One processing call; a call of n frames runs the smoothing once per piece and once at
    // its end.
    std::vector<float> render(int frames) {
        std::vector<std::vector<float>> buffers((size_t)kOutputs, std::vector<float>((size_t)frames, 0.f));
        host.render(buffers, frames);
        return buffers[0];
    }
    void close() {
        if (fx) host.close();
        fx = nullptr;
        instrument = nullptr;
    }
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

double rms(const std::vector<float>& x, size_t from = 0) {
    double sum = 0;
    for (size_t i = from; i < x.size(); i++) sum += (double)x[i] * x[i];
    return x.size() > from ? std::sqrt(sum / (double)(x.size() - from)) : 0.0;
}

// Whether the controller moves the parameter: from 0 to a full value at the next pass.
bool moves(Session& s, int controller, int index) {
    s.fx->setParameter(s.fx, index, 0.f);
    s.controller(controller, 127);
    s.render(1);
    return s.fx->getParameter(s.fx, index) == 1.f;
}

// Every parameter that has a controller, as (index, controller).
std::vector<std::pair<int, int>> assignments(VstInstInterface* instrument) {
    std::vector<std::pair<int, int>> found;
    for (int index = -5; index < 2115; index++) {
        int controller = instrument->getMidiCC(index);
        if (controller != -1) found.push_back({index, controller});
    }
    return found;
}

class ControllersDll : public ::testing::Test {
protected:
    TestInstall install;
};

TEST_F(ControllersDll, LearningGivesTheNextControllerToTheQueuedParameters) {
    Session s;
    ASSERT_TRUE(s);
    EXPECT_EQ(s.instrument->startMidiLearn(10), 1);
    EXPECT_EQ(s.instrument->startMidiLearn(20), 1);
    // Bank select, sustain and the channel mode messages never reach learning.
    for (int controller : {0, 32, 64, 123, 124, 125, 126, 127}) {
        s.controller(controller, 1);
        EXPECT_EQ(s.instrument->getMidiCC(10), -1) << controller;
        EXPECT_EQ(s.instrument->getMidiCC(20), -1) << controller;
    }
    s.render(64);
    s.controller(7, 100);
    EXPECT_EQ(s.instrument->getMidiCC(10), 7);
    EXPECT_EQ(s.instrument->getMidiCC(20), 7);
    s.render(1);
    EXPECT_FLOAT_EQ(s.fx->getParameter(s.fx, 10), 100.f / 127.f);
    EXPECT_FLOAT_EQ(s.fx->getParameter(s.fx, 20), 100.f / 127.f);
    // Disarmed: the next controller assigns nothing.
    s.controller(8, 5);
    EXPECT_EQ(s.instrument->getMidiCC(10), 7);
    EXPECT_EQ(assignments(s.instrument), (std::vector<std::pair<int, int>>{{10, 7}, {20, 7}}));

    // Twenty requests queue fifteen parameters; stopping empties the queue.
    for (int n = 0; n < 20; n++) s.instrument->startMidiLearn(100 + n);
    s.controller(9, 64);
    for (int n = 0; n < 20; n++) EXPECT_EQ(s.instrument->getMidiCC(100 + n), n < 15 ? 9 : -1) << n;
    s.instrument->startMidiLearn(300);
    EXPECT_EQ(s.instrument->stopMidiLearn(), 0);
    s.controller(12, 64);
    EXPECT_EQ(s.instrument->getMidiCC(300), -1);
    // Indices outside the parameters are refused.
    EXPECT_EQ(s.instrument->startMidiLearn(-1), 0);
    EXPECT_EQ(s.instrument->startMidiLearn(2109), 0);
    s.controller(13, 64);
    EXPECT_EQ(s.instrument->getMidiCC(-1), -1);
    EXPECT_EQ(s.instrument->getMidiCC(2109), -1);
}

TEST_F(ControllersDll, TheMapOperationsAssignRemoveAndClear) {
    Session s;
    ASSERT_TRUE(s);
    s.instrument->setMidiCC(50, 22);
    s.instrument->setMidiCC(51, 22);
    s.instrument->setMidiCC(52, 23);
    s.instrument->setMidiCC(50, -1);
    EXPECT_EQ(s.instrument->getMidiCC(50), -1);
    s.fx->setParameter(s.fx, 50, 0.f);
    s.fx->setParameter(s.fx, 51, 0.f);
    s.controller(22, 127);
    s.render(1);
    EXPECT_EQ(s.fx->getParameter(s.fx, 50), 0.f) << "removed from its controller's list";
    EXPECT_EQ(s.fx->getParameter(s.fx, 51), 1.f);

    // A controller drives sixteen parameters at most: a seventeenth moved to it is left with
    // no controller, the one it had included.
    s.instrument->setMidiCC(216, 31);
    for (int n = 0; n < 17; n++) s.instrument->setMidiCC(200 + n, 30);
    EXPECT_EQ(s.instrument->getMidiCC(216), -1);
    for (int n = 0; n < 17; n++) s.fx->setParameter(s.fx, 200 + n, 0.f);
    s.controller(30, 127);
    s.render(1);
    for (int n = 0; n < 16; n++) EXPECT_EQ(s.fx->getParameter(s.fx, 200 + n), 1.f) << n;
    EXPECT_EQ(s.fx->getParameter(s.fx, 216), 0.f);
    EXPECT_FALSE(moves(s, 31, 216));

    // Out of range: refused, nothing written anywhere.
    std::vector<std::pair<int, int>> before = assignments(s.instrument);
    for (auto bad : std::vector<std::pair<int, int>>{{-1, 3}, {2109, 3}, {100000, 3}, {5, 128}, {5, -2}, {5, 100000}})
        s.instrument->setMidiCC(bad.first, bad.second);
    s.instrument->clearMidiCC(-1);
    s.instrument->clearMidiCC(128);
    EXPECT_EQ(assignments(s.instrument), before);

    s.instrument->clearMidiCC(22);
    EXPECT_EQ(s.instrument->getMidiCC(51), -1);
    EXPECT_EQ(s.instrument->getMidiCC(52), 23);
    s.fx->setParameter(s.fx, 51, 0.f);
    s.controller(22, 127);
    s.render(1);
    EXPECT_EQ(s.fx->getParameter(s.fx, 51), 0.f);
    EXPECT_EQ(s.instrument->clearAllMidiCC(), -1);
    EXPECT_TRUE(assignments(s.instrument).empty());
}

// A controller offered seventeen parameters drives sixteen, and clearing it leaves none of
// them assigned to it, in this instance and in the next, whether the editor or a control
// file gave them.
TEST_F(ControllersDll, AClearedControllerKeepsNoParameter) {
    // Patch 3, locals 14-30: parameters 200-216.
    static const char* const kKeys[17] = {
        "RELEASE_TEMPS_VCF1", "ATTACK_TEMPS_VCA1", "DECAY_TEMPS_VCA1", "SUSTAIN_LEVEL_VCA1", "RELEASE_TEMPS_VCA1",
        "VOLUME_VCA1",        "INITIAL_BRILLANCE1", "INITIAL_LEVEL1",  "AFTER_BRILLANCE1",   "AFTER_LEVEL1",
        "LFO2_SPEED",         "LFO2_DEPTH_PWM",    "OSC2_WIDTH",       "OSC2_NOISE",         "CUTOFF_HIGHT2",
        "RES_HIGHT2",         "CUTOFF_LOW2"};
    std::string seventeenLines;
    for (const char* key : kKeys) seventeenLines += std::string("AUTO_VOIX_3_") + key + " 30\n";
    for (bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "from the control file" : "from the editor");
        if (fromFile) {
            ASSERT_TRUE(install.writeFile(kControlFile, seventeenLines));
        }
        {
            Session s;
            ASSERT_TRUE(s);
            if (!fromFile)
                for (int n = 0; n < 17; n++) s.instrument->setMidiCC(200 + n, 30);
            for (int n = 0; n < 16; n++) EXPECT_EQ(s.instrument->getMidiCC(200 + n), 30) << n;
            EXPECT_EQ(s.instrument->getMidiCC(216), -1);
            for (int n = 0; n < 16; n++) EXPECT_TRUE(moves(s, 30, 200 + n)) << n;
            EXPECT_FALSE(moves(s, 30, 216));

            s.instrument->clearMidiCC(30);
            EXPECT_TRUE(assignments(s.instrument).empty());
            for (int n = 0; n < 17; n++) EXPECT_FALSE(moves(s, 30, 200 + n)) << n;
            s.close();
        }
        const std::vector<std::string> lines = linesOf(readFile(install.path(kControlFile)));
        EXPECT_EQ(lines.size(), 638u);
        for (const std::string& line : lines) EXPECT_EQ(line.find(" 30"), std::string::npos) << line;

        Session next;
        ASSERT_TRUE(next);
        EXPECT_TRUE(assignments(next.instrument).empty());
        for (int n = 0; n < 17; n++) EXPECT_FALSE(moves(next, 30, 200 + n)) << n;
    }
}

TEST_F(ControllersDll, AssignableParameters) {
    Session s;
    ASSERT_TRUE(s);
    const struct {
        int index;
        bool assignable;
    } cases[] = {
        {0, true},     {495, true},   {496, true},   {545, true},   {546, false}, {547, false},
        {548, true},   {1000, true},  {1001, true},  {1002, true},  {1003, false}, {1007, true},
        {1010, true},  {1017, true},  {1009, false}, {1000 + 44 * 3 + 7, true},   {1351, false},
        {2039, false}, {2040, true},  {2041, true},  {2042, false}, {2043, true}, {2044, false},
        {2045, true},  {2051, true},  {2052, false}, {2080, false}, {2081, true}, {2087, true},
        {2088, false}, {2105, false}, {2108, false}, {-1, false},   {549, false}, {999, false},
        {1352, false}, {2109, false},
    };
    for (const auto& c : cases) EXPECT_EQ(s.instrument->isMidiAssignable(c.index), c.assignable) << c.index;
}

// The smoothing as a musician meets it: a single value lands at once, a second value of
// the same controller while its slot is active glides there pass by pass.
TEST_F(ControllersDll, ControllerValuesAreSmoothedPassByPass) {
    Session s;
    ASSERT_TRUE(s);
    s.instrument->setMidiCC(40, 21);
    s.instrument->setMidiCC(41, 21);
    s.controller(21, 64);
    s.render(1);
    EXPECT_EQ(s.fx->getParameter(s.fx, 40), 64.f / 127.f) << "a single value is applied unchanged";
    // The slot is free again: nothing rewrites the parameter.
    s.fx->setParameter(s.fx, 40, 0.25f);
    s.render(64);
    EXPECT_EQ(s.fx->getParameter(s.fx, 40), 0.25f);

    s.host.sendEvents({TestHost::midiEvent(0xB0, 21, 25), TestHost::midiEvent(0xB0, 21, 127)});
    // The model: 2.24 % of the gap per pass while the gap exceeds 0.2, then 0.283 %, and the
    // target once within 0.01. A call of one frame runs two passes.
    const float fast = (float)(1.0 - std::exp(-1000.0 / 44100.0));
    const float slow = (float)(1.0 - std::exp(-125.0 / 44100.0));
    float current = 25.f / 127.f;
    const float target = 1.f;
    int passes = 0;
    bool landed = false;
    std::set<int> fastPasses;
    for (int call = 0; call < 2000 && !landed; call++) {
        for (int pass = 0; pass < 2 && !landed; pass++) {
            float gap = current - target;
            if (std::fabs(gap) > 0.2f) fastPasses.insert(passes);
            float next = current - (std::fabs(gap) > 0.2f ? fast : slow) * gap;
            if (std::fabs(next - target) < 0.01f) next = target, landed = true;
            current = next;
            passes++;
        }
        s.render(1);
        ASSERT_NEAR(s.fx->getParameter(s.fx, 40), current, 2e-6) << "after pass " << passes;
        ASSERT_EQ(s.fx->getParameter(s.fx, 41), s.fx->getParameter(s.fx, 40));
    }
    EXPECT_TRUE(landed);
    EXPECT_EQ(s.fx->getParameter(s.fx, 40), 1.f);
    EXPECT_EQ(fastPasses.size(), 62u) << "the fast rate holds while the gap exceeds 0.2";
    EXPECT_GT(passes, 1000) << "then the slow rate takes the last fifth";
    s.fx->setParameter(s.fx, 40, 0.5f);
    s.render(64);
    EXPECT_EQ(s.fx->getParameter(s.fx, 40), 0.5f) << "the slot ends when it lands";
}

// A learned controller on the master volume changes the level of a held note.
TEST_F(ControllersDll, ALearnedControllerMovesTheSound) {
    Session s;
    ASSERT_TRUE(s);
    const int kVolume = 515;
    s.instrument->startMidiLearn(kVolume);
    s.controller(7, 127);
    ASSERT_EQ(s.instrument->getMidiCC(kVolume), 7);
    s.host.sendMidi(0x90, 60, 100);
    s.render(8192);
    double loud = rms(s.render(4096));
    s.controller(7, 20);
    s.render(8192);
    double soft = rms(s.render(4096));
    EXPECT_EQ(s.fx->getParameter(s.fx, kVolume), 20.f / 127.f);
    EXPECT_GT(loud, 1e-3);
    EXPECT_LT(soft, loud * 0.5);
}

TEST_F(ControllersDll, BankSelectMovesTheBrowserOnly) {
    Session s;
    ASSERT_TRUE(s);
    const int kBank = 2093, kSubBank = 2094;
    // The factory installation has one bank: with the merged bank, two to choose from.
    const struct {
        int value;
        float stored;
    } cases[] = {{2, 0.5f}, {1, 0.f}, {0, -0.5f}, {2, 0.5f}, {127, 0.5f}, {1, 0.f}};
    s.host.sendMidi(0x90, 60, 100);
    s.render(4096);
    for (const auto& c : cases) {
        s.controller(0, c.value);
        EXPECT_FLOAT_EQ(s.instrument->getParameter(kBank), c.stored) << c.value;
    }
    s.instrument->setParameter(kSubBank, 0.75f);
    s.controller(32, 1);
    EXPECT_FLOAT_EQ(s.instrument->getParameter(kSubBank), 0.f);
    // No preset was loaded: the held note still sounds.
    EXPECT_GT(rms(s.render(4096)), 1e-3);
    EXPECT_TRUE(assignments(s.instrument).empty());
}

TEST_F(ControllersDll, TheSustainPedalLengthensReleases) {
    auto tail = [](bool pedal) {
        Session s;
        if (!s) return -1.0;
        s.instrument->setParameter(2045, 1.f);  // PEDALE_SUSTAIN_ON
        s.instrument->setParameter(2047, 1.f);  // SUSTAIN_TIME: the longest release under the pedal
        s.host.sendMidi(0x90, 60, 100);
        s.render(4096);
        if (pedal) s.controller(64, 127);
        s.host.sendMidi(0x80, 60, 0);
        s.render(44100);
        return rms(s.render(4096));
    };
    double released = tail(false), held = tail(true);
    EXPECT_LT(released, 1e-4);
    EXPECT_GT(held, 1e-3);
}

// Key pressure takes its note from the first data byte and its pressure from the second;
// channel pressure takes its pressure from the first.
TEST_F(ControllersDll, PressureReachesTheVoicesOfItsNote) {
    auto play = [](std::vector<VstMidiEvent> pressure) {
        Session s;
        if (!s) return std::vector<float>();
        for (int index : {23, 47}) s.fx->setParameter(s.fx, index, 1.f);  // AFTER_LEVEL1, AFTER_LEVEL2
        s.host.sendMidi(0x90, 60, 100);
        s.render(2048);
        if (!pressure.empty()) s.host.sendEvents(pressure);
        return s.render(8192);
    };
    std::vector<float> none = play({});
    std::vector<float> keyFull = play({TestHost::midiEvent(0xA0, 60, 127)});
    std::vector<float> keyHalf = play({TestHost::midiEvent(0xA0, 60, 64)});
    std::vector<float> otherKey = play({TestHost::midiEvent(0xA0, 61, 127)});
    std::vector<float> channelFull = play({TestHost::midiEvent(0xD0, 127, 0)});
    std::vector<float> channelZero = play({TestHost::midiEvent(0xD0, 0, 127)});
    ASSERT_GT(rms(none), 1e-3);
    EXPECT_GT(std::fabs(rms(keyFull) - rms(none)), 0.05 * rms(none));
    EXPECT_NE(keyHalf, keyFull);
    EXPECT_NE(keyHalf, none);
    EXPECT_EQ(otherKey, none);
    EXPECT_EQ(channelFull, keyFull);
    EXPECT_EQ(channelZero, none);
}

// The map and the tuning live on in the control file, which is written when they changed.
TEST_F(ControllersDll, TheControlFileCarriesTheMapAndTheTuningToTheNextInstance) {
    {
        Session s;
        ASSERT_TRUE(s);
        s.instrument->setMidiCC(124, 21);   // AUTO_VOIX_2_LFO1_SPEED
        s.instrument->setMidiCC(497, 2);    // AUTO_VIB_AMOUNT_VCO
        s.instrument->setMidiCC(1007, 5);   // VOIX_0_LFO1_WAVE
        s.instrument->setMidiCC(2040, 127);  // VIB_WAVE
        s.instrument->setMidiCC(2087, 0);   // ARP_REPEAT
        s.instrument->setParameter(2105, 0.25f);
        s.instrument->setParameter(2099, 0.75f);
        s.close();
    }
    std::vector<std::string> lines = linesOf(readFile(install.path(kControlFile)));
    ASSERT_EQ(lines.size(), 496u + 50u + 64u + 17u + 11u);
    EXPECT_EQ(lines.front(), "AUTO_VOIX_0_LFO1_SPEED -1");
    EXPECT_EQ(lines[61], "AUTO_VOIX_0_MODULATION10_AMOUNT -1");
    EXPECT_EQ(lines[62 * 2], "AUTO_VOIX_2_LFO1_SPEED 21");
    EXPECT_EQ(lines[496], "AUTO_VIB_RATE -1");
    EXPECT_EQ(lines[497], "AUTO_VIB_AMOUNT_VCO 2");
    EXPECT_EQ(lines[546], "VOIX_0_OSC1_SAW_TRI -1");
    EXPECT_EQ(lines[549], "VOIX_0_LFO1_WAVE 5");
    EXPECT_EQ(lines[610], "VIB_WAVE 127");
    EXPECT_EQ(lines[626], "ARP_REPEAT 0");
    EXPECT_EQ(lines[627], "TUNE_VEXA_DETUNE1 0.000000");
    EXPECT_EQ(lines[629], "TUNE_VEXA_DETUNE3 0.750000");
    EXPECT_EQ(lines[635], "TUNE_VEXA_TUNE 0.250000");
    EXPECT_EQ(lines.back(), "TUNE_POP_UP_CLIC 0.000000");
    for (const std::string& line : lines) EXPECT_LE(line.find(' '), 31u) << line;
    EXPECT_FALSE(install.exists(std::string(kControlFile) + ".new"));

    Session next;
    ASSERT_TRUE(next);
    EXPECT_EQ(assignments(next.instrument),
              (std::vector<std::pair<int, int>>{{124, 21}, {497, 2}, {1007, 5}, {2040, 127}, {2087, 0}}));
    EXPECT_FLOAT_EQ(next.instrument->getParameter(2105), 0.25f);
    EXPECT_FLOAT_EQ(next.instrument->getParameter(2099), 0.75f);
    // The restored map drives the parameter.
    next.controller(21, 127);
    next.render(1);
    EXPECT_EQ(next.fx->getParameter(next.fx, 124), 1.f);
}

TEST_F(ControllersDll, TheControlFileIsRewrittenOnlyWhenSomethingChanged) {
    const std::string foreign = "AUTO_VOIX_2_LFO1_SPEED 21\r\nTUNE_VEXA_TUNE 0.5\r\n";
    ASSERT_TRUE(install.writeFile(kControlFile, foreign));
    const struct {
        const char* what;
        void (*change)(VstInstInterface*);
        bool rewritten;
    } cases[] = {
        {"nothing", [](VstInstInterface*) {}, false},
        {"a learn queued but never taken", [](VstInstInterface* i) { i->startMidiLearn(5); }, false},
        {"a parameter that is not kept", [](VstInstInterface* i) { i->setParameter(10, 0.3f); }, false},
        {"a tuning value set to what it was", [](VstInstInterface* i) { i->setParameter(2105, 0.5f); }, false},
        {"an assignment", [](VstInstInterface* i) { i->setMidiCC(3, 4); }, true},
        {"a removal", [](VstInstInterface* i) { i->setMidiCC(124, -1); }, true},
        {"a cleared controller", [](VstInstInterface* i) { i->clearMidiCC(21); }, true},
        {"a cleared map", [](VstInstInterface* i) { i->clearAllMidiCC(); }, true},
        {"a tuning value", [](VstInstInterface* i) { i->setParameter(2100, 0.5f); }, true},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(install.writeFile(kControlFile, foreign));
        {
            Session s;
            ASSERT_TRUE(s);
            c.change(s.instrument);
        }
        std::string after = readFile(install.path(kControlFile));
        if (c.rewritten)
            EXPECT_EQ(linesOf(after).size(), 638u) << c.what;
        else
            EXPECT_EQ(after, foreign) << c.what;
    }
}

// A file from elsewhere: every well-formed line counts, the rest is skipped without harm.
TEST_F(ControllersDll, HostileControlFilesAreReadSafely) {
    const std::string longWord(200, 'A');
    static const char kGarbage[] = "\x00\x01\xff\xfe VIB_WAVE 3\nAUTO_VIB\x00RATE 5\n\xc3\xa9 7\n\x7f\x80\x81\n";
    const struct {
        const char* what;
        std::string text;
        std::vector<std::pair<int, int>> expected;
        float generalTune;
    } cases[] = {
        {"an empty file", "", {}, 0.f},
        {"the examples", "AUTO_VOIX_2_LFO1_SPEED 21\nVOIX_0_LFO1_WAVE 5\nVIB_WAVE -1\nTUNE_VEXA_TUNE 0.250000\n",
         {{124, 21}, {1007, 5}}, 0.25f},
        {"two controllers for one parameter", "AUTO_VIB_RATE 3\nAUTO_VIB_RATE 4\n", {{496, 4}}, 0.f},
        {"overlong words", longWord + " 5\nAUTO_VOIX_1_" + longWord + " 6\n" + longWord + "\nAUTO_VIB_RATE 9\n",
         {{496, 9}}, 0.f},
        {"an overlong number", "AUTO_VIB_RATE " + std::string(100, '1') + "\nVIB_WAVE 3\n", {{2040, 3}}, 0.f},
        {"bad patch digits",
         "VOIX_8_LFO1_WAVE 5\nVOIX_x_LFO1_WAVE 5\nVOIX_-1_LFO1_WAVE 5\nAUTO_VOIX_9_LFO1_SPEED 5\nVOIX_7_LFO1_WAVE 6\n",
         {{1000 + 44 * 7 + 7, 6}}, 0.f},
        {"missing separators", "AUTOVOIX_0_LFO1_SPEED 5\nVOIX0_LFO1_WAVE 5\nVOIX_0LFO1_WAVE 5\nTUNEVEXA_TUNE 0.5\n"
                               "TUNE 0.5\nAUTO 5\nVOIX_ 5\nAUTO_ARP_MODE 8\n",
         {{2081, 8}}, 0.f},
        {"numbers out of range or not numbers",
         "VIB_WAVE 128\nON_CHORUS 1.5\nON_DELAI abc\nARP_MODE 99999999999999\nARP_HOLD +12\nTUNE_VEXA_TUNE x\n"
         "TUNE_VEXA_DETUNE1 1e999\n",
         {{2084, 12}}, 0.f},
        {"truncated lines", "AUTO_VIB_RATE 3\nAUTO_VIB_AMOUNT_VCO", {{496, 3}}, 0.f},
        {"a word and a number on separate lines", "AUTO_VIB_RATE\n3\nVIB_WAVE 4\n", {{2040, 4}}, 0.f},
        {"extra fields", "AUTO_VIB_RATE 3 4\nVIB_WAVE 4 \r\n", {{2040, 4}}, 0.f},
        {"part keys carry no controller", "NUM_PATCH_VOIE1 3\nVIB_WAVE 4\n", {{2040, 4}}, 0.f},
        {"binary garbage", std::string(kGarbage, sizeof(kGarbage) - 1) + "TUNE_VEXA_TUNE 0.75\n", {}, 0.75f},
        {"an unknown tuning key", "TUNE_UNKNOWN 0.5\nTUNE_VEXA_TUNE 0.5\n", {}, 0.5f},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(install.writeFile(kControlFile, c.text)) << c.what;
        Session s;
        ASSERT_TRUE(s) << c.what;
        EXPECT_EQ(assignments(s.instrument), c.expected) << c.what;
        EXPECT_FLOAT_EQ(s.instrument->getParameter(2105), c.generalTune) << c.what;
        EXPECT_EQ(s.instrument->getParameter(2097), 0.f) << c.what;
    }
    // Random bytes: whatever is read stays inside the tables.
    unsigned state = 12345;
    for (int round = 0; round < 20; round++) {
        std::string text;
        for (int n = 0; n < 4000; n++) {
            state = state * 1103515245u + 12345u;
            text += (char)(state >> 16);
        }
        text += "\nVIB_WAVE 4\n";
        ASSERT_TRUE(install.writeFile(kControlFile, text));
        Session s;
        ASSERT_TRUE(s);
        for (const auto& a : assignments(s.instrument)) {
            EXPECT_GE(a.first, 0);
            EXPECT_LE(a.first, 2108);
            EXPECT_GE(a.second, 0);
            EXPECT_LE(a.second, 127);
        }
        EXPECT_EQ(s.instrument->getMidiCC(2040), 4);
    }
}

// A parameter has one controller: of two lines that name it, the later one gives it, and
// taking it off that controller, or moving it to another, leaves no other driving it.
TEST_F(ControllersDll, AParameterNamedTwiceFollowsTheLaterLineOnly) {
    const int kVibRate = 496;
    const struct {
        const char* what;
        const char* file;
        int controller;
        std::vector<int> others;
    } cases[] = {
        {"two controllers", "AUTO_VIB_RATE 3\nAUTO_VIB_RATE 4\n", 4, {3}},
        {"one controller twice", "AUTO_VIB_RATE 3\nAUTO_VIB_RATE 3\n", 3, {}},
        {"three lines", "AUTO_VIB_RATE 3\nAUTO_VIB_RATE 4\nAUTO_VIB_RATE 3\n", 3, {4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(install.writeFile(kControlFile, c.file));
        Session s;
        ASSERT_TRUE(s);
        EXPECT_EQ(assignments(s.instrument), (std::vector<std::pair<int, int>>{{kVibRate, c.controller}}));
        EXPECT_TRUE(moves(s, c.controller, kVibRate));
        for (int other : c.others) EXPECT_FALSE(moves(s, other, kVibRate)) << other;

        s.instrument->setMidiCC(kVibRate, -1);
        EXPECT_EQ(s.instrument->getMidiCC(kVibRate), -1);
        for (int controller : {3, 4}) EXPECT_FALSE(moves(s, controller, kVibRate)) << controller;

        s.instrument->setMidiCC(kVibRate, 5);
        EXPECT_TRUE(moves(s, 5, kVibRate));
        for (int controller : {3, 4}) EXPECT_FALSE(moves(s, controller, kVibRate)) << controller;
    }
}

}  // namespace

namespace {

// A processing call that returns early while the sample rate changes leaves the next call to
// start from silence: the held note is cut, not carried on.
TEST_F(ControllersDll, ACallAfterAnEarlyReturnStartsFromSilence) {
    Session s;
    ASSERT_TRUE(s);
    s.host.sendMidi(0x90, 60, 100);
    s.render(4096);
    ASSERT_GT(rms(s.render(4096)), 1e-3);

    // Another thread changes the sample rate (to the same rate) over and over; the processing
    // calls go on until one of them finds the change running and returns at once, which a
    // replacing call shows as a block of exact zeros while the note sounds.
    std::atomic<bool> stop(false);
    AEffect* fx = s.fx;
    std::thread changer([fx, &stop] {
        while (!stop) fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 44100.f);
    });
    std::vector<float> block(64);
    float* outputs[10];
    std::vector<std::vector<float>> others(10, std::vector<float>(64));
    for (int c = 0; c < 10; c++) outputs[c] = others[(size_t)c].data();
    outputs[0] = block.data();
    bool returnedEarly = false;
    for (int call = 0; call < 200000 && !returnedEarly; call++) {
        std::fill(block.begin(), block.end(), 123.f);
        fx->processReplacing(fx, nullptr, outputs, 64);
        returnedEarly = std::all_of(block.begin(), block.end(), [](float x) { return x == 0.f; });
    }
    stop = true;
    changer.join();
    ASSERT_TRUE(returnedEarly) << "no call met the sample-rate change";
    EXPECT_LT(rms(s.render(4096)), 1e-5) << "the note goes on after the early return";

    // Without an early return the same changes leave the note sounding.
    Session steady;
    ASSERT_TRUE(steady);
    steady.host.sendMidi(0x90, 60, 100);
    steady.render(4096);
    for (int n = 0; n < 50; n++) steady.fx->dispatcher(steady.fx, effSetSampleRate, 0, 0, nullptr, 44100.f);
    EXPECT_GT(rms(steady.render(4096)), 1e-3);
}

}  // namespace
