#include "main_frame.h"

#include <afxdlgs.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "application.h"
#include "halvorn_document.h"
#include "prefs_dialog.h"
#include "resource.h"
#include "standalone_app.h"

namespace {
const char kDocumentFilter[] = "Halvorn Standalone Files (*.halvorn)|*.halvorn|All Files (*.*)|*.*||";
const DWORD kFrameStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

const VstInt32 kWheelVendor = 0x73744341;  // 'stCA'
const VstIntPtr kWheelValue = 0x57686565;  // 'Whee'

CString LoadText(UINT id) {
    CString text;
    text.LoadString(id);
    return text;
}

struct VirtualKey {
    UINT vk;
    int vstKey;
};
const VirtualKey kVirtualKeys[] = {
    {VK_BACK, 1},      {VK_TAB, 2},       {VK_CLEAR, 3},    {VK_RETURN, 4},    {VK_SHIFT, 54},
    {VK_CONTROL, 55},  {VK_PAUSE, 5},     {VK_ESCAPE, 6},   {VK_SPACE, 7},     {VK_NEXT, 8},
    {VK_END, 9},       {VK_HOME, 10},     {VK_LEFT, 11},    {VK_UP, 12},       {VK_RIGHT, 13},
    {VK_DOWN, 14},     {VK_SELECT, 17},   {VK_PRINT, 18},   {VK_SNAPSHOT, 20}, {VK_INSERT, 21},
    {VK_DELETE, 22},   {VK_HELP, 23},     {VK_MULTIPLY, 34}, {VK_ADD, 35},     {VK_SEPARATOR, 36},
    {VK_SUBTRACT, 37}, {VK_DECIMAL, 38},  {VK_DIVIDE, 39},  {VK_NUMLOCK, 52},  {VK_SCROLL, 53},
};
}  // namespace

// ---- view

BOOL CChildView::PreCreateWindow(CREATESTRUCTA& cs) {
    cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
    cs.style &= ~WS_BORDER;
    cs.lpszClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, LoadCursorA(nullptr, IDC_ARROW),
                                       reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), nullptr);
    return cs.lpszClass != nullptr;
}

// ---- frame

int CMainFrame::VkToVstKey(UINT vk) {
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return 24 + (int)(vk - VK_NUMPAD0);
    if (vk >= VK_F1 && vk <= VK_F12) return 40 + (int)(vk - VK_F1);
    for (const VirtualKey& key : kVirtualKeys)
        if (key.vk == vk) return key.vstKey;
    return 0;
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs) {
    // Instrument frames cannot be resized or maximised: their size follows the editor.
    if (!hidden) cs.style = (LONG)kFrameStyle;
    return TRUE;
}

BOOL CMainFrame::OnCreateClient(LPCREATESTRUCTA) {
    RECT rect = {0, 0, 0, 0};
    return view.CreateEx(0, nullptr, "", WS_CHILD | WS_VISIBLE, rect, this, IDC_CHILD_VIEW);
}

int CMainFrame::OnCreate(LPCREATESTRUCTA) {
    if (hidden) return 0;
    return toolBar.Build(this) ? 0 : -1;
}

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_HOST_IDLE:
            Application::instance()->idle();
            return 0;
        case WM_KEYDOWN:
            if (slot >= 0 && OnKeyDown((UINT)wParam)) return 0;
            break;
        case WM_KEYUP:
            if (slot >= 0 && OnKeyUp((UINT)wParam)) return 0;
            break;
        case WM_MOUSEWHEEL:
            if (slot >= 0) OnMouseWheel((short)HIWORD(wParam));
            return 0;
        case WM_COPYDATA:
            OnMidiSeam(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return TRUE;
        case WM_NOTIFY:
            break;
        default: break;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
}

