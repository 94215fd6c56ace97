// The clock of the benchmarks: the rendering thread's processor time on Linux (to the
// nanosecond), so that other work on a shared machine does not count. On Windows the thread
// times come in steps of 10-16 ms, too coarse for the idle runs, so the monotonic clock
// stands in (run pinned to one core).
#pragma once

#include <chrono>

#ifndef _WIN32
#include <time.h>
#endif

inline double processorSeconds() {
#ifdef _WIN32
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#else
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
#endif
}
