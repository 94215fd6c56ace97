#include "vst_instrument.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>
#include <new>

namespace {
uint32_t multimediaClock() { return timeGetTime(); }
std::atomic<VstInstrument::MillisecondClock> clockSource{multimediaClock};

const VstInt32 kSizeWindowCode = 15;
}  // namespace

void VstInstrument::setMillisecondClock(MillisecondClock clock) { clockSource = clock ? clock : multimediaClock; }

VstInstrument::VstInstrument(int slot) : slot(slot) {
    std::memset(&timeInfo, 0, sizeof(timeInfo));
    std::memset(midiQueue, 0, sizeof(midiQueue));
}

VstInstrument::~VstInstrument() {
    close();
    delete[] outputPointers;
    delete[] inputPointers;
    delete[] outputMap;
    delete[] inputMap;
    delete[] scratchOutput;
    delete[] scratchInput;
    delete library;
}

int VstInstrument::open(const std::string& name) {
    if (effect.load()) return 0;
    if (!library) library = new PluginLibrary(findInstalledInstrument(name), name);
    if (!library->getModule() || !library->getEntry()) return kHostErrorNoLibrary;
    AEffect* fx = library->getEntry()(hostCallback);
    if (!fx) return kHostErrorEffectRefused;
    fx->user = this;

    numOutputs = fx->numOutputs > 0 ? fx->numOutputs : 0;
    numInputs = fx->numInputs > 0 ? fx->numInputs : 0;
    outputPointers = new float*[(size_t)numOutputs]();
    inputPointers = new float*[(size_t)numInputs]();
    outputMap = new std::atomic<int>[(size_t)numOutputs];
    inputMap = new std::atomic<int>[(size_t)numInputs];
    // Outputs 0, 2, 4 ... on device channel 0, outputs 1, 3, 5 ... on channel 1.
    for (int i = 0; i < numOutputs; i++) outputMap[i] = i % 2;
    for (int i = 0; i < numInputs; i++) inputMap[i] = i % 2;
    scratchOutput = new float[kSliceFrames]();
    scratchInput = new float[kSliceFrames]();
    effect.store(fx);
    return 0;
}

void VstInstrument::close() {
    AEffect* fx = effect.exchange(nullptr);
    if (!fx) return;
    // A render that took the effect before it was forgotten finishes first: the plug-in
    // is never deleted under its own process call.
    while (rendering.load() != 0) Sleep(0);
    fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0.f);
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.f);
}

VstIntPtr VstInstrument::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* pointer, float opt) {
    AEffect* fx = effect.load();
    return fx ? fx->dispatcher(fx, opcode, index, value, pointer, opt) : 0;
}

void VstInstrument::setProgramName(const char* name) { dispatch(effSetProgramName, 0, 0, (void*)name); }

void VstInstrument::getProgramName(char* name) { dispatch(effGetProgramName, 0, 0, name); }

void VstInstrument::setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }

int VstInstrument::getEditorSize(int* width, int* height) {
    if (!effect.load()) return kHostErrorNoEffect;
    ERect* rect = nullptr;
    dispatch(effEditGetRect, 0, 0, &rect);
    if (!rect) return kHostErrorNoEffect;
    if (width) *width = rect->right - rect->left;
    if (height) *height = rect->bottom - rect->top;
    return 0;
}

void VstInstrument::openEditor(void* window) {
    dispatch(effEditOpen, 0, 0, window);
    int width = 0, height = 0;
    if (getEditorSize(&width, &height) == 0 && notifyCallback)
        notifyCallback(slot, kSizeWindowCode, width, height, notifyUser);
}

void VstInstrument::editIdle() { dispatch(effEditIdle); }

VstIntPtr VstInstrument::getChunk(void** data) { return dispatch(effGetChunk, 0, 0, data); }

VstIntPtr VstInstrument::setChunk(void* data, VstIntPtr size) { return dispatch(effSetChunk, 0, size, data); }

void VstInstrument::setKnobMode(int mode) { dispatch(effSetEditKnobMode, 0, mode); }

int VstInstrument::getNumParams() {
    AEffect* fx = effect.load();
    return fx ? fx->numParams : 0;
}

float VstInstrument::getParameter(int index) {
    AEffect* fx = effect.load();
    return fx ? fx->getParameter(fx, index) : 0.f;
}

void VstInstrument::setParameter(int index, float value) {
    AEffect* fx = effect.load();
    if (fx) fx->setParameter(fx, index, value);
}

bool VstInstrument::programsAreChunks() {
    AEffect* fx = effect.load();
    return fx && (fx->flags & effFlagsProgramChunks) != 0;
}

// ---- settings

