#include "forms/form_window.h"

#include <algorithm>

#include "forms/dpi_scope.h"
#include "forms/twips.h"
#include "core/module.h"
#include "forms/window_class.h"

namespace quillpost {
namespace {

using form::ControlKind;
using form::ControlRow;
using form::FormFrame;

constexpr DWORD kSizableStyle = WS_OVERLAPPEDWINDOW;

HRESULT LastError() { return HRESULT_FROM_WIN32(GetLastError()); }

// Sizes the frame so that the client area is exactly `client`, whatever the frame's metrics.
void FitClientArea(HWND window, SIZE client)
{
    RECT frame{}, inner{};
    GetWindowRect(window, &frame);
    GetClientRect(window, &inner);
    if (inner.right == client.cx && inner.bottom == client.cy) return;  // as created: no move to lay out
    const int width = frame.right - frame.left + client.cx - inner.right;
    const int height = frame.bottom - frame.top + client.cy - inner.bottom;
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

FormWindow::FormWindow(const form::FormRow& form, std::span<const ControlRow> controls, const wchar_t* noun)
    // Tables are held to kMaxControls when they are compiled (form::IsCreatable); the cut only
    // keeps a table that was not inside the handles' array.
    : form_(form), controls_(controls.first(std::min(controls.size(), std::size(controlWindows_)))), noun_(noun)
{
}

HRESULT FormWindow::Show()
{
    RunningScope running;
    OwnComCalls own;  // creating and showing the browser initializes COM on this thread
    failedStep_.Clear();
    if (stage_ == Stage::Loading || stage_ == Stage::Unloading)
        return Fail(kBusy, L" is still loading or closing");
    const bool wasLoaded = stage_ == Stage::Loaded;
    if (!wasLoaded) {
        if (HRESULT hr = Load(); FAILED(hr)) return hr;
    }
    Present(wasLoaded);
    return S_OK;
}

void FormWindow::Unload()
{
    RunningScope running;  // the browser's teardown may pump
    OwnComCalls own;  // hiding and closing the browser ends the COM it began
    if (window_) DestroyWindow(window_);
}

void FormWindow::Abandon() { abandoned_ = true; }

HWND FormWindow::ControlWindow(const ControlRow& row) const
{
    const int index = RowIndex(row);
    return index >= 0 ? controlWindows_[index] : nullptr;
}

HRESULT FormWindow::Fail(HRESULT hr, std::wstring_view rest, std::wstring_view name, std::wstring_view after)
{
    failedStep_.Clear();
    failedStep_ += L"The ";
    failedStep_ += noun_;
    failedStep_ += rest;
    failedStep_ += name;
    failedStep_ += after;
    return hr;
}

HRESULT FormWindow::Load()
{
    stage_ = Stage::Loading;
    closeAsked_ = false;
    HRESULT hr = WatchComEnd(this);
    if (FAILED(hr)) {
        stage_ = Stage::Unloaded;
        return Fail(hr, L" could not watch for the end of its thread's COM");
    }
    hr = Build();
    if (SUCCEEDED(hr)) hr = OnLoad();
    if (SUCCEEDED(hr) && !window_) hr = Fail(E_ABORT, L" was destroyed while it loaded");
    if (FAILED(hr)) {
        Discard();  // a form whose load failed is unloaded again, so the next show starts afresh
        return hr;
    }
    stage_ = Stage::Loaded;
    TakeDialogKeys();
    if (closeAsked_) PostMessageW(window_, WM_CLOSE, 0, 0);
    return S_OK;
}

HRESULT FormWindow::Build()
{
    const HBRUSH background =
        form_.frame == FormFrame::Sizable ? reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1) : nullptr;
    if (HRESULT hr = EnsureWindowClass(WindowClassRow::Of<&FormWindow::WindowProc>(form_.className, background)); FAILED(hr))
        return Fail(hr, L"'s window class could not be registered");
    {
        // Only the creation runs DPI-aware; the load steps, and host code that a pump in them
        // may run, see the host's own context.
        DpiAwareScope aware;
        if (HRESULT hr = CreateFrame(); FAILED(hr)) return hr;
        if (HRESULT hr = CreateFonts(); FAILED(hr)) return hr;
        if (HRESULT hr = CreateControls(); FAILED(hr)) return hr;
    }
    if (!window_) return Fail(E_ABORT, L" was destroyed while it loaded");
    return S_OK;
}

HRESULT FormWindow::CreateFrame()
{
    // The system places only overlapped windows by default (a popup given CW_USEDEFAULT lands
    // at 0,0), so a borderless form is asked for as an overlapped one and becomes a popup in
    // WM_NCCREATE, after its place is chosen and before any frame exists. It has a system menu from
    // the start: Wine makes a window's menu only for a window created with one, and Alt+Space
    // opens only that.
    const DWORD style =
        form_.frame == FormFrame::Sizable ? kSizableStyle : WS_OVERLAPPED | WS_SYSMENU | WS_CLIPCHILDREN;
    dpi_ = DpiForNewWindow();
    const SIZE client = form::PixelClientSize(form_, dpi_);
    RECT frame{0, 0, client.cx, client.cy};
    if (form_.frame == FormFrame::Sizable) AdjustFrameForDpi(&frame, style, dpi_);
    HWND window = CreateWindowExW(0, form_.className, form_.caption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  ModuleInstance(), this);  // window_ is set on WM_NCCREATE
    if (!window) return Fail(LastError(), L"'s window could not be created");
    // Placed on a monitor of another DPI than the system's, it takes that one's.
    dpi_ = DpiOfWindow(window);
    FitClientArea(window, form::PixelClientSize(form_, dpi_));
    return S_OK;
}

void FormWindow::Present(bool bringForward)
{
    if (!window_) return;
    // Showing a new window activates it already; one that was open may lie behind others.
    ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
    if (window_ && bringForward) SetForegroundWindow(window_);
}

void FormWindow::Discard()
{
    if (window_) {
        DestroyWindow(window_);
    } else {
        UnwatchComEnd(this);
        regularFont_.Reset();
        underlinedFont_.Reset();
    }
    stage_ = Stage::Unloaded;
}

void FormWindow::OnDpiChanged(int dpi, const RECT& suggested)
{
    if (dpi <= 0 || dpi == dpi_) return;
    dpi_ = dpi;
    CreateFonts();  // on failure the controls keep writing in the fonts they have
    for (size_t index = 0; index < controls_.size(); ++index) {
        if (controlWindows_[index]) PlaceFormControl(controls_[index], controlWindows_[index], ControlRect(controls_[index]));
    }
    // One move, to the suggested place. Its size is the one WM_GETDPISCALEDSIZE answered where the
    // system asked (per-monitor v2); per-monitor v1 is not asked and suggests a linear scaling,
    // which the table's own size replaces in the same move. A maximized window fills its monitor.
    SIZE size = WindowSizeAt(dpi_);
    if (IsZoomed(window_)) size = {suggested.right - suggested.left, suggested.bottom - suggested.top};
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::OnComEnding() { Unload(); }

}  // namespace quillpost
