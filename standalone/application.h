// The engine facade: the one object through which the program's windows reach the audio
// layer, the MIDI inputs and the loaded instruments. It renders every instrument in the
// audio callback, measures the processor load, fans MIDI out to every instrument and
// runs the idle thread that paces the editors.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "audio_manager.h"
#include "midi_input.h"
#include "vst_instrument.h"

// Posted to the program's window every 50 ms; its handler calls Application::idle.
const UINT WM_HOST_IDLE = 0x7D06;

class Application {
public:
    static const int kInitialCapacity = 4;
    static const int kLoadRingSize = 10;

    // The process-wide object, created on the first call (again after a shutdown).
    static Application* instance();

    virtual ~Application();

    // Creates the audio layer (DirectSound current) and the MIDI inputs, opens every MIDI
    // device and starts the idle thread that posts WM_HOST_IDLE to the window.
    int init(HWND window);
    // Closes MIDI, removes the audio callback, unloads every instrument and deletes the object.
    void shutdown();

    // The slot index, or the instrument's error (-101, -104).
    int loadInstrument(const std::string& name);
    void unloadInstrument(int slot);
    void openEditor(int slot, void* window);
    void idle();
    void dispatchMidi(int device, unsigned int message);
    void render(float** inputs, int inputCount, float** outputs, int outputCount, int frames);
    void panic();
    float getCpuLoad() const;

    void setKnobMode(int mode);
    int getKnobMode() const { return knobMode; }
    void setDirty(int slot, bool flag);
    bool isDirty(int slot) const;
    void setInstrumentsSampleRate(float rate);
    void setNotifyCallback(InstrumentCallback callback, void* user);
    VstIntPtr notify(int slot, int code, VstIntPtr first, VstIntPtr second);
    VstIntPtr dispatch(int slot, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* pointer, float opt);

    static void audioCallback(float** inputs, int inputCount, float** outputs, int outputCount, int frames,
                              void* user);
    static void midiCallback(int device, unsigned int message, void* user);
    static void sampleRateCallback(float rate, void* user);
    static VstIntPtr instrumentCallback(int slot, int code, VstIntPtr first, VstIntPtr second, void* user);

    // The audio layer.
    int getProtocolCount() const { return audio ? audio->getProtocolCount() : Audio::kProtocolCount; }
    std::string getProtocolName(int index) const { return audio ? audio->getProtocolName(index) : ""; }
    int getProtocol() const { return audio ? audio->getProtocol() : -1; }
    int selectProtocol(int index) { return audio ? audio->selectProtocol(index) : kHostErrorBadArgument; }
    int getDriverCount() const { return audio ? audio->getDriverCount() : 0; }
    std::string getDriverName(int index) const { return audio ? audio->getDriverName(index) : ""; }
    int getDriver() const { return audio ? audio->getDriver() : -1; }
    int selectDriver(int index) { return audio ? audio->selectDriver(index) : 0; }
    void getLatencyRange(int* minimum, int* maximum, int* granularity) const {
        if (audio) audio->getLatencyRange(minimum, maximum, granularity);
    }
    int getLatency() const { return audio ? audio->getLatency() : 0; }
    int setLatency(int frames) { return audio ? audio->setLatency(frames) : 0; }
    int getOutputCount() const { return audio ? audio->getOutputCount() : 0; }
    int getInputCount() const { return audio ? audio->getInputCount() : 0; }
    std::string getOutputName(int index) const { return audio ? audio->getOutputName(index) : ""; }
    std::string getInputName(int index) const { return audio ? audio->getInputName(index) : ""; }
    bool hasControlPanel() const { return audio && audio->hasControlPanel(); }
    int openControlPanel() { return audio ? audio->openControlPanel() : 0; }
    int canSampleRate(float rate) const { return audio ? audio->canSampleRate(rate) : kHostErrorSampleRate; }
    int setSampleRate(float rate) { return audio ? audio->setSampleRate(rate) : 0; }
    float getSampleRate() const { return audio ? audio->getSampleRate() : 0.f; }
    int getMidiInCount() const { return midi ? midi->getInputCount() : 0; }
    std::string getMidiInName(int index) const { return midi ? midi->getInputName(index) : "none"; }

    // Per-slot forwarders (nothing, or 0, for an empty slot).
    void setMidiDevice(int slot, int device);
    void setMidiChannel(int slot, int channel);
    void setKeyRangeEnabled(int slot, bool enabled);
    void setKeyRange(int slot, int low, int high);
    void setOctaveShift(int slot, int shift);
    void setOutputPair(int slot, int first, int second);
    void setInputPair(int slot, int first, int second);
    int getNumParams(int slot);
    float getParameter(int slot, int index);
    void setParameter(int slot, int index, float value);
    bool programsAreChunks(int slot);
    VstIntPtr getChunk(int slot, void** data);
    VstIntPtr setChunk(int slot, void* data, VstIntPtr size);
    void getProgramName(int slot, char* name);
    void setProgramName(int slot, const char* name);

    Audio* getAudio() const { return audio; }
    Midi* getMidi() const { return midi; }
    VstInstrument* getInstrument(int slot) const;
    int getCapacity() const { return capacity; }
    int getHighestSlot() const { return highestSlot; }

private:
    Application();
    static DWORD WINAPI idleThreadProc(LPVOID parameter);
    // Waits until no render or MIDI fan-out still reads the slot table as it was.
    void waitForReaders() const;

    Audio* audio = nullptr;
    Midi* midi = nullptr;
    // Read by the audio and MIDI threads without a lock: a grown table is published whole
    // and the old one freed only after its readers have left.
    std::atomic<std::atomic<VstInstrument*>*> table{nullptr};
    int capacity = 0;
    std::atomic<int> highestSlot{0};
    int knobMode = 0;
    int busyTime = 0;
    float audioTime = 0.f;
    std::atomic<float> loadRing[kLoadRingSize];
    std::atomic<int> loadIndex{0};
    InstrumentCallback notifyCallback = nullptr;
    void* notifyUser = nullptr;
    bool idleRunning = false;

    HWND idleWindow = nullptr;
    HANDLE idleThread = nullptr;
    HANDLE idleStop = nullptr;
    mutable std::atomic<int> readers{0};
};
