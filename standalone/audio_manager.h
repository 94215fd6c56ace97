// The audio layer: channels with float rings, the back-end base class with its render
// pump, and Audio, which switches between the two protocols (0 DirectSound, 1 ASIO).
// Samples are 32-bit floats, one buffer per channel. Nothing here depends on Windows;
// the back ends that talk to devices derive from AudioManager, AudioIn and AudioOut.
#pragma once

#include <atomic>
#include <string>

#include "host_error.h"
#include "sample_ring.h"

class Audio;

// (inputs, input count, outputs, output count, frames, user): the one audio callback.
typedef void (*AudioCallback)(float** inputs, int inputCount, float** outputs, int outputCount, int frames,
                              void* user);
// (rate, user): a back end took its driver's own rate; whatever renders must follow it.
typedef void (*SampleRateCallback)(float rate, void* user);

// What every channel has: its index among the back end's channels, its name, its ring.
class AudioChannel {
public:
    int getIndex() const { return index; }
    const std::string& getName() const { return name; }
    SampleRing& getRing() { return ring; }

protected:
    AudioChannel(int index, const std::string& name) : index(index), name(name) {}
    int index;
    std::string name;
    SampleRing ring;
};

class AudioIn : public AudioChannel {
public:
    AudioIn(int index, const std::string& name) : AudioChannel(index, name) {}
    virtual ~AudioIn() = default;
    virtual int start() = 0;
    virtual int stop() = 0;
    virtual int prepare(int bufferFrames) = 0;
    virtual int unprepare() = 0;
    virtual bool reserved(int first, int second) = 0;
    // The smaller of n and the frames the ring holds.
    virtual int getReadable(int n);
    // Makes n frames readable in one piece when the ring holds them, then hands out the
    // contiguous readable region (at most n frames) and consumes it.
    virtual void read(int n, float** region, int* count);
    virtual void readWithGain(float* destination, int n) = 0;
    virtual void pullFromDevice() = 0;
    virtual int getBufferFrames() = 0;

protected:
    float gain = 1.f;
    float targetGain = 1.f;
    float peak = 0.f;
};

class AudioOut : public AudioChannel {
public:
    AudioOut(int index, const std::string& name) : AudioChannel(index, name) {}
    virtual ~AudioOut() = default;
    virtual int prepare(int bufferFrames) = 0;
    virtual int unprepare() = 0;
    virtual int start() = 0;
    virtual int stop() = 0;
    // Frames the device wants now, never more than the ring's contiguous writable frames.
    virtual int getFreeSpace() = 0;
    // Hands out the contiguous writable region (at most n frames) and counts it as written.
    virtual void getWriteRegion(int n, float** region, int* count);
    virtual void pushToDevice() {}
};

class AudioManager {
public:
    static const int kMaxChannels = 256;

    explicit AudioManager(Audio* owner);

    virtual int prepare(int bufferFrames);
    virtual int unprepare();
    virtual ~AudioManager();
    virtual const char* getName() = 0;
    virtual int getDriverCount() = 0;
    virtual std::string getDriverName(int index) = 0;
    virtual int selectDriver(int index) = 0;
    virtual int getOutputCount() { return outputCount; }
    virtual std::string getOutputName(int index);
    virtual int getInputCount() { return inputCount; }
    virtual std::string getInputName(int index);
    virtual int start();
    virtual int stop();
    virtual int refreshDrivers() { return 0; }
    virtual int unloadDriver();
    virtual int getMinLatency() { return latencyMin; }
    virtual int getMaxLatency() { return latencyMax; }
    virtual int getPreferredLatency() { return latencyPreferred; }
    virtual int getLatencyGranularity() { return latencyGranularity; }
    virtual int setLatency(int frames) = 0;
    virtual int getLatency() { return latencyCurrent.load(std::memory_order_relaxed); }
    virtual bool hasControlPanel() = 0;
    virtual int openControlPanel() { return -1; }
    virtual int canSampleRate(float rate) = 0;
    virtual float getSampleRate() { return sampleRate; }
    virtual int setSampleRate(float rate) = 0;
    // The frames every output can take and every input can give.
    virtual int getFramesAvailable();
    // The render pump: inputs into the rings, the callback on zeroed buffers while frames
    // are available, then the rings to the device. Allocates nothing.
    virtual void process();
    virtual void pullInputs();
    virtual void pushOutputs();

    Audio* getOwner() const { return owner; }

protected:
    // Adds a channel (owned); false when the table is full.
    bool addOutput(AudioOut* output);
    bool addInput(AudioIn* input);

    Audio* owner;
    float* outputPointers[kMaxChannels];
    float* inputPointers[kMaxChannels];
    int latencyMin = 0;
    int latencyMax = 0;
    int latencyPreferred = 0;
    int latencyGranularity = 0;
    // Frames; -1 = the driver's preferred size. Set on the user-interface thread, read
    // by the audio thread at every tick.
    std::atomic<int> latencyCurrent{-1};
    float sampleRate = 44100.f;
    AudioOut* outputs[kMaxChannels];
    int outputCount = 0;
    AudioIn* inputs[kMaxChannels];
    int inputCount = 0;
};

