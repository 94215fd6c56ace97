// The in-memory dialog: control layout and template bytes without a window, then modal runs
// under wine driven from a second thread (data exchange, commands, a control that fails).
#include "dorvane/dorvane_support.h"

#include <afxcmn.h>
#include <commctrl.h>
#include <dyn_dialog.h>
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <vector>

using namespace dorvane_test;

namespace {

const DWORD kStaticStyle = WS_CHILD | WS_VISIBLE;
const DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

void expectRect(const RECT& rect, int left, int top, int right, int bottom)
{
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.bottom, bottom);
}

// The message dialog's text control: the one control the library's own dialog has.
void addMessageText(CDynDialogEx& dialog)
{
    const CRect text(5, 5, 180, 40);
    dialog.AddDlgControl("STATIC", "Some text", kStaticStyle, 0, &text, nullptr, 302);
}

std::vector<BYTE> templateBytes(CDynDialogEx& dialog)
{
    const CString face = dialog.PickTemplateFont();
    std::vector<BYTE> bytes(dialog.GetTemplateSize(face), 0xCD);
    dialog.FillTemplate(bytes.data(), face);
    return bytes;
}

WORD word(const std::vector<BYTE>& bytes, size_t at)
{
    WORD value;
    memcpy(&value, &bytes[at], 2);
    return value;
}

DWORD dword(const std::vector<BYTE>& bytes, size_t at)
{
    DWORD value;
    memcpy(&value, &bytes[at], 4);
    return value;
}

std::vector<BYTE> utf16(const std::u16string& text)
{
    std::vector<BYTE> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::vector<BYTE> slice(const std::vector<BYTE>& bytes, size_t at, size_t count)
{
    return std::vector<BYTE>(bytes.begin() + at, bytes.begin() + at + count);
}

}  // namespace

// A system button on the row below the message text (row 22 plus the 6-unit gap).
void expectSystemButton(const DynDialogItem& button, UINT id, const char* label, int left, int right)
{
    EXPECT_STREQ(button.GetWindowClassName(), "BUTTON");
    EXPECT_EQ(button.GetKind(), 128);
    EXPECT_EQ(button.GetControlID(), id);
    EXPECT_EQ(button.GetStyle(), 0x50010000u);
    EXPECT_EQ(button.GetExStyle(), 0u);
    EXPECT_STREQ(button.GetCaption(), label);
    expectRect(button.GetRect(), left, 28, right, 42);
}

TEST(DynDialogLayout, ButtonsBelowTheMessageText)
{
    for (bool single : {true, false}) {
        SCOPED_TRACE(single ? "one button" : "two buttons");
        CDynDialogEx dialog;
        addMessageText(dialog);
        if (single) {
            dialog.SetSingleButton(true);
            dialog.SetButtonLabel("OK");
        } else {
            dialog.SetButtonLabels("Yes", "No");
        }
        dialog.AddSystemButtons();

        ASSERT_EQ(dialog.GetDynItemCount(), single ? 2 : 3);
        const DynDialogItem& text = dialog.GetDynItem(0);
        EXPECT_EQ(text.GetKind(), 130);
        EXPECT_EQ(text.GetControlID(), 302u);
        expectRect(text.GetRect(), 5, 5, 180, 40);
        if (single) {
            expectSystemButton(dialog.GetDynItem(1), IDOK, "OK", 65, 115);  // centred
        } else {
            expectSystemButton(dialog.GetDynItem(1), IDOK, "Yes", 10, 60);
            expectSystemButton(dialog.GetDynItem(2), IDCANCEL, "No", 95, 145);
        }
        CRect bounds;
        dialog.GetDlgRect(bounds);
        expectRect(bounds, 0, 0, 185, 45);
    }
}

TEST(DynDialogLayout, DefaultLabelsAreLeftAndRight)
{
    CDynDialogEx dialog;
    dialog.AddSystemButtons();
    ASSERT_EQ(dialog.GetDynItemCount(), 2);
    EXPECT_STREQ(dialog.GetDynItem(0).GetCaption(), "LEFT");
    EXPECT_STREQ(dialog.GetDynItem(1).GetCaption(), "RIGHT");
    // Row 10 plus the 6-unit gap.
    expectRect(dialog.GetDynItem(0).GetRect(), 10, 16, 60, 30);
}

