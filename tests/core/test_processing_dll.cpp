// The processing path of the built plug-in, driven like a host: MIDI events, host block
// sizes, the two processing calls, both builds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "host/test_host.h"

namespace {

const int kOutputs = TEST_OUTPUTS;

struct Note {
    int frame;
    unsigned char status, key, velocity;
};

// Plays the notes through a fresh instance in host blocks of the given size and answers
// every output channel.
std::vector<std::vector<float>> play(const std::vector<Note>& notes, int total, int block, bool replacing = true,
                                     float rate = 44100.f, std::vector<std::pair<int, float>> parameters = {}) {
    TestHost host;
    EXPECT_TRUE(host.load(TestHost::pluginPath(kOutputs)));
    AEffect* fx = host.create();
    EXPECT_NE(fx, nullptr);
    if (!fx) return {};
    if (rate != 44100.f) host.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    for (const auto& p : parameters) fx->setParameter(fx, p.first, p.second);
    host.dispatch(effMainsChanged, 0, 1);
    std::vector<std::vector<float>> result((size_t)kOutputs);
    std::vector<std::vector<float>> buffers;
    for (int start = 0; start < total; start += block) {
        int frames = total - start < block ? total - start : block;
        std::vector<VstMidiEvent> events;
        for (const Note& n : notes) {
            if (n.frame < start || n.frame >= start + frames) continue;
            events.push_back(TestHost::midiEvent(n.status, n.key, n.velocity, n.frame - start));
        }
        if (!events.empty()) host.sendEvents(events);
        buffers.assign((size_t)kOutputs, std::vector<float>((size_t)frames, replacing ? 123.f : 0.f));
        host.render(buffers, frames, replacing);
        for (int c = 0; c < kOutputs; c++)
            result[(size_t)c].insert(result[(size_t)c].end(), buffers[(size_t)c].begin(), buffers[(size_t)c].end());
    }
    return result;
}

double rms(const std::vector<float>& x, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, x.size());
    double sum = 0;
    for (size_t i = from; i < to; i++) sum += (double)x[i] * x[i];
    return to > from ? std::sqrt(sum / (double)(to - from)) : 0.0;
}

double magnitudeAt(const std::vector<float>& x, size_t from, size_t length, double frequency, double rate) {
    double c = 0, d = 0;
    for (size_t i = 0; i < length; i++) {
        double phase = 6.283185307179586 * frequency * (double)i / rate;
        c += x[from + i] * std::cos(phase);
        d += x[from + i] * std::sin(phase);
    }
    return std::sqrt(c * c + d * d);
}

// The strongest partial of a steady stretch between 50 Hz and 2 kHz.
double strongestPartial(const std::vector<float>& x, size_t from, size_t length, double rate) {
    double best = 0, bestFrequency = 0;
    for (double f = 50; f < 2000; f += 1.0) {
        double m = magnitudeAt(x, from, length, f, rate);
        if (m > best) best = m, bestFrequency = f;
    }
    double centre = bestFrequency;
    for (double f = centre - 1; f <= centre + 1; f += 0.05) {
        double m = magnitudeAt(x, from, length, f, rate);
        if (m > best) best = m, bestFrequency = f;
    }
    return bestFrequency;
}

class ProcessingDll : public ::testing::Test {
protected:
    TestInstall install;
};

TEST_F(ProcessingDll, ANoteSoundsAtItsPitchAndDecaysToSilence) {
    for (float rate : {44100.f, 96000.f}) {
        int total = (int)(rate * 1.5f);
        // The default program's vibrato (VIB_AMOUNT_VCO 0.5) is taken out to read the pitch.
        std::vector<std::vector<float>> out = play({{0, 0x90, 57, 100}, {(int)(rate * 0.6f), 0x80, 57, 0}}, total, 512,
                                                   true, rate, {{497, 1.f}});
        ASSERT_EQ(out.size(), (size_t)kOutputs);
        EXPECT_GT(rms(out[0], (size_t)(rate * 0.2f), (size_t)(rate * 0.5f)), 1e-3) << rate;
        EXPECT_NEAR(strongestPartial(out[0], (size_t)(rate * 0.2f), (size_t)(rate * 0.2f), rate), 220.0, 1.5) << rate;
        EXPECT_LT(rms(out[0], (size_t)(rate * 1.4f)), 1e-4) << "the released note decays away at " << rate;
    }
}

