#include "presets/chunk_codec.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "presets/file_io.h"

ChunkCodec::ChunkCodec() {
    std::memset(tag, 0, sizeof(tag));
    std::memset(header, 0, sizeof(header));
    std::memset(payload, 0, sizeof(payload));
}

int32_t ChunkCodec::setTag(const char* text) {
    if (!text) return kFileNotOpened;
    // Only the first four characters reach the file ("BANK " gives "BANK").
    std::memset(tag, 0, sizeof(tag));
    for (int i = 0; i < 4 && text[i]; i++) tag[i] = text[i];
    return kFileOk;
}

int32_t ChunkCodec::setPayload(const void* bytes, uint32_t length) {
    if (!bytes) return kFileNotOpened;
    // 512 bytes and more cannot be read back with their terminator.
    if (length >= kBufferSize) return kFilePayloadTooLong;
    std::memcpy(payload, bytes, length);
    payloadLength = (uint16_t)length;
    return kFileOk;
}

int32_t ChunkCodec::setPayloadCount(int32_t count) {
    char text[16];
    int length = std::snprintf(text, sizeof(text), "%.2d", (int)count);
    return setPayload(text, (uint32_t)length);
}

int32_t ChunkCodec::attach(CCPFileIO* attached) {
    if (!attached) return kFileNotOpened;
    file = attached;
    return attached->getState() == 0 ? kFileOk : kFileNotAttached;
}

int32_t ChunkCodec::readChunk(const char* expectedTag) {
    if (!file) return kFileNotOpened;
    if (file->read(header, 4, 1) != 1) return kFileShortRead;
    matched = expectedTag && std::strncmp((const char*)header, expectedTag, 4) == 0;
    std::memcpy(tag, header, 4);
    if (file->read(header + 4, 2, 1) != 1) return kFileShortRead;
    uint32_t length = (uint32_t)header[4] * 256 + header[5];
    // An empty payload reads as a short read; one longer than the buffers is refused
    // before anything is read into them.
    if (length == 0) return kFileShortRead;
    if (length >= kBufferSize) return kFilePayloadTooLong;
    if (file->read(payload, (int32_t)length, 1) != 1) return kFileShortRead;
    payloadLength = (uint16_t)length;
    return kFileOk;
}

int32_t ChunkCodec::writeChunk() {
    if (!file) return kFileNotOpened;
    // An empty payload could not be read back.
    if (payloadLength == 0) return kFilePayloadTooLong;
    uint8_t bytes[6];
    std::memcpy(bytes, tag, 4);
    bytes[4] = (uint8_t)(payloadLength >> 8);
    bytes[5] = (uint8_t)(payloadLength & 0xFF);
    if (file->write(bytes, 4, 1) != kFileOk) return kFileWriteFailed;
    if (file->write(bytes + 4, 2, 1) != kFileOk) return kFileWriteFailed;
    if (file->write(payload, payloadLength, 1) != kFileOk) return kFileWriteFailed;
    return kFileOk;
}

int32_t ChunkCodec::writeChunk(const char* chunkTag, const char* text) {
    if (!text) return kFileNotOpened;
    int32_t result = setTag(chunkTag);
    if (result == kFileOk) result = setPayload(text, (uint32_t)std::strlen(text));
    if (result == kFileOk) result = writeChunk();
    return result;
}

int32_t ChunkCodec::writeCount(const char* chunkTag, int32_t count) {
    int32_t result = setTag(chunkTag);
    if (result == kFileOk) result = setPayloadCount(count);
    if (result == kFileOk) result = writeChunk();
    return result;
}

int32_t ChunkCodec::getPayloadString(char* destination) const {
    if (!destination) return kFileNotOpened;
    std::memcpy(destination, payload, payloadLength);
    destination[payloadLength] = 0;
    return kFileOk;
}

void ChunkCodec::getPayloadInt(int32_t* destination) {
    if (!destination) return;
    payload[payloadLength < kBufferSize ? payloadLength : kBufferSize - 1] = 0;
    // As "%d", with a number beyond 32 bits held at the limit instead of overflowing.
    const char* text = (const char*)payload;
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    if (end == text) return;
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    *destination = (int32_t)value;
}

void ChunkCodec::flush() {
    if (file) file->flush();
}
