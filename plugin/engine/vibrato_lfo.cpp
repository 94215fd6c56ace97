#include "engine/vibrato_lfo.h"

#include <cmath>
#include <cstring>
#include <new>

#include "engine/port_inputs.h"

VibratoLfo::VibratoLfo()
    : sampleRate(44100.0f),
      blockSeconds(0.0),
      blockLength(0),
      historyLength(0),
      sine(nullptr),
      ownSine(nullptr),
      buffer(nullptr),
      silence(nullptr),
      generator{0.1, 0.9999999},
      rateModAmount(0.0f),
      rateInput(nullptr),
      active(0),
      resetPending(0) {
    std::memset(&osc, 0, sizeof(osc));
    std::memset(&outputs, 0, sizeof(outputs));
}

VibratoLfo::~VibratoLfo() { free(); }

int VibratoLfo::init(VibratoLfoRecord* record, int kind, float rate) {
    free();
    if (record == nullptr || !(rate > 0.0f) || !std::isfinite(rate)) return 1;
    if (!lfoLengthsValid(record->blockLength, record->historyLength)) return 1;
    blockLength = record->blockLength;
    historyLength = record->historyLength;
    const size_t length = static_cast<size_t>(blockLength + historyLength);

    sine = lfoSineTable(record->sineTable, record->sineSize, &ownSine);
    if (sine == nullptr) return 1;
    buffer = new (std::nothrow) float[length];
    silence = new (std::nothrow) float[length];
    if (buffer == nullptr || silence == nullptr) {
        free();
        return 1;
    }
    std::memset(buffer, 0, sizeof(float) * length);
    std::memset(silence, 0, sizeof(float) * length);

    sampleRate = rate;
    computeRateFields();
    generator.x = 0.1;
    generator.r = 0.9999999;
    osc.reset(kLfoSine, 0.1f);
    rateModAmount = 0.0f;
    rateInput = nullptr;
    active = resetPending = 0;
    outputs.attach(buffer, silence, blockLength, historyLength);
    return 0;
}

void VibratoLfo::computeRateFields() {
    blockSeconds = blockLength / static_cast<double>(sampleRate);
}

void VibratoLfo::setSampleRate(float rate) {
    if (!(rate > 0.0f) || !std::isfinite(rate)) return;
    sampleRate = rate;
    if (buffer == nullptr) return;
    computeRateFields();
}

void VibratoLfo::free() {
    delete[] buffer;
    buffer = nullptr;
    delete[] silence;
    silence = nullptr;
    delete[] ownSine;
    ownSine = nullptr;
    sine = nullptr;
    outputs.detach();
    rateInput = nullptr;
    active = resetPending = 0;
}

int VibratoLfo::message(VibratoLfoRecord* record, int code) {
    if (record == nullptr || buffer == nullptr) return 0;
    if (code == kVibratoLfoMsgSettings) {
        osc.wave = lfoWaveform(record->wave);
        osc.baseRate = record->rate;
        osc.rateChanged = 1;
    } else if (code == kVibratoLfoMsgTouchSpeed) {
        rateModAmount = std::isfinite(record->rateModAmount) ? record->rateModAmount : 0.0f;
    }
    return 0;
}

void VibratoLfo::clearRetrigger() { outputs.gateRecord.retrigger = 0; }

SignalPort* VibratoLfo::takeOutput(int kind) {
    if (buffer == nullptr) return nullptr;
    active = 1;
    resetPending = 1;
    return outputs.take(kind);
}

void VibratoLfo::releaseOutput(int kind) {
    outputs.release(kind);
    if (!outputs.inUse()) active = 0;
}

int VibratoLfo::connectInput(int kind, SignalPort* port) {
    if (buffer == nullptr || kind != kVibratoLfoInRate) return 1;
    rateInput = port;
    return 0;
}

void VibratoLfo::releaseInput(int kind) {
    if (kind != kVibratoLfoInRate) return;
    rateInput = nullptr;
    osc.rateChanged = 1;
}

void VibratoLfo::setShape(double hz) {
    osc.setShape(hz);
    generator.r = 0.5 * osc.h + 0.749999;
}

void VibratoLfo::process() {
    if (buffer == nullptr) return;
    if (!active) {
        if (resetPending) {
            outputs.clear();
            resetPending = 0;
        }
        return;
    }
    const double blockRandom = generator.next();
    double m = rateInput != nullptr ? static_cast<double>(portValue(rateInput)) * rateModAmount : 0.0;
    if (!(m == m)) m = 0.0;
    if (m != 0.0) {
        setShape(osc.baseRate * lfoRateFactor(m));
        osc.rateChanged = 0;
    } else if (osc.rateChanged) {
        setShape(osc.baseRate);
        osc.rateChanged = 0;
    }
    const float v = osc.step(blockSeconds, sine, outputs.gateUses > 0, blockRandom, generator, 0.0f);
    outputs.write(v, osc.flag);
}