TEST_F(ProcessingDll, HostBlockSizeDoesNotChangeTheOutput) {
    std::vector<Note> notes = {{0, 0x90, 60, 100}, {300, 0x90, 64, 90}, {2000, 0x80, 60, 0}, {5000, 0x80, 64, 0}};
    std::vector<std::vector<float>> reference = play(notes, 8192, 44);
    ASSERT_GT(rms(reference[0]), 1e-4);
    for (int block : {1, 100, 512, 4096}) {
        std::vector<std::vector<float>> out = play(notes, 8192, block);
        for (int c = 0; c < kOutputs; c++)
            ASSERT_EQ(out[(size_t)c], reference[(size_t)c]) << "block " << block << " channel " << c;
    }
}

TEST_F(ProcessingDll, NotesStartOnTheEngineBlockGrid) {
    // Delta frames 100 and 132 both start at the piece at 132; 88 starts a block earlier.
    std::vector<std::vector<float>> at100 = play({{100, 0x90, 60, 100}}, 4096, 512);
    std::vector<std::vector<float>> at132 = play({{132, 0x90, 60, 100}}, 4096, 512);
    std::vector<std::vector<float>> at88 = play({{88, 0x90, 60, 100}}, 4096, 512);
    ASSERT_GT(rms(at100[0]), 1e-4);
    EXPECT_EQ(at100[0], at132[0]);
    EXPECT_NE(at100[0], at88[0]);
}

TEST_F(ProcessingDll, AccumulatingIntoSilenceEqualsReplacing) {
    std::vector<Note> notes = {{10, 0x90, 62, 110}, {3000, 0x80, 62, 0}};
    std::vector<std::vector<float>> replaced = play(notes, 6000, 256, true);
    std::vector<std::vector<float>> added = play(notes, 6000, 256, false);
    ASSERT_GT(rms(replaced[0]), 1e-4);
    for (int c = 0; c < kOutputs; c++) EXPECT_EQ(added[(size_t)c], replaced[(size_t)c]) << c;
}

TEST_F(ProcessingDll, OnlyTheBuildsOutputsAreWritten) {
    TestHost host;
    ASSERT_TRUE(host.load(TestHost::pluginPath(kOutputs)));
    AEffect* fx = host.create();
    ASSERT_NE(fx, nullptr);
    host.sendMidi(0x90, 60, 100);
    // Ten buffers whatever the build: the stereo build must leave the last eight alone.
    std::vector<std::vector<float>> buffers(10, std::vector<float>(2048, 9.f));
    float* pointers[10];
    for (int c = 0; c < 10; c++) pointers[c] = buffers[(size_t)c].data();
    fx->processReplacing(fx, nullptr, pointers, 2048);
    EXPECT_NE(buffers[0][2047], 9.f);
    for (int c = kOutputs; c < 10; c++)
        for (float x : buffers[(size_t)c]) ASSERT_EQ(x, 9.f) << c;
    if (kOutputs == 10) {
        // A part output the host leaves out is skipped.
        pointers[5] = nullptr;
        fx->processReplacing(fx, nullptr, pointers, 256);
    }
}

TEST_F(ProcessingDll, AFloodOfEventsLeavesNoNoteHanging) {
    std::vector<Note> notes;
    for (int i = 0; i < 300; i++) notes.push_back({i % 16, 0x90, (unsigned char)(36 + i % 60), 100});
    for (int i = 0; i < 300; i++) notes.push_back({20, 0x80, (unsigned char)(36 + i % 60), 0});
    std::vector<std::vector<float>> out = play(notes, 44100 * 3, 512);
    EXPECT_LT(rms(out[0], 44100 * 2), 1e-4) << "every note was released";
}


}  // namespace
