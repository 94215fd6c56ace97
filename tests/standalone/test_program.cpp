// The standalone program in its own process, in a temporary installation: it starts,
// finds the instrument, opens its frame with the editor, plays MIDI from its seam, opens
// and saves documents, and refuses what it cannot use with its messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "halvorn_document.h"
#include "program_run.h"
#include "standalone_fixture.h"

namespace {

const DWORD kExitNoInstrument = (DWORD)-1;

std::string tempPath(const char* name) {
    char dir[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "halvorn-program-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

// The instrument's program chunk after the given parameter changes, from the built plug-in.
std::vector<uint8_t> chunkWith(const std::vector<std::pair<int, float>>& parameters) {
    TestHost host;
    std::vector<uint8_t> chunk;
    if (!host.load(TestHost::pluginPath(10)) || !host.create("main")) return chunk;
    for (const auto& parameter : parameters) host.effect()->setParameter(host.effect(), parameter.first, parameter.second);
    void* data = nullptr;
    VstIntPtr size = host.dispatch(effGetChunk, 0, 0, &data);
    if (data && size > 0) chunk.assign((uint8_t*)data, (uint8_t*)data + size);
    host.close();
    return chunk;
}

void clearInstruments() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantrope");
}

void clearSettings() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn"); }

class Program : public testing::Test {
protected:
    void SetUp() override {
        clearSettings();
        install = new StandaloneInstall(10, true, false);
    }
    void TearDown() override {
        delete install;
        clearSettings();
    }
    StandaloneInstall* install = nullptr;
};

TEST_F(Program, StartsWithTheInstalledInstrumentInAFrameSizedToTheEditor) {
    ProgramRun program;
    ASSERT_TRUE(program.start());
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    HWND view = GetDlgItem(frame, 0x7A1);
    ASSERT_NE(view, nullptr);
    HWND toolbar = FindWindowExA(frame, nullptr, "ToolbarWindow32", nullptr);
    ASSERT_NE(toolbar, nullptr);
    // The editor's window inside the view, and the view the editor's size below the toolbar.
    EXPECT_NE(GetWindow(view, GW_CHILD), nullptr);
    RECT viewRect, barRect, client;
    GetWindowRect(view, &viewRect);
    GetWindowRect(toolbar, &barRect);
    GetClientRect(frame, &client);
    EXPECT_EQ(viewRect.right - viewRect.left, 1008);
    EXPECT_EQ(viewRect.bottom - viewRect.top, 620);
    EXPECT_EQ(client.right, 1008);
    EXPECT_EQ(client.bottom, 620 + (barRect.bottom - barRect.top));
    // The toolbar spans the frame, its last controls (the meter, then the panic button) in it.
    EXPECT_EQ(barRect.right - barRect.left, 1008);
    RECT meterRect;
    GetWindowRect(GetDlgItem(toolbar, 155), &meterRect);
    EXPECT_GT(meterRect.right, meterRect.left);
    EXPECT_LE(meterRect.right + 23, barRect.right) << "room for the panic button after the meter";
    // Fixed size: no sizing border, no maximise box.
    LONG style = GetWindowLongA(frame, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(GetMenu(frame), nullptr);
    // No MIDI input on this machine: "All" alone, and the list disabled.
    HWND midiIn = GetDlgItem(toolbar, 142);
    EXPECT_EQ(SendMessageA(midiIn, CB_GETCOUNT, 0, 0), 1);
    EXPECT_FALSE(IsWindowEnabled(midiIn));
    EXPECT_EQ(SendMessageA(GetDlgItem(toolbar, 144), CB_GETCOUNT, 0, 0), 17);

    EXPECT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
    // No audio settings were stored: nothing was selected, and only the knob mode is written.
    HKEY settings;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn\\Settings", 0, KEY_READ, &settings), 0);
    DWORD knobMode = 99, size = sizeof(knobMode);
    EXPECT_EQ(RegQueryValueExA(settings, "knobmode", nullptr, nullptr, (BYTE*)&knobMode, &size), 0);
    EXPECT_EQ(knobMode, 0u);
    for (const char* name : {"protocol", "driver", "latency", "srate"})
        EXPECT_NE(RegQueryValueExA(settings, name, nullptr, nullptr, nullptr, nullptr), 0) << name;
    RegCloseKey(settings);
}

TEST_F(Program, TheAboutBoxNamesTheProgramAndItsVersion) {
    ProgramRun program;
    ASSERT_TRUE(program.start());
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    ProgramRun::Dialog about = program.commandDialog(frame, 57664);
    ASSERT_NE(about.window, nullptr);
    EXPECT_NE(FindWindowExA(about.window, nullptr, "Static", "Halvorn 1.6"), nullptr);
    ASSERT_NE(GetDlgItem(about.window, IDOK), nullptr);
    PostMessageA(about.window, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 500 && IsWindow(about.window); i++) Sleep(10);
    EXPECT_FALSE(IsWindow(about.window));
    EXPECT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
}

TEST_F(Program, TheToolbarKeepsTheKeyRangeInOrder) {
    ProgramRun program;
    ASSERT_TRUE(program.start());
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    HWND toolbar = FindWindowExA(frame, nullptr, "ToolbarWindow32", nullptr);
    HWND range = GetDlgItem(toolbar, 145), low = GetDlgItem(toolbar, 146), lowSpin = GetDlgItem(toolbar, 147),
         high = GetDlgItem(toolbar, 148), highSpin = GetDlgItem(toolbar, 149);
    EXPECT_FALSE(IsWindowEnabled(low));
    EXPECT_FALSE(IsWindowEnabled(highSpin));
    SendMessageA(range, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageA(range, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(low));
    EXPECT_TRUE(IsWindowEnabled(highSpin));

    // The low key raised above the high key drags it up; the high key lowered below the
    // low key drags it down.
    SendMessageA(highSpin, UDM_SETPOS32, 0, 90);
    SendMessageA(lowSpin, UDM_SETPOS32, 0, 100);
    EXPECT_EQ(controlText(low), "100");
    EXPECT_EQ(controlText(high), "100");
    SendMessageA(highSpin, UDM_SETPOS32, 0, 20);
    EXPECT_EQ(controlText(high), "20");
    EXPECT_EQ(controlText(low), "20");

    // The range turned off keeps the keys but disables their controls.
    SendMessageA(range, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(low));
    EXPECT_EQ(controlText(low), "20");

    PostMessageA(frame, WM_CLOSE, 0, 0);
    ProgramRun::Dialog ask = program.waitDialog();
    ASSERT_NE(ask.window, nullptr);
    PostMessageA(ask.window, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(program.waitExit(), 0u);
}

TEST_F(Program, RegistersItsFileTypesAndTakesOverAnExtension) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".halvorn", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), 0);
    RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE*)"Other.type", 11);
    RegCloseKey(key);
    ProgramRun program;
    ASSERT_TRUE(program.start());
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    auto value = [](const char* name) {
        char text[600] = {0};
        LONG size = sizeof(text) - 1;
        RegQueryValueA(HKEY_CLASSES_ROOT, name, text, &size);
        return std::string(text);
    };
    EXPECT_EQ(value(".halvorn"), "Halvorn.document");
    EXPECT_EQ(value(".ayc"), "Halvorn.bank");
    EXPECT_EQ(value("Halvorn.document"), "Halvorn");
    EXPECT_EQ(value("Halvorn.bank"), "HalvornBank");
    std::string command = value("Halvorn.document\\shell\\open\\command");
    EXPECT_NE(command.find("\"%1\""), std::string::npos) << command;
    std::string icon = value("Halvorn.bank\\DefaultIcon");
    EXPECT_EQ(icon.substr(icon.size() - 2), ",2") << icon;
    EXPECT_TRUE(program.close(frame));
}

