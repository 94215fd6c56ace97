#include "standalone_app.h"

#include <afxdlgs.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "main_frame.h"
#include "plugin_library.h"
#include "resource.h"

namespace {
const char kSettings[] = "Settings";
const char kDocumentFilter[] = "Halvorn Standalone Files (*.halvorn)|*.halvorn|All Files (*.*)|*.*||";
const DWORD kLoadStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE;
const int kSizeWindowCode = 15;

// The part of the file name from its last point; empty without one.
std::string extensionOf(const std::string& path) {
    size_t name = path.find_last_of("\\/");
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name)) return std::string();
    return path.substr(dot);
}

bool setDefaultValue(const std::string& key, const std::string& value) {
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(handle, nullptr, 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}
};
}  // namespace

CStandaloneApp theApp;

CStandaloneApp* StandaloneApp() { return &theApp; }

CStandaloneApp::CStandaloneApp() : CWinApp(nullptr) {}

BOOL CStandaloneApp::InitInstance() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // The application's title is string 57344 of the interface language.
    static CString title;
    title.LoadString(IDS_APP_TITLE);
    if (title.IsEmpty()) title = "Halvorn";
    m_pszAppName = title;

    SetRegistryKey("Vantrope");
    LoadStdProfileSettings(10);

    hiddenFrame = new CMainFrame(true);
    if (!hiddenFrame->LoadFrame(IDR_MAINFRAME, kLoadStyle)) {
        hiddenFrame = nullptr;  // a failed frame is gone
        return FALSE;
    }
    hiddenFrame->ShowWindow(SW_HIDE);
    m_pMainWnd = hiddenFrame;

    StartEngine();

    // With nothing installed this says so and posts the quit message; the start goes on,
    // and the frames' loads then fail without a word: the pending quit ends their messages.
    ScanInstruments();

    EnableShellOpen();
    RegisterFileTypes();

    CCommandLineInfo command;
    ParseCommandLine(command);
    ProcessShellCommand(command);

    if (frames.empty()) OnFileNew();
    return !frames.empty();
}

int CStandaloneApp::StartEngine() {
    Application* app = Application::instance();
    app->init(hiddenFrame->m_hWnd);
    app->setNotifyCallback(NotifyCallback, this);
    storedProtocol = GetProfileString(kSettings, "protocol", "").str();
    storedDriver = GetProfileString(kSettings, "driver", "").str();
    storedLatency = (int)GetProfileInt(kSettings, "latency", -1);
    app->setKnobMode((int)GetProfileInt(kSettings, "knobmode", 0));
    int rate = (int)GetProfileInt(kSettings, "srate", 0);
    if (storedProtocol.empty() || storedDriver.empty()) return -1;
    if (!SelectProtocolByName(storedProtocol) || !SelectDriverByName(storedDriver)) return -2;
    if (storedLatency > 0) app->setLatency(storedLatency);
    if (rate > 0) {
        app->setSampleRate((float)rate);
        app->setInstrumentsSampleRate((float)rate);
    }
    return 0;
}

bool CStandaloneApp::SelectProtocolByName(const std::string& name) {
    Application* app = Application::instance();
    for (int i = 0; i < app->getProtocolCount(); i++)
        if (app->getProtocolName(i) == name) return app->selectProtocol(i) == 0;
    return false;
}

bool CStandaloneApp::SelectDriverByName(const std::string& name) {
    Application* app = Application::instance();
    for (int i = 0; i < app->getDriverCount(); i++)
        if (app->getDriverName(i) == name) return app->selectDriver(i) == 0;
    return false;
}

void CStandaloneApp::ScanInstruments() {
    scanInstalledInstruments();
    if (installedInstruments().empty()) {
        CString text;
        text.LoadString(IDS_NO_INSTRUMENT);
        AfxMessageBox(text, MB_OK);
        PostQuitMessage(-1);
    }
}

void CStandaloneApp::RegisterFileTypes() {
    RegisterShellFileType("Halvorn.document", "Halvorn", ".halvorn", "1");
    RegisterShellFileType("Halvorn.bank", "HalvornBank", ".ayc", "2");
}

bool CStandaloneApp::RegisterShellFileType(const char* typeKey, const char* description, const char* extension,
                                           const char* iconIndex) {
    char module[MAX_PATH] = {0}, shortPath[MAX_PATH] = {0};
    DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    DWORD shortLength = GetShortPathNameA(module, shortPath, MAX_PATH);
    std::string program = shortLength > 0 && shortLength < MAX_PATH ? shortPath : module;
    std::string command = program + " \"%1\"";

    if (!setDefaultValue(typeKey, description)) return false;
    if (!setDefaultValue(std::string(typeKey) + "\\shell\\open\\command", command)) return false;

    char current[521] = {0};
    LONG size = 520;
    bool ours = RegQueryValueA(HKEY_CLASSES_ROOT, extension, current, &size) == ERROR_SUCCESS &&
                (current[520] = 0, std::strcmp(current, typeKey) == 0);
    if (!ours && !setDefaultValue(extension, typeKey)) return false;
    return setDefaultValue(std::string(typeKey) + "\\DefaultIcon", program + "," + iconIndex);
}

BOOL CStandaloneApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo) {
    if (rCmdInfo.m_nShellCommand != CCommandLineInfo::FileOpen) return TRUE;
    if (rCmdInfo.m_strFileName.IsEmpty()) return FALSE;
    return OpenDocument(rCmdInfo.m_strFileName) ? TRUE : FALSE;
}

