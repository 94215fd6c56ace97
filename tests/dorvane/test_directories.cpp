// The built Dorvane.dll: its export table and version, and the directory exports on
// temporary trees.
#include "dorvane/dorvane_support.h"

#include <dorvane.h>
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

using namespace dorvane_test;

namespace {

class Dorvane : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(library.handle(), nullptr) << "Dorvane.dll beside the test";
        getNbDir = library.proc<CountEntriesProc>("GetNbDir");
        getNbFiles = library.proc<CountEntriesProc>("GetNbFiles");
        getAllList = library.proc<ListEntriesProc>("GetAllList");
        getFileList = library.proc<ListEntriesProc>("GetFileList");
        getDirList = library.proc<ListEntriesProc>("GetDirList");
        removeDir = library.proc<RemoveDirProc>("RemoveDir");
        ASSERT_TRUE(getNbDir && getNbFiles && getAllList && getFileList && getDirList && removeDir);
    }

    Library library;
    CountEntriesProc getNbDir = nullptr;
    CountEntriesProc getNbFiles = nullptr;
    ListEntriesProc getAllList = nullptr;
    ListEntriesProc getFileList = nullptr;
    ListEntriesProc getDirList = nullptr;
    RemoveDirProc removeDir = nullptr;
};

// Name buffers of 256 bytes as the plug-in gives them, with a guard area behind each to
// catch writes past the 256 bytes, all filled with a marker.
class NameBuffers {
public:
    static const size_t kGuard = 64;

    explicit NameBuffers(int count) : storage(static_cast<size_t>(count)), pointers(static_cast<size_t>(count))
    {
        for (size_t index = 0; index < storage.size(); ++index) {
            storage[index].assign(kDorvaneNameSize + kGuard, '#');
            pointers[index] = &storage[index][0];
        }
    }

    char** array() { return pointers.data(); }
    bool untouched(int index) const { return storage[static_cast<size_t>(index)].front() == '#'; }
    bool guardIntact(int index) const
    {
        const std::string& buffer = storage[static_cast<size_t>(index)];
        return std::all_of(buffer.begin() + kDorvaneNameSize, buffer.end(), [](char c) { return c == '#'; });
    }
    std::string name(int index) const { return storage[static_cast<size_t>(index)].c_str(); }
    // The names written, up to the first untouched buffer.
    std::multiset<std::string> written() const
    {
        std::multiset<std::string> names;
        for (int index = 0; index < static_cast<int>(storage.size()) && !untouched(index); ++index)
            names.insert(name(index));
        return names;
    }

private:
    std::vector<std::string> storage;
    std::vector<char*> pointers;
};

}  // namespace

TEST_F(Dorvane, ExportsElevenFunctionsByNameWithFixedOrdinals)
{
    const std::map<std::string, WORD> expected = {
        {"ShowOpenDialog", 1}, {"ShowSaveDialog", 2}, {"ShowDialog", 3},        {"GetNbDir", 4},
        {"GetNbFiles", 5},     {"GetAllList", 6},     {"GetFileList", 7},       {"GetDirList", 8},
        {"RemoveDir", 9},      {"ShowOpenDialogEx", 10}, {"ShowSaveDialogEx", 11},
    };

    const BYTE* base = reinterpret_cast<const BYTE*>(library.handle());
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(entry.VirtualAddress, 0u);
    const IMAGE_EXPORT_DIRECTORY* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const DWORD* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    const WORD* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);

    std::map<std::string, WORD> found;
    for (DWORD index = 0; index < exports->NumberOfNames; ++index)
        found[reinterpret_cast<const char*>(base + names[index])] = static_cast<WORD>(exports->Base + ordinals[index]);
    EXPECT_EQ(found, expected);
    EXPECT_EQ(exports->NumberOfFunctions, 11u);

    for (const auto& nameAndOrdinal : expected) {
        FARPROC byName = GetProcAddress(library.handle(), nameAndOrdinal.first.c_str());
        FARPROC byOrdinal = GetProcAddress(library.handle(), MAKEINTRESOURCEA(nameAndOrdinal.second));
        EXPECT_NE(byName, nullptr) << nameAndOrdinal.first;
        EXPECT_EQ(byName, byOrdinal) << nameAndOrdinal.first;
    }
}

TEST_F(Dorvane, VersionResource)
{
    const std::string path = programDir() + "Dorvane.dll";
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);

    char* description = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\FileDescription",
                               reinterpret_cast<void**>(&description), &length));
    EXPECT_STREQ(description, "Dorvane DLL");
}

