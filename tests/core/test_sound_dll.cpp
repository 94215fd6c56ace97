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

// A host's session: a fresh instance, some host parameters or a chunk, notes 60 and 67
// held for 0.3 s and released, 0.6 s in all; answers every output channel.
struct Session {
    std::vector<std::pair<int, float>> parameters;
    std::vector<unsigned char> chunk;
};

std::vector<std::vector<float>> playSession(const Session& session, std::vector<unsigned char>* chunkOut = nullptr) {
    TestHost host;
    EXPECT_TRUE(host.load(TestHost::pluginPath(kOutputs)));
    AEffect* fx = host.create();
    EXPECT_NE(fx, nullptr);
    if (!fx) return {};
    for (const auto& parameter : session.parameters) fx->setParameter(fx, parameter.first, parameter.second);
    if (!session.chunk.empty()) {
        host.dispatch(effSetChunk, 0, (VstIntPtr)session.chunk.size(), (void*)session.chunk.data());
    }
    if (chunkOut) {
        void* data = nullptr;
        VstIntPtr size = host.dispatch(effGetChunk, 0, 0, &data);
        chunkOut->assign((unsigned char*)data, (unsigned char*)data + size);
    }
    std::vector<std::vector<float>> result((size_t)kOutputs), outputs;
    for (int block = 0; block < 52; block++) {
        if (block == 0) {
            host.sendMidi(0x90, 60, 100);
            host.sendMidi(0x90, 67, 90, 10);
        }
        if (block == 26) {
            host.sendMidi(0x80, 60, 0);
            host.sendMidi(0x80, 67, 0);
        }
        host.render(outputs, 512, true);
        for (int c = 0; c < kOutputs; c++)
            result[(size_t)c].insert(result[(size_t)c].end(), outputs[(size_t)c].begin(), outputs[(size_t)c].end());
    }
    return result;
}

double rmsOf(const std::vector<float>& x) {
    double sum = 0;
    for (float v : x) sum += (double)v * v;
    return x.empty() ? 0.0 : std::sqrt(sum / (double)x.size());
}

// The host index of a patch parameter, found by its short name ("s1Lev1" ...).
int hostIndexNamed(const std::string& name) {
    TestHost host;
    EXPECT_TRUE(host.load(TestHost::pluginPath(kOutputs)));
    EXPECT_NE(host.create(), nullptr);
    for (int index = 0; index < 549; index++)
        if (host.text(effGetParamName, index) == name) return index;
    return -1;
}

TEST(Sound, AChunkRestoredIntoAFreshInstancePlaysTheSameSound) {
    TestInstall install;
    int cutoff = hostIndexNamed("s1FrLo1");
    ASSERT_GE(cutoff, 0);
    Session edited;
    for (int patch = 0; patch < 8; patch++) edited.parameters.push_back({cutoff + 62 * patch, 0.35f});
    edited.parameters.push_back({515, 0.7f});
    std::vector<unsigned char> chunk;
    std::vector<std::vector<float>> original = playSession(edited, &chunk);
    ASSERT_EQ(chunk.size(), 5392u);
    std::vector<std::vector<float>> plain = playSession(Session());
    ASSERT_GT(rmsOf(original[0]), 1e-4);
    EXPECT_NE(original[0], plain[0]) << "the edits are heard";

    Session restored;
    restored.chunk = chunk;
    std::vector<std::vector<float>> first = playSession(restored);
    std::vector<std::vector<float>> second = playSession(restored);
    for (int c = 0; c < kOutputs; c++) EXPECT_EQ(first[(size_t)c], second[(size_t)c]) << "channel " << c;
    // The restored instance sounds like the edited one did (its edits were applied live).
    double difference = 0;
    for (size_t i = 0; i < first[0].size(); i++) difference += std::fabs(first[0][i] - original[0][i]);
    EXPECT_LT(difference / (double)first[0].size(), 0.05 * rmsOf(original[0]) + 1e-6);
}

#if TEST_OUTPUTS == 10
TEST(Sound, APatchParameterChangesOnlyThePartsThatPlayThePatch) {
    TestInstall install;
    std::vector<std::vector<float>> reference = playSession(Session());
    // The parts that sound (each part plays the patch of its own number by default).
    std::vector<int> sounding;
    for (int part = 0; part < 8; part++)
        if (rmsOf(reference[(size_t)(2 + part)]) > 1e-4) sounding.push_back(part);
    ASSERT_FALSE(sounding.empty());
    int level = hostIndexNamed("s1Lev1");
    ASSERT_GE(level, 0);
    for (int patch = 0; patch < 8; patch++) {
        Session changed;
        changed.parameters = {{level + 62 * patch, 0.1f}};
        std::vector<std::vector<float>> out = playSession(changed);
        for (int part = 0; part < 8; part++) {
            const std::vector<float>& before = reference[(size_t)(2 + part)];
            const std::vector<float>& after = out[(size_t)(2 + part)];
            bool plays = part == patch && rmsOf(before) > 1e-4;
            if (plays)
                EXPECT_LT(rmsOf(after), 0.9 * rmsOf(before)) << "patch " << patch << " part " << part;
            else
                EXPECT_EQ(after, before) << "patch " << patch << " part " << part;
        }
    }
}
#endif

}  // namespace