// The message, then the quit message posted; the start goes on (the file types are
// registered) and ends without a frame and without another message to answer.
TEST_F(Program, WithNoInstrumentInstalledSaysSoAndEnds) {
    delete install;
    install = nullptr;
    clearInstruments();
    for (const char* key : {".halvorn", ".ayc", "Halvorn.document", "Halvorn.bank"})
        RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    ProgramRun program;
    ASSERT_TRUE(program.start());
    ProgramRun::Dialog box = program.waitDialog();
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.title, "Halvorn");
    EXPECT_EQ(box.text, "Instrument DLL not found.\nPlease try to reinstall the software.");
    PostMessageA(box.window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(program.waitExit(), kExitNoInstrument);
    // No second message: the program ended after the first.
    EXPECT_EQ(program.waitDialog(1).window, nullptr);
    char type[64] = {0};
    LONG size = sizeof(type) - 1;
    EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, ".halvorn", type, &size), 0);
    EXPECT_STREQ(type, "Halvorn.document");
}

// A document for the instrument with the given program chunk and settings.
std::string documentText(const std::vector<uint8_t>& chunk, int channel, int octave, int rangeOn, int low, int high) {
    HalvornDocument doc;
    doc.instrumentName = "Halvorn";
    doc.midiChannel = channel;
    doc.octaveShift = octave;
    doc.keyRangeOn = rangeOn;
    doc.lowKey = low;
    doc.highKey = high;
    doc.chunk = chunk;
    std::ostringstream out;
    doc.write(out);
    return out.str();
}

