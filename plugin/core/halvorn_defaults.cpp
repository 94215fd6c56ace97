// Built-in content: the default patch and program, and the voice templates.
#include "core/builtin_sounds.h"
#include "core/halvorn.h"
#include "core/parameter_table.h"

// Patches outside 0-7 are refused: no caller passes one.
void Halvorn::setPatchDefaults(int patch) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    ProgramRecord* record = currentRecord();
    if (!record || patch < 0 || patch >= kPatchCount) return;
    writePatchDefaults(record->patches[patch]);
}

void Halvorn::setProgramDefaults() {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    ProgramRecord* record = currentRecord();
    paramFreqEcout = 0;
    if (record) writeProgramDefaults(*record);
}

void Halvorn::loadFactoryPatch(int line, int sound, int patch) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    ProgramRecord* record = currentRecord();
    if (!record || patch < 0 || patch >= kPatchCount) return;
    silenceEngine();
    const int lineNumber = line == 0 ? 0 : 1;
    PatchBlock& block = record->patches[patch];
    writeVoiceTemplate(block.lines[lineNumber], lineNumber, sound);
    // Shared by both lines: a template never leaves the other line synchronised or merged.
    block.osc1Sync = 0.f;
    block.osc2Derive = 0.f;

    // Through the full parameter path, so every part of the patch and the editor follow. The
    // VCA level goes right after the VCF level; the keyboard switch is written, not applied.
    static const int kHostLocals[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 19, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                      20, 21, 22, 23};
    static const int kInternalLocals[] = {0, 1, 3, 4, 5, 6, 7, 8, 9};
    const int hostBase = kPatchParameterCount * patch + 24 * lineNumber;
    const int internalBase = kPatchInternalBase + kPatchInternalCount * patch;
    for (int local : kHostLocals) setParameter(hostBase + local, getParameter(hostBase + local));
    for (int local : kInternalLocals) {
        const int index = internalBase + 10 * lineNumber + local;
        setParameter(index, getParameter(index));
    }
    // OSC1_SYNCHRO, then OSC2_DERIVE.
    for (int local : {23, 22}) setParameter(internalBase + local, getParameter(internalBase + local));
}
