// The stream operations of the file access objects, on real files of a temporary
// installation: reading numbers, words and items, closing, replacing files safely.
#include <clocale>
#include <cstring>
#include <memory>

#include "presets/file_io.h"
#include "presets/store_fixture.h"

namespace {

class FileIO : public StoreFixture {
protected:
    std::unique_ptr<CCPFileIO> openFile(const std::string& relative, const std::string& contents) {
        write(relative, contents);
        std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
        EXPECT_EQ(file->open(relative.c_str(), "rb"), 0) << relative;
        return file;
    }
};

TEST_F(FileIO, ReadFloatTakesTokensWithThePointWhateverTheLocale) {
    struct Case {
        const char* text;
        std::vector<int> results;
        std::vector<float> values;
    } cases[] = {
        {"1.5e-001 2.5\n", {0, 0, -27}, {0.15f, 2.5f, 2.5f}},
        {"0.75", {-27}, {-1.0f}},  // the last number without a blank after it is not stored
        {"0,5 ", {0}, {0.0f}},     // a comma is part of the token, which reads as 0
        {"\x80\x7B 3 abc ", {0, 0}, {3.0f, 0.0f}},
        {"", {-27}, {-1.0f}},
    };
    const char* locales[] = {"C", "fr_FR.UTF-8", "French"};
    for (const char* locale : locales) {
        if (!std::setlocale(LC_ALL, locale)) continue;
        for (const Case& c : cases) {
            auto file = openFile("numbers", c.text);
            float value = -1.0f;
            for (size_t i = 0; i < c.results.size(); i++) {
                EXPECT_EQ(file->readFloat(&value), c.results[i]) << c.text << " #" << i << " " << locale;
                EXPECT_FLOAT_EQ(value, c.values[i]) << c.text << " #" << i << " " << locale;
            }
            file->close();
        }
    }
    std::setlocale(LC_ALL, "C");
}

TEST_F(FileIO, ReadIntAndReadWordFollowTheStdioConversions) {
    auto file = openFile("words", "  12 -7 x 99999999999 word\n");
    int32_t value = 5;
    EXPECT_EQ(file->readInt(&value), 0);
    EXPECT_EQ(value, 12);
    EXPECT_EQ(file->readInt(&value), 0);
    EXPECT_EQ(value, -7);
    EXPECT_EQ(file->readInt(&value), 0) << "not a number: 0, the integer unchanged";
    EXPECT_EQ(value, -7);
    char word[8];
    EXPECT_EQ(file->readWord(word, sizeof(word)), 0);
    EXPECT_STREQ(word, "x");
    EXPECT_EQ(file->readInt(&value), 0);
    EXPECT_EQ(value, INT32_MAX) << "held at the limit, no overflow";
    EXPECT_EQ(file->readWord(word, 3), 0);
    EXPECT_STREQ(word, "wo") << "a long word is cut to its buffer";
    EXPECT_EQ(file->readWord(word, sizeof(word)), -27) << "the rest of the cut word was consumed";
    EXPECT_EQ(file->readInt(&value), -27);
    file->close();
}

TEST_F(FileIO, ItemReadsCountWholeItemsAndCloseNeedsAFile) {
    auto file = openFile("items", "1234567");
    char buffer[16];
    EXPECT_EQ(file->read(buffer, 1, 7), 7);
    file->seek(0);
    EXPECT_EQ(file->read(buffer, 1, 10), -27);
    EXPECT_EQ(file->close(), 0);
    EXPECT_EQ(file->close(), -20);
    EXPECT_EQ(file->read(buffer, 1, 1), -14);
    EXPECT_EQ(file->write(buffer, 1, 1), -21);
    int32_t value;
    EXPECT_EQ(file->readInt(&value), -21);
    EXPECT_EQ(file->readWord(buffer, sizeof(buffer)), -21);
    EXPECT_EQ(file->tell(&value), -21);
    EXPECT_EQ(file->getState(), 2);
}

TEST_F(FileIO, PathsThatDoNotFitAreRefusedAndNothingOpensWithoutAnInstallation) {
    std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
    std::string longName(300, 'a');
    EXPECT_EQ(file->open(longName.c_str(), "wb"), -1);
    EXPECT_EQ(file->makeDir("save", longName.c_str()), -1);
    EXPECT_FALSE(exists(longName.substr(0, 200)));
    EXPECT_EQ(file->open("save\\missing", "rb"), -1);
    EXPECT_EQ(file->open("save\\controlMidi", "rb"), 0);
    EXPECT_EQ(file->getState(), 0);
    file->close();
}

TEST_F(FileIO, FileOperationsReportFailures) {
    std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
    EXPECT_EQ(file->removeFile("save\\absent"), 0) << "an absent file is no failure";
    EXPECT_EQ(file->rename("save", "absent", "other"), -3);
    makeDir("save/A");
    makeDir("save/B");
    EXPECT_EQ(file->rename("save", "A", "B"), -3) << "never over an existing entry";
    EXPECT_EQ(file->rename("save", "A", "C"), 0);
    EXPECT_TRUE(exists("save/C"));
    EXPECT_EQ(file->makeDir("save\\controlMidi", "X"), -3) << "below a file";
    EXPECT_EQ(file->makeDir("save", "C"), 0) << "an existing directory is there";
}

TEST_F(FileIO, AReplacedFileStaysWholeUntilTheNewOneIsComplete) {
    write("save/P0/NomPreset", "Old");
    {
        std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
        ASSERT_EQ(file->openReplacing("save\\P0\\NomPreset", "wb"), 0);
        ASSERT_EQ(file->write("New", 1, 3), 0);
        EXPECT_EQ(read("save/P0/NomPreset"), "Old") << "nothing replaced before the close";
        // Deleted without a close, as by a crash or a failure mid-save.
    }
    EXPECT_EQ(read("save/P0/NomPreset"), "Old");
    EXPECT_EQ(entries("save/P0"), std::vector<std::string>{"NomPreset"}) << "no temporary file stays";

    std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
    ASSERT_EQ(file->openReplacing("save\\P0\\NomPreset", "wb"), 0);
    file->write("Newer", 1, 5);
    EXPECT_EQ(file->close(), 0);
    EXPECT_EQ(read("save/P0/NomPreset"), "Newer");
    EXPECT_EQ(entries("save/P0"), std::vector<std::string>{"NomPreset"});
}

TEST_F(FileIO, ReadLineReadsTheRestOfTheLine) {
    auto file = openFile("lines", "# comment here\nKEY 1\n");
    char word[16], line[8];
    ASSERT_EQ(file->readWord(word, sizeof(word)), 0);
    EXPECT_EQ(file->readLine(sizeof(line), line), 0);
    EXPECT_STREQ(line, " commen") << "at most maximum - 1 characters";
    file->close();
}

}  // namespace
