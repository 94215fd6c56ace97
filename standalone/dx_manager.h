// The DirectSound back end (protocol 0, "Direct X"): lists the output devices and plays a
// stereo pair through a looping 16-bit secondary buffer that a 1 ms multimedia timer tops
// up to the chosen latency (or to the least the device can hold, when its play cursor moves
// in larger steps; see LoopingBufferFeed): the render pump renders what the buffer lacks,
// in whole slices, into the two channels' rings, which then go to the buffer. Only
// 44100 Hz; no inputs.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <atomic>
#include <string>

#include "audio_manager.h"

class DXManager : public AudioManager {
public:
    static const int kMaxDevices = 256;

    DXManager(Audio* owner, HWND window);
    ~DXManager() override;

    const char* getName() override { return "Direct X"; }
    int getDriverCount() override { return deviceCount; }
    std::string getDriverName(int index) override;
    int selectDriver(int index) override;
    // Frames, limited to the range the back end offers; read by the poll at every tick.
    int setLatency(int frames) override;
    bool hasControlPanel() override { return false; }
    int canSampleRate(float rate) override;
    int setSampleRate(float rate) override { return 0; }

    HWND getWindow() const { return window; }
    int getSelectedDevice() const { return selected; }
    AudioOut* getOutput(int index) const { return index >= 0 && index < outputCount ? outputs[index] : nullptr; }

    struct Device {
        GUID guid;
        std::string description;
        std::string module;
    };
    const Device& getDevice(int index) const { return devices[index]; }

private:
    static BOOL CALLBACK enumerate(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context);
    void createOutputs(const GUID& guid, const std::string& description, const std::string& module);

    HWND window;
    Device devices[kMaxDevices];
    int deviceCount = 0;
    int selected = -1;
};

class DXAudioOut : public AudioOut {
public:
    DXAudioOut(int index, const std::string& name, DXManager* manager, const GUID& device, int passive);
    ~DXAudioOut() override;

    int prepare(int bufferFrames) override;
    int unprepare() override;
    int start() override;
    int stop() override;
    int getFreeSpace() override;

    // The timer's work: top the secondary buffer up to the latency, then run the pump.
    void poll();

    // Frames queued in the secondary buffer beyond the device's write cursor after the last poll.
    int getQueuedFrames() const { return queuedFrames.load(); }
    // What the poll keeps queued: the latency setting, or more when the device's play cursor
    // moves in larger steps than that (the smallest latency the device can hold).
    int getHeldLatency() const { return heldLatency.load(); }
    // Times the play cursor overtook what was written since prepare.
    long long getUnderruns() const { return underruns.load(); }
    IDirectSoundBuffer* getSecondaryBuffer() const { return secondary; }

    // Positions in the stream of frames the secondary buffer plays, counted from the start
    // (its initial silence included): where the play cursor is now, and where the first
    // sounding frame written since arming lands (-1 until one is written). They tell how
    // long a note takes from its entry to the loudspeaker.
    long long getPlayPosition();
    void armFirstSound() { firstSound = -1, armed = true; }
    long long getFirstSound() const { return firstSound.load(); }
    // Where in that stream the next frame the pump renders will land.
    long long getWrittenPosition() const { return writtenFrames.load(); }

private:
    static void CALLBACK timerProc(UINT id, UINT message, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
    void noteFirstSound(long long position, const int16_t* first, int firstFrames, const int16_t* second,
                        int secondFrames);
    void releaseBuffers();
    // Copies what other threads may read of the feed into the atomics.
    void publish();

    int passive;  // 0 for the left channel, which owns the DirectSound objects; 1 for the right
    DXManager* manager;
    GUID device;
    IDirectSound* directSound = nullptr;
    IDirectSoundBuffer* primary = nullptr;
    IDirectSoundBuffer* secondary = nullptr;
    int bufferFrames = 0;
    std::atomic<bool> playPending{false};
    std::atomic<bool> pollRunning{false};
    // The poll's arithmetic; read only by the timer thread. What other threads may ask is
    // published in the atomics below after every tick.
    LoopingBufferFeed feed;
    std::atomic<int> queuedFrames{0};
    std::atomic<int> heldLatency{0};
    std::atomic<long long> underruns{0};
    // The frames the pump may render in this tick: what the buffer lacks of the latency.
    std::atomic<int> wanted{0};
    std::atomic<long long> playedFrames{0};
    std::atomic<int> lastPlayCursor{0};
    std::atomic<long long> writtenFrames{0};
    std::atomic<unsigned> publishing{0};  // odd while publish runs
    std::atomic<bool> armed{false};
    std::atomic<long long> firstSound{-1};
    UINT timerId = 0;
    bool timerRunning = false;
    bool periodSet = false;
    // Stop waits for a tick already inside the poll before the rings and buffers go.
    std::atomic<bool> stopping{false};
    std::atomic<int> activePolls{0};
};
