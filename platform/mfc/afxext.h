// The toolbar control bar.
#pragma once

#include "afxwin.h"

#include <commctrl.h>

const UINT TBBS_SEPARATOR = TBSTYLE_SEP;
const UINT TBBS_BUTTON = TBSTYLE_BUTTON;
const DWORD CBRS_ALIGN_TOP = 0x1000;
const DWORD CBRS_BORDER_BOTTOM = 0x0800;
const DWORD CBRS_TOP = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM;

// A toolbar of the common controls along the top of its frame, with its buttons from a
// toolbar resource (button size and command ids) and the bitmap of the same id.
class CToolBar : public CWnd {
public:
    // dwStyle: window styles and the CBRS_ alignment bits.
    BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = TBSTYLE_FLAT,
                  DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, UINT nID = AFX_IDW_TOOLBAR);
    BOOL LoadToolBar(UINT nIDResource);
    int GetCount() const;
    UINT GetItemID(int nIndex) const;
    int CommandToIndex(UINT nIDFind) const;
    // A separator of nImage pixels in place of a button turns the item into room for a control.
    void SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage);
    void GetItemRect(int nIndex, LPRECT lpRect) const;
};
