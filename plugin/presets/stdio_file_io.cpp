#include "presets/stdio_file_io.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/number_text.h"
#include "presets/install_settings.h"

namespace fs = std::filesystem;

namespace {

// The separator of the paths the store builds is the backslash; the native build of the
// pure code turns it into the platform's.
std::string platformPath(std::string path) {
#ifndef _WIN32
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return path;
}

bool isScanfSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

StdioFileIO::StdioFileIO(InstallSettings* settings, const std::string& installDir)
    : CCPFileIO(settings), fixedInstallDir(installDir) {}

StdioFileIO::~StdioFileIO() {
    // An object deleted with its temporary file still open keeps the old file whole.
    if ((file || buffering) && !replacingTemp.empty()) discard();
}

int32_t StdioFileIO::installDir(std::string* dir) {
    if (fixedInstallDir.empty()) return kFileNoInstallDir;
    *dir = fixedInstallDir;
    while (!dir->empty() && (dir->back() == '\\' || dir->back() == '/')) dir->pop_back();
    return kFileOk;
}

int32_t StdioFileIO::absolutePath(const char* relativePath, std::string* path) {
    if (!relativePath) return kFileNullArgument;
    std::string dir;
    int32_t result = installDir(&dir);
    if (result != kFileOk) return result;
    std::string joined = dir + "\\" + relativePath;
    if (joined.size() >= kMaxPath) return kFileNotOpened;  // refused, never cut
    *path = platformPath(joined);
    return kFileOk;
}

int32_t StdioFileIO::openWithOpenDialog(const char*, const char*, const char*, char*, int32_t) {
    return kFileUnavailable;
}

int32_t StdioFileIO::openWithSaveDialog(const char*, const char*, const char*) { return kFileUnavailable; }

int32_t StdioFileIO::open(const char* relativePath, const char* mode) {
    if (!mode) return kFileNullArgument;
    std::string path;
    int32_t result = absolutePath(relativePath, &path);
    if (result != kFileOk) return result;
    return openAbsolute(path.c_str(), mode);
}

int32_t StdioFileIO::openAbsolute(const char* path, const char* mode) {
    if (!path || !mode) return kFileNotOpened;
    std::FILE* opened = std::fopen(path, mode);
    if (!opened) return kFileNotOpened;
    file = opened;
    state = 0;
    replacingTarget.clear();
    replacingTemp.clear();
    return kFileOk;
}

std::string StdioFileIO::temporaryName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    size_t start = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, start) + "tmp~" + path.substr(start);
}

namespace {

// The whole file, or false when it cannot be read.
bool readWhole(const std::string& path, std::string* bytes) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof(block), in)) > 0) bytes->append(block, got);
    const bool whole = !std::ferror(in);
    std::fclose(in);
    return whole;
}

}  // namespace

int32_t StdioFileIO::openReplacingAbsolute(const std::string& path, const char* mode) {
    std::string temp = temporaryName(path);
    if (temp.size() >= kMaxPath) return kFileNotOpened;
    // A binary file that exists is written in memory first: close leaves it alone when it
    // already holds exactly these bytes, since replacing a file costs the file system far
    // more than reading it (saves mostly write what is there already).
    if (std::strcmp(mode, "wb") == 0) {
        std::string existing;
        if (readWhole(path, &existing)) {
            pending.clear();
            original.swap(existing);
            buffering = true;
            state = 0;
            replacingTarget = path;
            replacingTemp = temp;
            return kFileOk;
        }
    }
    std::FILE* opened = std::fopen(temp.c_str(), mode);
    if (!opened) return kFileNotOpened;
    file = opened;
    state = 0;
    replacingTarget = path;
    replacingTemp = temp;
    return kFileOk;
}

int32_t StdioFileIO::openReplacing(const char* relativePath, const char* mode) {
    if (!mode) return kFileNullArgument;
    std::string path;
    int32_t result = absolutePath(relativePath, &path);
    if (result != kFileOk) return result;
    return openReplacingAbsolute(path, mode);
}

bool StdioFileIO::replaceFile(const std::string& from, const std::string& to) {
    std::error_code error;
    fs::rename(fs::path(from), fs::path(to), error);
    return !error;
}

int32_t StdioFileIO::closeBuffered() {
    buffering = false;
    state = 2;
    std::string temp, target, bytes, old;
    temp.swap(replacingTemp);
    target.swap(replacingTarget);
    bytes.swap(pending);
    old.swap(original);
    if (bytes == old) return kFileOk;
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) return kFileWriteFailed;
    bool complete = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    complete = std::fflush(out) == 0 && !std::ferror(out) && complete;
    complete = std::fclose(out) == 0 && complete;
    if (complete && replaceFile(temp, target)) return kFileOk;
    std::remove(temp.c_str());
    return kFileWriteFailed;
}

