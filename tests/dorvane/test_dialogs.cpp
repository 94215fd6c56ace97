// The built Dorvane.dll's dialogs under wine, driven from a second thread: the message
// dialog and the open and save dialogs.
#include "dorvane/dorvane_support.h"

#include <dorvane.h>
#include <gtest/gtest.h>

#include <string>

using namespace dorvane_test;

namespace {

// Control ids of the system's file dialog.
const int kFileNameBox = 0x47C;
const int kFileTypeBox = 0x470;
const int kReadOnlyBox = 0x410;

const char kOpenTitle[] = "Import a bank...";
const char kSaveTitle[] = "Export the current bank...";

class DorvaneDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(library.handle(), nullptr) << "Dorvane.dll beside the test";
        showDialog = library.proc<ShowDialogProc>("ShowDialog");
        showOpenDialog = library.proc<ShowFileDialogProc>("ShowOpenDialog");
        showSaveDialog = library.proc<ShowFileDialogProc>("ShowSaveDialog");
        showOpenDialogEx = library.proc<ShowFileDialogExProc>("ShowOpenDialogEx");
        showSaveDialogEx = library.proc<ShowFileDialogExProc>("ShowSaveDialogEx");
        ASSERT_TRUE(showDialog && showOpenDialog && showSaveDialog && showOpenDialogEx && showSaveDialogEx);
    }

    Library library;
    ShowDialogProc showDialog = nullptr;
    ShowFileDialogProc showOpenDialog = nullptr;
    ShowFileDialogProc showSaveDialog = nullptr;
    ShowFileDialogExProc showOpenDialogEx = nullptr;
    ShowFileDialogExProc showSaveDialogEx = nullptr;
};

