#include "presets/tree_files.h"

#include <cctype>
#include <memory>

#include "presets/file_io.h"
#include "presets/install_settings.h"

namespace tree_files {

const char* const kBankNameFile = "NomPreset";
const char* const kSubBankNameFile = "NomBanque";
const char* const kPresetNameFile = "NomInstrument";
const char* const kParametersFile = "Parametres";
const char* const kFactoryMark = "FACTORY";

namespace {
using FilePtr = std::unique_ptr<CCPFileIO>;
FilePtr newFile(InstallSettings* settings) { return FilePtr(createFileIO(settings)); }
}  // namespace

std::string join(const std::string& base, const std::string& name) { return base + "\\" + name; }

std::string numbered(char letter, int32_t number) { return std::string(1, letter) + std::to_string(number); }

std::string bankDir(InstallSettings* settings, int32_t bank) {
    return join(settings->getSaveDir(), numbered('P', bank));
}

std::string subBankDir(const std::string& dir, int32_t subBank) { return join(dir, numbered('B', subBank)); }

std::string presetDir(const std::string& dir, int32_t subBank, int32_t preset) {
    return join(subBankDir(dir, subBank), numbered('I', preset));
}

int32_t probe(InstallSettings* settings, const std::string& path) {
    FilePtr file = newFile(settings);
    if (!file) return kFileNotOpened;
    int32_t result = file->open(path.c_str(), "rb");
    if (result == kFileOk) file->close();
    return result;
}

int32_t countNumbered(InstallSettings* settings, const std::string& parent, char letter, const char* nameFile) {
    int32_t count = 0;
    while (probe(settings, join(join(parent, numbered(letter, count)), nameFile)) == kFileOk) count++;
    return count;
}

int32_t readNameWords(InstallSettings* settings, const std::string& path, std::string* first, std::string* second) {
    FilePtr file = newFile(settings);
    if (!file) return kFileNotOpened;
    int32_t result = file->open(path.c_str(), "rb");
    if (result != kFileOk) return result;
    char word[512];
    first->clear();
    if (second) second->clear();
    if (file->readWord(word, sizeof(word)) == kFileOk) {
        *first = word;
        if (second && file->readWord(word, sizeof(word)) == kFileOk) *second = word;
    }
    file->close();
    return kFileOk;
}

int32_t writeText(InstallSettings* settings, const std::string& path, const std::string& text, bool terminator,
                  const char* mode) {
    FilePtr file = newFile(settings);
    if (!file) return kFileNotOpened;
    int32_t result = file->openReplacing(path.c_str(), mode);
    if (result != kFileOk) return result;
    if (!text.empty()) result = file->write(text.data(), 1, (int32_t)text.size());
    if (result == kFileOk && terminator) result = file->write("", 1, 1);
    if (result != kFileOk) {
        file->discard();
        return kFileWriteFailed;
    }
    return file->close();
}

int32_t makeDir(InstallSettings* settings, const std::string& base, const std::string& name) {
    FilePtr file = newFile(settings);
    return file ? file->makeDir(base.c_str(), name.c_str()) : kFileWriteFailed;
}

int32_t removeDir(InstallSettings* settings, const std::string& path) {
    FilePtr file = newFile(settings);
    return file ? file->removeDir(path.c_str()) : kFileUnavailable;
}

int32_t removeFile(InstallSettings* settings, const std::string& path) {
    FilePtr file = newFile(settings);
    return file ? file->removeFile(path.c_str()) : kFileWriteFailed;
}

int32_t removeNumberedDir(InstallSettings* settings, const std::string& parent, const std::string& name) {
    std::string aside = "tmp~" + name;
    int32_t result = renameEntry(settings, parent, name, aside);
    if (result != kFileOk && removeDir(settings, join(parent, aside)) == kFileOk)
        result = renameEntry(settings, parent, name, aside);  // a leftover of an earlier removal was in the way
    if (result != kFileOk) return result;
    result = removeDir(settings, join(parent, aside));
    // A directory that could not go takes its name back: the deletion fails as a whole and
    // the tree, which keeps its node, still finds it.
    if (result != kFileOk) renameEntry(settings, parent, aside, name);
    return result;
}

int32_t renameEntry(InstallSettings* settings, const std::string& base, const std::string& from,
                    const std::string& to) {
    FilePtr file = newFile(settings);
    return file ? file->rename(base.c_str(), from.c_str(), to.c_str()) : kFileWriteFailed;
}

int32_t list(InstallSettings* settings, const std::string& dir, bool directories, std::vector<std::string>* names) {
    names->clear();
    FilePtr file = newFile(settings);
    if (!file) return kFileUnavailable;
    int32_t count = directories ? file->getNbDir(dir.c_str()) : file->getNbFiles(dir.c_str());
    if (count < 0) return count;
    if (count == 0) return kFileOk;
    // A directory can change between the count and the listing: one spare buffer shows
    // nothing was cut, and the buffers are counted, never trusted.
    std::vector<std::string> storage((size_t)count, std::string(256, '\0'));
    std::vector<char*> buffers;
    for (std::string& s : storage) buffers.push_back(&s[0]);
    int32_t result = directories ? file->getDirList(dir.c_str(), count, buffers.data())
                                 : file->getFileList(dir.c_str(), count, buffers.data());
    if (result < 0) return result;
    for (std::string& s : storage) {
        s[255] = 0;
        std::string name(s.c_str());
        if (!name.empty()) names->push_back(name);
    }
    return kFileOk;
}

int32_t readPairs(CCPFileIO* file, std::vector<WordPair>* pairs) {
    char word[512];
    char line[256];
    while (true) {
        int32_t result = file->readWord(word, sizeof(word));
        if (result == kFileEnd) return kFileOk;
        if (result != kFileOk) return result;
        std::string name(word);
        if (name == "Nom" || name[0] == '#') {
            file->readLine(sizeof(line), line);
            continue;
        }
        result = file->readWord(word, sizeof(word));
        if (result != kFileOk) return result;
        std::string value(word);
        if (name.size() > 255 || value.size() > 255) return kFileNotOpened;
        pairs->push_back({name, value});
    }
}

bool isPatchFileName(const std::string& name) {
    if (name.size() < 5) return false;
    const char* patch = "PATCH";
    for (int i = 0; i < 5; i++)
        if (std::toupper((unsigned char)name[i]) != patch[i]) return false;
    return true;
}

std::string presetBarName(const std::string& name) {
    std::string result;
    for (char c : name) {
        if (result.size() == 31) break;
        bool allowed = std::isalnum((unsigned char)c) && (unsigned char)c < 0x80;
        allowed = allowed || (c && std::string("&()+-._").find(c) != std::string::npos);
        result += allowed ? c : '_';
    }
    if (result.empty()) result = "_";
    return result;
}

}  // namespace tree_files
