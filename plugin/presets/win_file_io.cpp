#include "presets/win_file_io.h"

#include <windows.h>

#include <cstring>
#include <mutex>

#include "dorvane.h"
#include "presets/install_settings.h"

namespace {

// Loading Dorvane costs tens of milliseconds under wine, and constructing one instance
// alone performs about nine file operations. So the library stays bound while any holder
// (an instance) lives: the first operation binds it, the last holder's release lets it go.
// With no holder an operation binds it for its own time only.
struct DorvaneBinding {
    std::mutex lock;
    HMODULE module = nullptr;
    int holders = 0;
    int operations = 0;  // operations using `module` now

    // Under the lock.
    void releaseIfUnused() {
        if (module && holders == 0 && operations == 0) {
            FreeLibrary(module);
            module = nullptr;
        }
    }
};

DorvaneBinding& dorvaneBinding() {
    static DorvaneBinding binding;
    return binding;
}

// The Dorvane library for the time of one operation.
class DorvaneLibrary {
public:
    // quiet: no message box when the library is missing (the message dialog itself).
    explicit DorvaneLibrary(bool quiet) {
        DorvaneBinding& binding = dorvaneBinding();
        {
            std::lock_guard<std::mutex> guard(binding.lock);
            if (!binding.module) binding.module = LoadLibraryA("Dorvane");
            module = binding.module;
            if (module) binding.operations++;
        }
        if (!module && !quiet) MessageBoxA(nullptr, "Impossible to find Dorvane.dll", "Alert !", MB_OKCANCEL);
    }
    ~DorvaneLibrary() {
        if (!module) return;
        DorvaneBinding& binding = dorvaneBinding();
        std::lock_guard<std::mutex> guard(binding.lock);
        binding.operations--;
        binding.releaseIfUnused();
    }
    DorvaneLibrary(const DorvaneLibrary&) = delete;
    DorvaneLibrary& operator=(const DorvaneLibrary&) = delete;

    bool loaded() const { return module != nullptr; }
    template <typename Proc>
    Proc find(const char* name) const {
        return module ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    }

private:
    HMODULE module;
};

int32_t fromExport(int32_t result) { return result == -1 ? kFileUnavailable : result; }

// Every operation reads the installation directory from the registry. While holders live
// the key stays open, so that a read costs one question to the registry rather than an
// open, a read and a close (under wine each a round trip to its server). A read that fails
// on the open key (a key deleted and made again, say) opens it anew before it answers.
struct InstallKey {
    std::mutex lock;
    HKEY key = nullptr;
    std::string path;

    // Under the lock.
    void close() {
        if (key) RegCloseKey(key);
        key = nullptr;
        path.clear();
    }
};

InstallKey& installKey() {
    static InstallKey cached;
    return cached;
}

bool fileAccessHeld() {
    DorvaneBinding& binding = dorvaneBinding();
    std::lock_guard<std::mutex> guard(binding.lock);
    return binding.holders > 0;
}

// At most kMaxPath bytes of the value into buffer.
LONG queryInstallDir(HKEY key, char* buffer, DWORD* size, DWORD* type) {
    std::memset(buffer, 0, kMaxPath + 1);
    *size = kMaxPath;
    *type = 0;
    return RegQueryValueExA(key, "installdir", nullptr, type, reinterpret_cast<BYTE*>(buffer), size);
}

}  // namespace

CCPFileIO* createFileIO(InstallSettings* settings) { return new (std::nothrow) CWinFileIO(settings); }

void holdFileAccess() {
    DorvaneBinding& binding = dorvaneBinding();
    std::lock_guard<std::mutex> guard(binding.lock);
    binding.holders++;
}

void releaseFileAccess() {
    bool last;
    {
        DorvaneBinding& binding = dorvaneBinding();
        std::lock_guard<std::mutex> guard(binding.lock);
        if (binding.holders > 0) binding.holders--;
        last = binding.holders == 0;
        binding.releaseIfUnused();
    }
    if (!last) return;
    InstallKey& cached = installKey();
    std::lock_guard<std::mutex> guard(cached.lock);
    cached.close();
}

CWinFileIO::CWinFileIO(InstallSettings* settings) : StdioFileIO(settings, std::string()) {}

bool CWinFileIO::readInstallDir(const InstallSettings& settings, std::string* dir) {
    const std::string& path = settings.getRegistryKey();
    char buffer[kMaxPath + 1];
    DWORD size = 0;
    DWORD type = 0;
    LONG result = ERROR_FILE_NOT_FOUND;
    {
        const bool keep = fileAccessHeld();
        InstallKey& cached = installKey();
        std::lock_guard<std::mutex> guard(cached.lock);
        if (cached.key && (cached.path != path || !keep)) cached.close();
        if (cached.key) {
            result = queryInstallDir(cached.key, buffer, &size, &type);
            if (result != ERROR_SUCCESS) cached.close();
        }
        if (result != ERROR_SUCCESS) {
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
            result = queryInstallDir(key, buffer, &size, &type);
            if (keep) {
                cached.key = key;
                cached.path = path;
            } else {
                RegCloseKey(key);
            }
        }
    }
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    // A registry text need not carry its terminator.
    buffer[size < (DWORD)kMaxPath ? size : (DWORD)kMaxPath] = 0;
    std::string text(buffer);
    while (!text.empty() && (text.back() == '\\' || text.back() == '/')) text.pop_back();
    if (text.empty()) return false;
    *dir = text;
    return true;
}