// How a back end with a looping device buffer (DirectSound) keeps it topped up from a
// periodic poll, apart from the device: each tick reports the device's play and write
// cursors, and the feed answers how many frames to render and write now and where. The
// latency counts our frames beyond the write cursor: those between the two cursors are the
// device's own, already taken.
//
// Frames go in whole 44-frame slices: the instrument renders fixed slices, and a render of
// any other length leaves part of one in its queue, so that a note entering at the next
// render would wait up to a slice more than the latency.
//
// A device whose play cursor moves in steps larger than the latency would underrun at
// every step, playing stale buffer contents again and again. The feed keeps the largest
// recent step queued instead, rounded up to whole slices with one to spare, never above
// the maximum latency: the smallest latency that device can really hold. The steps age out
// after a number of cursor moves, so one stall of the machine does not raise it for good.
class LoopingBufferFeed {
public:
    static const int kSliceFrames = 44;
    static const int kStepHistory = 32;

    // A buffer of that many frames, nothing of ours queued; the held latency never exceeds
    // the maximum.
    void reset(int bufferFrames, int maxLatency);
    // A tick with the device's cursors (frames within the buffer) and the latency setting:
    // the frames to render and write at the write position now: whole slices, at most the
    // held latency.
    int tick(int playCursor, int writeCursor, int latency);
    // After writing that many frames at the write position.
    void wrote(int frames);

    int getWritePosition() const { return writePosition; }
    // Counted in the stream of frames the buffer plays since the reset.
    long long getPlayedFrames() const { return played; }
    long long getWrittenFrames() const { return played + ahead; }
    int getLastPlayCursor() const { return lastPlay; }
    // Our frames beyond the write cursor after the last tick's writing.
    int getQueued() const { return ahead - lead; }
    int getLead() const { return lead; }
    int getHeldLatency() const { return held; }
    int getLargestStep() const;
    // Times the play cursor overtook what was written (the device then played stale frames).
    long long getUnderruns() const { return underruns; }

private:
    int bufferFrames = 0;
    int maxLatency = 0;
    int writePosition = 0;
    int lastPlay = 0;
    long long played = 0;
    int ahead = 0;  // frames from the play cursor to the write position
    int lead = 0;
    int held = 0;
    bool writing = false;  // nothing to overtake before the first write
    long long underruns = 0;
    int steps[kStepHistory] = {};
    int stepIndex = 0;
};

class Audio {
public:
    static const int kProtocolCount = 2;
    static const int kProtocolDirectSound = 0;
    static const int kProtocolAsio = 1;

    Audio();
    virtual ~Audio();

    // Creates both back ends with the window (a HWND on Windows) and selects protocol 0.
    int open(void* window);
    // Installs a back end at a protocol index (owned); replaces and deletes an earlier one.
    void setBackEnd(int index, AudioManager* backEnd);
    AudioManager* getBackEnd(int index) const;
    AudioManager* current() const;

    int selectProtocol(int index);
    int selectDriver(int index);
    int stopDriver();
    void closeProtocol();

    void setCallback(AudioCallback callback, void* user);
    void clearCallback();
    void callCallback(float** inputs, int inputCount, float** outputs, int outputCount, int frames);
    // The rate callback comes on the user-interface thread while the device is stopped,
    // before its first buffer.
    void setSampleRateCallback(SampleRateCallback callback, void* user);
    void sampleRateChanged(float rate);

    int getProtocolCount() const { return kProtocolCount; }
    std::string getProtocolName(int index) const;
    int getProtocol() const { return protocol; }
    int getDriver() const { return driver; }
    int getDriverCount() const;
    std::string getDriverName(int index) const;
    // Minimum, maximum and granularity in frames; untouched without a protocol.
    void getLatencyRange(int* minimum, int* maximum, int* granularity) const;
    int getLatency() const;
    int setLatency(int frames);
    int getOutputCount() const;
    int getInputCount() const;
    std::string getOutputName(int index) const;
    std::string getInputName(int index) const;
    bool hasControlPanel() const;
    int openControlPanel();
    int canSampleRate(float rate) const;
    int setSampleRate(float rate);
    float getSampleRate() const;

private:
    AudioManager* backEnds[kProtocolCount] = {nullptr, nullptr};
    int backEndCount = kProtocolCount;
    int protocol = -1;
    int driver = -1;
    // The pump reads the callback on the audio thread while the user-interface thread
    // sets or clears it.
    std::atomic<AudioCallback> callback{nullptr};
    std::atomic<void*> callbackUser{nullptr};
    SampleRateCallback rateCallback = nullptr;
    void* rateCallbackUser = nullptr;
};
