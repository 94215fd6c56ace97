// The chunk reader and the tree cache reader on arbitrary bytes.
#include <memory>

#include "fuzz_support.h"
#include "presets/chunk_codec.h"
#include "presets/file_io.h"
#include "presets/preset_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string name = fuzz::writeInput("input.dat", data, size);
    std::unique_ptr<CCPFileIO> file(createFileIO(&fuzz::settings()));
    if (file->open(name.c_str(), "rb") != 0) return 0;
    ChunkCodec codec;
    codec.attach(file.get());
    char text[ChunkCodec::kBufferSize];
    int32_t count = 0;
    while (codec.readChunk("BANK") == 0) {
        codec.getPayloadString(text);
        codec.getPayloadInt(&count);
    }
    file->close();

    static PresetTree* tree = new PresetTree(&fuzz::settings());
    file.reset(createFileIO(&fuzz::settings()));
    if (file->open(name.c_str(), "rb") != 0) return 0;
    tree->readCache(file.get());
    file->close();
    tree->clear();
    return 0;
}
