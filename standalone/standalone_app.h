// The program's application object: brings the engine up, finds the installed instruments,
// registers the file types, opens one instrument frame per document or "New", and at the
// end saves the audio settings and shuts the engine down.
#pragma once

#include <afxwin.h>

#include "application.h"

#include <string>
#include <vector>

class CMainFrame;

class CStandaloneApp : public CWinApp {
public:
    CStandaloneApp();

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo) override;
    BOOL OnCommand(UINT nID) override;

    // 0, -1 (no stored protocol or driver) or -2 (the stored one is not available).
    int StartEngine();
    void ScanInstruments();
    void RegisterFileTypes();
    bool RegisterShellFileType(const char* typeKey, const char* description, const char* extension,
                               const char* iconIndex);
    bool OpenDocument(const char* path);

    void OnFileNew();
    void OnFileOpen();
    void OnOpenRecentFile(UINT nID);
    void OnAppAbout();

    void AddFrame(CMainFrame* frame);
    void RemoveFrame(CMainFrame* frame);
    CMainFrame* FindFrame(int slot) const;
    const std::vector<CMainFrame*>& Frames() const { return frames; }

    static VstIntPtr NotifyCallback(int slot, int code, VstIntPtr first, VstIntPtr second, void* app);
    void OnInstrumentNotify(int slot, int code, VstIntPtr first, VstIntPtr second);
    void SetFrameIcon(CMainFrame* frame, const std::string& name);

    bool SelectProtocolByName(const std::string& name);
    bool SelectDriverByName(const std::string& name);

private:
    std::string storedProtocol;
    std::string storedDriver;
    int storedLatency = -1;
    std::vector<CMainFrame*> frames;
    CMainFrame* hiddenFrame = nullptr;
};

CStandaloneApp* StandaloneApp();
