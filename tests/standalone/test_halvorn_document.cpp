// The program's documents as text: the layout byte for byte, the reader's limits, and the
// writer's agreement with them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "halvorn_document.h"

namespace {

std::string written(const HalvornDocument& doc) {
    std::ostringstream out;
    doc.write(out);
    return out.str();
}

bool readBack(const std::string& text, HalvornDocument& doc) {
    std::istringstream in(text);
    return doc.read(in);
}

TEST(HalvornDocument, ChunkDocumentLayout) {
    HalvornDocument doc;
    doc.instrumentName = "Halvorn";
    doc.midiChannel = 2;
    doc.octaveShift = -1;
    doc.keyRangeOn = -1;
    doc.lowKey = 36;
    doc.highKey = 96;
    doc.outputName = "Out 1";
    doc.chunk = {'a', ' ', 0, 'z'};
    const std::string expected = std::string("1 7 Halvorn4 none2 -1 -1 36 96 5 Out 10 0 4 a \0z", 48);
    EXPECT_EQ(written(doc), expected);
    HalvornDocument back;
    ASSERT_TRUE(readBack(expected, back));
    EXPECT_EQ(back.chunk, doc.chunk);
    EXPECT_EQ(back.outputName, "Out 1");
    EXPECT_EQ(back.inputName, "");
    EXPECT_EQ(back.keyRangeOn, -1);
    EXPECT_EQ(written(back), expected);
}

TEST(HalvornDocument, ParameterDocumentLayout) {
    HalvornDocument doc;
    doc.instrumentName = "X";
    doc.programForm = HalvornDocument::kFormParameters;
    doc.parameters = {0.5f, 0.123456789f, 1.f};
    doc.programName = "Init";
    std::string text = written(doc);
    const std::string prefix = "1 1 X4 none0 0 0 0 127 0 0 1 3 0.5 0.123457 1 25 Init";
    ASSERT_EQ(text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(text.size(), prefix.size() + 21);
    HalvornDocument back;
    ASSERT_TRUE(readBack(text, back));
    ASSERT_EQ(back.parameters.size(), 3u);
    EXPECT_FLOAT_EQ(back.parameters[1], 0.123457f);
    EXPECT_EQ(back.programName.size(), 25u);
}

TEST(HalvornDocument, OutOfRangeSettingsAreBroughtIntoRange) {
    HalvornDocument doc;
    ASSERT_TRUE(readBack("1 1 X4 none99 -9 5 -4 300 0 0 1 2 -1 7 25 " + std::string(25, 'n'), doc));
    EXPECT_EQ(doc.midiChannel, 16);
    EXPECT_EQ(doc.octaveShift, -3);
    EXPECT_EQ(doc.keyRangeOn, -1);
    EXPECT_EQ(doc.lowKey, 0);
    EXPECT_EQ(doc.highKey, 127);
    EXPECT_EQ(doc.parameters, (std::vector<float>{0.f, 1.f}));
}

TEST(HalvornDocument, DamagedOrHostileDocumentsAreRefusedWhole) {
    const std::string head = "1 7 Halvorn4 none0 0 0 0 127 0 0 ";
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"name longer than the file", "1 2000000000 Halvorn"},
        // Whole documents but for one text or chunk over its limit.
        {"name over the limit", "1 1025 " + std::string(1025, 'x') + "4 none0 0 0 0 127 0 0 0 0 "},
        {"output name over the limit", "1 7 Halvorn4 none0 0 0 0 127 5000 " + std::string(5000, 'o') + "0 0 0 "},
        {"chunk over the limit", head + "0 1048577 " + std::string(1048577, 'c')},
        {"negative length", "1 -1 Halvorn"},
        {"length beyond an int", "1 99999999999 x"},
        {"no blank after the length", "1 7XHalvorn"},
        {"chunk of gigabytes", head + "0 2097152000 abc"},
        {"chunk cut short", head + "0 5392 abc"},
        {"negative parameter count", head + "1 -3 "},
        {"parameter count over the limit", head + "1 5000 0.5"},
        {"parameters cut short", head + "1 3 0.5 0.5"},
        {"program name of 24 bytes", head + "1 0 24 " + std::string(24, 'n')},
        {"program name cut short", head + "1 0 25 abc"},
        {"unknown form", head + "2 0 "},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.name);
        HalvornDocument doc;
        doc.instrumentName = "kept";
        EXPECT_FALSE(readBack(bad.text, doc));
        EXPECT_EQ(doc.instrumentName, "kept");
    }
}