// Types a full path into the file dialog and confirms it. Posted: a sent OK would wait on
// the overwrite prompt.
void choose(HWND dialog, const std::string& path)
{
    SetDlgItemTextA(dialog, kFileNameBox, path.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

void cancel(HWND dialog)
{
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

std::string currentDirectory()
{
    char dir[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, dir);
    return dir;
}

// Keeps the test's current directory somewhere the dialogs have no reason to go.
class ElsewhereAsCurrent {
public:
    ElsewhereAsCurrent() : saved(currentDirectory()) { SetCurrentDirectoryA(elsewhere.root().c_str()); }
    ~ElsewhereAsCurrent() { SetCurrentDirectoryA(saved.c_str()); }
    const std::string& dir() const { return elsewhere.root(); }

private:
    TempTree elsewhere;
    std::string saved;
};

bool sameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST_F(DorvaneDialogs, MessageDialogAnswersOneOnlyForTheFirstButton)
{
    enum Action { kFirst, kSecond, kCloseBox };
    struct Case {
        const char* caption;
        const char* secondLabel;
        Action action;
        int answer;
    } const cases[] = {
        {"One button, first", nullptr, kFirst, 1},
        {"One button, close box", nullptr, kCloseBox, 0},
        {"Two buttons, first", "Cancel", kFirst, 1},
        {"Two buttons, second", "Cancel", kSecond, 0},
        {"Two buttons, close box", "Cancel", kCloseBox, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        std::string text, first, second;
        bool secondPresent = false, textPlaced = false, firstPlaced = false, secondPlaced = false, sized = false;
        DialogWatcher watcher(c.caption, [&](HWND dialog) {
            text = controlText(dialog, 302);
            first = controlText(dialog, IDOK);
            secondPresent = GetDlgItem(dialog, IDCANCEL) != nullptr;
            second = controlText(dialog, IDCANCEL);
            textPlaced = sameRect(controlRect(dialog, 302), dialogUnits(dialog, 5, 5, 180, 40));
            const RECT firstUnits = c.secondLabel ? dialogUnits(dialog, 10, 28, 60, 42)
                                                  : dialogUnits(dialog, 65, 28, 115, 42);
            firstPlaced = sameRect(controlRect(dialog, IDOK), firstUnits);
            secondPlaced = sameRect(controlRect(dialog, IDCANCEL), dialogUnits(dialog, 95, 28, 145, 42));
            RECT client;
            GetClientRect(dialog, &client);
            sized = sameRect(client, dialogUnits(dialog, 0, 0, 185, 45));
            if (c.action == kCloseBox)
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            else
                SendDlgItemMessageA(dialog, c.action == kFirst ? IDOK : IDCANCEL, BM_CLICK, 0, 0);
        });
        const int answer =
            showDialog(1, c.caption, "Your file seems to be corrupted !", "OK", c.secondLabel);
        ASSERT_TRUE(watcher.saw());
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(text, "Your file seems to be corrupted !");
        EXPECT_EQ(first, "OK");
        EXPECT_TRUE(textPlaced);
        EXPECT_TRUE(firstPlaced);
        EXPECT_TRUE(sized);
        EXPECT_EQ(secondPresent, c.secondLabel != nullptr);
        if (c.secondLabel) {
            EXPECT_EQ(second, c.secondLabel);
            EXPECT_TRUE(secondPlaced);
        }
    }
}

TEST_F(DorvaneDialogs, OpenDialogSplitsTheChosenPathAndKeepsTheCurrentDirectory)
{
    TempTree banks;
    banks.writeFile("My bank.ays");
    ElsewhereAsCurrent current;

    std::string initialName, firstType;
    bool readOnlyShown = false;
    DialogWatcher watcher(kOpenTitle, [&](HWND dialog) {
        initialName = controlText(dialog, kFileNameBox);
        char type[256] = "";
        SendDlgItemMessageA(dialog, kFileTypeBox, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(type));
        firstType = type;
        readOnlyShown = IsWindowVisible(GetDlgItem(dialog, kReadOnlyBox)) != FALSE;
        choose(dialog, banks.path("My bank.ays"));
    });
    FileDialogResult* result = showOpenDialogEx("start.ays", "Exchange Files (*.ays)|*.ays|All (*.*)|*.*||");
    ASSERT_TRUE(watcher.saw());
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result->directory, banks.root().c_str());
    EXPECT_STREQ(result->fileName, "My bank.ays");
    EXPECT_EQ(initialName, "start.ays");
    EXPECT_EQ(firstType, "Exchange Files (*.ays)");
    EXPECT_TRUE(readOnlyShown);
    EXPECT_EQ(currentDirectory(), current.dir());
}

TEST_F(DorvaneDialogs, CancelledDialogsGiveNothing)
{
    ElsewhereAsCurrent current;
    for (bool open : {true, false}) {
        DialogWatcher watcher(open ? kOpenTitle : kSaveTitle, [&](HWND dialog) { cancel(dialog); });
        FileDialogResult* result = open ? showOpenDialogEx("x.ays", "A|*.ays||") : showSaveDialogEx("x.ays", "A|*.ays||");
        ASSERT_TRUE(watcher.saw());
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(currentDirectory(), current.dir());
    }
}

TEST_F(DorvaneDialogs, OpenDialogWantsAnExistingFile)
{
    TempTree banks;
    bool complained = false;
    DialogWatcher watcher(kOpenTitle, [&](HWND dialog) {
        choose(dialog, banks.path("missing.ays"));
        // The system's complaint is owned by the dialog, which then stays open.
        if (HWND complaint = waitForDialog(nullptr, dialog, 10000)) {
            complained = true;
            PostMessageA(complaint, WM_COMMAND, IDOK, 0);
            while (IsWindow(complaint))
                Sleep(10);
        }
        cancel(dialog);
    });
    EXPECT_EQ(showOpenDialogEx("", "A|*.ays||"), nullptr);
    ASSERT_TRUE(watcher.saw());
    EXPECT_TRUE(complained);
}

TEST_F(DorvaneDialogs, SaveDialogReturnsTheNameAsTyped)
{
    TempTree banks;
    ElsewhereAsCurrent current;
    struct Case {
        std::string path;
        std::string directory;
        std::string fileName;
    } const cases[] = {
        {banks.path("noext"), banks.root(), "noext"},  // no default extension is added
        {banks.path("bank.wqn"), banks.root(), "bank.wqn"},
        {"C:\\dorvane-root.ays", "C:", "dorvane-root.ays"},  // a drive's root: the drive alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        DialogWatcher watcher(kSaveTitle, [&](HWND dialog) { choose(dialog, c.path); });
        FileDialogResult* result = showSaveDialogEx("start.ays", "A|*.ays||");
        ASSERT_TRUE(watcher.saw());
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->directory, c.directory);
        EXPECT_EQ(result->fileName, c.fileName);
        EXPECT_EQ(currentDirectory(), current.dir());
    }
}

TEST_F(DorvaneDialogs, SaveDialogAsksBeforeOverwriting)
{
    TempTree banks;
    banks.writeFile("taken.ays");
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "yes" : "no");
        bool asked = false;
        DialogWatcher watcher(kSaveTitle, [&](HWND dialog) {
            choose(dialog, banks.path("taken.ays"));
            HWND prompt = waitForDialog(nullptr, dialog, 10000);
            if (!prompt)
                return cancel(dialog);
            asked = true;
            PostMessageA(prompt, WM_COMMAND, overwrite ? IDYES : IDNO, 0);
            if (!overwrite) {
                while (IsWindow(prompt))
                    Sleep(10);
                cancel(dialog);
            }
        });
        FileDialogResult* result = showSaveDialogEx("", "A|*.ays||");
        ASSERT_TRUE(watcher.saw());
        EXPECT_TRUE(asked);
        if (overwrite) {
            ASSERT_NE(result, nullptr);
            EXPECT_STREQ(result->fileName, "taken.ays");
        } else {
            EXPECT_EQ(result, nullptr);
        }
    }
}

TEST_F(DorvaneDialogs, PlainDialogsOfferBankFiles)
{
    TempTree banks;
    banks.writeFile("factory.wqn");
    for (bool open : {true, false}) {
        SCOPED_TRACE(open ? "open" : "save");
        std::string initialName, firstType, button;
        DialogWatcher watcher(open ? kOpenTitle : kSaveTitle, [&](HWND dialog) {
            initialName = controlText(dialog, kFileNameBox);
            button = controlText(dialog, IDOK);
            char type[256] = "";
            SendDlgItemMessageA(dialog, kFileTypeBox, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(type));
            firstType = type;
            choose(dialog, banks.path(open ? "factory.wqn" : "new.wqn"));
        });
        FileDialogResult* result = open ? showOpenDialog() : showSaveDialog();
        ASSERT_TRUE(watcher.saw());
        ASSERT_NE(result, nullptr);
        EXPECT_STREQ(result->directory, banks.root().c_str());
        EXPECT_STREQ(result->fileName, open ? "factory.wqn" : "new.wqn");
        EXPECT_EQ(initialName, "*.wqn");
        EXPECT_EQ(firstType, "Quarnel Bank Files (*.wqn)");
        // The system's own open or save dialog, told apart by its button.
        EXPECT_NE(button.find(open ? "Open" : "Save"), std::string::npos) << button;
    }
}
