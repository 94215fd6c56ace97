// Cost of the editor as a host sees it, through the built plug-in: opening it on a window
// (effEditOpen and the first idle, which lays the face out and paints it) and an idle with
// nothing to do. Usage: bench_editor [OPENS [IDLES]] (defaults 20 and 20000); 0 opens
// times the process without the editor, as a baseline for whole-process comparisons.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "host/test_host.h"

namespace {

double seconds() {
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / frequency.QuadPart;
}

LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

}  // namespace

int main(int argc, char** argv) {
    int opens = argc > 1 ? atoi(argv[1]) : 20;
    int idles = argc > 2 ? atoi(argv[2]) : 20000;
    TestInstall install;
    TestHost host;
    if (!host.load(TestHost::pluginPath(10)) || !host.create()) {
        fprintf(stderr, "cannot load the plug-in\n");
        return 1;
    }
    if (opens <= 0) return 0;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = parentProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "BenchHost";
    RegisterClassA(&windowClass);
    HWND parent = CreateWindowExA(0, "BenchHost", "Host", WS_POPUP | WS_VISIBLE, 0, 0, 1008, 620, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);

    double openTotal = 0, openWorst = 0, firstIdleTotal = 0;
    for (int i = 0; i < opens; i++) {
        double start = seconds();
        host.dispatch(effEditOpen, 0, 0, parent);
        double opened = seconds();
        host.dispatch(effEditIdle);
        pump();
        double painted = seconds();
        openTotal += painted - start;
        firstIdleTotal += painted - opened;
        if (painted - start > openWorst) openWorst = painted - start;
        if (i + 1 < opens) host.dispatch(effEditClose);
        pump();
    }
    // The editor stays open, the face drawn: these idles have nothing to do.
    for (int i = 0; i < 10; i++) host.dispatch(effEditIdle);
    pump();
    double start = seconds();
    for (int i = 0; i < idles; i++) host.dispatch(effEditIdle);
    double idleTotal = seconds() - start;
    host.dispatch(effEditClose);
    host.close();
    DestroyWindow(parent);

    printf("editor open (effEditOpen + first idle, painted): mean %.2f ms, worst %.2f ms, of which first idle %.2f ms\n",
           1e3 * openTotal / opens, 1e3 * openWorst, 1e3 * firstIdleTotal / opens);
    printf("idle with nothing to do: mean %.2f us over %d idles\n", 1e6 * idleTotal / (idles > 0 ? idles : 1), idles);
    return 0;
}