bool CStandaloneApp::OpenDocument(const char* path) {
    std::string extension = extensionOf(path);
    if (extension == ".ayc") return true;
    if (extension != ".halvorn") return false;
    CMainFrame* frame = new CMainFrame();
    AddFrame(frame);
    if (!frame->LoadFrame(IDR_MAINFRAME, kLoadStyle)) {
        RemoveFrame(frame);
        return false;
    }
    if (!frame->OpenDocument(path)) {
        RemoveFrame(frame);
        frame->DestroyWindow();
        return false;
    }
    AddToRecentFileList(path);
    Application::instance()->openEditor(frame->GetSlot(), frame->GetView().m_hWnd);
    SetFrameIcon(frame, frame->GetInstrumentName());
    frame->ShowWindow(SW_SHOW);
    frame->UpdateWindow();
    return true;
}

BOOL CStandaloneApp::OnCommand(UINT nID) {
    if (nID >= ID_FILE_MRU_FIRST && nID <= ID_FILE_MRU_END) {
        OnOpenRecentFile(nID);
        return TRUE;
    }
    switch (nID) {
        case ID_FILE_NEW_CMD: OnFileNew(); return TRUE;
        case ID_FILE_OPEN_CMD: OnFileOpen(); return TRUE;
        case ID_ABOUT: OnAppAbout(); return TRUE;
        default: return FALSE;
    }
}

void CStandaloneApp::OnFileNew() {
    CMainFrame* frame = new CMainFrame();
    AddFrame(frame);
    if (!frame->LoadFrame(IDR_MAINFRAME, kLoadStyle)) {
        RemoveFrame(frame);
        return;
    }
    if (!frame->LoadInstrument("Halvorn")) {
        RemoveFrame(frame);
        frame->DestroyWindow();
        return;
    }
    frame->ShowWindow(SW_SHOW);
    frame->UpdateWindow();
}

void CStandaloneApp::OnFileOpen() {
    CFileDialog dialog(TRUE, ".halvorn", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kDocumentFilter);
    if (dialog.DoModal() == IDOK) OpenDocument(dialog.GetPathName());
}

void CStandaloneApp::OnOpenRecentFile(UINT nID) {
    if (!m_pRecentFileList) return;
    int index = (int)(nID - ID_FILE_MRU_FIRST);
    if (index >= m_pRecentFileList->GetSize()) return;
    std::string path = (const char*)(*m_pRecentFileList)[index];
    if (extensionOf(path) != ".halvorn" || !OpenDocument(path.c_str())) m_pRecentFileList->Remove(index);
}

void CStandaloneApp::OnAppAbout() {
    CAboutDlg dialog(m_pMainWnd);
    dialog.DoModal();
}

void CStandaloneApp::AddFrame(CMainFrame* frame) { frames.push_back(frame); }

void CStandaloneApp::RemoveFrame(CMainFrame* frame) {
    for (size_t i = 0; i < frames.size(); i++)
        if (frames[i] == frame) {
            frames.erase(frames.begin() + (long)i);
            return;
        }
}

CMainFrame* CStandaloneApp::FindFrame(int slot) const {
    for (CMainFrame* frame : frames)
        if (frame->GetSlot() == slot) return frame;
    return nullptr;
}

VstIntPtr CStandaloneApp::NotifyCallback(int slot, int code, VstIntPtr first, VstIntPtr second, void* app) {
    ((CStandaloneApp*)app)->OnInstrumentNotify(slot, code, first, second);
    return 0;
}

void CStandaloneApp::OnInstrumentNotify(int slot, int code, VstIntPtr first, VstIntPtr second) {
    if (code != kSizeWindowCode) return;
    // Asked during the load, before the frame knows its slot: the frame being opened.
    CMainFrame* frame = FindFrame(slot);
    if (!frame && !frames.empty() && frames.back()->GetSlot() < 0) frame = frames.back();
    if (frame) frame->ResizeToEditor((short)first, (short)second);
}

void CStandaloneApp::SetFrameIcon(CMainFrame* frame, const std::string& name) {
    const InstalledInstrument* instrument = findInstalledInstrument(name);
    if (!instrument) return;
    std::string path = instrument->installDir + "\\" + name + ".ico";
    HICON icon = (HICON)LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 64, 64, LR_LOADFROMFILE);
    if (icon) frame->SetIcon(icon, TRUE);
}

int CStandaloneApp::ExitInstance() {
    std::vector<CMainFrame*> open = frames;
    for (CMainFrame* frame : open) frame->SendMessage(WM_CLOSE);
    frames.clear();
    Application* app = Application::instance();
    if (app->getProtocol() >= 0 && app->getDriver() >= 0) {
        WriteProfileString(kSettings, "protocol", app->getProtocolName(app->getProtocol()).c_str());
        WriteProfileString(kSettings, "driver", app->getDriverName(app->getDriver()).c_str());
        WriteProfileInt(kSettings, "latency", app->getLatency());
        WriteProfileInt(kSettings, "srate", (int)app->getSampleRate());
    }
    WriteProfileInt(kSettings, "knobmode", app->getKnobMode());
    app->shutdown();
    if (hiddenFrame && IsWindow(hiddenFrame->m_hWnd)) hiddenFrame->DestroyWindow();
    hiddenFrame = nullptr;
    return CWinApp::ExitInstance();
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return AfxWinMain(); }