TEST_F(Dorvane, CountsFilesAndSubdirectories)
{
    TempTree tree;
    tree.writeFile("a.txt");
    tree.writeFile("b");
    tree.writeFile(".hidden");
    tree.makeDir("one");
    tree.makeDir("two");
    tree.makeDir(".dotdir");
    tree.writeFile("one\\inner");
    TempTree onlyFiles;
    onlyFiles.writeFile("x");
    TempTree empty;

    struct Case {
        std::string path;
        int dirs;
        int files;
    } const cases[] = {
        {tree.root(), 3, 3},  // "." and ".." are not counted; names beginning with a point are
        {tree.root() + "\\", 3, 3},
        {tree.path("one"), 0, 1},
        {onlyFiles.root(), 0, 1},
        {empty.root(), 0, 0},
        {tree.path("missing"), 0, 0},
        {tree.path("a.txt"), 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(getNbDir(c.path.c_str()), c.dirs) << c.path;
        EXPECT_EQ(getNbFiles(c.path.c_str()), c.files) << c.path;
    }
    EXPECT_EQ(getNbDir(nullptr), 0);
    EXPECT_EQ(getNbFiles(nullptr), 0);
}

TEST_F(Dorvane, ListsNamesIntoTheCallersBuffers)
{
    TempTree tree;
    for (const char* file : {"f1", "f2", "f3", "f4", "f5"})
        tree.writeFile(file);
    tree.makeDir("d1");
    tree.makeDir("d2");
    const std::multiset<std::string> files = {"f1", "f2", "f3", "f4", "f5"};
    const std::multiset<std::string> dirs = {"d1", "d2"};
    std::multiset<std::string> all = files;
    all.insert(dirs.begin(), dirs.end());

    {
        NameBuffers names(10);
        EXPECT_EQ(getFileList(tree.root().c_str(), 10, names.array()), 0);
        EXPECT_EQ(names.written(), files);
        EXPECT_TRUE(names.untouched(5));
    }
    {
        NameBuffers names(10);
        EXPECT_EQ(getDirList((tree.root() + "\\").c_str(), 10, names.array()), 0);
        EXPECT_EQ(names.written(), dirs);
        EXPECT_TRUE(names.untouched(2));
    }
    {
        NameBuffers names(10);
        EXPECT_EQ(getAllList(tree.root().c_str(), 10, names.array()), 0);
        EXPECT_EQ(names.written(), all);
        EXPECT_TRUE(names.untouched(7));
    }
    {
        // The maximum stops the listing.
        NameBuffers names(5);
        EXPECT_EQ(getFileList(tree.root().c_str(), 2, names.array()), 0);
        EXPECT_FALSE(names.untouched(0));
        EXPECT_FALSE(names.untouched(1));
        EXPECT_TRUE(names.untouched(2));
        EXPECT_EQ(files.count(names.name(0)), 1u);
        EXPECT_EQ(files.count(names.name(1)), 1u);
        EXPECT_NE(names.name(0), names.name(1));
    }
    for (int maximum : {0, -1}) {
        NameBuffers names(3);
        EXPECT_EQ(getAllList(tree.root().c_str(), maximum, names.array()), 0);
        EXPECT_TRUE(names.untouched(0));
    }
    {
        NameBuffers names(3);
        EXPECT_EQ(getFileList(tree.path("missing").c_str(), 3, names.array()), 0);
        EXPECT_EQ(getDirList(nullptr, 3, names.array()), 0);
        EXPECT_TRUE(names.untouched(0));
        EXPECT_EQ(getAllList(tree.root().c_str(), 3, nullptr), 0);
    }
}

TEST_F(Dorvane, ListedNamesStayInside256Bytes)
{
    // The longest name the file systems here hold: 255 characters and the terminator fill
    // the buffer exactly, and nothing is written behind it. (The path passes MAX_PATH.)
    TempTree tree;
    const std::string longName(255, 'n');
    const std::wstring longPath = L"\\\\?\\" + std::wstring(tree.root().begin(), tree.root().end()) + L"\\" +
                                  std::wstring(longName.begin(), longName.end());
    HANDLE file = CreateFileW(longPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    NameBuffers names(2);
    EXPECT_EQ(getFileList(tree.root().c_str(), 2, names.array()), 0);
    EXPECT_EQ(names.name(0), longName);
    EXPECT_TRUE(names.guardIntact(0));
    DeleteFileW(longPath.c_str());
}

TEST_F(Dorvane, RemovesATreeWithReadOnlyFiles)
{
    TempTree tree;
    tree.makeDir("bank");
    tree.writeFile("bank\\NomPreset", "name", true);
    tree.makeDir("bank\\B0");
    tree.writeFile("bank\\B0\\NomBanque");
    tree.makeDir("bank\\B0\\I0");
    tree.writeFile("bank\\B0\\I0\\patch", "p", true);
    tree.makeDir("bank\\B0\\I0\\deeper");
    tree.makeDir("bank\\B1");
    SetFileAttributesA(tree.path("bank\\B1").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(removeDir(tree.path("bank").c_str(), true), 0);
    EXPECT_FALSE(tree.exists("bank"));

    // With the path's own backslash the search pattern holds two; that is searched alike.
    tree.makeDir("again");
    tree.writeFile("again\\file");
    EXPECT_EQ(removeDir((tree.path("again") + "\\").c_str(), true), 0);
    EXPECT_FALSE(tree.exists("again"));
}

TEST_F(Dorvane, WithoutRecursionFilesGoAndSubdirectoriesStay)
{
    TempTree tree;
    tree.makeDir("top");
    tree.writeFile("top\\file", "x", true);
    tree.makeDir("top\\sub");
    tree.writeFile("top\\sub\\inner");

    EXPECT_EQ(removeDir(tree.path("top").c_str(), false), 0);
    EXPECT_FALSE(tree.exists("top\\file"));
    EXPECT_TRUE(tree.exists("top\\sub\\inner"));
    EXPECT_TRUE(tree.exists("top"));

    // Without subdirectories the folder itself goes too.
    tree.writeFile("top\\sub\\more");
    EXPECT_EQ(removeDir(tree.path("top\\sub").c_str(), false), 0);
    EXPECT_FALSE(tree.exists("top\\sub"));
}

TEST_F(Dorvane, NamesBeginningWithAPointAreKept)
{
    TempTree tree;
    tree.makeDir("top");
    tree.writeFile("top\\.keep");
    tree.makeDir("top\\.git");
    tree.writeFile("top\\.git\\config");
    tree.writeFile("top\\plain");

    EXPECT_EQ(removeDir(tree.path("top").c_str(), true), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(tree.exists("top\\plain"));
    EXPECT_TRUE(tree.exists("top\\.keep"));
    EXPECT_TRUE(tree.exists("top\\.git\\config"));

    // A subdirectory that keeps one stops the removal with that code.
    tree.makeDir("outer");
    tree.makeDir("outer\\inner");
    tree.writeFile("outer\\inner\\.dot");
    EXPECT_EQ(removeDir(tree.path("outer").c_str(), true), ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(tree.exists("outer\\inner\\.dot"));
}

TEST_F(Dorvane, AMissingFolderIsNothingToRemoveButAnUnreadableOneFails)
{
    TempTree tree;
    EXPECT_EQ(removeDir(tree.path("missing").c_str(), true), 0);
    EXPECT_EQ(removeDir(tree.path("missing\\deeper").c_str(), true), 0);
    // A folder that cannot be searched is a failure, not a success.
    EXPECT_NE(removeDir(tree.path("bad|name").c_str(), true), 0);
    EXPECT_EQ(removeDir(nullptr, true), ERROR_INVALID_PARAMETER);
}

namespace {

// A symbolic link made the way the platform allows: under wine by the host's ln, else by
// the system call. False when neither can make one.
bool makeLink(const std::string& target, const std::string& link, bool directory)
{
    typedef char*(CDECL * UnixNameProc)(const WCHAR*);
    UnixNameProc unixName = reinterpret_cast<UnixNameProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) {
        const DWORD flags = (directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2;  // unprivileged
        return CreateSymbolicLinkA(link.c_str(), target.c_str(), flags) &&
               GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    auto toUnix = [&](const std::string& path) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        char* name = unixName(wide);
        std::string result = name ? name : "";
        HeapFree(GetProcessHeap(), 0, name);
        return result;
    };
    std::string command = "Z:\\bin\\ln -s \"" + toUnix(target) + "\" \"" + toUnix(link) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // wine cannot wait for a host program: watch for the link instead.
    for (int attempt = 0; attempt < 500; ++attempt) {
        WIN32_FIND_DATAA entry;
        HANDLE found = FindFirstFileA(link.c_str(), &entry);
        if (found != INVALID_HANDLE_VALUE) {
            FindClose(found);
            return true;
        }
        Sleep(10);
    }
    return false;
}

}  // namespace

TEST_F(Dorvane, LinksAreNeverFollowedOutOfTheTree)
{
    for (bool directory : {true, false}) {
        SCOPED_TRACE(directory ? "link to a folder" : "link to a file");
        // Trees of their own: cleaning up a link under wine may reach its target.
        TempTree outside;
        outside.makeDir("folder");
        outside.writeFile("folder\\precious");
        TempTree tree;
        tree.makeDir("top");
        tree.writeFile("top\\own");
        const std::string target = outside.path(directory ? "folder" : "folder\\precious");
        if (!makeLink(target, tree.path("top\\link"), directory))
            GTEST_SKIP() << "no symbolic links on this system";

        const int result = removeDir(tree.path("top").c_str(), true);
        EXPECT_TRUE(outside.exists("folder\\precious"));
        // Either the link itself went, or its removal failed and was reported.
        EXPECT_EQ(result == 0, !tree.exists("top\\link")) << result;
        EXPECT_EQ(result == 0, !tree.exists("top")) << result;
    }
}
