#include "standalone_toolbar.h"

#include <cstdio>

#include "application.h"
#include "resource.h"

// ---- processor meter

COLORREF CCpuMeter::LoadColor(int percent) {
    if (percent >= 80) return RGB(255, 0, 0);
    if (percent >= 50) return RGB(255, 255, 0);
    return RGB(0, 255, 0);
}

int CCpuMeter::LoadPercent(float load) {
    float percent = load * 100.f;
    if (!(percent > 0.f)) return 0;
    if (percent >= 100.f) return 100;
    return (int)percent;
}

BOOL CCpuMeter::Create(const RECT& rect, CWnd* parent, UINT nID) {
    if (!CStatic::Create("", WS_CHILD | WS_VISIBLE | SS_NOTIFY, rect, parent, nID)) return FALSE;
    SetTimer(1, 500);
    return TRUE;
}

CCpuMeter::~CCpuMeter() {
    if (background) DeleteObject(background);
}

LRESULT CCpuMeter::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == 1) {
                int load = LoadPercent(Application::instance()->getCpuLoad());
                if (load != shownLoad) {
                    shownLoad = load;
                    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
                }
                return 0;
            }
            break;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_DESTROY:
            KillTimer(1);
            break;
        default: break;
    }
    return CStatic::WindowProc(message, wParam, lParam);
}

void CCpuMeter::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    if (!background) background = CreateSolidBrush(RGB(0, 0, 0));
    RECT rect;
    GetClientRect(&rect);
    FillRect(dc, &rect, background);
    auto border = [dc](RECT r, COLORREF topLeft, COLORREF bottomRight) {
        HPEN light = CreatePen(PS_SOLID, 1, topLeft), dark = CreatePen(PS_SOLID, 1, bottomRight);
        HGDIOBJ old = SelectObject(dc, light);
        MoveToEx(dc, r.left, r.bottom - 1, nullptr);
        LineTo(dc, r.left, r.top);
        LineTo(dc, r.right - 1, r.top);
        SelectObject(dc, dark);
        LineTo(dc, r.right - 1, r.bottom - 1);
        LineTo(dc, r.left, r.bottom - 1);
        SelectObject(dc, old);
        DeleteObject(light);
        DeleteObject(dark);
    };
    border(rect, RGB(132, 130, 132), RGB(255, 255, 255));
    RECT inner = {rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
    border(inner, RGB(0, 0, 0), RGB(214, 211, 206));
    RECT textBox = {inner.left + 2, inner.top + 2, inner.left + 2 + 32, inner.bottom - 2};
    char text[16];
    std::snprintf(text, sizeof(text), "%d%%", shownLoad);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
    SetBkColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, OPAQUE);
    SetTextColor(dc, LoadColor(shownLoad));
    DrawTextA(dc, text, -1, &textBox, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
    EndPaint(m_hWnd, &paint);
}

// ---- toolbar

CStandAloneToolBar::~CStandAloneToolBar() = default;

std::string CStandAloneToolBar::OutputPairName(const std::string& first, const std::string& second) {
    if (first == second) return first;
    size_t shared = 0;
    while (shared < first.size() && shared < second.size() && first[shared] == second[shared]) shared++;
    return first + " / " + second.substr(shared);
}

bool CStandAloneToolBar::PlaceControl(UINT id, int width, RECT& rect) {
    int index = CommandToIndex(id);
    if (index < 0) return false;
    SetButtonInfo(index, id, TBBS_SEPARATOR, width);
    GetItemRect(index, &rect);
    return true;
}

void CStandAloneToolBar::SetRange(bool on) {
    range.SetCheck(on ? BST_CHECKED : BST_UNCHECKED);
    CWnd* keys[] = {&lowEdit, &lowSpin, &highEdit, &highSpin};
    for (CWnd* control : keys) control->EnableWindow(on);
}

