// The routing toolbar of an instrument frame: MIDI input device, channel, key range, octave
// shift, output pair, the processor-load meter and the panic button. The frame handles the
// controls' notifications.
#pragma once

#include <afxcmn.h>
#include <afxext.h>

#include <string>

// The processor load in percent, green below 50, yellow to 79, red from 80.
class CCpuMeter : public CStatic {
public:
    static COLORREF LoadColor(int percent);
    static int LoadPercent(float load);

    BOOL Create(const RECT& rect, CWnd* parent, UINT nID);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    int GetShownLoad() const { return shownLoad; }
    ~CCpuMeter() override;

private:
    void OnPaint();
    int shownLoad = 0;
    HBRUSH background = nullptr;
};

class CStandAloneToolBar : public CToolBar {
public:
    ~CStandAloneToolBar() override;
    // Loads toolbar 160 and creates its controls; false when one cannot be created.
    bool Build(CWnd* frame);
    // The forwarding of the controls' notifications to the frame.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // "Out 1" and "Out 2" give "Out 1 / 2".
    static std::string OutputPairName(const std::string& first, const std::string& second);

    void SelectMidiDevice(int device) { midiIn.SetCurSel(device + 1); }
    void SelectChannel(int channel) { channel_.SetCurSel(channel); }
    void SetRange(bool on);
    void SetLowKey(int key) { lowSpin.SetPos32(key); }
    void SetHighKey(int key) { highSpin.SetPos32(key); }
    void SetOctave(int shift) { octaveSpin.SetPos32(shift); }
    void SelectOutputPair(int pair) { output.SetCurSel(pair); }

    CComboBox midiIn, channel_, output;
    CButton range;
    CEdit lowEdit, highEdit, octaveEdit;
    CSpinButtonCtrl lowSpin, highSpin, octaveSpin;
    CStatic midiLabel, channelLabel, octaveLabel, outLabel;
    CCpuMeter meter;

private:
    bool PlaceControl(UINT id, int width, RECT& rect);
    CFont font;
};