TEST(DynDialogLayout, ControlsWithoutRectanglesFillRows)
{
    CDynDialogEx dialog;
    dialog.AddDlgControl("EDIT", "", kStaticStyle, 0, nullptr, nullptr, 501);
    dialog.AddDlgControl("STATIC", "", kStaticStyle, 0, nullptr, nullptr, 502);
    expectRect(dialog.GetDynItem(0).GetRect(), 10, 10, 270, 22);
    expectRect(dialog.GetDynItem(1).GetRect(), 10, 22, 270, 34);
    CRect bounds;
    dialog.GetDlgRect(bounds);
    expectRect(bounds, 0, 0, 275, 39);

    // By type id the default width is shorter; a given rectangle still moves the row.
    const CRect placed(40, 100, 60, 110);
    dialog.AddDlgControl(129, "", kStaticStyle, 0, &placed, nullptr, 503);
    dialog.AddDlgControl(130, "", kStaticStyle, 0, nullptr, nullptr, 504);
    EXPECT_STREQ(dialog.GetDynItem(2).GetWindowClassName(), "EDIT");
    expectRect(dialog.GetDynItem(3).GetRect(), 10, 46, 120, 58);
    dialog.GetDlgRect(bounds);
    expectRect(bounds, 0, 0, 275, 115);
}

TEST(DynDialogLayout, TemplateRectangleTakesInControlsLeftAndAbove)
{
    CDynDialogEx dialog;
    dialog.SetDlgRect(CRect(20, 30, 100, 80));
    const CRect control(-4, 10, 50, 20);
    dialog.AddDlgControl("STATIC", "", kStaticStyle, 0, &control, nullptr, 505);
    CRect bounds;
    dialog.GetDlgRect(bounds);
    expectRect(bounds, -4, 10, 100, 80);
}

TEST(DynDialogControls, TypeIdsAndClassNames)
{
    const char* const classes[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX",
                                   "msctls_updown32", "msctls_progress32", "msctls_trackbar32", "msctls_hotkey32",
                                   "SysListView32", "SysTreeView32", "SysTabControl32", "SysAnimate32", "RICHEDIT",
                                   "SysDateTimePick32", "SysMonthCal32", "SysIPAddress32", "ComboBoxEx32"};
    for (int typeId = 128; typeId <= 146; ++typeId) {
        EXPECT_STREQ(dlgControlClassName(typeId), classes[typeId - 128]) << typeId;
        EXPECT_EQ(dlgControlTypeId(classes[typeId - 128]), typeId);
    }
    EXPECT_STREQ(dlgControlClassName(127), "");
    EXPECT_STREQ(dlgControlClassName(147), "");
    EXPECT_STREQ(dlgControlClassName(0), "");

    struct Lookup {
        const char* className;
        int typeId;
    } const lookups[] = {
        {"EDIT", 129},         {"BUTTONX", 128}, {"button", 0}, {"RICHEDIT20A", 142},
        {"ComboBoxEx32", 146}, {"COMBO", 0},     {"", 0},       {nullptr, 0},
    };
    for (const Lookup& lookup : lookups)
        EXPECT_EQ(dlgControlTypeId(lookup.className), lookup.typeId) << (lookup.className ? lookup.className : "null");
}

TEST(DynDialogControls, IdZeroTakesTheLibrarysNextId)
{
    // No other test of this program adds a control with id 0.
    CDynDialogEx first;
    EXPECT_EQ(first.AddDlgControl("STATIC", "", kStaticStyle, 0), 1024u);
    EXPECT_EQ(first.AddDlgControl(129, "", kStaticStyle, 0), 1025u);
    CDynDialogEx later;
    EXPECT_EQ(later.AddDlgControl("STATIC", "", kStaticStyle, 0), 1026u);
    EXPECT_EQ(later.GetDynItem(0).GetControlID(), 1026u);
    EXPECT_EQ(later.AddDlgControl("STATIC", "", kStaticStyle, 0, nullptr, nullptr, 77), 77u);
}

