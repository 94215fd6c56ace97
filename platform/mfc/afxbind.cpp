#include "afxbind.h"

#include <oleauto.h>
#include <shellapi.h>

namespace {

// The function from the library, loading the library if this process has not yet. Once
// loaded it stays for the life of the process, as a bound import would: the windows and
// dialogs made with it may outlive the module that asked first.
FARPROC boundFunction(const char* library, const char* name)
{
    HMODULE module = ::GetModuleHandleA(library);
    if (!module)
        module = ::LoadLibraryA(library);
    return module ? ::GetProcAddress(module, name) : nullptr;
}

// Looked up once per function and process; a library that is missing is looked for again.
template <typename Proc>
Proc bound(const char* library, const char* name)
{
    static Proc cached = nullptr;
    Proc proc = __atomic_load_n(&cached, __ATOMIC_ACQUIRE);
    if (!proc) {
        proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(boundFunction(library, name)));
        __atomic_store_n(&cached, proc, __ATOMIC_RELEASE);
    }
    return proc;
}

const char kCommonControls[] = "comctl32.dll";
const char kCommonDialogs[] = "comdlg32.dll";
const char kAutomation[] = "oleaut32.dll";
const char kShell[] = "shell32.dll";

}  // namespace

namespace afxbind {

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes)
{
    auto proc = bound<decltype(&::InitCommonControlsEx)>(kCommonControls, "InitCommonControlsEx");
    return proc ? proc(classes) : FALSE;
}

BOOL SetWindowSubclass(HWND hWnd, SUBCLASSPROC subclassProc, UINT_PTR id, DWORD_PTR refData)
{
    auto proc = bound<decltype(&::SetWindowSubclass)>(kCommonControls, "SetWindowSubclass");
    return proc ? proc(hWnd, subclassProc, id, refData) : FALSE;
}

BOOL RemoveWindowSubclass(HWND hWnd, SUBCLASSPROC subclassProc, UINT_PTR id)
{
    auto proc = bound<decltype(&::RemoveWindowSubclass)>(kCommonControls, "RemoveWindowSubclass");
    return proc ? proc(hWnd, subclassProc, id) : FALSE;
}

LRESULT DefSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto proc = bound<decltype(&::DefSubclassProc)>(kCommonControls, "DefSubclassProc");
    return proc ? proc(hWnd, message, wParam, lParam) : ::DefWindowProcA(hWnd, message, wParam, lParam);
}

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn)
{
    auto proc = bound<decltype(&::GetOpenFileNameA)>(kCommonDialogs, "GetOpenFileNameA");
    return proc ? proc(ofn) : FALSE;
}

BOOL GetSaveFileNameA(OPENFILENAMEA* ofn)
{
    auto proc = bound<decltype(&::GetSaveFileNameA)>(kCommonDialogs, "GetSaveFileNameA");
    return proc ? proc(ofn) : FALSE;
}

INT SystemTimeToVariantTime(SYSTEMTIME* systemTime, double* variantTime)
{
    auto proc = bound<decltype(&::SystemTimeToVariantTime)>(kAutomation, "SystemTimeToVariantTime");
    return proc ? proc(systemTime, variantTime) : FALSE;
}

INT VariantTimeToSystemTime(double variantTime, SYSTEMTIME* systemTime)
{
    auto proc = bound<decltype(&::VariantTimeToSystemTime)>(kAutomation, "VariantTimeToSystemTime");
    return proc ? proc(variantTime, systemTime) : FALSE;
}

LPWSTR* CommandLineToArgvW(LPCWSTR commandLine, int* count)
{
    auto proc = bound<decltype(&::CommandLineToArgvW)>(kShell, "CommandLineToArgvW");
    return proc ? proc(commandLine, count) : nullptr;
}

}  // namespace afxbind
