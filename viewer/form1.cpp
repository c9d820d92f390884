#include "viewer/form1.h"

#include "core/addresses.h"
#include "core/join_text.h"
#include "forms/dpi_scope.h"
#include "viewer/form1_layout.h"
#include "viewer/picture.h"

namespace quillpost {
namespace {

namespace layout = form1_layout;

constexpr wchar_t kLoadedHeading[] = L"Viewing Tallowchat Forum Latests";

constexpr auto kForumPageAddress = JoinText(L"http://", kForumHost, L"/latest.php");

}  // namespace

Form1::Form1() : FormWindow(layout::kForm1, layout::kControls, L"viewer") {}

HRESULT Form1::SetHeading(const wchar_t* caption)
{
    HWND heading = ControlWindow(layout::kLabel1);
    if (!heading) return Fail(E_UNEXPECTED, L"'s heading could not be set: the viewer is not loaded");
    // A visible label paints itself as soon as its text changes. Just after the viewer is shown,
    // the whole window's first paint, pending, would paint it again: so it is only marked for
    // repainting, and painted once, with the rest of the window.
    const bool visible = IsWindowVisible(heading);
    if (visible) SendMessageW(heading, WM_SETREDRAW, FALSE, 0);
    const bool set = SetWindowTextW(heading, caption);
    const DWORD error = GetLastError();
    if (visible) {
        SendMessageW(heading, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(heading, nullptr, FALSE);  // the label fills its whole area when it paints
    }
    if (set) return S_OK;
    return Fail(HRESULT_FROM_WIN32(error), L"'s heading could not be set");
}

HRESULT Form1::CreateFormControl(const form::ControlRow& row, HWND parent, HWND* created)
{
    *created = nullptr;
    if (&row == &layout::kPic) {
        *created = picture::Create(parent, ControlRect(row), Dpi());
        if (*created) return S_OK;
        return Fail(HRESULT_FROM_WIN32(GetLastError()), L"'s picture area could not be created");
    }
    if (&row == &layout::kMain) {
        if (HRESULT hr = browser_.Open(parent, ControlRect(row), Dpi(), created); FAILED(hr))
            return Fail(hr, L"'s web browser could not be created");
        return S_OK;
    }
    return FormWindow::CreateFormControl(row, parent, created);
}

void Form1::PlaceFormControl(const form::ControlRow& row, HWND control, const RECT& rect)
{
    if (&row == &layout::kMain) {
        browser_.Move(rect);
        browser_.SetDpi(Dpi());  // the page follows the window's new DPI
        return;
    }
    FormWindow::PlaceFormControl(row, control, rect);
    if (&row == &layout::kPic) picture::SetDpi(control, Dpi());  // keeps its skin when out of memory
}

HRESULT Form1::OnLoad()
{
    // Before anything can pump: a window destroyed meanwhile removes it again in OnUnload. Without
    // it the page still gets every key its window receives, which is not worth failing a show for.
    keys_.Install();
    if (HRESULT hr = SetHeading(kLoadedHeading); FAILED(hr)) return hr;
    // In the context the window was created in (the same scope's), not the host's: the windows
    // the engine makes for the page then take the window's DPI, not the one the host sees.
    DpiAwareScope aware;
    if (HRESULT hr = browser_.Navigate({kForumPageAddress.data(), kForumPageAddress.size() - 1}); FAILED(hr))
        return Fail(hr, L"'s web browser could not ask for the forum page");
    return S_OK;
}

void Form1::OnUnload()
{
    keys_.Remove();
    browser_.Close();
}

void Form1::FocusControl(const form::ControlRow& row, HWND control)
{
    if (&row == &layout::kMain) {
        browser_.Focus();
    } else {
        FormWindow::FocusControl(row, control);
    }
}

const form::ControlRow* Form1::NameLabel() const { return &layout::kLabel1; }

std::span<const form::DrawnButton> Form1::DrawnButtons() const { return layout::kDrawnButtons; }

}  // namespace quillpost
