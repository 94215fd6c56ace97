#include "engine/synth_engine.h"

SynthEngine::SynthEngine() : initialised(0), sampleRate(44100.f) {}

SynthEngine::~SynthEngine() {}

int SynthEngine::init(EngineCommand* record) {
    if (!record) return 1;
    sampleRate = record->sampleRate;
    initialised = 1;
    return 0;
}

void SynthEngine::setSampleRate(float rate) { sampleRate = rate; }

void SynthEngine::reset() {}

void SynthEngine::freeBuffers() { initialised = 0; }

int SynthEngine::getPartActivity(int part) { return 0; }

int SynthEngine::command(EngineCommand* record, int code) {
    if (record && code == kCmdSampleRate) setSampleRate(record->sampleRate);
    return 0;
}
