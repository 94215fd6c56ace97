/* powf without the C runtime: see float_power.c. Plain C, built natively too. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

float floatPower(float x, float y);

#ifdef __cplusplus
}
#endif
