// The preferences: audio protocol and driver, sample rate, latency (DirectSound) or the
// driver's control panel (ASIO), and the knob mode of the plug-ins' editors. Every change
// acts on the engine at once; the program saves the settings at its end.
#pragma once

#include <afxcmn.h>

class CPrefsDialog : public CDialog {
public:
    static const int kRates[9];

    explicit CPrefsDialog(CWnd* parent);
    BOOL OnInitDialog() override;

    void FillProtocols();
    void FillDrivers();
    void FillLatency();
    void FillRates();
    void FillKnobModes();

    void OnProtocolChange();
    void OnDriverChange();
    void OnRateChange();
    void OnKnobModeChange();
    void OnLatencyChange();
    void OnControlPanel();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    void ShowLatencyText(int latency);
    void ShowError(UINT stringId, const std::string& name, int code);

    CComboBox protocol, driver, rate, knobMode;
    CSliderCtrl latency;
    CButton controlPanel;
    CStatic latencyText;
    CString title, protocolLabel, driverLabel, rateLabel, knobLabel, latencyFormat;
};
