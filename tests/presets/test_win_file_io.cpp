// The Windows file access: the installation directory from the registry, the Dorvane
// library loaded by name and kept bound while held, its dialogs and its message dialog,
// shown as real windows and answered by a watcher thread.
#include <windows.h>

#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "dorvane/dorvane_support.h"
#include "host/module_loads.h"
#include "presets/file_io.h"
#include "presets/store_fixture.h"

namespace {

using dorvane_test::DialogWatcher;

const char kNotInstalled[] = "Your Halvorn is not correcty installed";
const char kChildVariable[] = "HALVORN_PRESETS_CHILD";

BOOL CALLBACK collectText(HWND child, LPARAM list) {
    char text[256] = {0};
    GetWindowTextA(child, text, sizeof(text));
    reinterpret_cast<std::vector<std::string>*>(list)->push_back(text);
    return TRUE;
}

// The texts of a message box's or dialog's controls.
std::vector<std::string> controlTexts(HWND dialog) {
    std::vector<std::string> texts;
    EnumChildWindows(dialog, collectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void closeWith(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

std::string currentDirectory() {
    char dir[MAX_PATH] = {0};
    GetCurrentDirectoryA(MAX_PATH, dir);
    return dir;
}

using WinFileIO = StoreFixture;

TEST_F(WinFileIO, AMissingInstallationShowsItsMessageAndAnswers28) {
    unregister();
    std::string before = currentDirectory();
    struct Case {
        const char* name;
        int32_t (*run)(CCPFileIO*);
    } cases[] = {
        {"open", [](CCPFileIO* f) { return f->open("save\\controlMidi", "rb"); }},
        {"removeFile", [](CCPFileIO* f) { return f->removeFile("save\\controlMidi"); }},
        {"makeDir", [](CCPFileIO* f) { return f->makeDir("save", "X"); }},
        {"rename", [](CCPFileIO* f) { return f->rename("save", "controlMidi", "other"); }},
        {"removeDir", [](CCPFileIO* f) { return f->removeDir("save"); }},
        {"getNbFiles", [](CCPFileIO* f) { return f->getNbFiles("save"); }},
    };
    for (const Case& c : cases) {
        std::vector<std::string> texts;
        DialogWatcher watcher("Alert", [&](HWND box) {
            texts = controlTexts(box);
            closeWith(box, IDOK);
        });
        std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
        EXPECT_EQ(c.run(file.get()), -28) << c.name;
        ASSERT_TRUE(watcher.saw()) << c.name;
        EXPECT_TRUE(contains(texts, kNotInstalled)) << c.name;
        EXPECT_TRUE(contains(texts, "OK")) << c.name;
    }
    EXPECT_TRUE(exists("save/controlMidi"));
    EXPECT_EQ(currentDirectory(), before);
}

TEST_F(WinFileIO, ARegistryTextWithoutTerminatorIsReadWhole) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, settings.getRegistryKey().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::string withSlash = root + "\\";
    RegSetValueExA(key, "installdir", 0, REG_SZ, (const BYTE*)withSlash.data(), (DWORD)withSlash.size());
    RegCloseKey(key);
    std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
    EXPECT_EQ(file->open("save\\controlMidi", "rb"), 0);
    file->close();
}

TEST_F(WinFileIO, DirectoryOperationsGoThroughDorvane) {
    write("save/a", "");
    write("save/b", "");
    makeDir("save/P0");
    makeDir("save/P1/B0");
    std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
    EXPECT_EQ(file->getNbFiles("save"), 3);
    EXPECT_EQ(file->getNbDir("save"), 2);
    std::vector<std::string> storage(4, std::string(256, '\0'));
    char* names[4];
    for (int i = 0; i < 4; i++) names[i] = &storage[i][0];
    EXPECT_EQ(file->getDirList("save", 4, names), 0);
    std::vector<std::string> listed = {names[0], names[1]};
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"P0", "P1"}));
    EXPECT_EQ(file->getFileList("save", 4, nullptr), -14);
    EXPECT_EQ(file->removeDir("save\\P1"), 0);
    EXPECT_FALSE(exists("save/P1"));
}

TEST_F(WinFileIO, DorvaneStaysBoundWhileHeldAndGoesWithTheLastHolder) {
    makeDir("save/P0");
    ModuleLoads dorvane(L"Dorvane.dll");
    ASSERT_TRUE(dorvane.watching());
    ASSERT_EQ(GetModuleHandleA("Dorvane.dll"), nullptr);
    auto countDirs = [&]() { return std::unique_ptr<CCPFileIO>(createFileIO(&settings))->getNbDir("save"); };
    // Unheld, an operation binds the library for its own time only.
    EXPECT_EQ(countDirs(), 1);
    EXPECT_EQ(dorvane.loads(), 1);
    EXPECT_EQ(dorvane.unloads(), 1);

    // Two holders, as two instances: one load across every operation of both.
    holdFileAccess();
    holdFileAccess();
    for (int round = 0; round < 3; round++) {
        std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
        EXPECT_EQ(file->getNbDir("save"), 1);
        EXPECT_EQ(file->getNbFiles("save"), 1);
    }
    {
        DialogWatcher watcher("Held", [](HWND dialog) { closeWith(dialog, IDOK); });
        EXPECT_EQ(MessageDialog().show(1, "Held", "x", "OK", nullptr), 1);
        ASSERT_TRUE(watcher.saw());
    }
    EXPECT_EQ(dorvane.loads(), 2);
    releaseFileAccess();
    EXPECT_EQ(countDirs(), 1);
    EXPECT_EQ(dorvane.unloads(), 1) << "still bound for the remaining holder";
    EXPECT_NE(GetModuleHandleA("Dorvane.dll"), nullptr);
    releaseFileAccess();
    EXPECT_EQ(dorvane.loads(), 2);
    EXPECT_EQ(dorvane.unloads(), 2);
    EXPECT_EQ(GetModuleHandleA("Dorvane.dll"), nullptr);
}

