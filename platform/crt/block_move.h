/* memmove without the C runtime: see block_move.c. Plain C with SSE2, built natively too. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void* blockMove(void* destination, const void* source, size_t n);

#ifdef __cplusplus
}
#endif
