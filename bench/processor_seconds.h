// The clock of the benchmarks: the rendering thread's processor time on Linux (to the
// nanosecond), so that other work on a shared machine does not count. On Windows the thread
// times come in steps of 10-16 ms, too coarse for short spans, so processorSeconds() is the
// monotonic clock there (run pinned to one core); long runs read threadProcessorSeconds().
#pragma once

#include <chrono>

#ifdef _WIN32
#include <windows.h>
#else
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

// The thread's own processor time on every system, for runs long enough to make its steps
// small: on Windows (and wine) it advances in steps of up to kThreadClockStep.
#ifdef _WIN32
const double kThreadClockStep = 0.016;
inline double threadProcessorSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0.0;
    auto ticks = [](const FILETIME& t) { return ((unsigned long long)t.dwHighDateTime << 32) | t.dwLowDateTime; };
    return (double)(ticks(kernel) + ticks(user)) * 1e-7;
}
#else
const double kThreadClockStep = 1e-9;
inline double threadProcessorSeconds() { return processorSeconds(); }
#endif
