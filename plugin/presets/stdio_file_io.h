// File access on the C runtime's streams and the C++ file-system library, by absolute
// paths under an installation directory: the process's current directory is never
// changed (program-change loads on the audio thread share it with the host).
#pragma once

#include <cstdio>
#include <string>

#include "presets/file_io.h"

class StdioFileIO : public CCPFileIO {
public:
    // installDir: the installation directory, used when installDir() is not overridden.
    StdioFileIO(InstallSettings* settings, const std::string& installDir);
    ~StdioFileIO() override;

    int32_t openWithOpenDialog(const char*, const char*, const char*, char*, int32_t) override;
    int32_t openWithSaveDialog(const char*, const char*, const char*) override;
    int32_t open(const char* relativePath, const char* mode) override;
    int32_t openAbsolute(const char* path, const char* mode) override;
    int32_t close() override;
    int32_t write(const void* buffer, int32_t itemSize, int32_t count) override;
    int32_t read(void* buffer, int32_t itemSize, int32_t count) override;
    int32_t eof() override;
    int32_t removeFile(const char* relativePath) override;
    int32_t makeDir(const char* base, const char* name) override;
    int32_t removeDir(const char* relativePath) override;
    int32_t rename(const char* base, const char* oldName, const char* newName) override;
    int32_t reserved1(int32_t, int32_t) override { return 0; }
    int32_t reserved2(int32_t, int32_t) override { return 0; }
    int32_t readLine(int32_t maxChars, char* buffer) override;
    int32_t readDecimal(int32_t* value) override { return readInt(value); }
    int32_t readFloat(float* value) override;
    int32_t readInt(int32_t* value) override;
    int32_t readWord(char* buffer, int32_t size) override;
    int32_t tell(int32_t* position) override;
    int32_t seek(int32_t position) override;
    int32_t getState() override { return state; }
    void flush() override;
    int32_t getNbFiles(const char* relativeDir) override;
    int32_t getNbDir(const char* relativeDir) override;
    int32_t getFileList(const char* relativeDir, int32_t maxNames, char** names) override;
    int32_t getDirList(const char* relativeDir, int32_t maxNames, char** names) override;
    int32_t getAllList(const char* relativeDir, int32_t maxNames, char** names) override;
    int32_t openReplacing(const char* relativePath, const char* mode) override;
    int32_t discard() override;
    bool installationFound() override { return !fixedInstallDir.empty(); }

    // One token of printable characters 0x21-0x7A, cut to size - 1; 0 or -27.
    int32_t readToken(char* buffer, int32_t size);

    // The temporary file beside a file being replaced: it starts neither with a point
    // (kept by directory removal) nor with "Patch" (taken for a patch file).
    static std::string temporaryName(const std::string& path);

protected:
    // The installation directory without trailing separator; 0 or -28.
    virtual int32_t installDir(std::string* dir);
    // Moves the complete temporary file over the target; true on success.
    virtual bool replaceFile(const std::string& from, const std::string& to);
    // installDir + separator + relative path, in the platform's form; -28, or -1 when it
    // does not fit kMaxPath.
    int32_t absolutePath(const char* relativePath, std::string* path);
    // Opens an absolute path for writing through its temporary file.
    int32_t openReplacingAbsolute(const std::string& path, const char* mode);

    enum ListKind { kListFiles, kListDirs, kListAll };
    int32_t countEntries(const char* relativeDir, ListKind kind);
    int32_t listEntries(const char* relativeDir, int32_t maxNames, char** names, ListKind kind);

    std::string fixedInstallDir;
    std::FILE* file = nullptr;
    int32_t state = 2;
    std::string replacingTarget;  // non-empty while the open file is a temporary one
    std::string replacingTemp;

private:
    int32_t closeBuffered();

    bool buffering = false;  // a replacing binary write held in `pending` until close
    std::string pending;
    std::string original;  // the target's bytes when it was opened
};
