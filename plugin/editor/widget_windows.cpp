#include "editor/widget_windows.h"

// Stands in until the value popups and the MIDI control windows are built: controls then
// open no window.
AWindow* createValuePopup(InstrumentInterface*, int, int) { return nullptr; }
AWindow* createMidiControlWindow(InstrumentInterface*, int, int) { return nullptr; }
