// Cost of one voice's gain and envelope modules per sample: four envelopes, the mixer
// bank, two VCAs and the modulation amounts, wired as a patch wires them. The
// oscillators are stood in for by a fixed audio buffer.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/envelope.h"
#include "engine/mixer_bank.h"
#include "engine/mod_amount_bank.h"
#include "engine/signal_port.h"
#include "engine/vca.h"

namespace {

const int kBlock = 44;
const int kHistory = 9;
const float kRate = 44100.f;
const int kSlots = engine::kVoiceSlots;

struct Rig {
    Envelope envelopes[4];
    MixerBank mixer;
    Vca vcas[2];
    ModAmountBank amounts;
    std::vector<float> audio;
    SignalPort audioPort;
    GateRecord gates[kSlots];
    SignalPort gatePorts[kSlots];

    int build(int voices) {
        EnvelopeRecord er = EnvelopeRecord();
        er.slotCount = kSlots;
        er.blockLength = kBlock;
        er.historyLength = kHistory;
        for (int i = 0; i < 4; ++i) {
            er.mode = i % 2 == 0 ? kEnvModeFilter : kEnvModeAmplifier;
            if (envelopes[i].init(&er, Envelope::kInitKind, kRate)) return 1;
        }
        MixerRecord mr = MixerRecord();
        mr.blockLength = kBlock;
        mr.historyLength = kHistory;
        if (mixer.init(&mr, MixerBank::kInitKind, kRate)) return 1;
        VcaRecord vr = VcaRecord();
        vr.blockLength = kBlock;
        vr.historyLength = kHistory;
        for (Vca& v : vcas)
            if (v.init(&vr, Vca::kInitKind, kRate)) return 1;
        ModAmountRecord ar = ModAmountRecord();
        ar.blockLength = kBlock;
        ar.historyLength = kHistory;
        if (amounts.init(&ar, ModAmountBank::kInitKind, kRate)) return 1;

        audio.resize(kHistory + kBlock);
        for (int i = 0; i < kHistory + kBlock; ++i) audio[i] = std::sin(0.3f * i);
        audioPort = SignalPort();
        audioPort.blockLength = kBlock;
        audioPort.historyLength = kHistory;
        audioPort.samples = audio.data() + kHistory;

        mr.sumMode = 1;
        mr.channel = 1;
        mixer.message(&mr, kMixerSumMode);
        for (int s = 0; s < voices; ++s) {
            gates[s] = GateRecord();
            gatePorts[s] = SignalPort();
            gatePorts[s].kind = kPortGate;
            gatePorts[s].gate = &gates[s];
            er.slot = s;
            const float settings[4][6] = {{5, 200, 300, 0, 1, 0.4f},
                                          {2, 300, 150, 0, 1, 0.7f},
                                          {20, 100, 300, 0, 0.8f, 0.3f},
                                          {1, 500, 250, 0, 1, 0.6f}};
            for (int i = 0; i < 4; ++i) {
                er.attackTime = settings[i][0];
                er.decayTime = settings[i][1];
                er.releaseTime = settings[i][2];
                er.initialLevel = settings[i][3];
                er.attackLevel = settings[i][4];
                er.sustainLevel = settings[i][5];
                envelopes[i].message(&er, kEnvSettings);
                envelopes[i].connectGate(s, &gatePorts[s]);
            }
            // Filter envelope -> modulation amount -> VCA 1 level modulation.
            amounts.connectInput(0, envelopes[0].takeOutput(0, s), s);
            vcas[0].connectInput(kVcaInLevelModulation, amounts.takeOutput(0, s), s, 32);
            // Two signals summed by the mixer pair (0, 1) into VCA 1; the other into VCA 2.
            mixer.connectInput(0, &audioPort, s, 0);
            mixer.connectInput(1, &audioPort, s, 3);
            mixer.connectLevel(0, envelopes[2].takeOutput(0, s), s, 14);
            vcas[0].connectInput(kVcaInAudio, mixer.takeOutput(0, s), s, 16);
            vcas[1].connectInput(kVcaInAudio, &audioPort, s, 3);
            vcas[0].connectInput(kVcaInEnvelope, envelopes[1].takeOutput(0, s), s, 13);
            vcas[1].connectInput(kVcaInEnvelope, envelopes[3].takeOutput(0, s), s, 15);
            vcas[0].takeOutput(s);
            vcas[1].takeOutput(s);
            vr.slot = ar.slot = mr.slot = s;
            vr.state = ar.state = mr.state = engine::kSlotSounding;
            for (Vca& v : vcas) v.message(&vr, kVcaVoiceState);
            amounts.message(&ar, kModAmountVoiceState);
            mixer.message(&mr, kMixerVoiceState);
        }
        return 0;
    }

    void block() {
        for (Envelope& e : envelopes) e.process();
        mixer.process();
        amounts.process();
        vcas[0].process();
        vcas[1].process();
    }
};

double measure(int voices, int blocks) {
    Rig* rig = new Rig;
    if (rig->build(voices)) {
        std::printf("module initialisation failed\n");
        delete rig;
        return 0.0;
    }
    // Notes of 400 blocks (about 0.4 s) held for 300 and released for 100.
    const auto start = std::chrono::steady_clock::now();
    for (int b = 0; b < blocks; ++b) {
        const int gate = b % 400 < 300 ? 1 : 0;
        for (int s = 0; s < voices; ++s) rig->gates[s].gate = gate;
        rig->block();
    }
    const auto end = std::chrono::steady_clock::now();
    volatile float sink = rig->vcas[0].takeOutput(0)->samples[0];
    (void)sink;
    delete rig;
    const double ns = std::chrono::duration<double, std::nano>(end - start).count();
    return ns / (static_cast<double>(blocks) * kBlock * voices);
}

}  // namespace

int main() {
    const int blocks = 100000;
    measure(1, 1000);  // warm up
    const double one = measure(1, blocks);
    const double all = measure(kSlots, blocks / 8);
    std::printf("voice modules (4 envelopes, mixer bank, 2 VCAs, modulation amounts)\n");
    std::printf("  1 voice sounding:   %.2f ns per voice-sample\n", one);
    std::printf("  32 voices sounding: %.2f ns per voice-sample\n", all);
    return 0;
}
