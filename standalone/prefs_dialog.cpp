#include "prefs_dialog.h"

#include <string>

#include "application.h"
#include "resource.h"

const int CPrefsDialog::kRates[9] = {11025, 22050, 24000, 32000, 33075, 36000, 44100, 48000, 96000};

CPrefsDialog::CPrefsDialog(CWnd* parent) : CDialog(IDD_PREFS, parent) {
    title.LoadString(IDS_PREFS_TITLE);
    protocolLabel.LoadString(IDS_PREFS_PROTOCOL);
    driverLabel.LoadString(IDS_PREFS_DRIVER);
    rateLabel.LoadString(IDS_PREFS_RATE);
    knobLabel.LoadString(IDS_PREFS_KNOB);
    latencyFormat.LoadString(IDS_PREFS_LATENCY);
}

void CPrefsDialog::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_PREFS_PROTOCOL, protocol);
    DDX_Control(pDX, IDC_PREFS_DRIVER, driver);
    DDX_Control(pDX, IDC_PREFS_RATE, rate);
    DDX_Control(pDX, IDC_PREFS_KNOB, knobMode);
    DDX_Control(pDX, IDC_PREFS_LATENCY, latency);
    DDX_Control(pDX, IDC_PREFS_PANEL, controlPanel);
    DDX_Control(pDX, IDC_PREFS_LATENCY_LABEL, latencyText);
}

BOOL CPrefsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText(title);
    SetDlgItemTextA(m_hWnd, IDC_PREFS_PROTOCOL_LABEL, protocolLabel);
    SetDlgItemTextA(m_hWnd, IDC_PREFS_DRIVER_LABEL, driverLabel);
    SetDlgItemTextA(m_hWnd, IDC_PREFS_RATE_LABEL, rateLabel);
    SetDlgItemTextA(m_hWnd, IDC_PREFS_KNOB_LABEL, knobLabel);
    FillProtocols();
    FillDrivers();
    FillLatency();
    FillRates();
    FillKnobModes();
    return TRUE;
}

void CPrefsDialog::FillProtocols() {
    Application* app = Application::instance();
    protocol.ResetContent();
    for (int i = 0; i < app->getProtocolCount(); i++) protocol.AddString(app->getProtocolName(i).c_str());
    protocol.SetCurSel(app->getProtocol());
}

void CPrefsDialog::FillDrivers() {
    Application* app = Application::instance();
    driver.ResetContent();
    driver.AddString("none");
    for (int i = 0; i < app->getDriverCount(); i++) driver.AddString(app->getDriverName(i).c_str());
    driver.SetCurSel(app->getDriver() + 1);
}

void CPrefsDialog::ShowLatencyText(int frames) {
    Application* app = Application::instance();
    float sampleRate = app->getSampleRate();
    int milliseconds = frames >= 1 && sampleRate > 0.f ? (int)((float)frames * 1000.f / sampleRate) : 0;
    CString text;
    text.Format(latencyFormat, milliseconds);
    latencyText.SetWindowText(text);
}

void CPrefsDialog::FillLatency() {
    Application* app = Application::instance();
    if (app->hasControlPanel()) {
        latency.ShowWindow(SW_HIDE);
        latencyText.ShowWindow(SW_HIDE);
        controlPanel.ShowWindow(SW_SHOW);
        return;
    }
    latency.ShowWindow(SW_SHOW);
    latencyText.ShowWindow(SW_SHOW);
    controlPanel.ShowWindow(SW_HIDE);
    int minimum = 0, maximum = 0, granularity = 0;
    app->getLatencyRange(&minimum, &maximum, &granularity);
    if (minimum == maximum) {
        latency.EnableWindow(FALSE);
        return;
    }
    latency.EnableWindow(TRUE);
    latency.SetTicFreq((maximum - minimum) / 10);
    latency.SetRange(minimum, maximum, TRUE);
    int current = app->getLatency();
    if (current > 0) latency.SetPos(current);
    ShowLatencyText(current);
}

void CPrefsDialog::FillRates() {
    Application* app = Application::instance();
    rate.ResetContent();
    int current = (int)app->getSampleRate();
    for (int candidate : kRates) {
        if (app->canSampleRate((float)candidate) != 0) continue;
        int entry = rate.AddString(std::to_string(candidate).c_str());
        rate.SetItemData(entry, (DWORD_PTR)candidate);
        if (candidate == current) rate.SetCurSel(entry);
    }
}

void CPrefsDialog::FillKnobModes() {
    knobMode.ResetContent();
    const UINT names[] = {IDS_KNOB_CIRCULAR, IDS_KNOB_RELATIVE, IDS_KNOB_LINEAR};
    for (UINT id : names) {
        CString name;
        name.LoadString(id);
        knobMode.AddString(name);
    }
    knobMode.SetCurSel(Application::instance()->getKnobMode());
}

void CPrefsDialog::ShowError(UINT stringId, const std::string& name, int code) {
    CString prefix, text;
    prefix.LoadString(stringId);
    text.Format("%s %s\n(Error %d)", (const char*)prefix, name.c_str(), code);
    MessageBox(text, nullptr, MB_ICONSTOP);
}

void CPrefsDialog::OnProtocolChange() {
    Application* app = Application::instance();
    int index = protocol.GetCurSel();
    int code = app->selectProtocol(index);
    if (code) ShowError(IDS_PROTOCOL_ERROR, app->getProtocolName(index), code);
    FillDrivers();
    FillLatency();
}

void CPrefsDialog::OnDriverChange() {
    Application* app = Application::instance();
    int index = driver.GetCurSel() - 1;
    int code = app->selectDriver(index);
    if (code) ShowError(IDS_DRIVER_ERROR, (const char*)driver.GetLBText(index + 1), code);
    FillLatency();
    FillRates();
}

void CPrefsDialog::OnRateChange() {
    int entry = rate.GetCurSel();
    if (entry < 0) return;
    float chosen = (float)rate.GetItemData(entry);
    Application* app = Application::instance();
    app->setSampleRate(chosen);
    app->setInstrumentsSampleRate(chosen);
}

void CPrefsDialog::OnKnobModeChange() {
    int mode = knobMode.GetCurSel();
    if (mode >= 0) Application::instance()->setKnobMode(mode);
}

void CPrefsDialog::OnLatencyChange() {
    int frames = latency.GetPos();
    if (Application::instance()->setLatency(frames) != 0) {
        CString text;
        text.LoadString(IDS_LATENCY_ERROR);
        MessageBox(text, nullptr, MB_OK);
    }
    ShowLatencyText(frames);
}

void CPrefsDialog::OnControlPanel() {
    Application* app = Application::instance();
    if (app->hasControlPanel()) app->openControlPanel();
}

BOOL CPrefsDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam), code = HIWORD(wParam);
    if (code == CBN_SELCHANGE) {
        switch (id) {
            case IDC_PREFS_PROTOCOL: OnProtocolChange(); return TRUE;
            case IDC_PREFS_DRIVER: OnDriverChange(); return TRUE;
            case IDC_PREFS_RATE: OnRateChange(); return TRUE;
            case IDC_PREFS_KNOB: OnKnobModeChange(); return TRUE;
            default: break;
        }
    }
    if (code == BN_CLICKED && id == IDC_PREFS_PANEL) {
        OnControlPanel();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

BOOL CPrefsDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    const NMHDR* header = (const NMHDR*)lParam;
    if (header && header->idFrom == IDC_PREFS_LATENCY && header->code == NM_RELEASEDCAPTURE) {
        OnLatencyChange();
        *pResult = 0;
        return TRUE;
    }
    return FALSE;
}
