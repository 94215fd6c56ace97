// The ASIO back end (protocol 1, "Asio"): lists the registered ASIO drivers, loads one,
// exposes its channels (at most 32 each way), creates the driver's double buffers and, on
// every buffer switch of the driver's thread, converts the input half to floats, runs the
// render pump and converts the rendered floats into the output half in the driver's format.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "asio/asio.h"
#include "asio/asio_drivers.h"
#include "audio_manager.h"

class AsioManager : public AudioManager {
public:
    static const int kMaxDrivers = 100;
    static const int kMaxChannels = 32;  // each way

    AsioManager(Audio* owner, HWND window);
    ~AsioManager() override;

    int prepare(int bufferFrames) override;
    int unprepare() override;
    const char* getName() override { return "Asio"; }
    int getDriverCount() override { return static_cast<int>(driverNames.size()); }
    std::string getDriverName(int index) override;
    int selectDriver(int index) override;
    int start() override;
    int stop() override;
    int refreshDrivers() override;
    int unloadDriver() override;
    // The buffer size follows the driver.
    int setLatency(int frames) override { return 0; }
    bool hasControlPanel() override { return true; }
    int openControlPanel() override;
    int canSampleRate(float rate) override;
    int setSampleRate(float rate) override;

    bool loadDriver(const std::string& name);
    int createChannels();
    void refreshDriverNames();
    void bufferSwitch(ASIOLong index, ASIOBool directProcess);
    ASIOTime* bufferSwitchTimeInfo(ASIOTime* time, ASIOLong index, ASIOBool directProcess);
    ASIOLong asioMessage(ASIOLong selector, ASIOLong value, void* message, double* opt);
    // Stop, unprepare, prepare and start again; runs on the user-interface thread.
    void resetRequest();
    static int mapError(ASIOError error);

    int getSelectedDriver() const { return selected; }
    bool isLoaded() const { return loaded; }
    bool hasBuffers() const { return buffersCreated; }
    bool isStarted() const { return started; }
    int getBufferSize() const { return bufferSize; }
    double getDriverSampleRate() const { return driverRate; }
    bool supportsOutputReady() const { return outputReadySupported; }
    // Frames, as the driver reports them after the buffers are created.
    int getInputLatency() const { return inputLatency; }
    int getOutputLatency() const { return outputLatency; }
    const ASIODriverInfo& getDriverInfo() const { return driverInfo; }
    int getHalfIndex() const { return halfIndex.load(); }
    // The driver buffer of a channel's half (buffer-info index: inputs first).
    void* getChannelBuffer(int bufferInfoIndex, int half) const;
    int getBufferInfoIndex(bool input, int channel) const;
    AudioIn* getInput(int index) const { return index >= 0 && index < inputCount ? inputs[index] : nullptr; }
    AudioOut* getOutput(int index) const { return index >= 0 && index < outputCount ? outputs[index] : nullptr; }

private:
    static LRESULT CALLBACK resetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The driver's buffer sizes into the back end's latency range.
    void readBufferSizes();
    // Stops the pump: no buffer switch renders once it returns.
    void haltPump();

    HWND window;
    HWND resetWindow = nullptr;  // receives the driver's reset requests on this thread
    std::vector<std::string> driverNames;
    std::unique_ptr<AsioDrivers> drivers;
    int selected = -1;
    bool loaded = false;
    bool buffersCreated = false;
    bool started = false;
    ASIOCallbacks callbacks;
    ASIODriverInfo driverInfo;
    int inputChannels = 0;
    int outputChannels = 0;
    ASIOChannelInfo channelInfos[2 * kMaxChannels];
    ASIOBufferInfo bufferInfos[2 * kMaxChannels];
    int inputMap[kMaxChannels];
    int outputMap[kMaxChannels];
    int driverMinSize = 0, driverMaxSize = 0, driverPreferredSize = 0, driverGranularity = 0;
    int bufferSize = 0;
    double driverRate = 44100.0;
    bool outputReadySupported = false;
    int inputLatency = 0;
    int outputLatency = 0;
    std::atomic<int> halfIndex{1};
    // The driver's thread renders only while the pump is on; stop waits for a switch
    // already inside it before the channels or buffers go.
    std::atomic<bool> pumpOn{false};
    std::atomic<int> switchesInside{0};
    std::atomic<bool> resetPending{false};

    friend class AsioAudioIn;
    friend class AsioAudioOut;
};

class AsioAudioIn : public AudioIn {
public:
    AsioAudioIn(int index, const std::string& name, AsioManager* manager, const ASIOChannelInfo& info);

    int start() override { return 0; }
    int stop() override { return 0; }
    int prepare(int bufferFrames) override;
    int unprepare() override;
    bool reserved(int first, int second) override { return true; }
    void readWithGain(float* destination, int n) override;
    void pullFromDevice() override;
    int getBufferFrames() override { return roundedFrames; }

private:
    AsioManager* manager;
    int requestedFrames = 0;
    int roundedBytes = 0;
    int roundedFrames = 0;
    ASIOChannelInfo info;
};

class AsioAudioOut : public AudioOut {
public:
    AsioAudioOut(int index, const std::string& name, AsioManager* manager, const ASIOChannelInfo& info);

    int prepare(int bufferFrames) override;
    int unprepare() override;
    int start() override { return 0; }
    int stop() override { return 0; }
    int getFreeSpace() override;
    void pushToDevice() override;

private:
    AsioManager* manager;
    ASIOChannelInfo info;
    int bufferFrames = 0;
};
