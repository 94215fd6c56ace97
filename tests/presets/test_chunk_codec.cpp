// The chunk codec on real files: the bytes it writes and what it accepts when reading.
#include <memory>

#include "presets/chunk_codec.h"
#include "presets/file_io.h"
#include "presets/store_fixture.h"

namespace {

class Chunks : public StoreFixture {
protected:
    std::string writeWith(void (*fill)(ChunkCodec&, std::vector<int>&), std::vector<int>* results) {
        std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
        EXPECT_EQ(file->open("out", "wb"), 0);
        ChunkCodec codec;
        EXPECT_EQ(codec.attach(file.get()), 0);
        fill(codec, *results);
        file->close();
        return read("out");
    }
};

TEST_F(Chunks, WritesTagBigEndianLengthAndPayload) {
    std::vector<int> results;
    std::string bytes = writeWith(
        [](ChunkCodec& codec, std::vector<int>& r) {
            r.push_back(codec.writeCount("NBSB", 7));
            r.push_back(codec.writeCount("NBPR", 150));
            r.push_back(codec.writeChunk("BANK ", "Strings"));
            r.push_back(codec.writeChunk("PARV", std::string(300, 'v').c_str()));
        },
        &results);
    EXPECT_EQ(results, (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(bytes, chunk("NBSB", "07") + chunk("NBPR", "150") + chunk("BANK", "Strings") +
                         chunk("PARV", std::string(300, 'v')));
    EXPECT_EQ((unsigned char)bytes[bytes.size() - 302], 0x01);
    EXPECT_EQ((unsigned char)bytes[bytes.size() - 301], 0x2C);
}

TEST_F(Chunks, PayloadsThatCannotBeReadBackAreNeverWritten) {
    std::vector<int> results;
    std::string bytes = writeWith(
        [](ChunkCodec& codec, std::vector<int>& r) {
            r.push_back(codec.writeChunk("PARV", "ok"));
            r.push_back(codec.writeChunk("PARV", std::string(512, 'x').c_str()));
            r.push_back(codec.writeChunk("PARV", std::string(511, 'y').c_str()));
            r.push_back(codec.writeChunk("PRST", ""));
        },
        &results);
    EXPECT_EQ(results, (std::vector<int>{0, -6, 0, -6}));
    EXPECT_EQ(bytes, chunk("PARV", "ok") + chunk("PARV", std::string(511, 'y')));
}

TEST_F(Chunks, ReaderAnswersShortReadsOversizedPayloadsAndTagMatches) {
    struct Case {
        const char* name;
        std::string bytes;
        int result;
        bool matched;
    } cases[] = {
        {"whole", chunk("BANK", "Pads"), 0, true},
        {"other tag", chunk("BANX", "Pads"), 0, false},
        {"short tag", "BAN", -2, false},
        {"no length", "BANK\x00", -2, true},
        {"empty payload", chunk("BANK", ""), -2, true},
        {"short payload", chunk("BANK", "Pads").substr(0, 8), -2, true},
        {"512 bytes", chunk("BANK", std::string(512, 'p')), -6, true},
        {"65535 bytes", std::string("BANK\xFF\xFF", 6) + "pp", -6, true},
    };
    for (const Case& c : cases) {
        write("in", c.bytes);
        std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
        ASSERT_EQ(file->open("in", "rb"), 0);
        ChunkCodec codec;
        codec.attach(file.get());
        EXPECT_EQ(codec.readChunk("BANK"), c.result) << c.name;
        if (c.result == 0 || c.bytes.size() >= 4) {
            EXPECT_EQ(codec.tagMatched(), c.matched) << c.name;
        }
        if (c.result == 0) {
            char text[ChunkCodec::kBufferSize];
            codec.getPayloadString(text);
            EXPECT_STREQ(text, "Pads") << c.name;
        }
        file->close();
    }
}

TEST_F(Chunks, AttachAndCountsFollowTheirRules) {
    ChunkCodec codec;
    EXPECT_EQ(codec.readChunk("BANK"), -1) << "no file";
    EXPECT_EQ(codec.writeChunk(), -1);
    EXPECT_EQ(codec.attach(nullptr), -1);
    std::unique_ptr<CCPFileIO> closed(createFileIO(&settings));
    EXPECT_EQ(codec.attach(closed.get()), -8);
    EXPECT_EQ(codec.setPayload("x", 512), -6);
    EXPECT_EQ(codec.setTag(nullptr), -1);

    struct Case {
        const char* payload;
        int32_t expected;
    } cases[] = {{"07", 7}, {"150", 150}, {"x1", 99}, {"-3", -3}, {"99999999999", INT32_MAX}};
    for (const Case& c : cases) {
        codec.setPayload(c.payload, (uint32_t)std::string(c.payload).size());
        int32_t value = 99;
        codec.getPayloadInt(&value);
        EXPECT_EQ(value, c.expected) << c.payload;
    }
}

}  // namespace
