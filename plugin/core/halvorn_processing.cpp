// The instrument's real-time side: engine start, MIDI input, the note queue and the
// processing calls that hand the host's block to the engine in pieces.
#include <climits>
#include <cmath>
#include <cstring>

#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "vstgui/aeffeditor.h"
#include "editor/ihalvorn_edit.h"

namespace {

const int kParamPitchBend = 546;
const int kParamModWheel = 547;
const int kParamExpression = 548;
const int kParamInstrumentMenu = 2095;

// Tempo-synchronised switches, in the order they are re-applied when the host tempo changes.
const int kLfo1Sync = 1009;  // + 44 x patch
const int kLfo2Sync = 1019;  // + 44 x patch
const int kArpSync = 2083;
const int kDelaySync = 2044;

inline int dataByte(char byte) { return (unsigned char)byte & 0x7F; }

}  // namespace

void Halvorn::startEngine() {
    engineSampleRate = 44100.f;
    command.sampleRate = 44100.f;
    command.count = masterChannelCount;
    engine.init(&command);
    sendCommand(kCmdSampleRate);
    queueCount = 0;
    queueRead = 0;
    programChangePending = 0;
    std::memset(queueNoteNumber, 0, sizeof(queueNoteNumber));
    std::memset(queueVelocity, 0, sizeof(queueVelocity));
    std::memset(queueChannel, 0, sizeof(queueChannel));
    std::memset(queueDelta, 0, sizeof(queueDelta));
    smoothing.start();
    tempo = 120.0;
    resetParameterApplication();
    midiActivity = 0;
    interrupted = 0;
}

void Halvorn::setSampleRate(float rate) {
    if (!std::isfinite(rate) || rate <= 0.f) return;
    // Raised for the duration of the change: a processing call that sees it returns at
    // once rather than waiting for the engine.
    busy = 1;
    {
        std::lock_guard<std::recursive_mutex> guard(stateLock);
        AudioEffect::setSampleRate(rate);
        engineSampleRate = rate;
        command.sampleRate = rate;
        sendCommand(kCmdSampleRate);
    }
    busy = 0;
}

void Halvorn::noteEvent(int note, int velocity, int channel) {
    {
        std::lock_guard<std::recursive_mutex> guard(stateLock);
        command.note = note;
        command.velocity = velocity;
        command.channel = channel;
        command.kind = velocity != 0 ? kNoteOnEvent : kNoteOffEvent;
        sendCommand(kCmdNoteEvent);
    }
    // The editor only records lit keys here; its idle draws them.
    if (IHalvornEdit* notify = dynamic_cast<IHalvornEdit*>(editor)) {
        if (velocity != 0)
            notify->showKeyDown(note);
        else
            notify->showKeyUp(note);
    }
}

int Halvorn::takeMidiActivity() {
    int activity = midiActivity;
    midiActivity = 0;
    return activity;
}

void Halvorn::queueNote(int note, int velocity, int channel, int deltaFrames) {
    int slot = queueCount;
    if (velocity != 0) {
        // Note-ons beyond the 127th of a call are never played.
        if (slot >= kNoteOnLimit) return;
    } else if (slot >= kNoteQueueSize) {
        // Past the whole array a release of every note stands in for the releases that do
        // not fit, so none is lost.
        slot = kNoteQueueSize - 1;
        note = -1;
    }
    queueNoteNumber[slot] = note;
    queueVelocity[slot] = velocity;
    queueChannel[slot] = channel;
    queueDelta[slot] = deltaFrames;
    if (slot == queueCount) queueCount++;
}

VstInt32 Halvorn::processEvents(VstEvents* events) {
    if (!events || events->numEvents <= 0) return 1;
    std::unique_lock<std::recursive_mutex> guard(stateLock);
    for (VstInt32 i = 0; i < events->numEvents; i++) {
        VstEvent* event = events->events[i];
        if (!event || event->type != kVstMidiType) continue;
        VstMidiEvent* midi = (VstMidiEvent*)event;
        int status = (unsigned char)midi->midiData[0];
        int channel = status & 0x0F;
        int d1 = dataByte(midi->midiData[1]);
        int d2 = dataByte(midi->midiData[2]);
        int delta = midi->deltaFrames;
        switch (status & 0xF0) {
            case 0x90:
            case 0x80:
                queueNote(d1, (status & 0xF0) == 0x80 ? 0 : d2, channel, delta);
                midiActivity = 1;
                break;
            case 0xB0:
                midiActivity = 1;
                if (d1 >= 123) {
                    queueNote(-1, 0, channel, delta);  // channel mode messages: all notes off
                } else if (d1 == 1) {
                    setParameter(kParamModWheel, (float)d2 / 127.f);
                    handleController(d1, d2);
                } else if (d1 == 4 || d1 == 11) {
                    setParameter(kParamExpression, (float)d2 / 127.f);
                    handleController(d1, d2);
                } else {
                    handleController(d1, d2);
                }
                break;
            case 0xA0:
                midiActivity = 1;
                command.note = d1;
                command.pressure = (float)d2 / 127.f;
                sendCommand(kCmdAftertouch);
                break;
            case 0xD0:
                midiActivity = 1;
                command.note = -1;
                command.pressure = (float)d1 / 127.f;
                sendCommand(kCmdAftertouch);
                break;
            case 0xE0:
                midiActivity = 1;
                setParameter(kParamPitchBend, (float)(d2 * 128 + d1) / 16384.f);
                break;
            case 0xC0:
                // The preset load opens its files: not under this call's hold on the lock, so
                // the user-interface thread never waits on the disk for the audio thread.
                guard.unlock();
                programChange(d1);
                guard.lock();
                break;
            default: break;  // system messages
        }
    }
    return 1;
}

