// The viewer window: borderless, skinned, with the forum's latest posts in a browser pane.
// The window core does the rest; the viewer adds its table, its picture area and browser, its
// load steps, and the keys it passes to the page.
#pragma once

#include <windows.h>

#include <string_view>

#include "forms/form_window.h"
#include "viewer/accelerator_hook.h"
#include "viewer/browser_pane.h"

namespace quillpost {

class Form1 final : public FormWindow {
public:
    Form1();

    // Replaces the heading label's caption at once; the label shows it when the window next
    // paints. Fails when the window is not loaded.
    HRESULT SetHeading(const wchar_t* caption);

    // A keyboard message of the viewer's thread, offered to the page first; true when used.
    bool TranslateAccelerator(MSG& message) { return browser_.TranslateAccelerator(message); }

protected:
    HRESULT CreateFormControl(const form::ControlRow& row, HWND parent, HWND* created) override;
    void PlaceFormControl(const form::ControlRow& row, HWND control, const RECT& rect) override;
    // Sets the loaded heading, then asks the browser for the forum page, in the window's DPI context.
    HRESULT OnLoad() override;
    void OnUnload() override;
    void FocusControl(const form::ControlRow& row, HWND control) override;
    // The viewer is named by its heading: its caption, "Form1", is no name for a person.
    const form::ControlRow* NameLabel() const override;
    std::span<const form::DrawnButton> DrawnButtons() const override;

private:
    BrowserPane browser_;  // main
    AcceleratorHook keys_;
};

}  // namespace quillpost
