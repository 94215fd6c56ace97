#include "editor/editor_window.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <thread>

#include <winternl.h>

namespace {
const char kParentClass[] = "HalvornTestParent";

LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL CALLBACK countOne(HWND, LPARAM count) {
    (*(int*)count)++;
    return TRUE;
}
}  // namespace

ParentWindow::ParentWindow(int width, int height) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = parentProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kParentClass;
        windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        RegisterClassA(&windowClass);
        registered = true;
    }
    window = CreateWindowExA(WS_EX_TOPMOST, kParentClass, "Host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width,
                             height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    pumpMessages();
}

ParentWindow::~ParentWindow() { destroy(); }

void ParentWindow::destroy() {
    if (window) DestroyWindow(window);
    window = nullptr;
    pumpMessages();
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void settle(int milliseconds) { tickFor(milliseconds, pumpMessages); }

bool popupMenuShown() {
    HWND menu = FindWindowA("#32768", nullptr);
    return menu && IsWindowVisible(menu);
}

bool waitForPopupMenu() {
    for (int i = 0; i < 200; i++) {
        if (popupMenuShown()) {
            Sleep(100);
            return true;
        }
        Sleep(25);
    }
    return false;
}

int countChildWindows(HWND parent) {
    int count = 0;
    if (parent) EnumChildWindows(parent, countOne, (LPARAM)&count);
    return count;
}

int countThreadWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), countOne, (LPARAM)&count);
    return count;
}

