// Parameters: the stored values, the host's names, the editor's names and value texts.
#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "core/value_texts.h"

void Halvorn::setParameter(VstInt32 index, float value) {
    // Indices without a slot (2060, and any outside the four ranges) store nothing.
    if (ProgramRecord* record = currentRecord()) writeParameter(*record, index, value);
    // Placeholder until the parameter application is built: the value is only stored. Still
    // to come here: the editor's setParameter (for every index, with or without a slot),
    // then the conversion by the parameter's curve and the engine commands, once for every
    // part that plays the patch (patch parameters) or as the global's application says.
}

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
