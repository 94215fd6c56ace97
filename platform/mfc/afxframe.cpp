#include "afxwin.h"

#include <commctrl.h>

// ---- frames

CFrameWnd::~CFrameWnd()
{
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd)
{
    HINSTANCE instance = AfxGetInstanceHandle();
    CString title;
    title.LoadString(nIDResource);
    HICON icon = ::LoadIconA(instance, MAKEINTRESOURCEA(nIDResource));
    LPCSTR className = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), icon);
    if (!className) {
        PostNcDestroy();
        return FALSE;
    }
    HMENU menu = ::LoadMenuA(instance, MAKEINTRESOURCEA(nIDResource));
    m_hAccelTable = ::LoadAcceleratorsA(instance, MAKEINTRESOURCEA(nIDResource));

    // CWnd::CreateEx takes a control id in place of a menu: the menu is set once the
    // window stands.
    RECT rect = {CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};
    rect.right = rect.left + 640;
    rect.bottom = rect.top + 480;
    if (!CWnd::CreateEx(0, className, title, dwDefaultStyle & ~FWS_ADDTOTITLE, rect, pParentWnd, 0)) {
        if (menu)
            ::DestroyMenu(menu);
        // A window that was made and failed its creation has deleted the frame already.
        if (!LastCreateAttached())
            PostNcDestroy();
        return FALSE;
    }
    if (menu)
        ::SetMenu(m_hWnd, menu);
    return TRUE;
}

BOOL CFrameWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    CWinApp* app = AfxGetApp();
    return app && app->OnCommand(LOWORD(wParam));
}

LRESULT CFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        LPCREATESTRUCTA cs = reinterpret_cast<LPCREATESTRUCTA>(lParam);
        if (!OnCreateClient(cs) || OnCreate(cs) == -1)
            return -1;
        return 0;
    }
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_SIZE:
        // The toolbar spans the client's width whatever size the frame takes, as MFC lays
        // out its control bars.
        if (HWND bar = ::GetDlgItem(m_hWnd, AFX_IDW_TOOLBAR))
            ::SendMessageA(bar, TB_AUTOSIZE, 0, 0);
        break;
    case WM_INITMENUPOPUP: {
        CWinApp* app = AfxGetApp();
        if (app && app->m_pRecentFileList)
            app->m_pRecentFileList->UpdateMenu(reinterpret_cast<HMENU>(wParam));
        break;
    }
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

// ---- views

LRESULT CView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC hdc = ::BeginPaint(m_hWnd, &paint);
        OnDraw(hdc);
        ::EndPaint(m_hWnd, &paint);
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

// ---- controls

CString CComboBox::GetLBText(int index) const
{
    LRESULT length = ::SendMessageA(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR)
        return CString();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    ::SendMessageA(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    return CString(text.c_str());
}
