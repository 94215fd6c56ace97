#include "afxwin.h"
#include "afxbind.h"

#include <commctrl.h>

#include <stdarg.h>
#include <stdio.h>

namespace {
const char kWndProperty[] = "AfxWnd";
// The object whose window is being made on this thread: its first message attaches it.
thread_local CWnd* creatingWnd = nullptr;
// Whether the last CreateEx of this thread gave its object a window, even one that then
// failed its creation and was destroyed.
thread_local bool createAttached = false;
}

bool CWnd::LastCreateAttached()
{
    return createAttached;
}

// ---- text

BOOL CString::LoadString(UINT nID)
{
    // Read as wide text and converted to the process's code page, so that a resource in
    // any language reads the same way; LoadStringA would stop at a fixed buffer.
    const wchar_t* wide = nullptr;
    int length = ::LoadStringW(AfxGetInstanceHandle(), nID, reinterpret_cast<LPWSTR>(&wide), 0);
    m_text.clear();
    if (length <= 0 || !wide)
        return FALSE;
    int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    m_text.resize(static_cast<size_t>(bytes));
    ::WideCharToMultiByte(CP_ACP, 0, wide, length, &m_text[0], bytes, nullptr, nullptr);
    return TRUE;
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    m_text.assign(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length > 0)
        vsnprintf(&m_text[0], m_text.size(), format, args);
    m_text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    va_end(args);
}


// ---- fonts

BOOL CGdiObject::Attach(HGDIOBJ handle)
{
    if (!handle)
        return FALSE;
    m_hObject = handle;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ handle = m_hObject;
    m_hObject = nullptr;
    return handle;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    return ::DeleteObject(Detach());
}

BOOL CFont::CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                       BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                       BYTE nQuality, BYTE nPitchAndFamily, LPCSTR lpszFacename)
{
    return Attach(::CreateFontA(nHeight, nWidth, nEscapement, nOrientation, nWeight, bItalic, bUnderline,
                                cStrikeOut, nCharSet, nOutPrecision, nClipPrecision, nQuality, nPitchAndFamily,
                                lpszFacename));
}

int CFont::GetLogFont(LOGFONTA* pLogFont) const
{
    return m_hObject ? ::GetObjectA(m_hObject, sizeof(LOGFONTA), pLogFont) : 0;
}

// ---- windows

CWnd::~CWnd()
{
    m_borrowedFont.Detach();
    if (m_hWnd && ::IsWindow(m_hWnd) && (m_subclassed || m_ownClass)) {
        // The window outlives no object: it is detached first, so that its last messages
        // find no half-destroyed object.
        if (m_ownClass)
            ::RemovePropA(m_hWnd, kWndProperty);
        HWND hWnd = m_hWnd;
        m_ownClass = false;
        m_hWnd = nullptr;
        ::DestroyWindow(hWnd);
    }
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!hWnd || m_hWnd)
        return FALSE;
    if (!afxbind::SetWindowSubclass(hWnd, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this)))
        return FALSE;
    m_hWnd = hWnd;
    m_subclassed = true;
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (hWnd && m_subclassed)
        afxbind::RemoveWindowSubclass(hWnd, SubclassProc, 0);
    m_subclassed = false;
    m_hWnd = nullptr;
    return hWnd;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR idSubclass,
                                    DWORD_PTR refData)
{
    CWnd* wnd = reinterpret_cast<CWnd*>(refData);
    if (message == WM_NCDESTROY) {
        wnd->UnsubclassWindow();
        return afxbind::DefSubclassProc(hWnd, message, wParam, lParam);
    }
    return wnd->WindowProc(message, wParam, lParam);
}


CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd ? static_cast<CWnd*>(::GetPropA(hWnd, kWndProperty)) : nullptr;
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    m_ownClass = true;
    ::SetPropA(hWnd, kWndProperty, this);
}

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandlePermanent(hWnd);
    if (!wnd && creatingWnd) {
        wnd = creatingWnd;
        creatingWnd = nullptr;
        createAttached = true;
        wnd->Attach(hWnd);
    }
    if (!wnd)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    if (message != WM_NCDESTROY)
        return wnd->WindowProc(message, wParam, lParam);
    LRESULT result = wnd->WindowProc(message, wParam, lParam);
    ::RemovePropA(hWnd, kWndProperty);
    wnd->m_hWnd = nullptr;
    wnd->m_ownClass = false;
    wnd->PostNcDestroy();
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_ownClass)
        return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
    return afxbind::DefSubclassProc(m_hWnd, message, wParam, lParam);
}

LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon)
{
    // One class per combination, named after it as the system's own layer does.
    static std::vector<std::string> names;
    char name[128];
    snprintf(name, sizeof name, "Afx:%p:%x:%p:%p:%p", static_cast<void*>(AfxGetInstanceHandle()), nClassStyle,
             static_cast<void*>(hCursor), static_cast<void*>(hbrBackground), static_cast<void*>(hIcon));
    for (const std::string& known : names)
        if (known == name)
            return known.c_str();
    WNDCLASSA wc = {};
    wc.style = nClassStyle;
    wc.lpfnWndProc = CWnd::AfxWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = hCursor;
    wc.hbrBackground = hbrBackground;
    wc.hIcon = hIcon;
    wc.lpszClassName = name;
    if (!::RegisterClassA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    // Kept for the process: the list only grows, and reserve keeps earlier names in place.
    if (names.capacity() == 0)
        names.reserve(64);
    if (names.size() == names.capacity())
        return nullptr;
    names.push_back(name);
    return names.back().c_str();
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                    CWnd* pParentWnd, UINT nID, LPVOID lpParam)
{
    if (m_hWnd)
        return FALSE;
    CREATESTRUCTA cs = {};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = static_cast<LONG>(dwStyle);
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.hwndParent = pParentWnd ? pParentWnd->m_hWnd : nullptr;
    // A child's menu handle carries its control id.
    cs.hMenu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID));
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs))
        return FALSE;
    creatingWnd = this;
    createAttached = false;
    HWND hWnd = ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x,
                                  cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    creatingWnd = nullptr;
    if (m_ownClass)
        return hWnd != nullptr;
    if (!hWnd)
        return FALSE;
    if (!SubclassWindow(hWnd)) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                  UINT nID)
{
    return CWnd::CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    HWND hWnd = m_hWnd;
    if (!m_subclassed && !m_ownClass)
        m_hWnd = nullptr;
    return ::DestroyWindow(hWnd);
}

CString CWnd::GetWindowText() const
{
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(m_hWnd)) + 1, '\0');
    ::GetWindowTextA(m_hWnd, &text[0], static_cast<int>(text.size()));
    return CString(text.c_str());
}

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type)
{
    CWinApp* app = AfxGetApp();
    if (!caption)
        caption = app && app->m_pszAppName ? app->m_pszAppName : "";
    return ::MessageBoxA(m_hWnd, text, caption, type);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw)
{
    HFONT hFont = pFont ? static_cast<HFONT>(*pFont) : nullptr;
    ::SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), bRedraw);
}

CFont* CWnd::GetFont() const
{
    HFONT hFont = m_hWnd ? reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)) : nullptr;
    m_borrowedFont.Detach();
    if (!hFont)
        return nullptr;
    m_borrowedFont.Attach(hFont);
    return &m_borrowedFont;
}

void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    HWND owner = pAlternateOwner ? pAlternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoA(::MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT area = monitor.rcWork;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &area);

    RECT own;
    ::GetWindowRect(m_hWnd, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int x = (area.left + area.right - width) / 2;
    int y = (area.top + area.bottom - height) / 2;
    // Kept on the work area, the caption first.
    const RECT& work = monitor.rcWork;
    if (x + width > work.right)
        x = work.right - width;
    if (x < work.left)
        x = work.left;
    if (y + height > work.bottom)
        y = work.bottom - height;
    if (y < work.top)
        y = work.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

// ---- dialogs

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd)
{
    m_lpDialogTemplate = lpDialogTemplate;
    m_pParentWnd = pParentWnd;
    return lpDialogTemplate != nullptr;
}

