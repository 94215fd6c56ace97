// Round-trip latency through the ASIO back end, measured through the test driver at its
// smallest buffer: an impulse in the driver's input comes back in its output through the
// render pump (the callback loops input to output); the driver reports its own latencies.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "asio_manager.h"
#include "fake_asio/fake_asio_client.h"

namespace {

void loopBack(float** inputs, int inputCount, float** outputs, int outputCount, int frames, void*) {
    for (int c = 0; c < outputCount; ++c)
        std::memcpy(outputs[c], inputs[c % inputCount], sizeof(float) * frames);
}

struct Result {
    int bufferSize, inputLatency, outputLatency, streamDelay;
};

// Frames from the impulse's recording to its playing, in the driver's stream: the driver
// plays the half filled before its start first, then one half per switch, and records the
// input of switch k during the period that half k - 1 plays.
bool measure(FakeAsio& fake, int size, Result& result) {
    const int patternFrames = 8192, impulseAt = 1000;
    FakeAsioConfig config;
    config.inputs = config.outputs = 2;
    config.sampleType = ASIOSTInt32LSB;
    config.minSize = 32;
    config.maxSize = 2048;
    config.preferredSize = size;
    config.switchLimit = patternFrames / size;
    fake.configure(&config);
    std::vector<int32_t> pattern(patternFrames, 0);
    pattern[impulseAt] = 0x40000000;
    fake.setInput(pattern.data(), static_cast<int32_t>(pattern.size() * 4));

    Audio audio;
    AsioManager* manager = new AsioManager(&audio, nullptr);
    audio.setBackEnd(Audio::kProtocolAsio, manager);
    audio.setCallback(loopBack, nullptr);
    if (audio.selectProtocol(Audio::kProtocolAsio) != 0 || audio.selectDriver(0) != 0)
        return false;
    if (!fake.waitSwitches(config.switchLimit, 20000))
        return false;
    result.bufferSize = manager->getBufferSize();
    result.inputLatency = manager->getInputLatency();
    result.outputLatency = manager->getOutputLatency();
    audio.stopDriver();
    std::vector<uint8_t> played = fake.output(0);
    for (size_t i = 0; i + 4 <= played.size(); i += 4) {
        int32_t v;
        std::memcpy(&v, &played[i], 4);
        if (v > 0x20000000) {
            // Played frame i/4 happens at stream time i/4; the impulse was recorded at
            // impulseAt, during the period of the half played before its switch's.
            result.streamDelay = static_cast<int>(i / 4) - impulseAt;
            return true;
        }
    }
    return false;
}

}  // namespace

int main() {
    FakeAsio fake;
    if (!fake.ready()) {
        std::fprintf(stderr, "fake_asio.dll must lie beside the benchmark\n");
        return 1;
    }
    FakeAsio::clearDrivers();
    if (!fake.registerClass() || !FakeAsio::addDriver("Bench Driver", "Bench Driver")) {
        std::fprintf(stderr, "cannot register the test driver\n");
        return 1;
    }
    std::printf("%8s %10s %10s %12s %12s %10s\n", "buffer", "in (drv)", "out (drv)", "host delay", "round trip",
                "ms@44.1k");
    const int sizes[] = {32, 64, 128, 256, 512};
    int status = 0;
    for (int size : sizes) {
        Result r = {};
        if (!measure(fake, size, r)) {
            std::printf("%8d measurement failed\n", size);
            status = 1;
            continue;
        }
        // An ideal host plays an input one buffer after the switch that received it; the
        // driver's own latencies already count that buffer once each way.
        int roundTrip = r.inputLatency + r.outputLatency + (r.streamDelay - r.bufferSize);
        std::printf("%8d %10d %10d %12d %12d %10.2f\n", r.bufferSize, r.inputLatency, r.outputLatency,
                    r.streamDelay, roundTrip, roundTrip * 1000.0 / 44100.0);
    }
    FakeAsio::clearDrivers();
    return status;
}
