// The viewer window: borderless, skinned, with the forum's latest posts in a browser pane.
#pragma once

#include <windows.h>

#include <string_view>

#include "base/gdi_object.h"
#include "viewer/browser_pane.h"

namespace quillpost {

class Form1 {
public:
    Form1() = default;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;
    ~Form1();  // unloads the window if it is still loaded

    // Modeless, no owner. Loads the window first when it is not loaded (the load steps set
    // the heading and ask the browser for the forum page; their failure is returned); a
    // loaded window is only made visible and brought forward.
    HRESULT Show();

    // Replaces the heading label's caption at once. Fails when the window is not loaded.
    HRESULT SetHeading(std::wstring_view caption);

    bool IsLoaded() const { return window_ != nullptr; }
    HWND Window() const { return window_; }

private:
    HRESULT Load();
    HRESULT CreateControls();
    HRESULT CreateHeading(HWND pic);
    HRESULT RunLoadSteps();
    void OnDestroy();
    void OnNcDestroy();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Set while loaded: from WM_NCCREATE to WM_NCDESTROY of the window.
    HWND window_ = nullptr;
    HWND heading_ = nullptr;  // Label1
    UniqueFont headingFont_;
    BrowserPane browser_;  // main
};

}  // namespace quillpost
