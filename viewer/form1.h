// The viewer window: borderless, skinned, with the forum's latest posts in a browser pane.
// The window core does the rest; the viewer adds its table, its picture area and browser, and
// its load steps.
#pragma once

#include <windows.h>

#include <string_view>

#include "base/form_window.h"
#include "viewer/browser_pane.h"

namespace quillpost {

class Form1 final : public FormWindow {
public:
    Form1();

    // Replaces the heading label's caption at once; the label shows it when the window next
    // paints. Fails when the window is not loaded.
    HRESULT SetHeading(const wchar_t* caption);

protected:
    HRESULT CreateFormControl(const form::ControlRow& row, HWND parent, HWND* created) override;
    void PlaceFormControl(const form::ControlRow& row, HWND control, const RECT& rect) override;
    // Sets the loaded heading, then asks the browser for the forum page.
    HRESULT OnLoad() override;
    void OnUnload() override;

private:
    BrowserPane browser_;  // main
};

}  // namespace quillpost