TEST_F(Program, ADocumentOpenedAndSavedKeepsItsChunkAndSettings) {
    std::vector<uint8_t> chunk = chunkWith({{497, 1.f}, {3, 0.25f}, {100, 0.75f}});
    ASSERT_EQ(chunk.size(), 5392u);
    ASSERT_NE(chunk, chunkWith({}));
    std::string path = tempPath("kept.halvorn");
    std::string original = documentText(chunk, 3, -2, -1, 40, 90);
    writeFile(path, original);

    ProgramRun program;
    ASSERT_TRUE(program.start(path));
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    // The toolbar shows the document's settings.
    HWND toolbar = FindWindowExA(frame, nullptr, "ToolbarWindow32", nullptr);
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(SendMessageA(GetDlgItem(toolbar, 144), CB_GETCURSEL, 0, 0), 3);
    EXPECT_EQ(SendMessageA(GetDlgItem(toolbar, 145), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(toolbar, 146)));
    EXPECT_EQ(controlText(GetDlgItem(toolbar, 151)), "-2");
    EXPECT_EQ(controlText(GetDlgItem(toolbar, 146)), "40");
    EXPECT_EQ(controlText(GetDlgItem(toolbar, 148)), "90");

    // Saved over itself (the document's own path: no dialog), through a temporary file.
    writeFile(path, "");
    SendMessageA(frame, WM_COMMAND, 32002, 0);
    std::string saved = readFile(path);
    EXPECT_EQ(saved, original);
    EXPECT_EQ(GetFileAttributesA((path + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    // Nothing changed since: it closes without asking.
    EXPECT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
    DeleteFileA(path.c_str());
}

TEST_F(Program, ClosingAFrameWithUnsavedRoutingAsksFirst) {
    ProgramRun program;
    ASSERT_TRUE(program.start());
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    HWND toolbar = FindWindowExA(frame, nullptr, "ToolbarWindow32", nullptr);
    HWND channel = GetDlgItem(toolbar, 144);
    SendMessageA(channel, CB_SETCURSEL, 5, 0);
    SendMessageA(toolbar, WM_COMMAND, MAKEWPARAM(144, CBN_SELCHANGE), (LPARAM)channel);

    PostMessageA(frame, WM_CLOSE, 0, 0);
    ProgramRun::Dialog ask = program.waitDialog();
    ASSERT_NE(ask.window, nullptr);
    EXPECT_EQ(ask.text, "This windows has some unsaved changes\nClose it anyway?");
    PostMessageA(ask.window, WM_COMMAND, IDNO, 0);
    Sleep(300);
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_EQ(program.waitExit(1), (DWORD)STILL_ACTIVE);

    PostMessageA(frame, WM_CLOSE, 0, 0);
    ask = program.waitDialog();
    ASSERT_NE(ask.window, nullptr);
    PostMessageA(ask.window, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(program.waitExit(), 0u);
}

// With two products installed, each in its own directory, a document plays the instrument
// it names; one naming an instrument that is not installed looks for its library in the
// directory of the first listed (the registry lists "Halvorn" before "Probe").
TEST_F(Program, ADocumentPlaysItsInstrumentOrLooksInTheFirstInstalledDirectory) {
    std::string probeDir = tempPath("probe");
    CreateDirectoryA(probeDir.c_str(), nullptr);
    std::string probe = TestHost::programDir() + "Probe.dll";
    ASSERT_TRUE(CopyFileA(probe.c_str(), (probeDir + "\\Probe.dll").c_str(), FALSE));
    StandaloneInstall::registerInstrument("Probe", probeDir);
    ASSERT_TRUE(CopyFileA(probe.c_str(), install->install.path("Nowhere.dll").c_str(), FALSE));
    // The probe's editor is 200 x 100, the instrument's 1008 x 620.
    for (const char* named : {"Probe", "Nowhere"}) {
        SCOPED_TRACE(named);
        HalvornDocument doc;
        doc.instrumentName = named;
        std::ostringstream text;
        doc.write(text);
        std::string path = tempPath("named.halvorn");
        writeFile(path, text.str());
        ProgramRun program;
        ASSERT_TRUE(program.start(path));
        // The frame carries the document's name; its view has the loaded editor's size.
        HWND frame = program.waitFrame(named);
        ASSERT_NE(frame, nullptr);
        RECT view;
        GetWindowRect(GetDlgItem(frame, 0x7A1), &view);
        EXPECT_EQ(view.right - view.left, 200);
        EXPECT_EQ(view.bottom - view.top, 100);
        EXPECT_TRUE(program.close(frame));
        EXPECT_EQ(program.waitExit(), 0u);
        DeleteFileA(path.c_str());
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantrope\\Probe");
    DeleteFileA((probeDir + "\\Probe.dll").c_str());
    RemoveDirectoryA(probeDir.c_str());
}

// The recent-file list: an entry that cannot be opened says so and leaves the list; one that
// opens gives a frame of its own.
TEST_F(Program, ARecentDocumentOpensAndOneThatCannotLeavesTheList) {
    std::string kept = tempPath("recent.halvorn"), gone = tempPath("gone.halvorn");
    writeFile(kept, documentText(chunkWith({}), 2, 0, 0, 0, 127));
    DeleteFileA(gone.c_str());
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn\\Recent File List", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              0);
    RegSetValueExA(key, "File1", 0, REG_SZ, (const BYTE*)gone.c_str(), (DWORD)gone.size() + 1);
    RegSetValueExA(key, "File2", 0, REG_SZ, (const BYTE*)kept.c_str(), (DWORD)kept.size() + 1);
    RegCloseKey(key);

    ProgramRun program;
    ASSERT_TRUE(program.start());
    HWND first = program.waitFrame("Halvorn");
    ASSERT_NE(first, nullptr);
    ProgramRun::Dialog box = program.commandDialog(first, 57616);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text, "File not found.");
    PostMessageA(box.window, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 500 && IsWindow(box.window); i++) Sleep(10);

    // The first entry is now the document that opens: a second frame.
    ShowWindow(first, SW_HIDE);
    PostMessageA(first, WM_COMMAND, 57616, 0);
    HWND second = program.waitFrame("Halvorn", 60);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    HWND toolbar = FindWindowExA(second, nullptr, "ToolbarWindow32", nullptr);
    EXPECT_EQ(SendMessageA(GetDlgItem(toolbar, 144), CB_GETCURSEL, 0, 0), 2) << "the document's channel";
    PostMessageA(first, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.close(second));
    EXPECT_EQ(program.waitExit(), 0u);

    auto entry = [](const char* name) {
        char text[MAX_PATH] = {0};
        DWORD size = sizeof(text) - 1;
        RegGetValueA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn\\Recent File List", name, RRF_RT_REG_SZ,
                     nullptr, text, &size);
        return std::string(text);
    };
    EXPECT_EQ(entry("File1"), kept);
    EXPECT_EQ(entry("File2"), "");
    DeleteFileA(kept.c_str());
}

// A bank file handed to the program opens no document: the program starts as without one.
TEST_F(Program, ABankFileOnTheCommandLineOpensTheNewFrame) {
    std::string bank = tempPath("bank.ayc");
    writeFile(bank, "not read");
    ProgramRun program;
    ASSERT_TRUE(program.start(bank));
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(program.waitDialog(1).window, nullptr) << "no message";
    EXPECT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
    char first[MAX_PATH] = {0};
    DWORD size = sizeof(first) - 1;
    RegGetValueA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn\\Recent File List", "File1", RRF_RT_REG_SZ,
                 nullptr, first, &size);
    EXPECT_STREQ(first, "") << "a bank is no recent document";
    DeleteFileA(bank.c_str());
}

// The document's channel set from the toolbar, as a user sets it: a change to save.
void selectChannel(HWND frame, int channel) {
    HWND toolbar = FindWindowExA(frame, nullptr, "ToolbarWindow32", nullptr);
    HWND box = GetDlgItem(toolbar, 144);
    SendMessageA(box, CB_SETCURSEL, (WPARAM)channel, 0);
    SendMessageA(toolbar, WM_COMMAND, MAKEWPARAM(144, CBN_SELCHANGE), (LPARAM)box);
}

// A file held open by another process, as an editor or a copy might hold it: the program
// cannot replace it.
HANDLE holdOpen(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void answer(const ProgramRun::Dialog& box, int button) {
    PostMessageA(box.window, WM_COMMAND, (WPARAM)button, 0);
    for (int i = 0; i < 500 && IsWindow(box.window); i++) Sleep(10);
}

// The program's next visible dialog other than the one given (the file dialog stays visible
// under its overwrite prompt).
struct OtherDialog {
    DWORD process;
    HWND other;
    HWND found;
};
BOOL CALLBACK matchOtherDialog(HWND window, LPARAM parameter) {
    auto* search = (OtherDialog*)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = {0};
    GetClassNameA(window, className, sizeof(className));
    if (owner != search->process || window == search->other || std::string(className) != "#32770" ||
        !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}
HWND waitOtherDialog(const ProgramRun& program, HWND other, int seconds = 30) {
    OtherDialog search = {program.processId(), other, nullptr};
    for (int i = 0; i < seconds * 50 && !search.found; i++) {
        EnumWindows(matchOtherDialog, (LPARAM)&search);
        if (!search.found) Sleep(20);
    }
    return search.found;
}

std::string recentFile(const char* name) {
    char text[MAX_PATH] = {0};
    DWORD size = sizeof(text) - 1;
    RegGetValueA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn\\Recent File List", name, RRF_RT_REG_SZ, nullptr,
                 text, &size);
    return text;
}

// A save that cannot replace the document says so, leaves the old file and keeps the change
// unsaved: closing still asks. Once the file is free the same save writes it.
TEST_F(Program, AFailedSaveSaysSoAndKeepsTheChangeUnsaved) {
    const std::vector<uint8_t> chunk = chunkWith({});
    const std::string path = tempPath("held.halvorn");
    const std::string original = documentText(chunk, 2, 0, 0, 0, 127);
    writeFile(path, original);
    ProgramRun program;
    ASSERT_TRUE(program.start(path));
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    selectChannel(frame, 5);

    HANDLE held = holdOpen(path);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ProgramRun::Dialog box = program.commandDialog(frame, 32002);
    ASSERT_NE(box.window, nullptr) << "the failed save is reported";
    EXPECT_EQ(box.title, "Halvorn");
    EXPECT_EQ(box.text, "The document could not be saved.");
    answer(box, IDOK);
    CloseHandle(held);
    EXPECT_TRUE(readFile(path) == original) << "the old document stays";
    EXPECT_EQ(GetFileAttributesA((path + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    PostMessageA(frame, WM_CLOSE, 0, 0);
    ProgramRun::Dialog ask = program.waitDialog();
    ASSERT_NE(ask.window, nullptr) << "the change is still unsaved";
    EXPECT_EQ(ask.text, "This windows has some unsaved changes\nClose it anyway?");
    answer(ask, IDNO);

    SendMessageA(frame, WM_COMMAND, 32002, 0);
    EXPECT_TRUE(readFile(path) == documentText(chunk, 5, 0, 0, 0, 127)) << "written with the change";
    EXPECT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u) << "saved: closing asks nothing";
    DeleteFileA(path.c_str());
}

// "Save As" to a file that cannot be replaced says so; the frame keeps its document's path
// (the next "Save" writes there) and the failed path never enters the recent files.
TEST_F(Program, AFailedSaveAsKeepsTheDocumentsPathAndTheRecentFiles) {
    const std::vector<uint8_t> chunk = chunkWith({});
    const std::string path = tempPath("own.halvorn"), blocked = tempPath("blocked.halvorn");
    const std::string original = documentText(chunk, 2, 0, 0, 0, 127);
    writeFile(path, original);
    writeFile(blocked, "held elsewhere");
    ProgramRun program;
    ASSERT_TRUE(program.start(path));
    HWND frame = program.waitFrame("Halvorn");
    ASSERT_NE(frame, nullptr);
    selectChannel(frame, 7);

    HANDLE held = holdOpen(blocked);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ProgramRun::Dialog chooser = program.commandDialog(frame, 32003);
    ASSERT_NE(chooser.window, nullptr);
    SetDlgItemTextA(chooser.window, 0x47C, blocked.c_str());
    PostMessageA(chooser.window, WM_COMMAND, IDOK, 0);
    HWND replace = waitOtherDialog(program, chooser.window);
    ASSERT_NE(replace, nullptr) << "the overwrite prompt";
    PostMessageA(replace, WM_COMMAND, IDYES, 0);
    for (int i = 0; i < 500 && IsWindow(chooser.window); i++) Sleep(10);
    ProgramRun::Dialog box = program.waitDialog();
    ASSERT_NE(box.window, nullptr) << "the failed save is reported";
    EXPECT_EQ(box.text, "The document could not be saved.");
    answer(box, IDOK);
    CloseHandle(held);
    EXPECT_EQ(readFile(blocked), "held elsewhere");

    // The next save goes to the document's own path, now with the change.
    SendMessageA(frame, WM_COMMAND, 32002, 0);
    EXPECT_TRUE(readFile(path) == documentText(chunk, 7, 0, 0, 0, 127)) << "written to its own path";
    EXPECT_EQ(readFile(blocked), "held elsewhere");
    EXPECT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
    EXPECT_EQ(recentFile("File1"), path);
    EXPECT_EQ(recentFile("File2"), "");
    DeleteFileA(path.c_str());
    DeleteFileA(blocked.c_str());
}

// An instrument with more parameters than a document may hold: saving says so and writes
// nothing, since the program would refuse to open such a document.
TEST_F(Program, ADocumentTooLargeToOpenAgainIsNotWritten) {
    SharedProbeRecord shared;
    ASSERT_NE(shared.record, nullptr);
    shared.record->parameterCount = 5000;
    ASSERT_TRUE(CopyFileA((TestHost::programDir() + "Probe.dll").c_str(), install->install.path("Probe.dll").c_str(),
                          FALSE));
    HalvornDocument doc;
    doc.instrumentName = "Probe";
    std::ostringstream text;
    ASSERT_TRUE(doc.write(text));
    const std::string path = tempPath("large.halvorn");
    writeFile(path, text.str());
    ProgramRun program;
    ASSERT_TRUE(program.start(path));
    HWND frame = program.waitFrame("Probe");
    ASSERT_NE(frame, nullptr);

    ProgramRun::Dialog box = program.commandDialog(frame, 32002);
    ASSERT_NE(box.window, nullptr) << "the refused save is reported";
    EXPECT_EQ(box.text, "The document could not be saved.");
    answer(box, IDOK);
    EXPECT_TRUE(readFile(path) == text.str()) << "the old document stays";
    EXPECT_EQ(GetFileAttributesA((path + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(program.close(frame));
    EXPECT_EQ(program.waitExit(), 0u);
    DeleteFileA(path.c_str());
}

struct HostileCase {
    const char* name;
    std::string text;
};

TEST_F(Program, AHostileDocumentIsRefusedWithAMessage) {
    const std::string head = "1 7 Halvorn4 none0 0 0 0 127 0 0 ";
    const HostileCase cases[] = {
        {"name longer than the file", "1 2000000000 Halvorn"},
        {"negative name length", "1 -5 Halvorn"},
        {"chunk of a gigabyte", head + "0 1073741824 abc"},
        {"chunk cut short", head + "0 5392 abc"},
        {"more parameters than any instrument", head + "1 100000 0.5 0.5"},
        {"program name of the wrong size", head + "1 1 0.5 3 abc"},
        {"unknown program form", head + "7 0 "},
    };
    for (const HostileCase& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        std::string path = tempPath("hostile.halvorn");
        writeFile(path, hostile.text);
        ProgramRun program;
        ASSERT_TRUE(program.start(path));
        ProgramRun::Dialog box = program.waitDialog();
        ASSERT_NE(box.window, nullptr);
        EXPECT_EQ(box.text, "File not found.");
        PostMessageA(box.window, WM_COMMAND, IDOK, 0);
        // The program goes on with a new frame of its own.
        HWND frame = program.waitFrame("Halvorn");
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(program.close(frame));
        DeleteFileA(path.c_str());
    }
}

}  // namespace
