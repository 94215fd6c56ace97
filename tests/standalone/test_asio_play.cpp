// The audio manager plays the built plug-in through the test driver: the driver's output
// halves hold, byte for byte, the plug-in's float output in every sample format, and the
// driver's input halves reach the render callback in order.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "application.h"
#include "asio_fixture.h"
#include "signal_measure.h"
#include "standalone_fixture.h"

namespace {

const uint8_t kFill = 0xA5;  // what the test driver's buffers hold before the host writes

// Our own reading of the formats, to check the back end against.
struct Format {
    ASIOSampleType type;
    int bytes;        // container
    int bits;         // significant bits, 0 for floats
    int first;        // first significant byte of the little-endian container
    double scale;     // float to integer
    double divisor;   // integer to float
};

const Format kFormats[] = {
    {ASIOSTInt16LSB, 2, 16, 0, 32767.0, 32767.0},
    {ASIOSTInt24LSB, 3, 24, 0, 8388607.0, 8388608.0},
    {ASIOSTInt32LSB, 4, 32, 0, 2147483647.0, 2147483648.0},
    {ASIOSTFloat32LSB, 4, 0, 0, 0, 0},
    {ASIOSTFloat64LSB, 8, 0, 0, 0, 0},
    {ASIOSTInt32LSB16, 4, 16, 0, 32767.0, 32767.0},
    {ASIOSTInt32LSB18, 4, 18, 0, 131071.0, 131072.0},
    {ASIOSTInt32LSB20, 4, 20, 0, 524287.0, 524288.0},
    {ASIOSTInt32LSB24, 4, 24, 0, 8388607.0, 8388608.0},
};

bool bigEndian(ASIOSampleType type) { return type < 16; }

// The little-endian twin of a format, and whether the bytes are reversed.
Format formatOf(ASIOSampleType type) {
    ASIOSampleType little = bigEndian(type) ? type + 16 : type;
    for (const Format& f : kFormats)
        if (f.type == little) {
            Format out = f;
            out.type = type;
            if (bigEndian(type))
                out.first = f.bytes - f.first - (f.bits <= 16 ? 2 : f.bits <= 24 ? 3 : 4);
            return out;
        }
    ADD_FAILURE() << "no format " << type;
    return kFormats[0];
}

void reverseIfBig(uint8_t* sample, const Format& f) {
    if (bigEndian(f.type))
        std::reverse(sample, sample + f.bytes);
}

void encode(float x, const Format& f, uint8_t* out) {
    std::memset(out, kFill, f.bytes);
    if (f.bits == 0) {
        if (f.bytes == 4)
            std::memcpy(out, &x, 4);
        else {
            double d = x;
            std::memcpy(out, &d, 8);
        }
        reverseIfBig(out, f);
        return;
    }
    double clipped = std::max(-1.0, std::min(1.0, static_cast<double>(x)));
    int32_t v = static_cast<int32_t>(std::trunc(clipped * f.scale));
    int stored = f.bits <= 16 ? 2 : f.bits <= 24 ? 3 : 4;
    // Little-endian container first; a big-endian one is its mirror image.
    uint8_t little[8];
    std::memset(little, kFill, sizeof little);
    int lowFirst = bigEndian(f.type) ? f.bytes - f.first - stored : f.first;
    for (int i = 0; i < stored; ++i)
        little[lowFirst + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
    std::memcpy(out, little, f.bytes);
    reverseIfBig(out, f);
}

float decode(const uint8_t* in, const Format& f) {
    uint8_t little[8];
    std::memcpy(little, in, f.bytes);
    if (bigEndian(f.type))
        std::reverse(little, little + f.bytes);
    if (f.bits == 0) {
        if (f.bytes == 4) {
            float x;
            std::memcpy(&x, little, 4);
            return x;
        }
        double d;
        std::memcpy(&d, little, 8);
        return static_cast<float>(d);
    }
    int stored = f.bits <= 16 ? 2 : f.bits <= 24 ? 3 : 4;
    int lowFirst = bigEndian(f.type) ? f.bytes - f.first - stored : f.first;
    int64_t v = 0;
    for (int i = 0; i < stored; ++i)
        v |= static_cast<int64_t>(little[lowFirst + i]) << (8 * i);
    v &= (int64_t(1) << f.bits) - 1;
    if (v & (int64_t(1) << (f.bits - 1)))
        v -= int64_t(1) << f.bits;
    return static_cast<float>(v / f.divisor);
}

// The render callback: the plug-in into the first two outputs, clipped as the program's
// engine does, with what it rendered and what the first input gave recorded.
struct Player {
    AEffect* effect = nullptr;
    std::vector<std::vector<float>> scratch;
    std::vector<float*> pointers;
    std::vector<float> rendered[2];
    std::vector<float> input;
    int calls = 0;
    bool badArguments = false;

    static void render(float** inputs, int inputCount, float** outputs, int outputCount, int frames, void* user) {
        Player* self = static_cast<Player*>(user);
        ++self->calls;
        if (frames <= 0 || outputCount != 2 || !outputs[0] || !outputs[1] || frames > 4096 ||
            (inputCount > 0 && !inputs[0])) {
            self->badArguments = true;
            return;
        }
        AEffect* fx = self->effect;
        for (auto& buffer : self->scratch)
            std::fill(buffer.begin(), buffer.begin() + frames, 0.f);
        fx->processReplacing(fx, nullptr, self->pointers.data(), frames);
        for (int channel = 0; channel < 2; ++channel) {
            for (int i = 0; i < frames; ++i) {
                float x = std::max(-1.f, std::min(1.f, self->scratch[channel][i]));
                outputs[channel][i] = x;
                self->rendered[channel].push_back(x);
            }
        }
        if (inputCount > 0)
            self->input.insert(self->input.end(), inputs[0], inputs[0] + frames);
    }
};

class AsioPlayTest : public AsioTest {
protected:
    void SetUp() override {
        AsioTest::SetUp();
        ASSERT_TRUE(host.load(TestHost::pluginPath(10)));
        ASSERT_NE(host.create(), nullptr);
        player.effect = host.effect();
        player.scratch.assign(host.effect()->numOutputs, std::vector<float>(4096));
        for (auto& buffer : player.scratch)
            player.pointers.push_back(buffer.data());
    }
    void TearDown() override {
        AsioTest::TearDown();
        host.close();
    }

    // Plays a chord through a driver of the format until the driver stops after its limit,
    // then checks its output halves and what the callback got from its input halves.
    void play(ASIOSampleType type, int timeInfo, int bufferSize, int switches) {
        SCOPED_TRACE(testing::Message() << "format " << type << (timeInfo ? " with time info" : ""));
        Format format = formatOf(type);
        FakeAsioConfig config;
        config.inputs = 1;
        config.outputs = 2;
        config.sampleType = type;
        config.timeInfo = timeInfo;
        config.minSize = config.maxSize = config.preferredSize = bufferSize;
        config.switchLimit = switches;
        configure(config);
        fake.resetCounters();

        // A slow ramp through the whole range, as the driver's input.
        std::vector<float> inputValues(997);
        std::vector<uint8_t> inputBytes(inputValues.size() * format.bytes);
        for (size_t i = 0; i < inputValues.size(); ++i) {
            float x = -1.f + 2.f * i / (inputValues.size() - 1);
            encode(x, format, &inputBytes[i * format.bytes]);
            inputValues[i] = decode(&inputBytes[i * format.bytes], format);
        }
        fake.setInput(inputBytes.data(), static_cast<int32_t>(inputBytes.size()));

        player.rendered[0].clear();
        player.rendered[1].clear();
        player.input.clear();
        host.sendMidi(0x90, 48, 120);
        host.sendMidi(0x90, 55, 120);
        host.sendMidi(0x90, 64, 120);
        audio->setCallback(Player::render, &player);
        ASSERT_EQ(audio->selectDriver(0), 0);
        ASSERT_TRUE(fake.waitSwitches(switches, 20000));
        audio->stopDriver();
        // The next driver is another: loaded again with its channels' formats.
        audio->closeProtocol();
        ASSERT_EQ(audio->selectProtocol(Audio::kProtocolAsio), 0);
        host.sendMidi(0x80, 48, 0);
        host.sendMidi(0x80, 55, 0);
        host.sendMidi(0x80, 64, 0);
        audio->clearCallback();
        EXPECT_FALSE(player.badArguments);
        EXPECT_EQ(fake.counters().timeInfoSwitches, timeInfo ? switches : 0);

        // The half filled before the start, then one half per switch: exactly what was rendered.
        size_t frames = static_cast<size_t>(switches + 1) * bufferSize;
        float loudest = 0.f;
        for (int channel = 0; channel < 2; ++channel) {
            const std::vector<float>& floats = player.rendered[channel];
            ASSERT_EQ(floats.size(), frames);
            std::vector<uint8_t> bytes = fake.output(channel);
            ASSERT_EQ(bytes.size(), frames * format.bytes);
            std::vector<uint8_t> expected(format.bytes);
            int mismatches = 0;
            for (size_t i = 0; i < frames; ++i) {
                encode(floats[i], format, expected.data());
                if (std::memcmp(expected.data(), &bytes[i * format.bytes], format.bytes) != 0 && ++mismatches <= 3)
                    ADD_FAILURE() << "channel " << channel << " frame " << i << " float " << floats[i];
                loudest = std::max(loudest, std::fabs(floats[i]));
            }
            EXPECT_EQ(mismatches, 0);
        }
        EXPECT_GT(loudest, 0.01f) << "the chord should sound";

        // The input ring starts with a rounded buffer of silence; the half read at the start
        // holds what the driver's buffer held before its first switch.
        int rounded = (bufferSize + 43) / 44 * 44;
        std::vector<float> expectedInput(rounded, 0.f);
        std::vector<uint8_t> filled(format.bytes, kFill);
        for (int i = 0; i < bufferSize; ++i)
            expectedInput.push_back(decode(filled.data(), format));
        for (size_t i = 0; expectedInput.size() < frames; ++i)
            expectedInput.push_back(inputValues[i % inputValues.size()]);
        ASSERT_EQ(player.input.size(), frames);
        int wrong = 0;
        for (size_t i = 0; i < frames; ++i) {
            bool same = player.input[i] == expectedInput[i] ||
                        (std::isnan(player.input[i]) && std::isnan(expectedInput[i]));
            if (!same && ++wrong <= 3)
                ADD_FAILURE() << "input frame " << i << ": " << player.input[i] << " for " << expectedInput[i];
        }
        EXPECT_EQ(wrong, 0);
    }

    TestInstall install;
    TestHost host;
    Player player;
};

TEST_F(AsioPlayTest, EveryFormatCarriesThePluginsOutputBitForBit) {
    const ASIOSampleType types[] = {0, 1, 2, 3, 4, 8, 9, 10, 11, 16, 17, 18, 19, 20, 24, 25, 26, 27};
    openAudio();
    for (ASIOSampleType type : types)
        play(type, 1, 256, 24);
}

TEST_F(AsioPlayTest, PlainBufferSwitchAndBufferSizesOffTheBlockGrid) {
    openAudio();
    play(ASIOSTInt32LSB, 0, 100, 30);
    play(ASIOSTInt16MSB, 0, 64, 30);
    play(ASIOSTFloat32LSB, 1, 1000, 10);
}

// A driver that runs at 48000 only: the program plays at that rate, and the loaded
// instrument is told so before the first buffer, so its note sounds at its pitch.
TEST_F(AsioTest, AnInstrumentPlaysInTuneThroughADriverThatRunsAt48000Only) {
    StandaloneInstall setup(10, true, false);
    FakeAsioConfig config;
    config.rate = 48000.0;
    config.rates[0] = 48000.0;
    config.rateCount = 1;
    config.minSize = config.maxSize = config.preferredSize = 480;
    config.switchLimit = 100;
    configure(config);
    fake.resetCounters();

    Application* app = Application::instance();
    ASSERT_EQ(app->init(window), 0);
    int slot = app->loadInstrument("Halvorn");
    ASSERT_EQ(slot, 0);
    app->setParameter(slot, 497, 1.f);  // vibrato off, to read the pitch
    app->setOctaveShift(slot, 1);       // played as 57 + 12: 440 Hz
    // Already waiting when the driver starts: the note begins in the first buffer.
    MidiInDx keyboard(0, "Keyboard", app->getMidi());
    MidiInDx::midiInProc(nullptr, MIM_DATA, (DWORD_PTR)&keyboard, 0x643990, 0);
    ASSERT_EQ(app->selectProtocol(Audio::kProtocolAsio), 0);
    ASSERT_EQ(app->selectDriver(0), 0);
    EXPECT_EQ(app->getSampleRate(), 48000.f);
    EXPECT_EQ(fake.counters().rate, 48000.0);
    ASSERT_TRUE(fake.waitSwitches(100, 20000));
    app->shutdown();

    std::vector<uint8_t> bytes = fake.output(0);
    std::vector<float> left(bytes.size() / sizeof(float));
    std::memcpy(left.data(), bytes.data(), left.size() * sizeof(float));
    ASSERT_EQ(left.size(), 101u * 480u);
    const size_t from = 48000 / 5, length = 48000 / 5;
    EXPECT_GT(rms(left, 0, 480), 1e-3) << "the note sounds from the first buffer";
    EXPECT_GT(rms(left, from, length), 1e-3);
    EXPECT_NEAR(strongestPartial(left, from, length, 48000.0), 440.0, 2.0);
}

}  // namespace
