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

// Looked up once per function and process, into that function's own cache; a library that
// is missing is looked for again.
template <typename Proc>
Proc bound(Proc* cached, const char* library, const char* name)
{
    Proc proc = __atomic_load_n(cached, __ATOMIC_ACQUIRE);
    if (!proc) {
        proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(boundFunction(library, name)));
        __atomic_store_n(cached, proc, __ATOMIC_RELEASE);
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
    static decltype(&::InitCommonControlsEx) cached = nullptr;
    auto proc = bound(&cached, kCommonControls, "InitCommonControlsEx");
    return proc ? proc(classes) : FALSE;
}

BOOL SetWindowSubclass(HWND hWnd, SUBCLASSPROC subclassProc, UINT_PTR id, DWORD_PTR refData)
{
    static decltype(&::SetWindowSubclass) cached = nullptr;
    auto proc = bound(&cached, kCommonControls, "SetWindowSubclass");
    return proc ? proc(hWnd, subclassProc, id, refData) : FALSE;
}

BOOL RemoveWindowSubclass(HWND hWnd, SUBCLASSPROC subclassProc, UINT_PTR id)
{
    static decltype(&::RemoveWindowSubclass) cached = nullptr;
    auto proc = bound(&cached, kCommonControls, "RemoveWindowSubclass");
    return proc ? proc(hWnd, subclassProc, id) : FALSE;
}

LRESULT DefSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    static decltype(&::DefSubclassProc) cached = nullptr;
    auto proc = bound(&cached, kCommonControls, "DefSubclassProc");
    return proc ? proc(hWnd, message, wParam, lParam) : ::DefWindowProcA(hWnd, message, wParam, lParam);
}

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn)
{
    static decltype(&::GetOpenFileNameA) cached = nullptr;
    auto proc = bound(&cached, kCommonDialogs, "GetOpenFileNameA");
    return proc ? proc(ofn) : FALSE;
}

BOOL GetSaveFileNameA(OPENFILENAMEA* ofn)
{
    static decltype(&::GetSaveFileNameA) cached = nullptr;
    auto proc = bound(&cached, kCommonDialogs, "GetSaveFileNameA");
    return proc ? proc(ofn) : FALSE;
}

INT SystemTimeToVariantTime(SYSTEMTIME* systemTime, double* variantTime)
{
    static decltype(&::SystemTimeToVariantTime) cached = nullptr;
    auto proc = bound(&cached, kAutomation, "SystemTimeToVariantTime");
    return proc ? proc(systemTime, variantTime) : FALSE;
}

INT VariantTimeToSystemTime(double variantTime, SYSTEMTIME* systemTime)
{
    static decltype(&::VariantTimeToSystemTime) cached = nullptr;
    auto proc = bound(&cached, kAutomation, "VariantTimeToSystemTime");
    return proc ? proc(variantTime, systemTime) : FALSE;
}

LPWSTR* CommandLineToArgvW(LPCWSTR commandLine, int* count)
{
    static decltype(&::CommandLineToArgvW) cached = nullptr;
    auto proc = bound(&cached, kShell, "CommandLineToArgvW");
    return proc ? proc(commandLine, count) : nullptr;
}

}  // namespace afxbind
