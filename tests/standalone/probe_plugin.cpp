#include "probe_plugin.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <new>

namespace {
ProbeConfig config;

ProbeRecord& recordStorage() {
    static ProbeRecord* shared = [] {
        char name[128] = {0};
        DWORD length = GetEnvironmentVariableA(kProbeSharedRecordVariable, name, sizeof(name));
        if (length == 0 || length >= sizeof(name)) return (ProbeRecord*)nullptr;
        HANDLE mapping =
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeRecord), name);
        if (!mapping) return (ProbeRecord*)nullptr;
        bool fresh = GetLastError() != ERROR_ALREADY_EXISTS;
        void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeRecord));
        if (!view) return (ProbeRecord*)nullptr;
        return fresh ? new (view) ProbeRecord : (ProbeRecord*)view;
    }();
    static ProbeRecord local;
    return shared ? *shared : local;
}
ProbeRecord& record = recordStorage();
std::atomic<int> inProcess{0};
int eventsSinceProcess = 0;

struct Instance {
    AEffect effect;
    audioMasterCallback host;
    bool closed;
};
Instance* lastInstance = nullptr;

void busyWait(int micros) {
    if (micros <= 0) return;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    do QueryPerformanceCounter(&now);
    while ((now.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart < micros);
}

VstIntPtr VSTCALLBACK dispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt) {
    Instance* self = (Instance*)effect->object;
    if (opcode >= 0 && opcode < 128) record.opcodeCounts[opcode]++;
    switch (opcode) {
        case effClose:
            if (inProcess.load()) record.closeDuringProcess++;
            self->closed = true;  // kept allocated to catch late calls
            return 1;
        case effSetSampleRate: record.sampleRate = opt; return 0;
        case effSetEditKnobMode: record.knobMode = value; return 1;
        case effEditOpen: record.editorWindow = ptr; return 1;
        case effEditGetRect: {
            static ERect rect = {0, 0, 100, 200};
            if (ptr) *(ERect**)ptr = &rect;
            return 1;
        }
        case effEditKeyDown:
        case effEditKeyUp:
        case effVendorSpecific:
            if (record.editorCallCount < ProbeRecord::kMaxEditorCalls)
                record.editorCalls[record.editorCallCount++] = {opcode, index, (VstInt64)value, opt};
            return 0;
        case effEditIdle:
            record.idleCalls++;
            if (record.sizeRequestWidth > 0 && record.sizeRequestHeight > 0) {
                int width = record.sizeRequestWidth, height = record.sizeRequestHeight;
                record.sizeRequestWidth = record.sizeRequestHeight = 0;
                self->host(effect, audioMasterSizeWindow, width, height, nullptr, 0.f);
            }
            if (config.idleHook) config.idleHook();
            return 1;
        case effProcessEvents: {
            VstEvents* events = (VstEvents*)ptr;
            if (!events) return 0;
            if (events->numEvents > record.maxEventsPerCall) record.maxEventsPerCall = events->numEvents;
            for (int i = 0; i < events->numEvents; i++) {
                VstMidiEvent* event = (VstMidiEvent*)events->events[i];
                if (event->type != kVstMidiType || record.eventCount >= ProbeRecord::kMaxEvents) continue;
                record.events[record.eventCount++] = (unsigned char)event->midiData[0] |
                                                     (unsigned char)event->midiData[1] << 8 |
                                                     (unsigned char)event->midiData[2] << 16;
                eventsSinceProcess++;
            }
            return 1;
        }
        default: return 0;
    }
}

void VSTCALLBACK process(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    Instance* self = (Instance*)effect->object;
    if (inProcess.fetch_add(1) != 0) record.concurrentCalls++;
    if (self->closed) record.processAfterClose++;
    if (record.processCalls < ProbeRecord::kMaxCalls) {
        record.processFrames[record.processCalls] = frames;
        record.eventsBeforeCall[record.processCalls] = eventsSinceProcess;
    }
    record.processCalls++;
    eventsSinceProcess = 0;
    for (int c = 0; c < effect->numInputs; c++)
        if (!inputs || !inputs[c]) record.nullPointers++;
    for (int c = 0; c < effect->numOutputs; c++) {
        if (!outputs || !outputs[c]) {
            record.nullPointers++;
            continue;
        }
        for (int i = 0; i < frames; i++) outputs[c][i] += config.levels[c & 15];
    }
    if (config.askTime) {
        VstTimeInfo* time = (VstTimeInfo*)self->host(effect, audioMasterGetTime, 0, kVstTempoValid, nullptr, 0.f);
        if (time) {
            record.timeAnswers++;
            record.lastTimeFlags = time->flags;
            record.lastTempo = time->tempo;
        }
    }
    busyWait(config.busyMicrosPerSlice * frames / 44);
    inProcess.fetch_sub(1);
}

void VSTCALLBACK setParameter(AEffect*, VstInt32, float) {}
float VSTCALLBACK getParameter(AEffect*, VstInt32) { return 0.f; }
}  // namespace

extern "C" {
__declspec(dllexport) ProbeConfig* probeConfig() { return &config; }
__declspec(dllexport) ProbeRecord* probeRecord() { return &record; }
__declspec(dllexport) void probeCallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt) {
    if (lastInstance) lastInstance->host(&lastInstance->effect, opcode, index, value, nullptr, opt);
}

AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host) {
    record.versionDuringMain = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.f);
    if (config.refuse) return nullptr;
    Instance* self = new Instance;
    std::memset(self, 0, sizeof(*self));
    self->host = host;
    AEffect& fx = self->effect;
    fx.magic = kEffectMagic;
    fx.dispatcher = dispatcher;
    fx.process = process;
    fx.processReplacing = process;
    fx.setParameter = setParameter;
    fx.getParameter = getParameter;
    fx.numPrograms = 1;
    fx.numParams = 3;
    fx.numInputs = config.inputs;
    fx.numOutputs = config.outputs;
    fx.flags = effFlagsIsSynth | effFlagsProgramChunks;
    if (record.parameterCount > 0) {
        fx.numParams = record.parameterCount;
        fx.flags = effFlagsIsSynth;
    }
    fx.object = self;
    record.hostId = host(&fx, audioMasterCurrentId, 0, 0, nullptr, 0.f);
    host(&fx, audioMasterGetVendorString, 0, 0, record.vendor, 0.f);
    host(&fx, audioMasterGetProductString, 0, 0, record.product, 0.f);
    record.instances++;
    lastInstance = self;
    return &fx;
}
}
