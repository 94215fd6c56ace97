#include "midi_input.h"

Midi::~Midi() {
    for (MidiIn* input : inputs) delete input;
}

void Midi::dispatch(int device, unsigned int message) {
    MidiCallback call = callback.load();
    if (call) call(device, message, user.load());
}

std::string Midi::getInputName(int index) const {
    return index >= 0 && index < (int)inputs.size() ? inputs[(size_t)index]->getName() : std::string("none");
}

void Midi::setCallback(MidiCallback newCallback, void* newUser) {
    user = newUser;
    callback = newCallback;
}

MidiDirectX::MidiDirectX() {
    UINT count = midiInGetNumDevs();
    for (UINT i = 0; i < count; i++) {
        MIDIINCAPSA caps;
        ZeroMemory(&caps, sizeof(caps));
        std::string name;
        if (midiInGetDevCapsA(i, &caps, sizeof(caps)) == MMSYSERR_NOERROR) {
            caps.szPname[sizeof(caps.szPname) - 1] = 0;
            name = caps.szPname;
        }
        inputs.push_back(new MidiInDx((int)i, name, this));
    }
}

int MidiDirectX::openAll() {
    for (MidiIn* input : inputs)
        if (int code = input->open()) return code;
    return 0;
}

int MidiDirectX::closeAll() {
    for (MidiIn* input : inputs)
        if (int code = input->close()) return code;
    return 0;
}

int MidiInDx::open() {
    if (opened) return 0;
    if (midiInOpen(&handle, (UINT)index, (DWORD_PTR)midiInProc, (DWORD_PTR)this, CALLBACK_FUNCTION) !=
        MMSYSERR_NOERROR) {
        handle = nullptr;
        return kHostErrorMidiOpen;
    }
    opened = true;
    if (midiInStart(handle) != MMSYSERR_NOERROR) return kHostErrorMidiStart;
    started = true;
    return 0;
}

int MidiInDx::close() {
    if (started) midiInStop(handle);
    started = false;
    if (opened) midiInClose(handle);
    opened = false;
    handle = nullptr;
    return 0;
}

void CALLBACK MidiInDx::midiInProc(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR first, DWORD_PTR) {
    if (message != MIM_DATA || !instance) return;
    MidiInDx* self = (MidiInDx*)instance;
    self->owner->dispatch(self->index, (unsigned int)(first & 0xFFFFFF));
}
