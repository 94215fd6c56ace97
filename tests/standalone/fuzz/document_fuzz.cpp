// libFuzzer harness of the program's document reader: any bytes either read as a document
// within its limits, which then writes and reads back the same, or are refused whole.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "halvorn_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string((const char*)data, size));
    HalvornDocument doc;
    if (!doc.read(in)) return 0;
    if (doc.instrumentName.size() > HalvornDocument::kMaxTextLength ||
        doc.chunk.size() > (size_t)HalvornDocument::kMaxChunkSize ||
        doc.parameters.size() > (size_t)HalvornDocument::kMaxParameters)
        std::abort();
    std::ostringstream out;
    doc.write(out);
    std::istringstream again(out.str());
    HalvornDocument copy;
    if (!copy.read(again) || copy.chunk != doc.chunk || copy.instrumentName != doc.instrumentName ||
        copy.midiChannel != doc.midiChannel || copy.lowKey != doc.lowKey)
        std::abort();
    return 0;
}
