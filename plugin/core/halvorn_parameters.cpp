// Parameters: the stored values, the host's names, the editor's names and value texts, and
// the key words of the preset files.
#include <cstring>

#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "core/preset_keys.h"
#include "core/value_texts.h"

float Halvorn::getParameter(VstInt32 index) {
    ProgramRecord* record = currentRecord();
    return record ? readParameter(*record, index) : 0.f;
}

void Halvorn::getParameterName(VstInt32 index, char* text) {
    if (text) parameterShortName(index, text, kVstMaxParamStrLen);
}

void Halvorn::getParameterLabel(VstInt32 index, char* label) {
    if (label) copyBoundedText(label, kVstMaxParamStrLen, " ", 1);
}

// Long names and value texts share the one text buffer: the caller copies the text.
const char* Halvorn::getParameterLongName(int index) {
    textBuffer[0] = 0;
    if (ProgramRecord* record = currentRecord()) parameterLongName(*record, index, textBuffer, sizeof(textBuffer));
    return textBuffer;
}

const char* Halvorn::getParameterValueText(int index) {
    textBuffer[0] = 0;
    if (ProgramRecord* record = currentRecord()) formatValueText(*record, index, textBuffer, sizeof(textBuffer));
    return textBuffer;
}

int Halvorn::parameterIndexFromKey(const char* key, int* index, int patch) {
    const int found = presetKeyIndex(key, patch);
    if (found < 0) return -1;
    if (index) *index = found;
    return partOfPatchKey(found);
}

void Halvorn::setValueByKey(const char* key, float value, int patch) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    const int index = presetKeyStoreIndex(key, patch);
    ProgramRecord* record = currentRecord();
    if (index < 0 || !record) return;
    value = saneParameterValue(value);
    if (index == kParamFreqEcoutIndex) {
        paramFreqEcout = wholeNumber(value);
        return;
    }
    writeParameter(*record, index, value);
    // The part's patch indexes the preset's patch files: it is clamped where it is taken.
    const int part = partOfPatchKey(index);
    if (part >= 0) partPatch[part] = clampPatchNumber(wholeNumber(value));
}

int Halvorn::getParameterKey(char* key, float* value, int local, char* text, int patch, bool hostBlock) {
    int index = -1;
    const char* found = presetKeyOfLocal(local, patch, hostBlock, &index);
    if (key) copyBoundedText(key, kPresetKeySize, found, kPresetKeySize);
    if (value) {
        ProgramRecord* record = currentRecord();
        *value = index == kParamFreqEcoutIndex ? (float)paramFreqEcout
                 : record && index >= 0    ? readParameter(*record, index)
                                           : 0.f;
    }
    if (text) std::strcpy(text, "None");
    return found ? (partOfPatchKey(index) >= 0 ? 1 : 0) : 0;
}
