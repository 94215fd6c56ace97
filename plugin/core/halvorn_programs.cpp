// Programs, the chunk, the preset path and the patch clipboard.
#include <cstring>

#include "core/halvorn.h"
#include "core/parameter_table.h"

ProgramRecord* Halvorn::currentRecord() {
    return programs && curProgram >= 0 && curProgram < programCount ? &programs[curProgram] : nullptr;
}

void Halvorn::setProgram(VstInt32 program) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    // The dispatcher checks the number too; direct callers must not select past the array.
    if (!programs || program < 0 || program >= programCount) return;
    curProgram = program;
    const bool outer = applyingProgram, outerDeferred = patchSendsDeferred;
    applyingProgram = true;
    // The multi mode's setting sends every patch parameter to the parts at its end; the
    // single mode routes the parts by the multi mode's lists first, and keeps that order.
    patchSendsDeferred = saneParameterValue(programs[program].globals.multiMode) == 0.f;
    // Every parameter through the virtual operations, in this order; indices without a
    // slot go again with 0.
    const int ranges[4][2] = {{0, 495}, {496, 548}, {1000, 1351}, {2000, 2108}};
    for (const auto& range : ranges)
        for (int index = range[0]; index <= range[1]; index++) setParameter(index, getParameter(index));
    applyingProgram = outer;
    patchSendsDeferred = outerDeferred;
}

void Halvorn::setProgramName(char* name) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    if (ProgramRecord* record = currentRecord()) setProgramNameText(*record, name);
}

// Hosts give kVstMaxProgNameLen bytes for a program name.
void Halvorn::getProgramName(char* name) {
    if (!name) return;
    name[0] = 0;
    if (ProgramRecord* record = currentRecord()) getProgramNameText(*record, name, kVstMaxProgNameLen);
}

bool Halvorn::getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) {
    if (!programs || !text || index < 0 || index >= programCount) return false;
    getProgramNameText(programs[index], text, kVstMaxProgNameLen);
    return true;
}

bool Halvorn::copyProgram(VstInt32 destination) {
    ProgramRecord* record = currentRecord();
    if (!record || destination < 0 || destination >= programCount) return false;
    if (&programs[destination] != record) programs[destination] = *record;
    return true;
}

// The host receives the live record: it changes with every parameter change.
VstInt32 Halvorn::getChunk(void** data, bool isPreset) {
    if (!data || !programs) return 0;
    *data = programs;
    return (VstInt32)sizeof(ProgramRecord);
}

VstInt32 Halvorn::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    // Nothing to copy: the record and the names stay as they are.
    if (!data || byteSize <= 0 || !programs) return 0;
    size_t size = (size_t)byteSize < sizeof(ProgramRecord) ? (size_t)byteSize : sizeof(ProgramRecord);
    // A host may hand back the very pointer getChunk gave it.
    std::memmove(programs, data, size);
    // The host's state stands: a program change still waiting for its browser move must
    // not load a preset's files over it.
    programChangePending = 0;
    restorePresetPath();
    std::memcpy(loadedBankName, currentBankName, sizeof(loadedBankName));
    std::memcpy(loadedSubBankName, currentSubBankName, sizeof(loadedSubBankName));
    std::memcpy(loadedPresetName, currentPresetName, sizeof(loadedPresetName));
    setProgram(0);
    return 0;
}

void Halvorn::storePresetPath() {
    if (ProgramRecord* record = currentRecord())
        joinPresetPath(*record, currentBankName, currentSubBankName, currentPresetName);
}

void Halvorn::restorePresetPath() {
    if (ProgramRecord* record = currentRecord())
        splitPresetPath(*record, currentBankName, currentSubBankName, currentPresetName);
}

void Halvorn::setPresetNames(const char* bank, const char* subBank, const char* preset) {
    copyBoundedText(currentBankName, sizeof(currentBankName), bank, sizeof(currentBankName));
    copyBoundedText(currentSubBankName, sizeof(currentSubBankName), subBank, sizeof(currentSubBankName));
    copyBoundedText(currentPresetName, sizeof(currentPresetName), preset, sizeof(currentPresetName));
}

// Each buffer holds kPresetNameSize bytes.
void Halvorn::getPresetNames(char* bank, char* subBank, char* preset) {
    copyBoundedText(bank, kPresetNameSize, currentBankName, kPresetNameSize);
    copyBoundedText(subBank, kPresetNameSize, currentSubBankName, kPresetNameSize);
    copyBoundedText(preset, kPresetNameSize, currentPresetName, kPresetNameSize);
}

void Halvorn::copyPatch(int patch) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    ProgramRecord* record = currentRecord();
    if (!record || patch < 0 || patch >= kPatchCount) return;
    patchClipboard = record->patches[patch];
    patchClipboardFilled = 1;
}

void Halvorn::pastePatch(int patch) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    ProgramRecord* record = currentRecord();
    // An empty clipboard would wipe the patch with zeros.
    if (!record || !patchClipboardFilled || patch < 0 || patch >= kPatchCount) return;
    record->patches[patch] = patchClipboard;
    reapplyParameters();
}
