#include "afxdlgs.h"
#include "afxbind.h"

#include <string.h>

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags,
                         LPCSTR lpszFilter, CWnd* pParentWnd)
    : m_ofn(), m_bOpenFileDialog(bOpenFileDialog)
{
    m_pParentWnd = pParentWnd;
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.Flags = dwFlags | OFN_EXPLORER;
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    if (lpszDefExt) {
        m_strDefExt = lpszDefExt;
        m_ofn.lpstrDefExt = m_strDefExt.c_str();
    }
    if (lpszFileName) {
        // A name that does not fit starts the dialog empty rather than cut.
        if (strlen(lpszFileName) < MAX_PATH)
            strcpy(m_szFileName, lpszFileName);
    }
    if (lpszFilter) {
        // The system takes the pairs separated by NULs and closed by two.
        m_strFilter = lpszFilter;
        for (char& c : m_strFilter)
            if (c == '|')
                c = '\0';
        m_strFilter.append(2, '\0');
        m_ofn.lpstrFilter = m_strFilter.c_str();
    }
}

INT_PTR CFileDialog::DoModal()
{
    m_ofn.hwndOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    m_ofn.hInstance = AfxGetInstanceHandle();
    BOOL chosen = m_bOpenFileDialog ? afxbind::GetOpenFileNameA(&m_ofn) : afxbind::GetSaveFileNameA(&m_ofn);
    return chosen ? IDOK : IDCANCEL;
}
