// Conversion between the float samples of the render pump and an ASIO driver's buffers.
#pragma once

#include "asio/asio.h"

// Bytes one sample of the type takes in the driver's buffer; 0 for a type we do not handle.
int asioSampleBytes(ASIOSampleType type);

// Reads firstCount + secondCount samples from the start of the driver buffer into two float
// regions (a ring's write region in its two parts).
void asioToFloat(const void* driverBuffer, ASIOSampleType type, float* first, int firstCount, float* second,
                 int secondCount);

// Writes count samples into the driver buffer from frame offset on.
void floatToAsio(const float* source, int frameOffset, ASIOSampleType type, void* driverBuffer, int count);

// Writes count samples of silence into the driver buffer from frame offset on.
void silenceToAsio(int frameOffset, ASIOSampleType type, void* driverBuffer, int count);