BOOL CMainFrame::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam), code = HIWORD(wParam);
    switch (id) {
        case ID_APP_EXIT_CMD: OnClose(); return TRUE;
        case ID_FILE_SAVE_CMD: OnFileSave(); return TRUE;
        case ID_FILE_SAVE_AS_CMD: OnFileSaveAs(); return TRUE;
        case ID_PREFERENCES: OnPreferences(); return TRUE;
        case IDC_BAR_PANIC: OnPanic(); return TRUE;
        case IDC_BAR_MIDI_IN:
            if (code == CBN_SELCHANGE) OnMidiInChange();
            return TRUE;
        case IDC_BAR_CHANNEL:
            if (code == CBN_SELCHANGE) OnChannelChange();
            return TRUE;
        case IDC_BAR_RANGE:
            if (code == BN_CLICKED) OnRangeToggle();
            return TRUE;
        case IDC_BAR_LOW:
            if (code == EN_CHANGE) OnLowKeyChange();
            return TRUE;
        case IDC_BAR_HIGH:
            if (code == EN_CHANGE) OnHighKeyChange();
            return TRUE;
        case IDC_BAR_OCTAVE:
            if (code == EN_CHANGE) OnOctaveChange();
            return TRUE;
        case IDC_BAR_OUTPUT:
            if (code == CBN_SELCHANGE) OnOutputPairChange();
            return TRUE;
        default: return CFrameWnd::OnCommand(wParam, lParam);
    }
}

void CMainFrame::ShowLoadError(int code) {
    UINT text = code == kHostErrorNoLibrary || code == -100 ? IDS_NO_INSTRUMENT : IDS_LOAD_ERROR;
    AfxMessageBox(LoadText(text), MB_ICONSTOP);
}

bool CMainFrame::LoadInstrument(const std::string& name) {
    Application* app = Application::instance();
    int loaded = app->loadInstrument(name);
    SetWindowText(name.c_str());
    instrumentName = name;
    if (loaded < 0) {
        ShowLoadError(loaded);
        return false;
    }
    slot = loaded;
    app->openEditor(slot, view.m_hWnd);
    return true;
}

