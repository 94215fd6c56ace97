// The Dorvane library's exports: open and save dialogs, a message dialog, and directory
// counting, listing and removal. Plain C functions with 8-bit texts; the library keeps no
// state between calls. Callers load the library by name and look the exports up by name.
#pragma once

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

// Allocated by the library and left to the caller, which has no way to free it.
struct FileDialogResult {
    char* directory;  // the chosen path before its last backslash
    char* fileName;   // the chosen path after its last backslash
};

// Listings fill an array of pointers to caller buffers of this size; longer names are cut.
enum { kDorvaneNameSize = 256 };

// Null when the user cancels.
struct FileDialogResult* ShowOpenDialog(void);
struct FileDialogResult* ShowSaveDialog(void);
// filter: description and pattern pairs separated by '|', closed by "||".
struct FileDialogResult* ShowOpenDialogEx(const char* initialFileName, const char* filter);
struct FileDialogResult* ShowSaveDialogEx(const char* initialFileName, const char* filter);

// 1 when the first button closed the dialog, else 0; a null second label gives one button.
// The kind is not used.
int ShowDialog(int kind, const char* caption, const char* text, const char* firstLabel, const char* secondLabel);

// 0 for a directory that cannot be searched.
int GetNbDir(const char* path);
int GetNbFiles(const char* path);
// Fill at most maxNames buffers; return 0.
int GetAllList(const char* path, int maxNames, char** names);
int GetFileList(const char* path, int maxNames, char** names);
int GetDirList(const char* path, int maxNames, char** names);

// 0, or the Windows error code of the first failure. Names beginning with a point are kept.
int RemoveDir(const char* path, bool recurse);

typedef struct FileDialogResult* (*ShowFileDialogProc)(void);
typedef struct FileDialogResult* (*ShowFileDialogExProc)(const char* initialFileName, const char* filter);
typedef int (*ShowDialogProc)(int kind, const char* caption, const char* text, const char* firstLabel,
                              const char* secondLabel);
typedef int (*CountEntriesProc)(const char* path);
typedef int (*ListEntriesProc)(const char* path, int maxNames, char** names);
typedef int (*RemoveDirProc)(const char* path, bool recurse);

#ifdef __cplusplus
}
#endif
