/* exp and pow, which the audio path calls for every voice and block, bound to the C runtime
   DLL's SSE2 versions: the static versions the compiler's runtime library would link in
   compute on the x87 unit and cost about four times as much (pow about 65 ns against 16
   under wine). Their results may differ in the last bit; nothing compares them with the
   native build's. powf, which the voices call for every slot and block, is our own
   (float_power.c): the double pow it stood on costs several times the native powf. */
#include <math.h>

#include "crt/float_power.h"

#ifdef _WIN64
#define RUNTIME_IMPORT(name) "__imp_" #name
#else
#define RUNTIME_IMPORT(name) "__imp__" #name
#endif

extern double (*const runtimeExp)(double) __asm__(RUNTIME_IMPORT(exp));
extern double (*const runtimePow)(double, double) __asm__(RUNTIME_IMPORT(pow));

double exp(double x) { return runtimeExp(x); }
double pow(double x, double y) { return runtimePow(x, y); }
float expf(float x) { return (float)runtimeExp(x); }
float powf(float x, float y) { return floatPower(x, y); }
