// An instrument's window: the routing toolbar at the top and below it the view in which
// the plug-in opens its editor. The frame keeps the instrument's MIDI and routing settings,
// sizes itself to the editor, forwards keys and the wheel to the plug-in, drives the editors'
// idle calls, and reads and writes the program's documents. One more frame, hidden, is the
// application's main window.
#pragma once

#include <afxwin.h>

#include <iosfwd>
#include <string>

#include "standalone_toolbar.h"

class HalvornDocument;

// The view that the plug-in's editor window covers.
class CChildView : public CView {
public:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    // Painting only validates: the editor draws itself.
    void OnDraw(HDC hdc) override {}
};

class CMainFrame : public CFrameWnd {
public:
    // The hidden main frame has no toolbar and is no instrument frame.
    explicit CMainFrame(bool hidden = false) : hidden(hidden) {}

    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    bool LoadInstrument(const std::string& name);
    void ResizeToEditor(int width, int height);
    void ApplySettings();
    bool OpenDocument(const std::string& path);
    bool ReadDocument(std::istream& in);
    // Writes the document; false, writing nothing, when it holds more than a document can.
    bool WriteDocument(std::ostream& out);
    // Writes the document to the path through a temporary file; false when it failed.
    bool SaveDocument(const std::string& path);
    // The same, with the program's message when it failed.
    bool SaveDocumentOrSay(const std::string& path);

    void OnFileSave();
    void OnFileSaveAs();
    void OnPreferences();
    void OnPanic();
    void OnClose() override;

    // Toolbar notifications.
    void OnMidiInChange();
    void OnChannelChange();
    void OnRangeToggle();
    void OnLowKeyChange();
    void OnHighKeyChange();
    void OnOctaveChange();
    void OnOutputPairChange();

    static int VkToVstKey(UINT vk);

    int GetSlot() const { return slot; }
    const std::string& GetInstrumentName() const { return instrumentName; }
    const std::string& GetDocumentPath() const { return documentPath; }
    CStandAloneToolBar& GetToolBar() { return toolBar; }
    CChildView& GetView() { return view; }

protected:
    int OnCreate(LPCREATESTRUCTA lpCreateStruct) override;
    BOOL OnCreateClient(LPCREATESTRUCTA lpcs) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    bool OnKeyDown(UINT vk);
    bool OnKeyUp(UINT vk);
    void OnMouseWheel(short delta);
    void OnMidiSeam(const COPYDATASTRUCT* data);
    bool AskSavePath(std::string& path);
    // Document errors: string 106 for a missing plug-in library or effect, 105 otherwise.
    void ShowLoadError(int code);

    bool hidden;
    int slot = -1;
    std::string instrumentName;
    std::string midiInName;
    std::string outputName;
    std::string inputName;
    std::string documentPath;
    int midiChannel = 0;
    int keyRangeOn = 0;
    int lowKey = 0;
    int highKey = 127;
    int octaveShift = 0;
    int editorWidth = 0;
    int editorHeight = 0;
    CChildView view;
    CStandAloneToolBar toolBar;
};

// A message that carries MIDI into the program as a device would (WM_COPYDATA with this
// tag; the data is a run of packed short messages, 32 bits each, in winmm's layout).
const ULONG_PTR kMidiSeamTag = 0x4D494449;
