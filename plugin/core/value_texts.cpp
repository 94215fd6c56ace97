#include "core/value_texts.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/number_text.h"
#include "core/parameter_table.h"

namespace {

// Appends to a fixed buffer; what does not fit is cut.
class TextOut {
public:
    TextOut(char* out, size_t size) : out(out), size(size) { out[0] = 0; }

    void text(const char* words) {
        copyBoundedText(out + used, size - used, words, size);
        used += std::strlen(out + used);
    }
    void number(const char* conversion, double value) {
        used += (size_t)formatNumber(out + used, size - used, conversion, value);
    }
    void integer(const char* format, int value) {
        std::snprintf(out + used, size - used, format, value);
        used += std::strlen(out + used);
    }

private:
    char* out;
    size_t size;
    size_t used = 0;
};

// Truncation toward zero that no stored value can make undefined.
int truncated(float x) {
    if (x != x) return 0;
    if (x > 1e9f) return 1000000000;
    if (x < -1e9f) return -1000000000;
    return (int)x;
}

bool switchOn(const ProgramRecord& record, int index) { return readParameter(record, index) >= 0.5f; }

void withUnit(TextOut& out, const char* conversion, double value, const char* unit) {
    out.number(conversion, value);
    out.text(unit);
}

// A tempo-synchronised speed: the division of the beat while synchronised, else the time
// or rate with its unit.
void speedText(TextOut& out, bool synchronised, float step, float free, const char* unit) {
    int division = (int)step;  // the staircases never give 0
    if (!synchronised)
        withUnit(out, "%.2f", free, unit);
    else if (division < 0)
        out.integer("Tempo/%d", -division);
    else
        out.integer("Tempo*%d", division);
}

// dB(x): the stored value decides the floor, the curve value the level.
void decibelText(TextOut& out, float stored, float level) {
    if (stored <= 0.f)
        out.text("-200 dB");
    else
        withUnit(out, "%.2f", 20.0 * std::log10((double)level), " dB");
}

}  // namespace

void formatValueText(const ProgramRecord& record, int index, char* out, size_t size) {
    if (!out || size == 0) return;
    TextOut text(out, size);
    int patch;
    const ParameterDescriptor* descriptor = findParameter(index, &patch);
    if (!descriptor) return;
    const TextRule& rule = descriptor->text;
    float v = readParameter(record, index);
    float x = applyCurve(rule.curve, curveInput(rule.input, v));
    switch (rule.form) {
        case TextForm::none: break;
        case TextForm::fixed4: withUnit(text, "%.4f", x, " "); break;
        case TextForm::hertz: withUnit(text, "%.2f", x, " Hz"); break;
        case TextForm::milliseconds: withUnit(text, "%.2f", x, " ms"); break;
        case TextForm::decibels: decibelText(text, v, x); break;
        case TextForm::levelDb: withUnit(text, "%.2f", 60.f * v, " dB "); break;
        case TextForm::levelDbTight: withUnit(text, "%.2f", 60.f * v, " dB"); break;
        case TextForm::cents: withUnit(text, "%.4f", (x - 1.f) * 33.33f, " cent"); break;
        case TextForm::accord: text.integer("%d semitone", truncated(v * 24.f - 12.f)); break;
        case TextForm::lfoSpeed: {
            // The LFO sync of the same line: internal local 9 (line 1) or 19 (line 2).
            int local = index - kPatchParameterCount * patch;
            int sync = kPatchInternalBase + kPatchInternalCount * patch + (local < 24 ? 9 : 19);
            speedText(text, switchOn(record, sync), lfoDivisionSteps(v), lfoRateCurve(v), " Hz");
            break;
        }
        case TextForm::delaySpeed:
            speedText(text, switchOn(record, kSyncDelayIndex), lfoDivisionSteps(v), delayTimeCurve(v), " ms");
            break;
        case TextForm::arpSpeed:
            speedText(text, switchOn(record, kArpSyncIndex), delayDivisionSteps(1.f - v), delayTimeCurve(1.f - v),
                      " ms ");
            break;
        case TextForm::pan:
            withUnit(text, "%.2f", 1.f - v, " L ");
            withUnit(text, "%.2f", v, " R");
            break;
        case TextForm::partVolume:
            if (v <= 0.f)
                text.text("-200 dB");
            else if (v > 0.9999f)
                text.text("0.0 dB");
            else
                withUnit(text, "%.2f", 20.0 * std::log10((double)partVolumeCurve(v)), " dB");
            break;
        case TextForm::choice: text.text(rule.choice->words[stepOf(*rule.choice->scale, v)]); break;
        case TextForm::transpose: text.integer("%+d semitones ", transposeSteps(v)); break;
        case TextForm::bendCoarse: {
            float steps = v * 24.f;
            if (steps < 1.f)
                text.text("Vexa Linear Mode ");
            else
                text.integer("%.2d semitone", truncated(steps + 0.5f));
            break;
        }
        case TextForm::percent: withUnit(text, "%.4f", x, " %"); break;
    }
}
