// The test ASIO driver's control surface: the tests load the same module that COM loads
// (LoadLibrary of the registered file) and configure, trigger and read it through these
// exports. Every channel of the driver uses the configured sample type.
#pragma once

#include <cstdint>

#include "asio/asio.h"

// {6A1F3C52-9B7E-4D21-8C55-2E0B7A9D4F13}
#define FAKE_ASIO_CLSID_TEXT "{6A1F3C52-9B7E-4D21-8C55-2E0B7A9D4F13}"

struct FakeAsioConfig {
    int32_t inputs = 2;
    int32_t outputs = 2;
    int32_t sampleType = ASIOSTFloat32LSB;
    int32_t minSize = 64, maxSize = 2048, preferredSize = 512, granularity = -1;
    double rate = 44100.0;
    double rates[8] = {44100.0, 48000.0, 88200.0, 96000.0};
    int32_t rateCount = 4;
    int32_t inputLatency = 0, outputLatency = 0;  // added to the buffer size
    // Buffer switches: paced by the buffer's duration at the current rate, or back to back.
    int32_t realTime = 0;
    // Use bufferSwitchTimeInfo when the host answers kAsioSupportsTimeInfo.
    int32_t timeInfo = 1;
    int32_t outputReady = 1;
    // After this many switches the driver's thread idles until the stop (0: no limit).
    int32_t switchLimit = 0;  // outputReady answers ASE_OK, else ASE_NotPresent
    // Failures: init answers false; the others are the error codes the call answers.
    int32_t failInit = 0;
    ASIOError getChannelsError = 0, getBufferSizeError = 0, getSampleRateError = 0, setSampleRateError = 0,
              createBuffersError = 0, startError = 0, controlPanelError = 0;
    char name[32] = "Test Driver";
    char errorMessage[124] = "Test driver failed";
    // Bytes the output buffers hold when created, so bytes the host must not write can be seen.
    uint8_t fillByte = 0xA5;
};

struct FakeAsioCounters {
    int32_t liveDrivers;   // driver objects not yet released
    int32_t liveBuffers;   // channel double buffers not yet disposed
    int32_t inits, starts, stops, creates, disposes, controlPanels, outputReadies;
    int32_t bufferSize;    // of the last createBuffers
    int32_t channels;      // of the last createBuffers
    int32_t rateSets;      // successful setSampleRate calls
    double rate;           // the driver's current rate
    int64_t switches;      // buffer switches since the last start
    int32_t timeInfoSwitches;
    // Calls that must not come from the driver's own thread: start, stop, createBuffers,
    // disposeBuffers, setSampleRate, made from inside a buffer switch or message.
    int32_t callsFromDriverThread;
    int32_t messageAnswers[16];  // the host's last answer to each selector sent from the thread
    void* sysRef;
};

extern "C" {
typedef void (*FakeAsioConfigureFn)(const FakeAsioConfig* config);
typedef void (*FakeAsioCountersFn)(FakeAsioCounters* counters);
// Zeroes the counters of calls; the live objects and the rate stay.
typedef void (*FakeAsioResetCountersFn)();
// Copies up to maxBytes of output channel's captured stream (the half-buffers in the order
// they were played); answers the bytes captured so far.
typedef int32_t (*FakeAsioCapturedFn)(int32_t channel, void* out, int32_t maxBytes);
// The raw bytes every input channel delivers, looped (at most 1 MiB).
typedef void (*FakeAsioSetInputFn)(const void* bytes, int32_t count);
// Sends a message to the host from the driver's thread at its next buffer switch.
typedef void (*FakeAsioPostMessageFn)(int32_t selector, int32_t value);
// Sends a message to the host now, from the caller's thread; answers the host's answer.
typedef ASIOLong (*FakeAsioSendMessageFn)(int32_t selector, int32_t value);
// Blocks until at least count buffer switches have run since the start (or the timeout ends).
typedef int32_t (*FakeAsioWaitSwitchesFn)(int64_t count, int32_t timeoutMs);
}
