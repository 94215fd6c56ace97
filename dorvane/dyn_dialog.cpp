#include "dyn_dialog.h"

#include <afxcmn.h>

#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const int kFirstTypeId = 128;
// In type-id order from 128.
const char* const kControlClasses[] = {
    "BUTTON",          "EDIT",           "STATIC",           "LISTBOX",         "SCROLLBAR",
    "COMBOBOX",        "msctls_updown32", "msctls_progress32", "msctls_trackbar32", "msctls_hotkey32",
    "SysListView32",   "SysTreeView32",  "SysTabControl32",  "SysAnimate32",    "RICHEDIT",
    "SysDateTimePick32", "SysMonthCal32", "SysIPAddress32",   "ComboBoxEx32",
};
const int kControlClassCount = static_cast<int>(sizeof kControlClasses / sizeof kControlClasses[0]);

const int kButton = 128;
const int kEdit = 129;
const int kScrollBar = 132;
const int kTrackBar = 136;
const int kDateTimePicker = 143;
const int kMonthCalendar = 144;

// Button styles BS_AUTORADIOBUTTON and BS_AUTOCHECKBOX, tested as bit sets.
const DWORD kAutoRadioBits = 0x9;
const DWORD kAutoCheckBits = 0x3;
// DTS_TIMEFORMAT: a picker of the time of day.
const DWORD kTimeFormatBits = 0x9;

// Ids for controls added with id 0, shared by every dialog of the library.
UINT nextDlgControlId = 1024;

// Writes the text as UTF-16 from the system's 8-bit code page, with its terminator; returns
// the position after it.
BYTE* putTemplateText(BYTE* dest, const char* text)
{
    const int bytes = static_cast<int>(strlen(text));
    std::wstring wide(static_cast<size_t>(bytes) + 1, L'\0');
    int units = ::MultiByteToWideChar(CP_ACP, 0, text, bytes + 1, &wide[0], bytes + 1);
    if (units <= 0)
        units = 1;
    memcpy(dest, wide.data(), static_cast<size_t>(units) * 2);
    return dest + units * 2;
}

BYTE* putWord(BYTE* dest, WORD value)
{
    memcpy(dest, &value, 2);
    return dest + 2;
}

BYTE* putDword(BYTE* dest, DWORD value)
{
    memcpy(dest, &value, 4);
    return dest + 4;
}

}  // namespace

const char* dlgControlClassName(int typeId)
{
    const int index = typeId - kFirstTypeId;
    return index >= 0 && index < kControlClassCount ? kControlClasses[index] : "";
}

int dlgControlTypeId(const char* className)
{
    if (!className)
        return 0;
    for (int index = 0; index < kControlClassCount; ++index) {
        const char* name = kControlClasses[index];
        if (strncmp(name, className, strlen(name)) == 0)
            return kFirstTypeId + index;
    }
    return 0;
}

// ---- DynDialogItem

DynDialogItem::DynDialogItem(int kind, const char* className, UINT id, DWORD style, DWORD exStyle,
                             const RECT& rect, const char* caption, void* data)
    : m_strClassName(className), m_kind(kind), m_id(id), m_style(style), m_exStyle(exStyle), m_rect(rect),
      m_strCaption(caption), m_pData(data)
{
}

BOOL DynDialogItem::CreateEx(CDialog* pDialog, CFont* pFont)
{
    CRect pixels = m_rect;
    pDialog->MapDialogRect(pixels);
    if (!m_wnd.CreateEx(m_exStyle, m_strClassName, m_strCaption, m_style, pixels, pDialog, m_id))
        return FALSE;
    m_wnd.SetFont(pFont, FALSE);
    return TRUE;
}

void DynDialogItem::DoDataExchange(CDataExchange* pDX)
{
    if (!m_pData || m_kind < kFirstTypeId || m_kind >= kFirstTypeId + kControlClassCount)
        return;
    const int id = static_cast<int>(m_id);
    switch (m_kind) {
    case kButton:
        if ((m_style & kAutoRadioBits) == kAutoRadioBits) {
            DDX_Radio(pDX, id, *static_cast<int*>(m_pData));
            return;
        }
        if ((m_style & kAutoCheckBits) == kAutoCheckBits) {
            DDX_Check(pDX, id, *static_cast<int*>(m_pData));
            return;
        }
        break;
    case kEdit:
        DDX_Text(pDX, id, *static_cast<CString*>(m_pData));
        return;
    case kScrollBar:
        DDX_Scroll(pDX, id, *static_cast<int*>(m_pData));
        return;
    case kTrackBar:
        DDX_Slider(pDX, id, *static_cast<int*>(m_pData));
        return;
    case kDateTimePicker:
        // A time of day fits the 1970-based type; dates take the wider one.
        if ((m_style & kTimeFormatBits) == kTimeFormatBits)
            DDX_DateTimeCtrl(pDX, id, *static_cast<CTime*>(m_pData));
        else
            DDX_DateTimeCtrl(pDX, id, *static_cast<COleDateTime*>(m_pData));
        return;
    case kMonthCalendar:
        DDX_MonthCalCtrl(pDX, id, *static_cast<COleDateTime*>(m_pData));
        return;
    default:
        break;
    }
    DDX_Control(pDX, id, *static_cast<CWnd*>(m_pData));
}

