#include "application.h"

#include <mmsystem.h>

#include <algorithm>

#include "dx_manager.h"

namespace {
Application* theApplication = nullptr;

// Holds the slot table for one walk of the audio or MIDI thread.
class TableReader {
public:
    explicit TableReader(std::atomic<int>& readers) : readers(readers) { readers.fetch_add(1); }
    ~TableReader() { readers.fetch_sub(1); }

private:
    std::atomic<int>& readers;
};
}  // namespace

Application* Application::instance() {
    if (!theApplication) theApplication = new Application();
    return theApplication;
}

Application::Application() {
    capacity = kInitialCapacity;
    std::atomic<VstInstrument*>* slots = new std::atomic<VstInstrument*>[(size_t)capacity];
    for (int i = 0; i < capacity; i++) slots[i] = nullptr;
    table = slots;
    for (int i = 0; i < kLoadRingSize; i++) loadRing[i] = 0.f;
}

Application::~Application() {
    if (idleThread) {
        SetEvent(idleStop);
        WaitForSingleObject(idleThread, INFINITE);
        CloseHandle(idleThread);
        CloseHandle(idleStop);
    }
    delete audio;
    delete midi;
    std::atomic<VstInstrument*>* slots = table.load();
    for (int i = 0; i < capacity; i++) delete slots[i].load();
    delete[] slots;
    if (theApplication == this) theApplication = nullptr;
}

int Application::init(HWND window) {
    audio = new Audio();
    midi = new MidiDirectX();
    audio->open(window);
    audio->setCallback(audioCallback, this);
    audio->setSampleRateCallback(sampleRateCallback, this);
    midi->openAll();
    midi->setCallback(midiCallback, this);
    // The idle thread ends with the object (a stop event) rather than outliving it.
    idleStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    idleWindow = window;
    idleThread = CreateThread(nullptr, 0, idleThreadProc, this, 0, nullptr);
    if (idleThread) SetThreadPriority(idleThread, THREAD_PRIORITY_BELOW_NORMAL);
    return 0;
}

DWORD WINAPI Application::idleThreadProc(LPVOID parameter) {
    Application* self = (Application*)parameter;
    for (;;) {
        if (self->idleWindow) PostMessageA(self->idleWindow, WM_HOST_IDLE, 0, 0);
        if (WaitForSingleObject(self->idleStop, 50) == WAIT_OBJECT_0) return 0;
    }
}

void Application::shutdown() {
    if (midi) midi->closeAll();
    if (audio) audio->clearCallback();
    for (int slot = 0; slot <= highestSlot.load(); slot++) unloadInstrument(slot);
    delete this;
}

void Application::waitForReaders() const {
    while (readers.load() != 0) Sleep(0);
}

VstInstrument* Application::getInstrument(int slot) const {
    if (slot < 0 || slot >= capacity) return nullptr;
    return table.load()[slot].load();
}

int Application::loadInstrument(const std::string& name) {
    std::atomic<VstInstrument*>* slots = table.load();
    int slot = -1;
    for (int i = 0; i < capacity && slot < 0; i++)
        if (!slots[i].load()) slot = i;
    if (slot < 0) {
        int grown = capacity * 2;
        std::atomic<VstInstrument*>* bigger = new std::atomic<VstInstrument*>[(size_t)grown];
        for (int i = 0; i < grown; i++) bigger[i] = i < capacity ? slots[i].load() : nullptr;
        slot = capacity;
        table = bigger;
        // Readers that took the old table finish with it before it goes.
        waitForReaders();
        delete[] slots;
        slots = bigger;
        capacity = grown;
    }
    VstInstrument* instrument = new VstInstrument(slot);
    int code = instrument->open(name);
    if (code) {
        delete instrument;
        return code;
    }
    instrument->setNotifyCallback(instrumentCallback, this);
    instrument->setKnobMode(knobMode);
    if (audio && audio->getSampleRate() > 0.f) instrument->setSampleRate(audio->getSampleRate());
    slots[slot] = instrument;
    if (highestSlot.load() < slot) highestSlot = slot;
    return slot;
}

void Application::unloadInstrument(int slot) {
    if (slot < 0 || slot >= capacity) return;
    std::atomic<VstInstrument*>* slots = table.load();
    VstInstrument* instrument = slots[slot].exchange(nullptr);
    if (!instrument) return;
    if (slot == highestSlot.load()) {
        int highest = slot;
        while (highest > 0 && !slots[highest].load()) highest--;
        highestSlot = highest;
    }
    // Once no render or MIDI fan-out can still hold it, the instrument is closed and freed.
    waitForReaders();
    instrument->close();
    delete instrument;
}

void Application::openEditor(int slot, void* window) {
    if (VstInstrument* instrument = getInstrument(slot)) instrument->openEditor(window);
}

void Application::idle() {
    if (idleRunning) return;
    idleRunning = true;
    for (int slot = 0; slot <= highestSlot.load(); slot++)
        if (VstInstrument* instrument = getInstrument(slot)) instrument->editIdle();
    idleRunning = false;
}

void Application::dispatchMidi(int device, unsigned int message) {
    TableReader reader(readers);
    std::atomic<VstInstrument*>* slots = table.load();
    int highest = highestSlot.load();
    for (int slot = 0; slot <= highest; slot++)
        if (VstInstrument* instrument = slots[slot].load()) instrument->receiveMidi(device, message);
}