// Every document the writer takes, the reader takes back as it was; one that breaks a
// reader's limit is not written at all.
TEST(HalvornDocument, TheWriterWritesOnlyWhatTheReaderTakesBack) {
    const std::string longest(HalvornDocument::kMaxTextLength, 'x'), tooLong(HalvornDocument::kMaxTextLength + 1, 'x');
    auto chunkDoc = [](size_t size) {
        HalvornDocument doc;
        doc.instrumentName = "Halvorn";
        doc.chunk.assign(size, 'c');
        return doc;
    };
    auto parameterDoc = [](size_t count) {
        HalvornDocument doc;
        doc.instrumentName = "Many";
        doc.programForm = HalvornDocument::kFormParameters;
        doc.parameters.assign(count, 0.5f);
        return doc;
    };
    auto named = [](int which, const std::string& name) {
        HalvornDocument doc;
        std::string* texts[] = {&doc.instrumentName, &doc.midiInName, &doc.outputName, &doc.inputName};
        *texts[which] = name;
        return doc;
    };
    HalvornDocument unknownForm;
    unknownForm.programForm = 2;
    const struct {
        const char* name;
        HalvornDocument doc;
        bool writes;
    } cases[] = {
        {"chunk of the limit", chunkDoc(HalvornDocument::kMaxChunkSize), true},
        {"chunk over the limit", chunkDoc(HalvornDocument::kMaxChunkSize + 1), false},
        {"parameters of the limit", parameterDoc(HalvornDocument::kMaxParameters), true},
        {"5000 parameters", parameterDoc(5000), false},
        {"instrument name of the limit", named(0, longest), true},
        {"instrument name over the limit", named(0, tooLong), false},
        {"MIDI-in name over the limit", named(1, tooLong), false},
        {"output name over the limit", named(2, tooLong), false},
        {"input name of the limit", named(3, longest), true},
        {"input name over the limit", named(3, tooLong), false},
        {"unknown program form", unknownForm, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ostringstream out;
        EXPECT_EQ(c.doc.write(out), c.writes);
        if (!c.writes) {
            EXPECT_TRUE(out.str().empty()) << "nothing written";
            continue;
        }
        HalvornDocument back;
        ASSERT_TRUE(readBack(out.str(), back));
        EXPECT_EQ(written(back), out.str());
    }
}

// Values the reader would refuse in the file (not a number, infinities) are written as the
// reader brings the others into range.
TEST(HalvornDocument, ParameterValuesAreWrittenAsTheReaderTakesThem) {
    const float inf = std::numeric_limits<float>::infinity();
    HalvornDocument doc;
    doc.instrumentName = "X";
    doc.programForm = HalvornDocument::kFormParameters;
    doc.parameters = {std::nanf(""), inf, -inf, 2.f, -0.5f, 1e-40f, 0.25f};
    std::string text = written(doc);
    HalvornDocument back;
    ASSERT_TRUE(readBack(text, back)) << text;
    ASSERT_EQ(back.parameters.size(), 7u);
    const float expected[] = {0.f, 1.f, 0.f, 1.f, 0.f, 1e-40f, 0.25f};
    for (size_t i = 0; i < 7; i++) EXPECT_FLOAT_EQ(back.parameters[i], expected[i]) << i;
}

}  // namespace
