#include "halvorn_document.h"

#include <locale>

namespace {

void writeInt(std::ostream& out, int value) { out << value << ' '; }

void writeText(std::ostream& out, const char* bytes, size_t length) {
    writeInt(out, (int)length);
    out.write(bytes, (std::streamsize)length);
}

bool readInt(std::istream& in, int& value) {
    long long read = 0;
    if (!(in >> read)) return false;
    if (read < INT32_MIN || read > INT32_MAX) return false;
    value = (int)read;
    return true;
}

// The length, the one blank after it, then that many bytes.
bool readBytes(std::istream& in, int maximum, std::string& bytes) {
    int length = 0;
    if (!readInt(in, length) || length < 0 || length > maximum) return false;
    if (in.get() != ' ') return false;
    bytes.assign((size_t)length, '\0');
    if (length > 0 && !in.read(&bytes[0], length)) return false;
    return true;
}

int clampInt(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

// A parameter is a fraction of its range.
float parameterInRange(float value) {
    if (!(value >= 0.f)) return 0.f;
    return value > 1.f ? 1.f : value;
}

bool textFits(const std::string& text) { return text.size() <= (size_t)HalvornDocument::kMaxTextLength; }

}  // namespace

bool HalvornDocument::write(std::ostream& out) const {
    if (!textFits(instrumentName) || !textFits(midiInName) || !textFits(outputName) || !textFits(inputName))
        return false;
    if (programForm == kFormChunk ? chunk.size() > (size_t)kMaxChunkSize
                                  : programForm != kFormParameters || parameters.size() > (size_t)kMaxParameters)
        return false;
    // The file's numbers never follow the user's locale.
    out.imbue(std::locale::classic());
    writeInt(out, formatMark);
    writeText(out, instrumentName.data(), instrumentName.size());
    writeText(out, midiInName.data(), midiInName.size());
    writeInt(out, midiChannel);
    writeInt(out, octaveShift);
    writeInt(out, keyRangeOn);
    writeInt(out, lowKey);
    writeInt(out, highKey);
    writeText(out, outputName.data(), outputName.size());
    writeText(out, inputName.data(), inputName.size());
    writeInt(out, programForm);
    if (programForm == kFormChunk) {
        writeText(out, (const char*)chunk.data(), chunk.size());
        return true;
    }
    writeInt(out, (int)parameters.size());
    for (float value : parameters) out << parameterInRange(value) << ' ';
    std::string name = programName;
    name.resize(kProgramNameSize, '\0');
    writeText(out, name.data(), name.size());
    return true;
}

bool HalvornDocument::read(std::istream& in) {
    in.imbue(std::locale::classic());
    HalvornDocument doc;
    std::string chunkBytes;
    if (!readInt(in, doc.formatMark) || !readBytes(in, kMaxTextLength, doc.instrumentName) ||
        !readBytes(in, kMaxTextLength, doc.midiInName) || !readInt(in, doc.midiChannel) ||
        !readInt(in, doc.octaveShift) || !readInt(in, doc.keyRangeOn) || !readInt(in, doc.lowKey) ||
        !readInt(in, doc.highKey) || !readBytes(in, kMaxTextLength, doc.outputName) ||
        !readBytes(in, kMaxTextLength, doc.inputName) || !readInt(in, doc.programForm))
        return false;
    if (doc.programForm == kFormChunk) {
        if (!readBytes(in, kMaxChunkSize, chunkBytes)) return false;
        doc.chunk.assign(chunkBytes.begin(), chunkBytes.end());
    } else if (doc.programForm == kFormParameters) {
        int count = 0;
        if (!readInt(in, count) || count < 0 || count > kMaxParameters) return false;
        doc.parameters.resize((size_t)count);
        for (float& value : doc.parameters) {
            if (!(in >> value)) return false;
            value = parameterInRange(value);
        }
        if (!readBytes(in, kProgramNameSize, doc.programName) || (int)doc.programName.size() != kProgramNameSize)
            return false;
    } else {
        return false;
    }
    doc.midiChannel = clampInt(doc.midiChannel, 0, 16);
    doc.octaveShift = clampInt(doc.octaveShift, -3, 3);
    doc.keyRangeOn = doc.keyRangeOn ? -1 : 0;
    doc.lowKey = clampInt(doc.lowKey, 0, 127);
    doc.highKey = clampInt(doc.highKey, 0, 127);
    *this = doc;
    return true;
}
