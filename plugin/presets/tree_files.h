// Small operations on the preset directory tree, each through a file access object of
// its own: paths, probes, name files, numbered directories, the word-pair text files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CCPFileIO;
class InstallSettings;

namespace tree_files {

extern const char* const kBankNameFile;      // "NomPreset"
extern const char* const kSubBankNameFile;   // "NomBanque"
extern const char* const kPresetNameFile;    // "NomInstrument"
extern const char* const kParametersFile;    // "Parametres"
extern const char* const kFactoryMark;       // "FACTORY"

std::string join(const std::string& base, const std::string& name);
// letter followed by the number: "P3", "B0", "I12".
std::string numbered(char letter, int32_t number);
std::string bankDir(InstallSettings* settings, int32_t bank);
std::string subBankDir(const std::string& bankDir, int32_t subBank);
std::string presetDir(const std::string& bankDir, int32_t subBank, int32_t preset);

// 0 when the file opens for reading, else the open error.
int32_t probe(InstallSettings* settings, const std::string& path);
// The number of consecutive directories parent\<letter>0, 1, ... holding nameFile.
int32_t countNumbered(InstallSettings* settings, const std::string& parent, char letter, const char* nameFile);
// The first two white-space separated words of a name file (either may come back empty).
int32_t readNameWords(InstallSettings* settings, const std::string& path, std::string* first,
                      std::string* second);
// Writes text (and a zero byte when asked) through a temporary file; in mode "wb" a file
// that already holds exactly these bytes is left as it is.
int32_t writeText(InstallSettings* settings, const std::string& path, const std::string& text, bool terminator,
                  const char* mode);
int32_t makeDir(InstallSettings* settings, const std::string& base, const std::string& name);
int32_t removeDir(InstallSettings* settings, const std::string& path);
int32_t removeFile(InstallSettings* settings, const std::string& path);
// Removes parent\name with everything in it: the directory is first moved aside, so a
// later directory never shows through under its number. When the removal fails, the
// directory takes its name back and the failure is answered.
int32_t removeNumberedDir(InstallSettings* settings, const std::string& parent, const std::string& name);
int32_t renameEntry(InstallSettings* settings, const std::string& base, const std::string& from,
                    const std::string& to);
// Names of the files or subdirectories of a directory, cut to 255 characters; an error
// code when the directory cannot be counted or listed.
int32_t list(InstallSettings* settings, const std::string& dir, bool directories, std::vector<std::string>* names);

struct WordPair {
    std::string name;
    std::string value;
};
// A parameter or patch file as word pairs: a word "Nom" or one starting with '#' is
// skipped with the rest of its line; every other word is a name whose value is the next
// word. A name without a value, or a word over 255 characters, is an error.
int32_t readPairs(CCPFileIO* file, std::vector<WordPair>* pairs);

// A file whose name is a patch file's: its first five characters in capitals are "PATCH".
bool isPatchFileName(const std::string& name);

// A name as the preset bar accepts it: 1 to 31 characters, each a letter, a digit or one
// of & ( ) + - . _; other characters become '_', longer names are cut.
std::string presetBarName(const std::string& name);

// Whether a stable sort by order and a renumbering would leave these nodes and their
// numbered directories as they are.
template <typename Node, typename Order>
bool inPlace(const std::vector<Node*>& nodes, Order order) {
    for (size_t i = 0; i < nodes.size(); i++) {
        if (nodes[i]->getIndex() != (int32_t)i) return false;
        if (i > 0 && order(nodes[i], nodes[i - 1])) return false;
    }
    return true;
}

// Renumbers directories after a sort: nodes[i] moves from <letter><index> to
// <letter><i> through the bare number i, which never collides with a lettered name.
// Stops at the first failed rename with its code.
template <typename Node>
int32_t renumber(InstallSettings* settings, const std::string& parent, char letter, const std::vector<Node*>& nodes) {
    std::vector<int32_t> marked;
    for (int32_t i = 0; i < (int32_t)nodes.size(); i++) {
        if (nodes[i]->getIndex() == i) continue;
        int32_t result = renameEntry(settings, parent, numbered(letter, nodes[i]->getIndex()), std::to_string(i));
        if (result != 0) return result;
        nodes[i]->setIndex(i);
        marked.push_back(i);
    }
    for (int32_t i : marked) {
        int32_t result = renameEntry(settings, parent, std::to_string(i), numbered(letter, i));
        if (result != 0) return result;
    }
    return 0;
}

}  // namespace tree_files