// ---- CDynDialogEx

CDynDialogEx::CDynDialogEx(CWnd* pParent) : m_pParent(pParent)
{
}

CDynDialogEx::~CDynDialogEx()
{
    while (!m_controls.empty())
        m_controls.pop_back();
    if (m_bFontOwned)
        delete m_pFont;
}

void CDynDialogEx::SetButtonLabels(const char* first, const char* second)
{
    m_strFirstLabel = first;
    m_strSecondLabel = second;
}

void CDynDialogEx::SetDlgRect(const RECT& rect)
{
    m_x = static_cast<short>(rect.left);
    m_y = static_cast<short>(rect.top);
    m_cx = static_cast<short>(rect.right - rect.left);
    m_cy = static_cast<short>(rect.bottom - rect.top);
}

void CDynDialogEx::GetDlgRect(LPRECT lpRect) const
{
    lpRect->left = m_x;
    lpRect->top = m_y;
    lpRect->right = m_x + m_cx;
    lpRect->bottom = m_y + m_cy;
}

UINT CDynDialogEx::AddDlgControl(int kind, const char* caption, DWORD style, DWORD exStyle, const RECT* rect,
                                 void* data, UINT id)
{
    return AppendControl(kind, dlgControlClassName(kind), 120, caption, style, exStyle, rect, data, id);
}

UINT CDynDialogEx::AddDlgControl(const char* className, const char* caption, DWORD style, DWORD exStyle,
                                 const RECT* rect, void* data, UINT id)
{
    return AppendControl(dlgControlTypeId(className), className, 270, caption, style, exStyle, rect, data, id);
}

UINT CDynDialogEx::AppendControl(int kind, const char* className, int defaultRight, const char* caption,
                                 DWORD style, DWORD exStyle, const RECT* rect, void* data, UINT id)
{
    const CRect control = rect ? CRect(*rect) : CRect(10, m_nCurRow, defaultRight, m_nCurRow + 12);
    m_nCurRow += 12;

    // The template keeps a margin of 5 units right of and below its controls.
    CRect dialog;
    GetDlgRect(dialog);
    if (dialog.left > control.left)
        dialog.left = control.left;
    if (dialog.top > control.top)
        dialog.top = control.top;
    if (dialog.right < control.right)
        dialog.right = control.right + 5;
    if (dialog.bottom < control.bottom)
        dialog.bottom = control.bottom + 5;
    SetDlgRect(dialog);

    if (id == 0)
        id = nextDlgControlId++;
    m_controls.emplace_back(new DynDialogItem(kind, className, id, style, exStyle, control, caption, data));
    return id;
}

void CDynDialogEx::AddSystemButtons()
{
    m_nCurRow += 6;
    const int top = m_nCurRow;
    const int bottom = top + 14;
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    if (m_bSingleButton) {
        const CRect centred(65, top, 115, bottom);
        AddDlgControl(kButton, m_strFirstLabel, style, 0, &centred, nullptr, IDOK);
    } else {
        const CRect left(10, top, 60, bottom);
        const CRect right(95, top, 145, bottom);
        AddDlgControl(kButton, m_strFirstLabel, style, 0, &left, nullptr, IDOK);
        AddDlgControl(kButton, m_strSecondLabel, style, 0, &right, nullptr, IDCANCEL);
    }
}

CString CDynDialogEx::PickTemplateFont()
{
    CFont* font = m_pFont;
    if (!font && m_pParent && m_pParent->m_hWnd)
        font = m_pParent->GetFont();
    CWinApp* app = AfxGetApp();
    if (!font && app && app->m_pMainWnd && app->m_pMainWnd->m_hWnd)
        font = app->m_pMainWnd->GetFont();

    CString face = "MS Sans Serif";
    int height = 8;
    LOGFONTA logFont;
    if (font && font->GetLogFont(&logFont)) {
        face = logFont.lfFaceName;
        // A character height is stored negative; the template wants its size.
        height = abs(logFont.lfHeight);
    }
    if (m_wPointSize == 0)
        m_wPointSize = static_cast<short>(height);
    return face;
}