void VstInstrument::setMidiDevice(int device) {
    if (midiDevice.exchange(device) != device) dirty = true;
}

void VstInstrument::setMidiChannel(int channel) {
    if (midiChannel.exchange(channel) != channel) dirty = true;
}

void VstInstrument::setKeyRangeEnabled(bool enabled) {
    if (keyRangeOn.exchange(enabled) != enabled) dirty = true;
}

void VstInstrument::setKeyRange(int low, int high) {
    if (lowKey.exchange(low) != low) dirty = true;
    if (highKey.exchange(high) != high) dirty = true;
}

void VstInstrument::setOctaveShift(int shift) {
    if (octaveShift.exchange(shift) != shift) dirty = true;
}

void VstInstrument::setMapEntry(std::atomic<int>* map, int count, int entry, int channel) {
    // A stereo plug-in has entries 0 and 1 only; an effect without inputs has none.
    if (!map || entry >= count) return;
    if (map[entry].exchange(channel) != channel) dirty = true;
}

void VstInstrument::setOutputPair(int first, int second) {
    setMapEntry(outputMap, numOutputs, 0, first);
    setMapEntry(outputMap, numOutputs, 1, second);
}

void VstInstrument::setInputPair(int first, int second) {
    setMapEntry(inputMap, numInputs, 0, first);
    setMapEntry(inputMap, numInputs, 1, second);
}

int VstInstrument::getOutputChannel(int output) const {
    return outputMap && output >= 0 && output < numOutputs ? outputMap[output].load() : -1;
}

void VstInstrument::setNotifyCallback(InstrumentCallback callback, void* user) {
    notifyUser = user;
    notifyCallback = callback;
}

// ---- MIDI

void VstInstrument::receiveMidi(int device, unsigned int message) {
    int deviceFilter = midiDevice.load();
    if (deviceFilter >= 0 && deviceFilter != device) return;
    unsigned int status = message & 0xFF;
    if (status == 0xF8) {
        // MIDI clock: 24 to the quarter note; the tempo comes from the time between
        // every 24th clock. Unsigned difference: the clock wraps after 49 days.
        if (++clockCount < 24) return;
        clockCount = 0;
        uint32_t now = clockSource.load()();
        if (clockNoted) {
            uint32_t interval = now - lastClockTime;
            if (interval > 0) tempo.store(60000.0 / (double)interval);
        }
        lastClockTime = now;
        clockNoted = true;
        return;
    }
    int channel = midiChannel.load();
    if (channel != 0 && (int)(status & 0x0F) + 1 != channel) return;
    unsigned int kind = status & 0xF0;
    if (kind == 0x80 || kind == 0x90 || kind == 0xA0) {
        int key = (int)((message >> 8) & 0x7F);
        if (keyRangeOn.load() && (key > highKey.load() || key < lowKey.load())) return;
        int shift = octaveShift.load();
        if (shift != 0) {
            key += 12 * shift;
            key = key < 0 ? 0 : key > 127 ? 127 : key;
            message = (message & ~0xFF00u) | ((unsigned int)key << 8);
        }
    }
    pushMidiMessage(message);
}

bool VstInstrument::pushMidiMessage(unsigned int message) {
    while (pushing.test_and_set(std::memory_order_acquire)) Sleep(0);
    unsigned int write = writeIndex.load(std::memory_order_relaxed);
    unsigned int next = (write + 1) % kMidiQueueSize;
    bool stored = next != readIndex.load(std::memory_order_acquire);
    if (stored) {
        midiQueue[write] = message;
        writeIndex.store(next, std::memory_order_release);
    }
    pushing.clear(std::memory_order_release);
    return stored;
}

unsigned int VstInstrument::popMidiMessage() {
    unsigned int read = readIndex.load(std::memory_order_relaxed);
    if (read == writeIndex.load(std::memory_order_acquire)) return 0;
    unsigned int message = midiQueue[read];
    readIndex.store((read + 1) % kMidiQueueSize, std::memory_order_release);
    return message;
}

void VstInstrument::clearMidiQueue() {
    // Drained by the consumer: the producers' write index stays theirs.
    readIndex.store(writeIndex.load(std::memory_order_acquire), std::memory_order_release);
    panicMark.store(-1);
}

void VstInstrument::allNotesOff() {
    // Taken with the producers' turn: no message can slip in between the mark and the
    // messages it follows. The reader cannot pass the mark before it meets it, and the
    // writer cannot come round to it again while the reader is short of it.
    while (pushing.test_and_set(std::memory_order_acquire)) Sleep(0);
    panicMark.store((int)writeIndex.load(std::memory_order_relaxed));
    pushing.clear(std::memory_order_release);
}