void Application::render(float** inputs, int inputCount, float** outputs, int outputCount, int frames) {
    DWORD start = timeGetTime();
    {
        TableReader reader(readers);
        std::atomic<VstInstrument*>* slots = table.load();
        int highest = highestSlot.load();
        for (int slot = 0; slot <= highest; slot++)
            if (VstInstrument* instrument = slots[slot].load())
                instrument->render(inputs, inputCount, outputs, outputCount, frames);
    }
    for (int channel = 0; channel < outputCount; channel++) {
        float* samples = outputs[channel];
        if (!samples) continue;
        for (int i = 0; i < frames; i++) samples[i] = std::max(-1.f, std::min(samples[i], 1.f));
    }
    busyTime += (int)(timeGetTime() - start);
    float rate = audio ? audio->getSampleRate() : 0.f;
    if (rate > 0.f) audioTime += (float)frames * 1000.f / rate;
    if (audioTime > 50.f) {
        int index = loadIndex.load();
        loadRing[index] = (float)busyTime / audioTime;
        busyTime = 0;
        audioTime = 0.f;
        loadIndex = (index + 1) % kLoadRingSize;
    }
}

void Application::panic() {
    for (int slot = 0; slot <= highestSlot.load(); slot++)
        if (VstInstrument* instrument = getInstrument(slot)) instrument->allNotesOff();
}

float Application::getCpuLoad() const {
    float sum = 0.f;
    for (int i = 0; i < kLoadRingSize; i++) sum += loadRing[i].load();
    return sum / kLoadRingSize;
}

void Application::setKnobMode(int mode) {
    knobMode = mode;
    for (int slot = 0; slot <= highestSlot.load(); slot++)
        if (VstInstrument* instrument = getInstrument(slot)) instrument->setKnobMode(mode);
}

void Application::setDirty(int slot, bool flag) {
    if (VstInstrument* instrument = getInstrument(slot)) instrument->setDirty(flag);
}

bool Application::isDirty(int slot) const {
    VstInstrument* instrument = getInstrument(slot);
    return instrument && instrument->isDirty();
}

void Application::setInstrumentsSampleRate(float rate) {
    for (int slot = 0; slot <= highestSlot.load(); slot++)
        if (VstInstrument* instrument = getInstrument(slot)) instrument->setSampleRate(rate);
}

void Application::setNotifyCallback(InstrumentCallback callback, void* user) {
    notifyUser = user;
    notifyCallback = callback;
}

VstIntPtr Application::notify(int slot, int code, VstIntPtr first, VstIntPtr second) {
    return notifyCallback ? notifyCallback(slot, code, first, second, notifyUser) : 0;
}

VstIntPtr Application::dispatch(int slot, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* pointer,
                                float opt) {
    VstInstrument* instrument = getInstrument(slot);
    return instrument ? instrument->dispatch(opcode, index, value, pointer, opt) : 0;
}

void Application::audioCallback(float** inputs, int inputCount, float** outputs, int outputCount, int frames,
                                void* user) {
    ((Application*)user)->render(inputs, inputCount, outputs, outputCount, frames);
}

void Application::midiCallback(int device, unsigned int message, void* user) {
    ((Application*)user)->dispatchMidi(device, message);
}

void Application::sampleRateCallback(float rate, void* user) { ((Application*)user)->setInstrumentsSampleRate(rate); }

VstIntPtr Application::instrumentCallback(int slot, int code, VstIntPtr first, VstIntPtr second, void* user) {
    return ((Application*)user)->notify(slot, code, first, second);
}

#define FORWARD(call)                                              \
    if (VstInstrument* instrument = getInstrument(slot)) instrument->call

void Application::setMidiDevice(int slot, int device) { FORWARD(setMidiDevice(device)); }
void Application::setMidiChannel(int slot, int channel) { FORWARD(setMidiChannel(channel)); }
void Application::setKeyRangeEnabled(int slot, bool enabled) { FORWARD(setKeyRangeEnabled(enabled)); }
void Application::setKeyRange(int slot, int low, int high) { FORWARD(setKeyRange(low, high)); }
void Application::setOctaveShift(int slot, int shift) { FORWARD(setOctaveShift(shift)); }
void Application::setOutputPair(int slot, int first, int second) { FORWARD(setOutputPair(first, second)); }
void Application::setInputPair(int slot, int first, int second) { FORWARD(setInputPair(first, second)); }
void Application::setParameter(int slot, int index, float value) { FORWARD(setParameter(index, value)); }
void Application::getProgramName(int slot, char* name) { FORWARD(getProgramName(name)); }
void Application::setProgramName(int slot, const char* name) { FORWARD(setProgramName(name)); }
#undef FORWARD

int Application::getNumParams(int slot) {
    VstInstrument* instrument = getInstrument(slot);
    return instrument ? instrument->getNumParams() : 0;
}

float Application::getParameter(int slot, int index) {
    VstInstrument* instrument = getInstrument(slot);
    return instrument ? instrument->getParameter(index) : 0.f;
}

bool Application::programsAreChunks(int slot) {
    VstInstrument* instrument = getInstrument(slot);
    return instrument && instrument->programsAreChunks();
}

VstIntPtr Application::getChunk(int slot, void** data) {
    VstInstrument* instrument = getInstrument(slot);
    return instrument ? instrument->getChunk(data) : 0;
}

VstIntPtr Application::setChunk(int slot, void* data, VstIntPtr size) {
    VstInstrument* instrument = getInstrument(slot);
    return instrument ? instrument->setChunk(data, size) : 0;
}