UINT CDynDialogEx::GetTemplateSize(const char* faceName) const
{
    // Header 18, menu 2, class 2, point size 2 and two terminators of 2: 28 bytes.
    return 28 + 2 * static_cast<UINT>(m_strCaption.GetLength() + strlen(faceName));
}

void CDynDialogEx::FillTemplate(BYTE* dest, const char* faceName) const
{
    BYTE* at = putDword(dest, m_dwStyle);
    at = putDword(at, m_dwExStyle);
    at = putWord(at, m_nControls);
    at = putWord(at, static_cast<WORD>(m_x));
    at = putWord(at, static_cast<WORD>(m_y));
    at = putWord(at, static_cast<WORD>(m_cx));
    at = putWord(at, static_cast<WORD>(m_cy));
    at = putWord(at, 0);  // no menu
    at = putWord(at, 0);  // the system's dialog class
    at = putTemplateText(at, m_strCaption);
    at = putWord(at, static_cast<WORD>(m_wPointSize));
    putTemplateText(at, faceName);
}

INT_PTR CDynDialogEx::DoModal()
{
    if (m_bAddSystemButtons)
        AddSystemButtons();
    const CString face = PickTemplateFont();

    HLOCAL memory = ::LocalAlloc(LHND, GetTemplateSize(face));
    if (!memory) {
        AfxMessageBox("CDynDialogEx::DoModal() : LocalAllock Failed");
        return -1;
    }
    BYTE* dialogTemplate = static_cast<BYTE*>(::LocalLock(memory));
    if (!dialogTemplate) {
        ::LocalFree(memory);
        AfxMessageBox("CDynDialogEx::DoModal() : LocalLock Failed");
        return -1;
    }
    FillTemplate(dialogTemplate, face);

    InitModalIndirect(reinterpret_cast<LPCDLGTEMPLATE>(dialogTemplate), m_pParent);
    const INT_PTR result = CDialog::DoModal();

    ::LocalUnlock(memory);
    ::LocalFree(memory);
    return result;
}

namespace {

const char kKeptFont[] = "DynDialogFont";
const char kKeptProc[] = "DynDialogProc";

// The dialog manager answers WM_GETFONT with the template's font and ignores a later
// WM_SETFONT: the window keeps the font it is given instead.
LRESULT CALLBACK fontKeeper(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = reinterpret_cast<WNDPROC>(::GetPropA(window, kKeptProc));
    if (message == WM_GETFONT)
        return reinterpret_cast<LRESULT>(::GetPropA(window, kKeptFont));
    if (message == WM_SETFONT)
        ::SetPropA(window, kKeptFont, reinterpret_cast<HANDLE>(wParam));
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        ::RemovePropA(window, kKeptFont);
        ::RemovePropA(window, kKeptProc);
    }
    return ::CallWindowProcA(previous, window, message, wParam, lParam);
}

void keepDialogFont(HWND window)
{
    HANDLE previous = reinterpret_cast<HANDLE>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(fontKeeper)));
    ::SetPropA(window, kKeptProc, previous);
}

}  // namespace

BOOL CDynDialogEx::OnInitDialog()
{
    if (!m_pFont) {
        CFont* font = new CFont;
        font->CreateFont(8, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
        m_pFont = font;
        m_bFontOwned = true;
        // The dialog's own font too, not only its controls'.
        keepDialogFont(m_hWnd);
        CWnd::SetFont(m_pFont, FALSE);
    }
    for (const std::unique_ptr<DynDialogItem>& control : m_controls)
        if (!control->CreateEx(this, m_pFont))
            AfxMessageBox("Failed to create DlgItem.");

    CDialog::OnInitDialog();
    CenterWindow();
    return TRUE;
}

BOOL CDynDialogEx::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
    else if (id != 0 && m_pParent && m_pParent->m_hWnd)
        m_pParent->SendMessage(WM_COMMAND, wParam, lParam);
    return CDialog::OnCommand(wParam, lParam);
}

void CDynDialogEx::DoDataExchange(CDataExchange* pDX)
{
    for (auto control = m_controls.rbegin(); control != m_controls.rend(); ++control)
        (*control)->DoDataExchange(pDX);
}
