// Our small stand-in for the application, window, font, dialog and data-exchange classes,
// on plain Win32. It holds what our code calls, under the names that code uses, and nothing
// else: no message maps, no command routing beyond a dialog's OK and Cancel.
#pragma once

#include <windows.h>

#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString& operator=(const char* text)
    {
        m_text = text ? text : "";
        return *this;
    }
    operator const char*() const { return m_text.c_str(); }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }

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

    // Follows the window: m_hWnd goes back to null when the window is destroyed.
    BOOL SubclassWindow(HWND hWnd);
    HWND UnsubclassWindow();

    virtual BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                          const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    virtual BOOL DestroyWindow();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    // The window's font, borrowed until the next call; null for the system font.
    CFont* GetFont() const;
    void CenterWindow(CWnd* pAlternateOwner = nullptr);

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    virtual void DoDataExchange(CDataExchange* pDX) {}
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam) { return FALSE; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR idSubclass, DWORD_PTR refData);
    bool m_subclassed = false;
    mutable CFont m_borrowedFont;
};

class CDialog : public CWnd {
public:
    CDialog() = default;

    BOOL InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr);
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    void MapDialogRect(LPRECT lpRect) const;

    virtual BOOL OnInitDialog();

protected:
    virtual void OnOK();
    virtual void OnCancel();
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    CWnd* m_pParentWnd = nullptr;
    LPCDLGTEMPLATE m_lpDialogTemplate = nullptr;
    // Result given to EndDialog, -1 while the dialog runs.
    int m_nModalResult = -1;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};

class CWinApp {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    LPCSTR m_pszAppName = nullptr;
    CWnd* m_pMainWnd = nullptr;
};

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
