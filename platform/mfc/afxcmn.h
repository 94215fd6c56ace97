// Data exchange with the common controls that dialogs built in memory may hold.
#pragma once

#include "afxwin.h"

#include <commctrl.h>
#include <oleauto.h>
#include <time.h>

void DDX_Slider(CDataExchange* pDX, int nIDC, int& value);

// A point in time in local time, in seconds since 1970.
class CTime {
public:
    CTime() = default;
    explicit CTime(__time64_t time) : m_time(time) {}
    explicit CTime(const SYSTEMTIME& systemTime);

    __time64_t GetTime() const { return m_time; }
    BOOL GetAsSystemTime(SYSTEMTIME& systemTime) const;

private:
    __time64_t m_time = 0;
};

// A date and time as days since 30 December 1899; null when a picker holds no date.
class COleDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    COleDateTime() = default;
    explicit COleDateTime(const SYSTEMTIME& systemTime);

    BOOL GetAsSystemTime(SYSTEMTIME& systemTime) const;

    DATE m_dt = 0;
    DateTimeStatus m_status = valid;
};

void DDX_DateTimeCtrl(CDataExchange* pDX, int nIDC, CTime& value);
void DDX_DateTimeCtrl(CDataExchange* pDX, int nIDC, COleDateTime& value);
void DDX_MonthCalCtrl(CDataExchange* pDX, int nIDC, COleDateTime& value);

class CSpinButtonCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT nID);
    void SetBuddy(CWnd* buddy) { SendMessage(UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy->m_hWnd)); }
    void SetRange32(int lower, int upper) { SendMessage(UDM_SETRANGE32, static_cast<WPARAM>(lower), upper); }
    int GetPos32() { return static_cast<int>(SendMessage(UDM_GETPOS32)); }
    int SetPos32(int pos) { return static_cast<int>(SendMessage(UDM_SETPOS32, 0, pos)); }
};

class CSliderCtrl : public CWnd {
public:
    void SetRange(int minimum, int maximum, BOOL redraw = FALSE)
    {
        SendMessage(TBM_SETRANGEMIN, FALSE, minimum);
        SendMessage(TBM_SETRANGEMAX, redraw, maximum);
    }
    int GetRangeMin() { return static_cast<int>(SendMessage(TBM_GETRANGEMIN)); }
    int GetRangeMax() { return static_cast<int>(SendMessage(TBM_GETRANGEMAX)); }
    void SetTicFreq(int frequency) { SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(frequency)); }
    int GetPos() { return static_cast<int>(SendMessage(TBM_GETPOS)); }
    void SetPos(int pos) { SendMessage(TBM_SETPOS, TRUE, pos); }
};
