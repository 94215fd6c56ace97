#include "engine/oscillator.h"

Oscillator::Oscillator() : number(0), blockLength(44), historyLength(9) {}
Oscillator::~Oscillator() { free(); }

int Oscillator::init(OscillatorRecord* record, int oscillatorNumber, float rate) {
    number = oscillatorNumber;
    return 0;
}

void Oscillator::setSampleRate(float rate) {}
int Oscillator::message(OscillatorRecord* record, int code) { return 0; }
void Oscillator::process() {}
void Oscillator::free() {}
SignalPort* Oscillator::takeOutput(int kind, int slot) { return nullptr; }
void Oscillator::releaseOutput(int kind, int slot) {}
int Oscillator::connectInput(int kind, SignalPort* port, int slot, int tag) { return kind == 8 ? 1 : 0; }
void Oscillator::releaseInput(int kind, int slot, int tag) {}
