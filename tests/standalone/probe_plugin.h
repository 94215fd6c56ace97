// A recording plug-in for the host side's tests: installed like an instrument, loaded
// through its "main", it writes what the host asks of it into a record the test reads.
#pragma once

#include "vst/aeffectx.h"

struct ProbeConfig {
    int outputs = 2;
    int inputs = 0;
    bool refuse = false;          // "main" returns no effect
    float levels[16] = {0};       // added to each output per sample
    int busyMicrosPerSlice = 0;   // wall time spent per 44 frames in process
    bool askTime = false;         // audioMasterGetTime in every process call
    void (*idleHook)() = nullptr; // called from effEditIdle
};

// One editor call the probe received: the keys, and the vendor-specific calls (the wheel).
struct ProbeEditorCall {
    VstInt32 opcode;
    VstInt32 index;
    VstInt64 value;
    float opt;
};

struct ProbeRecord {
    static const int kMaxCalls = 4096;
    static const int kMaxEvents = 1024;
    static const int kMaxEditorCalls = 64;
    int instances = 0;
    VstIntPtr versionDuringMain = 0;
    VstIntPtr hostId = 0;
    char vendor[80] = {0};
    char product[80] = {0};
    int opcodeCounts[128] = {0};
    int processCalls = 0;
    int processFrames[kMaxCalls] = {0};
    int eventsBeforeCall[kMaxCalls] = {0};  // events received since the previous process call
    int nullPointers = 0;
    int processAfterClose = 0;
    int closeDuringProcess = 0;
    int concurrentCalls = 0;
    unsigned int events[kMaxEvents] = {0};  // status | data1 << 8 | data2 << 16
    int eventCount = 0;
    int maxEventsPerCall = 0;
    int timeAnswers = 0;
    VstInt32 lastTimeFlags = 0;
    double lastTempo = 0;
    float sampleRate = 0;
    VstIntPtr knobMode = -1;
    void* editorWindow = nullptr;
    int idleCalls = 0;
    ProbeEditorCall editorCalls[kMaxEditorCalls] = {};
    int editorCallCount = 0;
    // Set by a test: at its next idle the probe asks the host for this editor size.
    int sizeRequestWidth = 0;
    int sizeRequestHeight = 0;
    // Set by a test before the load: this many parameters and programs that are no chunks.
    int parameterCount = 0;
};

// With this variable naming a file mapping, the probe keeps its record there, so that a test
// reads what the probe saw inside the program's own process.
const char kProbeSharedRecordVariable[] = "PROBE_SHARED_RECORD";

typedef ProbeConfig* (*ProbeConfigProc)();
typedef ProbeRecord* (*ProbeRecordProc)();
// Calls audioMasterAutomate, audioMasterSizeWindow (width, height) from the last instance.
typedef void (*ProbeCallHostProc)(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt);