bool CWinFileIO::installationFound() {
    std::string dir;
    return readInstallDir(*settings, &dir);
}

int32_t CWinFileIO::installDir(std::string* dir) {
    if (!dir) return kFileNullArgument;
    if (readInstallDir(*settings, dir)) return kFileOk;
    MessageBoxA(nullptr, settings->getNotInstalledMessage().c_str(), "Alert", MB_OK);
    return kFileNoInstallDir;
}

bool CWinFileIO::replaceFile(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

int32_t CWinFileIO::runDialog(bool save, const char* initialFileName, const char* filter, char* chosenName,
                              int32_t chosenSize) {
    std::string initial = initialFileName ? initialFileName : settings->getDialogFileName();
    std::string filterText = filter ? filter : settings->getDialogFilter();
    DorvaneLibrary library(false);
    if (!library.loaded()) return kFileUnavailable;
    auto show = library.find<ShowFileDialogExProc>(save ? "ShowSaveDialogEx" : "ShowOpenDialogEx");
    if (!show) return kFileUnavailable;
    FileDialogResult* chosen = show(initial.c_str(), filterText.c_str());
    if (!chosen || !chosen->directory || !chosen->fileName) return kFileUnavailable;
    // Joined as one absolute path, the current directory untouched; a drive root ("C:")
    // or a directory with its own backslash joins without doubling it.
    std::string path = chosen->directory;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += "\\";
    path += chosen->fileName;
    if (!save && chosenName && chosenSize > 0) {
        std::strncpy(chosenName, chosen->fileName, (size_t)chosenSize - 1);
        chosenName[chosenSize - 1] = 0;
    }
    if (path.size() >= kMaxPath) return kFileNotOpened;
    return save ? openReplacingAbsolute(path, "wb") : openAbsolute(path.c_str(), "rb");
}

int32_t CWinFileIO::openWithOpenDialog(const char*, const char* initialFileName, const char* filter, char* chosenName,
                                       int32_t chosenSize) {
    return runDialog(false, initialFileName, filter, chosenName, chosenSize);
}

int32_t CWinFileIO::openWithSaveDialog(const char*, const char* initialFileName, const char* filter) {
    return runDialog(true, initialFileName, filter, nullptr, 0);
}

int32_t CWinFileIO::removeDir(const char* relativePath) {
    DorvaneLibrary library(false);
    if (!library.loaded()) return kFileUnavailable;
    std::string path;
    int32_t result = absolutePath(relativePath, &path);
    if (result != kFileOk) return result;
    auto remove = library.find<RemoveDirProc>("RemoveDir");
    if (!remove) return kFileUnavailable;
    return fromExport(remove(path.c_str(), true));
}

int32_t CWinFileIO::countWith(const char* exportName, const char* relativeDir) {
    DorvaneLibrary library(false);
    if (!library.loaded()) return kFileUnavailable;
    std::string path;
    int32_t result = absolutePath(relativeDir, &path);
    if (result != kFileOk) return result;
    auto count = library.find<CountEntriesProc>(exportName);
    if (!count) return kFileUnavailable;
    return fromExport(count(path.c_str()));
}

int32_t CWinFileIO::listWith(const char* exportName, const char* relativeDir, int32_t maxNames, char** names) {
    if (!names) return kFileNullArgument;
    DorvaneLibrary library(false);
    if (!library.loaded()) return kFileUnavailable;
    std::string path;
    int32_t result = absolutePath(relativeDir, &path);
    if (result != kFileOk) return result;
    auto listing = library.find<ListEntriesProc>(exportName);
    if (!listing) return kFileUnavailable;
    return fromExport(listing(path.c_str(), maxNames, names));
}

int32_t CWinFileIO::getNbFiles(const char* relativeDir) { return countWith("GetNbFiles", relativeDir); }
int32_t CWinFileIO::getNbDir(const char* relativeDir) { return countWith("GetNbDir", relativeDir); }
int32_t CWinFileIO::getFileList(const char* relativeDir, int32_t maxNames, char** names) {
    return listWith("GetFileList", relativeDir, maxNames, names);
}
int32_t CWinFileIO::getDirList(const char* relativeDir, int32_t maxNames, char** names) {
    return listWith("GetDirList", relativeDir, maxNames, names);
}
int32_t CWinFileIO::getAllList(const char* relativeDir, int32_t maxNames, char** names) {
    return listWith("GetAllList", relativeDir, maxNames, names);
}

int32_t MessageDialog::show(int32_t kind, const char* caption, const char* text, const char* firstLabel,
                            const char* secondLabel) {
    DorvaneLibrary library(true);
    auto dialog = library.find<ShowDialogProc>("ShowDialog");
    if (!dialog) return -1;
    return dialog(kind, caption, text, firstLabel, secondLabel);
}