TEST(DynDialogTemplate, BytesOfTheMessageDialog)
{
    for (bool single : {true, false}) {
        CDynDialogEx dialog;
        dialog.SetCaption("Import failed");
        dialog.SetSingleButton(single);
        addMessageText(dialog);
        dialog.AddSystemButtons();
        const std::vector<BYTE> bytes = templateBytes(dialog);

        // 28 bytes and two per character of the caption (13) and of "MS Sans Serif" (13).
        ASSERT_EQ(bytes.size(), 28u + 2 * (13 + 13));
        EXPECT_EQ(dword(bytes, 0), 0x10C80040u);  // WS_VISIBLE, WS_CAPTION, WS_SYSMENU, DS_SETFONT
        EXPECT_EQ(dword(bytes, 4), 0x00000001u);  // WS_EX_DLGMODALFRAME
        EXPECT_EQ(word(bytes, 8), 0u);            // the controls are not in the template
        EXPECT_EQ(word(bytes, 10), 0u);
        EXPECT_EQ(word(bytes, 12), 0u);
        EXPECT_EQ(word(bytes, 14), 185u);
        EXPECT_EQ(word(bytes, 16), 45u);
        EXPECT_EQ(word(bytes, 18), 0u);  // menu
        EXPECT_EQ(word(bytes, 20), 0u);  // class
        EXPECT_EQ(slice(bytes, 22, 28), utf16(u"Import failed"));
        EXPECT_EQ(word(bytes, 50), 8u);  // point size
        EXPECT_EQ(slice(bytes, 52, 28), utf16(u"MS Sans Serif"));
    }
}

TEST(DynDialogTemplate, CaptionIsConvertedFromTheSystemCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the expected units are those of code page 1252";
    CDynDialogEx dialog;
    dialog.SetCaption("Caf\xe9 \x80");
    const std::vector<BYTE> bytes = templateBytes(dialog);
    ASSERT_EQ(bytes.size(), 28u + 2 * (6 + 13));
    EXPECT_EQ(slice(bytes, 22, 14), utf16(u"Caf\u00e9 \u20ac"));
    EXPECT_EQ(word(bytes, 36), 8u);
}

