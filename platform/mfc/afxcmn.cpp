#include "afxcmn.h"
#include "afxbind.h"

#include <commctrl.h>

void DDX_Slider(CDataExchange* pDX, int nIDC, int& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control)
        return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(control, TBM_GETPOS, 0, 0));
    else
        ::SendMessageA(control, TBM_SETPOS, TRUE, value);
}

CTime::CTime(const SYSTEMTIME& systemTime)
{
    struct tm local = {};
    local.tm_year = systemTime.wYear - 1900;
    local.tm_mon = systemTime.wMonth - 1;
    local.tm_mday = systemTime.wDay;
    local.tm_hour = systemTime.wHour;
    local.tm_min = systemTime.wMinute;
    local.tm_sec = systemTime.wSecond;
    local.tm_isdst = -1;
    m_time = _mktime64(&local);
}

BOOL CTime::GetAsSystemTime(SYSTEMTIME& systemTime) const
{
    struct tm local;
    if (_localtime64_s(&local, &m_time) != 0)
        return FALSE;
    systemTime = {};
    systemTime.wYear = static_cast<WORD>(local.tm_year + 1900);
    systemTime.wMonth = static_cast<WORD>(local.tm_mon + 1);
    systemTime.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    systemTime.wDay = static_cast<WORD>(local.tm_mday);
    systemTime.wHour = static_cast<WORD>(local.tm_hour);
    systemTime.wMinute = static_cast<WORD>(local.tm_min);
    systemTime.wSecond = static_cast<WORD>(local.tm_sec);
    return TRUE;
}

COleDateTime::COleDateTime(const SYSTEMTIME& systemTime)
{
    SYSTEMTIME copy = systemTime;
    m_status = afxbind::SystemTimeToVariantTime(&copy, &m_dt) ? valid : invalid;
}

BOOL COleDateTime::GetAsSystemTime(SYSTEMTIME& systemTime) const
{
    return m_status == valid && afxbind::VariantTimeToSystemTime(m_dt, &systemTime);
}

namespace {

void markNoDate(CTime&)
{
}

void markNoDate(COleDateTime& value)
{
    value.m_status = COleDateTime::null;
}

// A picker without a date (its check box cleared) leaves a CTime as it was.
template <typename DateTime>
void exchangeDateTime(CDataExchange* pDX, int nIDC, DateTime& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control)
        return;
    SYSTEMTIME time = {};
    if (pDX->m_bSaveAndValidate) {
        if (::SendMessageA(control, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) == GDT_VALID)
            value = DateTime(time);
        else
            markNoDate(value);
    } else if (value.GetAsSystemTime(time)) {
        ::SendMessageA(control, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
    } else {
        ::SendMessageA(control, DTM_SETSYSTEMTIME, GDT_NONE, 0);
    }
}

}  // namespace

void DDX_DateTimeCtrl(CDataExchange* pDX, int nIDC, CTime& value)
{
    exchangeDateTime(pDX, nIDC, value);
}

void DDX_DateTimeCtrl(CDataExchange* pDX, int nIDC, COleDateTime& value)
{
    exchangeDateTime(pDX, nIDC, value);
}

void DDX_MonthCalCtrl(CDataExchange* pDX, int nIDC, COleDateTime& value)
{
    HWND control = pDX->PrepareCtrl(nIDC);
    if (!control)
        return;
    SYSTEMTIME time = {};
    if (pDX->m_bSaveAndValidate) {
        if (::SendMessageA(control, MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&time)))
            value = COleDateTime(time);
    } else if (value.GetAsSystemTime(time)) {
        ::SendMessageA(control, MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&time));
    }
}

BOOL CSpinButtonCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT nID)
{
    return CWnd::Create(UPDOWN_CLASSA, "", style, rect, parent, nID);
}
