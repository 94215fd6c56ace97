#include "dorvane.h"

#include "dyn_dialog.h"

#include <afxdlgs.h>

#include <string.h>

#include <string>

namespace {

// Lets the dialog classes run inside the library.
class DorvaneApp : public CWinApp {
};

DorvaneApp theApp;

const char kOpenTitle[] = "Import a bank...";
const char kSaveTitle[] = "Export the current bank...";
const char kBankFileName[] = "*.wqn";
const char kBankFilter[] = "Quarnel Bank Files (*.wqn)|*.wqn||";

const UINT kMessageTextId = 302;

char* copyText(const char* text, size_t length)
{
    char* copy = new char[length + 1];
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

FileDialogResult* splitChosenPath(const char* path)
{
    const char* lastBackslash = strrchr(path, '\\');
    FileDialogResult* result = new FileDialogResult;
    if (lastBackslash) {
        result->directory = copyText(path, static_cast<size_t>(lastBackslash - path));
        result->fileName = copyText(lastBackslash + 1, strlen(lastBackslash + 1));
    } else {
        result->directory = copyText("", 0);
        result->fileName = copyText(path, strlen(path));
    }
    return result;
}

// The open dialog makes the folder the user browsed current, whatever its flags say; the
// caller's relative paths must not move with it.
class CurrentDirectoryKeeper {
public:
    CurrentDirectoryKeeper()
    {
        const DWORD size = ::GetCurrentDirectoryA(0, nullptr);
        m_saved.resize(size);
        if (size == 0 || ::GetCurrentDirectoryA(size, &m_saved[0]) >= size)
            m_saved.clear();
        else
            m_saved.resize(size - 1);
    }
    ~CurrentDirectoryKeeper()
    {
        if (!m_saved.empty())
            ::SetCurrentDirectoryA(m_saved.c_str());
    }

private:
    std::string m_saved;
};

FileDialogResult* runFileDialog(bool open, const char* title, const char* fileName, const char* filter)
{
    CurrentDirectoryKeeper keeper;
    // No default extension: a name typed without one comes back as typed. The read-only
    // check box stays visible.
    const DWORD flags = (open ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT) | OFN_NOCHANGEDIR;
    CFileDialog dialog(open, nullptr, fileName, flags, filter, nullptr);
    dialog.m_ofn.lpstrTitle = title;
    if (dialog.DoModal() != IDOK)
        return nullptr;
    return splitChosenPath(dialog.GetPathName());
}

// ---- directories

class DirectorySearch {
public:
    explicit DirectorySearch(const std::string& pattern)
        : m_handle(::FindFirstFileA(pattern.c_str(), &m_entry)),
          m_error(m_handle == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS)
    {
    }
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;
    ~DirectorySearch() { close(); }

    bool started() const { return m_handle != INVALID_HANDLE_VALUE; }
    const WIN32_FIND_DATAA& entry() const { return m_entry; }
    // False at the end of the search; error() then tells why it ended.
    bool next()
    {
        if (::FindNextFileA(m_handle, &m_entry))
            return true;
        m_error = ::GetLastError();
        return false;
    }
    DWORD error() const { return m_error; }
    void close()
    {
        if (started())
            ::FindClose(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    WIN32_FIND_DATAA m_entry;
    HANDLE m_handle;
    DWORD m_error;
};

bool isDirectory(const WIN32_FIND_DATAA& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isDotOrDotDot(const WIN32_FIND_DATAA& entry)
{
    return strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0;
}

bool isSubdirectory(const WIN32_FIND_DATAA& entry)
{
    return isDirectory(entry) && !isDotOrDotDot(entry);
}

bool isFile(const WIN32_FIND_DATAA& entry)
{
    return !isDirectory(entry);
}

bool isNamedEntry(const WIN32_FIND_DATAA& entry)
{
    return !isDotOrDotDot(entry);
}

std::string searchPattern(const char* path)
{
    std::string pattern = path;
    if (pattern.empty() || pattern.back() != '\\')
        pattern += '\\';
    return pattern + "*.*";
}

int countEntries(const char* path, bool (*counts)(const WIN32_FIND_DATAA&))
{
    if (!path)
        return 0;
    DirectorySearch search(searchPattern(path));
    if (!search.started())
        return 0;
    int count = 0;
    do {
        if (counts(search.entry()))
            ++count;
    } while (search.next());
    return count;
}

int listEntries(const char* path, int maxNames, char** names, bool (*lists)(const WIN32_FIND_DATAA&))
{
    if (!path || !names || maxNames <= 0)
        return 0;
    DirectorySearch search(searchPattern(path));
    if (!search.started())
        return 0;
    int written = 0;
    do {
        if (!lists(search.entry()))
            continue;
        // The callers' buffers hold 256 bytes; a longer name is cut to fit rather than
        // overrun them (names of up to 259 characters exist).
        if (char* buffer = names[written]) {
            const char* name = search.entry().cFileName;
            const size_t length = strnlen(name, kDorvaneNameSize - 1);
            memcpy(buffer, name, length);
            buffer[length] = '\0';
        }
        ++written;
    } while (written < maxNames && search.next());
    return 0;
}

// The path as the file system resolves it, "" when it cannot be opened.
std::string resolvedPath(const std::string& path)
{
    HANDLE handle = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::string();
    std::string resolved(MAX_PATH, '\0');
    DWORD length = ::GetFinalPathNameByHandleA(handle, &resolved[0], MAX_PATH, 0);
    if (length >= MAX_PATH) {
        resolved.resize(length);
        length = ::GetFinalPathNameByHandleA(handle, &resolved[0], length, 0);
    }
    ::CloseHandle(handle);
    resolved.resize(length < resolved.size() ? length : 0);
    return resolved;
}

// A junction or symbolic link: the system marks it as a name-surrogate reparse point.
bool isMarkedLink(const WIN32_FIND_DATAA& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(entry.dwReserved0);
}

// wine shows a link to a file as a plain file, and deleting it deletes its target; there
// the entry resolves to a path outside its folder.
bool resolvesElsewhere(const std::string& resolvedFolder, const std::string& entryPath, const char* name)
{
    if (resolvedFolder.empty())
        return false;
    const std::string resolvedEntry = resolvedPath(entryPath);
    if (resolvedEntry.empty())
        return false;
    std::string inPlace = resolvedFolder;
    if (inPlace.back() != '\\')  // a drive's root resolves with its backslash
        inPlace += '\\';
    inPlace += name;
    return ::lstrcmpiA(resolvedEntry.c_str(), inPlace.c_str()) != 0;
}

int removeFile(const std::string& entryPath)
{
    if (!::SetFileAttributesA(entryPath.c_str(), FILE_ATTRIBUTE_NORMAL))
        return static_cast<int>(::GetLastError());
    if (!::DeleteFileA(entryPath.c_str()))
        return static_cast<int>(::GetLastError());
    return 0;
}

// The link itself goes; what it leads to is never touched.
int removeLink(const WIN32_FIND_DATAA& entry, const std::string& entryPath)
{
    const BOOL removed =
        isDirectory(entry) ? ::RemoveDirectoryA(entryPath.c_str()) : ::DeleteFileA(entryPath.c_str());
    return removed ? 0 : static_cast<int>(::GetLastError());
}

}  // namespace

extern "C" {

FileDialogResult* ShowOpenDialog(void)
{
    return runFileDialog(true, kOpenTitle, kBankFileName, kBankFilter);
}

FileDialogResult* ShowSaveDialog(void)
{
    return runFileDialog(false, kSaveTitle, kBankFileName, kBankFilter);
}

FileDialogResult* ShowOpenDialogEx(const char* initialFileName, const char* filter)
{
    return runFileDialog(true, kOpenTitle, initialFileName, filter);
}

FileDialogResult* ShowSaveDialogEx(const char* initialFileName, const char* filter)
{
    return runFileDialog(false, kSaveTitle, initialFileName, filter);
}

int ShowDialog(int kind, const char* caption, const char* text, const char* firstLabel, const char* secondLabel)
{
    CDynDialogEx dialog(nullptr);
    dialog.SetCaption(caption);
    if (secondLabel) {
        dialog.SetButtonLabels(firstLabel, secondLabel);
    } else {
        dialog.SetSingleButton(true);
        dialog.SetButtonLabel(firstLabel);
    }
    const CRect textRect(5, 5, 180, 40);
    dialog.AddDlgControl("STATIC", text, WS_CHILD | WS_VISIBLE, 0, &textRect, nullptr, kMessageTextId);
    return dialog.DoModal() == IDOK ? 1 : 0;
}

int GetNbDir(const char* path)
{
    return countEntries(path, isSubdirectory);
}

int GetNbFiles(const char* path)
{
    return countEntries(path, isFile);
}

int GetAllList(const char* path, int maxNames, char** names)
{
    return listEntries(path, maxNames, names, isNamedEntry);
}

int GetFileList(const char* path, int maxNames, char** names)
{
    return listEntries(path, maxNames, names, isFile);
}

int GetDirList(const char* path, int maxNames, char** names)
{
    return listEntries(path, maxNames, names, isSubdirectory);
}

int RemoveDir(const char* path, bool recurse)
{
    if (!path)
        return ERROR_INVALID_PARAMETER;
    const std::string folder = path;
    DirectorySearch search(folder + "\\*.*");
    if (!search.started()) {
        // Nothing there is nothing to remove; a folder that cannot be read is a failure.
        const DWORD error = search.error();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : static_cast<int>(error);
    }

    const std::string resolvedFolder = resolvedPath(folder);
    bool subdirectoryLeft = false;
    do {
        const WIN32_FIND_DATAA& entry = search.entry();
        // ".", ".." and every name beginning with a point stay.
        if (entry.cFileName[0] == '.')
            continue;
        const std::string entryPath = folder + "\\" + entry.cFileName;
        int result = 0;
        if (isDirectory(entry) && !recurse) {
            subdirectoryLeft = true;
        } else if (isMarkedLink(entry)) {
            result = removeLink(entry, entryPath);
        } else if (resolvesElsewhere(resolvedFolder, entryPath, entry.cFileName)) {
            // A link that cannot be removed without reaching what it leads to.
            result = ERROR_NOT_SUPPORTED;
        } else if (isDirectory(entry)) {
            result = RemoveDir(entryPath.c_str(), recurse);
        } else {
            result = removeFile(entryPath);
        }
        if (result != 0)
            return result;
    } while (search.next());

    if (search.error() != ERROR_NO_MORE_FILES)
        return static_cast<int>(search.error());
    search.close();
    if (subdirectoryLeft)
        return 0;
    if (!::SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) || !::RemoveDirectoryA(path))
        return static_cast<int>(::GetLastError());
    return 0;
}

}  // extern "C"
