// The About window: credits, a note, "Ok" and two link labels that open the system browser.
#pragma once

#include <windows.h>

#include "about/form2_layout.h"
#include "base/raii.h"

namespace quillpost {

class Form2 {
public:
    Form2() = default;
    Form2(const Form2&) = delete;
    Form2& operator=(const Form2&) = delete;
    ~Form2();  // unloads the window if it is still loaded

    // Modeless, no owner. Loads the window first when it is not loaded; a loaded window is
    // only made visible and brought forward.
    HRESULT Show();

    bool IsLoaded() const { return window_ != nullptr; }
    HWND Window() const { return window_; }

private:
    HRESULT Load();
    HRESULT CreateFonts();
    HRESULT CreateControls();
    HRESULT CreateControl(const about::ControlRow& row);
    void StackControls();

    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int notification);
    bool OnSetCursor(HWND target, UINT hitTest);
    void OnDestroyed();

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HWND focusControl_ = nullptr;  // the one control that takes the keyboard focus
    UniqueFont regularFont_;
    UniqueFont underlinedFont_;
};

}  // namespace quillpost
