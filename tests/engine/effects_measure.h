// Measurements on rendered signals for the effect tests: tone frequency, amplitude and
// phase at a frequency, the peak of a magnitude response.
#pragma once

#include <cmath>
#include <complex>
#include <functional>
#include <vector>

#include "engine/effect_util.h"

namespace measure {

constexpr double kPi = 3.14159265358979323846;

// The engine's sine table: 8192 points and the wrap point.
inline std::vector<float> engineSineTable() {
    std::vector<float> table(fx::kSineSize + 1);
    fx::buildSineTable(table.data(), fx::kSineSize);
    return table;
}

// Frequency of a tone from its rising zero crossings (interpolated), in Hz.
inline double zeroCrossingFrequency(const float* x, int n, double rate) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (int k = 1; k < n; ++k) {
        if (x[k - 1] < 0.0f && x[k] >= 0.0f) {
            double t = (k - 1) + (double)x[k - 1] / ((double)x[k - 1] - (double)x[k]);
            if (crossings == 0) first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) / (last - first) * rate;
}

// Sum of x[k] e^{-j 2 pi f (k + offset) / rate}: the transform of a window that starts at
// sample `offset`.
inline std::complex<double> transformAt(const float* x, int n, double f, double rate, int offset = 0) {
    std::complex<double> s = 0.0;
    const double w = -2.0 * kPi * f / rate;
    for (int k = 0; k < n; ++k) s += (double)x[k] * std::polar(1.0, w * (k + offset));
    return s;
}

// Amplitude of a tone at f in a Hann-windowed stretch (the tone should sit well inside it).
inline double toneAmplitude(const float* x, int n, double f, double rate) {
    std::complex<double> s = 0.0;
    double weight = 0.0;
    const double w = -2.0 * kPi * f / rate;
    for (int k = 0; k < n; ++k) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * k / n);
        s += hann * (double)x[k] * std::polar(1.0, w * k);
        weight += hann;
    }
    return 2.0 * std::abs(s) / weight;
}

// The frequency in [low, high] where a unimodal function peaks (golden-section search).
inline double peakOf(const std::function<double(double)>& f, double low, double high) {
    const double g = 0.5 * (std::sqrt(5.0) - 1.0);
    double a = low, b = high;
    double c = b - g * (b - a), d = a + g * (b - a);
    double fc = f(c), fd = f(d);
    for (int i = 0; i < 80 && b - a > 1e-4; ++i) {
        if (fc > fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - g * (b - a);
            fc = f(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + g * (b - a);
            fd = f(d);
        }
    }
    return 0.5 * (a + b);
}

inline double decibels(double ratio) { return 20.0 * std::log10(ratio); }

}  // namespace measure