void CMainFrame::ResizeToEditor(int width, int height) {
    editorWidth = width;
    editorHeight = height;
    int toolBarHeight = 0;
    if (toolBar.m_hWnd) {
        RECT bar;
        toolBar.GetWindowRect(&bar);
        toolBarHeight = bar.bottom - bar.top;
    }
    view.SetWindowPos(nullptr, 0, toolBarHeight, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT outer = {0, 0, width, toolBarHeight + height};
    AdjustWindowRectEx(&outer, GetStyle(), TRUE, 0);
    SetWindowPos(HWND_TOP, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOMOVE | SWP_FRAMECHANGED);
}

bool CMainFrame::OnKeyDown(UINT vk) {
    int modifiers = 0;
    if (GetAsyncKeyState(VK_CONTROL) < 0 || GetKeyState(VK_CONTROL) < 0) modifiers |= 8;
    if (GetAsyncKeyState(VK_SHIFT) < 0 || GetKeyState(VK_SHIFT) < 0) modifiers |= 1;
    if (GetAsyncKeyState(VK_MENU) < 0 || GetKeyState(VK_MENU) < 0) modifiers |= 2;
    int value = VkToVstKey(vk);
    // Letters arrive as lower-case characters.
    int index = value ? 0 : (int)vk + 32;
    return Application::instance()->dispatch(slot, effEditKeyDown, index, value, nullptr, (float)modifiers) == -1;
}

bool CMainFrame::OnKeyUp(UINT vk) {
    int value = VkToVstKey(vk);
    int index = value ? 0 : (int)vk;
    return Application::instance()->dispatch(slot, effEditKeyUp, index, value, nullptr, 0.f) == -1;
}

void CMainFrame::OnMouseWheel(short delta) {
    Application::instance()->dispatch(slot, effVendorSpecific, kWheelVendor, kWheelValue, nullptr, (float)delta / 120.f);
}

void CMainFrame::OnMidiSeam(const COPYDATASTRUCT* data) {
    if (!data || data->dwData != kMidiSeamTag || !data->lpData) return;
    const unsigned char* bytes = (const unsigned char*)data->lpData;
    for (DWORD i = 0; i + 4 <= data->cbData; i += 4) {
        unsigned int message;
        std::memcpy(&message, bytes + i, 4);
        Application::instance()->dispatchMidi(0, message);
    }
}

void CMainFrame::OnClose() {
    CStandaloneApp* app = StandaloneApp();
    if (!hidden) {
        if (slot >= 0 && Application::instance()->isDirty(slot)) {
            BringWindowToTop();
            if (AfxMessageBox(LoadText(IDS_UNSAVED), MB_YESNO) == IDNO) return;
        }
        app->RemoveFrame(this);
        ShowWindow(SW_HIDE);
        Application::instance()->unloadInstrument(slot);
        slot = -1;
    }
    if (app->Frames().empty()) PostQuitMessage(0);
    CFrameWnd::OnClose();
}

void CMainFrame::OnPanic() { Application::instance()->panic(); }

void CMainFrame::OnPreferences() {
    CPrefsDialog dialog(this);
    dialog.DoModal();
}

// ---- toolbar notifications

void CMainFrame::OnMidiInChange() {
    if (slot < 0) return;
    int device = toolBar.midiIn.GetCurSel() - 1;
    Application* app = Application::instance();
    app->setMidiDevice(slot, device);
    midiInName = app->getMidiInName(device);
}

void CMainFrame::OnChannelChange() {
    if (slot < 0) return;
    midiChannel = toolBar.channel_.GetCurSel();
    Application::instance()->setMidiChannel(slot, midiChannel);
}

void CMainFrame::OnRangeToggle() {
    if (slot < 0) return;
    bool on = toolBar.range.GetCheck() == BST_CHECKED;
    toolBar.SetRange(on);
    Application::instance()->setKeyRangeEnabled(slot, on);
    keyRangeOn = on ? -1 : 0;
}

void CMainFrame::OnLowKeyChange() {
    if (slot < 0) return;
    int low = toolBar.lowSpin.GetPos32(), high = toolBar.highSpin.GetPos32();
    if (high < low) {
        toolBar.highSpin.SetPos32(low);
        high = low;
        highKey = low;
    }
    Application::instance()->setKeyRange(slot, low, high);
    lowKey = low;
}

void CMainFrame::OnHighKeyChange() {
    if (slot < 0) return;
    int low = toolBar.lowSpin.GetPos32(), high = toolBar.highSpin.GetPos32();
    if (high < low) {
        toolBar.lowSpin.SetPos32(high);
        low = high;
        lowKey = high;
    }
    Application::instance()->setKeyRange(slot, low, high);
    highKey = high;
}

void CMainFrame::OnOctaveChange() {
    if (slot < 0) return;
    octaveShift = (short)toolBar.octaveSpin.GetPos32();
    Application::instance()->setOctaveShift(slot, octaveShift);
}

void CMainFrame::OnOutputPairChange() {
    if (slot < 0) return;
    int pair = toolBar.output.GetCurSel();
    if (pair < 0) return;
    Application* app = Application::instance();
    app->setOutputPair(slot, 2 * pair, 2 * pair + 1);
    outputName = app->getOutputName(2 * pair);
}

// ---- documents

void CMainFrame::ApplySettings() {
    if (slot < 0) return;
    Application* app = Application::instance();
    for (int device = 0; device < app->getMidiInCount(); device++)
        if (app->getMidiInName(device) == midiInName) {
            app->setMidiDevice(slot, device);
            toolBar.SelectMidiDevice(device);
            break;
        }
    app->setMidiChannel(slot, midiChannel);
    toolBar.SelectChannel(midiChannel);
    app->setOctaveShift(slot, octaveShift);
    toolBar.SetOctave(octaveShift);
    app->setKeyRangeEnabled(slot, keyRangeOn != 0);
    toolBar.SetRange(keyRangeOn != 0);
    app->setKeyRange(slot, lowKey, highKey);
    toolBar.SetLowKey(lowKey);
    toolBar.SetHighKey(highKey);
    for (int k = 0; k < app->getOutputCount(); k++)
        if (app->getOutputName(k) == outputName) {
            app->setOutputPair(slot, k, k + 1);
            toolBar.SelectOutputPair(k / 2);
            break;
        }
    for (int k = 0; k < app->getInputCount(); k++)
        if (app->getInputName(k) == inputName) {
            app->setInputPair(slot, k, k + 1);
            break;
        }
}

bool CMainFrame::WriteDocument(std::ostream& out) {
    Application* app = Application::instance();
    HalvornDocument doc;
    doc.instrumentName = instrumentName;
    doc.midiInName = midiInName.empty() ? "none" : midiInName;
    doc.midiChannel = midiChannel;
    doc.octaveShift = octaveShift;
    doc.keyRangeOn = keyRangeOn;
    doc.lowKey = lowKey;
    doc.highKey = highKey;
    doc.outputName = outputName;
    doc.inputName = inputName;
    if (app->programsAreChunks(slot)) {
        doc.programForm = HalvornDocument::kFormChunk;
        void* data = nullptr;
        VstIntPtr size = app->getChunk(slot, &data);
        if (data && size > 0) doc.chunk.assign((const uint8_t*)data, (const uint8_t*)data + size);
    } else {
        doc.programForm = HalvornDocument::kFormParameters;
        int count = app->getNumParams(slot);
        for (int i = 0; i < count; i++) doc.parameters.push_back(app->getParameter(slot, i));
        char name[HalvornDocument::kProgramNameSize + 1] = {0};
        app->getProgramName(slot, name);
        name[HalvornDocument::kProgramNameSize] = 0;
        doc.programName.assign(name, HalvornDocument::kProgramNameSize);
    }
    return doc.write(out);
}

bool CMainFrame::ReadDocument(std::istream& in) {
    // The whole file is read and checked before anything is loaded or applied: a damaged
    // or hostile document changes nothing.
    HalvornDocument doc;
    if (!doc.read(in)) {
        ShowLoadError(0);
        return false;
    }
    SetWindowText(doc.instrumentName.c_str());
    instrumentName = doc.instrumentName;
    Application* app = Application::instance();
    int loaded = app->loadInstrument(doc.instrumentName);
    if (loaded < 0) {
        ShowLoadError(loaded);
        return false;
    }
    slot = loaded;
    int count = app->getNumParams(slot);
    if (doc.programForm == HalvornDocument::kFormChunk) {
        if (!doc.chunk.empty()) app->setChunk(slot, doc.chunk.data(), (VstIntPtr)doc.chunk.size());
    } else {
        // Never a parameter beyond the instrument's count.
        for (size_t i = 0; i < doc.parameters.size() && (int)i < count; i++)
            app->setParameter(slot, (int)i, doc.parameters[i]);
        char name[HalvornDocument::kProgramNameSize + 1] = {0};
        std::memcpy(name, doc.programName.data(), HalvornDocument::kProgramNameSize);
        name[HalvornDocument::kProgramNameSize - 1] = 0;
        app->setProgramName(slot, name);
    }
    midiInName = doc.midiInName;
    midiChannel = doc.midiChannel;
    octaveShift = doc.octaveShift;
    keyRangeOn = doc.keyRangeOn;
    lowKey = doc.lowKey;
    highKey = doc.highKey;
    outputName = doc.outputName;
    inputName = doc.inputName;
    ApplySettings();
    // Applying the document's own settings is no change to save.
    app->setDirty(slot, false);
    return true;
}

bool CMainFrame::OpenDocument(const std::string& path) {
    documentPath = path;
    std::ifstream in(path, std::ios::in | std::ios::binary);
    if (!in) {
        ShowLoadError(0);
        return false;
    }
    return ReadDocument(in);
}

bool CMainFrame::SaveDocument(const std::string& path) {
    // A document the reader would refuse is not written at all.
    std::ostringstream text;
    if (!WriteDocument(text)) return false;
    // Written beside the old file and moved over it: a failed write leaves the old one whole.
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::out | std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << text.str();
        out.flush();
        if (!out) {
            out.close();
            DeleteFileA(temporary.c_str());
            return false;
        }
    }
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    // Only a document really written leaves nothing to save.
    Application::instance()->setDirty(slot, false);
    return true;
}

bool CMainFrame::SaveDocumentOrSay(const std::string& path) {
    if (SaveDocument(path)) return true;
    AfxMessageBox(LoadText(IDS_SAVE_ERROR), MB_ICONSTOP);
    return false;
}

bool CMainFrame::AskSavePath(std::string& path) {
    CFileDialog dialog(FALSE, ".halvorn", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kDocumentFilter, this);
    if (dialog.DoModal() != IDOK) return false;
    path = (const char*)dialog.GetPathName();
    return !path.empty();
}

void CMainFrame::OnFileSave() {
    if (slot < 0) return;
    if (!documentPath.empty()) {
        SaveDocumentOrSay(documentPath);
        return;
    }
    OnFileSaveAs();
}

void CMainFrame::OnFileSaveAs() {
    if (slot < 0) return;
    std::string path;
    if (!AskSavePath(path)) return;
    // Only a written document takes the new path and enters the recent files.
    if (!SaveDocumentOrSay(path)) return;
    documentPath = path;
    StandaloneApp()->AddToRecentFileList(path.c_str());
}
