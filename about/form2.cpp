#include "about/form2.h"

#include "about/links.h"
#include "about/shell.h"
#include "base/module.h"
#include "base/twips.h"

namespace quillpost {
namespace {

using about::ClickAction;
using about::ControlKind;
using about::ControlRow;

constexpr wchar_t kClassName[] = L"QuillpostAbout";
constexpr DWORD kFrameStyle = WS_OVERLAPPEDWINDOW;

// The class's own procedure is the system's: after an unload and a reload of the DLL the class
// may still be registered, and it must not point into code that is gone. Each window is
// subclassed to Form2's procedure once created.
HRESULT RegisterAboutClass()
{
    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = ModuleInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return S_OK;
    return HRESULT_FROM_WIN32(GetLastError());
}

// The font's size follows the layout's fixed 15 twips to the pixel, so text and boxes agree.
HFONT CreateFormFont(bool underlined)
{
    constexpr int kPixelsPerInch = 1440 / kTwipsPerPixel;
    LOGFONTW font{};
    font.lfHeight = -MulDiv(about::kForm2Font.hundredthsOfPoint, kPixelsPerInch, 72 * 100);
    font.lfWeight = about::kForm2Font.weight;
    font.lfUnderline = underlined;
    font.lfCharSet = about::kForm2Font.charSet;
    lstrcpynW(font.lfFaceName, about::kForm2Font.face, LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

// Sizes the frame so that the client area is exactly `client`, whatever the frame's metrics.
void FitClientArea(HWND window, SIZE client)
{
    RECT frame{}, inner{};
    GetWindowRect(window, &frame);
    GetClientRect(window, &inner);
    const int width = frame.right - frame.left + client.cx - inner.right;
    const int height = frame.bottom - frame.top + client.cy - inner.bottom;
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND CreateFrame()
{
    const SIZE client = about::PixelClientSize(about::kForm2);
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, kFrameStyle, FALSE, 0);
    HWND window = CreateWindowExW(0, kClassName, about::kForm2.caption, kFrameStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  ModuleInstance(), nullptr);
    if (window) FitClientArea(window, client);
    return window;
}

DWORD ControlStyle(const ControlRow& row)
{
    // Clipping siblings lets the stacking order decide what shows where controls overlap.
    constexpr DWORD kCommon = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    if (row.kind == ControlKind::PushButton) return kCommon | WS_TABSTOP | BS_PUSHBUTTON;
    return kCommon | SS_LEFT | SS_NOPREFIX | SS_NOTIFY;  // SS_NOTIFY: labels report clicks
}

void RaiseToTop(HWND control)
{
    SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace

Form2::~Form2()
{
    if (window_) DestroyWindow(window_);
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

HRESULT Form2::Load()
{
    if (HRESULT hr = RegisterAboutClass(); FAILED(hr)) return hr;
    if (HRESULT hr = CreateFonts(); FAILED(hr)) return hr;
    HWND window = CreateFrame();
    if (!window) return HRESULT_FROM_WIN32(GetLastError());
    LockModule();  // released in WM_NCDESTROY, however the window ends
    window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form2::WindowProc));
    if (HRESULT hr = CreateControls(); FAILED(hr)) {
        DestroyWindow(window);
        return hr;
    }
    return S_OK;
}

HRESULT Form2::CreateFonts()
{
    regularFont_.Reset(CreateFormFont(false));
    underlinedFont_.Reset(CreateFormFont(true));
    return regularFont_.Get() && underlinedFont_.Get() ? S_OK : E_OUTOFMEMORY;
}

HRESULT Form2::CreateControls()
{
    for (const ControlRow& row : about::Form2Controls()) {
        if (HRESULT hr = CreateControl(row); FAILED(hr)) return hr;
    }
    StackControls();
    return S_OK;
}

HRESULT Form2::CreateControl(const ControlRow& row)
{
    const bool isButton = row.kind == ControlKind::PushButton;
    const RECT box = about::PixelRect(row);
    HWND control = CreateWindowExW(0, isButton ? L"BUTTON" : L"STATIC", row.caption, ControlStyle(row), box.left,
                                   box.top, box.right - box.left, box.bottom - box.top, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(about::ControlId(row))),
                                   ModuleInstance(), nullptr);
    if (!control) return HRESULT_FROM_WIN32(GetLastError());
    HFONT font = row.underlined ? underlinedFont_.Get() : regularFont_.Get();
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (isButton) {
        // The button keeps the focus, so it is where Escape and Enter arrive.
        SetWindowLongPtrW(control, GWLP_USERDATA, GetWindowLongPtrW(control, GWLP_WNDPROC));
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form2::ButtonProc));
        focusControl_ = control;
    }
    return S_OK;
}

// Later labels lie above earlier ones, and the push button above them all, as drawn.
void Form2::StackControls()
{
    for (const ControlRow& row : about::Form2Controls()) {
        if (row.kind == ControlKind::Label) RaiseToTop(GetDlgItem(window_, about::ControlId(row)));
    }
    for (const ControlRow& row : about::Form2Controls()) {
        if (row.kind == ControlKind::PushButton) RaiseToTop(GetDlgItem(window_, about::ControlId(row)));
    }
}

LRESULT CALLBACK Form2::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Form2*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->OnMessage(window, message, wParam, lParam);
}

LRESULT Form2::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) return TRUE;
        break;
    case WM_SETFOCUS:
        // Activation gives the focus to the frame; only the button can hold it.
        if (focusControl_) SetFocus(focusControl_);
        return 0;
    case WM_NCDESTROY:
        OnDestroyed();
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Form2::OnCommand(int id, int notification)
{
    const ControlRow* row = about::ControlById(id);
    if (!row) return;
    // A label's second click of a double click arrives as STN_DBLCLK; it is a click all the same.
    const bool clicked = row->kind == ControlKind::PushButton
                             ? notification == BN_CLICKED
                             : notification == STN_CLICKED || notification == STN_DBLCLK;
    if (!clicked) return;
    if (row->click == ClickAction::StartCommand) {
        about::ShellOrTell(window_, row->commandLine, kLinkShowWindow);  // told to the user, not raised
    } else if (row->click == ClickAction::CloseWindow) {
        SendMessageW(window_, WM_CLOSE, 0, 0);
    }
}

bool Form2::OnSetCursor(HWND target, UINT hitTest)
{
    if (hitTest != HTCLIENT || GetParent(target) != window_) return false;
    const ControlRow* row = about::ControlById(GetDlgCtrlID(target));
    if (!row || row->click != ClickAction::StartCommand) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

void Form2::OnDestroyed()
{
    // The controls are gone by now, so their fonts can go too.
    window_ = nullptr;
    focusControl_ = nullptr;
    regularFont_.Reset();
    underlinedFont_.Reset();
    UnlockModule();
}

LRESULT CALLBACK Form2::ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button, GWLP_USERDATA));
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        SendMessageW(GetParent(button), WM_CLOSE, 0, 0);
        return 0;
    }
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        SendMessageW(button, BM_CLICK, 0, 0);
        return 0;
    }
    return CallWindowProcW(original, button, message, wParam, lParam);
}

}  // namespace quillpost
