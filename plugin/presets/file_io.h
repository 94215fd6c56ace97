// The file access interface of the preset store. One object per operation: create it
// with createFileIO, perform one operation or one open-use-close sequence, delete it.
// Paths are relative to the installation directory and use the backslash.
#pragma once

#include <cstdint>

class InstallSettings;

// Result codes shared by the preset store.
enum FileResult : int32_t {
    kFileOk = 0,
    kFileNotOpened = -1,
    kFileShortRead = -2,
    kFileWriteFailed = -3,
    kFileBadCount = -5,
    kFilePayloadTooLong = -6,
    kFileNotAttached = -8,
    kFileNullArgument = -14,
    kFileNoFileToClose = -20,
    kFileUnavailable = -21,
    kFileEnd = -27,
    kFileNoInstallDir = -28,
    kFileShortWrite = -29,
};

// Every absolute path, with its terminator, fits this many bytes; longer ones are refused.
enum { kMaxPath = 260 };

class CCPFileIO {
public:
    explicit CCPFileIO(InstallSettings* settings) : settings(settings) {}
    virtual ~CCPFileIO() {}

    // Dialogs: chosenName receives the chosen file name (without directory), cut to
    // chosenSize bytes with its terminator.
    virtual int32_t openWithOpenDialog(const char* proposedName, const char* initialFileName, const char* filter,
                                       char* chosenName, int32_t chosenSize) = 0;
    // The chosen file is written through a temporary file beside it: close puts it in
    // place, discard leaves any older file untouched.
    virtual int32_t openWithSaveDialog(const char* proposedName, const char* initialFileName,
                                       const char* filter) = 0;
    virtual int32_t open(const char* relativePath, const char* mode) = 0;
    virtual int32_t openAbsolute(const char* path, const char* mode) = 0;
    virtual int32_t close() = 0;
    virtual int32_t write(const void* buffer, int32_t itemSize, int32_t count) = 0;
    virtual int32_t read(void* buffer, int32_t itemSize, int32_t count) = 0;
    virtual int32_t eof() = 0;
    virtual int32_t removeFile(const char* relativePath) = 0;
    virtual int32_t makeDir(const char* base, const char* name) = 0;
    virtual int32_t removeDir(const char* relativePath) = 0;
    virtual int32_t rename(const char* base, const char* oldName, const char* newName) = 0;
    virtual int32_t reserved1(int32_t, int32_t) = 0;
    virtual int32_t reserved2(int32_t, int32_t) = 0;
    virtual int32_t readLine(int32_t maxChars, char* buffer) = 0;
    virtual int32_t readDecimal(int32_t* value) = 0;
    virtual int32_t readFloat(float* value) = 0;
    virtual int32_t readInt(int32_t* value) = 0;
    // The word is cut to size - 1 characters; the rest of it is consumed.
    virtual int32_t readWord(char* buffer, int32_t size) = 0;
    virtual int32_t tell(int32_t* position) = 0;
    virtual int32_t seek(int32_t position) = 0;
    virtual int32_t getState() = 0;
    virtual void flush() = 0;
    virtual int32_t getNbFiles(const char* relativeDir) = 0;
    virtual int32_t getNbDir(const char* relativeDir) = 0;
    // Name buffers of 256 bytes each; longer names are cut.
    virtual int32_t getFileList(const char* relativeDir, int32_t maxNames, char** names) = 0;
    virtual int32_t getDirList(const char* relativeDir, int32_t maxNames, char** names) = 0;
    virtual int32_t getAllList(const char* relativeDir, int32_t maxNames, char** names) = 0;

    // Opens a file that holds a user's data for writing through a temporary file in the
    // same directory; close replaces the old file only when everything was written.
    virtual int32_t openReplacing(const char* relativePath, const char* mode) = 0;
    // Closes a file opened for replacing without putting it in place.
    virtual int32_t discard() = 0;
    // Whether the installation directory can be found; shows no message.
    virtual bool installationFound() = 0;

protected:
    InstallSettings* settings;
};

// A new file access object on the settings; the caller deletes it.
CCPFileIO* createFileIO(InstallSettings* settings);

// The libraries the file access binds stay bound from the first operation while anyone
// holds them (each plug-in instance does, for its lifetime); the last release lets them go.
void holdFileAccess();
void releaseFileAccess();

// The plug-in's binding of the message dialog: 1 when closed with the first button,
// 0 otherwise, -1 when the dialog library or its export is missing.
class MessageDialog {
public:
    int32_t show(int32_t kind, const char* caption, const char* text, const char* firstLabel,
                 const char* secondLabel);
};
