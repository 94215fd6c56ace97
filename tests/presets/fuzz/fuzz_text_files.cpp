// The text-file readers on arbitrary bytes: words, numbers, tokens, lines and the word
// pairs of parameter and patch files.
#include <memory>
#include <vector>

#include "fuzz_support.h"
#include "presets/file_io.h"
#include "presets/stdio_file_io.h"
#include "presets/tree_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string name = fuzz::writeInput("input.txt", data, size);
    std::unique_ptr<CCPFileIO> file(createFileIO(&fuzz::settings()));
    if (file->open(name.c_str(), "rb") != 0) return 0;
    std::vector<tree_files::WordPair> pairs;
    tree_files::readPairs(file.get(), &pairs);
    file->seek(0);
    char word[32];
    float number = 0;
    int32_t whole = 0;
    char line[16];
    for (int step = 0; step < 10000; step++) {
        int32_t result;
        switch (step % 4) {
            case 0: result = file->readWord(word, sizeof(word)); break;
            case 1: result = file->readFloat(&number); break;
            case 2: result = file->readInt(&whole); break;
            default: result = file->readLine(sizeof(line), line); break;
        }
        if (result == -27 || file->eof()) break;
    }
    file->close();
    std::string first, second;
    tree_files::readNameWords(&fuzz::settings(), name, &first, &second);
    return 0;
}
