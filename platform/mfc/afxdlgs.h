// The system's open and save dialogs as a dialog object.
#pragma once

#include "afxwin.h"

#include <commdlg.h>

#include <string>

class CFileDialog : public CDialog {
public:
    // lpszFilter: description and pattern pairs separated by '|', closed by "||".
    CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr);

    INT_PTR DoModal() override;
    CString GetPathName() const { return m_szFileName; }

    OPENFILENAMEA m_ofn;

private:
    BOOL m_bOpenFileDialog;
    std::string m_strDefExt;
    std::string m_strFilter;
    char m_szFileName[MAX_PATH] = "";
};
