// The common-control, common-dialog, automation and shell libraries, bound at their first
// use rather than when a module built on this layer loads. A library that only lists and
// removes files (Dorvane, loaded while a plug-in is constructed) then costs its own load
// alone; these libraries take tens of milliseconds to load and start under wine.
//
// Each function behaves as the system function of the same name; when its library or the
// function cannot be found it fails as that function fails (FALSE, or a null list).
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

namespace afxbind {

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes);
BOOL SetWindowSubclass(HWND hWnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR refData);
BOOL RemoveWindowSubclass(HWND hWnd, SUBCLASSPROC proc, UINT_PTR id);
LRESULT DefSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn);

INT SystemTimeToVariantTime(SYSTEMTIME* systemTime, double* variantTime);
INT VariantTimeToSystemTime(double variantTime, SYSTEMTIME* systemTime);

LPWSTR* CommandLineToArgvW(LPCWSTR commandLine, int* count);

}  // namespace afxbind