TEST(DynDialogTemplate, FontComesFromTheDialogThenTheParent)
{
    CFont own;
    ASSERT_TRUE(own.CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"));
    CDynDialogEx dialog;
    dialog.SetCaption("A");
    dialog.SetFont(&own);
    std::vector<BYTE> bytes = templateBytes(dialog);
    ASSERT_EQ(bytes.size(), 28u + 2 * (1 + 5));
    EXPECT_EQ(word(bytes, 26), 12u);
    EXPECT_EQ(slice(bytes, 28, 12), utf16(u"Arial"));

    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, "STATIC", "", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    CFont parentFont;
    ASSERT_TRUE(parentFont.CreateFont(10, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Courier New"));
    parent.SetFont(&parentFont, FALSE);
    CDynDialogEx child(&parent);
    child.SetCaption("A");
    bytes = templateBytes(child);
    ASSERT_EQ(bytes.size(), 28u + 2 * (1 + 11));
    EXPECT_EQ(word(bytes, 26), 10u);
    EXPECT_EQ(slice(bytes, 28, 24), utf16(u"Courier New"));
}

// ---- modal runs

namespace {

SYSTEMTIME date(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0)
{
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

bool sameDay(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

std::vector<UINT> commandsSeen;

LRESULT CALLBACK recordCommands(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        commandsSeen.push_back(LOWORD(wParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST(DynDialogRun, ExchangesDataWithItsControls)
{
    enum { kEdit = 1101, kCheck, kRadio0, kRadio1, kRadio2, kSlider, kScroll, kDate, kTime, kCalendar, kAttached };
    CString text = "start";
    int check = 1;
    int radio = 1;
    int slider = 30;
    int scroll = 40;
    COleDateTime day(date(2001, 2, 3));
    CTime clock(date(2010, 5, 6, 7, 8, 9));
    COleDateTime calendarDay(date(2003, 4, 5));
    CWnd attached;

    CDynDialogEx dialog;
    dialog.SetCaption("Exchange");
    dialog.AddDlgControl(129, "", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 0, nullptr, &text, kEdit);
    dialog.AddDlgControl(128, "check", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, nullptr, &check, kCheck);
    dialog.AddDlgControl(128, "r0", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, 0, nullptr, &radio, kRadio0);
    dialog.AddDlgControl(128, "r1", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 0, nullptr, nullptr, kRadio1);
    dialog.AddDlgControl(128, "r2", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, 0, nullptr, nullptr, kRadio2);
    dialog.AddDlgControl(136, "", WS_CHILD | WS_VISIBLE | WS_GROUP, 0, nullptr, &slider, kSlider);
    dialog.AddDlgControl(132, "", WS_CHILD | WS_VISIBLE | SBS_HORZ, 0, nullptr, &scroll, kScroll);
    dialog.AddDlgControl(143, "", WS_CHILD | WS_VISIBLE | DTS_SHORTDATEFORMAT, 0, nullptr, &day, kDate);
    dialog.AddDlgControl(143, "", WS_CHILD | WS_VISIBLE | DTS_TIMEFORMAT, 0, nullptr, &clock, kTime);
    const CRect calendarRect(10, 140, 200, 260);
    dialog.AddDlgControl(144, "", WS_CHILD | WS_VISIBLE, 0, &calendarRect, &calendarDay, kCalendar);
    dialog.AddDlgControl("STATIC", "attached", WS_CHILD | WS_VISIBLE, 0, nullptr, &attached, kAttached);
    dialog.SetButtonLabels("Keep", "Drop");

    struct Seen {
        std::string text;
        LRESULT check = -1, radio1 = -1, radio0 = -1, slider = -1;
        SYSTEMTIME day = {}, clock = {}, calendarDay = {};
        HWND attachedControl = nullptr;
        HWND attachedWnd = nullptr;
    } seen;
    DialogWatcher watcher("Exchange", [&](HWND window) {
        seen.text = controlText(window, kEdit);
        seen.check = SendDlgItemMessageA(window, kCheck, BM_GETCHECK, 0, 0);
        seen.radio0 = SendDlgItemMessageA(window, kRadio0, BM_GETCHECK, 0, 0);
        seen.radio1 = SendDlgItemMessageA(window, kRadio1, BM_GETCHECK, 0, 0);
        seen.slider = SendDlgItemMessageA(window, kSlider, TBM_GETPOS, 0, 0);
        SendDlgItemMessageA(window, kDate, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&seen.day));
        SendDlgItemMessageA(window, kTime, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&seen.clock));
        SendDlgItemMessageA(window, kCalendar, MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&seen.calendarDay));
        seen.attachedControl = GetDlgItem(window, kAttached);
        seen.attachedWnd = attached.m_hWnd;

        SetDlgItemTextA(window, kEdit, "changed");
        SendDlgItemMessageA(window, kCheck, BM_SETCHECK, BST_UNCHECKED, 0);
        SendDlgItemMessageA(window, kRadio1, BM_SETCHECK, BST_UNCHECKED, 0);
        SendDlgItemMessageA(window, kRadio2, BM_SETCHECK, BST_CHECKED, 0);
        SendDlgItemMessageA(window, kSlider, TBM_SETPOS, TRUE, 70);
        // A scroll bar control starts with an empty range, which holds no position to load.
        SetScrollRange(GetDlgItem(window, kScroll), SB_CTL, 0, 100, FALSE);
        SetScrollPos(GetDlgItem(window, kScroll), SB_CTL, 60, TRUE);
        SYSTEMTIME newDay = date(2002, 3, 4);
        SendDlgItemMessageA(window, kDate, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&newDay));
        SYSTEMTIME newClock = date(2011, 6, 7, 8, 9, 10);
        SendDlgItemMessageA(window, kTime, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&newClock));
        SYSTEMTIME newCalendarDay = date(2004, 5, 6);
        SendDlgItemMessageA(window, kCalendar, MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&newCalendarDay));
        SendDlgItemMessageA(window, IDOK, BM_CLICK, 0, 0);
    });
    const INT_PTR result = dialog.DoModal();
    ASSERT_TRUE(watcher.saw());
    EXPECT_EQ(result, IDOK);

    // Loaded into the controls when the dialog started.
    EXPECT_EQ(seen.text, "start");
    EXPECT_EQ(seen.check, BST_CHECKED);
    EXPECT_EQ(seen.radio0, BST_UNCHECKED);
    EXPECT_EQ(seen.radio1, BST_CHECKED);
    EXPECT_EQ(seen.slider, 30);
    EXPECT_TRUE(sameDay(seen.day, date(2001, 2, 3)));
    EXPECT_EQ(seen.clock.wHour, 7);
    EXPECT_EQ(seen.clock.wMinute, 8);
    EXPECT_TRUE(sameDay(seen.calendarDay, date(2003, 4, 5)));
    EXPECT_NE(seen.attachedControl, nullptr);
    EXPECT_EQ(seen.attachedWnd, seen.attachedControl);

    // Read back when it ended with the first button.
    EXPECT_STREQ(text, "changed");
    EXPECT_EQ(check, 0);
    EXPECT_EQ(radio, 2);
    EXPECT_EQ(slider, 70);
    EXPECT_EQ(scroll, 60);
    SYSTEMTIME read;
    ASSERT_TRUE(day.GetAsSystemTime(read));
    EXPECT_TRUE(sameDay(read, date(2002, 3, 4)));
    ASSERT_TRUE(clock.GetAsSystemTime(read));
    EXPECT_EQ(read.wHour, 8);
    EXPECT_EQ(read.wMinute, 9);
    ASSERT_TRUE(calendarDay.GetAsSystemTime(read));
    EXPECT_TRUE(sameDay(read, date(2004, 5, 6)));
    // The attached window object lets go of the control when the dialog's windows go.
    EXPECT_EQ(attached.m_hWnd, nullptr);
}

TEST(DynDialogRun, TheFallbackFontIsTheDialogsAndItsControls)
{
    CDynDialogEx dialog;
    dialog.SetCaption("Fallback font");
    dialog.AddDlgControl("STATIC", "text", WS_CHILD | WS_VISIBLE, 0, nullptr, nullptr, 1201);
    HFONT dialogFont = nullptr, controlFont = nullptr;
    DialogWatcher watcher("Fallback font", [&](HWND window) {
        dialogFont = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
        controlFont = reinterpret_cast<HFONT>(SendDlgItemMessageA(window, 1201, WM_GETFONT, 0, 0));
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    });
    dialog.DoModal();
    ASSERT_TRUE(watcher.saw());
    ASSERT_NE(controlFont, nullptr);
    EXPECT_EQ(dialogFont, controlFont);
    LOGFONTA logFont = {};
    GetObjectA(dialogFont, sizeof(logFont), &logFont);
    EXPECT_STREQ(logFont.lfFaceName, "MS Sans Serif");
}

TEST(DynDialogRun, OtherCommandsGoToTheParentAndTheCloseBoxCancels)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = recordCommands;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "DorvaneTestParent";
    RegisterClassA(&windowClass);
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, "DorvaneTestParent", "parent", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
    commandsSeen.clear();

    const int kExtra = 1200;
    CString unchanged = "kept";
    CDynDialogEx dialog(&parent);
    dialog.SetCaption("Commands");
    dialog.AddDlgControl(128, "extra", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, nullptr, nullptr, kExtra);
    dialog.AddDlgControl(129, "", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, nullptr, &unchanged, 1201);

    DialogWatcher watcher("Commands", [&](HWND window) {
        SetDlgItemTextA(window, 1201, "typed");
        SendDlgItemMessageA(window, kExtra, BM_CLICK, 0, 0);
        PostMessageA(window, WM_CLOSE, 0, 0);
    });
    const INT_PTR result = dialog.DoModal();
    ASSERT_TRUE(watcher.saw());
    EXPECT_EQ(result, IDCANCEL);
    // The extra button's click and the edit's notifications reach the parent; OK and Cancel do not.
    EXPECT_EQ(std::count(commandsSeen.begin(), commandsSeen.end(), static_cast<UINT>(kExtra)), 1);
    EXPECT_GT(std::count(commandsSeen.begin(), commandsSeen.end(), 1201u), 0);
    EXPECT_EQ(std::count(commandsSeen.begin(), commandsSeen.end(), static_cast<UINT>(IDOK)), 0);
    EXPECT_EQ(std::count(commandsSeen.begin(), commandsSeen.end(), static_cast<UINT>(IDCANCEL)), 0);
    // Cancel reads nothing back.
    EXPECT_STREQ(unchanged, "kept");
}

TEST(DynDialogRun, AControlThatCannotBeCreatedIsReportedAndLeftOut)
{
    CDynDialogEx dialog;
    dialog.SetCaption("Broken");
    dialog.AddDlgControl("NoSuchWindowClass", "", WS_CHILD | WS_VISIBLE, 0, nullptr, nullptr, 1300);
    dialog.AddDlgControl("STATIC", "fine", WS_CHILD | WS_VISIBLE, 0, nullptr, nullptr, 1301);

    // The message box is captioned with the program's name and comes before the dialog shows.
    std::string message;
    DialogWatcher box("dorvane_dialog_builder", [&](HWND window) {
        message = controlText(window, 0xFFFF);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    });
    bool missing = false, present = false;
    DialogWatcher watcher("Broken", [&](HWND window) {
        missing = GetDlgItem(window, 1300) == nullptr;
        present = GetDlgItem(window, 1301) != nullptr;
        SendDlgItemMessageA(window, IDOK, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    ASSERT_TRUE(box.saw());
    ASSERT_TRUE(watcher.saw());
    EXPECT_EQ(message, "Failed to create DlgItem.");
    EXPECT_TRUE(missing);
    EXPECT_TRUE(present);
}
