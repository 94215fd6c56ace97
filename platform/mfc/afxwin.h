// Our small stand-in for the application, window, frame, view, control, dialog and
// data-exchange classes, on plain Win32. It holds what our code calls, under the names that
// code uses, and nothing else. There are no message maps: a window class overrides
// WindowProc (or the few virtual handlers below) and passes what it does not take to its base.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString& operator=(const char* text)
    {
        m_text = text ? text : "";
        return *this;
    }
    CString(const std::string& text) : m_text(text) {}
    operator const char*() const { return m_text.c_str(); }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    bool operator==(const char* text) const { return m_text == (text ? text : ""); }
    bool operator!=(const char* text) const { return !(*this == text); }
    CString& operator+=(const char* text)
    {
        m_text += text ? text : "";
        return *this;
    }
    // The string resource of the module in the thread's interface language; false when
    // there is none (the text is then empty).
    BOOL LoadString(UINT nID);
    void Format(const char* format, ...);
    const std::string& str() const { return m_text; }

private:
    std::string m_text;
};

class CRect : public RECT {
public:
    CRect() { left = top = right = bottom = 0; }
    CRect(int l, int t, int r, int b)
    {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    CRect(const RECT& rect) : RECT(rect) {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
};

class CGdiObject {
public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    virtual ~CGdiObject() { DeleteObject(); }

    HGDIOBJ m_hObject = nullptr;

    BOOL Attach(HGDIOBJ handle);
    HGDIOBJ Detach();
    BOOL DeleteObject();
};

class CFont : public CGdiObject {
public:
    BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                    BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                    BYTE nQuality, BYTE nPitchAndFamily, LPCSTR lpszFacename);
    int GetLogFont(LOGFONTA* pLogFont) const;
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

class CDataExchange;

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    // The object of a window made by this layer (CreateEx, LoadFrame or a subclass); null
    // for any other window.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // Whether this thread's last CreateEx attached a window to its object (a frame that
    // then failed its creation has been deleted with that window).
    static bool LastCreateAttached();

    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    void SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }
    CString GetWindowText() const;
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    void MoveWindow(int x, int y, int width, int height, BOOL bRepaint = TRUE)
    {
        ::MoveWindow(m_hWnd, x, y, width, height, bRepaint);
    }
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
    {
        return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
    }
    void BringWindowToTop() { ::BringWindowToTop(m_hWnd); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                                   reinterpret_cast<LPARAM>(hIcon)));
    }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) { return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr); }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
    int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK);
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

    // Follows the window: m_hWnd goes back to null when the window is destroyed.
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();

    virtual BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                          const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    // A child window of one of the system's (or a registered) classes.
    virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID);
    virtual BOOL DestroyWindow();
    // Adjusts the creation parameters; false stops the creation.
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs) { return TRUE; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    // The window's font, borrowed until the next call; null for the system font.
    CFont* GetFont() const;
    void CenterWindow(CWnd* pAlternateOwner = nullptr);

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Every message of a window made by this layer passes here; the base gives it the
    // default processing of the window's class.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual void DoDataExchange(CDataExchange* pDX) {}
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam) { return FALSE; }
    // After the window is gone; frames delete themselves here.
    virtual void PostNcDestroy() {}
    // The window's class procedure for windows of a class registered by this layer.
    static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    friend LPCSTR AfxRegisterWndClass(UINT, HCURSOR, HBRUSH, HICON);

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR idSubclass, DWORD_PTR refData);
    void Attach(HWND hWnd);
    bool m_subclassed = false;
    bool m_ownClass = false;
    mutable CFont m_borrowedFont;
};

// A window class with this layer's procedure; the name stays valid for the process.
LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr, HBRUSH hbrBackground = nullptr,
                           HICON hIcon = nullptr);

class CDialog : public CWnd {
public:
    CDialog() = default;
    // A dialog from the module's resources, in the thread's interface language.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr) : m_nIDTemplate(nIDTemplate)
    {
        m_pParentWnd = pParentWnd;
    }

    BOOL InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr);
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    void MapDialogRect(LPRECT lpRect) const;

    virtual BOOL OnInitDialog();

protected:
    virtual void OnOK();
    virtual void OnCancel();
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    // WM_NOTIFY of a control; true when taken.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) { return FALSE; }

    CWnd* m_pParentWnd = nullptr;
    LPCDLGTEMPLATE m_lpDialogTemplate = nullptr;
    UINT m_nIDTemplate = 0;
    // Result given to EndDialog, -1 while the dialog runs.
    int m_nModalResult = -1;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};

class CRecentFileList;
class CFrameWnd;

class CCommandLineInfo {
public:
    enum { FileNew = 0, FileOpen = 1, FileNothing = 5 };
    int m_nShellCommand = FileNew;
    CString m_strFileName;
};

class CWinApp {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    virtual BOOL InitInstance() { return TRUE; }
    // Saves the recent-file list; answers the exit code of the quit message.
    virtual int ExitInstance();
    // The message loop, with the accelerators of the frame that holds the focus.
    virtual int Run();
    virtual BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo) { return TRUE; }
    // Commands that no frame took (a frame hands them on).
    virtual BOOL OnCommand(UINT nID) { return FALSE; }

    // Settings under HKEY_CURRENT_USER "Software\<key>\<application name>".
    void SetRegistryKey(LPCSTR lpszRegistryKey);
    void LoadStdProfileSettings(UINT nMaxMRU = 4);
    CString GetProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue = nullptr);
    UINT GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue);
    BOOL WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value);
    BOOL WriteProfileInt(LPCSTR section, LPCSTR entry, int value);

    virtual void AddToRecentFileList(LPCSTR lpszPathName);
    void ParseCommandLine(CCommandLineInfo& rCmdInfo);
    // The shell's open command for this program's windows (nothing to set up here).
    void EnableShellOpen() {}

    LPCSTR m_pszAppName = nullptr;
    LPCSTR m_pszRegistryKey = nullptr;
    CWnd* m_pMainWnd = nullptr;
    CRecentFileList* m_pRecentFileList = nullptr;
    // The code of the quit message that ended Run.
    int m_nExitCode = 0;

