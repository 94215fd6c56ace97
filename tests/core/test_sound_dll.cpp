// The built plug-in sounds: a fresh instance, as a host creates it, plays a note with its
// start preset into the master pair.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/test_host.h"

namespace {

const int kOutputs = TEST_OUTPUTS;

TEST(Sound, AFreshInstancePlaysANoteIntoTheMasterPair) {
    TestInstall install;
    TestHost host;
    ASSERT_TRUE(host.load(TestHost::pluginPath(kOutputs))) << TestHost::pluginPath(kOutputs);
    AEffect* fx = host.create();
    ASSERT_NE(fx, nullptr);

    // Silence before the note: nothing sounds without one.
    std::vector<std::vector<float>> outputs;
    host.render(outputs, 512, true);
    for (int channel = 0; channel < 2; channel++)
        for (float sample : outputs[(size_t)channel]) ASSERT_EQ(sample, 0.f) << "channel " << channel;

    // A above middle C at velocity 100 on channel 1, held for about half a second in the
    // host's blocks of 512 samples at 44.1 kHz.
    host.sendMidi(0x90, 69, 100);
    double energy[2] = {0.0, 0.0};
    float peak[2] = {0.f, 0.f};
    for (int block = 0; block < 43; block++) {
        host.render(outputs, 512, true);
        for (int channel = 0; channel < 2; channel++)
            for (float sample : outputs[(size_t)channel]) {
                ASSERT_TRUE(std::isfinite(sample)) << "block " << block << " channel " << channel;
                energy[channel] += (double)sample * sample;
                peak[channel] = std::fmax(peak[channel], std::fabs(sample));
            }
    }
    const double samples = 43.0 * 512.0;
    for (int channel = 0; channel < 2; channel++) {
        const double rms = std::sqrt(energy[channel] / samples);
        EXPECT_GT(rms, 1e-3) << "channel " << channel << " is silent (peak " << peak[channel] << ")";
        EXPECT_LE(peak[channel], 4.f) << "channel " << channel;
    }
    EXPECT_EQ(host.close(), 1);
}

}  // namespace
