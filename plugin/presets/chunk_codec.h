// The chunk: four tag bytes, a 16-bit big-endian payload length, the payload. The unit of
// the bank exchange file and of the tree cache.
#pragma once

#include <cstdint>

class CCPFileIO;

class ChunkCodec {
public:
    // Payloads are shorter than this: the buffers that receive a payload with its
    // terminator hold 512 bytes.
    enum { kBufferSize = 512 };

    ChunkCodec();

    int32_t setTag(const char* text);
    int32_t setPayload(const void* bytes, uint32_t length);
    // Count text "%.2d": at least two digits.
    int32_t setPayloadCount(int32_t count);
    int32_t attach(CCPFileIO* file);
    // Forgets the file (before it is deleted): later reads and writes answer -1.
    void detach() { file = nullptr; }
    int32_t readChunk(const char* expectedTag);
    bool tagMatched() const { return matched; }
    int32_t writeChunk();
    // Tag and payload in one call; the first error answers.
    int32_t writeChunk(const char* tag, const char* text);
    int32_t writeCount(const char* tag, int32_t count);
    int32_t getPayloadString(char* destination) const;
    // Leaves the integer unchanged when the payload is not a number.
    void getPayloadInt(int32_t* destination);
    void flush();

    const char* getTag() const { return tag; }
    uint16_t getPayloadLength() const { return payloadLength; }
    const uint8_t* getPayload() const { return payload; }

private:
    char tag[4];
    uint16_t payloadLength = 0;
    uint8_t header[kBufferSize];
    CCPFileIO* file = nullptr;
    bool matched = false;
    uint8_t payload[kBufferSize];
};
