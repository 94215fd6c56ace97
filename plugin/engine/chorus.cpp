#include "engine/chorus.h"

#include <new>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr float kLineMs = 1000.0f;
constexpr float kInitialLfoRate = 0.015f;  // Hz
constexpr float kMinLfoRate = 1e-6f;       // Hz
}

// ---- ChorusLfo ----

ChorusLfo::ChorusLfo()
    : sampleRate(44100.0f), rateHz(kInitialLfoRate), phase(0.0f), increment(0.0f), table(nullptr),
      ownTable(nullptr), tableSize(0), value(0.0f) {}

ChorusLfo::~ChorusLfo() { free(); }

int ChorusLfo::init(float rate, const float* sineTable, int size) {
    free();
    sampleRate = fx::acceptSampleRate(rate, 44100.0f);
    if (sineTable) {
        if (size < 2) return 1;
        table = sineTable;
        tableSize = size;
    } else {
        ownTable = new (std::nothrow) float[fx::kSineSize + 1];
        if (!ownTable) return 1;
        fx::buildSineTable(ownTable, fx::kSineSize);
        table = ownTable;
        tableSize = fx::kSineSize;
    }
    phase = 0.0f;
    value = 0.0f;
    rateHz = kInitialLfoRate;
    updateIncrement();
    return 0;
}

void ChorusLfo::setSampleRate(float rate) {
    sampleRate = fx::acceptSampleRate(rate, sampleRate);
    updateIncrement();
}

void ChorusLfo::setRate(float hz) {
    rateHz = hz >= kMinLfoRate ? hz : kMinLfoRate;  // also NaN
    if (!(rateHz <= FLT_MAX)) rateHz = kMinLfoRate;
    updateIncrement();
}

void ChorusLfo::updateIncrement() {
    increment = tableSize > 0 ? fx::wrapIncrement((double)tableSize * rateHz / sampleRate, tableSize) : 0.0f;
}

void ChorusLfo::free() {
    delete[] ownTable;
    ownTable = nullptr;
    table = nullptr;
    tableSize = 0;
}

// ---- Chorus ----

Chorus::Chorus()
    : initialised(0), sampleRate(44100.0f), mode(0), depthTarget(1.0f), depth(0.5f),
      depthCoefficient(0.0f), b0(0), b2(0), a1(0), a2(0), x1(0), x2(0), y1(0), y2(0) {}

Chorus::~Chorus() { free(); }

int Chorus::init(const ChorusRecord* record) {
    free();
    if (!record) return 1;
    sampleRate = fx::acceptSampleRate(record->sampleRate, 44100.0f);
    if (line1.init(sampleRate, kLineMs) || line2.init(sampleRate, kLineMs) ||
        lfo1.init(sampleRate, record->sineTable, record->sineSize) ||
        lfo2.init(sampleRate, record->sineTable, record->sineSize)) {
        free();
        return 1;
    }
    mode = 0;
    depthTarget = 1.0f;
    depth = 0.5f;
    depthCoefficient = (float)fx::onePoleCoefficient(0.2 * sampleRate);
    computeBandPass();
    x1 = x2 = y1 = y2 = 0.0f;
    initialised = 1;
    return 0;
}

void Chorus::setSampleRate(float rate) {
    sampleRate = fx::acceptSampleRate(rate, sampleRate);
    depthCoefficient = (float)fx::onePoleCoefficient(0.2 * sampleRate);
    line1.setSampleRate(sampleRate);
    line2.setSampleRate(sampleRate);
    lfo1.setSampleRate(sampleRate);
    lfo2.setSampleRate(sampleRate);
    // Mended: the band-pass follows the rate too, so it stays at 1000 Hz.
    computeBandPass();
}

// Q 0.5 band-pass at 1000 Hz with unity peak, H(s) = 4000 pi s / (s^2 + 4000 pi s + (2000 pi)^2),
// by the bilinear transform.
void Chorus::computeBandPass() {
    const double d = 1.0 / (2.0 * sampleRate);
    const double w2d2 = (2000.0 * kPi) * (2000.0 * kPi) * d * d;
    const double bd = 4000.0 * kPi * d;
    const double g = 1.0 / (w2d2 + bd + 1.0);
    b0 = (float)(bd * g);
    b2 = -b0;
    a1 = (float)(2.0 * (w2d2 - 1.0) * g);
    a2 = (float)((w2d2 - bd + 1.0) * g);
}

int Chorus::message(const ChorusRecord* record, int code) {
    if (!record || code != kChorusSettings) return 0;
    mode = record->mode;
    float rate1, target;
    if (mode != 0) {
        rate1 = record->speed * 0.1f;
        target = record->depth;
    } else {
        rate1 = record->speed + 2.0f;
        target = record->depth * 0.85f;
    }
    depthTarget = fx::clampOr(target, 0.0f, 1.0f, 0.0f);
    lfo1.setRate(rate1);
    lfo2.setRate(lfo1.getRate() * 0.11f);
    return 0;
}

void Chorus::process(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count) {
    if (!initialised || !leftIn || !rightIn || !leftOut || !rightOut) return;
    // The state on locals: the lines' and outputs' stores could otherwise be these floats.
    float d = depth;
    const float dTarget = depthTarget, dCoefficient = depthCoefficient;
    const float c0 = b0, c2 = b2, p1 = a1, p2 = a2;
    float h1 = x1, h2 = x2, g1 = y1, g2 = y2;
    for (int n = 0; n < count; ++n) {
        d += (dTarget - d) * dCoefficient;
        float v1 = lfo1.step();
        float v2 = lfo2.step();

        float m = (leftIn[n] + rightIn[n]) * 0.5f;
        float x = fx::flushState(m);
        float y = fx::flushState(c0 * x + c2 * h2 - p1 * g1 - p2 * g2);
        h2 = h1;
        h1 = x;
        g2 = g1;
        g1 = y;

        float dl = v1 * d;
        float dr = v2 * d;
        float r = dl - dr + 2.0f;
        line1.push(y);
        float t = line1.read(1.065f * r + 3.17f);
        float u = line2.read(0.7575f * r + 1.685f);
        line2.push(fx::flushState(t));

        float dry = 0.6f * m;
        leftOut[n] = dry + (1.0f + 0.8f * dl) * u + (1.0f + 0.8f * dr) * t;
        rightOut[n] = dry + (1.0f - 0.8f * dl) * u + (1.0f - 0.8f * dr) * t;
    }
    x1 = h1;
    x2 = h2;
    y1 = g1;
    y2 = g2;
    depth = d;
    if (std::fabs(depth - depthTarget) < 1e-7f) depth = depthTarget;
}

void Chorus::clear() {
    line1.clear();
    line2.clear();
    x1 = x2 = y1 = y2 = 0.0f;
}

void Chorus::free() {
    line1.free();
    line2.free();
    lfo1.free();
    lfo2.free();
    initialised = 0;
}