void VstInstrument::sendMidiEvent(unsigned int message) {
    AEffect* fx = effect.load();
    if (!fx) return;
    VstMidiEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.midiData[0] = (char)(message & 0xFF);
    event.midiData[1] = (char)((message >> 8) & 0xFF);
    event.midiData[2] = (char)((message >> 16) & 0xFF);
    VstEvents events;
    std::memset(&events, 0, sizeof(events));
    events.numEvents = 1;
    events.events[0] = (VstEvent*)&event;
    fx->dispatcher(fx, effProcessEvents, 0, 0, &events, 0.f);
}

void VstInstrument::sendPendingMidiEvent() {
    if (!effect.load()) return;
    // The panic is one slice's message like any other, sent once everything queued before
    // it has gone out. A later panic that moved the mark meanwhile waits for its own turn.
    int mark = panicMark.load();
    if (mark >= 0 && mark == (int)readIndex.load(std::memory_order_relaxed) &&
        panicMark.compare_exchange_strong(mark, -1)) {
        sendMidiEvent(kAllNotesOff);
        return;
    }
    unsigned int message = popMidiMessage();
    if (message) sendMidiEvent(message);
}

// ---- rendering

void VstInstrument::render(float** inputs, int inputCount, float** outputs, int outputCount, int frames) {
    rendering.store(1);
    AEffect* fx = effect.load();
    if (!fx) {
        rendering.store(0);
        clearMidiQueue();
        return;
    }
    for (int i = 0; i < numOutputs; i++) {
        int channel = outputMap[i].load(std::memory_order_relaxed);
        outputPointers[i] = outputs && channel >= 0 && channel < outputCount ? outputs[channel] : nullptr;
    }
    for (int i = 0; i < numInputs; i++) {
        int channel = inputMap[i].load(std::memory_order_relaxed);
        inputPointers[i] = inputs && channel >= 0 && channel < inputCount ? inputs[channel] : nullptr;
    }
    // Channels the device lacks get the scratch slice, zeroed for each slice and never
    // advanced: the plug-in is never handed a null pointer.
    int done = 0;
    while (done < frames) {
        int slice = frames - done < kSliceFrames ? frames - done : kSliceFrames;
        std::memset(scratchOutput, 0, sizeof(float) * kSliceFrames);
        std::memset(scratchInput, 0, sizeof(float) * kSliceFrames);
        for (int i = 0; i < numOutputs; i++)
            if (!outputPointers[i]) outputPointers[i] = scratchOutput;
        for (int i = 0; i < numInputs; i++)
            if (!inputPointers[i]) inputPointers[i] = scratchInput;
        sendPendingMidiEvent();
        fx->process(fx, inputPointers, outputPointers, slice);
        done += slice;
        for (int i = 0; i < numOutputs; i++)
            if (outputPointers[i] != scratchOutput) outputPointers[i] += slice;
        for (int i = 0; i < numInputs; i++)
            if (inputPointers[i] != scratchInput) inputPointers[i] += slice;
    }
    rendering.store(0);
}

// ---- audioMaster

VstIntPtr VSTCALLBACK VstInstrument::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                  void* pointer, float opt) {
    switch (opcode) {
        case audioMasterVersion: return 7;
        case audioMasterCurrentId: return kHostId;
        case audioMasterGetVendorString:
            if (pointer) std::strcpy((char*)pointer, "VantropeStandalone");
            return 0;
        // A product string of our own: a host that leaves it empty passes for one whose
        // knobs are always linear, and the knob-mode preference would do nothing.
        case audioMasterGetProductString:
            if (pointer) std::strcpy((char*)pointer, "Halvorn Standalone");
            return 1;
        case audioMasterAutomate:
        case audioMasterGetTime:
        case audioMasterSizeWindow: {
            // During "main" the effect carries no instrument yet.
            VstInstrument* self = effect ? (VstInstrument*)effect->user : nullptr;
            return self ? self->answer(opcode, index, value, pointer, opt) : 0;
        }
        default: return 0;
    }
}

VstIntPtr VstInstrument::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* pointer, float opt) {
    switch (opcode) {
        case audioMasterAutomate:
            if (notifyCallback) notifyCallback(slot, 0, index, value, notifyUser);
            return 0;
        case audioMasterGetTime: {
            double bpm = tempo.load();
            if (!(bpm > 0.0)) return 0;
            timeInfo.tempo = bpm;
            // Set, not added: asked every block, the flag would otherwise carry into others.
            timeInfo.flags |= kVstTempoValid;
            return (VstIntPtr)&timeInfo;
        }
        case audioMasterSizeWindow:
            if (notifyCallback) notifyCallback(slot, kSizeWindowCode, index, value, notifyUser);
            return 0;
        default: return 0;
    }
}
