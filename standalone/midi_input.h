// MIDI input through the Windows multimedia interface: every input device is opened at
// start; each short message arrives on winmm's callback thread and is dispatched with
// the device's index to one callback (the engine facade's fan-out).
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <string>
#include <vector>

#include "host_error.h"

// (device index, packed message, user). Packed: status in bits 0-7, first data byte in
// bits 8-15, second data byte in bits 16-23 (winmm's short-message layout).
typedef void (*MidiCallback)(int device, unsigned int message, void* user);

class MidiIn {
public:
    MidiIn(int index, const std::string& name) : index(index), name(name) {}
    virtual ~MidiIn() = default;
    virtual int open() = 0;
    virtual int close() = 0;

    int getIndex() const { return index; }
    const std::string& getName() const { return name; }

protected:
    int index;
    std::string name;
};

class Midi {
public:
    Midi() = default;
    virtual ~Midi();
    virtual int openAll() = 0;
    virtual int closeAll() = 0;
    // Hands a message to the callback when one is set.
    virtual void dispatch(int device, unsigned int message);

    // The input's name, or "none" outside 0 to count - 1.
    std::string getInputName(int index) const;
    int getInputCount() const { return (int)inputs.size(); }
    void setCallback(MidiCallback callback, void* user);

protected:
    std::vector<MidiIn*> inputs;

private:
    // Set on the user-interface thread, read on winmm's callback thread.
    std::atomic<MidiCallback> callback{nullptr};
    std::atomic<void*> user{nullptr};
};

class MidiDirectX : public Midi {
public:
    // One input per device that winmm reports, with the device index as input index.
    MidiDirectX();
    int openAll() override;
    int closeAll() override;
};

class MidiInDx : public MidiIn {
public:
    MidiInDx(int device, const std::string& name, Midi* owner) : MidiIn(device, name), owner(owner) {}
    ~MidiInDx() override { close(); }
    int open() override;
    int close() override;

    // winmm's callback: only short messages (MIM_DATA) are passed on. A device's driver
    // calls it on its own thread, the way a test that plays a device does.
    static void CALLBACK midiInProc(HMIDIIN handle, UINT message, DWORD_PTR instance, DWORD_PTR first,
                                    DWORD_PTR second);

private:
    HMIDIIN handle = nullptr;
    bool opened = false;
    bool started = false;
    Midi* owner;
};
