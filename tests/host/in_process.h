// An instrument object driven in the test's own process, as a host drives it: one MIDI
// message, then audio enough for it to take effect.
#pragma once

#include <vector>

#include "vst/aeffectx.h"

template <typename Instrument>
void sendMidiMessage(Instrument& instrument, unsigned char status, unsigned char data1, unsigned char data2 = 0) {
    VstMidiEvent event = {};
    event.type = kVstMidiType;
    event.byteSize = sizeof event;
    event.midiData[0] = (char)status;
    event.midiData[1] = (char)data1;
    event.midiData[2] = (char)data2;
    VstEvents events = {};
    events.numEvents = 1;
    events.events[0] = (VstEvent*)&event;
    instrument.processEvents(&events);
}

// Blocks of 512 frames into every output.
template <typename Instrument>
void renderBlocks(Instrument& instrument, int blocks) {
    int outputs = instrument.getAeffect()->numOutputs;
    std::vector<std::vector<float>> buffers(outputs, std::vector<float>(512));
    std::vector<float*> out(outputs);
    for (int i = 0; i < outputs; i++) out[i] = buffers[i].data();
    for (int block = 0; block < blocks; block++) instrument.processReplacing(nullptr, out.data(), 512);
}