void Halvorn::programChange(int program) {
    float wanted;
    {
        std::lock_guard<std::recursive_mutex> guard(stateLock);
        midiActivity = 1;
        programChangePending = 1;
        int count = presetCount;
        float current = getParameter(kParamInstrumentMenu);
        wanted = count > 0 ? (float)program / (float)count : current;
        // Nothing to select (an empty sub-bank, or the preset already loaded): the request
        // is dropped, or a later chunk or program restore would load from disk over it. A
        // browser that a bank select moved since the last load loads even at the same index.
        if (count < 1 || (current == wanted && positionIsLoaded())) {
            programChangePending = 0;
            return;
        }
        if (program >= count) wanted = (float)(count - 1) / (float)count;
    }
    // Stores under the lock, then loads the preset's files outside it.
    setParameter(kParamInstrumentMenu, wanted);
    if (IHalvornEdit* notify = dynamic_cast<IHalvornEdit*>(editor)) notify->presetChanged();
}

void Halvorn::followHostTempo() {
    VstTimeInfo* time = getTimeInfo(kVstTempoValid);
    if (!time || !(time->flags & kVstTempoValid) || !std::isfinite(time->tempo)) return;
    // A tempo of 0 is kept as 0.0001; compared in that form, it is not taken anew every call.
    double hostTempo = time->tempo == 0.0 ? 0.0001 : time->tempo;
    if (hostTempo == tempo) return;
    tempo = hostTempo;
    auto reapply = [this](int index) {
        float value = getParameter(index);
        if (value != 0.f) setParameter(index, value);
    };
    for (int patch = 0; patch < kPatchCount; patch++) {
        reapply(kLfo1Sync + 44 * patch);
        reapply(kLfo2Sync + 44 * patch);
    }
    reapply(kArpSync);
    reapply(kDelaySync);
}

void Halvorn::playDueNotes(int position) {
    while (queueRead < queueCount && queueDelta[queueRead] <= position) {
        noteEvent(queueNoteNumber[queueRead], queueVelocity[queueRead], queueChannel[queueRead]);
        queueRead++;
    }
}

void Halvorn::renderHostBlock(float** outputs, VstInt32 sampleFrames, bool replacing) {
    // While the sample rate changes the call returns at once; the next one starts from
    // silence. A replacing call still leaves silence in the host's buffers.
    if (busy) {
        interrupted = 1;
        if (replacing && outputs && sampleFrames > 0)
            for (int c = 0; c < halvorn::kNumOutputs; c++)
                if (outputs[c]) std::memset(outputs[c], 0, sizeof(float) * (size_t)sampleFrames);
        return;
    }
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    if (interrupted) silenceEngine();
    interrupted = 1;
    followHostTempo();

    float* pointers[10] = {nullptr};
    if (outputs)
        for (int c = 0; c < halvorn::kNumOutputs; c++) pointers[c] = outputs[c];
    int frames = outputs && sampleFrames > 0 ? sampleFrames : 0;
    if (frames == 0) {
        // Nothing to render: the queued notes wait for the next call rather than being lost.
        interrupted = 0;
        return;
    }

    int position = 0;
    queueRead = 0;
    for (;;) {
        playDueNotes(position);
        updateControllerSmoothing();
        int piece = frames - position;
        if (piece <= 0) break;
        int more = 0;
        if (replacing)
            engine.renderReplacing(pointers, position, &piece, &more);
        else
            engine.renderAccumulating(pointers, position, &piece, &more);
        if (piece <= 0) break;
        position += piece;
    }
    // Notes timed beyond the block are played at its end rather than dropped, so that no
    // release is lost.
    playDueNotes(INT_MAX);
    queueCount = 0;
    queueRead = 0;
    interrupted = 0;
}

void Halvorn::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    renderHostBlock(outputs, sampleFrames, true);
}

void Halvorn::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    renderHostBlock(outputs, sampleFrames, false);
}
