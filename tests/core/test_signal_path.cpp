// The signal-path switches and the modulation matrix, read back from the engine's routing
// table: each switch makes exactly its chain, switching off restores the chain before, and
// any sequence of switches, derives and patch changes leaves every part's chain as its
// patch's switches describe it.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/application_fixture.h"
#include "core/halvorn.h"
#include "core/value_curves.h"

namespace {

using namespace application_test;

// Internal locals of a patch.
const int kSine1 = 3, kHighPass1 = 4, kLowPass1 = 5, kSine2 = 13, kHighPass2 = 14, kLowPass2 = 15, kDerive = 22;
const int kTrigger1 = 8, kTrigger2 = 18;
// The destinations of the audio chains: filter inputs, mixer channels 0-5, VCA inputs.
const int kAudioDestinations[] = {22, 30, 38, 46, 47, 48, 49, 50, 51, 52, 57, 64};

int switchIndex(int patch, int local) { return 1000 + 44 * patch + local; }
int rowDestination(int patch, int row) { return 1000 + 44 * patch + 24 + 2 * row; }
int rowSource(int patch, int row) { return 1000 + 44 * patch + 25 + 2 * row; }

struct Switches {
    bool highPass1, lowPass1, sine1, derived, highPass2, lowPass2, sine2;
};

typedef std::map<int, std::vector<int>> Routing;  // destination -> sources

// The chains that the switches describe.
Routing expectedAudio(const Switches& s) {
    Routing routes;
    auto chain = [&routes](int input, bool highPass, int highPassInput, int highPassOutput, bool lowPass,
                           int lowPassInput, int lowPassOutput, bool sine, int mixerInput, int sineSource,
                           int sineInput, int mixerOutput, int amplifier) {
        int last = input;
        if (highPass) {
            routes[highPassInput] = {last};
            last = highPassOutput;
        }
        if (lowPass) {
            routes[lowPassInput] = {last};
            last = lowPassOutput;
        }
        if (sine) {
            routes[mixerInput] = {last};
            routes[sineInput] = {sineSource};
            routes[amplifier] = {mixerOutput};
        } else {
            routes[amplifier] = {last};
        }
    };
    chain(s.derived ? 18 : 0, s.highPass1, 22, 6, s.lowPass1, 38, 8, s.sine1, 47, 1, 48, 16, 57);
    if (s.derived) {
        routes[51] = {0};
        routes[52] = {3};
    } else {
        chain(3, s.highPass2, 30, 7, s.lowPass2, 46, 9, s.sine2, 49, 4, 50, 17, 64);
    }
    return routes;
}

class SignalPath : public Application {
protected:
    std::vector<int> routed(int part, int destination) const {
        std::vector<int> sources;
        for (int entry = 0; entry < SynthEngine::kFanIn; entry++) {
            const int source = synth->getEngine().routeEntry(part, destination, entry);
            if (source >= 0) sources.push_back(source);
        }
        return sources;
    }
    Routing audioRouting(int part) const {
        Routing routes;
        for (int destination : kAudioDestinations) {
            std::vector<int> sources = routed(part, destination);
            if (!sources.empty()) routes[destination] = sources;
        }
        return routes;
    }
    // The whole table of every part.
    std::vector<int> table() const {
        std::vector<int> all;
        for (int part = 0; part < 8; part++)
            for (int destination = 0; destination < kRouteDestinations; destination++)
                for (int entry = 0; entry < SynthEngine::kFanIn; entry++)
                    all.push_back(synth->getEngine().routeEntry(part, destination, entry));
        return all;
    }
    bool on(int index) const { return synth->getParameter(index) >= 0.5f; }
    Switches storedSwitches(int patch) const {
        Switches s;
        s.highPass1 = on(switchIndex(patch, kHighPass1));
        s.lowPass1 = on(switchIndex(patch, kLowPass1));
        s.sine1 = on(switchIndex(patch, kSine1));
        s.derived = on(switchIndex(patch, kDerive));
        // A derived part's line 2 stays out of the chain.
        s.highPass2 = !s.derived && on(switchIndex(patch, kHighPass2));
        s.lowPass2 = !s.derived && on(switchIndex(patch, kLowPass2));
        s.sine2 = !s.derived && on(switchIndex(patch, kSine2));
        return s;
    }
    // Every part's chain against its patch's stored switches, and its words.
    void expectChainsFollowTheSwitches(const std::string& where) {
        for (int part = 0; part < 8; part++) {
            const int patch = (int)synth->getParameter(2000 + part);
            const Switches s = storedSwitches(patch);
            EXPECT_EQ(audioRouting(part), expectedAudio(s)) << where << " part " << part;
            const PartSignalPath& path = HalvornTestAccess::signalPath(*synth, part);
            EXPECT_EQ(path.highPass1On, s.highPass1 ? 1 : 0) << where << " part " << part;
            EXPECT_EQ(path.lowPass2On, s.lowPass2 ? 1 : 0) << where << " part " << part;
            EXPECT_EQ(path.osc2Derived, s.derived ? 1 : 0) << where << " part " << part;
        }
    }
};

TEST_F(SignalPath, EveryPartStartsWithItsPatchsChain) {
    // After construction the start preset's switches are in every part's chain; the panel is
    // closed, so no row is connected.
    for (int part = 0; part < 8; part++) {
        const PartSignalPath& path = HalvornTestAccess::signalPath(*synth, part);
        EXPECT_EQ(audioRouting(part), expectedAudio(storedSwitches(part))) << part;
        for (int row = 0; row < 20; row++) {
            EXPECT_EQ(path.modRowSource[row], -1);
            EXPECT_EQ(path.modRowDestination[row], -1);
        }
    }
}

TEST_F(SignalPath, HighPassOnAndOffForOnePart) {
    // Part 2 plays patch 2 alone, with every switch of line 1 off.
    for (int local : {kHighPass1, kLowPass1, kSine1}) synth->setParameter(switchIndex(2, local), 0.f);
    const Routing before = audioRouting(2);
    EXPECT_EQ(before, expectedAudio({false, false, false, false, on(switchIndex(2, kHighPass2)),
                                     on(switchIndex(2, kLowPass2)), on(switchIndex(2, kSine2))}));
    const std::vector<int> otherParts = table();

    synth->setParameter(switchIndex(2, kHighPass1), 1.f);
    EXPECT_EQ(routed(2, 57), (std::vector<int>{6}));
    EXPECT_EQ(routed(2, 22), (std::vector<int>{0}));
    const std::vector<int> afterOn = table();
    synth->setParameter(switchIndex(2, kHighPass1), 0.9f);
    EXPECT_EQ(table(), afterOn) << "on again changes nothing";
    for (int part : {0, 1, 3, 7})
        for (int destination : kAudioDestinations)
            for (int entry = 0; entry < 6; entry++)
                EXPECT_EQ(synth->getEngine().routeEntry(part, destination, entry),
                          otherParts[(part * kRouteDestinations + destination) * 6 + entry]);

    synth->setParameter(switchIndex(2, kHighPass1), 0.f);
    EXPECT_EQ(audioRouting(2), before);
    EXPECT_EQ(table(), otherParts) << "off restores the chain exactly";
}

TEST_F(SignalPath, LineTwoSwitchesWithTheSineMixedIn) {
    synth->setParameter(switchIndex(4, kLowPass2), 0.f);
    synth->setParameter(switchIndex(4, kHighPass2), 1.f);
    synth->setParameter(switchIndex(4, kSine2), 1.f);
    EXPECT_EQ(routed(4, 49), (std::vector<int>{7}));
    EXPECT_EQ(routed(4, 64), (std::vector<int>{17}));
    EXPECT_EQ(routed(4, 50), (std::vector<int>{4}));

    synth->setParameter(switchIndex(4, kLowPass2), 1.f);
    EXPECT_EQ(routed(4, 49), (std::vector<int>{9}));
    EXPECT_EQ(routed(4, 46), (std::vector<int>{7}));
    EXPECT_EQ(routed(4, 30), (std::vector<int>{3}));

    // The high-pass off with the low-pass out and the sine on: its output leaves the mixer.
    synth->setParameter(switchIndex(4, kLowPass2), 0.f);
    synth->setParameter(switchIndex(4, kHighPass2), 0.f);
    EXPECT_TRUE(routed(4, 30).empty());
    EXPECT_EQ(routed(4, 49), (std::vector<int>{3}));
    EXPECT_EQ(audioRouting(4), expectedAudio(storedSwitches(4)));
}

// The line's level splits between the sine mixer and the amplifier: the sine switch sends
// the VCF level again, also for a patch that no part plays.
TEST_F(SignalPath, SineSwitchSendsTheLineLevelAgain) {
    synth->setParameter(62 * 3 + 8, 0.5f);
    synth->setParameter(62 * 3 + 19, 0.7f);
    log.clear();
    synth->setParameter(switchIndex(3, kSine1), 1.f);
    expectCommands(log.sent, {{kCmdMixerLevel, {WHOLE(part, 3), WHOLE(subIndex, 0), REAL(level, vcfLevelCurve(0.5f))}},
                              {kCmdVca1Level, {WHOLE(part, 3), REAL(level, vcaLevelCurve(0.7f))}}});
    log.clear();
    synth->setParameter(switchIndex(3, kSine1), 0.f);
    expectCommands(log.sent, {{kCmdVca1Level, {REAL(level, vcfLevelCurve(0.5f) * vcaLevelCurve(0.7f))}}});

    synth->setParameter(2003, 4.f);  // patch 3 loses its part
    log.clear();
    editor().shown.clear();
    synth->setParameter(switchIndex(3, kSine2), 1.f);
    EXPECT_TRUE(log.sent.empty());
    ASSERT_EQ(editor().shown.size(), 2u);
    EXPECT_EQ(editor().shown[1].first, 62 * 3 + 32) << "LEVEL_VCF2 re-sent";
}

TEST_F(SignalPath, DeriveMergesOscillatorTwoIntoLineOne) {
    const int patch = 5;
    synth->setParameter(2001, 5.f);  // parts 1 and 5 play patch 5
    synth->setParameter(switchIndex(patch, kHighPass1), 0.f);
    synth->setParameter(switchIndex(patch, kLowPass1), 1.f);
    synth->setParameter(switchIndex(patch, kSine1), 0.f);
    synth->setParameter(switchIndex(patch, kHighPass2), 1.f);
    synth->setParameter(switchIndex(patch, kLowPass2), 1.f);
    synth->setParameter(switchIndex(patch, kSine2), 1.f);
    synth->setParameter(62 * patch + 49, 0.3f);  // MIXE
    const std::vector<int> before = table();
    log.clear();

    synth->setParameter(switchIndex(patch, kDerive), 1.f);
    for (int part : {1, 5}) {
        const PartSignalPath& path = HalvornTestAccess::signalPath(*synth, part);
        EXPECT_EQ(path.osc2Derived, 1);
        EXPECT_EQ(path.highPass2On + path.lowPass2On + path.osc2SineOn, 0) << "line 2's switches went off";
        EXPECT_TRUE(routed(part, 64).empty());
        EXPECT_EQ(routed(part, 38), (std::vector<int>{18}));
        EXPECT_EQ(routed(part, 51), (std::vector<int>{0}));
        EXPECT_EQ(routed(part, 52), (std::vector<int>{3}));
        EXPECT_EQ(routed(part, 57), (std::vector<int>{8}));
    }
    std::vector<Expected> perPart = {{kCmdLineMix, {REAL(level, 1.f)}},
                                     {kCmdMixerLevel, {WHOLE(subIndex, 4), REAL(level, 0.3f)}},
                                     {kCmdMixerLevel, {WHOLE(subIndex, 5), REAL(level, 0.7f)}}};
    ASSERT_EQ(log.sent.size(), 6u);
    expectCommands(std::vector<Sent>(log.sent.begin(), log.sent.begin() + 3), perPart);
    EXPECT_EQ(partsOf(kCmdLineMix), (std::vector<int>{1, 5}));

    // The line-2 switches leave derived parts alone.
    const std::vector<int> derived = table();
    synth->setParameter(switchIndex(patch, kHighPass2), 0.f);
    synth->setParameter(switchIndex(patch, kHighPass2), 1.f);
    synth->setParameter(switchIndex(patch, kSine2), 0.f);
    synth->setParameter(switchIndex(patch, kSine2), 1.f);
    EXPECT_EQ(table(), derived);
    log.clear();
    synth->setParameter(62 * patch + 49, 0.4f);
    expectCommands(log.sent, {{kCmdMixerLevel, {WHOLE(part, 1), WHOLE(subIndex, 4), REAL(level, 0.4f)}},
                              {kCmdMixerLevel, {WHOLE(part, 1), WHOLE(subIndex, 5), REAL(level, 0.6f)}},
                              {kCmdMixerLevel, {WHOLE(part, 5), WHOLE(subIndex, 4), REAL(level, 0.4f)}},
                              {kCmdMixerLevel, {WHOLE(part, 5), WHOLE(subIndex, 5), REAL(level, 0.6f)}}});
    synth->setParameter(62 * patch + 49, 0.3f);

    // Off: the merge comes apart and line 2 is rebuilt as its switches say.
    log.clear();
    synth->setParameter(switchIndex(patch, kDerive), 0.f);
    EXPECT_EQ(table(), before);
    ASSERT_FALSE(log.sent.empty());
    EXPECT_EQ(log.sent[0].code, kCmdLineMix);
    EXPECT_FLOAT_EQ(log.sent[0].command.level, 0.3f);
    // Derive on again while derived: only the levels.
    synth->setParameter(switchIndex(patch, kDerive), 1.f);
    const std::vector<int> again = table();
    log.clear();
    synth->setParameter(switchIndex(patch, kDerive), 1.f);
    EXPECT_EQ(table(), again);
    EXPECT_EQ(log.sent.size(), 6u);
}

// Any sequence of switches, derives and patch changes: every part's chain stays the one that
// its patch's stored switches describe, and nothing is connected twice or left behind.
TEST_F(SignalPath, ChainsStayConsistentThroughRandomToggles) {
    const int locals[] = {kSine1, kHighPass1, kLowPass1, kSine2, kHighPass2, kLowPass2, kDerive};
    std::mt19937 random(2024);
    // Two patches share the parts: 2 and 6.
    for (int part = 0; part < 8; part++) synth->setParameter(2000 + part, part % 2 ? 2.f : 6.f);
    expectChainsFollowTheSwitches("start");
    for (int step = 0; step < 400; step++) {
        const std::string where = "step " + std::to_string(step);
        const unsigned choice = random() % 100;
        if (choice < 4) {
            // A part changes patch and takes that patch's chain.
            const int part = (int)(random() % 8);
            synth->setParameter(2000 + part, random() % 2 ? 2.f : 6.f);
        } else {
            const int patch = random() % 2 ? 2 : 6;
            const int local = locals[random() % 7];
            synth->setParameter(switchIndex(patch, local), (float)(random() % 4) / 3.f);
        }
        expectChainsFollowTheSwitches(where);
        if (HasFailure()) return;
    }
    // Every switch off again: the engine's own chains.
    for (int patch : {2, 6})
        for (int local : locals) synth->setParameter(switchIndex(patch, local), 0.f);
    for (int part = 0; part < 8; part++) {
        EXPECT_EQ(audioRouting(part), expectedAudio({false, false, false, false, false, false, false})) << part;
    }
}

TEST_F(SignalPath, PulseWidthAndTriggerLinks) {
    synth->setParameter(2006, 1.f);  // parts 1 and 6 play patch 1
    synth->setParameter(62 * 1 + 1, 0.5f);
    synth->setParameter(62 * 1 + 25, 0.2f);
    for (int part : {1, 6}) {
        EXPECT_EQ(routed(part, 4), (std::vector<int>{29})) << part;
        EXPECT_EQ(routed(part, 12), (std::vector<int>{30})) << part;
    }
    synth->setParameter(62 * 1 + 1, 0.7f);
    EXPECT_EQ(routed(6, 4), (std::vector<int>{29})) << "linked once";
    synth->setParameter(62 * 1 + 1, 0.f);
    synth->setParameter(62 * 1 + 25, 0.f);
    for (int part : {1, 6}) {
        EXPECT_TRUE(routed(part, 4).empty()) << part;
        EXPECT_TRUE(routed(part, 12).empty()) << part;
    }

    log.clear();
    synth->setParameter(switchIndex(1, kTrigger1), 0.5f);
    for (int part : {1, 6}) EXPECT_EQ(routed(part, 76), (std::vector<int>{22})) << part;
    std::vector<Expected> triggered;
    for (int part : {1, 6}) {
        triggered.push_back({kCmdPartLfo, {WHOLE(part, part), WHOLE(subIndex, 0)}});
        triggered.push_back({kCmdPartLfoMode, {WHOLE(part, part), WHOLE(subIndex, 0), WHOLE(kind, -1)}});
    }
    expectCommands(log.sent, triggered);
    synth->setParameter(switchIndex(1, kTrigger1), 0.6f);
    EXPECT_EQ(routed(1, 76), (std::vector<int>{22})) << "linked once";

    log.clear();
    synth->setParameter(switchIndex(1, kTrigger1), 0.2f);
    for (int part : {1, 6}) EXPECT_TRUE(routed(part, 76).empty()) << part;
    EXPECT_EQ(log.sent.size(), 4u);
    for (const Sent& sent : log.sent) {
        if (sent.code == kCmdPartLfoMode) {
            EXPECT_EQ(sent.command.kind, 1) << "the patch's first part";
        }
    }

    synth->setParameter(switchIndex(1, kTrigger2), 0.5f);
    EXPECT_EQ(routed(6, 77), (std::vector<int>{22}));
    synth->setParameter(switchIndex(1, kTrigger2), 0.9f);  // free
    EXPECT_TRUE(routed(6, 77).empty());
}

TEST_F(SignalPath, ModulationRowsFollowThePanel) {
    // Closed: the choices are only stored.
    synth->setParameter(rowDestination(3, 0), 3.f);  // oscillator 2 noise
    synth->setParameter(rowSource(3, 0), 7.f);       // velocity
    EXPECT_TRUE(routed(3, 102).empty());
    EXPECT_TRUE(routed(3, 14).empty());

    synth->setParameter(2088, 1.f);
    EXPECT_EQ(routed(3, 102), (std::vector<int>{24}));
    EXPECT_EQ(routed(3, 14), (std::vector<int>{32}));
    // Every part's rows: the default rows take key tracking and drive nothing.
    for (int part = 0; part < 8; part++)
        for (int row = part == 3 ? 1 : 0; row < 10; row++) {
            EXPECT_EQ(routed(part, 102 + row), (std::vector<int>{19})) << part << " row " << row;
            EXPECT_EQ(HalvornTestAccess::signalPath(*synth, part).modRowDestination[row], -1);
        }

    struct Case {
        int row;
        bool source;
        float choice;
        int destination;
        std::vector<int> expected;
        float storedAfter;
    } cases[] = {
        {0, false, 37.f, 101, {32}, 37.f},   // envelope 3 release time
        {0, false, 40.f, 101, {32}, 40.f},   // beyond the list: nothing changes
        {0, false, -2.f, 101, {32}, -2.f},
        {0, false, 38.f, 101, {}, 38.f},     // none
        {4, false, 16.f, 54, {36}, 16.f},
        {4, false, 0.f, 54, {}, 0.f},        // moved away from 54 ...
        {4, false, 0.f, 2, {36}, 0.f},       // ... to oscillator 1's pitch
        {1, true, 12.f, 103, {19}, 12.f},
        {1, true, 0.f, 103, {29}, 0.f},
        {1, true, 10.f, 103, {23}, 10.f},
        {1, true, 14.f, 103, {}, 14.f},
        {1, true, 6.f, 103, {15}, 6.f},
        {1, true, 15.f, 103, {}, 13.f},      // beyond the list: none, corrected
        {1, true, -3.f, 103, {}, 13.f},
        {1, true, kNaN, 103, {29}, 0.f},     // the lowest value
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.row) + (c.source ? " source " : " destination ") + std::to_string(c.choice));
        const int index = c.source ? rowSource(3, c.row) : rowDestination(3, c.row);
        synth->setParameter(index, c.choice);
        EXPECT_EQ(routed(3, c.destination), c.expected);
        EXPECT_EQ(synth->getParameter(index), c.storedAfter);
    }

    // Closing removes the rows of every part; opening restores those of every part.
    const std::vector<int> open = table();
    synth->setParameter(2088, 0.f);
    for (int part = 0; part < 8; part++) {
        for (int row = 0; row < 10; row++) EXPECT_TRUE(routed(part, 102 + row).empty()) << part;
        for (int destination : {2, 14, 54, 101}) EXPECT_TRUE(routed(part, destination).empty()) << part;
    }
    synth->setParameter(2088, 1.f);
    EXPECT_EQ(table(), open);
    synth->setParameter(2088, 0.7f);
    EXPECT_EQ(table(), open) << "opened twice, connected once";
}