int32_t StdioFileIO::close() {
    if (buffering) return closeBuffered();
    if (!file) return kFileNoFileToClose;
    bool complete = std::fflush(file) == 0 && !std::ferror(file);
    complete = std::fclose(file) == 0 && complete;
    file = nullptr;
    state = 2;
    if (replacingTemp.empty()) return kFileOk;
    std::string temp, target;
    temp.swap(replacingTemp);
    target.swap(replacingTarget);
    if (complete && replaceFile(temp, target)) return kFileOk;
    std::remove(temp.c_str());
    return kFileWriteFailed;
}

int32_t StdioFileIO::discard() {
    if (buffering) {
        buffering = false;
        state = 2;
        pending.clear();
        original.clear();
        replacingTemp.clear();
        replacingTarget.clear();
        return kFileOk;
    }
    if (!file) return kFileNoFileToClose;
    std::fclose(file);
    file = nullptr;
    state = 2;
    if (!replacingTemp.empty()) std::remove(replacingTemp.c_str());
    replacingTemp.clear();
    replacingTarget.clear();
    return kFileOk;
}

int32_t StdioFileIO::write(const void* buffer, int32_t itemSize, int32_t count) {
    if (!file && !buffering) return kFileUnavailable;
    if (!buffer || itemSize < 0 || count < 0) return kFileNullArgument;
    if (buffering) {
        pending.append(static_cast<const char*>(buffer), (size_t)itemSize * (size_t)count);
        return kFileOk;
    }
    size_t written = std::fwrite(buffer, (size_t)itemSize, (size_t)count, file);
    return written == (size_t)count ? kFileOk : kFileShortWrite;
}

int32_t StdioFileIO::read(void* buffer, int32_t itemSize, int32_t count) {
    if (!file || !buffer) return kFileNullArgument;
    if (itemSize < 0 || count < 0) return kFileNullArgument;
    size_t got = std::fread(buffer, (size_t)itemSize, (size_t)count, file);
    return got == (size_t)count ? count : kFileEnd;
}

int32_t StdioFileIO::eof() {
    if (!file) return kFileUnavailable;
    return std::feof(file) ? 1 : 0;
}

int32_t StdioFileIO::removeFile(const char* relativePath) {
    std::string path;
    int32_t result = absolutePath(relativePath, &path);
    if (result != kFileOk) return result;
    std::error_code error;
    if (!fs::exists(fs::path(path), error)) return kFileOk;
    return std::remove(path.c_str()) == 0 ? kFileOk : kFileWriteFailed;
}

int32_t StdioFileIO::makeDir(const char* base, const char* name) {
    if (!base || !name) return kFileNullArgument;
    std::string path;
    int32_t result = absolutePath((std::string(base) + "\\" + name).c_str(), &path);
    if (result != kFileOk) return result;
    std::error_code error;
    fs::create_directory(fs::path(path), error);
    return fs::is_directory(fs::path(path), error) ? kFileOk : kFileWriteFailed;
}

int32_t StdioFileIO::removeDir(const char* relativePath) {
    std::string path;
    int32_t result = absolutePath(relativePath, &path);
    if (result != kFileOk) return result;
    std::error_code error;
    if (!fs::is_directory(fs::path(path), error)) return kFileUnavailable;
    fs::remove_all(fs::path(path), error);
    return error ? kFileUnavailable : kFileOk;
}

int32_t StdioFileIO::rename(const char* base, const char* oldName, const char* newName) {
    if (!base || !oldName || !newName) return kFileNullArgument;
    std::string from, to;
    int32_t result = absolutePath((std::string(base) + "\\" + oldName).c_str(), &from);
    if (result != kFileOk) return result;
    result = absolutePath((std::string(base) + "\\" + newName).c_str(), &to);
    if (result != kFileOk) return result;
    std::error_code error;
    // Never over an existing entry: renumbering relies on that.
    if (fs::exists(fs::path(to), error)) return kFileWriteFailed;
    return std::rename(from.c_str(), to.c_str()) == 0 ? kFileOk : kFileWriteFailed;
}

int32_t StdioFileIO::readLine(int32_t maxChars, char* buffer) {
    if (!file || !buffer || maxChars <= 0) return kFileNullArgument;
    if (!std::fgets(buffer, maxChars, file)) buffer[0] = 0;
    return kFileOk;
}

int32_t StdioFileIO::readWord(char* buffer, int32_t size) {
    if (!file || !buffer || size <= 0) return kFileUnavailable;
    int c;
    do {
        c = std::fgetc(file);
    } while (c != EOF && isScanfSpace(c));
    if (c == EOF) return kFileEnd;
    int32_t length = 0;
    while (c != EOF && !isScanfSpace(c)) {
        if (length < size - 1) buffer[length++] = (char)c;
        c = std::fgetc(file);
    }
    if (c != EOF) std::ungetc(c, file);
    buffer[length] = 0;
    return kFileOk;
}