private:
    bool OpenSectionKey(LPCSTR section, bool create, HKEY* key);
    std::string m_appName;
    std::string m_registryKey;
};

// The last documents, newest first, kept in the section "Recent File List" as File1 ...
class CRecentFileList {
public:
    CRecentFileList(UINT nStart, LPCSTR lpszSection, LPCSTR lpszEntryFormat, int nSize);
    int GetSize() const { return static_cast<int>(m_files.size()); }
    CString operator[](int index) const { return index >= 0 && index < GetSize() ? m_files[index] : CString(); }
    void Add(LPCSTR path);
    void Remove(int index);
    void ReadList();
    void WriteList();
    // Replaces the menu's recent-file entries (ids nStart up) with the list.
    void UpdateMenu(HMENU menu);

    UINT m_nStart;
    int m_nMaxSize;

private:
    std::string m_section;
    std::string m_entryFormat;
    std::vector<std::string> m_files;
    std::string m_emptyText;
};

// Runs the application object: InitInstance, then the message loop, then ExitInstance.
int AfxWinMain();

CWinApp* AfxGetApp();
// The module (DLL or program) that this layer is linked into.
HINSTANCE AfxGetInstanceHandle();
// Owned by the application's main window, captioned with the application's name.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;  // true: controls to variables
    CWnd* m_pDlgWnd;

    // The control's window, or null when the dialog has none with that id.
    HWND PrepareCtrl(int nIDC) const;
};

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// The index of the checked button in the group that starts at nIDC, -1 for none.
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void DDX_Scroll(CDataExchange* pDX, int nIDC, int& value);
// Attaches the control to rControl, once.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

// MFC's frame style flag: the document's name goes into the title. Not a window style: it
// is taken off before the window is made.
const DWORD FWS_ADDTOTITLE = 0x00008000;
const UINT AFX_IDW_PANE_FIRST = 0xE900;
const UINT AFX_IDW_TOOLBAR = 0xE800;
const UINT AFX_IDS_APP_TITLE = 0xE000;
const UINT ID_FILE_MRU_FILE1 = 0xE110;
const UINT ID_FILE_MRU_LAST = 0xE11F;
const UINT ID_APP_ABOUT = 0xE140;

// A top-level window with the menu, accelerators, title and icon of one resource id.
class CFrameWnd : public CWnd {
public:
    CFrameWnd() = default;
    ~CFrameWnd() override;

    // Loads the frame: title = string nIDResource, its menu, accelerators and icon of that id.
    // A frame that fails is gone: deleted with its window, as every frame ends.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = nullptr);
    HACCEL m_hAccelTable = nullptr;
    HMENU GetMenu() const { return ::GetMenu(m_hWnd); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // 0 to go on, -1 to fail the creation.
    virtual int OnCreate(LPCREATESTRUCTA lpCreateStruct) { return 0; }
    virtual BOOL OnCreateClient(LPCREATESTRUCTA lpcs) { return TRUE; }
    // The base destroys the window.
    virtual void OnClose() { DestroyWindow(); }
    // Commands the frame does not take go to the application.
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    // Frames live on the heap and end with their window.
    void PostNcDestroy() override { delete this; }
};

// A child window in a frame's client area.
class CView : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    virtual void OnDraw(HDC hdc) {}
};

// The standard controls, as thin wrappers of their messages.
class CStatic : public CWnd {
public:
    BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT nID = 0xFFFF)
    {
        return CWnd::Create("STATIC", text, style, rect, parent, nID);
    }
};

class CButton : public CWnd {
public:
    BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT nID)
    {
        return CWnd::Create("BUTTON", text, style, rect, parent, nID);
    }
    int GetCheck() const { return static_cast<int>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int nCheck) { ::SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(nCheck), 0); }
};

class CEdit : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT nID)
    {
        return CWnd::Create("EDIT", "", style, rect, parent, nID);
    }
};

class CComboBox : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT nID)
    {
        return CWnd::Create("COMBOBOX", "", style, rect, parent, nID);
    }
    int AddString(LPCSTR text)
    {
        return static_cast<int>(::SendMessageA(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int InsertString(int index, LPCSTR text)
    {
        return static_cast<int>(::SendMessageA(m_hWnd, CB_INSERTSTRING, static_cast<WPARAM>(index),
                                               reinterpret_cast<LPARAM>(text)));
    }
    void ResetContent() { ::SendMessageA(m_hWnd, CB_RESETCONTENT, 0, 0); }
    int GetCount() const { return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCOUNT, 0, 0)); }
    int GetCurSel() const { return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0)); }
    int SetCurSel(int index)
    {
        return static_cast<int>(::SendMessageA(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0));
    }
    DWORD_PTR GetItemData(int index) const
    {
        return static_cast<DWORD_PTR>(::SendMessageA(m_hWnd, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
    }
    int SetItemData(int index, DWORD_PTR data)
    {
        return static_cast<int>(::SendMessageA(m_hWnd, CB_SETITEMDATA, static_cast<WPARAM>(index),
                                               static_cast<LPARAM>(data)));
    }
    CString GetLBText(int index) const;
};
