// The windows that knobs and sliders open: their value popup and, on Ctrl-click, the MIDI
// control window of their parameters.
#pragma once

class AWindow;
class InstrumentInterface;

// The popup that shows the long name and value text of index (and of secondIndex >= 0).
AWindow* createValuePopup(InstrumentInterface* instrument, int index, int secondIndex);
// The MIDI control window of index, with a second panel for secondIndex >= 0. It closes
// itself; its opener keeps no pointer to it.
AWindow* createMidiControlWindow(InstrumentInterface* instrument, int index, int secondIndex);