INT_PTR CDialog::DoModal()
{
    if (!m_lpDialogTemplate && m_nIDTemplate) {
        HRSRC resource = ::FindResourceA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), MAKEINTRESOURCEA(5));
        HGLOBAL loaded = resource ? ::LoadResource(AfxGetInstanceHandle(), resource) : nullptr;
        m_lpDialogTemplate = loaded ? static_cast<LPCDLGTEMPLATE>(::LockResource(loaded)) : nullptr;
    }
    if (!m_lpDialogTemplate)
        return -1;
    // Templates may name any of the common controls.
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                                                        ICC_INTERNET_CLASSES};
    afxbind::InitCommonControlsEx(&classes);

    m_nModalResult = -1;
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    INT_PTR result = ::DialogBoxIndirectParamA(AfxGetInstanceHandle(), m_lpDialogTemplate, owner, DialogProc,
                                               reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        dialog->m_hWnd = hWnd;
        return dialog->OnInitDialog();
    }
    CDialog* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (!dialog)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        return dialog->OnCommand(wParam, lParam);
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!dialog->OnNotify(wParam, lParam, &result))
            return FALSE;
        ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_NCDESTROY:
        dialog->m_hWnd = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    if (m_hWnd)
        ::EndDialog(m_hWnd, nResult);
}

void CDialog::MapDialogRect(LPRECT lpRect) const
{
    ::MapDialogRect(m_hWnd, lpRect);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // A dialog that is already ending takes no second OK or Cancel.
    if (HIWORD(wParam) != BN_CLICKED || m_nModalResult != -1)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- application

namespace {
CWinApp* theApp = nullptr;
}

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszAppName(lpszAppName)
{
    theApp = this;
}

CWinApp::~CWinApp()
{
    if (theApp == this)
        theApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return theApp;
}

HINSTANCE AfxGetInstanceHandle()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&AfxGetInstanceHandle), &module);
    return module;
}

int AfxMessageBox(LPCSTR lpszText, UINT nType)
{
    CWinApp* app = AfxGetApp();
    std::string title;
    if (app && app->m_pszAppName) {
        title = app->m_pszAppName;
    } else {
        // The module's file name without folder and extension.
        char path[MAX_PATH] = "";
        ::GetModuleFileNameA(AfxGetInstanceHandle(), path, MAX_PATH);
        title = path;
        title = title.substr(title.find_last_of("\\/") + 1);
        title = title.substr(0, title.find_last_of('.'));
    }
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
    return ::MessageBoxA(owner, lpszText, title.c_str(), nType);
}

// ---- data exchange

HWND CDataExchange::PrepareCtrl(int nIDC) const
{
    return m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC) : nullptr;
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control)
        return;
    if (pDX->m_bSaveAndValidate) {
        std::string text(static_cast<size_t>(::GetWindowTextLengthA(control)) + 1, '\0');
        ::GetWindowTextA(control, &text[0], static_cast<int>(text.size()));
        value = text.c_str();
    } else {
        ::SetWindowTextA(control, value);
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control)
        return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control)
        return;
    if (pDX->m_bSaveAndValidate)
        value = -1;
    // The group runs from nIDC up to the next control that starts a group.
    int index = 0;
    for (HWND button = control; button; button = ::GetWindow(button, GW_HWNDNEXT)) {
        if (button != control && (::GetWindowLongA(button, GWL_STYLE) & WS_GROUP))
            break;
        if (!(::SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
            continue;
        if (pDX->m_bSaveAndValidate) {
            if (::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = index;
        } else {
            ::SendMessageA(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++index;
    }
}

void DDX_Scroll(CDataExchange* pDX, int nIDC, int& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control)
        return;
    if (pDX->m_bSaveAndValidate)
        value = ::GetScrollPos(control, SB_CTL);
    else
        ::SetScrollPos(control, SB_CTL, value, TRUE);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    rControl.SubclassWindow(pDX->PrepareCtrl(nIDC));
}
