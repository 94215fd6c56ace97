// Cost of the editor as a host sees it, through the built plug-in: opening it on a window
// (effEditOpen and the first idle, which lays the face out and paints it) and an idle with
// nothing to do. The process's first open, which also loads the bitmaps, is given apart
// from the median of the later ones. Usage: bench_editor [OPENS [IDLES]] (defaults 20 and
// 20000); 0 opens times the process without the editor, as a baseline for whole-process
// comparisons.
// "bench_editor knob [CHANGES]" turns a knob inside the open editor, its value popup shown,
// and counts the pixels each change repaints (the frame paints what the tree reports
// drawn) against the knob's and the popup's rectangles.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/halvorn.h"
#include "editor/halvorn_edit.h"
#include "editor/knob.h"
#include "editor/skin_tables.h"
#include "editor/vexa_panel.h"
#include "host/test_host.h"
#include "toolkit/aframe.h"

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

VstIntPtr VSTCALLBACK plainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

long area(const CRect& r) { return r.isEmpty() ? 0 : (long)r.width() * r.height(); }

HWND hostWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = parentProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "BenchHost";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "BenchHost", "Host", WS_POPUP | WS_VISIBLE, 0, 0, 1008, 620, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// The pixels that turning a knob repaints: each change reaches the knob as the editor's idle
// hands it over, then the tree draws what is dirty and the open popup, as the frame does.
int knobChanges(int changes) {
    TestInstall install;
    HWND parent = hostWindow();
    std::unique_ptr<Halvorn> synth(new Halvorn(plainHost));
    HalvornEdit* editor = dynamic_cast<HalvornEdit*>(synth->getEditor());
    if (!editor || !editor->open(parent)) return 1;
    editor->idle();
    pump();
    VexaPanel* root = editor->getRootPanel();
    const int index = 5;
    AKnob* knob = new AKnob(getSkinKnobStyle(0), editor->getInstrumentInterface(), index, -1);
    knob->setPosition(300, 200);
    root->add(knob);
    knob->showValuePopup();
    AWindow* popup = root->getOpenWindow();
    COffscreenContext offscreen(editor->getFrame(), 1008, 600);
    CRect drawn;
    root->drawIfDirty(&offscreen, 0, 0, drawn);
    root->drawOpenWindow(&offscreen, 0, 0, drawn);

    long long pixels = 0;
    long worst = 0;
    double start = seconds();
    for (int i = 0; i < changes; i++) {
        float value = (float)(i % 64) / 63.f;
        synth->setParameter(index, value);
        editor->getGuiInterface()->parameterChanged(index, value);
        drawn = CRect(-1, -1, -1, -1);
        root->drawIfDirty(&offscreen, 0, 0, drawn);
        long painted = area(drawn);
        CRect shown(-1, -1, -1, -1);
        root->drawOpenWindow(&offscreen, 0, 0, shown);
        painted += area(shown);
        pixels += painted;
        if (painted > worst) worst = painted;
    }
    double elapsed = seconds() - start;
    long knobArea = (long)knob->getWidth() * knob->getHeight();
    long popupArea = popup ? (long)popup->getWidth() * popup->getHeight() : 0;
    printf("knob change: %.1f pixels painted on average, %ld at most; knob %ld + popup %ld = %ld\n",
           changes ? (double)pixels / changes : 0.0, worst, knobArea, popupArea, knobArea + popupArea);
    printf("knob change: %.1f us each (parameter, repaint into the offscreen image)\n",
           1e6 * elapsed / (changes > 0 ? changes : 1));
    knob->hideValuePopup();
    root->remove(knob);
    delete knob;
    editor->close();
    synth.reset();
    DestroyWindow(parent);
    return worst <= knobArea + popupArea ? 0 : 2;
}

}  // namespace

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new HalvornEdit(effect); }

int main(int argc, char** argv) {
    if (argc > 1 && strcmp(argv[1], "knob") == 0) return knobChanges(argc > 2 ? atoi(argv[2]) : 2000);
    int opens = argc > 1 ? atoi(argv[1]) : 20;
    int idles = argc > 2 ? atoi(argv[2]) : 20000;
    TestInstall install;
    TestHost host;
    if (!host.load(TestHost::pluginPath(10)) || !host.create()) {
        fprintf(stderr, "cannot load the plug-in\n");
        return 1;
    }
    if (opens <= 0) return 0;
    HWND parent = hostWindow();

    std::vector<double> openTimes, firstIdles;
    for (int i = 0; i < opens; i++) {
        double start = seconds();
        host.dispatch(effEditOpen, 0, 0, parent);
        double opened = seconds();
        host.dispatch(effEditIdle);
        pump();
        double painted = seconds();
        openTimes.push_back(painted - start);
        firstIdles.push_back(painted - opened);
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

    printf("editor open (effEditOpen + first idle, painted): first of the process %.2f ms (first idle %.2f ms)\n",
           1e3 * openTimes[0], 1e3 * firstIdles[0]);
    if (opens > 1) {
        openTimes.erase(openTimes.begin());
        firstIdles.erase(firstIdles.begin());
        std::sort(openTimes.begin(), openTimes.end());
        std::sort(firstIdles.begin(), firstIdles.end());
        printf("editor open, later ones: median %.2f ms, worst %.2f ms, first idle median %.2f ms\n",
               1e3 * openTimes[openTimes.size() / 2], 1e3 * openTimes.back(), 1e3 * firstIdles[firstIdles.size() / 2]);
    }
    printf("idle with nothing to do: mean %.2f us over %d idles\n", 1e6 * idleTotal / (idles > 0 ? idles : 1), idles);
    return 0;
}
