#include "host/session.h"

#include <cstdio>
#include <cwchar>

namespace quillpost::host {
namespace {

void ReportFailure(const wchar_t* operation, HRESULT hr, const std::wstring& description)
{
    std::wprintf(L"%ls failed: 0x%08lX %ls\n", operation, static_cast<unsigned long>(hr), description.c_str());
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    wchar_t caption[256] = {};
    GetWindowTextW(window, caption, ARRAYSIZE(caption));
    RECT frame{};
    GetWindowRect(window, &frame);
    std::wprintf(L"window \"%ls\" %ld %ld %ld %ld\n", caption, frame.left, frame.top, frame.right - frame.left,
                 frame.bottom - frame.top);
    return TRUE;
}

// The plug-in's windows are the top-level windows of this thread that its module created.
BOOL CALLBACK CloseOwnedWindow(HWND window, LPARAM module)
{
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() &&
        GetWindowLongPtrW(window, GWLP_HINSTANCE) == module)
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

void ClosePluginWindows(IDispatch* plugin)
{
    // The module is found from the object's vtable, wherever the class was registered.
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       *reinterpret_cast<LPCWSTR*>(plugin), &module);
    if (module) EnumWindows(CloseOwnedWindow, reinterpret_cast<LPARAM>(module));
    PumpMessagesFor(200);
}

}  // namespace

void PumpMessagesFor(DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

void Session::PrintHelp()
{
    std::wprintf(L"Type a command as in a conversation (e.g. /xquillpost), or one of:\n"
                 L"  !configure  !windows  !wait MS  !close  !quit\n");
}

void Session::ParseCommand(const std::wstring& text)
{
    ParseResult parsed;
    if (HRESULT hr = client_.ParseCommand(text, &parsed); FAILED(hr))
        return ReportFailure(L"ParseCommand", hr, client_.LastError());
    if (parsed.handled) {
        std::wprintf(L"ParseCommand(\"%ls\") = True, sResult = \"%ls\"\n", text.c_str(), parsed.result.c_str());
    } else {
        std::wprintf(L"ParseCommand(\"%ls\") = False\n", text.c_str());
    }
}

void Session::Configure()
{
    if (HRESULT hr = client_.Configure(); FAILED(hr)) return ReportFailure(L"Configure", hr, client_.LastError());
    std::wprintf(L"Configure() done\n");
}

bool Session::Run(const std::wstring& line)
{
    if (line.empty()) return true;
    if (line[0] != L'!') {
        ParseCommand(line);
    } else if (line == L"!configure") {
        Configure();
    } else if (line == L"!windows") {
        EnumWindows(PrintWindow, 0);
        std::wprintf(L"windows listed\n");
    } else if (line.starts_with(L"!wait")) {
        PumpMessagesFor(static_cast<DWORD>(std::wcstoul(line.c_str() + 5, nullptr, 10)));
    } else if (line == L"!close") {
        ClosePluginWindows(client_.Object());
        std::wprintf(L"plug-in windows closed\n");
    } else if (line == L"!quit") {
        return false;
    } else {
        PrintHelp();
    }
    std::fflush(stdout);
    return true;
}

}  // namespace quillpost::host