int64_t heapBytesInUse() {
    HANDLE heaps[256];
    DWORD n = GetProcessHeaps(256, heaps);
    int64_t total = 0;
    for (DWORD i = 0; i < n && i < 256; i++) {
        PROCESS_HEAP_ENTRY entry = {};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return total;
}

int64_t privateBytes() {
    int64_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (char* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        char* next = (char*)info.BaseAddress + info.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

// Where the system gives no count (wine answers 0), the entries in use in the process's
// GDI handle table are counted: the table the PEB points to, 24-byte entries whose type
// byte is not 0.
DWORD gdiObjectCount() {
    DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted) return counted;
#ifdef _WIN64
    const size_t kTableOffset = 0xF8;
#else
    const size_t kTableOffset = 0x94;
#endif
    PROCESS_BASIC_INFORMATION basic = {};
    typedef LONG(WINAPI * QueryProcess)(HANDLE, int, void*, ULONG, ULONG*);
    QueryProcess query = (QueryProcess)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
    if (!query || query(GetCurrentProcess(), 0, &basic, sizeof basic, nullptr) != 0) return 0;
    BYTE* peb = (BYTE*)basic.PebBaseAddress;
    const BYTE* table = *(const BYTE* const*)(peb + kTableOffset);
    if (!table) return 0;
    const size_t kEntry = 24, kTypeOffset = 14, kEntries = 0x10000;
    DWORD inUse = 0;
    for (size_t i = 0; i < kEntries; i++)
        if (table[i * kEntry + kTypeOffset]) inUse++;
    return inUse;
}

int Picture::distinctColours(int limit) const {
    std::set<unsigned> colours;
    for (size_t i = 0; i + 2 < rgb.size() && (int)colours.size() < limit; i += 3)
        colours.insert(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
    return (int)colours.size();
}

Picture captureScreen(int x, int y, int width, int height) { return captureWindow(nullptr, x, y, width, height); }

Picture captureWindow(HWND window, int x, int y, int width, int height) {
    Picture picture;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY);
    GdiFlush();
    picture.width = width;
    picture.height = height;
    picture.rgb.resize((size_t)width * height * 3);
    const unsigned char* p = (const unsigned char*)bits;
    for (int i = 0; i < width * height; i++) {
        picture.rgb[i * 3] = p[i * 4 + 2];
        picture.rgb[i * 3 + 1] = p[i * 4 + 1];
        picture.rgb[i * 3 + 2] = p[i * 4];
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return picture;
}

bool writeBmp(const std::string& path, const Picture& picture) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    int stride = (picture.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + stride * picture.height;
    header.biSize = sizeof header;
    header.biWidth = picture.width;
    header.biHeight = picture.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    fwrite(&file, sizeof file, 1, f);
    fwrite(&header, sizeof header, 1, f);
    std::vector<unsigned char> row(stride, 0);
    for (int y = picture.height - 1; y >= 0; y--) {
        for (int x = 0; x < picture.width; x++) {
            const unsigned char* p = &picture.rgb[((size_t)y * picture.width + x) * 3];
            row[x * 3] = p[2];
            row[x * 3 + 1] = p[1];
            row[x * 3 + 2] = p[0];
        }
        fwrite(row.data(), 1, stride, f);
    }
    return fclose(f) == 0;
}

bool readBmp(const std::string& path, Picture& picture) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER header;
    bool ok = fread(&file, sizeof file, 1, f) == 1 && fread(&header, sizeof header, 1, f) == 1 &&
              file.bfType == 0x4D42 && header.biBitCount == 24 && header.biCompression == BI_RGB &&
              header.biWidth > 0 && header.biWidth <= 4096 && header.biHeight > 0 && header.biHeight <= 4096;
    if (ok) {
        picture.width = header.biWidth;
        picture.height = header.biHeight;
        picture.rgb.assign((size_t)picture.width * picture.height * 3, 0);
        int stride = (picture.width * 3 + 3) & ~3;
        std::vector<unsigned char> row(stride);
        fseek(f, file.bfOffBits, SEEK_SET);
        for (int y = picture.height - 1; y >= 0 && ok; y--) {
            ok = fread(row.data(), 1, stride, f) == (size_t)stride;
            for (int x = 0; x < picture.width && ok; x++) {
                unsigned char* p = &picture.rgb[((size_t)y * picture.width + x) * 3];
                p[0] = row[x * 3 + 2];
                p[1] = row[x * 3 + 1];
                p[2] = row[x * 3];
            }
        }
    }
    fclose(f);
    return ok;
}

double mismatchedShare(const Picture& a, const Picture& b, int tolerance) {
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size()) return 1.0;
    size_t pixels = (size_t)a.width * a.height, bad = 0;
    for (size_t i = 0; i < pixels; i++)
        for (int c = 0; c < 3; c++)
            if (std::abs(a.rgb[i * 3 + c] - b.rgb[i * 3 + c]) > tolerance) {
                bad++;
                break;
            }
    return pixels ? (double)bad / pixels : 1.0;
}

void tickFor(int milliseconds, const std::function<void()>& tick) {
    DWORD end = GetTickCount() + milliseconds;
    do {
        tick();
        Sleep(10);
    } while ((long)(GetTickCount() - end) < 0);
    tick();
}

void playGesture(const std::function<void()>& gesture, const std::function<void()>& tick, int tickMs) {
    std::atomic<bool> done(false);
    std::thread hand([&] {
        gesture();
        done = true;
    });
    while (!done) {
        tick();
        Sleep(tickMs);
    }
    hand.join();
}

namespace {
POINT pointer = {0, 0};
}  // namespace

void sendMouse(DWORD flags, DWORD data) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input.mi.dx = MulDiv(pointer.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    input.mi.dy = MulDiv(pointer.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    input.mi.mouseData = data;
    SendInput(1, &input, sizeof input);
    Sleep(kHandStepMs);
}

void sendKey(WORD key, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
    Sleep(kHandStepMs);
}

void mouseInputAt(int screenX, int screenY, DWORD flags) {
    pointer = POINT{screenX, screenY};
    sendMouse(flags);
}

void keyInput(WORD vk, bool up) { sendKey(vk, !up); }

void keyStroke(WORD vk) {
    keyInput(vk, false);
    keyInput(vk, true);
}

void moveTo(POINT p) {
    pointer = p;
    SetCursorPos(p.x, p.y);
    sendMouse(0);
}

bool waitUntil(const std::function<bool()>& seen, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (seen()) return true;
        Sleep(20);
    }
    return seen();
}

void leaveOut(Picture& picture, const RECT& r) {
    for (int y = r.top < 0 ? 0 : r.top; y < r.bottom && y < picture.height; y++)
        for (int x = r.left < 0 ? 0 : r.left; x < r.right && x < picture.width; x++)
            for (int ch = 0; ch < 3; ch++) picture.rgb[(y * picture.width + x) * 3 + ch] = 0;
}
