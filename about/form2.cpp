#include "about/form2.h"

#include "component/module.h"
#include "component/twips.h"

namespace quillpost {
namespace {

constexpr wchar_t kClassName[] = L"QuillpostAbout";

ATOM RegisterAboutClass()
{
    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = ModuleInstance();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass);
}

}  // namespace

Form2::~Form2()
{
    if (window_) DestroyWindow(window_);
}

LRESULT CALLBACK Form2::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Form2*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && self) {
        self->window_ = nullptr;
        UnlockModule();
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HRESULT Form2::Load()
{
    static ATOM aboutClass = RegisterAboutClass();
    if (!aboutClass) return HRESULT_FROM_WIN32(GetLastError());
    RECT frame{0, 0, TwipsToPixels(3735), TwipsToPixels(2085)};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND window = CreateWindowExW(0, kClassName, L"About", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  ModuleInstance(), nullptr);
    if (!window) return HRESULT_FROM_WIN32(GetLastError());
    LockModule();
    window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form2::WindowProc));
    return S_OK;
}

HRESULT Form2::Show()
{
    if (!window_) {
        if (HRESULT hr = Load(); FAILED(hr)) return hr;
    }
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    return S_OK;
}

}  // namespace quillpost
