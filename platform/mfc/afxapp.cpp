#include "afxwin.h"
#include "afxbind.h"

#include <shellapi.h>
#include <stdio.h>

// ---- settings

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey)
{
    m_registryKey = lpszRegistryKey ? lpszRegistryKey : "";
    m_pszRegistryKey = m_registryKey.c_str();
}

bool CWinApp::OpenSectionKey(LPCSTR section, bool create, HKEY* key)
{
    if (!m_pszRegistryKey || !m_pszAppName || !section)
        return false;
    std::string path = std::string("Software\\") + m_pszRegistryKey + "\\" + m_pszAppName + "\\" + section;
    if (create)
        return ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key,
                                 nullptr) == ERROR_SUCCESS;
    return ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key) == ERROR_SUCCESS;
}

CString CWinApp::GetProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue)
{
    HKEY key;
    if (!OpenSectionKey(section, false, &key))
        return CString(defaultValue);
    DWORD type = 0, size = 0;
    CString result(defaultValue);
    if (::RegQueryValueExA(key, entry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        // A value stored without its terminator still reads as a terminated text.
        std::string text(static_cast<size_t>(size) + 1, '\0');
        if (::RegQueryValueExA(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size) ==
            ERROR_SUCCESS)
            result = text.c_str();
    }
    ::RegCloseKey(key);
    return result;
}

UINT CWinApp::GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue)
{
    HKEY key;
    if (!OpenSectionKey(section, false, &key))
        return static_cast<UINT>(defaultValue);
    DWORD type = 0, value = 0, size = sizeof value;
    UINT result = static_cast<UINT>(defaultValue);
    if (::RegQueryValueExA(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value)
        result = value;
    ::RegCloseKey(key);
    return result;
}

BOOL CWinApp::WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value)
{
    HKEY key;
    if (!OpenSectionKey(section, true, &key))
        return FALSE;
    LONG result = value ? ::RegSetValueExA(key, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                           static_cast<DWORD>(strlen(value) + 1))
                        : ::RegDeleteValueA(key, entry);
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

BOOL CWinApp::WriteProfileInt(LPCSTR section, LPCSTR entry, int value)
{
    HKEY key;
    if (!OpenSectionKey(section, true, &key))
        return FALSE;
    DWORD data = static_cast<DWORD>(value);
    LONG result = ::RegSetValueExA(key, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// ---- recent files

void CWinApp::LoadStdProfileSettings(UINT nMaxMRU)
{
    delete m_pRecentFileList;
    m_pRecentFileList = nullptr;
    if (nMaxMRU == 0)
        return;
    m_pRecentFileList = new CRecentFileList(ID_FILE_MRU_FILE1, "Recent File List", "File%d",
                                            static_cast<int>(nMaxMRU));
    m_pRecentFileList->ReadList();
}

void CWinApp::AddToRecentFileList(LPCSTR lpszPathName)
{
    if (m_pRecentFileList)
        m_pRecentFileList->Add(lpszPathName);
}

CRecentFileList::CRecentFileList(UINT nStart, LPCSTR lpszSection, LPCSTR lpszEntryFormat, int nSize)
    : m_nStart(nStart), m_nMaxSize(nSize), m_section(lpszSection), m_entryFormat(lpszEntryFormat)
{
}

void CRecentFileList::Add(LPCSTR path)
{
    if (!path || !*path)
        return;
    // The full path, so that one document is listed once whatever way it was named.
    char full[MAX_PATH];
    DWORD length = ::GetFullPathNameA(path, MAX_PATH, full, nullptr);
    std::string entry = length > 0 && length < MAX_PATH ? std::string(full) : std::string(path);
    for (size_t i = 0; i < m_files.size(); i++)
        if (::lstrcmpiA(m_files[i].c_str(), entry.c_str()) == 0) {
            m_files.erase(m_files.begin() + static_cast<long>(i));
            break;
        }
    m_files.insert(m_files.begin(), entry);
    if (static_cast<int>(m_files.size()) > m_nMaxSize)
        m_files.resize(static_cast<size_t>(m_nMaxSize));
}

void CRecentFileList::Remove(int index)
{
    if (index >= 0 && index < GetSize())
        m_files.erase(m_files.begin() + index);
}

void CRecentFileList::ReadList()
{
    CWinApp* app = AfxGetApp();
    m_files.clear();
    if (!app)
        return;
    for (int i = 0; i < m_nMaxSize; i++) {
        char entry[32];
        snprintf(entry, sizeof entry, m_entryFormat.c_str(), i + 1);
        CString file = app->GetProfileString(m_section.c_str(), entry, "");
        if (!file.IsEmpty())
            m_files.push_back(file.str());
    }
}

void CRecentFileList::WriteList()
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return;
    for (int i = 0; i < m_nMaxSize; i++) {
        char entry[32];
        snprintf(entry, sizeof entry, m_entryFormat.c_str(), i + 1);
        app->WriteProfileString(m_section.c_str(), entry, i < GetSize() ? m_files[static_cast<size_t>(i)].c_str()
                                                                          : nullptr);
    }
}

void CRecentFileList::UpdateMenu(HMENU menu)
{
    int first = -1;
    for (int i = ::GetMenuItemCount(menu) - 1; i >= 0; i--) {
        UINT id = ::GetMenuItemID(menu, i);
        if (id >= m_nStart && id < m_nStart + static_cast<UINT>(m_nMaxSize)) {
            if (m_emptyText.empty() && id == m_nStart) {
                char text[256] = "";
                ::GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
                m_emptyText = text;
            }
            ::DeleteMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
            first = i;
        }
    }
    if (first < 0)
        return;
    if (m_files.empty()) {
        ::InsertMenuA(menu, static_cast<UINT>(first), MF_BYPOSITION | MF_STRING | MF_GRAYED, m_nStart,
                      m_emptyText.c_str());
        return;
    }
    for (int i = 0; i < GetSize(); i++) {
        // "&1 name": the file's name only, an ampersand doubled so that it shows.
        std::string name = m_files[static_cast<size_t>(i)];
        name = name.substr(name.find_last_of("\\/") + 1);
        std::string shown;
        for (char c : name) {
            if (c == '&')
                shown += '&';
            shown += c;
        }
        char text[MAX_PATH + 16];
        snprintf(text, sizeof text, "&%d %s", (i + 1) % 10, shown.c_str());
        ::InsertMenuA(menu, static_cast<UINT>(first + i), MF_BYPOSITION | MF_STRING, m_nStart + static_cast<UINT>(i),
                      text);
    }
}

// ---- command line and message loop

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo)
{
    int count = 0;
    LPWSTR* arguments = afxbind::CommandLineToArgvW(::GetCommandLineW(), &count);
    rCmdInfo.m_nShellCommand = CCommandLineInfo::FileNew;
    for (int i = 1; arguments && i < count; i++) {
        const wchar_t* argument = arguments[i];
        if (argument[0] == L'/' || argument[0] == L'-')
            continue;  // switches of the shell's other commands: none taken here
        int bytes = ::WideCharToMultiByte(CP_ACP, 0, argument, -1, nullptr, 0, nullptr, nullptr);
        std::string name(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
        ::WideCharToMultiByte(CP_ACP, 0, argument, -1, &name[0], bytes, nullptr, nullptr);
        rCmdInfo.m_strFileName = name.c_str();
        rCmdInfo.m_nShellCommand = CCommandLineInfo::FileOpen;
        break;
    }
    if (arguments)
        ::LocalFree(arguments);
}

int CWinApp::Run()
{
    MSG msg;
    for (;;) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        // The accelerators of the top-level frame that the message is for.
        HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        CFrameWnd* frame = dynamic_cast<CFrameWnd*>(CWnd::FromHandlePermanent(root));
        if (frame && frame->m_hAccelTable && ::TranslateAcceleratorA(root, frame->m_hAccelTable, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    m_nExitCode = static_cast<int>(msg.wParam);
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    if (m_pRecentFileList)
        m_pRecentFileList->WriteList();
    return m_nExitCode;
}

int AfxWinMain()
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    if (!app->InitInstance()) {
        // A failed start leaves no window behind and ends with what its quit message said.
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message == WM_QUIT) {
                app->m_nExitCode = static_cast<int>(msg.wParam);
                break;
            }
        app->ExitInstance();
        return app->m_nExitCode;
    }
    return app->Run();
}