// Ten rows to one summing input: it takes six; the others drive nothing, as the engine has
// it, and take their place when one is freed.
TEST_F(SignalPath, AFullSummingInputRefusesTheSeventhRow) {
    synth->setParameter(2088, 1.f);
    for (int row = 0; row < 10; row++) synth->setParameter(rowDestination(0, row), 8.f);  // filter 2 cutoff
    EXPECT_EQ(routed(0, 33), (std::vector<int>{32, 33, 34, 35, 36, 37}));
    const PartSignalPath& path = HalvornTestAccess::signalPath(*synth, 0);
    for (int row = 0; row < 10; row++) EXPECT_EQ(path.modRowDestination[row], row < 6 ? 33 : -1) << row;
    synth->setParameter(rowDestination(0, 2), 38.f);
    synth->setParameter(rowDestination(0, 8), 8.f);
    EXPECT_EQ(routed(0, 33), (std::vector<int>{32, 33, 40, 35, 36, 37}));
    synth->setParameter(2088, 0.f);
    EXPECT_TRUE(routed(0, 33).empty());
}

// A part that changes patch takes the new patch's rows.
TEST_F(SignalPath, APartThatChangesPatchTakesItsRows) {
    synth->setParameter(2088, 1.f);
    synth->setParameter(rowDestination(1, 2), 14.f);  // VCA 1 level
    synth->setParameter(rowDestination(4, 2), 15.f);  // VCA 2 level
    EXPECT_EQ(routed(1, 63), (std::vector<int>{34}));
    synth->setParameter(2001, 4.f);
    EXPECT_TRUE(routed(1, 63).empty());
    EXPECT_EQ(routed(1, 70), (std::vector<int>{34}));
    EXPECT_EQ(routed(4, 70), (std::vector<int>{34}));
}

}  // namespace
