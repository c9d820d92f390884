#include "viewer/form1.h"

#include <string>

#include "component/module.h"
#include "component/twips.h"

namespace quillpost {
namespace {

constexpr wchar_t kClassName[] = L"QuillpostViewer";
constexpr wchar_t kLoadedHeading[] = L"Viewing Tallowchat Forum Latests";

ATOM RegisterViewerClass()
{
    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = ModuleInstance();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass);
}

}  // namespace

Form1::~Form1()
{
    if (window_) DestroyWindow(window_);
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && self) {
        self->window_ = nullptr;
        self->heading_ = nullptr;
        UnlockModule();
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HRESULT Form1::Load()
{
    static ATOM viewerClass = RegisterViewerClass();
    if (!viewerClass) return HRESULT_FROM_WIN32(GetLastError());
    HWND window = CreateWindowExW(WS_EX_APPWINDOW, kClassName, L"Form1", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                  TwipsToPixels(8625), TwipsToPixels(7680), nullptr, nullptr, ModuleInstance(),
                                  nullptr);
    if (!window) return HRESULT_FROM_WIN32(GetLastError());
    LockModule();
    window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form1::WindowProc));
    heading_ = CreateWindowExW(0, L"STATIC", L"....", WS_CHILD | WS_VISIBLE, TwipsToPixels(1560),
                               TwipsToPixels(120), TwipsToPixels(6375), TwipsToPixels(255), window, nullptr,
                               ModuleInstance(), nullptr);
    return SetHeading(kLoadedHeading);
}

HRESULT Form1::Show()
{
    if (!window_) {
        if (HRESULT hr = Load(); FAILED(hr)) return hr;
    }
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    return S_OK;
}

HRESULT Form1::SetHeading(std::wstring_view caption)
{
    if (!heading_) return E_UNEXPECTED;
    std::wstring text(caption);
    return SetWindowTextW(heading_, text.c_str()) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

}  // namespace quillpost