TEST_F(WinFileIO, TheMessageDialogAnswersWhichButtonClosedIt) {
    for (int id : {IDOK, IDCANCEL}) {
        std::vector<std::string> texts;
        DialogWatcher watcher("Import failed", [&](HWND dialog) {
            texts = controlTexts(dialog);
            closeWith(dialog, id);
        });
        EXPECT_EQ(MessageDialog().show(1, "Import failed", "Your file seems to be corrupted !", "OK", "No"),
                  id == IDOK ? 1 : 0);
        ASSERT_TRUE(watcher.saw());
        EXPECT_TRUE(contains(texts, "Your file seems to be corrupted !"));
    }
}

TEST_F(WinFileIO, DialogsOpenTheChosenFileByItsFullPath) {
    const char kSaveTitle[] = "Export the current bank...";
    const char kOpenTitle[] = "Import a bank...";
    std::string before = currentDirectory();
    // Cancelled: -21 and no file.
    {
        DialogWatcher watcher(kSaveTitle, [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
        std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
        EXPECT_EQ(file->openWithSaveDialog("x", nullptr, nullptr), -21);
        ASSERT_TRUE(watcher.saw());
        EXPECT_EQ(file->getState(), 2);
    }
    // A file at a drive's root, where the dialog answers the directory "C:".
    const std::string rootFile = "C:\\halvorn-presets-root.ays";
    std::filesystem::remove(rootFile);
    {
        DialogWatcher watcher(kSaveTitle, [&](HWND dialog) {
            SetDlgItemTextA(dialog, 0x47C, rootFile.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
        ASSERT_EQ(file->openWithSaveDialog("x", nullptr, nullptr), 0);
        ASSERT_TRUE(watcher.saw());
        file->write("bank", 1, 4);
        EXPECT_FALSE(std::filesystem::exists(rootFile)) << "in place only once complete";
        EXPECT_EQ(file->close(), 0);
    }
    {
        DialogWatcher watcher(kOpenTitle, [&](HWND dialog) {
            SetDlgItemTextA(dialog, 0x47C, rootFile.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
        char chosen[8];
        ASSERT_EQ(file->openWithOpenDialog("x", nullptr, nullptr, chosen, sizeof(chosen)), 0);
        ASSERT_TRUE(watcher.saw());
        EXPECT_STREQ(chosen, "halvorn") << "cut to the caller's buffer";
        char text[8] = {0};
        EXPECT_EQ(file->read(text, 1, 4), 4);
        EXPECT_STREQ(text, "bank");
        file->close();
    }
    std::filesystem::remove(rootFile);
    EXPECT_EQ(currentDirectory(), before);
}

// Runs in a copy of this program in a folder without Dorvane.dll (see below).
TEST(DorvaneMissingChild, DirectoryOperationsSayItAndTheMessageDialogFailsQuietly) {
    if (!GetEnvironmentVariableA(kChildVariable, nullptr, 0)) GTEST_SKIP() << "runs as a child only";
    InstallSettings settings("VEXA");
    settings.setInstallInfo("Software\\Vantrope\\Halvorn", kNotInstalled);
    // Held, as an instance holds it: a missing library is looked for, and reported, at
    // every operation.
    holdFileAccess();
    std::unique_ptr<CCPFileIO> file(createFileIO(&settings));
    struct Case {
        const char* name;
        int32_t (*run)(CCPFileIO*);
    } cases[] = {
        {"removeDir", [](CCPFileIO* f) { return f->removeDir("save\\P0"); }},
        {"getNbDir", [](CCPFileIO* f) { return f->getNbDir("save"); }},
        {"getDirList", [](CCPFileIO* f) {
             char name[256];
             char* names[1] = {name};
             return f->getDirList("save", 1, names);
         }},
    };
    for (const Case& c : cases) {
        std::vector<std::string> texts;
        DialogWatcher watcher("Alert !", [&](HWND box) {
            texts = controlTexts(box);
            closeWith(box, IDCANCEL);
        });
        EXPECT_EQ(c.run(file.get()), -21) << c.name;
        ASSERT_TRUE(watcher.saw()) << c.name;
        EXPECT_TRUE(contains(texts, "Impossible to find Dorvane.dll")) << c.name;
        EXPECT_TRUE(contains(texts, "Cancel")) << c.name;
    }
    EXPECT_EQ(file->getFileList("save", 1, nullptr), -14) << "refused before the library is looked for";
    EXPECT_EQ(MessageDialog().show(1, "Import failed", "x", "OK", nullptr), -1);
    releaseFileAccess();
    if (!::testing::Test::HasFailure()) std::ofstream(std::string(kChildVariable) + ".done") << "ok";
}

TEST_F(WinFileIO, AMissingDorvaneLibraryIsReported) {
    char self[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    makeDir("alone");
    std::string copy = path("alone/presets_child.exe");
    ASSERT_TRUE(CopyFileA(self, copy.c_str(), FALSE));
    SetEnvironmentVariableA(kChildVariable, "1");
    std::string command = "\"" + copy + "\" --gtest_filter=DorvaneMissingChild.*";
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string workDir = path("alone");
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, workDir.c_str(), &startup,
                               &process));
    SetEnvironmentVariableA(kChildVariable, nullptr);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(exists(std::string("alone/") + kChildVariable + ".done")) << "the child ran its test";
}

}  // namespace
