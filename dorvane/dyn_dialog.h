// A modal dialog whose template is built in memory: a caption, controls added by window
// class or by kind, and a row of one or two system buttons below them.
#pragma once

#include <afxwin.h>

#include <memory>
#include <vector>

// Window class of a template type id (128-133 are the template's own atoms for the
// predefined classes), "" outside the table.
const char* dlgControlClassName(int typeId);
// Type id of the first table name that the class name begins with (case-sensitive), 0 for none.
int dlgControlTypeId(const char* className);

// One control of a CDynDialogEx; its window is created when the dialog starts.
class DynDialogItem {
public:
    DynDialogItem(int kind, const char* className, UINT id, DWORD style, DWORD exStyle, const RECT& rect,
                  const char* caption, void* data);
    virtual ~DynDialogItem() = default;

    // The control's rectangle is in dialog units; the dialog gives it its font.
    BOOL CreateEx(CDialog* pDialog, CFont* pFont);
    virtual void DoDataExchange(CDataExchange* pDX);

    CWnd& GetWnd() { return m_wnd; }
    const char* GetWindowClassName() const { return m_strClassName; }
    int GetKind() const { return m_kind; }
    UINT GetControlID() const { return m_id; }
    DWORD GetStyle() const { return m_style; }
    DWORD GetExStyle() const { return m_exStyle; }
    const CRect& GetRect() const { return m_rect; }
    const char* GetCaption() const { return m_strCaption; }

private:
    CWnd m_wnd;
    CString m_strClassName;
    int m_kind;
    UINT m_id;
    DWORD m_style;
    DWORD m_exStyle;
    CRect m_rect;
    CString m_strCaption;
    void* m_pData;
};

class CDynDialogEx : public CDialog {
public:
    explicit CDynDialogEx(CWnd* pParent = nullptr);
    ~CDynDialogEx() override;

    void SetCaption(const char* caption) { m_strCaption = caption; }
    void SetButtonLabels(const char* first, const char* second);
    void SetButtonLabel(const char* label) { m_strFirstLabel = label; }
    void SetSingleButton(bool single) { m_bSingleButton = single; }
    // A font that the caller keeps.
    void SetFont(CFont* pFont) { m_pFont = pFont; }
    // The template rectangle in dialog units.
    void SetDlgRect(const RECT& rect);
    void GetDlgRect(LPRECT lpRect) const;

    // Both return the control id; a null rectangle places the control on the next row,
    // id 0 takes the next free id.
    virtual UINT AddDlgControl(int kind, const char* caption, DWORD style, DWORD exStyle, const RECT* rect = nullptr,
                               void* data = nullptr, UINT id = 0);
    UINT AddDlgControl(const char* className, const char* caption, DWORD style, DWORD exStyle,
                       const RECT* rect = nullptr, void* data = nullptr, UINT id = 0);
    void AddSystemButtons();

    // The id of the control that ended the dialog, -1 when the template cannot be built.
    INT_PTR DoModal() override;

    // The template's parts, laid out without a window.
    CString PickTemplateFont();
    UINT GetTemplateSize(const char* faceName) const;
    void FillTemplate(BYTE* dest, const char* faceName) const;

    int GetDynItemCount() const { return static_cast<int>(m_controls.size()); }
    const DynDialogItem& GetDynItem(int index) const { return *m_controls[static_cast<size_t>(index)]; }

    BOOL OnInitDialog() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;

private:
    UINT AppendControl(int kind, const char* className, int defaultRight, const char* caption, DWORD style,
                       DWORD exStyle, const RECT* rect, void* data, UINT id);

    bool m_bSingleButton = false;
    CWnd* m_pParent;
    CString m_strCaption;
    CFont* m_pFont = nullptr;
    short m_wPointSize = 0;
    int m_nCurRow = 10;
    BOOL m_bAddSystemButtons = TRUE;
    bool m_bFontOwned = false;
    CString m_strFirstLabel = "LEFT";
    CString m_strSecondLabel = "RIGHT";
    // Template header: WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_SETFONT, WS_EX_DLGMODALFRAME;
    // the control count stays 0: the controls are created as child windows, not from the template.
    DWORD m_dwStyle = 0x10C80040;
    DWORD m_dwExStyle = 0x00000001;
    WORD m_nControls = 0;
    short m_x = 0, m_y = 0, m_cx = 0, m_cy = 0;
    std::vector<std::unique_ptr<DynDialogItem>> m_controls;
};
