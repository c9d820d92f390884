#include "support/windows.h"

namespace quillpost::testing {
namespace {

struct Search {
    const wchar_t* text;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return TRUE;
    if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (search->text && WindowText(window) != search->text) return TRUE;
    search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    wchar_t className[256] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    if (!search->text || lstrcmpiW(className, search->text) == 0) search->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> FindTopLevelWindows(const wchar_t* caption)
{
    Search search{caption, false, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> FindVisibleWindows(const wchar_t* caption)
{
    Search search{caption, true, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> FindChildWindows(HWND parent, const wchar_t* className)
{
    Search search{className, false, {}};
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

SIZE ClientSize(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return {client.right - client.left, client.bottom - client.top};
}

std::vector<COLORREF> ScreenPixels(HWND window)
{
    const SIZE size = ClientSize(window);
    std::vector<COLORREF> pixels(size.cx * size.cy);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), size.cx, -size.cy, 1, 32, BI_RGB};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, size.cx, size.cy, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<const DWORD*>(bits)[i] & 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

void ClickAt(POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    PumpMessages(50);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    InputByHand({inputs, 2});
    PumpMessages(100);
}

namespace {

struct Hand {
    std::span<const INPUT> inputs;
};

DWORD WINAPI MoveTheHand(void* context)
{
    for (const INPUT& input : static_cast<Hand*>(context)->inputs) {
        SendInput(1, const_cast<INPUT*>(&input), sizeof(INPUT));
        Sleep(30);
    }
    return 0;
}

}  // namespace

void InputByHand(std::span<const INPUT> inputs)
{
    Hand hand{inputs};
    HANDLE thread = CreateThread(nullptr, 0, MoveTheHand, &hand, 0, nullptr);
    if (!thread) return;
    WaitPumping(thread, 30000);
    CloseHandle(thread);
}

void DoubleClickAt(POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    PumpMessages(50);
    INPUT inputs[4] = {};
    const DWORD presses[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dwFlags = presses[i];
    }
    SendInput(4, inputs, sizeof(INPUT));
    PumpMessages(200);
}

void PressKey(WORD virtualKey)
{
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = virtualKey;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
    PumpMessages(100);
}

void CloseProcessWindows()
{
    // Only the plug-in's own windows: COM keeps hidden windows of its own on this thread.
    const HMODULE plugin = GetModuleHandleW(L"Quillpost.dll");
    if (!plugin) return;
    for (HWND window : FindTopLevelWindows(nullptr)) {
        if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) continue;
        if (reinterpret_cast<HMODULE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)) != plugin) continue;
        SendMessageW(window, WM_CLOSE, 0, 0);
    }
    PumpMessages(20);
}

}  // namespace quillpost::testing
