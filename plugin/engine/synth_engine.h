// The synthesis engine that the plug-in object holds as a member.
//
// Placeholder: stands in for the engine (modules, voices, zones, routing and block
// rendering) until it is built. It accepts commands and renders nothing.
#pragma once

#include "engine/engine_command.h"

class SynthEngine {
public:
    SynthEngine();
    ~SynthEngine();

    int init(EngineCommand* record);
    void setSampleRate(float rate);
    void reset();
    void freeBuffers();
    int getPartActivity(int part);
    int command(EngineCommand* record, int code);

    int isInitialised() const { return initialised; }
    float getSampleRate() const { return sampleRate; }

private:
    int initialised;
    float sampleRate;
};
