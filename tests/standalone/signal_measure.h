// Level and pitch of rendered or captured sound.
#pragma once

#include <cmath>
#include <cstdio>
#include <vector>

inline double rms(const std::vector<float>& x, size_t from, size_t length) {
    double sum = 0;
    size_t to = std::min(x.size(), from + length);
    for (size_t i = from; i < to; i++) sum += (double)x[i] * x[i];
    return to > from ? std::sqrt(sum / (double)(to - from)) : 0.0;
}

// The magnitude of one frequency in a stretch (a single-bin Fourier sum).
inline double magnitudeAt(const std::vector<float>& x, size_t from, size_t length, double frequency, double rate) {
    double c = 0, d = 0;
    const double step = 6.283185307179586 * frequency / rate;
    for (size_t i = 0; i < length && from + i < x.size(); i++) {
        c += x[from + i] * std::cos(step * (double)i);
        d += x[from + i] * std::sin(step * (double)i);
    }
    return std::sqrt(c * c + d * d);
}

// The strongest partial between 50 Hz and 2 kHz, to 0.05 Hz.
inline double strongestPartial(const std::vector<float>& x, size_t from, size_t length, double rate) {
    double best = 0, bestFrequency = 0;
    for (double f = 50; f < 2000; f += 1.0) {
        double m = magnitudeAt(x, from, length, f, rate);
        if (m > best) best = m, bestFrequency = f;
    }
    const double centre = bestFrequency;
    for (double f = centre - 1; f <= centre + 1; f += 0.05) {
        double m = magnitudeAt(x, from, length, f, rate);
        if (m > best) best = m, bestFrequency = f;
    }
    return bestFrequency;
}

// The left channel of a capture file of interleaved stereo floats.
inline std::vector<float> readLeftChannel(const char* path) {
    std::vector<float> left;
    FILE* file = std::fopen(path, "rb");
    if (!file) return left;
    float frame[2];
    while (std::fread(frame, sizeof(float), 2, file) == 2) left.push_back(frame[0]);
    std::fclose(file);
    return left;
}
