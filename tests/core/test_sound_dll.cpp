// The built plug-in sounds: a fresh instance, as a host creates it, plays a note with its
// start preset into the master pair.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "host/test_host.h"

namespace {

const int kOutputs = TEST_OUTPUTS;

// Renders about half a second of note 69 at velocity 100 from a fresh instance, after the
// host parameters given; answers the RMS level of each master channel.
struct Take {
    double rms[2] = {0.0, 0.0};
    float peak[2] = {0.f, 0.f};
};

Take playNote(const std::vector<std::pair<int, float>>& parameters) {
    Take take;
    TestInstall install;
    TestHost host;
    EXPECT_TRUE(host.load(TestHost::pluginPath(kOutputs))) << TestHost::pluginPath(kOutputs);
    AEffect* fx = host.create();
    EXPECT_NE(fx, nullptr);
    if (!fx) return take;
    for (const auto& parameter : parameters) fx->setParameter(fx, parameter.first, parameter.second);

    // Silence before the note: nothing sounds without one.
    std::vector<std::vector<float>> outputs;
    host.render(outputs, 512, true);
    for (int channel = 0; channel < 2; channel++)
        for (float sample : outputs[(size_t)channel]) EXPECT_EQ(sample, 0.f) << "channel " << channel;

    // On channel 1, held in the host's blocks of 512 samples at 44.1 kHz.
    host.sendMidi(0x90, 69, 100);
    const int blocks = 43;
    double energy[2] = {0.0, 0.0};
    for (int block = 0; block < blocks; block++) {
        host.render(outputs, 512, true);
        for (int channel = 0; channel < 2; channel++)
            for (float sample : outputs[(size_t)channel]) {
                EXPECT_TRUE(std::isfinite(sample)) << "block " << block << " channel " << channel;
                if (!std::isfinite(sample)) return take;
                energy[channel] += (double)sample * sample;
                take.peak[channel] = std::fmax(take.peak[channel], std::fabs(sample));
            }
    }
    for (int channel = 0; channel < 2; channel++) take.rms[channel] = std::sqrt(energy[channel] / (blocks * 512.0));
    EXPECT_EQ(host.close(), 1);
    return take;
}

TEST(Sound, AFreshInstancePlaysANoteIntoTheMasterPair) {
    const Take take = playNote({});
    for (int channel = 0; channel < 2; channel++) {
        EXPECT_GT(take.rms[channel], 1e-3) << "channel " << channel << " is silent (peak " << take.peak[channel] << ")";
        EXPECT_LE(take.peak[channel], 4.f) << "channel " << channel;
    }
}

// The master volume as a host sets it: 0 silences; full (gain 3) is six times the middle
// (gain 0.5).
TEST(Sound, TheMasterVolumeScalesTheNote) {
    const Take middle = playNote({{515, 0.5f}});
    const Take full = playNote({{515, 1.f}});
    const Take none = playNote({{515, 0.f}});
    for (int channel = 0; channel < 2; channel++) {
        ASSERT_GT(middle.rms[channel], 1e-3) << "channel " << channel << " is silent";
        EXPECT_NEAR(full.rms[channel] / middle.rms[channel], 6.0, 0.06) << "channel " << channel;
        EXPECT_EQ(none.peak[channel], 0.f) << "channel " << channel;
    }
}

}  // namespace