bool CStandAloneToolBar::Build(CWnd* frame) {
    if (!CreateEx(frame, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_TOP, AFX_IDW_TOOLBAR) || !LoadToolBar(IDR_TOOLBAR))
        return false;
    if (!font.CreateFont(-8, 0, 0, 0, FW_NORMAL, FALSE, FALSE, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif"))
        return false;
    Application* app = Application::instance();
    CString text;
    RECT rect;
    auto label = [&](CStatic& control, UINT id, UINT stringId, int width, int below) {
        if (!PlaceControl(id, width, rect)) return false;
        text.LoadString(stringId);
        rect.top += below;
        if (!control.Create(text, WS_CHILD | WS_VISIBLE | SS_CENTER, rect, this, id)) return false;
        control.SetFont(&font);
        return true;
    };
    auto list = [&](CComboBox& control, UINT id, int width, int extra) {
        if (!PlaceControl(id, width, rect)) return false;
        rect.bottom += extra;
        if (!control.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, rect, this, id)) return false;
        control.SetFont(&font);
        return true;
    };
    auto edit = [&](CEdit& control, UINT id, int width, const char* initial) {
        if (!PlaceControl(id, width, rect)) return false;
        if (!control.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY | ES_CENTER, rect, this, id))
            return false;
        control.SetWindowText(initial);
        control.SetFont(&font);
        return true;
    };
    auto spin = [&](CSpinButtonCtrl& control, CEdit& buddy, UINT id, int width, int shorter, int low, int high) {
        if (!PlaceControl(id, width, rect)) return false;
        rect.bottom -= shorter;
        if (!control.Create(WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ARROWKEYS, rect, this, id)) return false;
        control.SetBuddy(&buddy);
        control.SetRange32(low, high);
        return true;
    };

    if (!label(midiLabel, IDC_BAR_MIDI_LABEL, IDS_BAR_MIDI_IN, 40, 4) || !list(midiIn, IDC_BAR_MIDI_IN, 130, 200))
        return false;
    midiIn.AddString("All");
    for (int i = 0; i < app->getMidiInCount(); i++) midiIn.AddString(app->getMidiInName(i).c_str());
    midiIn.SetCurSel(0);
    if (app->getMidiInCount() == 0) midiIn.EnableWindow(FALSE);

    if (!label(channelLabel, IDC_BAR_CHANNEL_LABEL, IDS_BAR_CHANNEL, 35, 4) ||
        !list(channel_, IDC_BAR_CHANNEL, 40, 300))
        return false;
    channel_.AddString("All");
    for (int i = 1; i <= 16; i++) {
        char number[8];
        std::snprintf(number, sizeof(number), "%i", i);
        channel_.AddString(number);
    }
    channel_.SetCurSel(0);

    if (!PlaceControl(IDC_BAR_RANGE, 55, rect)) return false;
    text.LoadString(IDS_BAR_RANGE);
    if (!range.Create(text, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | BS_LEFTTEXT, rect, this, IDC_BAR_RANGE))
        return false;
    range.SetFont(&font);
    if (!edit(lowEdit, IDC_BAR_LOW, 24, "0") || !spin(lowSpin, lowEdit, IDC_BAR_LOW_SPIN, 20, 0, 0, 127) ||
        !edit(highEdit, IDC_BAR_HIGH, 24, "127") || !spin(highSpin, highEdit, IDC_BAR_HIGH_SPIN, 20, 0, 0, 127))
        return false;
    lowSpin.SetPos32(0);
    highSpin.SetPos32(127);
    SetRange(false);

    if (!label(octaveLabel, IDC_BAR_OCTAVE_LABEL, IDS_BAR_OCTAVE, 44, 4) ||
        !edit(octaveEdit, IDC_BAR_OCTAVE, 15, "0") ||
        !spin(octaveSpin, octaveEdit, IDC_BAR_OCTAVE_SPIN, 20, 2, -3, 3))
        return false;
    octaveSpin.SetPos32(0);

    if (!label(outLabel, IDC_BAR_OUT_LABEL, IDS_BAR_OUT, 28, 4) || !list(output, IDC_BAR_OUTPUT, 130, 200))
        return false;
    for (int k = 0; k < app->getOutputCount() / 2; k++)
        output.AddString(OutputPairName(app->getOutputName(2 * k), app->getOutputName(2 * k + 1)).c_str());
    output.SetCurSel(0);

    if (!PlaceControl(IDC_BAR_METER, 40, rect) || !meter.Create(rect, this, IDC_BAR_METER)) return false;
    return true;
}

LRESULT CStandAloneToolBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // The controls are the toolbar's children; their notifications belong to the frame.
    if (message == WM_COMMAND && lParam) {
        HWND frame = GetParent(m_hWnd);
        if (frame) return ::SendMessageA(frame, WM_COMMAND, wParam, lParam);
    }
    return CToolBar::WindowProc(message, wParam, lParam);
}
