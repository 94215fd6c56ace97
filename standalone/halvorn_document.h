// The program's documents (".halvorn"): an instrument's name, its MIDI and routing settings
// and its program, as a text stream. Integers are written in decimal and floats in the
// C library's general notation with six significant digits, each followed by one blank;
// a text is its length in bytes, a blank and the bytes, with nothing after them.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

struct HalvornDocument {
    // Limits of what a document may hold. The program's chunk is 5,392 bytes and names are
    // short: anything far beyond is a damaged or hostile file, refused whole.
    static const int kMaxTextLength = 1024;
    static const int kMaxChunkSize = 1 << 20;
    static const int kMaxParameters = 4096;
    static const int kProgramNameSize = 25;

    enum ProgramForm { kFormChunk = 0, kFormParameters = 1 };

    int formatMark = 1;
    std::string instrumentName;
    std::string midiInName = "none";
    int midiChannel = 0;  // 0 = all, 1 to 16
    int octaveShift = 0;  // -3 to 3
    int keyRangeOn = 0;   // -1 on, 0 off
    int lowKey = 0;
    int highKey = 127;
    std::string outputName;
    std::string inputName;
    int programForm = kFormChunk;
    std::vector<uint8_t> chunk;     // form 0
    std::vector<float> parameters;  // form 1
    std::string programName;        // form 1: 25 bytes as the plug-in wrote them

    // Writes the document; false, writing nothing, when it breaks a limit of the reader, so
    // that no document is written that could not be opened again. Parameter values are
    // brought into 0 to 1 as the reader brings them.
    bool write(std::ostream& out) const;
    // Reads a whole document; false for a stream that ends early or breaks a limit, and
    // the document is then left as it was. Values outside their ranges (channel, octave,
    // keys) are brought into them.
    bool read(std::istream& in);
};