int32_t StdioFileIO::readInt(int32_t* value) {
    if (!file || !value) return kFileUnavailable;
    int c;
    do {
        c = std::fgetc(file);
    } while (c != EOF && isScanfSpace(c));
    if (c == EOF) return kFileEnd;
    bool negative = false;
    if (c == '-' || c == '+') {
        negative = c == '-';
        c = std::fgetc(file);
    }
    if (c == EOF || c < '0' || c > '9') {
        // Not a number: the integer keeps its value; only the end of the file is an error.
        if (c != EOF) std::ungetc(c, file);
        return kFileOk;
    }
    int64_t number = 0;
    while (c != EOF && c >= '0' && c <= '9') {
        if (number < 0x80000000LL) number = number * 10 + (c - '0');
        c = std::fgetc(file);
    }
    if (c != EOF) std::ungetc(c, file);
    if (negative) number = -number;
    number = std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, number));
    *value = (int32_t)number;
    return kFileOk;
}

int32_t StdioFileIO::readToken(char* buffer, int32_t size) {
    if (!file || !buffer || size <= 0) return kFileUnavailable;
    auto skipped = [](int c) { return (signed char)c <= 0x20 || (signed char)c >= 0x7B; };
    int c;
    do {
        c = std::fgetc(file);
    } while (c != EOF && skipped(c));
    buffer[0] = 0;
    if (c == EOF) return kFileEnd;
    int32_t length = 0;
    while (c != EOF && !skipped(c)) {
        if (length < size - 1) buffer[length++] = (char)c;
        c = std::fgetc(file);
    }
    buffer[length] = 0;
    return c == EOF ? kFileEnd : kFileOk;
}

int32_t StdioFileIO::readFloat(float* value) {
    if (!file || !value) return kFileUnavailable;
    char token[256];
    int32_t result = readToken(token, sizeof(token));
    if (result != kFileOk) return result;
    // As atof: a token that is not a number reads as 0; the point is the separator
    // whatever the locale.
    // Only the characters of a number: a comma ends it ("0,5" reads as 0), even where
    // the process locale takes the comma for its separator.
    token[std::strspn(token, "0123456789+-.eE")] = 0;
    double number = 0;
    if (!parseNumber(token, &number)) number = 0;
    if (number > 3.4e38) number = 3.4e38;
    if (number < -3.4e38) number = -3.4e38;
    if (number != number) number = 0;
    *value = (float)number;
    return kFileOk;
}

int32_t StdioFileIO::tell(int32_t* position) {
    if (buffering && position) {
        if (pending.size() > INT32_MAX) return kFileUnavailable;
        *position = (int32_t)pending.size();
        return kFileOk;
    }
    if (!file || !position) return kFileUnavailable;
    long at = std::ftell(file);
    if (at < 0 || at > INT32_MAX) return kFileUnavailable;
    *position = (int32_t)at;
    return kFileOk;
}

int32_t StdioFileIO::seek(int32_t position) {
    if (!file) return kFileUnavailable;
    return std::fseek(file, position, SEEK_SET) == 0 ? kFileOk : kFileUnavailable;
}

void StdioFileIO::flush() {
    if (file) std::fflush(file);
}

namespace {

bool entryMatches(const fs::directory_entry& entry, int kind) {
    std::error_code error;
    bool isDir = entry.is_directory(error);
    if (kind == 0) return !isDir;
    if (kind == 1) return isDir;
    return true;
}

}  // namespace

int32_t StdioFileIO::countEntries(const char* relativeDir, ListKind kind) {
    std::string path;
    int32_t result = absolutePath(relativeDir, &path);
    if (result != kFileOk) return result;
    std::error_code error;
    int32_t count = 0;
    for (fs::directory_iterator it(fs::path(path), error), end; !error && it != end; it.increment(error))
        if (entryMatches(*it, kind)) count++;
    return count;
}

int32_t StdioFileIO::listEntries(const char* relativeDir, int32_t maxNames, char** names, ListKind kind) {
    if (!names) return kFileNullArgument;
    std::string path;
    int32_t result = absolutePath(relativeDir, &path);
    if (result != kFileOk) return result;
    std::vector<std::string> found;
    std::error_code error;
    for (fs::directory_iterator it(fs::path(path), error), end; !error && it != end; it.increment(error))
        if (entryMatches(*it, kind)) found.push_back(it->path().filename().string());
    // The directory order of the file system is arbitrary: listings are in name order.
    std::sort(found.begin(), found.end());
    for (int32_t i = 0; i < maxNames && i < (int32_t)found.size(); i++) {
        std::strncpy(names[i], found[i].c_str(), 255);
        names[i][255] = 0;
    }
    return kFileOk;
}

int32_t StdioFileIO::getNbFiles(const char* relativeDir) { return countEntries(relativeDir, kListFiles); }
int32_t StdioFileIO::getNbDir(const char* relativeDir) { return countEntries(relativeDir, kListDirs); }
int32_t StdioFileIO::getFileList(const char* relativeDir, int32_t maxNames, char** names) {
    return listEntries(relativeDir, maxNames, names, kListFiles);
}
int32_t StdioFileIO::getDirList(const char* relativeDir, int32_t maxNames, char** names) {
    return listEntries(relativeDir, maxNames, names, kListDirs);
}
int32_t StdioFileIO::getAllList(const char* relativeDir, int32_t maxNames, char** names) {
    return listEntries(relativeDir, maxNames, names, kListAll);
}
