#include "afxext.h"
#include "afxbind.h"

namespace {
// The toolbar resource as the resource compiler writes it: button width, button height and
// item count, then the command ids (0 for a separator), each 32 bits.
struct ToolBarData {
    DWORD width;
    DWORD height;
    DWORD itemCount;
};
}  // namespace

BOOL CToolBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, UINT nID)
{
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    afxbind::InitCommonControlsEx(&classes);
    // Alignment and border bits are ours; the control sits at the top of its parent.
    DWORD style = (dwStyle & ~(CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM)) | dwCtrlStyle | CCS_TOP | CCS_NODIVIDER |
                  WS_CLIPCHILDREN;
    RECT rect = {0, 0, 0, 0};
    if (!CWnd::CreateEx(0, TOOLBARCLASSNAMEA, "", style | WS_CHILD, rect, pParentWnd, nID))
        return FALSE;
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    return TRUE;
}

BOOL CToolBar::LoadToolBar(UINT nIDResource)
{
    HINSTANCE instance = AfxGetInstanceHandle();
    HRSRC resource = ::FindResourceA(instance, MAKEINTRESOURCEA(nIDResource), MAKEINTRESOURCEA(241));
    HGLOBAL loaded = resource ? ::LoadResource(instance, resource) : nullptr;
    const ToolBarData* data = loaded ? static_cast<const ToolBarData*>(::LockResource(loaded)) : nullptr;
    DWORD size = resource ? ::SizeofResource(instance, resource) : 0;
    if (!data || size < sizeof(ToolBarData) || data->itemCount > (size - sizeof(ToolBarData)) / sizeof(DWORD) ||
        data->width > 256 || data->height > 256)
        return FALSE;
    const DWORD* items = reinterpret_cast<const DWORD*>(data + 1);
    const int count = static_cast<int>(data->itemCount);

    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(data->width, data->height));
    int buttons = 0;
    for (int i = 0; i < count; i++)
        if (items[i])
            buttons++;
    TBADDBITMAP bitmap = {instance, nIDResource};
    if (buttons && SendMessage(TB_ADDBITMAP, static_cast<WPARAM>(buttons), reinterpret_cast<LPARAM>(&bitmap)) == -1)
        return FALSE;
    int image = 0;
    for (int i = 0; i < count; i++) {
        TBBUTTON button = {};
        button.idCommand = static_cast<int>(items[i]);
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = items[i] ? BTNS_BUTTON : BTNS_SEP;
        button.iBitmap = items[i] ? image++ : 0;
        if (!SendMessage(TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button)))
            return FALSE;
    }
    SendMessage(TB_AUTOSIZE);
    return TRUE;
}

int CToolBar::GetCount() const
{
    return static_cast<int>(::SendMessageA(m_hWnd, TB_BUTTONCOUNT, 0, 0));
}

UINT CToolBar::GetItemID(int nIndex) const
{
    TBBUTTON button = {};
    ::SendMessageA(m_hWnd, TB_GETBUTTON, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&button));
    return static_cast<UINT>(button.idCommand);
}

int CToolBar::CommandToIndex(UINT nIDFind) const
{
    // One question to the control, not two per item: the toolbar is built at every start.
    return static_cast<int>(::SendMessageA(m_hWnd, TB_COMMANDTOINDEX, static_cast<WPARAM>(nIDFind), 0));
}

void CToolBar::SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage)
{
    // The control keeps no width for a separator that is changed in place: the item is
    // replaced by a separator of the width.
    ::SendMessageA(m_hWnd, TB_DELETEBUTTON, static_cast<WPARAM>(nIndex), 0);
    TBBUTTON button = {};
    button.idCommand = static_cast<int>(nID);
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = static_cast<BYTE>(nStyle);
    button.iBitmap = iImage;
    ::SendMessageA(m_hWnd, TB_INSERTBUTTONA, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&button));
}

void CToolBar::GetItemRect(int nIndex, LPRECT lpRect) const
{
    ::SetRectEmpty(lpRect);
    ::SendMessageA(m_hWnd, TB_GETITEMRECT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpRect));
}
