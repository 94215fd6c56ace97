// The host side of one loaded instrument: loads the plug-in through its "main", answers
// its audioMaster calls, filters and queues MIDI, and renders through the accumulating
// process call in slices of 44 frames with at most one MIDI message before each slice.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "host_error.h"
#include "plugin_library.h"
#include "vst/aeffectx.h"

// (slot index, code, first value, second value, user): instrument notifications;
// code 0 is a parameter automation, code 15 a window size request.
typedef VstIntPtr (*InstrumentCallback)(int slot, int code, VstIntPtr first, VstIntPtr second, void* user);

class VstInstrument {
public:
    static const int kSliceFrames = 44;
    static const int kMidiQueueSize = 256;
    static const VstInt32 kHostId = 0x5A51574B;
    // All Notes Off (controller 123, value 0) on channel 1.
    static const unsigned int kAllNotesOff = 0x7BB0;

    explicit VstInstrument(int slot);
    virtual ~VstInstrument();

    // 0, or -101 (no library or no "main"), -104 ("main" returned no effect).
    int open(const std::string& name);
    // Forgets the effect, waits for a render still inside it, then closes its editor and it.
    void close();

    AEffect* getEffect() const { return effect.load(); }
    int getSlot() const { return slot; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* pointer = nullptr,
                       float opt = 0.f);
    void setProgramName(const char* name);
    void getProgramName(char* name);  // at least 25 bytes
    void setSampleRate(float rate);
    int getEditorSize(int* width, int* height);
    void openEditor(void* window);
    void editIdle();
    VstIntPtr getChunk(void** data);
    VstIntPtr setChunk(void* data, VstIntPtr size);
    void setKnobMode(int mode);

    int getNumParams();
    float getParameter(int index);
    void setParameter(int index, float value);
    bool programsAreChunks();

    // Settings of the frame; each raises the dirty flag when it changes the stored value.
    void setMidiDevice(int device);
    void setMidiChannel(int channel);
    void setKeyRangeEnabled(bool enabled);
    void setKeyRange(int low, int high);
    void setOctaveShift(int shift);
    void setOutputPair(int first, int second);
    void setInputPair(int first, int second);
    int getMidiDevice() const { return midiDevice; }
    int getMidiChannel() const { return midiChannel; }
    bool isKeyRangeEnabled() const { return keyRangeOn; }
    int getLowKey() const { return lowKey; }
    int getHighKey() const { return highKey; }
    int getOctaveShift() const { return octaveShift; }
    int getOutputChannel(int output) const;
    bool isDirty() const { return dirty; }
    void setDirty(bool flag) { dirty = flag; }

    void setNotifyCallback(InstrumentCallback callback, void* user);

    // MIDI: the filter on the MIDI callback thread; the queue drained by the audio thread.
    void receiveMidi(int device, unsigned int message);
    // False when the queue is full: the new message is dropped.
    bool pushMidiMessage(unsigned int message);
    unsigned int popMidiMessage();
    void clearMidiQueue();
    // Queues All Notes Off behind every message already waiting, even in a full queue.
    void allNotesOff();
    double getTempo() const { return tempo.load(); }

    // The milliseconds clock of MIDI clock timing (the multimedia clock; replaceable for tests).
    typedef uint32_t (*MillisecondClock)();
    static void setMillisecondClock(MillisecondClock clock);

    void render(float** inputs, int inputCount, float** outputs, int outputCount, int frames);
    void sendPendingMidiEvent();

    static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                              void* pointer, float opt);

private:
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* pointer, float opt);
    void sendMidiEvent(unsigned int message);
    void setMapEntry(std::atomic<int>* map, int count, int entry, int channel);

    VstTimeInfo timeInfo;
    uint32_t lastClockTime = 0;
    bool clockNoted = false;
    int clockCount = 0;
    std::atomic<double> tempo{-1.0};
    std::atomic<AEffect*> effect{nullptr};
    // Set by the audio thread while it renders; close waits for it to drop.
    std::atomic<int> rendering{0};
    float** outputPointers = nullptr;
    float** inputPointers = nullptr;
    // Device channel of each plug-in output and input; moved by the user-interface thread.
    std::atomic<int>* outputMap = nullptr;
    std::atomic<int>* inputMap = nullptr;
    int numOutputs = 0;
    int numInputs = 0;
    // Plug-in channels mapped to device channels that do not exist get these 44 frames
    // (zeroed before each slice) instead of a null pointer.
    float* scratchOutput = nullptr;
    float* scratchInput = nullptr;
    int slot;

    unsigned int midiQueue[kMidiQueueSize];
    std::atomic<unsigned int> readIndex{0};
    std::atomic<unsigned int> writeIndex{0};
    // Producers (several MIDI devices' callbacks) take turns; the audio thread never waits.
    std::atomic_flag pushing = ATOMIC_FLAG_INIT;
    // Write index at the last panic (-1: none): All Notes Off goes out when the reader gets
    // there, so nothing queued before the panic sounds after it.
    std::atomic<int> panicMark{-1};

    std::atomic<int> midiDevice{-1};
    std::atomic<int> midiChannel{0};
    std::atomic<bool> keyRangeOn{false};
    std::atomic<int> lowKey{0};
    std::atomic<int> highKey{127};
    std::atomic<int> octaveShift{0};

    InstrumentCallback notifyCallback = nullptr;
    void* notifyUser = nullptr;
    PluginLibrary* library = nullptr;
    bool dirty = false;
};
