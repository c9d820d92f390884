#include "viewer/form1.h"

#include <string>

#include "base/addresses.h"
#include "base/dpi_scope.h"

namespace quillpost {
namespace {

constexpr wchar_t kLoadedHeading[] = L"Viewing Tallowchat Forum Latests";

std::wstring ForumPageAddress() { return std::wstring(L"http://") + kForumHost + L"/latest.php"; }

}  // namespace

Form1::~Form1()
{
    if (window_) DestroyWindow(window_);
}

HRESULT Form1::Show()
{
    if (!window_) {
        if (HRESULT hr = Load(); FAILED(hr)) return hr;
    }
    ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window_);
    return S_OK;
}

HRESULT Form1::SetHeading(std::wstring_view caption)
{
    if (!heading_) return E_UNEXPECTED;
    const std::wstring text(caption);
    return SetWindowTextW(heading_, text.c_str()) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

HRESULT Form1::Load()
{
    DpiUnawareScope unaware;  // for every window of the viewer, the browser's included
    if (HRESULT hr = CreateControls(); FAILED(hr)) {
        if (window_) DestroyWindow(window_);
        return hr;
    }
    // A viewer whose load steps failed is unloaded again, so the next show starts afresh.
    if (HRESULT hr = RunLoadSteps(); FAILED(hr)) {
        DestroyWindow(window_);
        return hr;
    }
    return S_OK;
}

HRESULT Form1::RunLoadSteps()
{
    if (HRESULT hr = SetHeading(kLoadedHeading); FAILED(hr)) return hr;
    return browser_.Navigate(ForumPageAddress());
}

}  // namespace quillpost
